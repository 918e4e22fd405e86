// What a run says of a lock that it waits for or cannot take.
#include "driver/RunLocks.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <vector>

#include "driver/KmStepFields.h"
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

// The holders of a lock as the system names them (KmFileSystem::LockHolders).
struct LockHoldersInWords {
  // "process 4242 (kinkmark, user bob, id 1002)", each joined by " and ";
  // "" when the system names none.
  std::string sWho;
  std::string sIds;      // "4242 4243"
  bool bPlural = false;  // more than one
  bool bOther = false;   // one is another account's than the run's
};

// The holders of a lock on the file of info.
LockHoldersInWords HoldersOf(const struct stat& info) {
  LockHoldersInWords words;
  const uid_t iUser = KmGetFileSystem().UserId();
  for (const KmLockHolder& holder : KmGetFileSystem().LockHolders(info)) {
    const std::string sPid = std::to_string(holder.iPid);
    words.bPlural = !words.sWho.empty();
    words.sWho += (words.bPlural ? " and process " : "process ") + sPid + " (";
    words.sIds += (words.bPlural ? " " : "") + sPid;
    if (!holder.bRunning) {
      words.sWho += "no longer running: a process it started holds the lock)";
      continue;
    }
    words.bOther = words.bOther || holder.iUid != iUser;
    words.sWho += (holder.sCommand.empty() ? "" : holder.sCommand + ", ") +
                  AccountInWords(holder.iUid) + ")";
  }
  return words;
}

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

KmHeldFileLock::WaitNotice ClusteringLockWaitNotice(const KmString& sName,
                                                    int iFd) {
  return [sName, iFd] {
    struct stat info;
    const LockHoldersInWords holders =
        fstat(iFd, &info) == 0 ? HoldersOf(info) : LockHoldersInWords();
    KmString sNotice;
    sNotice << "The run waits for the lock of the clustering result file \""
            << sName << "\", which ";
    if (holders.sWho.empty()) {
      sNotice << "another process holds (the system does not say which)";
    } else {
      sNotice << holders.sWho.c_str() << (holders.bPlural ? " hold" : " holds");
    }
    sNotice << "; runs that append to one file take turns, so it goes on "
               "once that lock is let go. If it waits on, ";
    if (!holders.sWho.empty()) {
      sNotice << (holders.bPlural ? "have their accounts stop those processes"
                                  : "have its account stop that process")
              << " (kill " << holders.sIds.c_str() << "), or ";
    }
    sNotice << "stop this run and " << kOtherFolder << "\n";
    km_driver_internal::Print(sNotice.GetCString());
  };
}

KmString BusyOutputsMessage(const KmFolder& folder, const KmString& sLock,
                            const KmString& sOutputFile) {
  const std::string sOwner = OtherOwnerOf(folder, sLock);
  struct stat info;
  const LockHoldersInWords holders =
      folder.Stat(KmFolder::LeafOf(sLock.GetCString()), info)
          ? HoldersOf(info)
          : LockHoldersInWords();
  KmString sMessage;
  // Where the system names the holders, they tell whose run it is.
  if (holders.sWho.empty() ? sOwner.empty() : !holders.bOther) {
    sMessage << "Another run is writing the outputs of \"" << sOutputFile
             << "\" (";
    if (!holders.sWho.empty()) sMessage << holders.sWho.c_str() << ", ";
    sMessage << "it holds \"" << sLock
             << "\"); this run wrote and removed nothing.";
    return sMessage;
  }
  std::string sWho = holders.sWho.empty() ? "another process" : holders.sWho;
  sWho[0] =
      static_cast<char>(std::toupper(static_cast<unsigned char>(sWho[0])));
  sMessage << sWho.c_str() << (holders.bPlural ? " hold" : " holds")
           << " the lock file \"" << sLock << "\" of the outputs of \""
           << sOutputFile << "\"";
  if (!sOwner.empty()) {
    sMessage << ", and that file is another account's (" << sOwner.c_str()
             << ")";
  }
  sMessage << ": a run of that account may be writing these outputs; this "
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
