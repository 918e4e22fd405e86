// The session: the complete definition of one analysis.
#ifndef KM_SESSION_KMSESSION_H
#define KM_SESSION_KMSESSION_H

#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/KmFileTarget.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "session/kmDelimiter.h"
#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"
// Variables, AAPC ranges, adjustment formats, observation records.
#include "session/NumOfObs.h"
#include "session/kmAAPCRanges.h"
#include "session/kmAdjustVarFormat.h"
#include "session/kmDependentType.h"
#include "session/kmErrorModel.h"
#include "session/kmVariable.h"

class KmIO_File;
// Options handed to the run summary's output-options block.
// Session definitions a session can be built from.
class KmUserParamsDict;
class VSExportDict;

// The variable roles of a session: index into the role positions, read
// through kmSession::GetKMVar and set through kmSession::SetKMVarPosition.
enum kmVarRole : int {
  kmVarIndependent = 0,    // independent variable (for example the year)
  kmVarDependent = 1,      // the value that is fitted
  kmVarStdError = 2,       // standard error
  kmVarPopulation = 3,     // population (denominator)
  kmVarStdPopulation = 4,  // standard population
  kmVarCount = 5,          // count (numerator)
  kmVarAdjustment = 6,     // groups over which age-adjusted rates are formed
  kmVarRate = 7,           // rate (crude or age-adjusted)
  kmVarDelayRate = 8,      // any delay-adjusted rate or trend statistic
  kmVarDelayCount = 9,     // delay count
  kmVarDelaySE = 10,       // delay standard error
  kmVarDisparity = 11,     // disparity
  kmNumVarRoles = 12
};

// kmSession holds everything that defines an analysis. Its settings that are
// numbers or switches live in one table of 64 options addressed by an
// identifier (kmSessionOptionIds.h), each stored as a double and typed int,
// bool or double by a fixed type table; beside them it holds eight text
// slots and the worker-thread count.
//
// It also holds the variables of the data file (name, 1-based position,
// optional value format), which variable plays each role (kmVarRole), the
// by-variables that split the data into cohorts, the AAPC ranges, the
// adjustment-variable formats and the per-cohort lists the driver fills
// after reading the data (labels, observation counts, selection flags). It
// is saved as the session block (Write, Read), which also heads the results
// file. Invariant: a by-variable or role position, when set, lies between 1
// and the number of variables.
//
// Every subsystem reads and writes settings only through the typed accessors
// below with a constant identifier. A request whose type does not match the
// identifier's type raises a KmException and changes nothing.
//
// The session is filled on the driver's thread before the calculation starts
// and only read while worker threads run; no accessor takes a lock.
class kmSession {
 public:
  // Value of the worker-thread count after Init: more than any machine has,
  // so a run that does not set it uses every hardware thread.
  static constexpr int16_t kDefaultNumCores = 9999;

  // A session holding the defaults of Init.
  // Throws: KmException from Init, with "kmSession()" added to its call path.
  kmSession();
  virtual ~kmSession();

  // ---- Lifetime -----------------------------------------------------------

  // Restores every default: the option vector becomes exactly 64 slots of 0.0
  // and then takes the default of each option (kmSessionOptionIds.h) through
  // the typed setters; the text slots become 8 empty slots with
  // kmStrRateUnit "Annual"; the worker-thread count becomes 9999.
  // Throws: KmException (call path "Init"), which would mean a default that
  // does not fit its option's type.
  void Init();
  // The same as Init (call path "Clear()").
  void Clear();

  // ---- Options ------------------------------------------------------------

  // The type of option iId: kmOptTypeInt, kmOptTypeBool, kmOptTypeDouble, or
  // kmOptTypeInvalid for 42 and every identifier outside 0 to 63.
  static int GetOptionType(int iId);

  // Option iId truncated toward zero.
  // Throws: KmException "Invalid request for integer." unless iId is an int
  // option; a clear KmException when the slot holds no value an int can take
  // (a NaN or a value beyond the int range, possible only from a damaged
  // session file).
  int GetInt(int iId) const;
  // True when option iId is not 0.0 (a NaN counts as true).
  // Throws: KmException "Invalid request for boolean." unless iId is a bool
  // option.
  bool GetBool(int iId) const;
  // Option iId as stored.
  // Throws: KmException "Invalid request for double." unless iId is a double
  // option.
  double GetDouble(int iId) const;

