// The comparison a run makes between cohorts (kmOptComparisonType) and the
// joint model of a pairwise comparison (kmOptPairwiseType).
#ifndef KM_SESSION_KMCOMPARISONTYPE_H
#define KM_SESSION_KMCOMPARISONTYPE_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

enum class kmComparisonType : int {
  kNone = 0,
  kPairwise = 1,
  kClustering = 2,
};
template <>
struct kmCodedOption<kmComparisonType> {
  static constexpr int kId = kmOptComparisonType;
};

// The two cohorts of a pairwise comparison share the slopes (parallel) or
// the whole trend (coincident).
enum class kmPairwiseType : int {
  kParallel = 0,
  kCoincident = 1,
};
template <>
struct kmCodedOption<kmPairwiseType> {
  static constexpr int kId = kmOptPairwiseType;
  static constexpr const char* kWords = "parallel|coincident";
};

// The run summary's name of the comparison: "None", "Pairwise Comparison",
// "Multi-Group Clustering"; nullptr for a code without one.
const char* kmComparisonTypeText(kmComparisonType type);

#endif  // KM_SESSION_KMCOMPARISONTYPE_H
