#include "session/kmDelimiter.h"

#include "session/kmCodeTexts.h"
#include "session/kmSession.h"

namespace {

const char* const kDelimiterTexts[] = {"tab", "space", "comma", "semi-colon"};

}  // namespace

kmDelimiter kmVarCovarDelimiter(const kmSession& session) {
  return static_cast<kmDelimiter>(session.GetInt(kmOptVarCovarDelimiter));
}

const char* kmDelimiterText(kmDelimiter delimiter) {
  return kmCodeText(kDelimiterTexts, delimiter);
}

bool kmDelimiterFromText(const char* sText, kmDelimiter& delimiter) {
  return kmCodeFromText(kDelimiterTexts, sText, delimiter);
}