  // The coded option of enum Code (see kmOptionCode.h), as its enum.
  // Throws: as GetInt.
  template <typename Code>
  Code Get() const {
    return static_cast<Code>(GetInt(kmCodedOption<Code>::kId));
  }
  // Stores code as the value of the coded option of its enum.
  template <typename Code>
  void Set(Code code) {
    SetInt(kmCodedOption<Code>::kId, static_cast<int>(code));
  }

  // Store iValue (as a double) into int option iId; the value is not
  // range-checked.
  // Throws: KmException "Invalid request to set int." unless iId is an int
  // option.
  void SetInt(int iId, int iValue);
  // Store 1.0 or 0.0 into bool option iId.
  // Throws: KmException "Invalid request to set boolean." unless iId is a
  // bool option.
  void SetBool(int iId, bool bValue);
  // Store dValue into double option iId; the value is not range-checked.
  // Throws: KmException "Invalid request to set double." unless iId is a
  // double option.
  void SetDouble(int iId, double dValue);

  // Copies text slot iId into sOut and returns sOut's text.
  // Throws: KmException "Requesting invalid string value %d" (with iId) for
  // iId below 0 or above 7.
  const char* GetString(int iId, KmString& sOut) const;
  // Replaces text slot iId with sText (null gives "").
  // Throws: KmException "String variable %d does not exist" (with iId) for
  // iId of 8 or more; the vector's index error for a negative iId.
  void SetString(int16_t iId, const char* sText);

  // Sets the program version slot (kmStrProgramVersion).
  void SetVersion(const char* sText);
  // Copies the program version slot into sOut.
  void GetProgramVersion(KmString& sOut) const;
  // The program version as a number: every "V" and then every "." removed
  // from the text, a "." put after its first character, then atof.
  // "V4.9.0.0" and "4.900" both give 4.9; an empty version gives 0.0.
  double GetProgramVersAsDouble() const;
  // atof of the file version slot (kmStrFileVersion); empty gives 0.0.
  double GetFileVersionAsDouble() const;

  // Sets kmOptHetErrorModel to model.
  void SetHeterOptions(kmErrorModel model);

  // Sets kmOptDependentType to what the columns of the session definition
  // name under kmOptDependentCalculated as it stands
  // (kmDependentTypeOfColumns): the columns the data dictionary or the
  // session-parameter file fits, or those a saved session's stored type
  // names. Every route names its type here, and the driver again once the
  // run options have set the run type, unless they give a type.
  void NameDependentType();

  // The field-delimiter character of a delimiter code as kmOptFieldDelimiter
  // and kmOptVarCovarDelimiter hold it: 0 tab, 1 blank, 2 ',', 3 ';'.
  // (The export options use codes of their own; do not pass those here.)
  // Throws: KmException "Invalid call to GetDelimiterChar()" (source
  // "kmSession.cpp") for any other code.
  static char GetDelimiterChar(int iCode);
  static char GetDelimiterChar(kmDelimiter delimiter) {
    return GetDelimiterChar(static_cast<int>(delimiter));
  }
  // The session delimiter code of the character c (the inverse of
  // GetDelimiterChar): 0 tab, 1 space, 2 comma, 3 semicolon; -1 for any
  // other character.
  static int GetDelimiterCode(char c);
  // sOut becomes the missing-value text that kmOptMissingCharacter names:
  // " " for 0, "." for 1, "NA" for 2. Returns sOut.
  // Throws: KmException "Missing character %i not recognized." (with the
  // code) for any other code.
  const KmString& GetMissingString(KmString& sOut) const;

  // Worker threads asked for by the run options (not one of the 64 options
  // and not stored in the session file). The calculation uses it when it is
  // above 0, capped at the hardware thread count.
  int16_t GetNumCores() const { return iNumCores_; }
  void SetNumCores(int16_t iNumCores) { iNumCores_ = iNumCores; }

