// Fuzz target: the results-file reader, its head and then every record.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "results/kmCalcHandler.h"
#include "tests/fuzz/FuzzFiles.h"

namespace {

// Records read per input at most: enough for the seeds' files, few enough
// that an offset table claiming millions of records stays quick.
constexpr int32_t kMaxRecords = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  const std::string sPath = km_fuzz::WriteFile("results.kmo", pData, uSize);
  km_fuzz::ReadOrRefuse([&] {
    kmCalcHandler reader(sPath.c_str(), nullptr);
    const int32_t nRecords =
        std::min(kMaxRecords, reader.GetNumCohortRecords() +
                                  reader.GetNumComparisonRecords());
    for (int32_t i = 0; i < nRecords; ++i) {
      // A damaged record does not keep the others from being read.
      km_fuzz::ReadOrRefuse([&] { reader.GetCalcData(i); });
    }
  });
  return 0;
}
