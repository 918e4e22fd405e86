// kmPairwiseComparison: LoadFit, Shuffle2, FindGridPointsComp, PermuteComp,
// GridSearchComp.
//
// The candidate grid, permuted data sets and grid search of a comparison of
// two stacked cohorts (or of one cohort alone, with c = 2 and n = m). Only
// the first cohort's rows define the candidates, since both cohorts share
// their independent values; the hinge columns cover every row. The search
// itself is the model framework's, run over all data sets at once with the
// x values cut into the two cohorts.
//
// Two cohorts of m observations on the same independent values are
// stacked into one data set of n = 2m rows (first cohort first) with the
// base design X0 of c columns (the calculator's observations and
// independent-value column): coincident (one
// curve, c = 2): (1, x); parallel (common kinkmarks and slopes, own intercepts,
// c = 3): (1, 0, x) for the first cohort, (0, 1, x) for the second. The
// coefficient vector B of a k-kinkmark comparison fit has c + 3k entries:
// B(1..c-1) the intercepts of segment 1 (per cohort when parallel),
// B(c..c+k-1) those of segments 2..k+1 (first cohort), B(c+k..c+2k) the
// k+1 segment slopes and B(c+2k+1..c+3k) the slope changes. In the
// parallel design the second cohort's segment intercepts are the first
// cohort's plus B(2) - B(1).
//
// The joint model is tested against two separate fits by
//   F = (SSE0 - SSE1 - SSE2) / (SSE1 + SSE2) * df2 / df1,
// df1 = p1 - p0, df2 = N - p1 (p0 = 2K + 2 coincident, 2K + 3 parallel,
// p1 = 4K + 4), with a permutation p-value over data sets made from the
// joint model's residuals by swapping the two cohorts' residuals at each
// position with probability 1/2.
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "engine/kmCalculator.h"
#include "engine/kmFitScores.h"
#include "engine/kmFrameworkSearchSettings.h"
#include "engine/kmGridEnumeration.h"
#include "engine/kmPairwiseComparison.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/OneDimensionArray.h"
#include "models/ForAllKinkMKAction.h"
#include "models/KMRegFittingData.h"
#include "models/KMRegModelSettings.h"
#include "models/KinkMKFitResult.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// The class text of call-path lines and messages, as the error files have
// always carried it.
constexpr const char* kClassName = "kmCalculator";
using km_grid::Cancelled;
using km_grid::kMaxKinkmarks;

// The model framework's settings for a comparison search of k kinkmarks:
// a comparison has no jump.
KMRegModelSettings SearchSettings(const kmSession& session, int D, uint16_t k) {
  KMRegModelSettings settings = FrameworkSearchSettings(session, D, k, 0.0);
  settings.jump = 0;
  return settings;
}

}  // namespace

void kmPairwiseComparison::LoadFit(const Matrix& mDesign, int16_t iXColumn,
                                   const Matrix& mResponses,
                                   const ColumnVector& vWeightInput,
                                   const Matrix& mStdErrors) {
  WithCallPath("LoadFit()", kClassName, [&] {
    calc_.LoadObservations(mDesign, iXColumn, mResponses, vWeightInput,
                           mStdErrors);
  });
}

void kmPairwiseComparison::Shuffle2(ColumnVector& v) {
  WithCallPath("Shuffle2()", kClassName, [&] {
    const int16_t n = calc_.GetNumObservations();
    if (v.Nrows() < n) {
      GenerateKmExceptionF(
          "The vector to shuffle has %d elements; %d are needed.",
          "kmCalculator::Shuffle2()", static_cast<int>(v.Nrows()),
          static_cast<int>(n));
    }
    const int16_t h = static_cast<int16_t>(n / 2);
    for (int16_t i = 1; i <= h; ++i) {
      if (calc_.GetRandomIndex(1, 2) == 2) {
        const double dSwap = v(i);
        v(i) = v(i + h);
        v(i + h) = dSwap;
      }
    }
  });
}

