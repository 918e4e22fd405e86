// APC tables, one-slope tests, the test-by-method switches and the slope and
// boundary extraction of a refit.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::Vec;

// Bounds in percent carry the t quantile's search accuracy (1e-8 relative):
// compared absolutely, in percent units.
constexpr double kBoundAbsTol = 1e-6;
// p-values are 2 (1 - F) with F near 1: compared absolutely.
constexpr double kPValueAbsTol = 1e-12;

// One estimate row: start, end, estimate, se, percent, lower, upper, flag,
// statistic, p-value.
struct EstimateRow {
  double v[10];
};

void ExpectRow(const NEWMAT::Matrix& m, int r, const EstimateRow& e) {
  for (int c : {1, 2, 3, 4, 5, 9}) {
    SCOPED_TRACE(c);
    EXPECT_TRUE(RelNear(m(r, c), e.v[c - 1], km_test::kTightRelTol));
  }
  EXPECT_NEAR(m(r, 6), e.v[5], kBoundAbsTol);
  EXPECT_NEAR(m(r, 7), e.v[6], kBoundAbsTol);
  EXPECT_EQ(m(r, 8), e.v[7]);
  EXPECT_NEAR(m(r, 10), e.v[9], kPValueAbsTol);
}

// Two kinkmarks at 1995.5 and 2003 on data from 1990 to 2012.
// R:
//   pc <- function(b) 100 * (exp(b) - 1)
//   T <- c(1990, 1995.5, 2003, 2012); b <- c(0.031, -0.012, 0.0045)
//   se <- c(0.004, 0.006, 0.0051); df <- 17; q <- qt(0.975, df)
//   for (i in 1:3) { lo <- pc(b[i] - q*se[i]); hi <- pc(b[i] + q*se[i])
//     t <- b[i]/se[i]; print(c(T[i], T[i+1], b[i], se[i], pc(b[i]), lo, hi,
//       lo > 0 | hi < 0, t, 2*(1 - pt(abs(t), df)))) }
const EstimateRow kApcRows[] = {
    {{1990, 1995.5, 0.031, 0.004, 3.1485503886522714, 2.2817155827837388,
      4.0227315963325516, 1, 7.75, 5.6083360622238843e-07}},
    {{1995.5, 2003, -0.012, 0.006, -1.1928287138069482, -2.4357346642080335,
      0.065911058498357988, 0, -2, 0.061738606530119089}},
    {{2003, 2012, 0.0045, 0.0051, 0.45101402046012762, -0.6240506097795806,
      1.5377088687383633, 0, 0.88235294117647045, 0.38989230915232564}},
};

TEST(CalcAPCEstimates, AgreesWithR) {
  NEWMAT::Matrix m;
  BaseKMRegModel::calc_APC_Estimates(m, 2, Vec({1990, 1995.5, 2003, 2012}),
                                     Vec({0.031, -0.012, 0.0045}),
                                     Vec({0.004, 0.006, 0.0051}), 0.05, 17);
  ASSERT_EQ(m.Nrows(), 3);
  ASSERT_EQ(m.Ncols(), 10);
  for (int r = 1; r <= 3; ++r) {
    SCOPED_TRACE(r);
    ExpectRow(m, r, kApcRows[r - 1]);
  }
}

TEST(CalcAPCEstimates, NoKinkmarkGivesOneRowOverTheWholeRange) {
  NEWMAT::Matrix m(5, 5);
  BaseKMRegModel::calc_APC_Estimates(m, 0, Vec({1995.5, 2003}), Vec({-0.012}),
                                     Vec({0.006}), 0.05, 17);
  ASSERT_EQ(m.Nrows(), 1);
  ASSERT_EQ(m.Ncols(), 10);
  ExpectRow(m, 1, kApcRows[1]);
}

TEST(CalcAPCEstimates, ZeroSlopeIsNotSignificant) {
  NEWMAT::Matrix m;
  BaseKMRegModel::calc_APC_Estimates(m, 0, Vec({0, 10}), Vec({0.0}),
                                     Vec({0.01}), 0.05, 8);
  EXPECT_EQ(m(1, 5), 0.0);
  EXPECT_LT(m(1, 6), 0.0);
  EXPECT_GT(m(1, 7), 0.0);
  EXPECT_EQ(m(1, 8), 0.0);
  EXPECT_EQ(m(1, 9), 0.0);
  EXPECT_EQ(m(1, 10), 1.0);
}

