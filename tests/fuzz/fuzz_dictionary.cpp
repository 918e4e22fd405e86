// Fuzz target: the data-dictionary reader and the session built from a
// dictionary over a fixed data file.
#include <cstddef>
#include <cstdint>

#include "session/VSExportDict.h"
#include "session/kmSession.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  static const std::string sData =
      km_fuzz::FixturePath("dictionaries/rate_crude.txt");
  const std::string sPath = km_fuzz::WriteFile("data.dic", pData, uSize);
  km_fuzz::ReadOrRefuse([&] {
    VSExportDict dict(sPath.c_str());
    dict.SetDataFile(sData.c_str());
    kmSession session(dict, false);
  });
  return 0;
}
