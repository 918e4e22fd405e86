// The segment form of a fitted model, its weighted segmented fit, the
// segment and kinkmark tests, and the tests of the jump coefficient.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <limits>
#include <vector>

#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/KMSeriesSet.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::Vec;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

// Continuous model value b0 + b1 x + sum d_i (x - t_i)+ (+ jump for x >= J).
double ModelAt(const ColumnVector& beta, int p, const ColumnVector& tau,
               double x, double dJump, double J) {
  double y = beta(1) + beta(p) * x;
  for (int i = 1; i <= tau.Nrows(); ++i) {
    if (x > tau(i)) y += beta(p + i) * (x - tau(i));
  }
  if (x >= J) y += dJump;
  return y;
}

TEST(CalcWeightMatrices, SegmentLinesMeetAtTheKinkmarks) {
  // beta = (1, 0.5, -0.3, 0.2), tau = (4, 8): by hand
  //   a1 = 1, b1 = 0.5; a2 = 1 - 4 (-0.3) = 2.2, b2 = 0.2;
  //   a3 = 2.2 - 8 (0.2) = 0.6, b3 = 0.4.
  ColumnVector theta;
  ColumnVector betaCopy;
  const ColumnVector beta = Vec({1.0, 0.5, -0.3, 0.2});
  BaseKMRegModel::calc_WeightMatrices(theta, betaCopy, 1, 2, 0, -1.0, beta,
                                      Vec({4.0, 8.0}), ColumnVector());
  const std::vector<double> kExpected = {1.0, 0.5, 2.2, 0.2, 0.6, 0.4};
  ASSERT_EQ(theta.Nrows(), 6);
  for (int i = 1; i <= 6; ++i) EXPECT_NEAR(theta(i), kExpected[i - 1], 1e-15);
  EXPECT_EQ(km_test::ToVector(betaCopy), km_test::ToVector(beta));
}

TEST(CalcWeightMatrices, ParallelModelKeepsTheInterceptOffsets) {
  // Two series: intercepts 1.0 and 1.5 -> offset 0.5 at entry 1; then
  // (a1, b1) = (1.0, 0.25) and (a2, b2) = (1.0 - 3 (0.5), 0.75).
  ColumnVector theta;
  ColumnVector betaCopy;
  BaseKMRegModel::calc_WeightMatrices(theta, betaCopy, 2, 1, 0, -1.0,
                                      Vec({1.0, 1.5, 0.25, 0.5}), Vec({3.0}),
                                      ColumnVector());
  const std::vector<double> kExpected = {0.5, 1.0, 0.25, -0.5, 0.75};
  EXPECT_EQ(km_test::ToVector(theta), kExpected);
}

TEST(CalcWeightMatrices, JumpEntersEachLaterInterceptOnce) {
  // Adding the jump coefficient at every kinkmark at or after the jump
  // counted it once per such kinkmark, so the lines of the later segments
  // no longer matched the fitted model. Segments 2 and 3 both start after
  // J = 3 and each must carry the jump (2.0) exactly once.
  const ColumnVector beta = Vec({1.0, 0.5, -0.3, 0.2});
  const ColumnVector tau = Vec({4.0, 8.0});
  ColumnVector theta;
  ColumnVector betaCopy;
  BaseKMRegModel::calc_WeightMatrices(theta, betaCopy, 1, 2, 1, 3.0, beta, tau,
                                      Vec({2.0}));
  EXPECT_NEAR(theta(3), 4.2, 1e-15);
  EXPECT_NEAR(theta(5), 2.6, 1e-15);
  for (double x : {5.0, 6.5, 8.5, 12.0}) {
    const int s = x <= 8.0 ? 2 : 3;
    EXPECT_NEAR(theta(2 * s - 1) + theta(2 * s) * x,
                ModelAt(beta, 2, tau, x, 2.0, 3.0), 1e-12)
        << x;
  }
}

