// Fuzz target: the session-parameter file reader and the session built
// from it.
#include <cstddef>
#include <cstdint>

#include "session/KmUserParamsDict.h"
#include "session/kmSession.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  const std::string sPath = km_fuzz::WriteFile("session.ini", pData, uSize);
  km_fuzz::ReadOrRefuse([&] {
    KmUserParamsDict dict(sPath.c_str());
    kmSession session(dict);
  });
  return 0;
}
