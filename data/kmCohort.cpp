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
}

void kmCohort::AddObservation(const KmString& sIndepValue, int iRecordNumber) {
  vObservations_.push_back(sIndepValue);
  vRecordNumbers_.push_back(iRecordNumber);
}

KmString kmCohort::GetObservation(int i) const {
  return WithCallPath("GetObservation(int)", kClassName, [&]() -> KmString {
    if (i < 0 || i >= GetNumObservations()) {
      KmString sMessage;
      sMessage << "Requested observation (" << i
               << ") is out of Range.  Number of obseravtions is: "
               << GetNumObservations() << KmEndl;
      ThrowKmException(sMessage.GetCString(), "kmCohort::GetObservations(int)");
    }
    return vObservations_[i];
  });
}