// Two series over x = 1..8 with one kinkmark at 5.2, fitted with one
// intercept per series (p = 3) and independent errors of standard deviation
// s. The same fit in R:
//   x <- c(1:8, 1:8)
//   y <- c(2.1, 2.9, 4.2, 4.8, 6.1, 6.4, 6.6, 7.1,
//          3.0, 4.1, 5.0, 6.2, 6.9, 7.5, 7.4, 8.2)
//   s <- c(.5,.6,.5,.7,.5,.6,.5,.7, .8,.7,.9,.8,.7,.8,.9,.8)
//   ser2 <- rep(0:1, each = 8); tau <- 5.2; N <- 16
//   h <- 0.5*0.117*N*log(log(N))^0.6/sqrt(N)
//   w <- rep(1, N); u <- abs(x - tau)/h; w[u < 1] <- u[u < 1]
//   I1 <- as.numeric(x <= tau); I2 <- 1 - I1
//   Z <- cbind(ser2, I1, I1*x, I2, I2*x); M <- diag(w^2/s^2)
//   A <- t(Z) %*% M %*% Z; Ainv <- solve(A)
//   coef <- Ainv %*% t(Z) %*% M %*% y; e <- y - Z %*% coef
//   rss <- c(t(e) %*% M %*% e); df <- sum(w) - qr(A)$rank
//   V <- rss/df * Ainv
KMSeriesSet TwoSeries() {
  KMSeriesSet set;
  set.xValues.Resize(2);
  set.yValues.Resize(2);
  set.xValues[0] = Vec({1, 2, 3, 4, 5, 6, 7, 8});
  set.xValues[1] = Vec({1, 2, 3, 4, 5, 6, 7, 8});
  set.yValues[0] = Vec({2.1, 2.9, 4.2, 4.8, 6.1, 6.4, 6.6, 7.1});
  set.yValues[1] = Vec({3.0, 4.1, 5.0, 6.2, 6.9, 7.5, 7.4, 8.2});
  return set;
}

Matrix InverseSDs() {
  const double s[] = {.5, .6, .5, .7, .5, .6, .5, .7,
                      .8, .7, .9, .8, .7, .8, .9, .8};
  Matrix P(16, 16);
  P = 0.0;
  for (int i = 1; i <= 16; ++i) P(i, i) = 1.0 / s[i - 1];
  return P;
}

constexpr double kRSS = 0.6061584512464111;
constexpr double kDF = 10.689428715358595;
const double kCoef[] = {1.0127822775015147, 1.0673578033027196,
                        0.99230020246380823, 4.2792664158117955,
                        0.34451324998580812};
const double kVDiagonal[] = {0.006969260722054703, 0.012718110854785589,
                             0.0011991661507474729, 0.35041902340030245,
                             0.0071824891933650751};

TEST(CalcFitEstimates, AgreesWithWeightedLeastSquaresInR) {
  // The kinkmarks (5, 5.2) give the same fit: x = 5 sits on the first, is
  // counted in the segment that ends there and keeps the weight the second
  // gives it; no observation lies between the two, so the columns of
  // segments 1 and 3 are those of the fit above.
  struct Case {
    std::vector<double> tau;
    std::vector<int> columns;  // the columns of the fit above
  };
  const Case kCases[] = {{{5.2}, {1, 2, 3, 4, 5}},
                         {{5.0, 5.2}, {1, 2, 3, 6, 7}}};
  for (const Case& c : kCases) {
    const int k = static_cast<int>(c.tau.size());
    SCOPED_TRACE(k);
    ColumnVector coef;
    Matrix V;
    double dDF = 0.0;
    double dRSS = 0.0;
    int32_t iJumpSegment = -1;
    BaseKMRegModel::calc_FitEstimates(coef, V, dDF, dRSS, iJumpSegment,
                                      TwoSeries(), InverseSDs(), Vec(c.tau), k,
                                      3, 0, -1.0);
    EXPECT_EQ(iJumpSegment, 0);
    EXPECT_TRUE(RelNear(dRSS, kRSS, 1e-10));
    EXPECT_TRUE(RelNear(dDF, kDF, 1e-13));
    ASSERT_EQ(coef.Nrows(), 2 * k + 3);
    ASSERT_EQ(V.Nrows(), 2 * k + 3);
    for (int i = 1; i <= 5; ++i) {
      const int j = c.columns[i - 1];
      EXPECT_TRUE(RelNear(coef(j), kCoef[i - 1], 1e-10)) << i;
      EXPECT_TRUE(RelNear(V(j, j), kVDiagonal[i - 1], 1e-9)) << i;
    }
    EXPECT_TRUE(RelNear(V(2, 1), -0.0020964498606264865, 1e-9));
  }
}

