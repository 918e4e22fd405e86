// KMBestModelFit: construction, copying, init and clear.
#include "models/KMBestModelFit.h"

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KMBestModelFit::KMBestModelFit() { init(); }

KMBestModelFit::KMBestModelFit(const KMBestModelFit& src) { *this = src; }

KMBestModelFit& KMBestModelFit::operator=(const KMBestModelFit& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    seriesSet = src.seriesSet;
    weight = src.weight;
    covariance = src.covariance;
    transform = src.transform;
    backTransform = src.backTransform;
    kMax = src.kMax;
    kMin = src.kMin;
    criterionCode = src.criterionCode;
    selection = src.selection;
    N = src.N;
    templateFit = src.templateFit;
    generator = src.generator;
    alpha = src.alpha;
  });
  return *this;
}

KMBestModelFit::~KMBestModelFit() { clear(); }

void KMBestModelFit::init() {
  WithStandardCatch([&] {
    kMax = 0;
    kMin = 0;
    criterionCode = 0;
    selection.clear();
    N = 0;
    alpha = 0.05;
  });
}

void KMBestModelFit::clear() {
  WithStandardCatch([&] {
    seriesSet.clear();
    seriesSet.resetMatrix();
    weight.CleanUp();
    covariance.CleanUp();
    transform.CleanUp();
    backTransform.CleanUp();
    templateFit.clear();
  });
}
