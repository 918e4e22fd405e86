// The common implementation of the progress interface for trackers that
// form a tree of owned sub-progress interfaces.
#ifndef KM_FOUNDATION_KMPROGRESSTRACKER_H
#define KM_FOUNDATION_KMPROGRESSTRACKER_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/KmProgressInterface.h"
#include "foundation/platform/KmCriticalSection.h"

// KmProgressTracker is a node of a progress tree. It has an optional parent
// (its super) and owns the sub-progress interfaces it hands out, in order of
// acquisition. When a sub moves, it calls RespondToSubProgressPositionChange
// of its parent, which recomputes its own position from its subs and maps
// it into its subrange; the change travels up to the root.
//
// Descendants supply the stored values (getters and setters of position,
// range, subrange, step, option flag and process text), the creation and
// disposal of subs (GenerateNewSubProgressInterface,
// DisposeOfOldSubProgressInterface) and Refresh.
//
// Thread safety: workers on several threads may report through subs of one
// parent. Each tracker has one recursive lock (GetLock) that guards its list
// of subs; it is held while a sub is acquired or released and while the
// subs' positions are read to compute this tracker's new position. The new
// position is stored, and passed further up, after the lock is given back:
// locks nest only from a parent down to its subs (while releasing them), so
// no two threads can deadlock. A thread that stored an older position than
// another thread computes again after its store, so once the subs stop
// moving the parent holds the position of their final state. A sub must not
// be released while another thread still uses it or one of its
// descendants.
//
// Failures are KmException; each operation adds its name and class to the
// call path of a passing exception.
class KmProgressTracker : public KmProgressInterface {
 public:
  KmProgressTracker();
  // Frees the list and the lock; descendants release the subs first.
  ~KmProgressTracker() override;
  KmProgressTracker(const KmProgressTracker&) = delete;
  KmProgressTracker& operator=(const KmProgressTracker&) = delete;

  // Under the lock: GenerateNewSubProgressInterface, which puts a new sub
  // into the list; the sub gets this tracker as parent. Then it is moved to
  // its own minimum and given display mode 0 and no process text. Returns
  // the sub, or null when none was made.
  KmProgressInterface* AcquireSubProgressInterface() override;
  // Folds the movement of a sub into this tracker's position, under the
  // lock. Throws when pSubInterface is null, or when bCheckMembership is set
  // and it is not one of this tracker's subs ("pProgress is not a
  // sub-progress of *this"). Nothing more happens while the option flag is
  // set. With one sub, iNewPosition is mapped linearly from the sub's range
  // onto this tracker's subrange (the sub's ends to the subrange's ends);
  // otherwise this tracker moves to subrange minimum + (subrange width) x
  // (mean percent of all subs) / 100, truncated and kept inside the
  // subrange. A sub range of zero width counts as 0 %. The new position is
  // set with SetPosition once the lock is given back; for a listed sub it is
  // then computed again from the subs' present positions and set again
  // until it stays the same, so a concurrent movement is never lost.
  void RespondToSubProgressPositionChange(KmProgressInterface* pSubInterface,
                                          int32_t iOldPosition,
                                          int32_t iNewPosition,
                                          bool bCheckMembership) override;
  // SetPosition(position + siPercent x (maximum - minimum) / 100).
  void StepByPercentOfRange(int16_t siPercent) override;
  // SetPosition(position + iOffset).
  void OffsetPosition(int32_t iOffset) override;
  void Show() override {}
  void Hide() override {}
  void SetDisplayMode(int32_t) override {}
  // Releases the subs from the last to the first, under the lock.
  void ReleaseAllSubProgressInterfaces() override;
  // Throws "Null pointer: pInterface" for null and, under the lock, "pInterface
  // is not subbed to *this" for an interface that is not in the list (class
  // "KmProgressTracker"). Otherwise DisposeOfOldSubProgressInterface takes it
  // out of the list and destroys it; the other subs keep their order.
  void ReleaseSubProgressInterface(KmProgressInterface* pInterface) override;
  // SetPosition(GetMinimum()).
  void ResetPosition() override;
  // SetPosition(GetPosition() + n).
  void StepBy(int32_t n) override;
  // SetPosition(GetPosition() + GetStep()).
  void StepIt() override;

