// ParseIntervalMethod, IsEmpiricalMethod and ApplyEmpiricalQuantileBounds.
#include "models/internal/IntervalMethod.h"

#include <newmat.h>

#include <cmath>
#include <string>

#include "foundation/KmException.h"
#include "models/ModelNumerics.h"
#include "models/TestResults.h"

namespace km_models_internal {

IntervalMethod ParseIntervalMethod(const std::string& sMethod,
                                   const char* sSource) {
  if (sMethod == "UncorrelatedVariance") {
    return IntervalMethod::kUncorrelatedVariance;
  }
  if (sMethod == "FirstLastT") return IntervalMethod::kFirstLastT;
  if (sMethod == "EmpCDFT") return IntervalMethod::kEmpCDFT;
  if (sMethod == "EmpCDFZ") return IntervalMethod::kEmpCDFZ;
  if (sMethod == "EmpCDFQuantile") return IntervalMethod::kEmpCDFQuantile;
  GenerateKmExceptionF("Unknown confidence interval method \"%s\".", sSource,
                       sMethod.c_str());
}

bool IsEmpiricalMethod(IntervalMethod method) {
  return method == IntervalMethod::kEmpCDFT ||
         method == IntervalMethod::kEmpCDFZ ||
         method == IntervalMethod::kEmpCDFQuantile;
}

void ApplyEmpiricalQuantileBounds(NEWMAT::ColumnVector& shortResult,
                                  const NEWMAT::ColumnVector& sample,
                                  double dAlpha) {
  NEWMAT::ColumnVector probabilities(2);
  probabilities(1) = dAlpha / 2.0;
  probabilities(2) = 1.0 - dAlpha / 2.0;
  const NEWMAT::ColumnVector q =
      calc_EmpiricalQuantiles(sample, probabilities, false);
  const double dLower = PercentChange(q(1));
  const double dUpper = PercentChange(q(2));
  shortResult(5) = dLower;
  shortResult(6) = dUpper;
  shortResult(7) = (dLower <= 0.0 && 0.0 <= dUpper) ? 0.0 : 1.0;
}

}  // namespace km_models_internal
