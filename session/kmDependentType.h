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

#endif  // KM_SESSION_KMDEPENDENTTYPE_H
