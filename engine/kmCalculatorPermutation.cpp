// kmCalculator: GetRandomIndex, Shuffle, Permute.
//
// Data sets under the null model are its fitted values plus a permutation
// of its whitened residuals mapped back to the data scale (for a jump
// model, those of its fit with the jump, so that the step stays where the
// data have it and is not shuffled across the years); every draw comes
// from the calculator's own generator so a cohort's data sets depend only on
// the seed, the data and the sequence of tests.
//
// Residual permutation under the null model: data set j = fitted values of
// the k-kinkmark fit + mL P_j e, with e the weighted (whitened) residuals
// of that fit and P_j a random permutation; every draw comes from
// *pRandom, which the drivers seed once per cohort.
#include <newmat.h>

#include <cstddef>
#include <cstdint>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";

}  // namespace

int kmCalculator::GetRandomIndex(int16_t iLow, int16_t iHigh) {
  return WithCallPath("GetRandomIndex()", kClassName, [&]() -> int {
    if (pRandom == nullptr) {
      GenerateKmException("The random number generator does not exist.",
                          kClassName);
    }
    const double u = pRandom->genrand();
    return static_cast<int>((iHigh - iLow + 1) * u + iLow);
  });
}

void kmCalculator::Shuffle(ColumnVector& v) {
  WithCallPath("Shuffle()", kClassName, [&] {
    const int16_t n = iNumObs;
    if (v.Nrows() < n) {
      GenerateKmExceptionF(
          "The vector to shuffle has %d elements; %d are needed.",
          "kmCalculator::Shuffle()", static_cast<int>(v.Nrows()),
          static_cast<int>(n));
    }
    for (int16_t i = 1; i < n; ++i) {
      const int16_t j = static_cast<int16_t>(GetRandomIndex(i, n));
      const double dSwap = v(i);
      v(i) = v(j);
      v(j) = dSwap;
    }
  });
}

void kmCalculator::Permute(int16_t k, const Matrix& mL, const Matrix& mFitted,
                           const Matrix& mResid, int iNumDataSets) {
  constexpr const char* kSource = "kmCalculator::Permute()";
  WithCallPath("Permute()", kClassName, [&] {
    const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());
    const int n = iNumObs;
    if (pDataY == nullptr) {
      GenerateKmException(
          "The observations must be loaded before data sets are permuted.",
          kSource);
    }
    if (iNumDataSets < 1) {
      GenerateKmExceptionF(
          "The number of data sets must be at least 1; %d was asked.", kSource,
          iNumDataSets);
    }
    if (pDataY->Nrows() != n) {
      GenerateKmExceptionF(
          "The response matrix has %d rows for %d observations.", kSource,
          static_cast<int>(pDataY->Nrows()), n);
    }
    if (mL.Nrows() != n || mL.Ncols() != n) {
      GenerateKmExceptionF(
          "The back-mapping matrix is %d x %d for %d observations.", kSource,
          static_cast<int>(mL.Nrows()), static_cast<int>(mL.Ncols()), n);
    }
    WithMatrixErrorsAsKm(kSource, [&] {
      // Columns 1..n of the model's row; a shorter row is a library error.
      ColumnVector e = mResid.SubMatrix(k + 1, k + 1, 1, n).t();
      const ColumnVector vFitted = mFitted.SubMatrix(k + 1, k + 1, 1, n).t();
      const ColumnVector vObserved = pDataY->Column(1);
      // Data set j goes straight into column j + 1 of the new responses,
      // with no temporaries per data set; *pDataY is replaced only once
      // they are complete. mL is n x n (checked above) and row-major.
      const int D = iNumDataSets;
      Matrix mNew(n, D);
      double* pY = mNew.Store();
      for (int i = 0; i < n; ++i) pY[i * D] = vObserved(i + 1);
      const double* pL = mL.Store();
      const double* pE = e.Store();
      for (int j = 1; j <= D - 1; ++j) {
        Shuffle(e);
        for (int i = 0; i < n; ++i) {
          const double* pRow = pL + static_cast<ptrdiff_t>(i) * n;
          double dSum;
          if (mode == kmAutocorrErrors::kUncorrelated) {
            // The order of the library's product mL * e: the first term,
            // then the others added one by one.
            dSum = pRow[0] * pE[0];
            for (int l = 1; l < n; ++l) dSum += pRow[l] * pE[l];
          } else {
            dSum = 0.0;
            for (int l = 0; l < n; ++l) dSum += pRow[l] * pE[l];
          }
          pY[i * D + j] = vFitted(i + 1) + dSum;
        }
      }
      mNew.Release();
      *pDataY = mNew;
    });
  });
}
