// KmLastStep.
#include "driver/KmLastStep.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmPendingFile.h"
#include "foundation/platform/KmFileSystem.h"
#include "foundation/platform/KmHeldFiles.h"

namespace {

constexpr const char kClassName[] = "KmLastStep";

// The leaf of sName.
std::string Leaf(const KmString& sName) {
  return KmFolder::LeafOf(sName.GetCString());
}

// True when the iLength bytes of iFd from iOffset on are those of pBytes.
bool HoldsAt(int iFd, long long iOffset, const char* pBytes, size_t iLength) {
  std::string sRead(iLength, '\0');
  for (size_t iDone = 0; iDone < iLength;) {
    const ssize_t iRead =
        pread(iFd, &sRead[iDone], iLength - iDone, iOffset + iDone);
    if (iRead < 0 && errno == EINTR) continue;
    if (iRead <= 0) return false;
    iDone += static_cast<size_t>(iRead);
  }
  return sRead.compare(0, iLength, pBytes, iLength) == 0;
}

// Throws KmException "Unable to lock the clustering result file \"<sName>\":
// <reason of iErrno>." (source "main").
[[noreturn]] void RaiseLockFailure(const KmString& sName, int iErrno) {
  KmString sMessage;
  sMessage << "Unable to lock the clustering result file \"" << sName
           << "\": " << SystemReason(iErrno).c_str() << ".";
  throw KmException(sMessage.GetCString(), "main");
}

}  // namespace

KmLastStep::KmLastStep(const RunFolders& folders, const KmString& sRecord,
                       Remover remove, Prover prove)
    : folders_(folders),
      sRecord_(sRecord),
      remove_(std::move(remove)),
      prove_(std::move(prove)) {}

KmLastStep::~KmLastStep() {
  DropRecord();
  if (iRecordFd_ >= 0) close(iRecordFd_);
}

bool KmLastStep::DropRecord() {
  if (iRecordFd_ < 0 || bKeepRecord_) return true;
  const KmFolder& folder = folders_.Of(sRecord_);
  // A name that reaches another file by now is not this run's record.
  const bool bOurs = folder.Reaches(Leaf(sRecord_), iRecordFd_);
  const bool bRemoved = bOurs && folder.Remove(Leaf(sRecord_));
  const int iErrno = errno;
  if (bRemoved) folder.Sync();
  close(iRecordFd_);
  iRecordFd_ = -1;
  errno = iErrno;
  return bRemoved || !bOurs;
}

void KmLastStep::SetAppend(int iFd, const KmString& sName,
                           const std::string& sBlock) {
  iAppendFd_ = iFd;
  plan_.sAppendedTo = sName;
  plan_.sBlock = sBlock;
}

void KmLastStep::AddMove(KmPendingFile& file) { pending_.push_back(&file); }

void KmLastStep::AddRemoval(const KmString& sName) {
  plan_.removals.push_back(sName);
}

std::vector<KmString> KmLastStep::Moved() const {
  std::vector<KmString> moved;
  for (const KmPendingFile* pFile : pending_) {
    if (pFile->IsCommitted()) moved.push_back(pFile->GetName());
  }
  return moved;
}

void KmLastStep::Run() {
  Begin();
  Append();
  Move();
  Confirm();
}

void KmLastStep::Begin() {
  struct stat info;
  if (iAppendFd_ >= 0) {
    // Held to the end of the step, so that no other run's block follows
    // this run's before it is kept or cut back.
    pAppendLock_ = std::make_unique<KmHeldFileLock>(iAppendFd_);
    if (!pAppendLock_->IsHeld()) {
      RaiseLockFailure(plan_.sAppendedTo, pAppendLock_->GetErrno());
    }
    if (fstat(iAppendFd_, &info) != 0) {
      RaiseWriteFailure(plan_.sAppendedTo, errno);
    }
    plan_.iLengthBefore = info.st_size;
    plan_.appendedFile = CommitFileIdOf(info);
  }
  // Synced before the record, which may send the next run to move them.
  for (KmPendingFile* pFile : pending_) {
    pFile->Sync();
    if (fstat(pFile->GetFile().GetFd(), &info) != 0) {
      RaiseWriteFailure(pFile->GetName(), errno);
    }
    plan_.moves.push_back(
        CommitMove{pFile->GetPartialName(), CommitFileIdOf(info)});
  }
  // The record is one the next run obeys, or none is written.
  const std::string sRefused = prove_(plan_);
  if (!sRefused.empty()) {
    throw KmException(("The run moved and removed nothing: the next run "
                       "would refuse the commit record of its last step, as " +
                       sRefused +
                       ". Have the file it names removed, or name another "
                       "\"Output File\" in the run file.")
                          .c_str(),
                      "main");
  }
  WriteRecord();
}

