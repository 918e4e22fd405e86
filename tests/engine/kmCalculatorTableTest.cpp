// Model tables of fitted models (kmCalculator::Table), checked against R.
//
// Data set (n = 10), weights v, autocorrelation mode 0, integer origin 2000
// (the tables hold x = 2001..2010):
//   x <- 1:10; y <- c(2.1,3.9,6.2,7.8,9.1,9.5,10.2,10.4,11.0,11.3)
//   v <- c(1,2,1.5,0.5,1,3,2,1,2,1); n <- 10; tau <- 5.5; sh <- 2000
// The one-kinkmark fit and its segment form:
//   X <- cbind(1, x, pmax(x - tau, 0)); fit <- lm(y ~ X - 1, weights = v)
//   b <- coef(fit); Q <- sum(v * resid(fit)^2)
//   beta <- c(b[1], b[1] - b[3]*tau, b[2], b[2] + b[3], b[3])
// The coefficient covariance V is that of the kinkmark standard errors:
//   h <- 0.117*0.5*n*log(log(n))^0.6/sqrt(n); u <- pmin(abs(x - tau)/h, 1)
//   s1 <- x <= tau; D <- cbind(as.numeric(s1), as.numeric(!s1), x*s1, x*!s1)
//   Tw <- diag(v*u^2); inv <- solve(t(D) %*% Tw %*% D)
//   e <- y - D %*% (inv %*% t(D) %*% Tw %*% y); Qs <- sum(v*u^2*e^2)
//   df <- sum(u) - 4; Tm <- rbind(diag(4), c(0,0,-1,1))
//   V <- Tm %*% (Qs/df * inv) %*% t(Tm)
// Tests: slope j: beta[2+j], sqrt(V[m,m]), t, 2*(1-pt(|t|, df)); unshifted
// intercept: beta[j] - sh*beta[2+j] with variance
//   V[a,a] + sh^2 V[m,m] - 2 sh V[a,m];
// APC bounds 100*(exp(b -/+ qt(0.975, df)*se) - 1); covariance
//   A <- diag(4); A[1,3] <- -sh; A[2,4] <- -sh; Vp <- A %*% V %*% t(A)
//   Vp[c(1,3,2,4), c(1,3,2,4)]
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/TableTestFixture.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

using km_table_test::kBeta;
using km_table_test::kQ;
using km_table_test::TableTest;

// Well-conditioned results agree to this relative tolerance; results that
// pass through the inverse of a weighted cross product get a looser one.
constexpr double kTight = 1e-10;
constexpr double kLoose = 1e-7;

