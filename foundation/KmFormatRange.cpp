// KmFormatRange: construction and the range tests.
#include "foundation/KmFormatRange.h"

#include <cstring>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/platform/KmPlatform.h"

namespace {

const char* const kClassName = "KmFormatRange";

// The sign of the comparison of two texts, byte by byte as unsigned bytes
// (strcmp does that) or without regard to case (KmStricmp).
int CompareText(const char* sLeft, const char* sRight, bool bCaseSensitive) {
  return bCaseSensitive ? std::strcmp(sLeft, sRight) : KmStricmp(sLeft, sRight);
}

}  // namespace

void KmFormatRange::Reset() {
  lKind_ = 0;
  std::memset(&low_, 0, sizeof(low_));
  std::memset(&high_, 0, sizeof(high_));
}

KmFormatRange::KmFormatRange(const KmFormatRange& other) {
  Reset();
  *this = other;
}

KmFormatRange& KmFormatRange::operator=(const KmFormatRange& other) {
  if (this != &other) {
    std::memcpy(&low_, &other.low_, sizeof(low_));
    std::memcpy(&high_, &other.high_, sizeof(high_));
    cDataType_ = other.cDataType_;
    lKind_ = other.lKind_;
  }
  return *this;
}

KmFormatRange::KmFormatRange(int16_t iLow, int16_t iHigh, int32_t lKind) {
  Reset();
  cDataType_ = 'S';
  low_.iShort = iLow;
  high_.iShort = iHigh;
  lKind_ = lKind;
}

KmFormatRange::KmFormatRange(uint16_t uiLow, uint16_t uiHigh, int32_t lKind) {
  Reset();
  cDataType_ = 'U';
  low_.uiShort = uiLow;
  high_.uiShort = uiHigh;
  lKind_ = lKind;
}

KmFormatRange::KmFormatRange(int32_t lLow, int32_t lHigh, int32_t lKind) {
  Reset();
  cDataType_ = 'I';
  low_.lLong = lLow;
  high_.lLong = lHigh;
  lKind_ = lKind;
}

KmFormatRange::KmFormatRange(uint32_t ulLow, uint32_t ulHigh, int32_t lKind) {
  Reset();
  cDataType_ = 'W';
  low_.ulLong = ulLow;
  high_.ulLong = ulHigh;
  lKind_ = lKind;
}

KmFormatRange::KmFormatRange(double dLow, double dHigh, int32_t lKind) {
  Reset();
  cDataType_ = 'N';
  low_.dDouble = dLow;
  high_.dDouble = dHigh;
  lKind_ = lKind;
}

KmFormatRange::KmFormatRange(const char* sLow, const char* sHigh,
                             int32_t lKind) {
  WithCallPath("Constructor(char *sLow)", kClassName, [&] {
    Reset();
    cDataType_ = 'A';
    if (sLow == nullptr || sHigh == nullptr ||
        std::strlen(sLow) > kMaxTextLength ||
        std::strlen(sHigh) > kMaxTextLength) {
      GenerateKmException("Invalid format range", kClassName);
    }
    std::strcpy(low_.sText, sLow);
    std::strcpy(high_.sText, sHigh);
    lKind_ = lKind;
  });
}

KmFormatRange::~KmFormatRange() = default;

bool KmFormatRange::GetIsInRange(const char* sValue,
                                 bool bCaseSensitive) const {
  return WithCallPath("GetIsInRange(char*)", kClassName, [&]() -> bool {
    if (sValue == nullptr || cDataType_ != 'A') return false;
    const int iLow = CompareText(sValue, low_.sText, bCaseSensitive);
    const int iHigh = CompareText(sValue, high_.sText, bCaseSensitive);
    switch (lKind_) {
      case 0:
        return iLow == 0;
      case 1:
        return iLow >= 0 && iHigh <= 0;
      case 2:
        return iLow >= 0 && iHigh < 0;
      case 3:
        return iLow > 0 && iHigh <= 0;
      case 4:
        return iLow > 0 && iHigh < 0;
      default:
        return false;
    }
  });
}

bool KmFormatRange::GetNumericBound(const Bound& bound, double& dOut) const {
  switch (cDataType_) {
    case 'S':
      dOut = bound.iShort;
      return true;
    case 'U':
      dOut = bound.uiShort;
      return true;
    case 'I':
      dOut = bound.lLong;
      return true;
    case 'W':
      dOut = bound.ulLong;
      return true;
    case 'N':
      dOut = bound.dDouble;
      return true;
    default:
      return false;
  }
}

bool KmFormatRange::IsInNumericRange(double dValue) const {
  double dLow = 0.0;
  double dHigh = 0.0;
  if (!GetNumericBound(low_, dLow) || !GetNumericBound(high_, dHigh)) {
    return false;
  }
  // Ordered comparisons only, so a NaN on either side matches nothing.
  switch (lKind_) {
    case 0:
      return dValue == dLow;
    case 1:
      return dLow <= dValue && dValue <= dHigh;
    case 2:
      return dLow <= dValue && dValue < dHigh;
    case 3:
      return dLow < dValue && dValue <= dHigh;
    case 4:
      return dLow < dValue && dValue < dHigh;
    default:
      return false;
  }
}

bool KmFormatRange::GetIsInRange(int16_t iValue) const {
  return IsInNumericRange(iValue);
}

bool KmFormatRange::GetIsInRange(uint16_t uiValue) const {
  return IsInNumericRange(uiValue);
}

bool KmFormatRange::GetIsInRange(int32_t lValue) const {
  return IsInNumericRange(lValue);
}

bool KmFormatRange::GetIsInRange(uint32_t ulValue) const {
  return IsInNumericRange(ulValue);
}

bool KmFormatRange::GetIsInRange(double dValue) const {
  return IsInNumericRange(dValue);
}

bool KmFormatRange::GetNumericBounds(double& dLow, double& dHigh) const {
  return GetNumericBound(low_, dLow) && GetNumericBound(high_, dHigh);
}

const char* KmFormatRange::GetLowText() const {
  return cDataType_ == 'A' ? low_.sText : nullptr;
}

const char* KmFormatRange::GetHighText() const {
  return cDataType_ == 'A' ? high_.sText : nullptr;
}
