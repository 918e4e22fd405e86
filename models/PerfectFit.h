// The one rule for a perfect fit: a weighted residual sum of squares at the
// level of rounding relative to the data.
//
// A fit that passes through every observation still reports a residual sum
// that rounding decides: a few units of the last place, positive or
// negative, and larger the further the data lie from zero. Comparing it with
// an exact 0.0 would let rounding choose between models that fit equally
// well, so every driver and criterion asks this rule instead.
#ifndef KM_MODELS_PERFECTFIT_H
#define KM_MODELS_PERFECTFIT_H

#include <newmat.h>

// The largest residual sum of a fit of the response y, weighted by the
// symmetric n x n matrix W, that counts as a perfect fit:
//   1e-12 x T + 1e4 eps^2 x y'Wy,
// where T is the weighted total sum of squares of y about its weighted
// mean 1'Wy / 1'W1 and eps is the machine epsilon of a double. The first
// term is the rounding of a fit's arithmetic relative to the spread of the
// data (noise-free series show up to about 1e-14 T); the second is the
// rounding of the values themselves, which dominates far from zero:
// residuals within about a hundred units in the last place of the values.
// A residual sum is a perfect fit when it is at most the bound; a NaN sum
// never is.
double calc_PerfectFitBound(const NEWMAT::ColumnVector& y,
                            const NEWMAT::Matrix& W);

// The same bound for a diagonal weighting: w holds the n weights.
double calc_PerfectFitBound(const NEWMAT::ColumnVector& y,
                            const NEWMAT::ColumnVector& w);

// The same bound from the two totals themselves: T about the weighted mean
// and the raw y'Wy. Where only y'Wy is known, passing it for both gives
// the widest bound that data with that total can have.
double calc_PerfectFitBound(double dTotalAboutMean, double dRawTotal);

#endif  // KM_MODELS_PERFECTFIT_H
