// Hudson's continuous fit of kmCalculator (AdjustBetas, Hudsons), checked
// against a brute-force continuous piecewise-linear fit in R.
//
// Shared cohort (n = 12, kmOptMinObsEnd a = 2, kmOptMinObsBetween 2, g = 4):
//   x <- c(0, 1, 2, 3, 5, 6, 7, 8, 9, 11, 12, 13)
//   y <- c(3.1, 3.9, 5.2, 5.8, 8.1, 9.3, 9.9, 9.4, 8.8, 7.1, 6.5, 5.2)
//   w <- c(1, 2, 0.5, 1.5, 1, 3, 2, 1, 0.8, 1.2, 2.5, 1)
//   n <- 12; a <- 2; g <- 4
//   # weighted RSS of the continuous fit with kinkmarks tau (hinge basis)
//   rss <- function(tau, yy) {
//     X <- cbind(1, x, sapply(tau, function(t) pmax(x - t, 0)))
//     sum(w * lm.wfit(X, yy, w)$residuals^2) }
//   # admissible segmentations: p_1 >= a+1, gaps >= g, p_k <= n-a-1
//   segs <- function(k) { P <- t(combn((a+1):(n-a-1), k))
//     P[apply(P, 1, function(p) all(diff(p) >= g)), , drop = FALSE] }
//   # brute force: per segmentation a 41^k grid over the closed gaps
//   # [x[p], x[p+1]], polished by bounded optim; the smallest over all
//   bf <- function(k, yy) { best <- Inf; bt <- NULL; P <- segs(k)
//     for (r in 1:nrow(P)) { p <- P[r, ]; lo <- x[p]; hi <- x[p + 1]
//       G <- as.matrix(expand.grid(lapply(1:k, function(m)
//              seq(lo[m], hi[m], length.out = 41))))
//       i <- which.min(apply(G, 1, rss, yy = yy))
//       o <- optim(G[i, ], rss, yy = yy, method = "L-BFGS-B", lower = lo,
//                  upper = hi, control = list(factr = 1, pgtol = 0))
//       if (o$value < best) { best <- o$value; bt <- o$par } }
//     X <- cbind(1, x, sapply(bt, function(t) pmax(x - t, 0)))
//     list(rss = best, tau = bt, coef = lm.wfit(X, yy, w)$coefficients) }
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "engine/kmCalculator.h"
#include "engine/kmQMatrix.h"
#include "engine/kmUpperTriangularMatrix.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::SymmetricBandMatrix;

namespace {

constexpr int kN = 12;
constexpr double kX[kN] = {0, 1, 2, 3, 5, 6, 7, 8, 9, 11, 12, 13};
constexpr double kY[kN] = {3.1, 3.9, 5.2, 5.8, 8.1, 9.3,
                           9.9, 9.4, 8.8, 7.1, 6.5, 5.2};
constexpr double kW[kN] = {1, 2, 0.5, 1.5, 1, 3, 2, 1, 0.8, 1.2, 2.5, 1};
// Start value of a residual sum that no grid model has set.
constexpr double kUnfitted = 1e50;
// The brute force is an optimiser: RSS agrees to its precision, locations
// to the six decimals they are rounded to (and the optimiser's accuracy).
constexpr double kRssRelTol = 1e-7;
constexpr double kLocTol = 2e-6;
constexpr double kCoefTol = 1e-5;

class HudsonsTest : public ::testing::Test {
 protected:
  // A calculator with n observations x, y (column 1), rev(y) (column 2)
  // and weights w, and the segment table filled for the observed data.
  void Load(int n, const double* pX, const double* pY, const double* pW,
            int iMinObsEnd, int iMinObsBetween) {
    n_ = n;
    const std::vector<double> vY(pY, pY + n);
    km_engine_test::LoadedCalculator lc(
        km_engine_test::Observations(std::vector<double>(pX, pX + n), vY,
                                     std::vector<double>(pW, pW + n)),
        [&](kmSession& s) {
          s.SetInt(kmOptMinObsEnd, iMinObsEnd);
          s.SetInt(kmOptMinObsBetween, iMinObsBetween);
        });
    lc.SetResponseColumns({vY, std::vector<double>(vY.rbegin(), vY.rend())});
    session_ = std::move(lc.session);
    calc_ = std::move(lc.calc);
    table_ = std::make_unique<kmUpperTriangularMatrix>(n, n);
    calc_->Partitions(*table_);
  }

