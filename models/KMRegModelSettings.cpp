// KMRegModelSettings: construction, copying, setDefaults and clear.
#include "models/KMRegModelSettings.h"

#include <limits>

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KMRegModelSettings::KMRegModelSettings() { setDefaults(); }

KMRegModelSettings::KMRegModelSettings(const KMRegModelSettings& src) {
  *this = src;
}

KMRegModelSettings& KMRegModelSettings::operator=(
    const KMRegModelSettings& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    nDataSets = src.nDataSets;
    iMember2 = src.iMember2;
    iMember3 = src.iMember3;
    xOffset = src.xOffset;
    permutationAlpha = src.permutationAlpha;
    alpha = src.alpha;
    dMember7 = src.dMember7;
    dMember8 = src.dMember8;
    jumpAlpha = src.jumpAlpha;
    modelType = src.modelType;
    testKind = src.testKind;
    jump = src.jump;
    jumpLocation = src.jumpLocation;
    errorType = src.errorType;
    bMember15 = src.bMember15;
    scale = src.scale;
    minObsAtEnds = src.minObsAtEnds;
    minObsBetween = src.minObsBetween;
    gridPointsBetween = src.gridPointsBetween;
    sMember20 = src.sMember20;
    minKinkmarks = src.minKinkmarks;
    maxKinkmarks = src.maxKinkmarks;
    iMember23 = src.iMember23;
    dMember24 = src.dMember24;
    userLocations = src.userLocations;
    useUserLocations = src.useUserLocations;
    resamplingMode = src.resamplingMode;
    ciMethod = src.ciMethod;
    order = src.order;
    iMember30 = src.iMember30;
    bMember31 = src.bMember31;
    iMember32 = src.iMember32;
    dMember33 = src.dMember33;
    secondCrossProduct = src.secondCrossProduct;
    secondDesign = src.secondDesign;
    dMember36 = src.dMember36;
    dMember37 = src.dMember37;
    dMember38 = src.dMember38;
    vMember39 = src.vMember39;
    bMember40 = src.bMember40;
    dMember41 = src.dMember41;
  });
  return *this;
}

KMRegModelSettings::~KMRegModelSettings() { clear(); }

void KMRegModelSettings::setDefaults() {
  WithStandardCatch([&] {
    const double kMinusInf = -std::numeric_limits<double>::infinity();
    nDataSets = 0;
    iMember2 = 0;
    iMember3 = 0;
    xOffset = 0.0;
    permutationAlpha = 0.05;
    alpha = 0.05;
    dMember7 = 0.05;
    dMember8 = 0.05;
    jumpAlpha = 0.05;
    modelType = 2;
    testKind = 1;
    jump = 0;
    jumpLocation = -1.0;
    errorType = 0;
    bMember15 = false;
    scale = 1.0;
    minObsAtEnds = 0;
    minObsBetween = 0;
    gridPointsBetween = 0;
    sMember20 = "";
    minKinkmarks = 0;
    maxKinkmarks = 0;
    iMember23 = 0;
    dMember24 = 0.0;
    userLocations.CleanUp();
    useUserLocations = false;
    resamplingMode = "Simulating";
    ciMethod = "ZValue";
    order = "ordered";
    iMember30 = -1;
    bMember31 = false;
    iMember32 = 0;
    dMember33 = 0.0;
    secondCrossProduct.CleanUp();
    secondDesign.CleanUp();
    dMember36 = 0.0;
    dMember37 = kMinusInf;
    dMember38 = kMinusInf;
    bMember40 = false;
    dMember41 = 0.0;
  });
}

void KMRegModelSettings::clear() {
  WithStandardCatch([&] {
    sMember20.Clear();
    userLocations.CleanUp();
    resamplingMode.clear();
    ciMethod.clear();
    order.Clear();
    secondCrossProduct.CleanUp();
    secondDesign.CleanUp();
    vMember39.CleanUp();
  });
}
