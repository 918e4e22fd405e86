#include "session/kmDelimiter.h"

#include "session/internal/CodeTable.h"
#include "session/kmSession.h"

namespace {

const char* const kDelimiterTexts[] = {"tab", "space", "comma", "semi-colon"};

}  // namespace

kmDelimiter kmVarCovarDelimiter(const kmSession& session) {
  return static_cast<kmDelimiter>(session.GetInt(kmOptVarCovarDelimiter));
}

const char* kmDelimiterText(kmDelimiter delimiter) {
  return CodeTableText(kDelimiterTexts, delimiter);
}

bool kmDelimiterFromText(const char* sText, kmDelimiter& delimiter) {
  return CodeTableFind(kDelimiterTexts, sText, delimiter);
}
