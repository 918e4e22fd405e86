// File paths split into drive, directory, name and extension.
#ifndef KM_FOUNDATION_KMFILENAME_H
#define KM_FOUNDATION_KMFILENAME_H

#include "foundation/KmString.h"

// KmFileName resolves a path to a full path and splits it into drive,
// directory, name and extension, and composes the full name from its parts
// again. The ini reader keeps the full path of every file it reads through
// it; the option and dictionary readers find files named relative to one
// another with it.
//
// Parts:
// - drive: empty, a drive letter with its colon ("D:"), or a UNC prefix
//   ("\\server\share");
// - directory: empty or ending in a separator ("\data\", or "/home/run/"
//   for a path of this platform's own form);
// - name: the file name without its extension;
// - extension: empty or beginning with '.'.
// Both '/' and '\' separate directories. Full-path resolution follows
// KmGetFullPathName (foundation/platform/KmPlatform.h): a relative name is
// taken from the working directory, so GetFullName names the same file
// wherever the working directory moves afterwards. Paths have no length
// limit.
//
// Failures raise KmException (kind 0, source "KmFileName") with the
// call-path line "Constructor of KmFileName".
class KmFileName {
 public:
  // All parts empty, then SetFullPath(sPath) unless sPath is null.
  // Throws as SetFullPath.
  explicit KmFileName(const char* sPath);
  // All parts empty, then Copy(other).
  KmFileName(const KmFileName& other);
  // Copies the five texts as they are.
  KmFileName& operator=(const KmFileName& other);
  virtual ~KmFileName();

  // Sets drive, directory, name and extension of other through the setters.
  void Copy(const KmFileName& other);

  // Stores sDrive; a text that is not empty, does not begin with two
  // backslashes and does not end with ':' gets a ':' appended.
  // Throws "Null parameter" for null.
  void SetDrive(const char* sDrive);
  // Stores sDirectory; a text that is not empty and does not end with a
  // separator gets one appended ('/' when the text uses '/' and no '\',
  // else '\'). Throws "Null parameter" for null.
  void SetDirectory(const char* sDirectory);
  // Stores sName. Throws "Null parameter" for null.
  void SetName(const char* sName);
  // Stores sExtension; a text that is not empty and does not begin with '.'
  // gets a '.' in front. Throws "Null parameter" for null.
  void SetExtension(const char* sExtension);

  const KmString& GetDrive() const { return sDrive_; }
  const KmString& GetDirectory() const { return sDirectory_; }
  const KmString& GetName() const { return sName_; }
  const KmString& GetExtension() const { return sExtension_; }

  // Composes drive + directory + name + extension and returns that text,
  // valid until this object changes.
  const char* GetFullName();

  // Resolves sPath to a full path (an empty path stays empty), trims blanks
  // at both ends and splits it into the four parts. Throws "Null pointer"
  // for null, "Could not get full path name -- " when the path cannot be
  // resolved, and "Invalid UNC name" for a UNC path without a share and a
  // separator after it. Parts set before a failure stay.
  void SetFullPath(const char* sPath);

 private:
  void SetFullPathImpl(const char* sPath);

  KmString sDrive_;
  KmString sDirectory_;
  KmString sName_;
  KmString sExtension_;
  KmString sFull_;
};

#endif  // KM_FOUNDATION_KMFILENAME_H
