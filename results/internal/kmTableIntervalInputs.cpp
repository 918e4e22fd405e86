// Holds the input assembly shared by kmTable's APC and AAPC intervals:
// method codes and names, the model's coefficient tables, the generator,
// the resampling seed and the resampling inputs.
#include "results/internal/kmTableIntervalInputs.h"

#include <newmat.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "foundation/KmException.h"
#include "models/WeightMatrices.h"
#include "results/kmTable.h"
#include "session/kmIntervalMethod.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace km_results_internal {

namespace {

constexpr char kSource[] = "kmTable";

// Number of observations over all vectors of the array.
int32_t TotalRows(const OneDimensionArray<ColumnVector>& vectors) {
  int32_t n = 0;
  for (int i = 0; i < vectors.GetSize(); ++i) n += vectors[i].Nrows();
  return n;
}

}  // namespace

int32_t ResolveMethod(int32_t iCIMethod, const kmSession* pSession) {
  return iCIMethod >= 0 ? iCIMethod : pSession->GetInt(kmOptAAPCCIMethod);
}

std::string MethodName(int32_t iMethod) {
  switch (iMethod) {
    case kMethodUncorrelatedVariance:
      return "UncorrelatedVariance";
    case kMethodFirstLastT:
      return "FirstLastT";
    case kMethodEmpCDFT:
      return "EmpCDFT";
    case kMethodEmpCDFQuantile:
      return "EmpCDFQuantile";
    case kMethodEmpCDFZ:
      return "EmpCDFZ";
    default:
      return std::string();
  }
}

bool IsResampledMethod(const std::string& sMethod) {
  return sMethod == MethodName(kMethodEmpCDFT) ||
         sMethod == MethodName(kMethodEmpCDFQuantile) ||
         sMethod == MethodName(kMethodEmpCDFZ);
}

ModelInputs BuildModelInputs(const kmTable& table) {
  const int32_t S = table.GetNumLineSegments();
  const int32_t k = S - 1;
  // The segments, kinkmarks and slope differences are written below by
  // index; a record whose parts disagree would be read or written past its
  // lists.
  if (S < 1 || table.GetNumKinkmarks() != k || table.GetNumSlopeDiffs() != k) {
    GenerateKmExceptionF(
        "The model's segments, kinkmarks and slope differences do not "
        "agree: %d segments, %d kinkmarks, %d slope differences.",
        kSource, S, table.GetNumKinkmarks(), table.GetNumSlopeDiffs());
  }

  ModelInputs model;
  model.k = k;

  model.breakpoints.ReSize(S + 1);
  model.breakpoints(1) = table.GetLineSegment(0).range.dStart;
  for (int i = 1; i <= S; ++i) {
    model.breakpoints(i + 1) = table.GetLineSegment(i - 1).range.dEnd;
  }

  model.tau.ReSize(k);
  for (int j = 1; j <= k; ++j) model.tau(j) = model.breakpoints(j + 1);

  double dLow = model.breakpoints(1);
  double dHigh = model.breakpoints(1);
  for (int i = 2; i <= S + 1; ++i) {
    dLow = std::min(dLow, model.breakpoints(i));
    dHigh = std::max(dHigh, model.breakpoints(i));
  }
  model.span.ReSize(2);
  model.span(1) = dLow;
  model.span(2) = dHigh;

  const kmLineSegment& first = table.GetLineSegment(0);
  model.segmentSize.ReSize(2);
  model.segmentSize(1) = 1.0;
  model.segmentSize(2) = (first.range.dEnd - first.range.dStart) + 1.0;

  Matrix coefTable(2 * S, 4);
  coefTable = 0.0;
  for (int i = 1; i <= S; ++i) {
    const kmLineSegment& segment = table.GetLineSegment(i - 1);
    coefTable(2 * i - 1, 1) = segment.intercept.dEstimate;
    coefTable(2 * i - 1, 2) = segment.intercept.dStdErr;
    coefTable(2 * i, 1) = segment.slope.dEstimate;
    coefTable(2 * i, 2) = segment.slope.dStdErr;
  }
  model.coefTables.Resize(1);
  model.coefTables[0] = coefTable;

  model.coefficients.ReSize(k + 2);
  model.coefficients(1) = first.intercept.dEstimate;
  model.coefficients(2) = first.slope.dEstimate;
  for (int j = 1; j <= k; ++j) {
    model.coefficients(j + 2) = table.GetSlopeDiff(j - 1).dEstimate;
  }

  model.tauInterval.ReSize(2, k);
  for (int j = 1; j <= k; ++j) {
    const kmEstValue& kinkmark = table.GetKinkmark(j - 1);
    model.tauInterval(1, j) = kinkmark.dUpper;
    model.tauInterval(2, j) = kinkmark.dLower;
  }
  return model;
}

