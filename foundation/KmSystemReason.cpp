// KmSystemReason.
#include "foundation/KmSystemReason.h"

#include <sys/resource.h>

#include <cerrno>
#include <system_error>

namespace {

// The open files a run may need at once: its inputs, its outputs and their
// partial files, the folders and locks it holds, with room to spare.
constexpr rlim_t kFilesARunNeeds = 64;

}  // namespace

std::string KmSystemReason(int iErrno) {
  std::string sReason =
      std::error_code(iErrno != 0 ? iErrno : EIO, std::generic_category())
          .message();
  struct rlimit limit;
  if (iErrno == EMFILE && getrlimit(RLIMIT_NOFILE, &limit) == 0 &&
      limit.rlim_cur != RLIM_INFINITY) {
    sReason += " (this process may hold " + std::to_string(limit.rlim_cur) +
               " files open at once; raise that limit, ulimit -n, to at "
               "least " +
               std::to_string(kFilesARunNeeds) + ")";
  }
  return sReason;
}