  // ---- Copying (kmSessionLifetime.cpp) ------------------------------------

  // Init, then Copy(other).
  // Throws: KmException with "Copy Constructor" added to its call path.
  kmSession(const kmSession& other);
  // Copy(other) unless other is this session; returns this session.
  kmSession& operator=(const kmSession& other);
  // Clear, then copies the options, text slots, worker-thread count, the
  // fitted columns (NameDependentType), variables, by-variables, role
  // positions, adjustment formats, observation counts and records, cluster
  // formats, AAPC ranges, maximum observations, the data file the session
  // definition names, cohort labels and selection flags. The dictionary state
  // (flag, not-used counter, error flag, messages) and the calculation
  // adjustment formats keep their Init state.
  void Copy(const kmSession& other);
  // Empties the variables and by-variables and resets the role positions to
  // kmNumVarRoles zeros.
  void ClearVariables();

  // ---- Variables, roles and by-variables (kmSessionVariables.cpp) ---------

  // Number of variables of the data file known to the session.
  int32_t GetNumVars() const {
    return static_cast<int32_t>(vVariables_.size());
  }
  // Variable i (0-based).
  // Throws: KmException "Variable %d does not exist." when i is at or beyond
  // the number of variables; the KmVector index error when i is negative.
  const kmVariable& GetVar(int16_t i) const;
  // Appends a copy of variable and returns its 1-based position in the
  // variable list (the number of variables after the append). The
  // variable's own column position is kept as given.
  int32_t AddVariable(const kmVariable& variable);

  // Number of by-variables.
  int32_t GetNumByVars() const { return static_cast<int32_t>(vByVars_.size()); }
  // 1-based variable positions of the by-variables, in order.
  const KmVector<int32_t>& GetByVarPositions() const { return vByVars_; }
  // The variable of by-variable i (0-based).
  // Throws: KmException "Attempt to access By-variable %d of %d." (i and the
  // count) when i is outside 0 to count - 1.
  const kmVariable& GetByVar(int16_t i) const;
  // Appends the variable at 1-based iPosition to the by-variables.
  // Throws: KmException "%i is out of bounds in vector of size %d." when
  // iPosition is below 1 or above the number of variables.
  void AddByVarPosition(int32_t iPosition);

  // The variable that plays iRole (kmVarRole).
  // Throws: KmException "KM variable %d not yet defined." when the role is
  // unset (position 0); the KmVector index error for a role outside the
  // role positions.
  const kmVariable& GetKMVar(int iRole) const;
  // 1-based position of the variable playing iRole, 0 when unset.
  // Throws: the KmVector index error for a role outside the role positions.
  int32_t GetKMVarPosition(int iRole) const;
  // Number of role positions: kmNumVarRoles, plus one per synthetic
  // by-variable added.
  int32_t GetNumKMVarPositions() const {
    return static_cast<int32_t>(vKMVarPositions_.size());
  }
  // Stores iPosition (1-based) as the variable of iRole.
  // Throws: KmException "%i is out of bounds in vector of size %d." (the
  // position and the number of variables) when iPosition is below 1 or
  // above the number of variables; the KmVector index error for a role
  // outside the role positions.
  void SetKMVarPosition(int iRole, int iPosition);

  // Adds the synthetic by-variable "Delay and NonDelay" of the delay
  // analysis (kmOptDelayType 2, "both"): a short-typed format with
  // 0 "Delay" and 1 "Non-Delay", at position count + 1, appended to the
  // by-variables and to the role positions.
  void AddByVar();
  // Adds the synthetic by-variable "Jump, Comparability, Standard" of the
  // jump and comparability-ratio analysis by kmOptJumpCRMode m: for m 3 to
  // 6 a short-typed format numbering, from 0, "Jump" (m 3, 4, 6), then
  // "Comparability" (m 3, 5, 6), then "Standard" (m 4, 5, 6); appended as
  // AddByVar does. Any other m adds nothing.
  void AddByVarJump();
  // Removes the synthetic by-variables that AddByVar and AddByVarJump added
  // (those whose positions follow the kmNumVarRoles role entries), leaving
  // the variables of the data file: a run that reads a saved session adds
  // the synthetic by-variables of its own options again, and none of them
  // is ever read as a data column.
  // Throws: KmException "Error:  This file is not a valid Kinkmark file."
  // when such a position is not that of the last variable and the last
  // by-variable, or another role or by-variable names a removed variable.
  void RemoveSyntheticByVars();

