#include "session/kmAnalysisCopies.h"

#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

// The first session file version that records delay statistics.
constexpr double kDelayStatsFileVersion = 4.2;

using Kind = kmAnalysisCopies::Kind;

// The analyses of one delay variant of each kmOptJumpCRMode, in copy order.
struct ModeAnalyses {
  int n;
  Kind kinds[3];
};
constexpr ModeAnalyses kAnalysesByMode[] = {
    {1, {Kind::kStandard}},
    {1, {Kind::kJump}},
    {1, {Kind::kComparabilityRatio}},
    {2, {Kind::kJump, Kind::kComparabilityRatio}},
    {2, {Kind::kJump, Kind::kStandard}},
    {2, {Kind::kComparabilityRatio, Kind::kStandard}},
    {3, {Kind::kJump, Kind::kComparabilityRatio, Kind::kStandard}},
};
constexpr int kNumModes =
    static_cast<int>(sizeof(kAnalysesByMode) / sizeof(kAnalysesByMode[0]));

// The analyses of mode iMode; any mode outside the table is one standard
// analysis.
const ModeAnalyses& AnalysesOf(kmJumpCRMode mode) {
  const int iMode = static_cast<int>(mode);
  return kAnalysesByMode[iMode >= 0 && iMode < kNumModes ? iMode : 0];
}

}  // namespace

kmAnalysisCopies::kmAnalysisCopies(const kmSession& session)
    : kmAnalysisCopies(session.Get<kmJumpCRMode>(),
                       session.Get<kmDelayType>()) {}

int kmAnalysisCopies::NumAnalyses() const { return AnalysesOf(jumpCRMode_).n; }

int kmAnalysisCopies::NumCopies() const {
  return HasDelaySplit() ? 2 * NumAnalyses() : NumAnalyses();
}

kmAnalysisCopies::Kind kmAnalysisCopies::KindOfCopy(int iCopy) const {
  const ModeAnalyses& analyses = AnalysesOf(jumpCRMode_);
  return analyses.kinds[iCopy % analyses.n];
}

bool kmAnalysisCopies::HasAnalysis(Kind kind) const {
  for (int i = 0; i < NumAnalyses(); ++i) {
    if (KindOfCopy(i) == kind) return true;
  }
  return false;
}

bool kmAnalysisCopies::IsStandardBesideJumpOrRatio(int iCopy) const {
  return HasAnalysisSplit() && KindOfCopy(iCopy) == Kind::kStandard;
}

bool kmAnalysisCopies::LastByVarIsSynthetic(const kmSession& session) {
  const kmAnalysisCopies copies(session);
  const bool bDelaySplit =
      copies.HasDelaySplit() &&
      session.GetFileVersionAsDouble() >= kDelayStatsFileVersion &&
      session.GetInt(kmOptDictDelayStats) != 0;
  return bDelaySplit || copies.HasAnalysisSplit();
}

bool kmAnalysisCopies::IsDelayCopy(int iCopy) const {
  if (delayType_ == kmDelayType::kDelay) return true;
  if (delayType_ != kmDelayType::kBoth) return false;
  // The delay variant of a cohort comes first, so even variant numbers are
  // delay copies.
  return (iCopy / NumAnalyses()) % 2 == 0;
}
