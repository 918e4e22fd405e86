// Strict text-to-number conversion for data files, value-label formats and
// option files.
#ifndef KM_FOUNDATION_KMCONVERTVALUE_H
#define KM_FOUNDATION_KMCONVERTVALUE_H

#include <cstdint>

// True when sText is: leading characters from space, tab, carriage return
// and line feed (only when bAllowLeadingBlanks), an optional '+' or '-',
// then only the digits '0' to '9' up to the end (no digits is valid too).
// A null text is not valid.
bool IsValidSignedIntegerText(const char* sText, bool bAllowLeadingBlanks);
// The same with only an optional '+' as sign.
bool IsValidUnsignedIntegerText(const char* sText, bool bAllowLeadingBlanks);

// True when sText is a decimal number, the only form of number that data,
// matrix and option files hold: an optional '+' or '-', digits with at most
// one '.' among them (at least one digit), then optionally 'e' or 'E', an
// optional sign and at least one digit. White space before it is skipped,
// but a leading space or tab only when bAllowLeadingBlanks. The empty text
// is valid (it reads as 0). Hexadecimal numbers ("0x10", "0x1p0") and the
// words for infinity and not-a-number, which the standard conversion also
// reads, are not. A null text is not valid.
bool IsDecimalNumberText(const char* sText, bool bAllowLeadingBlanks);

// What a text holds as a number, by ReadNumber.
enum class NumberKind {
  kNoNumber,      // no decimal number: a text, or the empty text
  kNumber,        // a number a double holds, not a whole one
  kWholeNumber,   // a number a double holds, whole by its text
  kBeyondDouble,  // a number no double holds: a size above 1.8e308, or a
                  // size other than 0 below 2.2e-308 (which would read as
                  // 0 or lose its digits)
};

// The one rule by which every reader of a file tells a number from a text
// and a whole number from a fraction. sText is a number when
// IsDecimalNumberText accepts it and it is not empty. Its value is whole by
// its text, not by its rounded double: the decimal value the digits and the
// exponent write has no nonzero digit after the point ("12", "12.00",
// "1.2e1", "120e-1" and "0e-999" are whole; "0.99999999999999999", which a
// double rounds to 1, is not). A number whose digits are not all zero is
// beyond a double when its value is infinite, 0 or subnormal as a double
// ("1e999", "1e-999", "1e-310"). *pdValue receives the value of kNumber and
// kWholeNumber (-0 as 0) and 0 otherwise; pdValue may be null.
NumberKind ReadNumber(const char* sText, bool bAllowLeadingBlanks,
                      double* pdValue);

// What the text of a code holds, by ReadWholeNumber and ReadCode.
enum class CodeText {
  kCode,          // a code: a whole number
  kNumberNoCode,  // a number, but not a whole one (or one no code can be)
  kText           // no number: a text, or the empty text
};

// The one rule of a code, in the data (by-variable and adjustment codes)
// and in the values of a value-label format alike: sText is a code when it
// is a decimal number (IsDecimalNumberText, not empty; white space before
// it only when bAllowLeadingBlanks) whose value is a whole number, however
// it is written: "1", "01", "+1", "1.0", "1.", "1e0" and "+01.00" are all
// the code 1, "-0" is 0: ReadNumber's kWholeNumber. kCode stores the value
// in *pdCode; a decimal number that is not whole by its text ("1.5",
// "0.99999999999999999") or beyond a double ("1e999", "1e-999") is
// kNumberNoCode; anything else (a null or empty text, "North", "0x10") is
// kText. *pdCode is untouched unless kCode.
CodeText ReadWholeNumber(const char* sText, bool bAllowLeadingBlanks,
                         double* pdCode);
// ReadWholeNumber held to the codes a data file's by-variable and
// adjustment variable hold, 32-bit signed: a whole number outside
// -2147483648 to 2147483647 is kNumberNoCode. *plCode is untouched unless
// kCode. Leading blanks are not allowed (fields are read trimmed).
CodeText ReadCode(const char* sText, int32_t* plCode);

// KmConvertValue family: stores the value of sText in out, or throws
// KmMalformedDataException (source "KmConvertValue()", kind 0) carrying the
// data-type letter and the text. out is unchanged on failure.
//
// Integers (letters 'S' short, 'U' unsigned short, 'I' long, 'W' unsigned
// long; the system's long is 32 bits wide): the syntax of
// IsValidSignedIntegerText / IsValidUnsignedIntegerText, else "\"<text>\" is
// not a valid short" (or unsigned short, long, unsigned long); then the
// value must lie in the target's range, else "\"<text>\" does not fit in a
// short" (or "in an unsigned short", "in a long", "in an unsigned long") with
// the call-path line "KmConvertValue of KmConvertValue". The empty text, "+"
// and "-" give 0.
//
// Double (letter 'N'): the value of a number by ReadNumber; a number beyond
// a double gives "\"<text>\" is beyond the numbers a double holds", any
// other text "\"<text>\" is not a valid double". The empty text gives 0.0.
//
// A null sText raises "null pointer: sText".
void KmConvertValue(int16_t& out, const char* sText, bool bAllowLeadingBlanks);
void KmConvertValue(uint16_t& out, const char* sText, bool bAllowLeadingBlanks);
void KmConvertValue(int32_t& out, const char* sText, bool bAllowLeadingBlanks);
void KmConvertValue(uint32_t& out, const char* sText, bool bAllowLeadingBlanks);
void KmConvertValue(double& out, const char* sText, bool bAllowLeadingBlanks);

#endif  // KM_FOUNDATION_KMCONVERTVALUE_H
