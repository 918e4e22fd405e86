// kmBetaCoefficient: one regression coefficient with its test.
#ifndef KM_RESULTS_KMBETACOEFFICIENT_H
#define KM_RESULTS_KMBETACOEFFICIENT_H

#include "foundation/KmIO_File.h"

// A regression coefficient of a fitted model (a segment's intercept or
// slope, or the change of slope at a kinkmark) with its standard error and
// t test. `bComputed` is true when the coefficient's variance was positive,
// so that the standard error and the test exist; the AAPC of a range gets an
// interval only when every slope it covers is computed.
//
// Stored as Double estimate, Double p-value, Double standard error, Double
// test statistic, Bool computed (33 bytes).
class kmBetaCoefficient {
 public:
  // All values 0.0, not computed.
  kmBetaCoefficient() = default;
  kmBetaCoefficient(const kmBetaCoefficient&) = default;
  kmBetaCoefficient& operator=(const kmBetaCoefficient&) = default;

  // Stores the five fields.
  void Set(double dEstimate, double dStdErr, double dTestStat, double dPValue,
           bool bComputedFlag);

  // Reads the stored layout. Throws KmException "Invalid KmIO_File."
  // (source "kmBetaCoefficient") for a null pIO, and a KmException when the
  // file ends inside the record.
  void Read(KmIO_File* pIO);
  // Writes the stored layout. Throws "Invalid KmIO_File." for a null pIO.
  void Write(KmIO_File* pIO) const;

  double dEstimate = 0.0;
  double dPValue = 0.0;
  double dStdErr = 0.0;
  double dTestStat = 0.0;
  bool bComputed = false;
};

#endif  // KM_RESULTS_KMBETACOEFFICIENT_H
