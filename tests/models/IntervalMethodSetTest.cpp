// APC and AAPC confidence intervals by method, over a fitted model with one
// kinkmark and a fixed set of resampled fits.
#include <gtest/gtest.h>
#include <newmat.h>

#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/KMResamplingInputs.h"
#include "stats/MTRandomGenerator.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::Vec;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

// Percent bounds carry the t quantile's search accuracy (1e-8 relative).
constexpr double kBoundAbsTol = 1e-6;
constexpr double kPValueAbsTol = 1e-12;

// The model: x = 1..20, one kinkmark at 10, segment 1 intercept 1.0 and
// slope 0.05 (se 0.01), segment 2 intercept 1.7 and slope -0.02
// (se 0.008); 20 degrees of freedom; level 0.05 for APC and AAPC, 0.1 for
// the kinkmark.
constexpr double kDF = 20.0;
constexpr double kAlpha = 0.05;
constexpr double kKinkmarkAlpha = 0.1;

OneDimensionArray<Matrix> CoefficientTables() {
  Matrix table(4, 4);
  table = 0.0;
  const double rows[4][2] = {
      {1.0, 0.1}, {0.05, 0.01}, {1.7, 0.12}, {-0.02, 0.008}};
  for (int r = 0; r < 4; ++r) {
    table(r + 1, 1) = rows[r][0];
    table(r + 1, 2) = rows[r][1];
  }
  OneDimensionArray<Matrix> tables;
  tables.Resize(1);
  tables[0] = table;
  return tables;
}

ColumnVector DataX() {
  ColumnVector x(20);
  for (int i = 1; i <= 20; ++i) x(i) = i;
  return x;
}

// Six resamples, the observed fit first:
//   slopes of segment 1: 0.05 | 0.046, 0.052, 0.049, 0.055, 0.044
//   slopes of segment 2: -0.02 | -0.018, -0.025, -0.021, -0.016, -0.023
//   kinkmark:            10 | 9, 11, 10, 12, 10
// Resample 4 keeps its slopes only in its segment-form coefficients.
OneDimensionArray<KMRegFitRecord> Resamples() {
  const double s1[] = {0.046, 0.052, 0.049, 0.055, 0.044};
  const double s2[] = {-0.018, -0.025, -0.021, -0.016, -0.023};
  const double t[] = {9, 11, 10, 12, 10};
  OneDimensionArray<KMRegFitRecord> records;
  records.Resize(6);
  for (int r = 1; r <= 5; ++r) {
    KMRegFitRecord& record = records[r];
    if (r == 3) {
      record.fitStats.theta = Vec({1.0, s1[r - 1], 1.5, s2[r - 1]});
    } else {
      record.segmentSlopes = Vec({s1[r - 1], s2[r - 1]});
    }
    record.tau = Vec({t[r - 1]});
    record.stackedX = DataX();
  }
  return records;
}

// A parametric interval matrix: upper bound 12 (row 1), lower 8 (row 2).
Matrix TauInterval() {
  Matrix m(2, 1);
  m(1, 1) = 12.0;
  m(2, 1) = 8.0;
  return m;
}

// Percent change, lower, upper, flag, statistic, p-value: entries 5 to 10
// of a long result.
struct LongTail {
  double apc, lower, upper, flag, t, p;
};

void ExpectLong(const ColumnVector& L, double start, double end, double est,
                double se, const LongTail& e) {
  ASSERT_EQ(L.Nrows(), 10);
  EXPECT_EQ(L(1), start);
  EXPECT_EQ(L(2), end);
  EXPECT_TRUE(RelNear(L(3), est, 1e-13));
  EXPECT_TRUE(RelNear(L(4), se, 1e-9));
  EXPECT_TRUE(RelNear(L(5), e.apc, 1e-13));
  EXPECT_NEAR(L(6), e.lower, kBoundAbsTol);
  EXPECT_NEAR(L(7), e.upper, kBoundAbsTol);
  EXPECT_EQ(L(8), e.flag);
  EXPECT_TRUE(RelNear(L(9), e.t, 1e-9));
  EXPECT_NEAR(L(10), e.p, kPValueAbsTol);
}

