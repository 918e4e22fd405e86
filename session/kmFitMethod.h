// How the kinkmark locations are searched (kmOptMethod) and when Hudson's
// method stops its permutation tests early (kmOptEarlyStopping).
#ifndef KM_SESSION_KMFITMETHOD_H
#define KM_SESSION_KMFITMETHOD_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

// The search of the kinkmark locations. Any stored code but 0 is Hudson's
// method; test with kmIsHudsons.
enum class kmFitMethod : int {
  kGridSearch = 0,
  kHudsons = 1,
};
template <>
struct kmCodedOption<kmFitMethod> {
  static constexpr int kId = kmOptMethod;
  static constexpr const char* kWords = "grid|hudsons";
};

// True for Hudson's method: every code but the grid search's.
inline bool kmIsHudsons(kmFitMethod method) {
  return method != kmFitMethod::kGridSearch;
}

// The early stopping of the permutation tests under Hudson's method.
enum class kmEarlyStopping : int {
  kBValue = 0,
  kCurtailed = 1,
  kFixed = 2,
};
template <>
struct kmCodedOption<kmEarlyStopping> {
  static constexpr int kId = kmOptEarlyStopping;
  static constexpr const char* kWords = "b-value|curtailed|fixed";
};

#endif  // KM_SESSION_KMFITMETHOD_H
