// kmSession: the option table and text slots (InitOptions, GetOptionType,
// the typed getters and setters, GetString, SetString, the version
// accessors, SetHeterOptions, NameDependentType, GetDelimiterChar,
// GetDelimiterCode, GetMissingString).
#include <cstdlib>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"

namespace {

const char* const kClassName = "kmSession";

// One record per option identifier: its type and its value after Init.
struct kmOptionRecord {
  int iId;
  int iType;
  double dDefault;
};

// The one table of option types and defaults, in identifier order.
constexpr kmOptionRecord kOptionTable[kmNumOptions] = {
    {kmOptFieldDelimiter, kmOptTypeInt, 0},
    {kmOptMissingCharacter, kmOptTypeInt, 0},
    {kmOptHetErrorModel, kmOptTypeInt, 2},
    {kmOptMinKinkmarks, kmOptTypeInt, 0},
    {kmOptMaxKinkmarks, kmOptTypeInt, 4},
    {kmOptMinObsEnd, kmOptTypeInt, 2},
    {kmOptMinObsBetween, kmOptTypeInt, 2},
    {kmOptGridPointsBetween, kmOptTypeInt, 0},
    {kmOptMethod, kmOptTypeInt, 0},
    {kmOptLogLinear, kmOptTypeBool, 1},
    {kmOptAutocorrErrors, kmOptTypeInt, 0},
    {kmOptAutocorrParameter, kmOptTypeDouble, 0.0},
    {kmOptPermSignificance, kmOptTypeDouble, 0.05},
    {kmOptNumPermutations, kmOptTypeInt, 4499},
    {kmOptPermutationSeed, kmOptTypeInt, 7160},
    {kmOptEarlyStopping, kmOptTypeInt, 2},
    {kmOptVarNamesIncluded, kmOptTypeBool, 0},
    {kmOptModelSelection, kmOptTypeInt, 0},
    {kmOptComparisonType, kmOptTypeInt, 0},
    {kmOptDataShift, kmOptTypeDouble, 0.0},
    {kmOptIndepPrecision, kmOptTypeInt, 0},
    {kmOptPairwiseType, kmOptTypeInt, 0},
    {kmOptKinkmarkAlpha, kmOptTypeDouble, 0.05},
    {kmOptAPCAlpha, kmOptTypeDouble, 0.05},
    {kmOptAAPCAlpha, kmOptTypeDouble, 0.05},
    {kmOptDependentCalculated, kmOptTypeBool, 0},
    {kmOptDependentType, kmOptTypeInt, 4},
    {kmOptJumpCRMode, kmOptTypeInt, 0},
    {kmOptJumpLocation, kmOptTypeDouble, -1.0},
    {kmOptCRValue, kmOptTypeDouble, -1.0},
    {kmOptCRVariance, kmOptTypeDouble, -1.0},
    {kmOptCompressionThreshold, kmOptTypeDouble, 0.0},
    {kmOptCompressBackward, kmOptTypeInt, 0},
    {kmOptAAPCCIMethod, kmOptTypeInt, 0},
    {kmOptRatesPerN, kmOptTypeInt, 0},
    {kmOptDictDelayStats, kmOptTypeInt, 0},
    {kmOptDelayType, kmOptTypeInt, 0},
    {kmOptNumResamples, kmOptTypeInt, 10000},
    {kmOptDelayStatKind, kmOptTypeInt, -1},
    {kmOptReserved39, kmOptTypeBool, 0},
    {kmOptReserved40, kmOptTypeInt, 10},
    {kmOptClusterSetting, kmOptTypeInt, 0},
    {42, kmOptTypeInvalid, 0},
    {kmOptClusterOrdering, kmOptTypeInt, 0},
    {kmOptClusterCriterion, kmOptTypeInt, 0},
    {kmOptReserved45, kmOptTypeInt, 0},
    {kmOptPerCohortMaxKinkmarks, kmOptTypeBool, 0},
    {kmOptJumpCRAlpha, kmOptTypeDouble, 0.05},
    {kmOptPairwiseAlpha, kmOptTypeDouble, 0.05},
    {kmOptPairwisePermutations, kmOptTypeInt, 4499},
    {kmOptEmpQuantileMethod, kmOptTypeInt, 2},
    {kmOptEmpQuantileSeed, kmOptTypeInt, 10000},
    {kmOptEmpQuantileSeedType, kmOptTypeInt, 0},
    {kmOptFSMOnly, kmOptTypeBool, 0},
    {kmOptGraphFlag, kmOptTypeBool, 0},
    {kmOptDisparityDict, kmOptTypeBool, 0},
    {kmOptHeaderLines, kmOptTypeInt, 0},
    {kmOptVarCovarDelimiter, kmOptTypeInt, 0},
    {kmOptVarCovarFlagA, kmOptTypeBool, 0},
    {kmOptVarCovarFlagB, kmOptTypeBool, 0},
    {kmOptMADWDPsi, kmOptTypeDouble, 0.0},
    {kmOptMADWD, kmOptTypeBool, 0},
    {kmOptReserved62, kmOptTypeInt, 0},
    {kmOptMaxKinkmarksFeasibility, kmOptTypeInt, 0},
};

// The table is indexed by identifier, so each record must sit at its own.
constexpr bool TableIsInIdentifierOrder() {
  for (int i = 0; i < kmNumOptions; ++i) {
    if (kOptionTable[i].iId != i) return false;
  }
  return true;
}
static_assert(TableIsInIdentifierOrder(),
              "option records must be in identifier order");

}  // namespace

