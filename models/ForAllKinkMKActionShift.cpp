// ForAllKinkMKAction: shift_XValues.
#include "models/ForAllKinkMKAction.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

// Adds c to every element of m (vectors included).
void AddToEveryElement(NEWMAT::Matrix& m, double c) {
  for (int r = 1; r <= m.Nrows(); ++r) {
    for (int col = 1; col <= m.Ncols(); ++col) m(r, col) += c;
  }
}

}  // namespace

void ForAllKinkMKAction::shift_XValues(
    OneDimensionArray<NEWMAT::ColumnVector>& xValues, KinkMKFitResult& result,
    double c) {
  WithStandardCatch([&] {
    for (int s = 0; s < xValues.GetSize(); ++s) {
      NEWMAT::ColumnVector& x = xValues[s];
      for (int i = 1; i <= x.Nrows(); ++i) x(i) += c;
    }
    AddToEveryElement(result.tauLimits, c);
    for (int i = 1; i <= result.tau.Nrows(); ++i) result.tau(i) += c;

    const int p = result.p;
    if (p > 1) {
      // b(p) itself is not moved.
      const double slope = result.beta(p);
      for (int i = 1; i <= p - 1; ++i) result.beta(i) -= slope * c;
    }

    if (result.settings.jump != 0) result.settings.jumpLocation += c;
  });
}
