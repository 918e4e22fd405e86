#include "foundation/KmProgressTracker.h"

#include <mutex>
#include <utility>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/internal/KmProgressMath.h"

namespace {

const char kClassName[] = "KmProgressTracker";

using Guard = std::lock_guard<KmCriticalSection>;

}  // namespace

KmProgressTracker::KmProgressTracker() : pSuper_(nullptr) {}

KmProgressTracker::~KmProgressTracker() = default;

KmProgressInterface* KmProgressTracker::AcquireSubProgressInterface() {
  return WithCallPath("AcquireSubProgressInterface", kClassName,
                      [&]() -> KmProgressInterface* {
                        KmProgressInterface* pSub = nullptr;
                        {
                          Guard guard(lock_);
                          pSub = GenerateNewSubProgressInterface();
                          if (pSub == nullptr) return nullptr;
                          pSub->SetSuper(this);
                        }
                        // Outside the lock: moving the sub may call back into
                        // this tracker and from there up the tree, and no lock
                        // is held while moving upwards.
                        pSub->SetPosition(pSub->GetMinimum());
                        pSub->SetDisplayMode(0);
                        pSub->SetProcessText(nullptr);
                        return pSub;
                      });
}

int32_t KmProgressTracker::MapIntoSubrange(const KmProgressInterface& sub,
                                           int32_t iNewPosition,
                                           int32_t iSubrangeMinimum,
                                           int32_t iSubrangeMaximum) {
  const int32_t iSubMinimum = sub.GetMinimum();
  const int32_t iSubMaximum = sub.GetMaximum();
  if (iNewPosition == iSubMaximum) return iSubrangeMaximum;
  if (iNewPosition == iSubMinimum) return iSubrangeMinimum;
  const int64_t iWidth = int64_t{iSubMaximum} - iSubMinimum;
  if (iWidth == 0) return iSubrangeMinimum;
  const int64_t iMapped =
      iSubrangeMinimum +
      km_internal::MulDiv(int64_t{iSubrangeMaximum} - iSubrangeMinimum,
                          int64_t{iNewPosition} - iSubMinimum, iWidth);
  return km_internal::SaturateToInt32(iMapped);
}

void KmProgressTracker::RespondToSubProgressPositionChange(
    KmProgressInterface* pSubInterface, int32_t /*iOldPosition*/,
    int32_t iNewPosition, bool bCheckMembership) {
  WithCallPath("RespondToSubProgressPositionChange", kClassName, [&] {
    int32_t iTarget = 0;
    {
      // The list is read under the lock: another thread may acquire or
      // release a sub meanwhile.
      Guard guard(lock_);
      if (pSubInterface == nullptr ||
          (bCheckMembership && FindSub(pSubInterface) < 0)) {
        GenerateKmException("pProgress is not a sub-progress of *this",
                            "RespondToSubProgressPositionChange");
      }
      if (GetOptionFlag()) return;
      iTarget = ComputeTargetPosition(*pSubInterface, iNewPosition);
    }
    // The new position travels up the tree after the lock is given back:
    // locks are only ever nested from a parent down to its subs (while
    // releasing them), never upwards, so no two threads can deadlock.
    SetPosition(iTarget);
    // Between the computation and SetPosition another sub may have moved
    // and stored its newer target, which ours has just overwritten. So
    // compute again from the subs' present positions until the result is
    // the value last stored: whichever thread stores last checks after its
    // store, so the final position follows the final state of the subs.
    // A caller that is not one of the subs is not checked again.
    for (;;) {
      {
        Guard guard(lock_);
        if (GetOptionFlag() || FindSub(pSubInterface) < 0) return;
        const int32_t iNow =
            ComputeTargetPosition(*pSubInterface, pSubInterface->GetPosition());
        if (iNow == iTarget) return;
        iTarget = iNow;
      }
      SetPosition(iTarget);
    }
  });
}

int32_t KmProgressTracker::ComputeTargetPosition(const KmProgressInterface& sub,
                                                 int32_t iNewPosition) const {
  const int32_t iSubrangeMinimum = GetSubrangeMinimum();
  const int32_t iSubrangeMaximum = GetSubrangeMaximum();
  if (vSubs_.size() == 1) {
    return MapIntoSubrange(sub, iNewPosition, iSubrangeMinimum,
                           iSubrangeMaximum);
  }
  double dTarget = iSubrangeMinimum;
  if (!vSubs_.empty()) {
    int64_t iPercentSum = 0;
    for (const auto& pSub : vSubs_) {
      iPercentSum += pSub->GetPercent();
    }
    const double dFraction =
        static_cast<double>(iPercentSum) / (vSubs_.size() * 100.0);
    dTarget =
        iSubrangeMinimum +
        (static_cast<double>(iSubrangeMaximum) - iSubrangeMinimum) * dFraction;
  }
  // Clamping before the conversion keeps it defined; the bounds are
  // integers, so the result equals truncating first and clamping after.
  if (dTarget > iSubrangeMaximum) dTarget = iSubrangeMaximum;
  if (dTarget < iSubrangeMinimum) dTarget = iSubrangeMinimum;
  return static_cast<int32_t>(dTarget);
}

void KmProgressTracker::StepByPercentOfRange(int16_t siPercent) {
  const int64_t iWidth = int64_t{GetMaximum()} - GetMinimum();
  SetPosition(km_internal::SaturateToInt32(
      GetPosition() + km_internal::MulDiv(siPercent, iWidth, 100)));
}

