// KmRun: the run's phases other than the calculation.
#include "driver/KmRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "driver/CohortOutcomes.h"
#include "driver/CreateSession.h"
#include "driver/ExportOptions.h"
#include "driver/ExportSequence.h"
#include "driver/KmLastStep.h"
#include "driver/OptionCombinations.h"
#include "driver/RunLocks.h"
#include "driver/RunOptions.h"
#include "driver/RunOutputs.h"
#include "driver/internal/KmConsole.h"
#include "engine/kmCalculationHandler.h"
#include "engine/kmCohortClustering.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmPendingFile.h"
#include "foundation/KmSystemReason.h"
#include "foundation/kmRunProgressTrackers.h"
#include "foundation/platform/KmHeldFiles.h"
#include "reports/kmRunSummary.h"
#include "results/kmCalcHandler.h"
#include "session/IniSessionDict.h"
#include "session/kmSession.h"

using km_driver_internal::Print;

namespace {

// The session and run-options entries of the run summary. An export-only
// run takes its session, options included, from the results file and
// applies no run options: its summary names the results file as the
// session's source and says which named files went unused.
void SummarySessionFiles(const KmRunFiles& files, KmString& sSession,
                         KmString& sRunOptions) {
  sSession = files.sSessionFile;
  sRunOptions = files.sRunOptionsFile;
  if (!files.bExportOnly) return;
  sSession = files.sOutputFile;
  sSession << " (the session stored in the results file";
  // Unnamed, the session file defaults to the run file itself.
  if (files.sSessionFile != files.sRunFile) {
    sSession << "; " << files.sSessionFile << " was not read";
  }
  sSession << ")";
  sRunOptions = "none (the results file's session is exported as it was run";
  if (files.bRunOptions) {
    sRunOptions << "; " << files.sRunOptionsFile << " was not applied";
  }
  sRunOptions << ")";
}

// "\"a\", \"b\" and \"c\"" for the names.
KmString QuotedNames(const std::vector<KmString>& names) {
  KmString sList;
  for (size_t i = 0; i < names.size(); ++i) {
    sList << (i == 0                  ? ""
              : i + 1 == names.size() ? " and "
                                      : ", ")
          << "\"" << names[i] << "\"";
  }
  return sList;
}

}  // namespace

// The layout the writers use without an export-options file: the best-fit
// model only, "\n", ".", ";", unquoted labels, the table layout.
KmRun::KmRun(const char* sProgram, const char* sRunFile)
    : exportOptions_(1, DataExportOptions::kLineUnix,
                     DataExportOptions::kMissingPeriod,
                     DataExportOptions::kFieldSemicolon, 2, 0, 0, true, true,
                     false, true, true, false, 2100, 1500, true) {
  SetDefaultRunFiles(files_, sProgram, sRunFile);
  // The names the run file's own name gives, for the message of a run whose
  // run file cannot be read.
  outputs_ = MakeRunOutputNames(files_);
}

KmRun::~KmRun() {
  // The step first: it may remove the clustering file's journal, under the
  // lock that goes with the file's descriptor.
  pLastStep_.reset();
  if (iClusteringFd_ >= 0) close(iClusteringFd_);
}

void KmRun::Execute() {
  ReadRunFileNames(files_);
  outputs_ = MakeRunOutputNames(files_);
  CheckRunFile(files_);
  sPhase_ = "creating the session";
  MakeSession();
  sPhase_ = "applying the options";
  ApplyOptions();
  AddSessionOutputs(outputs_, files_, *pSession_);
  HoldOutputs();
  if (!files_.bExportOnly) Calculate();
  sPhase_ = "reporting the cohorts that could not be fitted";
  ReportCohortOutcomes(
      *pResults_, MaximumOriginText(bMaxKinkmarksGiven_, bDefaultMaxKinkmarks_,
                                    files_.bExportOnly ? files_.sOutputFile
                                                       : files_.sSessionFile));
  Export();
  sPhase_ = "moving the outputs into place";
  CommitOutputs();
  KmString sDone(files_.sOutputFile);
  sDone << " has finished running.\n";
  Print(sDone.GetCString());
}

void KmRun::CheckOutputs() {
  folders_.Hold(outputs_.Files());
  CheckRunOutputs(outputs_, files_, pSession_);
  folders_.RequireStillNamed("checked them");
}

