// Statistic and p-value pairs, test-result vectors and empirical quantiles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "foundation/OneDimensionArray.h"
#include "models/DistributionWrappers.h"
#include "models/TestResults.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::Vec;

// p-values are 2 (1 - F) with F near 1: a few ulps of F become ~1e-14 of p.
constexpr double kPValueRelTol = 1e-12;
// Bounds use the t quantile, which comes from a bracketing search.
constexpr double kBoundRelTol = km_test::kSearchRelTol;

struct PValueCase {
  int useNormal;
  double x, se, df, x0;
  double statistic, p;
};

// R: c((x - x0) / se, 2 * (1 - pnorm(abs((x - x0) / se))))   (useNormal = 1)
//    c((x - x0) / se, 2 * (1 - pt(abs((x - x0) / se), df)))  (useNormal = 0)
const PValueCase kPValueCases[] = {
    {1, 2.0, 1.0, 10, 0.0, 2.0, 0.045500263896358417},
    {1, 0.04, 0.015, 10, 0.01, 2.0, 0.045500263896358417},
    {0, 1.5, 0.6, 12, 0.3, 2.0, 0.068655014038085938},
    {0, -3.0, 1.2, 8, 0.0, -2.5, 0.036942037713624032},
};

TEST(MakePValueVector, AgreesWithR) {
  for (const PValueCase& c : kPValueCases) {
    SCOPED_TRACE(c.x);
    const NEWMAT::ColumnVector r =
        make_PValueVector(c.useNormal, c.x, c.se, c.df, c.x0);
    ASSERT_EQ(r.Nrows(), 2);
    EXPECT_TRUE(RelNear(r(1), c.statistic, km_test::kTightRelTol));
    EXPECT_TRUE(RelNear(r(2), c.p, kPValueRelTol));
  }
}

// Far in the tail the two-sided p-value keeps its digits instead of
// cancelling to 0 in 2 (1 - F). Closed forms: the normal tail is
// erfc(|z| / sqrt 2) / 2, and the t tail on 1 degree of freedom (Cauchy)
// is atan(1 / |t|) / pi.
TEST(MakePValueVector, FarTailPValuesKeepTheirDigits) {
  struct Case {
    int useNormal;
    double x, df;
    double p;
  };
  const double kPi = std::acos(-1.0);
  const Case cases[] = {
      {1, 10.0, 5, std::erfc(10.0 / std::sqrt(2.0))},
      {1, -9.0, 5, std::erfc(9.0 / std::sqrt(2.0))},
      {0, 1e6, 1, 2.0 * std::atan(1e-6) / kPi},
      {0, -1e9, 1, 2.0 * std::atan(1e-9) / kPi},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    const double p = make_PValueVector(c.useNormal, c.x, 1.0, c.df, 0.0)(2);
    EXPECT_TRUE(RelNear(p, c.p, 1e-9)) << p << " vs " << c.p;
    EXPECT_TRUE(RelNear(
        make_TestResultVector(c.useNormal, c.x, 1.0, c.df, 0.05, 0.0)(4), c.p,
        1e-9));
  }
}

TEST(MakePValueVector, ZeroStatisticHasPValueOneInBothBranches) {
  // A zero t statistic must give p = 1 like the normal branch, not the
  // 2 (1 - (-1e30)) that refusing t = 0 in the t probability would give.
  EXPECT_EQ(make_PValueVector(0, 0.7, 0.2, 9, 0.7)(2), 1.0);
  EXPECT_EQ(make_PValueVector(1, 0.7, 0.2, 9, 0.7)(2), 1.0);
}