void KmProgressTracker::OffsetPosition(int32_t iOffset) {
  SetPosition(km_internal::SaturateToInt32(int64_t{GetPosition()} + iOffset));
}

void KmProgressTracker::ReleaseAllSubProgressInterfaces() {
  WithCallPath("ReleaseAllSubProgressInterfaces", kClassName, [&] {
    Guard guard(lock_);
    while (!vSubs_.empty()) ReleaseSubProgressInterface(vSubs_.back().get());
  });
}

void KmProgressTracker::ReleaseSubProgressInterface(
    KmProgressInterface* pInterface) {
  WithCallPath("ReleaseSubProgressInterface", kClassName, [&] {
    if (pInterface == nullptr) {
      GenerateKmException("Null pointer: pInterface", kClassName);
    }
    Guard guard(lock_);
    if (FindSub(pInterface) < 0) {
      GenerateKmException("pInterface is not subbed to *this", kClassName);
    }
    DisposeOfOldSubProgressInterface(pInterface);
  });
}

void KmProgressTracker::ResetPosition() {
  WithCallPath("ResetPosition", kClassName, [&] { SetPosition(GetMinimum()); });
}

void KmProgressTracker::StepBy(int32_t n) {
  WithCallPath("StepBy", kClassName, [&] {
    SetPosition(km_internal::SaturateToInt32(int64_t{GetPosition()} + n));
  });
}

void KmProgressTracker::StepIt() {
  WithCallPath("StepIt", kClassName, [&] {
    SetPosition(
        km_internal::SaturateToInt32(int64_t{GetPosition()} + GetStep()));
  });
}

bool KmProgressTracker::IsCancelled() const {
  const KmProgressInterface* pSuper = pSuper_.load();
  return pSuper != nullptr && pSuper->IsCancelled();
}

bool KmProgressTracker::IsPaused() const {
  const KmProgressInterface* pSuper = pSuper_.load();
  return pSuper != nullptr && pSuper->IsPaused();
}

bool KmProgressTracker::IsFinished() const {
  const KmProgressInterface* pSuper = pSuper_.load();
  return pSuper != nullptr && pSuper->IsFinished();
}

bool KmProgressTracker::CanContinue() const {
  return !IsCancelled() && !IsPaused();
}

int32_t KmProgressTracker::GetPercent() const {
  const int32_t iMinimum = GetMinimum();
  const int64_t iWidth = int64_t{GetMaximum()} - iMinimum;
  if (iWidth == 0) return 0;
  return km_internal::SaturateToInt32(
      km_internal::MulDiv(int64_t{GetPosition()} - iMinimum, 100, iWidth));
}

bool KmProgressTracker::SetPercent(int16_t siPercent) {
  const int32_t iMinimum = GetMinimum();
  const int64_t iWidth = int64_t{GetMaximum()} - iMinimum;
  SetPosition(km_internal::SaturateToInt32(
      iMinimum + km_internal::MulDiv(iWidth, siPercent, 100)));
  return CanContinue();
}

void KmProgressTracker::SetProcessTextAt(const char* sText,
                                         int32_t /*iIndex*/) {
  SetProcessText(sText);
}

void KmProgressTracker::SetSuper(KmProgressInterface* pSuper) {
  pSuper_.store(pSuper);
}

KmProgressInterface* KmProgressTracker::GetSubProgressInterface(
    int32_t iIndex) const {
  return WithCallPath(
      "GetSubProgressInterface", kClassName, [&]() -> KmProgressInterface* {
        Guard guard(lock_);
        if (vSubs_.empty()) {
          GenerateKmException("no sub-interfaces available",
                              "GetSubProgressInterface");
        }
        const int32_t iLast = static_cast<int32_t>(vSubs_.size()) - 1;
        if (iIndex < 0 || iIndex > iLast) {
          GenerateKmExceptionF("iIndex(==%i) out of range [0, %i]",
                               "GetSubProgressInterface", iIndex, iLast);
        }
        return vSubs_[static_cast<size_t>(iIndex)].get();
      });
}

KmProgressInterface* KmProgressTracker::AdoptSub(
    std::unique_ptr<KmProgressInterface> pSub) {
  Guard guard(lock_);
  vSubs_.push_back(std::move(pSub));
  return vSubs_.back().get();
}

std::unique_ptr<KmProgressInterface> KmProgressTracker::TakeSub(
    const KmProgressInterface* pInterface) {
  Guard guard(lock_);
  const int32_t iIndex = FindSub(pInterface);
  if (iIndex < 0) return nullptr;
  std::unique_ptr<KmProgressInterface> pSub = std::move(vSubs_[iIndex]);
  vSubs_.erase(vSubs_.begin() + iIndex);
  return pSub;
}

KmProgressInterface* KmProgressTracker::GetSuper() const {
  return pSuper_.load();
}

bool KmProgressTracker::HasSuper() const { return pSuper_.load() != nullptr; }

bool KmProgressTracker::IsSubProgressInterface(
    const KmProgressInterface* pInterface) const {
  Guard guard(lock_);
  return FindSub(pInterface) >= 0;
}

KmCriticalSection& KmProgressTracker::GetLock() const { return lock_; }

int32_t KmProgressTracker::GetNumSubProgressInterfaces() const {
  Guard guard(lock_);
  return static_cast<int32_t>(vSubs_.size());
}

int32_t KmProgressTracker::FindSub(
    const KmProgressInterface* pInterface) const {
  for (size_t i = 0; i < vSubs_.size(); ++i) {
    if (vSubs_[i].get() == pInterface) return static_cast<int32_t>(i);
  }
  return -1;
}
