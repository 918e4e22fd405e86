// KMClusterResampleState: the output of one multi-group clustering analysis.
#ifndef KM_ENGINE_KMCLUSTERRESAMPLESTATE_H
#define KM_ENGINE_KMCLUSTERRESAMPLESTATE_H

#include <newmat.h>

#include <cstdint>

#include "engine/KMClusterFitSet.h"
#include "engine/KMClusterMatrixBlock.h"
#include "engine/KMClusterScores.h"
#include "foundation/OneDimensionArray.h"
#include "models/KMModelScoreRec.h"
#include "stats/MTRandomGenerator.h"

// What the clustering analysis hands back to its driver: the best partition
// for each number of clusters, the per-k criterion values, the fit sets of
// every candidate cluster, the result matrices and the generator after all
// fits, with the chosen number of clusters.
//
// A value class (no virtual operations): construction leaves the arrays and
// the vector empty, builds the block and the generator and runs init (both
// counters 0); copies are deep; destruction releases every member.
class KMClusterResampleState {
 public:
  KMClusterResampleState();
  KMClusterResampleState(const KMClusterResampleState& src) = default;
  KMClusterResampleState& operator=(const KMClusterResampleState& src) =
      default;
  ~KMClusterResampleState() = default;

  // Sets both counters to 0; the rest is untouched.
  void init();
  // Frees the three arrays, empties the vector, clears the block and puts the
  // generator back in its unseeded state. The counters keep their values.
  void clear();
  // Releases the fit data of every fit held in the scores and in the fit
  // sets (BestKMRegModel::resetFitRecord); every fit keeps its results.
  void resetFits();

  // The best partition for k = 1..K (entry k - 1).
  OneDimensionArray<KMClusterScores> scores;
  // The criterion value of each k (entry k).
  NEWMAT::ColumnVector criterionValues;
  OneDimensionArray<KMModelScoreRec> scoreRecords;
  // The fit set of every candidate cluster (position = candidate index - 1).
  OneDimensionArray<KMClusterFitSet> fitSets;
  KMClusterMatrixBlock matrixBlock;
  // The generator after all fits.
  MTRandomGenerator generator;
  // The chosen number of clusters; 0 until chosen.
  int32_t chosenK;
  // 1 when the criterion came out zero; 0 by default.
  int32_t zeroCriterion;
};

#endif  // KM_ENGINE_KMCLUSTERRESAMPLESTATE_H
