#include "foundation/platform/KmHeldFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "foundation/platform/KmFdInputStream.h"
#include "foundation/platform/KmFdOutputStream.h"
#include "foundation/platform/KmPlatform.h"

namespace {

std::mutex& HeldMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, int>& HeldFiles() {
  static std::map<std::string, int> held;
  return held;
}

// A copy of the descriptor held for sPath (-1 when none, or errno set).
int CopyOfHeld(const std::string& sPath) {
  std::lock_guard<std::mutex> lock(HeldMutex());
  const auto it = HeldFiles().find(KmNativePath(sPath));
  if (it == HeldFiles().end()) return -1;
  return fcntl(it->second, F_DUPFD_CLOEXEC, 0);
}

bool IsHeld(const std::string& sPath) {
  std::lock_guard<std::mutex> lock(HeldMutex());
  return HeldFiles().count(KmNativePath(sPath)) != 0;
}

}  // namespace

void KmHoldFile(const std::string& sPath, int iFd) {
  std::lock_guard<std::mutex> lock(HeldMutex());
  HeldFiles()[KmNativePath(sPath)] = iFd;
}

void KmReleaseFile(const std::string& sPath, int iFd) {
  std::lock_guard<std::mutex> lock(HeldMutex());
  const auto it = HeldFiles().find(KmNativePath(sPath));
  if (it != HeldFiles().end() && it->second == iFd) HeldFiles().erase(it);
}

std::unique_ptr<std::ostream> KmOpenHeldOutput(const std::string& sPath,
                                               bool bAppend) {
  if (!IsHeld(sPath)) return nullptr;
  // Made before the copy exists, so the copy always has its owner.
  auto pStream = std::make_unique<KmFdOutputStream>(-1);
  const int iFd = CopyOfHeld(sPath);
  // The copy shares the held descriptor's position; only one writer at a
  // time uses a held file.
  if (iFd >= 0 &&
      (bAppend ? lseek(iFd, 0, SEEK_END) < 0
               : ftruncate(iFd, 0) != 0 || lseek(iFd, 0, SEEK_SET) < 0)) {
    const int iErrno = errno;
    close(iFd);
    errno = iErrno;
    return pStream;
  }
  pStream->Attach(iFd);
  return pStream;
}

std::unique_ptr<std::istream> KmOpenHeldInput(const std::string& sPath) {
  if (!IsHeld(sPath)) return nullptr;
  auto pStream = std::make_unique<KmFdInputStream>(-1);
  pStream->Attach(CopyOfHeld(sPath));
  return pStream;
}

bool KmNameReachesFile(const std::string& sPath, int iFd) {
  struct stat open;
  struct stat named;
  return fstat(iFd, &open) == 0 &&
         lstat(KmNativePath(sPath).c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}
