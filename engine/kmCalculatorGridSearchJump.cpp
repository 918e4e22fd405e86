// kmCalculator: GridSearch_WithJumpModel, SearchThroughFramework.
//
// The model framework searches the kinkmark placements here, over the same
// candidate grid and cross products as GridSearch, for any number of data
// sets at once (the observed response and the permuted ones of a
// permutation test) and optionally with a jump column; the best model of
// the observed data is then refitted once through the framework.
//
// GridSearch_WithJumpModel in full:
// GridSearch through the model framework (kmCalculatorGridSearchJump.cpp):
// the same search over the same grid, for D = iNumDataSets data sets
// (columns 1..D of pDataY) at once, and with a jump column (the column
// after the K hinge columns of pX0 and pXWX) when iJump is non-zero. With
// w = iXColumn and J = (iJump != 0): vEstimates is resized to w + 3k + J
// and zeroed, vResidSum(d) (lengthened to D when shorter) gets the best
// weighted SSE of data set d (+infinity when no placement exists). When
// D = 1, vLocations (k) and mProfile (K x k) are written as in GridSearch,
// vEstimates gets the segment layout of GridSearch followed by the jump
// coefficient, and mWork the best X'WX; for D > 1 they are left alone.
// The best model of data set 1 is always refitted through the framework
// (weights mWorkA'mWorkA in the search, covariance mWorkB in the refit),
// and its jump test is stored in vJumpResults and the jump on the ratio
// scale (exp(jump) tested against 1, the comparability ratio the jump
// implies) in vCRResults. pProgress moves as in GridSearch; a
// cancellation skips the unpacking.
// REQUIRES: as GridSearch; mWorkA and mWorkB set by the weighting step.
#include <newmat.h>

#include <cstdint>

#include "engine/kmCalculator.h"
#include "engine/kmFitScores.h"
#include "engine/kmFrameworkSearchSettings.h"
#include "engine/kmGridEnumeration.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/OneDimensionArray.h"
#include "models/ForAllKinkMKAction.h"
#include "models/KMRegFittingData.h"
#include "models/KMRegModelSettings.h"
#include "models/KMSeriesSet.h"
#include "models/KinkMKFitResult.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::SymmetricMatrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
using km_grid::Cancelled;
using km_grid::kMaxKinkmarks;

// The straight line of data set d (column d of mLine) on design columns 1
// and 2 of mX0, rows 1..n.
ColumnVector LineValues(const Matrix& mLine, int d, const Matrix& mX0, int n) {
  ColumnVector v(n);
  for (int i = 1; i <= n; ++i) {
    v(i) = mLine(1, d) * mX0(i, 1) + mLine(2, d) * mX0(i, 2);
  }
  return v;
}

// Puts the line taken out of the observed data back into the coefficients
// of its fit (those of design columns 1 and 2). The residuals, sums of
// squares and profile are those of the data as observed already. The
// fitted values are those of the data less its line; nothing reads them,
// so they are dropped rather than left wrong.
void RestoreLine(KinkMKFitResult& fit, const Matrix& mLine) {
  if (fit.beta.Nrows() >= 2) {
    fit.beta(1) += mLine(1, 1);
    fit.beta(2) += mLine(2, 1);
  }
  fit.fittedValues.Clear();
}

// The settings of the framework's search and refit for D data sets, k
// kinkmarks and the jump flag J.
KMRegModelSettings SearchSettings(const kmSession& session, int D, uint16_t k,
                                  int J, double dJumpLocation) {
  KMRegModelSettings settings =
      FrameworkSearchSettings(session, D, k, dJumpLocation);
  settings.dMember7 = 0.0;
  settings.dMember8 = 0.0;
  settings.jumpAlpha = session.GetDouble(kmOptJumpCRAlpha);
  settings.modelType = 0;
  settings.testKind = 1;
  settings.jump = J;
  settings.bMember15 = false;
  settings.iMember23 = 0;
  settings.dMember24 = 0.0;
  settings.iMember30 = 0;
  return settings;
}

}  // namespace

void kmCalculator::SearchThroughFramework(
    int iNumDataSets, uint16_t k, int16_t iNumGridPoints, int p,
    const KMRegModelSettings& settings,
    const OneDimensionArray<ColumnVector>& groups,
    OneDimensionArray<KinkMKFitResult>& results,
    KmProgressInterface* pProgress) {
  const int D = iNumDataSets;
  const int K = iNumGridPoints;
  const int n = iNumObs;
  // Every data set is searched less its straight line on the two base
  // columns, which keeps the residual sums exact at any level (those of the
  // permuted data sets come from the cross products alone); the line of
  // the observed data goes back into its fit.
  Matrix mXWY;
  ColumnVector vYWY(D);
  Matrix mLine(2, D);
  mLine = 0.0;
  ColumnVector vOnes(n);
  vOnes = 1.0;
  if (p >= 2) {
    PreCalcXWYAboutLine(D, vOnes, mXWY, vYWY, mLine);
  } else {
    PreCalcXWY(D, vOnes, mXWY, vYWY);
  }
  KMRegFittingData fittingData;
  fittingData.candidates.ReSize(K);
  fittingData.candidateIndices.ReSize(K);
  for (int c = 1; c <= K; ++c) {
    fittingData.candidates(c) = (*pGridValues)(c);
    fittingData.candidateIndices(c) = (*pGridAux)(c);
  }
  OneDimensionArray<ColumnVector> series;
  series.SetSize(D);
  OneDimensionArray<double> yWy;
  yWy.SetSize(D);
  for (int d = 1; d <= D; ++d) {
    series[d - 1] =
        pDataY->SubMatrix(1, n, d, d) - LineValues(mLine, d, *pX0, n);
    yWy[d - 1] = vYWY(d);
  }
  const Matrix mXWX = *pXWX;
  const Matrix mX0 = *pX0;
  const Matrix mAtA = mWorkA.t() * mWorkA;
  ForAllKinkMKAction::findTheBestTau(groups, series, fittingData, settings, k,
                                     p, mXWX, mX0, mXWY, yWy, results, mAtA,
                                     pProgress);
  if (results.GetSize() >= 1) RestoreLine(results[0], mLine);
}

