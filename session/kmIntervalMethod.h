// How the AAPC confidence intervals are formed (kmOptAAPCCIMethod) and, for
// the empirical quantile intervals, the quantile method
// (kmOptEmpQuantileMethod) and the seed of the resampling
// (kmOptEmpQuantileSeedType).
#ifndef KM_SESSION_KMINTERVALMETHOD_H
#define KM_SESSION_KMINTERVALMETHOD_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

// The AAPC interval method. The last two resample the fits.
enum class kmIntervalMethod : int {
  kParametric = 0,
  kFirstLast = 1,
  kResampledT = 2,
  kEmpiricalQuantile = 3,
};
template <>
struct kmCodedOption<kmIntervalMethod> {
  static constexpr int kId = kmOptAAPCCIMethod;
  static constexpr const char* kWords =
      "parametric|first-last|resampled t|empirical quantile";
};

// True for the methods that resample the fits.
inline bool kmIsResampled(kmIntervalMethod method) {
  return method == kmIntervalMethod::kResampledT ||
         method == kmIntervalMethod::kEmpiricalQuantile;
}

// The empirical quantile method: method 1, method 2, method 1 as the
// default the session starts with, or chosen by the number of
// observations.
enum class kmEmpQuantileMethod : int {
  kMethod1 = 0,
  kMethod2 = 1,
  kMethod1ByDefault = 2,
  kByObservations = 3,
};
template <>
struct kmCodedOption<kmEmpQuantileMethod> {
  static constexpr int kId = kmOptEmpQuantileMethod;
  static constexpr const char* kWords =
      "method 1|method 2|method 1 by default|by observations";
};

// The seed of each cohort's resampling: the same constant seed, or one
// that varies with the cohort.
enum class kmEmpQuantileSeedType : int {
  kConstant = 0,
  kVarying = 1,
};
template <>
struct kmCodedOption<kmEmpQuantileSeedType> {
  static constexpr int kId = kmOptEmpQuantileSeedType;
  static constexpr const char* kWords = "constant|varying";
};

#endif  // KM_SESSION_KMINTERVALMETHOD_H
