// Response simulation, the shift of a fit back to the data's scale, the
// running sums of resampled coefficients and the long result layout.
#include <gtest/gtest.h>
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "stats/MTRandomGenerator.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::Vec;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

Matrix Diagonal(const std::vector<double>& d) {
  const int n = static_cast<int>(d.size());
  Matrix m(n, n);
  m = 0.0;
  for (int i = 1; i <= n; ++i) m(i, i) = d[i - 1];
  return m;
}

MTRandomGenerator Seeded(uint32_t seed) {
  MTRandomGenerator g;
  g.sgenrand(seed);
  return g;
}

// The model used by the two exact cases: b0 = 1, b1 = 0.5, one kinkmark at
// 1.5 with slope change 1.0, at x = (1, 2, 3): fitted = (1.5, 2.5, 4.0).
const ColumnVector kX = Vec({1.0, 2.0, 3.0});
const ColumnVector kTau = Vec({1.5});
const ColumnVector kDelta = Vec({1.0});

// The first three draws after sgenrand(2024) are
//   u = (0.58365027606487274, 0.77361061447300017, 0.51767060346901417).
TEST(SimulateCI, NormalModeScalesStandardNormalDrawsBySigmaTimesL) {
  // R: u <- c(0.58365027606487274, 0.77361061447300017, 0.51767060346901417)
  //    c(1.5, 2.5, 4.0) + 2 * c(1, 2, 3) * qnorm(u)
  const double kExpected[] = {1.9224814137313244, 5.5031618443279537,
                              4.2658487662689453};
  MTRandomGenerator g = Seeded(2024);
  ColumnVector y;
  BaseKMRegModel::simulate_CI(y, g, kTau, kDelta, 1.0, 0.5, 2.0,
                              Diagonal({1, 2, 3}), kX, Vec({0.0}), 0.0, 0.0, 1,
                              "Simulating");
  ASSERT_EQ(y.Nrows(), 3);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(RelNear(y(i), kExpected[i - 1], 1e-13)) << i;
  }
}

TEST(SimulateCI, QuantileModeDrawsEmpiricalQuantilesOfTheSample) {
  // R: s <- c(-0.7, -0.2, 0.1, 0.4, 1.3); q <- quantile(s, u, type = 7)
  //    c(1.5, 2.5, 4.0) + c(1, 2, 3) * q      (sigma is not used)
  const double q[] = {0.20038033127784730, 0.48499821210280064,
                      0.12120472416281700};
  MTRandomGenerator g = Seeded(2024);
  ColumnVector y;
  BaseKMRegModel::simulate_CI(
      y, g, kTau, kDelta, 1.0, 0.5, 99.0, Diagonal({1, 2, 3}), kX,
      Vec({-0.7, -0.2, 0.1, 0.4, 1.3}), 0.0, 0.0, 1, "SimulatingQuantile");
  EXPECT_TRUE(RelNear(y(1), 1.5 + 1 * q[0], 1e-13));
  EXPECT_TRUE(RelNear(y(2), 2.5 + 2 * q[1], 1e-13));
  EXPECT_TRUE(RelNear(y(3), 4.0 + 3 * q[2], 1e-13));
}

// The extended samples E of three residual samples, worked by hand:
//  - s = (-2, -1, 0, 1, 2): median 0, MAD 1, r = 5.189; both ends at
//    -/+ 5.189 because the sample lies inside them;
//  - s = (1, 1, 1, 1, 3), d = 2.5 - 0.5 = 2: MAD 0, so the ends step out by
//    (2/5) d = 0.8: 0.2 and 3.8;
//  - s = (-20, -1, 0, 1, 2), d = 1: the outlier lies below -5.189, so the
//    lower end is -20 - 0.4; the upper end is 5.189.
struct ExtendedSampleCase {
  std::vector<double> sample;
  double upperBound, lowerBound;
  std::vector<double> extended;
};
const ExtendedSampleCase kExtendedCases[] = {
    {{-2, -1, 0, 1, 2}, 0.0, 0.0, {-5.189, -2, -1, 0, 1, 2, 5.189}},
    {{1, 1, 1, 1, 3}, 2.5, 0.5, {0.2, 1, 1, 1, 1, 3, 3.8}},
    {{-20, -1, 0, 1, 2}, 1.0, 0.0, {-20.4, -20, -1, 0, 1, 2, 5.189}},
};

// e = E(j) + (E(j+1) - E(j)) t with j = floor(u (n + 1)) + 1.
double FromBin(const std::vector<double>& E, double u, double t) {
  const int n = static_cast<int>(E.size()) - 2;
  const int j = static_cast<int>(std::floor(u * (n + 1))) + 1;
  return E[j - 1] + (E[j] - E[j - 1]) * t;
}

