// The confidence-interval methods of the APC and AAPC method sets, by name.
#ifndef KM_MODELS_INTERNAL_INTERVALMETHOD_H
#define KM_MODELS_INTERNAL_INTERVALMETHOD_H

#include <newmat.h>

#include <string>

namespace km_models_internal {

enum class IntervalMethod {
  kUncorrelatedVariance,  // "UncorrelatedVariance"
  kFirstLastT,            // "FirstLastT"
  kEmpCDFT,               // "EmpCDFT"
  kEmpCDFZ,               // "EmpCDFZ"
  kEmpCDFQuantile,        // "EmpCDFQuantile"
};

// The method of its exact (case-sensitive) name.
// Throws: KmException "Unknown confidence interval method \"<name>\"." with
// sSource for any other text.
IntervalMethod ParseIntervalMethod(const std::string& sMethod,
                                   const char* sSource);

// True for the three methods that read resampled refits.
bool IsEmpiricalMethod(IntervalMethod method);

// The empirical-quantile rule of "EmpCDFQuantile": replaces entries 5 to 7
// of the 9-entry short result by lower = 100 (e^q_lo - 1), upper =
// 100 (e^q_hi - 1) and the flag (0.0 when lower <= 0 <= upper, else 1.0),
// q_lo and q_hi the empirical quantiles of sample at dAlpha/2 and
// 1 - dAlpha/2 (calc_EmpiricalQuantiles).
void ApplyEmpiricalQuantileBounds(NEWMAT::ColumnVector& shortResult,
                                  const NEWMAT::ColumnVector& sample,
                                  double dAlpha);

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_INTERVALMETHOD_H
