// The position of a piece of work whose size is known in advance.
#ifndef KM_FOUNDATION_KMWORKPROGRESS_H
#define KM_FOUNDATION_KMWORKPROGRESS_H

#include <cstdint>

#include "foundation/KmProgressInterface.h"

// KmWorkProgress moves a progress interface across its range while a known
// number of units of work are done (the placements of a search): after d of
// n units the position is minimum + (maximum - minimum) x d / n, truncated,
// so it reaches the maximum with the last unit. The range is read once, at
// the start; the position is set only when it changes, so a unit costs an
// addition and a comparison, and the work makes at most one call per
// position of the range whatever its size.
//
// Thread safety: none; the object belongs to the thread doing the work.
class KmWorkProgress {
 public:
  // Moves pProgress to its minimum. A null pProgress, a range of no width
  // or a total below one unit reports nothing.
  KmWorkProgress(KmProgressInterface* pProgress, double dTotalUnits);
  KmWorkProgress(const KmWorkProgress&) = delete;
  KmWorkProgress& operator=(const KmWorkProgress&) = delete;

  // One more unit done.
  void StepIt() {
    dDone_ += 1.0;
    if (dDone_ >= dNextReport_) Report();
  }

 private:
  // Sets the position the units done reach, and the count of units at
  // which the next one is reached.
  void Report();

  KmProgressInterface* pProgress_;
  double dTotal_;
  int32_t iMinimum_ = 0;
  double dWidth_ = 0.0;
  double dDone_ = 0.0;
  double dNextReport_;
  double dReported_ = 0.0;
};

#endif  // KM_FOUNDATION_KMWORKPROGRESS_H
