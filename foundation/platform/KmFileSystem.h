// The seam between the file layer and the operating system. Files opened
// by their names, tested for, removed, renamed, decompressed, and every
// partial file created, go through the installed KmFileSystem, so tests can
// install one that fails on purpose (an unreadable file, a read error
// part-way, a write that fails mid-run, a missing working directory).
// Every write to a descriptor the file layer holds goes through it as well
// (Write), and so do the reads of a record or journal (Read), its syncs
// (Sync), its cut backs (Truncate), its advisory locks (Lock), the account it
// compares owners with (UserId), the birth times it compares (BirthTime) and
// the holders of a lock it names (LockHolders) and the accounts' names
// (AccountName), so a test can fill the disk part-way through any output,
// fail a read, a sync or a lock, make a file another account's or one born
// later, fail a cut back, or name a holder or an account.
// Opening a name relative to a held folder does not (KmFolder::OpenFile, and
// the folder itself): a lock file that exists, the clustering result file and
// the files a run only inspects (an earlier error file, a results file under an
// output's name) are opened there, straight from the system; a lock file is
// created through CreateExclusiveAt.
#ifndef KM_FOUNDATION_PLATFORM_KMFILESYSTEM_H
#define KM_FOUNDATION_PLATFORM_KMFILESYSTEM_H

#include <sys/stat.h>
#include <sys/types.h>
#include <zlib.h>

#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// A process that holds an advisory lock on a file, as the system names it.
struct KmLockHolder {
  long iPid = 0;
  // False where no process of that id is there any more: the lock was taken
  // by a process that has ended, and one it started holds it now; iUid and
  // sCommand then tell nothing.
  bool bRunning = false;
  uid_t iUid = 0;        // the account it acts as (its effective user)
  std::string sCommand;  // its command name
};

// KmFileSystem: the operations of the operating system that the file layer
// uses. The base class does the real work; a test derives from it and
// overrides the operations it wants to fail.
//
// Path texts given to these operations may use '/' or '\' as the directory
// separator; the base class maps both to the native separator (see
// KmNativePath in KmPlatform.h) before it reaches the system.
//
// Thread safety: the operations of the base class may be called from any
// thread at once. A replacement must be as safe as the code it serves.
class KmFileSystem {
 public:
  KmFileSystem() = default;
  KmFileSystem(const KmFileSystem&) = delete;
  KmFileSystem& operator=(const KmFileSystem&) = delete;
  virtual ~KmFileSystem();

  // Opens sPath for reading. Never returns null: a file that cannot be
  // opened, and a directory, give a stream already in its failed state.
  virtual std::unique_ptr<std::istream> OpenInput(const std::string& sPath);

  // Opens sPath for writing, starting from an empty file unless bAppend.
  // A symbolic link is never followed: a name that is one fails to open
  // (errno ELOOP), so nothing is ever written through a link. Never returns
  // null: a file that cannot be opened gives a stream already in its failed
  // state.
  virtual std::unique_ptr<std::ostream> OpenOutput(const std::string& sPath,
                                                   bool bAppend);

  // Creates sName in the folder open as iFolder (a KmFolder's descriptor)
  // as a new, empty regular file and returns its descriptor, open for
  // reading and writing, which the caller owns: the file is written and read
  // back through it, never opened again by its name. -1 (errno set) when the
  // name exists in any form (a file, a folder, a symbolic link, dangling or
  // not) or cannot be created. Nothing existing is ever opened.
  virtual int CreateExclusiveAt(int iFolder, const std::string& sName);

  // Writes up to iBytes bytes of pBuffer to the file open as iFd, as the
  // system's write does: the count written (possibly fewer than asked), or
  // -1 with errno set (ENOSPC for a full device, EFBIG past the file-size
  // limit).
  virtual ssize_t Write(int iFd, const void* pBuffer, size_t iBytes);