  void LoadShared() { Load(kN, kX, kY, kW, 2, 2); }

  // The segmentation table for k kinkmarks, as the driver builds it.
  void MakeQ(int16_t k, int iCells) {
    qTable_ = std::make_unique<kmQMatrix>(k, iCells);
    calc_->PrecomputeQ(k, *table_, *qTable_);
  }

  int n_ = 0;
  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
  std::unique_ptr<kmUpperTriangularMatrix> table_;
  std::unique_ptr<kmQMatrix> qTable_;
};

struct BruteForceCase {
  int16_t k;
  double rss;
  double tau[2];
  // Hinge coefficients from R: intercept, slope, slope changes.
  double coef[4];
};

// R: bf(1, y); bf(2, y)
const BruteForceCase kObserved[] = {
    {1,
     0.50856147270603047,
     {6.8663238802015698, 0},
     {2.8888626987682531, 1.0557454331768206, -1.7941096965429280, 0}},
    {2,
     0.53426890935696802,
     {3.0, 7.0928667216595036},
     {3.018532822686678330, 0.972200765969982728, 0.080694999594758704,
      -1.850608426205315071}},
};

TEST_F(HudsonsTest, ObservedFitMatchesBruteForceContinuousFit) {
  for (const BruteForceCase& c : kObserved) {
    SCOPED_TRACE("k = " + std::to_string(c.k));
    LoadShared();
    ColumnVector vLoc(c.k);
    vLoc = -1.0;
    ColumnVector vEst(1);
    vEst = -1.0;
    ColumnVector vBest(1);
    vBest = kUnfitted;
    calc_->Hudsons(1, c.k, *table_, vLoc, vEst, vBest);

    EXPECT_TRUE(km_test::RelNear(vBest(1), c.rss, kRssRelTol)) << vBest(1);
    ASSERT_EQ(vLoc.Nrows(), c.k);
    for (int m = 1; m <= c.k; ++m) EXPECT_NEAR(vLoc(m), c.tau[m - 1], kLocTol);

    // Segment form: intercepts, slopes, slope changes.
    const int k = c.k;
    ASSERT_EQ(vEst.Nrows(), 3 * k + 2);
    double dIntercept = c.coef[0];
    double dSlope = c.coef[1];
    for (int s = 1; s <= k + 1; ++s) {
      SCOPED_TRACE("piece " + std::to_string(s));
      EXPECT_NEAR(vEst(s), dIntercept, kCoefTol);
      EXPECT_NEAR(vEst(k + 1 + s), dSlope, kCoefTol);
      if (s <= k) {
        const double d = c.coef[1 + s];
        EXPECT_NEAR(vEst(2 * k + 2 + s), d, kCoefTol);
        dIntercept -= d * c.tau[s - 1];
        dSlope += d;
      }
    }
  }
}

TEST_F(HudsonsTest, FitDoesNotDependOnTheLevelOfTheData) {
  // Fault: the runs were fitted to the raw data, so their residual sums
  // lost digits with the level (relative 2.3e-4 at 1e10). The data are on
  // a grid of 1/8, exact at both levels.
  double y0[kN], y10[kN];
  for (int i = 0; i < kN; ++i) {
    y0[i] = std::round(kY[i] * 8.0) / 8.0;
    y10[i] = y0[i] + 1e10;
  }
  for (int16_t k : {1, 2}) {
    SCOPED_TRACE("k = " + std::to_string(k));
    ColumnVector vLoc[2], vEst[2], vBest[2];
    const double* pY[2] = {y0, y10};
    for (int l = 0; l < 2; ++l) {
      Load(kN, kX, pY[l], kW, 2, 2);
      vLoc[l].ReSize(k);
      vBest[l].ReSize(1);
      vBest[l] = kUnfitted;
      calc_->Hudsons(1, k, *table_, vLoc[l], vEst[l], vBest[l]);
    }
    EXPECT_TRUE(km_test::RelNear(vBest[1](1), vBest[0](1), 1e-9))
        << vBest[0](1) << " " << vBest[1](1);
    for (int m = 1; m <= k; ++m) EXPECT_NEAR(vLoc[1](m), vLoc[0](m), 1e-6);
    EXPECT_NEAR(vEst[1](1) - 1e10, vEst[0](1), 1e-5);
    EXPECT_NEAR(vEst[1](k + 2), vEst[0](k + 2), 1e-9);
  }
}

TEST_F(HudsonsTest, PermutedDataSetSetsOnlyItsResidualSum) {
  LoadShared();
  calc_->PartitionSSEs(*table_, 2);
  ColumnVector vLoc(1);
  vLoc = -1.0;
  ColumnVector vEst(3);
  vEst = -2.0;
  ColumnVector vBest(2);
  vBest = kUnfitted;
  calc_->Hudsons(2, 1, *table_, vLoc, vEst, vBest);
  // R: bf(1, rev(y))$rss
  EXPECT_TRUE(km_test::RelNear(vBest(2), 2.4474768704248628, kRssRelTol));
  EXPECT_EQ(vBest(1), kUnfitted);
  EXPECT_EQ(vLoc(1), -1.0);
  EXPECT_EQ(vEst.Nrows(), 3);
  EXPECT_EQ(vEst(1), -2.0);
}

TEST_F(HudsonsTest, ResidualSumNotBeatenLeavesObservedVectorsAlone) {
  LoadShared();
  ColumnVector vLoc(1), vEst(1), vBest(1);
  vBest = kUnfitted;
  calc_->Hudsons(1, 1, *table_, vLoc, vEst, vBest);
  const double dHudsons = vBest(1);

  struct Case {
    const char* name;
    double entry;
    bool replaced;
  };
  const Case kCases[] = {
      {"equal to the grid's sum", dHudsons, false},
      {"below Hudson's fit", dHudsons * 0.5, false},
      {"above Hudson's fit", dHudsons * 2.0, true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ColumnVector vLoc2(1);
    vLoc2 = -1.0;
    ColumnVector vEst2(1);
    vEst2 = -1.0;
    ColumnVector vBest2(1);
    vBest2 = c.entry;
    calc_->Hudsons(1, 1, *table_, vLoc2, vEst2, vBest2);
    EXPECT_EQ(vBest2(1), c.replaced ? dHudsons : c.entry);
    EXPECT_EQ(vLoc2(1) != -1.0, c.replaced);
    EXPECT_EQ(vEst2.Nrows(), c.replaced ? 5 : 1);
  }
}

TEST_F(HudsonsTest, ZeroKinkmarksChangeNothing) {
  LoadShared();
  ColumnVector vLoc(1), vEst(1), vBest(1);
  vLoc = 7.0;
  vEst = 8.0;
  vBest = kUnfitted;
  calc_->Hudsons(1, 0, *table_, vLoc, vEst, vBest);
  EXPECT_EQ(vBest(1), kUnfitted);
  EXPECT_EQ(vLoc(1), 7.0);
  EXPECT_EQ(vEst(1), 8.0);
}

TEST_F(HudsonsTest, MoreThanNineKinkmarksFailWithMatrixIndexError) {
  // n = 22, a = 1, g = 2: the only segmentation with k = 10 is
  // (2, 4, ..., 20).
  double x[22], y[22], w[22];
  for (int i = 0; i < 22; ++i) {
    x[i] = i;
    y[i] = (i % 3) * 0.7 + 0.1 * i;
    w[i] = 1.0;
  }
  Load(22, x, y, w, 1, 0);
  ColumnVector vLoc(10), vEst(1), vBest(1);
  vBest = kUnfitted;
  const KmException e = km_test::CatchKmException(
      [&] { calc_->Hudsons(1, 10, *table_, vLoc, vEst, vBest); });
  EXPECT_STREQ(e.GetCallPath(), "Hudsons() of kmCalculator");
  EXPECT_STREQ(e.GetSource(), "kmCalculator::Hudsons()");
}

// AdjustBetas for k = 1 at p = 5 (pieces 1..5 and 6..12) against R:
//   seg <- function(r) sum(w[r] * lm.wfit(cbind(1, x[r]), y[r],
//                                           w[r])$residuals^2)
//   sep <- seg(1:5) + seg(6:12)
//   rss(5, y) - sep; rss(6, y) - sep
//   lm.wfit(cbind(1, x, pmax(x - 6, 0)), y, w)$coefficients
TEST_F(HudsonsTest, AdjustBetasIsTheRestrictedLeastSquaresStep) {
  LoadShared();
  MakeQ(1, 20);
  // Segmentation c = 3 is p = (5).
  kmQ& cell = qTable_->GetQ(1, 3);
  ASSERT_EQ(cell.kinkmarkIndices(1, 1), 5.0);
  SymmetricBandMatrix mB(4, 1);
  mB = 0.0;
  ColumnVector vBeta(4);
  const int kFirst[2] = {1, 6}, kLast[2] = {5, 12};
  for (int s = 1; s <= 2; ++s) {
    kmPartition& piece = table_->GetPartition(kFirst[s - 1], kLast[s - 1]);
    mB(2 * s - 1, 2 * s - 1) = piece.xwxInverse(1, 1);
    mB(2 * s, 2 * s - 1) = piece.xwxInverse(2, 1);
    mB(2 * s, 2 * s) = piece.xwxInverse(2, 2);
    vBeta(2 * s - 1) = piece.beta(1, 1);
    vBeta(2 * s) = piece.beta(2, 1);
  }

  struct Case {
    double code;
    double location;
    double increase;
    double slopeChange;  // checked for code 3
  };
  const Case kCases[] = {
      {1.0, 0.0, 0.0, 0.0},
      {2.0, 5.0, 6.40059522208528264, 0.0},
      {3.0, 6.0, 0.65369678907240258, -1.7142448195082276},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("code " + std::to_string(c.code));
    ColumnVector vDelta(4);
    vDelta = 123.0;
    ColumnVector vLoc(1), vCodes(1);
    vLoc = c.location;
    vCodes = c.code;
    const double dInc =
        calc_->AdjustBetas(mB, cell.constraint, cell.constraintCovariance,
                           vBeta, vDelta, vLoc, vCodes, 1);
    if (c.code == 1.0) {
      EXPECT_EQ(dInc, 0.0);
      EXPECT_EQ(vDelta(1), 123.0);  // untouched
      continue;
    }
    EXPECT_TRUE(km_test::RelNear(dInc, c.increase, 1e-9)) << dInc;
    const ColumnVector vFit = vBeta - vDelta;
    // The corrected pieces meet at the pinned location.
    EXPECT_NEAR(vFit(1) + vFit(2) * c.location, vFit(3) + vFit(4) * c.location,
                1e-9);
    if (c.code == 3.0) {
      EXPECT_NEAR(vFit(4) - vFit(2), c.slopeChange, 1e-9);
    }
  }
}

}  // namespace

namespace {

TEST(ContinuityChoices, ThirdChoiceUpToTheShortestLongPiece) {
  // n = 12, a = 2, g = 4 (two observations between kinkmarks). Hand-worked
  // from the pieces' sizes: the piece after kinkmark 1 (p_2 - p_1
  // observations) is long with 6 or more, the last piece (12 - p_2
  // observations) with 5 or more; a kinkmark before a long piece has 2
  // choices, before a shorter one 3. (3, 8) sits on both boundaries.
  struct Case {
    double p1, p2;
    int iFirst, iSecond;
  };
  const Case kCases[] = {
      {3, 7, 3, 2},  // pieces of 4 and 5 observations
      {3, 8, 3, 3},  // 5 and 4: each one short of long
      {3, 9, 2, 3},  // 6 and 3
      {4, 9, 3, 3},  // 5 and 3
      {5, 9, 3, 3},  // 4 and 3
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "(" << c.p1 << ", " << c.p2 << ")");
    ColumnVector vP(2);
    vP(1) = c.p1;
    vP(2) = c.p2;
    EXPECT_EQ(kmCalculator::ContinuityChoices(1, 2, vP, 12, 2, 4), c.iFirst);
    EXPECT_EQ(kmCalculator::ContinuityChoices(2, 2, vP, 12, 2, 4), c.iSecond);
  }
}

}  // namespace
