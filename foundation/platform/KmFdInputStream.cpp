#include "foundation/platform/KmFdInputStream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr size_t kBufferSize = 1 << 16;

}  // namespace

KmFdInputBuffer::KmFdInputBuffer(int iFd) : iFd_(iFd), buffer_(kBufferSize) {
  setg(buffer_.data(), buffer_.data(), buffer_.data());
}

KmFdInputBuffer::~KmFdInputBuffer() {
  if (iFd_ >= 0) close(iFd_);
}

KmFdInputBuffer::int_type KmFdInputBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (iFd_ < 0) return traits_type::eof();
  ssize_t iRead = -1;
  do {
    iRead = pread(iFd_, buffer_.data(), buffer_.size(), iNext_);
  } while (iRead < 0 && errno == EINTR);
  if (iRead <= 0) return traits_type::eof();
  iNext_ += iRead;
  setg(buffer_.data(), buffer_.data(), buffer_.data() + iRead);
  return traits_type::to_int_type(*gptr());
}

KmFdInputBuffer::pos_type KmFdInputBuffer::seekoff(off_type off,
                                                   std::ios::seekdir dir,
                                                   std::ios::openmode which) {
  const pos_type failed(off_type(-1));
  if ((which & std::ios::in) == 0 || iFd_ < 0) return failed;
  off_t iBase = iNext_ - (egptr() - gptr());
  if (dir == std::ios::beg) {
    iBase = 0;
  } else if (dir == std::ios::end) {
    struct stat info;
    if (fstat(iFd_, &info) != 0) return failed;
    iBase = info.st_size;
  }
  const off_t iTarget = iBase + off;
  if (iTarget < 0) return failed;
  iNext_ = iTarget;
  setg(buffer_.data(), buffer_.data(), buffer_.data());
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
