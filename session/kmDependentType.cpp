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

kmDependentType kmDependentTypeOfColumns(const kmFittedColumns& columns,
                                         bool bCalculated,
                                         kmDependentType current) {
  if (columns.bCrudeRate) return kmDependentType::kCrudeRate;
  if (columns.bAgeAdjustedRate) return kmDependentType::kAgeAdjustedRate;
  if (columns.bCount) {
    return bCalculated ? kmDependentType::kAgeAdjustedRate
                       : kmDependentType::kCount;
  }
  if (columns.bDisparity) return kmDependentType::kOther;
  return current;
}

kmFittedColumns kmFittedColumnsOfType(kmDependentType type) {
  kmFittedColumns columns;
  columns.bCrudeRate = type == kmDependentType::kCrudeRate;
  columns.bAgeAdjustedRate = type == kmDependentType::kAgeAdjustedRate;
  columns.bCount = type == kmDependentType::kCount;
  columns.bDisparity = type == kmDependentType::kOther;
  return columns;
}
