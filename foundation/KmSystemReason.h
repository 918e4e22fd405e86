// The system's reason for a failed call, in the words a message quotes.
#ifndef KM_FOUNDATION_KMSYSTEMREASON_H
#define KM_FOUNDATION_KMSYSTEMREASON_H

#include <string>

// The system's text for the error number iErrno ("No such file or
// directory"); that of EIO for 0, which names no failure. For too many open
// files (EMFILE) it adds the limit the process runs under and what raises it:
// "Too many open files (this process may hold 8 files open at once; raise that
// limit, ulimit -n, to at least 64)", so the user knows the cause is the limit,
// not the file.
std::string KmSystemReason(int iErrno);

#endif  // KM_FOUNDATION_KMSYSTEMREASON_H