void kmCalculator::GridSearch_WithJumpModel(
    int iNumDataSets, uint16_t k, ColumnVector& vLocations,
    ColumnVector& vEstimates, ColumnVector& vResidSum, int16_t iNumGridPoints,
    Matrix& mProfile, int iJump, KmProgressInterface* pProgress) {
  WithCallPath("GridSearch_WithJumpModel()", kClassName, [&] {
    const int D = iNumDataSets;
    const int K = iNumGridPoints;
    const int J = iJump != 0 ? 1 : 0;
    const int w = iXColumn;
    if (D < 1) {
      GenerateKmExceptionF(
          "The grid search needs at least one data set, not %d.", kClassName,
          D);
    }
    if (k > kMaxKinkmarks) {
      GenerateKmExceptionF(
          "The grid search places at most %d kinkmarks; %d were requested.",
          kClassName, static_cast<int>(kMaxKinkmarks), static_cast<int>(k));
    }
    if (K < 0 || pXWX == nullptr || pX0 == nullptr ||
        pXWX->Nrows() < K + 2 + J || pX0->Ncols() < K + 2 + J ||
        pGridValues == nullptr || pGridValues->Nrows() < K ||
        pGridAux == nullptr || pGridAux->Nrows() < K || pDataX == nullptr ||
        pDataX->Ncols() < w || pDataY == nullptr || pDataY->Ncols() < D) {
      GenerateKmExceptionF(
          "The candidate grid, its cross products or the data are not "
          "prepared for %d candidates and %d data sets.",
          kClassName, K, D);
    }
    const int n = iNumObs;
    const int c = w + k + J;
    WithMatrixErrorsAsKm("kmCalculator::GridSearch_WithJumpModel()", [&] {
      if (D == 1) {
        vLocations.ReSize(k);
        vLocations = 0.0;
        mProfile.ReSize(K, k);
        mProfile = kNoFit;
      }
      vEstimates.ReSize(w + 3 * k + J);
      vEstimates = 0.0;
      if (vResidSum.Nrows() < D) vResidSum.ReSize(D);
      vResidSum = kNoFit;

      OneDimensionArray<ColumnVector> xValues;
      xValues.SetSize(1);
      xValues[0] = pDataX->SubMatrix(1, n, w, w);
      const KMRegModelSettings settings =
          SearchSettings(*GetCalcSession(), D, k, J, dJumpLocation);
      OneDimensionArray<KinkMKFitResult> results;
      SearchThroughFramework(D, k, iNumGridPoints, w, settings, xValues,
                             results, pProgress);
      if (results.GetSize() < 1) {
        GenerateKmException("The model framework returned no fit.", kClassName);
      }
      for (int d = 1; d <= D && d <= results.GetSize(); ++d) {
        vResidSum(d) = results[d - 1].sse;
      }
      KinkMKFitResult& first = results[0];
      ColumnVector vBeta;
      if (D == 1) {
        mProfile = first.profile;
        vBeta = first.beta;
        mWork << first.xtwx;
      }

      // Without any placement there is no model to refit or unpack (the
      // refit would fail inside the matrix library); say so plainly.
      if (!(first.sse < kNoFit)) {
        GenerateKmExceptionF("Cannot place kinkmark %d in GridSearch.",
                             kClassName, static_cast<int>(k));
      }
      // The refit counts the intercept, slope, kinkmark locations and
      // slope changes, not the jump. Where the refit cannot estimate the
      // jump it takes its standard error from this fit, whose residual
      // degrees of freedom count the jump, as the report's do.
      first.q = w + 2 * k;
      first.residualDF = static_cast<double>(pDataX->Nrows() - (w + 2 * k + J));
      KMSeriesSet seriesSet;
      seriesSet.xValues = xValues;
      seriesSet.yValues.SetSize(1);
      seriesSet.yValues[0] = pDataY->SubMatrix(1, n, 1, 1);
      seriesSet.covariance << mWorkB;
      first.settings = settings;
      ForAllKinkMKAction::run_Fit(seriesSet, first);
      vJumpResults = first.jumpVector;
      // The level reached after the jump is no ratio: a jump model's
      // comparability ratio is its jump carried to the ratio scale.
      vCRResults = first.jumpRetest;

      if (D != 1 || Cancelled(pProgress)) return;
      if (first.tau.Nrows() < k || vBeta.Nrows() < c) {
        GenerateKmExceptionF("Cannot place kinkmark %d in GridSearch.",
                             kClassName, static_cast<int>(k));
      }
      vLocations = first.tau;
      for (int i = 1; i <= w - 1; ++i) vEstimates(i) = vBeta(i);
      vEstimates(k + w) = vBeta(w);
      for (int j = 1; j <= k; ++j) {
        if (Cancelled(pProgress)) break;
        vEstimates(w + j - 1) =
            vEstimates(w + j - 2) - vLocations(j) * vBeta(w + j);
        vEstimates(k + w + j) = vEstimates(k + w + j - 1) + vBeta(w + j);
      }
      for (int i = w + 1; i <= c; ++i) vEstimates(2 * k + i) = vBeta(i);
    });
  });
}
