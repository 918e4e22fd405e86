// KMRegFitStats: inference statistics of one segment-form fit.
#ifndef KM_MODELS_KMREGFITSTATS_H
#define KM_MODELS_KMREGFITSTATS_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"

// The statistics of one fit in segment form (an intercept and a slope per
// segment), filled by the refit routines and copied into fit records and
// fit results. Every table row holds: estimate, standard error, t statistic,
// two-sided p-value.
//
// A value class (no virtual operations): the constructor runs reset; copies
// are deep; destruction runs clear. Every routine but the constructor passes
// every exception on; a KmException passing one collects a "Standard
// exception: <text>" report, which the driver writes to standard output.
class KMRegFitStats {
 public:
  // reset; both table arrays empty.
  KMRegFitStats();
  // A deep copy of src (built empty, then assigned).
  KMRegFitStats(const KMRegFitStats& src);
  // Copies every member in declaration order. Returns this object.
  KMRegFitStats& operator=(const KMRegFitStats& src);
  // Calls clear.
  ~KMRegFitStats();

  // The three counts 0, df 0.0, covariance 0 x 0, theta and beta empty.
  // The two table arrays keep their contents.
  void reset();
  // Frees both table arrays and empties the matrix and vectors. The counts
  // and df keep their values.
  void clear();

  // Number of kinkmarks K.
  int32_t k;
  // Number of series S.
  int32_t nSeries;
  // Number of level parameters P (base columns; P = S + 1).
  int32_t p;
  // Degrees of freedom of every test of the fit.
  double df;
  // Per series: the (2K + 2) x 4 segment table; rows 2j - 1 and 2j are the
  // intercept and the slope of segment j.
  OneDimensionArray<NEWMAT::Matrix> segmentTables;
  // Covariance of the segment-form parameters.
  NEWMAT::Matrix covariance;
  // Per series: the (K + 2) x 4 table of the first intercept, the first
  // slope and the K slope changes.
  OneDimensionArray<NEWMAT::Matrix> kinkmarkTables;
  // Segment-form parameters (P + 2K): the level offsets of series 2..S,
  // then intercept and slope of each segment.
  NEWMAT::ColumnVector theta;
  // Copy of the continuous-form parameters (P + K).
  NEWMAT::ColumnVector beta;
};

#endif  // KM_MODELS_KMREGFITSTATS_H
