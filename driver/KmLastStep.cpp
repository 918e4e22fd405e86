// KmLastStep.
#include "driver/KmLastStep.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "driver/KmClusteringJournal.h"
#include "driver/KmStepFields.h"
#include "driver/RunLocks.h"
#include "driver/internal/KmConsole.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmPendingFile.h"
#include "foundation/KmSystemReason.h"
#include "foundation/platform/KmFileSystem.h"
#include "foundation/platform/KmHeldFiles.h"

namespace {

constexpr const char kClassName[] = "KmLastStep";

// The leaf of sName.
std::string Leaf(const KmString& sName) {
  return KmFolder::LeafOf(sName.GetCString());
}

// Throws KmException "Unable to lock the clustering result file \"<sName>\":
// <reason of iErrno>." (source "main").
[[noreturn]] void RaiseLockFailure(const KmString& sName, int iErrno) {
  KmString sMessage;
  sMessage << "Unable to lock the clustering result file \"" << sName
           << "\": " << KmSystemReason(iErrno).c_str() << ".";
  throw KmException(sMessage.GetCString(), "main");
}

}  // namespace

KmLastStep::KmLastStep(const RunFolders& folders, const KmString& sRecord,
                       Remover remove, Prover prove)
    : folders_(folders),
      sRecord_(sRecord),
      remove_(std::move(remove)),
      prove_(std::move(prove)),
      record_(folders.Of(sRecord), sRecord) {}

KmLastStep::~KmLastStep() {
  // Under the lock still: a journal whose block is whole, cut back or never
  // begun goes; one whose cut back failed stays for the next run to cut.
  if (pJournal_ && !bLeftCut_) pJournal_->Remove();
  DropRecord();
}

bool KmLastStep::DropRecord() {
  if (!record_.IsHeld() || bKeepRecord_) return true;
  const bool bGone = record_.Remove() || !record_.IsHeld();
  record_.Release();
  return bGone;
}

