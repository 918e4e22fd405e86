// KmFormatLine: construction, the value text and its parsing into ranges,
// and the line test.
#include "foundation/KmFormatLine.h"

#include <cstring>
#include <limits>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"

namespace {

const char* const kClassName = "KmFormatLine";

const char* NotNull(const char* sText) { return sText ? sText : ""; }

[[noreturn]] void ThrowInvalidType() {
  GenerateKmException("Invalid character type", kClassName);
}

[[noreturn]] void ThrowIndexError(int32_t i, size_t uSize) {
  GenerateKmExceptionF("Index %d out of range; vector is from %d to %d",
                       kClassName, i, 0, static_cast<int32_t>(uSize) - 1);
}

// The data-type letter of a format of whole numbers of type T.
template <typename T>
char TypeLetter() {
  if (sizeof(T) == 2) return std::numeric_limits<T>::is_signed ? 'S' : 'U';
  return std::numeric_limits<T>::is_signed ? 'I' : 'W';
}

// The bound sText of a range of type T in out. A format of whole numbers
// reads a bound as a code is read in the data, by the one number rule
// (ReadNumber: "1.0" and "1e0" are 1); a number that is no code of T is
// refused saying what it is ("2.5" is no whole number, "3e9" a whole
// number a long does not hold, "1e999" a number no double holds). What is
// no number is converted as it stands, so the empty text gives 0 and
// anything else raises the conversion's own message.
template <typename T>
void ReadBound(T& out, const char* sText) {
  double dValue = 0.0;
  const NumberKind kind = std::numeric_limits<T>::is_integer
                              ? ReadNumber(sText, true, &dValue)
                              : NumberKind::kNoNumber;
  const double dMin = static_cast<double>(std::numeric_limits<T>::min());
  const double dMax = static_cast<double>(std::numeric_limits<T>::max());
  if (kind == NumberKind::kWholeNumber && dValue >= dMin && dValue <= dMax) {
    out = static_cast<T>(dValue);
    return;
  }
  if (kind == NumberKind::kWholeNumber) {
    GenerateKmMalformedDataException(
        "\"%s\" is a whole number outside %.0f to %.0f, the codes this format "
        "holds",
        TypeLetter<T>(), sText, "KmConvertValue()", sText, dMin, dMax);
  }
  if (kind != NumberKind::kNoNumber) {
    GenerateKmMalformedDataException(
        kind == NumberKind::kNumber
            ? "\"%s\" is a number, but not a whole one: no code"
            : "\"%s\" is a number beyond those a double holds: no code",
        TypeLetter<T>(), sText, "KmConvertValue()", sText);
  }
  KmConvertValue(out, sText, true);
}

// A number range of type T from the bound texts; an empty high text gives 0.
template <typename T>
KmFormatRange MakeNumberRange(const char* sLow, const char* sHigh,
                              int32_t lKind) {
  T low = 0;
  T high = 0;
  ReadBound(low, sLow);
  if (*sHigh != '\0') ReadBound(high, sHigh);
  return KmFormatRange(low, high, lKind);
}

// Does any range hold the value at pValue, read as a T (converted from text
// when bIsText)?
template <typename T>
bool AnyRangeHolds(const std::vector<KmFormatRange>& vRanges,
                   const void* pValue, bool bIsText, bool bAllowBlank) {
  T value = 0;
  if (bIsText) {
    KmConvertValue(value, static_cast<const char*>(pValue), bAllowBlank);
  } else {
    // The caller's buffer need not be aligned for T.
    std::memcpy(&value, pValue, sizeof(value));
  }
  for (const KmFormatRange& range : vRanges) {
    if (range.GetIsInRange(value)) return true;
  }
  return false;
}

}  // namespace

KmFormatLine::KmFormatLine(const char* sValue, const char* sLabel,
                           char cDataType, const char* sDisplay)
    : cDataType_(cDataType) {
  WithCallPath(
      "Constructor(const char *sValue, const char *sLabel, char cDataType)",
      kClassName, [&] {
        Init();
        SetValue(sValue, cDataType);
        SetLabel(sLabel);
        SetDisplayLabel(sDisplay);
      });
}

