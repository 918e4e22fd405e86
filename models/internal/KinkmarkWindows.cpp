#include "models/internal/KinkmarkWindows.h"

#include <cstdint>

#include "models/MatrixBuilders.h"
#include "models/PositiveDefinite.h"

namespace km_models_internal {

KinkmarkWindow MakeKinkmarkWindow(const NEWMAT::ColumnVector& tau, int i,
                                  double dMinX, double dMaxX) {
  const int k = tau.Nrows();
  KinkmarkWindow window;
  // The 1.0 below the smallest x puts the smallest x itself inside window 1.
  window.lo = (i == 1) ? dMinX - 1.0 : tau(i - 1);
  window.hi = (i == k) ? dMaxX : tau(i + 1);
  return window;
}

void BuildWindowDesign(NEWMAT::Matrix& X, NEWMAT::ColumnVector& H,
                       NEWMAT::ColumnVector* R,
                       const OneDimensionArray<NEWMAT::ColumnVector>& values,
                       const OneDimensionArray<NEWMAT::ColumnVector>* responses,
                       const NEWMAT::Matrix& W, double tau, double lo,
                       double hi, double origin) {
  X.ReSize(0, 2);
  H.ReSize(0);
  if (R != nullptr) R->ReSize(0);

  // First pass: the global numbers of the window's observations.
  OneDimensionArray<int> selected;
  selected.Resize(count_TotalRows(values));
  int iCount = 0;
  int g = 0;
  for (int s = 0; s < values.GetSize(); ++s) {
    const NEWMAT::ColumnVector& x = values[s];
    for (int row = 1; row <= x.Nrows(); ++row) {
      ++g;  // every observation advances the global number
      const double dX = x(row);
      if (dX > lo && dX <= hi) selected[iCount++] = g;
    }
  }
  if (iCount == 0) return;

  // Second pass: the rows themselves, in the same order.
  NEWMAT::Matrix localX(iCount, 2);
  NEWMAT::ColumnVector localH(iCount);
  NEWMAT::ColumnVector localR(R != nullptr ? iCount : 0);
  int iRow = 0;
  for (int s = 0; s < values.GetSize(); ++s) {
    const NEWMAT::ColumnVector& x = values[s];
    for (int row = 1; row <= x.Nrows(); ++row) {
      const double dX = x(row);
      if (!(dX > lo && dX <= hi)) continue;
      ++iRow;
      localX(iRow, 1) = 1.0;
      localX(iRow, 2) = dX - origin;
      localH(iRow) = dX > tau ? dX - tau : 0.0;
      if (R != nullptr) localR(iRow) = (*responses)[s](row);
    }
  }

  OneDimensionArray<int> window;
  window.Resize(iCount);
  for (int a = 0; a < iCount; ++a) window[a] = selected[a];
  const NEWMAT::Matrix Wi = build_MatrixFromIndexRows(window, window, W);
  X = Wi * localX;
  H = Wi * localH;
  if (R != nullptr) *R = Wi * localR;
}

NEWMAT::Matrix LocalResidualProjector(const NEWMAT::Matrix& X) {
  const NEWMAT::Matrix S = X.t() * X;
  NEWMAT::Matrix G;
  int16_t iRank = 0;
  // Neither the answer nor the rank matters: a singular X'X is used
  // through its generalised inverse.
  isPositiveDefinite(S, G, iRank);
  return make_IdentityMatrix(X.Nrows()) - X * G * X.t();
}

double QuadraticForm(const NEWMAT::ColumnVector& a, const NEWMAT::Matrix& M,
                     const NEWMAT::ColumnVector& b) {
  const NEWMAT::Matrix product = a.t() * M * b;
  return product(1, 1);
}

}  // namespace km_models_internal
