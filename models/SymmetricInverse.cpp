// InvertSymmetric.
#include "models/SymmetricInverse.h"

#include <algorithm>
#include <cmath>

// The factorisation and back substitution for the order p, an int or a
// std::integral_constant: with a constant order the compiler unrolls the
// short loops of the small systems the searches solve by the million. Both
// perform the same operations in the same order.
template <typename Order>
bool InvertSymmetricOfOrder(Order order, const double* a, int iStride,
                            double* w, int16_t& iRank) {
  const int p = order;
  // A(i, j) and L(i, j), 1-based.
  auto A = [&](int i, int j) { return a[(i - 1) * iStride + (j - 1)]; };
  auto L = [&](int i, int j) -> double& { return w[(i - 1) * p + (j - 1)]; };
  std::fill(w, w + p * p, 0.0);
  iRank = 0;
  bool bFailed = false;
  for (int i = 1; i <= p && !bFailed; ++i) {
    double s = A(i, i);
    for (int k = 1; k < i; ++k) s -= L(k, i) * L(i, k);
    if (kSymmetricInversePivotTolerance * A(i, i) > std::fabs(s) ||
        A(i, i) == 0.0) {
      // Aliased column: dropped, with zero row and column.
      for (int j = 1; j <= p; ++j) {
        L(i, j) = 0.0;
        L(j, i) = 0.0;
      }
    } else if (s < 0.0) {
      bFailed = true;
    } else {
      const double d = 1.0 / s;
      ++iRank;
      L(i, i) = d;
      for (int j = i + 1; j <= p; ++j) {
        double dSum = A(i, j);
        for (int k = 1; k < i; ++k) dSum -= L(j, k) * L(k, i);
        L(i, j) = dSum;
        L(j, i) = dSum * d;
      }
    }
  }
  if (bFailed) return false;
  for (int i = 1; i <= p; ++i) {
    for (int j = i + 1; j <= p; ++j) L(i, j) = 0.0;
  }
  for (int j = p; j >= 1; --j) {
    for (int i = j; i >= 1; --i) {
      double dValue = L(i, j);
      for (int k = i + 1; k <= j; ++k) dValue -= L(k, i) * L(k, j);
      for (int k = j + 1; k <= p; ++k) dValue -= L(k, i) * L(j, k);
      L(i, j) = dValue;
    }
  }
  for (int i = 1; i <= p; ++i) {
    for (int j = i + 1; j <= p; ++j) L(j, i) = L(i, j);
  }
  return true;
}

template bool InvertSymmetricOfOrder(SymmetricOrder<2>, const double*, int,
                                     double*, int16_t&);
template bool InvertSymmetricOfOrder(SymmetricOrder<3>, const double*, int,
                                     double*, int16_t&);
template bool InvertSymmetricOfOrder(SymmetricOrder<4>, const double*, int,
                                     double*, int16_t&);
template bool InvertSymmetricOfOrder(SymmetricOrder<5>, const double*, int,
                                     double*, int16_t&);
template bool InvertSymmetricOfOrder(SymmetricOrder<6>, const double*, int,
                                     double*, int16_t&);
template bool InvertSymmetricOfOrder(SymmetricOrder<7>, const double*, int,
                                     double*, int16_t&);
template bool InvertSymmetricOfOrder(int, const double*, int, double*,
                                     int16_t&);

bool InvertSymmetric(int p, const double* a, int iStride, double* w,
                     int16_t& iRank) {
  return WithSymmetricOrder(p, [&](auto order) {
    return InvertSymmetricOfOrder(order, a, iStride, w, iRank);
  });
}
