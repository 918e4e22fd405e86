#include "foundation/KmConvertValue.h"

#include <cctype>
#include <cfloat>
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
    double dValue = 0.0;
    // The empty text, "+" and "-" hold no number and read as 0.
    if (ReadNumber(sText, bAllowLeadingBlanks, &dValue) ==
        NumberKind::kBeyondDouble) {
      dValue = std::numeric_limits<double>::infinity();
    }
    if (!(dValue >= static_cast<double>(std::numeric_limits<T>::min()) &&
          dValue <= static_cast<double>(std::numeric_limits<T>::max()))) {
      GenerateKmMalformedDataException(target.sRangeFormat, target.cDataType,
                                       sText, kSource, sText);
    }
    out = static_cast<T>(dValue);
  });
}

// Whether every digit of a decimal number text is 0 and, when not, the
// power of ten of its last digit other than 0 (1 for "12.5e2", -1 for
// "0.5", 2 for "100").
struct DigitPlaces {
  bool bAllZero = true;
  int64_t lLastNonzeroPower = 0;
};

// REQUIRES: p stands after the sign of a text IsDecimalNumberText accepts.
DigitPlaces LastNonzeroDigit(const char* p) {
  DigitPlaces places;
  int64_t nInteger = 0;
  int64_t nDigits = 0;
  int64_t iLastNonzero = -1;
  for (bool bFraction = false;; ++p) {
    if (*p == '.' && !bFraction) {
      bFraction = true;
      continue;
    }
    if (!IsDigit(*p)) break;
    if (*p != '0') iLastNonzero = nDigits;
    ++nDigits;
    if (!bFraction) ++nInteger;
  }
  int64_t lExponent = 0;
  if (*p == 'e' || *p == 'E') {
    ++p;
    const bool bNegative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    // Held below a size no text reaches, so it cannot overflow.
    for (; IsDigit(*p); ++p) {
      if (lExponent < 1000000000) lExponent = lExponent * 10 + (*p - '0');
    }
    if (bNegative) lExponent = -lExponent;
  }
  places.bAllZero = iLastNonzero < 0;
  places.lLastNonzeroPower = nInteger - 1 - iLastNonzero + lExponent;
  return places;
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

NumberKind ReadNumber(const char* sText, bool bAllowLeadingBlanks,
                      double* pdValue) {
  if (pdValue != nullptr) *pdValue = 0.0;
  if (sText == nullptr) return NumberKind::kNoNumber;
  const char* p = sText;
  while (std::isspace(static_cast<unsigned char>(*p)) != 0) ++p;
  // The empty text reads as 0 as a double, but it holds no number.
  if (*p == '\0' || !IsDecimalNumberText(sText, bAllowLeadingBlanks)) {
    return NumberKind::kNoNumber;
  }
  if (*p == '+' || *p == '-') ++p;
  const DigitPlaces places = LastNonzeroDigit(p);
  if (places.bAllZero) return NumberKind::kWholeNumber;
  // Adding 0 makes -0 the 0 it is; a text with a digit other than 0 that
  // reads as 0 or as a subnormal has lost its value or its digits.
  const double dValue = std::strtod(sText, nullptr) + 0.0;
  if (!std::isfinite(dValue) || std::fabs(dValue) < DBL_MIN) {
    return NumberKind::kBeyondDouble;
  }
  if (pdValue != nullptr) *pdValue = dValue;
  return places.lLastNonzeroPower >= 0 ? NumberKind::kWholeNumber
                                       : NumberKind::kNumber;
}

CodeText ReadWholeNumber(const char* sText, bool bAllowLeadingBlanks,
                         double* pdCode) {
  double dValue = 0.0;
  switch (ReadNumber(sText, bAllowLeadingBlanks, &dValue)) {
    case NumberKind::kWholeNumber:
      *pdCode = dValue;
      return CodeText::kCode;
    case NumberKind::kNumber:
    case NumberKind::kBeyondDouble:
      return CodeText::kNumberNoCode;
    case NumberKind::kNoNumber:
      break;
  }
  return CodeText::kText;
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
  double dValue = 0.0;
  const NumberKind read = ReadNumber(sText, bAllowLeadingBlanks, &dValue);
  if (read == NumberKind::kBeyondDouble) {
    GenerateKmMalformedDataException(
        "\"%s\" is beyond the numbers a double holds", 'N', sText, kSource,
        sText);
  }
  // The empty text holds no number and reads as 0.
  if (read == NumberKind::kNoNumber && *sText != '\0') {
    GenerateKmMalformedDataException("\"%s\" is not a valid double", 'N', sText,
                                     kSource, sText);
  }
  out = dValue;
}
