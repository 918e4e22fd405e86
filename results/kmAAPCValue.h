// kmAAPCValue: the average annual percent change over one x range.
#ifndef KM_RESULTS_KMAAPCVALUE_H
#define KM_RESULTS_KMAAPCVALUE_H

#include "foundation/KmIO_File.h"
#include "results/kmEstValue.h"
#include "results/kmRange.h"

// The AAPC of a fitted model over one range, with its interval and tests.
// `bRangeSet` is true once the range has been assigned; `bInRange` is true
// when the range lies inside the fitted x span and has a nonzero width, so
// that the AAPC was computed; `dAlpha` is the significance level of the
// interval.
//
// Stored as kmEstValue AAPC, kmRange range, Short range-set (0 or 1), Short
// in-range (0 or 1), Double alpha (69 bytes).
class kmAAPCValue {
 public:
  // The untested marker that Init puts into the p-value and the statistic.
  static constexpr double kUntested = 9999.0;

  kmAAPCValue() = default;
  kmAAPCValue(const kmAAPCValue&) = default;
  kmAAPCValue& operator=(const kmAAPCValue&) = default;

  // Resets: bounds and estimate 0.0, not computed, p-value and statistic
  // kUntested, both flags false. The alpha keeps its value.
  void Init();
  // Stores the range and sets the range-set flag.
  void SetRange(double dStart, double dEnd);
  // Stores the six estimate fields (trailing order: test statistic, then
  // p-value); an upper bound above 1e49 is stored as +infinity.
  void SetAAPC(double dEstimate, double dLower, double dUpper,
               bool bComputedFlag, double dTestStat, double dPValue);

  // Reads the stored layout; the AAPC with dFileVersion; each Short flag is
  // true when nonzero. Throws KmException "Invalid KmIO_File." (source
  // "kmAAPCValue") for a null pIO, and a KmException when the file ends
  // inside the record.
  void Read(KmIO_File* pIO, double dFileVersion);
  // Writes the stored layout. Throws "Invalid KmIO_File." for a null pIO.
  void Write(KmIO_File* pIO) const;

  kmEstValue aapc;
  kmRange range;
  bool bRangeSet = false;
  bool bInRange = false;
  double dAlpha = 0.0;
};

#endif  // KM_RESULTS_KMAAPCVALUE_H
