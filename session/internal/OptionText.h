// Conversions of option-file values shared by the session readers: the
// numbers of option rows by the one number rule, lower-casing of words, the
// delimiter words and the error-variance words.
#ifndef KM_SESSION_INTERNAL_OPTIONTEXT_H
#define KM_SESSION_INTERNAL_OPTIONTEXT_H

#include <cstdint>
#include <functional>

#include "foundation/KmString.h"
#include "session/OptionRow.h"
#include "session/kmErrorModel.h"

class KmIniSection;

namespace km_session_internal {

// The value of sKey in section, trimmed by the ini reader; "" when absent.
KmString ValueOf(const KmIniSection& section, const char* sKey);

// Reads the value of sKey (the key of row, or a numbered key of a prefix
// row) in section of the file sFileName into dValue by the one number rule
// (ReadRowNumber). Returns false, leaving dValue, when the value is empty.
// A value that is not wholly a number of the row's class is refused rather
// than read by its leading digits (which made "3x" 3 and "2.5" 2): throws
// KmException (kind 3, source sSource) naming the place, the value and the
// values the key takes (RowValuesText):
//   The file "<file>", line <n>: "<key>" = "<value>" is not a whole number
//   ("a number", "a number a double holds"); the key takes <values>.
// The range itself is the validators' to check.
bool ReadOptionNumber(const KmIniSection& section, const char* sFileName,
                      const OptionRow& row, const char* sKey, double& dValue,
                      const char* sSource);

// A lower-cased copy of sText (letters 'A'-'Z' only).
KmString Lowered(const KmString& sText);

// A field delimiter and the word that names it in a dictionary, parameter or
// session file.
struct FieldDelimiterWord {
  const char* sWord;
  char c;
};
// Every delimiter a file may name: tab, space, comma and semi-colon.
extern const FieldDelimiterWord kFieldDelimiterWords[4];

// The delimiter character that a dictionary or parameter file names by word:
// "tab", "space", "comma" or "semi-colon" (case-sensitive). Returns false,
// and leaves c unchanged, for any other word.
bool FieldDelimiterFromWord(const KmString& sWord, char& c);
// The word that names the delimiter c; nullptr for a character no word
// names.
const char* WordOfFieldDelimiter(char c);
// The first delimiter other than cDelimiter, in the order of
// kFieldDelimiterWords, at which a line splits into at least iFields
// fields, countFields(c) giving the number of fields at c; nullptr when
// none does. Names the delimiter a line that is too short was written with.
const FieldDelimiterWord* OtherFieldDelimiter(
    char cDelimiter, int iFields, const std::function<int(char)>& countFields);

// The error-variance model that a word of the option files names:
// "constant variance", "standard error", "poisson rate" or "poisson count"
// (case-sensitive). False, leaving model, for any other word: the
// variance-covariance matrix is never named by these files.
bool HetErrorModelFromWord(const KmString& sWord, kmErrorModel& model);

}  // namespace km_session_internal

#endif  // KM_SESSION_INTERNAL_OPTIONTEXT_H
