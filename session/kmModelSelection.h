// How the final number of kinkmarks is chosen (kmOptModelSelection), and
// how a cohort's maximum number of kinkmarks follows its length
// (kmOptMaxKinkmarksFeasibility).
#ifndef KM_SESSION_KMMODELSELECTION_H
#define KM_SESSION_KMMODELSELECTION_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

// The choice of the final number of kinkmarks.
enum class kmModelSelection : int {
  kPermutationTest = 0,
  kBIC = 1,
  kMBIC = 2,
  kBIC3 = 3,
  kDataDependent = 4,
  kWBICAlt = 5,
  kWBIC = 6,
};
template <>
struct kmCodedOption<kmModelSelection> {
  static constexpr int kId = kmOptModelSelection;
  static constexpr const char* kWords =
      "permutation test|bic|mbic|bic3|data dependent selection|wbic-alt|wbic";
};

// True for the information criteria, BIC to WBIC, data-dependent selection
// among them: each fit's criterion chooses, no permutation test.
inline bool kmIsCriterion(kmModelSelection selection) {
  return selection >= kmModelSelection::kBIC &&
         selection <= kmModelSelection::kWBIC;
}

// True for the criteria with the weighted penalty, WBIC-Alt and WBIC.
inline bool kmIsWeightedBIC(kmModelSelection selection) {
  return selection == kmModelSelection::kWBICAlt ||
         selection == kmModelSelection::kWBIC;
}

// The per-cohort maximum number of kinkmarks (with
// kmOptPerCohortMaxKinkmarks): the smaller of the user's maximum and the
// default for the cohort's length; the user's maximum lowered until it
// fits the spacing rule; or the user's maximum, with the cohorts that lack
// observations for it excluded.
enum class kmMaxKinkmarksFeasibility : int {
  kDefaultForLength = 0,
  kSpacingRule = 1,
  kExcludeShortCohorts = 2,
};
template <>
struct kmCodedOption<kmMaxKinkmarksFeasibility> {
  static constexpr int kId = kmOptMaxKinkmarksFeasibility;
  static constexpr const char* kWords =
      "default for length|spacing rule|exclude short cohorts";
};

#endif  // KM_SESSION_KMMODELSELECTION_H
