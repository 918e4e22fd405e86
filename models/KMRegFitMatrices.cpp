// KMRegFitMatrices: construction, copying, init and clear.
#include "models/KMRegFitMatrices.h"

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KMRegFitMatrices::KMRegFitMatrices() { init(); }

KMRegFitMatrices::KMRegFitMatrices(const KMRegFitMatrices& src) { *this = src; }

KMRegFitMatrices& KMRegFitMatrices::operator=(const KMRegFitMatrices& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    candidates = src.candidates;
    candidateIndices = src.candidateIndices;
    distinctX = src.distinctX;
    weight = src.weight;
    covariance = src.covariance;
    transform = src.transform;
    backTransform = src.backTransform;
    p = src.p;
    allX = src.allX;
    allY = src.allY;
    X = src.X;
    XtW = src.XtW;
    XtWX = src.XtWX;
    responses = src.responses;
    yWy = src.yWy;
    XtWY = src.XtWY;
  });
  return *this;
}

KMRegFitMatrices::~KMRegFitMatrices() { clear(); }

void KMRegFitMatrices::init() {
  WithStandardCatch([&] { p = 0; });
}

void KMRegFitMatrices::clear() {
  WithStandardCatch([&] {
    candidates.CleanUp();
    candidateIndices.CleanUp();
    distinctX.CleanUp();
    weight.CleanUp();
    covariance.CleanUp();
    transform.CleanUp();
    backTransform.CleanUp();
    allX.CleanUp();
    allY.CleanUp();
    X.CleanUp();
    XtW.CleanUp();
    XtWX.CleanUp();
    responses.Clear();
    yWy.Clear();
    XtWY.CleanUp();
  });
}
