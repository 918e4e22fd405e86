// Fuzz target: the pre-read of the data file into cohorts. Built twice:
// over a plain file, and with KM_FUZZ_GZIP=1 over a gzip file.
#include <cstddef>
#include <cstdint>

#include "data/kmCohortManager.h"
#include "tests/data/PrereadFixtures.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  const std::string sPath =
      km_fuzz::WriteInputFile("data.csv", pData, uSize, KM_FUZZ_GZIP != 0);
  km_fuzz::ReadOrRefuse([&] {
    auto pSession = preread_test::MakeSession(2, sPath);
    kmCohortManager manager(pSession.get(), sPath.c_str(), ",", false, true);
    manager.ReadAllCohorts();
  });
  return 0;
}
