// The summaries of a refit: centred sums of squares, goodness of fit and the
// APC and AAPC tables built from a refit's coefficient tables.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::ToVector;
using km_test::Vec;

constexpr double kBoundAbsTol = 1e-6;
constexpr double kPValueAbsTol = 1e-12;

TEST(CalcCentredSumOfSquares, IsTheWeightedSumOfSquaresAboutTheMean) {
  // With a = sqrt(w) v and b = sqrt(w) this is sum w (v - weighted mean)^2.
  // R: w <- c(1, 4, 2, 0.5); a <- c(3, 5, 4, 8)
  //    sum(w * (a - weighted.mean(a, w))^2)
  const std::vector<double> w = {1, 4, 2, 0.5};
  const std::vector<double> v = {3, 5, 4, 8};
  NEWMAT::ColumnVector a(4), b(4);
  for (int i = 1; i <= 4; ++i) {
    b(i) = std::sqrt(w[i - 1]);
    a(i) = b(i) * v[i - 1];
  }
  EXPECT_TRUE(RelNear(BaseKMRegModel::calc_CentredSumOfSquares(a, b),
                      9.6666666666666661, km_test::kTightRelTol));
  // Plain centring: b = 1 gives the sum of squares about the mean.
  EXPECT_DOUBLE_EQ(
      BaseKMRegModel::calc_CentredSumOfSquares(Vec({1, 2, 3}), Vec({1, 1, 1})),
      2.0);
  EXPECT_EQ(BaseKMRegModel::calc_CentredSumOfSquares(Vec({}), Vec({})), 0.0);
}

TEST(CalcGoodnessOfFit, AgreesWithR) {
  // Two series; the weighting matrix is upper-bidiagonal.
  // R:
  //   y <- c(2.1,2.5,3.2,3.0,1.0,1.4,1.9); f <- c(2.2,2.6,2.9,3.1,1.1,1.3,1.8)
  //   e <- y - f
  //   Tm <- diag(c(1.2,0.9,1.1,1.0,0.8,1.3,0.7))
  //   for (i in 1:6) Tm[i,i+1] <- -0.3
  //   u <- drop(Tm %*% rep(1,7))
  //   css <- function(v) sum(resid(lm(drop(Tm %*% v) ~ 0 + u))^2)
  //   Qt <- css(y); Qm <- css(f); Qe <- css(e); Qd <- css(y - e)
  //   R2 <- Qm/(Qm+Qe); adj <- R2 - (4-1)*(1-R2)/(7-4)
  const std::vector<double> y = {2.1, 2.5, 3.2, 3.0, 1.0, 1.4, 1.9};
  const std::vector<double> f = {2.2, 2.6, 2.9, 3.1, 1.1, 1.3, 1.8};
  OneDimensionArray<NEWMAT::ColumnVector> fitted, residuals;
  fitted.Resize(2);
  residuals.Resize(2);
  fitted[0] = Vec({f[0], f[1], f[2], f[3]});
  fitted[1] = Vec({f[4], f[5], f[6]});
  residuals[0] = Vec({y[0] - f[0], y[1] - f[1], y[2] - f[2], y[3] - f[3]});
  residuals[1] = Vec({y[4] - f[4], y[5] - f[5], y[6] - f[6]});
  NEWMAT::Matrix W(7, 7);
  W = 0.0;
  const double d[] = {1.2, 0.9, 1.1, 1.0, 0.8, 1.3, 0.7};
  for (int i = 1; i <= 7; ++i) W(i, i) = d[i - 1];
  for (int i = 1; i <= 6; ++i) W(i, i + 1) = -0.3;

  KMRegFitRecord record;
  BaseKMRegModel::calc_GoodnessOfFit(record, fitted, residuals, Vec(y), W, 4);
  EXPECT_EQ(ToVector(record.gofObserved), y);
  EXPECT_EQ(ToVector(record.gofFitted), f);
  EXPECT_EQ(record.gofResiduals.Nrows(), 7);
  EXPECT_EQ(record.nResiduals, 7);
  ASSERT_EQ(record.gofData.Nrows(), 7);
  for (int i = 1; i <= 7; ++i) EXPECT_NEAR(record.gofData(i), f[i - 1], 1e-15);
  constexpr double kTol = 1e-10;  // lm's QR against the closed form
  EXPECT_TRUE(RelNear(record.ssTotal, 3.5885425742574268, kTol));
  EXPECT_TRUE(RelNear(record.ssModel, 3.3293188118811869, kTol));
  EXPECT_TRUE(RelNear(record.ssResidual, 0.19686732673267357, kTol));
  EXPECT_TRUE(RelNear(record.ssData, 3.3293188118811869, kTol));
  EXPECT_TRUE(RelNear(record.rSquared, 0.94416989943416263, kTol));
  EXPECT_TRUE(RelNear(record.adjustedRSquared, 0.88833979886832526, kTol));
}

