#include "session/kmClusterOptions.h"

#include "session/internal/CodeTable.h"

namespace {

const char* const kOrderingTexts[] = {"ordered", "unordered"};
const char* const kCriterionTexts[] = {"KPerm-CBIC", "kmbic-cbic", "KBIC-CBIC"};

}  // namespace

const char* kmClusterOrderingText(kmClusterOrdering ordering) {
  return kOrderingTexts[ordering == kmClusterOrdering::kOrdered ? 0 : 1];
}

bool kmClusterOrderingFromText(const char* sText, kmClusterOrdering& ordering) {
  return CodeTableFind(kOrderingTexts, sText, ordering);
}

const char* kmClusterCriterionText(kmClusterCriterion criterion) {
  const bool bNamed = criterion == kmClusterCriterion::kPermutation ||
                      criterion == kmClusterCriterion::kMBIC;
  return CodeTableText(kCriterionTexts,
                       bNamed ? criterion : kmClusterCriterion::kBIC);
}

bool kmClusterCriterionFromText(const char* sText,
                                kmClusterCriterion& criterion) {
  return CodeTableFind(kCriterionTexts, sText, criterion);
}
