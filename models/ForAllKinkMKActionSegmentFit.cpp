// ForAllKinkMKAction: fit_KinkMKModel (the segment-form refit).
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "foundation/KmException.h"
#include "models/DistributionWrappers.h"
#include "models/ForAllKinkMKAction.h"
#include "models/MatrixBuilders.h"
#include "models/TestResults.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

constexpr const char kSource[] = "ForAllKinkMKAction::fit_KinkMKModel()";

// Bandwidth factor of the proximity weights: h = kBandwidthFactor * 0.5 * N
// * (ln ln N)^0.6 / sqrt(N).
constexpr double kBandwidthFactor = 0.117;

// True when x lies in segment j (1..K+1) of the ascending kinkmarks tau(1..K):
// segment 1 is x <= tau(1), segment K + 1 is x > tau(K), segment j between
// them is tau(j - 1) < x <= tau(j). With K = 0 every x is in segment 1.
bool InSegment(double x, int j, int K, const NEWMAT::ColumnVector& tau) {
  if (K == 0) return j == 1;
  if (j == 1) return x <= tau(1);
  if (j == K + 1) return x > tau(K);
  return tau(j - 1) < x && x <= tau(j);
}

// Two-sided t test of an estimate with standard error se on df degrees of
// freedom, written into columns 1 to 4 of table row iRow. A standard error
// of exactly 0 gives the statistic estimate * infinity and p-value 0.
void FillTestRow(NEWMAT::Matrix& table, int iRow, double dEstimate, double dSE,
                 double dDF) {
  double dStat;
  double dPValue;
  if (dSE == 0.0) {
    dStat = dEstimate * std::numeric_limits<double>::infinity();
    dPValue = 0.0;
  } else {
    dStat = dEstimate / dSE;
    dPValue = TwoSidedPValue(calc_TUpperTail(std::fabs(dStat), dDF));
  }
  table(iRow, 1) = dEstimate;
  table(iRow, 2) = dSE;
  table(iRow, 3) = dStat;
  table(iRow, 4) = dPValue;
}

// The segment-form design of the refit and its companions, all over the N
// observations stacked in series order.
struct SegmentDesign {
  NEWMAT::Matrix Z;          // [D | X], or [D | X | H] when the jump is kept
  NEWMAT::ColumnVector y;    // stacked responses
  NEWMAT::ColumnVector w;    // proximity weights
  bool bJumpColumn = false;  // H appended to Z
};

// Builds D, X, H and the proximity weights (see fit_KinkMKModel) and joins
// them into Z. iJumpSegment is j* (only read when bJump).
SegmentDesign BuildSegmentDesign(const KMSeriesSet& seriesSet, int K,
                                 const NEWMAT::ColumnVector& tau, bool bJump,
                                 double dJumpLocation, int iJumpSegment) {
  const int S = seriesSet.xValues.GetSize();
  const NEWMAT::ColumnVector x = stack_ColumnVectorArray(seriesSet.xValues);
  const int N = x.Nrows();
  const int nX = 2 * K + 2;
  const int nBase = (S - 1) + nX;

  SegmentDesign design;
  design.y = stack_ColumnVectorArray(seriesSet.yValues);
  NEWMAT::Matrix ZBase(N, nBase);
  ZBase = 0.0;
  NEWMAT::ColumnVector H(N);
  H = 0.0;

  int iRow = 0;
  for (int s = 1; s <= S; ++s) {
    const int nObs = seriesSet.xValues[s - 1].Nrows();
    for (int i = 1; i <= nObs; ++i) {
      ++iRow;
      const double xi = x(iRow);
      if (s > 1) ZBase(iRow, s - 1) = 1.0;
      for (int j = 1; j <= K + 1; ++j) {
        if (!InSegment(xi, j, K, tau)) continue;
        ZBase(iRow, S - 1 + 2 * j - 1) = 1.0;
        ZBase(iRow, S - 1 + 2 * j) = xi;
        if (bJump && j == iJumpSegment && xi >= dJumpLocation) H(iRow) = 1.0;
      }
    }
  }

  // Observations near a kinkmark fit neither segment well: down-weight them
  // linearly in their distance within one bandwidth. A later kinkmark's
  // weight replaces an earlier one.
  design.w.ReSize(N);
  design.w = 1.0;
  if (K > 0) {
    const double dN = static_cast<double>(N);
    const double h = kBandwidthFactor * 0.5 * dN *
                     std::pow(std::log(std::log(dN)), 0.6) / std::sqrt(dN);
    for (int j = 1; j <= K; ++j) {
      for (int i = 1; i <= N; ++i) {
        const double u = std::fabs(x(i) - tau(j)) / h;
        if (std::fmin(u, 1.0) < 1.0) design.w(i) = u;
      }
    }
  }

  // The jump is estimable in the segment form only when its column is not
  // all zero and differs from the intercept indicator of its segment on
  // some observation that carries weight.
  bool bNonZero = false;
  bool bDiffers = false;
  for (int i = 1; i <= N && !bNonZero; ++i) bNonZero = H(i) != 0.0;
  if (bNonZero) {
    // H is non-zero only on rows of segment j*, so j* is a valid segment.
    const int iIndicator = S - 1 + 2 * iJumpSegment - 1;
    for (int i = 1; i <= N && !bDiffers; ++i) {
      if (design.w(i) != 0.0 && H(i) != ZBase(i, iIndicator)) bDiffers = true;
    }
  }
  design.bJumpColumn = bNonZero && bDiffers;
  if (design.bJumpColumn) {
    design.Z = ZBase | H;
  } else {
    design.Z = ZBase;
  }
  return design;
}

