// Holds BaseKMRegModel::calc_FittedValueAt, calc_FittedValues,
// stack_ColumnVectors, calc_CumulativeVector, shift_AllVectors and
// get_mShfitInv: the small vector routines of the fitting core.
#include <newmat.h>

#include "foundation/KmMatrixErrors.h"
#include "models/BaseKMRegModel.h"
#include "models/MatrixBuilders.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

double BaseKMRegModel::calc_FittedValueAt(const ColumnVector& tau,
                                          const ColumnVector& delta,
                                          double slope, double x,
                                          double intercept) {
  return WithStandardCatch([&] {
    double value = intercept + slope * x;
    for (int i = 1; i <= tau.Nrows(); ++i) {
      // Read delta first so that a short delta fails whatever x is.
      const double d = delta(i);
      if (x > tau(i)) value += (x - tau(i)) * d;
    }
    return value;
  });
}

ColumnVector BaseKMRegModel::calc_FittedValues(const ColumnVector& tau,
                                               const ColumnVector& beta,
                                               int32_t s, int32_t i0,
                                               const ColumnVector& x) {
  return WithStandardCatch([&] {
    const double slope = beta(s);
    const int iChanges = beta.Nrows() - s;
    ColumnVector delta(iChanges > 0 ? iChanges : 0);
    for (int i = 1; i <= delta.Nrows(); ++i) delta(i) = beta(s + i);
    double intercept = 0.0;
    if (s == 2) {
      intercept = beta(1);
    } else if (i0 >= 1) {
      intercept = beta(i0);
    }
    ColumnVector fitted(x.Nrows());
    for (int i = 1; i <= x.Nrows(); ++i) {
      fitted(i) = calc_FittedValueAt(tau, delta, slope, x(i), intercept);
    }
    return fitted;
  });
}

ColumnVector BaseKMRegModel::stack_ColumnVectors(
    const OneDimensionArray<ColumnVector>& vectors) {
  return WithStandardCatch([&] { return stack_ColumnVectorArray(vectors); });
}

ColumnVector BaseKMRegModel::calc_CumulativeVector(const ColumnVector& a,
                                                   const ColumnVector& b) {
  return WithStandardCatch([&] {
    ColumnVector difference(a.Nrows());
    for (int i = 1; i <= a.Nrows(); ++i) difference(i) = a(i) - b(i);
    return difference;
  });
}

void BaseKMRegModel::shift_AllVectors(OneDimensionArray<ColumnVector>& vectors,
                                      double r) {
  WithStandardCatch([&] {
    for (int j = 0; j < vectors.GetSize(); ++j) {
      ColumnVector& v = vectors[j];
      for (int i = 1; i <= v.Nrows(); ++i) v(i) += r;
    }
  });
}

Matrix BaseKMRegModel::get_mShfitInv(int32_t k, int32_t n, double v) {
  return WithMatrixErrorsAsKm("BaseKMRegModel::get_mShfitInv()", [&] {
    return WithStandardCatch([&] {
      // The matrix library accepts a negative order silently; no rows
      // is the only sensible answer.
      const int iOrder = n > 0 ? n : 0;
      Matrix shift(iOrder, iOrder);
      shift = 0.0;
      for (int i = 1; i <= iOrder; ++i) shift(i, i) = 1.0;
      for (int r = 1; r <= k - 1; ++r) shift(r, k) = v;
      return shift;
    });
  });
}
