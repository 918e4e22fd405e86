// Fuzz target: the variance-covariance matrix file reader. Built twice:
// over a plain file, and with KM_FUZZ_GZIP=1 over a gzip file.
#include <cstddef>
#include <cstdint>

#include "data/kmReadData.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  const std::string sPath =
      km_fuzz::WriteInputFile("matrix.csv", pData, uSize, KM_FUZZ_GZIP != 0);
  // The first byte picks the delimiter and the header row and label column
  // switches, so every layout is reached.
  const int iLayout = uSize > 0 ? pData[0] : 0;
  km_fuzz::ReadOrRefuse([&] {
    kmSession session;
    session.SetInt(kmOptHetErrorModel, 5);
    session.SetString(kmStrVarCovarFile, sPath.c_str());
    session.SetInt(kmOptVarCovarDelimiter, iLayout % 4);
    session.SetBool(kmOptVarCovarFlagA, (iLayout & 4) != 0);
    session.SetBool(kmOptVarCovarFlagB, (iLayout & 8) != 0);
    kmCalcHandler handler(&session);
    kmReadData reader(&session, &handler);
  });
  return 0;
}
