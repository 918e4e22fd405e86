// IniSessionDict: defaults and the reader of the section "Session Options".
#include "session/IniSessionDict.h"

#include <iterator>
#include <limits>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIniFile.h"
#include "session/internal/OptionText.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char kClassName[] = "IniSessionDict";
const char kSectionName[] = "Session Options";
const char kHetErrorLocationKey[] = "het error variable location";

using km_session_internal::ValueOf;

// Reads a flag key into bMember: "true" in any case sets it and any other
// value clears it; absent or empty leaves it.
void ReadTrueFlag(const KmIniSection& section, const char* sKey,
                  bool& bMember) {
  const KmString sValue = km_session_internal::Lowered(ValueOf(section, sKey));
  if (!sValue.IsEmpty()) bMember = (sValue == "true");
}

}  // namespace

IniSessionDict::IniSessionDict(const char* sFileName) {
  WithCallPath("IniSessionDict(const char*)", kClassName, [&] {
    if (sFileName == nullptr || sFileName[0] == '\0') {
      GenerateKmException("Empty string pointer passed to constructor.",
                          kClassName);
    }
    Setup(sFileName);
  });
}

void IniSessionDict::Setup(const char* sFileName) {
  WithCallPath("Setup(const char*)", kClassName, [&] {
    sFileName_ = sFileName;
    KmIniFile theIniFile(sFileName);
    Init();
    IniReadSessionOptionsSection(theIniFile);
  });
}

