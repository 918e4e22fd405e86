// Fuzz target: the session-file reader.
#include <cstddef>
#include <cstdint>

#include "session/kmSession.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  const std::string sPath = km_fuzz::WriteFile("session.kms", pData, uSize);
  km_fuzz::ReadOrRefuse([&] {
    kmSession session;
    session.Read(sPath.c_str());
  });
  return 0;
}
