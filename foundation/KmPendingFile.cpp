// KmPendingFile.
#include "foundation/KmPendingFile.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/platform/KmFileSystem.h"
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

}  // namespace

KmPendingFile::KmPendingFile(const KmString& sPath) : sPath_(sPath) {
  KmFileSystem& fileSystem = KmGetFileSystem();
  for (int i = 0; i < kAttempts; ++i) {
    KmString sPartial(sPath);
    sPartial << "." << RandomTag().c_str() << kPartialEnding;
    errno = 0;
    if (fileSystem.CreateExclusive(sPartial.GetCString())) {
      sPartial_ = sPartial;
      return;
    }
    if (errno != EEXIST) break;
  }
  const int iErrno = errno != 0 ? errno : EEXIST;
  const std::string sReason =
      std::error_code(iErrno, std::generic_category()).message();
  GenerateKmExceptionF("Unable to write the file \"%s\": %s.", kClassName,
                       sPath.GetCString(), sReason.c_str());
}

KmPendingFile::~KmPendingFile() {
  if (!bCommitted_) KmIO_File::RemoveFile(sPartial_.GetCString());
}

void KmPendingFile::Commit() {
  KmIO_File::MoveIntoPlace(sPartial_.GetCString(), sPath_.GetCString());
  bCommitted_ = true;
}

void KmPendingFile::RemoveLeftovers(const KmString& sPath) {
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
      KmIO_File::RemoveFile(entry.path().string().c_str());
    }
  } catch (...) {
    // A folder that cannot be listed keeps what it holds.
  }
}
