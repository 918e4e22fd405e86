// The grid search through the model framework (GridSearch_WithJumpModel):
// the same answers as GridSearch for one data set, one best SSE per data
// set for many, and the jump model checked against a brute force in R.
#include <gtest/gtest.h>
#include <newmat.h>

#include <memory>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "foundation/KmProgressInterface.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr double kNoFit = 1e50;
constexpr double kQTol = 1e-9;
constexpr double kCoefTol = 1e-7;

const std::vector<double> kY = {3.1, 2.4, 2.9, 4.8, 6.1, 7.9,
                                8.2, 7.1, 6.0, 6.4, 7.9, 9.6};
const std::vector<double> kY2 = {1.0, 1.5, 2.2, 2.1, 3.9, 4.0,
                                 3.2, 2.8, 2.9, 2.0, 1.1, 0.3};
const std::vector<double> kY3 = {5.0, 4.1, 3.3, 2.2, 1.0, 0.1,
                                 0.5, 1.9, 3.1, 4.6, 5.8, 7.3};
const std::vector<double> kW = {1, 2, 0.5, 1.5, 1, 3, 2, 1, 0.7, 1.2, 2.5, 1};
// Jump location on the shifted scale. Hinges at candidates inside the
// jump's interval differ from each other by a multiple of the jump column,
// so they fit equally well; the jump stays away from the best kinkmarks.
constexpr double kJump = 2.5;

// A calculator over x = 0..11 with the responses ys (one column per data
// set), weights kW (mode 0), the grid of e = 2, b = 2, g = 1 (17
// candidates), the weighting products and, with bJump, the jump indicator
// x - kJump >= 0 as the design's last column.
struct JumpCalculator : km_engine_test::LoadedCalculator {
  JumpCalculator(const std::vector<std::vector<double>>& ys, bool bJump)
      : LoadedCalculator(km_engine_test::Observations(
                             km_engine_test::Sequence(12), ys[0], kW),
                         [](kmSession& s) {
                           s.SetInt(kmOptGridPointsBetween, 1);
                           s.SetInt(kmOptMinObsEnd, 2);
                           s.SetInt(kmOptMinObsBetween, 2);
                           s.SetInt(kmOptAutocorrErrors, 0);
                         }) {
    SetResponseColumns(ys);
    Matrix mB;
    Matrix mA;
    calc->WLSWgt(0.0, mA, mB);
    calc->SetWeightRoots(mA, mB);
    K = calc->FindGridPoints(2, 2, 1);
    CalcMembers(*calc).dJumpLocation = kJump;
    if (bJump) {
      Matrix mX(n, K + 3);
      mX.Columns(1, K + 2) = *CalcMembers(*calc).pX0;
      for (int i = 1; i <= n; ++i) {
        mX(i, K + 3) =
            (*CalcMembers(*calc).pDataX)(i, 2) - kJump >= 0.0 ? 1.0 : 0.0;
      }
      *CalcMembers(*calc).pX0 = mX;
    }
    calc->PreCalcXWX();
  }
  int16_t K = 0;
};

TEST(GridSearchWithJumpModel, OneDataSetAgreesWithGridSearch) {
  for (uint16_t k = 0; k <= 3; ++k) {
    SCOPED_TRACE(testing::Message() << "k = " << k);
    JumpCalculator jc({kY}, false);
    ColumnVector vLoc, vEst, vQ(1);
    Matrix mProfile;
    jc.calc->GridSearch(1, k, vLoc, vEst, vQ, jc.K, mProfile, nullptr);
    const Matrix mWorkGrid = CalcMembers(*jc.calc).mWork;
    ColumnVector vLocF, vEstF, vQF(1);
    Matrix mProfileF;
    jc.calc->GridSearch_WithJumpModel(1, k, vLocF, vEstF, vQF, jc.K, mProfileF,
                                      0, nullptr);
    EXPECT_TRUE(km_test::RelNear(vQF(1), vQ(1), kQTol));
    ASSERT_EQ(vLocF.Nrows(), k);
    for (int j = 1; j <= k; ++j) EXPECT_EQ(vLocF(j), vLoc(j));
    ASSERT_EQ(vEstF.Nrows(), 3 * k + 2);
    for (int i = 1; i <= 3 * k + 2; ++i) {
      EXPECT_TRUE(km_test::RelNear(vEstF(i), vEst(i), kCoefTol)) << i;
    }
    ASSERT_EQ(mProfileF.Nrows(), jc.K);
    ASSERT_EQ(mProfileF.Ncols(), k);
    for (int p = 1; p <= jc.K; ++p) {
      for (int j = 1; j <= k; ++j) {
        if (mProfile(p, j) == kNoFit) {
          EXPECT_EQ(mProfileF(p, j), kNoFit) << p << "," << j;
        } else {
          EXPECT_TRUE(km_test::RelNear(mProfileF(p, j), mProfile(p, j), kQTol))
              << p << "," << j;
        }
      }
    }
    ASSERT_EQ(CalcMembers(*jc.calc).mWork.Nrows(), k + 2);
    for (int r = 1; r <= k + 2; ++r) {
      EXPECT_EQ(CalcMembers(*jc.calc).mWork(r, r), mWorkGrid(r, r)) << r;
    }
  }
}