void KmRun::HoldOutputs() {
  CheckOutputs();
  KmString sLock;
  const KmFileLock::Outcome outcome = AcquireLocks(sLock);
  if (outcome == KmFileLock::Outcome::kHeld) {
    // Refused before the fits rather than at the last step, part-way.
    CheckOutputsReplaceable(outputs_, folders_,
                            ReplaceablePass::kBeforeTheFits);
    TakeOverOutputs();
    OpenClusteringFile();
    return;
  }
  const int iErrno = errno;
  const KmFolder& folder = folders_.Of(sLock);
  if (outcome == KmFileLock::Outcome::kBusy) {
    throw KmRunRefused{BusyOutputsMessage(folder, sLock, files_.sOutputFile)};
  }
  if (outcome != KmFileLock::Outcome::kFolderNotWritable) {
    throw KmException(UnusableLockMessage(folder, sLock, iErrno).GetCString(),
                      "main");
  }
  // The lock is the first file a run makes: a read-only or immutable
  // folder refuses it before anything else.
  KmString sMessage;
  sMessage << "The folder \"" << KmFolder::FolderOf(sLock.GetCString()).c_str()
           << "\" of the run's outputs cannot be written (the lock file \""
           << sLock
           << "\" cannot be created in it): " << KmSystemReason(iErrno).c_str()
           << ".";
  throw KmException(sMessage.GetCString(), "main");
}

KmFileLock::Outcome KmRun::AcquireLocks(KmString& sLock) {
  for (const KmString& sName : outputs_.lockFiles) {
    sLock = sName;
    auto pLock = std::make_unique<KmFileLock>();
    const KmFileLock::Outcome outcome =
        pLock->Acquire(folders_.Of(sName), sLock.GetCString());
    if (outcome != KmFileLock::Outcome::kHeld) {
      const int iErrno = errno;
      pLock.reset();
      errno = iErrno;
      return outcome;
    }
    outputLocks_.push_back(std::move(pLock));
  }
  return KmFileLock::Outcome::kHeld;
}

void KmRun::TakeOverOutputs() {
  FinishEarlierCommit();
  SweepPartialFiles();
  earlierErrorFile_.Mark(folders_.Of(outputs_.sErrorFile),
                         KmFolder::LeafOf(outputs_.sErrorFile.GetCString()));
}

void KmRun::SweepPartialFiles() const {
  // Compared by the file each reaches: a leftover name may be a link to an
  // input, or the input itself named so.
  const auto IsInput = [this](const KmString& sName) {
    return IsRunInput(files_, pSession_, sName);
  };
  for (const RunFile& output : outputs_.Files()) {
    KmPendingFile::RemoveLeftovers(folders_.Of(output.sName), output.sName,
                                   IsInput);
  }
}

void KmRun::OpenClusteringFile() {
  const KmString& sName = outputs_.sClusteringFile;
  if (sName.IsEmpty()) return;
  // Appended to, never truncated: the results of earlier runs stay first.
  // Read too: a block a stopped run's journal names is kept where it reads
  // whole.
  const KmFolder& folder = folders_.Of(sName);
  const std::string sLeaf = KmFolder::LeafOf(sName.GetCString());
  constexpr int kAppend = O_RDWR | O_APPEND | O_NONBLOCK;
  iClusteringFd_ = folder.OpenFile(sLeaf, kAppend | O_CREAT);
  struct stat info;
  const bool bOneName = iClusteringFd_ >= 0 &&
                        fstat(iClusteringFd_, &info) == 0 &&
                        S_ISREG(info.st_mode) && info.st_nlink == 1;
  // Another account's file (one it made first in a shared folder) could be
  // rewritten or emptied by that account: none of this run's blocks go there.
  if (bOneName && IsOwnFileWithOneName(info)) return;
  const int iErrno = errno;
  KmString sMessage;
  if (bOneName) {
    sMessage << "The clustering result file \"" << sName
             << "\" is not this account's own (another account could rewrite "
                "or empty it); this run appended nothing to it. Name another "
                "\"Output File\" in the run file, in a folder of your own.";
  } else if (iClusteringFd_ >= 0 || iErrno == ELOOP) {
    sMessage << "The clustering result file \"" << sName
             << "\" is not a regular file with one name (a link, or a file "
                "other names reach too); name another \"Output File\" in the "
                "run file.";
  } else {
    const std::string sReason = KmSystemReason(iErrno);
    sMessage << "Unable to open the clustering result \"" << sName
             << "\": " << sReason.c_str() << ".";
  }
  throw KmException(sMessage.GetCString(), "main");
}

KmFolder KmRun::GetErrorFolder() const {
  KmFolder folder = folders_.Of(files_.sErrorFile);
  if (!folder.IsOpen()) {
    folder.Open(KmFolder::FolderOf(files_.sErrorFile.GetCString()));
  }
  return folder;
}

