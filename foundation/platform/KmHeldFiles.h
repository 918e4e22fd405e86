// The files this process created and holds open: a held file is written and
// read back through its own descriptor, never opened again by its name.
#ifndef KM_FOUNDATION_PLATFORM_KMHELDFILES_H
#define KM_FOUNDATION_PLATFORM_KMHELDFILES_H

#include <istream>
#include <memory>
#include <ostream>
#include <string>

// Names sPath as the file open as iFd, until KmReleaseFile. The caller
// keeps the descriptor and keeps it open while the name is held. Whoever may
// create names in the folder can make the name reach another file at any
// moment; the file system layer's opens of a held name still reach the file
// of iFd. Thread safe.
void KmHoldFile(const std::string& sPath, int iFd);

// Ends KmHoldFile(sPath, iFd); a name held for another descriptor stays.
void KmReleaseFile(const std::string& sPath, int iFd);

// An output stream over a copy of the descriptor held for sPath, starting
// from an empty file unless bAppend (then after its last byte); null when
// sPath is not held. The stream owns its copy.
std::unique_ptr<std::ostream> KmOpenHeldOutput(const std::string& sPath,
                                               bool bAppend);

// An input stream over a copy of the descriptor held for sPath, reading
// from the file's first byte with its own position; null when sPath is not
// held.
std::unique_ptr<std::istream> KmOpenHeldInput(const std::string& sPath);

// True when sPath names the file open as iFd (the same device and inode,
// the name itself never followed as a link).
bool KmNameReachesFile(const std::string& sPath, int iFd);

#endif  // KM_FOUNDATION_PLATFORM_KMHELDFILES_H
