#include "foundation/platform/KmFileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include "foundation/platform/KmFdOutputStream.h"
#include "foundation/platform/KmPlatform.h"

namespace {

// The installed replacement, or null for the real file system.
std::atomic<KmFileSystem*> g_pInstalled{nullptr};

// A directory is not a file: fopen opens one for reading here, and every
// read then fails, so it would pass for an empty file.
bool IsDirectory(const std::string& sNativePath) {
  struct stat info;
  return stat(sNativePath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

KmFileSystem& RealFileSystem() {
  static KmFileSystem real;
  return real;
}

}  // namespace

KmFileSystem::~KmFileSystem() = default;

std::unique_ptr<std::istream> KmFileSystem::OpenInput(
    const std::string& sPath) {
  const std::string sNative = KmNativePath(sPath);
  if (IsDirectory(sNative)) {
    auto pFailed = std::make_unique<std::ifstream>();
    pFailed->setstate(std::ios::failbit);
    return pFailed;
  }
  // Binary on every mode: this platform translates no line ends, and the
  // line reader drops carriage returns itself.
  return std::make_unique<std::ifstream>(sNative,
                                         std::ios::in | std::ios::binary);
}

std::unique_ptr<std::ostream> KmFileSystem::OpenOutput(const std::string& sPath,
                                                       bool bAppend) {
  // Not blocking, so that a pipe without a reader fails at once instead of
  // hanging the run; the flag means nothing for a regular file.
  const int iFlags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK |
                     (bAppend ? O_APPEND : O_TRUNC);
  // The stream and its buffer exist before the descriptor does, so that
  // nothing can fail between the open and the stream owning it.
  auto pStream = std::make_unique<KmFdOutputStream>(-1);
  const std::string sNative = KmNativePath(sPath);
  int iFd = -1;
  do {
    iFd = ::open(sNative.c_str(), iFlags, kKmNewFileMode);
  } while (iFd < 0 && errno == EINTR);
  const int iErrno = errno;
  pStream->Attach(iFd);
  errno = iErrno;
  return pStream;
}

int KmFileSystem::CreateExclusiveAt(int iFolder, const std::string& sName) {
  // O_EXCL fails on any existing name, a symbolic link included, so the file
  // opened here can only be a new one.
  return ::openat(iFolder, sName.c_str(),
                  O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  kKmNewFileMode);
}

ssize_t KmFileSystem::Write(int iFd, const void* pBuffer, size_t iBytes) {
  return ::write(iFd, pBuffer, iBytes);
}

bool KmFileSystem::Sync(int iFd) { return ::fsync(iFd) == 0; }

bool KmFileSystem::Truncate(int iFd, off_t iLength) {
  return ::ftruncate(iFd, iLength) == 0;
}

ssize_t KmFileSystem::Read(int iFd, void* pBuffer, size_t iBytes) {
  return ::read(iFd, pBuffer, iBytes);
}

bool KmFileSystem::BirthTime(int iFd, long long& iBorn) {
  struct statx info;
  if (::statx(iFd, "", AT_EMPTY_PATH, STATX_BTIME, &info) != 0 ||
      (info.stx_mask & STATX_BTIME) == 0) {
    return false;
  }
  iBorn = static_cast<long long>(info.stx_btime.tv_sec) * 1000000000LL +
          info.stx_btime.tv_nsec;
  return true;
}

bool KmFileSystem::Lock(int iFd, int iOperation) {
  return ::flock(iFd, iOperation) == 0;
}

uid_t KmFileSystem::UserId() { return ::geteuid(); }

gzFile KmFileSystem::GzOpen(const std::string& sPath, const char* sMode) {
  const std::string sNative = KmNativePath(sPath);
  if (IsDirectory(sNative)) return nullptr;
  return gzopen(sNative.c_str(), sMode);
}

bool KmFileSystem::Exists(const std::string& sPath) {
  return access(KmNativePath(sPath).c_str(), F_OK) == 0;
}

bool KmFileSystem::IsSpecial(const std::string& sPath) {
  return KmIsSpecialAt(AT_FDCWD, KmNativePath(sPath));
}

bool KmFileSystem::Remove(const std::string& sPath) {
  return std::remove(KmNativePath(sPath).c_str()) == 0;
}

bool KmFileSystem::RemoveAt(int iFolder, const std::string& sName) {
  return ::unlinkat(iFolder, sName.c_str(), 0) == 0;
}

bool KmFileSystem::RenameAt(int iFolder, const std::string& sFrom,
                            const std::string& sTo) {
  return ::renameat(iFolder, sFrom.c_str(), iFolder, sTo.c_str()) == 0;
}

bool KmFileSystem::GetCurrentDirectory(std::string& sDir) {
  // getcwd reports ERANGE while the buffer is too short: grow until it fits,
  // so working directories of any length resolve.
  std::vector<char> buffer(512);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 24)) return false;
    buffer.resize(buffer.size() * 2);
  }
  sDir = buffer.data();
  return !sDir.empty();
}

bool KmIsSpecialAt(int iFolder, const std::string& sName) {
  // Removing or replacing a link to a regular file leaves that file alone;
  // a link to a device or a folder is refused like the device itself.
  struct stat info;
  if (fstatat(iFolder, sName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      S_ISREG(info.st_mode)) {
    return false;
  }
  if (!S_ISLNK(info.st_mode)) return true;
  return fstatat(iFolder, sName.c_str(), &info, 0) == 0 &&
         !S_ISREG(info.st_mode);
}

KmFileSystem& KmGetFileSystem() {
  KmFileSystem* pInstalled = g_pInstalled.load(std::memory_order_acquire);
  return pInstalled != nullptr ? *pInstalled : RealFileSystem();
}

KmFileSystem* KmSetFileSystem(KmFileSystem* pFileSystem) {
  return g_pInstalled.exchange(pFileSystem, std::memory_order_acq_rel);
}
