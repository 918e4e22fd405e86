// Weighted criteria (WBIC, WBIC-Alt) and kinkmark squared correlations of
// kmCalculator, checked against R.
//
// One series (n = 10), weighting matrix A = diag(sqrt(v)):
//   x <- 1:10; y <- c(2.1,3.9,6.2,7.8,9.1,9.5,10.2,10.4,11.0,11.3)
//   v <- c(1,2,1.5,0.5,1,3,2,1,2,1); A <- diag(sqrt(v))
//   r2 <- function(tau, lo, hi) {
//     kept <- which(x > lo & x <= hi); W <- A[kept, kept, drop = FALSE]
//     X <- W %*% cbind(1, x[kept]); yy <- W %*% y[kept]
//     z <- W %*% pmax(x[kept] - tau, 0)
//     P <- diag(length(kept)) - X %*% solve(t(X) %*% X) %*% t(X)
//     (t(yy) %*% P %*% z)^2 / ((t(yy) %*% P %*% yy) * (t(z) %*% P %*% z)) }
//   R <- c(r2(4.5, 0, 7.5), r2(7.5, 4.5, 10))
//   Q <- 1.7; log(Q/n) + ((max(R) + 2)*2 + 2)*log(n)/n    # WBIC, k = 2
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "models/KMSeriesSet.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr int kN = 10;
constexpr double kY[kN] = {2.1, 3.9,  6.2,  7.8,  9.1,
                           9.5, 10.2, 10.4, 11.0, 11.3};
constexpr double kV[kN] = {1, 2, 1.5, 0.5, 1, 3, 2, 1, 2, 1};
constexpr double kQ = 1.7;

class WeightedCriteriaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = std::make_unique<kmSession>();
    calc_ = std::make_unique<kmCalculator>(session_.get());
    calc_->SetNumObservations(kN);
    CalcMembers(*calc_).mWorkA.ReSize(kN, kN);
    CalcMembers(*calc_).mWorkA = 0.0;
    series_.labels.Resize(1);
    series_.xValues.Resize(1);
    series_.yValues.Resize(1);
    series_.xValues[0].ReSize(kN);
    series_.yValues[0].ReSize(kN);
    for (int i = 1; i <= kN; ++i) {
      CalcMembers(*calc_).mWorkA(i, i) = std::sqrt(kV[i - 1]);
      series_.xValues[0](i) = i;
      series_.yValues[0](i) = kY[i - 1];
    }
  }

  // A table over the series with the given kinkmarks and a BIC of 123;
  // the independent values and kinkmarks are dOrigin further on.
  kmTable MakeTable(const std::vector<double>& vTau, double dOrigin = 0.0) {
    kmTable table;
    KMSeriesSet shifted = series_;
    for (int i = 1; i <= kN; ++i) shifted.xValues[0](i) += dOrigin;
    table.SetSeriesSet(shifted);
    for (double t : vTau) table.AddKinkmark(t + dOrigin, 0.0, 0.0, false);
    table.SetBIC(123.0);
    return table;
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
  KMSeriesSet series_;
};

TEST_F(WeightedCriteriaTest, SquaredCorrelationsMatchR) {
  ColumnVector vTau(2);
  vTau << 4.5 << 7.5;
  ColumnVector vR;
  calc_->KinkmarkSquaredCorrelations(vR, series_, CalcMembers(*calc_).mWorkA,
                                     vTau);
  ASSERT_EQ(vR.Nrows(), 2);
  EXPECT_TRUE(km_test::RelNear(vR(1), 0.95082240616263425, 1e-10));
  EXPECT_TRUE(km_test::RelNear(vR(2), 0.28300228770594782, 1e-10));
}

