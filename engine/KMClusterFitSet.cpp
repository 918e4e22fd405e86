// KMClusterFitSet: construction and clear.
#include "engine/KMClusterFitSet.h"

KMClusterFitSet::KMClusterFitSet() : kMin(0), kMax(0), commonK(-1) {}

void KMClusterFitSet::clear() {
  fits.Clear();
  criterionValues.CleanUp();
  generator = MTRandomGenerator();
}
