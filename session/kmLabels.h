// The package's fixed label tables: the session-file identifier, the key
// names of settings and the labels of codes. All are read-only KmString
// arrays built before main runs and destroyed at exit.
#ifndef KM_SESSION_KMLABELS_H
#define KM_SESSION_KMLABELS_H

#include <cstdint>

#include "foundation/KmString.h"

// The identifier that opens every session block: "KinkMarkSession". The
// session writer puts it first as a CString, and the session reader refuses
// a block that begins with any other text.
extern const KmString KinkMarkSession;

// Key names of the 44 output display options, in option order, from
// "Data Tab X Val Prec" (0) to "Trends Tab P-Value" (43).
constexpr int32_t kNumOutputDisplayKeys = 44;
extern const KmString OutputDisplayKeyNames[kNumOutputDisplayKeys];

// Key names of the 14 graph display registry options, in option order, from
// "Color" (0) to "CR Estimate Precision" (13).
constexpr int32_t kNumGraphDisplayKeys = 14;
extern const KmString GraphDisplayKeyNames[kNumGraphDisplayKeys];

// Names of the 15 export settings, from "All Models in Same Column" to
// "High Resolution Graph Height".
constexpr int32_t kNumExportSettingNames = 15;
extern const KmString ExportSettingNames[kNumExportSettingNames];

// printf formats of the AAPC range labels: "Full Range", "Last %d Obs.",
// "First %d Obs.".
constexpr int32_t kNumAAPCRangeLabels = 3;
extern const KmString AAPCRangeLabelFormats[kNumAAPCRangeLabels];

// Key names of the four AAPC range lists (end, start, custom, final).
constexpr int32_t kNumAAPCRangeKeys = 4;
extern const KmString AAPCRangeKeyNames[kNumAAPCRangeKeys];

// Names of the ten preference flags, from "Four Kinkmarks" to "KM Tips".
constexpr int32_t kNumPreferenceFlags = 10;
extern const KmString PreferenceFlagNames[kNumPreferenceFlags];

// The six model status labels, from "Valid All" to "MADWD".
constexpr int32_t kNumModelStatusLabels = 6;
extern const KmString ModelStatusLabels[kNumModelStatusLabels];

// The five recent-file entry names, "MRU File 1" to "MRU File 5".
constexpr int32_t kNumRecentFileEntries = 5;
extern const KmString RecentFileEntryNames[kNumRecentFileEntries];

// Analysis labels: "Delay", "Non-Delay" and "Jump", "Non-Jump".
extern const KmString DelayLabels[2];
extern const KmString JumpLabels[2];

// Three-digit codes of the ten standard populations, in the package's order
// of standards.
constexpr int32_t kNumStandardPopulations = 10;
extern const KmString StandardPopulationCodes[kNumStandardPopulations];

#endif  // KM_SESSION_KMLABELS_H
