// kmLineSegment: one segment of a fitted piecewise-linear model.
#ifndef KM_RESULTS_KMLINESEGMENT_H
#define KM_RESULTS_KMLINESEGMENT_H

#include "foundation/KmIO_File.h"
#include "results/kmBetaCoefficient.h"
#include "results/kmEstValue.h"
#include "results/kmRange.h"

// One segment of a fitted model: intercept and slope with their tests, the
// segment's annual percent change (APC) with its interval, and its x range.
//
// Stored as kmBetaCoefficient intercept, kmBetaCoefficient slope,
// kmEstValue APC, kmRange range (123 bytes; 107 in files older than 4.05).
class kmLineSegment {
 public:
  kmLineSegment() = default;
  kmLineSegment(const kmLineSegment&) = default;
  kmLineSegment& operator=(const kmLineSegment&) = default;

  // Fills the APC. Note the order of the two trailing values: test
  // statistic, then p-value.
  void SetAPC(double dEstimate, double dLower, double dUpper,
              bool bComputedFlag, double dTestStat, double dPValue);
  // Fills the slope.
  void SetSlope(double dEstimate, double dStdErr, double dTestStat,
                double dPValue, bool bComputedFlag);
  // Sets the segment's first and last x.
  void SetRange(double dStart, double dEnd);
  // True when both APC bounds are below 0.0 or both are above 0.0 (a bound
  // equal to 0.0 gives false).
  bool IsSignificant() const;

  // Reads the four parts; the APC with dFileVersion. Throws KmException
  // "Invalid KmIO_File." (source "kmLineSegment") for a null pIO, and a
  // KmException when the file ends inside the record.
  void Read(KmIO_File* pIO, double dFileVersion);
  // Writes the four parts. Throws "Invalid KmIO_File." for a null pIO.
  void Write(KmIO_File* pIO) const;

  kmBetaCoefficient intercept;
  kmBetaCoefficient slope;
  kmEstValue apc;
  kmRange range;
};

#endif  // KM_RESULTS_KMLINESEGMENT_H
