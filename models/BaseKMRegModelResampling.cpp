// Holds BaseKMRegModel::resample_new: the resampled refits of a fitted
// model that the empirical interval methods read.
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFit.h"
#include "models/KMRegFitRecord.h"
#include "models/KMResamplingInputs.h"
#include "models/KMSeriesSet.h"
#include "models/MatrixBuilders.h"
#include "models/ModelNumerics.h"
#include "models/TestResults.h"
#include "models/internal/StandardCatch.h"
#include "stats/MTRandomGenerator.h"

using NEWMAT::ColumnVector;

namespace {

constexpr char kSource[] = "BaseKMRegModel::resample_new()";

// The seed as the generator takes it: truncated toward zero and reduced
// modulo 2^32, as an unsigned conversion does; 0 for a value that has no
// integer part to take (NaN, or beyond the 64-bit range).
uint32_t SeedWord(double dSeed) {
  if (!(std::fabs(dSeed) < 9.2e18)) return 0;
  return static_cast<uint32_t>(static_cast<int64_t>(dSeed));
}

// The stacked vector y cut into the series' own lengths, in series order.
OneDimensionArray<ColumnVector> CutLikeSeries(
    const ColumnVector& y, const OneDimensionArray<ColumnVector>& series) {
  OneDimensionArray<ColumnVector> blocks;
  blocks.Resize(series.GetSize());
  int iFirst = 1;
  for (int j = 0; j < series.GetSize(); ++j) {
    const int n = series[j].Nrows();
    ColumnVector block(n);
    for (int i = 1; i <= n; ++i) block(i) = y(iFirst + i - 1);
    blocks[j] = block;
    iFirst += n;
  }
  return blocks;
}

}  // namespace

int32_t BaseKMRegModel::resample_new(MTRandomGenerator& generator,
                                     OneDimensionArray<KMRegFitRecord>& records,
                                     const KMResamplingInputs& inputs,
                                     const ColumnVector& tau, int32_t k,
                                     int32_t iModelType, int32_t iLogLinear,
                                     int32_t iFittingMethod, double dAPCAlpha,
                                     double dAAPCAlpha, double dKinkmarkAlpha) {
  return WithMatrixErrorsAsKm(kSource, [&] {
    return km_models_internal::WithStandardCatch([&] {
      // 1. N fresh records and room for N - 1 simulated responses.
      const int N = inputs.numResamples;
      if (N < 2) {
        GenerateKmExceptionF(
            "The number of resamples must be at least 2; it is %d.", kSource,
            N);
      }
      records.Resize(N);
      OneDimensionArray<ColumnVector> simulated;
      simulated.Resize(N - 1);

      // 2-3. The sorted pool of transformed residuals and its quartiles.
      const ColumnVector residuals = stack_ColumnVectorArray(inputs.residuals);
      if (residuals.Nrows() == 0) {
        GenerateKmException("The observed fit has no residuals to resample.",
                            kSource);
      }
      ColumnVector pool = inputs.transform * residuals;
      sort_ColumnVector(pool);
      ColumnVector quartileLevels(2);
      quartileLevels(1) = 0.25;
      quartileLevels(2) = 0.75;
      const ColumnVector quartiles =
          calc_EmpiricalQuantiles(pool, quartileLevels, true);

      // 4. Reseeding makes the draws of a model repeat for its seed.
      if (inputs.reseed == "NO") generator.sgenrand(SeedWord(inputs.seed));

      // 5-6. The observed curve.
      const ColumnVector x = stack_ColumnVectorArray(inputs.seriesSet.xValues);
      const double dScale = std::sqrt(inputs.rss / inputs.rssDivisor);
      const double b0 = inputs.coefficients(1);
      const double b1 = inputs.coefficients(2);
      ColumnVector delta(k);
      for (int i = 1; i <= k; ++i) delta(i) = inputs.coefficients(i + 2);

      // 7. The simulated responses. The refit reads its first response from
      // the data set itself, so the copy below takes y_2 as its responses;
      // the caller's data stay as they are.
      KMSeriesSet data = inputs.seriesSet;
      for (int r = 2; r <= N; ++r) {
        ColumnVector y;
        simulate_CI(y, generator, tau, delta, b0, b1, dScale,
                    inputs.backTransform, x, pool, quartiles(2), quartiles(1),
                    1, "SimulatingEmpiricalCDF");
        if (r == 2) data.yValues = CutLikeSeries(y, data.xValues);
        simulated[r - 2] = y;
      }

      // 8. The refit template: the data, every simulated response, the
      // four matrices and the observed fit's settings.
      KMRegFit fit;
      fit.seriesSet = data;
      fit.responses = simulated;
      fit.weight = inputs.weight;
      fit.covariance = inputs.covariance;
      fit.transform = inputs.transform;
      fit.backTransform = inputs.backTransform;
      fit.xShift = 0.0;
      fit.modelType = iModelType;
      fit.k = k;
      fit.iMember8 = iLogLinear;
      fit.splineCode = iFittingMethod;
      fit.jump = 0;
      fit.minObsAtEnds = inputs.minObsAtEnds;
      fit.minObsBetween = inputs.minObsBetween;
      fit.gridPointsBetween = inputs.gridPointsBetween;
      fit.tauAlpha = dKinkmarkAlpha;
      fit.apcAlpha = dAPCAlpha;
      fit.aapcAlpha = dAAPCAlpha;

      // 9. One search-and-refit scores every simulated response.
      KMRegFitRecord result;
      calcForResampling(result, fit, 0, "CalcForResampling");

      // 10. Resample r (r = 2..N) goes to record r - 1; record 0 stands
      // for the observed fit, which the caller supplies.
      for (int r = 2; r <= N; ++r) {
        KMRegFitRecord& record = records[r - 1];
        record.segmentSlopes = result.responseSlopes[r - 2];
        record.tau = result.responseTaus[r - 2];
        record.stackedX = result.stackedX;
      }
      return int32_t{0};
    });
  });
}
