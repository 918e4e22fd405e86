// KmRun: the commit record of the last step (WriteCommitRecord,
// MovedOutputs), and the last step of a stopped run finished by the next
// (FinishEarlierCommit, RefuseEarlierCommit).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "driver/CommitRecord.h"
#include "driver/KmRun.h"
#include "driver/internal/KmConsole.h"
#include "engine/kmCalculationHandler.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmPendingFile.h"
#include "foundation/platform/KmHeldFiles.h"
#include "results/kmCalcHandler.h"

namespace {

// The length of ".<6 letters or digits>.partial".
constexpr int kPartialEndingLength = 15;

// "\"a\", \"b\"" for the names.
KmString QuotedList(const std::vector<KmString>& names) {
  KmString sList;
  for (const KmString& sName : names) {
    sList << (sList.IsEmpty() ? "" : ", ") << "\"" << sName << "\"";
  }
  return sList;
}

}  // namespace

void KmRun::WriteCommitRecord() {
  std::vector<KmPendingFile*> pending;
  if (pResultsFile_) pending.push_back(pResultsFile_.get());
  for (const auto& pFile : finished_) pending.push_back(pFile.get());
  CommitPlan plan;
  const std::string& sBlock =
      iClusteringFd_ >= 0 ? pCalculation_->GetClusteringText() : std::string();
  struct stat info;
  if (!sBlock.empty()) {
    if (fstat(iClusteringFd_, &info) != 0) {
      RaiseWriteFailure(outputs_.sClusteringFile, errno);
    }
    plan.sAppendedTo = outputs_.sClusteringFile;
    plan.iLengthBefore = info.st_size;
    plan.iLengthAfter = info.st_size + static_cast<long long>(sBlock.size());
  }
  // Synced first: the record may send the next run to move them.
  for (KmPendingFile* pFile : pending) {
    pFile->Sync();
    plan.moves.push_back(pFile->GetPartialName());
  }
  for (const auto& entry : outputs_.exports) {
    if (std::find(exportsWritten_.begin(), exportsWritten_.end(),
                  entry.second) == exportsWritten_.end() &&
        folders_.Of(entry.second)
            .Exists(KmFolder::LeafOf(entry.second.GetCString()))) {
      plan.removals.push_back(entry.second);
    }
  }
  pCommitRecord_ = std::make_unique<CommitRecord>(
      folders_.Of(outputs_.sCommitRecord), outputs_.sCommitRecord, plan);
  if (!sBlock.empty()) iClusteringBefore_ = plan.iLengthBefore;
}

std::vector<KmString> KmRun::MovedOutputs() const {
  std::vector<KmString> moved;
  if (pResultsFile_ && pResultsFile_->IsCommitted()) {
    moved.push_back(pResultsFile_->GetName());
  }
  for (const auto& pFile : finished_) {
    if (pFile->IsCommitted()) moved.push_back(pFile->GetName());
  }
  return moved;
}

void KmRun::RefuseEarlierCommit(const std::string& sWhy) const {
  KmString sMessage;
  sMessage << "The outputs of \"" << files_.sOutputFile
           << "\" were left part-way into place by a run that was stopped "
              "while it moved them (its record \""
           << outputs_.sCommitRecord << "\" is there): " << sWhy.c_str()
           << "; this run moved and removed nothing. Run that run's run file "
              "again, or "
              "check the files under its output names and remove \""
           << outputs_.sCommitRecord << "\".";
  throw KmException(sMessage.GetCString(), "main");
}

