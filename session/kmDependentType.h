// What the dependent variable of a session holds (kmOptDependentType).
#ifndef KM_SESSION_KMDEPENDENTTYPE_H
#define KM_SESSION_KMDEPENDENTTYPE_H

#include "session/kmOptionCode.h"
#include "session/kmSessionOptionIds.h"

enum class kmDependentType : int {
  kCount = 0,
  kCrudeRate = 1,
  kProportion = 2,
  kPercent = 3,
  kAgeAdjustedRate = 4,
  kOther = 5,
};
template <>
struct kmCodedOption<kmDependentType> {
  static constexpr int kId = kmOptDependentType;
};

// The label of the type that the run summary, the results and the data
// export print: "Count", "Crude Rate", "Proportion", "Percent",
// "Age-Adjusted Rate", "Other"; nullptr for a code outside the table.
const char* kmDependentTypeText(kmDependentType type);

// What the columns a session definition fits hold: the statistics of a data
// dictionary, the location keys of a session-parameter file, or the type a
// saved session stores.
struct kmFittedColumns {
  bool bCrudeRate = false;        // a crude rate (or a delay-adjusted one)
  bool bAgeAdjustedRate = false;  // an age-adjusted rate (or a delay-adjusted
                                  // one), or counts the definition forms
                                  // into age-adjusted rates
  bool bCount = false;            // a count (or a delay count)
  bool bDisparity = false;        // a disparity
};

// The dependent variable type that fitted columns name: the one rule of
// every session route. A crude rate before an age-adjusted rate before a
// count before a disparity (kOther); a count is a count whether it is
// fitted as it is or, under the Poisson rate model, as its rates per
// "rates per n". Counts whose rates the run computes (bCalculated) are the
// age-adjusted rates formed from them. Columns that name none (a dependent
// variable of any type) leave current.
kmDependentType kmDependentTypeOfColumns(const kmFittedColumns& columns,
                                         bool bCalculated,
                                         kmDependentType current);

// The columns a stored type names, so that kmDependentTypeOfColumns gives
// it back: none for a proportion, a percent or a code outside the table.
kmFittedColumns kmFittedColumnsOfType(kmDependentType type);

#endif  // KM_SESSION_KMDEPENDENTTYPE_H
