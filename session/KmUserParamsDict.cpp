// KmUserParamsDict: reading a session-parameter file.
#include "session/KmUserParamsDict.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmLineSource.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/kmTools.h"
#include "session/internal/FormatSection.h"
#include "session/internal/OpenDataLines.h"
#include "session/internal/OptionText.h"
#include "session/kmSession.h"

namespace {

const char kClassName[] = "KMUserParamsDict";
const char kHetLocationKey[] = "het error variable location";
// Largest location: the location fields are signed 16-bit.
const int32_t kMaxLocation = 32767;

// The variable roles of the file, in the order they are read.
enum Role {
  kIndependent,
  kAdjustment,
  kAgeAdjustedRate,
  kCount,
  kCrudeRate,
  kDependent,
  kDenominator,
  kNumerator,
  kPercent,
  kPopulation,
  kProportion,
  kStandardErrorRole,
  kStandardPopulation,
};

struct RoleKeys {
  Role eRole;
  const char* sLocationKey;
  const char* sNameKey;
  const char* sDefaultName;
  // Data type of the role's value labels; '\0' when the role has none.
  char cFormatType;
  // True when the role's name comes from the data file's first line when
  // variable names are included.
  bool bNameFromHeader;
};

const RoleKeys kRoles[] = {
    {kIndependent, "independent variable location", "independent variable",
     "Independent Variable", 'I', true},
    {kAdjustment, "adjustment variable location", "adjustment variable",
     "Adjustment Variable", 'A', true},
    {kAgeAdjustedRate, "age-adjusted rate location", "age-adjusted rate",
     "Age Adjusted Rate", '\0', true},
    {kCount, "count location", "count", "Count Variable", '\0', false},
    {kCrudeRate, "crude rate location", "crude rate", "Crude Rate", '\0',
     false},
    {kDependent, "dependent variable location", "dependent variable",
     "Dependent Variable", '\0', false},
    {kDenominator, "denominator location", "denominator", "Denominator", '\0',
     false},
    {kNumerator, "numerator location", "numerator", "Numerator", '\0', false},
    {kPercent, "percent location", "percent", "Percent", '\0', false},
    {kPopulation, "population location", "population", "Population Variable",
     '\0', false},
    {kProportion, "proportion location", "proportion", "Proportion Variable",
     '\0', false},
    {kStandardErrorRole, "standard error location", "standard error",
     "Standard Error", '\0', false},
    {kStandardPopulation, "standard population location", "standard population",
     "Standard Population", '\0', false},
};

// The value of key sKey of section, "" when the key is absent.
KmString GetValue(const KmIniSection& section, const char* sKey) {
  KmString sValue;
  section.GetString(sValue, sKey);
  return sValue;
}

// The keys of "Datafile Options" and their values.
const OptionRow kDatafileRows[] = {
    TextOption("datafile name"),
    WordOption("file format", "UNIX|DOS"),
    WordOption("field delimiter", "tab|space|comma|semi-colon"),
    WordOption("missing character", "period|space"),
    BoolOption("fields with delimiter in quotes"),
    BoolOption("variable names included"),
};

// True when sText is "by-var" followed by decimal digits and then sEnd.
bool IsByVarKey(const KmString& sText, const char* sEnd) {
  const char* p = sText.GetCString();
  if (std::strncmp(p, "by-var", 6) != 0) return false;
  p += 6;
  if (*p < '0' || *p > '9') return false;
  while (*p >= '0' && *p <= '9') ++p;
  return std::strcmp(p, sEnd) == 0;
}

}  // namespace

const OptionRow* KmUserParamsDict::DatafileOptionRows(size_t& iNumRows) {
  iNumRows = std::size(kDatafileRows);
  return kDatafileRows;
}

bool KmUserParamsDict::IsParameterKey(const KmString& sKey) {
  if (sKey == kHetLocationKey || IsByVarKey(sKey, "") ||
      IsByVarKey(sKey, " location")) {
    return true;
  }
  for (const RoleKeys& role : kRoles) {
    if (sKey == role.sLocationKey || sKey == role.sNameKey) return true;
  }
  return false;
}

KmString KmUserParamsDict::ParameterKeysText() {
  std::vector<std::string> vKeys;
  for (const RoleKeys& role : kRoles) {
    vKeys.push_back(role.sLocationKey);
    vKeys.push_back(role.sNameKey);
  }
  vKeys.push_back(kHetLocationKey);
  vKeys.push_back("by-var<n>");
  vKeys.push_back("by-var<n> location");
  return KeyListText(vKeys);
}

