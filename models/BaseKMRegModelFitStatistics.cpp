// Holds BaseKMRegModel::fit_BaseKMRegModel, calc_WeightMatrices,
// calc_FitEstimates and calc_SegmentTTests: the segment-form statistics of
// a fitted kinkmark model.
//
// The segment form of a continuous fit with p base columns (p - 1
// intercepts) and k kinkmarks has p + 2k entries: the offsets of the
// intercepts of series 2..p-1 from that of series 1 (entries 1..p-2), then
// per segment s = 1..k+1 its intercept a_s and slope b_s at entries
// p - 1 + 2(s - 1) and p + 2(s - 1):
//   a_1 = beta(1), b_1 = beta(p),
//   a_s = a_(s-1) - tau_(s-1) beta(p+s-1) (+ the jump coefficient when the
//         jump is on and tau_(s-1) >= J),  b_s = b_(s-1) + beta(p+s-1).
// Its standard errors come from a weighted least-squares fit of the
// segmented design Z (the series indicators of the offsets, then per
// segment the indicator I_s(x) and I_s(x) x; I_1: x <= tau_1,
// I_s: tau_(s-1) < x <= tau_s, I_(k+1): x > tau_k) with the weighting
// matrix M = D P'P D: P the fit's transformation matrix (the identity when
// the fit has none) and D the observation weights, 1.0 except within
// h = 0.5 * 0.117 N (ln ln N)^0.6 / sqrt(N) of a kinkmark, where
// u = |x - tau_s| / h < 1 gives the weight u (a later kinkmark overrides).
// Then df = sum of the weights - rank(Z'MZ) and
// Cov = (RSS / df) (Z'MZ)^-1, RSS = e'Me.
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/DistributionWrappers.h"
#include "models/KMRegFitRecord.h"
#include "models/KMRegFitStats.h"
#include "models/KMSeriesSet.h"
#include "models/PositiveDefinite.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// Positions of segment s (1-based) in the segment form with p base columns.
int InterceptIndex(int p, int s) { return p - 1 + 2 * (s - 1); }
int SlopeIndex(int p, int s) { return p + 2 * (s - 1); }

// 1.0 when x lies in segment s of the k + 1 segments cut by tau: segment 1
// takes x <= tau_1, segment s takes tau_(s-1) < x <= tau_s, the last x >
// tau_k.
double SegmentIndicator(double x, int s, const ColumnVector& tau, int k) {
  const int S = k + 1;
  if (S == 1) return 1.0;
  if (s == 1) return x <= tau(1) ? 1.0 : 0.0;
  if (s == S) return x > tau(S - 1) ? 1.0 : 0.0;
  return (tau(s - 1) < x && x <= tau(s)) ? 1.0 : 0.0;
}

// The segment that holds x (see SegmentIndicator).
int SegmentOf(double x, const ColumnVector& tau, int k) {
  for (int s = 1; s <= k + 1; ++s) {
    if (SegmentIndicator(x, s, tau, k) == 1.0) return s;
  }
  return k + 1;  // NaN x: no segment holds it; the last one is harmless.
}

// One table row: estimate, standard error, t and two-sided p-value.
void FillTestRow(Matrix& table, int row, double dEstimate, double dVariance,
                 double dDF) {
  const double dSE = std::sqrt(std::fabs(dVariance));
  double t;
  double p;
  if (dSE == 0.0) {
    t = dEstimate * std::numeric_limits<double>::infinity();
    p = 0.0;
  } else {
    t = dEstimate / dSE;
    p = TwoSidedPValue(calc_TUpperTail(std::fabs(t), dDF));
  }
  table(row, 1) = dEstimate;
  table(row, 2) = dSE;
  table(row, 3) = t;
  table(row, 4) = p;
}

}  // namespace

