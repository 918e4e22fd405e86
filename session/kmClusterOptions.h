// The options of multi-group clustering: whether the cohorts' order binds
// the clusters (kmOptClusterOrdering) and the criterion that chooses the
// clusters (kmOptClusterCriterion).
#ifndef KM_SESSION_KMCLUSTEROPTIONS_H
#define KM_SESSION_KMCLUSTEROPTIONS_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

// Every code other than kOrdered clusters the cohorts unordered.
enum class kmClusterOrdering : int {
  kOrdered = 0,
  kUnordered = 1,
};
template <>
struct kmCodedOption<kmClusterOrdering> {
  static constexpr int kId = kmOptClusterOrdering;
};

// Every code other than kPermutation and kMBIC is BIC-based.
enum class kmClusterCriterion : int {
  kPermutation = 0,
  kMBIC = 1,
  kBIC = 2,
};
template <>
struct kmCodedOption<kmClusterCriterion> {
  static constexpr int kId = kmOptClusterCriterion;
};

// The name of the ordering in the clustering's setup and result file name:
// "ordered", or "unordered" for every other code.
const char* kmClusterOrderingText(kmClusterOrdering ordering);

// The name of the criterion in the clustering's setup and result file name:
// "KPerm-CBIC", "kmbic-cbic", or "KBIC-CBIC" for every other code.
const char* kmClusterCriterionText(kmClusterCriterion criterion);

#endif  // KM_SESSION_KMCLUSTEROPTIONS_H
