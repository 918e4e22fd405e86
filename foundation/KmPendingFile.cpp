// KmPendingFile.
#include "foundation/KmPendingFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmSystemReason.h"
#include "foundation/platform/KmFileSystem.h"

namespace {

const char kClassName[] = "KmPendingFile";
constexpr const char kPartialEnding[] = ".partial";
constexpr const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kTagLength = 6;
constexpr int kAttempts = 100;

// Six letters or digits no earlier call of this process gave and another
// process is unlikely to give.
std::string RandomTag() {
  static std::atomic<uint64_t> counter{0};
  static const uint64_t uSeed = std::random_device{}();
  std::mt19937_64 generator(uSeed ^
                            (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull));
  std::string sTag;
  for (size_t i = 0; i < kTagLength; ++i) {
    sTag += kLetters[generator() % (sizeof kLetters - 1)];
  }
  return sTag;
}

// True when sEntry is a partial name of sBase: "<sBase>.<tag>.partial".
bool IsPartialOf(const std::string& sEntry, const std::string& sBase) {
  const size_t iLength =
      sBase.size() + 1 + kTagLength + sizeof kPartialEnding - 1;
  if (sEntry.size() != iLength || sEntry.compare(0, sBase.size(), sBase) != 0 ||
      sEntry[sBase.size()] != '.' ||
      sEntry.compare(iLength - (sizeof kPartialEnding - 1), std::string::npos,
                     kPartialEnding) != 0) {
    return false;
  }
  const std::string sTag = sEntry.substr(sBase.size() + 1, kTagLength);
  return sTag.find_first_not_of(kLetters) == std::string::npos;
}

[[noreturn]] void RaiseWriteFailure(const KmString& sPath, int iErrno) {
  const std::string sReason = KmSystemReason(iErrno);
  GenerateKmExceptionF("Unable to write the file \"%s\": %s.", kClassName,
                       sPath.GetCString(), sReason.c_str());
}

// Copies every byte of iFrom to iTo; false (errno set) on failure.
bool CopyFile(int iFrom, int iTo) {
  std::vector<char> buffer(1 << 16);
  off_t iOffset = 0;
  for (;;) {
    const ssize_t iRead = pread(iFrom, buffer.data(), buffer.size(), iOffset);
    if (iRead < 0 && errno == EINTR) continue;
    if (iRead < 0) return false;
    if (iRead == 0) return true;
    for (ssize_t iDone = 0; iDone < iRead;) {
      const ssize_t iWritten =
          pwrite(iTo, buffer.data() + iDone, iRead - iDone, iOffset + iDone);
      if (iWritten < 0 && errno == EINTR) continue;
      if (iWritten <= 0) return false;
      iDone += iWritten;
    }
    iOffset += iRead;
  }
}

}  // namespace

KmPendingFile::KmPendingFile(const KmFolder& folder, const KmString& sPath)
    : folder_(folder), sPath_(sPath) {
  CreatePartial();
}

KmFileTarget KmPendingFile::GetFile() const {
  return KmFileTarget(sPath_.GetCString(), iFd_);
}

void KmPendingFile::CreatePartial() {
  KmFileSystem& fileSystem = KmGetFileSystem();
  const std::string sLeaf = KmFolder::LeafOf(sPath_.GetCString());
  for (int i = 0; i < kAttempts; ++i) {
    const std::string sTag = RandomTag();
    const std::string sPartialLeaf = sLeaf + "." + sTag + kPartialEnding;
    // A folder that could not be opened says why (too many open files).
    errno = folder_.IsOpen() ? 0 : folder_.GetOpenError();
    const int iFd = folder_.IsOpen() ? fileSystem.CreateExclusiveAt(
                                           folder_.GetFd(), sPartialLeaf)
                                     : -1;
    if (iFd >= 0) {
      sPartial_ = sPath_;
      sPartial_ << "." << sTag.c_str() << kPartialEnding;
      iFd_ = iFd;
      return;
    }
    if (errno != EEXIST) break;
  }
  RaiseWriteFailure(sPath_, errno != 0 ? errno : EEXIST);
}