const RunOptionRow* IniSessionDict::Rows(size_t& iNumRows) {
  using D = IniSessionDict;
  using R = RunOptionRead;
  using W = RunOptionWhen;
  constexpr double kInt32Min = -2147483648.0;
  constexpr double kInt32Max = 2147483647.0;
  // Every key in reading order: option, default, how it is read (field or
  // own reader), the code of an unknown word, when it is read, and the
  // session option it is copied to.
  static const RunOptionRow kRows[] = {
      {WordOption("model", "ln|linear"), 0, R::kByHand, nullptr, nullptr,
       nullptr, &D::ReadModel, 0, nullptr, W::kAlways, -1},
      {CountOption("minimum kinkmarks", 0, kRunMaxKinkmarks), 0, R::kInt,
       &D::iMinKinkmarks, nullptr, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptMinKinkmarks},
      {CountOption("maximum kinkmarks", 0, kRunMaxKinkmarks, "-1"), -1, R::kInt,
       &D::iMaxKinkmarks, nullptr, nullptr, nullptr, 0, nullptr, W::kAlways,
       -1},
      {CountOption("num cores", 0, kRunMaxCores), 0, R::kByHand, nullptr,
       nullptr, nullptr, &D::ReadNumCores, 0, nullptr, W::kAlways, -1},
      {NumberOption("data shift"), 0.0, R::kDouble, nullptr, &D::dDataShift,
       nullptr, nullptr, 0, nullptr, W::kAlways, kmOptDataShift},
      {WordOption("run type", "calculated|provided"), 1, R::kCode, &D::iRunType,
       nullptr, nullptr, nullptr, 1, nullptr, W::kAlways, -1},
      {WordOption("dependent variable type",
                  "count|crude rate|proportion|percent|age-adjusted rate"),
       -1, R::kCode, &D::iDependentVarType, nullptr, nullptr, nullptr, 4,
       nullptr, W::kAlways, -1},
      {WordOption("het error",
                  "constant variance|standard error|poisson rate|"
                  "poisson count"),
       -1, R::kByHand, nullptr, nullptr, nullptr, &D::ReadHetError, 0, nullptr,
       W::kAlways, -1},
      {CountOption(kHetErrorLocationKey, 1, kRunMaxLocation), -1, R::kByHand,
       nullptr, nullptr, nullptr, nullptr, 0, nullptr, W::kAlways, -1},
      {WordOption("pairwise", "parallel|coincident"), 0, R::kByHand, nullptr,
       nullptr, nullptr, &D::ReadPairwise, 0, nullptr, W::kAlways, -1},
      {LevelOption("pairwise significance level"), 0.05, R::kDouble, nullptr,
       &D::dPairwiseSignificanceLevel, nullptr, nullptr, 0, nullptr,
       W::kPairwise, kmOptPairwiseAlpha},
      {CountOption("pairwise number of permutations", 1, kRunMaxPermutations),
       4499, R::kInt, &D::iPairwisePermutations, nullptr, nullptr, nullptr, 0,
       nullptr, W::kPairwise, kmOptPairwisePermutations},
      {WordOption("method", "grid|hudsons"), 0, R::kCode, &D::iMethod, nullptr,
       nullptr, nullptr, kRefuseUnknownWord, "Method", W::kAlways, kmOptMethod},
      {CountOption("min obs end", 1, kRunMaxObservations), 2, R::kInt,
       &D::iMinObsEnd, nullptr, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptMinObsEnd},
      {CountOption("min obs between", 0, kRunMaxObservations), 2, R::kInt,
       &D::iMinObsBetween, nullptr, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptMinObsBetween},
      {CountOption("num obs between", 0, kRunMaxGridPointsBetween), 0, R::kInt,
       &D::iNumObsBetween, nullptr, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptGridPointsBetween},
      {CountOption("autocorr errors", 0, 1, "estimated"), 0.0, R::kByHand,
       nullptr, nullptr, nullptr, &D::ReadAutocorrelation, 0, nullptr,
       W::kAlways, -1},
      {WordOption("model selection method",
                  "permutation test|bic|mbic|bic3|data dependent selection|"
                  "wbic-alt|wbic"),
       0, R::kCode, &D::iModelSelectionMethod, nullptr, nullptr, nullptr,
       kRefuseUnknownWord, "Model selection method", W::kAlways,
       kmOptModelSelection},
      {LevelOption("permutations significance level"), 0.05, R::kDouble,
       nullptr, &D::dPermSignificanceLevel, nullptr, nullptr, 0, nullptr,
       W::kPermutationTest, kmOptPermSignificance},
      {CountOption("num permutations", 1, kRunMaxPermutations), 4499, R::kInt,
       &D::iNumPermutations, nullptr, nullptr, nullptr, 0, nullptr,
       W::kPermutationTest, kmOptNumPermutations},
      {WordOption("early stopping", "b-value|curtailed|fixed"), 2, R::kCode,
       &D::iEarlyStopping, nullptr, nullptr, nullptr, kRefuseUnknownWord,
       "Early stopping", W::kHudsons, kmOptEarlyStopping},
      {CountOption("rates per n", 1, kRunMaxRatesPerN), 100000, R::kInt,
       &D::iRatesPerN, nullptr, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptRatesPerN},
      {WordOption("ci method",
                  "parametric|empirical quantile method 1|"
                  "empirical quantile method 2|"
                  "empirical quantile method 1 fsm only|"
                  "empirical quantile method 2 fsm only"),
       0, R::kByHand, nullptr, nullptr, nullptr, &D::ReadCIMethod, 0, nullptr,
       W::kAlways, -1},
      {CountOption("number of resamples", 2, kRunMaxResamples), 1000, R::kInt,
       &D::iNumResamples, nullptr, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptNumResamples},
      {WordOption("delay type", "non-delay|delay|both"), -1, R::kCode,
       &D::iDelayType, nullptr, nullptr, nullptr, kKeepOnUnknownWord, nullptr,
       W::kAlways, -1},
      {BoolOption("jump model"), 0, R::kFlag, nullptr, nullptr, &D::bJumpModel,
       nullptr, 0, nullptr, W::kAlways, -1},
      {NumberOption("jump location"), 9999.0, R::kDouble, nullptr,
       &D::dJumpLocation, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptJumpLocation},
      {BoolOption("comparability ratio"), 0, R::kFlag, nullptr, nullptr,
       &D::bComparabilityRatio, nullptr, 0, nullptr, W::kAlways, -1},
      {NumberOption("comparability ratio value"), 0.0, R::kDouble, nullptr,
       &D::dCRValue, nullptr, nullptr, 0, nullptr, W::kAlways, kmOptCRValue},
      {NumberOption("cr variance"), 0.0, R::kDouble, nullptr, &D::dCRVariance,
       nullptr, nullptr, 0, nullptr, W::kAlways, kmOptCRVariance},
      {BoolOption("include standard analysis"), 0, R::kFlag, nullptr, nullptr,
       &D::bStandardAnalysis, nullptr, 0, nullptr, W::kAlways, -1},
      {LevelOption("kinkmark alpha level"), 0.05, R::kDouble, nullptr,
       &D::dKinkmarkAlpha, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptKinkmarkAlpha},
      {LevelOption("apc alpha level"), 0.05, R::kDouble, nullptr, &D::dAPCAlpha,
       nullptr, nullptr, 0, nullptr, W::kAlways, kmOptAPCAlpha},
      {LevelOption("aapc alpha level"), 0.05, R::kDouble, nullptr,
       &D::dAAPCAlpha, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptAAPCAlpha},
      {LevelOption("jump cr alpha level"), 0.05, R::kDouble, nullptr,
       &D::dJumpCRAlpha, nullptr, nullptr, 0, nullptr, W::kAlways,
       kmOptJumpCRAlpha},
      {NumberOption("random number generator seed", kInt32Min, kInt32Max), 7160,
       R::kInt, &D::iRandomSeed, nullptr, nullptr, nullptr, 0, nullptr,
       W::kAlways, kmOptPermutationSeed},
      {NumberOption("empirical quantile seed", kInt32Min, kInt32Max), 10000,
       R::kInt, &D::iEmpQuantileSeed, nullptr, nullptr, nullptr, 0, nullptr,
       W::kAlways, kmOptEmpQuantileSeed},
      {WordOption("empirical quantile seed type", "constant|varying"), 0,
       R::kCode, &D::iEmpQuantileSeedType, nullptr, nullptr, nullptr, 1,
       nullptr, W::kAlways, kmOptEmpQuantileSeedType},
      {BoolOption("madwd"), 0, R::kFlag, nullptr, nullptr, &D::bMADWD, nullptr,
       0, nullptr, W::kAlways, kmOptMADWD},
      {CountOption("madwd psi value", 0, 1), 0.0, R::kDouble, nullptr,
       &D::dMADWDPsi, nullptr, nullptr, 0, nullptr, W::kAlways, kmOptMADWDPsi},
  };
  iNumRows = std::size(kRows);
  return kRows;
}

