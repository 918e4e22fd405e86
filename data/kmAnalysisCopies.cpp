#include "data/kmAnalysisCopies.h"

#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

kmAnalysisCopies::kmAnalysisCopies(const kmSession& session)
    : kmAnalysisCopies(session.GetInt(kmOptJumpCRMode),
                       session.GetInt(kmOptDelayType)) {}

int kmAnalysisCopies::NumAnalyses() const {
  if (iJumpCRMode_ >= 3 && iJumpCRMode_ <= 5) return 2;
  if (iJumpCRMode_ == 6) return 3;
  return 1;
}

int kmAnalysisCopies::NumCopies() const {
  return HasDelaySplit() ? 2 * NumAnalyses() : NumAnalyses();
}

bool kmAnalysisCopies::IsJumpCopy(int iCopy) const {
  switch (iJumpCRMode_) {
    case 1:
      return true;
    case 3:
    case 4:
      return iCopy % 2 == 0;
    case 6:
      return iCopy % 3 == 0;
    default:
      return false;
  }
}

bool kmAnalysisCopies::IsComparabilityRatioCopy(int iCopy) const {
  switch (iJumpCRMode_) {
    case 2:
      return true;
    case 3:
      return iCopy % 2 == 1;
    case 5:
      return iCopy % 2 == 0;
    case 6:
      return iCopy % 3 == 1;
    default:
      return false;
  }
}

bool kmAnalysisCopies::IsStandardCopy(int iCopy) const {
  return iJumpCRMode_ >= 4 && iJumpCRMode_ <= 6 && !IsJumpCopy(iCopy) &&
         !IsComparabilityRatioCopy(iCopy);
}

bool kmAnalysisCopies::IsDelayCopy(int iCopy) const {
  if (iDelayType_ == 1) return true;
  if (iDelayType_ != 2) return false;
  // The delay variant of a cohort comes first, so even variant numbers are
  // delay copies.
  return (iCopy / NumAnalyses()) % 2 == 0;
}
