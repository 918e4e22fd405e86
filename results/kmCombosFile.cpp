// kmCombos: the record in the results file (Write, Read).
#include <utility>

#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/kmTools.h"
#include "results/internal/CohortRecordIO.h"
#include "results/kmCombos.h"

namespace {

using km_results_cohort::RefuseIfEnded;

const char* const kClassName = "kmCombos";

// Files from this version on store the comparison count and comparisons.
constexpr double kFirstVersionWithComparisons = 3.3;

void WriteEntry(KmIO_File* pIO, const KmVector<int>& vValues) {
  pIO->WriteInt(0);
  pIO->WriteShort(0);
  pIO->WriteLong(km_results_cohort::LongCount(
      vValues.size(), "values in one entry", kClassName));
  pIO->WriteLong(0);
  for (int iValue : vValues) pIO->WriteInt(iValue);
}

// Reads one entry. The values are appended one at a time, each checked
// against the end of the file, so a damaged count cannot make the reader
// allocate or loop beyond what the file holds.
KmVector<int> ReadEntry(KmIO_File* pIO) {
  pIO->ReadInt();
  pIO->ReadShort();
  const int32_t lCount =
      km_results_cohort::ReadLongCount(pIO, "a combination entry", kClassName);
  pIO->ReadLong();
  KmVector<int> vValues;
  for (int32_t l = 0; l < lCount; ++l) {
    vValues.push_back(pIO->ReadInt());
    RefuseIfEnded(pIO, "a combination entry", kClassName);
  }
  RefuseIfEnded(pIO, "a combination entry", kClassName);
  return vValues;
}

}  // namespace

void kmCombos::Write(KmIO_File* pIO) const {
  try {
    km_results_cohort::RequireFile(pIO, kClassName);
    pIO->WriteLong(km_results_cohort::LongCount(vCombinations_.size(),
                                                "combinations", kClassName));
    pIO->WriteLong(km_results_cohort::LongCount(vComparisons_.size(),
                                                "comparisons", kClassName));
    for (const KmVector<int>& vEntry : vCombinations_) WriteEntry(pIO, vEntry);
    for (const KmVector<int>& vEntry : vComparisons_) WriteEntry(pIO, vEntry);
    pIO->WriteInt(nByVars_);
  } catch (KmException& e) {
    e.AddCallPath("Write()", kClassName);
    throw;
  }
}

void kmCombos::Read(KmIO_File* pIO, double dFileVersion,
                    KmProgressInterface* pProgress) {
  try {
    km_results_cohort::RequireFile(pIO, kClassName);
    const int32_t nc = km_results_cohort::ReadLongCount(
        pIO, "the combination count", kClassName);
    int32_t np = 0;
    if (kmTools::CompareVersionNumbers(dFileVersion,
                                       kFirstVersionWithComparisons) <= 0) {
      np = km_results_cohort::ReadLongCount(pIO, "the comparison count",
                                            kClassName);
    }
    KmVector<KmVector<int> > vCombinations;
    for (int32_t i = 0; i < nc; ++i) vCombinations.push_back(ReadEntry(pIO));
    KmVector<KmVector<int> > vComparisons;
    for (int32_t i = 0; i < np; ++i) vComparisons.push_back(ReadEntry(pIO));
    const int32_t nByVars = km_results_cohort::ReadLongCount(
        pIO, "the number of by-variables", kClassName);

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
  } catch (KmException& e) {
    e.AddCallPath("Read()", kClassName);
    throw;
  }
}
