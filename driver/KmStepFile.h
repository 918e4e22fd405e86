// A file of a run's last step: its commit record, or the journal of a
// clustering result file.
#ifndef KM_DRIVER_KMSTEPFILE_H
#define KM_DRIVER_KMSTEPFILE_H

#include <sys/stat.h>

#include <string>

#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"

// KmStepFile: the file sName of folder that the step creates, writes and
// syncs with its folder, or that a stopped run left there and this one
// reads; either way held open from then on, and removed only where its name
// still reaches it, so that a file put under the name since is never
// removed for it. Every change goes through the installed KmFileSystem.
class KmStepFile {
 public:
  enum class Left {
    kNone,     // no file under the name
    kRead,     // read whole, and held
    kRefused,  // sWhy says why
  };

  // The file sName (its leaf) of folder, held by the caller for the
  // object's life; nothing is held yet.
  KmStepFile(const KmFolder& folder, const KmString& sName);
  // Lets go of the file held; it stays on disk.
  ~KmStepFile();
  KmStepFile(const KmStepFile&) = delete;
  KmStepFile& operator=(const KmStepFile&) = delete;

  const KmString& GetName() const { return sName_; }
  bool IsHeld() const { return iFd_ >= 0; }
  int GetFd() const { return iFd_; }

  // Opens sLeaf of folder with iFlags only where it is a regular file
  // itself (never through a link), this account's own, with one name;
  // info is its status. The descriptor, or -1 with sWhy "it is not a
  // regular file with one name" or "it is not this account's own".
  static int OpenOwn(const KmFolder& folder, const std::string& sLeaf,
                     int iFlags, struct stat& info, std::string& sWhy);

  // Reads the file a stopped run left under the name, opened as OpenOwn
  // opens it, into sText, and holds it. kRefused with OpenOwn's reason, "it
  // could not be read: <reason>", or "it is not a <sKind> of this program"
  // where it holds more than iLongest bytes.
  Left ReadLeft(const char* sKind, size_t iLongest, std::string& sText,
                std::string& sWhy);

  // Creates the file (never one already there), writes sText and syncs its
  // folder, and holds it.
  // Throws: "Unable to write the file \"<name>\": <reason>."
  // (RaiseWriteFailure): the file emptied (so that one left reads as cut before
  // its last line), removed as Remove does, and let go.
  void Create(const std::string& sText);

  // Removes the file held where its name still reaches it (a file put under
  // the name since stays), lets it go and syncs the folder. True when
  // nothing is held; false (errno set) when the removal fails (the file
  // stays held) or the sync does (it is let go).
  bool Remove();

  // Lets go of the file held, errno kept.
  void Release();

 private:
  const KmFolder& folder_;
  KmString sName_;
  std::string sLeaf_;
  int iFd_ = -1;
};

#endif  // KM_DRIVER_KMSTEPFILE_H
