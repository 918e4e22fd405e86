// An input stream over a file descriptor, reading at its own position, so
// that a file is read back through the descriptor that wrote it.
#ifndef KM_FOUNDATION_PLATFORM_KMFDINPUTSTREAM_H
#define KM_FOUNDATION_PLATFORM_KMFDINPUTSTREAM_H

#include <sys/types.h>

#include <istream>
#include <streambuf>
#include <vector>

// KmFdInputBuffer: a buffered stream buffer reading a descriptor it owns by
// position (pread), so the descriptor's own offset is never used. Seeking
// from the end takes the file's current size.
class KmFdInputBuffer : public std::streambuf {
 public:
  // Takes ownership of iFd (-1 for none: every read ends at once).
  explicit KmFdInputBuffer(int iFd);
  ~KmFdInputBuffer() override;
  KmFdInputBuffer(const KmFdInputBuffer&) = delete;
  KmFdInputBuffer& operator=(const KmFdInputBuffer&) = delete;

  // Takes ownership of iFd in place of a descriptor of -1. Raises nothing.
  void Attach(int iFd) { iFd_ = iFd; }

 protected:
  int_type underflow() override;
  pos_type seekoff(off_type off, std::ios::seekdir dir,
                   std::ios::openmode which) override;
  pos_type seekpos(pos_type pos, std::ios::openmode which) override;

 private:
  int iFd_;
  off_t iNext_ = 0;  // the file offset of the byte after the buffered ones
  std::vector<char> buffer_;
};

// KmFdInputStream: an std::istream over a KmFdInputBuffer. A descriptor of
// -1 gives a stream already in its failed state.
class KmFdInputStream : public std::istream {
 public:
  explicit KmFdInputStream(int iFd);
  // Takes ownership of iFd in a stream made with -1, clearing its failed
  // state when iFd is a descriptor. Raises nothing.
  void Attach(int iFd);

 private:
  KmFdInputBuffer buffer_;
};

#endif  // KM_FOUNDATION_PLATFORM_KMFDINPUTSTREAM_H