  // Reads up to iBytes bytes of the file open as iFd into pBuffer, as the
  // system's read does: the count read (0 at its end), or -1 with errno set.
  virtual ssize_t Read(int iFd, void* pBuffer, size_t iBytes);

  // The birth time of the file open as iFd, in nanoseconds since the epoch,
  // as the system's statx tells it; false where the file system does not
  // tell it (then nothing is known of it).
  virtual bool BirthTime(int iFd, long long& iBorn);

  // Cuts the file open for writing as iFd to its first iLength bytes, as
  // the system's ftruncate does; true on success (errno set when not).
  virtual bool Truncate(int iFd, off_t iLength);

  // Syncs the file or folder open as iFd to the disk, as the system's fsync
  // does; true on success (errno set when not).
  virtual bool Sync(int iFd);

  // Takes or drops the advisory lock of the file open as iFd, as the
  // system's flock does with iOperation (LOCK_EX, LOCK_NB, LOCK_UN); true
  // on success (errno set when not: EWOULDBLOCK for a lock another holds).
  virtual bool Lock(int iFd, int iOperation);

  // The account this process acts as (its effective user): the owner a
  // file must have for the process to trust what it finds there.
  virtual uid_t UserId();

  // The processes that hold a lock of the kind Lock takes (an flock) on the
  // file of file's device and inode, each once, as the kernel's list of
  // locks (/proc/locks, which every account may read) and each process's
  // status tell them; empty where the system names none (a holder in
  // another process namespace, a system without that list). Waiters for the
  // lock are not holders, nor are the holders of an fcntl lock or a lease on
  // the file, which never hold back an flock.
  virtual std::vector<KmLockHolder> LockHolders(const struct stat& file);

  // The name the system's account database gives the account iUid; "" where
  // it gives none. Any text: whoever keeps the database chooses it.
  virtual std::string AccountName(uid_t iUid);

  // Opens sPath with zlib's gzip reader (a file without the gzip header is
  // passed through as it is). Returns null when the file cannot be opened
  // or is a directory.
  virtual gzFile GzOpen(const std::string& sPath, const char* sMode);

  // True when sPath exists (file or directory), as the access test with
  // mode 0 answers.
  virtual bool Exists(const std::string& sPath);

  // True when sPath exists and is not a regular file (a device, a pipe, a
  // directory), or is a symbolic link to one: such a name must never be
  // removed, renamed over or written. A link to a regular file and a
  // dangling link are not special.
  virtual bool IsSpecial(const std::string& sPath);

  // Deletes the file sPath; true on success.
  virtual bool Remove(const std::string& sPath);

  // Deletes sName of the folder open as iFolder, reached through that
  // descriptor whatever the folder's path reaches by then; true on success.
  virtual bool RemoveAt(int iFolder, const std::string& sName);
  // Renames sFrom to sTo in the folder open as iFolder, replacing an
  // existing sTo in one step; true on success (errno tells why not).
  virtual bool RenameAt(int iFolder, const std::string& sFrom,
                        const std::string& sTo);

  // Stores the absolute path of the working directory in sDir (native form,
  // no trailing separator unless it is the root); false when it cannot be
  // determined.
  virtual bool GetCurrentDirectory(std::string& sDir);
};

// IsSpecial for sName relative to the folder open as iFolder (AT_FDCWD for
// the working folder), the name itself never followed.
bool KmIsSpecialAt(int iFolder, const std::string& sName);

// The file system in use: the one installed by KmSetFileSystem, else the
// real one.
KmFileSystem& KmGetFileSystem();

// Installs pFileSystem (null reinstalls the real one) and returns the one it
// replaces (null when that was the real one). The caller keeps ownership.
// REQUIRES: no file operation is running on another thread, and pFileSystem
// outlives its installation.
KmFileSystem* KmSetFileSystem(KmFileSystem* pFileSystem);

#endif  // KM_FOUNDATION_PLATFORM_KMFILESYSTEM_H
