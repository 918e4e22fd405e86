// KMClusterMatrixBlock: the matrices handed from the clustering analysis to
// its driver.
#ifndef KM_ENGINE_KMCLUSTERMATRIXBLOCK_H
#define KM_ENGINE_KMCLUSTERMATRIXBLOCK_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"

// The eta grid, four matrices and a list of int arrays of one clustering
// run's output; cleared as one.
//
// A value class (no virtual operations): construction leaves the matrices
// and the array empty and runs setDefaults; copies are deep; destruction
// releases every member.
class KMClusterMatrixBlock {
 public:
  KMClusterMatrixBlock();
  KMClusterMatrixBlock(const KMClusterMatrixBlock& src) = default;
  KMClusterMatrixBlock& operator=(const KMClusterMatrixBlock& src) = default;
  ~KMClusterMatrixBlock() = default;

  // Sets the eta grid to (0.5, 1.0, 1.5, 2.0); the rest is untouched.
  void setDefaults();
  // Empties the eta grid and the four matrices and frees the int arrays.
  void clear();

  // The eta grid; (0.5, 1.0, 1.5, 2.0) by default.
  NEWMAT::ColumnVector etaGrid;
  NEWMAT::Matrix matrix1;
  NEWMAT::Matrix matrix2;
  NEWMAT::Matrix matrix3;
  // The result matrix the driver reads.
  NEWMAT::Matrix matrix4;
  OneDimensionArray<OneDimensionArray<int32_t>> intArrays;
};

// Sets grid to the default eta grid (0.5, 1.0, 1.5, 2.0) of the clustering.
void SetDefaultEtaGrid(NEWMAT::ColumnVector& grid);

#endif  // KM_ENGINE_KMCLUSTERMATRIXBLOCK_H
