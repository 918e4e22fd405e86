// IniSessionDict: defaults and the reader of the section "Session Options".
#include "session/IniSessionDict.h"

#include <iterator>
#include <limits>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmYesNo.h"
#include "session/internal/OptionText.h"
#include "session/kmComparisonType.h"
#include "session/kmDelayType.h"
#include "session/kmFitMethod.h"
#include "session/kmIntervalMethod.h"
#include "session/kmModelSelection.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char kClassName[] = "IniSessionDict";
const char kSectionName[] = "Session Options";
const char kHetErrorLocationKey[] = "het error variable location";

using km_session_internal::ValueOf;

// Reads a flag key into bMember: yes by the one rule of a switch
// (ReadYesNo) sets it and any other value clears it; absent or empty leaves
// it. The driver's check has refused a value that is neither.
void ReadTrueFlag(const KmIniSection& section, const char* sKey,
                  bool& bMember) {
  const KmString sValue = ValueOf(section, sKey);
  if (!sValue.IsEmpty()) bMember = ReadYesNo(sValue) == YesNo::kYes;
}

// The session option of a row that the driver applies by its own rule.
constexpr int32_t kOwnRule = -1;

using RowReader = void (IniSessionDict::*)(const KmIniSection&,
                                           const OptionRow&);

// The row makers, one per way of reading a key. Each row is read always
// unless OnlyWith says otherwise.

// What every row has: no field, no reader, read always.
constexpr RunOptionRow BaseRow(OptionRow option, RunOptionRead read,
                               double dDefault, int32_t iSessionOption) {
  RunOptionRow row{};
  row.option = option;
  row.dDefault = dDefault;
  row.read = read;
  row.when = RunOptionWhen::kAlways;
  row.iSessionOption = iSessionOption;
  return row;
}

// A key with rules of its own, read by reader into fields whose defaults
// Init sets by hand and which the driver applies by its own rules.
constexpr RunOptionRow ByHandRow(OptionRow option, RowReader reader) {
  RunOptionRow row = BaseRow(option, RunOptionRead::kByHand, 0.0, kOwnRule);
  row.pByHand = reader;
  return row;
}

// A column of the data file (1 to kRunMaxLocation) that the reader of
// another key reads: "het error variable location" is read with "het
// error".
constexpr RunOptionRow LocationRow(const char* sKey) {
  return ByHandRow(CountOption(sKey, 1, kRunMaxLocation), nullptr);
}

// row with the field it is read into: piField, pdField or pbField by the
// field's type.
constexpr RunOptionRow Into(RunOptionRow row,
                            int32_t IniSessionDict::*piField) {
  row.piField = piField;
  return row;
}
constexpr RunOptionRow Into(RunOptionRow row, double IniSessionDict::*pdField) {
  row.pdField = pdField;
  return row;
}
constexpr RunOptionRow Into(RunOptionRow row, bool IniSessionDict::*pbField) {
  row.pbField = pbField;
  return row;
}

// The leading whole number of the value into piField.
constexpr RunOptionRow IntRow(OptionRow option, int32_t iDefault,
                              int32_t IniSessionDict::*piField,
                              int32_t iSessionOption = kOwnRule) {
  return Into(BaseRow(option, RunOptionRead::kInt, iDefault, iSessionOption),
              piField);
}

// The leading number of the value into pdField.
constexpr RunOptionRow DoubleRow(OptionRow option, double dDefault,
                                 double IniSessionDict::*pdField,
                                 int32_t iSessionOption = kOwnRule) {
  return Into(BaseRow(option, RunOptionRead::kDouble, dDefault, iSessionOption),
              pdField);
}

// A switch: yes (ReadYesNo) sets pbField, any other value clears it.
constexpr RunOptionRow FlagRow(OptionRow option, bool bDefault,
                               bool IniSessionDict::*pbField,
                               int32_t iSessionOption = kOwnRule) {
  return Into(BaseRow(option, RunOptionRead::kFlag, bDefault ? 1.0 : 0.0,
                      iSessionOption),
              pbField);
}

