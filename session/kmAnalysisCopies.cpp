#include "session/kmAnalysisCopies.h"

#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

// The first session file version that records delay statistics.
constexpr double kDelayStatsFileVersion = 4.2;

}  // namespace

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

bool kmAnalysisCopies::HasJumpAnalysis() const {
  // A jump analysis is always the first of its delay variant.
  return IsJumpCopy(0);
}

bool kmAnalysisCopies::HasComparabilityRatioAnalysis() const {
  for (int i = 0; i < NumAnalyses(); ++i) {
    if (IsComparabilityRatioCopy(i)) return true;
  }
  return false;
}

bool kmAnalysisCopies::LastByVarIsSynthetic(const kmSession& session) {
  const kmAnalysisCopies copies(session);
  const bool bDelaySplit =
      copies.HasDelaySplit() &&
      session.GetFileVersionAsDouble() >= kDelayStatsFileVersion &&
      session.GetInt(kmOptDictDelayStats) != 0;
  return bDelaySplit || copies.HasAnalysisSplit();
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
