// A progress tracker that stores its range, position, subrange and step and
// shows nothing.
#ifndef KM_FOUNDATION_KMBACKGROUNDPROGRESSTRACKER_H
#define KM_FOUNDATION_KMBACKGROUNDPROGRESSTRACKER_H

#include <atomic>
#include <cstdint>

#include "foundation/KmProgressTracker.h"

// KmBackgroundProgressTracker is the plain node of a progress tree: it keeps
// the values in fields and hands out subs of its own type. A new tracker has
// the range 0 to 100, position 0, subrange 0 to 100, step 1 and the option
// flag clear (the flag, when set, makes it ignore its subs' movements).
//
// Its setters keep minimum < maximum and minimum <= subrange minimum <
// subrange maximum <= maximum, refusing values that would break them;
// SetPosition keeps the position inside the range. Every value is atomic, so
// a parent may read a sub's percent while the sub's own thread moves it; the
// range setters run under the tracker's lock so that their compound updates
// do not interleave.
class KmBackgroundProgressTracker : public KmProgressTracker {
 public:
  KmBackgroundProgressTracker();
  // Releases (destroys) all subs first.
  ~KmBackgroundProgressTracker() override;

  void Refresh() override {}
  int32_t GetPosition() const override { return iPosition_.load(); }
  int32_t GetMaximum() const override { return iMaximum_.load(); }
  int32_t GetMinimum() const override { return iMinimum_.load(); }
  int32_t GetSubrangeMaximum() const override {
    return iSubrangeMaximum_.load();
  }
  int32_t GetSubrangeMinimum() const override {
    return iSubrangeMinimum_.load();
  }
  int32_t GetStep() const override { return iStep_.load(); }
  bool GetOptionFlag() const override { return bOptionFlag_.load(); }

  // Stores iPosition limited to [minimum, maximum]. When the tracker has a
  // parent and the position changed, calls the parent's
  // RespondToSubProgressPositionChange(this, old, new, true); that call's
  // failures pass on.
  void SetPosition(int32_t iPosition) override;
  // Ignored unless iMaximum > minimum. A maximum below the subrange maximum
  // pulls the subrange maximum down to it (and the subrange minimum to
  // iMaximum - 1 first when needed). The position is not clamped here.
  void SetMaximum(int32_t iMaximum) override;
  // Ignored unless iMinimum < maximum. A minimum above the subrange minimum
  // pushes the subrange minimum up to it (and the subrange maximum to
  // iMinimum + 1 first when needed).
  void SetMinimum(int32_t iMinimum) override;
  // Stored only when subrange minimum < iMaximum <= maximum.
  void SetSubrangeMaximum(int32_t iMaximum) override;
  // Stored only when minimum <= iMinimum < subrange maximum.
  void SetSubrangeMinimum(int32_t iMinimum) override;
  // SetPosition(minimum).
  void ResetPosition() override;
  // SetPosition(position + n).
  void StepBy(int32_t n) override;
  // SetPosition(position + step).
  void StepIt() override;
  void SetStep(int32_t iStep) override { iStep_.store(iStep); }
  void SetOptionFlag(bool bFlag) override { bOptionFlag_.store(bFlag); }
  void SetProcessText(const char*) override {}

  // A new KmBackgroundProgressTracker with the initial values, put into the
  // list of subs (its parent is set by AcquireSubProgressInterface).
  KmProgressInterface* GenerateNewSubProgressInterface() override;
  // Releases the sub's own subs, takes it out of the list and destroys it.
  // Throws "null pointer:
  // pInterface", "pInterface not owned; can't dispose of it" for a sub not
  // in the list and "pInterface is not of type KmBackgroundProgressTracker*"
  // for one of another type (class "DisposeOfOldSubProgressInterface").
  void DisposeOfOldSubProgressInterface(
      KmProgressInterface* pInterface) override;

 protected:
  // Stores range and position as given, without the setters' checks; for
  // descendants that adopt the values of a parent.
  void StoreRangeAndPosition(int32_t iMinimum, int32_t iMaximum,
                             int32_t iPosition);

 private:
  std::atomic<int32_t> iMinimum_;
  std::atomic<int32_t> iMaximum_;
  std::atomic<int32_t> iPosition_;
  std::atomic<int32_t> iSubrangeMinimum_;
  std::atomic<int32_t> iSubrangeMaximum_;
  std::atomic<int32_t> iStep_;
  std::atomic<bool> bOptionFlag_;
};

#endif  // KM_FOUNDATION_KMBACKGROUNDPROGRESSTRACKER_H
