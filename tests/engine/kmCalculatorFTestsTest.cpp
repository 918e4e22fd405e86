// F statistics of the permutation test (FPValue, FTest, FTestObs,
// FTestPerm). Parametric p-values from R: pf(F, df1, df2, lower.tail = FALSE).
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "results/kmFTest.h"
#include "session/kmSession.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;

namespace {

// Upper-tail probabilities agree with R to this relative tolerance.
constexpr double kPTol = 1e-10;

ColumnVector Vec(const std::vector<double>& values) {
  ColumnVector v(static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    v(static_cast<int>(i + 1)) = values[i];
  }
  return v;
}

struct FCalculator : km_engine_test::LoadedCalculator {
  explicit FCalculator(int16_t iN)
      : LoadedCalculator(km_engine_test::Observations(
            km_engine_test::Sequence(iN), std::vector<double>(iN))) {}
};

TEST(FPValue, UpperTailAndInvalidArguments) {
  struct Case {
    double dF;
    int iDf1, iDf2;
    double dExpected;
  };
  const Case kCases[] = {
      {2.5, 1, 10, 0.1449276054040804},  // pf(2.5, 1, 10, lower = F)
      {0.3, 7, 3, 0.91412549774791541},
      {40, 5, 100, 2.1235493538408472e-22},
      {0.0, 2, 10, 1.0},  // no evidence against the smaller model
      {-1.0, 2, 10, 1.0},
      {std::nan(""), 2, 10, 1.0},  // nor is an F that is not a number
      {3.0, 0, 10, 0.0},
      {3.0, 2, 0, 0.0},
  };
  FCalculator fc(20);
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.dF) + " " + std::to_string(c.iDf1) + " " +
                 std::to_string(c.iDf2));
    const double p = fc.calc->FPValue(c.dF, c.iDf1, c.iDf2);
    if (c.dExpected == 0.0) {
      EXPECT_EQ(p, 0.0);
    } else {
      EXPECT_TRUE(km_test::RelNear(p, c.dExpected, kPTol));
    }
  }
}

TEST(FTest, OneAddedKinkmarkRecordsBothStatistics) {
  // n = 20, 0 against 1 kinkmark: df 2 and 16; F = (50 - 30) / 30 * 8.
  // R: pf(16/3, 2, 16, lower = F); pf(32/9, 3, 16, lower = F)
  FCalculator fc(20);
  kmFTest test(0, 1);
  // Data sets 2..5: F = 16 (reaches), 16/3 (equal), 0 (a perfect
  // alternative fit), 2.
  const ColumnVector s0 = Vec({50, 60, 50, 40, 37.5});
  const ColumnVector s1 = Vec({30, 30, 30, 0, 30});
  const double p = fc.calc->FTest(5, 0, 1, 0.05, 5, s0, s1, test);
  EXPECT_DOUBLE_EQ(test.dF, 16.0 / 3.0);
  EXPECT_EQ(test.lNumeratorDF, 2);
  EXPECT_EQ(test.lDenominatorDF, 16);
  EXPECT_TRUE(km_test::RelNear(test.dPValue, 0.016796159999999991, kPTol));
  EXPECT_TRUE(test.bSecondStat);
  EXPECT_DOUBLE_EQ(test.dSecondF, 32.0 / 9.0);
  EXPECT_EQ(test.lSecondNumeratorDF, 3);
  EXPECT_TRUE(
      km_test::RelNear(test.dSecondPValue, 0.038232754413457075, kPTol));
  EXPECT_EQ(test.lNumPermutations, 5);
  // Observed, F = 8 and the tie count: 3 of 5.
  EXPECT_DOUBLE_EQ(p, 3.0 / 5.0);
  EXPECT_DOUBLE_EQ(test.dPermPValue, 3.0 / 5.0);
  EXPECT_EQ(test.dAlpha, 0.05);
}

TEST(FTest, LargerModelFittingWorseIsNoEvidence) {
  // The one-kinkmark search on its grid ended above the straight line: F
  // = (30 - 31) / 31 * 8 < 0. Both parametric p-values are 1, not 0.
  FCalculator fc(20);
  kmFTest test(0, 1);
  fc.calc->FTest(5, 0, 1, 0.05, 2, Vec({30, 40}), Vec({31, 20}), test);
  EXPECT_LT(test.dF, 0.0);
  EXPECT_EQ(test.dPValue, 1.0);
  EXPECT_LT(test.dSecondF, 0.0);
  EXPECT_EQ(test.dSecondPValue, 1.0);
  // The sequential test's observed statistic alike.
  kmFTest seq(0, 1);
  fc.calc->FTestObs(seq, 0, 1, Vec({30}), Vec({31}));
  EXPECT_EQ(seq.dPValue, 1.0);
}

TEST(FTest, TwoAddedKinkmarksHasNoSecondStatistic) {
  // n = 30, 1 against 3: df 4 and 22; F = 3/9 * 5.5.
  // R: pf(11/6, 4, 22, lower = F)
  FCalculator fc(30);
  kmFTest test(1, 3);
  const double p =
      fc.calc->FTest(2, 1, 3, 0.01, 3, Vec({12, 10, 20}), Vec({9, 9, 9}), test);
  EXPECT_DOUBLE_EQ(test.dF, 11.0 / 6.0);
  EXPECT_EQ(test.lNumeratorDF, 4);
  EXPECT_EQ(test.lDenominatorDF, 22);
  EXPECT_TRUE(km_test::RelNear(test.dPValue, 0.15838176012039193, kPTol));
  EXPECT_FALSE(test.bSecondStat);
  EXPECT_EQ(test.lSecondNumeratorDF, 0);
  EXPECT_DOUBLE_EQ(p, 2.0 / 3.0);
}

