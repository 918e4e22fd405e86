// kmCalculator: GridSearch, Search.
//
// The exhaustive search over kinkmark placements costs, per combination,
// (k + 2)(k + 3)/2 look-ups into the cross products of the full design and a
// (k + 2)-dimensional solve, independent of the number of observations.
//
// Every model with kinkmarks at candidates p_1 < ... < p_k uses columns
// 1, 2, p_1 + 2, ..., p_k + 2 of the design M = *pX0; its X'WX and X'WY
// are taken by index from *pXWX and M'WY, so no fit touches the n
// observations. Q is the weighted SSE Z'WZ - b'X'WZ reported by WLS, with
// Z the data less their straight line (PreCalcXWYAboutLine), which every
// candidate model refits exactly.
//
// GridSearch in full:
// Fits every admissible combination of k candidates (lexicographic in
// (p_1, ..., p_k), p_1 from 1, p_{j+1} from *pGridAux(p_j)) and keeps the
// one of smallest Q; on equal Q the first one met wins. Outputs:
// vLocations (k) the best candidates' *pGridValues; vEstimates (3k + 2)
// intercepts of segments 1..k+1, their slopes, then the k slope changes;
// vResidSum(1) the best Q (1e50 when none was fitted; lengthened to 1
// when empty); mProfile (K x k) the smallest Q of any fit with kinkmark j
// at candidate p, 1e50 where there was none; mWork the best X'WX. The
// position of pProgress goes from its minimum to its maximum in proportion
// to the combinations fitted. When pProgress reports a cancellation the
// search stops, vLocations and vEstimates stay zero and no exception is
// raised. A null pProgress is never cancelled.
// REQUIRES: FindGridPoints returned iNumGridPoints, PreCalcXWX is current,
// the weights and pDataY are loaded.
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
#include "models/PerfectFit.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::RowVector;

namespace {

constexpr const char* kClassName = "kmCalculator";

using km_grid::Cancelled;
using km_grid::kColumnOffset;
using km_grid::kMaxKinkmarks;

}  // namespace

