// kmCalculator: GetNumObsThisCohort.
#include "engine/kmCalculator.h"
#include "foundation/KmException.h"

int kmCalculator::GetNumObsThisCohort(kmSession* pSession, int iCohortIndex) {
  try {
    return GetNumObsForCohortIndex(pSession, iCohortIndex);
  } catch (KmException& e) {
    e.AddCallPath("GetNumObsThisCohort(int)", "kmCalculator");
    throw;
  }
}
