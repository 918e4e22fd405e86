// calc_NormalQuantile, calc_NormalCDF, calc_NormalUpperTail,
// calc_TQuantile, calc_TCDF, calc_TUpperTail, TwoSidedPValue,
// calc_FQuantile, calc_FUpperTail.
#include "models/DistributionWrappers.h"

#include "stats/StatClass.h"

namespace {

// StatClass selectors: compute the probabilities from the value, or the
// value from the probabilities.
constexpr int kProbabilitiesFromValue = 1;
constexpr int kValueFromProbabilities = 2;

}  // namespace

double calc_NormalQuantile(double p, double dMean, double dSD) {
  if (!(p > 0.0 && p < 1.0 && dSD > 0.0)) return kInvalidDistributionValue;
  int iWhich = kValueFromProbabilities;
  double dP = p;
  double dQ = 1.0 - p;
  double dX = 0.0;
  int iStatus = 0;
  double dBound = 0.0;
  StatClass::cdfnor(&iWhich, &dP, &dQ, &dX, &dMean, &dSD, &iStatus, &dBound);
  return iStatus == 0 ? dX : kInvalidDistributionValue;
}

namespace {

// The pair (P(N(dMean, dSD^2) <= x), the upper tail) for x >= 0 and
// dSD > 0; false when the arguments lie outside that or StatClass fails.
bool NormalProbabilities(double x, double dMean, double dSD, double& dP,
                         double& dQ) {
  if (!(x >= 0.0 && dSD > 0.0)) return false;
  int iWhich = kProbabilitiesFromValue;
  int iStatus = 0;
  double dBound = 0.0;
  StatClass::cdfnor(&iWhich, &dP, &dQ, &x, &dMean, &dSD, &iStatus, &dBound);
  return iStatus == 0;
}

// The same pair for Student t: P(T_df <= t) and the upper tail.
bool TProbabilities(double t, double dDF, double& dP, double& dQ) {
  if (!(t >= 0.0 && dDF > 0.0)) return false;
  try {
    StatClass stat;
    int iWhich = kProbabilitiesFromValue;
    int iStatus = 0;
    double dBound = 0.0;
    stat.cdft(&iWhich, &dP, &dQ, &t, &dDF, &iStatus, &dBound);
    return iStatus == 0;
  } catch (...) {
    return false;
  }
}

}  // namespace

double calc_NormalCDF(double x, double dMean, double dSD) {
  double dP = 0.0;
  double dQ = 0.0;
  return NormalProbabilities(x, dMean, dSD, dP, dQ) ? dP
                                                    : kInvalidDistributionValue;
}

double calc_NormalUpperTail(double x, double dMean, double dSD) {
  double dP = 0.0;
  double dQ = 0.0;
  return NormalProbabilities(x, dMean, dSD, dP, dQ) ? dQ
                                                    : kInvalidDistributionValue;
}

double calc_TQuantile(double p, double dDF) {
  if (!(p > 0.0 && p < 1.0 && dDF > 0.0)) return kInvalidDistributionValue;
  try {
    StatClass stat;
    int iWhich = kValueFromProbabilities;
    double dP = p;
    double dQ = 1.0 - p;
    double dT = 0.0;
    int iStatus = 0;
    double dBound = 0.0;
    stat.cdft(&iWhich, &dP, &dQ, &dT, &dDF, &iStatus, &dBound);
    return iStatus == 0 ? dT : kInvalidDistributionValue;
  } catch (...) {
    return kInvalidDistributionValue;
  }
}

double calc_TCDF(double t, double dDF) {
  double dP = 0.0;
  double dQ = 0.0;
  return TProbabilities(t, dDF, dP, dQ) ? dP : kInvalidDistributionValue;
}

double calc_TUpperTail(double t, double dDF) {
  double dP = 0.0;
  double dQ = 0.0;
  return TProbabilities(t, dDF, dP, dQ) ? dQ : kInvalidDistributionValue;
}

double TwoSidedPValue(double dUpperTail) {
  // A tail that could not be computed leaves the p-value missing.
  if (dUpperTail == kInvalidDistributionValue) return kInvalidDistributionValue;
  return 2.0 * dUpperTail;
}

double calc_FQuantile(double p, int iDF1, int iDF2) {
  if (!(p > 0.0 && p < 1.0 && iDF1 > 0 && iDF2 > 0)) {
    return kInvalidDistributionValue;
  }
  try {
    StatClass stat;
    int iWhich = kValueFromProbabilities;
    double dP = p;
    double dQ = 1.0 - p;
    double dF = 0.0;
    double dDF1 = iDF1;
    double dDF2 = iDF2;
    int iStatus = 0;
    double dBound = 0.0;
    stat.cdff(&iWhich, &dP, &dQ, &dF, &dDF1, &dDF2, &iStatus, &dBound);
    return iStatus == 0 ? dF : kInvalidDistributionValue;
  } catch (...) {
    return kInvalidDistributionValue;
  }
}

double calc_FUpperTail(double f, int iDF1, int iDF2) {
  if (!(f > 0.0 && iDF1 > 0 && iDF2 > 0)) return kInvalidDistributionValue;
  try {
    StatClass stat;
    int iWhich = kProbabilitiesFromValue;
    double dP = 0.0;
    double dQ = 0.0;
    double dDF1 = iDF1;
    double dDF2 = iDF2;
    int iStatus = 0;
    double dBound = 0.0;
    stat.cdff(&iWhich, &dP, &dQ, &f, &dDF1, &dDF2, &iStatus, &dBound);
    return iStatus == 0 ? dQ : kInvalidDistributionValue;
  } catch (...) {
    return kInvalidDistributionValue;
  }
}
