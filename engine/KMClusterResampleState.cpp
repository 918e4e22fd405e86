// KMClusterResampleState: construction, init and clear.
#include "engine/KMClusterResampleState.h"

KMClusterResampleState::KMClusterResampleState()
    : chosenK(0), zeroCriterion(0) {
  init();
}

void KMClusterResampleState::init() {
  chosenK = 0;
  zeroCriterion = 0;
}

void KMClusterResampleState::clear() {
  scores.Clear();
  criterionValues.CleanUp();
  scoreRecords.Clear();
  fitSets.Clear();
  matrixBlock.clear();
  generator = MTRandomGenerator();
}
