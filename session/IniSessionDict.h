// The run-options file as read: the section "Session Options" as one plain
// record of typed fields.
#ifndef KM_SESSION_INISESSIONDICT_H
#define KM_SESSION_INISESSIONDICT_H

#include <cstddef>
#include <cstdint>

#include "foundation/KmString.h"
#include "session/OptionRow.h"

class KmIniFile;
class KmIniSection;
struct RunOptionRow;

// The ranges of the run options' counts, both ends included; the validator
// refuses a value outside them.
constexpr int32_t kRunMaxKinkmarks = 9;  // "minimum/maximum kinkmarks" 0 to 9
// "num cores" 0 to 9999; 0 and 9999 mean every hardware thread.
constexpr int32_t kRunMaxCores = 9999;
// "het error variable location": a column from 1 to 32767.
constexpr int32_t kRunMaxLocation = 32767;
// "num permutations", "pairwise number of permutations": 1 to 100000.
constexpr int32_t kRunMaxPermutations = 100000;
// "min obs end": 1 to 1000 (a kinkmark on the first or last observation
// cannot be fitted); "min obs between": 0 to 1000 (0 lets kinkmarks stand on
// neighbouring observations).
constexpr int32_t kRunMaxObservations = 1000;
// "num obs between" (grid points between two data points): 0 to 20; the
// grid, and the memory of the search, grow with it.
constexpr int32_t kRunMaxGridPointsBetween = 20;
constexpr int32_t kRunMaxRatesPerN = 1000000000;  // "rates per n" 1 to 1e9
constexpr int32_t kRunMaxResamples = 100000;  // "number of resamples" 2 to 1e5

// IniSessionDict reads the section "Session Options" of a run-options file
// into the fields below, each with its default, and does nothing else: it
// neither validates the file as a whole nor touches a session. The driver
// validates every key first, constructs an IniSessionDict, applies the
// fields to the session through its option setters and destroys it.
//
// Every key is a row of the table Rows() (below), which drives the
// defaults (Init), the reading, the validation of the file and the applying
// of the values to the session.
//
// Rules of the reader:
//  - a file without the section, or a file that does not exist, leaves
//    every field at its default;
//  - a missing key and an empty value are the same: the field keeps its
//    value;
//  - word values are lower-cased before they are compared;
//  - a number is read by the one number rule, wholly or not at all
//    (ReadOptionNumber): a value that is not wholly a number of its key's
//    class ("3x", "2.5" for a whole number, "1e999") is refused, never
//    read by its leading digits. A whole number that does not fit its
//    field is refused (kind 3) instead of being cut down;
//  - a switch is yes or no by the one yes/no rule (ReadYesNo); the driver's
//    check has refused a value that is neither before the reader runs;
//  - unknown keys are ignored.
//
// Every operation that lets a KmException pass adds its name and
// "IniSessionDict" to the call path and rethrows it.
class IniSessionDict {
 public:
  // Reads sFileName. Throws KmException:
  //  - "Empty string pointer passed to constructor." (kind 0) for a null or
  //    empty name;
  //  - kind 3, source the file name: "Error in ini file: <file>.  <value> is
  //    not a valid value for variable 'Method'." and the same for
  //    'Model selection method' and 'Early stopping', with the lower-cased
  //    value;
  //  - kind 3 "Variable definition \"[het error variable location]\" not
  //    found in <file>" when the run type is 1, "het error" names the
  //    standard error or the Poisson rate and the location is missing;
  //  - kind 3 "Error in ini file: <file>.  <value> is out of range for
  //    variable '<key>'." for a whole number too large for its field;
  //  - ReadOptionNumber's refusal of a value that is not wholly a number.
  explicit IniSessionDict(const char* sFileName);

  // Reads sFileName (an absent file reads as an empty one), Init, then
  // IniReadSessionOptionsSection. Throws as the constructor, less the
  // empty-name check.
  void Setup(const char* sFileName);
  // Sets every field to its default.
  void Init();
  // Reads the section "Session Options" of theIniFile over the fields.
  // Reading stops at the first error. Throws as the constructor.
  void IniReadSessionOptionsSection(KmIniFile& theIniFile);

