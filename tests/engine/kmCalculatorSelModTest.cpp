// Model selection by grid search (kmCalculator::SelMod) on a twelve-year
// cohort, end to end: the stored models against a brute force in R
// (kmCalculatorSelModBruteForce.R beside this file) and the number of
// kinkmarks each selection method picks.
#include <gtest/gtest.h>
#include <newmat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "results/kmCalcData.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::DiagonalMatrix;
using NEWMAT::Matrix;

namespace {

constexpr int kN = 12;
constexpr double kX0 = 1990.0;
constexpr double kY[kN] = {1.00, 1.06, 1.09, 1.16, 1.21, 1.17,
                           1.15, 1.11, 1.09, 1.18, 1.25, 1.34};
constexpr double kW[kN] = {1, 2, 1.5, 1, 0.5, 2, 1, 1, 3, 1, 2, 1};

// Tolerances: residual sums and criteria are well conditioned; APCs go
// through the slopes.
constexpr double kQTol = 1e-9;
constexpr double kApcTol = 1e-7;

// Rscript kmCalculatorSelModBruteForce.R: best placement of k = 0..3
// kinkmarks (unshifted years), its weighted SSE, BIC and segment APCs.
struct BruteForceModel {
  int k;
  double dQ;
  double dBIC;
  double dTau[3];
  double dAPC[4];
};
const BruteForceModel kModels[] = {
    {0,
     0.056418099149310605,
     -4.9457208065450606,
     {0, 0, 0},
     {1.7245878182385432, 0, 0, 0}},
    {1,
     0.03059848822039752,
     -5.1434091089984211,
     {1998, 0, 0},
     {0.65851666476273163, 6.6815534889954176, 0, 0}},
    {2,
     0.00065956324604423257,
     -8.56638601530776,
     {1994, 1998, 0},
     {5.0763433748378439, -2.7660579803541196, 8.6063240376190073, 0}},
    {3,
     0.0031675931775110491,
     -6.583085446061717,
     {1992, 1995, 1998},
     {5.4643483550179894, 2.4142368341208753, -3.0406220864430122,
      8.6306862709462742}},
};
// R picks 2 by BIC and by the permutation tests (0 vs 3, 1 vs 3 reject at
// p = 0.005; 2 vs 3 keeps 2 at p = 0.615).
constexpr int kSelected = 2;

struct Options {
  int iMethod = 0;
  int kmin = 0;
  int kmax = 3;
  bool bMADWD = false;
  double dPsi = 0.0;
  bool bPerCohortMax = false;
  int iFeasibility = 0;
};

class SelModTest : public ::testing::Test {
 protected:
  void Run(const Options& o, const double* pY = kY, int n = kN,
           kmBackgroundProgressTrackerWithBar* pProgress = nullptr,
           bool bJump = false, bool bCR = false) {
    std::vector<km_engine_test::Observation> obs;
    for (int i = 0; i < n; ++i) obs.push_back({kX0 + i, pY[i], kW[i], 0.1});
    km_engine_test::LoadedCalculator lc(obs, [&o](kmSession& s) {
      s.SetInt(kmOptModelSelection, o.iMethod);
      s.SetInt(kmOptMinKinkmarks, o.kmin);
      s.SetInt(kmOptMaxKinkmarks, o.kmax);
      s.SetInt(kmOptMinObsEnd, 2);
      s.SetInt(kmOptMinObsBetween, 2);
      s.SetInt(kmOptGridPointsBetween, 0);
      s.SetBool(kmOptLogLinear, true);
      s.SetInt(kmOptAutocorrErrors, 0);
      s.SetInt(kmOptNumPermutations, 199);
      s.SetDouble(kmOptPermSignificance, 0.05);
      s.SetInt(kmOptAAPCCIMethod, 0);
      s.SetBool(kmOptMADWD, o.bMADWD);
      s.SetDouble(kmOptMADWDPsi, o.dPsi);
      s.SetBool(kmOptPerCohortMaxKinkmarks, o.bPerCohortMax);
      s.SetInt(kmOptMaxKinkmarksFeasibility, o.iFeasibility);
      s.SetDouble(kmOptJumpLocation, 1995.5);
      s.SetDouble(kmOptCRValue, 1.1);
      s.SetDouble(kmOptCRVariance, 0.0025);
    });
    session_ = std::move(lc.session);
    calc_ = std::move(lc.calc);
    data_ = kmCalcData();
    data_.bJumpModel = bJump;
    data_.bComparabilityRatio = bCR;
    calc_->SelMod(&data_, pProgress, 0, 0);
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
  kmCalcData data_;
};

TEST_F(SelModTest, StoredModelsMatchBruteForce) {
  for (int iMethod : {0, 1}) {
    SCOPED_TRACE(testing::Message() << "method " << iMethod);
    Options o;
    o.iMethod = iMethod;
    Run(o);
    ASSERT_EQ(data_.vModels.size(), 4u);
    for (const BruteForceModel& m : kModels) {
      SCOPED_TRACE(testing::Message() << "k = " << m.k);
      const kmTable& table = data_.GetModel(m.k);
      EXPECT_TRUE(km_test::RelNear(table.GetSSE(), m.dQ, kQTol));
      EXPECT_TRUE(km_test::RelNear(table.GetBIC(), m.dBIC, kQTol));
      ASSERT_EQ(table.GetNumKinkmarks(), m.k);
      for (int j = 0; j < m.k; ++j) {
        EXPECT_DOUBLE_EQ(table.GetKinkmark(j).dEstimate, m.dTau[j]);
      }
      ASSERT_EQ(table.GetNumLineSegments(), m.k + 1);
      for (int s = 0; s <= m.k; ++s) {
        EXPECT_TRUE(km_test::RelNear(table.GetLineSegment(s).apc.dEstimate,
                                     m.dAPC[s], kApcTol));
      }
    }
  }
}

TEST_F(SelModTest, PermutationTestAndCriteriaPickTheBruteForceChoice) {
  struct Case {
    int iMethod;
    size_t nTests;
  };
  const Case kCases[] = {{0, 3}, {1, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "method " << c.iMethod);
    Options o;
    o.iMethod = c.iMethod;
    Run(o);
    EXPECT_EQ(data_.uFinalSelectedModel, kSelected);
    ASSERT_EQ(data_.vFTests.size(), c.nTests);
  }
  // The tests ran in order 0-3, 1-3, 2-3 at levels alpha / (kmax - k0).
  Options o;
  Run(o);
  const double kLevels[] = {0.05 / 3, 0.05 / 2, 0.05};
  for (int t = 0; t < 3; ++t) {
    SCOPED_TRACE(testing::Message() << "test " << t);
    EXPECT_DOUBLE_EQ(data_.GetFTest(t).dAlpha, kLevels[t]);
    // The observed F dominates every permuted one in the two rejected
    // tests; the third is far from significant (R: p = 0.615).
    if (t < 2) {
      EXPECT_DOUBLE_EQ(data_.GetFTest(t).dPermPValue, 1.0 / 200.0);
    } else {
      EXPECT_GT(data_.GetFTest(t).dPermPValue, 0.05);
    }
  }
}

TEST_F(SelModTest, SingleNumberOfKinkmarksNeedsNoTest) {
  Options o;
  o.kmin = 1;
  o.kmax = 1;
  Run(o);
  EXPECT_EQ(data_.vModels.size(), 1u);
  EXPECT_EQ(data_.vFTests.size(), 0u);
  EXPECT_EQ(data_.uFinalSelectedModel, 1);
}

TEST_F(SelModTest, ExactFitIsFinalWhateverTheMethod) {
  double dLine[kN];
  for (int i = 0; i < kN; ++i) dLine[i] = 1.0 + 0.5 * i;
  for (int iMethod : {0, 1}) {
    SCOPED_TRACE(testing::Message() << "method " << iMethod);
    Options o;
    o.iMethod = iMethod;
    Run(o, dLine);
    EXPECT_EQ(data_.uFinalSelectedModel, 0);
    EXPECT_EQ(data_.vFTests.size(), 0u);
    EXPECT_EQ(data_.vModels.size(), 4u);
  }
}

TEST_F(SelModTest, PerCohortMaximumFollowsTheSpacingRule) {
  // minEnd 2, minBetween 2 and n = 10 leave room for 2 kinkmarks.
  Options o;
  o.iMethod = 1;
  o.kmax = 4;
  o.bPerCohortMax = true;
  o.iFeasibility = 1;
  Run(o, kY, 10);
  EXPECT_EQ(data_.vModels.size(), 3u);
}

TEST_F(SelModTest, MADWDStepsDownFromTheCriterionWinner) {
  struct Case {
    double dPsi;
    int kFinal;
  };
  // Slope changes at 1994 and 1998 move the APC by about 8 and 11 points:
  // psi 1 keeps both, psi 50 rejects every model with kinkmarks.
  const Case kCases[] = {{1.0, 2}, {50.0, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "psi " << c.dPsi);
    Options o;
    o.iMethod = 1;
    o.bMADWD = true;
    o.dPsi = c.dPsi;
    Run(o);
    EXPECT_EQ(data_.uFinalSelectedModel, c.kFinal);
    EXPECT_FALSE(data_.vMADWDValues.empty());
    EXPECT_EQ(data_.GetModel(2).GetMADWDPass(), c.kFinal == 2);
  }
}

TEST_F(SelModTest, FailureClearsTheRunningFlagAndNamesTheDriver) {
  std::atomic<bool> bCancel(false);
  kmBackgroundProgressTrackerWithBar progress(nullptr, 0, 100, 0, &bCancel);
  Options o;
  o.kmin = 3;
  o.kmax = 1;
  const KmException e =
      km_test::CatchKmException([&] { Run(o, kY, kN, &progress); });
  EXPECT_NE(std::string(e.GetMessage()).find("kinkmarks"), std::string::npos);
  EXPECT_NE(std::string(e.GetCallPath()).find("SelMod()"), std::string::npos);
  EXPECT_FALSE(progress.GetRunningFlag());
  EXPECT_TRUE(data_.vModels.empty());
}

TEST_F(SelModTest, CancellationStopsTheSelectionNotTheFirstPass) {
  std::atomic<bool> bCancel(true);
  kmBackgroundProgressTrackerWithBar progress(nullptr, 0, 100, 0, &bCancel);
  Options o;
  Run(o, kY, kN, &progress);
  EXPECT_EQ(data_.vModels.size(), 4u);
  EXPECT_TRUE(data_.vFTests.empty());
  EXPECT_EQ(data_.uFinalSelectedModel, 0);
  EXPECT_FALSE(progress.GetRunningFlag());
}

// A parent that reports the run cancelled: the grid searches poll it.
class CancelledParent : public KmNullProgress {
 public:
  bool IsCancelled() const override { return true; }
};

TEST_F(SelModTest, SearchCancellationEndsEveryMethodQuietly) {
  // Fault: a search cancelled by the parent left the models list short, and
  // data-dependent selection then read the missing models and raised an
  // index error on a cancelled run.
  for (int iMethod : {0, 1, 4}) {
    SCOPED_TRACE(testing::Message() << "method " << iMethod);
    CancelledParent parent;
    std::atomic<bool> bCancel(false);
    kmBackgroundProgressTrackerWithBar progress(&parent, 0, 100, 0, &bCancel);
    Options o;
    o.iMethod = iMethod;
    EXPECT_NO_THROW(Run(o, kY, kN, &progress));
    EXPECT_TRUE(data_.vFTests.empty());
    EXPECT_FALSE(progress.GetRunningFlag());
  }
}

// A parent that notes the cohort's bar position whenever the searches ask
// whether the run was cancelled, which they do at every placement.
class BarSampler : public KmNullProgress {
 public:
  bool IsCancelled() const override {
    vSeen.push_back(pBar->GetBarPosition());
    return false;
  }
  const kmBackgroundProgressTrackerWithBar* pBar = nullptr;
  mutable std::vector<int32_t> vSeen;
};

TEST_F(SelModTest, SearchesMoveTheBarBeforeTheCohortEnds) {
  // Fault: the bar stood still inside every search, so one long cohort
  // showed 0% until it ended. Steps: BIC has one (the first pass, to 100);
  // the permutation tests of 0 to 3 kinkmarks six (16, 33, ...): the first
  // pass moves to 16, the first test's search of 3 kinkmarks to 33.
  struct Case {
    int iMethod;
    int32_t iAbove, iBelow;  // some position strictly between the two
  };
  const Case kCases[] = {{1, 0, 100}, {0, 0, 16}, {0, 16, 33}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "method " << c.iMethod << ", inside "
                                    << c.iAbove << ".." << c.iBelow);
    BarSampler sampler;
    std::atomic<bool> bCancel(false);
    kmBackgroundProgressTrackerWithBar bar(&sampler, 0, 100, 0, &bCancel);
    sampler.pBar = &bar;
    Options o;
    o.iMethod = c.iMethod;
    Run(o, kY, kN, &bar);
    const std::vector<int32_t>& v = sampler.vSeen;
    EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
    EXPECT_TRUE(std::any_of(v.begin(), v.end(), [&c](int32_t i) {
      return i > c.iAbove && i < c.iBelow;
    }));
  }
}

TEST_F(SelModTest, JumpAndComparabilityRatioRunsFillTheirFields) {
  // R, same data with the step J = (x - 1990 >= 5.5) added to the design:
  //   X <- cbind(1, xs, J) (k = 0), cbind(1, xs, pmax(xs - t, 0), J) over
  //   t = xs[3:10] (k = 1); weighted SSE and jump coefficient.
  const double kJumpQ[2] = {0.028114619164619142, 0.015623578113750878};
  const double kJump[2] = {-0.17214373464373439, -0.13251799856011498};
  for (bool bCR : {false, true}) {
    SCOPED_TRACE(testing::Message() << "comparability ratio " << bCR);
    Options o;
    o.iMethod = 1;
    o.kmax = 1;
    Run(o, kY, kN, nullptr, true, bCR);
    ASSERT_EQ(data_.vModels.size(), 2u);
    for (int k = 0; k <= 1; ++k) {
      SCOPED_TRACE(testing::Message() << "k = " << k);
      EXPECT_TRUE(
          km_test::RelNear(data_.GetModel(k).GetSSE(), kJumpQ[k], kQTol));
      if (!bCR) {
        const kmTable& m = data_.GetModel(k);
        EXPECT_TRUE(km_test::RelNear(m.GetJumpValue(), kJump[k], kApcTol));
        // Fault: the ratio columns held the log level after the jump. A
        // log-linear jump model's ratio is exp(jump), its standard error
        // exp(jump) times the jump's, tested against 1.
        const double dRatio = std::exp(m.GetJumpValue());
        const double dSE = dRatio * m.GetJumpSE();
        EXPECT_TRUE(km_test::RelNear(m.GetComparabilityRatio(), dRatio, 1e-12));
        EXPECT_TRUE(km_test::RelNear(m.GetComparabilitySE(), dSE, 1e-12));
        EXPECT_TRUE(km_test::RelNear(m.GetComparabilityStat(),
                                     (dRatio - 1.0) / dSE, 1e-9));
        EXPECT_LT(m.GetComparabilityLowerCI(), dRatio);
        EXPECT_GT(m.GetComparabilityUpperCI(), dRatio);
      }
    }
    EXPECT_DOUBLE_EQ(data_.GetModel(1).GetKinkmark(0).dEstimate, 1998.0);
    if (bCR) {
      // Log-linear: the ratio and its standard error reach the table.
      EXPECT_DOUBLE_EQ(data_.GetModel(0).GetComparabilityRatio(), 1.1);
      EXPECT_DOUBLE_EQ(data_.GetModel(0).GetComparabilitySE(), 0.05);
    }
  }
}

// Weighted least squares of y on the columns of X: the fitted values.
ColumnVector WeightedFit(const Matrix& X, const ColumnVector& y) {
  DiagonalMatrix W(kN);
  for (int i = 1; i <= kN; ++i) W(i) = kW[i - 1];
  const Matrix XtW = X.t() * W;
  return X * ((XtW * X).i() * (XtW * y));
}

double WeightedSSE(const Matrix& X, const ColumnVector& y) {
  const ColumnVector r = y - WeightedFit(X, y);
  double dSSE = 0.0;
  for (int i = 1; i <= kN; ++i) dSSE += kW[i - 1] * r(i) * r(i);
  return dSSE;
}

// The design of the jump model on the shifted years: 1, x, the hinge at
// tau when bHinge, and the step from 5.5 (1995.5) on.
Matrix JumpDesign(bool bHinge, double dTau) {
  Matrix X(kN, bHinge ? 4 : 3);
  for (int i = 1; i <= kN; ++i) {
    const double x = i - 1;
    X(i, 1) = 1.0;
    X(i, 2) = x;
    if (bHinge) X(i, 3) = std::max(x - dTau, 0.0);
    X(i, X.Ncols()) = x >= 5.5 ? 1.0 : 0.0;
  }
  return X;
}

TEST_F(SelModTest, JumpModelPermutesTheNullFitWithItsJump) {
  // Fault: the permuted data sets were the pieces of the null fit plus its
  // shuffled residuals, which still held the observed step; the step was
  // scattered across the years. Here the test of 0 against 1 kinkmark is
  // redone by hand: the data sets are the null fit with its jump plus its
  // shuffled whitened residuals (seed 7160, i = 1..n-1 exchanging i with
  // floor((n - i + 1) u + i)), each fitted as the data are.
  Options o;
  o.kmax = 1;
  Run(o, kY, kN, nullptr, true);
  ASSERT_EQ(data_.vFTests.size(), 1u);
  ColumnVector y(kN);
  for (int i = 1; i <= kN; ++i) y(i) = kY[i - 1];
  const ColumnVector f = WeightedFit(JumpDesign(false, 0.0), y);
  ColumnVector e(kN);
  for (int i = 1; i <= kN; ++i) e(i) = (y(i) - f(i)) * std::sqrt(kW[i - 1]);
  // F of 0 against 1 kinkmark: 2 and 12 - 4 degrees of freedom.
  auto fStatistic = [](const ColumnVector& yd) {
    double dSSE1 = 1e300;
    for (int tau = 2; tau <= 9; ++tau) {
      dSSE1 = std::min(dSSE1, WeightedSSE(JumpDesign(true, tau), yd));
    }
    return (WeightedSSE(JumpDesign(false, 0.0), yd) - dSSE1) / dSSE1 * 4.0;
  };
  const double dObserved = fStatistic(y);
  MersenneTwister mt;
  mt.sgenrand(7160);
  int iReached = 1;
  for (int j = 1; j <= 199; ++j) {
    for (int i = 1; i < kN; ++i) {
      const int l = static_cast<int>((kN - i + 1) * mt.genrand() + i);
      std::swap(e(i), e(l));
    }
    ColumnVector yd(kN);
    for (int i = 1; i <= kN; ++i) yd(i) = f(i) + e(i) / std::sqrt(kW[i - 1]);
    if (fStatistic(yd) >= dObserved - 1e-9) ++iReached;
  }
  EXPECT_DOUBLE_EQ(data_.GetFTest(0).dPermPValue, iReached / 200.0);
}

}  // namespace
