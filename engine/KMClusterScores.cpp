// KMClusterScores: construction, init and clear.
#include "engine/KMClusterScores.h"

#include <limits>

KMClusterScores::KMClusterScores() : criterionValue(0.0) { init(); }

void KMClusterScores::init() {
  criterionValue = std::numeric_limits<double>::infinity();
}

void KMClusterScores::clear() {
  groupLists.Clear();
  fitSets.Clear();
  scores.CleanUp();
}
