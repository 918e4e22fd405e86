// An output file that appears under its name only once it is complete.
#ifndef KM_FOUNDATION_KMPENDINGFILE_H
#define KM_FOUNDATION_KMPENDINGFILE_H

#include <functional>
#include <string>

#include "foundation/KmFileTarget.h"
#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"

// KmPendingFile: the writer writes to GetFile(), a file this object created
// new for this run beside the name ("<name>.<6 letters or digits>.partial",
// in the same folder); Commit renames that file into place, replacing an
// older file of the name in one step. Until then an older file stays as it
// was, and a run that stops part-way leaves nothing under the name. A
// pending file that is not committed removes its partial file when it goes.
//
// Every step is taken relative to the folder held for the name (KmFolder),
// so a folder renamed away or replaced by a link meanwhile redirects
// nothing. The partial file is created exclusively and never through a
// link, under a name no other run uses, so a file or link planted beside
// the output (a leftover "<name>.partial" pointing at an input) is never
// written. The object keeps the descriptor of that creation, and writers
// and readers reach the file only through it (GetFile): a name replaced by
// a link to another file after the creation is never written through.
class KmPendingFile {
 public:
  // Creates the partial file of sPath in folder, the folder sPath is in
  // (KmFolder::FolderOf), held by the caller.
  // Throws: KmException "Unable to write the file \"<name>\": <reason>."
  // (class "KmPendingFile") when no partial file can be created beside the
  // name (a missing folder, one that cannot be written).
  KmPendingFile(const KmFolder& folder, const KmString& sPath);
  ~KmPendingFile();
  KmPendingFile(const KmPendingFile&) = delete;
  KmPendingFile& operator=(const KmPendingFile&) = delete;

  const KmString& GetName() const { return sPath_; }
  const KmString& GetPartialName() const { return sPartial_; }
  // The file written, reached through its descriptor and named by the
  // output's name, so that a failure to write it (a full disk) names the
  // output rather than the partial file the failed run then removes. Valid
  // while the object lives.
  KmFileTarget GetFile() const;

  // Syncs the finished file through its descriptor and moves it into place.
  // When the partial name no longer reaches the file written (another file
  // was put under it), the file's bytes are first copied, through the
  // descriptor, into a new partial file, which is moved instead; the other
  // file is left as it is.
  // Throws: KmException "Unable to write the file \"<name>\": <reason>."
  // (class "KmPendingFile") when the sync or copy fails, when the partial
  // name keeps being replaced, or when the name does not reach the file
  // written once it was moved; KmIO_File::MoveIntoPlace's failure. The
  // partial file is then removed with the object.
  void Commit();

  // The first half of Commit: the file written is synced under a partial
  // name that reaches it (GetPartialName, which may change here as Commit
  // says), so that a later Commit only renames it. A file synced once is
  // not synced again unless it had to be copied to a new partial file.
  // Throws: as Commit, but for the move.
  void Sync();

  // True once Commit has moved the file into place.
  bool IsCommitted() const { return bCommitted_; }

  // Removes, in folder, the partial files of sPath that runs killed
  // part-way left: the regular files named as GetPartialName names them, but
  // those that bKeep answers true for (given the file's path). Links and
  // anything else stay. Raises nothing. REQUIRES: no other run writes sPath
  // (the caller holds its outputs).
  static void RemoveLeftovers(
      const KmFolder& folder, const KmString& sPath,
      const std::function<bool(const KmString&)>& bKeep);

  // True when sName has the form of a partial name of some file:
  // "<name>.<6 letters or digits>.partial".
  static bool IsPartialName(const std::string& sName);
  // The name of the file whose partial name is sPartial (a path whose leaf
  // IsPartialName): sPartial less ".<tag>.partial"; sPartial itself when
  // its leaf is no partial name.
  static std::string NameOfPartial(const std::string& sPartial);

 private:
  // Creates a new partial file beside sPath_: sPartial_, iFd_.
  void CreatePartial();
  // Copies the file written into a new partial file and keeps that one.
  void MoveToNewPartial();

  KmFolder folder_;
  KmString sPath_;
  KmString sPartial_;
  int iFd_ = -1;  // the descriptor of the partial file's creation
  bool bCommitted_ = false;
  bool bSynced_ = false;  // the file under sPartial_ is on the disk
};

#endif  // KM_FOUNDATION_KMPENDINGFILE_H