TEST(CalcGoodnessOfFit, PerfectFitHasRSquaredOne) {
  OneDimensionArray<NEWMAT::ColumnVector> fitted, residuals;
  fitted.Resize(1);
  residuals.Resize(1);
  fitted[0] = Vec({1, 3, 2, 5});
  residuals[0] = Vec({0, 0, 0, 0});
  NEWMAT::Matrix W(4, 4);
  W = 0.0;
  for (int i = 1; i <= 4; ++i) W(i, i) = 1.0;
  KMRegFitRecord record;
  BaseKMRegModel::calc_GoodnessOfFit(record, fitted, residuals,
                                     Vec({1, 3, 2, 5}), W, 2);
  EXPECT_EQ(record.ssResidual, 0.0);
  EXPECT_EQ(record.rSquared, 1.0);
  EXPECT_EQ(record.adjustedRSquared, 1.0);
}

TEST(CalcGoodnessOfFit, AcceptsTheRecordsOwnArrays) {
  KMRegFitRecord record;
  record.fittedValues.Resize(1);
  record.residuals.Resize(1);
  record.fittedValues[0] = Vec({1, 2, 4});
  record.residuals[0] = Vec({0.5, -0.5, 0.25});
  NEWMAT::Matrix W(3, 3);
  W = 0.0;
  for (int i = 1; i <= 3; ++i) W(i, i) = 1.0;
  BaseKMRegModel::calc_GoodnessOfFit(record, record.fittedValues,
                                     record.residuals, Vec({1.5, 1.5, 4.25}), W,
                                     2);
  EXPECT_EQ(ToVector(record.gofFitted), (std::vector<double>{1, 2, 4}));
  EXPECT_EQ(ToVector(record.gofResiduals),
            (std::vector<double>{0.5, -0.5, 0.25}));
}

TEST(CalcAPCAAPCResults, BuildsBothTablesFromTheRefit) {
  // One series (p0 = 2, offset 1), one kinkmark at 2004, x 2000..2010; the
  // long coefficient vector is (a1, b1, a2, b2).
  // R:
  //   b <- c(0.031, -0.012); se <- c(0.004, 0.006); df <- 7; q <- qt(0.975, 7)
  //   APC rows as in the APC tests; AAPC over (2000, 2010):
  //   w <- c(4, 6)/10; A <- sum(w*b); sd <- sqrt(t(w) %*% diag(se^2) %*% w)
  //   c(pc(A), pc(A - qnorm(0.975)*sd), pc(A + qnorm(0.975)*sd), A/sd,
  //     2*(1 - pnorm(abs(A/sd))))
  OneDimensionArray<NEWMAT::Matrix> tables;
  tables.Resize(1);
  tables[0].ReSize(4, 4);
  tables[0] = 0.0;
  tables[0](2, 2) = 0.004;
  tables[0](4, 2) = 0.006;
  NEWMAT::ColumnVector x(11);
  for (int i = 1; i <= 11; ++i) x(i) = 1999 + i;
  NEWMAT::Matrix apc, ranges, aapc;
  BaseKMRegModel::calc_APC_AAPC_Results(apc, ranges, aapc, tables,
                                        Vec({1.5, 0.031, 63.2, -0.012}), 1, 1,
                                        7, x, Vec({2004}), 0.05, 0.05);

  const double kApc[2][10] = {
      {2000, 2004, 0.031, 0.004, 3.1485503886522714, 2.1775196186848422,
       4.1288092232638629, 1, 7.75, 0.00011156989631455616},
      {2004, 2010, -0.012, 0.006, -1.1928287138069482, -2.5847820258337872,
       0.21901403708945999, 0, -2, 0.085619328562975827}};
  const double kAapc[10] = {2000,
                            2010,
                            0.0052000000000000015,
                            0.0039395431207184415,
                            0.52135434651634505,
                            -0.25181866672031594,
                            1.3005204164725059,
                            0,
                            1.3199500146737053,
                            0.18685170734252199};
  ASSERT_EQ(apc.Nrows(), 2);
  ASSERT_EQ(aapc.Nrows(), 1);
  ASSERT_EQ(ranges.Nrows(), 1);
  EXPECT_EQ(ranges(1, 1), 2000);
  EXPECT_EQ(ranges(1, 2), 2010);
  for (int r = 1; r <= 3; ++r) {
    SCOPED_TRACE(r);
    const double* e = r <= 2 ? kApc[r - 1] : kAapc;
    const NEWMAT::Matrix& m = r <= 2 ? apc : aapc;
    const int row = r <= 2 ? r : 1;
    for (int c : {1, 2, 3, 4, 5, 9}) {
      EXPECT_TRUE(RelNear(m(row, c), e[c - 1], km_test::kTightRelTol)) << c;
    }
    EXPECT_NEAR(m(row, 6), e[5], kBoundAbsTol);
    EXPECT_NEAR(m(row, 7), e[6], kBoundAbsTol);
    EXPECT_EQ(m(row, 8), e[7]);
    EXPECT_NEAR(m(row, 10), e[9], kPValueAbsTol);
  }
}

}  // namespace