KmPendingFile::~KmPendingFile() {
  if (iFd_ < 0) return;
  // A partial name that reaches another file by now is not this run's.
  const std::string sPartialLeaf = KmFolder::LeafOf(sPartial_.GetCString());
  if (!bCommitted_ && folder_.Reaches(sPartialLeaf, iFd_)) {
    folder_.Remove(sPartialLeaf);
  }
  close(iFd_);
}

void KmPendingFile::MoveToNewPartial() {
  const int iOld = iFd_;
  try {
    CreatePartial();
  } catch (...) {
    close(iOld);
    iFd_ = -1;
    throw;
  }
  bSynced_ = false;
  const bool bCopied = CopyFile(iOld, iFd_);
  const int iErrno = errno;
  close(iOld);
  if (!bCopied) RaiseWriteFailure(sPath_, iErrno);
}

void KmPendingFile::Sync() {
  for (int i = 0;
       !folder_.Reaches(KmFolder::LeafOf(sPartial_.GetCString()), iFd_); ++i) {
    if (i == kAttempts) {
      GenerateKmExceptionF(
          "Unable to write the file \"%s\": its partial file keeps being "
          "replaced.",
          kClassName, sPath_.GetCString());
    }
    MoveToNewPartial();
  }
  // Once: a file synced before the commit record is only renamed after it.
  if (bSynced_) return;
  if (!KmGetFileSystem().Sync(iFd_)) RaiseWriteFailure(sPath_, errno);
  bSynced_ = true;
}

void KmPendingFile::Commit() {
  Sync();
  KmIO_File::MoveIntoPlace(folder_, sPartial_.GetCString(),
                           sPath_.GetCString());
  bCommitted_ = true;
  if (!folder_.Reaches(KmFolder::LeafOf(sPath_.GetCString()), iFd_)) {
    GenerateKmExceptionF(
        "Unable to write the file \"%s\": the name reached another file once "
        "the file was moved into place.",
        kClassName, sPath_.GetCString());
  }
}

void KmPendingFile::RemoveLeftovers(
    const KmFolder& folder, const KmString& sPath,
    const std::function<bool(const KmString&)>& bKeep) {
  const std::string sBase = KmFolder::LeafOf(sPath.GetCString());
  // A listing of its own: the folder's descriptor keeps its position.
  const int iList = folder.OpenFile(".", O_RDONLY | O_DIRECTORY);
  DIR* pDir = iList >= 0 ? fdopendir(iList) : nullptr;
  if (pDir == nullptr) {
    // A folder that cannot be listed keeps what it holds.
    if (iList >= 0) close(iList);
    return;
  }
  std::vector<std::string> leftovers;
  while (const dirent* pEntry = readdir(pDir)) {
    const std::string sEntry = pEntry->d_name;
    if (IsPartialOf(sEntry, sBase) && folder.IsRegularFile(sEntry)) {
      leftovers.push_back(sEntry);
    }
  }
  closedir(pDir);
  // The keep rule compares by path: the folder's path still reaches the
  // held folder (the run checked it before it swept).
  const std::string sFolder = KmFolder::FolderOf(sPath.GetCString());
  for (const std::string& sEntry : leftovers) {
    if (!bKeep(KmString((sFolder + "/" + sEntry).c_str()))) {
      folder.Remove(sEntry);
    }
  }
}

bool KmPendingFile::IsPartialName(const std::string& sName) {
  const size_t iEnding = 1 + kTagLength + sizeof kPartialEnding - 1;
  return sName.size() > iEnding &&
         IsPartialOf(sName, sName.substr(0, sName.size() - iEnding));
}

std::string KmPendingFile::NameOfPartial(const std::string& sPartial) {
  if (!IsPartialName(KmFolder::LeafOf(sPartial))) return sPartial;
  return sPartial.substr(
      0, sPartial.size() - (1 + kTagLength + sizeof kPartialEnding - 1));
}
