// Holds BaseKMRegModel::collect_APCSamples and collect_AAPCSamples: the
// samples of slopes, kinkmark locations and AAPCs over the resampled refits.
#include <newmat.h>

#include <cstdint>

#include "foundation/KmException.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/ModelNumerics.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;

namespace {

// The segment slopes of one resampled refit: its slope vector, or, when
// that was not filled, the slopes of its segment-form coefficients.
ColumnVector ResampleSlopes(const KMRegFitRecord& record, int k) {
  if (record.segmentSlopes.Nrows() > 0) return record.segmentSlopes;
  return BaseKMRegModel::extract_EvenEntries(record.fitStats.theta, k);
}

// The sample standard deviation of entries 2..N (the resamples only).
double ResampleStdDev(const ColumnVector& sample) {
  const ColumnVector resamples = sample.Rows(2, sample.Nrows());
  return calc_StdDev(resamples);
}

// Refuses a sample without resamples, or larger than the fits held.
void RequireResamples(int N, int nRecords, const char* sSource) {
  if (N < 2) {
    GenerateKmExceptionF(
        "An empirical interval needs at least 2 resamples; %d were given.",
        sSource, N);
  }
  if (N > nRecords) {
    GenerateKmExceptionF(
        "%d resamples were asked for, but only %d resampled fits are held.",
        sSource, N, nRecords);
  }
}

}  // namespace

void BaseKMRegModel::collect_APCSamples(
    OneDimensionArray<ColumnVector>& slopeSamples, ColumnVector& slopeSE,
    OneDimensionArray<ColumnVector>& tauSamples, ColumnVector& tauSE,
    const OneDimensionArray<KMRegFitRecord>& records, const ColumnVector& b,
    const ColumnVector& tau, int32_t k) {
  WithStandardCatch([&] {
    const int N = records.GetSize();
    RequireResamples(N, N, "BaseKMRegModel::collect_APCSamples()");
    const int S = k + 1;

    slopeSamples.Resize(S);
    for (int i = 1; i <= S; ++i) {
      ColumnVector sample(N);
      sample(1) = b(i);
      slopeSamples[i - 1] = sample;
    }
    tauSamples.Resize(N);
    tauSamples[0] = tau;
    for (int r = 2; r <= N; ++r) {
      const KMRegFitRecord& record = records[r - 1];
      const ColumnVector slopes = ResampleSlopes(record, k);
      for (int i = 1; i <= S; ++i) slopeSamples[i - 1](r) = slopes(i);
      tauSamples[r - 1] = record.tau;
    }

    slopeSE.ReSize(S);
    for (int i = 1; i <= S; ++i) {
      slopeSE(i) = ResampleStdDev(slopeSamples[i - 1]);
    }
    tauSE.ReSize(k);
    for (int j = 1; j <= k; ++j) {
      ColumnVector locations(N);
      for (int r = 1; r <= N; ++r) locations(r) = tauSamples[r - 1](j);
      tauSE(j) = ResampleStdDev(locations);
    }
  });
}

void BaseKMRegModel::collect_AAPCSamples(
    ColumnVector& samples, double& dSE,
    const OneDimensionArray<KMRegFitRecord>& records,
    const ColumnVector& vRange, int32_t k, int32_t N, double dAAPC) {
  WithStandardCatch([&] {
    RequireResamples(N, records.GetSize(),
                     "BaseKMRegModel::collect_AAPCSamples()");
    samples.ReSize(N);
    samples(1) = dAAPC;
    for (int r = 2; r <= N; ++r) {
      const KMRegFitRecord& record = records[r - 1];
      samples(r) = calc_AAPC_OneSample(vRange, record.stackedX, record.tau,
                                       ResampleSlopes(record, k));
    }
    dSE = ResampleStdDev(samples);
  });
}
