// Holds calc_WeightMatrices_ByErrorType, build_GroupWeightMatrices and
// calc_WeightMatrices_ForTable.
#include "models/WeightMatrices.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

void FillIndependent(Matrix& omega, Matrix& V, Matrix& P1, Matrix& P2,
                     const ColumnVector& variances) {
  for (int i = 1; i <= variances.Nrows(); ++i) {
    omega(i, i) = 1.0 / variances(i);
    V(i, i) = variances(i);
    P1(i, i) = std::sqrt(omega(i, i));
    P2(i, i) = 1.0 / P1(i, i);
  }
}

// First-order autocorrelated errors. The first row is written by its own
// rule even when n = 1, where its column 2 does not exist: the index error
// tells the caller that one observation cannot carry an autocorrelation.
void FillAutocorrelated(Matrix& omega, Matrix& V, Matrix& P1, Matrix& P2,
                        const ColumnVector& variances, double r) {
  const int n = variances.Nrows();
  if (n == 0) return;
  const double a = 1.0 - r * r;
  const double b = std::sqrt(1.0 - r * r);
  const double e = 1.0 + r * r;
  auto s = [&variances](int i) { return std::sqrt(variances(i)); };

  omega(1, 1) = 1.0 / (s(1) * s(1) * a);
  omega(1, 2) = -r / (s(1) * s(2) * a);
  P1(1, 1) = 1.0 / (s(1) * b);
  P1(1, 2) = -r / (s(2) * b);
  for (int i = 2; i < n; ++i) {
    omega(i, i) = e / (s(i) * s(i) * a);
    omega(i, i - 1) = -r / (s(i) * s(i - 1) * a);
    omega(i, i + 1) = -r / (s(i) * s(i + 1) * a);
    P1(i, i) = 1.0 / (s(i) * b);
    P1(i, i + 1) = -r / (s(i + 1) * b);
  }
  if (n >= 2) {
    omega(n, n) = 1.0 / (s(n) * s(n) * a);
    omega(n, n - 1) = -r / (s(n - 1) * s(n) * a);
    P1(n, n) = 1.0 / s(n);
  }
  // P2 = P1^-1: rows 1..n-1 scaled by b except in the last column.
  for (int i = 1; i < n; ++i) {
    P2(i, i) = s(i) * b;
    for (int j = i + 1; j < n; ++j) {
      P2(i, j) = std::pow(r, static_cast<double>(j - i)) * s(i) * b;
    }
    P2(i, n) = std::pow(r, static_cast<double>(n - i)) * s(i);
  }
  P2(n, n) = s(n);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      V(i, j) = i == j ? s(i) * s(i)
                       : std::pow(r, static_cast<double>(std::abs(j - i))) *
                             s(i) * s(j);
    }
  }
}

}  // namespace

void calc_WeightMatrices_ByErrorType(Matrix& omega, Matrix& V, Matrix& P1,
                                     Matrix& P2, const ColumnVector& variances,
                                     double r, int32_t errorType) {
  WithStandardCatch([&] {
    if (errorType != 0 && errorType != 1 && errorType != 2) return;
    const int n = variances.Nrows();
    for (Matrix* m : {&omega, &V, &P1, &P2}) {
      m->ReSize(n, n);
      *m = 0.0;
    }
    if (errorType == 0) {
      FillIndependent(omega, V, P1, P2, variances);
    } else {
      FillAutocorrelated(omega, V, P1, P2, variances, r);
    }
  });
}

void build_GroupWeightMatrices(
    OneDimensionArray<Matrix>& omega, OneDimensionArray<Matrix>& V,
    OneDimensionArray<Matrix>& P1, OneDimensionArray<Matrix>& P2,
    const OneDimensionArray<OneDimensionArray<int>>& groupRows,
    const ColumnVector& variances, const ColumnVector& rhos,
    int32_t errorType) {
  WithStandardCatch([&] {
    const int G = groupRows.GetSize();
    omega.Resize(G + 1);
    V.Resize(G + 1);
    P1.Resize(G + 1);
    P2.Resize(G + 1);
    int iTotal = 0;
    for (int g = 0; g < G; ++g) iTotal += groupRows[g].GetSize();
    ColumnVector all(iTotal);
    int iRow = 0;
    for (int g = 0; g < G; ++g) {
      const OneDimensionArray<int>& rows = groupRows[g];
      ColumnVector group(rows.GetSize());
      for (int i = 0; i < rows.GetSize(); ++i) {
        group(i + 1) = variances(rows[i]);
        all(++iRow) = group(i + 1);
      }
      calc_WeightMatrices_ByErrorType(omega[g + 1], V[g + 1], P1[g + 1],
                                      P2[g + 1], group, rhos(g + 2), errorType);
    }
    calc_WeightMatrices_ByErrorType(omega[0], V[0], P1[0], P2[0], all, rhos(1),
                                    errorType);
  });
}

void calc_WeightMatrices_ForTable(Matrix& omega, Matrix& V, Matrix& P1,
                                  Matrix& P2,
                                  const NEWMAT::SymmetricMatrix& covariance,
                                  double r, int32_t errorType) {
  WithStandardCatch([&] {
    ColumnVector variances(covariance.Nrows());
    for (int i = 1; i <= covariance.Nrows(); ++i) {
      variances(i) = covariance(i, i);
    }
    calc_WeightMatrices_ByErrorType(omega, V, P1, P2, variances, r, errorType);
  });
}
