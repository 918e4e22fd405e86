// KMClusterResampleState: construction, init, clear and resetFits.
#include "engine/KMClusterResampleState.h"

#include "models/BestKMRegModel.h"

namespace {

void ResetFitSet(KMClusterFitSet& fitSet) {
  for (int i = 0; i < fitSet.fits.GetSize(); ++i) {
    BestKMRegModel::resetFitRecord(fitSet.fits[i].records);
  }
}

}  // namespace

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

void KMClusterResampleState::resetFits() {
  for (int k = 0; k < scores.GetSize(); ++k) {
    for (int i = 0; i < scores[k].fitSets.GetSize(); ++i) {
      ResetFitSet(scores[k].fitSets[i]);
    }
  }
  for (int i = 0; i < fitSets.GetSize(); ++i) ResetFitSet(fitSets[i]);
}
