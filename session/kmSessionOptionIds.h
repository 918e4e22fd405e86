// The identifiers of the session's numeric options and text slots, and the
// type codes of the option type table. Every subsystem names an option by
// these constants when it calls kmSession::GetInt, GetBool, GetDouble,
// GetString or the matching setters.
#ifndef KM_SESSION_KMSESSIONOPTIONIDS_H
#define KM_SESSION_KMSESSIONOPTIONIDS_H

// Numeric option identifiers 0 to 63. Each comment gives the option's type,
// its value after kmSession::Init and its effect. Options without a reader
// are still stored and loaded with the session.
enum kmOptionId : int {
  // int, 0: data-file field delimiter: 0 tab, 1 space, 2 comma, 3 semicolon
  // (decoded by kmSession::GetDelimiterChar).
  kmOptFieldDelimiter = 0,
  // int, 0: missing-value text: 0 space, 1 period, 2 "NA"
  // (decoded by kmSession::GetMissingString).
  kmOptMissingCharacter = 1,
  // int, 2: model of the error variance: 0 constant variance, 1 Poisson
  // count, 2 standard error given in the data, 4 Poisson rate,
  // 5 variance-covariance matrix from a file.
  kmOptHetErrorModel = 2,
  // int, 0: minimum number of kinkmarks.
  kmOptMinKinkmarks = 3,
  // int, 4: maximum number of kinkmarks.
  kmOptMaxKinkmarks = 4,
  // int, 2: minimum observations before the first and after the last
  // kinkmark.
  kmOptMinObsEnd = 5,
  // int, 2: minimum observations between two kinkmarks.
  kmOptMinObsBetween = 6,
  // int, 0: grid points between adjacent data points.
  kmOptGridPointsBetween = 7,
  // int, 0: fitting method: 0 grid search, nonzero Hudson's method.
  kmOptMethod = 8,
  // bool, true: log-linear model.
  kmOptLogLinear = 9,
  // int, 0: autocorrelated errors: 0 uncorrelated, 1 estimated,
  // 2 specified (value in kmOptAutocorrParameter).
  kmOptAutocorrErrors = 10,
  // double, 0.0: AR(1) parameter of specified autocorrelation.
  kmOptAutocorrParameter = 11,
  // double, 0.05: overall significance level of the permutation tests.
  kmOptPermSignificance = 12,
  // int, 4499: permutations per test.
  kmOptNumPermutations = 13,
  // int, 7160: seed of the permutation generator.
  kmOptPermutationSeed = 14,
  // int, 2: early stopping: 0 B-value, 1 curtailed, 2 fixed.
  kmOptEarlyStopping = 15,
  // bool, false: the first data-file row holds variable names.
  kmOptVarNamesIncluded = 16,
  // int, 0: model selection: 0 permutation test, 1 BIC, 2 MBIC, 3 BIC3,
  // 4 data-dependent selection, 5 WBIC-Alt, 6 WBIC.
  kmOptModelSelection = 17,
  // int, 0: comparison: 0 none, 1 pairwise, 2 multi-group clustering.
  kmOptComparisonType = 18,
  // double, 0.0: shift added to the independent values.
  kmOptDataShift = 19,
  // int, 0: decimals of the independent variable, set while the data are
  // verified.
  kmOptIndepPrecision = 20,
  // int, 0: pairwise comparison: 0 parallel, 1 coincident.
  kmOptPairwiseType = 21,
  // double, 0.05: significance level of kinkmark confidence intervals.
  kmOptKinkmarkAlpha = 22,
  // double, 0.05: significance level of APC intervals.
  kmOptAPCAlpha = 23,
  // double, 0.05: significance level of AAPC intervals.
  kmOptAAPCAlpha = 24,
  // bool, false: the dependent variable is calculated by the program (true)
  // or given in the data (false).
  kmOptDependentCalculated = 25,
  // int, 4: dependent variable: 0 count, 1 crude rate, 2 proportion,
  // 3 percent, 4 age-adjusted rate, 5 other.
  kmOptDependentType = 26,
  // int, 0: 0 off, 1 jump, 2 comparability ratio, 3 jump and comparability
  // ratio, 4 to 6 the same with the standard analysis.
  kmOptJumpCRMode = 27,
  // double, -1.0: independent value of the jump.
  kmOptJumpLocation = 28,
  // double, -1.0: comparability ratio.
  kmOptCRValue = 29,
  // double, -1.0: variance of the comparability ratio.
  kmOptCRVariance = 30,
  // double, 0.0: threshold of the age-group compression of clustered data.
  kmOptCompressionThreshold = 31,
  // int, 0: when not 0 the age-group compression merges backward from the
  // last group instead of forward; no run option sets it.
  kmOptCompressBackward = 32,
  // int, 0: AAPC interval method: 0 parametric, 1 first-last,
  // 2 resampled t, 3 empirical quantile.
  kmOptAAPCCIMethod = 33,
  // int, 0: rate multiplier (rates per n of population).
  kmOptRatesPerN = 34,
  // int, 0: 1 when the dictionary holds delay-adjusted statistics.
  kmOptDictDelayStats = 35,
  // int, 0: 0 non-delay, 1 delay, 2 both.
  kmOptDelayType = 36,
  // int, 10000: resamples of the empirical-quantile intervals.
  kmOptNumResamples = 37,
  // int, -1: kind of delay statistic named by the dictionary; no reader.
  kmOptDelayStatKind = 38,
  // bool, false: reserved; no reader.
  kmOptReserved39 = 39,
  // int, 10: reserved; no reader.
  kmOptReserved40 = 40,
  // int, 0: integer setting read by multi-group clustering.
  kmOptClusterSetting = 41,
  // 42 is not an option: every typed access to it fails.
  // int, 0: clustering: 0 ordered, other unordered.
  kmOptClusterOrdering = 43,
  // int, 0: clustering criterion: 0 permutation-based, 1 MBIC-based,
  // other BIC-based.
  kmOptClusterCriterion = 44,
  // int, 0: reserved; no reader.
  kmOptReserved45 = 45,
  // bool, false: cohorts differ in their number of rows; the maximum number
  // of kinkmarks is derived per cohort.
  kmOptPerCohortMaxKinkmarks = 46,
  // double, 0.05: significance level of the jump value and comparability
  // ratio.
  kmOptJumpCRAlpha = 47,
  // double, 0.05: significance level of the pairwise permutation tests.
  kmOptPairwiseAlpha = 48,
  // int, 4499: permutations per pairwise test.
  kmOptPairwisePermutations = 49,
  // int, 2: empirical quantile method: 0 method 1, 1 method 2, 3 chosen by
  // the number of observations.
  kmOptEmpQuantileMethod = 50,
  // int, 10000: seed of the resampling generator.
  kmOptEmpQuantileSeed = 51,
  // int, 0: resampling seed: 0 constant, 1 varying.
  kmOptEmpQuantileSeedType = 52,
  // bool, false: empirical-quantile intervals for the final selected model
  // only.
  kmOptFSMOnly = 53,
  // bool, false: copied into a graph display switch when the results file
  // is prepared.
  kmOptGraphFlag = 54,
  // bool, false: the dictionary's session type is the disparity type; no
  // reader.
  kmOptDisparityDict = 55,
  // int, 0: number of independent values that the data dictionary marks as
  // not used; the pre-read of the data file takes that many lines in front
  // of every cohort block as not data.
  kmOptHeaderLines = 56,
  // int, 0: field delimiter of the variance-covariance file (codes as
  // kmOptFieldDelimiter).
  kmOptVarCovarDelimiter = 57,
  // bool, false: the variance-covariance file's first row is dropped when
  // its numeric table is extracted.
  kmOptVarCovarFlagA = 58,
  // bool, false: the variance-covariance file's first column is dropped
  // when its numeric table is extracted.
  kmOptVarCovarFlagB = 59,
  // double, 0.0: psi value of MADWD.
  kmOptMADWDPsi = 60,
  // bool, false: MADWD on or off.
  kmOptMADWD = 61,
  // int, 0: reserved; no reader.
  kmOptReserved62 = 62,
  // int, 0: 1: the per-cohort maximum number of kinkmarks follows the
  // spacing rule only.
  kmOptMaxKinkmarksFeasibility = 63,
};

