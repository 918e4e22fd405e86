// What the model framework's interval routines need of a fitted-model
// record and its session, gathered in one place for the APC and AAPC
// calculations of kmTable.
#ifndef KM_RESULTS_INTERNAL_KMTABLEINTERVALINPUTS_H
#define KM_RESULTS_INTERNAL_KMTABLEINTERVALINPUTS_H

#include <newmat.h>

#include <cstdint>
#include <string>

#include "foundation/OneDimensionArray.h"
#include "models/KMResamplingInputs.h"
#include "stats/MTRandomGenerator.h"

class kmSession;
class kmTable;

namespace km_results_internal {

// Method codes of the interval calculations.
constexpr int32_t kMethodUncorrelatedVariance = 0;
constexpr int32_t kMethodFirstLastT = 1;
constexpr int32_t kMethodEmpCDFT = 2;
constexpr int32_t kMethodEmpCDFQuantile = 3;
constexpr int32_t kMethodEmpCDFZ = 4;

// The test setting and the reseed word handed to the framework: "NO" makes
// the resampled refits reseed their generator with the resampling seed, so
// every model's intervals repeat for its seed.
constexpr char kSwitchNo[] = "NO";

// iCIMethod when it is 0 or more, else the session's kmOptAAPCCIMethod.
int32_t ResolveMethod(int32_t iCIMethod, const kmSession* pSession);

// The framework's name of a method code 0 to 4; "" for any other code.
std::string MethodName(int32_t iMethod);

// True for the names of the methods that read resampled refits
// ("EmpCDFT", "EmpCDFQuantile", "EmpCDFZ").
bool IsResampledMethod(const std::string& sMethod);

// The model as the framework reads it, with S = k + 1 segments.
struct ModelInputs {
  int32_t k = 0;
  // Start of segment 1, then the end of each segment (S + 1 entries).
  NEWMAT::ColumnVector breakpoints;
  // The k interior breakpoints: the kinkmark locations.
  NEWMAT::ColumnVector tau;
  // Smallest and largest breakpoint: the fitted x span.
  NEWMAT::ColumnVector span;
  // (1.0, width of segment 1 + 1.0): the pair that leads every long result
  // of the APC intervals (its two entries are not read back).
  NEWMAT::ColumnVector segmentSize;
  // One table of 2S rows and 4 columns: row 2i - 1 the intercept of
  // segment i, row 2i its slope; column 1 the estimate, column 2 the
  // standard error; columns 3 and 4 zero.
  OneDimensionArray<NEWMAT::Matrix> coefTables;
  // Intercept and slope of segment 1, then each slope difference (k + 2).
  NEWMAT::ColumnVector coefficients;
  // Parametric kinkmark intervals: row 1 the upper, row 2 the lower bound
  // of kinkmark j in column j (2 x k).
  NEWMAT::Matrix tauInterval;
};

// Reads the segments, kinkmarks and slope differences of the table.
// Throws KmException (source "kmTable") when the table has no segment, or
// when its kinkmarks or slope differences are not one fewer than its
// segments.
ModelInputs BuildModelInputs(const kmTable& table);

// The generator handed to the framework: a MersenneTwister seeded with the
// session's kmOptPermutationSeed, its state copied over.
MTRandomGenerator MakeGenerator(const kmSession* pSession);

// The resampling seed from kmOptEmpQuantileSeed s and
// kmOptEmpQuantileSeedType: type 0 s; type 1 (c + 1) s, plus c when c > 0
// (c = iCohortNumber); any other type 0. Worked in 32-bit words (wrapping),
// the result taken as unsigned.
double ResamplingSeed(const kmSession* pSession, int32_t iCohortNumber);

// Fills everything resample_new reads of the observed fit: the table's
// series set, fitted values and residuals, the model coefficients, the SSE
// over the degrees of freedom (GetDF), the weighting matrices from the
// series set's variances, the table's autocorrelation and error type, the
// table's number of resamples, the seed, the reseed word "NO" and the grid
// settings.
// Throws KmException (source "kmTable") when the table holds no residuals
// or fitted values, when they and the series set's x values do not have the
// same number of observations, or when the series set's covariance does
// not cover them.
void FillResamplingInputs(KMResamplingInputs& inputs, const kmTable& table,
                          const ModelInputs& model, const kmSession* pSession,
                          int32_t iCohortNumber);

}  // namespace km_results_internal

#endif  // KM_RESULTS_INTERNAL_KMTABLEINTERVALINPUTS_H