class IntervalMethodSet : public ::testing::Test {
 protected:
  OneDimensionArray<ColumnVector> APC(const std::string& method,
                                      const std::string& setting = "NO") {
    return BaseKMRegModel::calc_APC_CIs(
        kinkmarkRows, 1, Vec({1990, 2010}), tables, Vec({10.0}), TauInterval(),
        kAlpha, kAlpha, kKinkmarkAlpha, kDF, method, setting, "Parallel", "Log",
        "GridSearch", inputs, records, generator);
  }
  ColumnVector AAPC(const std::string& method, double start, double end,
                    const Matrix& covariance = Matrix()) {
    return BaseKMRegModel::calc_AAPC_CIs(
        Vec({start, end}), 1, tables, covariance, Vec({10.0}), DataX(), kAlpha,
        kAlpha, kKinkmarkAlpha, kDF, method, "NO", "Parallel", "Log",
        "GridSearch", inputs, records, generator);
  }

  OneDimensionArray<Matrix> tables = CoefficientTables();
  OneDimensionArray<KMRegFitRecord> records = Resamples();
  OneDimensionArray<ColumnVector> kinkmarkRows;
  KMResamplingInputs inputs;
  MTRandomGenerator generator;
};

// R for the t and normal intervals below:
//   tb <- function(b, se, normal) {
//     q <- if (normal) qnorm(0.975) else qt(0.975, 20); t <- b/se
//     p <- if (normal) 2*(1 - pnorm(abs(t))) else 2*(1 - pt(abs(t), 20))
//     c(100*(exp(b) - 1), 100*(exp(b - q*se) - 1), 100*(exp(b + q*se) - 1),
//       t, p) }
//   s1 <- c(0.05, 0.046, 0.052, 0.049, 0.055, 0.044)
//   s2 <- c(-0.02, -0.018, -0.025, -0.021, -0.016, -0.023)
//   tt <- c(10, 9, 11, 10, 12, 10)

TEST_F(IntervalMethodSet, UncorrelatedVarianceUsesTheModelStandardErrors) {
  // tb(0.05, 0.01, FALSE); tb(-0.02, 0.008, FALSE)
  const OneDimensionArray<ColumnVector> L = APC("UncorrelatedVariance");
  ASSERT_EQ(L.GetSize(), 2);
  ExpectLong(L[0], 1990, 2010, 0.05, 0.01,
             {5.1271096376024117, 2.9569100342776489, 7.3430542649056685, 1.0,
              5.0, 6.8730285795570722e-05});
  ExpectLong(L[1], 1990, 2010, -0.02, 0.008,
             {-1.9801326693244747, -3.6022868899837301, -0.33068128329989399,
              1.0, -2.5, 0.021233545439132362});
  // Kinkmark: the parametric interval, standard error 0.01.
  ASSERT_EQ(kinkmarkRows.GetSize(), 1);
  EXPECT_EQ(km_test::ToVector(kinkmarkRows[0]),
            (std::vector<double>{10.0, 0.01, 8.0, 12.0}));
  // No resampling for a parametric method.
  EXPECT_EQ(records.GetSize(), 6);
}

TEST_F(IntervalMethodSet, TestSettingReachesTheTest) {
  // "UseZForCI": normal interval and test. R: tb(0.05, 0.01, TRUE)
  const OneDimensionArray<ColumnVector> L =
      APC("UncorrelatedVariance", "UseZForCI");
  EXPECT_NEAR(L[0](6), 3.0867169485939261, kBoundAbsTol);
  EXPECT_NEAR(L[0](7), 7.2078877656722051, kBoundAbsTol);
  EXPECT_NEAR(L[0](10), 5.7330314384707037e-07, kPValueAbsTol);
}

TEST_F(IntervalMethodSet, FirstLastAPCIsTheParametricInterval) {
  // A segment's chord between its own ends is its slope, so the first-last
  // APC equals the parametric one.
  const OneDimensionArray<ColumnVector> firstLast = APC("FirstLastT");
  const OneDimensionArray<ColumnVector> firstLastRows = kinkmarkRows;
  const OneDimensionArray<ColumnVector> parametric =
      APC("UncorrelatedVariance");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(km_test::ToVector(firstLast[i]),
              km_test::ToVector(parametric[i]));
  }
  EXPECT_EQ(km_test::ToVector(firstLastRows[0]),
            km_test::ToVector(kinkmarkRows[0]));
}