  // ---- Cohort labels and selection (kmSessionVariables.cpp) ---------------

  // One label per cohort in cohort order; their number is the number of
  // cohorts. The driver adds them after the data pre-read.
  void AddCohortLabel(const KmString& sLabel) {
    vCohortLabels_.push_back(sLabel);
  }
  const KmVector<KmString>& GetCohortLabels() const { return vCohortLabels_; }
  // Empties the cohort labels (the pre-read then adds them anew).
  void ClearCohortLabels() { vCohortLabels_.clear(); }
  int32_t GetNumCohorts() const {
    return static_cast<int32_t>(vCohortLabels_.size());
  }
  // Replaces the selection flags by one flag per cohort label, each bValue.
  void SetSelectCohortsVector(bool bValue);
  // True when there are no selection flags (every cohort selected), else
  // the flag of the cohort.
  // Throws: KmException "Index out of range.  Requested index = i.  Vector
  // size = n" when flags exist and iCohortIndex is outside them.
  bool GetUserSelectedUseCohort(int iCohortIndex) const;
  // Number of set selection flags (0 when there are none).
  int GetNumSelectedCohorts() const;
  // The selection flags, one per cohort; empty selects every cohort.
  const KmVector<bool>& GetSelectCohortsVector() const {
    return vSelectedCohorts_;
  }
  // One flag per cohort: whether it has enough observations. The
  // verification excludes a cohort whose flag is false when
  // kmOptMaxKinkmarksFeasibility is 2 and kmOptPerCohortMaxKinkmarks is set;
  // a cohort beyond the list is not excluded. Empty unless set; copied with
  // the session, not stored in its file.
  const KmVector<bool>& GetEnoughObservationsFlags() const {
    return vEnoughObservations_;
  }
  void SetEnoughObservationsFlags(const KmVector<bool>& vFlags) {
    vEnoughObservations_ = vFlags;
  }

  // ---- AAPC ranges and adjustment formats (kmSessionVariables.cpp) --------

  kmAAPCRanges GetAAPCRanges() const { return aapcRanges_; }
  void SetAAPCRanges(const kmAAPCRanges& ranges) { aapcRanges_ = ranges; }
  // The adjustment-variable formats stored in the session file.
  const KmVector<kmAdjustVarFormat>& GetStoredAdjustVarFormats() const {
    return vAdjustFormats_;
  }
  void SetStoredAdjustVarFormats(const KmVector<kmAdjustVarFormat>& formats) {
    vAdjustFormats_ = formats;
  }
  // A copy of the calculation adjustment formats, a list that no session
  // operation fills (empty for every session built by this program).
  KmVector<kmAdjustVarFormat> GetAdjustVarFormats() const {
    return vCalcAdjustFormats_;
  }
  // Cluster formats: copied with the session, never stored in the file.
  const std::vector<kmClusterFormat>& GetClusterFormats() const {
    return vClusterFormats_;
  }
  void SetClusterFormats(const std::vector<kmClusterFormat>& formats) {
    vClusterFormats_ = formats;
  }

  // ---- Report-header helpers (kmSessionVariables.cpp) ---------------------

  // A text of iCount blanks; empty for iCount below 1.
  static KmString GetBlankString(int32_t iCount);
  // Appends to vLabels the value labels of the independent variable's
  // format (role kmVarIndependent), in order, less every label containing
  // "not used"; appends nothing when that variable has no format.
  // Throws: the GetKMVar error when the independent variable is not set.
  void GetIndependentVarLabels(KmVector<KmString>& vLabels) const;

  // ---- Session file (kmSessionFile.cpp) -----------------------------------

