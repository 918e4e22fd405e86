// The field delimiter of the data file (kmOptFieldDelimiter) and of the
// variance-covariance file (kmOptVarCovarDelimiter), which share its codes.
#ifndef KM_SESSION_KMDELIMITER_H
#define KM_SESSION_KMDELIMITER_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

class kmSession;

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
};

// The delimiter of the variance-covariance file.
kmDelimiter kmVarCovarDelimiter(const kmSession& session);

// The word of the delimiter in a saved session's option check: "tab",
// "space", "comma", "semi-colon"; nullptr for a code without one.
const char* kmDelimiterText(kmDelimiter delimiter);
// The delimiter of the word sText; false when no delimiter has that word.
bool kmDelimiterFromText(const char* sText, kmDelimiter& delimiter);

#endif  // KM_SESSION_KMDELIMITER_H