void KmLastStep::SetAppend(int iFd, const KmString& sName,
                           const std::string& sBlock, const KmString& sRunFile,
                           const KmString& sOutputFile) {
  iAppendFd_ = iFd;
  sRunFile_ = sRunFile;
  sOutputFile_ = sOutputFile;
  plan_.sAppendedTo = sName;
  sBlock_ = sBlock;
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

void KmLastStep::Run(const LastCheck& lastCheck) {
  Begin(lastCheck);
  Append();
  Move();
  Confirm();
}

void KmLastStep::Begin(const LastCheck& lastCheck) {
  plan_.sTag = CommitRecord::NewTag();
  struct stat info;
  if (iAppendFd_ >= 0) {
    if (fstat(iAppendFd_, &info) != 0) {
      RaiseWriteFailure(plan_.sAppendedTo, errno);
    }
    plan_.appendedFile = CommitFileIdOf(info);
    // Where the block would go now; BeginAppend places it where the lock
    // finds the file's end.
    plan_.block = CommitBlockOf(info.st_size, sBlock_);
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
  Prove(CommitRecord::Text(plan_));
  if (iAppendFd_ >= 0) HoldAppend();
  // The step waits for nothing from here on.
  lastCheck();
  if (iAppendFd_ >= 0) BeginAppend();
  // The text written is the text read back.
  const std::string sRecord = CommitRecord::Text(plan_);
  RequireReadsBack(sRecord);
  record_.Create(sRecord);
}

void KmLastStep::Prove(const std::string& sRecord) const {
  const std::string sRefused = prove_(RequireReadsBack(sRecord));
  if (!sRefused.empty()) {
    throw KmException(("The run moved and removed nothing: the next run "
                       "would refuse the commit record of its last step, as " +
                       sRefused +
                       ". Have the file it names removed, or name another "
                       "\"Output File\" in the run file.")
                          .c_str(),
                      "main");
  }
}

CommitPlan KmLastStep::RequireReadsBack(const std::string& sRecord) const {
  // Read as the next run reads it: a name that does not read back would
  // have it move, remove or cut back another file, or refuse the record.
  CommitPlan read;
  std::string sWhy;
  if (CommitRecord::Parse(sRecord, read, sWhy) !=
          CommitRecord::Found::kComplete ||
      !(read == plan_) ||
      (iAppendFd_ >= 0 && !KmClusteringJournal::NamesReadBack(
                              plan_.sTag, sRunFile_, sOutputFile_))) {
    throw KmException(
        "The run moved and removed nothing: its commit record, or the "
        "journal of its clustering block, would not read back as written, "
        "and the next run would refuse it.",
        "main");
  }
  return read;
}

void KmLastStep::HoldAppend() {
  // Held to the end of the step, so that no other run's block follows this
  // run's before it is kept or cut back.
  pAppendLock_ = std::make_unique<KmHeldFileLock>(
      iAppendFd_, ClusteringLockWaitNotice(plan_.sAppendedTo, iAppendFd_));
  if (!pAppendLock_->IsHeld()) {
    RaiseLockFailure(plan_.sAppendedTo, pAppendLock_->GetErrno());
  }
  const KmFolder& folder = folders_.Of(plan_.sAppendedTo);
  // A file moved away since the run opened it would take the block where
  // no name reaches it, and its journal would name a file not beside it.
  if (!folder.Reaches(Leaf(plan_.sAppendedTo), iAppendFd_)) {
    KmString sMessage;
    sMessage << "The clustering result file \"" << plan_.sAppendedTo
             << "\" was moved or replaced while the run wrote its outputs; "
                "this run appended nothing to any file and moved nothing. "
                "Run the run file again.";
    throw KmException(sMessage.GetCString(), "main");
  }
  pJournal_ = std::make_unique<KmClusteringJournal>(folder, plan_.sAppendedTo,
                                                    iAppendFd_);
  // A journal found under the lock is of a run that was stopped inside its
  // block: the file is cut back before this run's block follows.
  const KmJournalCut cut = pJournal_->Recover();
  if (cut.bFound) {
    const std::string sCut =
        cut.Sentence(plan_.sAppendedTo,
                     KmClusteringJournal::NameOf(plan_.sAppendedTo)) +
        "\n";
    km_driver_internal::Print(sCut.c_str());
  }
}

void KmLastStep::BeginAppend() {
  struct stat info;
  if (fstat(iAppendFd_, &info) != 0) {
    RaiseWriteFailure(plan_.sAppendedTo, errno);
  }
  iLengthBefore_ = info.st_size;
  plan_.block = CommitBlockOf(iLengthBefore_, sBlock_);
  // Before the record: a record names a block only once its journal is
  // there to undo it.
  pJournal_->Write(plan_.sTag, plan_.block, sRunFile_, sOutputFile_);
}

void KmLastStep::Append() {
  if (iAppendFd_ < 0) return;
  bAppended_ = true;
  if (KmWriteAtEnd(iAppendFd_, sBlock_.data(), sBlock_.size())) {
    if (pJournal_->Remove()) return;
    // A journal left beside a whole block would have the next run cut it:
    // the block goes instead, and the run fails.
    const int iErrno = errno;
    CutBlockBack();
    RaiseWriteFailure(KmClusteringJournal::NameOf(plan_.sAppendedTo), iErrno);
  }
  const int iErrno = errno;
  CutBlockBack();
  GenerateKmExceptionF(
      "Unable to write the file \"%s\": %s%s.", kClassName,
      plan_.sAppendedTo.GetCString(), KmSystemReason(iErrno).c_str(),
      bLeftCut_ ? "; the part written could not be removed" : "");
}

void KmLastStep::CutBlockBack() {
  // Synced before the journal goes (the destructor); where either fails,
  // a journal still there has the next run to take the lock cut it back.
  bLeftCut_ = !KmCutBack(iAppendFd_, iLengthBefore_) ||
              !KmGetFileSystem().Sync(iAppendFd_);
  bAppended_ = bLeftCut_;
}

void KmLastStep::Move() {
  try {
    for (KmPendingFile* pFile : pending_) pFile->Commit();
  } catch (...) {
    // Every output not moved is as it was; so is the clustering file.
    if (bAppended_) CutBlockBack();
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
  if (!record_.Remove()) {
    // The record is let go only once its name is removed.
    RaiseUnconfirmed(record_.IsHeld() ? "its commit record could not be removed"
                                      : "the folder of its removed commit "
                                        "record could not be synced",
                     errno);
  }
  pAppendLock_.reset();
}

void KmLastStep::RaiseUnconfirmed(const std::string& sWhat, int iErrno) {
  bKeepRecord_ = true;
  KmString sMessage;
  sMessage << "The outputs of the run are all in place, but it could not "
              "confirm its last step: "
           << sWhat.c_str() << ": " << KmSystemReason(iErrno).c_str() << ".";
  if (record_.IsHeld()) {
    sMessage << " Its commit record \"" << sRecord_
             << "\" stays, and the next run of these outputs finishes the "
                "step.";
  }
  throw KmException(sMessage.GetCString(), "main");
}

std::vector<KmString> KmLastStep::Finish(KmStepFile& record,
                                         const CommitPlan& plan,
                                         std::string& sAppendNote) {
  // Before anything is finished: a block left cut off goes first.
  sAppendNote = FinishAppend(plan);
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
                           sName.GetCString(), KmSystemReason(errno).c_str());
    }
  }
  if (!record.Remove()) RaiseWriteFailure(sRecord_, errno);
  return moved;
}

