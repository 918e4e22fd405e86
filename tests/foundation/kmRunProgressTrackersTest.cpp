#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <set>

#include "foundation/KmException.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "foundation/kmRunProgressTrackers.h"
#include "tests/test_util/CatchKmException.h"

namespace {

kmBackgroundProgressTrackerWithBar* AsBar(KmProgressInterface* p) {
  return dynamic_cast<kmBackgroundProgressTrackerWithBar*>(p);
}

TEST(kmProgressTracker, StartsAtOneOfOneToHundredAndHandsOutOneSub) {
  kmProgressTracker tracker;
  EXPECT_EQ(tracker.GetMaximum(), 100);
  EXPECT_EQ(tracker.GetMinimum(), 1);
  EXPECT_EQ(tracker.GetPosition(), 1);
  EXPECT_EQ(tracker.GetStep(), 1);
  EXPECT_EQ(tracker.GetSubrangeMinimum(), 0);
  EXPECT_EQ(tracker.GetSubrangeMaximum(), 100);
  EXPECT_FALSE(tracker.IsCancelled());
  EXPECT_TRUE(tracker.CanContinue());

  KmProgressInterface* pFirst = tracker.AcquireSubProgressInterface();
  ASSERT_NE(pFirst, nullptr);
  EXPECT_EQ(tracker.AcquireSubProgressInterface(), pFirst);
  EXPECT_EQ(tracker.GetNumSubProgressInterfaces(), 0);
}

TEST(kmProgressTracker, StepByIsBoundedByTheMaximumButStepItIsNot) {
  kmProgressTracker tracker;
  tracker.StepBy(200);
  EXPECT_EQ(tracker.GetPosition(), 1);
  tracker.StepBy(99);
  EXPECT_EQ(tracker.GetPosition(), 100);
  tracker.SetStep(30);
  tracker.StepIt();
  EXPECT_EQ(tracker.GetPosition(), 130);
}

// Fault: StepBy formed position + n in 32 bits, so a step below the
// smallest int overflowed (undefined behaviour; in practice it wrapped to a
// huge position). It now stops at the smallest int.
TEST(kmProgressTracker, StepByBelowTheSmallestIntStopsThere) {
  kmProgressTracker tracker;
  tracker.SetPosition(INT32_MIN + 2);
  tracker.StepBy(-1);
  EXPECT_EQ(tracker.GetPosition(), INT32_MIN + 1);
  tracker.StepBy(-5);
  EXPECT_EQ(tracker.GetPosition(), INT32_MIN);
}

TEST(kmProgressTracker, DisposalFailuresAreReported) {
  kmProgressTracker tracker;
  kmMultiProgressTracker multi(1);
  struct Case {
    const char* sWhat;
    KmProgressTracker* pTracker;
    KmProgressInterface* pSub;
    const char* sMessage;
  };
  const Case kCases[] = {
      {"null", &tracker, nullptr, "null pointer: pOldInterface"},
      {"the handed-out sub, which is not listed", &tracker,
       tracker.AcquireSubProgressInterface(),
       "pOldInterface not owned; can't dispose of it"},
      {"a by-group sub", &multi, multi.GetByGroupSubProgressInterface(0),
       "pOldInterface not owned; can't dispose of it"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sWhat);
    const KmException e = km_test::CatchKmException(
        [&] { c.pTracker->DisposeOfOldSubProgressInterface(c.pSub); });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_STREQ(e.GetSource(), "DisposeOfOldSubProgressInterface");
    EXPECT_STREQ(e.GetCallPath(),
                 "DisposeOfOldSubProgressInterface of kmProgressTracker");
  }
}

TEST(kmProgressTracker, SettersStoreWithoutChecks) {
  kmProgressTracker tracker;
  tracker.SetRange(50, 10);
  tracker.SetPosition(500);
  tracker.SetSubrange(70, 60);
  EXPECT_EQ(tracker.GetMinimum(), 50);
  EXPECT_EQ(tracker.GetMaximum(), 10);
  EXPECT_EQ(tracker.GetPosition(), 500);
  EXPECT_EQ(tracker.GetSubrangeMinimum(), 70);
  EXPECT_EQ(tracker.GetSubrangeMaximum(), 60);
}

TEST(kmProgressTracker, ReleasingTheHandedOutSubIsRefused) {
  kmProgressTracker tracker;
  KmProgressInterface* pSub = tracker.AcquireSubProgressInterface();
  const KmException e = km_test::CatchKmException(
      [&] { tracker.ReleaseSubProgressInterface(pSub); });
  EXPECT_STREQ(e.GetMessage(), "pInterface is not subbed to *this");
  // The sub is still usable.
  pSub->StepIt();
  EXPECT_EQ(AsBar(pSub)->GetBarPosition(), 5);
}

// The tracker frees every sub it made at its end, including the current
// subs that a later one replaced; a replaced sub stays valid meanwhile,
// since a job may still report to it.
TEST(kmProgressTracker, ReplacedSubsStayValidUntilTheTrackerEnds) {
  kmProgressTracker tracker;
  KmProgressInterface* pOld = tracker.AcquireSubProgressInterface();
  KmProgressInterface* pNew = tracker.GenerateNewSubProgressInterface();
  EXPECT_NE(pNew, pOld);
  EXPECT_EQ(tracker.AcquireSubProgressInterface(), pNew);
  pOld->SetPosition(42);
  EXPECT_EQ(AsBar(pOld)->GetBarPosition(), 42);
}

TEST(kmProgressTracker, CancelFlagReachesEverySub) {
  kmProgressTracker tracker;
  kmBackgroundProgressTrackerWithBar* pSub =
      AsBar(tracker.AcquireSubProgressInterface());
  ASSERT_NE(pSub, nullptr);
  KmProgressInterface* pGrandchild = pSub->AcquireSubProgressInterface();
  kmBackgroundProgressTrackerWithBar* pBarGrandchild = AsBar(pGrandchild);
  ASSERT_NE(pBarGrandchild, nullptr);
  EXPECT_FALSE(pSub->GetCancelFlag());
  EXPECT_TRUE(pGrandchild->CanContinue());

  tracker.SetCancelFlag(true);
  EXPECT_TRUE(tracker.IsCancelled());
  EXPECT_FALSE(tracker.CanContinue());
  EXPECT_TRUE(pSub->GetCancelFlag());
  EXPECT_TRUE(pSub->IsCancelled());
  EXPECT_TRUE(pBarGrandchild->GetCancelFlag());
  EXPECT_FALSE(pGrandchild->CanContinue());
  EXPECT_FALSE(pSub->SetPercent(10));
}

TEST(kmBackgroundProgressTrackerWithBar, WithoutCancelFlagIsNeverCancelled) {
  kmBackgroundProgressTrackerWithBar bar(nullptr, 0, 100, 0, nullptr);
  EXPECT_FALSE(bar.GetCancelFlag());
  EXPECT_TRUE(bar.CanContinue());
}

TEST(kmBackgroundProgressTrackerWithBar, MovesOnlyItsBarPosition) {
  kmBackgroundProgressTrackerWithBar bar(nullptr, 10, 90, 3, nullptr);
  EXPECT_EQ(bar.GetMinimum(), 0);
  EXPECT_EQ(bar.GetMaximum(), 100);
  EXPECT_EQ(bar.GetStep(), 5);
  EXPECT_EQ(bar.GetBarPosition(), 3);
  EXPECT_EQ(bar.GetBarSubrangeMinimum(), 10);
  EXPECT_EQ(bar.GetBarSubrangeMaximum(), 90);

  bar.StepIt();
  EXPECT_EQ(bar.GetBarPosition(), 8);
  bar.StepBy(-10);
  EXPECT_EQ(bar.GetBarPosition(), -2);  // No clamping.
  bar.SetPosition(250);
  EXPECT_EQ(bar.GetBarPosition(), 250);
  EXPECT_EQ(bar.GetPosition(), 0);  // The base position is not the bar's.

  bar.SetRunningFlag(true);
  EXPECT_TRUE(bar.GetRunningFlag());
  bar.SetRunningFlag(false);
  EXPECT_FALSE(bar.GetRunningFlag());
}

TEST(kmBackgroundProgressTrackerWithBar, AdoptsTheValuesOfItsParent) {
  kmProgressTracker top;
  top.SetRange(5, 500);
  top.SetPosition(7);
  top.SetSubrange(20, 80);
  kmBackgroundProgressTrackerWithBar* pSub =
      AsBar(top.GenerateNewSubProgressInterface());
  EXPECT_EQ(pSub->GetMinimum(), 5);
  EXPECT_EQ(pSub->GetMaximum(), 500);
  EXPECT_EQ(pSub->GetPosition(), 7);
  EXPECT_EQ(pSub->GetBarSubrangeMinimum(), 20);
  EXPECT_EQ(pSub->GetBarSubrangeMaximum(), 80);
  EXPECT_EQ(pSub->GetBarPosition(), 0);

  // A sub of the bar takes the bar subrange of its parent bar; acquiring
  // it then moves it to its own minimum (5, taken from the top tracker).
  pSub->SetPosition(33);
  kmBackgroundProgressTrackerWithBar* pChild =
      AsBar(pSub->AcquireSubProgressInterface());
  ASSERT_NE(pChild, nullptr);
  EXPECT_EQ(pChild->GetSuper(), pSub);
  EXPECT_EQ(pChild->GetBarSubrangeMinimum(), 20);
  EXPECT_EQ(pChild->GetBarSubrangeMaximum(), 80);
  EXPECT_EQ(pChild->GetBarPosition(), 5);
  EXPECT_EQ(pSub->GetNumSubProgressInterfaces(), 1);
}

TEST(kmBackgroundProgressTrackerWithBar, MapsASubIntoItsBaseSubrange) {
  kmBackgroundProgressTrackerWithBar bar(nullptr, 0, 100, 0, nullptr);
  bar.SetSubrange(20, 40);
  KmBackgroundProgressTracker sub;
  struct Case {
    int32_t iSubPosition, iExpectedBar;
  };
  const Case kCases[] = {{50, 30}, {100, 40}, {0, 20}, {75, 35}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iSubPosition);
    bar.RespondToSubProgressPositionChange(&sub, 0, c.iSubPosition, true);
    EXPECT_EQ(bar.GetBarPosition(), c.iExpectedBar);
  }
}

