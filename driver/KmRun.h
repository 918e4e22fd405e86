// One run of kinkmark, from the run file to the run summary.
#ifndef KM_DRIVER_KMRUN_H
#define KM_DRIVER_KMRUN_H

#include <memory>
#include <vector>

#include "driver/CommitRecord.h"
#include "driver/ExportSequence.h"
#include "driver/KmRunFiles.h"
#include "driver/RunOutputs.h"
#include "foundation/platform/KmFileLock.h"
#include "foundation/platform/KmFileMark.h"
#include "session/DataExportOptions.h"
#include "session/IniExportDict.h"

class KmException;
class KmLastStep;
class KmPendingFile;
class kmCalcHandler;
class kmCalculationHandler;
class kmProgressTracker;
class kmSession;

// Thrown when another run holds the outputs of this one: the run ends at
// once, having written and removed nothing.
struct KmRunRefused {
  KmString sMessage;
};

// KmRun carries one run on the driver's thread; the calculation's worker
// threads live inside kmCalculationHandler::ExecuteThreaded. Its phases, in
// order (Execute):
//   ReadRunFile     the names and the mode, every name the run writes
//                   (RunOutputNames), then the options files validated
//   MakeSession     the session from its definition, or, for a results
//                   file (".kmo"), the session stored in it (export only)
//   ApplyOptions    run options (not in export-only mode), export options
//   HoldOutputs     every output checked against every input and every
//                   other output (CheckRunOutputs), then the locks taken,
//                   the last step of a run stopped in it finished
//                   (FinishEarlierCommit) and the partial files of killed
//                   runs swept; nothing is written before
//   Calculate       data check, preparation, pre-read (and the default
//                   maximum kinkmarks from its counts), saved session,
//                   verification and the threaded calculation; then the
//                   results file is read back
//   Export          display precisions, the export sequence, run summary
//   CommitOutputs   under a commit record, the clustering block appended,
//                   then every output, kept so far as its partial file,
//                   moved into place (KmLastStep)
// Methods live in KmRun.cpp (the phases), KmRunCalculation.cpp and
// KmRunCommit.cpp (the last step).
class KmRun {
 public:
  // The run of the run file sRunFile, started as sProgram (the program path
  // the run summary names).
  KmRun(const char* sProgram, const char* sRunFile);
  ~KmRun();
  KmRun(const KmRun&) = delete;
  KmRun& operator=(const KmRun&) = delete;

  // Carries the run to its end and prints "<output> has finished running.\n".
  // Throws: KmException on any failure (the caller writes the error file);
  // KmRunExit for a session file of an unknown kind; KmRunRefused when
  // another run is writing the same outputs.
  void Execute();

  // The names of the run (the error file is known from the start).
  const KmRunFiles& GetFiles() const { return files_; }
  // The error file a failed run writes, from the start of the run (also
  // when the run file cannot be read): "" when it is one of the run's
  // inputs. Whether the file there may be replaced is WriteErrorFile's to
  // judge (ErrorFileMayReplace).
  KmString GetErrorFileToWrite() const;
  // The folder the error file is written in: the one held for the run's
  // outputs, else (the run failed before it held them) opened now.
  KmFolder GetErrorFolder() const;
  // What the run was doing, in words ("fitting the cohorts"), for a
  // failure that carries no such context (running out of memory).
  const char* GetPhase() const { return sPhase_; }

  // After a failed run: removes the partial files this run wrote (its
  // outputs never reached their names, CommitOutputs) and its commit record
  // (unless its last step failed only once every output was in place), and
  // nothing else: every file the run found stays as it was, and so does a
  // clustering result file it created (another run may append to it). Returns
  // the sentence for the error message that the outputs under the run's names
  // are an earlier run's, or, when the last step failed part-way, which of them
  // this run moved into place; "" when none is there. Raises nothing.
  KmString DiscardOutputsOfFailedRun() noexcept;