// The continuous-form parameters beta (P + K, intercepts of the S series,
// the first slope, the K slope changes) rewritten in segment form theta
// (P + 2K): the S - 1 level offsets of series 2..S against series 1, then
// intercept and slope of each segment of series 1. With the jump, the
// segments after the jump segment j* carry the jump dJump once in their
// intercept.
NEWMAT::ColumnVector ToSegmentForm(const NEWMAT::ColumnVector& beta, int P,
                                   int K, const NEWMAT::ColumnVector& tau,
                                   bool bJump, int iJumpSegment, double dJump) {
  const int S = P - 1;
  NEWMAT::ColumnVector theta(P + 2 * K);
  for (int i = 2; i <= S; ++i) theta(i - 1) = beta(i) - beta(1);
  theta(S) = beta(1);
  theta(P) = beta(P);
  for (int j = 2; j <= K + 1; ++j) {
    double dIntercept = theta(P + 2 * j - 5) - beta(P + j - 1) * tau(j - 1);
    // The intercepts build on each other, so adding the jump at the first
    // segment after j* carries it exactly once into every later segment.
    if (bJump && j == iJumpSegment + 1) dIntercept += dJump;
    theta(P + 2 * j - 3) = dIntercept;
    theta(P + 2 * j - 2) = theta(P + 2 * j - 4) + beta(P + j - 1);
  }
  return theta;
}

// Checks what the refit needs of its inputs beyond matrix sizes (which the
// matrix library checks itself) and throws a KmException otherwise.
void CheckRefitInputs(const KMSeriesSet& seriesSet,
                      const KMRegModelSettings& settings, int K, int P) {
  const int S = seriesSet.xValues.GetSize();
  if (K < 0) {
    GenerateKmExceptionF("Cannot refit a model with %d kinkmarks.", kSource, K);
  }
  // The level offsets of theta and the columns of D are counted from the
  // series set; a model with another number of level parameters would pair
  // them with the wrong series.
  if (S < 1 || P != S + 1) {
    GenerateKmExceptionF(
        "The model has %d level parameters but the series set holds %d "
        "series; the refit needs one more level parameter than series.",
        kSource, P, S);
  }
  if (seriesSet.yValues.GetSize() != S) {
    GenerateKmExceptionF(
        "The series set holds %d x vectors but %d response vectors.", kSource,
        S, seriesSet.yValues.GetSize());
  }
  for (int s = 0; s < S; ++s) {
    if (seriesSet.xValues[s].Nrows() != seriesSet.yValues[s].Nrows()) {
      GenerateKmExceptionF("Series %d has %d x values but %d responses.",
                           kSource, s + 1, seriesSet.xValues[s].Nrows(),
                           seriesSet.yValues[s].Nrows());
    }
  }
  const int N = count_TotalRows(seriesSet.xValues);
  if (seriesSet.covariance.Nrows() != N) {
    GenerateKmExceptionF(
        "The series set holds %d observations but its covariance matrix is "
        "%d x %d.",
        kSource, N, seriesSet.covariance.Nrows(), seriesSet.covariance.Nrows());
  }
  const int32_t iErrorType = settings.errorType;
  if (iErrorType < 0 || iErrorType > 2) {
    GenerateKmExceptionF(
        "Unknown error type %d: the refit weights independent (0) or "
        "first-order autocorrelated (1, 2) errors.",
        kSource, static_cast<int>(iErrorType));
  }
}

