// Tests of the group autocorrelation estimates: calc_LagOneAutocorrelation,
// estimate_RangeAutocorrelation and estimate_GroupAutocorrelations.
//
// Expected values from R with the lag-one ratio written out:
//   lag1 <- function(e) { n <- length(e); A <- sum(e[-n]^2)
//     B <- sum(e[-n]*e[-1]); min(if (A > 0) B/A else 0, 1) }
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/OneDimensionArray.h"
#include "models/GroupAutocorrelation.h"
#include "models/KMSeriesSet.h"

namespace {

// The residuals come from a weighted least-squares fit.
constexpr double kFitRelTol = 1e-10;

NEWMAT::ColumnVector Vec(const std::vector<double>& values) {
  NEWMAT::ColumnVector v(static_cast<int>(values.size()));
  for (int i = 1; i <= v.Nrows(); ++i) v(i) = values[i - 1];
  return v;
}

OneDimensionArray<NEWMAT::ColumnVector> Array(
    const std::vector<std::vector<double>>& vectors) {
  OneDimensionArray<NEWMAT::ColumnVector> array;
  array.Resize(static_cast<int>(vectors.size()));
  for (int i = 0; i < array.GetSize(); ++i) array[i] = Vec(vectors[i]);
  return array;
}

TEST(LagOneAutocorrelation, RatioOfLaggedProducts) {
  struct Case {
    const char* name;
    std::vector<std::vector<double>> residuals;
    double expected;
  };
  const Case kCases[] = {
      // lag1(c(0.5, -0.2, 0.3, 0.1, -0.4)): vectors are stacked in order.
      {"two vectors stacked",
       {{0.5, -0.2}, {0.3, 0.1, -0.4}},
       -0.4358974358974359},
      // B / A = 20 / 14 > 1 is capped at 1.
      {"trend capped at one", {{1, 2, 3, 4}}, 1.0},
      {"alternating", {{1, -1, 1, -1}}, -1.0},
      // B / A = -20 / 14 < -1 is bounded at -1 (it was passed on, and the
      // weight matrices took the root of 1 - r^2 < 0).
      {"alternating growth bounded at minus one", {{1, -2, 3, -4}}, -1.0},
      // A is over e(1..n-1) only: a single value gives A = 0.
      {"single residual", {{2.5}}, 0.0},
      {"last residual alone non-zero", {{0, 0, 3}}, 0.0},
      {"no residuals", {}, 0.0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_DOUBLE_EQ(calc_LagOneAutocorrelation(Array(c.residuals)),
                     c.expected);
  }
}

// Two groups of eight yearly values.
KMSeriesSet TwoGroups() {
  KMSeriesSet groups;
  groups.labels.Resize(2);
  groups.xValues.Resize(2);
  groups.yValues.Resize(2);
  groups.labels[0] = "a";
  groups.labels[1] = "b";
  groups.xValues[0] = Vec({1, 2, 3, 4, 5, 6, 7, 8});
  groups.xValues[1] = Vec({1, 2, 3, 4, 5, 6, 7, 8});
  groups.yValues[0] = Vec({1.2, 1.9, 3.1, 3.8, 5.3, 5.9, 7.2, 7.7});
  groups.yValues[1] = Vec({2.0, 2.4, 3.5, 3.9, 4.4, 5.6, 5.8, 6.9});
  groups.covariance.ReSize(16);
  groups.covariance = 0.0;
  return groups;
}

// Runs the estimate for the two groups: parallel model (type 2), k
// kinkmarks, the default grid integers, optional user locations.
NEWMAT::ColumnVector EstimateTwoGroups(int32_t iErrorModel, double dPhi,
                                       int32_t k,
                                       const NEWMAT::ColumnVector& user) {
  NEWMAT::ColumnVector out;
  estimate_GroupAutocorrelations(out, iErrorModel, dPhi, TwoGroups(), user,
                                 user.Nrows() > 0, 2, k, 0, 0, -1.0, 2, 2, 0,
                                 0.05);
  return out;
}

TEST(GroupAutocorrelations, UncorrelatedAndGivenNeedNoFit) {
  struct Case {
    const char* name;
    int32_t errorModel;
    double expected;
  };
  const Case kCases[] = {
      {"uncorrelated", 0, 0.0},
      {"given", 2, 0.35},
      {"unknown code counts as uncorrelated", 7, 0.0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const NEWMAT::ColumnVector out =
        EstimateTwoGroups(c.errorModel, 0.35, 0, NEWMAT::ColumnVector());
    ASSERT_EQ(out.Nrows(), 3);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(out(i), c.expected) << i;
  }
}

TEST(GroupAutocorrelations, OnlyTheEstimateFits) {
  // Groups without observations cannot be fitted: the codes that need no
  // fit still answer, the estimate fails.
  KMSeriesSet empty;
  empty.labels.Resize(2);
  empty.xValues.Resize(2);
  empty.yValues.Resize(2);
  NEWMAT::ColumnVector out;
  estimate_GroupAutocorrelations(out, 0, 0.0, empty, NEWMAT::ColumnVector(),
                                 false, 2, 0, 0, 0, -1.0, 2, 2, 0, 0.05);
  EXPECT_EQ(out.Nrows(), 3);
  EXPECT_THROW(
      estimate_GroupAutocorrelations(out, 1, 0.0, empty, NEWMAT::ColumnVector(),
                                     false, 2, 0, 0, 0, -1.0, 2, 2, 0, 0.05),
      KmException);
}

TEST(GroupAutocorrelations, EstimatedFromResidualsOfPlainFit) {
  // x <- 1:8; ya, yb as in TwoGroups(); g <- factor(rep(1:2, each = 8))
  // h <- pmax(x - 4.5, 0)
  struct Case {
    const char* name;
    int32_t k;
    std::vector<double> userLocations;
    std::vector<double> expected;  // pooled, group a, group b
  };
  const Case kCases[] = {
      // c(lag1(resid(lm(c(ya, yb) ~ g + c(x, x)))),
      //   lag1(resid(lm(ya ~ x))), lag1(resid(lm(yb ~ x))))
      {"no kinkmark",
       0,
       {},
       {0.47134306880984206, -0.80397022332506207, -0.77820636451301861}},
      // c(lag1(resid(lm(c(ya, yb) ~ g + c(x, x) + c(h, h)))),
      //   lag1(resid(lm(ya ~ x + h))), lag1(resid(lm(yb ~ x + h))))
      {"one kinkmark at the user's location",
       1,
       {4.5},
       {0.46951281756918556, -0.77498503889886317, -0.73310910155803832}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const NEWMAT::ColumnVector out =
        EstimateTwoGroups(1, 0.9, c.k, Vec(c.userLocations));
    ASSERT_EQ(out.Nrows(), 3);
    for (int i = 1; i <= 3; ++i) {
      EXPECT_NEAR(out(i), c.expected[i - 1],
                  kFitRelTol * std::fabs(c.expected[i - 1]))
          << i;
    }
  }
}

TEST(GroupAutocorrelations, OneGroupGivesTwoEqualEntries) {
  KMSeriesSet one = TwoGroups();
  one.labels.Resize(1);
  one.labels[0] = "a";
  one.xValues.Resize(1);
  one.xValues[0] = Vec({1, 2, 3, 4, 5, 6, 7, 8});
  one.yValues.Resize(1);
  one.yValues[0] = Vec({1.2, 1.9, 3.1, 3.8, 5.3, 5.9, 7.2, 7.7});
  NEWMAT::ColumnVector out;
  estimate_GroupAutocorrelations(out, 1, 0.0, one, NEWMAT::ColumnVector(),
                                 false, 2, 0, 0, 0, -1.0, 2, 2, 0, 0.05);
  ASSERT_EQ(out.Nrows(), 2);
  EXPECT_DOUBLE_EQ(out(1), out(2));
  // lag1(resid(lm(ya ~ x)))
  EXPECT_NEAR(out(1), -0.80397022332506207, 1e-10);
}

}  // namespace
