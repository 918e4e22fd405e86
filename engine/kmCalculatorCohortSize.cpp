// kmCalculator: GetNumObsThisCohort.
#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

int kmCalculator::GetNumObsThisCohort(kmSession* pSession, int iCohortIndex) {
  return WithCallPath("GetNumObsThisCohort(int)", "kmCalculator", [&]() -> int {
    return GetNumObsForCohortIndex(pSession, iCohortIndex);
  });
}
