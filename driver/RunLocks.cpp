// What a run says of a lock that it waits for or cannot take.
#include "driver/RunLocks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <vector>

#include "driver/KmStepFields.h"
#include "driver/internal/KmConsole.h"
#include "foundation/KmShownText.h"
#include "foundation/KmSystemReason.h"
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
  std::string sIds;      // of the holders still running: "4242 4244"
  bool bPlural = false;  // more than one
  bool bOther = false;   // one is another account's than the run's
  // Where a process that took the lock has ended, who finds the processes
  // that hold it now, and how (the kernel's list names only the process that
  // took it): "account that started process 4243" ("accounts that started
  // processes 4243 and 4245"), and "the process that holds the lock with
  // fuser -v \"<file>\" (run as that account, it lists the processes that
  // have the file open", left open; "" when none has ended.
  std::string sFinders;
  std::string sFinding;
  bool bFindersPlural = false;
};

// The holders of a lock on the file of info, named sFile.
LockHoldersInWords HoldersOf(const struct stat& info, const KmString& sFile) {
  LockHoldersInWords words;
  const uid_t iUser = KmGetFileSystem().UserId();
  std::string sEnded;
  for (const KmLockHolder& holder : KmGetFileSystem().LockHolders(info)) {
    const std::string sPid = std::to_string(holder.iPid);
    words.bPlural = !words.sWho.empty();
    words.sWho += (words.bPlural ? " and process " : "process ") + sPid + " (";
    if (!holder.bRunning) {
      words.sWho += "no longer running: a process it started holds the lock)";
      words.bFindersPlural = !sEnded.empty();
      sEnded += (words.bFindersPlural ? " and " : "") + sPid;
      continue;
    }
    words.sIds += (words.sIds.empty() ? "" : " ") + sPid;
    words.bOther = words.bOther || holder.iUid != iUser;
    // Any account names its processes as it likes: the name is shown.
    const std::string sCommand = ShownName(holder.sCommand).GetCString();
    words.sWho += (sCommand.empty() ? "" : sCommand + ", ") +
                  AccountInWords(holder.iUid) + ")";
  }
  if (sEnded.empty()) return words;
  const bool bMany = words.bFindersPlural;
  words.sFinders = (bMany ? "accounts that started processes "
                          : "account that started process ") +
                   sEnded;
  words.sFinding =
      std::string(bMany ? "the processes that hold"
                        : "the process that holds") +
      " the lock with fuser -v \"" + sFile.GetCString() +
      (bMany ? "\" (run as those accounts" : "\" (run as that account") +
      ", it lists the processes that have the file open";
  return words;
}

// The sentence that tells who finds the processes that hold the lock of
// holders whose lockers have ended, and how; "" when none has ended.
std::string EndedLockersSentence(const LockHoldersInWords& holders) {
  if (holders.sFinders.empty()) return "";
  return " The " + holders.sFinders +
         (holders.bFindersPlural ? " find " : " finds ") + holders.sFinding +
         ").";
}

}  // namespace

std::string AccountInWords(uid_t iUid) {
  const std::string sId = std::to_string(iUid);
  const std::string sName = KmGetFileSystem().AccountName(iUid);
  if (sName.empty()) return "user id " + sId;
  return std::string("user ") + ShownName(sName).GetCString() + ", id " + sId;
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
        fstat(iFd, &info) == 0 ? HoldersOf(info, sName) : LockHoldersInWords();
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
    // Only a process still running is to be stopped by its id: the id of
    // one that has ended is no process's, or a later one's.
    if (!holders.sIds.empty()) {
      sNotice << (holders.sIds.find(' ') != std::string::npos
                      ? "have their accounts stop those processes"
                      : "have its account stop that process")
              << " (kill " << holders.sIds.c_str() << "), ";
    }
    if (!holders.sFinders.empty()) {
      sNotice << "have the " << holders.sFinders.c_str() << " find "
              << holders.sFinding.c_str() << "; this run is process "
              << static_cast<long>(getpid()) << ") and stop "
              << (holders.bFindersPlural ? "them" : "it") << ", ";
    }
    if (!holders.sWho.empty()) sNotice << "or ";
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
          ? HoldersOf(info, sLock)
          : LockHoldersInWords();
  KmString sMessage;
  // Where the system names the holders, they tell whose run it is.
  if (holders.sWho.empty() ? sOwner.empty() : !holders.bOther) {
    sMessage << "Another run is writing the outputs of \"" << sOutputFile
             << "\" (";
    if (!holders.sWho.empty()) sMessage << holders.sWho.c_str() << ", ";
    sMessage << "it holds \"" << sLock
             << "\"); this run wrote and removed nothing."
             << EndedLockersSentence(holders).c_str();
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
           << kOtherFolder << EndedLockersSentence(holders).c_str();
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
    sMessage << "cannot be used: " << KmSystemReason(iErrno).c_str() << ".";
    return sMessage;
  }
  sMessage << "is another account's (" << sOwner.c_str()
           << "), and this account may not open it: "
           << KmSystemReason(iErrno).c_str()
           << ". A run of that account may be writing these outputs: once "
              "none is, "
           << (MayRemoveFrom(folder, KmFolder::LeafOf(sLock.GetCString()))
                   ? "remove \""
                   : "ask that account to remove \"")
           << sLock << "\", or " << kOtherFolder;
  return sMessage;
}
