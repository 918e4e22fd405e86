// KMRegFitStats: construction, copying, reset and clear.
#include "models/KMRegFitStats.h"

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KMRegFitStats::KMRegFitStats() { reset(); }

KMRegFitStats::KMRegFitStats(const KMRegFitStats& src) { *this = src; }

KMRegFitStats& KMRegFitStats::operator=(const KMRegFitStats& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    k = src.k;
    nSeries = src.nSeries;
    p = src.p;
    df = src.df;
    segmentTables = src.segmentTables;
    covariance = src.covariance;
    kinkmarkTables = src.kinkmarkTables;
    theta = src.theta;
    beta = src.beta;
  });
  return *this;
}

KMRegFitStats::~KMRegFitStats() { clear(); }

void KMRegFitStats::reset() {
  WithStandardCatch([&] {
    k = 0;
    nSeries = 0;
    p = 0;
    df = 0.0;
    covariance.CleanUp();
    theta.CleanUp();
    beta.CleanUp();
  });
}

void KMRegFitStats::clear() {
  WithStandardCatch([&] {
    segmentTables.Clear();
    covariance.CleanUp();
    kinkmarkTables.Clear();
    theta.CleanUp();
    beta.CleanUp();
  });
}
