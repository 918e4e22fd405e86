// KmPendingFile.
#include "foundation/KmPendingFile.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/platform/KmFileSystem.h"
#include "foundation/platform/KmHeldFiles.h"
#include "foundation/platform/KmPlatform.h"

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
  const std::string sReason =
      std::error_code(iErrno, std::generic_category()).message();
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

KmPendingFile::KmPendingFile(const KmString& sPath) : sPath_(sPath) {
  CreatePartial();
}

void KmPendingFile::CreatePartial() {
  KmFileSystem& fileSystem = KmGetFileSystem();
  for (int i = 0; i < kAttempts; ++i) {
    KmString sPartial(sPath_);
    sPartial << "." << RandomTag().c_str() << kPartialEnding;
    errno = 0;
    const int iFd = fileSystem.CreateExclusive(sPartial.GetCString());
    if (iFd >= 0) {
      sPartial_ = sPartial;
      iFd_ = iFd;
      KmHoldFile(sPartial_.GetCString(), iFd_);
      return;
    }
    if (errno != EEXIST) break;
  }
  RaiseWriteFailure(sPath_, errno != 0 ? errno : EEXIST);
}

KmPendingFile::~KmPendingFile() {
  if (iFd_ < 0) return;
  KmReleaseFile(sPartial_.GetCString(), iFd_);
  KmReleaseFile(sPath_.GetCString(), iFd_);
  // A partial name that reaches another file by now is not this run's.
  if (!bCommitted_ && KmNameReachesFile(sPartial_.GetCString(), iFd_)) {
    KmIO_File::RemoveFile(sPartial_.GetCString());
  }
  close(iFd_);
}

void KmPendingFile::MoveToNewPartial() {
  const KmString sOld = sPartial_;
  const int iOld = iFd_;
  KmReleaseFile(sOld.GetCString(), iOld);
  try {
    CreatePartial();
  } catch (...) {
    close(iOld);
    iFd_ = -1;
    throw;
  }
  const bool bCopied = CopyFile(iOld, iFd_);
  const int iErrno = errno;
  close(iOld);
  if (!bCopied) RaiseWriteFailure(sPath_, iErrno);
}

void KmPendingFile::Commit() {
  for (int i = 0; !KmNameReachesFile(sPartial_.GetCString(), iFd_); ++i) {
    if (i == kAttempts) {
      GenerateKmExceptionF(
          "Unable to write the file \"%s\": its partial file keeps being "
          "replaced.",
          kClassName, sPath_.GetCString());
    }
    MoveToNewPartial();
  }
  if (fsync(iFd_) != 0) RaiseWriteFailure(sPath_, errno);
  KmIO_File::MoveIntoPlace(sPartial_.GetCString(), sPath_.GetCString());
  bCommitted_ = true;
  KmReleaseFile(sPartial_.GetCString(), iFd_);
  if (!KmNameReachesFile(sPath_.GetCString(), iFd_)) {
    GenerateKmExceptionF(
        "Unable to write the file \"%s\": the name reached another file once "
        "the file was moved into place.",
        kClassName, sPath_.GetCString());
  }
  KmHoldFile(sPath_.GetCString(), iFd_);
}

void KmPendingFile::RemoveLeftovers(
    const KmString& sPath, const std::function<bool(const KmString&)>& bKeep) {
  namespace fs = std::filesystem;
  try {
    const fs::path path(KmNativePath(sPath.GetCString()));
    const std::string sBase = path.filename().string();
    const fs::path folder =
        path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::error_code error;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(folder, error)) {
      const std::string sEntry = entry.path().filename().string();
      if (!IsPartialOf(sEntry, sBase)) continue;
      if (!fs::is_regular_file(fs::symlink_status(entry.path(), error))) {
        continue;
      }
      const KmString sLeftover(entry.path().string().c_str());
      if (!bKeep(sLeftover)) KmIO_File::RemoveFile(sLeftover.GetCString());
    }
  } catch (...) {
    // A folder that cannot be listed keeps what it holds.
  }
}

bool KmPendingFile::IsPartialName(const std::string& sName) {
  const size_t iEnding = 1 + kTagLength + sizeof kPartialEnding - 1;
  return sName.size() > iEnding &&
         IsPartialOf(sName, sName.substr(0, sName.size() - iEnding));
}
