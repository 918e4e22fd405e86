// An output stream over a file descriptor the file system layer opened
// itself, so that it could choose the open flags (never through a link).
#ifndef KM_FOUNDATION_PLATFORM_KMFDOUTPUTSTREAM_H
#define KM_FOUNDATION_PLATFORM_KMFDOUTPUTSTREAM_H

#include <ostream>
#include <streambuf>
#include <vector>

// KmFdOutputBuffer: a buffered stream buffer writing to a descriptor it
// owns. Seeking flushes first and moves the descriptor's position. A
// failed write leaves errno set and fails the stream's operation.
class KmFdOutputBuffer : public std::streambuf {
 public:
  // Takes ownership of iFd (-1 for none: every write fails).
  explicit KmFdOutputBuffer(int iFd);
  // Takes ownership of iFd in place of a descriptor of -1. Raises nothing.
  // REQUIRES: the buffer has no descriptor.
  void Attach(int iFd) { iFd_ = iFd; }
  ~KmFdOutputBuffer() override;
  KmFdOutputBuffer(const KmFdOutputBuffer&) = delete;
  KmFdOutputBuffer& operator=(const KmFdOutputBuffer&) = delete;

  // Writes what is buffered and closes the descriptor; false (errno set)
  // when either failed. Closing twice does nothing more.
  bool Close();

 protected:
  int_type overflow(int_type c) override;
  int sync() override;
  pos_type seekoff(off_type off, std::ios::seekdir dir,
                   std::ios::openmode which) override;
  pos_type seekpos(pos_type pos, std::ios::openmode which) override;

 private:
  // Writes the buffered bytes; false (errno set) on failure.
  bool WriteBuffered();

  int iFd_;
  std::vector<char> buffer_;
};

// KmFdOutputStream: an std::ostream over a KmFdOutputBuffer. A descriptor
// of -1 gives a stream already in its failed state.
class KmFdOutputStream : public std::ostream {
 public:
  explicit KmFdOutputStream(int iFd);
  // Takes ownership of iFd in a stream made with -1, clearing its failed
  // state when iFd is a descriptor. Raises nothing, so a descriptor opened
  // just before is never left without an owner.
  void Attach(int iFd);
  // Flushes and closes; sets the fail bit (errno set) when that failed.
  void close();

 private:
  KmFdOutputBuffer buffer_;
};

#endif  // KM_FOUNDATION_PLATFORM_KMFDOUTPUTSTREAM_H
