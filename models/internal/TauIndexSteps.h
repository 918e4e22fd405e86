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

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_TAUINDEXSTEPS_H