  // Init, then Read(sSessionFile). sDataFile is not used (the driver sets
  // the data-file slot itself).
  // Throws: as Read.
  kmSession(const char* sSessionFile, const char* sDataFile);
  // Writes the session block to a new binary file (a held file, KmFileTarget,
  // through its descriptor).
  void Write(const KmFileTarget& target);
  // Writes the session block at the file's current position. First sets the
  // file-version slot to "4.900".
  // Block: CString "KinkMarkSession"; Short 64 + 64 Doubles (options);
  // Short m + m CStrings (text slots); Short k + k variable records;
  // Short + Ints (by-variable positions); Short r + r Ints (role
  // positions); the AAPC ranges record; Short a + a x (Short first code,
  // Short last code, String label) (adjustment formats); Int s + s Bools
  // (selection flags).
  // REQUIRES: pIO is open for writing.
  void Write(KmIO_File* pIO);
  // Init, then reads the session block of the file sFileName and checks
  // its options (CheckSavedOptions). Returns 0.
  // Throws: as Read(KmIO_File*) and CheckSavedOptions; the session then
  // holds the Init defaults.
  int32_t Read(const char* sFileName);
  // Refuses options that a run cannot use, read from the saved session
  // sFileName. An option a run-options key sets must hold a value of that
  // key's row of IniSessionDict::Rows (within its range, a word's position
  // as code, 0 or 1 for true and false); the other options one of the codes
  // they define (kmSessionOptionRules.cpp) or, with none, a value of their
  // type (a whole number within 32 bits, 0 or 1, a finite number). The
  // value Init gives always passes.
  // Throws: KmException (kind 3, source "kmSession.cpp") with one line per
  // refused option: The session file "<file>" holds <value> for the option
  // "<name>", which takes <values>.
  void CheckSavedOptions(const char* sFileName) const;
  // Reads a session block at the file's current position into this
  // session. Blocks of file versions before 4.05 have no AAPC ranges,
  // before 4.12 no adjustment formats, before 4.322 no selection flags, and
  // before 4.802 a Short selection count.
  // Throws: KmException (source "kmSession.cpp") "Error:  This file is not
  // a valid Kinkmark file." for a block that does not begin with
  // "KinkMarkSession", ends early, stores a negative count or an
  // impossible position; "Kinkmark cannot open this file.  The file you
  // are trying to open was created by a more recent version of Kinkmark
  // (Version = v).  In order to open this file you will need to upgrade
  // your version of Kinkmark." for a block of a version above 4.9. The
  // session is unchanged when the read fails.
  // REQUIRES: pIO is open for reading.
  void Read(KmIO_File* pIO);

  // ---- Session definitions and cohort limits ------------------------------
  // (kmSessionFromDictionary.cpp, kmSessionReadDictionary.cpp,
  // kmSessionFromParams.cpp, kmSessionCohortLimits.cpp,
  // kmSessionDataFileName.cpp)

