// Conversions of option-file values shared by the session readers: the
// leading-number rules of the standard atoi and atof, made safe for numbers
// that do not fit, lower-casing of words, the delimiter words and the
// error-variance words.
#ifndef KM_SESSION_INTERNAL_OPTIONTEXT_H
#define KM_SESSION_INTERNAL_OPTIONTEXT_H

#include <cstdint>
#include <functional>

#include "foundation/KmString.h"
#include "session/kmErrorModel.h"

class KmIniSection;

namespace km_session_internal {

// The value of sKey in section, trimmed by the ini reader; "" when absent.
KmString ValueOf(const KmIniSection& section, const char* sKey);

// Reads the leading whole number of sText the way atoi does: leading blanks,
// an optional sign, then decimal digits; text without leading digits gives 0.
// Returns false, and leaves iValue unchanged, when the number does not fit in
// 32 bits (atoi's behaviour is undefined there).
bool LeadingInt32(const char* sText, int32_t& iValue);

// As LeadingInt32, but a number beyond the 32-bit range gives the nearest
// 32-bit limit.
int32_t LeadingInt32Clamped(const char* sText);

// The leading number of sText as atof reads it (0.0 when there is none).
double LeadingDouble(const char* sText);

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