void IniSessionDict::Init() {
  sDataFileName_ = "EMPTY";
  sModel_ = "ln";
  iHetErrorModel = -1;
  iHetErrorVarLocation = -1;
  bPairwise = false;
  iPairwiseType = 0;
  dAutocorrelation = 0.0;
  iCIMethod = 0;
  iEmpQuantileMethod = 2;
  iNumCores = 9999;
  bFSMOnly = false;
  size_t iNumRows = 0;
  const RunOptionRow* pRows = Rows(iNumRows);
  for (size_t i = 0; i < iNumRows; ++i) {
    const RunOptionRow& row = pRows[i];
    if (row.piField != nullptr) {
      this->*row.piField = static_cast<int32_t>(row.dDefault);
    }
    if (row.pdField != nullptr) this->*row.pdField = row.dDefault;
    if (row.pbField != nullptr) this->*row.pbField = row.dDefault != 0.0;
  }
}

bool IniSessionDict::ReadInt(const KmIniSection& section, const char* sKey,
                             int32_t& iField) const {
  const KmString sValue = ValueOf(section, sKey);
  if (sValue.IsEmpty()) return false;
  if (!km_session_internal::LeadingInt32(sValue.GetCString(), iField)) {
    ThrowOutOfRange(sValue, sKey);
  }
  return true;
}

void IniSessionDict::ThrowOutOfRange(const KmString& sValue,
                                     const char* sKey) const {
  GenerateKmInputExceptionF(
      "Error in ini file: %s.  %s is out of range for variable '%s'.",
      sFileName_.GetCString(), sFileName_.GetCString(), sValue.GetCString(),
      sKey);
}

void IniSessionDict::ReadDouble(const KmIniSection& section, const char* sKey,
                                double& dField) {
  const KmString sValue = ValueOf(section, sKey);
  if (sValue.IsEmpty()) return;
  dField = km_session_internal::LeadingDouble(sValue.GetCString());
}

void IniSessionDict::ThrowInvalidValue(const KmString& sLowerValue,
                                       const char* sVariable) const {
  GenerateKmInputExceptionF(
      "Error in ini file: %s.  %s is not a valid value for variable '%s'.",
      sFileName_.GetCString(), sFileName_.GetCString(),
      sLowerValue.GetCString(), sVariable);
}

void IniSessionDict::IniReadSessionOptionsSection(KmIniFile& theIniFile) {
  WithCallPath("IniReadSessionOptionsSection(KmIniFile&)", kClassName, [&] {
    const KmIniSection* pSection = theIniFile.GetSection(kSectionName);
    if (pSection == nullptr) return;
    KmString sValue = ValueOf(*pSection, "datafile name");
    if (!sValue.IsEmpty()) sDataFileName_ = sValue;
    size_t iNumRows = 0;
    const RunOptionRow* pRows = Rows(iNumRows);
    for (size_t i = 0; i < iNumRows; ++i) ReadRow(*pSection, pRows[i]);
  });
}

