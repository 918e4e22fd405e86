// The generalised inverse of a small symmetric matrix, on plain arrays.
#ifndef KM_MODELS_SYMMETRICINVERSE_H
#define KM_MODELS_SYMMETRICINVERSE_H

#include <cstdint>
#include <type_traits>

// Relative pivot tolerance: pivot i is dropped when tol x A(i,i) > |d_i| or
// when A(i,i) = 0.
inline constexpr double kSymmetricInversePivotTolerance = 1e-8;

// Root-free Cholesky (LDL') factorisation of the symmetric p x p matrix a
// (row-major, iStride values from one row to the next, reading only the
// diagonal and the upper triangle) that drops numerically aliased columns,
// then the inverse by back substitution. w (p x p, row-major, not a) receives
// the symmetric generalised inverse, a dropped column giving a zero row and
// column, and iRank the number of accepted pivots; the answer is true.
// A negative pivot ends the factorisation: the answer is false and w holds
// the unfinished work matrix (its diagonal 1/d_i, below it the multipliers,
// above it the unscaled products), iRank the pivots accepted before it.
bool InvertSymmetric(int p, const double* a, int iStride, double* w,
                     int16_t& iRank);

// The order p as a compile-time constant.
template <int P>
using SymmetricOrder = std::integral_constant<int, P>;

// Calls f with the order p as a SymmetricOrder for the orders of up to five
// kinkmarks (2..7), so that the short loops of those systems unroll, and as
// an int beyond; answers what f answers.
template <typename F>
auto WithSymmetricOrder(int p, F&& f) {
  switch (p) {
    case 2:
      return f(SymmetricOrder<2>());
    case 3:
      return f(SymmetricOrder<3>());
    case 4:
      return f(SymmetricOrder<4>());
    case 5:
      return f(SymmetricOrder<5>());
    case 6:
      return f(SymmetricOrder<6>());
    case 7:
      return f(SymmetricOrder<7>());
    default:
      return f(p);
  }
}

// InvertSymmetric for an order already dispatched by WithSymmetricOrder
// (Order is a SymmetricOrder<2..7> or int).
template <typename Order>
bool InvertSymmetricOfOrder(Order order, const double* a, int iStride,
                            double* w, int16_t& iRank);

extern template bool InvertSymmetricOfOrder(SymmetricOrder<2>, const double*,
                                            int, double*, int16_t&);
extern template bool InvertSymmetricOfOrder(SymmetricOrder<3>, const double*,
                                            int, double*, int16_t&);
extern template bool InvertSymmetricOfOrder(SymmetricOrder<4>, const double*,
                                            int, double*, int16_t&);
extern template bool InvertSymmetricOfOrder(SymmetricOrder<5>, const double*,
                                            int, double*, int16_t&);
extern template bool InvertSymmetricOfOrder(SymmetricOrder<6>, const double*,
                                            int, double*, int16_t&);
extern template bool InvertSymmetricOfOrder(SymmetricOrder<7>, const double*,
                                            int, double*, int16_t&);
extern template bool InvertSymmetricOfOrder(int, const double*, int, double*,
                                            int16_t&);

// InvertSymmetricOfOrder, then the inverse made whole: the upper triangle
// of w receives the lower one mirrored, also when the answer is false (a
// negative pivot's unfinished work matrix, which the fits use as it stands).
template <typename Order>
bool InvertSymmetricMirrored(Order order, const double* a, int iStride,
                             double* w, int16_t& iRank) {
  const bool bOk = InvertSymmetricOfOrder(order, a, iStride, w, iRank);
  const int p = order;
  for (int i = 0; i < p; ++i) {
    for (int j = i + 1; j < p; ++j) w[i * p + j] = w[j * p + i];
  }
  return bOk;
}

// Element i (0-based) of G y for the p x p row-major g (an inverse from
// InvertSymmetricMirrored) and y read every iYStride values: the first
// product, then the others in order.
template <typename Order>
double SymmetricSolveRow(Order order, const double* g, int i, const double* y,
                         int iYStride) {
  const int p = order;
  const double* pRow = g + i * p;
  double dSum = pRow[0] * y[0];
  for (int j = 1; j < p; ++j) dSum += pRow[j] * y[j * iYStride];
  return dSum;
}

// The residual sum dYtY - sum_i (G y)(i) y(i) of the weighted fit whose
// cross products with the response are y (read every iYStride values).
template <typename Order>
double SymmetricResidualSum(Order order, const double* g, const double* y,
                            int iYStride, double dYtY) {
  const int p = order;
  double dSse = dYtY;
  for (int i = 0; i < p; ++i) {
    dSse -= SymmetricSolveRow(order, g, i, y, iYStride) * y[i * iYStride];
  }
  return dSse;
}

#endif  // KM_MODELS_SYMMETRICINVERSE_H
