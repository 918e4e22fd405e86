// The estimated autocorrelation parameter (calculateAutoParamPhi, mode 1):
// the lag-one ratio of the residuals of an unweighted grid-search fit,
// checked against R, and the cohort's data left as they were.
#include <gtest/gtest.h>
#include <newmat.h>

#include <memory>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr double kPhiTol = 1e-9;
const std::vector<double> kY = {3.1, 2.4, 2.9, 4.8, 6.1, 7.9,
                                8.2, 7.1, 6.0, 6.4, 7.9, 9.6};
const std::vector<double> kW = {1, 2, 0.5, 1.5, 1, 3, 2, 1, 0.7, 1.2, 2.5, 1};

// Years 1990..2001 with kY and weights kW, mode 1, e = b = 2, g = 1.
struct PhiCalculator : km_engine_test::LoadedCalculator {
  PhiCalculator()
      : LoadedCalculator(km_engine_test::Observations(
                             km_engine_test::Sequence(12, 1990), kY, kW),
                         [](kmSession& s) {
                           s.SetInt(kmOptAutocorrErrors, 1);
                           s.SetInt(kmOptMinObsEnd, 2);
                           s.SetInt(kmOptMinObsBetween, 2);
                           s.SetInt(kmOptGridPointsBetween, 1);
                         }) {}
  void ExpectDataUnchanged() const {
    for (int i = 1; i <= 12; ++i) {
      EXPECT_EQ((*CalcMembers(*calc).pDataX)(i, 2), 1989 + i) << i;
      EXPECT_EQ((*CalcMembers(*calc).pDataWeightInput)(i), kW[i - 1]) << i;
    }
  }
};

TEST(CalculateAutoParamPhi, EstimatesFromUnweightedFitResiduals) {
  // R 4: xs <- 0:11; for every admissible placement p (candidates 1.5, 2,
  // ..., 9.5, next kinkmark 3 intervals on) f <- lm.fit(cbind(1, xs,
  // pmax(xs - G[p_1], 0), ...), y), best by the first strictly smaller
  // sum(f$residuals^2); r <- f$residuals; sum(r[-n] * r[-1]) / sum(r[-n]^2).
  // k = 2 has its best kinkmarks at 6 and 8.5: the observation at 8 lies
  // before the second one and keeps the second segment's line (comparing
  // truncated locations would move it to the third segment).
  struct Case {
    uint16_t k;
    double dPhi;
  };
  const Case kCases[] = {{1, 0.37780237235201}, {2, 0.0590100813122589}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.k);
    PhiCalculator pc;
    EXPECT_TRUE(
        km_test::RelNear(pc.calc->calculateAutoParamPhi(c.k), c.dPhi, kPhiTol));
    pc.ExpectDataUnchanged();
  }
}

TEST(CalculateAutoParamPhi,
     AnObservationPastTwoKinkmarksTakesTheSegmentAfterBoth) {
  // A level shift between x = 2 and x = 3 with three observations required
  // at each end and none between kinkmarks: the best two-kinkmark fits put
  // both kinkmarks in (2, 3], so the first three values keep their own line
  // and x = 3 onward the other. Moving one segment per observation left
  // x = 3 on the short middle segment.
  // R: xs <- 0:13; r <- c(resid(lm(y[1:3] ~ xs[1:3])),
  //                       resid(lm(y[4:14] ~ xs[4:14])))
  //    sum(r[-14] * r[-1]) / sum(r[-14]^2)
  const std::vector<double> vY = {5.0,  5.6, 5.1,  1.02, 1.27, 1.61, 1.94,
                                  2.18, 2.5, 2.76, 3.13, 3.39, 3.72, 3.97};
  km_engine_test::LoadedCalculator lc(
      km_engine_test::Observations(km_engine_test::Sequence(14), vY, {}),
      [](kmSession& s) {
        s.SetInt(kmOptAutocorrErrors, 1);
        s.SetInt(kmOptMinObsEnd, 3);
        s.SetInt(kmOptMinObsBetween, 0);
        s.SetInt(kmOptGridPointsBetween, 3);
      });
  EXPECT_TRUE(km_test::RelNear(lc.calc->calculateAutoParamPhi(2),
                               -0.674550548724585, kPhiTol));
}

TEST(CalculateAutoParamPhi, RestoresDataWhenTheFitFails) {
  // The weights and years were restored only on success: a failed
  // preliminary fit left the cohort unweighted and shifted for the fits
  // that follow.
  PhiCalculator pc;
  EXPECT_THROW(pc.calc->calculateAutoParamPhi(6), KmException);
  pc.ExpectDataUnchanged();
}

TEST(CalculateAutoParamPhi, MissingDataIsAnError) {
  PhiCalculator pc;
  CalcMembers(*pc.calc).pDataY.reset();
  EXPECT_THROW(pc.calc->calculateAutoParamPhi(1), KmException);
}

}  // namespace
