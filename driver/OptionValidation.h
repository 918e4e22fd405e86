// What the run-options and export-options validators share: the one
// validation text that collects their messages, the message builder, the
// reading of an options file's section line by line and the value classes.
#ifndef KM_DRIVER_OPTIONVALIDATION_H
#define KM_DRIVER_OPTIONVALIDATION_H

#include <cstddef>
#include <functional>

#include "foundation/KmString.h"

// The text every validation message of the run is appended to. The driver
// uses its whole content as the message of the KmException it throws when a
// validation fails. The driver is single-threaded; so is this text.
KmString& GetValidationText();
// Empties the validation text (a new run, or a test, starts from nothing).
void ClearValidationText();

// The message builder of both validators; sOptionKind is "Session" or
// "Export". Appends to the validation text, for an unknown key (bBadKey):
//   "<key>" is not a valid <kind> Option.\n
// and for a known key with a value outside its class:
//   "<value>" is not a valid value for the "<key>" <kind> Option.\n
void AppendOptionMessage(const char* sOptionKind, bool bBadKey,
                         const KmString& sKey, const KmString& sValue);

// Checks every key line of the section "[<sSection>]" of the options file
// sFileName with isValid(key, value), exactly as the ini reader reads the
// file: lines are trimmed, blank lines and lines starting with ';' are
// skipped, the first section whose trimmed header matches without regard to
// case is the one read, and a key line is split at its first '=' into a key
// and a value, each trimmed of spaces. Lines come from KmLineSource, as
// the ini reader's do. Every line is checked, so the validation text lists
// all faults in file order. Throws: the line source's errors (a line with a
// NUL byte, a line without end).
// Without the section (or without a readable file) appends "Missing
// [<sSection>] in Options file: <file>\n" and returns false. Returns true
// when the section exists and every line passed.
bool ValidateOptionsSection(
    const char* sFileName, const char* sSection,
    const std::function<bool(const KmString&, const KmString&)>& isValid);

// Value classes of the option tables. An empty value passes every numeric
// class: the reader then leaves its field as it is.
enum class OptionValueClass {
  kWord,         // one of the listed words
  kBool,         // "true" or "false"
  kProbability,  // an unsigned decimal number from 0 to 1
  kCount,        // an unsigned decimal number (no sign)
  kNumber,       // a decimal number, optionally negative
};

// True when sValue (already lower-cased) is one of the words of sWords (a
// list separated by '|'; null for none) or belongs to the class. The words
// are the whole of kWord, and add the special values of the other classes
// (such as "estimated" beside a probability).
bool IsValueOfClass(OptionValueClass valueClass, const KmString& sValue,
                    const char* sWords);

// One row of an option table: the key (lower case), its value class and
// the words it accepts besides the class (see IsValueOfClass). With bPrefix,
// every key that begins with sKey is this option (numbered keys such as "aapc
// start range1").
struct OptionRecord {
  const char* sKey;
  OptionValueClass valueClass;
  const char* sWords;
  bool bPrefix;
};

// The check of one option line against a table: key and value are trimmed
// and lower-cased, the key looked up and the value tested against its
// class. On failure appends the message of AppendOptionMessage (with
// sOptionKind and the lowered texts) and returns false.
bool IsValidTableOption(const OptionRecord* pTable, size_t iNumRecords,
                        const char* sOptionKind, KmString sKey,
                        KmString sValue);

#endif  // KM_DRIVER_OPTIONVALIDATION_H
