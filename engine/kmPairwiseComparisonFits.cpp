// kmPairwiseComparison: ResidsComp, FTestComp, KinkMkSEsComp.
//
// Fitted values, residuals, the F test between numbers of kinkmarks and the
// coefficient covariance of a comparison fit of two stacked cohorts (the
// layout of B is told in kmPairwiseComparisonGrid.cpp). The rows of each cohort
// run in increasing x; a walk along them passes every kinkmark a row has
// reached, also several between two rows.
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/kmCalculator.h"
#include "engine/kmFitScores.h"
#include "engine/kmPairwiseComparison.h"
#include "engine/kmPieceWalk.h"
#include "engine/kmRatioDisplay.h"
#include "engine/kmWeightedResiduals.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "results/kmFTest.h"
#include "results/kmTable.h"
#include "session/kmComparisonType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// The class text of call-path lines and messages, as the error files have
// always carried it.
constexpr const char* kClassName = "kmCalculator";
// Value of a fit-data cell that has no value.
constexpr double kMissing = -9999.0;
// The segment coefficients of a comparison fit in the layout of
// kmPieceWalk (intercepts, then slopes). Segment s (0-based) has intercept
// B(1) for s = 0, else B(c - 1 + s), and slope B(c + k + s); the second
// cohort of the parallel design adds B(2) - B(1) to every intercept.
ColumnVector CohortSegments(int k, int c, const ColumnVector& vB,
                            bool bShifted) {
  const double dOffset = bShifted ? vB(2) - vB(1) : 0.0;
  ColumnVector v(2 * (k + 1));
  for (int s = 0; s <= k; ++s) {
    v(s + 1) = (s == 0 ? vB(1) : vB(c - 1 + s)) + dOffset;
    v(k + 2 + s) = vB(c + k + s);
  }
  return v;
}

}  // namespace

void kmPairwiseComparison::ResidsComp(uint16_t k, int iShift,
                                      const Matrix& mRoot,
                                      const ColumnVector& vCoefs,
                                      const ColumnVector& vKinkmarks,
                                      Matrix& mFits, Matrix& mResiduals,
                                      kmTable& model) {
  constexpr const char* kSource = "kmCalculator::ResidsComp()";
  WithCallPath("ResidsComp()", kClassName, [&] {
    const kmSession* pSession = calc_.GetCalcSession();
    const bool bLog = pSession->GetBool(kmOptLogLinear);
    const bool bParallel =
        pSession->Get<kmPairwiseType>() == kmPairwiseType::kParallel;
    const kmAutocorrErrors mode = pSession->Get<kmAutocorrErrors>();
    const int n = calc_.GetNumObservations();
    const int c = calc_.GetXColumn();
    const Matrix* pDesign = calc_.GetDataX();
    const Matrix* pResponses = calc_.GetDataY();
    const Matrix* pStdErrors = calc_.GetDataAux();
    if (pDesign == nullptr || pDesign->Nrows() < n || pDesign->Ncols() < c ||
        pResponses == nullptr || pResponses->Nrows() < n ||
        pResponses->Ncols() < 1 || pStdErrors == nullptr ||
        pStdErrors->Nrows() < n) {
      GenerateKmException(
          "The comparison's observations must be loaded before its "
          "residuals are formed.",
          kSource);
    }
    if (mFits.Nrows() <= k || mFits.Ncols() < n || mResiduals.Nrows() <= k ||
        mResiduals.Ncols() < n) {
      GenerateKmExceptionF(
          "The fit and residual matrices have no row for %d kinkmarks and "
          "%d observations.",
          kSource, static_cast<int>(k), n);
    }
    WithMatrixErrorsAsKm(kSource, [&] {
      const Matrix& X0 = *pDesign;
      const Matrix& Y = *pResponses;
      const double dFirstX = X0(1, c);
      auto scale = [bLog](double v) { return bLog ? std::exp(v) : v; };
      // The rows show each cohort's values as its own rows do: a
      // comparability-ratio analysis's divided back where the ratio
      // adjusted them.
      const kmRatioDisplay display(*pSession);
      bool bRatio = false;
      auto shown = [&](double x, double v) {
        return bRatio ? display.Shown(x, scale(v)) : scale(v);
      };
      ColumnVector e(n);
      std::vector<double> cells;
      const int h = n / 2;
      for (int g = 0; g < 2; ++g) {
        bRatio = pair_.bRatioShown[g];
        const ColumnVector vSeg =
            CohortSegments(k, c, vCoefs, bParallel && g == 1);
        kmPieceWalk walk(static_cast<int16_t>(k), vSeg, vKinkmarks, dFirstX);
        for (int r = g * h + 1; r <= (g == 0 ? h : n); ++r) {
          const double x = X0(r, c);
          const double z = (*pStdErrors)(r, 1);
          mFits(k + 1, r) =
              walk.ValueAfterBreaks(x, [&](double dBreak, double dValue) {
                cells.insert(cells.end(), {dBreak + iShift, kMissing,
                                           shown(dBreak + iShift, dValue), z});
              });
          e(r) = Y(r, 1) - mFits(k + 1, r);
          const double xu = x + iShift;
          cells.insert(
              cells.end(),
              {xu, shown(xu, Y(r, 1)), shown(xu, mFits(k + 1, r)),
               bRatio ? display.ShownSE(xu, scale(Y(r, 1)), z, kMissing) : z});
        }
      }
      WeightResiduals(mRoot, e, n, mode, k + 1, mResiduals);

      const int iRows = static_cast<int>(cells.size() / 4);
      Matrix mData(iRows, 4);
      if (iRows > 0) mData << cells.data();
      model.SetData(mData);
    });
  });
}

