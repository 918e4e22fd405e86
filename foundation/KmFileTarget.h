// The file a writer writes or a reader reads: by its name, or through the
// descriptor of a file this process holds.
#ifndef KM_FOUNDATION_KMFILETARGET_H
#define KM_FOUNDATION_KMFILETARGET_H

#include <string>

// KmFileTarget: what KmIO_File opens. A target made from a name opens that
// name through the installed KmFileSystem. A target made from a held file
// (a pending file's, KmPendingFile::GetFile) reaches that file through a
// copy of its descriptor, whatever its name reaches by then: the name is
// kept for messages only. Writers are handed such a target, so a file the
// run created is never opened again by any spelling of its name.
class KmFileTarget {
 public:
  // The file sPath, opened by its name (null opens nothing).
  KmFileTarget(const char* sPath)  // NOLINT: a name is a target
      : sName_(sPath != nullptr ? sPath : ""), bNull_(sPath == nullptr) {}
  // The file held open as iFd, named sName in messages.
  // REQUIRES: iFd stays open while the target is used.
  KmFileTarget(const std::string& sName, int iFd) : sName_(sName), iFd_(iFd) {}

  // The name (null for a target made from a null name).
  const char* GetName() const { return bNull_ ? nullptr : sName_.c_str(); }
  // The descriptor of a held file, -1 for a target opened by its name.
  int GetFd() const { return iFd_; }

 private:
  std::string sName_;
  bool bNull_ = false;
  int iFd_ = -1;
};

#endif  // KM_FOUNDATION_KMFILETARGET_H
