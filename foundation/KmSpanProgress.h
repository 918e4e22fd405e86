// A progress interface that carries one piece of work's position into a
// span of another's.
#ifndef KM_FOUNDATION_KMSPANPROGRESS_H
#define KM_FOUNDATION_KMSPANPROGRESS_H

#include <cstdint>

#include "foundation/KmProgressInterface.h"

// KmSpanProgress is what a step of a longer job (one search of a cohort's
// fit) is handed, so that its progress moves the job's: it has a range of
// its own (0 to 100 when new) and a position inside it, and each position
// p moves the parent to dFrom + (dTo - dFrom) x (p - minimum) / (maximum -
// minimum), truncated, the minimum to dFrom and the maximum to dTo. The
// parent only moves forward: a position that maps below what this object
// set before leaves it. Cancellation, pause and finish are the parent's,
// so the step stops when the job is cancelled. The operations not named
// here do nothing, as KmNullProgress's do. A null parent is never
// cancelled and never moved.
// REQUIRES: dFrom and dTo lie in the range of int32_t.
//
// Thread safety: none of its own. It is used by the thread doing the step
// and reaches the parent only through SetPosition and the queries, which
// the parent guards as it states.
class KmSpanProgress : public KmNullProgress {
 public:
  KmSpanProgress(KmProgressInterface* pParent, double dFrom, double dTo);

  bool IsCancelled() const override;
  bool CanContinue() const override;
  bool IsPaused() const override;
  bool IsFinished() const override;
  int32_t GetPosition() const override { return iPosition_; }
  int32_t GetMaximum() const override { return iMaximum_; }
  int32_t GetMinimum() const override { return iMinimum_; }
  // (position - minimum) x 100 / (maximum - minimum); 0 for no width.
  int32_t GetPercent() const override;
  // Stored when the range keeps a positive width, as in
  // KmBackgroundProgressTracker; the position is not moved.
  void SetMaximum(int32_t iMaximum) override;
  void SetMinimum(int32_t iMinimum) override;
  // Clamps the position into the range, stores it and moves the parent.
  void SetPosition(int32_t iPosition) override;

 private:
  KmProgressInterface* pParent_;
  double dFrom_;
  double dTo_;
  int32_t iMinimum_ = 0;
  int32_t iMaximum_ = 100;
  int32_t iPosition_ = 0;
  // The parent's position this object set last; none yet.
  bool bMoved_ = false;
  int32_t iParentPosition_ = 0;
};

#endif  // KM_FOUNDATION_KMSPANPROGRESS_H
