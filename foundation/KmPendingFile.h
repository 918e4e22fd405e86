// An output file that appears under its name only once it is complete.
#ifndef KM_FOUNDATION_KMPENDINGFILE_H
#define KM_FOUNDATION_KMPENDINGFILE_H

#include <functional>
#include <string>

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
// leftover "<name>.partial" pointing at an input) is never written. The
// object keeps the descriptor of that creation and holds the partial name
// for it (KmHoldFile): a writer that opens the partial name through KmIO_File
// writes through that descriptor, so a name replaced by a link to another
// file after the creation is never written through.
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

  // Syncs the finished file through its descriptor and moves it into place.
  // When the partial name no longer reaches the file written (another file
  // was put under it), the file's bytes are first copied, through the
  // descriptor, into a new partial file, which is moved instead; the other
  // file is left as it is. While the object lives, reading the name goes
  // through the descriptor (KmHoldFile), so what is read back is the file
  // written whatever the name reaches by then.
  // Throws: KmException "Unable to write the file \"<name>\": <reason>."
  // (class "KmPendingFile") when the sync or copy fails, when the partial
  // name keeps being replaced, or when the name does not reach the file
  // written once it was moved; KmIO_File::MoveIntoPlace's failure. The
  // partial file is then removed with the object.
  void Commit();

  // Removes the partial files of sPath that runs killed part-way left: the
  // regular files named as GetPartialName names them, but those that bKeep
  // answers true for (given the file's path). Links and anything else stay.
  // Raises nothing. REQUIRES: no other run writes sPath (the caller holds
  // its outputs).
  static void RemoveLeftovers(
      const KmString& sPath, const std::function<bool(const KmString&)>& bKeep);

  // True when sName has the form of a partial name of some file:
  // "<name>.<6 letters or digits>.partial".
  static bool IsPartialName(const std::string& sName);

 private:
  // Creates a new partial file beside sPath_ and holds it: sPartial_, iFd_.
  void CreatePartial();
  // Copies the file written into a new partial file and holds that one.
  void MoveToNewPartial();

  KmString sPath_;
  KmString sPartial_;
  int iFd_ = -1;  // the descriptor of the partial file's creation
  bool bCommitted_ = false;
};

#endif  // KM_FOUNDATION_KMPENDINGFILE_H
