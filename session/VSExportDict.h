// VSExportDict: the data dictionary that the VESK*Stat statistics product
// writes beside an exported data file.
#ifndef KM_SESSION_VSEXPORTDICT_H
#define KM_SESSION_VSEXPORTDICT_H

#include <cstdint>

#include "foundation/KmFileName.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "session/VSVariable.h"

// Kinds of VESK*Stat session a dictionary can come from, and with them the
// section that holds the exported variables.
enum VSSessionType : int32_t {
  kVSRate = 0,                 // "Type" = "Rate"; "Variables"
  kVSSurvivalLife = 1,         // survival life page, MP-SIR, detected;
                               // "Life Page Variables"
  kVSSurvival = 2,             // survival with "Variables"
  kVSCaseListing = 3,          // "Variables"
  kVSFrequency = 4,            // "Variables"
  kVSMPSirOE = 5,              // never produced; "MPSir O/E Page Variables"
  kVSLifePage = 6,             // never produced; "Life Page Variables"
  kVSPrevalence = 7,           // "Prevalence Page Variables"
  kVSSurvivalSummary = 8,      // "Summary Page Variables"
  kVSSurvivalZStatistics = 9,  // "Z-Statistics Page Variables"
  kVSUnknownSession = 10,      // nothing matched: no variables section
  kVSDisparity = 11,           // disparity product; "Variables"
};

// The sections of a data dictionary that its reader reads, by the names it
// finds them by, and all of them in kAll; its value-label formats
// ("Format=<variable>") besides.
struct VSDictSection {
  static constexpr char kSystem[] = "System";
  static constexpr char kSessionOptions[] = "Session Options";
  static constexpr char kExportOptions[] = "Export Options";
  static constexpr char kVariables[] = "Variables";
  static constexpr char kLifePage[] = "Life Page Variables";
  static constexpr char kSummaryPage[] = "Summary Page Variables";
  static constexpr char kZStatisticsPage[] = "Z-Statistics Page Variables";
  static constexpr char kPrevalencePage[] = "Prevalence Page Variables";
  static constexpr char kMPSirOEPage[] = "MPSir O/E Page Variables";
  static constexpr const char* kAll[] = {
      kSystem,      kSessionOptions,  kExportOptions,  kVariables,  kLifePage,
      kSummaryPage, kZStatisticsPage, kPrevalencePage, kMPSirOEPage};
};

// The switches of a dictionary's "Export Options", each read as yes or no
// (KmIniSection::GetBool), and all of them in kAll.
struct VSExportSwitch {
  static constexpr char kGZipped[] = "GZipped";
  static constexpr char kQuotes[] = "Fields with delimiter in quotes";
  static constexpr char kRemoveThousands[] = "Remove thousands separators";
  static constexpr char kFlags[] = "Flags included";
  static constexpr char kNames[] = "Variable names included";
  static constexpr const char* kAll[] = {kGZipped, kQuotes, kRemoveThousands,
                                         kFlags, kNames};
};

// VSExportDict reads a ".dic" data dictionary (an ini file) into plain
// fields: how the data file is delimited and encoded, which kind of
// VESK*Stat session produced it, the system names, and the exported
// variables with their value-label formats. It interprets nothing further;
// the session built from a dictionary (kmSession(const VSExportDict&, bool))
// checks these fields against what the analysis supports.
//
// The whole file is read by the constructor. Any fault of the file raises a
// KmException whose call path names the dictionary file, so a half-read
// dictionary never exists: kind 3 for a missing section (System, Session
// Options that cannot be detected, Export Options), kind 0 for a value the
// reader cannot use (the message of the Read... method below). Word
// values are compared exactly and case-sensitively; section and key names
// are found without regard to case; a missing key reads as "".
class VSExportDict {
 public:
  // Reads the dictionary sFileName.
  // Throws: KmException "Empty string pointer passed to constructor." (kind
  // 0) for a null or empty name; for a faulty dictionary a KmException
  // with one of the messages of the Read... methods below, or the message
  // of an unreadable "Format=" section, of the kind given above.
  explicit VSExportDict(const char* sFileName);
  VSExportDict(const VSExportDict& other) = default;
  VSExportDict& operator=(const VSExportDict& other) = default;
  ~VSExportDict() = default;

  // The section of ini that holds the variables of this dictionary's session
  // type (see VSSessionType), or null when there is none.
  const KmIniSection* GetVariableSection(KmIniFile& ini) const;

  // ---- Fields ------------------------------------------------------------

