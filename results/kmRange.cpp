// kmRange: setters, copy and the stored layout.
#include "results/kmRange.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/internal/RecordIO.h"

namespace {
const char kClass[] = "kmRange";
}  // namespace

void kmRange::Set(double dStartIn, double dEndIn) {
  dStart = dStartIn;
  dEnd = dEndIn;
}

void kmRange::Copy(const kmRange& other) {
  dStart = other.dStart;
  dEnd = other.dEnd;
}

void kmRange::Read(KmIO_File* pIO) {
  WithCallPath("Read()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    const double dReadStart = pIO->ReadDouble();
    const double dReadEnd = pIO->ReadDouble();
    km_results_internal::CheckNotEnded(pIO, kClass);
    dStart = dReadStart;
    dEnd = dReadEnd;
  });
}

void kmRange::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    pIO->WriteDouble(dStart);
    pIO->WriteDouble(dEnd);
  });
}
