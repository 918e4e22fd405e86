// NumOfObs: one observation-count record of the session's cohorts.
#ifndef KM_SESSION_NUMOFOBS_H
#define KM_SESSION_NUMOFOBS_H

#include <cstdint>

#include "foundation/KmVector.h"

// The cohorts of a data file that share one observation count. The session
// keeps one record per distinct count of the cohorts the pre-read cut
// (kmSession::SetCohortObservationCounts), in order of first appearance; it
// copies the records with itself but never stores them in the session file.
//
// A plain value record: copying copies the cohort list.
struct NumOfObs {
  // The observation count n shared by these cohorts.
  int32_t iNumObs = 0;
  // How many cohorts have n observations (the length of vCohorts).
  int32_t iNumCohorts = 0;
  // 0-based indices of those cohorts, in file order.
  KmVector<int32_t> vCohorts;
  // The default maximum number of kinkmarks for n observations
  // (kmTools MaxKinkmarksForObservations of n, not extended).
  int32_t iMaxKinkmarks = 0;
};

#endif  // KM_SESSION_NUMOFOBS_H
