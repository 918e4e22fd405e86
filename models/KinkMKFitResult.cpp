// KinkMKFitResult: construction, copying, init and clear.
#include "models/KinkMKFitResult.h"

#include <limits>

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KinkMKFitResult::KinkMKFitResult() { init(); }

KinkMKFitResult::KinkMKFitResult(const KinkMKFitResult& src) {
  // The members that assignment does not copy take their start values.
  init();
  *this = src;
}

KinkMKFitResult& KinkMKFitResult::operator=(const KinkMKFitResult& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    k = src.k;
    p = src.p;
    beta = src.beta;
    tau = src.tau;
    fittedValues = src.fittedValues;
    residuals = src.residuals;
    sse = src.sse;
    bMember8 = src.bMember8;
    xtwx = src.xtwx;
    secondXtwx = src.secondXtwx;
    jumpVector = src.jumpVector;
    levelVector = src.levelVector;
    jumpRetest = src.jumpRetest;
    profile = src.profile;
    tauLimits = src.tauLimits;
    dMember16 = src.dMember16;
    residualDF = src.residualDF;
    q = src.q;
    dMember19 = src.dMember19;
    phi = src.phi;
    // bMember21 is not copied.
    fitStats = src.fitStats;
    dMember23 = src.dMember23;
    alpha = src.alpha;
    dMember25 = src.dMember25;
    dMember26 = src.dMember26;
    dMember27 = src.dMember27;
    vMember28 = src.vMember28;
    vMember29 = src.vMember29;
    mMember30 = src.mMember30;
    mMember31 = src.mMember31;
    mMember32 = src.mMember32;
    mMember33 = src.mMember33;
    mMember34 = src.mMember34;
    mMember35 = src.mMember35;
    labels = src.labels;
    seriesSet = src.seriesSet;
    settings = src.settings;
    iMember39 = src.iMember39;
    // Members 40 to 44 are not copied.
    iMember45 = src.iMember45;
    // Members 46 to 54 are not copied.
  });
  return *this;
}

KinkMKFitResult::~KinkMKFitResult() { clear(); }

void KinkMKFitResult::init() {
  WithStandardCatch([&] {
    k = 0;
    p = 0;
    beta.CleanUp();
    tau.CleanUp();
    sse = 0.0;
    bMember8 = false;
    xtwx.CleanUp();
    secondXtwx.CleanUp();
    jumpVector.CleanUp();
    levelVector.CleanUp();
    jumpRetest.CleanUp();
    profile.CleanUp();
    tauLimits.CleanUp();
    dMember16 = std::numeric_limits<double>::infinity();
    residualDF = 0.0;
    q = 0;
    dMember19 = 0.0;
    phi = 0.0;
    bMember21 = true;
    dMember23 = 0.0;
    alpha = 0.05;
    dMember25 = 0.05;
    dMember26 = 0.05;
    dMember27 = 0.05;
    vMember28.CleanUp();
    vMember29.CleanUp();
    mMember30.CleanUp();
    mMember31.CleanUp();
    mMember32.CleanUp();
    mMember33.CleanUp();
    mMember34.CleanUp();
    mMember35.CleanUp();
    iMember39 = 10;
    iMember45 = 10;
  });
}

void KinkMKFitResult::clear() {
  WithStandardCatch([&] {
    beta.CleanUp();
    tau.CleanUp();
    fittedValues.Clear();
    residuals.Clear();
    xtwx.CleanUp();
    secondXtwx.CleanUp();
    jumpVector.CleanUp();
    levelVector.CleanUp();
    jumpRetest.CleanUp();
    profile.CleanUp();
    tauLimits.CleanUp();
    fitStats.clear();
    vMember28.CleanUp();
    vMember29.CleanUp();
    mMember30.CleanUp();
    mMember31.CleanUp();
    mMember32.CleanUp();
    mMember33.CleanUp();
    mMember34.CleanUp();
    mMember35.CleanUp();
    labels.Clear();
    seriesSet.clear();
    seriesSet.resetMatrix();
    settings.clear();
    vMember40.CleanUp();
    vMember41.CleanUp();
    vMember42.CleanUp();
    vMember43.CleanUp();
    avMember44.Clear();
    avMember46.Clear();
    avMember47.Clear();
    avMember48.Clear();
    avMember49.Clear();
    avMember50.Clear();
    vMember51.CleanUp();
    vMember52.CleanUp();
    vMember53.CleanUp();
    vMember54.CleanUp();
  });
}
