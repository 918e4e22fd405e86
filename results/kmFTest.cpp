#include "results/kmFTest.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "results/internal/RecordIO.h"

namespace {
const char* const kClassName = "kmFTest";
}  // namespace

kmFTest::kmFTest(uint16_t uNullKinkmarks, uint16_t uAltKinkmarks)
    : bSecondStat(false),
      dAlpha(0.0),
      dF(0.0),
      dSecondF(0.0),
      dPValue(1.0),
      dSecondPValue(1.0),
      dPermPValue(0.0),
      lDenominatorDF(0),
      lNumeratorDF(0),
      lSecondNumeratorDF(0),
      lNumPermutations(0),
      uAltKinkmarks(uAltKinkmarks),
      uNullKinkmarks(uNullKinkmarks) {}

uint16_t kmFTest::GetSelectedHypothesis() const {
  return dAlpha >= dPermPValue ? uAltKinkmarks : uNullKinkmarks;
}

void kmFTest::Read(KmIO_File* pIO) {
  WithCallPath("Read()", kClassName, [&] {
    km_results_internal::CheckFile(pIO, kClassName);
    kmFTest read;
    read.bSecondStat =
        km_results_internal::ReadFlag(pIO, kClassName, "the second-test flag");
    read.dAlpha = pIO->ReadDouble();
    read.dF = pIO->ReadDouble();
    read.dSecondF = pIO->ReadDouble();
    read.dPValue = pIO->ReadDouble();
    read.dSecondPValue = pIO->ReadDouble();
    read.dPermPValue = pIO->ReadDouble();
    read.lDenominatorDF = pIO->ReadLong();
    read.lNumeratorDF = pIO->ReadLong();
    read.lSecondNumeratorDF = pIO->ReadLong();
    read.lNumPermutations = pIO->ReadLong();
    read.uAltKinkmarks = km_results_internal::ReadKinkmarks(
        pIO, kClassName, "the kinkmarks of the alternative model", false);
    read.uNullKinkmarks = km_results_internal::ReadKinkmarks(
        pIO, kClassName, "the kinkmarks of the null model", false);
    // One check after the whole record is enough: a read past the end sets
    // the end-of-file state, which stays set for every later read.
    km_results_internal::CheckNotEnded(pIO, kClassName);
    *this = read;
  });
}

void kmFTest::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClassName, [&] {
    // The writer's null-file error names the cohort record that owns it.
    km_results_internal::CheckFile(pIO, "kmCalcData");
    pIO->WriteBool(bSecondStat);
    pIO->WriteDouble(dAlpha);
    pIO->WriteDouble(dF);
    pIO->WriteDouble(dSecondF);
    pIO->WriteDouble(dPValue);
    pIO->WriteDouble(dSecondPValue);
    pIO->WriteDouble(dPermPValue);
    pIO->WriteLong(lDenominatorDF);
    pIO->WriteLong(lNumeratorDF);
    pIO->WriteLong(lSecondNumeratorDF);
    pIO->WriteLong(lNumPermutations);
    pIO->WriteShort(static_cast<int16_t>(uAltKinkmarks));
    pIO->WriteShort(static_cast<int16_t>(uNullKinkmarks));
  });
}
