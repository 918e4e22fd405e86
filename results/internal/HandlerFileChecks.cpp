// The refusals of the results-file reader.
#include "results/internal/HandlerFileChecks.h"

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"

namespace km_results_handler {

const char* const kCorruptFileMessage =
    "This KMO is either corrupt or not compatible with this version of "
    "Kinkmark.";

void RefuseFile(const std::string& sDetail) {
  const std::string sMessage =
      std::string(kCorruptFileMessage) + "  " + sDetail;
  ThrowKmException(sMessage.c_str(), "kmCalcHandler");
}

KmCheckedReader HandlerReader(KmIO_File* pIO, const char* sPart) {
  auto refuse = [](const KmCheckedReader::Failure& f) {
    const std::string sCount = "The KMO read process found a count of " +
                               std::to_string(f.iValue) + " " + f.sPart;
    switch (f.eFault) {
      case KmCheckedReader::kNegativeCount:
        RefuseFile(sCount + ".");
      case KmCheckedReader::kCountBeyondFile:
        RefuseFile(sCount + ", more than the rest of the file can hold.");
      default:
        RefuseFile(std::string("The file ends early, while reading ") +
                   f.sPart + ".");
    }
  };
  return KmCheckedReader(pIO, refuse, sPart);
}

}  // namespace km_results_handler