void kmCalculator::GridSearch(int iNumDataSets, uint16_t k,
                              ColumnVector& vLocations,
                              ColumnVector& vEstimates, ColumnVector& vResidSum,
                              int16_t iNumGridPoints, Matrix& mProfile,
                              KmProgressInterface* pProgress) {
  WithCallPath("GridSearch()", kClassName, [&] {
    if (iNumDataSets != 1) {
      GenerateKmExceptionF(
          "The grid search fits one data set at a time, not %d.", kClassName,
          iNumDataSets);
    }
    if (k > kMaxKinkmarks) {
      GenerateKmExceptionF(
          "The grid search places at most %d kinkmarks; %d were requested.",
          kClassName, static_cast<int>(kMaxKinkmarks), static_cast<int>(k));
    }
    const int K = iNumGridPoints;
    if (K < 0 || pXWX == nullptr || pXWX->Nrows() < K + 2 ||
        pGridValues == nullptr || pGridValues->Nrows() < K ||
        pGridAux == nullptr || pGridAux->Nrows() < K) {
      GenerateKmExceptionF(
          "The candidate grid and its cross products are not prepared for %d "
          "candidates.",
          kClassName, K);
    }
    const int iNumCols = k + 2;
    WithMatrixErrorsAsKm("kmCalculator::GridSearch()", [&] {
      vLocations.ReSize(k);
      vLocations = 0.0;
      vEstimates.ReSize(3 * k + 2);
      vEstimates = 0.0;
      if (vResidSum.Nrows() < 1) vResidSum.ReSize(1);
      vResidSum = kNoFit;
      mProfile.ReSize(K, k);
      mProfile = kNoFit;

      RowVector vBestCols(iNumCols);
      vBestCols = 0.0;
      // The search fits the data less their straight line, which keeps the
      // residual sums exact at any level; the line goes back into the
      // intercept and slope of the best model below.
      Matrix mXWYAll;
      ColumnVector vYWY(1);
      Matrix mLine;
      ColumnVector vOnes(iNumObs);
      vOnes = 1.0;
      PreCalcXWYAboutLine(1, vOnes, mXWYAll, vYWY, mLine);

      km_grid::StartCrossProductWork(*pXWX, iNumCols, mWork);
      ColumnVector vBestCoef;
      double dBestQ = kNoFit;
      km_grid::CandidateFit fit(*pXWX, mXWYAll, iNumCols);
      Search(k, static_cast<int16_t>(K), vYWY(1), fit, dBestQ, vBestCols,
             vBestCoef, mProfile, pProgress);
      vResidSum = dBestQ;
      if (Cancelled(pProgress)) return;

      // No fit at all (possible only when some kinkmark could not be
      // placed) leaves no best model to unpack.
      if (vBestCoef.Nrows() < iNumCols || (k >= 1 && !(dBestQ < kNoFit))) {
        GenerateKmExceptionF("Cannot place kinkmark %d in GridSearch.",
                             kClassName, static_cast<int>(k));
      }
      for (int j = 1; j <= k; ++j) {
        const int p = static_cast<int16_t>(vBestCols(j + 2) - kColumnOffset);
        if (p < 1) {
          GenerateKmExceptionF("Cannot place kinkmark %d in GridSearch.",
                               kClassName, static_cast<int>(k));
        }
        vLocations(j) = (*pGridValues)(p);
      }
      // Segment parameterisation: each kinkmark's slope change moves the
      // next segment's slope, and its intercept so that the lines meet.
      vBestCoef(1) += mLine(1, 1);
      vBestCoef(2) += mLine(2, 1);
      vEstimates(1) = vBestCoef(1);
      vEstimates(k + 2) = vBestCoef(2);
      for (int j = 1; j <= k; ++j) {
        vEstimates(j + 1) = vEstimates(j) - vLocations(j) * vBestCoef(j + 2);
        vEstimates(k + 2 + j) = vEstimates(k + 1 + j) + vBestCoef(j + 2);
      }
      for (int i = 3; i <= k + 2; ++i) vEstimates(2 * k + i) = vBestCoef(i);
    });
  });
}

void kmCalculator::Search(uint16_t k, int16_t iK, double dYWY,
                          km_grid::CandidateFit& fit, double& dBestQ,
                          RowVector& vBestCols, ColumnVector& vBestCoef,
                          Matrix& mProfile, KmProgressInterface* pProgress) {
  WithCallPath("Search()", kClassName, [&] {
    const int iNumCols = k + 2;
    // WLS's rule for a residual sum that rounding took below zero.
    const double dBound = calc_PerfectFitBound(dYWY, dYWY);
    double* pProfile = mProfile.Store();
    // Only the columns of a new best model are kept while searching; its
    // fit is repeated once at the end, with the same arithmetic and so the
    // same figures, for its coefficients and X'WX.
    int iBestCols[km_grid::CandidateFit::kMaxCols] = {};
    bool bImproved = false;
    auto onFit = [&] {
      fit.Fit();
      double dQ = fit.Sse(1, dYWY);
      if (IsRoundingBelowZero(dQ, dBound)) dQ = 0.0;
      for (int j = 1; j <= k; ++j) {
        const int p = fit.Column(j + 2) - static_cast<int>(kColumnOffset);
        double& dCell = pProfile[(p - 1) * k + (j - 1)];
        if (dCell > dQ) dCell = dQ;
      }
      if (dBestQ > dQ) {
        for (int c = 1; c <= iNumCols; ++c) iBestCols[c - 1] = fit.Column(c);
        bImproved = true;
        dBestQ = dQ;
      }
    };
    km_grid::EnumerateAllPlacements(k, iK, *pGridAux, fit, pProgress, onFit);
    if (!bImproved) return;
    for (int c = 1; c <= iNumCols; ++c) vBestCols(c) = iBestCols[c - 1];
    for (int c = 3; c <= iNumCols; ++c) fit.SetColumn(c, iBestCols[c - 1]);
    fit.Fit();
    fit.CopyCoefficients(vBestCoef);
    fit.CopyCrossProducts(mWork);
  });
}
