// KMClusteringSetup: construction, setDefaults and clear.
#include "engine/KMClusteringSetup.h"

#include "engine/KMClusterMatrixBlock.h"

KMClusteringSetup::KMClusteringSetup()
    : counter(0),
      value(0.0),
      maxClusters(1),
      subsetLevel(0.05),
      secondLevel(0.05),
      modelType(2),
      minObsAtEnds(2),
      minObsBetween(2),
      gridPointsBetween(0),
      logLinear(false),
      useUserLocations(false),
      splineCode(0),
      permAlpha(0.05),
      kinkmarkAlpha(0.05),
      apcAlpha(0.05),
      aapcAlpha(0.05),
      modelAlpha(0.05) {
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
  userLocations.CleanUp();
}
