#include "foundation/platform/KmFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/platform/KmFileSystem.h"

namespace {

// How often a lock file that its holder removed under us is taken again.
constexpr int kAttempts = 10;

}  // namespace

KmFileLock::~KmFileLock() {
  if (iFd_ < 0) return;
  // Removed while still locked, so the next run never takes a file that is
  // about to go; a name that reaches another file by now is not removed.
  if (bCreated_ && folder_.Reaches(sLeaf_, iFd_)) folder_.Remove(sLeaf_);
  close(iFd_);
}

KmFileLock::Outcome KmFileLock::Acquire(const KmFolder& folder,
                                        const std::string& sPath) {
  const std::string sLeaf = KmFolder::LeafOf(sPath);
  if (!folder.IsOpen()) {
    errno = ENOENT;
    return Outcome::kFailed;
  }
  for (int i = 0; i < kAttempts; ++i) {
    constexpr int kFlags = O_RDWR | O_NONBLOCK;
    bool bCreated = true;
    int iFd = KmGetFileSystem().CreateExclusiveAt(folder.GetFd(), sLeaf);
    if (iFd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
      return Outcome::kFolderNotWritable;
    }
    if (iFd < 0 && errno == EEXIST) {
      bCreated = false;
      iFd = folder.OpenFile(sLeaf, kFlags);
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
    if (!KmGetFileSystem().Lock(iFd, LOCK_EX | LOCK_NB)) {
      const int iErrno = errno;
      close(iFd);
      if (iErrno == EWOULDBLOCK) return Outcome::kBusy;
      errno = iErrno;
      return Outcome::kFailed;
    }
    // A holder that finished removes the lock file, and a lock on the
    // removed file protects nothing.
    if (folder.Reaches(sLeaf, iFd)) {
      iFd_ = iFd;
      folder_ = folder;
      sLeaf_ = sLeaf;
      bCreated_ = bCreated;
      return Outcome::kHeld;
    }
    close(iFd);
  }
  errno = EAGAIN;
  return Outcome::kFailed;
}
