// CalculateComparabilityRatioForTable and its installation in the
// results-file handler.
#include "engine/ComparabilityRatioCalculator.h"

#include <newmat.h>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/kmCalcHandler.h"
#include "results/kmTable.h"

void CalculateComparabilityRatioForTable(kmSession* pSession, kmTable& model,
                                         double dCRValue, double dCRVariance,
                                         double dAlpha) {
  WithCallPath("CalculateComparabilityRatioForTable()", "kmCalculator", [&] {
    kmCalculator calculator(pSession);
    NEWMAT::ColumnVector v;
    calculator.Calculate_Comparability_Ratio_CI(dCRValue, dCRVariance, dAlpha,
                                                &v);
    model.SetComparabilityRatio(v(1));
    model.SetComparabilitySE(v(2));
    model.SetComparabilityStat(v(3));
    model.SetComparabilityPValue(v(4));
    model.SetComparabilityLowerCI(v(5));
    model.SetComparabilityUpperCI(v(6));
    model.SetComparabilityIsSig(v(7));
  });
}

void InstallComparabilityRatioCalculator(kmCalcHandler& handler) {
  handler.SetComparabilityRatioCalculator(&CalculateComparabilityRatioForTable);
}
