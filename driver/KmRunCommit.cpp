// KmRun: the last step (CommitOutputs), and the last step of a stopped run
// finished by the next (FinishEarlierCommit, WhyRecordRefused,
// RefuseEarlierCommit). The step itself is KmLastStep's.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "driver/KmLastStep.h"
#include "driver/KmRun.h"
#include "driver/RunLocks.h"
#include "driver/internal/KmConsole.h"
#include "engine/kmCalculationHandler.h"
#include "foundation/KmException.h"
#include "foundation/KmPendingFile.h"
#include "foundation/KmShownText.h"
#include "foundation/platform/KmFileSystem.h"

namespace {

// "\"a\", \"b\"" for the names.
KmString QuotedList(const std::vector<KmString>& names) {
  KmString sList;
  for (const KmString& sName : names) {
    sList << (sList.IsEmpty() ? "" : ", ") << "\"" << ShownName(sName) << "\"";
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
      [this](const KmString& sName) { return RemoveOwnedFile(sName); },
      [this](const CommitPlan& plan) { return WhyRecordRefused(plan); });
}

void KmRun::CommitOutputs() {
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
  // After the step's last wait, immediately before its first change: a
  // folder moved or a file put in the way while the run worked, or while it
  // waited for the clustering result file's lock, is refused with nothing
  // changed.
  pLastStep_->Run([this] {
    // Outputs in a folder that its path no longer reaches would be lost to
    // whoever follows the path.
    folders_.RequireStillNamed("wrote them");
    CheckOutputsReplaceable(outputs_, folders_, ReplaceablePass::kLast);
  });
  RemoveEarlierErrorFile();
}

void KmRun::RefuseEarlierCommit(const std::string& sWhy, Advice advice,
                                const std::string& sBlock) const {
  const KmString& sRecord = outputs_.sCommitRecord;
  KmString sMessage;
  sMessage << "The outputs of \"" << files_.sOutputFile
           << "\" were left part-way into place by a run that was stopped "
              "while it moved them (its record \""
           << sRecord << "\" is there): " << sWhy.c_str()
           << "; this run moved and removed nothing. ";
  KmString sCheck;
  sCheck << "check the files under its output names and remove \"" << sRecord
         << "\".";
  if (advice == Advice::kRunThatRun) {
    sMessage << "Run that run's run file again, or " << sCheck;
  } else if (advice == Advice::kOtherVersion) {
    sMessage << "Run that run's run file again with the version of the "
                "program that wrote the record, which finishes its step, or "
             << sCheck;
  } else if (!MayRemoveOthersRecord()) {
    sMessage << "It is another account's, in a folder of another account "
                "where only a file's owner may remove it: ask its owner to "
                "remove \""
             << sRecord
             << "\", or name another \"Output File\" in the run file, in "
                "another folder.";
  } else {
    sMessage << "Check the files under its output names and remove \""
             << sRecord << "\".";
  }
  sMessage << sBlock.c_str();
  throw KmException(sMessage.GetCString(), "main");
}

bool KmRun::MayRemoveOthersRecord() const {
  return MayRemoveFrom(folders_.Of(outputs_.sCommitRecord),
                       KmFolder::LeafOf(outputs_.sCommitRecord.GetCString()));
}

void KmRun::FinishEarlierCommit() {
  const KmString& sRecord = outputs_.sCommitRecord;
  const KmFolder& recordFolder = folders_.Of(sRecord);
  KmStepFile record(recordFolder, sRecord);
  CommitPlan plan;
  std::string sWhy;
  switch (CommitRecord::Read(record, plan, sWhy)) {
    case CommitRecord::Found::kNone:
      return;
    case CommitRecord::Found::kUnfinished:
      // Its run moved nothing; the sweep removes its partial files.
      if (!record.Remove()) RaiseWriteFailure(sRecord, errno);
      return;
    case CommitRecord::Found::kOtherVersion:
      RefuseEarlierCommit(sWhy, Advice::kOtherVersion);
    case CommitRecord::Found::kUnreadable:
      RefuseEarlierCommit(sWhy, Advice::kRemoveIt);
    case CommitRecord::Found::kComplete:
      break;
  }
  bool bOtherRun = false;
  sWhy = WhyRecordRefused(plan, &bOtherRun);
  if (!sWhy.empty()) {
    // Its block stays where it is whole: the user learns where.
    RefuseEarlierCommit(sWhy,
                        bOtherRun ? Advice::kRunThatRun : Advice::kRemoveIt,
                        KmLastStep::WhereBlockIs(recordFolder, plan));
  }
  std::string sAppended;
  const std::unique_ptr<KmLastStep> pStep = MakeLastStep();
  earlierMoved_ = pStep->Finish(record, plan, sAppended);
  const std::vector<KmString>& missing = pStep->Missing();
  KmString sDone;
  sDone << "A run into \"" << files_.sOutputFile
        << "\" was stopped while it moved its outputs into place; ";
  if (!missing.empty()) {
    if (!earlierMoved_.empty()) {
      sDone << "this run moved those still to move into place first ("
            << QuotedList(earlierMoved_) << "), but ";
    }
    sDone << "the files that run wrote are missing for " << QuotedList(missing)
          << " (neither the partial file nor the name holds it), so the "
             "files under these names are not all of one run, and this run "
             "removed no earlier export.";
  } else if (earlierMoved_.empty()) {
    sDone << "every one had reached its name";
  } else {
    sDone << "this run moved the rest of them into place first ("
          << QuotedList(earlierMoved_) << ")";
  }
  if (missing.empty()) {
    sDone << ", so the files under these names are all of that run.";
  }
  sDone << sAppended.c_str() << "\n";
  km_driver_internal::Print(sDone.GetCString());
}

std::string KmRun::WhyRecordRefused(const CommitPlan& plan,
                                    bool* pOtherRun) const {
  const std::vector<KmString> owned = outputs_.RenamedFiles();
  const auto Names = [](const KmString& sName, const char* sWhat) {
    return std::string("it names \"") + ShownName(sName).GetCString() +
           "\", which is " + sWhat;
  };
  // Outputs another run of these outputs writes and this one does not.
  if (pOtherRun != nullptr) *pOtherRun = true;
  std::vector<KmString> moved;
  for (const CommitMove& move : plan.moves) {
    const std::string sLeaf = KmFolder::LeafOf(move.sPartial.GetCString());
    const KmString sName(
        KmPendingFile::NameOfPartial(move.sPartial.GetCString()).c_str());
    if (!KmPendingFile::IsPartialName(sLeaf) || !Holds(owned, sName)) {
      return Names(move.sPartial, "no partial file of this run's outputs");
    }
    moved.push_back(sName);
  }
  if (!plan.sAppendedTo.IsEmpty() &&
      (outputs_.sClusteringFile.IsEmpty() ||
       plan.sAppendedTo != outputs_.sClusteringFile)) {
    return Names(plan.sAppendedTo, "no clustering result file of this run");
  }
  if (pOtherRun != nullptr) *pOtherRun = false;
  for (const CommitMove& move : plan.moves) {
    const std::string sLeaf = KmFolder::LeafOf(move.sPartial.GetCString());
    // Gone: Finish counts it moved only where its name reaches that file.
    struct stat info;
    if (!folders_.Of(move.sPartial).Stat(sLeaf, info)) continue;
    if (!S_ISREG(info.st_mode) || !IsOwnFileWithOneName(info) ||
        !(CommitFileIdOf(info) == move.file) ||
        IsRunInput(files_, pSession_, move.sPartial)) {
      return std::string("its partial file \"") +
             ShownName(move.sPartial).GetCString() +
             "\" is not the file that run wrote, this account's own with one "
             "name";
    }
  }
  // Any export the run did not write, this account's own with one name
  // where it is there: never its results file, saved session or run
  // summary, which every run writes.
  for (const KmString& sName : plan.removals) {
    struct stat info;
    const bool bExport = std::any_of(
        outputs_.exports.begin(), outputs_.exports.end(),
        [&sName](const auto& entry) { return entry.second == sName; });
    if (!bExport || Holds(moved, sName) ||
        (folders_.Of(sName).Stat(KmFolder::LeafOf(sName.GetCString()), info) &&
         !IsOwnFileWithOneName(info))) {
      return Names(sName,
                   "no export of this run that the run of the record could "
                   "remove (one it did not write, this account's own with "
                   "one name)");
    }
  }
  return "";
}
