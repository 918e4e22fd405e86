// The two top-level progress trackers of a run: one for a single task, one
// for a calculation over several by-groups.
#ifndef KM_FOUNDATION_KMRUNPROGRESSTRACKERS_H
#define KM_FOUNDATION_KMRUNPROGRESSTRACKERS_H

#include <cstdint>
#include <map>

#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "foundation/kmRunProgressTrackerBase.h"

// kmProgressTracker is the top-level tracker of a single task (reading back
// a results file, the calculation control of a handler). It keeps one
// current sub, and AcquireSubProgressInterface hands that same sub to every
// caller; the list of subs is not used for it. The tracker owns the sub
// (and every sub made before it) until its end.
class kmProgressTracker : public kmRunProgressTrackerBase {
 public:
  kmProgressTracker();
  ~kmProgressTracker() override;

  // Gives the values their initial state and creates a new current sub.
  void Init();
  // The current sub (the same object on every call).
  KmProgressInterface* AcquireSubProgressInterface() override;
  // Creates a new sub and makes it the current one; the previous one stays
  // valid until this tracker ends.
  KmProgressInterface* GenerateNewSubProgressInterface() override;

 private:
  kmBackgroundProgressTrackerWithBar* pCurrentSub_;  // Guarded by the lock.
};

// kmMultiProgressTracker is the top-level tracker of a calculation over
// several by-groups whose jobs run on a thread pool. It holds one sub per
// by-group index, which the calculation control looks up by index
// (GetByGroupSubProgressInterface), and every AcquireSubProgressInterface
// creates a further new sub. It owns every sub it creates until its end.
// Any thread may acquire subs, look them up and raise the cancel flag.
class kmMultiProgressTracker : public kmRunProgressTrackerBase {
 public:
  // Init(iNumByGroups).
  explicit kmMultiProgressTracker(int32_t iNumByGroups);
  ~kmMultiProgressTracker() override;

  // Gives the values their initial state and creates one sub for each
  // by-group index 0 to iNumByGroups - 1 (none when iNumByGroups <= 0).
  void Init(int32_t iNumByGroups);
  // GenerateNewSubProgressInterface().
  KmProgressInterface* AcquireSubProgressInterface() override;
  // Creates a new sub, owned by this tracker, and remembers it as the
  // latest.
  KmProgressInterface* GenerateNewSubProgressInterface() override;
  // The sub of by-group iByGroup. Throws "no sub-progress interface for
  // by-group %d" (class "kmMultiProgressTracker") when Init made none.
  kmBackgroundProgressTrackerWithBar* GetByGroupSubProgressInterface(
      int32_t iByGroup) const;

 private:
  // Guarded by the lock.
  std::map<int32_t, kmBackgroundProgressTrackerWithBar*> mByGroupSubs_;
  kmBackgroundProgressTrackerWithBar* pLatestSub_;  // Guarded by the lock.
};

#endif  // KM_FOUNDATION_KMRUNPROGRESSTRACKERS_H
