// Kinkmark standard errors and the distribution wrappers of kmCalculator,
// checked against R.
//
// Shared data set (n = 10), weights v in autocorrelation mode 0:
//   x <- 1:10; y <- c(2.1,3.9,6.2,7.8,9.1,9.5,10.2,10.4,11.0,11.3)
//   v <- c(1,2,1.5,0.5,1,3,2,1,2,1)
// Expected covariances (R): per-segment design D, factors u (bandwidth
// h <- 0.117*0.5*n*log(log(n))^0.6/sqrt(n)), Tw <- diag(v*u^2),
// inv <- solve(t(D) %*% Tw %*% D) over the non-zero columns,
// Q <- sum(v*u^2*e^2), df <- sum(u) - rank, C <- Tm %*% (Q/df*inv) %*% t(Tm)
// with Tm the map to (intercepts, slopes, slope differences).
#include <gtest/gtest.h>
#include <newmat.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr int kN = 10;
constexpr double kY[kN] = {2.1, 3.9,  6.2,  7.8,  9.1,
                           9.5, 10.2, 10.4, 11.0, 11.3};
constexpr double kV[kN] = {1, 2, 1.5, 0.5, 1, 3, 2, 1, 2, 1};

class KinkmarkSEsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    km_engine_test::LoadedCalculator lc(
        km_engine_test::Observations(km_engine_test::Sequence(kN, 1.0),
                                     std::vector<double>(kY, kY + kN),
                                     std::vector<double>(kV, kV + kN)),
        [](kmSession& s) { s.SetInt(kmOptAutocorrErrors, 0); });
    session_ = std::move(lc.session);
    calc_ = std::move(lc.calc);
    *CalcMembers(*calc_).pX0 = CalcMembers(*calc_).pDataX->Columns(1, 2);
    Matrix mB;
    calc_->WLSWgt(0.0, CalcMembers(*calc_).mWorkA, mB);
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
};

struct SECase {
  const char* sName;
  std::vector<double> vTau;
  double dDF;
  std::vector<double> vCov;  // row-major, (2K1 + k) square
};

const SECase kSECases[] = {
    // k = 0: every factor is 1 and df = n - rank.
    {"no kinkmark",
     {},
     8.0,
     {0.536955737448332582, -0.077230229471292086, -0.077230229471292086,
      0.013709508190170193}},
    // x = 5 lies within the bandwidth of 5.1 and counts by 0.6027...
    {"partial observation",
     {5.1},
     5.6027460409684693,
     {0.075929781823027578,  0,
      -0.025544576950865622, 0,
      0.025544576950865622,  0,
      0.21756754845213502,   0,
      -0.027809385892378163, -0.027809385892378163,
      -0.025544576950865618, 0,
      0.010288225683303174,  0,
      -0.010288225683303174, 0,
      -0.02780938589237816,  0,
      0.003680654015167698,  0.003680654015167698,
      0.025544576950865618,  -0.02780938589237816,
      -0.010288225683303174, 0.003680654015167698,
      0.013968879698470871}},
    // An observation exactly at the kinkmark adds nothing to the sum.
    {"observation at the kinkmark",
     {5.0},
     5.0,
     {0.061855130650071706,   0,
      -0.023322426310682771,  0,
      0.023322426310682771,   0,
      0.133219776588009514,   0,
      -0.0170280917443320461, -0.0170280917443320461,
      -0.023322426310682771,  0,
      0.010140185352470769,   0,
      -0.0101401853524707691, 0,
      -0.017028091744332043,  0,
      0.0022537180249851234,  0.0022537180249851234,
      0.023322426310682771,   -0.017028091744332043,
      -0.010140185352470769,  0.0022537180249851234,
      0.0123939033774558924}},
    // The first segment holds only x = 1, which has factor 0: its
    // coefficients are aliased, so they and the slope difference built on
    // them get zero rows and columns.
    {"aliased first segment", {1.0}, 7.0, {0, 0,
                                           0, 0,
                                           0,  //
                                           0, 0.599261218110172522,
                                           0, -0.085316814513553968,
                                           0,  //
                                           0, 0,
                                           0, 0,
                                           0,  //
                                           0, -0.085316814513553968,
                                           0, 0.014304615607062943,
                                           0,  //
                                           0, 0,
                                           0, 0,
                                           0}},
};

TEST_F(KinkmarkSEsTest, CovarianceAndDegreesOfFreedomMatchR) {
  for (const SECase& c : kSECases) {
    SCOPED_TRACE(c.sName);
    const int k = static_cast<int>(c.vTau.size());
    ColumnVector vTau(k);
    for (int i = 1; i <= k; ++i) vTau(i) = c.vTau[i - 1];
    Matrix mCov;
    kmTable table;
    const double df =
        calc_->KinkMkSEs(static_cast<uint16_t>(k), vTau, &mCov, &table);
    EXPECT_TRUE(km_test::RelNear(df, c.dDF, 1e-12));
    const int m = 2 * (k + 1) + k;
    ASSERT_EQ(mCov.Nrows(), m);
    ASSERT_EQ(mCov.Ncols(), m);
    for (int i = 1; i <= m; ++i) {
      for (int j = 1; j <= m; ++j) {
        EXPECT_NEAR(mCov(i, j), c.vCov[(i - 1) * m + (j - 1)], 1e-11)
            << "at (" << i << "," << j << ")";
      }
    }
  }
}