TEST(GridSearchWithJumpModel, ManyDataSetsGiveEachItsBestSse) {
  const std::vector<std::vector<double>> kSets = {kY, kY2, kY3};
  JumpCalculator jc(kSets, false);
  ColumnVector vLoc(2), vEst, vQ;
  vLoc = -7.0;
  Matrix mProfile(1, 1);
  mProfile = -7.0;
  jc.calc->GridSearch_WithJumpModel(3, 2, vLoc, vEst, vQ, jc.K, mProfile, 0,
                                    nullptr);
  ASSERT_EQ(vQ.Nrows(), 3);
  for (int d = 1; d <= 3; ++d) {
    SCOPED_TRACE(d);
    JumpCalculator single({kSets[d - 1]}, false);
    ColumnVector vL, vE, vQ1(1);
    Matrix mP;
    single.calc->GridSearch(1, 2, vL, vE, vQ1, single.K, mP, nullptr);
    EXPECT_TRUE(km_test::RelNear(vQ(d), vQ1(1), kQTol));
  }
  // Only the observed data set is unpacked, and only when it is alone.
  EXPECT_EQ(vLoc(1), -7.0);
  EXPECT_EQ(mProfile(1, 1), -7.0);
  ASSERT_EQ(vEst.Nrows(), 8);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(vEst(i), 0.0);
}

struct JumpCase {
  uint16_t k;
  double dQ;
  std::vector<double> locations;
  std::vector<double> estimates;
};

// R 4: for every admissible placement p (as in the GridSearch test),
//   X <- cbind(1, x, pmax(x - G[p_1], 0), ..., as.numeric(x - 2.5 >= 0))
//   f <- lm.wfit(X, y, w); Q <- sum(w * f$residuals^2)
// keeping the first strictly smaller Q; estimates in segment layout with
// the jump coefficient last.
const JumpCase kJumpCases[] = {
    {1,
     11.9384147741998,
     {5},
     {1.76542127097392, 6.5964899200502, 1.0570085171971, 0.0907947873818437,
      -0.966213729815255, 0.380375518563048}},
    {2,
     3.90353513581105,
     {6, 8.5},
     {1.8278714871495, 14.6569146417591, -9.10100067502686, 0.984149931658919,
      -1.15402392744268, 1.64102493335567, -2.13817385910159, 2.79504886079834,
      0.624627637327727}},
};

TEST(GridSearchWithJumpModel, JumpModelMatchesBruteForce) {
  for (const JumpCase& c : kJumpCases) {
    SCOPED_TRACE(testing::Message() << "k = " << c.k);
    JumpCalculator jc({kY}, true);
    ColumnVector vLoc, vEst, vQ(1);
    Matrix mProfile;
    jc.calc->GridSearch_WithJumpModel(1, c.k, vLoc, vEst, vQ, jc.K, mProfile, 1,
                                      nullptr);
    EXPECT_TRUE(km_test::RelNear(vQ(1), c.dQ, kQTol));
    ASSERT_EQ(vLoc.Nrows(), c.k);
    for (int j = 1; j <= c.k; ++j)
      EXPECT_DOUBLE_EQ(vLoc(j), c.locations[j - 1]);
    ASSERT_EQ(vEst.Nrows(), 3 * c.k + 3);
    for (int i = 1; i <= 3 * c.k + 3; ++i) {
      EXPECT_TRUE(km_test::RelNear(vEst(i), c.estimates[i - 1], kCoefTol)) << i;
    }
    // The refit of the observed data leaves the jump's test vector, whose
    // first entry is the jump coefficient.
    ASSERT_GE(CalcMembers(*jc.calc).vJumpResults.Nrows(), 1);
    EXPECT_TRUE(km_test::RelNear(CalcMembers(*jc.calc).vJumpResults(1),
                                 c.estimates[3 * c.k + 2], kCoefTol));
  }
}

TEST(GridSearchWithJumpModel, CancelledSearchSkipsUnpacking) {
  JumpCalculator jc({kY}, false);
  class AlwaysCancelled : public KmNullProgress {
   public:
    bool IsCancelled() const override { return true; }
  } progress;
  ColumnVector vLoc, vEst, vQ(1);
  Matrix mProfile;
  jc.calc->GridSearch_WithJumpModel(1, 2, vLoc, vEst, vQ, jc.K, mProfile, 0,
                                    &progress);
  ASSERT_EQ(vLoc.Nrows(), 2);
  for (int j = 1; j <= 2; ++j) EXPECT_EQ(vLoc(j), 0.0);
  for (int i = 1; i <= 8; ++i) EXPECT_EQ(vEst(i), 0.0);
}

TEST(GridSearchWithJumpModel, RefusesMoreThanNineKinkmarks) {
  JumpCalculator jc({kY}, false);
  ColumnVector vLoc, vEst, vQ(1);
  Matrix mProfile;
  EXPECT_THROW(jc.calc->GridSearch_WithJumpModel(1, 10, vLoc, vEst, vQ, jc.K,
                                                 mProfile, 0, nullptr),
               KmException);
}

TEST(GridSearchWithJumpModel, NoPlacementIsReportedPlainly) {
  // Six kinkmarks do not fit on 17 candidates spaced 4 apart. The refit of
  // a model that was never found used to end in an opaque matrix-library
  // dimension error; the search now names the problem, for one data set
  // and for many.
  const std::vector<std::vector<double>> kSets[] = {{kY}, {kY, kY2}};
  for (const auto& sets : kSets) {
    const int D = static_cast<int>(sets.size());
    SCOPED_TRACE(D);
    JumpCalculator jc(sets, false);
    ColumnVector vLoc, vEst, vQ;
    Matrix mProfile;
    const KmException ex = km_test::CatchKmException([&] {
      jc.calc->GridSearch_WithJumpModel(D, 6, vLoc, vEst, vQ, jc.K, mProfile, 0,
                                        nullptr);
    });
    EXPECT_STREQ(ex.GetMessage(), "Cannot place kinkmark 6 in GridSearch.");
  }
}

}  // namespace
