// km_plain: the weighted cross products of the searches on plain row-major
// arrays, summed in the order of the matrix library's products, so that
// each element equals the library's to the last bit without its
// temporaries (a search of one data set is otherwise mostly their cost).
#ifndef KM_ENGINE_KMPLAINPRODUCTS_H
#define KM_ENGINE_KMPLAINPRODUCTS_H

#include "session/kmErrorModel.h"

namespace km_plain {

// out (n x D) = W* Y for Y (n x D): uncorrelated, row i of Y times
// v(i) W(i,i) v(i); under the variance-covariance matrix W Y; otherwise W,
// its diagonal scaled by v(i)^2, times Y. W is n x n; pV (n values) is not
// read under the variance-covariance matrix.
void WeightRows(const double* pY, int n, int D, kmAutocorrErrors mode,
                const double* pW, const double* pV, double* pOut);

// out (iColsA x D) = A' B for A (n rows of iStrideA values, its first
// iColsA columns) and B (n x D): element (i, c) is summed over the rows in
// order, starting from the first row's product.
void TransposeTimes(const double* pA, int n, int iColsA, int iStrideA,
                    const double* pB, int D, double* pOut);

}  // namespace km_plain

#endif  // KM_ENGINE_KMPLAINPRODUCTS_H
