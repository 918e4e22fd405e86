#include "foundation/kmBackgroundProgressTrackerWithBar.h"

#include <memory>

#include "foundation/KmException.h"
#include "foundation/kmRunProgressTrackers.h"

kmBackgroundProgressTrackerWithBar::kmBackgroundProgressTrackerWithBar(
    KmProgressInterface* pSuper, int32_t iSubrangeMinimum,
    int32_t iSubrangeMaximum, int32_t iPosition,
    const std::atomic<bool>* pCancelFlag)
    : pCancelFlag_(pCancelFlag),
      bRunning_(false),
      iBarPosition_(iPosition),
      iBarSubrangeMinimum_(iSubrangeMinimum),
      iBarSubrangeMaximum_(iSubrangeMaximum) {
  StoreRangeAndPosition(0, 100, 0);
  KmBackgroundProgressTracker::SetStep(5);
  if (pSuper != nullptr) SetSuper(pSuper);
}

kmBackgroundProgressTrackerWithBar::~kmBackgroundProgressTrackerWithBar() =
    default;

void kmBackgroundProgressTrackerWithBar::SetSuper(KmProgressInterface* pSuper) {
  KmBackgroundProgressTracker::SetSuper(pSuper);
  if (const auto* pTop = dynamic_cast<const kmProgressTracker*>(pSuper)) {
    StoreRangeAndPosition(pTop->GetMinimum(), pTop->GetMaximum(),
                          pTop->GetPosition());
    iBarSubrangeMinimum_.store(pTop->GetSubrangeMinimum());
    iBarSubrangeMaximum_.store(pTop->GetSubrangeMaximum());
    iBarPosition_.store(pTop->GetSharedPosition());
  } else if (const auto* pBar =
                 dynamic_cast<const kmBackgroundProgressTrackerWithBar*>(
                     pSuper)) {
    iBarSubrangeMinimum_.store(pBar->GetBarSubrangeMinimum());
    iBarSubrangeMaximum_.store(pBar->GetBarSubrangeMaximum());
    iBarPosition_.store(pBar->GetBarPosition());
  }
}

void kmBackgroundProgressTrackerWithBar::SetPosition(int32_t iPosition) {
  iBarPosition_.exchange(iPosition);
}

void kmBackgroundProgressTrackerWithBar::StepBy(int32_t n) {
  std::lock_guard<std::mutex> guard(mutex_);
  // Atomic arithmetic wraps rather than overflowing.
  iBarPosition_.fetch_add(n);
}

void kmBackgroundProgressTrackerWithBar::StepIt() { StepBy(GetStep()); }

void kmBackgroundProgressTrackerWithBar::RespondToSubProgressPositionChange(
    KmProgressInterface* pSubInterface, int32_t /*iOldPosition*/,
    int32_t iNewPosition, bool /*bCheckMembership*/) {
  if (pSubInterface == nullptr) {
    GenerateKmException("pProgress is not a sub-progress of *this",
                        "RespondToSubProgressPositionChange");
  }
  SetPosition(MapIntoSubrange(*pSubInterface, iNewPosition,
                              GetSubrangeMinimum(), GetSubrangeMaximum()));
}

void kmBackgroundProgressTrackerWithBar::SetProcessText(const char* sText) {
  if (sText == nullptr) return;
  std::lock_guard<std::mutex> guard(mutex_);
  sProcessText_ = sText;
}

KmProgressInterface*
kmBackgroundProgressTrackerWithBar::GenerateNewSubProgressInterface() {
  return AdoptSub(std::make_unique<kmBackgroundProgressTrackerWithBar>(
      GetSuper(), GetBarSubrangeMinimum(), GetBarSubrangeMaximum(), 0,
      pCancelFlag_));
}

bool kmBackgroundProgressTrackerWithBar::GetCancelFlag() const {
  return pCancelFlag_ != nullptr && pCancelFlag_->load();
}

void kmBackgroundProgressTrackerWithBar::SetRunningFlag(bool bRunning) {
  std::lock_guard<std::mutex> guard(mutex_);
  bRunning_ = bRunning;
}

bool kmBackgroundProgressTrackerWithBar::GetRunningFlag() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return bRunning_;
}
