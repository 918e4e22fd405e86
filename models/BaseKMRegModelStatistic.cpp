// BaseKMRegModel: build_StatisticDesign, calc_ModelStatistic.
//
// How strongly the observations near kinkmark i support it, judged only
// inside its window lo_i < x <= hi_i between the neighbouring kinkmarks:
//   lo_1 = (smallest x of all series) - 1,  lo_i = tau(i - 1) for i > 1;
//   hi_k = largest x of all series,         hi_i = tau(i + 1) for i < k.
// In the window a straight line is fitted under the weighting matrix; the
// local design rows are (1, x - tau_i) (the line of rows (1, x), with x
// measured from the kinkmark so that X'X stays well conditioned however far
// x lies from 0) and the hinge column is (x - tau_i)+, both
// premultiplied by W_i (W at the rows and columns of the window's global
// observation numbers: all series in order, rows in order). With
// M = I - X (X'X)^- X' ((X'X)^- the generalised inverse of
// isPositiveDefinite), M H is the part of the hinge column the local line
// does not explain.
#include "models/BaseKMRegModel.h"
#include "models/ModelNumerics.h"
#include "models/internal/KinkmarkWindows.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::BuildWindowDesign;
using km_models_internal::KinkmarkWindow;
using km_models_internal::LocalResidualProjector;
using km_models_internal::MakeKinkmarkWindow;
using km_models_internal::QuadraticForm;
using km_models_internal::WithStandardCatch;

void BaseKMRegModel::build_StatisticDesign(
    NEWMAT::Matrix& X, NEWMAT::ColumnVector& H,
    const OneDimensionArray<NEWMAT::ColumnVector>& values,
    const NEWMAT::Matrix& W, double tau, double lo, double hi) {
  WithStandardCatch([&] {
    BuildWindowDesign(X, H, nullptr, values, nullptr, W, tau, lo, hi);
  });
}

double BaseKMRegModel::calc_ModelStatistic(
    const OneDimensionArray<NEWMAT::ColumnVector>& values,
    const NEWMAT::Matrix& W, const NEWMAT::ColumnVector& beta,
    const NEWMAT::ColumnVector& tau, double sigma2) {
  return WithStandardCatch([&] {
    const int k = tau.Nrows();
    if (k <= 0) return 0.0;
    const double dMinX = find_MinOfVectorArray(values);
    const double dMaxX = find_MaxOfVectorArray(values);
    double dSmallest = 0.0;
    for (int i = 1; i <= k; ++i) {
      const KinkmarkWindow window = MakeKinkmarkWindow(tau, i, dMinX, dMaxX);
      NEWMAT::Matrix X;
      NEWMAT::ColumnVector H;
      BuildWindowDesign(X, H, nullptr, values, nullptr, W, tau(i), window.lo,
                        window.hi, tau(i));
      double dStatistic = 0.0;
      if (X.Nrows() > 0) {
        // q / sigma2 is the inverse of the slope change's variance as the
        // window's data alone would estimate it.
        const double q = QuadraticForm(H, LocalResidualProjector(X), H);
        const double dChange = beta(i + 2);
        dStatistic = dChange * dChange * q / sigma2;
      }
      if (i == 1 || dStatistic < dSmallest) dSmallest = dStatistic;
    }
    return dSmallest;
  });
}
