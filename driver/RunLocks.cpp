// What a run says of a lock that it waits for or cannot take.
#include "driver/RunLocks.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "driver/CommitRecord.h"
#include "driver/internal/KmConsole.h"
#include "foundation/platform/KmFileSystem.h"

namespace {

// The owner of sLock, in folder, in words (AccountInWords) when it is
// another account's than the run's; "" when it is the run's own, or there
// is none.
std::string OtherOwnerOf(const KmFolder& folder, const KmString& sLock) {
  struct stat info;
  if (!folder.Stat(KmFolder::LeafOf(sLock.GetCString()), info) ||
      info.st_uid == KmGetFileSystem().UserId()) {
    return "";
  }
  return AccountInWords(info.st_uid);
}

// The advice of a message on outputs that another account's run may hold.
const char kOtherFolder[] =
    "name another \"Output File\" in the run file, in another folder.";

}  // namespace

std::string AccountInWords(uid_t iUid) {
  const std::string sId = std::to_string(iUid);
  long iSize = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(iSize > 0 ? static_cast<size_t>(iSize) : 16384);
  struct passwd entry;
  struct passwd* pFound = nullptr;
  if (getpwuid_r(iUid, &entry, buffer.data(), buffer.size(), &pFound) != 0 ||
      pFound == nullptr || pFound->pw_name == nullptr ||
      *pFound->pw_name == '\0') {
    return "user id " + sId;
  }
  return std::string("user ") + pFound->pw_name + ", id " + sId;
}

bool MayRemoveFrom(const KmFolder& folder, const std::string& sLeaf) {
  struct stat file;
  struct stat held;
  const uid_t iUser = KmGetFileSystem().UserId();
  // A folder with the sticky bit lets only the owner of a file, or of the
  // folder, or root, remove it or rename another file over it.
  return iUser == 0 || !folder.Stat(sLeaf, file) || file.st_uid == iUser ||
         !folder.Stat(".", held) || (held.st_mode & S_ISVTX) == 0 ||
         held.st_uid == iUser;
}

KmHeldFileLock::WaitNotice ClusteringLockWaitNotice(const KmString& sName) {
  return [sName] {
    KmString sNotice;
    sNotice << "The run waits for the lock of the clustering result file \""
            << sName
            << "\", which another process holds; runs that append to one "
               "file take turns, so it goes on once that lock is let go. If "
               "it waits on, find the process that holds the file open "
               "(fuser -v \""
            << sName
            << "\" lists them) and stop it, or have its owner stop it, or "
               "stop this run and "
            << kOtherFolder << "\n";
    km_driver_internal::Print(sNotice.GetCString());
  };
}

KmString BusyOutputsMessage(const KmFolder& folder, const KmString& sLock,
                            const KmString& sOutputFile) {
  const std::string sOwner = OtherOwnerOf(folder, sLock);
  KmString sMessage;
  if (sOwner.empty()) {
    sMessage << "Another run is writing the outputs of \"" << sOutputFile
             << "\" (it holds \"" << sLock
             << "\"); this run wrote and removed nothing.";
    return sMessage;
  }
  sMessage << "Another process holds the lock file \"" << sLock
           << "\" of the outputs of \"" << sOutputFile
           << "\", and that file is another account's (" << sOwner.c_str()
           << "): a run of that account may be writing these outputs; this "
              "run wrote and removed nothing. Wait for that run to end, or "
              "ask that account to stop it, or "
           << kOtherFolder;
  return sMessage;
}

KmString UnusableLockMessage(const KmFolder& folder, const KmString& sLock,
                             int iErrno) {
  const std::string sOwner =
      iErrno == EACCES || iErrno == EPERM ? OtherOwnerOf(folder, sLock) : "";
  KmString sMessage;
  sMessage << "Unable to hold the outputs of the run: the lock file \"" << sLock
           << "\" ";
  if (sOwner.empty()) {
    sMessage << "cannot be used: " << SystemReason(iErrno).c_str() << ".";
    return sMessage;
  }
  sMessage << "is another account's (" << sOwner.c_str()
           << "), and this account may not open it: "
           << SystemReason(iErrno).c_str()
           << ". A run of that account may be writing these outputs: once "
              "none is, "
           << (MayRemoveFrom(folder, KmFolder::LeafOf(sLock.GetCString()))
                   ? "remove \""
                   : "ask that account to remove \"")
           << sLock << "\", or " << kOtherFolder;
  return sMessage;
}
