// Overflow-safe integer arithmetic shared by the progress trackers, whose
// ranges may span most of the 32-bit integers (a calculation run counts
// 1000 per cohort).
#ifndef KM_FOUNDATION_INTERNAL_KMPROGRESSMATH_H
#define KM_FOUNDATION_INTERNAL_KMPROGRESSMATH_H

#include <cstdint>
#include <limits>

namespace km_internal {

// v limited to the range of int32_t.
inline int32_t SaturateToInt32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) {
    return std::numeric_limits<int32_t>::max();
  }
  if (v < std::numeric_limits<int32_t>::min()) {
    return std::numeric_limits<int32_t>::min();
  }
  return static_cast<int32_t>(v);
}

// a * b / c, the division truncating toward zero. Exact whenever |a| and |b|
// are below 2^31 (every difference of two int32_t values that lie less than
// 2^31 apart); otherwise the product might not fit in 64 bits and the value
// is computed in double, limited to +-2^62.
// REQUIRES: c != 0.
inline int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
  constexpr int64_t kLimit = int64_t{1} << 31;
  if (a > -kLimit && a < kLimit && b > -kLimit && b < kLimit) {
    return a * b / c;
  }
  const double d =
      static_cast<double>(a) * static_cast<double>(b) / static_cast<double>(c);
  // Limited before the conversion, which is undefined outside int64_t;
  // callers saturate to int32_t anyway.
  constexpr double kBound = 4611686018427387904.0;  // 2^62
  if (d > kBound) return int64_t{1} << 62;
  if (d < -kBound) return -(int64_t{1} << 62);
  return static_cast<int64_t>(d);
}

}  // namespace km_internal

#endif  // KM_FOUNDATION_INTERNAL_KMPROGRESSMATH_H
