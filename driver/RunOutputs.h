// The files a run writes, worked out once, and the checks that refuse a
// clash before the first byte is written.
#ifndef KM_DRIVER_RUNOUTPUTS_H
#define KM_DRIVER_RUNOUTPUTS_H

#include <string>
#include <vector>

#include "driver/KmRunFiles.h"
#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"

class kmSession;

// Suffixes of the exports other than the model-selection export, whose
// suffix follows the selection method (ModelSelectionExportSuffix).
inline constexpr char kReportSuffix[] = "report.txt";
inline constexpr char kDataSuffix[] = "dataexport.txt";
inline constexpr char kAPCSuffix[] = "apcexport.txt";
inline constexpr char kAAPCSuffix[] = "aapcexport.txt";
inline constexpr char kPairwiseSuffix[] = "pairwise_comparison.txt";
inline constexpr char kJumpCRSuffix[] = "jumpcrexport.txt";
inline constexpr char kSelectionResultsSuffix[] = "selectionresultsexport.txt";
inline constexpr char kFinalSelectedModelSuffix[] =
    "finalselectedmodelexport.txt";

// The suffix of every export file a run may write, whatever its switches
// and options (each model-selection export's included).
std::vector<const char*> AllExportSuffixes();

// One file of a run and what it is to the run, in words ("data file",
// "export"), for the messages that name it.
struct RunFile {
  KmString sName;
  const char* sRole;
  // For an output: true when the run file's name sets it (the saved session,
  // the error file), false when "Output File" does.
  bool bFollowsRunFile = false;
  // For an output: true when it is written where it stands (a lock file, the
  // clustering result file, which is appended to), false when it is renamed
  // into place, replacing whatever its name reached.
  bool bInPlace = false;
};

// Every name a run writes, in one record: the checks, the lock, the sweep of
// partial files, the writers and the cleanup of a failed run all take their
// names from here. The results file's folder and name less its ending (from
// the name's last dot on) is the stem every derived output shares:
// "out/res.kmo", "out/res.dat" and "out/res" all have the stem "out/res".
// The saved session and the error file share the run file's base instead.
struct RunOutputNames {
  KmString sResultsFile;  // the results file (an input in export-only mode)
  bool bWritesResults = false;  // false in export-only mode
  KmString sStem;
  // The locks the run holds, in the order it takes them: stem + ".lock" and,
  // when the run file's base is another name than the stem, base + ".lock".
  // They are taken in the order of their names, so that two runs sharing
  // both never hold one each.
  std::vector<KmString> lockFiles;
  // Every export the run may write, whatever its switches: suffix and name
  // (stem + "." + suffix).
  std::vector<std::pair<std::string, KmString>> exports;
  KmString sRunSummary;  // stem + ".RunSummary.txt"
  // stem + ".commit": the record of the last step (CommitRecord), there
  // only while the run moves its outputs into place.
  KmString sCommitRecord;
  KmString sSavedSession;  // "" in export-only mode, which writes none
  KmString sErrorFile;
  KmString sClusteringFile;  // "" unless the session clusters its cohorts
  // Its journal (KmClusteringJournal), beside it while a run appends.
  KmString sClusteringJournal;

  // The name of the export with sSuffix.
  // Throws: KmException "No export of the run has the suffix
  // \"<suffix>\"." (source "RunOutputNames") for any other suffix.
  const KmString& ExportFile(const char* sSuffix) const;
  // Every name above that the run may write, each with its role ("output
  // file", "export", "run summary", "lock file", "saved session", "error
  // file", "clustering result file", "clustering journal", "commit
  // record").
  std::vector<RunFile> Files() const;
  // The outputs renamed into place: results file (not in export-only
  // mode), exports, run summary, saved session (when written).
  std::vector<KmString> RenamedFiles() const;
};

