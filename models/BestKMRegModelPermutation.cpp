// BestKMRegModel: run_PermutationTests, run_PermutationTest,
// permute_Residuals.
#include <cmath>
#include <limits>
#include <string>

#include "foundation/KmException.h"
#include "models/BaseKMRegModel.h"
#include "models/BestKMRegModel.h"
#include "models/DistributionWrappers.h"
#include "models/Shuffles.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The best RSS of every data set j = 1..N for one model: entry 1 the
// observed RSS, entry j the search's RSS of rebuilt response j - 1. The
// search scores nothing when the model has more kinkmarks than there are
// candidates; those data sets, and any it did not score, count as not
// fitted (+infinity).
NEWMAT::ColumnVector CollectRSS(double dObservedRSS,
                                const KMRegFitRecord& search, int32_t N) {
  NEWMAT::ColumnVector rss(N);
  rss(1) = dObservedRSS;
  for (int32_t j = 2; j <= N; ++j) {
    rss(j) = j <= search.rssPerResponse.Nrows() ? search.rssPerResponse(j)
                                                : kInfinity;
  }
  return rss;
}

}  // namespace

int32_t BestKMRegModel::run_PermutationTests(
    MTRandomGenerator& generator, OneDimensionArray<KMModelScoreRec>& scores,
    const KMRegFitMatrices& fittingData,
    const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
    const OneDimensionArray<NEWMAT::ColumnVector>& fitted,
    const OneDimensionArray<NEWMAT::ColumnVector>& residuals,
    const NEWMAT::ColumnVector& rss, int32_t kMax, int32_t kMin, double alpha,
    int32_t N, int32_t jump, double tauAlpha, int32_t splineCode) {
  return WithStandardCatch([&] {
    int32_t lo = kMin;
    int32_t hi = kMax;
    scores.Resize(kMax - kMin);
    int32_t t = 0;
    while (lo < hi) {
      // The level is shared among the numbers still above lo.
      const double dLevel = alpha / static_cast<double>(kMax - lo);
      NEWMAT::ColumnVector observedRSS(2);
      observedRSS(1) = rss(lo - kMin + 1);
      observedRSS(2) = rss(hi - kMin + 1);
      run_PermutationTest(generator, scores[t], lo, hi, fittingData, xValues,
                          fitted[lo - kMin], residuals[lo - kMin], observedRSS,
                          dLevel, N, jump, tauAlpha, splineCode);
      if (scores[t].retained) {
        --hi;
      } else {
        ++lo;
      }
      ++t;
    }
    return lo;
  });
}

