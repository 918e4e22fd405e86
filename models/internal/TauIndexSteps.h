// The steps of the kinkmark-placement enumeration shared by
// BaseKMRegModel and ForAllKinkMKAction, which wrap them with the
// framework's exception reporting.
#ifndef KM_MODELS_INTERNAL_TAUINDEXSTEPS_H
#define KM_MODELS_INTERNAL_TAUINDEXSTEPS_H

#include <newmat.h>

#include <cstdint>

namespace km_models_internal {

// See BaseKMRegModel::first_TauIndices.
bool FirstTauIndices(NEWMAT::ColumnVector& T, const NEWMAT::ColumnVector& L);
// See BaseKMRegModel::next_TauIndices.
bool NextTauIndices(NEWMAT::ColumnVector& T, const NEWMAT::ColumnVector& L);
// See BaseKMRegModel::next_TauIndices_Recursive.
bool NextTauIndicesRecursive(NEWMAT::ColumnVector& T,
                             const NEWMAT::ColumnVector& L, int32_t j);

// The number of placements of k kinkmarks on m candidates that the
// enumeration visits (1 <= T(1), T(i) >= max(L(T(i-1)), T(i-1) + 1),
// T(k) <= m), counted backward over the candidates in O(k m) without
// visiting them; 1 for k = 0. A double, since it outgrows every integer
// type long before a search becomes impractical. It serves the share of
// a search done, which progress reports.
// REQUIRES: L has at least m rows.
double CountTauPlacements(int32_t k, const NEWMAT::ColumnVector& L, int32_t m);

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_TAUINDEXSTEPS_H
