#include "models/internal/DesignColumns.h"

#include <cmath>

#include "foundation/KmException.h"

namespace km_models_internal {

int32_t CountStackedObservations(
    const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
    const OneDimensionArray<NEWMAT::ColumnVector>& yValues,
    const char* sSource) {
  if (xValues.GetSize() != yValues.GetSize()) {
    GenerateKmExceptionF(
        "The data hold %d series of independent values but %d of responses.",
        sSource, static_cast<int>(xValues.GetSize()),
        static_cast<int>(yValues.GetSize()));
  }
  int32_t iTotal = 0;
  for (int j = 0; j < xValues.GetSize(); ++j) {
    if (xValues[j].Nrows() != yValues[j].Nrows()) {
      GenerateKmExceptionF(
          "Series %d has %d independent values but %d responses.", sSource,
          j + 1, xValues[j].Nrows(), yValues[j].Nrows());
    }
    iTotal += xValues[j].Nrows();
  }
  return iTotal;
}

void BuildKinkmarkDesign(NEWMAT::Matrix& X, NEWMAT::ColumnVector& allX,
                         NEWMAT::ColumnVector& allY,
                         const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
                         const OneDimensionArray<NEWMAT::ColumnVector>& yValues,
                         int32_t p, const NEWMAT::ColumnVector& tau,
                         int32_t modelType, int32_t jump, double jumpLocation,
                         int32_t splineCode, const char* sSource) {
  X.ReSize(0, 0);
  allX.ReSize(0);
  allY.ReSize(0);
  const int32_t N = CountStackedObservations(xValues, yValues, sSource);
  // Column p holds x, so at least that column must exist.
  if (p < 1) {
    GenerateKmExceptionF("The design needs at least one base column (p = %d).",
                         sSource, p);
  }
  const int32_t k = tau.Nrows();
  const int32_t q0 = p + k + (jump != 0 ? 1 : 0);
  const int32_t q = q0 + (splineCode == 2 ? 2 * (k + 1) : 0);

  NEWMAT::Matrix design(N, q);
  design = 0.0;
  allX.ReSize(N);
  allY.ReSize(N);
  int32_t r = 0;
  for (int j = 0; j < xValues.GetSize(); ++j) {
    const NEWMAT::ColumnVector& x = xValues[j];
    const NEWMAT::ColumnVector& y = yValues[j];
    for (int i = 1; i <= x.Nrows(); ++i) {
      ++r;
      allX(r) = x(i);
      allY(r) = y(i);
      for (int l = 1; l <= p - 1; ++l) {
        design(r, l) = (modelType == 1 || l == j + 1) ? 1.0 : 0.0;
      }
      design(r, p) = x(i);
    }
  }
  // Hinge columns: (x - tau_i)+, zero at tau_i itself.
  for (int i = 1; i <= k; ++i) {
    for (r = 1; r <= N; ++r) {
      const double d = design(r, p) - tau(i);
      design(r, p + i) = d > 0.0 ? d : 0.0;
    }
  }
  // The step is already on at the jump location itself.
  if (jump != 0) {
    for (r = 1; r <= N; ++r) {
      design(r, p + k + 1) = design(r, p) - jumpLocation >= 0.0 ? 1.0 : 0.0;
    }
  }
  if (splineCode == 2) {
    for (int t = 0; t <= k; ++t) {
      for (r = 1; r <= N; ++r) {
        const double v = design(r, p + t);
        design(r, q0 + 1 + t) = std::pow(v, 2.0);
        design(r, q0 + k + 2 + t) = std::pow(v, 3.0);
      }
    }
  }
  X = design;
}

}  // namespace km_models_internal