KmFormatLine::~KmFormatLine() = default;

void KmFormatLine::Init() {
  sValue_.clear();
  sLabel_.clear();
}

void KmFormatLine::SetValue(const char* sValue, char cDataType) {
  WithCallPath("SetValue()", kClassName, [&] {
    // Parse before storing, so that a value text that cannot be read
    // leaves the line as it was.
    KmFormatLine parsed(*this);
    parsed.vRanges_.clear();
    parsed.sValue_ = NotNull(sValue);
    parsed.SetAllRanges(cDataType);
    sValue_.swap(parsed.sValue_);
    vRanges_.swap(parsed.vRanges_);
  });
}

void KmFormatLine::SetValue(const char* sValue) {
  SetValue(sValue, cDataType_);
}

void KmFormatLine::SetLabel(const char* sLabel) { sLabel_ = NotNull(sLabel); }

void KmFormatLine::SetDisplayLabel(const char* sDisplay) {
  sDisplayLabel_ = NotNull(sDisplay);
}

const KmFormatRange& KmFormatLine::GetRange(int32_t i) const {
  return WithCallPath("GetRange()", kClassName, [&]() -> const KmFormatRange& {
    if (i < 0 || static_cast<size_t>(i) >= vRanges_.size()) {
      ThrowIndexError(i, vRanges_.size());
    }
    return vRanges_[static_cast<size_t>(i)];
  });
}

void KmFormatLine::AddRange(const KmFormatRange& range) {
  WithCallPath("AddRange()", kClassName, [&] { vRanges_.push_back(range); });
}

void KmFormatLine::DeleteRange(int32_t i) {
  WithCallPath("DeleteRange()", kClassName, [&] {
    if (i < 0 || static_cast<size_t>(i) >= vRanges_.size()) {
      ThrowIndexError(i, vRanges_.size());
    }
    vRanges_.erase(vRanges_.begin() + i);
  });
}

void KmFormatLine::DeleteAllRanges() {
  WithCallPath("DeleteAllRanges()", kClassName, [&] {
    while (!vRanges_.empty()) vRanges_.pop_back();
  });
}

KmFormatRange KmFormatLine::CreateBlankRange(char cDataType) {
  return WithCallPath("CreateBlankRange()", kClassName, [&]() -> KmFormatRange {
    switch (cDataType) {
      case 'A':
        return KmFormatRange("", "", 0);
      case 'I':
        return KmFormatRange(INT32_MIN, INT32_MIN, 0);
      case 'N':
        return KmFormatRange(-1e30, -1e30, 0);
      case 'S':
        return KmFormatRange(static_cast<int16_t>(INT16_MIN),
                             static_cast<int16_t>(INT16_MIN), 0);
      case 'U':
        return KmFormatRange(static_cast<uint16_t>(0), static_cast<uint16_t>(0),
                             0);
      case 'W':
        return KmFormatRange(static_cast<uint32_t>(0), static_cast<uint32_t>(0),
                             0);
      default:
        ThrowInvalidType();
    }
  });
}

KmFormatRange KmFormatLine::CreateRange(const char* sRange, char cDataType) {
  return WithCallPath(
      "CreateRange(char* sRange)", kClassName, [&]() -> KmFormatRange {
        const std::string sText = NotNull(sRange);
        const size_t uDash = sText.find('-');
        if (uDash == std::string::npos) {
          return CreateRange(sText.c_str(), sText.c_str(), cDataType, 0);
        }
        if (uDash == 0) GenerateKmException("Invalid range", kClassName);

        const bool bLowExclusive = sText[uDash - 1] == '<';
        const bool bHighExclusive =
            uDash + 1 < sText.size() && sText[uDash + 1] == '<';
        int32_t lKind = 1;
        if (bLowExclusive && bHighExclusive) {
          lKind = 4;
        } else if (bLowExclusive) {
          lKind = 3;
        } else if (bHighExclusive) {
          lKind = 2;
        }

        // The bounds are the texts on either side, without the '<' markers and
        // without the blanks next to the "-", so "1 - 4" reads as 1 to 4.
        std::string sLow = sText.substr(0, bLowExclusive ? uDash - 1 : uDash);
        std::string sHigh =
            sText.substr(bHighExclusive ? uDash + 2 : uDash + 1);
        sLow.erase(sLow.find_last_not_of(' ') + 1);
        sHigh.erase(0, sHigh.find_first_not_of(' '));
        return CreateRange(sLow.c_str(), sHigh.c_str(), cDataType, lKind);
      });
}

