#include "session/kmComparisonType.h"

#include "session/kmCodeTexts.h"

namespace {

const char* const kComparisonTexts[] = {"None", "Pairwise Comparison",
                                        "Multi-Group Clustering"};
const char* const kPairwiseTexts[] = {"parallel", "coincident"};

}  // namespace

const char* kmComparisonTypeText(kmComparisonType type) {
  return kmCodeText(kComparisonTexts, type);
}

bool kmComparisonTypeFromText(const char* sText, kmComparisonType& type) {
  return kmCodeFromText(kComparisonTexts, sText, type);
}

const char* kmPairwiseTypeText(kmPairwiseType type) {
  return kmCodeText(kPairwiseTexts, type);
}

bool kmPairwiseTypeFromText(const char* sText, kmPairwiseType& type) {
  return kmCodeFromText(kPairwiseTexts, sText, type);
}
