// The shared checks of the result-record readers and writers.
#include "results/internal/RecordIO.h"

#include "foundation/KmException.h"
#include "session/IniSessionDict.h"

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
    if (f.eFault == KmCheckedReader::kCountBeyondFile) {
      GenerateKmExceptionF(
          "This KMO is either corrupt or not compatible with this version of "
          "Kinkmark.  The KMO read process found a count of %lld %s, more "
          "than the rest of the file can hold.",
          sClass, static_cast<long long>(f.iValue), f.sPart);
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
  return in.CheckCount(in.ReadShortCount(), 1);
}

void CheckRange(int64_t iValue, int64_t iLow, int64_t iHigh, const char* sClass,
                const char* sWhat) {
  if (iValue < iLow || iValue > iHigh) {
    GenerateKmExceptionF(
        "This KMO is either corrupt or not compatible with this version of "
        "Kinkmark.  The KMO read process found %s of %lld, outside %lld to "
        "%lld.",
        sClass, sWhat, static_cast<long long>(iValue),
        static_cast<long long>(iLow), static_cast<long long>(iHigh));
  }
}

bool ReadFlag(KmIO_File* pIO, const char* sClass, const char* sWhat) {
  KmCheckedReader in = RecordReader(pIO, sClass);
  in.SetPart(sWhat);
  const unsigned char uByte = static_cast<unsigned char>(in.ReadByte());
  CheckRange(uByte, 0, 1, sClass, sWhat);
  return uByte == 1;
}

uint16_t ReadKinkmarks(KmIO_File* pIO, const char* sClass, const char* sWhat,
                       bool bNoneAllowed) {
  KmCheckedReader in = RecordReader(pIO, sClass);
  in.SetPart(sWhat);
  const uint16_t uValue = static_cast<uint16_t>(in.ReadShort());
  if (!(bNoneAllowed && uValue == 65535)) {
    CheckRange(uValue, 0, kRunMaxKinkmarks, sClass, sWhat);
  }
  return uValue;
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