  // A session from a VESK*Stat data dictionary: Init, ReadIniDictionary
  // (dict, bFromPositions); kmOptDisparityDict true exactly for a disparity
  // dictionary. Nothing reads the data file: kmOptMaxKinkmarks keeps its
  // default until the run sets it from the cohorts' counts
  // (SetDefaultMaxKinkmarks). The driver passes false.
  // Throws: KmException of kind 3 whose message is the recorded problems
  // when the dictionary cannot be converted, or the conversion's own error
  // made kind 3; each with "kmSession(const VSExportDict & )" and the
  // dictionary file in the call path.
  kmSession(const VSExportDict& dict, bool bFromPositions);
  // Converts dict into this session's options, variables and roles.
  // Problems of the dictionary are not thrown: each is appended to the
  // dictionary messages and sets the dictionary error (AddDictionaryProblem);
  // the first problem ends the conversion, except those of the independent
  // variable's labels, which are all checked. With bFromPositions the roles
  // come from the dictionary's stored positions (the independent variable
  // and the by-variables) instead of its statistics.
  // Returns true when no problem was recorded.
  // Throws: KmException for errors that are not problems of the dictionary
  // (SetHeterFromDict's messages, role positions out of range).
  bool ReadIniDictionary(const VSExportDict& dict, bool bFromPositions);
  // The statistic code of a dictionary variable name: the name trimmed and
  // upper-cased, compared with the keywords ("COUNT" 0, "TREND" 1,
  // "AGE-ADJUSTED RATE" 2, "CRUDE RATE" 3, "POPULATION" 4, ... "DISPARITY"
  // 41); 42 for any other name (a table variable).
  static int GetStatType(const KmString& sName);
  // Sets the roles of the statistics at the given 1-based positions (0 when
  // absent) and kmOptHetErrorModel: a rate is the dependent variable (model
  // 2 with a standard error, else 0); else a delay rate (2 or 0 likewise);
  // else counts with both populations (roles 3, 4, 5; model 2); else the
  // count (or delay count) as dependent variable, model 4 with a population
  // and 1 without; a disparity is the dependent variable and the count
  // (model 2 with a standard error, else 0).
  // Throws: KmException "Error setting positions from VESK*Stat dictionary."
  // for a negative rate, count or standard-error position; "Error in
  // dictionary.  Rate, count, or disparity required." when none is given.
  void SetHeterFromDict(int16_t iRate, int16_t iCount, int16_t iSE,
                        int16_t iPopulation, int16_t iStdPop,
                        int16_t iDelayRate, int16_t iDelayCount,
                        int16_t iDelaySE, int16_t iDisparity);
  // Records one problem of the dictionary conversion: sets the dictionary
  // error and appends sMessage to the dictionary messages.
  void AddDictionaryProblem(const char* sMessage);
  // True when the dictionary conversion recorded a problem.
  bool GetDictionaryError() const { return bDictionaryError_; }
  // The problems of the dictionary conversion, one after another.
  const KmString& GetDictionaryMessages() const { return sDictionaryMessages_; }
  // True when the dictionary marked independent values that span years or
  // are totals as not used.
  bool GetDictionaryFlag() const { return bDictionaryFlag_; }

  // A session from a session-parameter file: Init, then
  // CreateSessionFromUserDict(dict).
  // Throws: KmException of kind 3 with "kmSession(const IniSectionDict)"
  // and the file in the call path, e.g. "-1 is out of bounds in vector of
  // size n." for an absent independent variable location.
  explicit kmSession(KmUserParamsDict dict);
  // Program version "V4.9.0.0", file version "4.900", the data file,
  // kmOptAAPCCIMethod 3, the delimiter, missing character and names-included
  // options, one variable per column, and the roles from the locations:
  // dependent (1); count (5, 1); population (3); age-adjusted rate (7, 1);
  // crude rate (7, 1); dependent again (7, 1, 5); standard error (2);
  // adjustment (6); standard population (4), an absent (-1) location
  // skipped; the error model (a Poisson rate fits the count: role 1 = count
  // location); the by-variables; the independent variable (role 0).
  // Throws: KmException "%i is out of bounds in vector of size %d." for a
  // location that names no variable (-1 when absent but needed).
  void CreateSessionFromUserDict(KmUserParamsDict dict);