TEST(CalcFitEstimates, JumpStepIsFittedOnlyWhenItSplitsItsSegment) {
  // J = 2.5 splits segment 1 (x = 1, 2 before it, 3, 4, 5 after): the step
  // column is appended. J = 1 leaves every observation of segment 1 on the
  // jump side: the step would repeat the intercept column, so it is left
  // out; the jump's segment is reported either way.
  struct Case {
    double J;
    int columns;
  };
  for (const Case& c : {Case{2.5, 6}, Case{1.0, 5}}) {
    SCOPED_TRACE(c.J);
    ColumnVector coef;
    Matrix V;
    double dDF = 0.0;
    double dRSS = 0.0;
    int32_t iJumpSegment = 0;
    BaseKMRegModel::calc_FitEstimates(coef, V, dDF, dRSS, iJumpSegment,
                                      TwoSeries(), Matrix(), Vec({5.2}), 1, 3,
                                      1, c.J);
    EXPECT_EQ(iJumpSegment, 1);
    EXPECT_EQ(coef.Nrows(), c.columns);
    EXPECT_EQ(V.Ncols(), c.columns);
  }
}

TEST(CalcSegmentTTests, StandardErrorsAndTestsAgreeWithR) {
  // R (continuing the fit above, theta the segment form of
  // beta = (1.2, 2.1, 0.95, -0.6) at tau = 5.2):
  //   theta <- c(0.9, 1.2, 0.95, 4.32, 0.35)
  //   series 2, intercept of segment 1: theta[2] + theta[1],
  //     se sqrt(V[2,2] + V[1,1] + 2 V[2,1])
  //   slope of segment 2: theta[5], se sqrt(V[5,5])
  //   slope change: theta[5] - theta[3], se sqrt(V[5,5] + V[3,3] - 2 V[5,3])
  //   each with t = est/se and p = 2 (1 - pt(abs(t), df))
  struct Row {
    int series;  // 0-based
    bool kinkmarkTable;
    int row;
    double est, se, t, p;
  };
  const Row kRows[] = {
      {1, false, 1, 2.1, 0.12447679243773643, 16.870614665383709,
       4.7930135416152098e-09},
      {0, false, 4, 0.35, 0.084749567511374801, 4.1298145852251595,
       0.0017762197721666872},
      {1, false, 4, 0.35, 0.084749567511374801, 4.1298145852251595,
       0.0017762197721666872},
      {0, true, 3, -0.6, 0.091524029743342158, -6.5556554020027349,
       4.6998631657801937e-05},
  };
  ColumnVector coef;
  Matrix V;
  double dDF = 0.0;
  double dRSS = 0.0;
  int32_t iJumpSegment = 0;
  BaseKMRegModel::calc_FitEstimates(coef, V, dDF, dRSS, iJumpSegment,
                                    TwoSeries(), InverseSDs(), Vec({5.2}), 1, 3,
                                    0, -1.0);
  OneDimensionArray<Matrix> segments;
  OneDimensionArray<Matrix> kinkmarks;
  BaseKMRegModel::calc_SegmentTTests(
      segments, kinkmarks, Vec({0.9, 1.2, 0.95, 4.32, 0.35}), V, dDF, 3, 1, 2);
  ASSERT_EQ(segments.GetSize(), 2);
  ASSERT_EQ(segments[0].Nrows(), 4);
  ASSERT_EQ(kinkmarks[1].Nrows(), 3);
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.row);
    const Matrix& table =
        r.kinkmarkTable ? kinkmarks[r.series] : segments[r.series];
    EXPECT_NEAR(table(r.row, 1), r.est, 1e-14);
    EXPECT_TRUE(RelNear(table(r.row, 2), r.se, 1e-9));
    EXPECT_TRUE(RelNear(table(r.row, 3), r.t, 1e-9));
    EXPECT_TRUE(RelNear(table(r.row, 4), r.p, 1e-6));
  }
  // Rows 1 and 2 of a kinkmark table are those of the segment table.
  for (int c = 1; c <= 4; ++c) {
    EXPECT_EQ(kinkmarks[1](1, c), segments[1](1, c));
    EXPECT_EQ(kinkmarks[1](2, c), segments[1](2, c));
  }
}

