// The file a name reached at one moment, told apart from any file put under
// that name later.
#ifndef KM_FOUNDATION_PLATFORM_KMFILEMARK_H
#define KM_FOUNDATION_PLATFORM_KMFILEMARK_H

#include <string>

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

  // Marks the file sPath names now, in place of any earlier mark; nothing
  // when sPath names no file.
  void Mark(const std::string& sPath);

  // True when a file was marked and sPath still names it.
  bool IsNamedBy(const std::string& sPath) const;

 private:
  int iFd_ = -1;
};

#endif  // KM_FOUNDATION_PLATFORM_KMFILEMARK_H
