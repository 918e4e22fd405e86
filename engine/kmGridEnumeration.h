// kmGridEnumeration: the enumeration shared by the calculator's exhaustive
// grid searches (GridSearch and GridSearchForHudsons), so that both fit the
// same models from the same cross products.
#ifndef KM_ENGINE_KMGRIDENUMERATION_H
#define KM_ENGINE_KMGRIDENUMERATION_H

#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "foundation/KmProgressInterface.h"

namespace km_grid {

// Kinkmarks are placed at levels 0..8 of the recursion; the fit is made at
// the last level.
constexpr uint16_t kFitLevel = 8;
constexpr uint16_t kMaxKinkmarks = kFitLevel + 1;
// Offset between a candidate index and its column in the design.
constexpr double kColumnOffset = 2.0;

// True when pProgress (may be null) reports a cancellation.
inline bool Cancelled(const KmProgressInterface* pProgress) {
  return pProgress != nullptr && pProgress->IsCancelled();
}

// The first candidate of the kinkmark after the one at candidate c, at
// recursion level iLevel of a k-kinkmark search over iK candidates: past
// the spacing index vGridAux(c) and never c itself, since with no
// observations required between kinkmarks the spacing index can point at
// the candidate itself, which would fit the same hinge twice. The last
// kinkmark's level only runs the remaining levels to iK.
inline uint16_t NextFirstCandidate(uint16_t iLevel, uint16_t k, int16_t iK,
                                   int c,
                                   const NEWMAT::ColumnVector& vGridAux) {
  return k <= iLevel + 1 ? static_cast<uint16_t>(iK)
                         : static_cast<uint16_t>(
                               std::max(std::trunc(vGridAux(c)), c + 1.0));
}

// Sets up the work of a search fitting iNumCols design columns to
// iDataSets data sets: vCols holds the base columns 1 and 2 and zeros,
// mXWXWork (iNumCols x iNumCols) and mXWYWork (iNumCols x iDataSets) the
// cross products of the base columns and zeros elsewhere, so that no
// stale value is left outside what each model fills.
inline void StartCandidateWork(const NEWMAT::SymmetricMatrix& mXWX,
                               const NEWMAT::Matrix& mXWYAll, int iNumCols,
                               int iDataSets, NEWMAT::RowVector& vCols,
                               NEWMAT::Matrix& mXWXWork,
                               NEWMAT::Matrix& mXWYWork) {
  vCols.ReSize(iNumCols);
  vCols = 0.0;
  vCols(1) = 1.0;
  vCols(2) = 2.0;
  mXWYWork.ReSize(iNumCols, iDataSets);
  mXWYWork = 0.0;
  mXWXWork.ReSize(iNumCols, iNumCols);
  mXWXWork = 0.0;
  for (int r = 1; r <= 2; ++r) {
    for (int d = 1; d <= iDataSets; ++d) mXWYWork(r, d) = mXWYAll(r, d);
    for (int c = 1; c <= 2; ++c) mXWXWork(r, c) = mXWX(r, c);
  }
}

// Loads the cross products of the candidate model whose design columns are
// vCols(1..iNumCols): the rows and columns 3..iNumCols of mXWXWork from the
// full mXWX (the base columns 1 and 2 stay as set up) and rows 3..iNumCols
// of columns 1..iDataSets of mXWYWork from mXWYAll.
inline void LoadCandidateCrossProducts(const NEWMAT::SymmetricMatrix& mXWX,
                                       const NEWMAT::RowVector& vCols,
                                       int iNumCols,
                                       const NEWMAT::Matrix& mXWYAll,
                                       int iDataSets, NEWMAT::Matrix& mXWXWork,
                                       NEWMAT::Matrix& mXWYWork) {
  for (int cc = 3; cc <= iNumCols; ++cc) {
    const int iColC = static_cast<int>(vCols(cc));
    for (int r = 1; r <= cc; ++r) {
      const double d = mXWX(iColC, static_cast<int>(vCols(r)));
      mXWXWork(cc, r) = d;
      mXWXWork(r, cc) = d;
    }
    for (int d = 1; d <= iDataSets; ++d) mXWYWork(cc, d) = mXWYAll(iColC, d);
  }
}

}  // namespace km_grid

#endif  // KM_ENGINE_KMGRIDENUMERATION_H