TEST(SimulateCI, EmpiricalModesInterpolateInTheExtendedSample) {
  const int n = 300;
  ColumnVector x(n);
  for (int i = 1; i <= n; ++i) x(i) = i;
  const Matrix L = Diagonal(std::vector<double>(n, 1.0));
  for (const ExtendedSampleCase& c : kExtendedCases) {
    SCOPED_TRACE(c.sample[0]);
    const ColumnVector s = Vec(c.sample);

    // "SimulatingEmpiricalCDF" with the bin switch: u picks the bin, a
    // second draw the place in it.
    MTRandomGenerator g = Seeded(77);
    MTRandomGenerator replay = Seeded(77);
    ColumnVector y;
    BaseKMRegModel::simulate_CI(y, g, ColumnVector(), ColumnVector(), 0.0, 0.0,
                                1.0, L, x, s, c.upperBound, c.lowerBound, 1,
                                "SimulatingEmpiricalCDF");
    double dMin = 1e300;
    double dMax = -1e300;
    for (int i = 1; i <= n; ++i) {
      const double u = replay.genrand();
      const double u2 = replay.genrand();
      EXPECT_NEAR(y(i), FromBin(c.extended, u, u2), 1e-12) << i;
      dMin = std::min(dMin, y(i));
      dMax = std::max(dMax, y(i));
    }
    // Draws reach beyond the sample into the end bins.
    EXPECT_LT(dMin, c.sample.front());
    EXPECT_GT(dMax, c.sample.back());
    EXPECT_GE(dMin, c.extended.front());
    EXPECT_LE(dMax, c.extended.back());

    // Connected lines: one draw, the fractional part places it in the bin.
    g = Seeded(78);
    replay = Seeded(78);
    BaseKMRegModel::simulate_CI(y, g, ColumnVector(), ColumnVector(), 0.0, 0.0,
                                1.0, L, x, s, c.upperBound, c.lowerBound, 1,
                                "SimulatingEmpiricalCDFConnectedLines");
    for (int i = 1; i <= n; ++i) {
      const double u = replay.genrand();
      const double scaled = u * (c.sample.size() + 1);
      EXPECT_NEAR(y(i), FromBin(c.extended, u, scaled - std::floor(scaled)),
                  1e-12)
          << i;
    }
  }
}

TEST(SimulateCI, EmpiricalModeWithoutBinSwitchStaysInsideTheBin) {
  // Without the bin switch the place in the bin is the fractional part of
  // u (n + 1), as for connected lines (a weight in [-1, 0) would reach
  // outside the bin), and only one draw is taken per value.
  const ColumnVector s = Vec({-2, -1, 0, 1, 2});
  MTRandomGenerator a = Seeded(5);
  MTRandomGenerator b = Seeded(5);
  ColumnVector ya;
  ColumnVector yb;
  const Matrix L = Diagonal({1, 1, 1, 1});
  const ColumnVector x = Vec({1, 2, 3, 4});
  BaseKMRegModel::simulate_CI(ya, a, ColumnVector(), ColumnVector(), 0, 0, 1, L,
                              x, s, 0, 0, 0, "SimulatingEmpiricalCDF");
  BaseKMRegModel::simulate_CI(yb, b, ColumnVector(), ColumnVector(), 0, 0, 1, L,
                              x, s, 0, 0, 0,
                              "SimulatingEmpiricalCDFConnectedLines");
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(ya(i), yb(i)) << i;
  EXPECT_EQ(a.genrand(), b.genrand());
}

TEST(SimulateCI, RefusesUnknownModeAndEmptySample) {
  MTRandomGenerator g = Seeded(1);
  ColumnVector y;
  const Matrix L = Diagonal({1, 1, 1});
  EXPECT_THROW(BaseKMRegModel::simulate_CI(y, g, kTau, kDelta, 0, 0, 1, L, kX,
                                           Vec({0.0}), 0, 0, 1, "simulating"),
               KmException);
  for (const char* mode : {"SimulatingQuantile", "SimulatingEmpiricalCDF",
                           "SimulatingEmpiricalCDFConnectedLines"}) {
    SCOPED_TRACE(mode);
    EXPECT_THROW(BaseKMRegModel::simulate_CI(y, g, kTau, kDelta, 0, 0, 1, L, kX,
                                             ColumnVector(), 0, 0, 1, mode),
                 KmException);
  }
}

TEST(PrepareResamplingData, RunningSumsOfSlopeAndSlopeChanges) {
  // Coefficients (intercept, slope, two slope changes), offset a = 1, b = 2:
  // slopes 0.1, 0.1 + 0.02, 0.12 - 0.05.
  OneDimensionArray<ColumnVector> source;
  source.Resize(2);
  source[0] = Vec({1.0, 0.1, 0.02, -0.05});
  source[1] = Vec({2.0, -0.2, 0.5, 0.25});
  OneDimensionArray<ColumnVector> out;
  BaseKMRegModel::prepare_ResamplingData(out, 1, 2, source);
  ASSERT_EQ(out.GetSize(), 2);
  ASSERT_EQ(out[0].Nrows(), 3);
  EXPECT_DOUBLE_EQ(out[0](1), 0.1);
  EXPECT_DOUBLE_EQ(out[0](2), 0.12);
  EXPECT_DOUBLE_EQ(out[0](3), 0.07);
  EXPECT_DOUBLE_EQ(out[1](1), -0.2);
  EXPECT_DOUBLE_EQ(out[1](2), 0.3);
  EXPECT_DOUBLE_EQ(out[1](3), 0.55);
}