MTRandomGenerator MakeGenerator(const kmSession* pSession) {
  MersenneTwister twister;
  twister.sgenrand(
      static_cast<uint32_t>(pSession->GetInt(kmOptPermutationSeed)));
  MTRandomGenerator generator;
  generator.SetState(twister.mt, twister.mti);
  return generator;
}

double ResamplingSeed(const kmSession* pSession, int32_t iCohortNumber) {
  const uint32_t s =
      static_cast<uint32_t>(pSession->GetInt(kmOptEmpQuantileSeed));
  const uint32_t c = static_cast<uint32_t>(iCohortNumber);
  uint32_t seed = 0;
  switch (pSession->Get<kmEmpQuantileSeedType>()) {
    case kmEmpQuantileSeedType::kConstant:
      seed = s;
      break;
    case kmEmpQuantileSeedType::kVarying:
      // Unsigned words wrap as the 32-bit original did, without the
      // undefined behaviour of a signed overflow.
      seed = (c + 1u) * s;
      if (iCohortNumber > 0) seed += c;
      break;
    default:
      seed = 0;
      break;
  }
  return static_cast<double>(seed);
}

void FillResamplingInputs(KMResamplingInputs& inputs, const kmTable& table,
                          const ModelInputs& model, const kmSession* pSession,
                          int32_t iCohortNumber) {
  const KMSeriesSet& seriesSet = table.GetSeriesSet();
  const OneDimensionArray<ColumnVector>& residuals = table.GetResiduals();
  const OneDimensionArray<ColumnVector>& fitted = table.GetFittedValues();

  // A record read back from a results file, or one built outside the
  // grid-search selection, carries no observed fit to resample.
  const int32_t n = TotalRows(residuals);
  if (n == 0 || TotalRows(fitted) != n) {
    GenerateKmException(
        "The model holds no fitted values and residuals to resample for "
        "its confidence intervals.",
        kSource);
  }
  if (TotalRows(seriesSet.xValues) != n || TotalRows(seriesSet.yValues) != n ||
      seriesSet.covariance.Nrows() != n) {
    GenerateKmExceptionF(
        "The model's series set does not match its %d residuals: %d x "
        "values, %d responses and a %d x %d covariance matrix.",
        kSource, n, TotalRows(seriesSet.xValues), TotalRows(seriesSet.yValues),
        seriesSet.covariance.Nrows(), seriesSet.covariance.Ncols());
  }

  inputs.seriesSet = seriesSet;
  inputs.residuals = residuals;
  inputs.fittedValues = fitted;
  inputs.coefficients = model.coefficients;
  inputs.rss = table.GetSSE();
  inputs.rssDivisor = table.GetDF();
  calc_WeightMatrices_ForTable(
      inputs.weight, inputs.covariance, inputs.transform, inputs.backTransform,
      seriesSet.covariance, table.GetAutocorrelation(), table.GetErrorType());
  inputs.numResamples = table.GetNumResamples();
  inputs.seed = ResamplingSeed(pSession, iCohortNumber);
  inputs.reseed = kSwitchNo;
  inputs.minObsAtEnds = table.GetMinObsEnd();
  inputs.minObsBetween = table.GetMinObsBetween();
  inputs.gridPointsBetween = table.GetGridPointsBetween();
}

}  // namespace km_results_internal