// Number of numeric options a session holds after Init.
constexpr int kmNumOptions = 64;

// Text slots 0 to 7 (kmSession::GetString, SetString). All are empty after
// Init except kmStrRateUnit.
enum kmStringId : int {
  // Data file name.
  kmStrDataFile = 0,
  // Program version text, set when the session is created ("V4.9.0.0", or
  // "4.900" through SetVersion).
  kmStrProgramVersion = 1,
  // Version of the session file; "4.900" whenever the session is written.
  kmStrFileVersion = 2,
  // Reserved: stored and loaded, no reader.
  kmStrReserved3 = 3,
  kmStrReserved4 = 4,
  kmStrReserved5 = 5,
  // Variance-covariance matrix file, loaded when kmOptHetErrorModel is 5.
  kmStrVarCovarFile = 6,
  // "Annual": unit word of the rate of change, handed to the APC and AAPC
  // exports.
  kmStrRateUnit = 7,
};

// Number of text slots a session holds after Init.
constexpr int kmNumStrings = 8;

// Type codes of the option type table (kmSession::GetOptionType).
enum kmOptionType : int {
  kmOptTypeInvalid = 0,  // identifier 42 and every one outside 0 to 63
  kmOptTypeBool = 1,
  kmOptTypeDouble = 2,
  kmOptTypeInt = 3,
};

#endif  // KM_SESSION_KMSESSIONOPTIONIDS_H
