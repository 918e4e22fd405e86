// What the run-options and export-options validators share: the message
// builder, the reading of an options file's section line by line and the
// check of a line against its table.
#ifndef KM_DRIVER_OPTIONVALIDATION_H
#define KM_DRIVER_OPTIONVALIDATION_H

#include <cstddef>
#include <functional>
#include <vector>

#include "foundation/KmIniFile.h"
#include "foundation/KmString.h"
#include "foundation/KmYesNo.h"
#include "session/OptionRow.h"

// The message builder of the validators; sOptionKind is "Session" or
// "Export". Appends to sMessages, for an unknown key (bBadKey), with the
// valid keys sValid (as KeyListText shows them):
//   "<key>" is not a valid <kind> Option; use <valid keys>.\n
// and for a known key with a value outside its class, with the values the
// key takes in sValid ("" for none) and, for a key of numbers, what the
// value is in sWhat ("" for a key of words):
//   "<value>" is not a valid value for the "<key>" <kind> Option; use
//   <valid values>.\n
//   "<value>" is not a valid value for the "<key>" <kind> Option (<what>);
//   use <valid values>.\n
void AppendOptionMessage(const char* sOptionKind, bool bBadKey,
                         const KmString& sKey, const KmString& sValue,
                         const KmString& sValid, KmString& sMessages,
                         const KmString& sWhat = KmString());

// The values an option takes, for a message: its words (WordListText) for
// an option of words, its numbers and special words (RowValuesText) for an
// option of numbers, "" for the other classes (a switch is refused by
// YesNoRefusalText).
KmString ValidWordsText(const OptionRow& option);

// Which sections of a file its reader reads: true for the name sName (with
// its brackets, as KmIniSection::GetName gives it) of a section that is
// read. A section no reader reads is ignored whatever it holds.
using SectionFilter = std::function<bool(const KmString& sName)>;

// The filter of the sections named by vNames (KmIniSection::IsNamed).
SectionFilter SectionsNamed(std::vector<const char*> vNames);

// The one rule of a section or key given twice, for the run file, the
// session-parameter file and both options files (not the data dictionary,
// which another program writes), applied to the sections isRead selects: a
// section given again would be read in part (its readers take the first
// one), so it is refused; within a section (from its header to the next),
// a key (compared without regard to case, as the reader finds it) given
// again with another value would be taken silently, the last line winning,
// so it is refused; given again with the same value it is accepted.
// The file is asked as ini, its reader, knows it (KmIniFile::
// GetSectionsGivenTwice, KmIniSection::GetKeysGivenTwice), and named
// sFileName in the messages. Appends one message per such section and key,
// in file order:
//   The file "<file>" gives the section "<name>" twice: line <m>
//   "<header>" and line <n> "<header>".  Give each section once.\n
//   The file "<file>" gives the key "<key>" twice with different values:
//   line <m> "<text>" and line <n> "<text>".  Give each key once.\n
// and returns false; true when there is none.
bool NoSectionOrKeyGivenTwice(const KmIniFile& ini, const char* sFileName,
                              const SectionFilter& isRead, KmString& sMessages);

// The sections vNames that the file ini (named sFileName) lacks but spells
// with other blanks in a header ("[Kinkmark  Input Files]"): a reader would
// pass over that header and fail later, naming no line. Appends for each
//   The file "<file>" has no [<name>]; it has the section header line <n>
//   "<header>", which is not [<name>]: ...\n
// and returns false; true when there is none.
bool NoSectionSpeltOtherwise(const KmIniFile& ini, const char* sFileName,
                             const std::vector<const char*>& vNames,
                             KmString& sMessages);
// The check of one key line: true when the line passes; otherwise appends
// its messages (each ending in "\n") to sLineMessages.
using LineCheck = std::function<bool(
    const KmString& sKey, const KmString& sValue, KmString& sLineMessages)>;

// Checks every key line of the sections isRead selects in the file ini
// (named sFileName in the messages) with check(key, value), as its reader
// read them (KmIniSection::GetKeyLines). Every key line is checked, a
// repeated key each time, so the text lists all faults in file order; each
// message of a line is appended to sMessages after its place:
//   The file "<file>", line <n>: <message>
// Returns true when every line passed; *pbFound (when given) tells whether
// the file has a section isRead selects.
bool CheckSectionLines(const KmIniFile& ini, const char* sFileName,
                       const SectionFilter& isRead, const LineCheck& check,
                       KmString& sMessages, bool* pbFound = nullptr);

// Checks the section "[<sSection>]" of the options file sFileName line by
// line (CheckSectionLines with isValid), then that no section or key is
// given twice (NoSectionOrKeyGivenTwice, for that section alone).
// Without the section (or without the file) appends "Missing
// [<sSection>] in Options file: <file>\n" to sMessages and returns false;
// a header that spells the section with other blanks ("[Session  Options]")
// is named before the "\n", with its line: "; it has the section header
// line <n> \"<header>\", which is not [<sSection>]: ...".
// Returns true when the section exists, every line passed and nothing is
// given twice. Throws: the ini reader's errors (KmIniFile).
bool ValidateOptionsSection(const char* sFileName, const char* sSection,
                            const LineCheck& isValid, KmString& sMessages);

// The check of one option line against the row found for its key (null:
// an unknown key): key and value are trimmed, the key lower-cased, and the
// value tested lower-cased against the row. On failure appends, for a switch,
// its line YesNoRefusalText (the one refusal of a switch in every file), and
// for any other key the message of AppendOptionMessage (with sOptionKind, the
// lowered key, the value as written and the keys of the table, or the row's
// words) and returns
// false.
template <typename Row>
bool IsValidTableOption(const Row* pRows, size_t iNumRows,
                        const char* sOptionKind, KmString sKey, KmString sValue,
                        KmString& sMessages) {
  sKey.Trim().MakeLower();
  sValue.Trim();
  // Tested lower-cased, shown as the file writes it.
  KmString sLowerValue(sValue);
  sLowerValue.MakeLower();
  const Row* pRow = FindRow(pRows, iNumRows, sKey);
  if (pRow != nullptr && IsValueOfRow(pRow->option, sLowerValue)) return true;
  if (pRow != nullptr && pRow->option.valueClass == OptionValueClass::kBool) {
    // One refusal of a switch in every file.
    sMessages << YesNoRefusalText(sKey, sValue) << "\n";
    return false;
  }
  const bool bNumbers = pRow != nullptr &&
                        pRow->option.valueClass != OptionValueClass::kWord &&
                        pRow->option.valueClass != OptionValueClass::kText;
  AppendOptionMessage(
      sOptionKind, pRow == nullptr, sKey, sValue,
      pRow == nullptr ? TableKeysText(pRows, iNumRows)
                      : ValidWordsText(pRow->option),
      sMessages,
      bNumbers ? RowNumberText(pRow->option, sValue.GetCString()) : KmString());
  return false;
}

#endif  // KM_DRIVER_OPTIONVALIDATION_H
