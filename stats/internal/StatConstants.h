// Machine constants and small helpers shared by the StatClass source files.
#ifndef KM_STATS_INTERNAL_STATCONSTANTS_H
#define KM_STATS_INTERNAL_STATCONSTANTS_H

namespace km_stats {

// Machine epsilon of IEEE double precision as the routines use it (2^-52).
constexpr double kEpsilon = 2.22044604925031e-16;
// Tolerance of the p + q = 1 test (3 epsilon).
constexpr double kPqTolerance = 6.66133814775093e-16;
// Largest finite double.
constexpr double kLargest = 1.7976931348623157e308;
// Largest int32 value, the digamma function's limit for large arguments.
constexpr double kLargestInt = 2147483647.0;
// Smallest positive subnormal double.
constexpr double kSmallestSubnormal = 4.9406564584124654e-324;

// Larger of a and b; a when they are unordered (a NaN on either side), as the
// published helper does.
inline double Max1(double a, double b) { return a < b ? b : a; }
// Smaller of a and b; b when they are unordered, as the published helper.
inline double Min1(double a, double b) { return a < b ? a : b; }
// |mag| with the sign of sign (a zero sign counts as positive).
inline double TransferSign(double mag, double sign) {
  if (mag < 0) mag = -mag;
  if (sign < 0) mag = -mag;
  return mag;
}

// c[0] + c[1] x + ... + c[n-1] x^(n-1) by Horner's rule, highest term first.
// REQUIRES: n >= 1.
inline double Horner(const double* c, int n, double x) {
  double term = c[n - 1];
  for (int i = n - 2; i >= 0; --i) term = c[i] + term * x;
  return term;
}

}  // namespace km_stats

#endif  // KM_STATS_INTERNAL_STATCONSTANTS_H