void KmLastStep::WriteRecord() {
  const KmFolder& folder = folders_.Of(sRecord_);
  const std::string sLeaf = Leaf(sRecord_);
  KmFileSystem& fileSystem = KmGetFileSystem();
  errno = folder.IsOpen() ? 0 : ENOENT;
  iRecordFd_ = folder.IsOpen()
                   ? fileSystem.CreateExclusiveAt(folder.GetFd(), sLeaf)
                   : -1;
  if (iRecordFd_ < 0) RaiseWriteFailure(sRecord_, errno != 0 ? errno : EEXIST);
  const std::string sText = CommitRecord::Text(plan_);
  if (KmWriteAtEnd(iRecordFd_, sText.data(), sText.size()) && folder.Sync()) {
    return;
  }
  const int iErrno = errno;
  // Emptied first: a record that cannot be removed then reads as one of a
  // step that never began, which the next run removes.
  KmCutBack(iRecordFd_, 0);
  fileSystem.Sync(iRecordFd_);
  if (folder.Reaches(sLeaf, iRecordFd_) && folder.Remove(sLeaf)) folder.Sync();
  close(iRecordFd_);
  iRecordFd_ = -1;
  RaiseWriteFailure(sRecord_, iErrno);
}

void KmLastStep::Append() {
  if (iAppendFd_ < 0) return;
  bAppended_ = true;
  if (KmWriteAtEnd(iAppendFd_, plan_.sBlock.data(), plan_.sBlock.size())) {
    return;
  }
  const int iErrno = errno;
  bLeftCut_ = !KmCutBack(iAppendFd_, plan_.iLengthBefore);
  bAppended_ = bLeftCut_;
  GenerateKmExceptionF(
      "Unable to write the file \"%s\": %s%s.", kClassName,
      plan_.sAppendedTo.GetCString(), SystemReason(iErrno).c_str(),
      bLeftCut_ ? "; the part written could not be removed" : "");
}

void KmLastStep::Move() {
  try {
    for (KmPendingFile* pFile : pending_) pFile->Commit();
  } catch (...) {
    // Every output not moved is as it was; so is the clustering file.
    if (bAppended_) bLeftCut_ = !KmCutBack(iAppendFd_, plan_.iLengthBefore);
    throw;
  }
}

void KmLastStep::Confirm() {
  for (const KmString& sName : plan_.removals) {
    if (!remove_(sName)) {
      RaiseUnconfirmed("the earlier output \"" +
                           std::string(sName.GetCString()) +
                           "\" could not be removed",
                       errno);
    }
  }
  // The moves reach the disk before the record that names them goes.
  std::string sFolder;
  if (!folders_.Sync(&sFolder)) {
    RaiseUnconfirmed("the folder \"" + sFolder + "\" could not be synced",
                     errno);
  }
  if (!RemoveRecord()) {
    // RemoveRecord lets the record go only once its name is removed.
    RaiseUnconfirmed(iRecordFd_ >= 0 ? "its commit record could not be removed"
                                     : "the folder of its removed commit "
                                       "record could not be synced",
                     errno);
  }
  pAppendLock_.reset();
}

bool KmLastStep::RemoveRecord() {
  const KmFolder& folder = folders_.Of(sRecord_);
  // A name that reaches another file by now is not this run's record.
  if (iRecordFd_ >= 0 && !folder.Reaches(Leaf(sRecord_), iRecordFd_)) {
    errno = ENOENT;
    return false;
  }
  if (!folder.Remove(Leaf(sRecord_))) return false;
  if (iRecordFd_ >= 0) close(iRecordFd_);
  iRecordFd_ = -1;
  return folder.Sync();
}

void KmLastStep::RaiseUnconfirmed(const std::string& sWhat, int iErrno) {
  bKeepRecord_ = true;
  KmString sMessage;
  sMessage << "The outputs of the run are all in place, but it could not "
              "confirm its last step: "
           << sWhat.c_str() << ": " << SystemReason(iErrno).c_str() << ".";
  if (iRecordFd_ >= 0) {
    sMessage << " Its commit record \"" << sRecord_
             << "\" stays, and the next run of these outputs finishes the "
                "step.";
  }
  throw KmException(sMessage.GetCString(), "main");
}

