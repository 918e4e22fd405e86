// The search-and-refit of one data set: counts, scale of the results, the
// refit's APC and AAPC tables and goodness of fit, the jump switch, the
// resampling mode and the caller's prepared design.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "foundation/KmException.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFit.h"
#include "models/KMRegFitRecord.h"
#include "models/MatrixBuilders.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::ToVector;
using km_test::Vec;

// Results of a weighted search and refit against R's QR fits.
constexpr double kFitRelTol = 1e-9;
// The intercept at x = 0 is about 20 times its value at the first year:
// rounding grows with the move back to the data's scale.
constexpr double kInterceptRelTol = 1e-8;
constexpr double kBoundAbsTol = 1e-6;
constexpr double kPValueAbsTol = 1e-9;

// One series over 1990..2005: a log rate rising by 0.03 a year to 1998 and
// falling by 0.01 after, plus fixed noise. R:
//   x <- 1990:2005
//   noise <- c(0.012,-0.008,0.005,-0.011,0.007,0.002,-0.006,0.009,-0.004,
//              0.010,-0.007,0.003,-0.009,0.006,0.001,-0.005)
//   y <- 3 + ifelse(x <= 1998, 0.03*(x-1990), 0.24 - 0.01*(x-1998)) + noise
//   y2 <- y + 0.5*rev(noise)
//   y3 <- 2 + ifelse(x <= 2001, 0.01*(x-1990), 0.11 + 0.04*(x-2001)) + noise
const std::vector<double> kY = {3.012,
                                3.0219999999999998,
                                3.0649999999999999,
                                3.0789999999999997,
                                3.1270000000000002,
                                3.1519999999999997,
                                3.1740000000000004,
                                3.2189999999999999,
                                3.2360000000000002,
                                3.2399999999999998,
                                3.2130000000000001,
                                3.2130000000000001,
                                3.1910000000000003,
                                3.1959999999999997,
                                3.181,
                                3.165};
const std::vector<double> kY2 = {3.0095000000000001,
                                 3.0225,
                                 3.0680000000000001,
                                 3.0744999999999996,
                                 3.1285000000000003,
                                 3.1484999999999999,
                                 3.1790000000000003,
                                 3.2170000000000001,
                                 3.2405000000000004,
                                 3.2369999999999997,
                                 3.214,
                                 3.2164999999999999,
                                 3.1855000000000002,
                                 3.1984999999999997,
                                 3.177,
                                 3.1709999999999998};
const std::vector<double> kY3 = {2.012,
                                 2.0019999999999998,
                                 2.0249999999999999,
                                 2.0189999999999997,
                                 2.0470000000000002,
                                 2.0519999999999996,
                                 2.0540000000000003,
                                 2.0789999999999997,
                                 2.0760000000000001,
                                 2.0999999999999996,
                                 2.093,
                                 2.113,
                                 2.141,
                                 2.1959999999999997,
                                 2.2309999999999999,
                                 2.2650000000000001};

// Best single kinkmark over the grid 1992..2003 (two distinct values left
// out at each end), by brute force. R:
//   best <- function(yy) {
//     r <- sapply(1992:2003, function(t)
//            sum(resid(lm(yy ~ x + pmax(x - t, 0)))^2))
//     t <- (1992:2003)[which.min(r)]
//     list(tau = t, fit = lm(yy ~ x + pmax(x - t, 0)), rss = min(r)) }
//   coef(best(y)$fit); best(y)$rss
constexpr double kTau = 1998;
constexpr double kRss = 0.0008221460409745297;
const std::vector<double> kBeta = {-56.499874999999982, 0.029900193798449604,
                                   -0.040256921373200437};