// RunFolders: the folders a run writes in, each opened once (KmFolder) before
// the outputs are checked, so that every later create, write, rename,
// removal, lock and sweep reaches the folder the checks examined, whatever
// its path reaches by then.
class RunFolders {
 public:
  // Opens the folder of every name of files not tried yet; a folder that
  // cannot be opened stays unheld (CheckRunOutputs refuses a missing one).
  void Hold(const std::vector<RunFile>& files);
  // The folder held for the folder sName is in; one that holds nothing (every
  // operation in it fails) when it was not opened.
  const KmFolder& Of(const KmString& sName) const;
  // Throws KmException (source "main") "The folder \"<folder>\" of the
  // run's outputs was moved or replaced while the run <sWhile>; nothing was
  // written to the folder it names now." when the path of a folder tried no
  // longer reaches the folder held (or none was held and it exists now).
  void RequireStillNamed(const char* sWhile) const;
  // Syncs every folder held, so that the names created, renamed and removed
  // in them reach the disk; false (errno set, the folder's path in
  // *pFailed when given) at the first that cannot be synced.
  bool Sync(std::string* pFailed = nullptr) const;

 private:
  std::vector<KmFolder> folders_;  // opened or not, by the path tried
  KmFolder none_;
};

// The names of a run from its files; the clustering result file is added by
// AddSessionOutputs once the session is known.
RunOutputNames MakeRunOutputNames(const KmRunFiles& files);

// Adds the clustering result file of a calculation run whose session
// clusters its cohorts.
void AddSessionOutputs(RunOutputNames& outputs, const KmRunFiles& files,
                       const kmSession& session);

// Every file the run reads: the run file, the session file, the data file,
// the options files (both the names the run file gives and those in use),
// and, with pSession, the data file and the variance-covariance file the
// session names. Empty names are left out.
std::vector<RunFile> RunInputFiles(const KmRunFiles& files,
                                   const kmSession* pSession);

// Refuses, before anything is written, with KmException (source "main"):
//   an output whose folder does not exist:
//     The folder "<folder>" of the <role> "<name>" does not exist; it must
//     be created before the run.
//   an output name that is not a regular file (a device, a pipe, a folder,
//   or a symbolic link to one):
//     The <role> "<name>" is not a regular file (a device, a pipe, a folder
//     or a link to one); <remedy>.
//   an output that reaches one of the inputs, by the file each reaches
//   (device and inode, through other paths and links alike):
//     The <role> "<name>" is also an input of the run (the <input role>
//     "<input>"); <remedy>.
//   two outputs of one name or reaching one file:
//     The <role> "<name>" is also the <role> "<name>" of the run; <remedy>.
// where <remedy> is 'name another "Output File" in the run file' or, for a
// name the run file's name sets, 'give the run file another name'.
void CheckRunOutputs(const RunOutputNames& outputs, const KmRunFiles& files,
                     const kmSession* pSession);

// The two passes of CheckOutputsReplaceable: once the run holds its outputs,
// before its fits; and last, once its last step holds every lock it takes
// (the clustering result file's too, whose wait has no bound), immediately
// before its journal, its record and its first move.
enum class ReplaceablePass { kBeforeTheFits, kLast };

// Refuses, with KmException (source "main"), a name of the run that holds a
// file of another account in its way: an output that is renamed into place,
// and in the pass before the fits the error file, whose name holds a file
// this account may not replace (MayRemoveFrom: another account's, in a
// folder with the sticky bit of another account):
//   The <role> "<name>" is another account's (<account>), in a folder with
//   the sticky bit where only a file's owner, or the folder's, may replace
//   it: this run could not put its own in its place, and moved and removed
//   nothing. Ask that account to remove "<name>", or <remedy>.
// and the clustering journal's name holding another account's file, which no
// run obeys (KmClusteringJournal::Recover): so where this account may not
// remove it, and else
//   The clustering journal "<name>" is another account's (<account>), and a
//   run obeys only a journal of its own account: this run could not append
//   its clustering block, and moved and removed nothing. Remove "<name>", or
//   <remedy>.
// with <remedy> as CheckRunOutputs gives it. REQUIRES: folders holds the
// folders of outputs.
void CheckOutputsReplaceable(const RunOutputNames& outputs,
                             const RunFolders& folders, ReplaceablePass pass);

// True when sName reaches one of the inputs of RunInputFiles.
bool IsRunInput(const KmRunFiles& files, const kmSession* pSession,
                const KmString& sName);

// True when sName, in folder (the folder it is in), is a regular file that
// begins as a results file of this program does (the session block's
// identifier); false for anything else, a missing file or a link included.
bool ReadsAsResultsFile(const KmFolder& folder, const KmString& sName);

#endif  // KM_DRIVER_RUNOUTPUTS_H
