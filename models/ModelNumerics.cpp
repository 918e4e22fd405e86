// Percent change, extremes and sample statistics: PercentChange,
// find_MinWithIndex, find_MaxWithIndex,
// find_MinOfVectorArray, find_MaxOfVectorArray, find_MinOfIntArray,
// find_MaxOfIntArray, calc_StdDev, sum_PrefixMinima, calc_Median.
#include "models/ModelNumerics.h"

#include <cmath>
#include <limits>

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

}  // namespace

double find_MinWithIndex(int& iIndex, const NEWMAT::ColumnVector& v) {
  return WithStandardCatch([&]() {
    const int n = v.Nrows();
    if (n <= 0) return -kInfinity;
    int iBest = 1;
    double dBest = v(1);
    for (int i = 2; i <= n; ++i) {
      if (v(i) < dBest) {
        dBest = v(i);
        iBest = i;
      }
    }
    iIndex = iBest;
    return dBest;
  });
}

double find_MaxWithIndex(int& iIndex, const NEWMAT::ColumnVector& v) {
  return WithStandardCatch([&]() {
    const int n = v.Nrows();
    if (n <= 0) return -kInfinity;
    int iBest = 1;
    double dBest = v(1);
    for (int i = 2; i <= n; ++i) {
      if (v(i) > dBest) {
        dBest = v(i);
        iBest = i;
      }
    }
    iIndex = iBest;
    return dBest;
  });
}

double find_MinOfVectorArray(
    const OneDimensionArray<NEWMAT::ColumnVector>& vectors) {
  return WithStandardCatch([&]() {
    const int n = vectors.GetSize();
    if (n <= 0) return -kInfinity;
    // Minimum() of an empty vector raises the matrix library's error.
    double dBest = vectors[0].Minimum();
    for (int i = 1; i < n; ++i) {
      const double d = vectors[i].Minimum();
      if (d < dBest) dBest = d;
    }
    return dBest;
  });
}

double find_MaxOfVectorArray(
    const OneDimensionArray<NEWMAT::ColumnVector>& vectors) {
  return WithStandardCatch([&]() {
    const int n = vectors.GetSize();
    if (n <= 0) return kInfinity;
    double dBest = vectors[0].Maximum();
    for (int i = 1; i < n; ++i) {
      const double d = vectors[i].Maximum();
      if (d > dBest) dBest = d;
    }
    return dBest;
  });
}

double find_MinOfIntArray(const OneDimensionArray<int>& values) {
  return WithStandardCatch([&]() {
    const int n = values.GetSize();
    if (n <= 0) return -kInfinity;
    int iBest = values[0];
    for (int i = 1; i < n; ++i) {
      if (values[i] < iBest) iBest = values[i];
    }
    return static_cast<double>(iBest);
  });
}

double find_MaxOfIntArray(const OneDimensionArray<int>& values) {
  return WithStandardCatch([&]() {
    const int n = values.GetSize();
    if (n <= 0) return kInfinity;
    int iBest = values[0];
    for (int i = 1; i < n; ++i) {
      if (values[i] > iBest) iBest = values[i];
    }
    return static_cast<double>(iBest);
  });
}

double PercentChange(double dLogScale) {
  return 100.0 * (std::exp(dLogScale) - 1.0);
}

double calc_StdDev(const NEWMAT::ColumnVector& v) {
  return WithStandardCatch([&]() {
    const int n = v.Nrows();
    if (n <= 0) return 0.0;
    double dSum = 0.0;
    for (int i = 1; i <= n; ++i) dSum += v(i);
    const double dMean = dSum / n;
    double dSquares = 0.0;
    for (int i = 1; i <= n; ++i) {
      const double d = v(i) - dMean;
      dSquares += d * d;
    }
    const double dDivisor = (n == 1) ? 1.0 : static_cast<double>(n - 1);
    return std::sqrt(dSquares / dDivisor);
  });
}

double sum_PrefixMinima(const NEWMAT::ColumnVector& v) {
  return WithStandardCatch([&]() {
    const int n = v.Nrows();
    if (n <= 0) return 0.0;
    double dRunningMin = v(1);
    double dSum = dRunningMin;
    for (int j = 2; j <= n; ++j) {
      if (v(j) < dRunningMin) dRunningMin = v(j);
      dSum += dRunningMin;
    }
    return dSum;
  });
}

double calc_Median(const NEWMAT::ColumnVector& v) {
  return WithStandardCatch([&]() {
    const int n = v.Nrows();
    if (n <= 0) return -kInfinity;
    NEWMAT::ColumnVector sorted = v;
    sort_ColumnVector(sorted);
    if (n % 2 == 1) return sorted((n + 1) / 2);
    return (sorted(n / 2) + sorted(n / 2 + 1)) / 2.0;
  });
}
