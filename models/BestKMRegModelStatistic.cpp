// BestKMRegModel: find_KinkmarkWindow, build_StatisticDesign,
// calc_ModelStatistic.
#include "models/BestKMRegModel.h"
#include "models/ModelNumerics.h"
#include "models/internal/KinkmarkWindows.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::BuildWindowDesign;
using km_models_internal::KinkmarkWindow;
using km_models_internal::LocalResidualProjector;
using km_models_internal::MakeKinkmarkWindow;
using km_models_internal::QuadraticForm;
using km_models_internal::WithStandardCatch;

namespace {

// Products below this are taken as a window without information (a single
// observation, or a hinge column the local line explains).
constexpr double kSmallestDenominator = 1e-100;

}  // namespace

void BestKMRegModel::find_KinkmarkWindow(const NEWMAT::ColumnVector& tau, int i,
                                         double dMinX, double dMaxX, double& lo,
                                         double& hi) {
  const KinkmarkWindow window = MakeKinkmarkWindow(tau, i, dMinX, dMaxX);
  lo = window.lo;
  hi = window.hi;
}

void BestKMRegModel::build_StatisticDesign(
    NEWMAT::Matrix& X, NEWMAT::ColumnVector& R, NEWMAT::ColumnVector& H,
    const OneDimensionArray<NEWMAT::ColumnVector>& values,
    const OneDimensionArray<NEWMAT::ColumnVector>& responses,
    const NEWMAT::Matrix& W, double tau, double lo, double hi, double origin) {
  WithStandardCatch([&] {
    BuildWindowDesign(X, H, &R, values, &responses, W, tau, lo, hi, origin);
  });
}

void BestKMRegModel::calc_ModelStatistic(
    NEWMAT::ColumnVector& result,
    const OneDimensionArray<NEWMAT::ColumnVector>& values,
    const OneDimensionArray<NEWMAT::ColumnVector>& responses,
    const NEWMAT::Matrix& W, const NEWMAT::ColumnVector& tau) {
  WithStandardCatch([&] {
    const int k = tau.Nrows();
    if (k <= 0) return;
    const double dMinX = find_MinOfVectorArray(values);
    const double dMaxX = find_MaxOfVectorArray(values);
    for (int i = 1; i <= k; ++i) {
      result(i) = 0.0;
      const KinkmarkWindow window = MakeKinkmarkWindow(tau, i, dMinX, dMaxX);
      NEWMAT::Matrix X;
      NEWMAT::ColumnVector R;
      NEWMAT::ColumnVector H;
      BuildWindowDesign(X, H, &R, values, &responses, W, tau(i), window.lo,
                        window.hi, tau(i));
      if (X.Nrows() == 0) continue;
      const NEWMAT::Matrix M = LocalResidualProjector(X);
      const double a = QuadraticForm(H, M, H);
      const double b = QuadraticForm(R, M, R);
      const double c = QuadraticForm(R, M, H);
      if (a * b > kSmallestDenominator) result(i) = c * c / (a * b);
    }
  });
}