// The refit's tables. Slopes from the continuous fit; standard errors from
// the segmented weighted fit (observations within h of the kinkmark
// down-weighted). R, continuing:
//   cf <- coef(best(y)$fit); slopes <- c(cf[2], cf[2] + cf[3]); N <- 16
//   h <- 0.5 * 0.117 * N * (log(log(N)))^0.6 / sqrt(N)
//   w <- ifelse(abs(x - 1998)/h < 1, abs(x - 1998)/h, 1)
//   I1 <- as.numeric(x <= 1998); I2 <- 1 - I1
//   Z <- cbind(I1, I1*x, I2, I2*x); M <- diag(w^2)
//   ZMZ <- t(Z) %*% M %*% Z; co <- solve(ZMZ, t(Z) %*% M %*% y)
//   e <- y - Z %*% co; df <- sum(w) - 4
//   Cov <- drop(t(e) %*% M %*% e)/df * solve(ZMZ)
//   se <- sqrt(c(Cov[2,2], Cov[4,4]))
//   APC rows: pc(b), pc(b -/+ qt(0.975, df) se), b/se, 2*(1 - pt(|b/se|, df))
//   AAPC over (1990, 2005): ww <- c(8, 7)/15; A <- sum(ww*slopes)
//   sd <- sqrt(sum((ww*se)^2)); pc(A -/+ qnorm(0.975) sd), A/sd,
//   2*(1 - pnorm(abs(A/sd)))
const double kApcRows[2][10] = {
    {1990, 1998, 0.029900193798449604, 0.0013061546585072001,
     3.0351693332763885, 2.7393864105309751, 3.3318038042005726, 1,
     22.891771356251517, 1.2495826595682047e-10},
    {1998, 2005, -0.010356727574750833, 0.0015997062191564074,
     -1.0303281340218406, -1.378180644565774, -0.68124870057298947, 1,
     -6.4741434713008568, 4.5874221949571137e-05}};
const double kAapcRow[10] = {1990,
                             2005,
                             0.011113630490956065,
                             0.0010210680658059113,
                             1.1175616298596314,
                             0.91540179308740033,
                             1.3201264454445694,
                             1,
                             10.884318943208031,
                             0};

// Goodness of fit with the identity weighting. R:
//   fv <- fitted(best(y)$fit); ev <- resid(best(y)$fit)
//   Qt <- sum((y-mean(y))^2); Qm <- sum((fv-mean(fv))^2)
//   Qe <- sum((ev-mean(ev))^2); R2 <- Qm/(Qm+Qe); R2 - 3*(1-R2)/(16-4)
constexpr double kQt = 0.081529437500000107;
constexpr double kQm = 0.080707291459025512;
constexpr double kQe = 0.0008221460409745297;
constexpr double kR2 = 0.98991596083347777;
constexpr double kAdjR2 = 0.98739495104184716;

std::vector<double> Years(double first, int n) {
  std::vector<double> x;
  for (int i = 0; i < n; ++i) x.push_back(first + i);
  return x;
}

// A one-series template with independent, equal-variance errors, one common
// intercept and the default grid (two distinct values left out at each end,
// no points between values).
KMRegFit MakeTemplate(const std::vector<double>& x,
                      const std::vector<double>& y, int k) {
  KMRegFit fit;
  fit.seriesSet.labels.Resize(1);
  fit.seriesSet.xValues.Resize(1);
  fit.seriesSet.yValues.Resize(1);
  fit.seriesSet.xValues[0] = Vec(x);
  fit.seriesSet.yValues[0] = Vec(y);
  const NEWMAT::Matrix I = make_IdentityMatrix(static_cast<int>(x.size()));
  fit.weight = I;
  fit.covariance = I;
  fit.transform = I;
  fit.backTransform = I;
  fit.modelType = 1;
  fit.k = k;
  return fit;
}

void ExpectEstimateRow(const NEWMAT::Matrix& m, int r, const double* e) {
  for (int c : {1, 2, 3, 4, 5, 9}) {
    EXPECT_TRUE(RelNear(m(r, c), e[c - 1], kFitRelTol)) << "column " << c;
  }
  EXPECT_NEAR(m(r, 6), e[5], kBoundAbsTol);
  EXPECT_NEAR(m(r, 7), e[6], kBoundAbsTol);
  EXPECT_EQ(m(r, 8), e[7]);
  EXPECT_NEAR(m(r, 10), e[9], kPValueAbsTol);
}

