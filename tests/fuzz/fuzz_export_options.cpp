// Fuzz target: the export-options file reader (section "Export Options").
#include <cstddef>
#include <cstdint>

#include "session/IniExportDict.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  const std::string sPath = km_fuzz::WriteFile("export.ini", pData, uSize);
  km_fuzz::ReadOrRefuse([&] {
    IniExportDict dict;
    dict.CreateDictFromFile(sPath.c_str());
  });
  return 0;
}
