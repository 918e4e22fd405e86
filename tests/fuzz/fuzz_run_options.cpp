// Fuzz target: the run-options file reader (section "Session Options").
#include <cstddef>
#include <cstdint>

#include "session/IniSessionDict.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  const std::string sPath = km_fuzz::WriteFile("options.ini", pData, uSize);
  km_fuzz::ReadOrRefuse([&] { IniSessionDict dict(sPath.c_str()); });
  return 0;
}
