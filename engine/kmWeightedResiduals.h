// kmWeightedResiduals: the weighting of raw residuals shared by the
// residual passes of the cohort and comparison fits.
#ifndef KM_ENGINE_KMWEIGHTEDRESIDUALS_H
#define KM_ENGINE_KMWEIGHTEDRESIDUALS_H

#include <newmat.h>

#include "session/kmErrorModel.h"

// Sets row iRow, columns 1..n, of mResid to the weighted residuals A e of
// the raw residuals e(1..n). With uncorrelated errors A is
// diagonal and only its diagonal is read.
inline void WeightResiduals(const NEWMAT::Matrix& mA,
                            const NEWMAT::ColumnVector& e, int n,
                            kmAutocorrErrors mode, int iRow,
                            NEWMAT::Matrix& mResid) {
  for (int i = 1; i <= n; ++i) {
    if (mode == kmAutocorrErrors::kUncorrelated) {
      mResid(iRow, i) = e(i) * mA(i, i);
    } else {
      double dSum = 0.0;
      for (int j = 1; j <= n; ++j) dSum += mA(i, j) * e(j);
      mResid(iRow, i) = dSum;
    }
  }
}

#endif  // KM_ENGINE_KMWEIGHTEDRESIDUALS_H
