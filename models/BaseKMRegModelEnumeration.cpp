// Holds BaseKMRegModel::first_TauIndices, next_TauIndices and
// next_TauIndices_Recursive: the placement iterator of the location search.
//
// The exhaustive location search visits every admissible placement of k
// kinkmarks on a list of m candidate locations, in lexicographic order of
// the placements' index vectors; the first placement with the smallest
// residual sum of squares wins a tie, so the order is part of the result.
//
// A placement T is a ColumnVector of k whole numbers: T(i) is the 1-based
// index, in the candidate list, of kinkmark i. The successor table L (m
// entries) gives in L(p) the smallest index the kinkmark after one at index
// p may take; the minimal successor of v is succ(v) = max(L(v), v + 1). A
// placement is admissible when 1 <= T(1), T(i) >= succ(T(i-1)) for
// i = 2..k, and T(k) <= m. Entries are read as indices by truncation toward
// zero.
//
// The enumeration is exhaustive when succ is nondecreasing (a table of gap
// numbers of an ascending candidate grid, or of p + d for a fixed spacing
// d): a placement whose minimal tail overflows m is then never followed by
// an admissible one with the same prefix.
//
// Caller's loop: if first_TauIndices answers false, there is nothing to
// evaluate; otherwise evaluate T, call next_TauIndices, and repeat while it
// answers true. With k = 0 the loop evaluates the placement without
// kinkmarks exactly once.
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
