// The delay-adjusted statistics of a session: which variants of each cohort
// a run analyses (kmOptDelayType) and which delay statistic the data
// dictionary named (kmOptDelayStatKind).
#ifndef KM_SESSION_KMDELAYTYPE_H
#define KM_SESSION_KMDELAYTYPE_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

enum class kmDelayType : int {
  kNonDelay = 0,
  kDelay = 1,
  kBoth = 2,
};
template <>
struct kmCodedOption<kmDelayType> {
  static constexpr int kId = kmOptDelayType;
  static constexpr const char* kWords = "non-delay|delay|both";
};

// The delay statistic the dictionary named last; kNone before any.
enum class kmDelayStatKind : int {
  kNone = -1,
  kDelayRate = 0,
  kDelayCrudeRate = 1,
  kDelayAgeAdjustedRate = 2,
  kDelayTrend = 3,
  kDelayCrudeRateTrend = 4,
  kDelayAgeAdjustedRateTrend = 5,
  kDelayCountOnly = 6,
};
template <>
struct kmCodedOption<kmDelayStatKind> {
  static constexpr int kId = kmOptDelayStatKind;
};

#endif  // KM_SESSION_KMDELAYTYPE_H
