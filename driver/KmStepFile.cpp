// KmStepFile.
#include "driver/KmStepFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "driver/KmStepFields.h"
#include "foundation/KmSystemReason.h"
#include "foundation/platform/KmFileSystem.h"
#include "foundation/platform/KmHeldFiles.h"

namespace {

// Reads the whole file open as iFd into sText, through the installed
// KmFileSystem; false when it cannot be read (errno set) or holds more than
// iLongest bytes (then sText is longer).
bool ReadWholeFile(int iFd, size_t iLongest, std::string& sText) {
  char buffer[1 << 14];
  for (;;) {
    const ssize_t iRead = KmGetFileSystem().Read(iFd, buffer, sizeof buffer);
    if (iRead < 0 && errno == EINTR) continue;
    if (iRead < 0) return false;
    if (iRead == 0) return true;
    sText.append(buffer, static_cast<size_t>(iRead));
    if (sText.size() > iLongest) return false;
  }
}

}  // namespace

KmStepFile::KmStepFile(const KmFolder& folder, const KmString& sName)
    : folder_(folder),
      sName_(sName),
      sLeaf_(KmFolder::LeafOf(sName.GetCString())) {}

KmStepFile::~KmStepFile() { Release(); }

void KmStepFile::Release() {
  const int iErrno = errno;
  if (iFd_ >= 0) close(iFd_);
  iFd_ = -1;
  errno = iErrno;
}

int KmStepFile::OpenOwn(const KmFolder& folder, const std::string& sLeaf,
                        int iFlags, struct stat& info, std::string& sWhy) {
  // Never opened where it is not a regular file itself: a link, a device
  // or a pipe.
  const int iFd = folder.IsRegularFile(sLeaf)
                      ? folder.OpenFile(sLeaf, iFlags | O_NONBLOCK)
                      : -1;
  if (iFd < 0 || fstat(iFd, &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_nlink != 1) {
    sWhy = "it is not a regular file with one name";
  } else if (!IsOwnFileWithOneName(info)) {
    sWhy = "it is not this account's own";
  } else {
    return iFd;
  }
  if (iFd >= 0) close(iFd);
  return -1;
}

KmStepFile::Left KmStepFile::ReadLeft(const char* sKind, size_t iLongest,
                                      std::string& sText, std::string& sWhy) {
  Release();
  if (!folder_.Exists(sLeaf_)) return Left::kNone;
  struct stat info;
  iFd_ = OpenOwn(folder_, sLeaf_, O_RDONLY, info, sWhy);
  if (iFd_ < 0) return Left::kRefused;
  if (ReadWholeFile(iFd_, iLongest, sText)) return Left::kRead;
  sWhy = sText.size() > iLongest
             ? std::string("it is not a ") + sKind + " of this program"
             : "it could not be read: " + KmSystemReason(errno);
  Release();
  return Left::kRefused;
}

void KmStepFile::Create(const std::string& sText) {
  Release();
  KmFileSystem& fileSystem = KmGetFileSystem();
  errno = folder_.IsOpen() ? 0 : ENOENT;
  iFd_ = folder_.IsOpen()
             ? fileSystem.CreateExclusiveAt(folder_.GetFd(), sLeaf_)
             : -1;
  if (iFd_ < 0) RaiseWriteFailure(sName_, errno != 0 ? errno : EEXIST);
  if (KmWriteAtEnd(iFd_, sText.data(), sText.size()) && folder_.Sync()) return;
  const int iErrno = errno;
  // Emptied first: one that cannot be removed then reads as cut before its
  // last line, which the next run removes as a step that never began.
  KmCutBack(iFd_, 0);
  fileSystem.Sync(iFd_);
  Remove();
  Release();
  RaiseWriteFailure(sName_, iErrno);
}

bool KmStepFile::Remove() {
  if (iFd_ < 0) return true;
  // A name that reaches another file by now is not this one's: that file
  // stays, and this one is gone from the name.
  if (folder_.Reaches(sLeaf_, iFd_) && !folder_.Remove(sLeaf_)) return false;
  Release();
  return folder_.Sync();
}
