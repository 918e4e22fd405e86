// One typed value or range of values of a value-label format.
#ifndef KM_FOUNDATION_KMFORMATRANGE_H
#define KM_FOUNDATION_KMFORMATRANGE_H

#include <cstddef>
#include <cstdint>

// KmFormatRange is one value, or one range of values, that a line of a
// value-label format (KmFormatLine) stands for. Its data-type letter says
// how its bounds are held and compared: 'A' text (at most 32 characters),
// 'I' signed 32-bit, 'N' double, 'S' signed 16-bit, 'U' unsigned 16-bit,
// 'W' unsigned 32-bit.
//
// Its kind says which values it holds:
//   0 the single value low          1 low <= v <= high
//   2 low <= v < high               3 low < v <= high
//   4 low < v < high                any other kind holds nothing.
class KmFormatRange {
 public:
  // Longest text a text bound can hold.
  static constexpr size_t kMaxTextLength = 32;

  KmFormatRange(const KmFormatRange& other);
  KmFormatRange& operator=(const KmFormatRange& other);
  // Typed ranges: 'S', 'U', 'I', 'W' and 'N'.
  KmFormatRange(int16_t iLow, int16_t iHigh, int32_t lKind);
  KmFormatRange(uint16_t uiLow, uint16_t uiHigh, int32_t lKind);
  KmFormatRange(int32_t lLow, int32_t lHigh, int32_t lKind);
  KmFormatRange(uint32_t ulLow, uint32_t ulHigh, int32_t lKind);
  KmFormatRange(double dLow, double dHigh, int32_t lKind);
  // Text range ('A'). Empty texts are allowed.
  // Throws: KmException "Invalid format range" (class "KmFormatRange") when
  // either text is null or longer than 32 characters.
  KmFormatRange(const char* sLow, const char* sHigh, int32_t lKind);
  virtual ~KmFormatRange();

  char GetDataType() const { return cDataType_; }
  int32_t GetKind() const { return lKind_; }

  // Does the text sValue lie in this text range? Texts compare byte by byte
  // (unsigned bytes) when bCaseSensitive, else without regard to the case
  // of 'A' to 'Z'. A null value, or a range that is not a text range, holds
  // nothing.
  bool GetIsInRange(const char* sValue, bool bCaseSensitive) const;
  // Does the number lie in this numeric range? The bounds are compared as
  // the numbers they hold, whatever numeric type the range has; a text range
  // holds no number, and a NaN lies in no range.
  bool GetIsInRange(int16_t iValue) const;
  bool GetIsInRange(uint16_t uiValue) const;
  bool GetIsInRange(int32_t lValue) const;
  bool GetIsInRange(uint32_t ulValue) const;
  bool GetIsInRange(double dValue) const;

  // The bounds as the numbers they hold; false for a text range.
  bool GetNumericBounds(double& dLow, double& dHigh) const;
  // The bounds of a text range; null for a number range.
  const char* GetLowText() const;
  const char* GetHighText() const;

 private:
  // A bound: one number of the range's type, or a text with its NUL.
  union Bound {
    int16_t iShort;
    uint16_t uiShort;
    int32_t lLong;
    uint32_t ulLong;
    double dDouble;
    char sText[kMaxTextLength + 1];
  };

  // Kind 0, both bounds zeroed.
  void Reset();
  // The bound as a double; false for a text range.
  bool GetNumericBound(const Bound& bound, double& dOut) const;
  // The range test on a value and the bounds, compared as doubles.
  bool IsInNumericRange(double dValue) const;

  Bound low_;
  Bound high_;
  char cDataType_;
  int32_t lKind_;
};

#endif  // KM_FOUNDATION_KMFORMATRANGE_H
