// KMRegFittingData: fill_FittingDataArrays and clear.
#include "models/KMRegFittingData.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

// Increasing order with every NaN after all numbers, so that sorting data
// that holds a NaN stays well defined.
bool LessNaNLast(double a, double b) {
  return a < b || (!std::isnan(a) && std::isnan(b));
}

// Copies values into a new ColumnVector of the same length.
NEWMAT::ColumnVector ToColumnVector(const std::vector<double>& values) {
  NEWMAT::ColumnVector v(static_cast<int>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    v(static_cast<int>(i) + 1) = values[i];
  }
  return v;
}

}  // namespace

KMRegFittingData::~KMRegFittingData() { clear(); }

void KMRegFittingData::fill_FittingDataArrays() {
  WithStandardCatch([&] {
    clear();

    // The independent values of all series, sorted; then the distinct ones.
    std::vector<double> all;
    for (int s = 0; s < xValues.GetSize(); ++s) {
      const NEWMAT::ColumnVector& x = xValues[s];
      for (int i = 1; i <= x.Nrows(); ++i) all.push_back(x(i));
    }
    std::sort(all.begin(), all.end(), LessNaNLast);
    std::vector<double> distinct;
    for (double value : all) {
      if (distinct.empty() || value != distinct.back()) {
        distinct.push_back(value);
      }
    }
    distinctX = ToColumnVector(distinct);

    if (settings.useUserLocations) {
      const int n = settings.userLocations.Nrows();
      candidates = settings.userLocations;
      candidateIndices.ReSize(n);
      for (int i = 1; i <= n; ++i) candidateIndices(i) = i + 1;
      return;
    }

    const NEWMAT::ColumnVector& U = distinctX;
    const int D = U.Nrows();
    const int a = settings.minObsAtEnds;
    const int b = settings.minObsBetween;
    const int c = settings.gridPointsBetween;
    std::vector<double> locations;
    std::vector<double> indices;
    const double stepsPerGap = static_cast<double>(c) + 1.0;
    double indexNumber = stepsPerGap * b + 1.0;
    for (int g = a; g <= D - a; ++g) {
      // U(g) is read for every gap, so a < 1 raises the index error here.
      const double step = (U(g + 1) - U(g)) / stepsPerGap;
      const int jFirst = (g == a) ? 1 : 0;
      for (int j = jFirst; j <= c; ++j) {
        locations.push_back(U(g) + j * step);
        indices.push_back(indexNumber);
      }
      indexNumber += stepsPerGap;
    }
    candidates = ToColumnVector(locations);
    candidateIndices = ToColumnVector(indices);
  });
}

void KMRegFittingData::clear() {
  WithStandardCatch([&] {
    candidates.CleanUp();
    candidateIndices.CleanUp();
    distinctX.CleanUp();
  });
}
