#include "session/kmDelayType.h"

#include "session/kmCodeTexts.h"

namespace {

const char* const kDelayTypeTexts[] = {"non-delay", "delay", "both"};

}  // namespace

const char* kmDelayTypeText(kmDelayType type) {
  return kmCodeText(kDelayTypeTexts, type);
}

bool kmDelayTypeFromText(const char* sText, kmDelayType& type) {
  return kmCodeFromText(kDelayTypeTexts, sText, type);
}
