// kmGridEnumeration: the enumeration shared by the calculator's exhaustive
// grid searches (GridSearch and GridSearchForHudsons), so that both fit the
// same models from the same cross products.
#ifndef KM_ENGINE_KMGRIDENUMERATION_H
#define KM_ENGINE_KMGRIDENUMERATION_H

#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/kmCandidateFit.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/KmWorkProgress.h"
#include "models/internal/TauIndexSteps.h"

namespace km_grid {

// Kinkmarks are placed at levels 0..8 of the recursion; the fit is made at
// the last level.
constexpr uint16_t kFitLevel = 8;
constexpr uint16_t kMaxKinkmarks = kFitLevel + 1;
// Offset between a candidate index and its column in the design.
constexpr double kColumnOffset = 2.0;

// The hinge column of a kinkmark at tau for the independent value x:
// x - tau where positive, else 0.
inline double Hinge(double x, double tau) {
  const double dDiff = x - tau;
  return dDiff > 0.0 ? dDiff : 0.0;
}

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

// The X'WX work of a search fitting iNumCols design columns as it stands
// before any placement: the cross products of the base columns 1 and 2
// and zeros elsewhere, so that no stale value is left outside what each
// model fills.
inline void StartCrossProductWork(const NEWMAT::SymmetricMatrix& mXWX,
                                  int iNumCols,
                                  NEWMAT::SymmetricMatrix& mWork) {
  if (mWork.Nrows() != iNumCols) mWork.ReSize(iNumCols);
  mWork = 0.0;
  for (int r = 1; r <= 2; ++r) {
    for (int c = 1; c <= r; ++c) mWork(r, c) = mXWX(r, c);
  }
}

// Calls onFit() once for every admissible placement of k kinkmarks on the
// iK candidates, with columns 3..k + 2 of fit set to the hinges of the
// placement (candidate + 2): lexicographic in (p_1, ..., p_k), p_1 from
// iFirst at level 0, each next kinkmark from NextFirstCandidate. pProgress
// is polled once per candidate of each kinkmark, before the fit of the
// last one, and the enumeration ends at the first cancellation (answer
// false); work counts each fit.
template <typename OnFit>
bool EnumeratePlacements(uint16_t iLevel, uint16_t iFirst, uint16_t k,
                         int16_t iK, const NEWMAT::ColumnVector& vGridAux,
                         CandidateFit& fit,
                         const KmProgressInterface* pProgress,
                         KmWorkProgress& work, OnFit& onFit) {
  const bool bLastLevel = iLevel + 1 >= k;
  for (int c = iFirst; c <= iK; ++c) {
    if (Cancelled(pProgress)) return false;
    if (iLevel < k)
      fit.SetColumn(iLevel + 3, c + static_cast<int>(kColumnOffset));
    if (!bLastLevel) {
      if (!EnumeratePlacements(static_cast<uint16_t>(iLevel + 1),
                               NextFirstCandidate(iLevel, k, iK, c, vGridAux),
                               k, iK, vGridAux, fit, pProgress, work, onFit)) {
        return false;
      }
      continue;
    }
    onFit();
    work.StepIt();
  }
  return true;
}

// EnumeratePlacements over every placement of k kinkmarks: p_1 from
// candidate 1 (without kinkmarks, the one fit of the base columns). The
// position of pProgress goes from its minimum to its maximum in proportion
// to the placements fitted.
template <typename OnFit>
bool EnumerateAllPlacements(uint16_t k, int16_t iK,
                            const NEWMAT::ColumnVector& vGridAux,
                            CandidateFit& fit, KmProgressInterface* pProgress,
                            OnFit& onFit) {
  const uint16_t iFirst = k >= 1 ? 1 : static_cast<uint16_t>(iK);
  KmWorkProgress work(pProgress, km_models_internal::CountTauPlacements(
                                     k, vGridAux, std::max<int16_t>(iK, 0)));
  return EnumeratePlacements(0, iFirst, k, iK, vGridAux, fit, pProgress, work,
                             onFit);
}

}  // namespace km_grid

#endif  // KM_ENGINE_KMGRIDENUMERATION_H
