#include "foundation/KmSpanProgress.h"

#include <cmath>

KmSpanProgress::KmSpanProgress(KmProgressInterface* pParent, double dFrom,
                               double dTo)
    : pParent_(pParent), dFrom_(dFrom), dTo_(dTo) {}

bool KmSpanProgress::IsCancelled() const {
  return pParent_ != nullptr && pParent_->IsCancelled();
}

bool KmSpanProgress::CanContinue() const {
  return !IsCancelled() && !IsPaused();
}

bool KmSpanProgress::IsPaused() const {
  return pParent_ != nullptr && pParent_->IsPaused();
}

bool KmSpanProgress::IsFinished() const {
  return pParent_ != nullptr && pParent_->IsFinished();
}

int32_t KmSpanProgress::GetPercent() const {
  const double dWidth = static_cast<double>(iMaximum_) - iMinimum_;
  if (dWidth <= 0.0) return 0;
  return static_cast<int32_t>((iPosition_ - static_cast<double>(iMinimum_)) *
                              100.0 / dWidth);
}

void KmSpanProgress::SetMaximum(int32_t iMaximum) {
  if (iMaximum > iMinimum_) iMaximum_ = iMaximum;
}

void KmSpanProgress::SetMinimum(int32_t iMinimum) {
  if (iMinimum < iMaximum_) iMinimum_ = iMinimum;
}

void KmSpanProgress::SetPosition(int32_t iPosition) {
  if (iPosition > iMaximum_) iPosition = iMaximum_;
  if (iPosition < iMinimum_) iPosition = iMinimum_;
  iPosition_ = iPosition;
  if (pParent_ == nullptr) return;
  const double dShare = (static_cast<double>(iPosition_) - iMinimum_) /
                        (static_cast<double>(iMaximum_) - iMinimum_);
  const int32_t iTarget =
      static_cast<int32_t>(std::trunc(dFrom_ + (dTo_ - dFrom_) * dShare));
  if (bMoved_ && iTarget <= iParentPosition_) return;
  bMoved_ = true;
  iParentPosition_ = iTarget;
  pParent_->SetPosition(iTarget);
}
