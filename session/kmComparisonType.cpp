#include "session/kmComparisonType.h"

#include "session/internal/CodeTable.h"

namespace {

const char* const kComparisonTexts[] = {"None", "Pairwise Comparison",
                                        "Multi-Group Clustering"};
const char* const kPairwiseTexts[] = {"parallel", "coincident"};

}  // namespace

const char* kmComparisonTypeText(kmComparisonType type) {
  return CodeTableText(kComparisonTexts, type);
}

bool kmComparisonTypeFromText(const char* sText, kmComparisonType& type) {
  return CodeTableFind(kComparisonTexts, sText, type);
}

const char* kmPairwiseTypeText(kmPairwiseType type) {
  return CodeTableText(kPairwiseTexts, type);
}

bool kmPairwiseTypeFromText(const char* sText, kmPairwiseType& type) {
  return CodeTableFind(kPairwiseTexts, sText, type);
}
