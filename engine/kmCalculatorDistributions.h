// The probability distributions of the calculator's tests: the F
// p-value of the permutation tests, F and t quantiles, t probabilities and
// tests of the model tables, and the normal interval of the comparability
// ratio. kmCalculator offers them as its own services.
//
// Threads: one object is used by one thread at a time (the F routine keeps
// working state in its distribution object).
#ifndef KM_ENGINE_KMCALCULATORDISTRIBUTIONS_H
#define KM_ENGINE_KMCALCULATORDISTRIBUTIONS_H

#include <newmat.h>

#include <memory>

class StatClass;

class kmCalculatorDistributions {
 public:
  // -- F p-value (kmCalculatorFTests.cpp) --

  // P(F > dF) for the F distribution with iDf1 and iDf2 degrees of freedom;
  // 0.0 when iDf1 <= 0 or iDf2 <= 0, else 1.0 when dF <= 0 or is NaN.
  double FPValue(double dF, int iDf1, int iDf2);

  // -- Quantiles and t tests (kmCalculatorKinkmarkSEs.cpp) --

  // F with P(F(iDF1, iDF2) <= F) = p; -1e30 unless 0 < p < 1, iDF1 > 0 and
  // iDF2 > 0, or when the distribution routine fails. Never throws.
  double FInverse(int iDF1, int iDF2, double p);
  // t with P(T(dDF) <= t) = p; -1e30 unless 0 < p < 1 and dDF > 0, or on
  // failure. Never throws.
  double TInverse(double p, double dDF);
  // P(T(dDF) <= t); -1e30 unless t > 0 and dDF > 0, or on failure. Never
  // throws.
  double TCumulative(double t, double dDF);
  // Two-sided t test of the estimate dB with variance dVar on dDF degrees
  // of freedom. dSE = sqrt|dVar|. dVar < 0: dSE = -sqrt|dVar|, statistic 0,
  // p-value 1.0, false. dVar = 0 (or NaN): dSE 0, statistic and p-value
  // -1e30, false. dVar > 0: statistic dB / dSE, p-value
  // 2 P(T(dDF) > |t|), the upper tail computed directly (1 for a zero
  // statistic), true; when the t probability cannot be computed (dDF <= 0)
  // the p-value is -1e30 and the result false. Never throws.
  bool TTestPValue(double dB, double dVar, double dDF, double& dSE,
                   double& dStat, double& dPValue);

  // -- Comparability-ratio interval (kmCalculatorComparabilityRatio.cpp) --

  // Fills *pResult (resized to 7 when shorter) with the ratio dCR, its SE
  // (sqrt of dVariance when > 0, else 0), z = (dCR - 1) / SE, the two-sided
  // normal p-value, the bounds dCR -/+ z(1 - alpha/2) SE and the
  // significance flag (1.0 when the interval excludes 1). Without an SE, z
  // and p are -1e30; without an SE or with alpha outside (0, 1) the bounds
  // are -1e30 and the flag 0.0.
  void Calculate_Comparability_Ratio_CI(double dCR, double dVariance,
                                        double dAlpha,
                                        NEWMAT::ColumnVector* pResult);

 protected:
  kmCalculatorDistributions();
  kmCalculatorDistributions(const kmCalculatorDistributions&) = delete;
  kmCalculatorDistributions& operator=(const kmCalculatorDistributions&) =
      delete;
  ~kmCalculatorDistributions();

  // Distribution object of the F probabilities (owned); made by
  // kmCalculator::Init.
  std::unique_ptr<StatClass> pStatClass;
};

#endif  // KM_ENGINE_KMCALCULATORDISTRIBUTIONS_H
