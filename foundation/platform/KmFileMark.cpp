#include "foundation/platform/KmFileMark.h"

#include <fcntl.h>
#include <unistd.h>

KmFileMark::~KmFileMark() {
  if (iFd_ >= 0) close(iFd_);
}

void KmFileMark::Mark(const KmFolder& folder, const std::string& sLeaf) {
  if (iFd_ >= 0) close(iFd_);
  iFd_ = -1;
  if (!folder.IsOpen()) return;
  // A path descriptor opens nothing for reading or writing: a pipe or a
  // device is marked without being opened, and a link is not followed.
  iFd_ = openat(folder.GetFd(), sLeaf.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
}

bool KmFileMark::IsNamedBy(const KmFolder& folder,
                           const std::string& sLeaf) const {
  return iFd_ >= 0 && folder.Reaches(sLeaf, iFd_);
}
