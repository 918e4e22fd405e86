#include "foundation/platform/KmHeldFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/platform/KmFdInputStream.h"
#include "foundation/platform/KmFdOutputStream.h"
#include "foundation/platform/KmFileSystem.h"

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

namespace {

// Writes every byte at the end of iFd and syncs it; false (errno set) when
// a write or the sync fails.
bool WriteAtEnd(int iFd, const char* pBytes, size_t iBytes) {
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
  return fsync(iFd) == 0;
}

}  // namespace

KmAppendOutcome KmAppendWhole(int iFd, const char* pBytes, size_t iBytes) {
  // A lock that cannot be taken (a file system without them) leaves the
  // append to go on unguarded, as it would without the lock.
  while (flock(iFd, LOCK_EX) != 0 && errno == EINTR) {
  }
  KmAppendOutcome outcome = KmAppendOutcome::kAppended;
  struct stat info;
  int iErrno = 0;
  if (fstat(iFd, &info) != 0) {
    iErrno = errno;
    outcome = KmAppendOutcome::kCutBack;  // nothing was written
  } else if (!WriteAtEnd(iFd, pBytes, iBytes)) {
    iErrno = errno;
    int iCut = -1;
    do {
      iCut = ftruncate(iFd, info.st_size);
    } while (iCut != 0 && errno == EINTR);
    outcome = iCut == 0 ? KmAppendOutcome::kCutBack : KmAppendOutcome::kLeftCut;
  }
  flock(iFd, LOCK_UN);
  errno = iErrno;
  return outcome;
}
