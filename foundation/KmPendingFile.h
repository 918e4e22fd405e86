// An output file that appears under its name only once it is complete.
#ifndef KM_FOUNDATION_KMPENDINGFILE_H
#define KM_FOUNDATION_KMPENDINGFILE_H

#include "foundation/KmString.h"

// KmPendingFile: the writer writes to GetPartialName(), a file this object
// created new for this run beside the name ("<name>.<6 letters or
// digits>.partial", in the same folder); Commit renames that file into
// place, replacing an older file of the name in one step. Until then an
// older file stays as it was, and a run that stops part-way leaves nothing
// under the name. A pending file that is not committed removes its partial
// file when it goes.
//
// The partial file is created exclusively and never through a link, under a
// name no other run uses, so a file or link planted beside the output (a
// leftover "<name>.partial" pointing at an input) is never written; the
// writers reopen it by name, and the file system layer never follows a link
// when it opens an output (KmFileSystem::OpenOutput).
class KmPendingFile {
 public:
  // Creates the partial file.
  // Throws: KmException "Unable to write the file \"<name>\": <reason>."
  // (class "KmPendingFile") when no partial file can be created beside the
  // name (a missing folder, one that cannot be written).
  explicit KmPendingFile(const KmString& sPath);
  ~KmPendingFile();
  KmPendingFile(const KmPendingFile&) = delete;
  KmPendingFile& operator=(const KmPendingFile&) = delete;

  const KmString& GetName() const { return sPath_; }
  const KmString& GetPartialName() const { return sPartial_; }

  // Moves the finished partial file into place.
  // Throws: KmIO_File::MoveIntoPlace's failure (the partial file is then
  // removed with the object).
  void Commit();

  // Removes the partial files of sPath that runs killed part-way left: the
  // regular files named as GetPartialName names them. Links and anything
  // else stay. Raises nothing. REQUIRES: no other run writes sPath (the
  // caller holds its outputs).
  static void RemoveLeftovers(const KmString& sPath);

 private:
  KmString sPath_;
  KmString sPartial_;
  bool bCommitted_ = false;
};

#endif  // KM_FOUNDATION_KMPENDINGFILE_H
