#include "session/kmClusterOptions.h"

#include "session/internal/CodeTable.h"

namespace {

const char* const kOrderingTexts[] = {"ordered", "unordered"};
const char* const kCriterionTexts[] = {"KPerm-CBIC", "kmbic-cbic", "KBIC-CBIC"};

}  // namespace

const char* kmClusterOrderingText(kmClusterOrdering ordering) {
  return kOrderingTexts[ordering == kmClusterOrdering::kOrdered ? 0 : 1];
}

const char* kmClusterCriterionText(kmClusterCriterion criterion) {
  const bool bNamed = criterion == kmClusterCriterion::kPermutation ||
                      criterion == kmClusterCriterion::kMBIC;
  return CodeTableText(kCriterionTexts,
                       bNamed ? criterion : kmClusterCriterion::kBIC);
}
