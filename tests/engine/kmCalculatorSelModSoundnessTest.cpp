// Model selection by grid search (kmCalculator::SelMod) on series that
// strain the arithmetic: a series far from zero, noise-free series, and
// kinkmarks close together.
#include <gtest/gtest.h>
#include <newmat.h>

#include <algorithm>
#include <vector>

#include "engine/kmCalculator.h"
#include "results/kmCalcData.h"
#include "results/kmFTest.h"
#include "results/kmLineSegment.h"
#include "results/kmTable.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/test_util/TestUtil.h"

using km_engine_test::LoadedCalculator;
using km_engine_test::Observation;

namespace {

constexpr double kMissing = -9999.0;

struct Options {
  int iMethod = 1;
  int e = 2;
  int b = 2;
  int g = 0;
  int kmax = 3;
};

// Runs SelMod on an unweighted linear-scale cohort with 199 permutations
// and seed 7160.
kmCalcData RunSelMod(const std::vector<Observation>& obs, const Options& o) {
  LoadedCalculator lc(obs, [&o](kmSession& s) {
    s.SetInt(kmOptModelSelection, o.iMethod);
    s.SetInt(kmOptMinKinkmarks, 0);
    s.SetInt(kmOptMaxKinkmarks, o.kmax);
    s.SetInt(kmOptMinObsEnd, o.e);
    s.SetInt(kmOptMinObsBetween, o.b);
    s.SetInt(kmOptGridPointsBetween, o.g);
    s.SetBool(kmOptLogLinear, false);
    s.SetInt(kmOptAutocorrErrors, 0);
    s.SetInt(kmOptNumPermutations, 199);
    s.SetInt(kmOptPermutationSeed, 7160);
    s.SetDouble(kmOptPermSignificance, 0.05);
  });
  kmCalcData data;
  lc.calc->SelMod(&data, nullptr, 0, 0);
  return data;
}

// Sum of (observed - fitted)^2 over the observation rows of a model's
// result rows (unit weights).
double DirectResidualSum(const kmTable& table) {
  const NEWMAT::Matrix& m = table.GetData();
  double dSum = 0.0;
  for (int r = 1; r <= m.Nrows(); ++r) {
    if (m(r, 2) == kMissing) continue;
    const double e = m(r, 2) - m(r, 3);
    dSum += e * e;
  }
  return dSum;
}

// y_i = level + 3i - 5 max(i - 12, 0) + (i mod 3) - 1 at x = 1990 + i,
// i = 0..29: one kinkmark, at 2002, in noise of +-1.
std::vector<Observation> KinkedSeriesAt(double dLevel) {
  std::vector<Observation> obs;
  for (int i = 0; i < 30; ++i) {
    obs.push_back({1990.0 + i,
                   dLevel + 3.0 * i - 5.0 * std::max(i - 12, 0) + (i % 3) - 1});
  }
  return obs;
}

TEST(SelModSoundness, ResidualSumsKeepTheirPrecisionFarFromZero) {
  const kmCalcData atLevel = RunSelMod(KinkedSeriesAt(1e7), Options());
  ASSERT_EQ(atLevel.vModels.size(), 4u);
  for (int k = 0; k <= 3; ++k) {
    SCOPED_TRACE(testing::Message() << "k = " << k);
    const kmTable& table = atLevel.GetModel(k);
    EXPECT_TRUE(
        km_test::RelNear(table.GetSSE(), DirectResidualSum(table), 1e-9));
  }
  EXPECT_EQ(atLevel.uFinalSelectedModel, 1);

  // The level changes nothing but the intercepts.
  for (double dLevel : {0.0, 1e4, 1e8}) {
    SCOPED_TRACE(testing::Message() << "level " << dLevel);
    const kmCalcData shifted = RunSelMod(KinkedSeriesAt(dLevel), Options());
    ASSERT_EQ(shifted.vModels.size(), 4u);
    EXPECT_EQ(shifted.uFinalSelectedModel, 1);
    for (int k = 0; k <= 3; ++k) {
      SCOPED_TRACE(testing::Message() << "k = " << k);
      const kmTable& a = atLevel.GetModel(k);
      const kmTable& b = shifted.GetModel(k);
      EXPECT_TRUE(km_test::RelNear(b.GetSSE(), a.GetSSE(), 1e-9));
      ASSERT_EQ(b.GetNumKinkmarks(), k);
      for (int j = 0; j < k; ++j) {
        EXPECT_EQ(b.GetKinkmark(j).dEstimate, a.GetKinkmark(j).dEstimate);
      }
    }
  }
}

TEST(SelModSoundness, NoiseFreeSeriesChooseTheirNumberOfKinkmarks) {
  struct Case {
    const char* sName;
    double dFirstX;
    double dStep;
    int n;
    // y = a + b x + sum of d_j max(x - t_j, 0)
    double a;
    double b;
    std::vector<double> vKinks;
    std::vector<double> vChanges;
  };
  const Case kCases[] = {
      {"straight line", 1.0, 1.0, 15, 2.0, 0.3, {}, {}},
      {"one kinkmark", 2001.0, 1.0, 16, 40.0, -1.2, {2008.0}, {2.5}},
      {"two kinkmarks", 1.5, 0.5, 30, 1.0, 0.7, {5.5, 11.0}, {-1.3, 0.9}},
      {"three kinkmarks",
       1990.0,
       1.0,
       30,
       250.0,
       1.5,
       {1997.0, 2004.0, 2011.0},
       {-2.5, 3.25, -4.0}},
  };
  for (const Case& c : kCases) {
    std::vector<Observation> obs;
    for (int i = 0; i < c.n; ++i) {
      const double x = c.dFirstX + i * c.dStep;
      double y = c.a + c.b * x;
      for (size_t j = 0; j < c.vKinks.size(); ++j) {
        y += c.vChanges[j] * std::max(x - c.vKinks[j], 0.0);
      }
      obs.push_back({x, y});
    }
    for (int iMethod : {0, 1}) {
      SCOPED_TRACE(testing::Message() << c.sName << ", method " << iMethod);
      Options o;
      o.iMethod = iMethod;
      const kmCalcData data = RunSelMod(obs, o);
      EXPECT_EQ(data.uFinalSelectedModel, c.vKinks.size());
      // A perfect fit needs no permutation test.
      EXPECT_EQ(data.vFTests.size(), 0u);
    }
  }
}

TEST(SelModSoundness, FittedValuesFollowTheModelBetweenCloseKinkmarks) {
  // No observations required between kinkmarks and three grid points per
  // gap: the two-kinkmark fit may place both between 9 and 10.
  const double kY[20] = {1.5248, 1.1142, 1.2546, 0.8040, 1.7975, 1.9041, 2.0390,
                         2.4946, 2.7263, 2.4803, 5.7341, 6.0573, 6.6069, 6.7684,
                         6.4083, 6.6642, 7.4211, 7.8724, 7.5907, 7.5950};
  std::vector<Observation> obs;
  for (int i = 0; i < 20; ++i) obs.push_back({static_cast<double>(i), kY[i]});
  Options o;
  o.iMethod = 0;
  o.e = 1;
  o.b = 0;
  o.g = 3;
  const kmCalcData data = RunSelMod(obs, o);
  ASSERT_EQ(data.vModels.size(), 4u);
  for (int k = 1; k <= 3; ++k) {
    SCOPED_TRACE(testing::Message() << "k = " << k);
    const kmTable& table = data.GetModel(k);
    const NEWMAT::Matrix& rows = table.GetData();
    for (int r = 1; r <= rows.Nrows(); ++r) {
      if (rows(r, 2) == kMissing) continue;
      // The model at x: the segment after every kinkmark below x.
      const double x = rows(r, 1);
      int s = 0;
      while (s < k && table.GetKinkmark(s).dEstimate < x) ++s;
      const kmLineSegment& seg = table.GetLineSegment(s);
      EXPECT_NEAR(rows(r, 3), seg.intercept.dEstimate + seg.slope.dEstimate * x,
                  1e-9)
          << "x = " << x;
    }
  }
  // The tests 0-3 and 1-3 reject; 2 against 3 keeps 2.
  ASSERT_EQ(data.vFTests.size(), 3u);
  EXPECT_DOUBLE_EQ(data.GetFTest(2).dPermPValue, 61.0 / 200.0);
  EXPECT_EQ(data.uFinalSelectedModel, 2);
}

}  // namespace
