#include "foundation/platform/KmHeldFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/platform/KmFdInputStream.h"
#include "foundation/platform/KmFdOutputStream.h"

std::unique_ptr<std::ostream> KmOpenHeldOutput(int iFd, bool bAppend) {
  // Made before the copy exists, so the copy always has its owner.
  auto pStream = std::make_unique<KmFdOutputStream>(-1);
  const int iCopy = fcntl(iFd, F_DUPFD_CLOEXEC, 0);
  if (iCopy < 0) return pStream;
  if (bAppend ? lseek(iCopy, 0, SEEK_END) < 0
              : ftruncate(iCopy, 0) != 0 || lseek(iCopy, 0, SEEK_SET) < 0) {
    const int iErrno = errno;
    close(iCopy);
    errno = iErrno;
    return pStream;
  }
  pStream->Attach(iCopy);
  return pStream;
}

std::unique_ptr<std::istream> KmOpenHeldInput(int iFd) {
  auto pStream = std::make_unique<KmFdInputStream>(-1);
  pStream->Attach(fcntl(iFd, F_DUPFD_CLOEXEC, 0));
  return pStream;
}
