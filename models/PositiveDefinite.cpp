// check_PositiveDefinite and isPositiveDefinite.
#include "models/PositiveDefinite.h"

#include <cmath>

#include "foundation/KmException.h"
#include "models/internal/StandardCatch.h"

namespace {

// Row-major access to the n x n working matrix (1-based indices). The
// working matrix is local and always n x n, so it needs no index check.
class Work {
 public:
  Work(NEWMAT::Matrix& m, int n) : pData_(m.Store()), n_(n) {}
  double& operator()(int i, int j) { return pData_[(i - 1) * n_ + (j - 1)]; }

 private:
  double* pData_;
  int n_;
};

}  // namespace

bool check_PositiveDefinite(int n, const NEWMAT::Matrix& A,
                            NEWMAT::Matrix& inverse, int16_t& rank) {
  return km_models_internal::WithStandardCatch([&]() {
    if (n < 0 || n > kPositiveDefiniteMaxOrder) {
      GenerateKmExceptionF(
          "The positive-definiteness test takes matrices of order 0 to %d; "
          "order %d was given.",
          "check_PositiveDefinite", kPositiveDefiniteMaxOrder, n);
    }
    // The inverse's own storage is the working matrix when it already has
    // order n and is not A itself, so that repeated calls of one order (a
    // search over placements) allocate nothing; A must then be large enough
    // that no read of it fails half-way.
    const bool bInPlace = &inverse != &A && inverse.Nrows() == n &&
                          inverse.Ncols() == n && A.Nrows() >= n &&
                          A.Ncols() >= n;
    NEWMAT::Matrix mLocal;
    if (!bInPlace) mLocal.ReSize(n, n);
    NEWMAT::Matrix& mWork = bInPlace ? inverse : mLocal;
    mWork = 0.0;
    Work W(mWork, n);
    rank = 0;
    bool bFailed = false;

    // LDL' factorisation. Above the diagonal W(i, j) holds d_i L(j, i),
    // below it L(j, i), and on it 1/d_i (0 for a dropped pivot).
    for (int i = 1; i <= n && !bFailed; ++i) {
      const double dDiagonal = A(i, i);
      double d = dDiagonal;
      for (int k = 1; k < i; ++k) d -= W(i, k) * W(k, i);
      if (std::fabs(d) < kPositiveDefinitePivotTolerance * dDiagonal ||
          dDiagonal == 0.0) {
        for (int j = 1; j <= n; ++j) {
          W(i, j) = 0.0;
          W(j, i) = 0.0;
        }
        continue;
      }
      if (d < 0.0) {
        bFailed = true;
        continue;
      }
      const double r = 1.0 / d;
      ++rank;
      W(i, i) = r;
      for (int j = i + 1; j <= n; ++j) {
        double dValue = A(i, j);
        for (int k = 1; k < i; ++k) dValue -= W(j, k) * W(k, i);
        W(i, j) = dValue;
        W(j, i) = r * dValue;
      }
    }
    if (bFailed) {
      if (!bInPlace) inverse = mWork;
      return false;
    }

    // Keep the unit lower factor and 1/d on the diagonal.
    for (int i = 1; i <= n; ++i) {
      for (int j = i + 1; j <= n; ++j) W(i, j) = 0.0;
    }

    // Solve L' X = D^+ L^-1 for the upper triangle of X = A^+, column by
    // column from the last, each column from the bottom up. Entries of X
    // below the diagonal are read from their mirror above it.
    for (int r = n; r >= 1; --r) {
      for (int c = r; c >= 1; --c) {
        double dValue = W(c, r);
        for (int m = c + 1; m <= r; ++m) dValue -= W(m, c) * W(m, r);
        for (int m = r + 1; m <= n; ++m) dValue -= W(m, c) * W(r, m);
        W(c, r) = dValue;
      }
    }

    for (int i = 1; i <= n; ++i) {
      for (int j = i + 1; j <= n; ++j) W(j, i) = W(i, j);
    }
    if (!bInPlace) inverse = mWork;
    return true;
  });
}

bool isPositiveDefinite(const NEWMAT::Matrix& A, NEWMAT::Matrix& inverse,
                        int16_t& rank) {
  // The forwarded routine reports a standard exception itself.
  return check_PositiveDefinite(A.Nrows(), A, inverse, rank);
}