uint16_t kmPairwiseComparison::FindGridPointsComp(uint16_t iMinObsEnd,
                                                  int iMinObsBetween,
                                                  uint16_t iGridPointsBetween) {
  constexpr const char* kSource = "kmCalculator::FindGridPointsComp()";
  return WithCallPath("FindGridPointsComp()", kClassName, [&]() -> uint16_t {
    const int n = calc_.GetNumObservations();
    const int m = pair_.iObsPerCohort;
    const int c = calc_.GetXColumn();
    const Matrix* pDesign = calc_.GetDataX();
    if (c < 1 || pDesign == nullptr || pDesign->Ncols() < c ||
        pDesign->Nrows() < n || m < 0 || m > n) {
      GenerateKmExceptionF(
          "The comparison design is not loaded for %d observations of %d "
          "per cohort.",
          kSource, n, m);
    }
    if (iMinObsEnd < 1) {
      GenerateKmException(
          "The comparison grid needs at least one observation at each end.",
          kSource);
    }
    return WithMatrixErrorsAsKm(kSource, [&]() -> uint16_t {
      const int a = iMinObsEnd;
      const int g = iGridPointsBetween;
      const ColumnVector x = pDesign->Column(c);
      // Count first, so that the grid vectors are sized once.
      long lCount = 0;
      for (int i = a; i <= m - a; ++i) lCount += (i == a) ? g : g + 1;
      if (lCount > std::numeric_limits<int16_t>::max() ||
          c + lCount > std::numeric_limits<int16_t>::max()) {
        GenerateKmExceptionF(
            "The comparison grid of %ld candidates is too "
            "large.",
            kSource, lCount);
      }
      const int G = static_cast<int>(lCount);
      ColumnVector vValues(G);
      ColumnVector vIndices(G);
      int K = 0;
      int16_t idx = 0;
      for (int i = a; i <= m - a; ++i) {
        const double dStep = (x(i + 1) - x(i)) / (g + 1);
        int jFirst = 0;
        if (i == a) {
          idx = static_cast<int16_t>((g + 1) * iMinObsBetween + 1);
          jFirst = 1;
        } else {
          idx = static_cast<int16_t>(idx + (g + 1));
        }
        for (int j = jFirst; j <= g; ++j) {
          ++K;
          vValues(K) = x(i) + j * dStep;
          vIndices(K) = idx;
        }
      }
      Matrix H(n, c + K);
      H.SubMatrix(1, n, 1, c) = pDesign->SubMatrix(1, n, 1, c);
      for (int p = 1; p <= K; ++p) {
        const double dValue = vValues(p);
        for (int r = 1; r <= n; ++r) {
          const double d = x(r) - dValue;
          H(r, c + p) = d > 0.0 ? d : 0.0;
        }
      }
      calc_.LoadCandidateGrid(vValues, vIndices, H);
      return static_cast<uint16_t>(K);
    });
  });
}

void kmPairwiseComparison::PermuteComp(int16_t k, const Matrix& mRootInverse,
                                       const Matrix& mFits,
                                       const Matrix& mResiduals,
                                       int iNumDataSets) {
  constexpr const char* kSource = "kmCalculator::PermuteComp()";
  WithCallPath("PermuteComp()", kClassName, [&] {
    const kmAutocorrErrors mode =
        calc_.GetCalcSession()->Get<kmAutocorrErrors>();
    const int n = calc_.GetNumObservations();
    const int D = iNumDataSets;
    const Matrix* pResponses = calc_.GetDataY();
    if (pResponses == nullptr || pResponses->Nrows() < n ||
        pResponses->Ncols() < 1 || D < 1) {
      GenerateKmExceptionF(
          "The comparison needs its response and at least one data set (%d "
          "was asked).",
          kSource, D);
    }
    if (mRootInverse.Nrows() != n || mRootInverse.Ncols() != n) {
      GenerateKmExceptionF(
          "The inverse weight root is %d x %d for %d observations.", kSource,
          static_cast<int>(mRootInverse.Nrows()),
          static_cast<int>(mRootInverse.Ncols()), n);
    }
    WithMatrixErrorsAsKm(kSource, [&] {
      ColumnVector v = mResiduals.SubMatrix(k + 1, k + 1, 1, n).t();
      const ColumnVector vFits = mFits.SubMatrix(k + 1, k + 1, 1, n).t();
      Matrix P(n, D - 1);
      P = 0.0;
      for (int i = 1; i <= D - 1; ++i) {
        if (shuffleMode_ == ShuffleMode::kFull) {
          calc_.Shuffle(v);
        } else {
          Shuffle2(v);
        }
        if (mode == kmAutocorrErrors::kUncorrelated) {
          P.Column(i) = vFits + mRootInverse * v;
        } else {
          for (int r = 1; r <= n; ++r) {
            double dSum = 0.0;
            for (int j = 1; j <= n; ++j) dSum += v(j) * mRootInverse(r, j);
            P(r, i) = vFits(r) + dSum;
          }
        }
      }
      const ColumnVector vObserved = pResponses->SubMatrix(1, n, 1, 1);
      if (D > 1) {
        calc_.LoadResponses(vObserved | P);
      } else {
        calc_.LoadResponses(vObserved);
      }
    });
  });
}

