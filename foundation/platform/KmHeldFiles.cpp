#include "foundation/platform/KmHeldFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "foundation/platform/KmFdInputStream.h"
#include "foundation/platform/KmFdOutputStream.h"
#include "foundation/platform/KmFileSystem.h"

namespace {

// How long a lock held by another process is tried for before the wait is
// told, and how often it is tried meanwhile.
constexpr std::chrono::seconds kNoticeAfter(1);
constexpr std::chrono::milliseconds kRetryEvery(50);

// Takes the lock of iFd by iOperation, again after an interruption: 0 when
// taken, else the system's reason (EWOULDBLOCK: another process holds it).
int LockOnce(KmFileSystem& fileSystem, int iFd, int iOperation) {
  while (!fileSystem.Lock(iFd, iOperation)) {
    if (errno != EINTR) return errno != 0 ? errno : ENOLCK;
  }
  return 0;
}

}  // namespace

std::unique_ptr<std::ostream> KmOpenHeldOutput(int iFd, bool bAppend) {
  // Made before the copy exists, so the copy always has its owner.
  auto pStream = std::make_unique<KmFdOutputStream>(-1);
  const int iCopy = fcntl(iFd, F_DUPFD_CLOEXEC, 0);
  if (iCopy < 0) return pStream;
  if (bAppend ? lseek(iCopy, 0, SEEK_END) < 0
              : ftruncate(iCopy, 0) != 0 || lseek(iCopy, 0, SEEK_SET) < 0) {
    const int iErrno = errno;
    close(iCopy);
    errno = iErrno;
    return pStream;
  }
  pStream->Attach(iCopy);
  return pStream;
}

std::unique_ptr<std::istream> KmOpenHeldInput(int iFd) {
  auto pStream = std::make_unique<KmFdInputStream>(-1);
  pStream->Attach(fcntl(iFd, F_DUPFD_CLOEXEC, 0));
  return pStream;
}

bool KmWriteAtEnd(int iFd, const char* pBytes, size_t iBytes) {
  if (lseek(iFd, 0, SEEK_END) < 0) return false;
  KmFileSystem& fileSystem = KmGetFileSystem();
  for (size_t iDone = 0; iDone < iBytes;) {
    const ssize_t iWritten =
        fileSystem.Write(iFd, pBytes + iDone, iBytes - iDone);
    if (iWritten < 0 && errno == EINTR) continue;
    if (iWritten <= 0) {
      if (iWritten == 0) errno = EIO;
      return false;
    }
    iDone += static_cast<size_t>(iWritten);
  }
  return fileSystem.Sync(iFd);
}

KmHeldFileLock::KmHeldFileLock(int iFd, const WaitNotice& onWait) : iFd_(iFd) {
  KmFileSystem& fileSystem = KmGetFileSystem();
  // Tried without waiting first, so that a wait longer than a moment is
  // told while it lasts rather than after it.
  const auto start = std::chrono::steady_clock::now();
  iErrno_ = LockOnce(fileSystem, iFd_, LOCK_EX | LOCK_NB);
  while (iErrno_ == EWOULDBLOCK &&
         std::chrono::steady_clock::now() - start < kNoticeAfter) {
    std::this_thread::sleep_for(kRetryEvery);
    iErrno_ = LockOnce(fileSystem, iFd_, LOCK_EX | LOCK_NB);
  }
  if (iErrno_ != EWOULDBLOCK) return;
  if (onWait) onWait();
  iErrno_ = LockOnce(fileSystem, iFd_, LOCK_EX);
}

KmHeldFileLock::~KmHeldFileLock() {
  if (IsHeld()) KmGetFileSystem().Lock(iFd_, LOCK_UN);
}

bool KmCutBack(int iFd, off_t iLength) {
  KmFileSystem& fileSystem = KmGetFileSystem();
  while (!fileSystem.Truncate(iFd, iLength)) {
    if (errno != EINTR) return false;
  }
  return true;
}
