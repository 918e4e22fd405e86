// KMClusteringSetup: the input of one multi-group clustering analysis.
#ifndef KM_ENGINE_KMCLUSTERINGSETUP_H
#define KM_ENGINE_KMCLUSTERINGSETUP_H

#include <newmat.h>

#include <cstdint>

#include "foundation/KmString.h"
#include "foundation/OneDimensionArray.h"
#include "models/KMBestModelFit.h"
#include "models/KMSeriesSet.h"
#include "stats/MTRandomGenerator.h"

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
  // 0.05. The series set, matrices, fit settings, model settings, levels
  // and generator are untouched (the constructor gives them their
  // defaults).
  void setDefaults();
  // Empties the series set, the four matrices, the four matrix arrays, the
  // eta grid and the candidate locations. Scalars, texts and the fit
  // settings keep their values.
  void clear();

  // The groups: per group a label, its observations and one symmetric
  // variance-covariance matrix over all observations of all groups.
  KMSeriesSet seriesSet;
  // The weighting matrices of the whole set of groups: the weights, the
  // covariance, the whitening transformation and its inverse.
  NEWMAT::Matrix matrix1;
  NEWMAT::Matrix matrix2;
  NEWMAT::Matrix matrix3;
  NEWMAT::Matrix matrix4;
  // Per subset, the same four matrices of the subset (entry 0) and of each
  // of its groups (entry j).
  OneDimensionArray<NEWMAT::Matrix> matrixArray1;
  OneDimensionArray<NEWMAT::Matrix> matrixArray2;
  OneDimensionArray<NEWMAT::Matrix> matrixArray3;
  OneDimensionArray<NEWMAT::Matrix> matrixArray4;
  // Handed unchanged to every range fit: a count (0 by default) and a
  // value (0.0 by default; the driver sets -1.0, no jump location).
  int32_t counter;
  double value;
  // The best-model fit settings of every subset fit: kinkmark limits,
  // criterion code, selection word, number of permutation data sets.
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

  // Model settings of the range fits. The comparison model type (1: one
  // intercept for all groups, 2: one per group; 2 by default), the
  // observation minima at the ends and between kinkmarks (2 and 2), the grid
  // points between observations (0) and the log-linear flag (false).
  int32_t modelType;
  int32_t minObsAtEnds;
  int32_t minObsBetween;
  int32_t gridPointsBetween;
  bool logLinear;
  // Handed unchanged to the range fits: candidate locations (empty), the
  // switch to use them (false) and a second count (0).
  NEWMAT::ColumnVector userLocations;
  bool useUserLocations;
  int32_t splineCode;
  // The significance levels of the permutation tests, of the kinkmark
  // locations, of the APC and of the AAPC, and of the model; 0.05 each.
  double permAlpha;
  double kinkmarkAlpha;
  double apcAlpha;
  double aapcAlpha;
  double modelAlpha;
  // The generator of the fits.
  MTRandomGenerator generator;
};

#endif  // KM_ENGINE_KMCLUSTERINGSETUP_H
