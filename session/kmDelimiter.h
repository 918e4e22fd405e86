// The field delimiter of the data file (kmOptFieldDelimiter) and of the
// variance-covariance file (kmOptVarCovarDelimiter, read by
// kmVarCovarDelimiter, declared with kmSession), which share its codes.
#ifndef KM_SESSION_KMDELIMITER_H
#define KM_SESSION_KMDELIMITER_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

enum class kmDelimiter : int {
  kTab = 0,
  kSpace = 1,
  kComma = 2,
  kSemicolon = 3,
};
// Get<kmDelimiter>() reads the data file's delimiter.
template <>
struct kmCodedOption<kmDelimiter> {
  static constexpr int kId = kmOptFieldDelimiter;
  static constexpr const char* kWords = "tab|space|comma|semi-colon";
};

#endif  // KM_SESSION_KMDELIMITER_H
