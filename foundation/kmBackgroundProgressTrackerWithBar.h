// The progress tracker that one job of a calculation run reports to.
#ifndef KM_FOUNDATION_KMBACKGROUNDPROGRESSTRACKERWITHBAR_H
#define KM_FOUNDATION_KMBACKGROUNDPROGRESSTRACKERWITHBAR_H

#include <atomic>
#include <cstdint>
#include <mutex>

#include "foundation/KmBackgroundProgressTracker.h"
#include "foundation/KmString.h"

// kmBackgroundProgressTrackerWithBar is the sub that a job (one cohort task
// on a pool thread) reports to. Its position goes into a bar position kept
// apart from the stored values of KmBackgroundProgressTracker, with a bar
// subrange beside it; SetPosition, StepBy and StepIt move only the bar
// position and notify no parent. The getters of the base (GetPosition,
// GetMinimum, ...) keep reading the base values. The job polls the run's
// cancel flag (GetCancelFlag) through a pointer into the top-level tracker,
// and IsCancelled/CanContinue ask the parent, so they follow the same flag.
//
// New trackers have base range 0 to 100, position 0 and step 5.
//
// Thread safety: the bar values and the cancel flag are atomic, so one
// thread may move the bar while another reads it; StepBy, the running flag
// and the process text are guarded by the tracker's mutex.
class kmBackgroundProgressTrackerWithBar : public KmBackgroundProgressTracker {
 public:
  // The bar subrange and bar position start as given; pCancelFlag points to
  // the run's cancel flag (null: never cancelled) and must outlive this
  // tracker. A non-null pSuper becomes the parent through SetSuper, which
  // may replace the bar values (see there).
  kmBackgroundProgressTrackerWithBar(KmProgressInterface* pSuper,
                                     int32_t iSubrangeMinimum,
                                     int32_t iSubrangeMaximum,
                                     int32_t iPosition,
                                     const std::atomic<bool>* pCancelFlag);
  // Releases the subs of the list (as the base does).
  ~kmBackgroundProgressTrackerWithBar() override;

  // Stores the parent. A kmProgressTracker parent also gives its minimum,
  // maximum and position to the base values and its shared subrange and
  // shared position to the bar values; a kmBackgroundProgressTrackerWithBar
  // parent gives its three bar values. Other parents change nothing more.
  void SetSuper(KmProgressInterface* pSuper) override;
  // Stores iPosition into the bar position as it is; notifies nobody.
  void SetPosition(int32_t iPosition) override;
  // Adds n to the bar position, under the mutex.
  void StepBy(int32_t n) override;
  // StepBy(GetStep()).
  void StepIt() override;
  // Maps the sub's new position onto the base subrange, as a single sub of
  // KmProgressTracker is mapped, and stores it with SetPosition. No
  // membership test and no option flag; a null sub throws "pProgress is
  // not a sub-progress of *this".
  void RespondToSubProgressPositionChange(KmProgressInterface* pSubInterface,
                                          int32_t iOldPosition,
                                          int32_t iNewPosition,
                                          bool bCheckMembership) override;
  // Stores the text (a null text is ignored).
  void SetProcessText(const char* sText) override;
  // A new tracker with this one's parent, its bar subrange, position 0 and
  // the same cancel-flag pointer, put into the list of subs
  // (AcquireSubProgressInterface then makes this tracker its parent).
  KmProgressInterface* GenerateNewSubProgressInterface() override;

  // The run's cancel flag; false when there is none.
  bool GetCancelFlag() const;
  // Marks the job as running or not, under the mutex.
  void SetRunningFlag(bool bRunning);
  bool GetRunningFlag() const;

  int32_t GetBarPosition() const { return iBarPosition_.load(); }
  int32_t GetBarSubrangeMinimum() const { return iBarSubrangeMinimum_.load(); }
  int32_t GetBarSubrangeMaximum() const { return iBarSubrangeMaximum_.load(); }

 private:
  const std::atomic<bool>* pCancelFlag_;
  // The text of the first process of the job; empty, since nothing sets it.
  KmString sFirstProcessText_;
  KmString sProcessText_;  // Guarded by mutex_.
  mutable std::mutex mutex_;
  bool bRunning_;  // Guarded by mutex_.
  std::atomic<int32_t> iBarPosition_;
  std::atomic<int32_t> iBarSubrangeMinimum_;
  std::atomic<int32_t> iBarSubrangeMaximum_;
};

#endif  // KM_FOUNDATION_KMBACKGROUNDPROGRESSTRACKERWITHBAR_H
