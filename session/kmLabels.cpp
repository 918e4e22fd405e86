// The contents of the fixed label tables.
#include "session/kmLabels.h"

const KmString KinkMarkSession("KinkMarkSession");

const KmString OutputDisplayKeyNames[kNumOutputDisplayKeys] = {
    "Data Tab X Val Prec",
    "Data Tab Y Val Prec",
    "Model Tab Squared Error Prec",
    "Model Tab Kinkmark Value Prec",
    "Model Tab Parameter Estimate Prec",
    "Model Tab F Stat Prec",
    "Model Tab Show Model Info",
    "Model Tab Show Kinkmarks",
    "Model Tab Show Regular Coeffeicents",
    "Model Tab Show APCs",
    "Model Tab Segment Range Prec",
    "Data Tab Show APCs",
    "Data Tab APC Prec",
    "Model Tab Show Covariance Matrix",
    "Model Tab Covariance Prec",
    "Model Tab Show Correlation Matrix",
    "Model Tab Correlation Prec",
    "Model Tab Show AAPCs",
    "Model Tab AAPC Prec",
    "AAPC Full Range",
    "AAPC End Ranges",
    "AAPC Start Ranges",
    "AAPC Custom Ranges",
    "AAPC StrL EndRanges",
    "AAPC StrL Start Ranges",
    "AAPC Strl Custom Ranges",
    "AAPC Strl Final Ranges",
    "Trend Tab Show Kinkmarks",
    "Trend Tab Kinkmark Value Prec",
    "Trend Tab APC Prec",
    "Data Tab Standard Error Prec",
    "Comparison Tab P-Value",
    "Comparison Tab Significance Level",
    "Data Tab Show SEs",
    "Model Tab Jump Prec",
    "Model Tab CR Prec",
    "Model Tab Show Jump",
    "Model Tab Show CR",
    "Data Tab Matrix Prec",
    "Data Tab Show Matrix",
    "MADWD Prec",
    "Trends Tab P > |t|",
    "Trends Tab APC Range Prec",
    "Trends Tab P-Value",
};

const KmString GraphDisplayKeyNames[kNumGraphDisplayKeys] = {
    "Color",
    "Symbol",
    "Symbol Size",
    "Show Grid",
    "Line Width",
    "Show Legend",
    "Legend Prec",
    "Comp Symbol",
    "Show APC Ranges",
    "Legend Location",
    "Kinkmark Labels",
    "Single Color",
    "APC Segment Precision",
    "CR Estimate Precision",
};

const KmString ExportSettingNames[kNumExportSettingNames] = {
    "All Models in Same Column",
    "Output By Group Headers",
    "Remove Best Model Flags",
    "Remove KM Flags",
    "Models",
    "Line Delimiter",
    "Missing Character",
    "Field Delimiter",
    "By Variable Format",
    "Export Type",
    "Include Kinkmark Estimates",
    "Graphs",
    "Use High Resolution Graphs",
    "High Resolution Graph Width",
    "High Resolution Graph Height",
};

const KmString AAPCRangeLabelFormats[kNumAAPCRangeLabels] = {
    "Full Range", "Last %d Obs.", "First %d Obs."};

const KmString AAPCRangeKeyNames[kNumAAPCRangeKeys] = {
    "AAPC EndRanges", "AAPC Start Ranges", "AAPC Custom Ranges",
    "AAPC Final Ranges"};

const KmString PreferenceFlagNames[kNumPreferenceFlags] = {
    "Four Kinkmarks", "Hudsons Method",    "Coincident",
    "Splashscreen",   "Many Cohorts",      "Lower Permutations",
    "Default Font",   "New Features 4900", "Many Observations",
    "KM Tips"};

const KmString ModelStatusLabels[kNumModelStatusLabels] = {
    "Valid All", "Valid Final", "Invalid", "Excluded", "Multiple", "MADWD"};

const KmString RecentFileEntryNames[kNumRecentFileEntries] = {
    "MRU File 1", "MRU File 2", "MRU File 3", "MRU File 4", "MRU File 5"};

const KmString DelayLabels[2] = {"Delay", "Non-Delay"};
const KmString JumpLabels[2] = {"Jump", "Non-Jump"};

const KmString StandardPopulationCodes[kNumStandardPopulations] = {
    "201", "203", "016", "014", "010", "200", "204", "015", "013", "009"};
