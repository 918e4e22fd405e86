// Model selection by Hudson's method with early stopping
// (kmCalculator::SelModESR) end to end: its continuous fits against a brute
// force, its choice against the grid-search driver, the three stopping
// rules, the seed rule, and NChooseK.
#include <gtest/gtest.h>
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "results/kmCalcData.h"
#include "results/kmFTest.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr double kX0 = 1990.0;
constexpr int kStopBValue = 0;
constexpr int kStopCurtailed = 1;
constexpr int kStopFixed = 2;

struct Options {
  int iDriver = 1;  // kmOptMethod: 0 grid search (SelMod), 1 Hudson's
  int iMethod = 0;
  int kmin = 0;
  int kmax = 2;
  int iMinEnd = 2;
  int iMinBetween = 2;
  int iPermutations = 199;
  int iStopping = kStopFixed;
  int iSeed = 7160;
  double dAlpha = 0.05;
  int iCohort = 0;
};

// A fresh session and calculator per run, the cohort's x at kX0, kX0 + 1,
// ... and the given responses and weights.
class SelModESRTest : public ::testing::Test {
 protected:
  void Run(const Options& o, const std::vector<double>& vY,
           const std::vector<double>& vW = {}) {
    const int n = static_cast<int>(vY.size());
    session_ = std::make_unique<kmSession>();
    session_->SetInt(kmOptMethod, o.iDriver);
    session_->SetInt(kmOptModelSelection, o.iMethod);
    session_->SetInt(kmOptMinKinkmarks, o.kmin);
    session_->SetInt(kmOptMaxKinkmarks, o.kmax);
    session_->SetInt(kmOptMinObsEnd, o.iMinEnd);
    session_->SetInt(kmOptMinObsBetween, o.iMinBetween);
    session_->SetInt(kmOptGridPointsBetween, 0);
    session_->SetBool(kmOptLogLinear, true);
    session_->SetInt(kmOptAutocorrErrors, 0);
    session_->SetInt(kmOptNumPermutations, o.iPermutations);
    session_->SetInt(kmOptEarlyStopping, o.iStopping);
    session_->SetInt(kmOptPermutationSeed, o.iSeed);
    session_->SetDouble(kmOptPermSignificance, o.dAlpha);
    session_->SetInt(kmOptAAPCCIMethod, 0);
    session_->ClearObservationCounts();
    for (int c = 0; c <= o.iCohort; ++c) session_->AddObservationCount(n);
    calc_ = std::make_unique<kmCalculator>(session_.get());
    calc_->LoadCalcMembers(nullptr, o.iCohort);
    calc_->SetNumObservations(static_cast<int16_t>(n));
    CalcMembers(*calc_).pDataX = std::make_unique<Matrix>(n, 2);
    CalcMembers(*calc_).pDataY = std::make_unique<Matrix>(n, 1);
    CalcMembers(*calc_).pDataWeightInput = std::make_unique<ColumnVector>(n);
    CalcMembers(*calc_).pDataAux = std::make_unique<Matrix>(n, 1);
    for (int i = 1; i <= n; ++i) {
      (*CalcMembers(*calc_).pDataX)(i, 1) = 1.0;
      (*CalcMembers(*calc_).pDataX)(i, 2) = kX0 + i - 1;
      (*CalcMembers(*calc_).pDataY)(i, 1) = vY[i - 1];
      (*CalcMembers(*calc_).pDataWeightInput)(i) = vW.empty() ? 1.0 : vW[i - 1];
      (*CalcMembers(*calc_).pDataAux)(i, 1) = 0.1;
    }
    data_ = kmCalcData();
    if (o.iDriver == 1) {
      calc_->SelModESR(&data_, nullptr, o.iCohort);
    } else {
      calc_->SelMod(&data_, nullptr, o.iCohort, 0);
    }
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
  kmCalcData data_;
};

// A small deterministic disturbance in [-1, 1] (a fixed linear congruential
// sequence, so the series do not depend on any generator under test).
std::vector<double> Disturbance(int n, unsigned uSeed) {
  std::vector<double> v;
  for (int i = 0; i < n; ++i) {
    uSeed = uSeed * 1103515245u + 12345u;
    v.push_back(((uSeed >> 8) % 20001) / 10000.0 - 1.0);
  }
  return v;
}

// Continuous piecewise-linear series: slope 0.02 up to x = 7, -0.03 from 7
// to 14, 0.05 after (x counted from 0), plus a small disturbance. The
// kinkmarks sit on observations.
std::vector<double> KinkedSeries(int n, double dNoise) {
  std::vector<double> v;
  const std::vector<double> e = Disturbance(n, 17u);
  for (int i = 0; i < n; ++i) {
    double y = 1.0 + 0.02 * i;
    if (i > 7) y -= 0.05 * (i - 7);
    if (i > 14) y += 0.08 * (i - 14);
    v.push_back(y + dNoise * e[i]);
  }
  return v;
}

// -- Brute force of the continuous fit ----------------------------------

// Weighted SSE of the continuous fit with kinkmarks tau (x from 0).
double HingeSSE(const std::vector<double>& vY, const std::vector<double>& vW,
                const std::vector<double>& vTau) {
  const int n = static_cast<int>(vY.size());
  const int p = 2 + static_cast<int>(vTau.size());
  Matrix mX(n, p);
  ColumnVector y(n);
  for (int i = 1; i <= n; ++i) {
    const double x = i - 1;
    const double s = std::sqrt(vW[i - 1]);
    mX(i, 1) = s;
    mX(i, 2) = s * x;
    for (size_t m = 0; m < vTau.size(); ++m) {
      mX(i, 3 + static_cast<int>(m)) = s * std::max(x - vTau[m], 0.0);
    }
    y(i) = s * vY[i - 1];
  }
  const Matrix mXtX = mX.t() * mX;
  const ColumnVector b = mXtX.i() * (mX.t() * y);
  const ColumnVector r = y - mX * b;
  return r.SumSquare();
}

// Smallest SSE over kinkmarks in the closed gaps [x_p, x_p+1] of every
// admissible segmentation (first and last piece at least a + 1
// observations, consecutive p at least g apart): a grid of 41 points per
// gap, then a finer grid around the best point, twice.
double BruteForceSSE(const std::vector<double>& vY,
                     const std::vector<double>& vW, int k, int a, int g) {
  const int n = static_cast<int>(vY.size());
  double dBest = 1e300;
  std::vector<int> p(k);
  std::vector<double> vTau(k);
  // Recursive walk over the gaps' grids for one segmentation.
  auto search = [&](auto&& self, int m, const std::vector<double>& vLo,
                    const std::vector<double>& vHi, double& dFound,
                    std::vector<double>& vArg) -> void {
    if (m == k) {
      const double d = HingeSSE(vY, vW, vTau);
      if (d < dFound) {
        dFound = d;
        vArg = vTau;
      }
      return;
    }
    for (int s = 0; s <= 40; ++s) {
      vTau[m] = vLo[m] + (vHi[m] - vLo[m]) * s / 40.0;
      self(self, m + 1, vLo, vHi, dFound, vArg);
    }
  };
  auto walk = [&](auto&& self, int m, int iFrom) -> void {
    if (m == k) {
      std::vector<double> vLo(k), vHi(k), vArg(k);
      for (int q = 0; q < k; ++q) {
        vLo[q] = p[q] - 1;  // x of observation p (x counted from 0)
        vHi[q] = p[q];
      }
      double dFound = 1e300;
      for (int round = 0; round < 3; ++round) {
        search(search, 0, vLo, vHi, dFound, vArg);
        for (int q = 0; q < k; ++q) {
          const double dStep = (vHi[q] - vLo[q]) / 40.0;
          vLo[q] = std::max(vArg[q] - dStep, double(p[q] - 1));
          vHi[q] = std::min(vArg[q] + dStep, double(p[q]));
        }
      }
      dBest = std::min(dBest, dFound);
      return;
    }
    for (int q = iFrom; q <= n - a - 1 - (k - 1 - m) * g; ++q) {
      p[m] = q;
      self(self, m + 1, q + g);
    }
  };
  walk(walk, 0, a + 1);
  return dBest;
}

// 13 observations with kinks at x = 4.4 and 8.7 (x counted from 0), between
// observations, and a small disturbance; weighted by kBetweenWeights.
std::vector<double> KinksBetweenObservations() {
  const int n = 13;
  std::vector<double> vY;
  const std::vector<double> e = Disturbance(n, 5u);
  for (int i = 0; i < n; ++i) {
    vY.push_back(2.0 + 0.1 * i - 0.25 * std::max(i - 4.4, 0.0) +
                 0.3 * std::max(i - 8.7, 0.0) + 0.01 * e[i]);
  }
  return vY;
}
const std::vector<double> kBetweenWeights = {1, 2, 1.5, 1, 0.5, 2, 1,
                                             1, 3, 1,   2, 1,   1};

TEST_F(SelModESRTest, ContinuousFitsMatchABruteForceSearch) {
  // Kinks between observations so that Hudson's search, not the grid,
  // finds the best fit.
  const std::vector<double> vY = KinksBetweenObservations();
  const std::vector<double>& vW = kBetweenWeights;
  struct Case {
    int a;
    int iMinBetween;
  };
  for (const Case& c : {Case{2, 2}, Case{1, 1}}) {
    SCOPED_TRACE(testing::Message()
                 << "ends " << c.a << ", between " << c.iMinBetween);
    Options o;
    o.iMethod = 1;
    o.iMinEnd = c.a;
    o.iMinBetween = c.iMinBetween;
    Run(o, vY, vW);
    ASSERT_EQ(data_.vModels.size(), 3u);
    for (int k = 1; k <= 2; ++k) {
      SCOPED_TRACE(testing::Message() << "k = " << k);
      const double dBrute = BruteForceSSE(vY, vW, k, c.a, c.iMinBetween + 2);
      const double dESR = data_.GetModel(k).GetSSE();
      // Hudson's fit is exact; the brute force can only come close from
      // above.
      EXPECT_LE(dESR, dBrute * (1.0 + 1e-9));
      EXPECT_TRUE(km_test::RelNear(dESR, dBrute, 1e-5));
      // Fault: with ends 2 the one kinkmark, 1999.88, lies beyond the
      // grid's last point, 1999, and its interval ended there.
      for (int i = 0; i < k; ++i) {
        const kmEstValue& kink = data_.GetModel(k).GetKinkmark(i);
        EXPECT_LE(kink.dLower, kink.dEstimate);
        EXPECT_GE(kink.dUpper, kink.dEstimate);
      }
    }
  }
}

// ln|det| of a small symmetric positive definite matrix (row-major p x p),
// by Gaussian elimination without pivoting.
double LogDeterminant(std::vector<double> a, int p) {
  double dLog = 0.0;
  for (int i = 0; i < p; ++i) {
    for (int r = i + 1; r < p; ++r) {
      const double f = a[r * p + i] / a[i * p + i];
      for (int c = i; c < p; ++c) a[r * p + c] -= f * a[i * p + c];
    }
    dLog += std::log(std::fabs(a[i * p + i]));
  }
  return dLog;
}

TEST_F(SelModESRTest, MBICOfAContinuousFitUsesItsOwnDesign) {
  // Kinks between observations, so that Hudson's fit replaces the grid's;
  // its MBIC recomputed from the X'WX of its own kinkmarks.
  const std::vector<double> vY = KinksBetweenObservations();
  const std::vector<double>& vW = kBetweenWeights;
  const int n = static_cast<int>(vY.size());
  Options o;
  o.iMethod = 2;
  Run(o, vY, vW);
  ASSERT_EQ(data_.vModels.size(), 3u);
  for (int k = 1; k <= 2; ++k) {
    SCOPED_TRACE(testing::Message() << "k = " << k);
    const kmTable& model = data_.GetModel(k);
    const int p = k + 2;
    std::vector<double> vXWX(p * p, 0.0);
    bool bBetweenObservations = false;
    for (int i = 0; i < n; ++i) {
      std::vector<double> vRow = {1.0, static_cast<double>(i)};
      for (int j = 0; j < k; ++j) {
        const double dTau = model.GetKinkmark(j).dEstimate - kX0;
        bBetweenObservations |= dTau != std::round(dTau);
        vRow.push_back(std::max(i - dTau, 0.0));
      }
      for (int r = 0; r < p; ++r) {
        for (int c = 0; c < p; ++c)
          vXWX[r * p + c] += vW[i] * vRow[r] * vRow[c];
      }
    }
    EXPECT_TRUE(bBetweenObservations);
    const double dSSE = model.GetSSE();
    const double dMBIC = std::log(dSSE / n) + 2.0 * k * std::log(n) / n +
                         LogDeterminant(vXWX, p) / n -
                         2.0 * std::lgamma((n - k - 3) * 0.5) / n -
                         (k + 3) * std::log(dSSE) / n;
    EXPECT_NEAR(model.GetBIC(), dMBIC, 1e-9);
  }
}

TEST_F(SelModESRTest, SmallUnitsGiveTheSameFits) {
  // The same series in units 1e-4 as large (a proportion instead of a
  // count): every run's residual sum falls below 1e-6, and an absolute
  // exact-fit cut zeroed them all, so the search placed the kinkmarks
  // anywhere. The kinkmarks and the choice must not depend on the units.
  const int n = 16;
  const std::vector<double> e = Disturbance(n, 11u);
  std::vector<double> vY;
  for (int i = 0; i < n; ++i) {
    vY.push_back(3.0 + 0.4 * i - 0.9 * std::max(i - 5.3, 0.0) +
                 0.8 * std::max(i - 10.6, 0.0) + 0.05 * e[i]);
  }
  Options o;
  o.iMethod = 1;
  o.iMinEnd = 1;
  o.iMinBetween = 1;
  Run(o, vY);
  const kmCalcData unscaled = data_;
  ASSERT_EQ(unscaled.vModels.size(), 3u);
  for (double dScale : {1e-4, 1e-6}) {
    SCOPED_TRACE(dScale);
    std::vector<double> vScaled;
    for (double y : vY) vScaled.push_back(dScale * y);
    Run(o, vScaled);
    ASSERT_EQ(data_.vModels.size(), 3u);
    EXPECT_EQ(data_.uFinalSelectedModel, unscaled.uFinalSelectedModel);
    for (int k = 1; k <= 2; ++k) {
      SCOPED_TRACE(testing::Message() << "k = " << k);
      const kmTable& a = unscaled.GetModel(k);
      const kmTable& b = data_.GetModel(k);
      EXPECT_TRUE(
          km_test::RelNear(b.GetSSE(), a.GetSSE() * dScale * dScale, 1e-9));
      ASSERT_EQ(b.GetNumKinkmarks(), k);
      for (int j = 0; j < k; ++j) {
        EXPECT_NEAR(b.GetKinkmark(j).dEstimate, a.GetKinkmark(j).dEstimate,
                    1e-9);
      }
    }
  }
}

TEST_F(SelModESRTest, ChoosesAsTheGridSearchDriverOnObservationKinkmarks) {
  const std::vector<double> vY = KinkedSeries(22, 0.01);
  struct Case {
    int iMethod;
    int iStopping;
  };
  const Case kCases[] = {{0, kStopBValue}, {0, kStopCurtailed},
                         {0, kStopFixed},  {1, kStopFixed},
                         {4, kStopFixed},  {6, kStopFixed}};
  // BIC of the two-kinkmark model by each driver, for the weighted
  // criterion below.
  double dBIC[2] = {0.0, 0.0};
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message()
                 << "method " << c.iMethod << ", stopping " << c.iStopping);
    Options o;
    o.iMethod = c.iMethod;
    o.iStopping = c.iStopping;
    o.kmax = 3;
    o.iPermutations = 99;
    o.iDriver = 0;
    Run(o, vY);
    const kmCalcData grid = data_;
    o.iDriver = 1;
    Run(o, vY);
    EXPECT_EQ(data_.uFinalSelectedModel, grid.uFinalSelectedModel);
    EXPECT_EQ(data_.uFinalSelectedModel, 2);
    ASSERT_EQ(data_.vModels.size(), 4u);
    if (c.iMethod == 1) {
      dBIC[0] = grid.GetModel(2).GetBIC();
      dBIC[1] = data_.GetModel(2).GetBIC();
    }
    if (c.iMethod == 4) {
      // Both choices see the same models on the same scale.
      EXPECT_EQ(data_.lSelectionCriterion, grid.lSelectionCriterion);
      EXPECT_TRUE(km_test::RelNear(data_.dSelectionValues[0],
                                   grid.dSelectionValues[0], 0.3));
    }
    if (c.iMethod == 6) {
      // Hudson's fit is a little closer (its kinkmarks may leave the
      // observations), but the penalty, from the kinkmarks' correlations
      // with the same series, is the grid search's to within 0.02.
      const double dPenaltyGrid = grid.GetModel(2).GetBIC() - dBIC[0];
      const double dPenaltyESR = data_.GetModel(2).GetBIC() - dBIC[1];
      EXPECT_GT(dPenaltyGrid, 0.1);
      EXPECT_NEAR(dPenaltyESR, dPenaltyGrid, 0.02);
    }
  }
}

