// The driver's pre-read of the data file into cohorts.
#ifndef KM_DATA_KMCOHORTMANAGER_H
#define KM_DATA_KMCOHORTMANAGER_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "data/kmCohort.h"
#include "foundation/KmException.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"

class KmLineSource;
class KmProgressInterface;
class kmSession;
class kmVariable;

// kmCohortManager: reads the whole data file once, before any fitting, to
// learn which cohorts (by-groups) it holds, in which order, and how many
// observations each has (GetFittedObservations). A cohort is a maximal run of
// consecutive records with the same by-group key; records are never sorted or
// merged.
//
// The pre-read splits lines on its own: whole lines are trimmed
// (KmLineSource::TrimDataLine), then split at the delimiter text as every
// record reader splits them: a double-quoted section is not split, and a
// by-variable field loses the quotes that enclose it; commas stay in fields
// and an empty field stays empty.
//
// With kmOptHeaderLines h > 0 every cohort block, the first included,
// begins with h lines that are not data; with the variable-names flag the
// file also begins with one line of variable names.
//
// Each record is checked as it is read, so that a fault of the data file
// stops the run before anything else reads it, naming the file, the line
// and the column: a double quote out of place (in a field that does not
// begin with one, never closed on its line, or followed by text before the
// delimiter; in the header row of variable names too), a record with fewer
// fields than the columns the session
// reads (with a hint when another delimiter would split it), a record with
// more or fewer fields than the header row of variable names (without one,
// than the file's first record), whose values would be read from shifted
// columns (empty fields after the last field aside, in both lines; where
// the header row or the first record differs from the two records after
// it, that line is refused instead, unless a first record only lacks
// values at its end; with a
// hint at a number split at its comma in either line, and, for fewer
// fields, how a missing value is written), a number with a
// comma that does not separate thousands (in a semicolon-delimited file, a
// number with any comma: there a comma is a decimal comma, which the
// readers would take for a thousands separator), an independent value that
// is not a number (on the first line: a header row), a by-variable code
// that is no whole number for a numeric format (or, without a format, a mix
// of numbers and texts), an empty by-variable field, and a cohort whose
// records come back after it closed (the file must be sorted by the
// by-variables). With the variable-names flag, a first line whose fields in
// every column the session reads as numbers (every role but the adjustment
// variable) are all numbers is refused: it is data taken for the header
// row, and its record would be lost; or, when a by-variable column holds
// the variable's name or a text that is none of its codes, a header row
// whose names cannot be told from data.
//
// In a semicolon-delimited file, where a point in a number is its decimal
// point, a number in a column the session reads as a number that holds more
// than one point (points between thousands, "2.400.000") is refused too, and
// so is a count or population (whole numbers; a count fitted as the
// dependent variable too) whose one point stands after 1 to 3 digits (the
// first not 0) and before exactly 3 ("6.829"): that point can only be a
// thousands point, which would read as a decimal point.
//
// Numbers read with thousands commas are counted, and the first of them
// kept, for GetThousandsNote: a decimal comma of three decimals reads as
// thousands without an error, and the note makes it visible. In a
// semicolon-delimited file the numbers counted are those of the other
// columns whose point stands as above ("900.000").
//
// Usage: construct, ReadAllCohorts once, then the accessors. The file is
// open only during ReadAllCohorts. Runs on the driver's thread; no lock.
class kmCohortManager {
 public:
  // Stores the arguments, clears the end-of-file flag and reads
  // kmOptHeaderLines (a negative count reads as 0). pSession is not owned
  // and must outlive the manager; its observation counts are rewritten by
  // ReadAllCohorts.
  // Throws: KmException "Session does not exist - invalid pointer." for a
  // null pSession; the session's option errors.
  kmCohortManager(kmSession* pSession, KmString sDataFileName,
                  KmString sDelimiter, bool bClustered, bool bVarNamesIncluded);
  kmCohortManager(const kmCohortManager&) = delete;
  kmCohortManager& operator=(const kmCohortManager&) = delete;
  virtual ~kmCohortManager();