  // The rows of every key of "Session Options", in reading order;
  // iNumRows receives their number.
  static const RunOptionRow* Rows(size_t& iNumRows);

  // "datafile name", unchanged; "EMPTY" when the file gives none.
  KmString GetDataFileName() const { return sDataFileName_; }
  // "model", lower-cased; "ln" (log-linear) by default.
  KmString GetModel() const { return sModel_; }

  // Fields in file order; each comment gives the default and the key.
  double dDataShift;      // 0.0, "data shift"
  int32_t iMinKinkmarks;  // 0, "minimum kinkmarks"
  // -1: the session keeps its own value. "maximum kinkmarks".
  int32_t iMaxKinkmarks;
  // 0 constant variance, 1 Poisson count, 2 standard error, 4 Poisson rate;
  // -1 not given. "het error".
  int32_t iHetErrorModel;
  // Column of the standard-error variable; -1 until read from "het error
  // variable location".
  int32_t iHetErrorVarLocation;
  // Set by any non-empty "pairwise".
  bool bPairwise;  // false
  // 0 parallel ("pairwise" = "parallel"), 1 coincident (any other word).
  int32_t iPairwiseType;  // 0
  // 0 grid search ("grid"), 1 Hudson's method ("hudsons"). "method".
  int32_t iMethod;  // 0
  // 1.0 for "estimated", otherwise the number given. "autocorr errors".
  double dAutocorrelation;  // 0.0
  int32_t iMinObsEnd;       // 2, "min obs end"
  int32_t iMinObsBetween;   // 2, "min obs between"
  int32_t iNumObsBetween;   // 0, "num obs between"
  // 0 permutation test, 1 BIC, 2 MBIC, 3 BIC3, 4 data-dependent selection,
  // 5 WBIC-Alt, 6 WBIC. "model selection method".
  int32_t iModelSelectionMethod;  // 0
  // Read only with the permutation test.
  double dPermSignificanceLevel;  // 0.05, "permutations significance level"
  int32_t iNumPermutations;       // 4499, "num permutations"
  // 0 B-value, 1 curtailed, 2 fixed; read only with Hudson's method.
  int32_t iEarlyStopping;  // 2, "early stopping"
  // AAPC intervals: 0 parametric, 3 empirical quantile. "ci method".
  int32_t iCIMethod;  // 0
  // 0 method 1, 1 method 2. Set by "ci method".
  int32_t iEmpQuantileMethod;  // 2
  int32_t iNumResamples;       // 1000, "number of resamples"
  // Worker threads asked for; the session holds it in 16 bits, so values
  // outside -32768 to 32767 are refused. "num cores".
  int16_t iNumCores;  // 9999
  // Rate multiplier; 100000 again when the key is missing or empty.
  int32_t iRatesPerN;  // 100000, "rates per n"
  // 0 dependent variable calculated ("calculated"), 1 provided. "run type".
  int32_t iRunType;  // 1
  // 0 count, 1 crude rate, 2 proportion, 3 percent, 4 any other word;
  // -1 not given, so that the session keeps the type its definition gave.
  // "dependent variable type".
  int32_t iDependentVarType;  // -1
  // 0 non-delay, 1 delay, 2 both; -1 not given. "delay type".
  int32_t iDelayType;        // -1
  bool bJumpModel;           // false, "jump model"
  bool bComparabilityRatio;  // false, "comparability ratio"
  bool bStandardAnalysis;    // false, "include standard analysis"
  double dJumpLocation;      // 9999.0, "jump location"
  double dCRValue;           // 0.0, "comparability ratio value"
  double dCRVariance;        // 0.0, "cr variance"
  double dKinkmarkAlpha;     // 0.05, "kinkmark alpha level"
  double dAPCAlpha;          // 0.05, "apc alpha level"
  double dAAPCAlpha;         // 0.05, "aapc alpha level"
  double dJumpCRAlpha;       // 0.05, "jump cr alpha level"
  // Read only when "pairwise" is given.
  double dPairwiseSignificanceLevel;  // 0.05, "pairwise significance level"
  int32_t iPairwisePermutations;      // 4499, "pairwise number of permutations"
  int32_t iRandomSeed;                // 7160, "random number generator seed"
  // The session's own defaults for the two resampling seed options.
  int32_t iEmpQuantileSeed;  // 10000, "empirical quantile seed"
  // 0 constant ("constant"), 1 varying (any other word).
  int32_t iEmpQuantileSeedType;  // 0, "empirical quantile seed type"
  bool bMADWD;                   // false, "madwd"
  double dMADWDPsi;              // 0.0, "madwd psi value"
  // Empirical-quantile intervals for the final selected model only; set by
  // "ci method".
  bool bFSMOnly;  // false