TEST_F(SelModESRTest, StoppingRulesOnAClearTrendAndOnNoise) {
  const std::vector<double> vTrend = KinkedSeries(16, 0.005);
  std::vector<double> vNoise = Disturbance(16, 99u);
  for (double& d : vNoise) d = 1.0 + 0.1 * d;
  struct Case {
    const char* sName;
    const std::vector<double>* pY;
    int iStopping;
    int iFinal;
    int iDataSets;  // data sets of the one test; 0: fewer than P + 1 / 4
  };
  // One test (0 against 1) at level 0.05 on 4500 data sets. A clear trend
  // is never matched by a permuted data set: the B-value table stops at
  // its lower boundary (1, 359); the curtailed table only at (1, 5549),
  // past the end. Noise reaches the upper boundaries early.
  const Case kCases[] = {
      {"trend, B-value", &vTrend, kStopBValue, 1, 359},
      {"trend, curtailed", &vTrend, kStopCurtailed, 1, 4500},
      {"noise, B-value", &vNoise, kStopBValue, 0, 0},
      {"noise, curtailed", &vNoise, kStopCurtailed, 0, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    Options o;
    o.kmax = 1;
    o.iPermutations = 4499;
    o.iStopping = c.iStopping;
    Run(o, *c.pY);
    EXPECT_EQ(data_.uFinalSelectedModel, c.iFinal);
    ASSERT_EQ(data_.vFTests.size(), 1u);
    const kmFTest& test = data_.GetFTest(0);
    if (c.iDataSets > 0) {
      EXPECT_EQ(test.lNumPermutations, c.iDataSets);
      EXPECT_DOUBLE_EQ(test.dPermPValue, 1.0 / c.iDataSets);
    } else {
      EXPECT_LT(test.lNumPermutations, 4500 / 4);
      EXPECT_GT(test.dPermPValue, 0.05);
    }
  }
}

TEST_F(SelModESRTest, FixedStoppingUsesEveryDataSet) {
  Options o;
  o.kmax = 2;
  o.iPermutations = 99;
  o.iStopping = kStopFixed;
  Run(o, KinkedSeries(18, 0.01));
  ASSERT_FALSE(data_.vFTests.empty());
  for (const kmFTest& test : data_.vFTests) {
    EXPECT_EQ(test.lNumPermutations, 100);
  }
}

TEST_F(SelModESRTest, SeedIsTheOptionOrTheCohortIndexPlus7160) {
  std::vector<double> vY = Disturbance(14, 3u);
  for (double& d : vY) d = 1.0 + 0.05 * d;
  auto pValue = [&](int iSeed, int iCohort) {
    Options o;
    o.kmax = 1;
    o.iSeed = iSeed;
    o.iCohort = iCohort;
    Run(o, vY);
    return data_.GetFTest(0).dPermPValue;
  };
  EXPECT_EQ(pValue(0, 3), pValue(7163, 0));
  EXPECT_EQ(pValue(0, 0), pValue(7160, 0));
  EXPECT_NE(pValue(0, 3), pValue(0, 0));
}

TEST_F(SelModESRTest, EdgesOfTheSelection) {
  const std::vector<double> vY = KinkedSeries(14, 0.01);
  struct Case {
    const char* sName;
    int n;
    int kmin;
    int kmax;
    int iPermutations;
    size_t nModels;
    int iFinal;  // -1: not checked
  };
  const Case kCases[] = {
      {"kmin = kmax", 14, 1, 1, 199, 1, 1},
      {"no permutations", 14, 0, 1, 0, 2, 0},
      // With two more observations at the ends and between, the grid of
      // ten observations holds no two kinkmarks; Hudson's segmentations
      // hold one, (3, 7).
      {"more kinkmarks than the grid holds", 10, 0, 2, 19, 3, -1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    Options o;
    o.kmin = c.kmin;
    o.kmax = c.kmax;
    o.iPermutations = c.iPermutations;
    Run(o, std::vector<double>(vY.begin(), vY.begin() + c.n));
    EXPECT_EQ(data_.vModels.size(), c.nModels);
    if (c.iFinal >= 0) {
      EXPECT_EQ(data_.uFinalSelectedModel, c.iFinal);
      EXPECT_TRUE(data_.vFTests.empty());
    } else {
      EXPECT_LE(data_.GetModel(2).GetSSE(), data_.GetModel(1).GetSSE());
    }
  }
}

TEST_F(SelModESRTest, ExactFitIsFinalWhateverTheMethod) {
  std::vector<double> vLine;
  for (int i = 0; i < 14; ++i) vLine.push_back(1.3 + 0.07 * i);
  for (int iMethod : {0, 1}) {
    SCOPED_TRACE(testing::Message() << "method " << iMethod);
    Options o;
    o.iMethod = iMethod;
    Run(o, vLine);
    EXPECT_EQ(data_.uFinalSelectedModel, 0);
    EXPECT_TRUE(data_.vFTests.empty());
    EXPECT_EQ(data_.vModels.size(), 3u);
  }
}

TEST(NChooseK, BinomialCoefficientsInSixtyFourBitsWithALimit) {
  struct Case {
    int n;
    int k;
    int32_t iExpected;  // -1: too large for the table
  };
  const Case kCases[] = {
      {5, 0, 1},
      {5, -2, 1},
      {5, 2, 10},
      {10, 3, 120},
      {50, 4, 230300},
      {7, 9, 0},
      {40, 38, 780},
      {100, 5, 75287520},
      {216, 4, 88201170},
      {2345, 3, 2146453540},
      {2346, 3, -1},
      {193, 5, 2118000528},
      {194, 5, -1},
      {32767, 9, -1},
      {32767, 2, 536821761},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "C(" << c.n << ", " << c.k << ")");
    if (c.iExpected >= 0) {
      EXPECT_EQ(kmCalculator::NChooseK(static_cast<int16_t>(c.n),
                                       static_cast<int16_t>(c.k)),
                c.iExpected);
    } else {
      const KmException e = km_test::CatchKmException([&] {
        kmCalculator::NChooseK(static_cast<int16_t>(c.n),
                               static_cast<int16_t>(c.k));
      });
      EXPECT_NE(std::string(e.GetMessage()).find("segmentation table"),
                std::string::npos);
    }
  }
  km_test::CatchKmException([] { kmCalculator::NChooseK(-1, 2); });
}

}  // namespace
