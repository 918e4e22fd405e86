#include "session/kmDependentType.h"

#include "session/kmCodeTexts.h"

namespace {

const char* const kDependentTexts[] = {
    "Count",   "Crude Rate",        "Proportion",
    "Percent", "Age-Adjusted Rate", "Other"};

}  // namespace

const char* kmDependentTypeText(kmDependentType type) {
  return kmCodeText(kDependentTexts, type);
}

bool kmDependentTypeFromText(const char* sText, kmDependentType& type) {
  return kmCodeFromText(kDependentTexts, sText, type);
}
