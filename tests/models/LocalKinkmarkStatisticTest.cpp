// Tests of the local kinkmark statistics of BaseKMRegModel (smallest local
// Wald statistic) and BestKMRegModel (squared partial correlations), and of
// their window designs.
#include <gtest/gtest.h>
#include <newmat.h>

#include <vector>

#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/BestKMRegModel.h"
#include "models/MatrixBuilders.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::ToVector;
using km_test::Vec;

// Local projections go through a 2 x 2 generalised inverse.
constexpr double kProjectionRelTol = 1e-10;

using VectorArray = OneDimensionArray<NEWMAT::ColumnVector>;

VectorArray Series(const std::vector<std::vector<double>>& lists) {
  VectorArray a;
  a.Resize(static_cast<int>(lists.size()));
  for (size_t s = 0; s < lists.size(); ++s)
    a[static_cast<int>(s)] = Vec(lists[s]);
  return a;
}

// Case 1: one series of ten years, identity weights.
const std::vector<double> kX1 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
const std::vector<double> kY1 = {1.0, 1.6, 2.1, 2.4, 1.9,
                                 1.5, 1.2, 1.8, 2.5, 3.1};

// Case 2: two series of eight, stacked into 16 observations, under a
// weighting matrix with diagonal 1.0, 1.1, ..., 2.5 and -0.3 just above it.
const std::vector<double> kX2a = {1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<double> kX2b = {1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5};
const std::vector<double> kY2a = {3.0, 3.4, 3.9, 3.7, 3.2, 2.8, 2.9, 3.3};
const std::vector<double> kY2b = {2.7, 3.1, 3.5, 3.6, 3.0, 2.6, 2.7, 3.0};

NEWMAT::Matrix UpperBidiagonalWeights() {
  NEWMAT::Matrix W(16, 16);
  W = 0.0;
  for (int i = 1; i <= 16; ++i) {
    W(i, i) = 1.0 + 0.1 * (i - 1);
    if (i < 16) W(i, i + 1) = -0.3;
  }
  return W;
}

// Expected values, R:
//   local_stats <- function(xs, ys, W, tau, beta, sigma2) {
//     x <- unlist(xs); y <- unlist(ys); k <- length(tau)
//     s <- numeric(k); r2 <- numeric(k)
//     for (i in 1:k) {
//       lo <- if (i == 1) min(x) - 1 else tau[i-1]
//       hi <- if (i == k) max(x) else tau[i+1]
//       sel <- which(x > lo & x <= hi); if (length(sel) == 0) next
//       Wi <- W[sel, sel, drop = FALSE]
//       X <- Wi %*% cbind(1, x[sel]); H <- Wi %*% pmax(x[sel] - tau[i], 0)
//       R <- Wi %*% y[sel]
//       rH <- lm.fit(X, H)$residuals; rR <- lm.fit(X, R)$residuals
//       a <- sum(rH^2); b <- sum(rR^2); cc <- sum(rR * rH)
//       s[i] <- beta[i+2]^2 * a / sigma2
//       r2[i] <- if (a * b > 1e-100) cc^2 / (a * b) else 0 }
//     c(min(s), r2) }
//   local_stats(list(1:10), list(y1), diag(10), c(4, 7),
//               c(1, 0.5, -0.8, 0.6), 0.25)
//   W2 <- diag(seq(1, 2.5, by = 0.1)); for (i in 1:15) W2[i, i+1] <- -0.3
//   local_stats(list(x2a, x2b), list(y2a, y2b), W2, c(3, 5.5),
//               c(0.2, 0.4, -0.7, 0.5), 0.04)
//   local_stats(list(x2a, x2b), list(y2a, y2b), W2, 4.5,
//               c(0.2, 0.4, -0.7), 0.04)
struct StatisticCase {
  const char* sName;
  VectorArray values;
  VectorArray responses;
  NEWMAT::Matrix W;
  NEWMAT::ColumnVector tau;
  NEWMAT::ColumnVector beta;
  double sigma2;
  double dWald;
  std::vector<double> correlations;
};

std::vector<StatisticCase> StatisticCases() {
  std::vector<StatisticCase> cases;
  cases.push_back({"one series, identity",
                   Series({kX1}),
                   Series({kY1}),
                   make_IdentityMatrix(10),
                   Vec({4, 7}),
                   Vec({1, 0.5, -0.8, 0.6}),
                   0.25,
                   1.5634285714285681,
                   {0.96963366410505103, 0.99684238285587379}});
  cases.push_back({"two series, bidiagonal W",
                   Series({kX2a, kX2b}),
                   Series({kY2a, kY2b}),
                   UpperBidiagonalWeights(),
                   Vec({3, 5.5}),
                   Vec({0.2, 0.4, -0.7, 0.5}),
                   0.04,
                   35.805001774625353,
                   {0.61409139525044765, 0.36375767144242838}});
  cases.push_back({"one kinkmark",
                   Series({kX2a, kX2b}),
                   Series({kY2a, kY2b}),
                   UpperBidiagonalWeights(),
                   Vec({4.5}),
                   Vec({0.2, 0.4, -0.7}),
                   0.04,
                   163.86827019580329,
                   {0.18042202280644168}});
  return cases;
}

TEST(LocalKinkmarkStatistic, MatchesRWindowFits) {
  for (const StatisticCase& c : StatisticCases()) {
    SCOPED_TRACE(c.sName);
    EXPECT_TRUE(RelNear(BaseKMRegModel::calc_ModelStatistic(
                            c.values, c.W, c.beta, c.tau, c.sigma2),
                        c.dWald, kProjectionRelTol));
    NEWMAT::ColumnVector result(c.tau.Nrows());
    result = -1.0;
    BestKMRegModel::calc_ModelStatistic(result, c.values, c.responses, c.W,
                                        c.tau);
    ASSERT_EQ(static_cast<size_t>(result.Nrows()), c.correlations.size());
    for (int i = 1; i <= result.Nrows(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_TRUE(RelNear(result(i), c.correlations[i - 1], kProjectionRelTol));
    }
  }
}

TEST(LocalKinkmarkStatistic, NoKinkmarks) {
  const VectorArray values = Series({kX1});
  EXPECT_EQ(BaseKMRegModel::calc_ModelStatistic(values, make_IdentityMatrix(10),
                                                Vec({1, 0.5}),
                                                NEWMAT::ColumnVector(0), 0.25),
            0.0);
  NEWMAT::ColumnVector result;
  BestKMRegModel::calc_ModelStatistic(result, values, Series({kY1}),
                                      make_IdentityMatrix(10),
                                      NEWMAT::ColumnVector(0));
  EXPECT_EQ(result.Nrows(), 0);
}

TEST(LocalKinkmarkStatistic, EmptyAndSingleObservationWindowsGiveZero) {
  // With whole-number x: window 2 of (2, 2.5, 2.7) is (2, 2.7], which holds
  // no observation; window 2 of (2, 3, 3.5) is (2, 3.5], which holds only
  // x = 3, so its local line fits exactly and X'X is singular.
  const VectorArray values = Series({kX1});
  const VectorArray responses = Series({kY1});
  const NEWMAT::Matrix W = make_IdentityMatrix(10);
  const NEWMAT::ColumnVector beta = Vec({1, 0.5, -0.8, 0.6, 0.9});
  for (const NEWMAT::ColumnVector& tau :
       {Vec({2, 2.5, 2.7}), Vec({2, 3, 3.5})}) {
    SCOPED_TRACE(tau(3));
    EXPECT_EQ(BaseKMRegModel::calc_ModelStatistic(values, W, beta, tau, 0.25),
              0.0);
    NEWMAT::ColumnVector result(3);
    result = -1.0;
    BestKMRegModel::calc_ModelStatistic(result, values, responses, W, tau);
    EXPECT_EQ(result(2), 0.0);
  }
}

TEST(LocalKinkmarkStatistic, ResponsesDoNotEnterTheWaldStatistic) {
  const VectorArray values = Series({kX2a, kX2b});
  const NEWMAT::Matrix W = UpperBidiagonalWeights();
  const NEWMAT::ColumnVector beta = Vec({5.0, -3.0, -0.7, 0.5});
  // Only beta(3..k+2) matter: the intercept and the first slope are changed
  // from the R case above, and the answer stays.
  EXPECT_TRUE(RelNear(
      BaseKMRegModel::calc_ModelStatistic(values, W, beta, Vec({3, 5.5}), 0.04),
      35.805001774625353, kProjectionRelTol));
}

TEST(LocalKinkmarkStatistic, ShortBetaOrResultRaisesTheLibraryIndexError) {
  const VectorArray values = Series({kX1});
  const NEWMAT::Matrix W = make_IdentityMatrix(10);
  EXPECT_ANY_THROW(BaseKMRegModel::calc_ModelStatistic(
      values, W, Vec({1, 0.5, -0.8}), Vec({4, 7}), 0.25));
  NEWMAT::ColumnVector result(1);
  EXPECT_ANY_THROW(BestKMRegModel::calc_ModelStatistic(
      result, values, Series({kY1}), W, Vec({4, 7})));
  // A weighting matrix smaller than the observations.
  EXPECT_ANY_THROW(BaseKMRegModel::calc_ModelStatistic(
      values, make_IdentityMatrix(5), Vec({1, 0.5, -0.8, 0.6}), Vec({4, 7}),
      0.25));
}

// Window 2 of case 2: lo = 3 < x <= 8.5, hinge at 5.5. The window holds the
// global observations 4..8 and 11..16; W_i is W at those rows and columns,
// so row 5 (observation 8) loses its -0.3 neighbour (observation 9 is
// outside). R:
//   sel <- which(x > 3 & x <= 8.5); Wi <- W2[sel, sel]
//   cbind(Wi %*% cbind(1, x[sel]), Wi %*% pmax(x[sel] - 5.5, 0),
//         Wi %*% y[sel])
TEST(StatisticDesign, PicksTheWindowAndItsWeights) {
  const double expected[11][4] = {
      {1.0, 3.7, 0.0, 3.85},   {1.1, 5.2, -0.15, 3.64},  {1.2, 6.9, 0.3, 3.33},
      {1.3, 8.8, 1.65, 3.65},  {1.7, 13.6, 4.25, 5.61},  {1.7, 5.65, 0.0, 5.92},
      {1.8, 7.8, 0.0, 6.66},   {1.9, 10.15, -0.3, 5.82}, {2.0, 12.7, 1.7, 5.17},
      {2.1, 15.45, 3.9, 5.58}, {2.5, 21.25, 7.5, 7.5}};
  const VectorArray values = Series({kX2a, kX2b});
  const VectorArray responses = Series({kY2a, kY2b});
  const NEWMAT::Matrix W = UpperBidiagonalWeights();

  NEWMAT::Matrix X(3, 3);
  X = 9.0;  // stale contents are discarded
  NEWMAT::ColumnVector H = Vec({9.0});
  NEWMAT::ColumnVector R = Vec({9.0, 9.0});
  BestKMRegModel::build_StatisticDesign(X, R, H, values, responses, W, 5.5, 3.0,
                                        8.5);
  NEWMAT::Matrix baseX;
  NEWMAT::ColumnVector baseH;
  BaseKMRegModel::build_StatisticDesign(baseX, baseH, values, W, 5.5, 3.0, 8.5);
  ASSERT_EQ(X.Nrows(), 11);
  ASSERT_EQ(X.Ncols(), 2);
  ASSERT_EQ(H.Nrows(), 11);
  ASSERT_EQ(R.Nrows(), 11);
  ASSERT_EQ(baseX.Nrows(), 11);
  // Measured from an origin, the independent values move by the origin
  // times the weighted intercept column; nothing else changes.
  NEWMAT::Matrix shiftedX;
  NEWMAT::ColumnVector shiftedH, shiftedR;
  BestKMRegModel::build_StatisticDesign(shiftedX, shiftedR, shiftedH, values,
                                        responses, W, 5.5, 3.0, 8.5, 5.5);
  ASSERT_EQ(shiftedX.Nrows(), 11);
  for (int r = 1; r <= 11; ++r) {
    SCOPED_TRACE(r);
    EXPECT_NEAR(shiftedX(r, 2), X(r, 2) - 5.5 * X(r, 1), 1e-12);
    EXPECT_EQ(shiftedX(r, 1), X(r, 1));
    EXPECT_EQ(shiftedH(r), H(r));
    EXPECT_EQ(shiftedR(r), R(r));
  }
  for (int r = 1; r <= 11; ++r) {
    SCOPED_TRACE(r);
    EXPECT_NEAR(X(r, 1), expected[r - 1][0], 1e-12);
    EXPECT_NEAR(X(r, 2), expected[r - 1][1], 1e-12);
    EXPECT_NEAR(H(r), expected[r - 1][2], 1e-12);
    EXPECT_NEAR(R(r), expected[r - 1][3], 1e-12);
    EXPECT_EQ(baseX(r, 1), X(r, 1));
    EXPECT_EQ(baseX(r, 2), X(r, 2));
    EXPECT_EQ(baseH(r), H(r));
  }
}

TEST(StatisticDesign, BoundsAreStrictBelowAndInclusiveAbove) {
  // Kinkmarks at 4 and 7 of x = 1..10: an observation at exactly 4 lies
  // outside window 2 (4, 10] but inside window 1 (0, 7]; the largest x
  // belongs to the last window.
  const VectorArray values = Series({kX1});
  const NEWMAT::Matrix W = make_IdentityMatrix(10);
  NEWMAT::Matrix X;
  NEWMAT::ColumnVector H;
  BaseKMRegModel::build_StatisticDesign(X, H, values, W, 7.0, 4.0, 10.0);
  EXPECT_EQ(ToVector(NEWMAT::ColumnVector(X.Column(2))),
            (std::vector<double>{5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(ToVector(H), (std::vector<double>{0, 0, 0, 1, 2, 3}));
  BaseKMRegModel::build_StatisticDesign(X, H, values, W, 4.0, 0.0, 7.0);
  EXPECT_EQ(ToVector(NEWMAT::ColumnVector(X.Column(2))),
            (std::vector<double>{1, 2, 3, 4, 5, 6, 7}));
}

TEST(StatisticDesign, EmptyWindowLeavesEmptyOutputs) {
  const VectorArray values = Series({kX1});
  NEWMAT::Matrix X(2, 2);
  X = 1.0;
  NEWMAT::ColumnVector H = Vec({1.0, 2.0});
  BaseKMRegModel::build_StatisticDesign(X, H, values, make_IdentityMatrix(10),
                                        2.5, 2.0, 2.7);
  EXPECT_EQ(X.Nrows(), 0);
  EXPECT_EQ(X.Ncols(), 2);
  EXPECT_EQ(H.Nrows(), 0);
}

}  // namespace