TEST_F(TableTest, LogLinearModelMatchesR) {
  MakeCalculator(true);
  kmTable table;
  FillOneKinkmark(table, kmModelSelection::kBIC);
  WriteAPCs(table);

  EXPECT_EQ(table.GetNObs(), 10);
  EXPECT_EQ(table.GetNParm(), 4);
  EXPECT_EQ(table.GetDF(), 6);
  EXPECT_TRUE(km_test::RelNear(table.GetSSE(), kQ, kTight));
  EXPECT_TRUE(km_test::RelNear(table.GetCMSE(), kQ / 6.0, kTight));
  EXPECT_DOUBLE_EQ(table.GetUDF(), 6.0);

  // Kinkmark at 5.5 + 2000; profile rows 3 and 4 are within the threshold,
  // widened to row 2 (row 5 holds 1e50): grid values 4 and 6.
  ASSERT_EQ(table.GetNumKinkmarks(), 1);
  EXPECT_DOUBLE_EQ(table.GetKinkmark(0).dEstimate, 2005.5);
  EXPECT_DOUBLE_EQ(table.GetKinkmark(0).dLower, 2004.0);
  EXPECT_DOUBLE_EQ(table.GetKinkmark(0).dUpper, 2006.0);
  EXPECT_TRUE(table.GetKinkmark(0).bComputed);

  struct SegmentCase {
    double dStart, dEnd;
    double dSlope[4];      // estimate, SE, statistic, p-value
    double dIntercept[4];  // on the unshifted scale
    double dAPC[3];        // estimate, lower, upper
  };
  const SegmentCase kSegments[] = {
      {2001.0,
       2005.5,
       {1.5872615535153536, 0.088456239059782282, 17.94403165211013,
        1.9263305484074067e-06},
       {-3173.6474082283689, 177.15577004320983, -17.914445617290866,
        1.9451888113586335e-06},
       {389.03386443651522, 293.8566930220768, 507.21101050911096}},
      {2005.5,
       2010.0,
       {0.37325705042759383, 0.065936412923939217, 5.6608637606380494,
        0.0013059412392213421},
       {-738.96137728586655, 132.37104532846683, -5.5825001264604381,
        0.0014033087783142939},
       {45.245764671052235, 23.604462187198472, 70.676137265403668}}};
  ASSERT_EQ(table.GetNumLineSegments(), 2);
  EXPECT_EQ(table.GetNumParallelLineSegments(), 0);
  for (int j = 0; j < 2; ++j) {
    SCOPED_TRACE("segment " + std::to_string(j + 1));
    const kmLineSegment& s = table.GetLineSegment(j);
    const SegmentCase& c = kSegments[j];
    EXPECT_DOUBLE_EQ(s.range.dStart, c.dStart);
    EXPECT_DOUBLE_EQ(s.range.dEnd, c.dEnd);
    EXPECT_TRUE(km_test::RelNear(s.slope.dEstimate, c.dSlope[0], kTight));
    EXPECT_TRUE(km_test::RelNear(s.slope.dStdErr, c.dSlope[1], kLoose));
    EXPECT_TRUE(km_test::RelNear(s.slope.dTestStat, c.dSlope[2], kLoose));
    EXPECT_TRUE(km_test::RelNear(s.slope.dPValue, c.dSlope[3], 1e-5));
    EXPECT_TRUE(s.slope.bComputed);
    EXPECT_TRUE(
        km_test::RelNear(s.intercept.dEstimate, c.dIntercept[0], kTight));
    EXPECT_TRUE(km_test::RelNear(s.intercept.dStdErr, c.dIntercept[1], kLoose));
    EXPECT_TRUE(
        km_test::RelNear(s.intercept.dTestStat, c.dIntercept[2], kLoose));
    EXPECT_TRUE(km_test::RelNear(s.intercept.dPValue, c.dIntercept[3], 1e-5));
    EXPECT_TRUE(km_test::RelNear(s.apc.dEstimate, c.dAPC[0], kTight));
    EXPECT_TRUE(km_test::RelNear(s.apc.dLower, c.dAPC[1], kLoose));
    EXPECT_TRUE(km_test::RelNear(s.apc.dUpper, c.dAPC[2], kLoose));
    EXPECT_TRUE(s.apc.bComputed);
    // The APC test is the slope's t test.
    EXPECT_TRUE(km_test::RelNear(s.apc.dTestStat, c.dSlope[2], kLoose));
    EXPECT_TRUE(km_test::RelNear(s.apc.dPValue, c.dSlope[3], 1e-5));
  }

  ASSERT_EQ(table.GetNumSlopeDiffs(), 1);
  const kmBetaCoefficient& d = table.GetSlopeDiff(0);
  EXPECT_TRUE(km_test::RelNear(d.dEstimate, kBeta[4], kTight));
  EXPECT_TRUE(km_test::RelNear(d.dStdErr, 0.1103273165534156, kLoose));
  EXPECT_TRUE(km_test::RelNear(d.dTestStat, -11.003662021454065, kLoose));
  EXPECT_TRUE(km_test::RelNear(d.dPValue, 3.348956629434241e-05, 1e-5));

  // Intercept and slope alternate per segment; the segments are fitted
  // apart, so the cross-segment blocks are 0.
  const double kCov[4][4] = {{31384.166859602636, -15.670529849331357, 0, 0},
                             {-15.670529849331357, 0.0078245062286013516, 0, 0},
                             {0, 0, 17522.093641351024, -8.728069711591413},
                             {0, 0, -8.728069711591413, 0.0043476105492762191}};
  const Matrix& cov = table.GetCovariance();
  ASSERT_EQ(cov.Nrows(), 4);
  ASSERT_EQ(cov.Ncols(), 4);
  for (int r = 1; r <= 4; ++r) {
    for (int c = 1; c <= 4; ++c) {
      SCOPED_TRACE("covariance " + std::to_string(r) + "," + std::to_string(c));
      if (kCov[r - 1][c - 1] == 0.0) {
        EXPECT_NEAR(cov(r, c), 0.0, 1e-9);
      } else {
        EXPECT_TRUE(km_test::RelNear(cov(r, c), kCov[r - 1][c - 1], kLoose));
      }
    }
  }
}