TEST(kmMultiProgressTracker, HoldsOneSubPerByGroup) {
  kmMultiProgressTracker tracker(3);
  std::set<kmBackgroundProgressTrackerWithBar*> subs;
  for (int32_t i = 0; i < 3; ++i) {
    kmBackgroundProgressTrackerWithBar* pSub =
        tracker.GetByGroupSubProgressInterface(i);
    ASSERT_NE(pSub, nullptr);
    EXPECT_EQ(pSub->GetSuper(), &tracker);
    EXPECT_EQ(tracker.GetByGroupSubProgressInterface(i), pSub);
    subs.insert(pSub);
  }
  EXPECT_EQ(subs.size(), 3u);
  const KmException e = km_test::CatchKmException(
      [&] { tracker.GetByGroupSubProgressInterface(3); });
  EXPECT_STREQ(e.GetMessage(), "no sub-progress interface for by-group 3");
  EXPECT_STREQ(e.GetSource(), "kmMultiProgressTracker");
}

TEST(kmMultiProgressTracker, EveryAcquireMakesANewSub) {
  kmMultiProgressTracker tracker(2);
  std::set<KmProgressInterface*> subs;
  for (int i = 0; i < 5; ++i)
    subs.insert(tracker.AcquireSubProgressInterface());
  EXPECT_EQ(subs.size(), 5u);
  EXPECT_EQ(subs.count(tracker.GetByGroupSubProgressInterface(0)), 0u);
  EXPECT_EQ(subs.count(tracker.GetByGroupSubProgressInterface(1)), 0u);
  tracker.SetCancelFlag(true);
  for (KmProgressInterface* p : subs) EXPECT_TRUE(AsBar(p)->GetCancelFlag());
  EXPECT_TRUE(tracker.GetByGroupSubProgressInterface(1)->IsCancelled());
}

}  // namespace