TEST_F(KinkmarkSEsTest, JumpAtASegmentBoundaryAddsNoStep) {
  // A step that begins where a segment does is that segment's intercept:
  // the refit leaves it out and is of full rank, as without the jump. A
  // step inside a segment is one more column, one degree of freedom less.
  struct Case {
    const char* sName;
    double dTau;
    double dJumpAt;
    double dLessDF;
  };
  const Case kCases[] = {
      {"at a kinkmark between observations", 5.1, 5.1, 0.0},
      {"at a kinkmark on an observation, which counts 0", 5.0, 5.0, 0.0},
      {"inside the second segment", 5.1, 7.5, 1.0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    ColumnVector vTau(1);
    vTau(1) = c.dTau;
    Matrix mPlain, mJump;
    kmTable plain, jump;
    const double dPlainDF = calc_->KinkMkSEs(1, vTau, &mPlain, &plain);
    CalcMembers(*calc_).dJumpLocation = c.dJumpAt;
    const double dJumpDF = calc_->KinkMkSEs(1, vTau, &mJump, &jump, true);
    EXPECT_EQ(jump.GetReducedRank(), 0);
    EXPECT_NEAR(dJumpDF, dPlainDF - c.dLessDF, 1e-12);
    if (c.dLessDF == 0.0) {
      for (int i = 1; i <= 5; ++i) {
        EXPECT_NEAR(mJump(i, i), mPlain(i, i), 1e-12) << i;
      }
    }
  }
}

TEST_F(KinkmarkSEsTest, TooFewObservationsForABandwidthIsAnError) {
  // ln(ln n) is undefined for n < 3: the factors would all be NaN.
  calc_->SetNumObservations(2);
  ColumnVector vTau(0);
  Matrix mCov;
  kmTable table;
  const KmException e = km_test::CatchKmException(
      [&] { calc_->KinkMkSEs(0, vTau, &mCov, &table); });
  EXPECT_NE(std::string(e.what()).find("at least 3 observations"),
            std::string::npos);
}

// R: qf(0.95, 3, 10); qt(0.975, 7); pt(2.1, 7)
TEST_F(KinkmarkSEsTest, DistributionWrappersMatchRAndRejectBadArguments) {
  EXPECT_TRUE(
      km_test::RelNear(calc_->FInverse(3, 10, 0.95), 3.7082648190468426, 1e-7));
  EXPECT_TRUE(
      km_test::RelNear(calc_->TInverse(0.975, 7.0), 2.3646242515927844, 1e-7));
  EXPECT_TRUE(km_test::RelNear(calc_->TCumulative(2.1, 7.0), 0.9630644018935387,
                               1e-12));
  struct Bad {
    const char* sName;
    double dValue;
  };
  const Bad kBad[] = {
      {"F df1 = 0", calc_->FInverse(0, 10, 0.5)},
      {"F df2 = 0", calc_->FInverse(3, 0, 0.5)},
      {"F p = 0", calc_->FInverse(3, 10, 0.0)},
      {"F p = 1", calc_->FInverse(3, 10, 1.0)},
      {"t quantile p = 1", calc_->TInverse(1.0, 5.0)},
      {"t quantile df = 0", calc_->TInverse(0.5, 0.0)},
      {"t cumulative t = 0", calc_->TCumulative(0.0, 5.0)},
      {"t cumulative t < 0", calc_->TCumulative(-1.0, 5.0)},
      {"t cumulative df = 0", calc_->TCumulative(1.0, 0.0)},
  };
  for (const Bad& b : kBad) {
    SCOPED_TRACE(b.sName);
    EXPECT_EQ(b.dValue, -1e30);
  }
}

// R: 2*(1-pt(3, 7)); 2*(1-pt(1.5/sqrt(0.04), 4.5))
TEST_F(KinkmarkSEsTest, TTestPValueCases) {
  struct Case {
    const char* sName;
    double dB, dVar, dDF;
    bool bResult;
    double dSE, dStat, dP;
  };
  const Case kCases[] = {
      {"positive variance", 1.5, 0.25, 7.0, true, 0.5, 3.0,
       0.019942126131992532},
      {"negative estimate", -1.5, 0.04, 4.5, true, 0.2, -7.5,
       0.0010462231651344744},
      {"negative variance", 1.5, -0.25, 7.0, false, -0.5, 0.0, 1.0},
      {"zero variance", 1.5, 0.0, 7.0, false, 0.0, -1e30, -1e30},
      {"zero estimate", 0.0, 0.25, 7.0, true, 0.5, 0.0, 1.0},
      // 2 (1 - P) rounds to 0 here: the upper tail keeps the p-value.
      // R: 2*pt(40, 20, lower.tail = FALSE)
      {"far tail", 40.0, 1.0, 20.0, true, 1.0, 40.0, 1.4574696554310764e-20},
      // Without degrees of freedom the p-value would be 2 (1 + 1e30):
      // the test is reported as not made instead.
      {"no degrees of freedom", 1.5, 0.25, 0.0, false, 0.5, 3.0, -1e30},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    double dSE = 0, dStat = 0, dP = 0;
    EXPECT_EQ(calc_->TTestPValue(c.dB, c.dVar, c.dDF, dSE, dStat, dP),
              c.bResult);
    EXPECT_NEAR(dSE, c.dSE, 1e-15);
    EXPECT_NEAR(dStat, c.dStat, 1e-12);
    if (c.dP == -1e30 || c.dP == 1.0) {
      EXPECT_EQ(dP, c.dP);
    } else {
      EXPECT_TRUE(km_test::RelNear(dP, c.dP, 1e-9));
    }
  }
}

}  // namespace