TEST_F(TableTest, KinkmarkIntervalInvertsTheProfileF) {
  // Threshold T = Q + MSE qf(0.95, 1, 6) = 2.3844823683934857 (R). Grid
  // values 3..7 hold 2003..2007 after the origin is added back; a bound
  // that would exclude the estimate, 2005.5, moves to it.
  constexpr double X = 1e50;
  struct Case {
    const char* sName;
    double dProfile[5];
    double dLower, dUpper;
    bool bComputed;
  };
  const Case kCases[] = {
      {"rows 3-4 within, widened below, 1e50 above",
       {X, 3.0, 1.5, 2.0, X},
       2004.0,
       2006.0,
       true},
      {"widened on both sides, the upper bound to the estimate",
       {9.0, 2.0, 9.0, 9.0, 9.0},
       2003.0,
       2005.5,
       true},
      {"value exactly at the threshold counts",
       {X, X, 2.3844823683934857, X, X},
       2005.0,
       2005.5,
       true},
      {"no row within: the whole grid",
       {5.0, 5.0, 5.0, 5.0, 5.0},
       2003.0,
       2007.0,
       true},
      {"first and last rows within",
       {2.0, 9.0, 9.0, 9.0, 1.2},
       2003.0,
       2007.0,
       true},
  };
  MakeCalculator(true);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    Matrix mProfile(5, 1);
    for (int r = 1; r <= 5; ++r) mProfile(r, 1) = c.dProfile[r - 1];
    kmTable table;
    FillOneKinkmark(table, kmModelSelection::kBIC, &mProfile);
    ASSERT_EQ(table.GetNumKinkmarks(), 1);
    EXPECT_EQ(table.GetKinkmark(0).bComputed, c.bComputed);
    if (c.bComputed) {
      EXPECT_DOUBLE_EQ(table.GetKinkmark(0).dLower, c.dLower);
      EXPECT_DOUBLE_EQ(table.GetKinkmark(0).dUpper, c.dUpper);
    }
  }
}

TEST_F(TableTest, CriterionByMethod) {
  // BIC  = log(Q/n) + 4 log(n)/n; BIC3 = log(Q/n) + 5 log(n)/n;
  // MBIC with mWork = diag(2,3,4): L <- log(det(M)); G <- lgamma((n-4)/2)
  //   log(Q/n) + 2 log(n)/n + L/n - 2 G/n - 4 log(Q)/n
  constexpr double kBIC = -1.204663752224989;
  constexpr double kBIC3 = -0.9744052429255845;
  constexpr double kMBIC = -1.5567597453295681;
  struct Case {
    const char* sName;
    kmModelSelection criterion;
    double dQ;
    double dBIC, dBIC3;
  };
  const Case kCases[] = {
      {"permutation tests: BIC", kmModelSelection::kPermutationTest, kQ, kBIC,
       0.0},
      {"BIC", kmModelSelection::kBIC, kQ, kBIC, 0.0},
      {"MBIC", kmModelSelection::kMBIC, kQ, kMBIC, 0.0},
      {"BIC3", kmModelSelection::kBIC3, kQ, kBIC3, 0.0},
      {"data-dependent: BIC and BIC3", kmModelSelection::kDataDependent, kQ,
       kBIC, kBIC3},
      {"zero SSE", kmModelSelection::kDataDependent, 0.0, -999.0, 0.0},
      {"negative SSE under MBIC", kmModelSelection::kMBIC, -1.0, -999.0, 0.0},
  };
  MakeCalculator(true);
  CalcMembers(*calc_).mWork.ReSize(3);
  CalcMembers(*calc_).mWork = 0.0;
  CalcMembers(*calc_).mWork(1, 1) = 2.0;
  CalcMembers(*calc_).mWork(2, 2) = 3.0;
  CalcMembers(*calc_).mWork(3, 3) = 4.0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmTable table;
    FillOneKinkmark(table, c.criterion, nullptr, c.dQ);
    EXPECT_TRUE(km_test::RelNear(table.GetBIC(), c.dBIC, kTight));
    EXPECT_DOUBLE_EQ(table.GetBIC3(), c.dBIC3);
  }
}

TEST_F(TableTest, NoKinkmarkIsOneSegmentOverTheData) {
  // R: X0 <- cbind(1, x); f0 <- lm(y ~ X0 - 1, weights = v)
  //    coef: 2.6777395724323512, 1.0015846912841979; Q 12.227053371206452
  MakeCalculator(true);
  ColumnVector vBeta(2);
  vBeta << 2.6777395724323512 << 1.0015846912841979;
  ColumnVector vQ(1);
  vQ(1) = 12.227053371206452;
  kmTable table;
  calc_->Table(false, 0, ColumnVector(0), vQ, vBeta, 0, Matrix(), &table,
               kmModelSelection::kBIC, 2000.0);
  WriteAPCs(table);
  EXPECT_EQ(table.GetNumKinkmarks(), 0);
  EXPECT_EQ(table.GetNumSlopeDiffs(), 0);
  EXPECT_EQ(table.GetNParm(), 2);
  EXPECT_EQ(table.GetDF(), 8);
  ASSERT_EQ(table.GetNumLineSegments(), 1);
  EXPECT_DOUBLE_EQ(table.GetLineSegment(0).range.dStart, 2001.0);
  EXPECT_DOUBLE_EQ(table.GetLineSegment(0).range.dEnd, 2010.0);
  EXPECT_TRUE(km_test::RelNear(table.GetLineSegment(0).intercept.dEstimate,
                               2.6777395724323512 - 2000 * 1.0015846912841979,
                               kTight));
  EXPECT_TRUE(km_test::RelNear(table.GetLineSegment(0).apc.dEstimate,
                               172.25928809220537, kTight));
  EXPECT_EQ(table.GetCovariance().Nrows(), 2);
  EXPECT_EQ(table.GetCovariance().Ncols(), 2);
}

