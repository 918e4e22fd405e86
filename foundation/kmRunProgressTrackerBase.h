// The state and behaviour shared by the two top-level trackers of a run.
#ifndef KM_FOUNDATION_KMRUNPROGRESSTRACKERBASE_H
#define KM_FOUNDATION_KMRUNPROGRESSTRACKERBASE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/KmProgressTracker.h"
#include "foundation/KmString.h"

class kmBackgroundProgressTrackerWithBar;

// kmRunProgressTrackerBase holds what kmProgressTracker and
// kmMultiProgressTracker have in common: the range, position and step
// stored without checks (new: range 1 to 100, position 1, step 1), a shared
// subrange (0 to 100) and shared position (0) given to new subs, the process
// text, the option flag and the run's cancel flag, which every sub reads
// through a pointer. It also owns every kmBackgroundProgressTrackerWithBar
// it creates (CreateOwnedSub) until its own end, whether or not the sub is
// still in use, so no sub is lost and none is freed under a running job.
// It prints nothing.
//
// Thread safety: any thread may read or write the values, step the position
// and raise the cancel flag (all atomic); the process text and the owned
// subs are guarded by the tracker's lock.
class kmRunProgressTrackerBase : public KmProgressTracker {
 public:
  // Releases the subs of the list, then destroys every owned sub.
  ~kmRunProgressTrackerBase() override;

  void Refresh() override {}
  int32_t GetMaximum() const override { return iMaximum_.load(); }
  int32_t GetMinimum() const override { return iMinimum_.load(); }
  int32_t GetPosition() const override { return iPosition_.load(); }
  int32_t GetStep() const override { return iStep_.load(); }
  int32_t GetSubrangeMaximum() const override {
    return iSubrangeMaximum_.load();
  }
  int32_t GetSubrangeMinimum() const override {
    return iSubrangeMinimum_.load();
  }
  // The position handed to new subs.
  int32_t GetSharedPosition() const { return iSharedPosition_.load(); }
  bool GetOptionFlag() const override { return bOptionFlag_.load(); }
  // The run's cancel flag.
  bool IsCancelled() const override { return bCancelFlag_.load(); }
  bool IsPaused() const override { return false; }
  bool IsFinished() const override { return false; }

  // The setters store the value without checks, clamping or notification.
  void SetMaximum(int32_t iMaximum) override { iMaximum_.store(iMaximum); }
  void SetMinimum(int32_t iMinimum) override { iMinimum_.store(iMinimum); }
  void SetPosition(int32_t iPosition) override { iPosition_.store(iPosition); }
  void SetStep(int32_t iStep) override { iStep_.store(iStep); }
  void SetOptionFlag(bool bFlag) override { bOptionFlag_.store(bFlag); }
  void SetSubrangeMaximum(int32_t iMaximum) override {
    iSubrangeMaximum_.store(iMaximum);
  }
  void SetSubrangeMinimum(int32_t iMinimum) override {
    iSubrangeMinimum_.store(iMinimum);
  }
  // SetMinimum, then SetMaximum.
  void SetRange(int32_t iMinimum, int32_t iMaximum) override;
  // Stores the text (null gives ""), under the lock: several jobs may set
  // it at once.
  void SetProcessText(const char* sText) override;
  // Adds n to the position when the sum does not exceed the maximum;
  // otherwise the position stays. One atomic step, so jobs on several
  // threads may advance the same tracker.
  void StepBy(int32_t n) override;
  // Adds the step to the position, without a bound (atomic).
  void StepIt() override;
  // Releases the sub's own subs, detaches it, moves it to its minimum,
  // clears its option flag and destroys it. Throws "null pointer:
  // pOldInterface", "pOldInterface not owned; can't dispose of it" for a
  // sub not in the list and "pOldInterface is not of type
  // KmBackgroundProgressTracker" (class "DisposeOfOldSubProgressInterface").
  void DisposeOfOldSubProgressInterface(
      KmProgressInterface* pInterface) override;

  // Raises (true) or clears the run's cancel flag; any thread may call it.
  // Every sub sees the flag through GetCancelFlag, and IsCancelled of this
  // tracker and of its subs answers it.
  void SetCancelFlag(bool bCancel) { bCancelFlag_.store(bCancel); }
  bool GetCancelFlag() const { return bCancelFlag_.load(); }

 protected:
  kmRunProgressTrackerBase();

  // Gives the values their initial state (the cancel flag cleared).
  void ResetRunValues();
  // Creates a sub kmBackgroundProgressTrackerWithBar(this, shared subrange,
  // shared position, cancel flag) that this tracker owns until its end.
  kmBackgroundProgressTrackerWithBar* CreateOwnedSub();

 private:
  std::atomic<int32_t> iMaximum_;
  std::atomic<int32_t> iMinimum_;
  std::atomic<int32_t> iPosition_;
  std::atomic<int32_t> iStep_;
  std::atomic<bool> bCancelFlag_;
  // A second run flag beside the cancel flag; cleared with the run values
  // and read by nothing yet.
  bool bSecondFlag_;
  KmString sProcessText_;  // Guarded by the lock.
  std::atomic<int32_t> iSubrangeMaximum_;
  std::atomic<int32_t> iSubrangeMinimum_;
  std::atomic<int32_t> iSharedPosition_;
  std::atomic<bool> bOptionFlag_;
  // Every sub this tracker created; guarded by the lock.
  std::vector<std::unique_ptr<kmBackgroundProgressTrackerWithBar>> vOwned_;
};

#endif  // KM_FOUNDATION_KMRUNPROGRESSTRACKERBASE_H
