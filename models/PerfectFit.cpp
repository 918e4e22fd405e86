// calc_PerfectFitBound.
#include "models/PerfectFit.h"

#include <algorithm>
#include <limits>

namespace {

// Share of the total sum of squares about the mean left by the rounding of a
// fit's arithmetic, with a wide margin over what noise-free series show.
constexpr double kFitRounding = 1e-12;
// Squared number of units in the last place that a residual of a perfect fit
// may keep from the rounding of the values.
constexpr double kValueUlpsSquared = 1e4;

// The bound from the weighted total about the mean and the raw y'Wy.
double BoundFrom(double dAboutMean, double dRaw) {
  const double eps = std::numeric_limits<double>::epsilon();
  return kFitRounding * std::max(dAboutMean, 0.0) +
         kValueUlpsSquared * eps * eps * std::max(dRaw, 0.0);
}

double WeightedMean(double dOnesWy, double dOnesW1) {
  return dOnesW1 > 0.0 ? dOnesWy / dOnesW1 : 0.0;
}

}  // namespace

double calc_PerfectFitBound(const NEWMAT::ColumnVector& y,
                            const NEWMAT::Matrix& W) {
  const int n = y.Nrows();
  if (n < 1 || W.Nrows() != n || W.Ncols() != n) return 0.0;
  const NEWMAT::ColumnVector Wy = W * y;
  double dOnesW1 = 0.0;
  double dOnesWy = 0.0;
  for (int i = 1; i <= n; ++i) {
    dOnesWy += Wy(i);
    for (int j = 1; j <= n; ++j) dOnesW1 += W(i, j);
  }
  NEWMAT::ColumnVector d = y;
  d -= WeightedMean(dOnesWy, dOnesW1);
  // About the mean, so that the total keeps its precision at any level.
  const double dAboutMean = (d.t() * W * d).AsScalar();
  return BoundFrom(dAboutMean, NEWMAT::DotProduct(y, Wy));
}

double calc_PerfectFitBound(const NEWMAT::ColumnVector& y,
                            const NEWMAT::ColumnVector& w) {
  const int n = y.Nrows();
  if (n < 1 || w.Nrows() != n) return 0.0;
  double dOnesW1 = 0.0;
  double dOnesWy = 0.0;
  double dRaw = 0.0;
  for (int i = 1; i <= n; ++i) {
    dOnesW1 += w(i);
    dOnesWy += w(i) * y(i);
    dRaw += w(i) * y(i) * y(i);
  }
  const double dMean = WeightedMean(dOnesWy, dOnesW1);
  double dAboutMean = 0.0;
  for (int i = 1; i <= n; ++i) {
    const double d = y(i) - dMean;
    dAboutMean += w(i) * d * d;
  }
  return BoundFrom(dAboutMean, dRaw);
}

double calc_PerfectFitBound(double dTotalAboutMean, double dRawTotal) {
  return BoundFrom(dTotalAboutMean, dRawTotal);
}
