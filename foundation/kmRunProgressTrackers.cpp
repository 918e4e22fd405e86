// kmProgressTracker and kmMultiProgressTracker: construction, the subs they
// hand out and the by-group lookup.
#include "foundation/kmRunProgressTrackers.h"

#include <mutex>

#include "foundation/KmException.h"

namespace {

using Guard = std::lock_guard<KmCriticalSection>;

}  // namespace

kmProgressTracker::kmProgressTracker() : pCurrentSub_(nullptr) { Init(); }

kmProgressTracker::~kmProgressTracker() = default;

void kmProgressTracker::Init() {
  Guard guard(GetLock());
  ResetRunValues();
  pCurrentSub_ = CreateOwnedSub();
}

KmProgressInterface* kmProgressTracker::AcquireSubProgressInterface() {
  Guard guard(GetLock());
  return pCurrentSub_;
}

KmProgressInterface* kmProgressTracker::GenerateNewSubProgressInterface() {
  Guard guard(GetLock());
  pCurrentSub_ = CreateOwnedSub();
  return pCurrentSub_;
}

kmMultiProgressTracker::kmMultiProgressTracker(int32_t iNumByGroups)
    : pLatestSub_(nullptr) {
  Init(iNumByGroups);
}

kmMultiProgressTracker::~kmMultiProgressTracker() = default;

void kmMultiProgressTracker::Init(int32_t iNumByGroups) {
  Guard guard(GetLock());
  ResetRunValues();
  // Subs of an earlier Init stay owned (and valid) until the tracker ends.
  mByGroupSubs_.clear();
  for (int32_t i = 0; i < iNumByGroups; ++i) {
    mByGroupSubs_[i] = CreateOwnedSub();
  }
}

KmProgressInterface* kmMultiProgressTracker::AcquireSubProgressInterface() {
  return GenerateNewSubProgressInterface();
}

KmProgressInterface* kmMultiProgressTracker::GenerateNewSubProgressInterface() {
  Guard guard(GetLock());
  pLatestSub_ = CreateOwnedSub();
  return pLatestSub_;
}

kmBackgroundProgressTrackerWithBar*
kmMultiProgressTracker::GetByGroupSubProgressInterface(int32_t iByGroup) const {
  Guard guard(GetLock());
  const auto it = mByGroupSubs_.find(iByGroup);
  if (it == mByGroupSubs_.end()) {
    GenerateKmExceptionF("no sub-progress interface for by-group %d",
                         "kmMultiProgressTracker", iByGroup);
  }
  return it->second;
}
