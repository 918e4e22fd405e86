// Holds BaseKMRegModel::calc_APC_CIs, calc_AAPC_CIs, map_ModelSettings and
// calc_APC_TestVector: the entry points of the confidence intervals.
//
// Method names (compared exactly):
//   "UncorrelatedVariance"  the model's standard errors; test "TValue"
//                           (an AAPC over more than one segment, or
//                           reaching beyond the data: "ZValue");
//   "EmpCDFT", "EmpCDFZ"    the empirical standard error of the resampled
//                           refits; test "TValue" / "ZValue";
//   "EmpCDFQuantile"        the empirical standard error with "TValue",
//                           the bounds replaced by the empirical quantiles
//                           at alpha/2 and 1 - alpha/2 of the N values
//                           (observed and resampled);
//   "FirstLastT"            AAPC: the chord between the fitted values at
//                           the range ends, its variance from the
//                           coefficient covariance; APC: a segment's chord
//                           is its slope, so as "UncorrelatedVariance".
// Any other name throws KmException "Unknown confidence interval method
// \"<name>\"." rather than report a zero-width interval.
//
// The empirical methods read N resampled fits from the caller's record
// array, made once by resample_new when the array is empty and kept for
// every later interval of the same model. Record r - 1 (0-based) holds
// resample r = 2..N; record 0 stands for the observed fit. The empirical
// standard error is the sample standard deviation over resamples 2..N.
//
// The coefficient table coefTables[0] has two rows per segment
// i = 1..k+1: row 2i - 1 its intercept, row 2i its slope; column 1 the
// estimate, column 2 the standard error. The coefficient covariance of
// "FirstLastT" is laid out the same way (intercept, slope per segment).
#include <newmat.h>

#include <cstdint>
#include <string>

#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/KMResamplingInputs.h"
#include "models/TestResults.h"
#include "models/internal/StandardCatch.h"
#include "stats/MTRandomGenerator.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

OneDimensionArray<ColumnVector> BaseKMRegModel::calc_APC_CIs(
    OneDimensionArray<ColumnVector>& kinkmarkRows, int32_t k,
    const ColumnVector& vPair, const OneDimensionArray<Matrix>& coefTables,
    const ColumnVector& tau, const Matrix& mTauInterval, double dAPCAlpha,
    double dAAPCAlpha, double dKinkmarkAlpha, double dDF,
    const std::string& sMethod, const std::string& sTestSetting,
    const std::string& sModelType, const std::string& sModelScale,
    const std::string& sFittingMethod, const KMResamplingInputs& inputs,
    OneDimensionArray<KMRegFitRecord>& records, MTRandomGenerator& generator) {
  return WithStandardCatch([&] {
    int32_t iModelType = 0;
    int32_t iLogLinear = 0;
    int32_t iFittingMethod = 0;
    map_ModelSettings(sModelType, sModelScale, sFittingMethod, iModelType,
                      iLogLinear, iFittingMethod);

    OneDimensionArray<ColumnVector> shortResults;
    calc_APC_MethodSet(shortResults, kinkmarkRows, k, coefTables, tau,
                       mTauInterval, dAPCAlpha, dAAPCAlpha, dKinkmarkAlpha, dDF,
                       sMethod, sTestSetting, iModelType, iLogLinear,
                       iFittingMethod, inputs, records, generator);

    OneDimensionArray<ColumnVector> longResults;
    longResults.Resize(shortResults.GetSize());
    for (int i = 0; i < shortResults.GetSize(); ++i) {
      longResults[i] = convert_AAPCResults_shorttolong(shortResults[i], vPair);
    }
    return longResults;
  });
}

ColumnVector BaseKMRegModel::calc_AAPC_CIs(
    const ColumnVector& vRange, int32_t k,
    const OneDimensionArray<Matrix>& coefTables, const Matrix& mCoefCovariance,
    const ColumnVector& tau, const ColumnVector& vX, double dAAPCAlpha,
    double dAPCAlpha, double dKinkmarkAlpha, double dDF,
    const std::string& sMethod, const std::string& sTestSetting,
    const std::string& sModelType, const std::string& sModelScale,
    const std::string& sFittingMethod, const KMResamplingInputs& inputs,
    OneDimensionArray<KMRegFitRecord>& records, MTRandomGenerator& generator) {
  return WithStandardCatch([&] {
    int32_t iModelType = 0;
    int32_t iLogLinear = 0;
    int32_t iFittingMethod = 0;
    map_ModelSettings(sModelType, sModelScale, sFittingMethod, iModelType,
                      iLogLinear, iFittingMethod);

    const ColumnVector shortResult = calc_AAPC_MethodSet(
        vRange, k, coefTables, mCoefCovariance, tau, vX, dAAPCAlpha, dAPCAlpha,
        dKinkmarkAlpha, dDF, sMethod, sTestSetting, iModelType, iLogLinear,
        iFittingMethod, inputs, records, generator);
    return convert_AAPCResults_shorttolong(shortResult, vRange);
  });
}

void BaseKMRegModel::map_ModelSettings(const std::string& sModelType,
                                       const std::string& sModelScale,
                                       const std::string& sFittingMethod,
                                       int32_t& iModelType, int32_t& iLogLinear,
                                       int32_t& iFittingMethod) {
  iModelType = (sModelType == "Parallel") ? 2 : 1;
  iLogLinear = (sModelScale == "Log") ? 1 : 0;
  if (sFittingMethod == "Hudson") {
    iFittingMethod = 1;
  } else if (sFittingMethod == "CubicSpline") {
    iFittingMethod = 2;
  } else {
    iFittingMethod = 0;
  }
}

ColumnVector BaseKMRegModel::calc_APC_TestVector(double dEstimate, double dSE,
                                                 double dAlpha) {
  return WithStandardCatch([&] {
    // Normal bounds: the degrees of freedom do not enter.
    const ColumnVector test =
        make_TestResultVector(1, dEstimate, dSE, 0.0, dAlpha, 0.0);
    ColumnVector row(4);
    row(1) = dEstimate;
    row(2) = dSE;
    row(3) = test(5);
    row(4) = test(6);
    return row;
  });
}
