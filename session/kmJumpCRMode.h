// The jump and comparability-ratio analyses a run makes (kmOptJumpCRMode);
// kmAnalysisCopies decodes which analyses each mode has.
#ifndef KM_SESSION_KMJUMPCRMODE_H
#define KM_SESSION_KMJUMPCRMODE_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

enum class kmJumpCRMode : int {
  kOff = 0,
  kJump = 1,
  kComparabilityRatio = 2,
  kJumpAndComparabilityRatio = 3,
  kJumpAndStandard = 4,
  kComparabilityRatioAndStandard = 5,
  kJumpComparabilityRatioAndStandard = 6,
};
template <>
struct kmCodedOption<kmJumpCRMode> {
  static constexpr int kId = kmOptJumpCRMode;
};

// The run summary's name of the mode ("Disable", "Jump Model", ...);
// nullptr for a code outside the table.
const char* kmJumpCRModeText(kmJumpCRMode mode);

#endif  // KM_SESSION_KMJUMPCRMODE_H
