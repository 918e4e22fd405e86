#include "foundation/platform/KmFdOutputStream.h"

#include <unistd.h>

#include <cerrno>

#include "foundation/platform/KmFileSystem.h"

namespace {

constexpr size_t kBufferSize = 1 << 16;

}  // namespace

KmFdOutputBuffer::KmFdOutputBuffer(int iFd) : iFd_(iFd), buffer_(kBufferSize) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

KmFdOutputBuffer::~KmFdOutputBuffer() { Close(); }

bool KmFdOutputBuffer::WriteBuffered() {
  const char* pNext = pbase();
  while (pNext < pptr()) {
    const ssize_t iWritten = KmGetFileSystem().Write(
        iFd_, pNext, static_cast<size_t>(pptr() - pNext));
    if (iWritten < 0 && errno == EINTR) continue;
    if (iWritten <= 0) {
      if (iWritten == 0) errno = EIO;
      setp(buffer_.data(), buffer_.data() + buffer_.size());
      return false;
    }
    pNext += iWritten;
  }
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return true;
}

bool KmFdOutputBuffer::Close() {
  if (iFd_ < 0) return true;
  bool bDone = WriteBuffered();
  int iErrno = errno;
  if (::close(iFd_) != 0 && bDone) {
    bDone = false;
    iErrno = errno;
  }
  iFd_ = -1;
  errno = iErrno;
  return bDone;
}

KmFdOutputBuffer::int_type KmFdOutputBuffer::overflow(int_type c) {
  if (iFd_ < 0) {
    errno = EBADF;
    return traits_type::eof();
  }
  if (!WriteBuffered()) return traits_type::eof();
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

int KmFdOutputBuffer::sync() {
  if (iFd_ < 0) return pptr() == pbase() ? 0 : -1;
  return WriteBuffered() ? 0 : -1;
}

KmFdOutputBuffer::pos_type KmFdOutputBuffer::seekoff(off_type off,
                                                     std::ios::seekdir dir,
                                                     std::ios::openmode which) {
  if ((which & std::ios::out) == 0 || iFd_ < 0 || !WriteBuffered()) {
    return pos_type(off_type(-1));
  }
  const int iWhence = dir == std::ios::beg   ? SEEK_SET
                      : dir == std::ios::cur ? SEEK_CUR
                                             : SEEK_END;
  return pos_type(off_type(::lseek(iFd_, off, iWhence)));
}

KmFdOutputBuffer::pos_type KmFdOutputBuffer::seekpos(pos_type pos,
                                                     std::ios::openmode which) {
  return seekoff(off_type(pos), std::ios::beg, which);
}

KmFdOutputStream::KmFdOutputStream(int iFd)
    : std::ostream(nullptr), buffer_(iFd) {
  rdbuf(&buffer_);
  if (iFd < 0) setstate(std::ios::failbit);
}

void KmFdOutputStream::Attach(int iFd) {
  buffer_.Attach(iFd);
  if (iFd >= 0) clear();
}

void KmFdOutputStream::close() {
  if (!buffer_.Close()) setstate(std::ios::failbit);
}
