// Checked counts and end-of-file refusals of the per-cohort records.
#include "results/internal/CohortRecordIO.h"

#include <limits>
#include <string>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"

namespace km_results_cohort {

const char* const kCorruptKmoMessage =
    "This KMO is either corrupt or not compatible with this version of "
    "Kinkmark.  ";

void RequireFile(const KmIO_File* pIO, const char* sSource) {
  if (pIO == nullptr) ThrowKmException("Invalid KmIO_File.", sSource);
}

void RefuseIfEnded(KmIO_File* pIO, const char* sWhat, const char* sSource) {
  if (!pIO->IsEOF()) return;
  const std::string sMessage = std::string(kCorruptKmoMessage) +
                               "  The file ends early, while reading " + sWhat +
                               ".";
  ThrowKmException(sMessage.c_str(), sSource);
}

namespace {

void RefuseNegative(int32_t lCount, const char* sWhat, const char* sSource) {
  if (lCount >= 0) return;
  const std::string sMessage =
      std::string(kCorruptKmoMessage) +
      "  The KMO read process found the negative count " +
      std::to_string(lCount) + " for " + sWhat + ".";
  ThrowKmException(sMessage.c_str(), sSource);
}

int32_t CheckedCount(size_t n, size_t nMax, const char* sWhat,
                     const char* sSource) {
  if (n > nMax) {
    const std::string sMessage = "Cannot store " + std::to_string(n) + " " +
                                 sWhat +
                                 " in a results file; a record holds at most " +
                                 std::to_string(nMax) + ".";
    ThrowKmException(sMessage.c_str(), sSource);
  }
  return static_cast<int32_t>(n);
}

}  // namespace

int16_t ReadShortCount(KmIO_File* pIO, const char* sWhat, const char* sSource) {
  const int16_t iCount = pIO->ReadShort();
  RefuseIfEnded(pIO, sWhat, sSource);
  RefuseNegative(iCount, sWhat, sSource);
  return iCount;
}

int32_t ReadLongCount(KmIO_File* pIO, const char* sWhat, const char* sSource) {
  const int32_t lCount = pIO->ReadLong();
  RefuseIfEnded(pIO, sWhat, sSource);
  RefuseNegative(lCount, sWhat, sSource);
  return lCount;
}

int16_t ShortCount(size_t n, const char* sWhat, const char* sSource) {
  return static_cast<int16_t>(
      CheckedCount(n, static_cast<size_t>(std::numeric_limits<int16_t>::max()),
                   sWhat, sSource));
}

int32_t LongCount(size_t n, const char* sWhat, const char* sSource) {
  return CheckedCount(n,
                      static_cast<size_t>(std::numeric_limits<int32_t>::max()),
                      sWhat, sSource);
}

}  // namespace km_results_cohort
