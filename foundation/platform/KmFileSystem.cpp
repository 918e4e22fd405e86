#include "foundation/platform/KmFileSystem.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
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

// True when sLine of the kernel's list of locks is an flock held (not
// waited for) on the file of file's device and inode, taken by a process it
// names, iPid. A line reads "1: FLOCK  ADVISORY  WRITE 4242 fe:00:1234 0
// EOF": the device's major and minor numbers in hexadecimal, the inode in
// decimal; a waiter's has "->" after its number. Only an flock holds back
// another flock: an fcntl lock ("POSIX", "OFDLCK") or a lease on the same
// file does not, so its holder is none of the ones a run waits for.
bool HoldsLockOn(const std::string& sLine, const struct stat& file,
                 long& iPid) {
  std::istringstream fields(sLine);
  std::string sNumber, sType, sMode, sAccess, sFile;
  if (!(fields >> sNumber >> sType >> sMode >> sAccess >> iPid >> sFile) ||
      sType != "FLOCK" || iPid <= 0) {
    return false;
  }
  unsigned int iMajor = 0;
  unsigned int iMinor = 0;
  unsigned long long iInode = 0;
  return std::sscanf(sFile.c_str(), "%x:%x:%llu", &iMajor, &iMinor, &iInode) ==
             3 &&
         iMajor == major(file.st_dev) && iMinor == minor(file.st_dev) &&
         iInode == static_cast<unsigned long long>(file.st_ino);
}

// The process iPid as its status tells it: its command name and the
// account it acts as (the second of the "Uid:" line's ids).
KmLockHolder HolderOf(long iPid) {
  KmLockHolder holder;
  holder.iPid = iPid;
  std::ifstream status("/proc/" + std::to_string(iPid) + "/status");
  std::string sLine;
  while (std::getline(status, sLine)) {
    std::istringstream fields(sLine);
    std::string sKey;
    unsigned long iReal = 0;
    unsigned long iEffective = 0;
    fields >> sKey;
    if (sKey == "Name:") std::getline(fields >> std::ws, holder.sCommand);
    if (sKey == "Uid:" && fields >> iReal >> iEffective) {
      holder.iUid = static_cast<uid_t>(iEffective);
      holder.bRunning = true;
    }
  }
  if (!holder.bRunning) holder.sCommand.clear();
  return holder;
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

std::string KmFileSystem::AccountName(uid_t iUid) {
  const long iSize = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(iSize > 0 ? static_cast<size_t>(iSize) : 16384);
  struct passwd entry;
  struct passwd* pFound = nullptr;
  if (getpwuid_r(iUid, &entry, buffer.data(), buffer.size(), &pFound) != 0 ||
      pFound == nullptr || pFound->pw_name == nullptr) {
    return "";
  }
  return pFound->pw_name;
}

std::vector<KmLockHolder> KmFileSystem::LockHolders(const struct stat& file) {
  std::vector<KmLockHolder> holders;
  std::ifstream locks("/proc/locks");
  std::string sLine;
  long iPid = 0;
  while (std::getline(locks, sLine)) {
    if (!HoldsLockOn(sLine, file, iPid) ||
        std::any_of(holders.begin(), holders.end(),
                    [iPid](const KmLockHolder& h) { return h.iPid == iPid; })) {
      continue;
    }
    holders.push_back(HolderOf(iPid));
  }
  return holders;
}

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