std::vector<KmString> KmLastStep::Finish(const CommitPlan& plan,
                                         std::string& sAppendNote) {
  std::vector<KmString> moved;
  for (const CommitMove& move : plan.moves) {
    const std::string sPartial = move.sPartial.GetCString();
    const KmString sName(KmPendingFile::NameOfPartial(sPartial).c_str());
    const KmFolder& folder = folders_.Of(sName);
    // Still there, and proved the file that run wrote by the caller.
    if (folder.Exists(KmFolder::LeafOf(sPartial))) {
      KmIO_File::MoveIntoPlace(folder, sPartial.c_str(), sName.GetCString());
      moved.push_back(sName);
    }
    // In place only where the name reaches the file that run wrote: a
    // partial file removed by hand leaves an earlier file under the name.
    struct stat info;
    if (!folder.Stat(Leaf(sName), info) ||
        !(CommitFileIdOf(info) == move.file)) {
      missing_.push_back(sName);
    }
  }
  std::string sFolder;
  if (!folders_.Sync(&sFolder)) RaiseWriteFailure(sFolder.c_str(), errno);
  // The earlier exports go only beside a whole set of that run's outputs.
  for (const KmString& sName :
       missing_.empty() ? plan.removals : std::vector<KmString>()) {
    if (!remove_(sName)) {
      GenerateKmExceptionF("Unable to remove the file \"%s\": %s.", kClassName,
                           sName.GetCString(), SystemReason(errno).c_str());
    }
  }
  sAppendNote = FinishAppend(plan);
  if (!RemoveRecord()) RaiseWriteFailure(sRecord_, errno);
  return moved;
}

std::string KmLastStep::FinishAppend(const CommitPlan& plan) const {
  if (plan.sAppendedTo.IsEmpty()) return "";
  const std::string sName = plan.sAppendedTo.GetCString();
  const std::string sLeaf = KmFolder::LeafOf(sName);
  // Beside the record, in its held folder, never through a link.
  const KmFolder& folder = folders_.Of(sRecord_);
  const int iFd = folder.IsRegularFile(sLeaf)
                      ? folder.OpenFile(sLeaf, O_RDWR | O_NONBLOCK)
                      : -1;
  bool bOurs = false;
  bool bWhole = false;
  int iErrno = 0;
  int iLockErrno = 0;
  if (iFd >= 0) {
    const KmHeldFileLock lock(iFd);
    struct stat info;
    iLockErrno = lock.GetErrno();
    if (lock.IsHeld() && fstat(iFd, &info) == 0 && S_ISREG(info.st_mode) &&
        IsOwnFileWithOneName(info) &&
        CommitFileIdOf(info) == plan.appendedFile &&
        info.st_size >= plan.iLengthBefore) {
      // Only the stopped run's own bytes follow the earlier length: its
      // block, or a beginning of it that ends inside a line. Every block
      // ends a line, so one that ends a line may be another run's whole
      // block (its cohort groups the stopped run's first ones), appended
      // after the stopped run's record before any byte of its block.
      const long long iHeld =
          std::min<long long>(info.st_size, plan.LengthAfter()) -
          plan.iLengthBefore;
      bWhole = info.st_size >= plan.LengthAfter();
      bOurs = (bWhole || iHeld == 0 || plan.sBlock[iHeld - 1] != '\n') &&
              HoldsAt(iFd, plan.iLengthBefore, plan.sBlock.data(),
                      static_cast<size_t>(iHeld));
      bWhole = bOurs && bWhole;
      if (bOurs && !bWhole && !KmCutBack(iFd, plan.iLengthBefore))
        iErrno = errno;
    }
  }
  if (iFd >= 0) close(iFd);
  if (iLockErrno != 0) RaiseLockFailure(plan.sAppendedTo, iLockErrno);
  if (iErrno != 0) RaiseWriteFailure(plan.sAppendedTo, iErrno);
  if (bWhole) return " Its clustering block in \"" + sName + "\" is whole.";
  if (bOurs) {
    return " Its clustering block in \"" + sName +
           "\" was not whole: this run cut that file back to the " +
           std::to_string(plan.iLengthBefore) +
           " bytes it held before the block.";
  }
  return " The clustering result file \"" + sName +
         "\" was left as it is: it is not as that run left it (the file its "
         "record names, this account's own with one name, holding " +
         std::to_string(plan.iLengthBefore) +
         " bytes and then that run's block or a beginning of it that ends "
         "inside a line, as no run's whole block does).";
}
