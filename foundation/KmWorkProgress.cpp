#include "foundation/KmWorkProgress.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();

}  // namespace

KmWorkProgress::KmWorkProgress(KmProgressInterface* pProgress,
                               double dTotalUnits)
    : pProgress_(pProgress), dTotal_(dTotalUnits), dNextReport_(kNever) {
  if (pProgress_ == nullptr) return;
  iMinimum_ = pProgress_->GetMinimum();
  dWidth_ = static_cast<double>(pProgress_->GetMaximum()) - iMinimum_;
  pProgress_->SetPosition(iMinimum_);
  if (dWidth_ < 1.0 || !(dTotal_ >= 1.0)) return;
  dNextReport_ = std::ceil(dTotal_ / dWidth_);
}

void KmWorkProgress::Report() {
  const double dStep =
      std::min(dWidth_, std::floor(dDone_ * dWidth_ / dTotal_));
  if (dStep > dReported_) {
    dReported_ = dStep;
    pProgress_->SetPosition(iMinimum_ + static_cast<int32_t>(dStep));
  }
  // The rounding of the products may leave a step for a later unit; the
  // next unit then reports it.
  dNextReport_ = dReported_ >= dWidth_
                     ? kNever
                     : std::ceil((dReported_ + 1.0) * dTotal_ / dWidth_);
}