 private:
  // Reads the key of row into its field, as the row says.
  void ReadRow(const KmIniSection& section, const RunOptionRow& row);
  // The keys whose reading has rules of its own, each read by hand.
  void ReadModel(const KmIniSection& section, const OptionRow& row);
  void ReadNumCores(const KmIniSection& section, const OptionRow& row);
  void ReadHetError(const KmIniSection& section, const OptionRow& row);
  void ReadPairwise(const KmIniSection& section, const OptionRow& row);
  void ReadAutocorrelation(const KmIniSection& section, const OptionRow& row);
  void ReadCIMethod(const KmIniSection& section, const OptionRow& row);
  // Reads the whole number of row's key into iField when present, by the
  // one number rule (ReadOptionNumber, which refuses a value that is not
  // wholly a number of the row's class); throws the out-of-range message
  // when it does not fit in 32 bits. Returns whether the key was present.
  bool ReadInt(const KmIniSection& section, const OptionRow& row,
               int32_t& iField) const;
  // Reads the number of row's key into dField when present, as ReadInt.
  bool ReadDouble(const KmIniSection& section, const OptionRow& row,
                  double& dField) const;
  // Throws the kind-3 "is out of range for variable" message.
  [[noreturn]] void ThrowOutOfRange(const KmString& sValue,
                                    const char* sKey) const;
  // Throws the "is not a valid value for variable" message.
  [[noreturn]] void ThrowInvalidValue(const KmString& sLowerValue,
                                      const char* sVariable) const;

  KmString sDataFileName_;
  KmString sModel_;
  // The name the file was read from, for the messages.
  KmString sFileName_;
};

// How the reader takes the value of a row.
enum class RunOptionRead {
  kByHand,  // the row's own reader (pByHand)
  kInt,     // the leading whole number into piField
  kDouble,  // the leading number into pdField
  kFlag,    // yes (ReadYesNo) sets pbField, no clears it
  kCode,    // the position of the word in the row's list into piField
};

// When the reader takes a row: always, or only with a pairwise comparison,
// the permutation test or Hudson's method read before it.
enum class RunOptionWhen { kAlways, kPairwise, kPermutationTest, kHudsons };

// kCode rows: what a word outside the list does.
constexpr int32_t kRefuseUnknownWord = -2;  // the invalid-value message
constexpr int32_t kKeepOnUnknownWord = -1;  // the field keeps its value

// One row of the run-options table: the option (key, value class, words,
// range), its default, how and when it is read, and the session option it is
// copied to (-1: the driver applies it by its own rule). The table builds its
// rows with one maker per way of reading (IniSessionDict.cpp), so that each
// row reads as key, kind, default and target.
struct RunOptionRow {
  OptionRow option;
  // The default of the row's field; unused by kByHand rows, whose fields
  // Init sets itself.
  double dDefault;
  RunOptionRead read;
  int32_t IniSessionDict::*piField;
  double IniSessionDict::*pdField;
  bool IniSessionDict::*pbField;
  void (IniSessionDict::*pByHand)(const KmIniSection&, const OptionRow&);
  // kCode: the code of a word outside the list, or one of the two above.
  int32_t iUnknownCode;
  // kCode with kRefuseUnknownWord: the variable the message names.
  const char* sVariable;
  RunOptionWhen when;
  int32_t iSessionOption;
};

#endif  // KM_SESSION_INISESSIONDICT_H