void kmSession::InitOptions() {
  vOptions_.assign(kmNumOptions, 0.0);
  // Through the typed setters, so that every default also passes the type
  // check of its option.
  for (const kmOptionRecord& record : kOptionTable) {
    switch (record.iType) {
      case kmOptTypeInt:
        SetInt(record.iId, static_cast<int>(record.dDefault));
        break;
      case kmOptTypeBool:
        SetBool(record.iId, record.dDefault != 0.0);
        break;
      case kmOptTypeDouble:
        SetDouble(record.iId, record.dDefault);
        break;
      default:
        break;
    }
  }
  vStrings_.clear();
  vStrings_.resize(kmNumStrings);
  SetString(kmStrRateUnit, "Annual");
  iNumCores_ = kDefaultNumCores;
}

int kmSession::GetOptionType(int iId) {
  if (iId < 0 || iId >= kmNumOptions) return kmOptTypeInvalid;
  return kOptionTable[iId].iType;
}

int kmSession::GetInt(int iId) const {
  return WithCallPath("GetInt", kClassName, [&]() -> int {
    if (GetOptionType(iId) != kmOptTypeInt) {
      GenerateKmException("Invalid request for integer.", kClassName);
    }
    const double dValue = vOptions_[iId];
    // The setters only store ints here, but a damaged session file can put
    // any double into the slot; converting one beyond the int range would be
    // undefined.
    if (!(dValue > -2147483649.0 && dValue < 2147483648.0)) {
      GenerateKmExceptionF("Option %d holds %g, which is not an integer value.",
                           kClassName, iId, dValue);
    }
    return static_cast<int>(dValue);
  });
}

bool kmSession::GetBool(int iId) const {
  return WithCallPath("GetBool", kClassName, [&]() -> bool {
    if (GetOptionType(iId) != kmOptTypeBool) {
      GenerateKmException("Invalid request for boolean.", kClassName);
    }
    return vOptions_[iId] != 0.0;
  });
}

double kmSession::GetDouble(int iId) const {
  return WithCallPath("GetDouble", kClassName, [&]() -> double {
    if (GetOptionType(iId) != kmOptTypeDouble) {
      GenerateKmException("Invalid request for double.", kClassName);
    }
    return vOptions_[iId];
  });
}

void kmSession::SetInt(int iId, int iValue) {
  WithCallPath("SetInt", kClassName, [&] {
    if (GetOptionType(iId) != kmOptTypeInt) {
      GenerateKmException("Invalid request to set int.", kClassName);
    }
    vOptions_[iId] = static_cast<double>(iValue);
  });
}

