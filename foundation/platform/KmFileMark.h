// The file a name reached at one moment, told apart from any file put under
// that name later.
#ifndef KM_FOUNDATION_PLATFORM_KMFILEMARK_H
#define KM_FOUNDATION_PLATFORM_KMFILEMARK_H

#include <string>

#include "foundation/platform/KmFolder.h"

// KmFileMark keeps the file a name reached open (without opening it for
// reading or writing, and a symbolic link as the link itself), so that
// while the mark lives no other file can be given its device and inode: a
// file written under the name afterwards, even one that replaced it after
// its removal, never passes for the marked one.
class KmFileMark {
 public:
  KmFileMark() = default;
  ~KmFileMark();
  KmFileMark(const KmFileMark&) = delete;
  KmFileMark& operator=(const KmFileMark&) = delete;

  // Marks the file sLeaf names in folder now, in place of any earlier mark;
  // nothing when it names no file (or the folder is not open).
  void Mark(const KmFolder& folder, const std::string& sLeaf);

  // True when a file was marked and sLeaf in folder still names it.
  bool IsNamedBy(const KmFolder& folder, const std::string& sLeaf) const;

 private:
  int iFd_ = -1;
};

#endif  // KM_FOUNDATION_PLATFORM_KMFILEMARK_H
