// kmEstValue: an estimate with its confidence interval and test.
#ifndef KM_RESULTS_KMESTVALUE_H
#define KM_RESULTS_KMESTVALUE_H

#include "foundation/KmIO_File.h"

// An estimate of a fitted model (a kinkmark location, an APC, an AAPC) with
// its confidence bounds and, once a confidence-interval method has produced
// them, its p-value and test statistic. `bComputed` is set when the interval
// and the tests come from such a method.
//
// Stored as Double lower, Double upper, Double estimate, Bool computed,
// Double p-value, Double test statistic (41 bytes). Files older than version
// 4.05 lack the last two fields (25 bytes).
class kmEstValue {
 public:
  // The marker of a p-value or statistic that was never set.
  static constexpr double kUnset = -1e30;

  // Bounds and estimate 0.0, not computed, p-value and statistic kUnset.
  kmEstValue() = default;
  kmEstValue(const kmEstValue&) = default;
  kmEstValue& operator=(const kmEstValue&) = default;

  // Stores the six fields. Note the order of the two trailing values:
  // p-value, then test statistic.
  void Set(double dEstimateValue, double dLowerBound, double dUpperBound,
           bool bComputedFlag, double dPValueIn, double dTestStatIn);

  // Reads the stored layout of file version dFileVersion: the p-value and
  // the statistic only when dFileVersion >= 4.05; for older files they keep
  // their values. Throws KmException "Invalid KmIO_File." (source
  // "kmEstValue") for a null pIO, and a KmException when the file ends
  // inside the record.
  void Read(KmIO_File* pIO, double dFileVersion);
  // Writes the full current layout (41 bytes). Throws "Invalid KmIO_File."
  // for a null pIO.
  void Write(KmIO_File* pIO) const;

  double dLower = 0.0;
  double dUpper = 0.0;
  double dEstimate = 0.0;
  bool bComputed = false;
  double dPValue = kUnset;
  double dTestStat = kUnset;
};

#endif  // KM_RESULTS_KMESTVALUE_H
