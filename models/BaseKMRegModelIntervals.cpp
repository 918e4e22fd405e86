// Holds BaseKMRegModel::calc_APC_CIs, calc_AAPC_CIs, map_ModelSettings and
// calc_APC_TestVector: the entry points of the confidence intervals.
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
