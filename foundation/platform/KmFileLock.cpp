#include "foundation/platform/KmFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/platform/KmPlatform.h"

namespace {

// How often a lock file that its holder removed under us is taken again.
constexpr int kAttempts = 10;

// True when sPath still names the file open as iFd: a holder that finished
// removes the lock file, and a lock on the removed file protects nothing.
bool StillNamed(int iFd, const std::string& sPath) {
  struct stat open;
  struct stat named;
  return fstat(iFd, &open) == 0 && lstat(sPath.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

KmFileLock::~KmFileLock() {
  if (iFd_ < 0) return;
  // Removed while still locked, so the next run never takes a file that is
  // about to go.
  if (bCreated_ && StillNamed(iFd_, sPath_)) unlink(sPath_.c_str());
  close(iFd_);
}

KmFileLock::Outcome KmFileLock::Acquire(const std::string& sPath) {
  const std::string sNative = KmNativePath(sPath);
  for (int i = 0; i < kAttempts; ++i) {
    constexpr int kFlags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    bool bCreated = true;
    int iFd = open(sNative.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
    if (iFd < 0 && errno == EEXIST) {
      bCreated = false;
      iFd = open(sNative.c_str(), kFlags);
      // Removed by its holder in between: create it again.
      if (iFd < 0 && errno == ENOENT) continue;
    }
    if (iFd < 0) return Outcome::kFailed;
    struct stat info;
    if (fstat(iFd, &info) != 0 || !S_ISREG(info.st_mode)) {
      close(iFd);
      errno = EINVAL;
      return Outcome::kFailed;
    }
    if (flock(iFd, LOCK_EX | LOCK_NB) != 0) {
      const int iErrno = errno;
      close(iFd);
      if (iErrno == EWOULDBLOCK) return Outcome::kBusy;
      errno = iErrno;
      return Outcome::kFailed;
    }
    if (StillNamed(iFd, sNative)) {
      iFd_ = iFd;
      sPath_ = sNative;
      bCreated_ = bCreated;
      return Outcome::kHeld;
    }
    close(iFd);
  }
  errno = EAGAIN;
  return Outcome::kFailed;
}