// Segment tables of every series (intercept and slope of each segment),
// then its kinkmark tables.
void FillCoefficientTables(KMRegFitStats& stats,
                           const NEWMAT::ColumnVector& theta,
                           const NEWMAT::Matrix& C, double df, int P, int K,
                           int S) {
  for (int s = 1; s <= S; ++s) {
    NEWMAT::Matrix table(2 * K + 2, 4);
    for (int j = 1; j <= K + 1; ++j) {
      const int a = P + 2 * j - 3;
      const int bs = a + 1;
      double dIntercept = theta(a);
      double dInterceptVar = C(a, a);
      if (s > 1) {
        dIntercept += theta(s - 1);
        dInterceptVar = C(s - 1, s - 1) + C(s - 1, a) + C(a, s - 1) + C(a, a);
      }
      FillTestRow(table, 2 * j - 1, dIntercept,
                  std::sqrt(std::fabs(dInterceptVar)), df);
      FillTestRow(table, 2 * j, theta(bs), std::sqrt(std::fabs(C(bs, bs))), df);
    }
    stats.segmentTables[s - 1] = table;
  }

  // Kinkmark tables: the first intercept and slope, then the change of
  // slope at each kinkmark.
  for (int s = 1; s <= S; ++s) {
    NEWMAT::Matrix table(K + 2, 4);
    const NEWMAT::Matrix& segments = stats.segmentTables[s - 1];
    table.Row(1) = segments.Row(1);
    table.Row(2) = segments.Row(2);
    for (int p = 1; p <= K; ++p) {
      const int c = P + 2 * p;
      const int d = c - 2;
      double dVar = 0.0;
      if (C(c, c) != 0.0 && C(d, d) != 0.0) {
        dVar = C(c, c) - C(c, d) - C(d, c) + C(d, d);
      }
      FillTestRow(table, p + 2, theta(c) - theta(d), std::sqrt(std::fabs(dVar)),
                  df);
    }
    stats.kinkmarkTables[s - 1] = table;
  }
}

// The jump and the level reached after it, with their tests, into result.
void FitJumpAndLevel(KinkMKFitResult& result, const NEWMAT::ColumnVector& theta,
                     const NEWMAT::Matrix& C, double df, bool bJumpColumn,
                     int iJumpSegment, double dJump, int P, int K) {
  NEWMAT::ColumnVector jumpVector = result.jumpVector;
  NEWMAT::ColumnVector levelVector = jumpVector;
  levelVector = 0.0;
  const int c = P + 2 * K + 1;
  const int aStar = P + 2 * iJumpSegment - 3;
  const int q = P + K + 1;
  bool bFallBack = !bJumpColumn;
  if (!bFallBack) {
    jumpVector(2) = std::sqrt(C(c, c));
    levelVector(1) = dJump + theta(aStar);
    levelVector(2) =
        std::sqrt(C(aStar, aStar) + C(aStar, c) + C(c, aStar) + C(c, c));
    bFallBack = jumpVector(2) == 0.0;
  }
  // The degrees of freedom of the fit the jump's standard error comes from:
  // its t tests and intervals take the same fit's.
  double dJumpDF = df;
  if (bFallBack) {
    // The segment form cannot estimate the jump: take its variance from
    // the continuous fit, sse / residualDF times the inverse of X'WX, and
    // test it on that fit's residualDF.
    dJumpDF = result.residualDF;
    NEWMAT::Matrix xtwxInv;
    int16_t iXtwxRank = 0;
    ForAllKinkMKAction::isPositiveDefinite(result.xtwx.Nrows(), result.xtwx,
                                           xtwxInv, iXtwxRank);
    const NEWMAT::Matrix Cf = xtwxInv * (result.sse / result.residualDF);
    jumpVector(2) = std::sqrt(Cf(q, q));
    levelVector(1) = theta(aStar) + dJump;
    levelVector(2) = std::sqrt(C(aStar, aStar) + Cf(q, q));
  }
  const double dAlpha = result.settings.jumpAlpha;
  const double dKeptEntry9 = jumpVector(9);
  jumpVector(9) = dAlpha;
  const NEWMAT::ColumnVector jumpTest =
      make_TestResultVector(0, dJump, jumpVector(2), dJumpDF, dAlpha, 0.0);
  for (int i = 3; i <= 9; ++i) jumpVector(i) = jumpTest(i);
  const NEWMAT::ColumnVector levelTest =
      make_TestResultVector(0, levelVector(1), levelVector(2), df, dAlpha, 0.0);
  for (int i = 3; i <= 9; ++i) levelVector(i) = levelTest(i);
  NEWMAT::ColumnVector jumpRetest;
  ForAllKinkMKAction::calc_CoefficientTests(jumpVector, jumpRetest,
                                            result.settings.testKind);
  jumpVector(9) = dKeptEntry9;

  result.jumpVector = jumpVector;
  result.levelVector = levelVector;
  result.jumpRetest = jumpRetest;
}

}  // namespace

