// An advisory lock that a process holds on a name for as long as it lives.
#ifndef KM_FOUNDATION_PLATFORM_KMFILELOCK_H
#define KM_FOUNDATION_PLATFORM_KMFILELOCK_H

#include <string>

#include "foundation/platform/KmFolder.h"

// KmFileLock: an exclusive advisory lock (flock) on a lock file. The lock
// goes with the object, and with the process however it ends, so a run that
// is killed blocks nobody. The object removes the lock file when it goes only
// when it created the file and the name still reaches it; a file that was
// there before (one a killed run left, a user's file) is locked as it is and
// stays.
class KmFileLock {
 public:
  enum class Outcome {
    kHeld,    // the lock is this object's
    kBusy,    // another process holds it
    kFailed,  // the lock file could not be opened (errno set)
    // The lock file is missing and its folder refuses a new file: the
    // folder cannot be written (errno EACCES, EPERM or EROFS).
    kFolderNotWritable,
  };

  KmFileLock() = default;
  ~KmFileLock();
  KmFileLock(const KmFileLock&) = delete;
  KmFileLock& operator=(const KmFileLock&) = delete;

  // Takes the lock on the file sPath, in folder (the folder sPath is in,
  // held by the caller; the object keeps its own descriptor of it), without
  // waiting, creating the file when it is missing (through the installed
  // KmFileSystem's CreateExclusiveAt). A symbolic link is never followed
  // (kFailed, errno ELOOP). REQUIRES: the object holds no lock yet.
  Outcome Acquire(const KmFolder& folder, const std::string& sPath);

  bool IsHeld() const { return iFd_ >= 0; }

 private:
  int iFd_ = -1;
  KmFolder folder_;
  std::string sLeaf_;
  bool bCreated_ = false;  // this object created the lock file
};

#endif  // KM_FOUNDATION_PLATFORM_KMFILELOCK_H
