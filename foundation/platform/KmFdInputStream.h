// An input stream over a file descriptor, reading at its own position, so
// that a file is read back through the descriptor that wrote it.
#ifndef KM_FOUNDATION_PLATFORM_KMFDINPUTSTREAM_H
#define KM_FOUNDATION_PLATFORM_KMFDINPUTSTREAM_H

#include <sys/types.h>

#include <istream>
#include <streambuf>
#include <vector>

// KmFdInputBuffer: a buffered stream buffer reading a descriptor it owns by
// position (KmFileSystem::ReadAt), so the descriptor's own offset is never
// used. It keeps the bytes it read last: a seek, a tell or a size query
// that lands inside them reads nothing again, so a reader that measures the
// file and moves about a record (the checked readers of the results file do
// both for every count) reads each byte about once. Seeking from the end
// takes the file's size, measured once and again whenever a read finds the
// file longer or shorter than measured.
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
  // The file offset of the next byte to read.
  off_t Position() const;
  // Makes iTarget the next byte to read: inside the bytes held (or just
  // after them) the get area points there, else the next read fetches from
  // iTarget.
  void MoveTo(off_t iTarget);
  // The file's size (measured when not known); false when it cannot be.
  bool Size(off_t& iSize);
  // Reads up to iBytes bytes from the file's byte iAt into pTo and returns
  // how many it read (0 at the end and on an error); forgets the measured
  // size when the read shows the file changed.
  off_t ReadFile(off_t iAt, char* pTo, size_t iBytes);

  int iFd_;
  std::vector<char> buffer_;
  off_t iHeldStart_ = 0;  // the file offset of buffer_[0]
  off_t iHeld_ = 0;       // how many bytes of buffer_ hold the file's bytes
  bool bInHeld_ = false;  // the get area is the held bytes
  off_t iNext_ = 0;       // the next byte to read when !bInHeld_
  off_t iSize_ = -1;      // the file's size as last measured (-1 unknown)
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
