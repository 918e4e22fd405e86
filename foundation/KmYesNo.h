// The one rule of a yes/no value, in every file the program reads.
#ifndef KM_FOUNDATION_KMYESNO_H
#define KM_FOUNDATION_KMYESNO_H

#include "foundation/KmString.h"

// What a yes/no value holds.
enum class YesNo { kNo, kYes, kNeither };

// The one rule by which every reader and every validator of a switch (the
// run-options, export-options and session-parameter files and the data
// dictionary) reads its value. sText is trimmed of blanks (bytes 0x01 to
// 0x20); then it is yes when it is "true" or "yes" in any case, or a number
// (ReadNumber, the one number rule itself, not a data field's: "1", "01",
// "1.0", "1e0", "10e-1") equal to 1; no when it is "false" or "no" in any
// case, or a number equal to 0 ("0", "0.0", "-0"); neither for anything
// else: the empty text, a text that only begins with a number ("1x"),
// another number, negative ones included ("2", "0.5", "-1": a switch is
// not read as no for being other than 1), a number in quotes ("\"1\"") and
// every other word ("Y", "on").
YesNo ReadYesNo(const KmString& sText);

// The values ReadYesNo takes, for a message: yes ("yes", "true" or the
// number 1) or no ("no", "false" or the number 0), in any case.
KmString YesNoValuesText();

// The refusal of sValue, neither yes nor no, for the switch sKey, both as
// the file writes them:
//   "<value>" is not a yes or no for "<key>"; write <YesNoValuesText>.
KmString YesNoRefusalText(const KmString& sKey, const KmString& sValue);

#endif  // KM_FOUNDATION_KMYESNO_H