KmUserParamsDict::KmUserParamsDict(const char* sFileName,
                                   const char* sNamesFile)
    : dictionaryFile_(nullptr),
      dataFile_(nullptr),
      thirdFile_(nullptr),
      sessionOptions_(nullptr),
      sNamesFile_(sNamesFile != nullptr ? sNamesFile : "") {
  WithCallPath("Constructor", kClassName, [&] {
    Init();
    if (sFileName == nullptr || *sFileName == '\0') {
      GenerateKmException("Empty string pointer passed to constructor.",
                          kClassName);
    }
    Setup(sFileName);
  });
}

const char* KmUserParamsDict::FileName() {
  return dictionaryFile_.GetFullName();
}

void KmUserParamsDict::Init() {
  bQuotes_ = false;
  bFlagsIncluded_ = false;
  bGZipped_ = false;
  bRemoveThousandsSeparators_ = false;
  bUnixFileFormat_ = false;
  bVariableNamesIncluded_ = false;
  cFieldDelimiter_ = '\t';
  cMissingCharacter_ = ' ';
  iSessionType_ = 10;
  iVariableFormat_ = 0;
  vTitles_.clear();
  vVariables_.clear();
  vByVarLocations_.clear();
  vHeaderNames_.clear();
  sHeaderLine_.Clear();
  sHeaderFile_.Clear();
  iAdjustmentLoc_ = -1;
  iAgeAdjustedRateLoc_ = -1;
  iCountLoc_ = -1;
  iCrudeRateLoc_ = -1;
  iDependentLoc_ = -1;
  iDenominatorLoc_ = -1;
  iIndependentLoc_ = -1;
  iNumeratorLoc_ = -1;
  iPercentLoc_ = -1;
  iProportionLoc_ = -1;
  iPopulationLoc_ = -1;
  iStandardErrorLoc_ = -1;
  iStandardPopulationLoc_ = -1;
  hetErrorModel_ = kmErrorModel::kConstantVariance;
}

void KmUserParamsDict::Setup(const char* sFileName) {
  try {
    dictionaryFile_.SetFullPath(sFileName);
    sGivenName_ = sFileName;
    KmIniFile ini(FileName());
    Init();
    ReadDatafileOptionsSection(ini);
    IniReadVariables(ini);
  } catch (KmException& e) {
    // Everything that can go wrong here is a fault of the user's file; the
    // file is named in the call path for messages that do not name it.
    e.SetKind(KmException::kInputErrorKind);
    e.AddCallPath("Setup()", kClassName, FileName());
    throw;
  }
}

void KmUserParamsDict::ReadDatafileOptionsSection(KmIniFile& ini) {
  WithCallPath("ReadDatafileOptionsSection()", kClassName, [&] {
    const KmIniSection* pSection = ini.GetSection(kDatafileSection);
    if (pSection == nullptr) {
      GenerateKmInputExceptionF("Section \"[%s]\" not found in %s", kClassName,
                                kDatafileSection, FileName());
    }
    dataFile_.SetFullPath(GetValue(*pSection, "Datafile name").GetCString());
    iSessionType_ = 0;
    bRemoveThousandsSeparators_ = true;
    bFlagsIncluded_ = false;
    iVariableFormat_ = 0;

    bUnixFileFormat_ = GetValue(*pSection, "File format") == "UNIX";

    // An unknown delimiter word keeps the delimiter as it is.
    km_session_internal::FieldDelimiterFromWord(
        GetValue(*pSection, "Field delimiter"), cFieldDelimiter_);

    cMissingCharacter_ =
        GetValue(*pSection, "Missing character") == "period" ? '.' : ' ';

    const char* sFile = sGivenName_.GetCString();
    bQuotes_ =
        pSection->GetBool("Fields with delimiter in quotes", false, sFile);
    bVariableNamesIncluded_ =
        pSection->GetBool("Variable names included", false, sFile);
    if (bVariableNamesIncluded_) ReadHeaderNames();
  });
}