std::string KmLastStep::FinishAppend(const CommitPlan& plan) const {
  if (plan.sAppendedTo.IsEmpty()) return "";
  const std::string sName = plan.sAppendedTo.GetCString();
  const std::string sLeaf = KmFolder::LeafOf(sName);
  // Beside the record, in its held folder, never through a link.
  const KmFolder& folder = folders_.Of(sRecord_);
  struct stat info;
  std::string sWhy;
  const CommitFdCloser file{
      KmStepFile::OpenOwn(folder, sLeaf, O_RDWR, info, sWhy)};
  if (file.iFd < 0) {
    return " The clustering result file \"" + sName +
           "\" was left as it is: it is not there, or not this account's own "
           "regular file with one name.";
  }
  const KmHeldFileLock lock(
      file.iFd, ClusteringLockWaitNotice(plan.sAppendedTo, file.iFd));
  if (!lock.IsHeld()) RaiseLockFailure(plan.sAppendedTo, lock.GetErrno());
  const KmJournalCut cut =
      KmClusteringJournal(folder, plan.sAppendedTo, file.iFd).Recover();
  // Whole where no journal is left: no one cuts a block without one.
  const bool bWhole = IsBlockWhole(file.iFd, plan.block);
  const KmString sJournal = KmClusteringJournal::NameOf(plan.sAppendedTo);
  const std::string sBytes = " (bytes " + std::to_string(plan.block.iOffset) +
                             " to " + std::to_string(plan.block.End()) + ")";
  // Its own journal, found before any byte of its block was written.
  if (cut.bFound && cut.sTag == plan.sTag && cut.iFrom == cut.iTo) {
    return " No byte of its clustering block had reached \"" + sName +
           "\" (it holds the " + std::to_string(cut.iTo) +
           " bytes it held before): this run removed its journal \"" +
           sJournal.GetCString() + "\".";
  }
  if (cut.bFound && cut.sTag == plan.sTag && cut.bKept) {
    return " Its clustering block in \"" + sName + "\" was whole" + sBytes +
           ": this run kept it and removed its journal \"" +
           sJournal.GetCString() + "\".";
  }
  if (cut.bFound && cut.sTag == plan.sTag) {
    return " Its clustering block in \"" + sName +
           "\" was not whole: this run cut that file back from " +
           std::to_string(cut.iFrom) + " to the " + std::to_string(cut.iTo) +
           " bytes it held before the block, as its journal \"" +
           sJournal.GetCString() + "\" named them.";
  }
  std::string sNote = cut.bFound
                          ? " " + cut.Sentence(plan.sAppendedTo, sJournal)
                          : std::string();
  if (!(CommitFileIdOf(info) == plan.appendedFile)) {
    return sNote + " The clustering result file \"" + sName +
           "\" is not the file that run appended to (another device and "
           "inode): it was left as it is.";
  }
  // Its journal is gone: removed by that run once the block was synced, or
  // by a run that took the lock after it stopped, which kept a whole block
  // and cut away one cut off.
  if (bWhole) {
    return sNote + " Its clustering block in \"" + sName + "\" is whole" +
           sBytes + ".";
  }
  return sNote + " Its clustering block is not in \"" + sName + "\"" + sBytes +
         ": it was cut off, and a run that found it so has cut it away.";
}

std::string KmLastStep::WhereBlockIs(const KmFolder& folder,
                                     const CommitPlan& plan) {
  const std::string sLeaf = Leaf(plan.sAppendedTo);
  const CommitFdCloser file{
      plan.sAppendedTo.IsEmpty() || !folder.IsRegularFile(sLeaf)
          ? -1
          : folder.OpenFile(sLeaf, O_RDONLY | O_NONBLOCK)};
  if (file.iFd < 0 || !IsBlockWhole(file.iFd, plan.block)) return "";
  return std::string(" The clustering result file \"") +
         plan.sAppendedTo.GetCString() +
         "\" holds that run's whole clustering block, bytes " +
         std::to_string(plan.block.iOffset) + " to " +
         std::to_string(plan.block.End()) + ".";
}
