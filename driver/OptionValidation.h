// What the run-options and export-options validators share: the message
// builder, the reading of an options file's section line by line and the
// check of a line against its table.
#ifndef KM_DRIVER_OPTIONVALIDATION_H
#define KM_DRIVER_OPTIONVALIDATION_H

#include <cstddef>
#include <functional>

#include "foundation/KmString.h"
#include "session/OptionRow.h"

// The message builder of the validators; sOptionKind is "Session" or
// "Export". Appends to sMessages, for an unknown key (bBadKey):
//   "<key>" is not a valid <kind> Option.\n
// and for a known key with a value outside its class:
//   "<value>" is not a valid value for the "<key>" <kind> Option.\n
void AppendOptionMessage(const char* sOptionKind, bool bBadKey,
                         const KmString& sKey, const KmString& sValue,
                         KmString& sMessages);

// The one rule of a key given twice, for the run file, the
// session-parameter file and both options files (not the data dictionary,
// which another program writes): within a section (from its header to the
// next), a key (compared without regard to case, as the reader finds it)
// given again with another value would be taken silently, the last line
// winning, so it is refused; given again with the same value it is
// accepted. Appends one message per such key, in file order:
//   The file "<file>" gives the key "<key>" twice with different values:
//   line <m> "<text>" and line <n> "<text>".  Give each key once.\n
// and returns false; true when no key is given so. A file that cannot be
// read passes (its reader reports it). Throws: the line source's errors.
bool NoKeyGivenTwice(const char* sFileName, KmString& sMessages);

// Checks every key line of the section "[<sSection>]" of the options file
// sFileName with isValid(key, value), read by the ini reader's own rules
// (KmIniFile::ScanLines for trimming, comments and headers,
// KmIniSection::IsNamed for the section, KmIniSection::SplitLine for key
// and value): the first section of the name is the one checked. Every key
// line is checked, a repeated key each time, so the validation text lists
// all faults in file order. Throws: the line source's errors (a line with a
// NUL byte, a file whose lines end in carriage returns alone).
// Without the section (or without a readable file) appends "Missing
// [<sSection>] in Options file: <file>\n" to sMessages and returns false.
// Returns true when the section exists and every line passed.
bool ValidateOptionsSection(
    const char* sFileName, const char* sSection,
    const std::function<bool(const KmString&, const KmString&)>& isValid,
    KmString& sMessages);

// The check of one option line against the row found for its key (null:
// an unknown key): key and value are trimmed and lower-cased and the value
// tested against the row. On failure appends the message of
// AppendOptionMessage (with sOptionKind and the lowered texts) and returns
// false.
template <typename Row>
bool IsValidTableOption(const Row* pRows, size_t iNumRows,
                        const char* sOptionKind, KmString sKey, KmString sValue,
                        KmString& sMessages) {
  sKey.Trim().MakeLower();
  sValue.Trim().MakeLower();
  const Row* pRow = FindRow(pRows, iNumRows, sKey);
  if (pRow != nullptr && IsValueOfRow(pRow->option, sValue)) return true;
  AppendOptionMessage(sOptionKind, pRow == nullptr, sKey, sValue, sMessages);
  return false;
}

#endif  // KM_DRIVER_OPTIONVALIDATION_H