double kmPairwiseComparison::FTestComp(uint16_t k0, uint16_t k1, double dAlpha,
                                       int iNumDataSets,
                                       const ColumnVector& vSumSq0,
                                       const ColumnVector& vSumSq1,
                                       kmFTest& test) {
  constexpr const char* kSource = "kmCalculator::FTestComp()";
  return WithCallPath("FTestComp()", kClassName, [&]() -> double {
    const int D = iNumDataSets;
    const int iNeeded = D > 1 ? D : 1;
    if (vSumSq0.Nrows() < iNeeded || vSumSq1.Nrows() < iNeeded) {
      GenerateKmExceptionF(
          "The residual sums hold %d and %d data sets; %d are needed.", kSource,
          static_cast<int>(vSumSq0.Nrows()), static_cast<int>(vSumSq1.Nrows()),
          iNeeded);
    }
    return WithMatrixErrorsAsKm(kSource, [&]() -> double {
      const int c = calc_.GetXColumn();
      const int16_t p0 = static_cast<int16_t>(c + 2 * k0);
      const int16_t p1 = static_cast<int16_t>(c + 2 * k1);
      const int iDf2 = calc_.GetNumObservations() - p1;
      const int iDf1 = p1 - p0;
      const double dF =
          calc_.RecordObservedF(test, vSumSq0(1), vSumSq1(1), iDf1, iDf2);
      test.lNumPermutations = D;
      if (D <= 1) return dAlpha;
      const double r = iDf1 > 0 ? static_cast<double>(iDf2) / iDf1 : 0.0;
      int iCount = 0;
      for (int d = 1; d <= D; ++d) {
        if (ReachesObservedF(FOf(vSumSq0(d), vSumSq1(d), r), dF)) ++iCount;
      }
      const double dPerm = static_cast<double>(iCount) / D;
      test.dPermPValue = dPerm;
      test.dAlpha = dAlpha;
      return dPerm;
    });
  });
}