void kmPairwiseComparison::GridSearchComp(
    int iNumDataSets, uint16_t k, ColumnVector& vKinkmarks,
    ColumnVector& vCoefs, ColumnVector& vSumSq, int16_t iNumGridPoints,
    Matrix& mGridResult, KmProgressInterface* pProgress) {
  constexpr const char* kSource = "kmCalculator::GridSearchComp()";
  WithCallPath("GridSearchComp()", kClassName, [&] {
    const int D = iNumDataSets;
    const int G = iNumGridPoints;
    const int c = calc_.GetXColumn();
    const int n = calc_.GetNumObservations();
    if (D < 1 || k > kMaxKinkmarks) {
      GenerateKmExceptionF(
          "The comparison search needs at least one data set and at most %d "
          "kinkmarks (%d data sets, %d kinkmarks were asked).",
          kSource, static_cast<int>(kMaxKinkmarks), D, static_cast<int>(k));
    }
    if (!calc_.SearchInputReady(G, c, D)) {
      GenerateKmExceptionF(
          "The comparison grid, its cross products or the data are not "
          "prepared for %d candidates and %d data sets.",
          kSource, G, D);
    }
    const kmSession* pSession = calc_.GetCalcSession();
    WithMatrixErrorsAsKm(kSource, [&] {
      if (D == 1) {
        vKinkmarks.ReSize(k);
        vKinkmarks = 0.0;
        mGridResult.ReSize(G, k);
        mGridResult = kNoFit;
      }
      vCoefs.ReSize(c + 3 * k);
      vCoefs = 0.0;
      if (vSumSq.Nrows() < D) vSumSq.ReSize(D);
      vSumSq = kNoFit;

      if (pProgress != nullptr) {
        if (k != 0) {
          pProgress->SetRange(1, G);
          pProgress->SetPosition(1);
        } else {
          pProgress->SetRange(G, G);
          pProgress->SetPosition(G);
        }
      }

      OneDimensionArray<ColumnVector> groups;
      groups.SetSize(2);
      const Matrix& X0 = *calc_.GetDataX();
      groups[0] = X0.SubMatrix(1, n / 2, c, c);
      groups[1] = X0.SubMatrix(n / 2 + 1, n, c, c);
      KmNullProgress nullProgress;
      OneDimensionArray<KinkMKFitResult> results;
      calc_.SearchThroughFramework(D, k, iNumGridPoints, c,
                                   SearchSettings(*pSession, D, k), groups,
                                   results, &nullProgress);
      for (int d = 1; d <= D && d <= results.GetSize(); ++d) {
        vSumSq(d) = results[d - 1].sse;
      }
      if (D != 1 || results.GetSize() < 1) return;

      const KinkMKFitResult& first = results[0];
      // No admissible placement: the fit members are empty, and the outputs
      // keep their initial values with the +infinity sum saying so.
      if (!(first.sse < kNoFit)) return;
      mGridResult = first.profile;
      const ColumnVector e = first.beta;
      calc_.SetModelCrossProducts(first.xtwx);
      if (Cancelled(pProgress)) return;
      vKinkmarks = first.tau;
      for (int i = 1; i <= c - 1; ++i) vCoefs(i) = e(i);
      vCoefs(c + k) = e(c);
      for (int j = 1; j <= k; ++j) {
        if (Cancelled(pProgress)) break;
        // Segment 2 starts from the first cohort's intercept B(1).
        const double dPrevious = j == 1 ? vCoefs(1) : vCoefs(c + j - 2);
        vCoefs(c + j - 1) = dPrevious - vKinkmarks(j) * e(c + j);
        vCoefs(c + k + j) = vCoefs(c + k + j - 1) + e(c + j);
      }
      for (int i = c + 1; i <= c + k; ++i) vCoefs(2 * k + i) = e(i);
    });
  });
}