  // Whether ReadAllCohorts keeps each record's independent-value text and
  // record number in its cohort (the default) or only counts its records.
  // Kept, they take memory in proportion to the file; counted, the read
  // holds per cohort only its key, label and counts, and per record nothing.
  void SetKeepRecords(bool bKeep) { bKeepRecords_ = bKeep; }
  // Reports to pProgress (not owned; null: none) how much of the file
  // ReadAllCohorts has read, as KmLineSource::SetProgress does.
  void SetProgress(KmProgressInterface* pProgress) { pProgress_ = pProgress; }
  // Reads the whole file (gzip for a name ending in ".gz", else plain),
  // replaces the cohort list and refills the session's observation counts,
  // one per cohort in cohort order (GetFittedObservations).
  // Throws: KmException (kind 3) "Data file \"<name>\", line <n>[, column
  // <c>]: ..." for a record that fails the checks above, among them the
  // by-variable's "invalid code" error for a code of a numeric format that
  // is no whole number or that the format does not list; KmException naming the
  // file and the system's reason when it cannot be opened ("Unable to open
  // data file \"<name>\" for reading: <reason>."); "KM variable 0 not yet
  // defined." when the session has no independent variable; the label
  // errors of BuildCohort; the errors of ReadLine. Header lines are read no
  // further than the end of the file.
  void ReadAllCohorts();
  // The next non-blank line of lines, trimmed at both ends of characters up
  // to 0x20 (with the tab delimiter, leading tabs stay: they are empty
  // fields). Returns "" only at the end of the file, after which the
  // end-of-file flag is set. A last line without a line end is still
  // returned.
  // Throws: the line source's errors (KmLineSource::ReadLine): a line with
  // a NUL byte, a line without end, damaged compressed data.
  KmString ReadLine(KmLineSource& lines);
  // The by-group key of a record split into vTokens by
  // km_read_internal::SplitRecord: each by-variable's field as
  // km_read_internal::ColumnField reads it (empty when its column lies beyond
  // the line), joined by "/". sLabel
  // receives the display label: per by-variable its format label (a numeric
  // format and a non-empty field that reads as a number, looked up by the
  // field's integer part) or else the field text, joined by "/".
  // Throws: the input error "Data file \"<name>\", line <n>, column <c>:
  // \"<field>\" is an invalid code for the <name> by variable. ..." when a
  // numeric field has no line in its variable's format.
  KmString BuildCohort(const std::vector<KmString>& vTokens, KmString& sLabel);
  // The trimmed independent-variable field of a record split into vTokens
  // (as for BuildCohort); "" when the record has no such column.
  KmString GetIndepValue(const std::vector<KmString>& vTokens);
  // The observations of cohort as its fit counts them, counted as the read
  // went: in a clustered run (rates formed over the groups of an adjustment
  // variable, one record of each group in every year) its years
  // (km_read_internal::YearCounter of its independent values), else its
  // records.
  int32_t GetFittedObservations(const kmCohort& cohort) const;
  // After ReadAllCohorts, the note on the numbers read with thousands
  // commas (in a semicolon-delimited file, with a point before 3 digits):
  // "Note: data file \"<name>\", line <n>, column <c>: \"<text>\" was read
  // as <value>, ..." naming the first and how many there were; "" when
  // there were none.
  KmString GetThousandsNote() const;
  // A copy of the label of cohort i (0-based).
  // Throws: the KmVector index error for a bad i.
  KmString GetCohortLabel(int i) const;

  int32_t GetNumCohorts() const {
    return static_cast<int32_t>(vCohorts_.size());
  }
  const KmVector<kmCohort>& GetCohorts() const { return vCohorts_; }
  bool IsEndOfFile() const { return bEOF_; }

 private:
  // The first code of a by-variable without a format, and its line.
  struct CodeSeen {
    int iLine = 0;
    bool bInteger = false;
    KmString sCode;
  };
  // A cohort whose records ended: its label and its last record's line.
  struct ClosedCohort {
    KmString sLabel;
    int iLastLine;
  };

