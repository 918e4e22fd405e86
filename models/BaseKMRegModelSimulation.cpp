// Holds BaseKMRegModel::simulate_CI, prepare_ResamplingData and
// convert_AAPCResults_shorttolong: the response simulation of the resampling
// intervals and the small rearrangements around it.
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/DistributionWrappers.h"
#include "models/ModelNumerics.h"
#include "models/TestResults.h"
#include "models/internal/StandardCatch.h"
#include "stats/MTRandomGenerator.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr char kSimulateSource[] = "BaseKMRegModel::simulate_CI()";

enum class SimulationMode {
  kNormal,
  kQuantile,
  kEmpiricalCDF,
  kConnectedLines,
};

// The mode of its exact name; throws for any other text, since a response
// drawn from no error law would silently equal the fitted curve.
SimulationMode ParseMode(const std::string& sMode) {
  if (sMode == "Simulating") return SimulationMode::kNormal;
  if (sMode == "SimulatingQuantile") return SimulationMode::kQuantile;
  if (sMode == "SimulatingEmpiricalCDF") return SimulationMode::kEmpiricalCDF;
  if (sMode == "SimulatingEmpiricalCDFConnectedLines") {
    return SimulationMode::kConnectedLines;
  }
  GenerateKmExceptionF("Unknown simulation mode \"%s\".", kSimulateSource,
                       sMode.c_str());
}

// The residual sample s (ascending) widened by one value below and one above:
// the ends reach to the median -/+ 5.189 MAD unless the sample already lies
// beyond that, in which case they step out by (2 / n_s) d.
ColumnVector ExtendSample(const ColumnVector& s, double d) {
  const int n = s.Nrows();
  const double dMedian = calc_Median(s);
  ColumnVector deviations(n);
  for (int i = 1; i <= n; ++i) deviations(i) = std::fabs(s(i) - dMedian);
  const double dReach = 5.189 * calc_Median(deviations);
  const double dStep = (2.0 / n) * d;

  ColumnVector E(n + 2);
  E(1) = (dMedian - dReach < s(1)) ? dMedian - dReach : s(1) - dStep;
  E(n + 2) = (s(n) < dMedian + dReach) ? dMedian + dReach : s(n) + dStep;
  for (int i = 1; i <= n; ++i) E(i + 1) = s(i);
  return E;
}

}  // namespace

void BaseKMRegModel::simulate_CI(ColumnVector& y, MTRandomGenerator& generator,
                                 const ColumnVector& tau,
                                 const ColumnVector& delta, double b0,
                                 double b1, double sigma, const Matrix& L,
                                 const ColumnVector& x,
                                 const ColumnVector& residualSample,
                                 double dSpreadUpper, double dSpreadLower,
                                 int32_t iBinSwitch, const std::string& sMode) {
  WithStandardCatch([&] {
    const SimulationMode mode = ParseMode(sMode);
    const int n = x.Nrows();
    const int nSample = residualSample.Nrows();
    if (mode != SimulationMode::kNormal && nSample == 0) {
      GenerateKmException("The residual sample to draw errors from is empty.",
                          kSimulateSource);
    }

    ColumnVector fitted(n);
    for (int i = 1; i <= n; ++i) {
      fitted(i) = calc_FittedValueAt(tau, delta, b1, x(i), b0);
    }

    ColumnVector E;
    if (mode == SimulationMode::kEmpiricalCDF ||
        mode == SimulationMode::kConnectedLines) {
      E = ExtendSample(residualSample, dSpreadUpper - dSpreadLower);
    }

    ColumnVector e(n);
    ColumnVector probability(1);
    for (int i = 1; i <= n; ++i) {
      const double u = generator.genrand();
      switch (mode) {
        case SimulationMode::kNormal:
          e(i) = calc_NormalQuantile(u, 0.0, 1.0);
          break;
        case SimulationMode::kQuantile:
          probability(1) = u;
          e(i) = calc_EmpiricalQuantiles(residualSample, probability, true)(1);
          break;
        case SimulationMode::kEmpiricalCDF:
        case SimulationMode::kConnectedLines: {
          const double dScaled = u * (nSample + 1);
          const double dFloor = std::floor(dScaled);
          const int j = static_cast<int>(dFloor) + 1;
          // Uniform within the bin, or (connected lines, and the empirical
          // CDF without the bin switch) the linear inverse through E.
          const double t =
              (mode == SimulationMode::kEmpiricalCDF && iBinSwitch == 1)
                  ? generator.genrand()
                  : dScaled - dFloor;
          e(i) = E(j) + (E(j + 1) - E(j)) * t;
          break;
        }
      }
    }

    if (mode == SimulationMode::kNormal) {
      y = fitted + (sigma * L) * e;
    } else {
      y = fitted + L * e;
    }
  });
}

void BaseKMRegModel::prepare_ResamplingData(
    OneDimensionArray<ColumnVector>& out, int32_t a, int32_t b,
    const OneDimensionArray<ColumnVector>& source) {
  WithStandardCatch([&] {
    out.Resize(source.GetSize());
    const int nSums = b + 1 > 0 ? b + 1 : 0;
    for (int r = 0; r < source.GetSize(); ++r) {
      const ColumnVector& v = source[r];
      ColumnVector sums(nSums);
      for (int j = 1; j <= nSums; ++j) {
        sums(j) = (j == 1) ? v(a + 1) : sums(j - 1) + v(a + j);
      }
      out[r] = sums;
    }
  });
}

ColumnVector BaseKMRegModel::convert_AAPCResults_shorttolong(
    const ColumnVector& vShort, const ColumnVector& vPair) {
  return WithMatrixErrorsAsKm(
      "BaseKMRegModel::convert_AAPCResults_shorttolong()", [&] {
        return WithStandardCatch([&] {
          ColumnVector vLong(10);
          vLong(1) = vPair(1);
          vLong(2) = vPair(2);
          vLong(3) = vShort(1);
          vLong(4) = vShort(2);
          for (int i = 4; i <= 9; ++i) vLong(i + 1) = vShort(i);
          return vLong;
        });
      });
}
