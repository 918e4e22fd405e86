// Fuzz target: the verification of the data file and the per-cohort reads
// that follow it. Built twice: over a plain file, and with KM_FUZZ_GZIP
// over a gzip file.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "data/kmReadData.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/fuzz/FuzzFiles.h"

namespace {

// Copies read per input at most.
constexpr int kMaxCopies = 64;

// A comma-delimited file with a header line: by-variable Sex, then Year,
// a given crude rate and its standard error.
std::unique_ptr<kmSession> MakeRateSession(const std::string& sPath) {
  auto pSession = std::make_unique<kmSession>();
  const char* names[] = {"Sex", "Year", "Rate", "SE"};
  for (uint16_t i = 0; i < 4; ++i) {
    pSession->AddVariable(kmVariable(names[i], i + 1, nullptr));
  }
  pSession->AddByVarPosition(1);
  pSession->SetKMVarPosition(kmVarIndependent, 2);
  pSession->SetKMVarPosition(kmVarDependent, 3);
  pSession->SetKMVarPosition(kmVarStdError, 4);
  pSession->SetString(kmStrDataFile, sPath.c_str());
  pSession->SetInt(kmOptFieldDelimiter, 2);
  pSession->SetInt(kmOptMissingCharacter, 1);
  pSession->SetBool(kmOptVarNamesIncluded, true);
  pSession->SetInt(kmOptDependentType, 1);
  pSession->SetInt(kmOptHetErrorModel, 2);
  pSession->SetInt(kmOptMaxKinkmarks, 1);
  pSession->SetInt(kmOptMinObsEnd, 2);
  pSession->SetInt(kmOptMinObsBetween, 2);
  pSession->AddByVarJump();
  return pSession;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  const std::string sPath =
      km_fuzz::WriteInputFile("data.csv", pData, uSize, KM_FUZZ_GZIP != 0);
  km_fuzz::ReadOrRefuse([&] {
    auto pSession = MakeRateSession(sPath);
    kmCalcHandler handler(pSession.get());
    kmReadData reader(pSession.get(), &handler);
    KmString sMessage;
    reader.VerifyDelayRateCalcNEW(sMessage, false);
    reader.ResetDataFile();
    const int nCopies = reader.GetNumByGroups();
    for (int i = 0; i < nCopies && i < kMaxCopies; ++i) {
      int iCopy = -1;
      reader.ReadData(&iCopy);
    }
  });
  return 0;
}
