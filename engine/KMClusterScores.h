// KMClusterScores: the best partition of the groups into k clusters.
#ifndef KM_ENGINE_KMCLUSTERSCORES_H
#define KM_ENGINE_KMCLUSTERSCORES_H

#include <newmat.h>

#include <cstdint>

#include "engine/KMClusterFitSet.h"
#include "foundation/OneDimensionArray.h"

// The best partition found for one number of clusters k: its k group lists,
// the fit sets of its clusters in partition order, one value per cluster and
// the partition's criterion value (smaller is better).
//
// A value class (no virtual operations): construction leaves the arrays and
// the vector empty and runs init (criterion value +infinity, so a fresh
// record loses against any finite value); copies are deep; destruction
// releases every member.
class KMClusterScores {
 public:
  KMClusterScores();
  KMClusterScores(const KMClusterScores& src) = default;
  // Copies the group lists, the fit sets, the scores and the criterion
  // value. Returns this object.
  KMClusterScores& operator=(const KMClusterScores& src) = default;
  ~KMClusterScores() = default;

  // Sets the criterion value to +infinity; the containers are untouched.
  void init();
  // Frees the group lists and the fit sets and empties the score vector.
  // The criterion value keeps its value.
  void clear();

  // The partition: k lists of group indices.
  OneDimensionArray<OneDimensionArray<int32_t>> groupLists;
  // The fit set of each cluster, in partition order.
  OneDimensionArray<KMClusterFitSet> fitSets;
  // One value per cluster.
  NEWMAT::ColumnVector scores;
  // The partition's criterion value; +infinity until scored.
  double criterionValue;
};

#endif  // KM_ENGINE_KMCLUSTERSCORES_H
