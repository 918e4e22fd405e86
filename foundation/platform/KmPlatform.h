// Portable stand-ins for the few services the foundation took from its
// original platform: full-path resolution, the file existence test and
// case-insensitive comparison.
#ifndef KM_FOUNDATION_PLATFORM_KMPLATFORM_H
#define KM_FOUNDATION_PLATFORM_KMPLATFORM_H

#include <string>

// The permission bits every file the program creates is opened with (read
// and write for all), from which the system takes the process's umask, so
// the user's umask decides who may read the outputs, as for any tool.
constexpr int kKmNewFileMode = 0666;

// Resolves sPath to a full path in sFull and returns true; returns false
// (sFull unchanged) when sPath is null or empty, or when a relative path
// meets a working directory that cannot be determined.
//
// Two forms of path are told apart:
// - Windows form: a drive letter and a colon ("D:\data\run.ini", "D:x"), or
//   two leading backslashes (the UNC form "\\server\share\dir\f"). Every '/'
//   becomes '\', empty and "." components are dropped and ".." removes the
//   component before it (never the drive or the server and share). A drive
//   without a root after it is taken from the drive's root ("D:x" gives
//   "D:\x"). The drive or UNC prefix is kept as written.
// - Native form, anything else: every '\' becomes '/', a relative path is
//   taken from the working directory, and empty and "." components are
//   dropped. ".." components stay as they are, so the result names the same
//   file as the input even where a directory is a symbolic link.
// A trailing separator is kept. There is no length limit.
bool KmGetFullPathName(const char* sPath, std::string& sFull);

// The path the operating system should be given for sPath: on this
// platform each '\' becomes '/', so names written with either separator
// (".\\results.txt", "data\\cohorts.txt") reach the same file.
std::string KmNativePath(const std::string& sPath);

// True when sPath exists (the access test with mode 0). Goes through the
// installed KmFileSystem. A null path gives false.
bool KmAccessExists(const char* sPath);

// Compares two NUL-terminated texts byte by byte with the letters 'A'-'Z'
// taken as 'a'-'z'. Returns <0, 0 or >0 as sLeft sorts before, equal to or
// after sRight. REQUIRES: both pointers non-null.
int KmStricmp(const char* sLeft, const char* sRight);

#endif  // KM_FOUNDATION_PLATFORM_KMPLATFORM_H
