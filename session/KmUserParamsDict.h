// KmUserParamsDict: the session-parameter file (".ini") that defines a
// session by the columns of its data file.
#ifndef KM_SESSION_KMUSERPARAMSDICT_H
#define KM_SESSION_KMUSERPARAMSDICT_H

#include <cstddef>
#include <cstdint>

#include "foundation/KmFileName.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "session/OptionRow.h"
#include "session/VSVariable.h"
#include "session/kmErrorModel.h"

// KmUserParamsDict reads a session-parameter file into plain fields. The
// file is an ini file with two sections:
//
//   [Datafile Options]            how the data file is written
//   Datafile name = ...           the data file
//   File format = UNIX            (any other value: not UNIX)
//   Field delimiter = tab | space | comma | semi-colon
//   Missing character = period    (any other value: a blank)
//   Fields with delimiter in quotes = yes | no  (ReadYesNo)
//   Variable names included = yes | no  (the first data line holds the
//                                 column names; the file is read for them)
//
//   [Kinkmark Session Parameters] the column (1-based) of each variable
//   independent variable location = 3, independent variable = Year, ...
//   by-var1 = Sex, by-var1 location = 1, ...
//   het error variable location = 4 (the standard-error column when
//     "standard error location" is not given) or one of the words
//     "constant variance", "standard error", "poisson rate", "poisson count"
//     (the error-variance model)
//   [Format=<name>]               value labels of the independent variable,
//                                 the adjustment variable or a by-variable
//
// Its fields mirror those of VSExportDict, so the session is built from
// either in the same way (kmSession(KmUserParamsDict)). A location is the
// 1-based column of a variable in a data record; -1 means that the file
// names no such variable.
//
// The whole file is read by the constructor. Any fault of the file raises a
// KmException of kind 3 whose message or call path names the file; a
// partly read dictionary never exists. Word values are compared exactly and
// case-sensitively; section and key names without regard to case.
class KmUserParamsDict {
 public:
  // The two sections the reader reads, by the names it finds them by; the
  // value-label formats ("Format=<variable>") besides.
  static constexpr char kDatafileSection[] = "Datafile Options";
  static constexpr char kParametersSection[] = "Kinkmark Session Parameters";

  // The keys of "Datafile Options" with the values the reader knows; the
  // words compare with their case, the two switches are read by the one
  // rule of a switch (ReadYesNo). iNumRows receives their number.
  static const OptionRow* DatafileOptionRows(size_t& iNumRows);
  // True when sKey (lower case) is a key of "Kinkmark Session Parameters"
  // that the reader reads: a role's location or name key, "het error
  // variable location", "by-var<n>" or "by-var<n> location".
  static bool IsParameterKey(const KmString& sKey);
  // The keys IsParameterKey takes, for a message (KeyListText): the
  // numbered by-variable keys show as "by-var<n>" and "by-var<n> location".
  static KmString ParameterKeysText();

  // Reads the session-parameter file sFileName.
  // Throws: KmException "Empty string pointer passed to constructor." (source
  // "KMUserParamsDict", kind 0) for a null or empty name; for a faulty file a
  // KmException of kind 3: "Section \"[Datafile Options]\" not found in
  // <file>", "Section \"[Kinkmark Session Parameters]\" not found in
  // <file>", a location that is not a column number from 1 to 32767 (saying
  // what it is: RowNumberText), a location beyond the names of the data
  // file's first line, an unreadable
  // or spreadsheet (kmSession::RefuseSpreadsheet) data file when the names
  // are included, a "Format=" section that cannot
  // be parsed or names none of the file's variables. sNamesFile, when given, is
  // the data file the run reads: the names of its first line, not of the file's
  // own "Datafile name", are the variable names when they are included.
  explicit KmUserParamsDict(const char* sFileName,
                            const char* sNamesFile = nullptr);
  KmUserParamsDict(const KmUserParamsDict& other) = default;
  KmUserParamsDict& operator=(const KmUserParamsDict& other) = default;
  ~KmUserParamsDict() = default;

  // ---- Data-file fields (section "Datafile Options") ---------------------

  // "Fields with delimiter in quotes".
  bool GetQuotes() const { return bQuotes_; }
  // Always false once read (the file cannot ask for flag characters).
  bool GetFlagsIncluded() const { return bFlagsIncluded_; }
  // Never read: false.
  bool GetGZipped() const { return bGZipped_; }
  // Always true once read.
  bool GetRemoveThousandsSeparators() const {
    return bRemoveThousandsSeparators_;
  }
  // "File format" is "UNIX".
  bool GetUnixFileFormat() const { return bUnixFileFormat_; }
  // "Variable names included".
  bool GetVariableNamesIncluded() const { return bVariableNamesIncluded_; }
  // "Field delimiter": tab (also for an unknown value), blank, ',' or ';'.
  char GetFieldDelimiter() const { return cFieldDelimiter_; }
  // "Missing character": '.' for "period", a blank otherwise.
  char GetMissingCharacter() const { return cMissingCharacter_; }
  // 0 (a rate session) once read; 10 before.
  int32_t GetSessionType() const { return iSessionType_; }
  // 0 (numeric) once read.
  int32_t GetVariableFormat() const { return iVariableFormat_; }
  // The session-parameter file itself.
  const KmFileName& GetDictionaryFile() const { return dictionaryFile_; }
  // Its name as the caller gave it, for the messages on the file: the
  // user sees the file named as the run file names it.
  const KmString& GetGivenName() const { return sGivenName_; }
  // "Datafile name" as a full path; empty when the key is absent.
  const KmFileName& GetDataFile() const { return dataFile_; }
  // The names of the data file's first line, when variable names are
  // included; empty otherwise.
  const KmVector<KmString>& GetHeaderNames() const { return vHeaderNames_; }

