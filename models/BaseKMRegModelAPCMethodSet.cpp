// Holds BaseKMRegModel::calc_APC_MethodSet: the APC of every segment and the
// interval of every kinkmark by one confidence-interval method.
#include <newmat.h>

#include <cstdint>
#include <string>

#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/KMResamplingInputs.h"
#include "models/TestResults.h"
#include "models/internal/IntervalMethod.h"
#include "models/internal/StandardCatch.h"
#include "stats/MTRandomGenerator.h"

using km_models_internal::IntervalMethod;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// Location, standard error, lower and upper bound of one kinkmark.
ColumnVector KinkmarkRow(double dLocation, double dSE, double dLower,
                         double dUpper) {
  ColumnVector row(4);
  row(1) = dLocation;
  row(2) = dSE;
  row(3) = dLower;
  row(4) = dUpper;
  return row;
}

}  // namespace

void BaseKMRegModel::calc_APC_MethodSet(
    OneDimensionArray<ColumnVector>& shortResults,
    OneDimensionArray<ColumnVector>& kinkmarkRows, int32_t k,
    const OneDimensionArray<Matrix>& coefTables, const ColumnVector& tau,
    const Matrix& mTauInterval, double dAPCAlpha, double dAAPCAlpha,
    double dKinkmarkAlpha, double dDF, const std::string& sMethod,
    const std::string& sTestSetting, int32_t iModelType, int32_t iLogLinear,
    int32_t iFittingMethod, const KMResamplingInputs& inputs,
    OneDimensionArray<KMRegFitRecord>& records, MTRandomGenerator& generator) {
  km_models_internal::WithStandardCatch([&] {
    const IntervalMethod method = km_models_internal::ParseIntervalMethod(
        sMethod, "BaseKMRegModel::calc_APC_MethodSet()");
    const int S = k + 1;

    // 1. Slopes and their model standard errors.
    const Matrix& table = coefTables[0];
    ColumnVector b(S);
    ColumnVector seModel(S);
    for (int i = 1; i <= S; ++i) {
      b(i) = table(2 * i, 1);
      seModel(i) = table(2 * i, 2);
    }

    // 2. The resampled refits, made once per model.
    OneDimensionArray<ColumnVector> slopeSamples;
    ColumnVector slopeSE;
    OneDimensionArray<ColumnVector> tauSamples;
    ColumnVector tauSE;
    if (km_models_internal::IsEmpiricalMethod(method)) {
      if (records.GetSize() == 0) {
        resample_new(generator, records, inputs, tau, k, iModelType, iLogLinear,
                     iFittingMethod, dAPCAlpha, dAAPCAlpha, dKinkmarkAlpha);
      }
      collect_APCSamples(slopeSamples, slopeSE, tauSamples, tauSE, records, b,
                         tau, k);
    }

    // 3-5. One test per segment.
    shortResults.Resize(S);
    for (int i = 1; i <= S; ++i) {
      double dSE = seModel(i);
      std::string sTestName = "TValue";
      switch (method) {
        case IntervalMethod::kUncorrelatedVariance:
        case IntervalMethod::kFirstLastT:
          break;
        case IntervalMethod::kEmpCDFT:
        case IntervalMethod::kEmpCDFQuantile:
          dSE = slopeSE(i);
          break;
        case IntervalMethod::kEmpCDFZ:
          dSE = slopeSE(i);
          sTestName = "ZValue";
          break;
      }
      ColumnVector result =
          calc_TestByMethod(b(i), dSE, dDF, dAPCAlpha, sTestName, sTestSetting);
      if (method == IntervalMethod::kEmpCDFQuantile) {
        km_models_internal::ApplyEmpiricalQuantileBounds(
            result, slopeSamples[i - 1], dAPCAlpha);
      }
      shortResults[i - 1] = result;
    }

    // 6. One row per kinkmark.
    kinkmarkRows.Resize(k);
    for (int j = 1; j <= k; ++j) {
      switch (method) {
        case IntervalMethod::kUncorrelatedVariance:
        case IntervalMethod::kFirstLastT:
          kinkmarkRows[j - 1] =
              KinkmarkRow(tau(j), 0.01, mTauInterval(2, j), mTauInterval(1, j));
          break;
        case IntervalMethod::kEmpCDFT:
        case IntervalMethod::kEmpCDFZ:
          kinkmarkRows[j - 1] =
              calc_APC_TestVector(tau(j), tauSE(j), dKinkmarkAlpha);
          break;
        case IntervalMethod::kEmpCDFQuantile: {
          const int N = tauSamples.GetSize();
          ColumnVector locations(N);
          for (int r = 1; r <= N; ++r) locations(r) = tauSamples[r - 1](j);
          ColumnVector probabilities(2);
          probabilities(1) = dKinkmarkAlpha / 2.0;
          probabilities(2) = 1.0 - dKinkmarkAlpha / 2.0;
          const ColumnVector q =
              calc_EmpiricalQuantiles(locations, probabilities, false);
          kinkmarkRows[j - 1] = KinkmarkRow(tau(j), 0.0, q(1), q(2));
          break;
        }
      }
    }
  });
}