TEST(ConvertAAPCResultsShortToLong, DropsTheDegreesOfFreedom) {
  const ColumnVector shortResult = Vec({1, 2, 3, 4, 5, 6, 7, 8, 9});
  const ColumnVector longResult =
      BaseKMRegModel::convert_AAPCResults_shorttolong(shortResult,
                                                      Vec({2000, 2010}));
  const std::vector<double> kExpected = {2000, 2010, 1, 2, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(km_test::ToVector(longResult), kExpected);
}

TEST(ConvertAAPCResultsShortToLong, ShortInputIsAKmException) {
  const KmException e = km_test::CatchKmException([] {
    BaseKMRegModel::convert_AAPCResults_shorttolong(Vec({1, 2, 3}),
                                                    Vec({0, 1}));
  });
  EXPECT_STREQ(e.GetSource(),
               "BaseKMRegModel::convert_AAPCResults_shorttolong()");
}

// The normal matrix X'X of the continuous design (1, x, (x - t)+) over xs.
Matrix NormalMatrix(const std::vector<double>& xs, double t) {
  Matrix X(static_cast<int>(xs.size()), 3);
  for (size_t r = 0; r < xs.size(); ++r) {
    const int i = static_cast<int>(r) + 1;
    X(i, 1) = 1.0;
    X(i, 2) = xs[r];
    X(i, 3) = xs[r] > t ? xs[r] - t : 0.0;
  }
  return X.t() * X;
}

TEST(UpdateResampledResponse, MovesAFitOnShiftedXToTheDataScale) {
  // A fit of y = 3 + 0.5 x' - 0.2 (x' - 4)+ on x' = x - 1990 (x = 1990..2000)
  // is y = (3 - 1990 * 0.5) + 0.5 x - 0.2 (x - 1994)+ on x; its normal
  // matrix is the one built from x itself.
  const double c = 1990.0;
  std::vector<double> xShifted;
  std::vector<double> xData;
  for (int i = 0; i <= 10; ++i) {
    xShifted.push_back(i);
    xData.push_back(c + i);
  }
  KMRegFitRecord record;
  record.p0 = 2;
  record.beta = Vec({3.0, 0.5, -0.2});
  record.tau = Vec({4.0});
  record.tauInterval = Vec({5.0, 3.0});
  record.stackedX = Vec(xShifted);
  record.stackedDesignX = Vec(xShifted);
  record.normalMatrix = NormalMatrix(xShifted, 4.0);
  record.responseBetas.Resize(1);
  record.responseBetas[0] = Vec({1.0, 2.0, 0.1});
  record.responseTaus.Resize(1);
  record.responseTaus[0] = Vec({6.0});
  record.fit.jump = 0;
  record.fit.jumpLocation = 7.0;

  BaseKMRegModel::update_ResampledResponse(record, c);

  EXPECT_DOUBLE_EQ(record.beta(1), 3.0 - c * 0.5);
  EXPECT_DOUBLE_EQ(record.beta(2), 0.5);
  EXPECT_DOUBLE_EQ(record.beta(3), -0.2);
  EXPECT_DOUBLE_EQ(record.tau(1), 1994.0);
  EXPECT_DOUBLE_EQ(record.tauInterval(1, 1), 1995.0);
  EXPECT_DOUBLE_EQ(record.tauInterval(2, 1), 1993.0);
  EXPECT_DOUBLE_EQ(record.stackedX(11), 2000.0);
  EXPECT_DOUBLE_EQ(record.stackedDesignX(1), 1990.0);
  EXPECT_DOUBLE_EQ(record.responseBetas[0](1), 1.0 - c * 2.0);
  EXPECT_DOUBLE_EQ(record.responseTaus[0](1), 1996.0);
  // The jump location moves only with the jump on.
  EXPECT_DOUBLE_EQ(record.fit.jumpLocation, 7.0);

  const Matrix expected = NormalMatrix(xData, 1994.0);
  for (int r = 1; r <= 3; ++r) {
    for (int col = 1; col <= 3; ++col) {
      EXPECT_TRUE(RelNear(record.normalMatrix(r, col), expected(r, col), 1e-12))
          << r << "," << col;
    }
  }
}

TEST(UpdateResampledResponse, ParallelModelMovesEveryIntercept) {
  KMRegFitRecord record;
  record.p0 = 3;
  record.beta = Vec({1.0, 2.0, 0.25, 0.5});
  record.fit.jump = 1;
  record.fit.jumpLocation = 3.0;
  BaseKMRegModel::update_ResampledResponse(record, 4.0);
  EXPECT_DOUBLE_EQ(record.beta(1), 0.0);
  EXPECT_DOUBLE_EQ(record.beta(2), 1.0);
  EXPECT_DOUBLE_EQ(record.beta(3), 0.25);
  EXPECT_DOUBLE_EQ(record.fit.jumpLocation, 7.0);
}

}  // namespace