TEST(CalcAPCEstimates, ZeroStandardErrorCollapsesTheInterval) {
  NEWMAT::Matrix m;
  BaseKMRegModel::calc_APC_Estimates(m, 1, Vec({0, 5, 10}), Vec({0.02, 0.0}),
                                     Vec({0.0, 0.0}), 0.05, 8);
  // A nonzero slope: bounds equal the APC, flagged, p = 0, t = +infinity.
  EXPECT_EQ(m(1, 6), m(1, 5));
  EXPECT_EQ(m(1, 7), m(1, 5));
  EXPECT_EQ(m(1, 8), 1.0);
  EXPECT_EQ(m(1, 9), std::numeric_limits<double>::infinity());
  EXPECT_EQ(m(1, 10), 0.0);
  // A zero slope: every bound exactly 0, so the strict flag stays 0.
  EXPECT_EQ(m(2, 5), 0.0);
  EXPECT_EQ(m(2, 6), 0.0);
  EXPECT_EQ(m(2, 7), 0.0);
  EXPECT_EQ(m(2, 8), 0.0);
  EXPECT_EQ(m(2, 10), 0.0);
}

TEST(CalcAPCEstimates, NoDegreesOfFreedomLeaveTheIntervalMissing) {
  // Fault: df = 0 made the critical value -1e30, giving lower = inf,
  // upper = -100, the flag 1 and p = 2e30.
  NEWMAT::Matrix m;
  BaseKMRegModel::calc_APC_Estimates(m, 0, Vec({0, 10}), Vec({0.02}),
                                     Vec({0.01}), 0.05, 0.0);
  EXPECT_NEAR(m(1, 5), 2.0201340026755776, 1e-12);
  for (int c : {6, 7, 9, 10}) EXPECT_EQ(m(1, c), -1e30) << c;
  EXPECT_EQ(m(1, 8), 0.0);
}

TEST(CalcAPCEstimates, UpperBoundIsNotCapped) {
  NEWMAT::Matrix m;
  BaseKMRegModel::calc_APC_Estimates(m, 0, Vec({0, 1}), Vec({79.5}), Vec({0.4}),
                                     0.05, 20);
  EXPECT_LT(m(1, 7), 1e40);
  EXPECT_GT(m(1, 7), m(1, 5));
}

TEST(CalcAPCOneSlope, AgreesWithR) {
  // R: b <- -0.0213; s <- 0.0087; q <- qt(0.95, 9)
  //    c(pc(b), pc(b - q*s), pc(b + q*s), b/s, 2*(1 - pt(abs(b/s), 9)))
  const NEWMAT::ColumnVector r = BaseKMRegModel::calc_APC_OneSlope(
      9, Vec({2001, 2009}), 0.1, -0.0213, 0.0087);
  ASSERT_EQ(r.Nrows(), 10);
  const EstimateRow e = {{2001, 2009, -0.0213, 0.0087, -2.1074757059464044,
                          -3.656290619715119, -0.53376214905357378, 1,
                          -2.4482758620689657, 0.036860824818780502}};
  NEWMAT::Matrix m(1, 10);
  m.Row(1) = r.t();
  ExpectRow(m, 1, e);
}

struct TestByMethodCase {
  const char* name;
  double estimate, se, df, alpha;
  const char* testName;
  const char* testSwitch;
  double expected[9];
};

