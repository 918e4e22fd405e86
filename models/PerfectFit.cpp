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
  const double dMean = dOnesW1 > 0.0 ? dOnesWy / dOnesW1 : 0.0;
  NEWMAT::ColumnVector d = y;
  d -= dMean;
  // About the mean, so that the total keeps its precision at any level.
  const double dAboutMean = (d.t() * W * d).AsScalar();
  const double dRaw = NEWMAT::DotProduct(y, Wy);
  const double eps = std::numeric_limits<double>::epsilon();
  return kFitRounding * std::max(dAboutMean, 0.0) +
         kValueUlpsSquared * eps * eps * std::max(dRaw, 0.0);
}
