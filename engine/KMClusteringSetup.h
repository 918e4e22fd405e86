// KMClusteringSetup: the input of one multi-group clustering analysis.
#ifndef KM_ENGINE_KMCLUSTERINGSETUP_H
#define KM_ENGINE_KMCLUSTERINGSETUP_H

#include <newmat.h>

#include <cstdint>

#include "foundation/KmString.h"
#include "foundation/OneDimensionArray.h"
#include "models/KMBestModelFit.h"
#include "models/KMSeriesSet.h"

// What the clustering driver hands to the analysis: the series of the
// groups, the weighting matrices, the best-model fit settings, the labels of
// the run, the largest number of clusters, the eta grid and the levels.
//
// A value class (no virtual operations): construction builds the members in
// order and runs setDefaults; copies are deep (the analysis works on its own
// copy); destruction releases every member.
class KMClusteringSetup {
 public:
  KMClusteringSetup();
  KMClusteringSetup(const KMClusteringSetup& src) = default;
  KMClusteringSetup& operator=(const KMClusteringSetup& src) = default;
  ~KMClusteringSetup() = default;

  // Counter 0, value 0.0, criterion label "KPerm-CBIC", group order
  // "ordered", maxClusters 1, eta grid (0.5, 1.0, 1.5, 2.0), both levels
  // 0.05. The series set, matrices and fit settings are untouched.
  void setDefaults();
  // Empties the series set, the four matrices, the four matrix arrays and the
  // eta grid. Scalars, texts and the fit settings keep their values.
  void clear();

  // The groups: per group a label, its observations and one symmetric
  // variance-covariance matrix over all observations of all groups.
  KMSeriesSet seriesSet;
  // The weighting matrices of the whole set of groups.
  NEWMAT::Matrix matrix1;
  NEWMAT::Matrix matrix2;
  NEWMAT::Matrix matrix3;
  NEWMAT::Matrix matrix4;
  // Per subset, the weighting matrices of the subset and of each group.
  OneDimensionArray<NEWMAT::Matrix> matrixArray1;
  OneDimensionArray<NEWMAT::Matrix> matrixArray2;
  OneDimensionArray<NEWMAT::Matrix> matrixArray3;
  OneDimensionArray<NEWMAT::Matrix> matrixArray4;
  // 0 by default.
  int32_t counter;
  // 0.0 by default.
  double value;
  // The best-model fit settings of every subset fit.
  KMBestModelFit bestModelFit;
  // The criterion label; "KPerm-CBIC" by default.
  KmString criterionLabel;
  // The group order; "ordered" by default.
  KmString groupOrder;
  // The largest number of clusters K; 1 by default.
  int32_t maxClusters;
  // The eta grid; (0.5, 1.0, 1.5, 2.0) by default.
  NEWMAT::ColumnVector etaGrid;
  // The level of every subset fit and a second level; 0.05 by default.
  double subsetLevel;
  double secondLevel;
};

#endif  // KM_ENGINE_KMCLUSTERINGSETUP_H
