// What a run says of a lock that it waits for or cannot take.
#ifndef KM_DRIVER_RUNLOCKS_H
#define KM_DRIVER_RUNLOCKS_H

#include <sys/types.h>

#include <string>

#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"
#include "foundation/platform/KmHeldFiles.h"

// The account iUid in words: "user <name>, id <iUid>", the name as the
// installed KmFileSystem's AccountName gives it and shown (ShownName), or
// "user id <iUid>" where the system knows no name for it.
std::string AccountInWords(uid_t iUid);

// True when this account (the installed KmFileSystem's UserId) may remove
// or replace sLeaf of folder: its own file, or one in a folder without the
// sticky bit or of its own, or any file where the account is root (true too
// when the file or the folder cannot be told).
bool MayRemoveFrom(const KmFolder& folder, const std::string& sLeaf);

// The notice of a run waiting for the lock of the clustering result file
// sName, open as iFd (KmHeldFileLock): prints on standard output which
// processes hold it, with their accounts, as the system names them
// (KmFileSystem::LockHolders: "process 4242 (kinkmark, user bob, id 1002)")
// or that it does not say, that the run goes on once it is free, and what
// the user can do.
KmHeldFileLock::WaitNotice ClusteringLockWaitNotice(const KmString& sName,
                                                    int iFd);

// The refusal of a run into the outputs of sOutputFile whose lock file
// sLock, in folder, another process holds, naming the holders as the wait
// notice does. Where a holder, or the lock file when the system names no
// holder, is another account's, it says whose, and what the user can do;
// else "Another run is writing the outputs of ...".
KmString BusyOutputsMessage(const KmFolder& folder, const KmString& sLock,
                            const KmString& sOutputFile);

// The failure of a run that cannot use its lock file sLock, in folder, for
// the system's reason iErrno: "Unable to hold the outputs of the run: the
// lock file \"<sLock>\" cannot be used: <reason>."; where another
// account's lock file may not be opened, whose it is and what the user can
// do.
KmString UnusableLockMessage(const KmFolder& folder, const KmString& sLock,
                             int iErrno);

#endif  // KM_DRIVER_RUNLOCKS_H
