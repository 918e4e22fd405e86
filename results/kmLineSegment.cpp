// kmLineSegment: setters, significance and the stored layout.
#include "results/kmLineSegment.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/internal/RecordIO.h"

namespace {
const char kClass[] = "kmLineSegment";
}  // namespace

void kmLineSegment::SetAPC(double dEstimate, double dLower, double dUpper,
                           bool bComputedFlag, double dTestStat,
                           double dPValue) {
  apc.Set(dEstimate, dLower, dUpper, bComputedFlag, dPValue, dTestStat);
}

void kmLineSegment::SetSlope(double dEstimate, double dStdErr, double dTestStat,
                             double dPValue, bool bComputedFlag) {
  slope.Set(dEstimate, dStdErr, dTestStat, dPValue, bComputedFlag);
}

void kmLineSegment::SetRange(double dStart, double dEnd) {
  range.Set(dStart, dEnd);
}

bool kmLineSegment::IsSignificant() const {
  return (apc.dLower < 0.0 && apc.dUpper < 0.0) ||
         (apc.dLower > 0.0 && apc.dUpper > 0.0);
}

void kmLineSegment::Read(KmIO_File* pIO, double dFileVersion) {
  WithCallPath("Read()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    // Read into a copy so that a record cut short leaves this one intact.
    kmLineSegment read = *this;
    read.intercept.Read(pIO);
    read.slope.Read(pIO);
    read.apc.Read(pIO, dFileVersion);
    read.range.Read(pIO);
    *this = read;
  });
}

void kmLineSegment::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    intercept.Write(pIO);
    slope.Write(pIO);
    apc.Write(pIO);
    range.Write(pIO);
  });
}