KmString KmRun::GetErrorFileToWrite() const {
  // The name follows the run file alone, so it is known even when the run
  // file itself cannot be read and no other name of the run is. What the
  // name holds now is judged by WriteErrorFile (ErrorFileMayReplace).
  return IsRunInput(files_, pSession_, files_.sErrorFile) ? KmString()
                                                          : files_.sErrorFile;
}

void KmRun::MakeSession() {
  if (files_.bExportOnly) {
    pReadTracker_ = std::make_unique<kmProgressTracker>();
    pResults_ = std::make_unique<kmCalcHandler>(files_.sOutputFile.GetCString(),
                                                pReadTracker_.get());
    pSession_ = pResults_->GetSession();
    return;
  }
  pOwnedSession_.reset(CreateSession(files_.sSessionFile, files_.sDataFile,
                                     files_.bDataFileNamed,
                                     files_.bSessionFileNamed));
  pSession_ = pOwnedSession_.get();
  bDefaultMaxKinkmarks_ = MaxKinkmarksFromData(files_.sSessionFile);
  // The run summary names the data file the session reads.
  pSession_->GetString(kmStrDataFile, files_.sDataFile);
}

void KmRun::ApplyOptions() {
  if (!files_.bExportOnly) {
    bool bTypeGiven = false;
    if (files_.bRunOptions) {
      const IniSessionDict runOptions(files_.sRunOptionsFile.GetCString());
      bTypeGiven = runOptions.iDependentVarType >= 0;
      // -1 when "maximum kinkmarks" is not given (it keeps the session's).
      bMaxKinkmarksGiven_ = runOptions.iMaxKinkmarks != -1;
      if (bMaxKinkmarksGiven_) bDefaultMaxKinkmarks_ = false;
      ApplyRunOptions(runOptions, pSession_);
    }
    // The run type the run options set decides what counts are fitted as;
    // a type they give stands.
    if (!bTypeGiven) pSession_->NameDependentType();
    ValidateOptionCombinations(*pSession_, files_.sSessionFile);
  }
  if (!files_.bExportOptions) return;
  const KmIniFile optionsFile(files_.sExportOptionsFile.GetCString());
  if (optionsFile.GetSectionIndex("Export Options") < 0) return;
  exportDict_.CreateDictFromFile(files_.sExportOptionsFile.GetCString());
  ApplyExportOptions(exportDict_, exportOptions_);
  ApplyAAPCRanges(pSession_, exportDict_);
}

void KmRun::Export() {
  sPhase_ = "writing the exports";
  if (files_.bExportOptions) {
    ApplyDisplayPrecisions(exportDict_, pResults_->GetOutputDisplayOptions());
  }
  ExportsWritten written = RunExportSequence(
      outputs_, folders_, *pResults_, exportOptions_, exportDict_, *pSession_);
  for (auto& pFile : written.finished) finished_.push_back(std::move(pFile));
  exportsWritten_ = written.files;
  sPhase_ = "writing the run summary";
  WriteRunSummary(written);
}

bool KmRun::MayRemove(const KmString& sName) const {
  if (IsRunInput(files_, pSession_, sName)) return false;
  return sName == outputs_.sResultsFile ||
         !ReadsAsResultsFile(folders_.Of(sName), sName);
}

bool KmRun::RemoveOwnedFile(const KmString& sName) const {
  return !MayRemove(sName) ||
         folders_.Of(sName).Remove(KmFolder::LeafOf(sName.GetCString())) ||
         errno == ENOENT;
}

void KmRun::RemoveEarlierErrorFile() const {
  if (!earlierErrorFile_.IsNamedBy(
          folders_.Of(outputs_.sErrorFile),
          KmFolder::LeafOf(outputs_.sErrorFile.GetCString())) ||
      RemoveOwnedFile(outputs_.sErrorFile)) {
    return;
  }
  const std::string sReason = KmSystemReason(errno);
  KmString sNote;
  sNote << "The error file \"" << outputs_.sErrorFile
        << "\" of an earlier run could not be removed: " << sReason.c_str()
        << ".\n";
  Print(sNote.GetCString());
}

