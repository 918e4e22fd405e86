// kmAAPCValue: reset, setters and the stored layout.
#include "results/kmAAPCValue.h"

#include <limits>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/internal/RecordIO.h"

namespace {
const char kClass[] = "kmAAPCValue";
// Upper bounds beyond this are unbounded intervals.
constexpr double kInfiniteUpper = 1e49;

// Reads a flag that this record stores as a Short: 0 or 1, anything else is
// refused.
bool ReadShortFlag(KmIO_File* pIO, const char* sWhat) {
  const int16_t iValue = pIO->ReadShort();
  km_results_internal::CheckRange(iValue, 0, 1, kClass, sWhat);
  return iValue == 1;
}
}  // namespace

void kmAAPCValue::Init() {
  aapc.Set(0.0, 0.0, 0.0, false, kUntested, kUntested);
  bRangeSet = false;
  bInRange = false;
}

void kmAAPCValue::SetRange(double dStart, double dEnd) {
  range.Set(dStart, dEnd);
  bRangeSet = true;
}

void kmAAPCValue::SetAAPC(double dEstimate, double dLower, double dUpper,
                          bool bComputedFlag, double dTestStat,
                          double dPValue) {
  if (dUpper > kInfiniteUpper) dUpper = std::numeric_limits<double>::infinity();
  aapc.Set(dEstimate, dLower, dUpper, bComputedFlag, dPValue, dTestStat);
}

void kmAAPCValue::Read(KmIO_File* pIO, double dFileVersion) {
  WithCallPath("Read()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    // Read into a copy so that a record cut short leaves this one intact.
    kmAAPCValue read = *this;
    read.aapc.Read(pIO, dFileVersion);
    read.range.Read(pIO);
    read.bRangeSet = ReadShortFlag(pIO, "the range-set flag");
    read.bInRange = ReadShortFlag(pIO, "the in-range flag");
    read.dAlpha = pIO->ReadDouble();
    km_results_internal::CheckNotEnded(pIO, kClass);
    *this = read;
  });
}

void kmAAPCValue::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    aapc.Write(pIO);
    range.Write(pIO);
    pIO->WriteShort(bRangeSet ? 1 : 0);
    pIO->WriteShort(bInRange ? 1 : 0);
    pIO->WriteDouble(dAlpha);
  });
}