 private:
  // Refuses outputs that clash (CheckOutputs), then takes every lock of
  // the record (RunOutputNames::lockFiles), removes the partial files
  // that runs killed part-way left under every name the run may write and
  // opens the clustering result file.
  // Throws: CheckOutputs' refusal; KmRunRefused when another process
  // holds the lock (BusyOutputsMessage); KmException (source "main") when
  // the folder refuses the lock file, and UnusableLockMessage when the lock
  // file cannot be used; CheckOutputsReplaceable's refusal, once the locks
  // are held; OpenClusteringFile's refusal.
  void HoldOutputs();
  // Holds the folder of every output (RunFolders), refuses outputs that
  // clash (CheckRunOutputs), then a folder whose path no longer reaches the
  // folder held. Throws: those refusals.
  void CheckOutputs();
  // Opens the clustering result file, when the run writes one, in its held
  // folder, for appending and never through a link, keeping what it holds;
  // creates it when there is none (bClusteringCreated_).
  // Throws: KmException (source "main") "The clustering result file
  // \"<name>\" is not a regular file with one name (a link, or a file
  // other names reach too); name another \"Output File\" in the run file."
  // when it is not; "... is not this account's own ..." when another
  // account owns it; "Unable to open the clustering result \"<name>\":
  // <reason>." when it cannot be opened.
  void OpenClusteringFile();
  // Takes the locks of the record in order, up to the first that cannot be
  // taken: its outcome, its name in sLock (errno set for kFailed).
  // REQUIRES: called once.
  KmFileLock::Outcome AcquireLocks(KmString& sLock);
  // Once the locks are held: finishes the last step of a run stopped in it
  // (FinishEarlierCommit), removes the partial files that runs killed
  // part-way left (SweepPartialFiles), and marks the error file that is
  // there (RemoveEarlierErrorFile). REQUIRES: the session is made, so every
  // input is known (it may name the data file and a variance-covariance
  // file).
  void TakeOverOutputs();
  // Removes the partial files that runs killed part-way left under every
  // name the run may write, but a file that is one of its inputs.
  // REQUIRES: the outputs are held.
  void SweepPartialFiles() const;
  void MakeSession();
  void ApplyOptions();
  // KmRunCalculation.cpp.
  void Calculate();
  void PrepareSession();
  void RunThreaded();
  void Export();
  // Lists the exports that were written (switch on and writer present).
  void WriteRunSummary(const ExportsWritten& written);
  // KmRunCommit.cpp. The last step of a run that succeeded: once it holds
  // the clustering file's lock and the output folders are still named by
  // their paths (RunFolders::RequireStillNamed) and every output's name can
  // be replaced (CheckOutputsReplaceable's last pass, KmLastStep::Run's last
  // check), KmLastStep appends the clustering block, moves every output into
  // place, one after another (results file, saved session, exports, run
  // summary), and removes the exports of earlier runs this run did not write;
  // then the earlier error file goes (RemoveEarlierErrorFile). Before this step
  // no file under an output's name has changed.
  // Throws: the refusal of a moved folder, or of a name this account may
  // not replace; KmLastStep::Run's failures.
  void CommitOutputs();
  // A last step of this run's outputs (the record, the folders held, the
  // removals through RemoveOwnedFile).
  std::unique_ptr<KmLastStep> MakeLastStep() const;
  // The commit record a run stopped in its last step left under this run's
  // name: a whole one that proves itself (WhyRecordRefused) is finished
  // (KmLastStep::Finish; the outputs moved kept in earlierMoved_), and the
  // console says so, naming the outputs of that run that are missing; one
  // cut before its last line (nothing was moved) is removed. REQUIRES: the
  // outputs are held, before the partial files are swept.
  // Throws: KmException (source "main") "The outputs of \"<results file>\"
  // were left part-way into place by a run that was stopped while it moved
  // them (its record \"<record>\" is there): <why>; this run moved and
  // removed nothing. <what the user can do>" when the record is not this
  // account's own with one name, not whole, of another version of the
  // program, or one this run does not obey (WhyRecordRefused);
  // KmLastStep::Finish's failures.
  void FinishEarlierCommit();
  // The one rule of what a commit record of these outputs may hold, for the
  // record this run writes and the one a stopped run left alike: "" when
  // every partial file it names is one of this run's outputs and, where it
  // is there, the very file the record names, this account's own with one
  // name, and no input; its append one to this run's clustering result
  // file; and every removal an export of this run that the record does not
  // move, this account's own with one name where it is there. Else the
  // reason, in the words of the refusal; *pOtherRun (when given) then says
  // whether a run writing other outputs under these names (another run
  // file into the same results file) may obey it.
  std::string WhyRecordRefused(const CommitPlan& plan,
                               bool* pOtherRun = nullptr) const;
  // What the refusal of a record advises.
  enum class Advice {
    kRunThatRun,    // another run of these outputs may finish it
    kOtherVersion,  // the version that wrote it finishes it
    kRemoveIt       // no run obeys it: the user checks and removes it
  };
  // Throws the refusal of FinishEarlierCommit, for the reason sWhy; with
  // kRemoveIt, a record the user cannot remove (MayRemoveOthersRecord) is
  // left to its owner or another output folder. sBlock, last, says where
  // the clustering result file holds the stopped run's block.
  [[noreturn]] void RefuseEarlierCommit(const std::string& sWhy, Advice advice,
                                        const std::string& sBlock = "") const;
  // False when the record under the commit record's name is another
  // account's in a sticky folder of another account, which this account
  // cannot remove.
  bool MayRemoveOthersRecord() const;
  // Removes the error file that was there when the run took its locks, when
  // its name still reaches that file: an error file written since is the
  // diagnosis of another run of the same base that failed before it could
  // hold its outputs, and stays. One that cannot be removed is named on
  // the console.
  void RemoveEarlierErrorFile() const;
  // True when the run may remove or replace the file sName: not one of its
  // inputs, and not a file that reads as a results file of this program
  // (ReadsAsResultsFile: another analysis's finished results, or a saved
  // session, which begins alike) unless sName is the run's results file.
  bool MayRemove(const KmString& sName) const;
  // Removes sName when MayRemove allows it: false (errno set) when that
  // fails; true when removed, gone already or not the run's to remove.
  bool RemoveOwnedFile(const KmString& sName) const;
  // The sentence of the error message when a file is under one of the names
  // the run would have written: those in moved named as this run's and the
  // others as from before it, or, where none was moved, those in
  // earlierMoved_ as a stopped run's that this run moved; else "".
  KmString NoteOnEarlierOutputs(const std::vector<KmString>& moved) const;

