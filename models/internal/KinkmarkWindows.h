// The local windows of the kinkmark statistics of BaseKMRegModel and
// BestKMRegModel: which observations judge kinkmark i, their weighted local
// design, and the residual projector of the local straight line.
#ifndef KM_MODELS_INTERNAL_KINKMARKWINDOWS_H
#define KM_MODELS_INTERNAL_KINKMARKWINDOWS_H

#include <newmat.h>

#include "foundation/OneDimensionArray.h"

namespace km_models_internal {

// The window lo < x <= hi of one kinkmark.
struct KinkmarkWindow {
  double lo = 0.0;
  double hi = 0.0;
};

// The window of kinkmark i (1-based) of the ascending locations tau:
//   lo = (smallest x) - 1 for i = 1, else tau(i - 1);
//   hi = largest x for i = k, else tau(i + 1).
// dMinX and dMaxX are the smallest and largest x of all series.
KinkmarkWindow MakeKinkmarkWindow(const NEWMAT::ColumnVector& tau, int i,
                                  double dMinX, double dMaxX);

// Empties X (to 0 x 2), H and, when given, R; then collects every
// observation (series in order, rows in order) with lo < x <= hi: a row
// (1, x - origin) of X, the entry (x - tau)+ of H and its response in R.
// Finally all outputs are premultiplied by W at the rows and columns of the
// collected observations' global numbers. responses and R are both null or both
// set. Throws: the matrix library's index error when W is smaller than the
// total number of observations, or a response vector shorter than its
// series. Every origin gives X the same columns' span, so the same local
// line; an origin inside the window (its kinkmark) keeps X'X well
// conditioned however far x lies from 0.
void BuildWindowDesign(NEWMAT::Matrix& X, NEWMAT::ColumnVector& H,
                       NEWMAT::ColumnVector* R,
                       const OneDimensionArray<NEWMAT::ColumnVector>& values,
                       const OneDimensionArray<NEWMAT::ColumnVector>* responses,
                       const NEWMAT::Matrix& W, double tau, double lo,
                       double hi, double origin = 0.0);

// M = I - X (X'X)^- X' for the n x 2 local design X, (X'X)^- the
// generalised inverse of isPositiveDefinite (a singular X'X, as from a
// window with one distinct x, is used through it).
// REQUIRES: X has at least one row.
NEWMAT::Matrix LocalResidualProjector(const NEWMAT::Matrix& X);

// The single entry of the 1 x 1 product a' M b.
double QuadraticForm(const NEWMAT::ColumnVector& a, const NEWMAT::Matrix& M,
                     const NEWMAT::ColumnVector& b);

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_KINKMARKWINDOWS_H
