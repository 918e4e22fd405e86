// kmSession's observation counts of the cohorts the pre-read cut and the
// limits they set: SetCohortObservationCounts, SetDefaultMaxKinkmarks,
// GetNumObservationsThisCohort and GetMaxNumberOfKinkmarksForCohort.
#include <algorithm>
#include <cstdint>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/kmTools.h"
#include "session/kmModelSelection.h"
#include "session/kmSession.h"

namespace {

const char kClassName[] = "kmSession";

// The maximum number of kinkmarks for n observations; counts beyond the
// 16-bit range get the value of the largest.
int32_t MaxKinkmarksFor(int32_t iObservations) {
  return kmTools::MaxKinkmarksForObservations(
      static_cast<int16_t>(std::min<int32_t>(iObservations, INT16_MAX)), false);
}

// Records one cohort of iCount observations: appends the count and adds the
// cohort to the record of its count (a new record on its first
// appearance).
void CloseCohort(int32_t iCount, int32_t& iCohortIndex,
                 KmVector<int32_t>& vNumObs, KmVector<NumOfObs>& vRecords) {
  vNumObs.push_back(iCount);
  auto it = std::find_if(
      vRecords.begin(), vRecords.end(),
      [iCount](const NumOfObs& record) { return record.iNumObs == iCount; });
  if (it == vRecords.end()) {
    NumOfObs record;
    record.iNumObs = iCount;
    vRecords.push_back(record);
    it = vRecords.end() - 1;
  }
  ++it->iNumCohorts;
  it->vCohorts.push_back(iCohortIndex);
  it->iMaxKinkmarks = MaxKinkmarksFor(iCount);
  ++iCohortIndex;
}

// The maximum observations and the varying flag from the records.
void FinishScan(const KmVector<NumOfObs>& vRecords, int32_t& iMaxObservations,
                bool* pbVarying) {
  if (vRecords.empty()) {
    iMaxObservations = 0;
    return;
  }
  iMaxObservations = vRecords.front().iNumObs;
  if (vRecords.size() > 1) {
    *pbVarying = true;
    for (const NumOfObs& record : vRecords) {
      iMaxObservations = std::max(iMaxObservations, record.iNumObs);
    }
  }
}

}  // namespace

void kmSession::SetCohortObservationCounts(const KmVector<int32_t>& vCounts,
                                           bool* pbVarying) {
  vNumObs_.clear();
  vObsRecords_.clear();
  *pbVarying = false;
  int32_t iCohortIndex = 0;
  for (const int32_t iCount : vCounts) {
    CloseCohort(iCount, iCohortIndex, vNumObs_, vObsRecords_);
  }
  FinishScan(vObsRecords_, iMaxObservations_, pbVarying);
}

void kmSession::SetDefaultMaxKinkmarks() {
  // The longest cohort's: a shorter one is lowered to its own by
  // GetMaxNumberOfKinkmarksForCohort, while the first cohort's maximum would
  // cap every longer cohort after it.
  SetInt(kmOptMaxKinkmarks, MaxKinkmarksFor(iMaxObservations_));
}

int kmSession::GetNumObservationsThisCohort(int iCohort) const {
  return WithCallPath(
      "GetNumObservationsThisCohort(int)", kClassName, [&]() -> int {
        if (iCohort < 0 || iCohort >= static_cast<int>(vNumObs_.size())) {
          GenerateKmExceptionF("Index out of bounds.  Cohort Number: %d",
                               "GetNumObservationsThisCohort(int)", iCohort);
        }
        return vNumObs_[iCohort];
      });
}

int kmSession::GetMaxNumberOfKinkmarksForCohort(int iCohort) const {
  return WithCallPath(
      "GetMaxNumberOfKinkmarksForCohort(int)", kClassName, [&]() -> int {
        int iKinkmarks = GetInt(kmOptMaxKinkmarks);
        if (!GetBool(kmOptPerCohortMaxKinkmarks)) return iKinkmarks;
        const int iObservations = GetNumObservationsThisCohort(iCohort);
        if (Get<kmMaxKinkmarksFeasibility>() ==
                kmMaxKinkmarksFeasibility::kSpacingRule ||
            GetProgramVersAsDouble() < 4.9) {
          // Lower the maximum until the kinkmarks fit the spacing rule, but
          // never below zero kinkmarks: a cohort too short even for those
          // still gets the model without kinkmarks, not a negative count.
          const int iMinObsEnd = GetInt(kmOptMinObsEnd);
          const int iMinObsBetween = GetInt(kmOptMinObsBetween);
          while (iKinkmarks > 0 &&
                 !kmTools::KinkmarkCountFeasible(iObservations, iKinkmarks,
                                                 iMinObsEnd, iMinObsBetween)) {
            --iKinkmarks;
          }
          return std::max(iKinkmarks, 0);
        }
        // A per-cohort maximum only lowers the user's: a long cohort must
        // not be fitted with more kinkmarks than the run was asked for.
        return std::min(iKinkmarks, MaxKinkmarksFor(iObservations));
      });
}
