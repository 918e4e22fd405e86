// The progress and cancellation interface handed to long-running work, and
// the null implementation used where nothing is shown.
#ifndef KM_FOUNDATION_KMPROGRESSINTERFACE_H
#define KM_FOUNDATION_KMPROGRESSINTERFACE_H

#include <cstdint>

// KmProgressInterface is what reading and calculation code reports to: a
// position inside a range [minimum, maximum], a step for StepIt, a subrange
// (the part of this object's range that a sub-progress interface maps onto),
// a process text, and the query whether the work may go on. A piece of the
// work can be given a sub-progress interface whose position is folded into
// this one's.
//
// The interface fixes no locking; each implementation states its own.
// Percentages are integers 0 to 100. The process text may be null.
class KmProgressInterface {
 public:
  virtual ~KmProgressInterface();

  // The object itself.
  virtual KmProgressInterface* GetProgressInterface() { return this; }
  virtual const KmProgressInterface* GetConstProgressInterface() const {
    return this;
  }

  // Redraws a display; no implementation has one.
  virtual void Refresh() = 0;

  // Hands out a sub-progress interface; it belongs to this object, which
  // releases it (ReleaseSubProgressInterface or at its end).
  virtual KmProgressInterface* AcquireSubProgressInterface() = 0;
  // Called by a sub whose position moved from iOldPosition to iNewPosition;
  // with bCheckMembership the sub must be one of this object's.
  virtual void RespondToSubProgressPositionChange(
      KmProgressInterface* pSubInterface, int32_t iOldPosition,
      int32_t iNewPosition, bool bCheckMembership) = 0;
  // Advances the position by siPercent percent of the range.
  virtual void StepByPercentOfRange(int16_t siPercent) = 0;
  // Moves the position by iOffset.
  virtual void OffsetPosition(int32_t iOffset) = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  // Releases every sub-progress interface handed out.
  virtual void ReleaseAllSubProgressInterfaces() = 0;
  // Releases (and destroys) one sub-progress interface handed out.
  virtual void ReleaseSubProgressInterface(KmProgressInterface* pInterface) = 0;
  // Moves the position back to the minimum.
  virtual void ResetPosition() = 0;
  // Moves the position by n.
  virtual void StepBy(int32_t n) = 0;
  // Moves the position by the step.
  virtual void StepIt() = 0;

  // True once the work has been cancelled.
  virtual bool IsCancelled() const = 0;
  // True when the work may go on: neither cancelled nor paused.
  virtual bool CanContinue() const = 0;
  virtual int32_t GetPosition() const = 0;
  virtual int32_t GetMaximum() const = 0;
  virtual int32_t GetMinimum() const = 0;
  virtual int32_t GetSubrangeMaximum() const = 0;
  virtual int32_t GetSubrangeMinimum() const = 0;
  virtual bool IsPaused() const = 0;
  // The position as a percentage of the range.
  virtual int32_t GetPercent() const = 0;
  virtual int32_t GetStep() const = 0;
  virtual bool IsFinished() const = 0;

  virtual void SetMaximum(int32_t iMaximum) = 0;
  virtual void SetMinimum(int32_t iMinimum) = 0;
  virtual void SetDisplayMode(int32_t iMode) = 0;
  // Moves the position to siPercent percent of the range; returns whether
  // the work may go on.
  virtual bool SetPercent(int16_t siPercent) = 0;
  virtual void SetPosition(int32_t iPosition) = 0;
  virtual void SetProcessText(const char* sText) = 0;
  // Sets both ends of the range, calling SetMinimum and SetMaximum in the
  // order that keeps the range valid: the minimum first when it lies below
  // the present maximum, else the maximum first. So a range can move past
  // the present one in either direction.
  virtual void SetRange(int32_t iMinimum, int32_t iMaximum);
  virtual void SetStep(int32_t iStep) = 0;
  // As SetRange for the subrange, tested against the present subrange
  // maximum.
  virtual void SetSubrange(int32_t iMinimum, int32_t iMaximum);
  virtual void SetOptionFlag(bool bFlag) = 0;
  virtual void SetSubrangeMaximum(int32_t iMaximum) = 0;
  virtual void SetSubrangeMinimum(int32_t iMinimum) = 0;
  virtual void SetProcessTextAt(const char* sText, int32_t iIndex) = 0;
  // Makes pSuper the parent of this object (null: no parent).
  virtual void SetSuper(KmProgressInterface* pSuper) = 0;
};

// KmNullProgress records nothing and always lets the work go on. It has no
// state, so one object may serve any number of threads. Every getter answers
// a fixed value: position, minimum, subrange minimum and percent 0; maximum
// and subrange maximum 1; step 1; never cancelled, paused or finished.
// AcquireSubProgressInterface returns the object itself. Code may keep
// local instances or share the one program-wide instance (GetInstance).
class KmNullProgress : public KmProgressInterface {
 public:
  KmNullProgress() = default;
  ~KmNullProgress() override;

  // The program-wide instance; it lives until the program ends and may be
  // used from any thread, even while static objects are being built.
  static KmNullProgress& GetInstance();

  void Refresh() override {}
  KmProgressInterface* AcquireSubProgressInterface() override { return this; }
  void RespondToSubProgressPositionChange(KmProgressInterface*, int32_t,
                                          int32_t, bool) override {}
  void StepByPercentOfRange(int16_t) override {}
  void OffsetPosition(int32_t) override {}
  void Show() override {}
  void Hide() override {}
  void ReleaseAllSubProgressInterfaces() override {}
  void ReleaseSubProgressInterface(KmProgressInterface*) override {}
  void ResetPosition() override {}
  void StepBy(int32_t) override {}
  void StepIt() override {}

  bool IsCancelled() const override { return false; }
  bool CanContinue() const override { return true; }
  int32_t GetPosition() const override { return 0; }
  int32_t GetMaximum() const override { return 1; }
  int32_t GetMinimum() const override { return 0; }
  int32_t GetSubrangeMaximum() const override { return 1; }
  int32_t GetSubrangeMinimum() const override { return 0; }
  bool IsPaused() const override { return false; }
  int32_t GetPercent() const override { return 0; }
  int32_t GetStep() const override { return 1; }
  bool IsFinished() const override { return false; }

  void SetMaximum(int32_t) override {}
  void SetMinimum(int32_t) override {}
  void SetDisplayMode(int32_t) override {}
  bool SetPercent(int16_t) override { return true; }
  void SetPosition(int32_t) override {}
  void SetProcessText(const char*) override {}
  void SetStep(int32_t) override {}
  void SetOptionFlag(bool) override {}
  void SetSubrangeMaximum(int32_t) override {}
  void SetSubrangeMinimum(int32_t) override {}
  void SetProcessTextAt(const char*, int32_t) override {}
  void SetSuper(KmProgressInterface*) override {}
};

#endif  // KM_FOUNDATION_KMPROGRESSINTERFACE_H