void KmUserParamsDict::ReadHeaderNames() {
  WithCallPath("ReadHeaderNames()", kClassName, [&] {
    // The names title the exports, so they come from the file the run
    // reads when the caller knows it, not from another one the file names.
    KmString sDataFile = sNamesFile_.IsEmpty()
                             ? KmString(KmFileName(dataFile_).GetFullName())
                             : sNamesFile_;
    if (sDataFile.IsEmpty()) {
      GenerateKmInputExceptionF(
          "\"Variable names included\" is set in %s, but no \"Datafile "
          "name\" gives the data file to read them from.",
          kClassName, FileName());
    }
    kmSession::RefuseSpreadsheet(sDataFile, kClassName);
    // The reader goes through the gzip reader for a ".gz" file, so the
    // names of a compressed file are read from its text, not its bytes.
    KmLineSource reader("Data file");
    km_session_internal::OpenDataLines(reader, sDataFile.GetCString());
    KmString sLine;
    reader.ReadNonBlankLine(sLine);
    sHeaderLine_ = sLine;
    sHeaderFile_ = sDataFile;
    const char sDelimiter[2] = {cFieldDelimiter_, '\0'};
    // The names are split and unquoted as the records' fields are: a name
    // in double quotes ("Year", as R's write.csv writes it) is Year.
    std::vector<KmString> vNames;
    KmStringTokenizer::QuoteFault fault;
    KmStringTokenizer::SplitRecord(sLine, KmString(sDelimiter), vNames, &fault);
    if (fault.eKind != KmStringTokenizer::QuoteFault::kNoFault) {
      GenerateKmInputExceptionF(
          "Data file \"%s\", line %d, column %d: %s", kClassName,
          sDataFile.GetCString(), static_cast<int>(reader.GetLineNumber()),
          static_cast<int>(fault.lField) + 1,
          KmStringTokenizer::QuoteFaultText(
              vNames[static_cast<size_t>(fault.lField)], fault)
              .GetCString());
    }
    vHeaderNames_.clear();
    for (const KmString& sName : vNames) {
      vHeaderNames_.push_back(kmTools::FieldText(sName));
    }
  });
}

void KmUserParamsDict::CheckHeaderLocation(int32_t iLocation,
                                           const char* sLocationKey) {
  if (iLocation <= static_cast<int32_t>(vHeaderNames_.size())) return;
  KmString sHint;
  const km_session_internal::FieldDelimiterWord* pOther =
      km_session_internal::OtherFieldDelimiter(
          cFieldDelimiter_, iLocation, [this](char c) {
            const char sDelimiter[2] = {c, '\0'};
            return KmStringTokenizer(sHeaderLine_.GetCString(), sDelimiter)
                .GetNumTokens();
          });
  if (pOther != nullptr) {
    const char* sWord =
        km_session_internal::WordOfFieldDelimiter(cFieldDelimiter_);
    sHint << "  The line is split at its field delimiter, "
          << (sWord != nullptr ? sWord : "?")
          << ", but it holds enough names split at " << pOther->sWord
          << ": is \"Field delimiter = " << pOther->sWord
          << "\" what the session file should say?";
  }
  GenerateKmInputExceptionF(
      "\"%s\" = %d in %s is beyond the %d variable names in the first line "
      "of the data file \"%s\".%s",
      kClassName, sLocationKey, iLocation, FileName(),
      static_cast<int>(vHeaderNames_.size()), sHeaderFile_.GetCString(),
      sHint.GetCString());
}

int32_t KmUserParamsDict::ParseLocation(const KmString& sValue,
                                        const char* sKey,
                                        const KmIniSection& section) {
  // A location is a column number by the one number rule; a text that is
  // no whole number is refused rather than guessed at.
  double dLocation = 0.0;
  const bool bWhole = ReadNumber(sValue.GetCString(), false, &dLocation) ==
                      NumberKind::kWholeNumber;
  if (!bWhole || dLocation < 1.0 || dLocation > kMaxLocation) {
    GenerateKmInputExceptionF(
        "The file \"%s\", line %d: \"%s\" = \"%s\" is not a column number "
        "from 1 to %d (%s).",
        kClassName, sGivenName_.GetCString(), section.GetKeyLine(sKey), sKey,
        sValue.GetCString(), kMaxLocation,
        RowNumberText(CountOption(sKey, 1, kMaxLocation), sValue.GetCString())
            .GetCString());
  }
  return static_cast<int32_t>(dLocation);
}

void KmUserParamsDict::StoreVariable(int32_t iLocation,
                                     const VSVariable& variable) {
  if (static_cast<int32_t>(vVariables_.size()) < iLocation) {
    vVariables_.resize(static_cast<size_t>(iLocation));
  }
  vVariables_[iLocation - 1] = variable;
}

