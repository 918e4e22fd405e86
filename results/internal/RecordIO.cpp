// The shared checks of the result-record readers and writers.
#include "results/internal/RecordIO.h"

#include "foundation/KmException.h"

namespace km_results_internal {

void CheckFile(const KmIO_File* pIO, const char* sClass) {
  if (pIO == nullptr) GenerateKmException("Invalid KmIO_File.", sClass);
}

KmCheckedReader RecordReader(KmIO_File* pIO, const char* sClass) {
  return KmCheckedReader(pIO, [sClass](const KmCheckedReader::Failure& f) {
    if (f.eFault == KmCheckedReader::kNegativeCount) {
      GenerateKmExceptionF(
          "This KMO is either corrupt or not compatible with this version of "
          "Kinkmark.  The KMO read process found a negative count (%d) of "
          "%s.",
          sClass, static_cast<int>(f.iValue), f.sPart);
    }
    GenerateKmExceptionF(
        "Unexpected end of the results file while reading a %s record.", sClass,
        sClass);
  });
}

void CheckNotEnded(KmIO_File* pIO, const char* sClass) {
  RecordReader(pIO, sClass).CheckNotEnded();
}

int32_t ReadCount(KmIO_File* pIO, const char* sClass, const char* sWhat) {
  KmCheckedReader in = RecordReader(pIO, sClass);
  in.SetPart(sWhat);
  return in.ReadShortCount();
}

void WriteCount(KmIO_File* pIO, size_t iCount, const char* sClass,
                const char* sWhat) {
  if (iCount > 32767) {
    GenerateKmExceptionF(
        "Cannot store %llu %s in the results file (at most 32767).", sClass,
        static_cast<unsigned long long>(iCount), sWhat);
  }
  pIO->WriteShort(static_cast<int16_t>(iCount));
}

}  // namespace km_results_internal
