// Streams over a file this process holds open: a held file is written and
// read back through its own descriptor, never opened again by its name.
#ifndef KM_FOUNDATION_PLATFORM_KMHELDFILES_H
#define KM_FOUNDATION_PLATFORM_KMHELDFILES_H

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>

// An output stream over a copy of iFd, starting from an empty file unless
// bAppend (then after its last byte). The stream owns its copy; a copy that
// cannot be made gives a stream already in its failed state (errno set).
// The copy shares iFd's position: one writer at a time uses a held file.
std::unique_ptr<std::ostream> KmOpenHeldOutput(int iFd, bool bAppend);

// An input stream over a copy of iFd, reading from the file's first byte
// with its own position; a failed stream when no copy can be made.
std::unique_ptr<std::istream> KmOpenHeldInput(int iFd);

// Holds the advisory lock of the file open as iFd while it lives, so that
// other processes appending to it under the same lock wait: neither
// interleave with the holder's bytes nor lose theirs to its cut back. The
// lock is taken through the installed KmFileSystem, waiting for its holder
// for as long as it holds it; a lock that cannot be taken (a file system
// without them) is not held (IsHeld false, the reason in GetErrno): the
// caller must not go on as if it were.
class KmHeldFileLock {
 public:
  // Called once, on the constructing thread, when the lock was not free
  // within about a second: the wait may last as long as its holder keeps
  // it, and the caller says so where its user sees it.
  using WaitNotice = std::function<void()>;

  explicit KmHeldFileLock(int iFd, const WaitNotice& onWait = WaitNotice());
  ~KmHeldFileLock();
  KmHeldFileLock(const KmHeldFileLock&) = delete;
  KmHeldFileLock& operator=(const KmHeldFileLock&) = delete;

  bool IsHeld() const { return iErrno_ == 0; }
  // The system's reason the lock was not taken; 0 when held.
  int GetErrno() const { return iErrno_; }

 private:
  int iFd_;
  int iErrno_ = 0;
};

// Writes iBytes bytes of pBytes after the last byte of the file held open
// for writing as iFd and syncs it, through the installed KmFileSystem; false
// (errno set) when a write or the sync fails, the bytes written so far left
// in the file (the caller cuts them back, KmCutBack).
bool KmWriteAtEnd(int iFd, const char* pBytes, size_t iBytes);

// Cuts the file held open for writing as iFd back to its first iLength
// bytes, through the installed KmFileSystem; true on success (errno set
// when not).
bool KmCutBack(int iFd, off_t iLength);

#endif  // KM_FOUNDATION_PLATFORM_KMHELDFILES_H