  // The parent's answers; false without a parent.
  bool IsCancelled() const override;
  bool IsPaused() const override;
  bool IsFinished() const override;
  // Neither cancelled nor paused.
  bool CanContinue() const override;
  // (position - minimum) x 100 / (maximum - minimum), truncated toward zero;
  // 0 for a range of zero width.
  int32_t GetPercent() const override;
  // SetPosition(minimum + (maximum - minimum) x siPercent / 100); returns
  // CanContinue().
  bool SetPercent(int16_t siPercent) override;
  // SetProcessText(sText); iIndex is not used.
  void SetProcessTextAt(const char* sText, int32_t iIndex) override;
  void SetSuper(KmProgressInterface* pSuper) override;

  // Takes a sub of this tracker out of the list (TakeSub) and destroys it;
  // called by ReleaseSubProgressInterface with the lock held.
  virtual void DisposeOfOldSubProgressInterface(
      KmProgressInterface* pInterface) = 0;
  // Makes a new sub that this tracker owns, or returns null; the caller
  // only borrows it. Called by AcquireSubProgressInterface with the lock
  // held; a sub to be handed out through the list is put there by AdoptSub.
  virtual KmProgressInterface* GenerateNewSubProgressInterface() = 0;
  // The iIndex-th sub in order of acquisition. Throws "no sub-interfaces
  // available" when there is none and "iIndex(==i) out of range [0, n-1]"
  // otherwise (class "GetSubProgressInterface").
  virtual KmProgressInterface* GetSubProgressInterface(int32_t iIndex) const;
  // The parent, or null.
  virtual KmProgressInterface* GetSuper() const;
  // True when sub movements are to be ignored.
  virtual bool GetOptionFlag() const = 0;
  virtual bool HasSuper() const;
  // Whether pInterface is in the list of subs.
  virtual bool IsSubProgressInterface(
      const KmProgressInterface* pInterface) const;
  // The tracker's recursive lock.
  virtual KmCriticalSection& GetLock() const;
  virtual int32_t GetNumSubProgressInterfaces() const;

 protected:
  // The position that iNewPosition of a sub with the range [sub minimum, sub
  // maximum] takes in the subrange [iSubrangeMinimum, iSubrangeMaximum]:
  // the sub's maximum gives the subrange maximum, its minimum the subrange
  // minimum, a sub range of zero width the subrange minimum, anything else
  // the linear interpolation truncated toward zero.
  static int32_t MapIntoSubrange(const KmProgressInterface& sub,
                                 int32_t iNewPosition, int32_t iSubrangeMinimum,
                                 int32_t iSubrangeMaximum);
  // Appends pSub to the list of subs, which owns it from then on; returns
  // it.
  KmProgressInterface* AdoptSub(std::unique_ptr<KmProgressInterface> pSub);
  // Takes pInterface out of the list, the other subs keeping their order,
  // and hands it to the caller; null when it is not in the list.
  std::unique_ptr<KmProgressInterface> TakeSub(
      const KmProgressInterface* pInterface);

 private:
  // This tracker's new position after sub moved to iNewPosition (see
  // RespondToSubProgressPositionChange). REQUIRES: the lock is held.
  int32_t ComputeTargetPosition(const KmProgressInterface& sub,
                                int32_t iNewPosition) const;
  // Index of pInterface in the list, or -1. REQUIRES: the lock is held.
  int32_t FindSub(const KmProgressInterface* pInterface) const;

  std::atomic<KmProgressInterface*> pSuper_;
  mutable KmCriticalSection lock_;
  // The subs handed out, in order of acquisition; guarded by lock_.
  std::vector<std::unique_ptr<KmProgressInterface>> vSubs_;
};

#endif  // KM_FOUNDATION_KMPROGRESSTRACKER_H