// R:
//   tbm <- function(e, s, df, alpha, zci, zp) {
//     c <- if (zci) qnorm(1 - alpha/2) else qt(1 - alpha/2, df)
//     lo <- pc(e - c*s); hi <- e + c*s; hi <- if (hi > 80) 1e50 else pc(hi)
//     t <- e/s; p <- if (zp) 2*(1 - pnorm(abs(t))) else 2*(1 - pt(abs(t), df))
//     c(e, s, df, pc(e), lo, hi, lo > 0 | hi < 0, t, p) }
const TestByMethodCase kTestByMethodCases[] = {
    // tbm(0.0123, 0.0071, 12, 0.05, FALSE, FALSE)
    {"t interval, t test",
     0.0123,
     0.0071,
     12,
     0.05,
     "TValue",
     "",
     {0.0123, 0.0071, 12, 1.2375956100545205, -0.31645533029995843,
      2.8158739625984364, 0, 1.732394366197183, 0.10880136835275422}},
    // A switch differing from "UseZForCI" in letter case switches nothing.
    {"lower-case switch",
     0.0123,
     0.0071,
     12,
     0.05,
     "TValue",
     "usezforci",
     {0.0123, 0.0071, 12, 1.2375956100545205, -0.31645533029995843,
      2.8158739625984364, 0, 1.732394366197183, 0.10880136835275422}},
    // tbm(0.0123, 0.0071, 12, 0.05, FALSE, TRUE)
    {"t interval, z test",
     0.0123,
     0.0071,
     12,
     0.05,
     "TValue",
     "UseZForPValue",
     {0.0123, 0.0071, 12, 1.2375956100545205, -0.31645533029995843,
      2.8158739625984364, 0, 1.732394366197183, 0.083203370391990328}},
    // tbm(0.0123, 0.0071, 12, 0.05, TRUE, TRUE)
    {"z interval, z test",
     0.0123,
     0.0071,
     12,
     0.05,
     "TValue",
     "UseZForCI",
     {0.0123, 0.0071, 12, 1.2375956100545205, -0.16144396781631043,
      2.6562399560453809, 0, 1.732394366197183, 0.083203370391990328}},
    {"ZValue test name",
     0.0123,
     0.0071,
     12,
     0.05,
     "ZValue",
     "",
     {0.0123, 0.0071, 12, 1.2375956100545205, -0.16144396781631043,
      2.6562399560453809, 0, 1.732394366197183, 0.083203370391990328}},
    // tbm(-0.0456, 0.0102, 6, 0.01, TRUE, TRUE)
    {"negative, significant",
     -0.0456,
     0.0102,
     6,
     0.01,
     "ZValue",
     "UseZForPValue",
     {-0.0456, 0.0102, 6, -4.4575944610864005, -6.9351346331669728,
      -1.9140980843728728, 1, -4.4705882352941178, 7.8004753336635702e-06}},
    // tbm(79.5, 0.4, 20, 0.05, TRUE, TRUE): log upper bound above 80.
    {"capped upper bound",
     79.5,
     0.4,
     20,
     0.05,
     "ZValue",
     "",
     {79.5, 0.4, 20, 3.3605573500247796e+36, 1.5343721036944982e+36, 1e50, 1,
      198.75, 0}},
};

TEST(CalcTestByMethod, AgreesWithR) {
  for (const TestByMethodCase& c : kTestByMethodCases) {
    SCOPED_TRACE(c.name);
    const NEWMAT::ColumnVector r = BaseKMRegModel::calc_TestByMethod(
        c.estimate, c.se, c.df, c.alpha, c.testName, c.testSwitch);
    ASSERT_EQ(r.Nrows(), 9);
    for (int i : {1, 2, 3, 4, 8}) {
      SCOPED_TRACE(i);
      EXPECT_TRUE(RelNear(r(i), c.expected[i - 1], km_test::kTightRelTol));
    }
    // Bounds relative to their size: some are of order 1e36.
    EXPECT_TRUE(RelNear(r(5), c.expected[4], 1e-6));
    EXPECT_TRUE(RelNear(r(6), c.expected[5], 1e-6));
    EXPECT_EQ(r(7), c.expected[6]);
    EXPECT_NEAR(r(9), c.expected[8], kPValueAbsTol);
  }
}

TEST(ExtractEvenEntries, TakesTheSlopesOfAlternatingCoefficients) {
  const NEWMAT::ColumnVector v =
      BaseKMRegModel::extract_EvenEntries(Vec({1, 10, 2, 20, 3, 30, 99}), 2);
  EXPECT_EQ(km_test::ToVector(v), (std::vector<double>{10, 20, 30}));
  EXPECT_THROW(BaseKMRegModel::extract_EvenEntries(Vec({1, 10, 2}), 1),
               NEWMAT::BaseException);
}

TEST(CalcSegmentRanges, ReadsSlopesAtTheOffsetAndErrorsFromTheFirstTable) {
  // Two series (p0 = 3): coefficient vector (level offset, a1, b1, a2, b2,
  // a3, b3); offset p0 - 1 = 2 puts slope i at entry 1 + 2i.
  OneDimensionArray<NEWMAT::Matrix> tables;
  tables.Resize(2);
  tables[0].ReSize(6, 4);
  tables[0] = 0.0;
  tables[0](2, 2) = 0.11;
  tables[0](4, 2) = 0.22;
  tables[0](6, 2) = 0.33;
  tables[1].ReSize(6, 4);
  tables[1] = 9.0;
  NEWMAT::ColumnVector b, se, T;
  BaseKMRegModel::calc_SegmentRanges(
      b, se, T, tables, Vec({0.5, 7, 0.01, 8, 0.02, 9, 0.03}), 2, 2,
      Vec({2000, 1990, 2010, 1995}), Vec({1996, 2004}));
  EXPECT_EQ(km_test::ToVector(b), (std::vector<double>{0.01, 0.02, 0.03}));
  EXPECT_EQ(km_test::ToVector(se), (std::vector<double>{0.11, 0.22, 0.33}));
  EXPECT_EQ(km_test::ToVector(T),
            (std::vector<double>{1990, 1996, 2004, 2010}));
}

}  // namespace