void BestKMRegModel::run_PermutationTest(
    MTRandomGenerator& generator, KMModelScoreRec& score, int32_t k0,
    int32_t k1, const KMRegFitMatrices& fittingData,
    const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
    const NEWMAT::ColumnVector& fitted, const NEWMAT::ColumnVector& residuals,
    const NEWMAT::ColumnVector& observedRSS, double alpha, int32_t N,
    int32_t jump, double tauAlpha, int32_t splineCode) {
  WithStandardCatch([&] {
    // With no data set the p-value would be 0 / 0, and every test would
    // favour the larger model.
    if (N < 1) {
      GenerateKmExceptionF(
          "The number of permutation data sets must be at least 1, not %d.",
          "BestKMRegModel::run_PermutationTest()", static_cast<int>(N));
    }
    const int32_t n = fittingData.allY.Nrows();
    const int32_t p = fittingData.p;
    score.k0 = k0;
    score.k1 = k1;
    score.df1 = 2 * (k1 - k0);
    score.df2 = n - p - 2 * k1 - (jump != 0 ? 1 : 0);
    score.N = N;
    score.alpha = alpha;

    // A smaller model whose kinkmarks could not be placed has no fitted
    // values to rebuild responses from (and RSS +infinity); the larger model
    // cannot be placed either, so the test retains the smaller one without
    // a draw, as every criterion's tie between two unfitted models does.
    const bool bSmallerFitted =
        !(fitted.Nrows() == 0 && std::isinf(observedRSS(1)));

    // Rebuilt responses and their response-side products; the design-side
    // products are shared with the observed fit.
    const int32_t iPermutations = N - 1;
    NEWMAT::ColumnVector rss0;
    NEWMAT::ColumnVector rss1;
    if (iPermutations > 0 && bSmallerFitted) {
      NEWMAT::Matrix P;
      permute_Residuals(generator, P, fitted, residuals, fittingData.transform,
                        fittingData.backTransform, iPermutations,
                        OneDimensionArray<OneDimensionArray<int>>());
      OneDimensionArray<NEWMAT::ColumnVector> responses;
      OneDimensionArray<double> yWy;
      responses.Resize(N);
      yWy.Resize(N);
      responses[0] = fittingData.allY;
      yWy[0] = fittingData.yWy[0];
      for (int32_t j = 1; j <= iPermutations; ++j) {
        responses[j] = P.Column(j);
        yWy[j] =
            (responses[j].t() * fittingData.weight * responses[j]).AsScalar();
      }
      const NEWMAT::Matrix XtWY =
          fittingData.XtWY.Column(1) | (fittingData.XtW * P);

      KMRegFitRecord search0;
      KMRegFitRecord search1;
      BaseKMRegModel::findTheBestTau(
          search0, xValues, responses, fittingData.candidates,
          fittingData.candidateIndices, k0, p, tauAlpha, jump,
          fittingData.weight, fittingData.XtWX, fittingData.X, XtWY, yWy,
          splineCode, "NO");
      BaseKMRegModel::findTheBestTau(
          search1, xValues, responses, fittingData.candidates,
          fittingData.candidateIndices, k1, p, tauAlpha, jump,
          fittingData.weight, fittingData.XtWX, fittingData.X, XtWY, yWy,
          splineCode, "NO");
      rss0 = CollectRSS(observedRSS(1), search0, N);
      rss1 = CollectRSS(observedRSS(2), search1, N);
    } else {
      rss0 = CollectRSS(observedRSS(1), KMRegFitRecord(), 1);
      rss1 = CollectRSS(observedRSS(2), KMRegFitRecord(), 1);
    }

    const int32_t iDataSets = rss0.Nrows();
    NEWMAT::ColumnVector R(iDataSets);
    for (int32_t j = 1; j <= iDataSets; ++j)
      R(j) = rss1(j) > 0.0 ? rss0(j) / rss1(j) : 0.0;

    score.F = (R(1) - 1.0) * static_cast<double>(score.df2) /
              static_cast<double>(score.df1);
    score.pF = calc_FUpperTail(score.F, score.df1, score.df2);

    // The observed data set counts itself, so pPerm >= 1 / N.
    int32_t iAtLeast = 0;
    for (int32_t j = 1; j <= iDataSets; ++j)
      if (R(j) >= R(1)) ++iAtLeast;
    score.pPerm = bSmallerFitted ? static_cast<double>(iAtLeast) /
                                       static_cast<double>(iDataSets)
                                 : 1.0;
    score.retained = score.pPerm > alpha;
    score.selected = score.retained ? k0 : k1;
  });
}

void BestKMRegModel::permute_Residuals(
    MTRandomGenerator& generator, NEWMAT::Matrix& P,
    const NEWMAT::ColumnVector& f, const NEWMAT::ColumnVector& e,
    const NEWMAT::Matrix& T, const NEWMAT::Matrix& B, int32_t m,
    const OneDimensionArray<OneDimensionArray<int>>& blocks) {
  WithStandardCatch([&] {
    NEWMAT::ColumnVector r = T * e;
    P.ReSize(f.Nrows(), m);
    for (int32_t j = 1; j <= m; ++j) {
      if (blocks.GetSize() > 1) {
        shuffle_AcrossBlocks(generator, r, blocks);
      } else {
        shuffle_ColumnVector(generator, r);
      }
      P.Column(j) = f + B * r;
    }
  });
}
