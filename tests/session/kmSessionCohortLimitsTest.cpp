// Tests of the session's observation counts and its per-cohort limits
// (SetCohortObservationCounts, GetNumObservationsThisCohort,
// GetMaxNumberOfKinkmarksForCohort).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/kmSession.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using km_test::CatchKmException;

std::vector<int32_t> Counts(const kmSession& session) {
  return std::vector<int32_t>(session.GetObservationCounts().begin(),
                              session.GetObservationCounts().end());
}

TEST(kmSessionCohortLimits, TwoEqualCohortsGiveOneRecord) {
  kmSession session;
  bool bVarying = true;
  session.SetCohortObservationCounts(KmVector<int32_t>{10, 10}, &bVarying);
  EXPECT_FALSE(bVarying);
  EXPECT_EQ(Counts(session), (std::vector<int32_t>{10, 10}));
  ASSERT_EQ(session.GetObservationRecords().size(), 1u);
  const NumOfObs& record = session.GetObservationRecords()[0];
  EXPECT_EQ(record.iNumObs, 10);
  EXPECT_EQ(record.iNumCohorts, 2);
  EXPECT_EQ(
      std::vector<int32_t>(record.vCohorts.begin(), record.vCohorts.end()),
      (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(record.iMaxKinkmarks, 1);
  EXPECT_EQ(session.GetMaxObservations(), 10);
}

TEST(kmSessionCohortLimits, CohortCountsReplaceTheCountsAndRebuildTheRecords) {
  kmSession session;
  bool bVarying = false;
  for (int iPass = 0; iPass < 2; ++iPass) {
    session.SetCohortObservationCounts(KmVector<int32_t>{6, 6, 4}, &bVarying);
    EXPECT_EQ(Counts(session), (std::vector<int32_t>{6, 6, 4}));
    EXPECT_TRUE(bVarying);
    EXPECT_EQ(session.GetMaxObservations(), 6);
    ASSERT_EQ(session.GetObservationRecords().size(), 2u);
    EXPECT_EQ(session.GetObservationRecords()[1].iNumObs, 4);
  }
}

TEST(kmSessionCohortLimits, ObservationCountOfACohort) {
  kmSession session;
  bool bVarying = false;
  session.SetCohortObservationCounts(KmVector<int32_t>{10, 26}, &bVarying);
  EXPECT_EQ(session.GetNumObservationsThisCohort(1), 26);
  for (int iBad : {2, -1}) {
    KmException e =
        CatchKmException([&] { session.GetNumObservationsThisCohort(iBad); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Index out of bounds.  Cohort Number: " + std::to_string(iBad));
    EXPECT_STREQ(e.GetSource(), "GetNumObservationsThisCohort(int)");
  }
}

TEST(kmSessionCohortLimits, PerCohortMaximumNumberOfKinkmarks) {
  struct Case {
    const char* sName;
    bool bPerCohort;   // kmOptPerCohortMaxKinkmarks
    int iFeasibility;  // kmOptMaxKinkmarksFeasibility
    const char* sVersion;
    int iMax, iEnd, iBetween, iObservations;
    int iExpected;
  };
  const Case kCases[] = {
      {"option 46 off", false, 1, "V4.9.0.0", 4, 2, 2, 5, 4},
      {"spacing rule", true, 1, "V4.9.0.0", 4, 2, 2, 12, 3},
      {"spacing rule fits", true, 1, "V4.9.0.0", 3, 2, 2, 11, 3},
      {"older session follows the spacing rule", true, 0, "4.800", 4, 2, 2, 10,
       2},
      {"default for the count", true, 0, "V4.9.0.0", 4, 2, 2, 26, 4},
      // Fault: the default for a long cohort (5) replaced the user's 3; a
      // per-cohort maximum now only lowers it.
      {"user's maximum below the default", true, 0, "4.900", 3, 2, 2, 40, 3},
      {"default below the user's maximum", true, 0, "V4.9.0.0", 5, 2, 2, 20, 3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmSession session;
    bool bVarying = false;
    session.SetCohortObservationCounts(KmVector<int32_t>{c.iObservations},
                                       &bVarying);
    session.SetBool(kmOptPerCohortMaxKinkmarks, c.bPerCohort);
    session.SetInt(kmOptMaxKinkmarksFeasibility, c.iFeasibility);
    session.SetVersion(c.sVersion);
    session.SetInt(kmOptMaxKinkmarks, c.iMax);
    session.SetInt(kmOptMinObsEnd, c.iEnd);
    session.SetInt(kmOptMinObsBetween, c.iBetween);
    EXPECT_EQ(session.GetMaxNumberOfKinkmarksForCohort(0), c.iExpected);
  }
}

TEST(kmSessionCohortLimits, PerCohortMaximumNeverGoesBelowZero) {
  // With the spacing rule, the maximum was lowered until the rule held, past
  // zero: a cohort of 1 observation with 2 required at each end got -1
  // kinkmarks. It now stops at 0, the model without kinkmarks.
  kmSession session;
  bool bVarying = false;
  session.SetCohortObservationCounts(KmVector<int32_t>{1, 3}, &bVarying);
  session.SetBool(kmOptPerCohortMaxKinkmarks, true);
  session.SetInt(kmOptMaxKinkmarksFeasibility, 1);
  session.SetInt(kmOptMaxKinkmarks, 4);
  session.SetInt(kmOptMinObsEnd, 2);
  session.SetInt(kmOptMinObsBetween, 2);
  EXPECT_EQ(session.GetMaxNumberOfKinkmarksForCohort(0), 0);
  EXPECT_EQ(session.GetMaxNumberOfKinkmarksForCohort(1), 0);
  session.SetInt(kmOptMaxKinkmarks, -2);
  EXPECT_EQ(session.GetMaxNumberOfKinkmarksForCohort(1), 0);
}

}  // namespace
