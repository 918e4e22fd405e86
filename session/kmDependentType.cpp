#include "session/kmDependentType.h"

#include "session/internal/CodeTable.h"

namespace {

const char* const kDependentTexts[] = {
    "Count",   "Crude Rate",        "Proportion",
    "Percent", "Age-Adjusted Rate", "Other"};

}  // namespace

const char* kmDependentTypeText(kmDependentType type) {
  return CodeTableText(kDependentTexts, type);
}