// The full record of the observed series, on the scale of the years.
void ExpectObservedFit(const KMRegFitRecord& r) {
  EXPECT_EQ(r.n, 16);
  EXPECT_EQ(r.k, 1);
  EXPECT_EQ(r.p0, 2);
  EXPECT_EQ(r.p, 4);
  EXPECT_EQ(r.residualDF, 12.0);
  EXPECT_FALSE(r.perfectFit);
  EXPECT_TRUE(RelNear(r.rss, kRss, kFitRelTol));
  EXPECT_TRUE(RelNear(r.mse, kRss / 12, kFitRelTol));
  ASSERT_EQ(r.tau.Nrows(), 1);
  EXPECT_NEAR(r.tau(1), kTau, 1e-9);
  ASSERT_EQ(r.beta.Nrows(), 3);
  EXPECT_TRUE(RelNear(r.beta(1), kBeta[0], kInterceptRelTol));
  EXPECT_TRUE(RelNear(r.beta(2), kBeta[1], kFitRelTol));
  EXPECT_TRUE(RelNear(r.beta(3), kBeta[2], kFitRelTol));
  ASSERT_EQ(r.stackedX.Nrows(), 16);
  EXPECT_NEAR(r.stackedX(1), 1990, 1e-9);
  EXPECT_NEAR(r.stackedX(16), 2005, 1e-9);

  ASSERT_EQ(r.apcTable.Nrows(), 2);
  ASSERT_EQ(r.apcTable.Ncols(), 10);
  for (int i = 1; i <= 2; ++i) {
    SCOPED_TRACE(i);
    ExpectEstimateRow(r.apcTable, i, kApcRows[i - 1]);
  }
  ASSERT_EQ(r.rangeList.Nrows(), 1);
  EXPECT_NEAR(r.rangeList(1, 1), 1990, 1e-9);
  EXPECT_NEAR(r.rangeList(1, 2), 2005, 1e-9);
  ASSERT_EQ(r.aapcTable.Nrows(), 1);
  ExpectEstimateRow(r.aapcTable, 1, kAapcRow);

  EXPECT_EQ(ToVector(r.gofObserved), kY);
  EXPECT_EQ(r.nResiduals, 16);
  EXPECT_TRUE(RelNear(r.ssTotal, kQt, kFitRelTol));
  EXPECT_TRUE(RelNear(r.ssModel, kQm, kFitRelTol));
  EXPECT_TRUE(RelNear(r.ssResidual, kQe, kFitRelTol));
  EXPECT_TRUE(RelNear(r.ssData, kQm, kFitRelTol));
  EXPECT_TRUE(RelNear(r.rSquared, kR2, kFitRelTol));
  EXPECT_TRUE(RelNear(r.adjustedRSquared, kAdjR2, kFitRelTol));

  // The record keeps its results but not the fit's data and design.
  EXPECT_EQ(r.fit.seriesSet.xValues.GetSize(), 0);
  EXPECT_EQ(r.fit.design.X.Nrows(), 0);
}

TEST(CalcForResampling, SearchAndRefitAgreeWithR) {
  KMRegFitRecord record;
  BaseKMRegModel::calcForResampling(
      record, MakeTemplate(Years(1990, 16), kY, 1), 0, "NO");
  ExpectObservedFit(record);
  // Only the mode "CalcForResampling" fills the per-response slopes.
  EXPECT_EQ(record.responseSlopes.GetSize(), 0);
}

TEST(CalcForResampling, CallersShiftIsAddedBackBeforeTheRefit) {
  // The best-model fit hands in x measured from the first year, with that
  // year as the shift: the refit and its tables are on the years' scale.
  KMRegFit fit = MakeTemplate(Years(0, 16), kY, 1);
  fit.xShift = 1990;
  KMRegFitRecord record;
  BaseKMRegModel::calcForResampling(record, fit, 0, "NO");
  ExpectObservedFit(record);
}

