// KMClusterFit: construction, copying and clear.
#include "models/KMClusterFit.h"

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KMClusterFit::KMClusterFit()
    : selectedK(-1), fitted(0), dMember7(0.0), iMember7(-1), kDeltaStarK(-1) {}

KMClusterFit::KMClusterFit(const KMClusterFit& src) : KMClusterFit() {
  *this = src;
}

KMClusterFit& KMClusterFit::operator=(const KMClusterFit& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    records = src.records;
    criterionValues = src.criterionValues;
    selectedK = src.selectedK;
    scores = src.scores;
    fitted = src.fitted;
    generator = src.generator;
    dMember7 = src.dMember7;
    iMember7 = src.iMember7;
    kDeltaStarValues = src.kDeltaStarValues;
    kDeltaStarK = src.kDeltaStarK;
  });
  return *this;
}

// The members release themselves; clear's fresh generator would allocate.
KMClusterFit::~KMClusterFit() = default;

void KMClusterFit::clear() {
  WithStandardCatch([&] {
    records.Clear();
    scores.Clear();
    criterionValues.CleanUp();
    kDeltaStarValues.CleanUp();
    generator = MTRandomGenerator();
  });
}