void BaseKMRegModel::fit_BaseKMRegModel(KMRegFitRecord& record) {
  WithStandardCatch([&] {
    const KMRegFit& fit = record.fit;
    const int k = record.k > 0 ? record.k : 0;
    const int p = record.p0;
    const int nSeries = fit.seriesSet.xValues.GetSize();

    KMRegFitStats stats;
    stats.reset();
    stats.k = k;
    stats.p = p;
    stats.nSeries = nSeries;

    ColumnVector theta;
    ColumnVector betaCopy;
    calc_WeightMatrices(theta, betaCopy, p - 1, k, fit.jump, fit.jumpLocation,
                        record.beta, record.tau, record.jumpVector);

    ColumnVector coefficients;
    Matrix covariance;
    double dDF = 0.0;
    double dRSS = 0.0;
    int32_t iJumpSegment = 0;
    calc_FitEstimates(coefficients, covariance, dDF, dRSS, iJumpSegment,
                      fit.seriesSet, fit.transform, record.tau, k, p, fit.jump,
                      fit.jumpLocation);
    calc_SegmentTTests(stats.segmentTables, stats.kinkmarkTables, theta,
                       covariance, dDF, p, k, nSeries);

    if (fit.jump != 0) {
      // The level after the jump and its ratio-scale restatement have no
      // place in the record; only the jump's own test is kept.
      ColumnVector level;
      ColumnVector ratio;
      // iMember8 carries the log-linear code of the refit template
      // (resample_new), which decides the ratio-scale restatement.
      calc_CoefficientInference(
          record.jumpVector, level, ratio, theta, covariance, dDF, iJumpSegment,
          false, record.normalMatrix, record.rss, record.residualDF, fit.alpha,
          fit.iMember8, p, k);
    }

    stats.df = dDF;
    stats.covariance = covariance;
    stats.theta = theta;
    stats.beta = betaCopy;
    record.fitStats = stats;
  });
}

void BaseKMRegModel::calc_WeightMatrices(
    ColumnVector& theta, ColumnVector& betaCopy, int32_t iIntercepts, int32_t k,
    int32_t iJump, double dJumpLocation, const ColumnVector& beta,
    const ColumnVector& tau, const ColumnVector& vJump) {
  WithStandardCatch([&] {
    const int p = iIntercepts + 1;
    betaCopy = beta;
    theta.ReSize(p + 2 * k);
    theta = 0.0;
    for (int i = 2; i <= p - 1; ++i) theta(i - 1) = beta(i) - beta(1);

    double a = beta(1);
    double b = beta(p);
    theta(InterceptIndex(p, 1)) = a;
    theta(SlopeIndex(p, 1)) = b;
    // The continuous model has one step of the jump's size for x >= J, so
    // the intercept of every segment that starts at or after J carries it
    // exactly once (it is added at the first such segment and inherited).
    bool bJumpIncluded = false;
    for (int s = 2; s <= k + 1; ++s) {
      const double dChange = beta(p + s - 1);
      a -= tau(s - 1) * dChange;
      if (iJump != 0 && !bJumpIncluded && tau(s - 1) >= dJumpLocation) {
        a += vJump(1);
        bJumpIncluded = true;
      }
      b += dChange;
      theta(InterceptIndex(p, s)) = a;
      theta(SlopeIndex(p, s)) = b;
    }
  });
}