  // Replaces the observation counts with vCounts, one per cohort in file
  // order, as the pre-read of the data file cut the cohorts (every run's
  // counts), and rebuilds the observation records and the maximum
  // observations from them; *pbVarying becomes true when the counts differ.
  void SetCohortObservationCounts(const KmVector<int32_t>& vCounts,
                                  bool* pbVarying);
  // Sets kmOptMaxKinkmarks to the default maximum for the largest
  // observation count (kmTools::MaxKinkmarksForObservations, not extended;
  // 0 without cohorts): the maximum of a session whose definition gives
  // none, set once the counts are known (SetCohortObservationCounts).
  void SetDefaultMaxKinkmarks();
  // The observation count of cohort iCohort (0-based).
  // Throws: KmException "Index out of bounds.  Cohort Number: <i>" for an
  // index outside the observation counts.
  int GetNumObservationsThisCohort(int iCohort) const;
  // The maximum number of kinkmarks to fit for cohort iCohort:
  // kmOptMaxKinkmarks unless kmOptPerCohortMaxKinkmarks; else, when
  // kmOptMaxKinkmarksFeasibility is 1 or the program version is below 4.9,
  // kmOptMaxKinkmarks lowered until the kinkmarks fit the cohort's count
  // with kmOptMinObsEnd and kmOptMinObsBetween, never below 0; otherwise
  // the smaller of kmOptMaxKinkmarks and the default maximum for the
  // cohort's count.
  // Throws: as GetNumObservationsThisCohort.
  int GetMaxNumberOfKinkmarksForCohort(int iCohort) const;
  // The observation counts, the observation records and the maximum
  // observations (SetCohortObservationCounts).
  const KmVector<int32_t>& GetObservationCounts() const { return vNumObs_; }
  const KmVector<NumOfObs>& GetObservationRecords() const {
    return vObsRecords_;
  }
  int32_t GetMaxObservations() const { return iMaxObservations_; }
  // True for a data file name ending in ".xls" or ".xlsx", compared with
  // its case as every ending of a data file is (".gz" too): "rates.XLS" is
  // a name like any other, read as text unless its bytes are a
  // spreadsheet's (KmLineSource refuses those under every name).
  static bool IsSpreadsheetName(const KmString& sFileName);
  // Refuses a data file named as a spreadsheet (IsSpreadsheetName) before
  // anything reads it, whatever it holds.
  // Throws: KmException (kind 3, source sSource) KmLineSource::
  // RefuseSpreadsheet's "Data file \"<name>\" is a spreadsheet, which
  // Kinkmark does not read: export it as delimited text ..." for such a
  // name.
  static void RefuseSpreadsheet(const KmString& sFileName, const char* sSource);
  // The data file the session definition names, kept when the run file's
  // "Data File" is read instead (empty otherwise), so that messages about
  // the data file's layout can say so; copied, not stored.
  const KmString& GetSessionNamedDataFile() const {
    return sSessionNamedDataFile_;
  }
  void SetSessionNamedDataFile(const KmString& sFileName) {
    sSessionNamedDataFile_ = sFileName;
  }

  // ---- Updates made by the data readers -----------------------------------

  // Empties the observation counts; the cohort pre-read then appends one
  // count per cohort, in cohort order.
  void ClearObservationCounts() { vNumObs_.clear(); }
  void AddObservationCount(int32_t iCount) { vNumObs_.push_back(iCount); }
  // Replaces the format of variable i (0-based) by a copy of format: the
  // data readers record value labels met in the data file.
  // Throws: as GetVar for a bad index.
  void SetVarFormat(int16_t i, const KmFormat& format) {
    GetVar(i);
    vVariables_[i].SetFormat(&format);
  }

 private:
  // The phases of ReadIniDictionary, in its order
  // (kmSessionReadDictionary.cpp). Those returning false have recorded the
  // problem that ends the conversion.
  struct DictionaryStatistics;  // what the dictionary's statistics say
  // The data file, its delimiter and missing character, and the export
  // settings the data reader cannot handle.
  bool ReadDictionarySettings(const VSExportDict& dict);
  bool CheckDictionaryExport(const VSExportDict& dict);
  // Variable i takes dictionary variable i's name, column and labels.
  void TakeDictionaryVariables(const VSExportDict& dict);
  // First pass over the variables: which statistics are present, the delay
  // statistic's kind and the last table variable.
  void FindDictionaryStatistics(const VSExportDict& dict,
                                DictionaryStatistics& stats);
  // Second pass: the roles and by-variables from the statistics.
  void AssignDictionaryRoles(const VSExportDict& dict,
                             DictionaryStatistics& stats);
  // Marks the independent variable's labels that leave their years out
  // (LeavesYearOut) as not used and records the problem of the first label
  // that cannot be used at all, naming it and its line of sDictionaryFile.
  void CheckIndependentLabels(int32_t iSessionType,
                              const DictionaryStatistics& stats,
                              const KmString& sDictionaryFile);
  // The dependent-variable type and the delay options.
  void SetDictionaryStatisticOptions(const DictionaryStatistics& stats);

  // ---- End of session definitions and data-file scans ---------------------

