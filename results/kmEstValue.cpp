// kmEstValue: setter and the version-gated stored layout.
#include "results/kmEstValue.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/internal/RecordIO.h"

namespace {
const char kClass[] = "kmEstValue";
// First file version that stores the p-value and the test statistic.
constexpr double kTestsVersion = 4.05;
}  // namespace

void kmEstValue::Set(double dEstimateValue, double dLowerBound,
                     double dUpperBound, bool bComputedFlag, double dPValueIn,
                     double dTestStatIn) {
  dEstimate = dEstimateValue;
  dLower = dLowerBound;
  dUpper = dUpperBound;
  bComputed = bComputedFlag;
  dPValue = dPValueIn;
  dTestStat = dTestStatIn;
}

void kmEstValue::Read(KmIO_File* pIO, double dFileVersion) {
  WithCallPath("Read()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    // Read into a copy so that a record cut short leaves this one intact.
    kmEstValue read = *this;
    read.dLower = pIO->ReadDouble();
    read.dUpper = pIO->ReadDouble();
    read.dEstimate = pIO->ReadDouble();
    read.bComputed =
        km_results_internal::ReadFlag(pIO, kClass, "the computed flag");
    if (dFileVersion >= kTestsVersion) {
      read.dPValue = pIO->ReadDouble();
      read.dTestStat = pIO->ReadDouble();
    }
    km_results_internal::CheckNotEnded(pIO, kClass);
    *this = read;
  });
}

void kmEstValue::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    pIO->WriteDouble(dLower);
    pIO->WriteDouble(dUpper);
    pIO->WriteDouble(dEstimate);
    pIO->WriteBool(bComputed);
    pIO->WriteDouble(dPValue);
    pIO->WriteDouble(dTestStat);
  });
}
