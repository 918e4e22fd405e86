// make_PValueVector, make_TestResultVector, calc_EmpiricalQuantiles.
#include "models/TestResults.h"

#include <cmath>
#include <limits>

#include "foundation/OneDimensionArray.h"
#include "models/DistributionWrappers.h"
#include "models/ModelNumerics.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

struct StatisticAndP {
  double dStatistic;
  double dP;
};

// The statistic and two-sided p-value shared by the two builders.
StatisticAndP TestAgainstNull(int iUseNormal, double dX, double dSE, double dDF,
                              double dX0) {
  // Without residual degrees of freedom the t test is not defined: the
  // statistic and the p-value are missing, whatever the spread.
  if (iUseNormal == 0 && !(dDF > 0.0)) {
    return {kInvalidDistributionValue, kInvalidDistributionValue};
  }
  const double d = dX - dX0;
  if (dSE == 0.0) {
    // An estimate equal to the null value with no spread (a coefficient the
    // data cannot estimate, an empty range) has the statistic 0, not the NaN
    // of 0 times infinity; the p-value stays 0 as for every zero spread.
    if (d == 0.0) return {0.0, 0.0};
    return {d * std::numeric_limits<double>::infinity(), 0.0};
  }
  const double dStatistic = d / dSE;
  const double dAbs = std::fabs(dStatistic);
  const double dUpper = (iUseNormal == 0)
                            ? calc_TUpperTail(dAbs, dDF)
                            : calc_NormalUpperTail(dAbs, 0.0, 1.0);
  return {dStatistic, TwoSidedPValue(dUpper)};
}

// i clamped into 0..n-1 (0 when n is 0, which the array access refuses).
int Clamp(int i, int n) {
  if (i > n - 1) i = n - 1;
  if (i < 0) i = 0;
  return i;
}

}  // namespace

NEWMAT::ColumnVector make_PValueVector(int iUseNormal, double dX, double dSE,
                                       double dDF, double dX0) {
  return WithStandardCatch([&]() {
    const StatisticAndP test = TestAgainstNull(iUseNormal, dX, dSE, dDF, dX0);
    NEWMAT::ColumnVector result(2);
    result(1) = test.dStatistic;
    result(2) = test.dP;
    return result;
  });
}

NEWMAT::ColumnVector make_TestResultVector(int iUseNormal, double dX,
                                           double dSE, double dDF,
                                           double dAlpha, double dX0) {
  return WithStandardCatch([&]() {
    const double dLevel = 1.0 - dAlpha / 2.0;
    const double dZ = calc_NormalQuantile(dLevel, 0.0, 1.0);
    const StatisticAndP test = TestAgainstNull(iUseNormal, dX, dSE, dDF, dX0);
    const double dCritical =
        (iUseNormal == 0) ? calc_TQuantile(dLevel, dDF) : dZ;
    // A critical value that does not exist (no degrees of freedom) leaves
    // the interval missing and the estimate not significant.
    const bool bInterval = dCritical != kInvalidDistributionValue;
    const double dLower =
        bInterval ? dX - dCritical * dSE : kInvalidDistributionValue;
    const double dUpper =
        bInterval ? dX + dCritical * dSE : kInvalidDistributionValue;
    const bool bSignificant = bInterval && (dLower > dX0 || dX0 > dUpper);

    NEWMAT::ColumnVector result(9);
    result(1) = dX;
    result(2) = dSE;
    result(3) = test.dStatistic;
    result(4) = test.dP;
    result(5) = dLower;
    result(6) = dUpper;
    result(7) = bSignificant ? 1.0 : 0.0;
    result(8) = dDF;
    result(9) = dAlpha;
    return result;
  });
}

NEWMAT::ColumnVector calc_EmpiricalQuantiles(
    const NEWMAT::ColumnVector& samples,
    const NEWMAT::ColumnVector& probabilities, bool bSamplesSorted) {
  return WithStandardCatch([&]() {
    const int m = probabilities.Nrows();
    NEWMAT::ColumnVector result(m > 0 ? m : 0);
    if (m <= 0) return result;

    const int n = samples.Nrows();
    OneDimensionArray<KMIndexValuePair> sorted;
    sorted.Resize(n);
    for (int i = 0; i < n; ++i) sorted[i] = {i + 1, samples(i + 1)};
    if (!bSamplesSorted) sort_IndexValuePairs(sorted);

    for (int r = 1; r <= m; ++r) {
      const double p = probabilities(r);
      if (std::isnan(p)) {
        result(r) = std::numeric_limits<double>::quiet_NaN();
        continue;
      }
      // Positions outside [0, n] all clamp to the first or last sample, so
      // clamping h first changes no result and keeps floor(h) within int.
      double h = n * p + (1.0 - p);
      if (h < 0.0) h = 0.0;
      if (h > n) h = n;
      const int j = static_cast<int>(std::floor(h));
      const double dFraction = h - j;
      const int iLow = Clamp(j - 1, n);
      const int iHigh = Clamp(j, n);
      // An exact order statistic is taken as it is, so an infinite
      // neighbour cannot turn it into 0 * inf.
      result(r) = dFraction == 0.0 ? sorted[iLow].value
                                   : (1.0 - dFraction) * sorted[iLow].value +
                                         dFraction * sorted[iHigh].value;
    }
    return result;
  });
}
