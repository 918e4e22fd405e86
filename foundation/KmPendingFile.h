// An output file that appears under its name only once it is complete.
#ifndef KM_FOUNDATION_KMPENDINGFILE_H
#define KM_FOUNDATION_KMPENDINGFILE_H

#include "foundation/KmString.h"

// KmPendingFile: the writer writes to GetPartialName() (the name followed
// by ".partial", in the same folder); Commit renames that file into place,
// replacing an older file of the name in one step. Until then an older file
// stays as it was, and a run that stops part-way leaves no partial file
// under the name. A pending file that is not committed removes its partial
// file when it goes.
class KmPendingFile {
 public:
  // The writer opens the partial name from an empty file, so a partial
  // file a killed run left is simply written over.
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

 private:
  KmString sPath_;
  KmString sPartial_;
  bool bCommitted_ = false;
};

#endif  // KM_FOUNDATION_KMPENDINGFILE_H
