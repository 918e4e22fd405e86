// The distribution wrappers: agreement with R 4.2.2, the -1e30 answer outside
// each domain, and independent calls from several threads.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "models/DistributionWrappers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Probabilities and the normal quantile come from closed-form kernels.
constexpr double kClosedFormRelTol = km_test::kTightRelTol;
// The t and F quantiles come from a bracketing search.
constexpr double kSearchedRelTol = km_test::kSearchRelTol;

struct NormalCase {
  double arg;  // p for the quantile, x for the probability
  double mean;
  double sd;
  double expected;
};

// R: sprintf("%.17g", qnorm(c(0.975, 0.5, 0.001, 0.8), c(0,0,0,10),
//                            c(1,1,1,2.5)))
const NormalCase kNormalQuantiles[] = {
    {0.975, 0, 1, 1.9599639845400536},
    {0.5, 0, 1, 0.0},
    {0.001, 0, 1, -3.0902323061678132},
    {0.8, 10, 2.5, 12.104053083932286},
};

// R: sprintf("%.17g", pnorm(c(0, 1.96, 0.5, 7.25), c(0,0,0,3),
//                           c(1,1,1,1.5)))
const NormalCase kNormalCdfs[] = {
    {0.0, 0, 1, 0.5},
    {1.96, 0, 1, 0.97500210485177963},
    {0.5, 0, 1, 0.69146246127401301},
    {7.25, 3, 1.5, 0.99769673386830415},
};

struct TCase {
  double arg;  // p for the quantile, t for the probability
  double df;
  double expected;
};

// R: sprintf("%.17g", qt(c(0.975, 0.95, 0.6, 0.999), c(10, 3.5, 1, 120)))
const TCase kTQuantiles[] = {
    {0.975, 10, 2.2281388519862739},
    {0.95, 3.5, 2.2224334936496009},
    {0.6, 1, 0.32491969623290634},
    {0.999, 120, 3.15953874331711},
};

// R: sprintf("%.17g", pt(c(0, 2.228, 0.3, 4.1), c(10, 3.5, 1, 120)))
const TCase kTCdfs[] = {
    {0.0, 10, 0.5},
    {2.228, 3.5, 0.95028470974326973},
    {0.3, 1, 0.59277357907774231},
    {4.1, 120, 0.9999622440046898},
};

struct FCase {
  double arg;  // p for the quantile, f for the upper tail
  int df1;
  int df2;
  double expected;
};

// R: sprintf("%.17g", qf(c(0.95, 0.5, 0.99), c(2, 1, 7), c(17, 4, 30)))
const FCase kFQuantiles[] = {
    {0.95, 2, 17, 3.59153056847508},
    {0.5, 1, 4, 0.54863217041303081},
    {0.99, 7, 30, 3.3044988866923948},
};

// R: sprintf("%.17g", pf(c(3.59, 0.8, 5.2), c(2, 1, 7), c(17, 4, 30),
//                        lower.tail = FALSE))
const FCase kFUpperTails[] = {
    {3.59, 2, 17, 0.050053829652801411},
    {0.8, 1, 4, 0.42164825517619386},
    {5.2, 7, 30, 0.00058280196174437129},
};

TEST(DistributionWrappers, NormalAgreesWithR) {
  for (const NormalCase& c : kNormalQuantiles) {
    SCOPED_TRACE(c.arg);
    if (c.expected == 0.0) {
      EXPECT_NEAR(calc_NormalQuantile(c.arg, c.mean, c.sd), 0.0, 1e-15);
    } else {
      EXPECT_TRUE(RelNear(calc_NormalQuantile(c.arg, c.mean, c.sd), c.expected,
                          kClosedFormRelTol));
    }
  }
  for (const NormalCase& c : kNormalCdfs) {
    SCOPED_TRACE(c.arg);
    EXPECT_TRUE(RelNear(calc_NormalCDF(c.arg, c.mean, c.sd), c.expected,
                        kClosedFormRelTol));
  }
}

TEST(DistributionWrappers, TAgreesWithR) {
  for (const TCase& c : kTQuantiles) {
    SCOPED_TRACE(c.arg);
    EXPECT_TRUE(
        RelNear(calc_TQuantile(c.arg, c.df), c.expected, kSearchedRelTol));
  }
  for (const TCase& c : kTCdfs) {
    SCOPED_TRACE(c.arg);
    EXPECT_TRUE(RelNear(calc_TCDF(c.arg, c.df), c.expected, kClosedFormRelTol));
  }
}

