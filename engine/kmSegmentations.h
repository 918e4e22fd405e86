// The segmentations of Hudson's method: the first admissible one and the
// continuity rows of one, shared by the search and the constraint table.
#ifndef KM_ENGINE_KMSEGMENTATIONS_H
#define KM_ENGINE_KMSEGMENTATIONS_H

#include <newmat.h>

#include <cstdint>

#include "foundation/KmException.h"
#include "foundation/kmTools.h"

namespace km_segmentations {

// Sets vP (k entries) to the first segmentation with k >= 1 kinkmarks,
// p_m = (a + 1) + (m - 1) g, for n observations, a observations kept at
// each end and kinkmarks g apart.
// Throws: KmException "There is no admissible segmentation with k kinkmarks
// for n observations." (source sClass) when it breaks the end limit
// p_k <= n - a - 1 (more observations needed than n), which would let the
// search fit a placement the options forbid.
// REQUIRES: k >= 1, g >= 2 (g - 2 observations between kinkmarks).
inline void FirstSegmentation(int16_t k, int a, int g, int n,
                              NEWMAT::ColumnVector& vP, const char* sClass) {
  if (kmTools::ObservationsForKinkmarks(k, a, g - 2, true) > n) {
    GenerateKmExceptionF(
        "There is no admissible segmentation with %d kinkmarks for %d "
        "observations.",
        sClass, static_cast<int>(k), n);
  }
  if (vP.Nrows() != k) vP.ReSize(k);
  for (int m = 1; m <= k; ++m) vP(m) = (a + 1) + (m - 1) * g;
}

// R (k x (2k + 2), resized when needed): row m is 1, x, -1, -x in columns
// 2m - 1 .. 2m + 2 and zero elsewhere, x the independent value (column 2
// of mX) of observation p_m, the last of piece m; R beta is then the gap
// between neighbouring pieces at their kinkmarks.
inline void ContinuityRows(const NEWMAT::Matrix& mX, int16_t k,
                           const NEWMAT::ColumnVector& vP, NEWMAT::Matrix& mR) {
  if (mR.Nrows() != k || mR.Ncols() != 2 * k + 2) mR.ReSize(k, 2 * k + 2);
  mR = 0.0;
  for (int s = 1; s <= k; ++s) {
    const double x = mX(static_cast<int>(vP(s)), 2);
    mR(s, 2 * s - 1) = 1.0;
    mR(s, 2 * s) = x;
    mR(s, 2 * s + 1) = -1.0;
    mR(s, 2 * s + 2) = -x;
  }
}

}  // namespace km_segmentations

#endif  // KM_ENGINE_KMSEGMENTATIONS_H
