#include "foundation/KmBackgroundProgressTracker.h"

#include <memory>
#include <mutex>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/internal/KmProgressMath.h"

namespace {

const char kClassName[] = "KmBackgroundProgressTracker";

using Guard = std::lock_guard<KmCriticalSection>;

}  // namespace

KmBackgroundProgressTracker::KmBackgroundProgressTracker()
    : iMinimum_(0),
      iMaximum_(100),
      iPosition_(0),
      iSubrangeMinimum_(0),
      iSubrangeMaximum_(100),
      iStep_(1),
      bOptionFlag_(false) {}

KmBackgroundProgressTracker::~KmBackgroundProgressTracker() {
  try {
    ReleaseAllSubProgressInterfaces();
  } catch (KmException&) {
    // Every sub in the list was made by this tracker, so disposal cannot
    // refuse one; a destructor must not throw in any case.
  }
}

void KmBackgroundProgressTracker::SetPosition(int32_t iPosition) {
  WithCallPath("SetPosition", kClassName, [&] {
    const int32_t iMaximum = GetMaximum();
    const int32_t iMinimum = GetMinimum();
    if (iPosition > iMaximum) iPosition = iMaximum;
    if (iPosition < iMinimum) iPosition = iMinimum;
    const int32_t iOld = iPosition_.exchange(iPosition);
    if (iOld == iPosition) return;
    KmProgressInterface* pSuper = GetSuper();
    if (pSuper != nullptr) {
      pSuper->RespondToSubProgressPositionChange(this, iOld, iPosition, true);
    }
  });
}

void KmBackgroundProgressTracker::SetMaximum(int32_t iMaximum) {
  WithCallPath("SetMaximum", kClassName, [&] {
    Guard guard(GetLock());
    if (iMaximum <= GetMinimum()) return;
    if (iMaximum < GetSubrangeMaximum()) {
      if (iMaximum <= GetSubrangeMinimum()) SetSubrangeMinimum(iMaximum - 1);
      SetSubrangeMaximum(iMaximum);
    }
    iMaximum_.store(iMaximum);
  });
}

void KmBackgroundProgressTracker::SetMinimum(int32_t iMinimum) {
  WithCallPath("SetMinimum", kClassName, [&] {
    Guard guard(GetLock());
    if (iMinimum >= GetMaximum()) return;
    if (iMinimum > GetSubrangeMinimum()) {
      if (iMinimum >= GetSubrangeMaximum()) SetSubrangeMaximum(iMinimum + 1);
      SetSubrangeMinimum(iMinimum);
    }
    iMinimum_.store(iMinimum);
  });
}

void KmBackgroundProgressTracker::SetSubrangeMaximum(int32_t iMaximum) {
  WithCallPath("SetSubrangeMaximum", kClassName, [&] {
    Guard guard(GetLock());
    if (iMaximum <= GetMaximum() && iMaximum > GetSubrangeMinimum()) {
      iSubrangeMaximum_.store(iMaximum);
    }
  });
}

void KmBackgroundProgressTracker::SetSubrangeMinimum(int32_t iMinimum) {
  WithCallPath("SetSubrangeMinimum", kClassName, [&] {
    Guard guard(GetLock());
    if (iMinimum >= GetMinimum() && iMinimum < GetSubrangeMaximum()) {
      iSubrangeMinimum_.store(iMinimum);
    }
  });
}

void KmBackgroundProgressTracker::ResetPosition() {
  WithCallPath("ResetPosition", kClassName, [&] { SetPosition(GetMinimum()); });
}

void KmBackgroundProgressTracker::StepBy(int32_t n) {
  WithCallPath("StepBy", kClassName, [&] {
    SetPosition(km_internal::SaturateToInt32(int64_t{GetPosition()} + n));
  });
}

void KmBackgroundProgressTracker::StepIt() {
  WithCallPath("StepIt", kClassName, [&] {
    SetPosition(
        km_internal::SaturateToInt32(int64_t{GetPosition()} + GetStep()));
  });
}

KmProgressInterface*
KmBackgroundProgressTracker::GenerateNewSubProgressInterface() {
  return WithCallPath(
      "GenerateNewSubProgressInterface", kClassName,
      [&]() -> KmProgressInterface* {
        return AdoptSub(std::make_unique<KmBackgroundProgressTracker>());
      });
}

void KmBackgroundProgressTracker::DisposeOfOldSubProgressInterface(
    KmProgressInterface* pInterface) {
  const char kSource[] = "DisposeOfOldSubProgressInterface";
  WithCallPath(kSource, kClassName, [&] {
    if (pInterface == nullptr) {
      GenerateKmException("null pointer: pInterface", kSource);
    }
    if (!IsSubProgressInterface(pInterface)) {
      GenerateKmException("pInterface not owned; can't dispose of it", kSource);
    }
    auto* pSub = dynamic_cast<KmBackgroundProgressTracker*>(pInterface);
    if (pSub == nullptr) {
      GenerateKmException(
          "pInterface is not of type KmBackgroundProgressTracker*", kSource);
    }
    pSub->ReleaseAllSubProgressInterfaces();
    TakeSub(pInterface);  // destroyed as the list gives it up
  });
}

void KmBackgroundProgressTracker::StoreRangeAndPosition(int32_t iMinimum,
                                                        int32_t iMaximum,
                                                        int32_t iPosition) {
  iMinimum_.store(iMinimum);
  iMaximum_.store(iMaximum);
  iPosition_.store(iPosition);
}
