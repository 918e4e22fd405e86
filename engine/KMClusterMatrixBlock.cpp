// KMClusterMatrixBlock: construction, setDefaults and clear; the default eta
// grid shared with KMClusteringSetup.
#include "engine/KMClusterMatrixBlock.h"

void SetDefaultEtaGrid(NEWMAT::ColumnVector& grid) {
  grid.ReSize(4);
  grid(1) = 0.5;
  grid(2) = 1.0;
  grid(3) = 1.5;
  grid(4) = 2.0;
}

KMClusterMatrixBlock::KMClusterMatrixBlock() { setDefaults(); }

void KMClusterMatrixBlock::setDefaults() { SetDefaultEtaGrid(etaGrid); }

void KMClusterMatrixBlock::clear() {
  etaGrid.CleanUp();
  matrix1.CleanUp();
  matrix2.CleanUp();
  matrix3.CleanUp();
  matrix4.CleanUp();
  intArrays.Clear();
}