  // kmCohortManagerChecks.cpp: the record and order checks described above.
  // Resets the checks and finds the last column the session reads.
  void PrepareRecordChecks();
  // Checks the record sLine, read at line iLineNumber_ and split into
  // vTokens; bFirstRecord for the file's first record. May take the
  // contents of vTokens (kept for the next record's messages).
  void CheckRecord(const KmString& sLine, std::vector<KmString>& vTokens,
                   bool bFirstRecord);
  // Splits sLine, read at line iLineNumber_, into vTokens as
  // km_read_internal::SplitRecord does, and refuses a quote out of place.
  void SplitChecked(const KmString& sLine, std::vector<KmString>& vTokens);
  void CheckFieldCount(const KmString& sLine, int nFields);
  // Refuses a number with a comma other than a thousands separator (in a
  // semicolon-delimited file, any comma) in a column of vNumberColumns_
  // among vTokens, and counts those read with thousands commas; the other
  // columns are not read as numbers and not checked.
  void CheckNumberCommas(const std::vector<KmString>& vTokens);
  // In a semicolon-delimited file: refuses a number with more than one
  // point, and counts those whose point may be a thousands point, in the
  // columns read as numbers.
  void CheckThousandsPoints(const std::vector<KmString>& vTokens);
  // Counts sField, at column iColumn of the current line, for the note.
  void CountThousandsNumber(int32_t iColumn, const KmString& sField);
  // Refuses the header row vNames when it looks like data (see above).
  void CheckHeaderRow(const std::vector<KmString>& vNames);
  // What shows the line vNames to be the header row: the first by-variable
  // column that holds the by-variable's name or a text its format holds no
  // code for ("column 1 holds \"Sex\", the name of the by variable Sex");
  // "" when no column shows it.
  KmString HeaderSign(const std::vector<KmString>& vNames) const;
  // The line that gives the width of every record: the header row of
  // variable names, the file's first record, or a later record where the
  // records after the first show that it only lacks values at its end.
  enum ReferenceKind { kHeaderRow, kFirstRecord, kLaterRecord };
  // Takes vFields, read at line iLineNumber_, as that line: its width is
  // its number of fields up to its last non-empty one.
  void SetReferenceFields(const std::vector<KmString>& vFields,
                          ReferenceKind eKind);
  // "the header row of variable names (line 1) has", "the first record
  // (line 1) has" or "the record at line 2 has".
  KmString ReferenceHas() const;
  // The rest of CheckRecord, once the record's width is the file's: its
  // numbers, independent value and by-variable codes. May take the
  // contents of vTokens.
  void CheckRecordFields(std::vector<KmString>& vTokens, bool bFirstRecord);
  // The one width rule of a record, in both directions (FitsWidth in the
  // .cpp file): refuses a record with a non-empty field beyond the
  // reference's width, or with fewer fields (its empty ones at the end
  // counted, as missing values) than that width. Until a record after the
  // reference has had its width, returns false for a record that differs,
  // keeping it for ResolveDeferredWidth: the next record shows which of the
  // two lines differs from the rest.
  bool CheckRecordWidth(const std::vector<KmString>& vTokens);
  // Settles the record CheckRecordWidth kept, if any, by pNext, the record
  // read after it (nullptr at the end of the file): where pNext has the
  // reference's width, or has neither width, the kept record is refused at
  // its line. Where pNext has the kept record's width (or there is none)
  // and the reference is a record whose only missing fields are at its end,
  // the kept record becomes the reference and its other checks are made.
  // Where pNext has the kept record's width and the reference does not fit
  // it, the reference (the header row or the first record) is refused at
  // its own line as the line that differs from the two records after it.
  void ResolveDeferredWidth(const std::vector<KmString>* pNext);
  // Throws the refusal of the line vOdd (the header row when bOddIsHeader)
  // at line iLineNumber_, whose width is not iWidth, the width sOtherHas
  // introduces ("the first record (line 1) has", "the records at lines 2
  // and 3 have"), with advice for vOdd: a longer record's split number
  // (SplitFieldHint against vPattern, a record of width iWidth, at line
  // iPatternLine; none when empty), a shorter one's missing values, a
  // header row's names.
  [[noreturn]] void ThrowWidthFault(const std::vector<KmString>& vOdd,
                                    bool bOddIsHeader,
                                    const KmString& sOtherHas, int iWidth,
                                    const std::vector<KmString>& vPattern,
                                    int iPatternLine);
  // The hint at a number split at its comma (in a comma-delimited file):
  // "Columns 4 and 5 [of line <iWideLine>] (...) look like one number
  // split at its comma: ...", naming the line unless it is the current
  // one; "" when vWide, the longer record, does not read as vNarrow with
  // such pairs of its fields joined, reads so in more than one way, or
  // reads as vNarrow with fields left out of it as well.
  KmString SplitFieldHint(const std::vector<KmString>& vWide,
                          const std::vector<KmString>& vNarrow,
                          int iWideLine) const;
  // Refuses, when bMayBeNames, a line whose independent value (without a
  // format) is no number: the file's first line, with no header row
  // declared and no number in the other columns read as numbers, is then a
  // row of names, not a record. In a record such a value keeps only its
  // cohort from being fitted, which the record checks report.
  void CheckIndependentValue(const KmString& sValue, int32_t iColumn,
                             bool bMayBeNames);
  void CheckByVarCode(int iByVar, const KmString& sCode);
  // Records that cohort ended with the record at line iLastLine.
  void CloseCohort(const kmCohort& cohort, int iLastLine);
  // Refuses a cohort key that belongs to a cohort already closed.
  void CheckCohortNotClosed(const KmString& sKey);
  // Throws the input error "Data file \"<name>\", line <n>, column <c>: "
  // (no column when iColumn is 0) followed by the formatted text and, when
  // the session file names another data file than the one read, a paragraph
  // naming it as the file its variable positions may describe. For a fault
  // the session finds through those positions (a column it reads holds no
  // year, no code, no count, nothing), which the layout of that other file
  // may explain.
  [[noreturn]] void ThrowAtLine(int32_t iColumn, const char* sFormat, ...)
      KM_PRINTF_FORMAT(3, 4);
  // ThrowAtLine of sText without that paragraph: for a fault in how the
  // record itself is written (its quotes, more or fewer fields than the
  // first record, a number spelt with commas or points), which no variable
  // position can cause.
  [[noreturn]] void ThrowWritingFault(int32_t iColumn, const KmString& sText);
  // Throws sText at iColumn of the current line, with the paragraph on the
  // session's data file when bPositionsMayCause (ThrowAtLine).
  [[noreturn]] void ThrowFault(int32_t iColumn, const KmString& sText,
                               bool bPositionsMayCause);
  // Throws, at the by variable byVar's column of the current line, the
  // input error that sCode is a code its numeric format does not list.
  [[noreturn]] void ThrowInvalidCode(const kmVariable& byVar,
                                     const KmString& sCode);

