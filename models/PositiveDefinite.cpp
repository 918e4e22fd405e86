// check_PositiveDefinite and isPositiveDefinite.
#include "models/PositiveDefinite.h"

#include "foundation/KmException.h"
#include "models/SymmetricInverse.h"
#include "models/internal/StandardCatch.h"

bool check_PositiveDefinite(int n, const NEWMAT::Matrix& A,
                            NEWMAT::Matrix& inverse, int16_t& rank) {
  return km_models_internal::WithStandardCatch([&]() {
    if (n < 0 || n > kPositiveDefiniteMaxOrder) {
      GenerateKmExceptionF(
          "The positive-definiteness test takes matrices of order 0 to %d; "
          "order %d was given.",
          "check_PositiveDefinite", kPositiveDefiniteMaxOrder, n);
    }
    // A read beyond A is the matrix library's index error, raised before
    // any work is done.
    if (n > 0 && (A.Nrows() < n || A.Ncols() < n)) (void)A(n, n);
    // The inverse's own storage is the working matrix when it already has
    // order n and is not A itself, so that repeated calls of one order (a
    // search over placements) allocate nothing.
    const bool bInPlace =
        &inverse != &A && inverse.Nrows() == n && inverse.Ncols() == n;
    NEWMAT::Matrix mLocal;
    if (!bInPlace) mLocal.ReSize(n, n);
    NEWMAT::Matrix& mWork = bInPlace ? inverse : mLocal;
    const bool bOk =
        InvertSymmetric(n, A.Store(), A.Ncols(), mWork.Store(), rank);
    if (!bInPlace) inverse = mWork;
    return bOk;
  });
}

bool isPositiveDefinite(const NEWMAT::Matrix& A, NEWMAT::Matrix& inverse,
                        int16_t& rank) {
  // The forwarded routine reports a standard exception itself.
  return check_PositiveDefinite(A.Nrows(), A, inverse, rank);
}
