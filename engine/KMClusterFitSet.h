// KMClusterFitSet: the fits of one candidate cluster (a subset of groups).
#ifndef KM_ENGINE_KMCLUSTERFITSET_H
#define KM_ENGINE_KMCLUSTERFITSET_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"
#include "models/KMClusterFit.h"
#include "stats/MTRandomGenerator.h"

// The best-model fits of one candidate subset of m groups: the joint fit of
// all m groups and the fit of each group alone, with the common number of
// kinkmarks chosen for the subset and each fit's criterion value there.
//
// A value class (no virtual operations): construction sets kMin = kMax = 0
// and commonK = -1 and leaves the containers empty; copies are deep (the fit
// array element by element, the generator by its state); destruction
// releases every member.
class KMClusterFitSet {
 public:
  KMClusterFitSet();
  KMClusterFitSet(const KMClusterFitSet& src) = default;
  // Copies every member in declaration order. Returns this object.
  KMClusterFitSet& operator=(const KMClusterFitSet& src) = default;
  ~KMClusterFitSet() = default;

  // Frees the fit array, empties the criterion vector and puts the generator
  // back in its unseeded state. The three ints keep their values.
  void clear();

  // The smallest and largest number of kinkmarks fitted. 0 at construction.
  int32_t kMin;
  int32_t kMax;
  // m + 1 fits: entry 0 the joint fit of the subset, entry j (1..m) the fit
  // of the subset's j-th group alone.
  OneDimensionArray<KMClusterFit> fits;
  // The common number of kinkmarks of the subset; -1 until set.
  int32_t commonK;
  // m + 1 values: value j + 1 is the criterion value of fit j at commonK
  // kinkmarks.
  NEWMAT::ColumnVector criterionValues;
  // The generator in the state the subset's fits left it.
  MTRandomGenerator generator;
};

#endif  // KM_ENGINE_KMCLUSTERFITSET_H
