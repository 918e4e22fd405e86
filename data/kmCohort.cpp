// kmCohort: one cohort of the data file as the pre-read found it.
#include "data/kmCohort.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {
const char kClassName[] = "kmCohort";
}  // namespace

kmCohort::kmCohort() {
  WithCallPath("kmCohort()", kClassName, [&] {
    sKey_.Clear();
    sLabel_.Clear();
  });
}

kmCohort::~kmCohort() = default;

void kmCohort::ClearObservations() {
  vObservations_.clear();
  vRecordNumbers_.clear();
  iNumObservations_ = 0;
  iFittedObservations_ = 0;
}

void kmCohort::AddObservation(const KmString& sIndepValue, int iRecordNumber) {
  vObservations_.push_back(sIndepValue);
  vRecordNumbers_.push_back(iRecordNumber);
  ++iNumObservations_;
}

KmString kmCohort::GetObservation(int i) const {
  return WithCallPath("GetObservation(int)", kClassName, [&]() -> KmString {
    const int32_t nKept = static_cast<int32_t>(vObservations_.size());
    if (i < 0 || i >= nKept) {
      KmString sMessage;
      sMessage << "Requested observation (" << i
               << ") is out of Range.  Number of obseravtions is: " << nKept
               << KmEndl;
      ThrowKmException(sMessage.GetCString(), "kmCohort::GetObservations(int)");
    }
    return vObservations_[i];
  });
}