  // ---- Variables (section "Kinkmark Session Parameters") -----------------

  // One entry per column up to the largest location named: the variable
  // whose location is n stands at index n - 1; columns no key names hold a
  // variable with an empty name and no format.
  const KmVector<VSVariable>& GetVariables() const { return vVariables_; }
  int32_t GetNumVariables() const {
    return static_cast<int32_t>(vVariables_.size());
  }
  // The by-variables' locations, in the order of their keys. A copy.
  KmVector<int32_t> GetByVarLocations() const { return vByVarLocations_; }

  int16_t GetAdjustmentVariableLocation() const { return iAdjustmentLoc_; }
  int16_t GetAgeAdjustedRateLocation() const { return iAgeAdjustedRateLoc_; }
  // "count location", replaced by "numerator location" when given.
  int32_t GetCountLocation() const { return iCountLoc_; }
  int16_t GetCrudeRateLocation() const { return iCrudeRateLoc_; }
  int16_t GetDependentVariableLocation() const { return iDependentLoc_; }
  int16_t GetDenominatorLocation() const { return iDenominatorLoc_; }
  int16_t GetIndependentVariableLocation() const { return iIndependentLoc_; }
  int16_t GetNumeratorLocation() const { return iNumeratorLoc_; }
  int16_t GetPercentLocation() const { return iPercentLoc_; }
  int16_t GetProportionLocation() const { return iProportionLoc_; }
  // "denominator location", replaced by "population location" when given.
  int16_t GetPopulationLocation() const { return iPopulationLoc_; }
  // "standard error location", else "het error variable location".
  int16_t GetStandardErrorLocation() const { return iStandardErrorLoc_; }
  int16_t GetStandardPopulationLocation() const {
    return iStandardPopulationLoc_;
  }
  // The error-variance model: 0 unless a standard-error variable is given
  // (2) or "het error variable location" holds one of the model words.
  kmErrorModel GetHetErrorModel() const { return hetErrorModel_; }

 private:
  // Reads the file (the constructor's work): Init, then the two sections.
  void Setup(const char* sFileName);
  // The values every field has before reading.
  void Init();
  // Section "Datafile Options", and the data file's first line when the
  // variable names are included.
  void ReadDatafileOptionsSection(KmIniFile& ini);
  // Section "Kinkmark Session Parameters": the variables by role, the
  // by-variables and the error-variance model.
  void IniReadVariables(KmIniFile& ini);
  // Sets the location field(s) of role iRole (the file's roles in their
  // reading order) to iLocation.
  void SetRoleLocation(int iRole, int32_t iLocation);
  // The by-variables of section: by-var1, by-var2, ... up to the first
  // empty name; one whose location is empty is skipped.
  void ReadByVariables(KmIniFile& ini, const KmIniSection& section);
  // Reads the data file's first non-blank line into the header names; a
  // spreadsheet is refused before it is read.
  void ReadHeaderNames();
  // Refuses the location iLocation of key sLocationKey when it lies beyond
  // the header names: names the data file and, when the header line splits
  // into enough names at another delimiter, that delimiter.
  void CheckHeaderLocation(int32_t iLocation, const char* sLocationKey);
  // The location text sValue of key sKey of section as a column number.
  // Throws (kind 3) unless it is a whole number from 1 to 32767, naming
  // the file and the key's line.
  int32_t ParseLocation(const KmString& sValue, const char* sKey,
                        const KmIniSection& section);
  // Puts variable at index iLocation - 1, growing the list with unnamed
  // variables as needed.
  void StoreVariable(int32_t iLocation, const VSVariable& variable);
  // The full name of the session-parameter file, for messages.
  const char* FileName();

  bool bQuotes_;
  bool bFlagsIncluded_;
  bool bGZipped_;
  bool bRemoveThousandsSeparators_;
  bool bUnixFileFormat_;
  bool bVariableNamesIncluded_;
  char cFieldDelimiter_;
  char cMissingCharacter_;
  int32_t iSessionType_;
  int32_t iVariableFormat_;
  KmFileName dictionaryFile_;
  KmString sGivenName_;
  KmFileName dataFile_;
  // Kept empty; present so that the fields match VSExportDict.
  KmFileName thirdFile_;
  KmIniSection sessionOptions_;
  KmString sText_;
  KmVector<KmString> vTitles_;
  KmVector<VSVariable> vVariables_;
  KmVector<int32_t> vByVarLocations_;
  KmVector<KmString> vHeaderNames_;
  // The line the header names were read from, and the data file's full
  // name, for the messages on them.
  KmString sHeaderLine_;
  KmString sHeaderFile_;
  // The data file read for the header names; empty: the "Datafile name".
  KmString sNamesFile_;
  int16_t iAdjustmentLoc_;
  int16_t iAgeAdjustedRateLoc_;
  int32_t iCountLoc_;
  int16_t iCrudeRateLoc_;
  int16_t iDependentLoc_;
  int16_t iDenominatorLoc_;
  int16_t iIndependentLoc_;
  int16_t iNumeratorLoc_;
  int16_t iPercentLoc_;
  int16_t iProportionLoc_;
  int16_t iPopulationLoc_;
  int16_t iStandardErrorLoc_;
  int16_t iStandardPopulationLoc_;
  kmErrorModel hetErrorModel_;
};

#endif  // KM_SESSION_KMUSERPARAMSDICT_H