  KmRunFiles files_;
  // Every name the run writes, from ReadRunFile on.
  RunOutputNames outputs_;
  DataExportOptions exportOptions_;
  IniExportDict exportDict_;
  // The session of a calculation run (owned); in export-only mode the
  // session of the results handler (not owned).
  std::unique_ptr<kmSession> pOwnedSession_;
  kmSession* pSession_ = nullptr;
  std::unique_ptr<kmCalculationHandler> pCalculation_;
  std::unique_ptr<kmProgressTracker> pReadTracker_;
  // The results file this run wrote, its descriptor kept so that it is read
  // back whatever its name reaches by then.
  std::unique_ptr<KmPendingFile> pResultsFile_;
  // The results file read back; every export reads from it.
  std::unique_ptr<kmCalcHandler> pResults_;
  // The other outputs written in full (saved session, exports, run summary),
  // each still under its partial name until CommitOutputs.
  std::vector<std::unique_ptr<KmPendingFile>> finished_;
  // The exports written (ExportsWritten::files), for RemoveStaleOutputs.
  std::vector<KmString> exportsWritten_;
  const char* sPhase_ = "reading the run file";
  // The session's maximum number of kinkmarks is the default for the
  // cohorts' counts, set after the pre-read (MaxKinkmarksFromData, and no
  // "maximum kinkmarks" in the run options).
  bool bDefaultMaxKinkmarks_ = false;
  // The run options set "maximum kinkmarks" (not -1).
  bool bMaxKinkmarksGiven_ = false;
  // The locks taken, in the record's order; held from HoldOutputs to the
  // end of the object, error file included.
  std::vector<std::unique_ptr<KmFileLock>> outputLocks_;
  // The folders of the outputs, held from HoldOutputs to the end of the
  // object.
  RunFolders folders_;
  // The clustering result file, open for appending (-1 when none); its one
  // owner: only CommitOutputs writes to it, and the object closes it.
  int iClusteringFd_ = -1;
  // The last step, from CommitOutputs on (its record removed with it when
  // the step failed before every output was in place).
  std::unique_ptr<KmLastStep> pLastStep_;
  // The outputs of a stopped run that this run moved into place first
  // (FinishEarlierCommit).
  std::vector<KmString> earlierMoved_;
  // The error file there when the locks were taken (TakeOverOutputs).
  KmFileMark earlierErrorFile_;
};

// Prints the standard-exception reports of a failed calculation (see
// KmException::GetStandardReports; they are cleared) and its message on the
// console. A failure of
// KmFailure::kFitWithoutLocations (the failed best-model fit) then prints
// "Error: <message>" on standard error and throws KmRunExit{1}: the run
// ends with status 1 and no error file. Any
// other failure returns, for the caller to pass on to the error file.
void ReportCalculationFailure(KmException& e);

#endif  // KM_DRIVER_KMRUN_H