TEST(CalcForResampling, DataStartingAtZeroAreSearchedUnshifted) {
  KMRegFitRecord record;
  BaseKMRegModel::calcForResampling(record, MakeTemplate(Years(0, 16), kY, 1),
                                    1, "NO");
  ASSERT_EQ(record.tau.Nrows(), 1);
  EXPECT_EQ(record.tau(1), kTau - 1990);
  EXPECT_TRUE(RelNear(record.rss, kRss, kFitRelTol));
  // R: cf[1] + 1990 * cf[2], the intercept at the first year.
  EXPECT_TRUE(RelNear(record.beta(1), kBeta[0] + 1990 * kBeta[1], kFitRelTol));
  EXPECT_TRUE(RelNear(record.beta(2), kBeta[1], kFitRelTol));
  EXPECT_EQ(record.stackedX(1), 0.0);
}

TEST(CalcForResampling, SkippingTheRefitLeavesTablesAndFitUntouched) {
  KMRegFitRecord record;
  BaseKMRegModel::calcForResampling(
      record, MakeTemplate(Years(1990, 16), kY, 1), 1, "NO");
  EXPECT_EQ(record.n, 16);
  EXPECT_EQ(record.p, 4);
  EXPECT_TRUE(RelNear(record.mse, kRss / 12, kFitRelTol));
  ASSERT_EQ(record.tau.Nrows(), 1);
  EXPECT_NEAR(record.tau(1), kTau, 1e-9);
  EXPECT_EQ(record.apcTable.Nrows(), 0);
  EXPECT_EQ(record.aapcTable.Nrows(), 0);
  EXPECT_EQ(record.rangeList.Nrows(), 0);
  EXPECT_EQ(record.nResiduals, 0);
  EXPECT_EQ(record.rSquared, 0.0);
  EXPECT_EQ(record.gofObserved.Nrows(), 0);
}

TEST(CalcForResampling, NoKinkmarkGivesOneSegmentOverTheData) {
  KMRegFitRecord record;
  BaseKMRegModel::calcForResampling(
      record, MakeTemplate(Years(1990, 16), kY, 0), 0, "NO");
  EXPECT_EQ(record.p, 2);
  EXPECT_EQ(record.tau.Nrows(), 0);
  ASSERT_EQ(record.apcTable.Nrows(), 1);
  EXPECT_NEAR(record.apcTable(1, 1), 1990, 1e-9);
  EXPECT_NEAR(record.apcTable(1, 2), 2005, 1e-9);
  // The AAPC over the whole range is the APC of the one slope.
  ASSERT_EQ(record.aapcTable.Nrows(), 1);
  EXPECT_TRUE(RelNear(record.aapcTable(1, 5), record.apcTable(1, 5), 1e-12));
}

struct JumpCase {
  const char* name;
  double jumpLocation;
  int expectedP;
  int expectedJumpFlag;
};

const JumpCase kJumpCases[] = {
    {"at the first year", 1990, 4, 0},
    {"at the last year", 2005, 4, 0},
    {"after the data", 2010, 4, 0},
    {"inside the data", 1999.5, 5, 1},
};

TEST(CalcForResampling, JumpStaysOnOnlyStrictlyInsideTheData) {
  for (const JumpCase& c : kJumpCases) {
    SCOPED_TRACE(c.name);
    KMRegFit fit = MakeTemplate(Years(1990, 16), kY, 1);
    fit.jump = 1;
    fit.jumpLocation = c.jumpLocation;
    KMRegFitRecord record;
    BaseKMRegModel::calcForResampling(record, fit, 1, "NO");
    EXPECT_EQ(record.p, c.expectedP);
    EXPECT_EQ(record.residualDF, 16.0 - c.expectedP);
    EXPECT_EQ(record.fit.jump, c.expectedJumpFlag);
    // Only a jump that stays on is fitted: one coefficient more.
    EXPECT_EQ(record.beta.Nrows(), 3 + c.expectedJumpFlag);
  }
}

