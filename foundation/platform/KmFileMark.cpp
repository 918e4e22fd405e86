#include "foundation/platform/KmFileMark.h"

#include <fcntl.h>
#include <unistd.h>

#include "foundation/platform/KmHeldFiles.h"
#include "foundation/platform/KmPlatform.h"

KmFileMark::~KmFileMark() {
  if (iFd_ >= 0) close(iFd_);
}

void KmFileMark::Mark(const std::string& sPath) {
  if (iFd_ >= 0) close(iFd_);
  // A path descriptor opens nothing for reading or writing: a pipe or a
  // device is marked without being opened, and a link is not followed.
  iFd_ = open(KmNativePath(sPath).c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
}

bool KmFileMark::IsNamedBy(const std::string& sPath) const {
  return iFd_ >= 0 && KmNameReachesFile(sPath, iFd_);
}