  // "Fields with delimiter in quotes".
  bool GetQuotes() const { return bQuotes_; }
  // "Flags included": the data rows carry flag characters.
  bool GetFlagsIncluded() const { return bFlagsIncluded_; }
  // "GZipped": the data file is gzip-compressed.
  bool GetGZipped() const { return bGZipped_; }
  // "Remove thousands separators".
  bool GetRemoveThousandsSeparators() const {
    return bRemoveThousandsSeparators_;
  }
  // "File format" is "UNIX".
  bool GetUnixFileFormat() const { return bUnixFileFormat_; }
  // "Variable names included": the first data row holds the names.
  bool GetVariableNamesIncluded() const { return bVariableNamesIncluded_; }
  // "Field delimiter": tab, blank, ',' or ';'.
  char GetFieldDelimiter() const { return cFieldDelimiter_; }
  // "Missing character": ".", "NA" or " ".
  const KmString& GetMissingCharacter() const { return sMissingCharacter_; }
  // The session type (VSSessionType).
  int32_t GetSessionType() const { return iSessionType_; }
  // "Variable format": 0 numeric, 1 quoted labels, 2 labels.
  int32_t GetVariableFormat() const { return iVariableFormat_; }
  // The dictionary file itself.
  const KmFileName& GetDictionaryFile() const { return dictionaryFile_; }
  // Its name as the caller gave it, for the messages on the file: the
  // user sees the file named as the run file names it.
  const KmString& GetGivenName() const { return sGivenName_; }
  // "Output filename" of "System": the exported data file.
  const KmFileName& GetOutputFile() const { return outputFile_; }
  // Replaces the data file (the output file) by the full path of sFileName,
  // so that a session built from the dictionary reads another data file.
  // Throws: KmException when the path cannot be resolved.
  void SetDataFile(const char* sFileName);
  // "Matrix filename" of "System".
  const KmFileName& GetMatrixFile() const { return matrixFile_; }
  // A copy of the dictionary's "Session Options" section (an empty section
  // of that name when the type was detected).
  const KmIniSection& GetSessionOptionsSection() const {
    return sessionOptions_;
  }
  // "Database name" of "System".
  const KmString& GetDatabaseName() const { return sDatabaseName_; }
  // "Title1", "Title2", ... of "System", up to the first empty one.
  const KmVector<KmString>& GetTitles() const { return vTitles_; }

  // The number of exported variables.
  int32_t GetNumVariables() const {
    return static_cast<int32_t>(vVariables_.size());
  }
  // The variable at the 1-based position iPosition (its data-file column).
  // Throws: KmException "Index %d out of range; vector is from %d to %d"
  // (source "KmVector") with iPosition - 1 when it is outside 1 to
  // GetNumVariables().
  const VSVariable& GetVariable(int32_t iPosition) const;

  // Stored by-variable locations: never read from a dictionary, so empty;
  // kept to match the session-parameter file. Returns a copy.
  KmVector<int32_t> GetByVarLocations() const { return vByVarLocations_; }
  // Stored independent-variable location: never read from a dictionary, so
  // -1; kept to match the session-parameter file.
  int16_t GetIndependentVariableLocation() const {
    return iIndependentVariableLocation_;
  }

 private:
  // Reads the file and all its sections (the constructor's work).
  void Setup();
  // "System": output and matrix files, database name, titles.
  // Throws: "Section \"[System]\" not found in <file>" when absent.
  void ReadSystemSection(KmIniFile& ini);
  // "Session Options": the session type, or its detection from the sections
  // present when the section is absent.
  // Throws: "No session type specified in dictionary file.", "This type of
  // Dictionary is not supported at this time.  Session file \"<file>\",
  // line <n> of [Session Options]: \"<type>\" is not a supported Type; use
  // \"Rate\", \"Frequency\" or \"Disparity\"." for a type none of those
  // of a VESK*Stat session, or "\"<file>\" is out of
  // date. \n\"Session Options\" section could not be found, and session type
  // could not be auto-detected."
  void ReadSessionOptionsSection(KmIniFile& ini);
  // "Export Options": how the data file is written.
  // Throws: "\"Export Options\" section could not be found in <file>", or,
  // for a "Variable format" or "Field delimiter" none of its words,
  // "Session file \"<file>\", line <n> of [Export Options]: \"<value>\" is
  // not a supported <key>; use <words>." ("Session file \"<file>\" gives
  // no <key> in [Export Options]; use <words>." for an absent key).
  void ReadExportOptionsSection(KmIniFile& ini);
  // The variables (Var1Name, Var2Name, ... up to the first empty one) with
  // their "Format=<name>" sections.
  // Throws: "The Variable Section could not be found.", the format's
  // message for a section that cannot be parsed, or the refusal of a
  // "Format" section that names none of the variables
  // (RefuseFormatOfNoVariable).
  void ReadVariables(KmIniFile& ini);

  bool bQuotes_ = false;
  bool bFlagsIncluded_ = false;
  bool bGZipped_ = false;
  bool bRemoveThousandsSeparators_ = false;
  bool bUnixFileFormat_ = false;
  bool bVariableNamesIncluded_ = false;
  char cFieldDelimiter_ = '\t';
  KmString sMissingCharacter_ = " ";
  int32_t iSessionType_ = kVSUnknownSession;
  int32_t iVariableFormat_ = 0;
  KmFileName dictionaryFile_;
  KmString sGivenName_;
  KmFileName outputFile_;
  KmFileName matrixFile_;
  KmIniSection sessionOptions_;
  KmString sDatabaseName_;
  KmVector<VSVariable> vVariables_;
  KmVector<KmString> vTitles_;
  KmVector<int32_t> vByVarLocations_;
  int16_t iIndependentVariableLocation_ = -1;
};

#endif  // KM_SESSION_VSEXPORTDICT_H