KmString KmRun::NoteOnEarlierOutputs(const std::vector<KmString>& moved) const {
  KmString sFound;
  std::vector<KmString> earlier;  // found, and not moved by this run
  for (const KmString& sName : outputs_.RenamedFiles()) {
    if (IsRunInput(files_, pSession_, sName)) continue;
    // Before the run holds its folders, they are looked up by their paths.
    const KmFolder& held = folders_.Of(sName);
    if (held.IsOpen() ? held.Exists(KmFolder::LeafOf(sName.GetCString()))
                      : KmIO_File::FileExists(sName.GetCString())) {
      sFound << (sFound.IsEmpty() ? "" : ", ") << "\"" << sName << "\"";
      if (std::find(moved.begin(), moved.end(), sName) == moved.end()) {
        earlier.push_back(sName);
      }
    }
  }
  KmString sNote;
  if (sFound.IsEmpty()) return sNote;
  sNote << "The files under this run's output names (" << sFound;
  if (moved.empty()) {
    sNote << ") are from before it (an earlier run's outputs, or other "
             "files) and were left as they were";
    if (!earlierMoved_.empty()) {
      sNote << ", but for the outputs of a run that was stopped while it "
               "moved them, which this run moved into place first ("
            << QuotedNames(earlierMoved_) << ")";
    }
    sNote << ".";
    return sNote;
  }
  // A rename the system refused part-way through the last step: which
  // are whose.
  const auto IsAre = [](const std::vector<KmString>& names) {
    return names.size() == 1 ? " is " : " are ";
  };
  if (earlier.empty()) {
    sNote << ") are this run's, but the run failed while it moved its "
             "outputs into place, before it had moved the others.";
    return sNote;
  }
  sNote << ") are not all of one run: the run failed while it moved its "
           "outputs into place. "
        << QuotedNames(moved) << IsAre(moved) << "this run's; "
        << QuotedNames(earlier) << IsAre(earlier)
        << "from before it (an earlier run's outputs, or other files).";
  return sNote;
}

KmString KmRun::DiscardOutputsOfFailedRun() noexcept {
  KmString sNote;
  try {
    const std::vector<KmString> moved =
        pLastStep_ ? pLastStep_->Moved() : std::vector<KmString>();
    const bool bLeftCut = pLastStep_ && pLastStep_->IsBlockLeftCut();
    // The commit record of a step that did not finish goes, and then the
    // partial files: the error message replaces them. A clustering result
    // file this run created stays (empty): another run may be about to
    // append to it.
    const bool bRecordLeft = pLastStep_ && !pLastStep_->DropRecord();
    const int iErrno = errno;
    pLastStep_.reset();
    finished_.clear();
    pResultsFile_.reset();
    sNote = NoteOnEarlierOutputs(moved);
    if (bLeftCut) {
      sNote << (sNote.IsEmpty() ? "" : " ") << "The clustering block this run "
            << "appended to \"" << outputs_.sClusteringFile
            << "\" could not be cut off again.";
    }
    if (bRecordLeft) {
      sNote << (sNote.IsEmpty() ? "" : " ") << "Its commit record \""
            << outputs_.sCommitRecord
            << "\" could not be removed: " << KmSystemReason(iErrno).c_str()
            << ". The next run of these outputs names those that record "
               "lists but this run did not move, and removes it.";
    }
  } catch (...) {
    // The error file still says why the run failed.
  }
  return sNote;
}

void KmRun::WriteRunSummary(const ExportsWritten& written) {
  // Its three writers fill the partial file; it appears with the other
  // outputs (CommitOutputs) or not at all.
  auto pSummary = std::make_unique<KmPendingFile>(
      folders_.Of(outputs_.sRunSummary), outputs_.sRunSummary);
  const KmFileTarget sSummary = pSummary->GetFile();
  const KmString sDelimiter = exportOptions_.GetLineDelimeter();
  const KmVector<double>& numeric = pResults_->GetNumericData();
  // The calculation's elapsed seconds, in whole seconds; a value no int
  // holds (only a damaged results file has one) reads as 0.
  const double dSeconds = numeric.empty() ? 0.0 : numeric[0];
  const int iSeconds = dSeconds >= 0.0 && dSeconds < 2147483647.0
                           ? static_cast<int>(dSeconds)
                           : 0;
  KmString sSessionFile;
  KmString sRunOptionsFile;
  SummarySessionFiles(files_, sSessionFile, sRunOptionsFile);
  WriteKinkmarkRunInfo(sSummary, files_.sProgram.GetCString(), iSeconds,
                       files_.sRunFile.GetCString(), sSessionFile.GetCString(),
                       files_.sDataFile.GetCString(),
                       sRunOptionsFile.GetCString(),
                       files_.sExportOptionsFile.GetCString(),
                       files_.sOutputFile.GetCString(), sDelimiter);
  WriteTextReportHeader(*pSession_, sSummary, sDelimiter);
  Print("Start Run Summary Export\n");
  WriteParametersText(sSummary, pResults_->GetOutputDisplayOptions(),
                      exportOptions_, written.bReport, written.bAPC,
                      written.bAAPC, written.bFTest, written.bData,
                      pSession_->Get<kmIntervalMethod>(), sDelimiter);
  finished_.push_back(std::move(pSummary));
  Print("Finished Run Summary Export\n");
}
