// KMSeriesSet: the data of one or more series that are fitted together.
#ifndef KM_MODELS_KMSERIESSET_H
#define KM_MODELS_KMSERIESSET_H

#include <newmat.h>

#include "foundation/KmString.h"
#include "foundation/OneDimensionArray.h"

// The data of one fit: one cohort, or the cohorts of one clustering group.
// Series i (0-based) has a label, a vector of independent values x and a
// vector of responses y of the same length. The number of series is the size
// of the arrays. `covariance` is a symmetric matrix over all observations
// stacked in series order, its diagonal holding the observation variances;
// the clustering code reorders it together with the series when it builds
// the set of a subset of groups. It may be 0 x 0 when a fit does not use it.
//
// A value class (no virtual operations): construction leaves the arrays
// empty and the matrix 0 x 0; copies are deep; destruction clears.
// Every routine but the constructor passes every exception on; a KmException
// passing one collects a "Standard exception: <text>" report, which the driver
// writes to standard output.
class KMSeriesSet {
 public:
  // Empty arrays, covariance 0 x 0 (resetMatrix).
  KMSeriesSet();
  // A deep copy of src (built empty, then assigned).
  KMSeriesSet(const KMSeriesSet& src);
  // Copies the four members in order: labels, x values, responses,
  // covariance. Returns this object.
  KMSeriesSet& operator=(const KMSeriesSet& src);
  // Calls clear.
  ~KMSeriesSet();

  // Resizes `covariance` to 0 x 0. Leaves the series alone.
  void resetMatrix();
  // Empties every label and vector and frees the three arrays (size 0).
  // Leaves `covariance` alone (see resetMatrix).
  void clear();

  // One label per series.
  OneDimensionArray<KmString> labels;
  // Independent values x of each series.
  OneDimensionArray<NEWMAT::ColumnVector> xValues;
  // Responses y of each series, each as long as the series' x values.
  OneDimensionArray<NEWMAT::ColumnVector> yValues;
  // Over all observations stacked in series order; diagonal = variances.
  NEWMAT::SymmetricMatrix covariance;
};

#endif  // KM_MODELS_KMSERIESSET_H
