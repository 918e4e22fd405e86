#include "foundation/KmConvertValue.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {

const char kSource[] = "KmConvertValue()";

// Name, data-type letter and range message of each integer target.
struct IntegerTarget {
  const char* sInvalidFormat;
  const char* sRangeFormat;
  char cDataType;
  bool bSigned;
};

const IntegerTarget kShort = {"\"%s\" is not a valid short",
                              "\"%s\" does not fit in a short", 'S', true};
const IntegerTarget kUnsignedShort = {
    "\"%s\" is not a valid unsigned short",
    "\"%s\" does not fit in an unsigned short", 'U', false};
const IntegerTarget kLong = {"\"%s\" is not a valid long",
                             "\"%s\" does not fit in a long", 'I', true};
const IntegerTarget kUnsignedLong = {"\"%s\" is not a valid unsigned long",
                                     "\"%s\" does not fit in an unsigned long",
                                     'W', false};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Moves p past a run of digits; returns how many there were.
int SkipDigits(const char*& p) {
  int n = 0;
  for (; IsDigit(*p); ++p) ++n;
  return n;
}

bool IsLeadingBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsValidIntegerText(const char* sText, bool bAllowLeadingBlanks,
                        bool bAllowMinus) {
  if (sText == nullptr) return false;
  const char* p = sText;
  if (bAllowLeadingBlanks) {
    while (IsLeadingBlank(*p)) ++p;
  }
  if (*p == '+' || (bAllowMinus && *p == '-')) ++p;
  for (; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return true;
}

void RequireText(const char* sText, char cDataType) {
  if (sText == nullptr) {
    GenerateKmMalformedDataException("null pointer: sText", cDataType, "",
                                     kSource);
  }
}

// Checks the syntax, then the range through the double value of the text.
template <typename T>
void ConvertInteger(T& out, const char* sText, bool bAllowLeadingBlanks,
                    const IntegerTarget& target) {
  RequireText(sText, target.cDataType);
  if (!IsValidIntegerText(sText, bAllowLeadingBlanks, target.bSigned)) {
    GenerateKmMalformedDataException(target.sInvalidFormat, target.cDataType,
                                     sText, kSource, sText);
  }
  WithCallPath("KmConvertValue", "KmConvertValue", [&] {
    const double dValue = std::strtod(sText, nullptr);
    if (!(dValue >= static_cast<double>(std::numeric_limits<T>::min()) &&
          dValue <= static_cast<double>(std::numeric_limits<T>::max()))) {
      GenerateKmMalformedDataException(target.sRangeFormat, target.cDataType,
                                       sText, kSource, sText);
    }
    out = static_cast<T>(dValue);
  });
}

}  // namespace

bool IsValidSignedIntegerText(const char* sText, bool bAllowLeadingBlanks) {
  return IsValidIntegerText(sText, bAllowLeadingBlanks, true);
}

bool IsValidUnsignedIntegerText(const char* sText, bool bAllowLeadingBlanks) {
  return IsValidIntegerText(sText, bAllowLeadingBlanks, false);
}

bool IsDecimalNumberText(const char* sText, bool bAllowLeadingBlanks) {
  if (sText == nullptr) return false;
  if (*sText == '\0') return true;
  if (!bAllowLeadingBlanks && (*sText == ' ' || *sText == '\t')) return false;
  const char* p = sText;
  // The white space the standard conversion skips.
  while (std::isspace(static_cast<unsigned char>(*p)) != 0) ++p;
  if (*p == '+' || *p == '-') ++p;
  int nDigits = SkipDigits(p);
  if (*p == '.') {
    ++p;
    nDigits += SkipDigits(p);
  }
  if (nDigits == 0) return false;
  if (*p == 'e' || *p == 'E') {
    ++p;
    if (*p == '+' || *p == '-') ++p;
    if (SkipDigits(p) == 0) return false;
  }
  return *p == '\0';
}

CodeText ReadWholeNumber(const char* sText, bool bAllowLeadingBlanks,
                         double* pdCode) {
  if (sText == nullptr) return CodeText::kText;
  const char* p = sText;
  while (std::isspace(static_cast<unsigned char>(*p)) != 0) ++p;
  // The empty text reads as 0 as a double, but it holds no code.
  if (*p == '\0' || !IsDecimalNumberText(sText, bAllowLeadingBlanks)) {
    return CodeText::kText;
  }
  errno = 0;
  const double dValue = std::strtod(sText, nullptr);
  // A range error is a number too large or too small for a double: "1e-999"
  // reads as 0 but is no whole number.
  if (errno == ERANGE || !std::isfinite(dValue) ||
      std::floor(dValue) != dValue) {
    return CodeText::kNumberNoCode;
  }
  // "-0" is the code 0, not a code of its own.
  *pdCode = dValue + 0.0;
  return CodeText::kCode;
}

CodeText ReadCode(const char* sText, int32_t* plCode) {
  double dValue = 0.0;
  const CodeText read = ReadWholeNumber(sText, false, &dValue);
  if (read != CodeText::kCode) return read;
  if (dValue < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      dValue > static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return CodeText::kNumberNoCode;
  }
  *plCode = static_cast<int32_t>(dValue);
  return CodeText::kCode;
}

void KmConvertValue(int16_t& out, const char* sText, bool bAllowLeadingBlanks) {
  ConvertInteger(out, sText, bAllowLeadingBlanks, kShort);
}

void KmConvertValue(uint16_t& out, const char* sText,
                    bool bAllowLeadingBlanks) {
  ConvertInteger(out, sText, bAllowLeadingBlanks, kUnsignedShort);
}

void KmConvertValue(int32_t& out, const char* sText, bool bAllowLeadingBlanks) {
  ConvertInteger(out, sText, bAllowLeadingBlanks, kLong);
}

void KmConvertValue(uint32_t& out, const char* sText,
                    bool bAllowLeadingBlanks) {
  ConvertInteger(out, sText, bAllowLeadingBlanks, kUnsignedLong);
}

void KmConvertValue(double& out, const char* sText, bool bAllowLeadingBlanks) {
  RequireText(sText, 'N');
  if (!IsDecimalNumberText(sText, bAllowLeadingBlanks)) {
    GenerateKmMalformedDataException("\"%s\" is not a valid double", 'N', sText,
                                     kSource, sText);
  }
  out = std::strtod(sText, nullptr);
}
