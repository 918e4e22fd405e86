// KMSeriesSet: construction, copying, resetMatrix and clear.
#include "models/KMSeriesSet.h"

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

KMSeriesSet::KMSeriesSet() { resetMatrix(); }

KMSeriesSet::KMSeriesSet(const KMSeriesSet& src) { *this = src; }

KMSeriesSet& KMSeriesSet::operator=(const KMSeriesSet& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    labels = src.labels;
    xValues = src.xValues;
    yValues = src.yValues;
    covariance = src.covariance;
  });
  return *this;
}

KMSeriesSet::~KMSeriesSet() { clear(); }

void KMSeriesSet::resetMatrix() {
  WithStandardCatch([&] { covariance.ReSize(0); });
}

void KMSeriesSet::clear() {
  WithStandardCatch([&] {
    // Releasing an array destroys its labels and vectors with it.
    labels.Clear();
    xValues.Clear();
    yValues.Clear();
  });
}