  // Given by the driver: a clustered run, whose rates are formed over the
  // groups of an adjustment variable (GetFittedObservations).
  bool bClustered_;
  // Set by ReadLine once the end of the file has been met.
  bool bEOF_;
  // The file begins with one line of variable names (kmOptVarNamesIncluded).
  bool bVarNamesIncluded_;
  // Each record's independent value and number are kept (SetKeepRecords).
  bool bKeepRecords_ = true;
  KmProgressInterface* pProgress_ = nullptr;
  // kmOptHeaderLines: lines in front of every cohort block.
  int iHeaderLines_;
  // Field delimiter text: tab, space, "," or ";".
  KmString sDelimiter_;
  KmString sDataFileName_;
  // The cohorts found, in file order.
  KmVector<kmCohort> vCohorts_;
  // Not owned; read for options and variables, observation counts written.
  kmSession* pSession_;
  // Lines read so far (blank lines included): the line of the last record.
  int iLineNumber_ = 0;
  // The last column the session reads, and the variable that stands there.
  int32_t iRequiredColumns_ = 0;
  KmString sRequiredName_;
  // The line that gives the width of every record (0: none yet), its kind,
  // its fields and its width (its fields up to its last non-empty one), and
  // whether a record after it has had that width.
  int iReferenceLine_ = 0;
  ReferenceKind eReferenceKind_ = kFirstRecord;
  std::vector<KmString> vReferenceFields_;
  int iReferenceWidth_ = 0;
  bool bWidthAgreed_ = false;
  // A record of another width than the reference, kept until the next
  // record shows which of the two differs, and its line (0: none).
  std::vector<KmString> vDeferred_;
  int iDeferredLine_ = 0;
  // The columns (1-based, ascending) of the roles read as numbers.
  std::vector<int32_t> vNumberColumns_;
  // The columns of whole numbers (counts and populations), each with its
  // role and variable.
  struct WholeNumberColumn {
    const char* sRole;  // "count", "population" or "standard population"
    KmString sName;
  };
  std::map<int32_t, WholeNumberColumn> wholeNumberColumns_;
  // Numbers of the note (GetThousandsNote): how many, and the first one's
  // line, column and text.
  int iThousandsNumbers_ = 0;
  int iThousandsLine_ = 0;
  int iThousandsColumn_ = 0;
  KmString sThousandsText_;
  // The fields of the last record with a value in the reference's last
  // column, and its line.
  std::vector<KmString> vLastFields_;
  int iLastFieldsLine_ = 0;
  // Per data by-variable, its first code (by-variables without a format).
  std::vector<CodeSeen> vByVarFirst_;
  // The keys of the cohorts whose records have ended.
  std::map<std::string, ClosedCohort> closedCohorts_;
};

#endif  // KM_DATA_KMCOHORTMANAGER_H