TEST(DistributionWrappers, FAgreesWithR) {
  for (const FCase& c : kFQuantiles) {
    SCOPED_TRACE(c.arg);
    EXPECT_TRUE(RelNear(calc_FQuantile(c.arg, c.df1, c.df2), c.expected,
                        kSearchedRelTol));
  }
  for (const FCase& c : kFUpperTails) {
    SCOPED_TRACE(c.arg);
    EXPECT_TRUE(RelNear(calc_FUpperTail(c.arg, c.df1, c.df2), c.expected,
                        kClosedFormRelTol));
  }
}

TEST(DistributionWrappers, ArgumentsOutsideTheDomainGiveTheMarker) {
  struct Case {
    const char* what;
    double value;
  };
  const Case kCases[] = {
      {"normal quantile p = 0", calc_NormalQuantile(0.0, 0, 1)},
      {"normal quantile p = 1", calc_NormalQuantile(1.0, 0, 1)},
      {"normal quantile sd = 0", calc_NormalQuantile(0.5, 0, 0)},
      {"normal quantile NaN p", calc_NormalQuantile(kNaN, 0, 1)},
      {"normal quantile NaN mean", calc_NormalQuantile(0.5, kNaN, 1)},
      {"normal cdf x < 0", calc_NormalCDF(-1.0, 0, 1)},
      {"normal cdf sd < 0", calc_NormalCDF(1.0, 0, -1)},
      {"normal cdf NaN x", calc_NormalCDF(kNaN, 0, 1)},
      {"t quantile df = 0", calc_TQuantile(0.975, 0)},
      {"t quantile p = 1", calc_TQuantile(1.0, 5)},
      {"t quantile NaN df", calc_TQuantile(0.5, kNaN)},
      {"t cdf t < 0", calc_TCDF(-0.5, 5)},
      {"t cdf df < 0", calc_TCDF(1.0, -2)},
      {"t cdf NaN t", calc_TCDF(kNaN, 5)},
      {"normal upper tail x < 0", calc_NormalUpperTail(-1.0, 0, 1)},
      {"t upper tail df = 0", calc_TUpperTail(1.0, 0)},
      {"F quantile p = 0", calc_FQuantile(0.0, 2, 10)},
      {"F quantile df1 = 0", calc_FQuantile(0.5, 0, 10)},
      {"F quantile df2 < 0", calc_FQuantile(0.5, 2, -1)},
      {"F upper tail f = 0", calc_FUpperTail(0.0, 2, 10)},
      {"F upper tail df1 = 0", calc_FUpperTail(1.0, 0, 10)},
      {"F upper tail NaN f", calc_FUpperTail(kNaN, 2, 10)},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.value, kInvalidDistributionValue);
  }
}

TEST(DistributionWrappers, ZeroStatisticIsValidForTheTDistribution) {
  // The t probability at exactly 0 is 0.5, as the normal one is; a refused
  // zero would turn the p-value 2 (1 - F) of a zero statistic into 2e30.
  EXPECT_EQ(calc_TCDF(0.0, 12), 0.5);
  EXPECT_EQ(calc_NormalCDF(0.0, 0, 1), 0.5);
  EXPECT_EQ(calc_TUpperTail(0.0, 12), 0.5);
  EXPECT_EQ(calc_NormalUpperTail(0.0, 0, 1), 0.5);
}

TEST(DistributionWrappers, InvalidUpperTailLeavesThePValueMissing) {
  EXPECT_EQ(TwoSidedPValue(0.25), 0.5);
  EXPECT_EQ(TwoSidedPValue(kInvalidDistributionValue),
            kInvalidDistributionValue);
}

TEST(DistributionWrappers, CallsOnSeveralThreadsAgreeWithOneThread) {
  // Each t and F call owns its StatClass, so concurrent searches cannot
  // disturb each other.
  const double kT = calc_TQuantile(0.975, 13);
  const double kF = calc_FQuantile(0.95, 3, 20);
  constexpr int kThreads = 4;
  constexpr int kCalls = 200;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int w = 0; w < kThreads; ++w) {
    threads.emplace_back([&, w]() {
      for (int i = 0; i < kCalls; ++i) {
        if (calc_TQuantile(0.975, 13) != kT) ++mismatches[w];
        if (calc_FQuantile(0.95, 3, 20) != kF) ++mismatches[w];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int w = 0; w < kThreads; ++w) EXPECT_EQ(mismatches[w], 0) << w;
}

}  // namespace