TEST_F(TableTest, LinearModelKeepsTheDefaultAPC) {
  MakeCalculator(false);
  kmTable table;
  FillOneKinkmark(table, kmModelSelection::kBIC);
  WriteAPCs(table);
  ASSERT_EQ(table.GetNumLineSegments(), 2);
  for (int j = 0; j < 2; ++j) {
    EXPECT_DOUBLE_EQ(table.GetLineSegment(j).apc.dEstimate, 0.0);
    EXPECT_FALSE(table.GetLineSegment(j).apc.bComputed);
    EXPECT_TRUE(table.GetLineSegment(j).slope.bComputed);
  }
}

TEST_F(TableTest, ResidualDegreesOfFreedomDecideTheInterval) {
  // A one-kinkmark model has 4 parameters. With 3 observations it leaves no
  // residual degree of freedom: the MSE is 0, so the interval holds only the
  // rows whose profile does not exceed Q itself (row 3), widened to rows 2-4,
  // reaches down to the estimate, and is not computed. With 5 it leaves
  // exactly one, the least an interval needs: MSE = Q, threshold Q + MSE
  // qf(0.95, 1, 1) = 0.5 + 0.5 * 161.4476387 (R) takes rows 1-5, and the
  // interval reaches down to the estimate.
  struct Case {
    int n;
    int iDF;
    double dMSE;
    double dLower, dUpper;
    bool bComputed;
  };
  const Case kCases[] = {{3, -1, 0.0, 2001.5, 2006.0, false},
                         {5, 1, 0.5, 2001.5, 2007.0, true}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.n);
    MakeCalculator(true, c.n);
    ColumnVector vTau(1);
    vTau(1) = 1.5;
    ColumnVector vQ(1);
    vQ(1) = 0.5;
    ColumnVector vBeta(5);
    vBeta << 1.0 << 1.5 << 1.0 << 0.5 << -0.5;
    Matrix mProfile(5, 1);
    mProfile(1, 1) = 9.0;
    mProfile(2, 1) = 9.0;
    mProfile(3, 1) = 0.5;
    mProfile(4, 1) = 0.6;
    mProfile(5, 1) = 50.0;
    kmTable table;
    calc_->Table(false, 1, vTau, vQ, vBeta, 5, mProfile, &table,
                 kmModelSelection::kBIC, 2000.0);
    EXPECT_DOUBLE_EQ(table.GetCMSE(), c.dMSE);
    EXPECT_EQ(table.GetDF(), c.iDF);
    EXPECT_DOUBLE_EQ(table.GetKinkmark(0).dLower, c.dLower);
    EXPECT_DOUBLE_EQ(table.GetKinkmark(0).dUpper, c.dUpper);
    EXPECT_EQ(table.GetKinkmark(0).bComputed, c.bComputed);
  }
}

TEST_F(TableTest, RefusedInputsCarryTheCallPath) {
  MakeCalculator(true);
  struct Case {
    const char* sName;
    bool bComparison;
    bool bNullTable;
    int iBetaLength;
  };
  const Case kCases[] = {{"null table", false, true, 5},
                         {"comparison", true, false, 5},
                         {"short coefficients", false, false, 4}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    ColumnVector vTau(1);
    vTau(1) = 5.5;
    ColumnVector vQ(1);
    vQ(1) = kQ;
    ColumnVector vBeta(c.iBetaLength);
    for (int i = 1; i <= c.iBetaLength; ++i) vBeta(i) = kBeta[i - 1];
    Matrix mProfile(5, 1);
    mProfile = 1.0;
    kmTable table;
    const KmException e = km_test::CatchKmException([&] {
      calc_->Table(c.bComparison, 1, vTau, vQ, vBeta, 5, mProfile,
                   c.bNullTable ? nullptr : &table, kmModelSelection::kBIC,
                   2000.0);
    });
    EXPECT_NE(std::string(e.GetCallPath()).find("Table()"), std::string::npos);
    EXPECT_EQ(table.GetNumLineSegments(), 0);
  }
}

}  // namespace
