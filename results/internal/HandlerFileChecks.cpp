// Size and refusal checks of the results-file reader.
#include "results/internal/HandlerFileChecks.h"

#include <istream>
#include <memory>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/platform/KmFileSystem.h"

namespace km_results_handler {

const char* const kCorruptFileMessage =
    "This KMO is either corrupt or not compatible with this version of "
    "Kinkmark.";

void RefuseFile(const std::string& sDetail) {
  const std::string sMessage =
      std::string(kCorruptFileMessage) + "  " + sDetail;
  ThrowKmException(sMessage.c_str(), "kmCalcHandler");
}

void RefuseIfEnded(KmIO_File* pIO, const char* sWhat) {
  if (pIO != nullptr && !pIO->IsEOF()) return;
  RefuseFile(std::string("The file ends early, while reading ") + sWhat + ".");
}

int64_t FileSize(const char* sPath) {
  if (sPath == nullptr) return -1;
  std::unique_ptr<std::istream> pStream = KmGetFileSystem().OpenInput(sPath);
  if (!pStream || !pStream->good()) return -1;
  pStream->seekg(0, std::ios::end);
  const std::streamoff lSize = static_cast<std::streamoff>(pStream->tellg());
  return pStream->good() ? static_cast<int64_t>(lSize) : -1;
}

void CheckCount(int64_t iCount, int64_t iBytesEach, int64_t iBytesLeft,
                const char* sWhat) {
  if (iCount < 0) {
    RefuseFile("The KMO read process found a count of " +
               std::to_string(iCount) + " " + sWhat + ".");
  }
  if (iBytesLeft >= 0 && iCount * iBytesEach > iBytesLeft) {
    RefuseFile("The KMO read process found a count of " +
               std::to_string(iCount) + " " + sWhat +
               ", more than the rest of the file can hold.");
  }
}

}  // namespace km_results_handler
