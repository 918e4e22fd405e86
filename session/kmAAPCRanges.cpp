// kmAAPCRanges: list setters, the session-block record and comparison.
#include "session/kmAAPCRanges.h"

#include <utility>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "session/internal/SessionBlockReader.h"

namespace {

const char* const kClass = "kmAAPCRanges";

}  // namespace

void kmAAPCRanges::SetLastObsRanges(std::vector<int32_t> lengths) {
  lastObs_ = std::move(lengths);
}

void kmAAPCRanges::SetStartRange(std::vector<double> starts) {
  starts_ = std::move(starts);
}

void kmAAPCRanges::SetEndRange(std::vector<double> ends) {
  ends_ = std::move(ends);
}

void kmAAPCRanges::Write(KmIO_File* pIO) const {
  WithCallPath("Write(KmIO_File *pIO)", kClass, [&] {
    pIO->WriteShort(static_cast<int16_t>(bFullRange_ ? 1 : 0));
    pIO->WriteInt(static_cast<int32_t>(lastObs_.size()));
    for (int32_t n : lastObs_) pIO->WriteInt(n);
    pIO->WriteInt(static_cast<int32_t>(starts_.size()));
    for (double d : starts_) pIO->WriteDouble(d);
    pIO->WriteInt(static_cast<int32_t>(ends_.size()));
    for (double d : ends_) pIO->WriteDouble(d);
  });
}

void kmAAPCRanges::Read(KmIO_File* pIO) {
  WithCallPath("Read(KmIO_File *pIO)", kClass, [&] {
    // Each list grows only with values the file really holds, so a
    // corrupted count ends in a refusal at the end of the file.
    KmCheckedReader in = km_session_internal::SessionBlockReader(pIO, kClass);
    kmAAPCRanges read;
    read.bFullRange_ = in.ReadShort() != 0;
    for (int32_t n = in.CheckCount(in.ReadInt()); n > 0; --n) {
      read.lastObs_.push_back(in.ReadInt());
    }
    for (int32_t n = in.CheckCount(in.ReadInt()); n > 0; --n) {
      read.starts_.push_back(in.ReadDouble());
    }
    for (int32_t n = in.CheckCount(in.ReadInt()); n > 0; --n) {
      read.ends_.push_back(in.ReadDouble());
    }
    *this = std::move(read);
  });
}

bool kmAAPCRanges::operator==(const kmAAPCRanges& other) const {
  return bFullRange_ == other.bFullRange_ && lastObs_ == other.lastObs_ &&
         starts_ == other.starts_ && ends_ == other.ends_;
}
