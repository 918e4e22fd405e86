// The journal of a clustering result file: the undo state of the block one
// run appends to it, kept beside the file that every clustering run into the
// folder appends to.
#ifndef KM_DRIVER_KMCLUSTERINGJOURNAL_H
#define KM_DRIVER_KMCLUSTERINGJOURNAL_H

#include <string>

#include "driver/KmStepFields.h"
#include "driver/KmStepFile.h"
#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"

// What a journal a stopped run left says, once it proved itself and was
// acted on: its run's tag, run file and results file, and the file's
// length when it was found (iFrom) and before that run's block (iTo); or,
// where that block was whole (bKept), that it was kept, the file as found.
struct KmJournalCut {
  bool bFound = false;  // a whole journal was there
  bool bKept = false;   // its block was whole, and stays
  std::string sTag;
  KmString sRunFile;
  KmString sOutputFile;
  long long iFrom = 0;
  long long iTo = 0;

  // The console's sentence for the file sFile and its journal sJournal:
  // what was cut back, and whose journal it was.
  std::string Sentence(const KmString& sFile, const KmString& sJournal) const;
};

// KmClusteringJournal: the file "<clustering result file>.journal" beside a
// clustering result file. A run that holds the file's lock (KmHeldFileLock)
// writes it before its commit record and the first byte of its block,
// synced with its folder, and removes it once the block is synced. Its
// lines:
//   kinkmark clustering journal <tag>
//   length <bytes before the block> <device> <inode>
//   block <the block's length> <its checksum>
//   run file <the run file of the run appending>
//   output file <its results file>
//   end <checksum of every byte before this line>
// Each name is its NameField (KmStepFields.h).
// Whoever next holds the lock and finds a journal knows its writer is gone
// inside its block, and that no one appended after it (every appender
// recovers first): the file is cut back to the length before, or keeps a
// block whole by its checksum at its offset (IsBlockWhole), and the journal
// goes. A file in no state the journal describes is another file: refused.
class KmClusteringJournal {
 public:
  // The journal of the clustering result file sFile, open as iFd (held by
  // the caller, with its lock, for the object's life), in folder (its own).
  KmClusteringJournal(const KmFolder& folder, const KmString& sFile, int iFd);
  // Closes the journal written; it stays unless removed (Remove).
  ~KmClusteringJournal();
  KmClusteringJournal(const KmClusteringJournal&) = delete;
  KmClusteringJournal& operator=(const KmClusteringJournal&) = delete;

  // The journal's name for the clustering result file sFile.
  static KmString NameOf(const KmString& sFile);

  // A journal a stopped run left beside the file. One that proves itself (a
  // regular file of this account with one name, whole, naming this file's
  // device and inode, the file born no later than it where the file system
  // tells, and the file holding the length before its block and at most
  // its block after it) has the file cut back to that length and synced,
  // or, where its block is whole, kept; then it is removed with its folder
  // synced. One cut before its last line (its run stopped before any byte
  // of its block) is removed. What was cut back or kept (bFound false when
  // no whole journal was there).
  // Throws: KmException (source "main") "The clustering result file
  // \"<file>\" has a journal \"<journal>\" that proves nothing: <why>; ..."
  // when it proves nothing, and "... has a journal \"<journal>\" of a run
  // that stopped while it appended its block: it is a journal of another
  // version of this program; ... Run that run's run file \"<run file>\"
  // again with the version of the program that wrote the journal, ..." for
  // a whole journal laid out as the version before this one wrote it,
  // which names no block (every file as it was); "Unable to write the
  // file \"<name>\": <reason>." when the cut back, a sync or the removal
  // fails (the journal stays).
  KmJournalCut Recover();

  // True when the journal of a block of the run of sRunFile into
  // sOutputFile, tagged sTag, read back as Recover reads it, gives every
  // field back as written, each name exactly: what the step checks before
  // it writes anything.
  static bool NamesReadBack(const std::string& sTag, const KmString& sRunFile,
                            const KmString& sOutputFile);

  // Creates the journal of the block the run of sRunFile into sOutputFile,
  // tagged sTag, appends, and syncs it with its folder.
  // Throws: KmStepFile::Create's failure; so, before the journal is created,
  // where its text would not read back as written.
  void Write(const std::string& sTag, const CommitBlock& block,
             const KmString& sRunFile, const KmString& sOutputFile);

  // Removes the journal written (KmStepFile::Remove): true when there is
  // none left to remove, false (errno set) when the removal or the sync
  // fails.
  bool Remove();

 private:
  // Throws the refusal of a journal that proves nothing, for sWhy; or, with
  // pOtherVersionsRunFile, of one of another version of the program,
  // written by a run of that run file.
  [[noreturn]] void Refuse(
      const std::string& sWhy,
      const KmString* pOtherVersionsRunFile = nullptr) const;
  // Removes the journal found (KmStepFile::Remove); throws the write
  // failure when that fails.
  void RemoveFound(KmStepFile& found) const;
  // Refuses the journal open as iJournalFd, of block, where the file (as
  // info) is not in a state it describes.
  void RequireItsFile(int iJournalFd, const CommitBlock& block,
                      const struct stat& info) const;

  const KmFolder& folder_;
  KmString sFile_;
  KmString sJournal_;
  int iFileFd_;
  KmStepFile journal_;  // the journal this object wrote, until removed
};

#endif  // KM_DRIVER_KMCLUSTERINGJOURNAL_H
