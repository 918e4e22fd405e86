// Groups of adjustment-variable codes: one group with its label
// (kmAdjustVarFormat) and a bundle of groups that finds the group of a code
// (kmClusterFormat).
#ifndef KM_SESSION_KMADJUSTVARFORMAT_H
#define KM_SESSION_KMADJUSTVARFORMAT_H

#include <cstdint>
#include <string>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"

// kmAdjustVarFormat is one group of codes of the adjustment variable (for
// example age groups), used when age-adjusted rates are formed over groups.
// The session stores its list of groups in the session file as first code,
// last code and label, so a group read back covers the consecutive codes
// first..last.
struct kmAdjustVarFormat {
  // The group's label: the label of the adjustment variable's format line,
  // or, for a group that merges several codes, the first and last labels
  // joined by " to ".
  KmString sLabel;
  KmString sSecondText;
  KmString sThirdText;
  // The codes (format line numbers) the group covers, ascending.
  KmVector<int32_t> codes;
  double dValue1 = 0.0;
  double dValue2 = 0.0;
  double dValue3 = 0.0;
  // Set when the group merges several codes.
  bool bMerged = false;
  bool bSecondFlag = false;
};

// kmClusterFormat bundles groups of adjustment-variable codes for the
// clustered age-adjusted rate calculation. The session keeps a list of them,
// copies it with the session and never writes it to the session file.
class kmClusterFormat {
 public:
  // The index of the first group, in order, whose code list holds iCode;
  // -1 when no group does (also when there are no groups). Never throws.
  int32_t FindFormatIndexOfCode(int32_t iCode) const;

  int32_t iFirstValue = 0;
  KmVector<kmAdjustVarFormat> groups;
  std::string sName;
  int32_t iSecondValue = 0;
};

#endif  // KM_SESSION_KMADJUSTVARFORMAT_H
