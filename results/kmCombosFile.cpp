// kmCombos: the record in the results file (Write, Read).
#include <cstdint>
#include <utility>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/kmTools.h"
#include "results/internal/RecordIO.h"
#include "results/kmCombos.h"

namespace {

using km_results_internal::CheckNotEnded;

const char* const kClassName = "kmCombos";

// Files from this version on store the comparison count and comparisons.
constexpr double kFirstVersionWithComparisons = 3.3;

// The table's counts are Longs, unlike the Short counts of the records.
// Writes n as a Long count of sWhat.
// Throws: KmException "Cannot store <n> <sWhat> in the results file (at
// most 2147483647)." when it does not fit.
void WriteLongCount(KmIO_File* pIO, size_t n, const char* sWhat) {
  if (n > static_cast<size_t>(INT32_MAX)) {
    GenerateKmExceptionF(
        "Cannot store %llu %s in the results file (at most 2147483647).",
        kClassName, static_cast<unsigned long long>(n), sWhat);
  }
  pIO->WriteLong(static_cast<int32_t>(n));
}

// Reads a Long count of sWhat; refuses a file that ends inside it (as
// CheckNotEnded) and a negative count with the damaged-file message of the
// Short counts.
int32_t ReadLongCount(KmIO_File* pIO, const char* sWhat) {
  const int32_t lCount = pIO->ReadLong();
  CheckNotEnded(pIO, kClassName);
  if (lCount < 0) {
    GenerateKmExceptionF(
        "This KMO is either corrupt or not compatible with this version of "
        "Kinkmark.  The KMO read process found a negative count (%d) of %s.",
        kClassName, static_cast<int>(lCount), sWhat);
  }
  return lCount;
}

void WriteEntry(KmIO_File* pIO, const KmVector<int>& vValues) {
  pIO->WriteInt(0);
  pIO->WriteShort(0);
  WriteLongCount(pIO, vValues.size(), "values in one entry");
  pIO->WriteLong(0);
  for (int iValue : vValues) pIO->WriteInt(iValue);
}

// Reads one entry. The values are appended one at a time, each checked
// against the end of the file, so a damaged count cannot make the reader
// allocate or loop beyond what the file holds.
KmVector<int> ReadEntry(KmIO_File* pIO) {
  pIO->ReadInt();
  pIO->ReadShort();
  const int32_t lCount = ReadLongCount(pIO, "values in a combination entry");
  pIO->ReadLong();
  KmVector<int> vValues;
  for (int32_t l = 0; l < lCount; ++l) {
    vValues.push_back(pIO->ReadInt());
    CheckNotEnded(pIO, kClassName);
  }
  CheckNotEnded(pIO, kClassName);
  return vValues;
}

}  // namespace

void kmCombos::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClassName, [&] {
    km_results_internal::CheckFile(pIO, kClassName);
    WriteLongCount(pIO, vCombinations_.size(), "combinations");
    WriteLongCount(pIO, vComparisons_.size(), "comparisons");
    for (const KmVector<int>& vEntry : vCombinations_) WriteEntry(pIO, vEntry);
    for (const KmVector<int>& vEntry : vComparisons_) WriteEntry(pIO, vEntry);
    pIO->WriteInt(nByVars_);
  });
}

void kmCombos::Read(KmIO_File* pIO, double dFileVersion,
                    KmProgressInterface* pProgress) {
  WithCallPath("Read()", kClassName, [&] {
    km_results_internal::CheckFile(pIO, kClassName);
    const int32_t nc = ReadLongCount(pIO, "combinations");
    int32_t np = 0;
    if (kmTools::CompareVersionNumbers(dFileVersion,
                                       kFirstVersionWithComparisons) <= 0) {
      np = ReadLongCount(pIO, "comparisons");
    }
    KmVector<KmVector<int> > vCombinations;
    for (int32_t i = 0; i < nc; ++i) vCombinations.push_back(ReadEntry(pIO));
    KmVector<KmVector<int> > vComparisons;
    for (int32_t i = 0; i < np; ++i) vComparisons.push_back(ReadEntry(pIO));
    const int32_t nByVars = ReadLongCount(pIO, "by-variables");

    vCombinations_ = std::move(vCombinations);
    vComparisons_ = std::move(vComparisons);
    nByVars_ = nByVars;

    vCohortIndices_.clear();
    for (int32_t u = 0; u < nc; ++u)
      vCohortIndices_.push_back(KmVector<int>{u});
    const int32_t iStep = np < 5 ? 1 : np / 5;
    for (int32_t k = 0; k < np; ++k) {
      vCohortIndices_.push_back(vComparisons_[k]);
      if (pProgress == nullptr) continue;
      if ((k + 1) % iStep == 0) pProgress->StepBy(1);
      if (pProgress->IsCancelled()) break;
    }
  });
}