void IniSessionDict::ReadRow(const KmIniSection& section,
                             const RunOptionRow& row) {
  if ((row.when == RunOptionWhen::kPairwise && !bPairwise) ||
      (row.when == RunOptionWhen::kPermutationTest &&
       iModelSelectionMethod != 0) ||
      (row.when == RunOptionWhen::kHudsons && iMethod != 1)) {
    return;
  }
  const char* sKey = row.option.sKey;
  switch (row.read) {
    case RunOptionRead::kByHand:
      if (row.pByHand != nullptr) (this->*row.pByHand)(section, row.option);
      return;
    case RunOptionRead::kInt:
      ReadInt(section, sKey, this->*row.piField);
      return;
    case RunOptionRead::kDouble:
      ReadDouble(section, sKey, this->*row.pdField);
      return;
    case RunOptionRead::kFlag:
      ReadTrueFlag(section, sKey, this->*row.pbField);
      return;
    case RunOptionRead::kCode: {
      const KmString sValue =
          km_session_internal::Lowered(ValueOf(section, sKey));
      if (sValue.IsEmpty()) return;
      const int32_t iCode = WordCode(row.option.sWords, sValue);
      if (iCode >= 0) {
        this->*row.piField = iCode;
      } else if (row.iUnknownCode == kRefuseUnknownWord) {
        ThrowInvalidValue(sValue, row.sVariable);
      } else if (row.iUnknownCode != kKeepOnUnknownWord) {
        this->*row.piField = row.iUnknownCode;
      }
      return;
    }
  }
}

void IniSessionDict::ReadModel(const KmIniSection& section,
                               const OptionRow& row) {
  const KmString sValue = ValueOf(section, row.sKey);
  if (!sValue.IsEmpty()) sModel_ = km_session_internal::Lowered(sValue);
}

void IniSessionDict::ReadNumCores(const KmIniSection& section,
                                  const OptionRow& row) {
  int32_t iCores = iNumCores;
  if (!ReadInt(section, row.sKey, iCores)) return;
  // The session keeps the thread count in 16 bits.
  if (iCores < std::numeric_limits<int16_t>::min() ||
      iCores > std::numeric_limits<int16_t>::max()) {
    ThrowOutOfRange(ValueOf(section, row.sKey), row.sKey);
  }
  iNumCores = static_cast<int16_t>(iCores);
}

void IniSessionDict::ReadHetError(const KmIniSection& section,
                                  const OptionRow& row) {
  const KmString sValue =
      km_session_internal::Lowered(ValueOf(section, row.sKey));
  if (sValue.IsEmpty()) return;
  const int16_t iModel = km_session_internal::HetErrorModelFromWord(sValue);
  if (iModel >= 0) iHetErrorModel = iModel;
  // Provided standard errors and Poisson rates need the column of the
  // standard-error variable.
  if (iRunType == 1 && (iHetErrorModel == 2 || iHetErrorModel == 4)) {
    if (!ReadInt(section, kHetErrorLocationKey, iHetErrorVarLocation)) {
      GenerateKmInputExceptionF("Variable definition \"[%s]\" not found in %s",
                                kClassName, kHetErrorLocationKey,
                                sFileName_.GetCString());
    }
  }
}

void IniSessionDict::ReadPairwise(const KmIniSection& section,
                                  const OptionRow& row) {
  const KmString sValue =
      km_session_internal::Lowered(ValueOf(section, row.sKey));
  if (sValue.IsEmpty()) return;
  bPairwise = true;
  iPairwiseType = (sValue == "parallel") ? 0 : 1;
}

void IniSessionDict::ReadAutocorrelation(const KmIniSection& section,
                                         const OptionRow& row) {
  const KmString sValue =
      km_session_internal::Lowered(ValueOf(section, row.sKey));
  if (sValue.IsEmpty()) return;
  dAutocorrelation =
      (sValue == "estimated")
          ? 1.0
          : km_session_internal::LeadingDouble(sValue.GetCString());
}

void IniSessionDict::ReadCIMethod(const KmIniSection& section,
                                  const OptionRow& row) {
  const KmString sValue =
      km_session_internal::Lowered(ValueOf(section, row.sKey));
  if (sValue.IsEmpty()) return;
  bFSMOnly = false;
  // Positions in the row's words: parametric, then the empirical quantile
  // methods 1 and 2, then both again for the final selected model only.
  const int32_t iWord = WordCode(row.sWords, sValue);
  if (iWord < 0) return;
  iCIMethod = iWord == 0 ? 0 : 3;
  if (iWord > 0) iEmpQuantileMethod = (iWord - 1) % 2;
  bFSMOnly = iWord >= 3;
}