void kmSession::SetBool(int iId, bool bValue) {
  WithCallPath("SetBool", kClassName, [&] {
    if (GetOptionType(iId) != kmOptTypeBool) {
      GenerateKmException("Invalid request to set boolean.", kClassName);
    }
    vOptions_[iId] = bValue ? 1.0 : 0.0;
  });
}

void kmSession::SetDouble(int iId, double dValue) {
  WithCallPath("SetDouble", kClassName, [&] {
    if (GetOptionType(iId) != kmOptTypeDouble) {
      GenerateKmException("Invalid request to set double.", kClassName);
    }
    vOptions_[iId] = dValue;
  });
}

const char* kmSession::GetString(int iId, KmString& sOut) const {
  return WithCallPath("GetString", kClassName, [&]() -> const char* {
    if (iId < 0 || iId >= kmNumStrings) {
      GenerateKmExceptionF("Requesting invalid string value %d", kClassName,
                           iId);
    }
    sOut = vStrings_[iId];
    return sOut.GetCString();
  });
}

void kmSession::SetString(int16_t iId, const char* sText) {
  WithCallPath("SetString", kClassName, [&] {
    if (iId >= kmNumStrings) {
      GenerateKmExceptionF("String variable %d does not exist", kClassName,
                           static_cast<int>(iId));
    }
    // A negative slot fails in the vector's own index check.
    vStrings_[iId] = KmString(sText);
  });
}

void kmSession::SetVersion(const char* sText) {
  WithCallPath("SetVersion(const char*)", kClassName,
               [&] { SetString(kmStrProgramVersion, sText); });
}

void kmSession::GetProgramVersion(KmString& sOut) const {
  WithCallPath("GetProgramVersion", kClassName,
               [&] { GetString(kmStrProgramVersion, sOut); });
}

double kmSession::GetProgramVersAsDouble() const {
  return WithCallPath("GetProgramVersAsDouble", kClassName, [&]() -> double {
    KmString sVersion;
    GetString(kmStrProgramVersion, sVersion);
    sVersion.RemoveAll('V');
    sVersion.RemoveAll('.');
    // An empty version (a session whose version was never set) has no first
    // character to put the point after; it reads as 0 as atof would give.
    if (sVersion.IsEmpty()) return 0.0;
    sVersion.Insert(KmString("."), 1);
    return std::atof(sVersion.GetCString());
  });
}

double kmSession::GetFileVersionAsDouble() const {
  return WithCallPath("GetFileVersionAsDouble()", kClassName, [&]() -> double {
    KmString sVersion;
    GetString(kmStrFileVersion, sVersion);
    return std::atof(sVersion.GetCString());
  });
}

void kmSession::SetHeterOptions(kmErrorModel model) {
  WithCallPath("SetHeterOptions()", kClassName, [&] { Set(model); });
}

void kmSession::NameDependentType() {
  const kmDependentType current = Get<kmDependentType>();
  Set(kmDependentTypeOfColumns(
      fittedColumns_.value_or(kmFittedColumnsOfType(current)),
      GetBool(kmOptDependentCalculated), current));
}

char kmSession::GetDelimiterChar(int iCode) {
  switch (static_cast<kmDelimiter>(iCode)) {
    case kmDelimiter::kTab:
      return '\t';
    case kmDelimiter::kSpace:
      return ' ';
    case kmDelimiter::kComma:
      return ',';
    case kmDelimiter::kSemicolon:
      return ';';
  }
  // Any other code.
  GenerateKmException("Invalid call to GetDelimiterChar()", "kmSession.cpp");
}

int kmSession::GetDelimiterCode(char c) {
  for (int iCode = 0; iCode <= 3; ++iCode) {
    if (GetDelimiterChar(iCode) == c) return iCode;
  }
  return -1;
}

const KmString& kmSession::GetMissingString(KmString& sOut) const {
  return WithCallPath(
      "GetMissingString()", kClassName, [&]() -> const KmString& {
        const int iCode = GetInt(kmOptMissingCharacter);
        switch (iCode) {
          case 0:
            sOut = " ";
            break;
          case 1:
            sOut = ".";
            break;
          case 2:
            sOut = "NA";
            break;
          default:
            GenerateKmExceptionF("Missing character %i not recognized.",
                                 kClassName, iCode);
        }
        return sOut;
      });
}