TEST_F(IntervalMethodSet, EmpiricalTAndZUseTheResampledStandardError) {
  // sd(s1[-1]), sd(s2[-1]), sd(tt[-1]); tb(0.05, sd1, FALSE),
  // tb(-0.02, sd2, TRUE); kinkmark 10 -/+ qnorm(0.95) sd(tt[-1]).
  const double sd1 = 0.0044384682042344298;
  const double sd2 = 0.0036469165057620941;
  const double sdTau = 1.1401754250991381;
  OneDimensionArray<ColumnVector> L = APC("EmpCDFT");
  ExpectLong(L[0], 1990, 2010, 0.05, sd1,
             {5.1271096376024117, 4.1582839877128519, 6.1049467948243397, 1.0,
              11.265147726483322, 4.1180570065080246e-10});
  EXPECT_TRUE(RelNear(kinkmarkRows[0](2), sdTau, 1e-13));
  EXPECT_NEAR(kinkmarkRows[0](3), 8.1245783166647474, 1e-12);
  EXPECT_NEAR(kinkmarkRows[0](4), 11.875421683335253, 1e-12);

  L = APC("EmpCDFZ");
  ExpectLong(L[1], 1990, 2010, -0.02, sd2,
             {-1.9801326693244747, -2.6782634972418284, -1.2769938476083764,
              1.0, -5.4840849710708177, 4.1561498242970174e-08});
  EXPECT_NEAR(kinkmarkRows[0](3), 8.1245783166647474, 1e-12);
}

TEST_F(IntervalMethodSet, EmpiricalQuantileBoundsComeFromAllSamples) {
  // q <- quantile(s1, c(0.025, 0.975), type = 7); 100*(exp(q) - 1)
  // (and s2); kinkmark: quantile(tt, c(0.05, 0.95), type = 7).
  const OneDimensionArray<ColumnVector> L = APC("EmpCDFQuantile");
  EXPECT_NEAR(L[0](6), 4.5243633135585881, 1e-12);
  EXPECT_NEAR(L[0](7), 5.6144486223717704, 1e-12);
  EXPECT_EQ(L[0](8), 1.0);
  EXPECT_NEAR(L[1](6), -2.4446230012685422, 1e-12);
  EXPECT_NEAR(L[1](7), -1.6118681023312598, 1e-12);
  EXPECT_EQ(L[1](8), 1.0);
  // The test itself is the empirical-t one.
  EXPECT_TRUE(RelNear(L[0](9), 11.265147726483322, 1e-9));
  EXPECT_EQ(km_test::ToVector(kinkmarkRows[0]),
            (std::vector<double>{10.0, 0.0, 9.25, 11.75}));
}

TEST_F(IntervalMethodSet, QuantileIntervalAcrossZeroIsNotSignificant) {
  // Segment 2's resampled slopes straddle 0: bounds of opposite sign.
  for (int r = 1; r <= 5; ++r) {
    const double slope = (r % 2 == 0) ? 0.01 : -0.01;
    if (r == 3) {
      records[r].fitStats.theta(4) = slope;
    } else {
      records[r].segmentSlopes(2) = slope;
    }
  }
  const OneDimensionArray<ColumnVector> L = APC("EmpCDFQuantile");
  EXPECT_LT(L[1](6), 0.0);
  EXPECT_GT(L[1](7), 0.0);
  EXPECT_EQ(L[1](8), 0.0);
}

TEST_F(IntervalMethodSet, HeldResamplesAreUsedUnchanged) {
  // A filled array is read as it is: no new refits, the generator does not
  // move, and two AAPC requests see the same samples.
  MTRandomGenerator before = generator;
  const ColumnVector first = AAPC("EmpCDFQuantile", 5, 15);
  const ColumnVector second = AAPC("EmpCDFQuantile", 5, 15);
  EXPECT_EQ(km_test::ToVector(first), km_test::ToVector(second));
  EXPECT_EQ(records.GetSize(), 6);
  EXPECT_EQ(records[1].segmentSlopes(1), 0.046);
  EXPECT_EQ(generator.genrand(), before.genrand());
}

