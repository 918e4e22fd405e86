// Holds BaseKMRegModel::first_TauIndices, next_TauIndices and
// next_TauIndices_Recursive: the placement iterator of the location search.
#include <newmat.h>

#include <cstdint>

#include "models/BaseKMRegModel.h"
#include "models/internal/StandardCatch.h"
#include "models/internal/TauIndexSteps.h"

using NEWMAT::ColumnVector;

bool BaseKMRegModel::first_TauIndices(ColumnVector& T, const ColumnVector& L) {
  return km_models_internal::WithStandardCatch(
      [&] { return km_models_internal::FirstTauIndices(T, L); });
}

bool BaseKMRegModel::next_TauIndices(ColumnVector& T, const ColumnVector& L) {
  return km_models_internal::WithStandardCatch(
      [&] { return km_models_internal::NextTauIndices(T, L); });
}

bool BaseKMRegModel::next_TauIndices_Recursive(ColumnVector& T,
                                               const ColumnVector& L,
                                               int32_t j) {
  return km_models_internal::WithStandardCatch(
      [&] { return km_models_internal::NextTauIndicesRecursive(T, L, j); });
}