TEST(CalcSegmentTTests, ZeroStandardErrorGivesInfiniteStatistic) {
  Matrix V(4, 4);
  V = 0.0;
  OneDimensionArray<Matrix> segments;
  OneDimensionArray<Matrix> kinkmarks;
  BaseKMRegModel::calc_SegmentTTests(
      segments, kinkmarks, Vec({1.0, -0.5, 2.0, 0.25}), V, 10, 2, 1, 1);
  EXPECT_EQ(segments[0](2, 3), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(segments[0](2, 4), 0.0);
  EXPECT_EQ(kinkmarks[0](3, 1), 0.75);
  EXPECT_EQ(kinkmarks[0](3, 3), std::numeric_limits<double>::infinity());
}

TEST(FitBaseKMRegModel, FillsTheRecordsStatistics) {
  KMRegFitRecord record;
  record.fit.seriesSet = TwoSeries();
  record.fit.transform = InverseSDs();
  record.k = 1;
  record.p0 = 3;
  record.tau = Vec({5.2});
  record.beta = Vec({1.2, 2.1, 0.95, -0.6});
  BaseKMRegModel::fit_BaseKMRegModel(record);

  const KMRegFitStats& stats = record.fitStats;
  EXPECT_EQ(stats.k, 1);
  EXPECT_EQ(stats.p, 3);
  EXPECT_EQ(stats.nSeries, 2);
  EXPECT_TRUE(RelNear(stats.df, kDF, 1e-13));
  const std::vector<double> kTheta = {0.9, 1.2, 0.95, 4.32, 0.35};
  for (int i = 1; i <= 5; ++i)
    EXPECT_NEAR(stats.theta(i), kTheta[i - 1], 1e-14);
  EXPECT_EQ(km_test::ToVector(stats.beta),
            (std::vector<double>{1.2, 2.1, 0.95, -0.6}));
  for (int i = 1; i <= 5; ++i) {
    EXPECT_TRUE(RelNear(stats.covariance(i, i), kVDiagonal[i - 1], 1e-9));
  }
  ASSERT_EQ(stats.segmentTables.GetSize(), 2);
  EXPECT_TRUE(RelNear(stats.segmentTables[1](1, 2), 0.12447679243773643, 1e-9));
  ASSERT_EQ(stats.kinkmarkTables.GetSize(), 2);
  EXPECT_NEAR(stats.kinkmarkTables[0](3, 1), -0.6, 1e-14);
}

TEST(CalcCoefficientTests, LogLinearRestatesTheEstimateAsARatio) {
  // R: e <- exp(0.2); s <- e * 0.05; t <- (e - 1)/s; q <- qt(0.975, 15)
  //    c(e, s, t, 2*(1 - pt(abs(t), 15)), e - q*s, e + q*s)
  const ColumnVector r = Vec({0.2, 0.05, 4.0, 0.0001, 0.1, 0.3, 1.0, 15, 0.05});
  ColumnVector out;
  BaseKMRegModel::calc_CoefficientTests(r, out, 1);
  EXPECT_TRUE(RelNear(out(1), 1.221402758160169855, 1e-15));
  EXPECT_TRUE(RelNear(out(2), 0.061070137908008498, 1e-15));
  EXPECT_TRUE(RelNear(out(3), 3.625384938440362692, 1e-13));
  EXPECT_NEAR(out(4), 0.002492490574572237, 1e-12);
  EXPECT_NEAR(out(5), 1.091234840468872314, 1e-8);
  EXPECT_NEAR(out(6), 1.351570675851467396, 1e-8);
  EXPECT_EQ(out(7), 1.0);
  EXPECT_EQ(out(8), 15);
  EXPECT_EQ(out(9), 0.05);

  BaseKMRegModel::calc_CoefficientTests(r, out, 0);
  EXPECT_EQ(km_test::ToVector(out), km_test::ToVector(r));
}

TEST(CalcCoefficientInference, JumpAndLevelFromTheSegmentedCovariance) {
  // p = 2, k = 1: the step is column 5 of the covariance, the jump lies in
  // segment 1 whose intercept a_1 = theta(1) = 1.5. Jump 0.8,
  // se sqrt(0.09) = 0.3; level 0.8 + 1.5 = 2.3, se sqrt(0.04 + 2 (0.01) +
  // 0.09). R, df = 12, alpha = 0.1, q <- qt(0.95, 12):
  //   jump:  t = 0.8/0.3, 2*(1 - pt(t, 12)), 0.8 -/+ q*0.3
  //   level: t = 2.3/sqrt(0.15), 2*(1 - pt(t, 12)), 2.3 -/+ q*sqrt(0.15)
  Matrix V(5, 5);
  V = 0.0;
  V(1, 1) = 0.04;
  V(1, 5) = V(5, 1) = 0.01;
  V(5, 5) = 0.09;
  ColumnVector r0(9);
  r0 = 0.0;
  r0(1) = 0.8;
  ColumnVector r1;
  ColumnVector r2;
  BaseKMRegModel::calc_CoefficientInference(
      r0, r1, r2, Vec({1.5, 0.1, 1.2, 0.3}), V, 12.0, 1, false, Matrix(), 1.0,
      1.0, 0.1, 0, 2, 1);
  EXPECT_DOUBLE_EQ(r0(2), 0.3);
  EXPECT_TRUE(RelNear(r0(3), 2.666666666666666963, 1e-15));
  EXPECT_NEAR(r0(4), 0.020536874995264132, 1e-12);
  EXPECT_NEAR(r0(5), 0.265313733305204136, 1e-8);
  EXPECT_NEAR(r0(6), 1.334686266694796064, 1e-8);
  EXPECT_EQ(r0(7), 1.0);
  EXPECT_EQ(r0(8), 12.0);
  EXPECT_EQ(r0(9), 0.1);
  EXPECT_DOUBLE_EQ(r1(1), 2.3);
  EXPECT_TRUE(RelNear(r1(2), 0.38729833462074170, 1e-15));
  EXPECT_TRUE(RelNear(r1(3), 5.9385744641847049, 1e-13));
  EXPECT_NEAR(r1(4), 6.8329857251470116e-05, 1e-12);
  EXPECT_NEAR(r1(5), 1.6097229978817458, 1e-8);
  EXPECT_NEAR(r1(6), 2.9902770021182539, 1e-8);
  // Not log-linear: r2 repeats r0.
  EXPECT_EQ(km_test::ToVector(r2), km_test::ToVector(r0));
}

TEST(CalcCoefficientInference, WithoutStepColumnUsesTheNormalMatrix) {
  // No step column in a 4 x 4 covariance (p = 2, k = 1 needs 5): the
  // standard errors come from A^-1 scaled by RSS / divisor = 2:
  //   A = diag(4, 1, 2, 0.5) -> 2 A^-1 = diag(0.5, 2, 1, 4);
  //   jump (entry p + k + 1 = 4): sqrt(4) = 2; level: sqrt(0.5 + 4).
  Matrix V(4, 4);
  V = 0.0;
  Matrix A(4, 4);
  A = 0.0;
  A(1, 1) = 4.0;
  A(2, 2) = 1.0;
  A(3, 3) = 2.0;
  A(4, 4) = 0.5;
  ColumnVector r0(9);
  r0 = 0.0;
  r0(1) = 1.0;
  ColumnVector r1;
  ColumnVector r2;
  BaseKMRegModel::calc_CoefficientInference(
      r0, r1, r2, Vec({1.5, 0.1, 1.2, 0.3}), V, 12.0, 1, false, A, 6.0, 3.0,
      0.05, 0, 2, 1);
  EXPECT_DOUBLE_EQ(r0(2), 2.0);
  EXPECT_DOUBLE_EQ(r1(2), std::sqrt(4.5));
  EXPECT_DOUBLE_EQ(r0(3), 0.5);
}

}  // namespace
