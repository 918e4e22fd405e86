// KMClusteringSetup: construction, setDefaults and clear.
#include "engine/KMClusteringSetup.h"

#include "engine/KMClusterMatrixBlock.h"

KMClusteringSetup::KMClusteringSetup()
    : counter(0),
      value(0.0),
      maxClusters(1),
      subsetLevel(0.05),
      secondLevel(0.05) {
  setDefaults();
}

void KMClusteringSetup::setDefaults() {
  counter = 0;
  value = 0.0;
  criterionLabel = "KPerm-CBIC";
  groupOrder = "ordered";
  maxClusters = 1;
  SetDefaultEtaGrid(etaGrid);
  subsetLevel = 0.05;
  secondLevel = 0.05;
}

void KMClusteringSetup::clear() {
  seriesSet.clear();
  matrix1.CleanUp();
  matrix2.CleanUp();
  matrix3.CleanUp();
  matrix4.CleanUp();
  matrixArray1.Clear();
  matrixArray2.Clear();
  matrixArray3.Clear();
  matrixArray4.Clear();
  etaGrid.CleanUp();
}
