#include "foundation/platform/KmFdInputStream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/platform/KmFileSystem.h"

namespace {

constexpr size_t kBufferSize = 1 << 16;

}  // namespace

KmFdInputBuffer::KmFdInputBuffer(int iFd) : iFd_(iFd), buffer_(kBufferSize) {
  setg(buffer_.data(), buffer_.data(), buffer_.data());
}

KmFdInputBuffer::~KmFdInputBuffer() {
  if (iFd_ >= 0) close(iFd_);
}

off_t KmFdInputBuffer::Position() const {
  return bInHeld_ ? iHeldStart_ + (gptr() - eback()) : iNext_;
}

void KmFdInputBuffer::MoveTo(off_t iTarget) {
  char* pHeld = buffer_.data();
  bInHeld_ = iTarget >= iHeldStart_ && iTarget <= iHeldStart_ + iHeld_;
  if (bInHeld_) {
    setg(pHeld, pHeld + (iTarget - iHeldStart_), pHeld + iHeld_);
  } else {
    iNext_ = iTarget;
    setg(pHeld, pHeld, pHeld);
  }
}

bool KmFdInputBuffer::Size(off_t& iSize) {
  if (iSize_ < 0) {
    struct stat info;
    if (fstat(iFd_, &info) != 0) return false;
    iSize_ = info.st_size;
  }
  iSize = iSize_;
  return true;
}

off_t KmFdInputBuffer::ReadFile(off_t iAt, char* pTo, size_t iBytes) {
  KmFileSystem& fileSystem = KmGetFileSystem();
  ssize_t iRead = -1;
  do {
    iRead = fileSystem.ReadAt(iFd_, pTo, iBytes, iAt);
  } while (iRead < 0 && errno == EINTR);
  const off_t iGot = iRead > 0 ? iRead : 0;
  // A read that goes past the measured end, or ends short before it, finds
  // the file changed since it was measured.
  const off_t iEnd = iAt + iGot;
  if (iEnd > iSize_ || (iGot < static_cast<off_t>(iBytes) && iEnd < iSize_)) {
    iSize_ = -1;
  }
  return iGot;
}

KmFdInputBuffer::int_type KmFdInputBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (iFd_ < 0) return traits_type::eof();
  const off_t iAt = Position();
  // The bytes held before are overwritten whatever the outcome.
  iHeld_ = ReadFile(iAt, buffer_.data(), buffer_.size());
  iHeldStart_ = iAt;
  MoveTo(iAt);
  if (iHeld_ == 0) return traits_type::eof();
  return traits_type::to_int_type(*gptr());
}

KmFdInputBuffer::pos_type KmFdInputBuffer::seekoff(off_type off,
                                                   std::ios::seekdir dir,
                                                   std::ios::openmode which) {
  const pos_type failed(off_type(-1));
  if ((which & std::ios::in) == 0 || iFd_ < 0) return failed;
  off_t iBase = Position();
  if (dir == std::ios::beg) {
    iBase = 0;
  } else if (dir == std::ios::end && !Size(iBase)) {
    return failed;
  }
  const off_t iTarget = iBase + off;
  if (iTarget < 0) return failed;
  MoveTo(iTarget);
  return pos_type(off_type(iTarget));
}

KmFdInputBuffer::pos_type KmFdInputBuffer::seekpos(pos_type pos,
                                                   std::ios::openmode which) {
  return seekoff(off_type(pos), std::ios::beg, which);
}

KmFdInputStream::KmFdInputStream(int iFd)
    : std::istream(nullptr), buffer_(iFd) {
  rdbuf(&buffer_);
  if (iFd < 0) setstate(std::ios::failbit);
}

void KmFdInputStream::Attach(int iFd) {
  buffer_.Attach(iFd);
  if (iFd >= 0) clear();
}
