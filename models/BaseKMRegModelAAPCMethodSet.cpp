// Holds BaseKMRegModel::calc_AAPC_MethodSet: the AAPC of one range by one
// confidence-interval method.
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "foundation/KmMatrixErrors.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/KMResamplingInputs.h"
#include "models/internal/IntervalMethod.h"
#include "models/internal/StandardCatch.h"
#include "stats/MTRandomGenerator.h"

using km_models_internal::IntervalMethod;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr char kSource[] = "ColumnVector BaseKMRegModel::calc_AAPC_MethodSet()";

struct EstimateAndSE {
  double dEstimate;
  double dSE;
};

// The first-last estimate: the slope of the chord between the fitted values
// at the range ends, the start read on segment f and the end on segment
// m + 1, with its standard error from the covariance of the four
// coefficients involved (c' V c with c = (-1, -start, 1, end), divided by
// the range's length). A range of zero length has neither: 0 and 0. A
// range given end first has the same chord; its standard error is divided
// by the length, not the signed difference, so that it stays positive.
EstimateAndSE FirstLastChord(const ColumnVector& vRange, int k,
                             const ColumnVector& T, const ColumnVector& coef,
                             const Matrix& covariance) {
  const double dStart = vRange(1);
  const double dEnd = vRange(2);
  const double dLength = dEnd - dStart;
  if (dLength == 0.0) return {0.0, 0.0};

  const ColumnVector position =
      BaseKMRegModel::calc_AAPC_ResultVector(vRange, k, T);
  const int f = static_cast<int>(position(6));
  const int m = static_cast<int>(position(7));
  const int index[4] = {2 * f - 1, 2 * f, 2 * m + 1, 2 * m + 2};
  const double c[4] = {-1.0, -dStart, 1.0, dEnd};

  const double dStartValue = coef(index[0]) + coef(index[1]) * dStart;
  const double dEndValue = coef(index[2]) + coef(index[3]) * dEnd;
  double dVariance = 0.0;
  for (int r = 0; r < 4; ++r) {
    for (int s = 0; s < 4; ++s) {
      dVariance += c[r] * covariance(index[r], index[s]) * c[s];
    }
  }
  return {(dEndValue - dStartValue) / dLength,
          std::sqrt(dVariance) / std::fabs(dLength)};
}

}  // namespace

ColumnVector BaseKMRegModel::calc_AAPC_MethodSet(
    const ColumnVector& vRange, int32_t k,
    const OneDimensionArray<Matrix>& coefTables, const Matrix& mCoefCovariance,
    const ColumnVector& tau, const ColumnVector& vX, double dAAPCAlpha,
    double dAPCAlpha, double dKinkmarkAlpha, double dDF,
    const std::string& sMethod, const std::string& sTestSetting,
    int32_t iModelType, int32_t iLogLinear, int32_t iFittingMethod,
    const KMResamplingInputs& inputs,
    OneDimensionArray<KMRegFitRecord>& records, MTRandomGenerator& generator) {
  return WithMatrixErrorsAsKm(kSource, [&] {
    return km_models_internal::WithStandardCatch([&] {
      const IntervalMethod method =
          km_models_internal::ParseIntervalMethod(sMethod, kSource);
      const int S = k + 1;
      const double dStart = vRange(1);
      const double dEnd = vRange(2);

      // 1. Segment weights of the range over the extended locations.
      const ColumnVector T = add_RangeEndsToTau(vX, tau);
      const ColumnVector w = calc_AAPC_ForRange(T, dEnd, dStart);

      // 2. Intercepts and slopes (alternating), slopes, standard errors.
      const Matrix& table = coefTables[0];
      ColumnVector coef(2 * S);
      ColumnVector b(S);
      ColumnVector se(S);
      for (int i = 1; i <= S; ++i) {
        coef(2 * i - 1) = table(2 * i - 1, 1);
        coef(2 * i) = table(2 * i, 1);
        b(i) = table(2 * i, 1);
        se(i) = table(2 * i, 2);
      }

      // 3. The estimate.
      double dEstimate = calc_WeightedSum(b, w);

      // 4. The resampled refits, made once per model.
      ColumnVector samples;
      double dEmpiricalSE = 0.0;
      if (km_models_internal::IsEmpiricalMethod(method)) {
        if (records.GetSize() == 0) {
          resample_new(generator, records, inputs, tau, k, iModelType,
                       iLogLinear, iFittingMethod, dAPCAlpha, dAAPCAlpha,
                       dKinkmarkAlpha);
        }
        collect_AAPCSamples(samples, dEmpiricalSE, records, vRange, k,
                            records.GetSize(), dEstimate);
      }

      // 5. Standard error and test by method.
      std::string sTestName = "TValue";
      double dSE = 0.0;
      switch (method) {
        case IntervalMethod::kUncorrelatedVariance: {
          double dVariance = 0.0;
          calc_AAPC_Interval(dEstimate, dVariance, b, se, w, 1.0, S);
          dSE = std::sqrt(dVariance);
          if (!find_Segment(T, dStart, dEnd)) sTestName = "ZValue";
          break;
        }
        case IntervalMethod::kFirstLastT: {
          const EstimateAndSE chord =
              FirstLastChord(vRange, k, T, coef, mCoefCovariance);
          dEstimate = chord.dEstimate;
          dSE = chord.dSE;
          break;
        }
        case IntervalMethod::kEmpCDFT:
        case IntervalMethod::kEmpCDFQuantile:
          dSE = dEmpiricalSE;
          break;
        case IntervalMethod::kEmpCDFZ:
          dSE = dEmpiricalSE;
          sTestName = "ZValue";
          break;
      }

      // 6. The short result.
      ColumnVector result = calc_TestByMethod(dEstimate, dSE, dDF, dAAPCAlpha,
                                              sTestName, sTestSetting);
      if (method == IntervalMethod::kEmpCDFQuantile) {
        km_models_internal::ApplyEmpiricalQuantileBounds(result, samples,
                                                         dAAPCAlpha);
      }
      return result;
    });
  });
}
