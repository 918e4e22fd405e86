// KMRegFitRecord: construction, copying, reset, resetFit and clear.
#include "models/KMRegFitRecord.h"

#include <limits>

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KMRegFitRecord::KMRegFitRecord() { reset(); }

KMRegFitRecord::KMRegFitRecord(const KMRegFitRecord& src) { *this = src; }

KMRegFitRecord& KMRegFitRecord::operator=(const KMRegFitRecord& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    n = src.n;
    fit = src.fit;
    k = src.k;
    p0 = src.p0;
    searchDone = src.searchDone;
    residualDF = src.residualDF;
    rss = src.rss;
    rssPerResponse = src.rssPerResponse;
    p = src.p;
    beta = src.beta;
    fitStats = src.fitStats;
    normalMatrix = src.normalMatrix;
    tau = src.tau;
    profile = src.profile;
    tauInterval = src.tauInterval;
    fittedValues = src.fittedValues;
    valuesAtTau = src.valuesAtTau;
    residuals = src.residuals;
    perfectFit = src.perfectFit;
    stackedX = src.stackedX;
    stackedDesignX = src.stackedDesignX;
    vMember15_3 = src.vMember15_3;
    mse = src.mse;
    gofObserved = src.gofObserved;
    gofFitted = src.gofFitted;
    gofResiduals = src.gofResiduals;
    nResiduals = src.nResiduals;
    ssTotal = src.ssTotal;
    ssModel = src.ssModel;
    ssResidual = src.ssResidual;
    ssData = src.ssData;
    rSquared = src.rSquared;
    adjustedRSquared = src.adjustedRSquared;
    gofData = src.gofData;
    apcTable = src.apcTable;
    rangeList = src.rangeList;
    aapcTable = src.aapcTable;
    jumpVector = src.jumpVector;
    segmentSlopes = src.segmentSlopes;
    responseBetas = src.responseBetas;
    responseTaus = src.responseTaus;
    responseSlopes = src.responseSlopes;
    vMember16_9 = src.vMember16_9;
    dMember17 = src.dMember17;
  });
  return *this;
}

KMRegFitRecord::~KMRegFitRecord() { clear(); }

void KMRegFitRecord::reset() {
  WithStandardCatch([&] {
    const double kInf = std::numeric_limits<double>::infinity();
    n = 0;
    k = 0;
    p0 = 0;
    searchDone = 0;
    residualDF = 0.0;
    rss = kInf;
    p = 0;
    perfectFit = false;
    mse = kInf;
    nResiduals = 0;
    ssTotal = 0.0;
    ssModel = 0.0;
    ssResidual = 0.0;
    ssData = 0.0;
    rSquared = 0.0;
    adjustedRSquared = 0.0;
    dMember17 = 0.0;
  });
}

void KMRegFitRecord::resetFit() {
  WithStandardCatch([&] { fit.reset(); });
}

void KMRegFitRecord::clear() {
  WithStandardCatch([&] {
    fit.clear();
    rssPerResponse.CleanUp();
    beta.CleanUp();
    fitStats.clear();
    normalMatrix.CleanUp();
    tau.CleanUp();
    profile.CleanUp();
    tauInterval.CleanUp();
    fittedValues.Clear();
    valuesAtTau.Clear();
    residuals.Clear();
    stackedX.CleanUp();
    stackedDesignX.CleanUp();
    vMember15_3.CleanUp();
    gofObserved.CleanUp();
    gofFitted.CleanUp();
    gofResiduals.CleanUp();
    gofData.CleanUp();
    apcTable.CleanUp();
    rangeList.CleanUp();
    aapcTable.CleanUp();
    jumpVector.CleanUp();
    segmentSlopes.CleanUp();
    responseBetas.Clear();
    responseTaus.Clear();
    responseSlopes.Clear();
    vMember16_9.CleanUp();
  });
}