void KmUserParamsDict::IniReadVariables(KmIniFile& ini) {
  // Every error here leaves the reader: a file whose variables could only be
  // read in part would give a session with roles silently missing (a lost
  // standard-error column changes the model).
  WithCallPath("IniReadVariables()", kClassName, [&] {
    const KmIniSection* pSection = ini.GetSection(kParametersSection);
    if (pSection == nullptr) {
      GenerateKmInputExceptionF("Section \"[%s]\" not found in %s", kClassName,
                                kParametersSection, FileName());
    }
    vVariables_.clear();

    for (const RoleKeys& role : kRoles) {
      const char* sLocationKey = role.sLocationKey;
      KmString sLocation = GetValue(*pSection, sLocationKey);
      bool bFromHetLocation = false;
      if (role.eRole == kStandardErrorRole && sLocation.IsEmpty()) {
        // The standard-error column may be given as the het error variable
        // location instead; a model word there is read further down.
        const KmString sHet = GetValue(*pSection, kHetLocationKey);
        kmErrorModel unused = kmErrorModel::kConstantVariance;
        if (!sHet.IsEmpty() &&
            !km_session_internal::HetErrorModelFromWord(sHet, unused)) {
          sLocation = sHet;
          sLocationKey = kHetLocationKey;
          bFromHetLocation = true;
        }
      }
      if (sLocation.IsEmpty()) continue;

      const int32_t iLocation =
          ParseLocation(sLocation, sLocationKey, *pSection);

      KmString sName;
      if (role.bNameFromHeader && bVariableNamesIncluded_) {
        CheckHeaderLocation(iLocation, sLocationKey);
        sName = vHeaderNames_[iLocation - 1];
      } else if (bFromHetLocation) {
        sName = role.sDefaultName;
      } else {
        sName = GetValue(*pSection, role.sNameKey);
        if (sName.IsEmpty()) sName = role.sDefaultName;
      }

      SetRoleLocation(role.eRole, iLocation);

      VSVariable variable(sName.GetCString());
      KmFormat format;
      if (role.cFormatType != '\0' &&
          km_session_internal::ReadFormatSection(ini, sName, role.cFormatType,
                                                 sGivenName_, format)) {
        variable.SetFormat(format);
      }
      StoreVariable(iLocation, variable);
    }

    ReadByVariables(ini, *pSection);
    km_session_internal::RefuseFormatOfNoVariable(ini, vVariables_,
                                                  sGivenName_);

    km_session_internal::HetErrorModelFromWord(
        GetValue(*pSection, kHetLocationKey), hetErrorModel_);
  });
}

void KmUserParamsDict::SetRoleLocation(int iRole, int32_t iLocation) {
  const int16_t iLocation16 = static_cast<int16_t>(iLocation);
  switch (static_cast<Role>(iRole)) {
    case kIndependent:
      iIndependentLoc_ = iLocation16;
      break;
    case kAdjustment:
      iAdjustmentLoc_ = iLocation16;
      break;
    case kAgeAdjustedRate:
      iAgeAdjustedRateLoc_ = iLocation16;
      break;
    case kCount:
      iCountLoc_ = iLocation;
      break;
    case kCrudeRate:
      iCrudeRateLoc_ = iLocation16;
      break;
    case kDependent:
      iDependentLoc_ = iLocation16;
      break;
    case kDenominator:
      iDenominatorLoc_ = iLocation16;
      iPopulationLoc_ = iLocation16;
      break;
    case kNumerator:
      iNumeratorLoc_ = iLocation16;
      iCountLoc_ = iLocation;
      break;
    case kPercent:
      iPercentLoc_ = iLocation16;
      break;
    case kPopulation:
      iPopulationLoc_ = iLocation16;
      break;
    case kProportion:
      iProportionLoc_ = iLocation16;
      break;
    case kStandardErrorRole:
      iStandardErrorLoc_ = iLocation16;
      hetErrorModel_ = kmErrorModel::kStandardError;
      break;
    case kStandardPopulation:
      iStandardPopulationLoc_ = iLocation16;
      break;
  }
}

void KmUserParamsDict::ReadByVariables(KmIniFile& ini,
                                       const KmIniSection& section) {
  // By-variables: by-var1, by-var2, ... up to the first empty name; one
  // whose location is empty is skipped.
  for (int32_t n = 1;; ++n) {
    char sKey[32];
    char sLocationKey[48];
    std::snprintf(sKey, sizeof(sKey), "by-var%d", n);
    std::snprintf(sLocationKey, sizeof(sLocationKey), "%s location", sKey);
    const KmString sName = GetValue(section, sKey);
    if (sName.IsEmpty()) break;
    const KmString sLocation = GetValue(section, sLocationKey);
    if (sLocation.IsEmpty()) continue;
    const int32_t iLocation = ParseLocation(sLocation, sLocationKey, section);
    vByVarLocations_.push_back(iLocation);
    VSVariable variable(sName.GetCString());
    KmFormat format;
    if (km_session_internal::ReadFormatSection(ini, sName, 'I', sGivenName_,
                                               format)) {
      variable.SetFormat(format);
    }
    StoreVariable(iLocation, variable);
  }
}