TEST(FTestTies, EpsilonCountsInCompleteTestButNotInSequentialStep) {
  // n = 5, 0 against 1 kinkmark: FTest's F = (10.2 - 10) / 10 * 1 / 2; a
  // data set whose S0 is one step below 10.2 gives an F about 9e-17 below
  // it, within the epsilon tolerance of FTest. FTestPerm (F of FTestObs,
  // df 2 and 3) takes no tolerance: the smaller F does not count.
  FCalculator fc(5);
  const double dBelow = std::nextafter(10.2, 0.0);
  const ColumnVector s0 = Vec({10.2, dBelow});
  const ColumnVector s1 = Vec({10.0, 10.0});
  kmFTest test(0, 1);
  EXPECT_EQ(fc.calc->FTest(1, 0, 1, 0.05, 2, s0, s1, test), 1.0);
  kmFTest seq(0, 1);
  fc.calc->FTestObs(seq, 0, 1, s0, s1);
  EXPECT_EQ(fc.calc->FTestPerm(seq, 1, s0, s1), 1);
  EXPECT_EQ(fc.calc->FTestPerm(seq, 2, s0, s1), 0);
}

TEST(FTest, PermutationPValueCountsObservedDataSet) {
  // P = 4499 permutations of which 224 reach the observed F: 225 / 4500.
  FCalculator fc(20);
  const int iSets = 4500;
  ColumnVector s0(iSets);
  ColumnVector s1(iSets);
  s1 = 10.0;
  s0(1) = 20.0;
  for (int i = 2; i <= iSets; ++i) s0(i) = i <= 225 ? 25.0 : 15.0;
  kmFTest test(0, 1);
  EXPECT_DOUBLE_EQ(fc.calc->FTest(1, 0, 1, 0.05, iSets, s0, s1, test), 0.05);
  EXPECT_EQ(test.GetSelectedHypothesis(), 1);
}

TEST(FTest, DegenerateCases) {
  FCalculator fc(20);
  {
    SCOPED_TRACE("perfect alternative fit");
    kmFTest test(0, 1);
    const double p =
        fc.calc->FTest(1, 0, 1, 0.05, 3, Vec({5, 4, 3}), Vec({0, 1, 0}), test);
    EXPECT_EQ(test.dF, 0.0);
    EXPECT_EQ(test.dPValue, 1.0);
    EXPECT_EQ(p, 1.0);
  }
  {
    SCOPED_TRACE("observed data only");
    kmFTest test(0, 1);
    EXPECT_EQ(fc.calc->FTest(1, 0, 1, 0.05, 1, Vec({5}), Vec({4}), test), 0.0);
    EXPECT_EQ(test.dPermPValue, 0.0);
    EXPECT_EQ(test.dAlpha, 0.0);
    EXPECT_EQ(test.lNumPermutations, 1);
  }
  {
    SCOPED_TRACE("more data sets than sums");
    kmFTest test(0, 1);
    const KmException ex = km_test::CatchKmException([&] {
      fc.calc->FTest(1, 0, 1, 0.05, 4, Vec({5, 4, 3}), Vec({4, 4, 3}), test);
    });
    EXPECT_NE(std::string(ex.GetCallPath()).find("FTest()"), std::string::npos);
  }
}

TEST(FTestObsPerm, SequentialStepsUseNullDegreesOfFreedom) {
  // n = 20, 0 against 1: df 2 and 18 (the null's); F = 20/30 * 9 = 6.
  // R: pf(6, 2, 18, lower = F)
  FCalculator fc(20);
  kmFTest test(0, 1);
  const ColumnVector s0 = Vec({50, std::nextafter(50.0, 0.0), 59, 40, 45});
  const ColumnVector s1 = Vec({30, 30, 30, 20, 0});
  EXPECT_DOUBLE_EQ(fc.calc->FTestObs(test, 0, 1, s0, s1), 6.0);
  EXPECT_EQ(test.lNumeratorDF, 2);
  EXPECT_EQ(test.lDenominatorDF, 18);
  EXPECT_TRUE(km_test::RelNear(test.dPValue, 0.010077696000000004, kPTol));
  struct Case {
    int16_t i;
    int iExpected;
  };
  // 1: the observed data itself; 2: one step below the observed F (no
  // tolerance here); 3 and 4: above; 5: a perfect fit gives F = 0.
  const Case kCases[] = {{1, 1}, {2, 0}, {3, 1}, {4, 1}, {5, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.i);
    EXPECT_EQ(fc.calc->FTestPerm(test, c.i, s0, s1), c.iExpected);
  }
  EXPECT_THROW(fc.calc->FTestPerm(test, 6, s0, s1), KmException);
}

TEST(FTestObsPerm, NoAddedParametersGivesZeroF) {
  // An alternative no larger than the null has no numerator degrees of
  // freedom; the statistic must be 0 rather than a division by zero.
  FCalculator fc(20);
  kmFTest test(1, 1);
  EXPECT_EQ(fc.calc->FTestObs(test, 1, 1, Vec({5}), Vec({4})), 0.0);
  EXPECT_EQ(test.dPValue, 0.0);
  EXPECT_EQ(fc.calc->FTestPerm(test, 1, Vec({5}), Vec({4})), 1);
}

}  // namespace