void ForAllKinkMKAction::fit_KinkMKModel(KinkMKFitResult& result) {
  WithStandardCatch([&] {
    const int K = result.k;
    const int P = result.p;
    CheckRefitInputs(seriesSet, settings, K, P);
    const int S = P - 1;
    const bool bJump = settings.jump != 0;
    const double dJumpLocation = settings.jumpLocation;
    const NEWMAT::ColumnVector beta = result.beta;
    const NEWMAT::ColumnVector tau = result.tau;

    // Header of the statistics.
    fitStats.clear();
    fitStats.k = K;
    fitStats.nSeries = seriesSet.xValues.GetSize();
    fitStats.p = P;
    fitStats.segmentTables.Resize(S);
    fitStats.kinkmarkTables.Resize(S);
    fitStats.beta = beta.Rows(1, P + K);

    // The jump segment j*: the last segment that holds the location.
    int iJumpSegment = -1;
    for (int j = 1; j <= K + 1; ++j) {
      if (InSegment(dJumpLocation, j, K, tau)) iJumpSegment = j;
    }
    if (bJump && iJumpSegment < 1) {
      GenerateKmExceptionF(
          "The jump location %g lies in no segment of the model.", kSource,
          dJumpLocation);
    }
    const double dJump = bJump ? result.jumpVector(1) : 0.0;

    // Segment form of the fitted model.
    const NEWMAT::ColumnVector theta =
        ToSegmentForm(beta, P, K, tau, bJump, iJumpSegment, dJump);
    fitStats.theta = theta;

    // Design with proximity weights.
    const SegmentDesign design = BuildSegmentDesign(
        seriesSet, K, tau, bJump, dJumpLocation, iJumpSegment);
    const NEWMAT::Matrix& Z = design.Z;
    const NEWMAT::ColumnVector& w = design.w;
    const int N = Z.Nrows();

    // Weighting: the error model's weights with the proximity weights
    // applied on both sides.
    NEWMAT::ColumnVector variances(N);
    for (int i = 1; i <= N; ++i) variances(i) = seriesSet.covariance(i, i);
    NEWMAT::Matrix P1;
    NEWMAT::Matrix P2;
    NEWMAT::Matrix omega;
    NEWMAT::Matrix V;
    calc_WeightMatrices(P1, P2, omega, V, variances, result.phi,
                        settings.errorType);
    NEWMAT::Matrix G(N, N);
    if (settings.errorType == 0) {
      G = 0.0;
      for (int i = 1; i <= N; ++i) G(i, i) = omega(i, i) * w(i) * w(i);
    } else {
      // P1 Dw scales column i of P1 by w(i); G = (P1 Dw)' (P1 Dw).
      NEWMAT::Matrix P1w = P1;
      for (int i = 1; i <= N; ++i) P1w.Column(i) *= w(i);
      G = P1w.t() * P1w;
    }

    // Weighted least squares of the segment form.
    const NEWMAT::Matrix ZtG = Z.t() * G;
    const NEWMAT::Matrix A = ZtG * Z;
    const NEWMAT::ColumnVector b = ZtG * design.y;
    NEWMAT::Matrix AInv;
    int16_t iRank = 0;
    // A singular or indefinite A does not stop the refit: the dropped
    // directions count as lost rank.
    isPositiveDefinite(A.Nrows(), A, AInv, iRank);
    const double df = w.Sum() - static_cast<double>(iRank);
    const NEWMAT::ColumnVector fitted = AInv * b;
    const NEWMAT::ColumnVector e = design.y - Z * fitted;
    const double Q = (e.t() * G * e).AsScalar();
    const double sigma2 = Q / df;
    const NEWMAT::Matrix C = sigma2 * AInv;
    fitStats.df = df;
    fitStats.covariance = C;

    FillCoefficientTables(fitStats, theta, C, df, P, K, S);
    if (!bJump) return;
    FitJumpAndLevel(result, theta, C, df, design.bJumpColumn, iJumpSegment,
                    dJump, P, K);
  });
}