 private:
  // Resets the option vector, the text slots and the worker-thread count to
  // their defaults (the option share of Init).
  void InitOptions();

  // ---- Option members -----------------------------------------------------

  // Option iId in slot iId; at least kmNumOptions slots (reading a session
  // file that stores more makes it longer, Init cuts it back).
  std::vector<double> vOptions_;
  // Text slots, kmNumStrings after Init.
  KmVector<KmString> vStrings_;
  // Worker-thread count, kDefaultNumCores after Init.
  int16_t iNumCores_;

  // ---- Session object members (variables, roles, cohorts) -----------------

  // Resets the members below to their Init state (the share of Init of the
  // session object); ends with ClearVariables.
  void InitSessionMembers();

  // What the columns the session definition fits hold (NameDependentType):
  // set by the dictionary and session-parameter conversions; none for a
  // saved session, whose stored type stands for them. Copied, not stored.
  std::optional<kmFittedColumns> fittedColumns_;
  // Set by the dictionary conversion; not copied, not stored.
  bool bDictionaryFlag_ = false;
  // Largest observation count of any cohort (SetCohortObservationCounts);
  // copied, not stored.
  int32_t iMaxObservations_ = 0;
  // Counter of the dictionary conversion; kmOptHeaderLines at Init; not
  // copied, not stored.
  int32_t iNotUsedCount_ = 0;
  // Problems found by the dictionary conversion; not copied, not stored.
  bool bDictionaryError_ = false;
  KmString sDictionaryMessages_;
  // The variables of the data file.
  KmVector<kmVariable> vVariables_;
  // 1-based variable position of each by-variable.
  KmVector<int32_t> vByVars_;
  // 1-based variable position per role (kmVarRole), 0 when unset; then one
  // entry per synthetic by-variable.
  KmVector<int32_t> vKMVarPositions_;
  // Adjustment formats stored with the session.
  KmVector<kmAdjustVarFormat> vAdjustFormats_;
  // Calculation adjustment formats: not filled, not copied, not stored.
  KmVector<kmAdjustVarFormat> vCalcAdjustFormats_;
  // Observation count of each cohort (SetCohortObservationCounts); copied,
  // not stored.
  KmVector<int32_t> vNumObs_;
  // Copied, not stored.
  std::vector<kmClusterFormat> vClusterFormats_;
  // One record per distinct observation count (SetCohortObservationCounts);
  // copied, not stored.
  KmVector<NumOfObs> vObsRecords_;
  // One user-selection flag per cohort; empty selects every cohort.
  KmVector<bool> vSelectedCohorts_;
  // Not copied, not stored; no session operation uses it.
  KmVector<bool> vSecondFlags_;
  // The enough-observations flags (the third flag vector); copied, not
  // stored.
  KmVector<bool> vEnoughObservations_;
  // AAPC reporting ranges.
  kmAAPCRanges aapcRanges_;
  KmString sSessionNamedDataFile_;
  // One label per cohort, in cohort order.
  KmVector<KmString> vCohortLabels_;
  // Copied, not stored.
  int32_t aReservedWords_[11] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
};

// The session's error model as the fits apply it (kmSessionErrorModel.cpp).

// The weighting mode of the session's fits: kVarCovMatrix whenever the
// error model is the variance-covariance matrix from a file, so that a
// matrix the session names is always applied; otherwise kmOptAutocorrErrors.
kmAutocorrErrors kmWeightingMode(const kmSession& session);

// Refuses, before any fit, a session that names a variance-covariance
// matrix it would not apply, or asks for the matrix without naming one:
// the matrix with AR(1) errors (the matrix already holds the errors'
// covariance), with pairwise comparisons or with multi-group clustering
// (neither fits with it), and kmOptAutocorrErrors 3 under another error
// model; and the matrix model with no matrix file named (kmStrVarCovarFile
// empty). Throws an input error (KmException kind 3) naming the options.
void kmRequireAppliedErrorModel(const kmSession& session);

// The delimiter of the variance-covariance file (kmOptVarCovarDelimiter).
kmDelimiter kmVarCovarDelimiter(const kmSession& session);

#endif  // KM_SESSION_KMSESSION_H
