// KMRegFit: construction, copying, init, reset and clear.
#include "models/KMRegFit.h"

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KMRegFit::KMRegFit() { init(); }

KMRegFit::KMRegFit(const KMRegFit& src) { *this = src; }

KMRegFit& KMRegFit::operator=(const KMRegFit& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    seriesSet = src.seriesSet;
    responses = src.responses;
    weight = src.weight;
    covariance = src.covariance;
    transform = src.transform;
    backTransform = src.backTransform;
    design = src.design;
    counts = src.counts;
    xShift = src.xShift;
    modelType = src.modelType;
    k = src.k;
    iMember8 = src.iMember8;
    splineCode = src.splineCode;
    jump = src.jump;
    jumpLocation = src.jumpLocation;
    minObsAtEnds = src.minObsAtEnds;
    minObsBetween = src.minObsBetween;
    gridPointsBetween = src.gridPointsBetween;
    iMember12 = src.iMember12;
    userLocations = src.userLocations;
    useUserLocations = src.useUserLocations;
    alpha = src.alpha;
    tauAlpha = src.tauAlpha;
    apcAlpha = src.apcAlpha;
    aapcAlpha = src.aapcAlpha;
    dMember15 = src.dMember15;
  });
  return *this;
}

KMRegFit::~KMRegFit() { clear(); }

void KMRegFit::init() {
  WithStandardCatch([&] {
    xShift = 0.0;
    modelType = 2;
    k = 0;
    iMember8 = 0;
    splineCode = 0;
    jump = 0;
    jumpLocation = -1.0;
    minObsAtEnds = 2;
    minObsBetween = 2;
    gridPointsBetween = 0;
    iMember12 = 0;
    userLocations.CleanUp();
    useUserLocations = false;
    alpha = 0.05;
    tauAlpha = 0.05;
    apcAlpha = 0.05;
    aapcAlpha = 0.05;
    dMember15 = 0.05;
  });
}

void KMRegFit::reset() {
  WithStandardCatch([&] {
    seriesSet.clear();
    seriesSet.resetMatrix();
    design.clear();
  });
}

void KMRegFit::clear() {
  WithStandardCatch([&] {
    seriesSet.clear();
    seriesSet.resetMatrix();
    responses.Clear();
    weight.CleanUp();
    covariance.CleanUp();
    transform.CleanUp();
    backTransform.CleanUp();
    design.clear();
    counts.mMember5.CleanUp();
    userLocations.CleanUp();
  });
}
