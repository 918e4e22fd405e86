#include "session/kmDelayType.h"

#include "session/internal/CodeTable.h"

namespace {

const char* const kDelayTypeTexts[] = {"non-delay", "delay", "both"};

}  // namespace

const char* kmDelayTypeText(kmDelayType type) {
  return CodeTableText(kDelayTypeTexts, type);
}

bool kmDelayTypeFromText(const char* sText, kmDelayType& type) {
  return CodeTableFind(kDelayTypeTexts, sText, type);
}