TEST(CalcForResampling, ResamplingModeGivesTheSlopesOfEveryResponse) {
  // Extra responses: entry 0 is not read; responses 2 and 3 are y2 and y3.
  // R: best(y2): kinkmark 1998, slopes 0.030072674418604735,
  //    -0.010326411960132953; best(y3): kinkmark 2001, slopes
  //    0.0098357142857142497, 0.039564285714285774.
  KMRegFit fit = MakeTemplate(Years(1990, 16), kY, 1);
  fit.responses.Resize(3);
  fit.responses[1] = Vec(kY2);
  fit.responses[2] = Vec(kY3);
  KMRegFitRecord record;
  BaseKMRegModel::calcForResampling(record, fit, 1, "CalcForResampling");
  const double kSlopes[3][2] = {{0.029900193798449604, -0.010356727574750833},
                                {0.030072674418604735, -0.010326411960132953},
                                {0.0098357142857142497, 0.039564285714285774}};
  const double kTaus[3] = {1998, 1998, 2001};
  ASSERT_EQ(record.responseSlopes.GetSize(), 3);
  ASSERT_EQ(record.responseTaus.GetSize(), 3);
  for (int r = 0; r < 3; ++r) {
    SCOPED_TRACE(r);
    ASSERT_EQ(record.responseSlopes[r].Nrows(), 2);
    EXPECT_TRUE(
        RelNear(record.responseSlopes[r](1), kSlopes[r][0], kFitRelTol));
    EXPECT_TRUE(
        RelNear(record.responseSlopes[r](2), kSlopes[r][1], kFitRelTol));
    ASSERT_EQ(record.responseTaus[r].Nrows(), 1);
    EXPECT_NEAR(record.responseTaus[r](1), kTaus[r], 1e-9);
  }
}

TEST(CalcForResampling, OtherModesSkipThePerResponseSlopes) {
  for (const char* mode : {"NO", "calcforresampling", "CalcForResampling "}) {
    SCOPED_TRACE(mode);
    KMRegFit fit = MakeTemplate(Years(1990, 16), kY, 1);
    fit.responses.Resize(2);
    fit.responses[1] = Vec(kY2);
    KMRegFitRecord record;
    BaseKMRegModel::calcForResampling(record, fit, 1, mode);
    EXPECT_EQ(record.responseSlopes.GetSize(), 0);
  }
}

TEST(CalcForResampling, PreparedDesignIsUsedAsItIs) {
  // A design prepared from y3 beside a data set holding y: the search scores
  // the design's responses, so the result is that of y3.
  KMRegFit direct = MakeTemplate(Years(0, 16), kY3, 1);
  KMRegFitRecord expected;
  BaseKMRegModel::calcForResampling(expected, direct, 1, "NO");

  KMRegFit fit = MakeTemplate(Years(0, 16), kY, 1);
  fit.design.weight = fit.weight;
  BaseKMRegModel::prepare_BaseKMRegModel_FittingData(
      fit.design, direct.seriesSet, fit.responses, fit.userLocations,
      fit.useUserLocations, fit.modelType, fit.jump, fit.jumpLocation,
      fit.minObsAtEnds, fit.minObsBetween, fit.gridPointsBetween,
      fit.splineCode);
  KMRegFitRecord record;
  BaseKMRegModel::calcForResampling(record, fit, 1, "NO");
  EXPECT_EQ(record.rss, expected.rss);
  EXPECT_EQ(ToVector(record.tau), ToVector(expected.tau));
  EXPECT_EQ(record.tau(1), 2001 - 1990);
}

TEST(CalcForResampling, TooFewObservationsKeepThePreviousMeanSquare) {
  // Two observations and no kinkmark: p = n = 2, so n - p = 0.
  KMRegFitRecord record;
  record.mse = 123.0;
  BaseKMRegModel::calcForResampling(
      record, MakeTemplate({1990, 1991}, {1.0, 2.5}, 0), 1, "NO");
  EXPECT_EQ(record.p, 2);
  EXPECT_EQ(record.residualDF, 0.0);
  EXPECT_EQ(record.mse, 123.0);
}

