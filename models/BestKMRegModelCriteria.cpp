// BestKMRegModel: calc_BICCriterion, calc_LWZCriterion, calc_BIC3Criterion,
// calc_WeightedBICCriterion, calc_AdditiveWeightedBICCriterion,
// calc_LogGammaCriterion.
#include <newmat.h>

#include <cmath>
#include <limits>

#include "models/BestKMRegModel.h"
#include "models/internal/StandardCatch.h"
#include "stats/StatClass.h"

using km_models_internal::WithStandardCatch;

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

// True when RSS can be scored: a zero, negative or NaN RSS is a perfect fit
// (or no fit at all) and scores -infinity.
bool Scorable(double RSS) { return RSS > 0.0; }

// ln(RSS / n) + penalty ln(n) / n, the shape shared by the BIC family.
double PenalisedFit(double RSS, int32_t n, double dPenalty) {
  const double dN = static_cast<double>(n);
  return std::log(RSS / dN) + dPenalty * std::log(dN) / dN;
}

}  // namespace

double BestKMRegModel::calc_BICCriterion(int32_t p, int32_t n, double RSS) {
  if (!Scorable(RSS)) return kMinusInfinity;
  return PenalisedFit(RSS, n, static_cast<double>(p));
}

double BestKMRegModel::calc_LWZCriterion(int32_t k, int32_t n, double RSS) {
  if (!Scorable(RSS)) return kMinusInfinity;
  const double dN = static_cast<double>(n);
  const double dQ = 2.0 * static_cast<double>(k) + 1.0;
  return std::log(RSS / (dN - dQ)) +
         0.299 * dQ * std::pow(std::log(dN), 2.1) / dN;
}

double BestKMRegModel::calc_BIC3Criterion(int32_t a, int32_t b, int32_t n,
                                          double RSS) {
  if (!Scorable(RSS)) return kMinusInfinity;
  return PenalisedFit(RSS, n, static_cast<double>(a) + static_cast<double>(b));
}

double BestKMRegModel::calc_WeightedBICCriterion(int32_t k, int32_t n,
                                                 double RSS, double c) {
  if (!Scorable(RSS)) return kMinusInfinity;
  return PenalisedFit(RSS, n, (c + 2.0) * static_cast<double>(k) + 2.0);
}

double BestKMRegModel::calc_AdditiveWeightedBICCriterion(int32_t k, int32_t n,
                                                         double RSS, double c) {
  if (!Scorable(RSS)) return kMinusInfinity;
  return PenalisedFit(RSS, n, 2.0 * static_cast<double>(k) + c + 2.0);
}

double BestKMRegModel::calc_LogGammaCriterion(const NEWMAT::Matrix& M,
                                              int32_t k, int32_t n,
                                              double RSS) {
  return WithStandardCatch([&] {
    // The log-determinant comes first, so a non-square M fails even for a
    // perfect fit. The matrix library crashes on an empty matrix, whose
    // determinant is 1: a model that was never fitted keeps one.
    const double L = (M.Nrows() == 0 && M.Ncols() == 0)
                         ? 0.0
                         : NEWMAT::LogDeterminant(M).LogValue();
    if (!Scorable(RSS)) return kMinusInfinity;
    // A model that was never fitted keeps RSS = +infinity; the formula's two
    // infinite logarithms would cancel to NaN, which a later comparison
    // could never replace. Its value is +infinity (for n > k + 3, the limit
    // of the formula).
    if (std::isinf(RSS)) return RSS;
    // With n <= k + 3 the gamma term has no value (ln Gamma(0) is infinite)
    // and the -infinity it gave would win every selection: undefined, the
    // criterion is +infinity as for a model never fitted.
    if (n - k - 3 <= 0) return -kMinusInfinity;
    const double dN = static_cast<double>(n);
    const double dK = static_cast<double>(k);
    const double dHalf = static_cast<double>(n - k - 3) / 2.0;
    const double G = StatClass::alngam(&dHalf);
    return std::log(RSS / dN) + 2.0 * dK * std::log(dN) / dN + L / dN -
           2.0 * G / dN - (dK + 3.0) * std::log(RSS) / dN;
  });
}