TEST(MakePValueVector, ZeroStandardErrorGivesInfiniteStatistic) {
  const NEWMAT::ColumnVector up = make_PValueVector(0, 3.0, 0.0, 5, 1.0);
  EXPECT_EQ(up(1), std::numeric_limits<double>::infinity());
  EXPECT_EQ(up(2), 0.0);
  const NEWMAT::ColumnVector down = make_PValueVector(1, -3.0, 0.0, 5, 1.0);
  EXPECT_EQ(down(1), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(down(2), 0.0);
}

TEST(MakePValueVector, EstimateAtTheNullWithZeroStandardErrorHasStatisticZero) {
  // Fault: 0 times infinity wrote NaN as the statistic (a jump model whose
  // jump lies before the first value, an empty AAPC range).
  for (int useNormal : {0, 1}) {
    SCOPED_TRACE(useNormal);
    const NEWMAT::ColumnVector r =
        make_PValueVector(useNormal, 1.0, 0.0, 5, 1.0);
    EXPECT_EQ(r(1), 0.0);
    EXPECT_EQ(r(2), 0.0);
    const NEWMAT::ColumnVector t =
        make_TestResultVector(useNormal, 0.0, 0.0, 5, 0.05, 0.0);
    EXPECT_EQ(t(3), 0.0);
    EXPECT_EQ(t(7), 0.0);
  }
}

TEST(MakeTestResultVector, NoDegreesOfFreedomLeaveTheTestMissing) {
  // Fault: df = 0 gave p = 0 and, from the -1e30 critical value, flag 1.
  const NEWMAT::ColumnVector r =
      make_TestResultVector(0, 0.02, 0.01, 0, 0.05, 0);
  for (int i : {3, 4, 5, 6}) EXPECT_EQ(r(i), kInvalidDistributionValue) << i;
  EXPECT_EQ(r(7), 0.0);
}

struct TestResultCase {
  int useNormal;
  double x, se, df, alpha, x0;
  double expected[9];
};

// R, t branch:  cr <- qt(1 - alpha / 2, df)
//   c(x, se, (x - x0) / se, 2 * (1 - pt(abs((x - x0) / se), df)),
//     x - cr * se, x + cr * se, flag, df, alpha)
// normal branch: the same with cr <- qnorm(1 - alpha / 2) and pnorm.
const TestResultCase kTestResultCases[] = {
    {0,
     0.35,
     0.12,
     15,
     0.05,
     0.0,
     {0.35, 0.12, 2.9166666666666665, 0.010629154702780585,
      0.094226054532826953, 0.605773945467173, 1, 15, 0.05}},
    {1,
     -0.02,
     0.03,
     20,
     0.1,
     0.0,
     {-0.02, 0.03, -0.66666666666666674, 0.50498507509384583,
      -0.069345608808544137, 0.02934560880854414, 0, 20, 0.1}},
};

TEST(MakeTestResultVector, AgreesWithR) {
  for (const TestResultCase& c : kTestResultCases) {
    SCOPED_TRACE(c.useNormal);
    const NEWMAT::ColumnVector r =
        make_TestResultVector(c.useNormal, c.x, c.se, c.df, c.alpha, c.x0);
    ASSERT_EQ(r.Nrows(), 9);
    EXPECT_EQ(r(1), c.expected[0]);
    EXPECT_EQ(r(2), c.expected[1]);
    EXPECT_TRUE(RelNear(r(3), c.expected[2], km_test::kTightRelTol));
    EXPECT_TRUE(RelNear(r(4), c.expected[3], kPValueRelTol));
    EXPECT_TRUE(RelNear(r(5), c.expected[4], kBoundRelTol));
    EXPECT_TRUE(RelNear(r(6), c.expected[5], kBoundRelTol));
    EXPECT_EQ(r(7), c.expected[6]);
    EXPECT_EQ(r(8), c.expected[7]);
    EXPECT_EQ(r(9), c.expected[8]);
  }
}

TEST(MakeTestResultVector, ZeroStandardErrorCollapsesTheInterval) {
  const NEWMAT::ColumnVector r =
      make_TestResultVector(0, 1.25, 0.0, 6, 0.05, 0);
  EXPECT_EQ(r(4), 0.0);
  EXPECT_EQ(r(5), 1.25);
  EXPECT_EQ(r(6), 1.25);
  EXPECT_EQ(r(7), 1.0);
  // The estimate equal to the null value sits on both bounds: inside.
  EXPECT_EQ(make_TestResultVector(1, 1.25, 0.0, 6, 0.05, 1.25)(7), 0.0);
}

TEST(MakeTestResultVector, NullValueOnABoundCountsAsInside) {
  // Normal branch with se = 1: the bounds are x -/+ z. Put x0 on each bound.
  const NEWMAT::ColumnVector r =
      make_TestResultVector(1, 5.0, 1.0, 30, 0.05, 0);
  const double dLower = r(5);
  const double dUpper = r(6);
  EXPECT_EQ(make_TestResultVector(1, 5.0, 1.0, 30, 0.05, dLower)(7), 0.0);
  EXPECT_EQ(make_TestResultVector(1, 5.0, 1.0, 30, 0.05, dUpper)(7), 0.0);
  EXPECT_EQ(make_TestResultVector(1, 5.0, 1.0, 30, 0.05, dUpper + 1e-9)(7),
            1.0);
}

TEST(EmpiricalQuantiles, AgreeWithRType7) {
  struct Case {
    NEWMAT::ColumnVector samples;
    NEWMAT::ColumnVector probabilities;
    NEWMAT::ColumnVector expected;
  };
  // R: quantile(s, p, type = 7, names = FALSE)
  const Case kCases[] = {
      {Vec({4.2, -1.5, 3.3, 0.7, 9.1, 2.2, 2.2, 5.0}),
       Vec({0, 0.025, 0.1, 0.25, 0.5, 0.9, 0.975, 1}),
       Vec({-1.5, -1.1149999999999998, 0.040000000000000369, 1.8250000000000002,
            2.75, 6.2299999999999986, 8.3825000000000003, 9.0999999999999996})},
      {Vec({0.31, 0.12, 0.95, 0.47, 0.66, 0.08, 0.59}), Vec({0.05, 0.5, 0.95}),
       Vec({0.091999999999999998, 0.46999999999999997, 0.86299999999999977})},
      // Hand-worked: (3, 1, 2) sorted is (1, 2, 3); p = 0.25 gives h = 1.5,
      // halfway between the first and second.
      {Vec({3, 1, 2}), Vec({0, 0.25, 0.5, 1}), Vec({1, 1.5, 2, 3})},
      // One sample answers every probability.
      {Vec({7.5}), Vec({0, 0.3, 1}), Vec({7.5, 7.5, 7.5})},
      // Probabilities outside [0, 1] clamp to the ends. A far one such as
      // 1e300 overflowed the conversion of floor(h) to an int.
      {Vec({3, 1, 2}), Vec({-0.3, -1e300, 1.2, 1e300}), Vec({1, 1, 3, 3})},
  };
  for (size_t i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
    SCOPED_TRACE(i);
    const Case& c = kCases[i];
    const NEWMAT::ColumnVector q =
        calc_EmpiricalQuantiles(c.samples, c.probabilities, false);
    ASSERT_EQ(q.Nrows(), c.expected.Nrows());
    for (int r = 1; r <= q.Nrows(); ++r) {
      EXPECT_TRUE(RelNear(q(r), c.expected(r), km_test::kTightRelTol)) << r;
    }
  }
}

TEST(EmpiricalQuantiles, SortedFlagIsTrusted) {
  // (3, 1, 2) taken as already sorted: p = 0.25 lies between 3 and 1.
  const NEWMAT::ColumnVector q =
      calc_EmpiricalQuantiles(Vec({3, 1, 2}), Vec({0, 0.25, 1}), true);
  EXPECT_EQ(q(1), 3.0);
  EXPECT_EQ(q(2), 2.0);
  EXPECT_EQ(q(3), 2.0);
}

TEST(EmpiricalQuantiles, ExactOrderStatisticIgnoresAnInfiniteNeighbour) {
  // p = 0 lands exactly on the smallest sample; its infinite neighbour must
  // not turn the answer into 0 * inf = NaN.
  const double kInf = std::numeric_limits<double>::infinity();
  const NEWMAT::ColumnVector q =
      calc_EmpiricalQuantiles(Vec({kInf, 1.0}), Vec({0.0}), false);
  EXPECT_EQ(q(1), 1.0);
}

TEST(EmpiricalQuantiles, NaNProbabilityGivesNaN) {
  // A NaN probability reached the conversion of floor(h) to an int, which
  // is undefined; it now gives a NaN quantile.
  const NEWMAT::ColumnVector q = calc_EmpiricalQuantiles(
      Vec({1, 2}), Vec({std::numeric_limits<double>::quiet_NaN(), 0.5}), false);
  EXPECT_TRUE(std::isnan(q(1)));
  EXPECT_EQ(q(2), 1.5);
}

TEST(EmpiricalQuantiles, NoProbabilitiesGiveAnEmptyVector) {
  EXPECT_EQ(calc_EmpiricalQuantiles(Vec({1, 2}), NEWMAT::ColumnVector(), false)
                .Nrows(),
            0);
  EXPECT_EQ(calc_EmpiricalQuantiles(NEWMAT::ColumnVector(),
                                    NEWMAT::ColumnVector(), false)
                .Nrows(),
            0);
}

TEST(EmpiricalQuantiles, NoSamplesRaiseTheArrayIndexError) {
  try {
    calc_EmpiricalQuantiles(NEWMAT::ColumnVector(), Vec({0.5}), false);
    FAIL() << "expected the array's index error";
  } catch (const char* sText) {
    EXPECT_STREQ(sText, kOneDimensionArrayIndexError);
  }
}

}  // namespace
