#include "foundation/kmRunProgressTrackerBase.h"

#include <mutex>

#include "foundation/KmBackgroundProgressTracker.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/internal/KmProgressMath.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"

namespace {

using Guard = std::lock_guard<KmCriticalSection>;

}  // namespace

kmRunProgressTrackerBase::kmRunProgressTrackerBase()
    : iMaximum_(100),
      iMinimum_(1),
      iPosition_(1),
      iStep_(1),
      bCancelFlag_(false),
      bSecondFlag_(false),
      iSubrangeMaximum_(100),
      iSubrangeMinimum_(0),
      iSharedPosition_(0),
      bOptionFlag_(false) {}

kmRunProgressTrackerBase::~kmRunProgressTrackerBase() {
  try {
    ReleaseAllSubProgressInterfaces();
  } catch (KmException&) {
    // Nothing can be reported from a destructor; the owned subs below are
    // freed in any case.
  }
  Guard guard(GetLock());
  vOwned_.clear();
}

void kmRunProgressTrackerBase::ResetRunValues() {
  iMaximum_.store(100);
  iMinimum_.store(1);
  iPosition_.store(1);
  iStep_.store(1);
  bCancelFlag_.store(false);
  bSecondFlag_ = false;
  iSubrangeMaximum_.store(100);
  iSubrangeMinimum_.store(0);
  iSharedPosition_.store(0);
  bOptionFlag_.store(false);
}

kmBackgroundProgressTrackerWithBar* kmRunProgressTrackerBase::CreateOwnedSub() {
  Guard guard(GetLock());
  vOwned_.push_back(std::make_unique<kmBackgroundProgressTrackerWithBar>(
      this, GetSubrangeMinimum(), GetSubrangeMaximum(), GetSharedPosition(),
      &bCancelFlag_));
  return vOwned_.back().get();
}

void kmRunProgressTrackerBase::SetRange(int32_t iMinimum, int32_t iMaximum) {
  SetMinimum(iMinimum);
  SetMaximum(iMaximum);
}

void kmRunProgressTrackerBase::SetProcessText(const char* sText) {
  Guard guard(GetLock());
  sProcessText_ = sText;
}

void kmRunProgressTrackerBase::StepBy(int32_t n) {
  const int64_t iMaximum = GetMaximum();
  int32_t iPosition = iPosition_.load();
  // Retry until no other thread moved the position between the read and
  // the write.
  while (int64_t{iPosition} + n <= iMaximum) {
    // A sum below the smallest int stops there instead of overflowing.
    const int32_t iNext = km_internal::SaturateToInt32(int64_t{iPosition} + n);
    if (iPosition_.compare_exchange_weak(iPosition, iNext)) return;
  }
}

void kmRunProgressTrackerBase::StepIt() {
  // Unbounded; atomic arithmetic on a signed type wraps instead of
  // overflowing.
  iPosition_.fetch_add(GetStep());
}

void kmRunProgressTrackerBase::DisposeOfOldSubProgressInterface(
    KmProgressInterface* pInterface) {
  const char kSource[] = "DisposeOfOldSubProgressInterface";
  WithCallPath(kSource, "kmProgressTracker", [&] {
    if (pInterface == nullptr) {
      GenerateKmException("null pointer: pOldInterface", kSource);
    }
    if (!IsSubProgressInterface(pInterface)) {
      GenerateKmException("pOldInterface not owned; can't dispose of it",
                          kSource);
    }
    auto* pSub = dynamic_cast<KmBackgroundProgressTracker*>(pInterface);
    if (pSub == nullptr) {
      GenerateKmException(
          "pOldInterface is not of type KmBackgroundProgressTracker", kSource);
    }
    pSub->ReleaseAllSubProgressInterfaces();
    pSub->SetSuper(nullptr);
    pSub->SetPosition(pSub->GetMinimum());
    pSub->SetOptionFlag(false);
    TakeSub(pInterface);  // destroyed as the list gives it up
  });
}