TEST_F(IntervalMethodSet, EmpiricalAAPCOverTheResampledLocations) {
  // Samples over (5, 15) weight each resample's slopes by its own kinkmark:
  //   aapc <- function(tau, b1, b2) { w1 <- tau - 5; w2 <- 15 - tau
  //     (w1*b1 + w2*b2)/10 }
  //   A <- mapply(aapc, tt, s1, s2)      # 0.015 0.0076 0.0212 ...
  //   tb(A[1], sd(A[-1]), FALSE); q <- quantile(A, c(.025, .975), type = 7)
  ColumnVector L = AAPC("EmpCDFT", 5, 15);
  ExpectLong(L, 5, 15, 0.015, 0.01043240144933083,
             {1.511306461571893, -0.67387998542606242, 3.7445672701521104, 0.0,
              1.437828104377842, 0.16594644607447551});
  L = AAPC("EmpCDFQuantile", 5, 15);
  EXPECT_NEAR(L(6), 0.79942850098306817, 1e-12);
  EXPECT_NEAR(L(7), 3.2659486223062251, 1e-12);
  EXPECT_EQ(L(8), 1.0);
}

TEST_F(IntervalMethodSet, UncorrelatedAAPCTestsAcrossSegmentsWithZ) {
  struct Case {
    double start, end, est, se;
    LongTail tail;
  };
  // R: tb(0.015, sqrt((0.5*0.01)^2 + (0.5*0.008)^2), TRUE) for (5, 15),
  // which spans the kinkmark; tb(0.05, 0.01, FALSE) for (2, 8) and for
  // (1, 10), which lie in segment 1 (its ends on the bounds included).
  const Case kCases[] = {
      {5,
       15,
       0.015,
       0.006403124237432849,
       {1.511306461571893, 0.24531110713563731, 2.7932900374995517, 1.0,
        2.3426064283290908, 0.019149571500766127}},
      {2,
       8,
       0.05,
       0.01,
       {5.1271096376024117, 2.9569100342776489, 7.3430542649056685, 1.0, 5.0,
        6.8730285795570722e-05}},
      {1,
       10,
       0.05,
       0.01,
       {5.1271096376024117, 2.9569100342776489, 7.3430542649056685, 1.0, 5.0,
        6.8730285795570722e-05}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.start);
    ExpectLong(AAPC("UncorrelatedVariance", c.start, c.end), c.start, c.end,
               c.est, c.se, c.tail);
  }
}

TEST_F(IntervalMethodSet, FirstLastAAPCUsesTheChordAndItsCovariance) {
  // V = B B' with B (rows) (0.2, 0, 0, 0), (-0.01, 0.005, 0, 0),
  // (0.05, -0.002, 0.3, 0), (-0.002, 0.0001, -0.01, 0.004), over
  // (a1, b1, a2, b2). se = sqrt(c' V c) / (end - start):
  //   (5, 15): c = (-1, -5, 1, 15) on (a1, b1, a2, b2);
  //   (5, 10): the end on the kinkmark is read on segment 2: same indices,
  //            c = (-1, -5, 1, 10);
  //   (2, 8):  both ends on segment 1: V[c(1,2,1,2), c(1,2,1,2)],
  //            c = (-1, -2, 1, 8).
  // then tb(est, se, FALSE).
  const double B[4][4] = {{0.2, 0, 0, 0},
                          {-0.01, 0.005, 0, 0},
                          {0.05, -0.002, 0.3, 0},
                          {-0.002, 0.0001, -0.01, 0.004}};
  Matrix b(4, 4);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) b(r + 1, c + 1) = B[r][c];
  }
  const Matrix V = b * b.t();
  struct Case {
    double start, end, est, se;
    LongTail tail;
  };
  const Case kCases[] = {
      {5,
       15,
       0.015,
       0.020892642245537062,
       {1.511306461571893, -2.8176706676436569, 6.0331174435466428, 0.0,
        0.71795610261809717, 0.48108754152120969}},
      {5,
       10,
       0.05,
       0.047613443479756858,
       {5.1271096376024117, -4.8123426896303778, 16.104435102559435, 0.0,
        1.050123585815796, 0.30618551728010202}},
      {2,
       8,
       0.05,
       0.011180339887498949,
       {5.1271096376024117, 2.7037269191915625, 7.6076741543379844, 1.0,
        4.4721359549995796, 0.00023344743474851271}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.start * 100 + c.end);
    ExpectLong(AAPC("FirstLastT", c.start, c.end, V), c.start, c.end, c.est,
               c.se, c.tail);
  }
}

