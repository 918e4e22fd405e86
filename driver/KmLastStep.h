// The last step of a run: the one place that writes, proves and removes the
// commit record, appends and cuts back the clustering block, and moves and
// removes outputs.
#ifndef KM_DRIVER_KMLASTSTEP_H
#define KM_DRIVER_KMLASTSTEP_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/CommitRecord.h"
#include "driver/KmStepFile.h"
#include "driver/RunOutputs.h"
#include "foundation/KmString.h"

class KmClusteringJournal;
class KmHeldFileLock;
class KmPendingFile;

// KmLastStep: one run's last step, or the rest of a stopped run's. Every
// file is reached through the folders the run holds and every change goes
// through the installed KmFileSystem, so each failure can be made on
// purpose. Its order (Run):
//   Begin    every partial file synced once, the record's text proved
//            (Prove), the clustering file's lock taken, a block a stopped
//            run left in it kept or cut back (KmClusteringJournal::Recover),
//            the caller's last check made (Run), its journal written, the
//            record (its block where the lock found the file's end) read
//            back, created, written and synced with its folder (a failure
//            leaves no record or journal of this run but an emptied one it
//            could not remove, which the next run removes as a step never
//            begun; a stopped run's block that Recover kept or cut back
//            stays so, its journal gone)
//   Append   the clustering block, then its journal removed (a failure cuts
//            the file back; the journal stays where the cut fails)
//   Move     every partial file into place, in order (a failure cuts the
//            clustering file back; the run's error file names those moved)
//   Confirm  the earlier outputs removed, every folder synced, the record
//            removed and its folder synced (a failure leaves every output
//            in place and the record for the next run to finish)
class KmLastStep {
 public:
  // Removes an earlier output sName of the run, when the run may: false
  // (errno set) when it fails; true when removed or not the run's to
  // remove.
  using Remover = std::function<bool(const KmString&)>;
  // The reason the next run would refuse a record of plan, in the words of
  // its refusal; "" when it would obey it.
  using Prover = std::function<std::string(const CommitPlan&)>;
  // The last check of the names the step writes: throws to refuse them.
  using LastCheck = std::function<void()>;

  // The step of the run whose outputs are in folders, its record sRecord;
  // earlier outputs are removed through remove, and the record is written
  // only where its text reads back as its plan and prove finds nothing the
  // next run would refuse in what it reads.
  KmLastStep(const RunFolders& folders, const KmString& sRecord, Remover remove,
             Prover prove);
  // Removes the record of a step that failed before its Confirm
  // (DropRecord). Raises nothing.
  ~KmLastStep();
  KmLastStep(const KmLastStep&) = delete;
  KmLastStep& operator=(const KmLastStep&) = delete;

  // The clustering block sBlock to append, to sName open for writing as iFd
  // (held by the caller for the step's life), by the run of sRunFile into
  // sOutputFile (which its journal names).
  void SetAppend(int iFd, const KmString& sName, const std::string& sBlock,
                 const KmString& sRunFile, const KmString& sOutputFile);
  // A partial file to move into place, after those added before (held by
  // the caller for the step's life).
  void AddMove(KmPendingFile& file);
  // An earlier output to remove once every output is in place.
  void AddRemoval(const KmString& sName);

  // The step, as the class says; lastCheck is called once every lock the
  // step takes is held (after the wait for the clustering file's, which has
  // no bound), immediately before the journal, the record and the first move.
  // Throws: KmException "Unable to lock the clustering result file
  // \"<name>\": <reason>." (source "main") before anything changed, and so
  // "The clustering result file \"<name>\" was moved or replaced while the
  // run wrote its outputs; ..." when its name no longer reaches the file;
  // KmClusteringJournal::Recover's refusal and failures; what lastCheck
  // throws (nothing written, a stopped run's block as Recover left it); "The
  // run moved and removed nothing: the next run would refuse the commit
  // record of its last step, as <reason of prove>; ..." and "The run moved
  // and removed nothing: its commit record, or the journal of its clustering
  // block, would not read back as written, ..." (source "main") before anything
  // is written; "Unable to write the file \"<name>\": <reason>." when the
  // journal, the record or the block cannot be written, or the journal
  // removed; KmPendingFile::Commit's failure; the
  // Confirm failure "The outputs of the run are all in place, but it could
  // not confirm its last step: <what>: <reason>. Its commit record
  // \"<record>\" stays, and the next run of these outputs finishes the
  // step." (source "main").
  void Run(const LastCheck& lastCheck);