void BaseKMRegModel::calc_FitEstimates(
    ColumnVector& coefficients, Matrix& covariance, double& dDF, double& dRSS,
    int32_t& iJumpSegment, const KMSeriesSet& seriesSet,
    const Matrix& mTransform, const ColumnVector& tau, int32_t k, int32_t p,
    int32_t iJump, double dJumpLocation) {
  WithStandardCatch([&] {
    const int nSeries = seriesSet.xValues.GetSize();
    int N = 0;
    for (int j = 0; j < nSeries; ++j) N += seriesSet.xValues[j].Nrows();
    const int S = k + 1;
    const int nOffsets = p - 2 > 0 ? p - 2 : 0;

    // Stacked x, y and the series of each row.
    ColumnVector x(N);
    ColumnVector y(N);
    OneDimensionArray<int> series;
    series.Resize(N);
    for (int j = 0, r = 0; j < nSeries; ++j) {
      const ColumnVector& xj = seriesSet.xValues[j];
      const ColumnVector& yj = seriesSet.yValues[j];
      for (int i = 1; i <= xj.Nrows(); ++i, ++r) {
        x(r + 1) = xj(i);
        y(r + 1) = yj(i);
        series[r] = j;
      }
    }

    // The step column within the jump's segment, kept only when it
    // separates that segment's observations (else it is zero or repeats
    // the segment's own intercept column).
    iJumpSegment = 0;
    ColumnVector step;
    bool bStep = false;
    if (iJump != 0) {
      iJumpSegment = SegmentOf(dJumpLocation, tau, k);
      step.ReSize(N);
      bool bOn = false;
      bool bOff = false;
      for (int r = 1; r <= N; ++r) {
        const bool bInSegment =
            SegmentIndicator(x(r), iJumpSegment, tau, k) == 1.0;
        step(r) = (bInSegment && x(r) >= dJumpLocation) ? 1.0 : 0.0;
        if (bInSegment && step(r) == 1.0) bOn = true;
        if (bInSegment && step(r) == 0.0) bOff = true;
      }
      bStep = bOn && bOff;
    }

    const int nColumns = nOffsets + 2 * S + (bStep ? 1 : 0);
    Matrix Z(N, nColumns);
    Z = 0.0;
    for (int r = 1; r <= N; ++r) {
      const int j = series[r - 1];
      if (j >= 1 && j <= nOffsets) Z(r, j) = 1.0;
      for (int s = 1; s <= S; ++s) {
        const double dIn = SegmentIndicator(x(r), s, tau, k);
        Z(r, nOffsets + 2 * s - 1) = dIn;
        Z(r, nOffsets + 2 * s) = dIn * x(r);
      }
      if (bStep) Z(r, nColumns) = step(r);
    }

    // Observation weights: observations close to a kinkmark count less.
    ColumnVector w(N);
    w = 1.0;
    const double dN = N;
    const double h = 0.5 * 0.117 * dN * std::pow(std::log(std::log(dN)), 0.6) /
                     std::sqrt(dN);
    for (int s = 1; s <= k; ++s) {
      for (int r = 1; r <= N; ++r) {
        const double u = std::fabs(x(r) - tau(s)) / h;
        if (u < 1.0) w(r) = u;
      }
    }

    // M = D P'P D, with PD = P D (column r of P scaled by w(r)).
    Matrix PD;
    if (mTransform.Nrows() == 0) {
      PD.ReSize(N, N);
      PD = 0.0;
      for (int r = 1; r <= N; ++r) PD(r, r) = w(r);
    } else {
      PD = mTransform;
      for (int c = 1; c <= PD.Ncols(); ++c) {
        for (int r = 1; r <= PD.Nrows(); ++r) PD(r, c) *= w(c);
      }
    }
    const Matrix M = PD.t() * PD;
    const Matrix ZtM = Z.t() * M;
    const Matrix ZtMZ = ZtM * Z;
    const ColumnVector ZtMy = ZtM * y;

    Matrix inverse;
    int16_t iRank = 0;
    isPositiveDefinite(ZtMZ, inverse, iRank);
    coefficients = inverse * ZtMy;
    const ColumnVector e = y - Z * coefficients;
    dRSS = (e.t() * M * e).AsScalar();
    dDF = w.Sum() - iRank;
    covariance = (dRSS / dDF) * inverse;
  });
}

void BaseKMRegModel::calc_SegmentTTests(
    OneDimensionArray<Matrix>& segmentTables,
    OneDimensionArray<Matrix>& kinkmarkTables, const ColumnVector& theta,
    const Matrix& covariance, double dDF, int32_t p, int32_t k,
    int32_t nSeries) {
  WithStandardCatch([&] {
    const int S = k + 1;
    const Matrix& V = covariance;
    segmentTables.Resize(nSeries);
    kinkmarkTables.Resize(nSeries);
    for (int j = 0; j < nSeries; ++j) {
      // Series j + 1 (1-based) > 1 has its intercept offset at entry j when
      // the model has one intercept per series.
      const int iOffset = (j >= 1 && j <= p - 2) ? j : 0;

      Matrix segments(2 * S, 4);
      for (int s = 1; s <= S; ++s) {
        const int ia = InterceptIndex(p, s);
        const int ib = SlopeIndex(p, s);
        double dIntercept = theta(ia);
        double dVariance = V(ia, ia);
        if (iOffset > 0) {
          dIntercept += theta(iOffset);
          dVariance += V(iOffset, iOffset) + 2.0 * V(ia, iOffset);
        }
        FillTestRow(segments, 2 * s - 1, dIntercept, dVariance, dDF);
        FillTestRow(segments, 2 * s, theta(ib), V(ib, ib), dDF);
      }

      Matrix kinkmarks(k + 2, 4);
      for (int c = 1; c <= 4; ++c) {
        kinkmarks(1, c) = segments(1, c);
        kinkmarks(2, c) = segments(2, c);
      }
      for (int s = 1; s <= k; ++s) {
        const int i1 = SlopeIndex(p, s);
        const int i2 = SlopeIndex(p, s + 1);
        FillTestRow(kinkmarks, 2 + s, theta(i2) - theta(i1),
                    V(i2, i2) + V(i1, i1) - 2.0 * V(i2, i1), dDF);
      }

      segmentTables[j] = segments;
      kinkmarkTables[j] = kinkmarks;
    }
  });
}