TEST_F(WeightedCriteriaTest, WeightedBICReplacesTheCriterionOfCodes5And6) {
  struct Case {
    const char* sName;
    kmModelSelection criterion;
    std::vector<double> vTau;
    double dExpected;
    double dOrigin = 0.0;  // added to every x and kinkmark
  };
  const Case kCases[] = {
      {"WBIC takes the largest correlation",
       kmModelSelection::kWBIC,
       {4.5, 7.5},
       0.047464113567514676},
      {"WBIC-Alt takes the smallest",
       kmModelSelection::kWBICAlt,
       {4.5, 7.5},
       -0.26007841634446227},
      // R: r2(5.5, 0, 10): the single window runs over the whole series.
      {"one kinkmark", kmModelSelection::kWBIC, {5.5}, -0.64314009035074693},
      // Without kinkmarks c = 0: ln(Q/n) + 2 ln(n)/n.
      {"no kinkmark WBIC", kmModelSelection::kWBIC, {}, -1.3114398233330662},
      {"no kinkmark WBIC-Alt",
       kmModelSelection::kWBICAlt,
       {},
       -1.3114398233330662},
      {"other criterion leaves the table",
       kmModelSelection::kBIC,
       {4.5, 7.5},
       123.0},
      // Fault: far from 0 (years near 200,000 or 20,000) X'X of a window
      // mixed the size of x with its spread and the criterion moved.
      {"WBIC far from 0",
       kmModelSelection::kWBIC,
       {4.5, 7.5},
       0.047464113567514676,
       2e5},
      {"WBIC-Alt far from 0",
       kmModelSelection::kWBICAlt,
       {4.5, 7.5},
       -0.26007841634446227,
       2e5},
      {"one kinkmark near 20,000",
       kmModelSelection::kWBIC,
       {5.5},
       -0.64314009035074693,
       2e4},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmTable table = MakeTable(c.vTau, c.dOrigin);
    calc_->SetWeightedBIC(c.criterion, &table,
                          static_cast<int16_t>(c.vTau.size()), false, kQ);
    EXPECT_TRUE(km_test::RelNear(table.GetBIC(), c.dExpected, 1e-10));
  }
}

TEST_F(WeightedCriteriaTest, WindowBoundsAndHingeValues) {
  // Window (3, 6] around tau = 5: x = 3 is outside, x = 6 inside, and the
  // observation at tau has hinge 0. With unit weights the rows are raw.
  Matrix mI(kN, kN);
  mI = 0.0;
  for (int i = 1; i <= kN; ++i) mI(i, i) = 1.0;
  Matrix mX;
  ColumnVector vY, vZ;
  calc_->BuildLocalDesignMatrix(mX, vY, vZ, series_, mI, 5.0, 3.0, 6.0);
  ASSERT_EQ(mX.Nrows(), 3);
  const double kXs[] = {4, 5, 6};
  const double kZs[] = {0, 0, 1};
  for (int r = 1; r <= 3; ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(mX(r, 1), 1.0);
    EXPECT_EQ(mX(r, 2), kXs[r - 1]);
    EXPECT_EQ(vY(r), kY[static_cast<int>(kXs[r - 1]) - 1]);
    EXPECT_EQ(vZ(r), kZs[r - 1]);
  }
  // Weighted: each row is scaled by its weight root.
  calc_->BuildLocalDesignMatrix(mX, vY, vZ, series_, CalcMembers(*calc_).mWorkA,
                                5.0, 3.0, 6.0);
  EXPECT_DOUBLE_EQ(mX(3, 2), 6.0 * std::sqrt(kV[5]));
  EXPECT_DOUBLE_EQ(vZ(3), std::sqrt(kV[5]));
}

TEST_F(WeightedCriteriaTest, EmptyOrFlatWindowsGiveZero) {
  // The second window (10, 10] holds no observation.
  ColumnVector vTau(2);
  vTau << 3.0 << 10.0;
  ColumnVector vR;
  calc_->KinkmarkSquaredCorrelations(vR, series_, CalcMembers(*calc_).mWorkA,
                                     vTau);
  EXPECT_GT(vR(1), 0.0);
  EXPECT_EQ(vR(2), 0.0);

  // A straight-line response leaves nothing to correlate: 0, not NaN.
  for (int i = 1; i <= kN; ++i) series_.yValues[0](i) = 2.0 * i + 1.0;
  ColumnVector vOne(1);
  vOne << 5.5;
  calc_->KinkmarkSquaredCorrelations(vR, series_, CalcMembers(*calc_).mWorkA,
                                     vOne);
  EXPECT_FALSE(std::isnan(vR(1)));
  EXPECT_NEAR(vR(1), 0.0, 1e-12);
}

TEST_F(WeightedCriteriaTest, ShortWeightingMatrixIsAnError) {
  Matrix mSmall(3, 3);
  mSmall = 1.0;
  ColumnVector vTau(1);
  vTau << 5.5;
  ColumnVector vR;
  EXPECT_THROW(calc_->KinkmarkSquaredCorrelations(vR, series_, mSmall, vTau),
               KmException);
}

}  // namespace
