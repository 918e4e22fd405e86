// KmRun: the last step (CommitOutputs), and the last step of a stopped run
// finished by the next (FinishEarlierCommit, ProveEarlierRecord,
// RefuseEarlierCommit). The step itself is KmLastStep's.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "driver/KmLastStep.h"
#include "driver/KmRun.h"
#include "driver/internal/KmConsole.h"
#include "engine/kmCalculationHandler.h"
#include "foundation/KmException.h"
#include "foundation/KmPendingFile.h"

namespace {

// "\"a\", \"b\"" for the names.
KmString QuotedList(const std::vector<KmString>& names) {
  KmString sList;
  for (const KmString& sName : names) {
    sList << (sList.IsEmpty() ? "" : ", ") << "\"" << sName << "\"";
  }
  return sList;
}

// True when names holds sName.
bool Holds(const std::vector<KmString>& names, const KmString& sName) {
  return std::find(names.begin(), names.end(), sName) != names.end();
}

}  // namespace

std::unique_ptr<KmLastStep> KmRun::MakeLastStep() const {
  return std::make_unique<KmLastStep>(
      folders_, outputs_.sCommitRecord,
      [this](const KmString& sName) { return RemoveOwnedFile(sName); });
}

void KmRun::CommitOutputs() {
  // Outputs in a folder that its path no longer reaches would be lost to
  // whoever follows the path: the run fails before any of them replaces a
  // file.
  folders_.RequireStillNamed("wrote them");
  pLastStep_ = MakeLastStep();
  const std::string& sBlock =
      iClusteringFd_ >= 0 ? pCalculation_->GetClusteringText() : std::string();
  if (!sBlock.empty()) {
    pLastStep_->SetAppend(iClusteringFd_, outputs_.sClusteringFile, sBlock,
                          files_.sRunFile, files_.sOutputFile);
  }
  if (pResultsFile_) pLastStep_->AddMove(*pResultsFile_);
  for (const auto& pFile : finished_) pLastStep_->AddMove(*pFile);
  for (const auto& entry : outputs_.exports) {
    if (!Holds(exportsWritten_, entry.second) &&
        folders_.Of(entry.second)
            .Exists(KmFolder::LeafOf(entry.second.GetCString()))) {
      pLastStep_->AddRemoval(entry.second);
    }
  }
  pLastStep_->Run();
  RemoveEarlierErrorFile();
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
  switch (CommitRecord::Read(recordFolder, sRecordLeaf, plan, sWhy)) {
    case CommitRecord::Found::kNone:
      return;
    case CommitRecord::Found::kUnfinished:
      // Its run moved nothing; the sweep removes its partial files.
      if (!recordFolder.Remove(sRecordLeaf)) RaiseWriteFailure(sRecord, errno);
      return;
    case CommitRecord::Found::kUnreadable:
      RefuseEarlierCommit(sWhy);
    case CommitRecord::Found::kComplete:
      break;
  }
  ProveEarlierRecord(plan);
  std::string sAppended;
  earlierMoved_ = MakeLastStep()->Finish(plan, sAppended);
  KmString sDone;
  sDone << "A run into \"" << files_.sOutputFile
        << "\" was stopped while it moved its outputs into place; ";
  if (earlierMoved_.empty()) {
    sDone << "every one had reached its name";
  } else {
    sDone << "this run moved the rest of them into place first ("
          << QuotedList(earlierMoved_) << ")";
  }
  sDone << ", so the files under these names are all of that run."
        << sAppended.c_str() << "\n";
  km_driver_internal::Print(sDone.GetCString());
}

void KmRun::ProveEarlierRecord(const CommitPlan& plan) const {
  const std::vector<KmString> owned = outputs_.RenamedFiles();
  const auto Refuse = [this](const KmString& sName, const char* sWhat) {
    RefuseEarlierCommit(std::string("it names \"") + sName.GetCString() +
                        "\", which is " + sWhat);
  };
  std::vector<KmString> moved;
  for (const CommitMove& move : plan.moves) {
    const std::string sLeaf = KmFolder::LeafOf(move.sPartial.GetCString());
    const KmString sName(
        KmPendingFile::NameOfPartial(move.sPartial.GetCString()).c_str());
    if (!KmPendingFile::IsPartialName(sLeaf) || !Holds(owned, sName)) {
      Refuse(move.sPartial, "no partial file of this run's outputs");
    }
    moved.push_back(sName);
    // Gone: that run moved it into place.
    struct stat info;
    if (!folders_.Of(sName).Stat(sLeaf, info)) continue;
    if (!S_ISREG(info.st_mode) || !IsOwnFileWithOneName(info) ||
        !(CommitFileIdOf(info) == move.file) ||
        IsRunInput(files_, pSession_, move.sPartial)) {
      RefuseEarlierCommit(std::string("its partial file \"") +
                          move.sPartial.GetCString() +
                          "\" is not the file that run wrote, this "
                          "account's own with one name");
    }
  }
  // Only an export that run did not write, never its results file, saved
  // session, report or run summary.
  for (const KmString& sName : plan.removals) {
    struct stat info;
    const bool bExport = std::any_of(
        outputs_.exports.begin(), outputs_.exports.end(),
        [&sName](const auto& entry) { return entry.second == sName; });
    if (!bExport || Holds(moved, sName) ||
        sName == outputs_.ExportFile(kReportSuffix) ||
        (folders_.Of(sName).Stat(KmFolder::LeafOf(sName.GetCString()), info) &&
         !IsOwnFileWithOneName(info))) {
      Refuse(sName, "no export of this run that the stopped run could remove");
    }
  }
  if (!plan.sAppendedTo.IsEmpty() &&
      (outputs_.sClusteringFile.IsEmpty() ||
       plan.sAppendedTo != outputs_.sClusteringFile)) {
    Refuse(plan.sAppendedTo, "no clustering result file of this run");
  }
}
