// Holds the placement steps FirstTauIndices, NextTauIndices and
// NextTauIndicesRecursive.
#include "models/internal/TauIndexSteps.h"

#include <newmat.h>

#include <cstdint>
#include <vector>

namespace km_models_internal {
namespace {

using NEWMAT::ColumnVector;

// The entry v of a placement as a candidate index, truncated toward zero.
// Values beyond the 32-bit range (and NaN, as 0) map to indices that the
// matrix library's checked access rejects, instead of an undefined
// conversion.
int32_t TruncIndex(double v) {
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  if (!(v == v)) return 0;
  return static_cast<int32_t>(v);
}

// The smallest index the kinkmark after one at index v may take:
// L(v) when that is beyond v + 1, else v + 1.
double MinimalSuccessor(const ColumnVector& L, double v) {
  const double dLimit = L(TruncIndex(v));
  return dLimit > v + 1.0 ? dLimit : v + 1.0;
}

}  // namespace

bool FirstTauIndices(ColumnVector& T, const ColumnVector& L) {
  const int32_t k = T.Nrows();
  const int32_t m = L.Nrows();
  bool bOk = true;
  if (k > 0) {
    T(1) = 1.0;
    if (m < 1) {
      for (int32_t i = 1; i <= k; ++i) T(i) = m;
      return false;
    }
  }
  // Each later kinkmark at its smallest admissible index. An overflowing
  // entry is clamped to m so that the rest of the tail can still read L.
  for (int32_t j = 2; j <= k; ++j) {
    T(j) = MinimalSuccessor(L, T(j - 1));
    if (T(j) > m) {
      T(j) = m;
      bOk = false;
    }
  }
  return bOk;
}

bool NextTauIndices(ColumnVector& T, const ColumnVector& L) {
  const int32_t k = T.Nrows();
  const int32_t m = L.Nrows();
  if (k < 1) return false;
  // The rightmost position below its bound m - k + j moves; the spacing is
  // left to the recursive step, which carries further left when the rebuilt
  // tail does not fit.
  for (int32_t j = k; j >= 1; --j) {
    const double dBound = static_cast<double>(m) - k + j;
    if (T(j) < dBound) return NextTauIndicesRecursive(T, L, j);
    if (T(j) > dBound) return false;
  }
  return false;
}

bool NextTauIndicesRecursive(ColumnVector& T, const ColumnVector& L,
                             int32_t j) {
  if (j <= 0) return false;
  const int32_t k = T.Nrows();
  const int32_t m = L.Nrows();
  bool bOk = true;
  if (j > 1) {
    const double dLimit = L(TruncIndex(T(j - 1)));
    T(j) = dLimit > T(j) + 1.0 ? dLimit : T(j) + 1.0;
  } else {
    T(1) = T(1) + 1.0;
  }
  for (int32_t i = j + 1; i <= k; ++i) {
    if (T(i - 1) > m) {
      T(i - 1) = m;
      bOk = false;
    }
    T(i) = MinimalSuccessor(L, T(i - 1));
  }
  if (T(k) > m) {
    T(k) = m;
    return NextTauIndicesRecursive(T, L, j - 1);
  }
  return bOk ? true : NextTauIndicesRecursive(T, L, j - 1);
}

double CountTauPlacements(int32_t k, const ColumnVector& L, int32_t m) {
  if (k <= 0) return 1.0;
  if (m < 1) return 0.0;
  const size_t uM = static_cast<size_t>(m);
  // vWays[v]: placements of the kinkmarks from the current one on, with the
  // current one at candidate v; vFrom[v]: the sum of vWays over v..m.
  std::vector<double> vWays(uM + 2, 1.0);
  std::vector<double> vFrom(uM + 2, 0.0);
  vWays[0] = 0.0;
  vWays[uM + 1] = 0.0;
  for (int32_t level = k - 1; level >= 1; --level) {
    for (int32_t v = m; v >= 1; --v) {
      vFrom[static_cast<size_t>(v)] =
          vFrom[static_cast<size_t>(v) + 1] + vWays[static_cast<size_t>(v)];
    }
    for (int32_t v = 1; v <= m; ++v) {
      const double dNext = MinimalSuccessor(L, v);
      vWays[static_cast<size_t>(v)] =
          dNext > m ? 0.0 : vFrom[static_cast<size_t>(TruncIndex(dNext))];
    }
  }
  double dTotal = 0.0;
  for (int32_t v = 1; v <= m; ++v) dTotal += vWays[static_cast<size_t>(v)];
  return dTotal;
}

}  // namespace km_models_internal
