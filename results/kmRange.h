// kmRange: an interval of the independent variable.
#ifndef KM_RESULTS_KMRANGE_H
#define KM_RESULTS_KMRANGE_H

#include "foundation/KmIO_File.h"

// An x range [start, end] of a fitted model: the span of one segment or the
// range over which an AAPC is averaged. A plain value record; copies are
// member-wise. Stored as Double start, Double end (16 bytes).
class kmRange {
 public:
  // Start and end 0.0.
  kmRange() = default;
  kmRange(const kmRange&) = default;
  kmRange& operator=(const kmRange&) = default;

  // Stores both ends as given (no ordering is imposed).
  void Set(double dStart, double dEnd);
  // Copies start and end of other (a copy of itself changes nothing).
  void Copy(const kmRange& other);

  // Reads Double start, Double end.
  // Throws KmException "Invalid KmIO_File." (source "kmRange") for a null
  // pIO, and a KmException when the file ends inside the record.
  void Read(KmIO_File* pIO);
  // Writes Double start, Double end. Throws "Invalid KmIO_File." for a null
  // pIO.
  void Write(KmIO_File* pIO) const;

  double dStart = 0.0;
  double dEnd = 0.0;
};

#endif  // KM_RESULTS_KMRANGE_H