double kmPairwiseComparison::KinkMkSEsComp(int16_t k,
                                           const ColumnVector& vKinkmarks,
                                           Matrix& mCovariance,
                                           kmTable& model) {
  constexpr const char* kSource = "kmCalculator::KinkMkSEsComp()";
  return WithCallPath("KinkMkSEsComp()", kClassName, [&]() -> double {
    const int n = calc_.GetNumObservations();
    const int c = calc_.GetXColumn();
    const int p = c + 2 * k;
    const int q = c + 3 * k;
    const Matrix* pDesign = calc_.GetDataX();
    if (k < 0 || c < 2 || pDesign == nullptr || pDesign->Nrows() < n ||
        pDesign->Ncols() < c || vKinkmarks.Nrows() < k) {
      GenerateKmExceptionF(
          "The comparison design or the %d kinkmarks of the model are not "
          "available.",
          kSource, static_cast<int>(k));
    }
    // ln(ln n) is not a real number for n < 3: no bandwidth exists.
    if (n < 3) {
      GenerateKmExceptionF(
          "Kinkmark standard errors need at least 3 observations; the "
          "comparison has %d.",
          kSource, n);
    }
    return WithMatrixErrorsAsKm(kSource, [&]() -> double {
      const double dN = static_cast<double>(n);
      const double h = std::pow(std::log(std::log(dN)), 0.6) * dN * 0.5 *
                       0.117 / std::sqrt(dN);
      ColumnVector w(n);
      w = 1.0;
      Matrix Zd(n, p);
      Zd = 0.0;
      const int iPerGroup = n / (c - 1);
      for (int i = 1; i <= n; ++i) {
        const double x = (*pDesign)(i, c);
        // Segment j: x <= kinkmark 1, kinkmark j-1 < x <= kinkmark j, or
        // x > kinkmark k.
        int j = 1;
        while (j <= k && x > vKinkmarks(j)) ++j;
        const bool bSecond = (i - 1) / iPerGroup + 1 == 2;
        if (j == 1) {
          if (bSecond) {
            Zd(i, 2) = 1.0;
          } else {
            Zd(i, 1) = 1.0;
          }
        } else {
          Zd(i, c - 2 + j) = 1.0;
          // The second cohort's line lies B(2) - B(1) above the first's.
          if (bSecond) {
            Zd(i, 2) += 1.0;
            Zd(i, 1) -= 1.0;
          }
        }
        Zd(i, c - 1 + k + j) = x;
        for (int t = 1; t <= k; ++t) {
          const double u = std::fabs(x - vKinkmarks(t)) / h;
          if (u < 1.0) w(i) = u;
        }
      }

      Matrix mXtX, mXtY, mXtXinv;
      ColumnVector vYtY(1), vBeta, vSSE(1);
      calc_.WLSXPr(w, Zd, mXtX, mXtY, vYtY);
      uint16_t iRank = 0;
      // The residual sum from the residuals, not from the cross products:
      // a shift of the data's level changes no residual.
      calc_.WLSNew(mXtY, mXtX, mXtXinv, vBeta, vSSE, iRank, w, Zd);
      model.SetReducedRank(iRank < p ? 1 : 0);

      const double dfe = w.Sum() - iRank;
      const double s2 = dfe > 0.0 ? vSSE(1) / dfe : 0.0;
      const Matrix M = s2 * mXtXinv;
      Matrix J(q, p);
      J = 0.0;
      for (int i = 1; i <= p; ++i) J(i, i) = 1.0;
      for (int i = p + 1; i <= q; ++i) {
        J(i, i - k) = 1.0;
        J(i, i - k - 1) = -1.0;
      }
      mCovariance = J * M * J.t();
      // A coefficient without variance makes every quantity built on it
      // untestable.
      for (int i = 1; i <= q; ++i) {
        bool bZero = false;
        for (int j = 1; j <= p && !bZero; ++j) {
          if (J(i, j) != 0.0 && M(j, j) == 0.0) bZero = true;
        }
        if (bZero) {
          mCovariance.Row(i) = 0.0;
          mCovariance.Column(i) = 0.0;
        }
      }
      return dfe;
    });
  });
}
