// The fitting engine's comparability-ratio interval for stored models, as
// the results-file handler calls it (the handler sits below the engine and
// reaches it only through the function its user gives it).
#ifndef KM_ENGINE_COMPARABILITYRATIOCALCULATOR_H
#define KM_ENGINE_COMPARABILITYRATIOCALCULATOR_H

class kmCalcHandler;
class kmSession;
class kmTable;

// Builds a calculator on pSession, computes the comparability-ratio test
// and interval of the ratio dCRValue with variance dCRVariance at level
// dAlpha (kmCalculator::Calculate_Comparability_Ratio_CI) and stores the
// seven results in model's comparability-ratio statistics (ratio, SE,
// statistic, p-value, lower and upper bound, significance flag).
// Throws: KmException "Session does not exist - invalid pointer." for a
// null pSession; the calculator's errors; each with
// "CalculateComparabilityRatioForTable()" of "kmCalculator" in the call
// path.
void CalculateComparabilityRatioForTable(kmSession* pSession, kmTable& model,
                                         double dCRValue, double dCRVariance,
                                         double dAlpha);

// Gives handler CalculateComparabilityRatioForTable as its
// comparability-ratio calculator
// (kmCalcHandler::SetComparabilityRatioCalculator).
void InstallComparabilityRatioCalculator(kmCalcHandler& handler);

#endif  // KM_ENGINE_COMPARABILITYRATIOCALCULATOR_H