TEST(CalcForResampling, ZeroResidualSumOfSquaresSetsThePerfectFitFlag) {
  KMRegFitRecord record;
  BaseKMRegModel::calcForResampling(
      record, MakeTemplate(Years(1990, 6), std::vector<double>(6, 0.0), 0), 1,
      "NO");
  EXPECT_EQ(record.rss, 0.0);
  EXPECT_TRUE(record.perfectFit);
}

TEST(CalcForResampling, SearchWithoutAPlacementLeavesTheRecordUnfitted) {
  // Fault: when the search placed no kinkmarks, moving its results back to
  // the data's scale and refitting read the empty coefficient vector and
  // failed with a matrix index error, even with the refit skipped.
  // Eight years give the candidates 1992..1995: five kinkmarks exceed them,
  // three find no admissible placement.
  for (int k : {5, 3}) {
    for (int skip : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "k " << k << ", skip " << skip);
      KMRegFitRecord record;
      BaseKMRegModel::calcForResampling(
          record,
          MakeTemplate(Years(1990, 8),
                       std::vector<double>(kY3.begin(), kY3.begin() + 8), k),
          skip, "CalcForResampling");
      EXPECT_EQ(record.searchDone, 0);
      EXPECT_EQ(record.rss, std::numeric_limits<double>::infinity());
      EXPECT_FALSE(record.perfectFit);
      EXPECT_EQ(record.n, 8);
      EXPECT_EQ(record.p, 2 + 2 * k);
      EXPECT_EQ(record.beta.Nrows(), 0);
      EXPECT_EQ(record.apcTable.Nrows(), 0);
      EXPECT_EQ(record.responseSlopes.GetSize(), 0);
    }
  }
}

TEST(CalcForResampling, ConcurrentFitsMatchTheirSequentialResults) {
  // The fits of different cohorts run at the same time on worker threads:
  // each must give exactly what it gives alone.
  const std::vector<double>* data[] = {&kY, &kY2, &kY3, &kY};
  constexpr int kThreads = 4;
  KMRegFitRecord alone[kThreads];
  for (int t = 0; t < kThreads; ++t) {
    BaseKMRegModel::calcForResampling(
        alone[t], MakeTemplate(Years(1990, 16), *data[t], 1), 0, "NO");
  }
  KMRegFitRecord together[kThreads];
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      BaseKMRegModel::calcForResampling(
          together[t], MakeTemplate(Years(1990, 16), *data[t], 1), 0, "NO");
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(together[t].rss, alone[t].rss);
    EXPECT_EQ(ToVector(together[t].tau), ToVector(alone[t].tau));
    ASSERT_EQ(together[t].apcTable.Nrows(), alone[t].apcTable.Nrows());
    for (int r = 1; r <= alone[t].apcTable.Nrows(); ++r) {
      for (int c = 1; c <= 10; ++c) {
        const double a = alone[t].apcTable(r, c);
        const double b = together[t].apcTable(r, c);
        EXPECT_TRUE(a == b || (a != a && b != b)) << r << "," << c;
      }
    }
    EXPECT_EQ(together[t].rSquared, alone[t].rSquared);
  }
}

TEST(CalcForResampling, EmptyDataSetIsRefusedWithoutAStandardExceptionLine) {
  // Without observations there is no smallest x to measure from: refused
  // with a clear message before any shift or search, and, being a
  // KmException, without a "Standard exception" line.
  KMRegFit fit;
  fit.seriesSet.labels.Resize(1);
  fit.seriesSet.xValues.Resize(1);
  fit.seriesSet.yValues.Resize(1);
  KMRegFitRecord record;
  testing::internal::CaptureStdout();
  EXPECT_THROW(BaseKMRegModel::calcForResampling(record, fit, 0, "NO"),
               KmException);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