TEST_F(IntervalMethodSet, FirstLastRangeGivenEndFirstKeepsAPositiveError) {
  // The standard error was divided by the signed difference end - start, so
  // a range given end first got a negative standard error, which turned its
  // interval inside out. The chord between the two ends is the same either
  // way, and so are its standard error and test: those of (5, 15) above.
  // (15, 5): the start is read on segment 2 at 15, the end on segment 1 at
  // 5, c = (1, 5, -1, -15) on (a1, b1, a2, b2) = -(-1, -5, 1, 15).
  const double B[4][4] = {{0.2, 0, 0, 0},
                          {-0.01, 0.005, 0, 0},
                          {0.05, -0.002, 0.3, 0},
                          {-0.002, 0.0001, -0.01, 0.004}};
  Matrix b(4, 4);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) b(r + 1, c + 1) = B[r][c];
  }
  const ColumnVector L = AAPC("FirstLastT", 15, 5, b * b.t());
  ExpectLong(L, 15, 5, 0.015, 0.020892642245537062,
             {1.511306461571893, -2.8176706676436569, 6.0331174435466428, 0.0,
              0.71795610261809717, 0.48108754152120969});
  EXPECT_LT(L(6), L(7));
}

TEST_F(IntervalMethodSet, FirstLastZeroLengthRangeHasNoSlope) {
  // The chord of a range of zero length would be 0/0; the estimate and
  // its standard error are 0, as the weighted AAPC gives for such a range.
  Matrix V(4, 4);
  V = 0.0;
  const ColumnVector L = AAPC("FirstLastT", 7, 7, V);
  EXPECT_EQ(L(3), 0.0);
  EXPECT_EQ(L(4), 0.0);
}

TEST_F(IntervalMethodSet, UnknownMethodIsRefused) {
  // An unknown method name used to give every segment a zero standard error,
  // reported as a computed interval equal to the estimate.
  for (const char* method : {"", "empcdfquantile", "ZValue"}) {
    SCOPED_TRACE(method);
    EXPECT_THROW(APC(method), KmException);
    EXPECT_THROW(AAPC(method, 5, 15), KmException);
  }
}

TEST(MapModelSettings, WholeWordsComparedExactly) {
  struct Case {
    const char* type;
    const char* scale;
    const char* method;
    int modelType, logLinear, fittingMethod;
  };
  const Case kCases[] = {
      {"Parallel", "Log", "Hudson", 2, 1, 1},
      {"Identical", "Linear", "CubicSpline", 1, 0, 2},
      {"parallel", "log", "hudson", 1, 0, 0},
      {"Parallel ", "Log", "GridSearch", 1, 1, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.type);
    int32_t t = -1;
    int32_t l = -1;
    int32_t m = -1;
    BaseKMRegModel::map_ModelSettings(c.type, c.scale, c.method, t, l, m);
    EXPECT_EQ(t, c.modelType);
    EXPECT_EQ(l, c.logLinear);
    EXPECT_EQ(m, c.fittingMethod);
  }
}

TEST(CalcAPCTestVector, NormalBoundsAroundTheEstimate) {
  // R: 0.03 + c(-1, 1) * qnorm(0.975) * 0.01
  const ColumnVector row =
      BaseKMRegModel::calc_APC_TestVector(0.03, 0.01, 0.05);
  EXPECT_EQ(row(1), 0.03);
  EXPECT_EQ(row(2), 0.01);
  EXPECT_NEAR(row(3), 0.010400360154599463, 1e-15);
  EXPECT_NEAR(row(4), 0.049599639845400535, 1e-15);
}

TEST(CollectSamples, TooFewResamplesAreRefused) {
  OneDimensionArray<KMRegFitRecord> one;
  one.Resize(1);
  OneDimensionArray<ColumnVector> slopes;
  OneDimensionArray<ColumnVector> taus;
  ColumnVector slopeSE;
  ColumnVector tauSE;
  EXPECT_THROW(
      BaseKMRegModel::collect_APCSamples(slopes, slopeSE, taus, tauSE, one,
                                         Vec({0.1, 0.2}), Vec({5.0}), 1),
      KmException);
  ColumnVector samples;
  double se = 0.0;
  EXPECT_THROW(BaseKMRegModel::collect_AAPCSamples(samples, se, one,
                                                   Vec({1, 2}), 1, 3, 0.0),
               KmException);
}

}  // namespace
