// ForAllKinkMKAction: calc_BICCriterion, calc_WeightedBICCriterion,
// calc_LogGammaCriterion, ComputeMADWDValues, calc_CoefficientTests.
#include <cmath>
#include <exception>
#include <limits>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/ForAllKinkMKAction.h"
#include "models/TestResults.h"
#include "models/internal/StandardCatch.h"
#include "stats/StatClass.h"

using km_models_internal::WithStandardCatch;

namespace {

// The answer of every criterion for a fit whose SSE is not positive.
constexpr double kNoCriterion = -INFINITY;

// True when the SSE can enter a logarithm. Written so that NaN fails.
bool HasPositiveSSE(double sse) { return sse > 0.0; }

// ln|det M| through the matrix library's LU decomposition (0 for a singular
// M). An empty M has determinant 1; it is answered here because the
// library's decomposition of a 0 x 0 matrix crashes. A non-square M raises
// the library's error.
double LogAbsDeterminant(const NEWMAT::Matrix& M) {
  if (M.Nrows() == 0 && M.Ncols() == 0) return 0.0;
  return M.LogDeterminant().LogValue();
}

}  // namespace

double ForAllKinkMKAction::calc_BICCriterion(const KinkMKFitResult& r,
                                             int32_t n) {
  if (!HasPositiveSSE(r.sse)) return kNoCriterion;
  const double dN = static_cast<double>(n);
  return std::log(r.sse / dN) +
         static_cast<double>(r.k + r.q) * std::log(dN) / dN;
}

double ForAllKinkMKAction::calc_WeightedBICCriterion(const KinkMKFitResult& r,
                                                     int32_t n, double c) {
  if (!HasPositiveSSE(r.sse)) return kNoCriterion;
  const double dN = static_cast<double>(n);
  return std::log(r.sse / dN) +
         ((c + 2.0) * static_cast<double>(r.k) + 2.0) * std::log(dN) / dN;
}

double ForAllKinkMKAction::calc_LogGammaCriterion(const KinkMKFitResult& r,
                                                  int32_t n) {
  return WithStandardCatch([&] {
    // The log-determinant comes first: a non-square matrix fails even when
    // the SSE makes the answer -infinity.
    const double dLogDet = LogAbsDeterminant(r.xtwx);
    if (!HasPositiveSSE(r.sse)) return kNoCriterion;
    // With n <= k + 3 the gamma term has no value (ln Gamma(0) is infinite):
    // the criterion is undefined, +infinity, so no selection prefers it.
    if (n - r.k - 3 <= 0) return std::numeric_limits<double>::infinity();
    const double dN = static_cast<double>(n);
    const double dK = static_cast<double>(r.k);
    const double dGammaArg = static_cast<double>(n - r.k - 3) * 0.5;
    const double dLogGamma = StatClass::alngam(&dGammaArg);
    return std::log(r.sse / dN) + 2.0 * dK * std::log(dN) / dN + dLogDet / dN -
           2.0 * dLogGamma / dN - (dK + 3.0) * std::log(r.sse) / dN;
  });
}

namespace {

// The MADWD pass flags of every column of slopes (see ComputeMADWDValues).
bool MADWDPassFlags(const NEWMAT::Matrix& slopes,
                    NEWMAT::ColumnVector& passFlags, double psi,
                    std::vector<std::vector<double>>* details) {
  bool bAllPass = true;
  const int iRows = slopes.Nrows();
  if (iRows <= 2) return bAllPass;
  const int K = iRows - 2;
  for (int c = 1; c <= slopes.Ncols(); ++c) {
    const double b1 = slopes(2, c);
    bool bColumnPass = true;
    for (int j = K; j >= 1; --j) {
      double dS0 = 0.0;
      for (int row = 3; row <= j + 1; ++row) dS0 += slopes(row, c);
      // 100 |e^(b1 + S0 + d) - e^(b1 + S0)| with d the slope change at
      // kinkmark j, written as 100 e^(b1 + S0) |e^d - 1| so that a small
      // change keeps its digits instead of cancelling in the difference.
      const double dD =
          100.0 * std::exp(b1 + dS0) * std::fabs(std::expm1(slopes(j + 2, c)));
      // Written as a pass test so that a NaN difference fails.
      const bool bPass = dD >= psi;
      if (!bPass) bColumnPass = false;
      if (details != nullptr) {
        details->push_back({static_cast<double>(K), static_cast<double>(j + 1),
                            static_cast<double>(j), dD, bPass ? 1.0 : 0.0,
                            0.0});
      }
    }
    passFlags(c) = bColumnPass ? 1.0 : 0.0;
    bAllPass = bAllPass && bColumnPass;
  }
  return bAllPass;
}

}  // namespace

bool ForAllKinkMKAction::ComputeMADWDValues(
    const NEWMAT::Matrix& slopes, NEWMAT::ColumnVector& passFlags, double psi,
    std::vector<std::vector<double>>* details) {
  return WithMatrixErrorsAsKm("ForAllKinkMKAction::ComputeMADWDValues()", [&] {
    return WithCallPath(
        "ComputeMADWDValues()", "ClassesKinkMarkCalculations.cpp",
        [&] { return MADWDPassFlags(slopes, passFlags, psi, details); });
  });
}

void ForAllKinkMKAction::calc_CoefficientTests(const NEWMAT::ColumnVector& test,
                                               NEWMAT::ColumnVector& out,
                                               int32_t mode) {
  WithStandardCatch([&] {
    out = test;
    if (mode != 1) return;
    const double dEstimate = std::exp(test(1));
    const double dSE = dEstimate * test(2);
    out(1) = dEstimate;
    out(2) = dSE;
    // Student t (not normal) test of exp(b) against 1.0.
    const NEWMAT::ColumnVector retest =
        make_TestResultVector(0, dEstimate, dSE, test(8), test(9), 1.0);
    for (int i = 3; i <= 7; ++i) out(i) = retest(i);
  });
}