  // The outputs moved into place so far, in order.
  std::vector<KmString> Moved() const;
  // True when the block of a failed step could not be cut off again.
  bool IsBlockLeftCut() const { return bLeftCut_; }
  // Removes the record of a step that failed before its Confirm, when its
  // name still reaches it, and lets it go. False (errno set) when it could
  // not be removed and stays; true otherwise, and when the step keeps it
  // for the next run (Run's Confirm failure).
  bool DropRecord();
  // The outputs of the stopped run that Finish found neither under their
  // partial names nor under their names, in order.
  const std::vector<KmString>& Missing() const { return missing_; }

  // The rest of the step of a stopped run whose record, read as record and
  // proved by the caller, is plan: first a block cut off in the clustering file
  // cut back by its journal, whoever's it is (the sentence of sAppendNote says
  // what was cut, whose, and what is known of the stopped run's block); then
  // the partial files still there moved into place; the removals made once
  // every output's name reaches the file the record names (a partial file
  // gone counts as moved only so; Missing lists the others, and then
  // nothing is removed); the record removed (KmStepFile::Remove). The
  // outputs moved, in order.
  // Throws: the lock's failure and KmClusteringJournal::Recover's refusal
  // and failures (nothing moved); KmPendingFile's move failures; "Unable to
  // write the file \"<name>\": <reason>." (RaiseWriteFailure) when a
  // folder's sync or the record's removal fails; "Unable to remove the file
  // \"<name>\": <reason>." (class "KmLastStep") when an earlier export's
  // removal fails. The record stays, but where only the sync of its folder
  // after its removal failed.
  std::vector<KmString> Finish(KmStepFile& record, const CommitPlan& plan,
                               std::string& sAppendNote);

  // Where the clustering result file of a stopped run's record plan, in
  // folder, holds that run's whole block: the sentence that says so, for
  // the refusal of a record that can no longer be finished; "" where it
  // does not.
  static std::string WhereBlockIs(const KmFolder& folder,
                                  const CommitPlan& plan);

 private:
  void Begin(const LastCheck& lastCheck);
  void Append();
  void Move();
  void Confirm();
  // Throws, before anything is written, where the record's text sRecord
  // does not read back (RequireReadsBack) or where prove_ refuses what it
  // reads.
  void Prove(const std::string& sRecord) const;
  // The plan the record's text sRecord gives, read back as the next run
  // reads it. Throws where it is not plan_, or where the journal of the
  // block would not read back.
  CommitPlan RequireReadsBack(const std::string& sRecord) const;
  // The clustering file of a stopped run's record plan, under its lock: a
  // block cut off in it cut back by its journal; the sentence returned says
  // so, and what is known of that run's block.
  std::string FinishAppend(const CommitPlan& plan) const;
  // Begin's part for the clustering file before the last check: its lock,
  // and the cut back of a block a stopped run left cut off.
  void HoldAppend();
  // Begin's part for it after the last check: its length and the journal
  // written.
  void BeginAppend();
  // Cuts the clustering file back to its length before the block and syncs
  // it; bLeftCut_ when either fails.
  void CutBlockBack();
  // Throws Run's Confirm failure for sWhat, keeping the record.
  [[noreturn]] void RaiseUnconfirmed(const std::string& sWhat, int iErrno);

  const RunFolders& folders_;
  KmString sRecord_;
  Remover remove_;
  Prover prove_;
  CommitPlan plan_;
  std::vector<KmString> missing_;
  std::vector<KmPendingFile*> pending_;
  int iAppendFd_ = -1;
  std::string sBlock_;           // the clustering block to append
  long long iLengthBefore_ = 0;  // the clustering file's, before the block
  KmString sRunFile_;            // whose the block is, as its journal names it
  KmString sOutputFile_;
  std::unique_ptr<KmHeldFileLock> pAppendLock_;
  // The journal of the block, from the lock on; removed once the block is
  // synced or cut back, else kept for whoever takes the lock next.
  std::unique_ptr<KmClusteringJournal> pJournal_;
  KmStepFile record_;       // held from its creation
  bool bAppended_ = false;  // the block may be in the file
  bool bLeftCut_ = false;
  bool bKeepRecord_ = false;  // the step was done: the record is the next's
};

#endif  // KM_DRIVER_KMLASTSTEP_H
