// A folder held open for as long as a run writes in it.
#ifndef KM_FOUNDATION_PLATFORM_KMFOLDER_H
#define KM_FOUNDATION_PLATFORM_KMFOLDER_H

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "foundation/platform/KmPlatform.h"

// KmFolder: a folder opened once and reached through its descriptor from
// then on. Every name in it is created, opened, renamed, removed and tested
// relative to that descriptor (through the installed KmFileSystem for the
// changes), so a folder renamed away, or whose path is replaced by a link to
// another folder, redirects nothing: the names still reach the folder that
// was opened. A copy holds its own descriptor of the same folder; a move
// hands the descriptor over, leaving the moved-from object holding none.
class KmFolder {
 public:
  KmFolder() = default;  // holds no folder: every operation fails
  KmFolder(const KmFolder& other);
  KmFolder& operator=(const KmFolder& other);
  KmFolder(KmFolder&& other) noexcept;
  KmFolder& operator=(KmFolder&& other) noexcept;
  ~KmFolder();

  // Opens the folder sPath ("." for the working folder), following links
  // as a path does, in place of any folder held. False (errno set, nothing
  // held) when it is missing or not a folder.
  bool Open(const std::string& sPath);
  bool IsOpen() const { return iFd_ >= 0; }
  // Why no folder is held: the error number of the open (or of the copy's
  // duplicate descriptor) that failed; ENOENT when none was tried (or the
  // folder was moved away), 0 while one is held.
  int GetOpenError() const { return iOpenError_; }
  int GetFd() const { return iFd_; }
  // The path given to the last Open.
  const std::string& GetPath() const { return sPath_; }
  // True when the path the folder was opened by still reaches it (the same
  // device and inode).
  bool IsStillNamed() const;

  // The folder sName is in ("." when it names none, "/" for the root) and
  // the name within it; '/' and '\' both separate.
  static std::string FolderOf(const std::string& sName);
  static std::string LeafOf(const std::string& sName);

  // True when sLeaf names the file open as iFd (the same device and inode,
  // the name itself never followed as a link).
  bool Reaches(const std::string& sLeaf, int iFd) const;
  // True when sLeaf exists and is not a regular file, or is a symbolic link
  // to something that is not (see KmFileSystem::IsSpecial).
  bool IsSpecial(const std::string& sLeaf) const;
  // True when sLeaf exists in any form (a dangling link included).
  bool Exists(const std::string& sLeaf) const;
  // Fills info for sLeaf itself (a link as a link); false (errno set) when
  // there is none.
  bool Stat(const std::string& sLeaf, struct stat& info) const;
  // True when sLeaf is a regular file itself (not a link).
  bool IsRegularFile(const std::string& sLeaf) const;
  // Removes sLeaf (a link as a link); never a name IsSpecial. True on
  // success.
  bool Remove(const std::string& sLeaf) const;
  // Renames sFrom to sTo within the folder, replacing sTo in one step; true
  // on success (errno set when not).
  bool Rename(const std::string& sFrom, const std::string& sTo) const;
  // Opens sLeaf with the open flags iFlags (O_NOFOLLOW is always added) and
  // iMode; the descriptor, or -1 (errno set).
  int OpenFile(const std::string& sLeaf, int iFlags,
               int iMode = kKmNewFileMode) const;
  // Syncs the folder's entries (the names created, renamed and removed in
  // it) to the disk; true on success (errno set when not).
  bool Sync() const;

 private:
  int iFd_ = -1;
  int iOpenError_ = ENOENT;
  std::string sPath_;
};

#endif  // KM_FOUNDATION_PLATFORM_KMFOLDER_H