// The position of the word in the option's list into piField; a word
// outside the list stores iUnknownCode, or with kKeepOnUnknownWord leaves
// the field.
constexpr RunOptionRow CodeRow(OptionRow option, int32_t iDefault,
                               int32_t IniSessionDict::*piField,
                               int32_t iUnknownCode,
                               int32_t iSessionOption = kOwnRule) {
  RunOptionRow row = Into(
      BaseRow(option, RunOptionRead::kCode, iDefault, iSessionOption), piField);
  row.iUnknownCode = iUnknownCode;
  return row;
}

// As CodeRow, but a word outside the list is refused with the
// invalid-value message naming sVariable.
constexpr RunOptionRow RefusingCodeRow(OptionRow option, int32_t iDefault,
                                       int32_t IniSessionDict::*piField,
                                       const char* sVariable,
                                       int32_t iSessionOption) {
  RunOptionRow row =
      CodeRow(option, iDefault, piField, kRefuseUnknownWord, iSessionOption);
  row.sVariable = sVariable;
  return row;
}

// row, read only in the case when.
constexpr RunOptionRow OnlyWith(RunOptionWhen when, RunOptionRow row) {
  row.when = when;
  return row;
}

// A whole number of 32 bits, optionally negative.
constexpr OptionRow Int32Option(const char* sKey) {
  return CountOption(sKey, std::numeric_limits<int32_t>::min(),
                     std::numeric_limits<int32_t>::max());
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
  using W = RunOptionWhen;
  // Every key in reading order: the key with its kind (value class, words,
  // range), its default, the field it is read into and the session option
  // the field is copied to (none: the driver's own rule).
  static const RunOptionRow kRows[] = {
      ByHandRow(WordOption("model", "ln|linear"), &D::ReadModel),
      IntRow(CountOption("minimum kinkmarks", 0, kRunMaxKinkmarks), 0,
             &D::iMinKinkmarks, kmOptMinKinkmarks),
      IntRow(CountOption("maximum kinkmarks", 0, kRunMaxKinkmarks, "-1"), -1,
             &D::iMaxKinkmarks),
      ByHandRow(CountOption("num cores", 0, kRunMaxCores), &D::ReadNumCores),
      DoubleRow(NumberOption("data shift"), 0.0, &D::dDataShift,
                kmOptDataShift),
      CodeRow(WordOption("run type", "calculated|provided"), 1, &D::iRunType,
              1),
      CodeRow(WordOption("dependent variable type",
                         "count|crude rate|proportion|percent|"
                         "age-adjusted rate"),
              -1, &D::iDependentVarType, 4),
      ByHandRow(WordOption("het error",
                           "constant variance|standard error|poisson rate|"
                           "poisson count"),
                &D::ReadHetError),
      LocationRow(kHetErrorLocationKey),
      ByHandRow(WordOption("pairwise", kmCodedOption<kmPairwiseType>::kWords),
                &D::ReadPairwise),
      OnlyWith(W::kPairwise,
               DoubleRow(LevelOption("pairwise significance level"), 0.05,
                         &D::dPairwiseSignificanceLevel, kmOptPairwiseAlpha)),
      OnlyWith(
          W::kPairwise,
          IntRow(CountOption("pairwise number of permutations", 1,
                             kRunMaxPermutations),
                 4499, &D::iPairwisePermutations, kmOptPairwisePermutations)),
      RefusingCodeRow(WordOption("method", kmCodedOption<kmFitMethod>::kWords),
                      0, &D::iMethod, "Method", kmOptMethod),
      IntRow(CountOption("min obs end", 1, kRunMaxObservations), 2,
             &D::iMinObsEnd, kmOptMinObsEnd),
      IntRow(CountOption("min obs between", 0, kRunMaxObservations), 2,
             &D::iMinObsBetween, kmOptMinObsBetween),
      IntRow(CountOption("num obs between", 0, kRunMaxGridPointsBetween), 0,
             &D::iNumObsBetween, kmOptGridPointsBetween),
      ByHandRow(NumberOption("autocorr errors", 0, 1, "estimated"),
                &D::ReadAutocorrelation),
      RefusingCodeRow(WordOption("model selection method",
                                 kmCodedOption<kmModelSelection>::kWords),
                      0, &D::iModelSelectionMethod, "Model selection method",
                      kmOptModelSelection),
      OnlyWith(W::kPermutationTest,
               DoubleRow(LevelOption("permutations significance level"), 0.05,
                         &D::dPermSignificanceLevel, kmOptPermSignificance)),
      OnlyWith(W::kPermutationTest,
               IntRow(CountOption("num permutations", 1, kRunMaxPermutations),
                      4499, &D::iNumPermutations, kmOptNumPermutations)),
      OnlyWith(
          W::kHudsons,
          RefusingCodeRow(WordOption("early stopping",
                                     kmCodedOption<kmEarlyStopping>::kWords),
                          2, &D::iEarlyStopping, "Early stopping",
                          kmOptEarlyStopping)),
      IntRow(CountOption("rates per n", 1, kRunMaxRatesPerN), 100000,
             &D::iRatesPerN, kmOptRatesPerN),
      ByHandRow(WordOption("ci method",
                           "parametric|empirical quantile method 1|"
                           "empirical quantile method 2|"
                           "empirical quantile method 1 fsm only|"
                           "empirical quantile method 2 fsm only"),
                &D::ReadCIMethod),
      IntRow(CountOption("number of resamples", 2, kRunMaxResamples), 1000,
             &D::iNumResamples, kmOptNumResamples),
      CodeRow(WordOption("delay type", kmCodedOption<kmDelayType>::kWords), -1,
              &D::iDelayType, kKeepOnUnknownWord),
      FlagRow(BoolOption("jump model"), false, &D::bJumpModel),
      DoubleRow(NumberOption("jump location"), 9999.0, &D::dJumpLocation,
                kmOptJumpLocation),
      FlagRow(BoolOption("comparability ratio"), false,
              &D::bComparabilityRatio),
      DoubleRow(NumberOption("comparability ratio value"), 0.0, &D::dCRValue,
                kmOptCRValue),
      DoubleRow(NumberOption("cr variance"), 0.0, &D::dCRVariance,
                kmOptCRVariance),
      FlagRow(BoolOption("include standard analysis"), false,
              &D::bStandardAnalysis),
      DoubleRow(LevelOption("kinkmark alpha level"), 0.05, &D::dKinkmarkAlpha,
                kmOptKinkmarkAlpha),
      DoubleRow(LevelOption("apc alpha level"), 0.05, &D::dAPCAlpha,
                kmOptAPCAlpha),
      DoubleRow(LevelOption("aapc alpha level"), 0.05, &D::dAAPCAlpha,
                kmOptAAPCAlpha),
      DoubleRow(LevelOption("jump cr alpha level"), 0.05, &D::dJumpCRAlpha,
                kmOptJumpCRAlpha),
      IntRow(Int32Option("random number generator seed"), 7160, &D::iRandomSeed,
             kmOptPermutationSeed),
      IntRow(Int32Option("empirical quantile seed"), 10000,
             &D::iEmpQuantileSeed, kmOptEmpQuantileSeed),
      CodeRow(WordOption("empirical quantile seed type",
                         kmCodedOption<kmEmpQuantileSeedType>::kWords),
              0, &D::iEmpQuantileSeedType, 1, kmOptEmpQuantileSeedType),
      FlagRow(BoolOption("madwd"), false, &D::bMADWD, kmOptMADWD),
      DoubleRow(NumberOption("madwd psi value", 0, 1), 0.0, &D::dMADWDPsi,
                kmOptMADWDPsi),
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

bool IniSessionDict::ReadInt(const KmIniSection& section, const OptionRow& row,
                             int32_t& iField) const {
  double dValue = 0.0;
  if (!ReadDouble(section, row, dValue)) return false;
  if (dValue < std::numeric_limits<int32_t>::min() ||
      dValue > std::numeric_limits<int32_t>::max()) {
    ThrowOutOfRange(ValueOf(section, row.sKey), row.sKey);
  }
  iField = static_cast<int32_t>(dValue);
  return true;
}

bool IniSessionDict::ReadDouble(const KmIniSection& section,
                                const OptionRow& row, double& dField) const {
  return km_session_internal::ReadOptionNumber(
      section, sFileName_.GetCString(), row, row.sKey, dField, kClassName);
}

void IniSessionDict::ThrowOutOfRange(const KmString& sValue,
                                     const char* sKey) const {
  GenerateKmInputExceptionF(
      "Error in ini file: %s.  %s is out of range for variable '%s'.",
      sFileName_.GetCString(), sFileName_.GetCString(), sValue.GetCString(),
      sKey);
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
       static_cast<kmModelSelection>(iModelSelectionMethod) !=
           kmModelSelection::kPermutationTest) ||
      (row.when == RunOptionWhen::kHudsons &&
       !kmIsHudsons(static_cast<kmFitMethod>(iMethod)))) {
    return;
  }
  const char* sKey = row.option.sKey;
  switch (row.read) {
    case RunOptionRead::kByHand:
      if (row.pByHand != nullptr) (this->*row.pByHand)(section, row.option);
      return;
    case RunOptionRead::kInt:
      ReadInt(section, row.option, this->*row.piField);
      return;
    case RunOptionRead::kDouble:
      ReadDouble(section, row.option, this->*row.pdField);
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
  if (!ReadInt(section, row, iCores)) return;
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
  kmErrorModel model = static_cast<kmErrorModel>(iHetErrorModel);
  if (km_session_internal::HetErrorModelFromWord(sValue, model)) {
    iHetErrorModel = static_cast<int32_t>(model);
  }
  // Provided standard errors and Poisson rates need the column of the
  // standard-error variable.
  if (iRunType == 1 && (model == kmErrorModel::kStandardError ||
                        model == kmErrorModel::kPoissonRate)) {
    size_t iNumRows = 0;
    const RunOptionRow* pRows = Rows(iNumRows);
    const RunOptionRow* pLocation =
        FindRow(pRows, iNumRows, KmString(kHetErrorLocationKey));
    if (!ReadInt(section, pLocation->option, iHetErrorVarLocation)) {
      // Rates the run computes need no column: a file that leaves out the
      // run type gets "provided", which is the likelier mistake.
      const bool bRunTypeGiven = !ValueOf(section, "run type").IsEmpty();
      GenerateKmInputExceptionF(
          "The file \"%s\", [Session Options]: \"het error = %s\" with the "
          "run type \"provided\" (%s) weights the rates the data file "
          "holds by their standard errors, but no \"%s\" names the data "
          "file's column of them.  Write \"%s = <column>\", or \"run type = "
          "calculated\" to have the run compute the rates from counts and "
          "populations (\"dependent variable type = age-adjusted rate\" or "
          "\"crude rate\").",
          kClassName, sFileName_.GetCString(), sValue.GetCString(),
          bRunTypeGiven ? "as \"run type\" says"
                        : "its default: the file gives no \"run type\"",
          kHetErrorLocationKey, kHetErrorLocationKey);
    }
  }
}

void IniSessionDict::ReadPairwise(const KmIniSection& section,
                                  const OptionRow& row) {
  const KmString sValue =
      km_session_internal::Lowered(ValueOf(section, row.sKey));
  if (sValue.IsEmpty()) return;
  bPairwise = true;
  // Every word but "parallel" asks for the coincident model.
  kmPairwiseType type = kmPairwiseType::kCoincident;
  kmCodeFromText(sValue, type);
  iPairwiseType = static_cast<int>(type);
}

void IniSessionDict::ReadAutocorrelation(const KmIniSection& section,
                                         const OptionRow& row) {
  const KmString sValue =
      km_session_internal::Lowered(ValueOf(section, row.sKey));
  if (sValue.IsEmpty()) return;
  if (sValue == "estimated") {
    dAutocorrelation = 1.0;
  } else {
    ReadDouble(section, row, dAutocorrelation);
  }
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
