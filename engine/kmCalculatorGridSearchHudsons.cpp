// kmCalculator: GridSearchForHudsons, Search_Hudsons.
//
// The grid search of a permuted data set in the permutation test of
// Hudson's method. Only the smallest residual sum of squares of the
// permuted column matters there (Hudsons lowers it further), so no
// locations, coefficients or profile are formed. The cross products are
// taken for the observed and the permuted column at once; each grid model
// costs one generalised inverse of order k + 2 and the residual sum of the
// permuted column.
//
// The GridSearch enumeration run for columns 1 (observed) and 2 (the
// current permuted data set) of pDataY at once, recording only the
// smallest weighted SSE of column 2. No locations, coefficients or
// profile are formed.
//
// GridSearchForHudsons in full:
// Sets vResidSum(j) to 1e50, then to the smallest column-2 SSE of every
// admissible combination of k candidates (strictly smaller replaces; it
// stays 1e50 when no combination exists, which is not an error). Other
// entries of vResidSum and mProfile are not touched; vEstimates becomes
// 3k + 2 zeros; mWork becomes the (k + 2) x (k + 2) X'WX work matrix with
// its leading 2 x 2 block from pXWX and zeros elsewhere (the complete
// X'WX of the straight line for k = 0). pProgress (may be null) gets
// SetRange(first candidate, K), moves across it in proportion to the
// combinations fitted and is polled before every candidate; a
// cancellation stops the search without raising. iNumDataSets and
// vLocations are not read.
// REQUIRES: as GridSearch; pDataY holds at least two columns.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/kmCalculator.h"
#include "engine/kmFitScores.h"
#include "engine/kmGridEnumeration.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// Column 1 of pDataY (observed) and column 2 (the permuted data set).
constexpr int kNumDataSets = 2;

using km_grid::kMaxKinkmarks;

}  // namespace

void kmCalculator::GridSearchForHudsons(
    int j, int /*iNumDataSets*/, uint16_t k, ColumnVector& /*vLocations*/,
    ColumnVector& vEstimates, ColumnVector& vResidSum, int16_t iNumGridPoints,
    Matrix& /*mProfile*/, KmProgressInterface* pProgress) {
  // The call-path line keeps the name the permutation test reports.
  WithCallPath("GridSearchForHudson()", kClassName, [&] {
    if (k > kMaxKinkmarks) {
      GenerateKmExceptionF(
          "The grid search places at most %d kinkmarks; %d were requested.",
          kClassName, static_cast<int>(kMaxKinkmarks), static_cast<int>(k));
    }
    if (j < 1 || j > vResidSum.Nrows()) {
      GenerateKmExceptionF(
          "Data set %d has no entry in the residual-sum vector of %d entries.",
          kClassName, j, vResidSum.Nrows());
    }
    const int K = iNumGridPoints;
    if (K < 0 || pXWX == nullptr || pXWX->Nrows() < K + 2 ||
        pGridAux == nullptr || pGridAux->Nrows() < K) {
      GenerateKmExceptionF(
          "The candidate grid and its cross products are not prepared for %d "
          "candidates.",
          kClassName, K);
    }
    const int iNumCols = k + 2;
    WithMatrixErrorsAsKm("kmCalculator::GridSearchForHudsons()", [&] {
      vEstimates.ReSize(3 * k + 2);
      vEstimates = 0.0;
      vResidSum(j) = kNoFit;
      ColumnVector vOnes(iNumObs);
      vOnes = 1.0;

      // Only residual sums are kept, so the data less their straight
      // line serve as they are.
      Matrix mXWYAll;
      ColumnVector vYWY(kNumDataSets);
      Matrix mLine;
      PreCalcXWYAboutLine(kNumDataSets, vOnes, mXWYAll, vYWY, mLine);

      const uint16_t iFirst = k >= 1 ? 1 : static_cast<uint16_t>(K);
      if (pProgress != nullptr) {
        pProgress->SetRange(iFirst, K);
        pProgress->SetPosition(pProgress->GetMinimum());
      }

      km_grid::StartCrossProductWork(*pXWX, iNumCols, mWork);
      km_grid::CandidateFit fit(*pXWX, mXWYAll, iNumCols);
      Search_Hudsons(j, k, static_cast<int16_t>(K), vYWY(kNumDataSets), fit,
                     vResidSum, pProgress);
    });
  });
}

void kmCalculator::Search_Hudsons(int j, uint16_t k, int16_t iK, double dYWY,
                                  km_grid::CandidateFit& fit,
                                  ColumnVector& vResidSum,
                                  KmProgressInterface* pProgress) {
  WithCallPath("Search_Hudsons()", kClassName, [&] {
    double& dBest = vResidSum(j);
    // Only the permuted column is recorded; neither profile nor best model
    // is formed.
    auto onFit = [&] {
      fit.Fit();
      const double dQ = fit.Sse(kNumDataSets, dYWY);
      if (dBest > dQ) dBest = dQ;
    };
    km_grid::EnumerateAllPlacements(k, iK, *pGridAux, fit, pProgress, onFit);
  });
}