KmFormatRange KmFormatLine::CreateRange(const char* sLow, const char* sHigh,
                                        char cDataType, int32_t lKind) {
  return WithCallPath(
      "CreateRange(char *sLow)", kClassName, [&]() -> KmFormatRange {
        sLow = NotNull(sLow);
        sHigh = NotNull(sHigh);
        switch (cDataType) {
          case 'A':
            return KmFormatRange(sLow, sHigh, lKind);
          case 'I':
            return MakeNumberRange<int32_t>(sLow, sHigh, lKind);
          case 'N':
            return MakeNumberRange<double>(sLow, sHigh, lKind);
          case 'S':
            return MakeNumberRange<int16_t>(sLow, sHigh, lKind);
          case 'U':
            return MakeNumberRange<uint16_t>(sLow, sHigh, lKind);
          case 'W':
            return MakeNumberRange<uint32_t>(sLow, sHigh, lKind);
          default:
            ThrowInvalidType();
        }
      });
}

void KmFormatLine::SetAllRanges(char cDataType) {
  WithCallPath("SetAllRanges()", kClassName, [&] {
    vRanges_.clear();
    const size_t uLength = sValue_.size();
    if (uLength >= 3 && sValue_.front() == '"' && sValue_.back() == '"') {
      // A quoted value is one value: its commas and dashes are text.
      const std::string sInner = sValue_.substr(1, uLength - 2);
      vRanges_.push_back(
          CreateRange(sInner.c_str(), sInner.c_str(), cDataType, 0));
    } else if (uLength == 0) {
      vRanges_.push_back(CreateBlankRange(cDataType));
    } else {
      size_t uStart = 0;
      while (uStart <= uLength) {
        size_t uComma = sValue_.find(',', uStart);
        if (uComma == std::string::npos) uComma = uLength;
        const std::string sPiece = sValue_.substr(uStart, uComma - uStart);
        // An empty piece ("1,,3" or a trailing comma) stands for no value.
        if (!sPiece.empty()) {
          vRanges_.push_back(CreateRange(sPiece.c_str(), cDataType));
        }
        uStart = uComma + 1;
      }
    }
  });
}

bool KmFormatLine::GetIsInFormatLine(const void* pValue, char cDataType,
                                     bool bIsText, bool bAllowBlank,
                                     bool bCaseSensitive) const {
  return WithCallPath("GetIsInFormatLine()", kClassName, [&]() -> bool {
    if (pValue == nullptr) return false;
    if (bIsText && !bAllowBlank && cDataType != 'A' &&
        static_cast<const char*>(pValue)[0] == ' ') {
      return false;
    }
    if (vRanges_.empty()) return false;
    switch (cDataType) {
      case 'A':
        for (const KmFormatRange& range : vRanges_) {
          if (range.GetIsInRange(static_cast<const char*>(pValue),
                                 bCaseSensitive)) {
            return true;
          }
        }
        return false;
      case 'I':
        return AnyRangeHolds<int32_t>(vRanges_, pValue, bIsText, bAllowBlank);
      case 'N':
        return AnyRangeHolds<double>(vRanges_, pValue, bIsText, bAllowBlank);
      case 'S':
        return AnyRangeHolds<int16_t>(vRanges_, pValue, bIsText, bAllowBlank);
      case 'U':
        return AnyRangeHolds<uint16_t>(vRanges_, pValue, bIsText, bAllowBlank);
      case 'W':
        return AnyRangeHolds<uint32_t>(vRanges_, pValue, bIsText, bAllowBlank);
      default:
        ThrowInvalidType();
    }
  });
}