void KmRun::FinishEarlierCommit() {
  const KmString& sRecord = outputs_.sCommitRecord;
  const KmFolder& recordFolder = folders_.Of(sRecord);
  const std::string sRecordLeaf = KmFolder::LeafOf(sRecord.GetCString());
  CommitPlan plan;
  std::string sWhy;
  switch (CommitRecord::Read(recordFolder, sRecord, plan, sWhy)) {
    case CommitRecord::Found::kNone:
      return;
    case CommitRecord::Found::kUnfinished:
      // Its run moved nothing; the sweep removes its partial files.
      recordFolder.Remove(sRecordLeaf);
      return;
    case CommitRecord::Found::kUnreadable:
      RefuseEarlierCommit(sWhy);
    case CommitRecord::Found::kComplete:
      break;
  }
  const std::vector<KmString> owned = outputs_.RenamedFiles();
  const auto Owned = [&owned](const KmString& sName) {
    return std::find(owned.begin(), owned.end(), sName) != owned.end();
  };
  // Every line is checked before anything is moved.
  std::vector<std::pair<KmString, KmString>> moves;
  for (const KmString& sPartial : plan.moves) {
    const std::string sLeaf = KmFolder::LeafOf(sPartial.GetCString());
    const KmString sName = DropLastChars(sPartial, kPartialEndingLength);
    if (!KmPendingFile::IsPartialName(sLeaf) || !Owned(sName)) {
      RefuseEarlierCommit(std::string("it names \"") + sPartial.GetCString() +
                          "\", which is no partial file of this run's outputs");
    }
    const KmFolder& folder = folders_.Of(sName);
    // Gone: that run moved it into place.
    if (!folder.Exists(sLeaf)) continue;
    if (!folder.IsRegularFile(sLeaf) ||
        IsRunInput(files_, pSession_, sPartial)) {
      RefuseEarlierCommit(std::string("its partial file \"") +
                          sPartial.GetCString() +
                          "\" is not a regular file of that run");
    }
    moves.emplace_back(sPartial, sName);
  }
  for (const KmString& sName : plan.removals) {
    if (!Owned(sName)) {
      RefuseEarlierCommit(std::string("it names \"") + sName.GetCString() +
                          "\", which is no output of this run");
    }
  }
  // Only a clustering result file beside the record.
  const std::string sAppendedLeaf =
      KmFolder::LeafOf(plan.sAppendedTo.GetCString());
  if (!plan.sAppendedTo.IsEmpty() &&
      (KmFolder::FolderOf(plan.sAppendedTo.GetCString()) !=
           KmFolder::FolderOf(sRecord.GetCString()) ||
       sAppendedLeaf.rfind("ClusteringResult-", 0) != 0 ||
       sAppendedLeaf.size() < 4 ||
       sAppendedLeaf.compare(sAppendedLeaf.size() - 4, 4, ".txt") != 0)) {
    RefuseEarlierCommit(std::string("it names \"") +
                        plan.sAppendedTo.GetCString() +
                        "\", which is no clustering result file of this run");
  }
  std::vector<KmString> moved;
  for (const auto& [sPartial, sName] : moves) {
    const KmFolder& folder = folders_.Of(sName);
    KmIO_File::MoveIntoPlace(folder, sPartial.GetCString(), sName.GetCString());
    folder.Sync();
    moved.push_back(sName);
  }
  for (const KmString& sName : plan.removals) RemoveOwnedFile(sName);
  const std::string sAppended = FinishEarlierAppend(plan);
  if (recordFolder.Remove(sRecordLeaf)) recordFolder.Sync();
  KmString sDone;
  sDone << "A run into \"" << files_.sOutputFile
        << "\" was stopped while it moved its outputs into place; ";
  if (moved.empty()) {
    sDone << "every one had reached its name";
  } else {
    sDone << "this run moved the rest of them into place first ("
          << QuotedList(moved) << ")";
  }
  sDone << ", so the files under these names are all of that run."
        << sAppended.c_str() << "\n";
  km_driver_internal::Print(sDone.GetCString());
}

std::string KmRun::FinishEarlierAppend(const CommitPlan& plan) const {
  if (plan.sAppendedTo.IsEmpty()) return "";
  const std::string sName = plan.sAppendedTo.GetCString();
  const std::string sLeaf = KmFolder::LeafOf(sName);
  // Beside the record, in its held folder, never through a link.
  const KmFolder& folder = folders_.Of(outputs_.sCommitRecord);
  const int iFd = folder.IsRegularFile(sLeaf)
                      ? folder.OpenFile(sLeaf, O_WRONLY | O_NONBLOCK)
                      : -1;
  bool bCut = false;
  bool bWhole = false;
  int iErrno = 0;
  if (iFd >= 0) {
    const KmHeldFileLock lock(iFd);
    struct stat info;
    if (fstat(iFd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1) {
      bWhole = info.st_size == plan.iLengthAfter;
      bCut = info.st_size >= plan.iLengthBefore &&
             info.st_size < plan.iLengthAfter;
      if (bCut && !KmCutBack(iFd, plan.iLengthBefore)) iErrno = errno;
    }
  }
  if (iFd >= 0) close(iFd);
  if (iErrno != 0) RaiseWriteFailure(plan.sAppendedTo, iErrno);
  if (bWhole) return " Its clustering block in \"" + sName + "\" is whole.";
  if (bCut) {
    return " Its clustering block in \"" + sName +
           "\" was not whole: this run cut that file back to the " +
           std::to_string(plan.iLengthBefore) +
           " bytes it held before the block.";
  }
  return " The clustering result file \"" + sName +
         "\" was left as it is: it is not as that run left it (a regular file "
         "of " +
         std::to_string(plan.iLengthBefore) + " to " +
         std::to_string(plan.iLengthAfter) + " bytes).";
}
