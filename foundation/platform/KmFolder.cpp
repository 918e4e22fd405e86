#include "foundation/platform/KmFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "foundation/platform/KmFileSystem.h"
#include "foundation/platform/KmPlatform.h"

namespace {

// The position of the last separator of sName, or npos.
size_t LastSeparator(const std::string& sName) {
  return sName.find_last_of("/\\");
}

}  // namespace

KmFolder::KmFolder(const KmFolder& other)
    : iOpenError_(other.iOpenError_), sPath_(other.sPath_) {
  if (other.iFd_ >= 0) {
    iFd_ = fcntl(other.iFd_, F_DUPFD_CLOEXEC, 0);
    if (iFd_ < 0) iOpenError_ = errno;
  }
}

KmFolder& KmFolder::operator=(const KmFolder& other) {
  if (this == &other) return *this;
  KmFolder copy(other);
  std::swap(iFd_, copy.iFd_);
  std::swap(iOpenError_, copy.iOpenError_);
  std::swap(sPath_, copy.sPath_);
  return *this;
}

// A vector of folders moves them as it grows (the move is noexcept), so no
// descriptor is duplicated and closed on the way.
KmFolder::KmFolder(KmFolder&& other) noexcept
    : iFd_(other.iFd_),
      iOpenError_(other.iOpenError_),
      sPath_(std::move(other.sPath_)) {
  other.iFd_ = -1;
  other.iOpenError_ = ENOENT;
}

KmFolder& KmFolder::operator=(KmFolder&& other) noexcept {
  if (this == &other) return *this;
  if (iFd_ >= 0) close(iFd_);
  iFd_ = other.iFd_;
  iOpenError_ = other.iOpenError_;
  sPath_ = std::move(other.sPath_);
  other.iFd_ = -1;
  other.iOpenError_ = ENOENT;
  return *this;
}

KmFolder::~KmFolder() {
  if (iFd_ >= 0) close(iFd_);
}

bool KmFolder::Open(const std::string& sPath) {
  if (iFd_ >= 0) close(iFd_);
  sPath_ = sPath;
  iFd_ =
      ::open(KmNativePath(sPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  iOpenError_ = iFd_ >= 0 ? 0 : errno;
  return iFd_ >= 0;
}

bool KmFolder::IsStillNamed() const {
  struct stat held;
  struct stat named;
  return iFd_ >= 0 && fstat(iFd_, &held) == 0 &&
         stat(KmNativePath(sPath_).c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

std::string KmFolder::FolderOf(const std::string& sName) {
  const size_t iSlash = LastSeparator(sName);
  if (iSlash == std::string::npos) return ".";
  return iSlash == 0 ? sName.substr(0, 1) : sName.substr(0, iSlash);
}

std::string KmFolder::LeafOf(const std::string& sName) {
  const size_t iSlash = LastSeparator(sName);
  return iSlash == std::string::npos ? sName : sName.substr(iSlash + 1);
}

bool KmFolder::Reaches(const std::string& sLeaf, int iFd) const {
  struct stat open;
  struct stat named;
  return fstat(iFd, &open) == 0 &&
         fstatat(iFd_, sLeaf.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool KmFolder::IsSpecial(const std::string& sLeaf) const {
  return KmIsSpecialAt(iFd_, sLeaf);
}

bool KmFolder::Exists(const std::string& sLeaf) const {
  struct stat info;
  return Stat(sLeaf, info);
}

bool KmFolder::Stat(const std::string& sLeaf, struct stat& info) const {
  return fstatat(iFd_, sLeaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool KmFolder::IsRegularFile(const std::string& sLeaf) const {
  struct stat info;
  return Stat(sLeaf, info) && S_ISREG(info.st_mode);
}

bool KmFolder::Remove(const std::string& sLeaf) const {
  if (IsSpecial(sLeaf)) {
    errno = EPERM;
    return false;
  }
  return KmGetFileSystem().RemoveAt(iFd_, sLeaf);
}

bool KmFolder::Rename(const std::string& sFrom, const std::string& sTo) const {
  return KmGetFileSystem().RenameAt(iFd_, sFrom, sTo);
}

int KmFolder::OpenFile(const std::string& sLeaf, int iFlags, int iMode) const {
  int iFd = -1;
  do {
    iFd = openat(iFd_, sLeaf.c_str(), iFlags | O_NOFOLLOW | O_CLOEXEC, iMode);
  } while (iFd < 0 && errno == EINTR);
  return iFd;
}

bool KmFolder::Sync() const {
  if (iFd_ < 0) {
    errno = EBADF;
    return false;
  }
  return KmGetFileSystem().Sync(iFd_);
}
