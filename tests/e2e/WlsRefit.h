// An ordinary weighted least-squares fit of a continuous piecewise-linear
// model with given kinkmarks, written apart from the engine so that the
// whole-run tests can check the engine's figures against it.
#ifndef KM_TESTS_E2E_WLSREFIT_H
#define KM_TESTS_E2E_WLSREFIT_H

#include <string>
#include <vector>

namespace km_e2e {

struct Series {
  std::vector<double> x, y, w;  // independent value, response, weight
};

struct Refitted {
  double dSSE = 0.0;               // weighted residual sum of squares
  std::vector<double> intercepts;  // per segment, on the x scale
  std::vector<double> slopes;      // per segment
  std::vector<double> residuals;   // y - fitted, per observation
  int nParams = 0;                 // coefficients fitted
  // The step and its diagonal element of (X'WX)^-1.
  double dJump = 0.0, dJumpInverse = 0.0;
};

// Fits y = b0 + b1 x + sum_j d_j (x - k_j)+ by weighted least squares
// (Householder QR of the weighted design) and returns the fit per segment.
// A jump location dJumpAt other than 0 adds a step of 1 from it on.
Refitted FitWithKinkmarks(const Series& series,
                          const std::vector<double>& kinkmarks,
                          double dJumpAt = 0.0);

// The weighted residual sum of squares of the generalised least-squares fit
// of the same model under AR(1) errors: covariance S C S, S = diag(w^-1/2)
// and C_ij = phi^|i - j|, solved through the Cholesky factor of S C S.
double ArOneSSE(const Series& series, const std::vector<double>& kinkmarks,
                double dPhi);

// Standard errors of the segment coefficients (intercepts on the x scale)
// and of the slope change at each kinkmark, the kinkmarks held fixed: a
// weighted fit with a free intercept and slope per segment (segment s takes
// k_(s-1) < x <= k_s) and the step of dJumpAt (when not 0), in which an
// observation within h = 0.117 n (ln ln n)^0.6 / (2 sqrt n) of a kinkmark
// counts by the factor |x - k| / h, because the kinkmark's location is
// itself estimated; the mean square has sum(factors) - coefficients degrees
// of freedom. A step that repeats a segment's level there is left out;
// jump is the step's standard error (0 when left out), df those degrees of
// freedom.
struct SegmentErrors {
  std::vector<double> intercepts, slopes, slopeChanges;
  double jump = 0.0, df = 0.0;
};
SegmentErrors SegmentStdErrors(const Series& series,
                               const std::vector<double>& kinkmarks,
                               double dJumpAt = 0.0);

// The kinkmarks between observations moved to where the weighted residual
// sum beyond each of them vanishes, the condition of a least-squares
// optimum over the locations (the derivative of the SSE in a location is
// proportional to that sum); kinkmarks on an observation stay.
std::vector<double> OptimalKinkmarks(const Series& series,
                                     std::vector<double> kinkmarks);

// How the response and weights of a cohort are made from the columns site,
// year, rate, standard error, count, population of the acceptance data, or
// from the age groups of the age-adjusted data.
enum class Response {
  kRateStdError,  // rate, weight 1 / se^2
  kRateConstant,  // rate, weight 1
  kPoissonRate,   // count / population x rates per n, variance of a count
  kPoissonCount,  // count, variance count
  kAgeAdjusted,   // rate over age groups by the standard population
};

// The series of every site code (1, 2, ...) of a comma-separated data file,
// on the log scale when bLog; Poisson rates are per dRatesPerN.
std::vector<Series> ReadSeries(const std::string& sPath, Response response,
                               bool bLog, double dRatesPerN = 1e5);

}  // namespace km_e2e

#endif  // KM_TESTS_E2E_WLSREFIT_H
