// kmBetaCoefficient: setter and the stored layout.
#include "results/kmBetaCoefficient.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "results/internal/RecordIO.h"

namespace {
const char kClass[] = "kmBetaCoefficient";
}  // namespace

void kmBetaCoefficient::Set(double dEstimateIn, double dStdErrIn,
                            double dTestStatIn, double dPValueIn,
                            bool bComputedFlag) {
  dEstimate = dEstimateIn;
  dStdErr = dStdErrIn;
  dTestStat = dTestStatIn;
  dPValue = dPValueIn;
  bComputed = bComputedFlag;
}

void kmBetaCoefficient::Read(KmIO_File* pIO) {
  WithCallPath("Read()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    kmBetaCoefficient read;
    read.dEstimate = pIO->ReadDouble();
    read.dPValue = pIO->ReadDouble();
    read.dStdErr = pIO->ReadDouble();
    read.dTestStat = pIO->ReadDouble();
    read.bComputed =
        km_results_internal::ReadFlag(pIO, kClass, "the computed flag");
    km_results_internal::CheckNotEnded(pIO, kClass);
    *this = read;
  });
}

void kmBetaCoefficient::Write(KmIO_File* pIO) const {
  WithCallPath("Write()", kClass, [&] {
    km_results_internal::CheckFile(pIO, kClass);
    pIO->WriteDouble(dEstimate);
    pIO->WriteDouble(dPValue);
    pIO->WriteDouble(dStdErr);
    pIO->WriteDouble(dTestStat);
    pIO->WriteBool(bComputed);
  });
}
