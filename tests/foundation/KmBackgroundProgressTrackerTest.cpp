#include <gtest/gtest.h>

#include <string>

#include "foundation/KmBackgroundProgressTracker.h"
#include "foundation/KmException.h"
#include "foundation/kmRunProgressTrackers.h"
#include "tests/test_util/CatchKmException.h"

namespace {

// A tracker that counts the sub movements reported to it.
class CountingTracker : public KmBackgroundProgressTracker {
 public:
  void RespondToSubProgressPositionChange(KmProgressInterface* pSub,
                                          int32_t iOld, int32_t iNew,
                                          bool bCheck) override {
    ++iCalls;
    KmBackgroundProgressTracker::RespondToSubProgressPositionChange(
        pSub, iOld, iNew, bCheck);
  }
  int iCalls = 0;
};

TEST(KmBackgroundProgressTracker, StartsAtZeroOfZeroToHundred) {
  KmBackgroundProgressTracker tracker;
  EXPECT_EQ(tracker.GetMinimum(), 0);
  EXPECT_EQ(tracker.GetMaximum(), 100);
  EXPECT_EQ(tracker.GetPosition(), 0);
  EXPECT_EQ(tracker.GetSubrangeMinimum(), 0);
  EXPECT_EQ(tracker.GetSubrangeMaximum(), 100);
  EXPECT_EQ(tracker.GetStep(), 1);
  EXPECT_EQ(tracker.GetPercent(), 0);
  EXPECT_FALSE(tracker.GetOptionFlag());
  EXPECT_FALSE(tracker.HasSuper());
  EXPECT_TRUE(tracker.CanContinue());
  for (int i = 0; i < 10; ++i) tracker.StepIt();
  EXPECT_EQ(tracker.GetPosition(), 10);
  EXPECT_EQ(tracker.GetPercent(), 10);
}

TEST(KmBackgroundProgressTracker, PositionMovesAreClampedToTheRange) {
  struct Case {
    const char* sWhat;
    int32_t iStart;
    void (*move)(KmBackgroundProgressTracker&);
    int32_t iExpected;
  };
  const Case kCases[] = {
      {"SetPosition(150)", 0,
       [](KmBackgroundProgressTracker& t) { t.SetPosition(150); }, 100},
      {"SetPosition(-5)", 50,
       [](KmBackgroundProgressTracker& t) { t.SetPosition(-5); }, 0},
      {"StepBy(30)", 80, [](KmBackgroundProgressTracker& t) { t.StepBy(30); },
       100},
      {"OffsetPosition(-30)", 20,
       [](KmBackgroundProgressTracker& t) { t.OffsetPosition(-30); }, 0},
      {"StepByPercentOfRange(25)", 10,
       [](KmBackgroundProgressTracker& t) { t.StepByPercentOfRange(25); }, 35},
      {"SetPercent(40)", 90,
       [](KmBackgroundProgressTracker& t) { t.SetPercent(40); }, 40},
      {"ResetPosition", 90,
       [](KmBackgroundProgressTracker& t) { t.ResetPosition(); }, 0},
      {"StepBy(INT32_MAX)", 5,
       [](KmBackgroundProgressTracker& t) { t.StepBy(INT32_MAX); }, 100},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sWhat);
    KmBackgroundProgressTracker tracker;
    tracker.SetPosition(c.iStart);
    c.move(tracker);
    EXPECT_EQ(tracker.GetPosition(), c.iExpected);
  }
}

TEST(KmBackgroundProgressTracker, SettingTheSamePositionDoesNotCallTheParent) {
  CountingTracker parent;
  KmProgressInterface* pSub = parent.AcquireSubProgressInterface();
  parent.iCalls = 0;
  pSub->SetPosition(30);
  EXPECT_EQ(parent.iCalls, 1);
  pSub->SetPosition(30);
  pSub->SetPosition(250);  // Clamped to 100: a change.
  pSub->SetPosition(100);
  EXPECT_EQ(parent.iCalls, 2);
}

TEST(KmBackgroundProgressTracker, RangeSettersKeepTheSubrangeInside) {
  struct Case {
    const char* sWhat;
    void (*change)(KmBackgroundProgressTracker&);
    int32_t iMinimum, iMaximum, iSubMinimum, iSubMaximum;
  };
  const Case kCases[] = {
      {"SetMaximum(0) is refused",
       [](KmBackgroundProgressTracker& t) { t.SetMaximum(0); }, 0, 100, 0, 100},
      {"SetMaximum(50) pulls the subrange maximum",
       [](KmBackgroundProgressTracker& t) { t.SetMaximum(50); }, 0, 50, 0, 50},
      {"SetMinimum(60) after SetMaximum(50) is refused",
       [](KmBackgroundProgressTracker& t) {
         t.SetMaximum(50);
         t.SetMinimum(60);
       },
       0, 50, 0, 50},
      {"SetMinimum(60) with subrange 0 to 50",
       [](KmBackgroundProgressTracker& t) {
         t.SetSubrangeMaximum(50);
         t.SetMinimum(60);
       },
       60, 100, 60, 61},
      {"SetMaximum(5) with subrange 10 to 50",
       [](KmBackgroundProgressTracker& t) {
         t.SetSubrange(10, 50);
         t.SetMaximum(5);
       },
       0, 5, 4, 5},
      {"SetSubrangeMaximum beyond the maximum is refused",
       [](KmBackgroundProgressTracker& t) { t.SetSubrangeMaximum(101); }, 0,
       100, 0, 100},
      {"SetSubrangeMinimum below the minimum is refused",
       [](KmBackgroundProgressTracker& t) { t.SetSubrangeMinimum(-1); }, 0, 100,
       0, 100},
      {"SetSubrangeMinimum at the subrange maximum is refused",
       [](KmBackgroundProgressTracker& t) { t.SetSubrangeMinimum(100); }, 0,
       100, 0, 100},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sWhat);
    KmBackgroundProgressTracker tracker;
    c.change(tracker);
    EXPECT_EQ(tracker.GetMinimum(), c.iMinimum);
    EXPECT_EQ(tracker.GetMaximum(), c.iMaximum);
    EXPECT_EQ(tracker.GetSubrangeMinimum(), c.iSubMinimum);
    EXPECT_EQ(tracker.GetSubrangeMaximum(), c.iSubMaximum);
  }
}

TEST(KmBackgroundProgressTracker, SetMaximumDoesNotClampThePosition) {
  KmBackgroundProgressTracker tracker;
  tracker.SetPosition(80);
  tracker.SetMaximum(50);
  EXPECT_EQ(tracker.GetPosition(), 80);
}

TEST(KmBackgroundProgressTracker, SingleSubMapsIntoTheParentSubrange) {
  struct Case {
    int32_t iSubPosition;
    int32_t iExpectedParent;
  };
  const Case kCases[] = {{50, 30}, {100, 40}, {25, 25}, {99, 39}, {0, 20}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iSubPosition);
    KmBackgroundProgressTracker parent;
    parent.SetSubrange(20, 40);
    KmProgressInterface* pSub = parent.AcquireSubProgressInterface();
    pSub->SetPosition(1);  // Away from the start, so 0 is a change too.
    pSub->SetPosition(c.iSubPosition);
    EXPECT_EQ(parent.GetPosition(), c.iExpectedParent);
  }
}

TEST(KmBackgroundProgressTracker, SeveralSubsAverageTheirPercents) {
  KmBackgroundProgressTracker parent;
  KmProgressInterface* pFirst = parent.AcquireSubProgressInterface();
  KmProgressInterface* pSecond = parent.AcquireSubProgressInterface();
  pFirst->SetPercent(50);
  pSecond->SetPercent(100);
  EXPECT_EQ(parent.GetPosition(), 75);

  // A third sub at 0 % counts once it moves.
  KmProgressInterface* pThird = parent.AcquireSubProgressInterface();
  pThird->SetPosition(30);  // (50 + 100 + 30) / 3 = 60 %.
  EXPECT_EQ(parent.GetPosition(), 60);
}

TEST(KmBackgroundProgressTracker, AveragedPositionStaysInsideTheSubrange) {
  KmBackgroundProgressTracker parent;
  parent.SetSubrange(10, 20);
  KmProgressInterface* pFirst = parent.AcquireSubProgressInterface();
  KmProgressInterface* pSecond = parent.AcquireSubProgressInterface();
  pFirst->SetPosition(100);
  EXPECT_EQ(parent.GetPosition(), 15);
  pSecond->SetPosition(100);
  EXPECT_EQ(parent.GetPosition(), 20);
}

TEST(KmBackgroundProgressTracker, OptionFlagMakesTheParentIgnoreItsSubs) {
  KmBackgroundProgressTracker parent;
  parent.SetOptionFlag(true);
  KmProgressInterface* pSub = parent.AcquireSubProgressInterface();
  pSub->SetPosition(70);
  EXPECT_EQ(parent.GetPosition(), 0);
  parent.SetOptionFlag(false);
  pSub->SetPosition(80);
  EXPECT_EQ(parent.GetPosition(), 80);
}

TEST(KmBackgroundProgressTracker, MovementTravelsUpTheTree) {
  KmBackgroundProgressTracker root;
  root.SetSubrange(0, 50);
  KmProgressInterface* pMiddle = root.AcquireSubProgressInterface();
  pMiddle->SetSubrange(0, 50);
  KmProgressInterface* pLeaf = pMiddle->AcquireSubProgressInterface();
  pLeaf->SetPosition(100);
  EXPECT_EQ(pMiddle->GetPosition(), 50);
  EXPECT_EQ(root.GetPosition(), 25);
}

TEST(KmBackgroundProgressTracker, SubsAreListedInOrderAndReleasedKeepingIt) {
  KmBackgroundProgressTracker parent;
  KmProgressInterface* pSubs[3];
  for (auto& p : pSubs) p = parent.AcquireSubProgressInterface();
  ASSERT_EQ(parent.GetNumSubProgressInterfaces(), 3);
  auto* pTracker = dynamic_cast<KmProgressTracker*>(pSubs[1]);
  ASSERT_NE(pTracker, nullptr);
  EXPECT_EQ(pTracker->GetSuper(), &parent);
  EXPECT_TRUE(parent.IsSubProgressInterface(pSubs[2]));

  parent.ReleaseSubProgressInterface(pSubs[1]);
  ASSERT_EQ(parent.GetNumSubProgressInterfaces(), 2);
  EXPECT_EQ(parent.GetSubProgressInterface(0), pSubs[0]);
  EXPECT_EQ(parent.GetSubProgressInterface(1), pSubs[2]);

  // Releasing a sub also releases its own subs (no leak under ASan).
  pSubs[0]->AcquireSubProgressInterface();
  parent.ReleaseAllSubProgressInterfaces();
  EXPECT_EQ(parent.GetNumSubProgressInterfaces(), 0);
}

TEST(KmBackgroundProgressTracker, ReleaseAndLookupFailuresAreReported) {
  KmBackgroundProgressTracker parent;
  KmBackgroundProgressTracker other;
  KmProgressInterface* pForeign = other.AcquireSubProgressInterface();

  struct Case {
    const char* sWhat;
    KmException e;
    const char* sMessage;
    const char* sSource;
    const char* sCallPath;
  };
  const Case kCases[] = {
      {"release a sub of another tracker", km_test::CatchKmException([&] {
         parent.ReleaseSubProgressInterface(pForeign);
       }),
       "pInterface is not subbed to *this", "KmProgressTracker",
       "ReleaseSubProgressInterface of KmProgressTracker"},
      {"release null", km_test::CatchKmException([&] {
         parent.ReleaseSubProgressInterface(nullptr);
       }),
       "Null pointer: pInterface", "KmProgressTracker",
       "ReleaseSubProgressInterface of KmProgressTracker"},
      {"index into an empty list",
       km_test::CatchKmException([&] { parent.GetSubProgressInterface(0); }),
       "no sub-interfaces available", "GetSubProgressInterface",
       "GetSubProgressInterface of KmProgressTracker"},
      {"index past the end",
       km_test::CatchKmException([&] { other.GetSubProgressInterface(1); }),
       "iIndex(==1) out of range [0, 0]", "GetSubProgressInterface",
       "GetSubProgressInterface of KmProgressTracker"},
      {"dispose of a foreign sub", km_test::CatchKmException([&] {
         parent.DisposeOfOldSubProgressInterface(pForeign);
       }),
       "pInterface not owned; can't dispose of it",
       "DisposeOfOldSubProgressInterface",
       "DisposeOfOldSubProgressInterface of KmBackgroundProgressTracker"},
      {"dispose of null", km_test::CatchKmException([&] {
         parent.DisposeOfOldSubProgressInterface(nullptr);
       }),
       "null pointer: pInterface", "DisposeOfOldSubProgressInterface",
       "DisposeOfOldSubProgressInterface of KmBackgroundProgressTracker"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sWhat);
    EXPECT_STREQ(c.e.GetMessage(), c.sMessage);
    EXPECT_STREQ(c.e.GetSource(), c.sSource);
    EXPECT_STREQ(c.e.GetCallPath(), c.sCallPath);
  }
  // The foreign sub is untouched and still belongs to its tracker.
  EXPECT_TRUE(other.IsSubProgressInterface(pForeign));
}

TEST(KmBackgroundProgressTracker, MovingASubThatItsParentDoesNotListFails) {
  KmBackgroundProgressTracker parent;
  KmBackgroundProgressTracker stray;
  stray.SetSuper(&parent);
  const KmException e =
      km_test::CatchKmException([&] { stray.SetPosition(10); });
  EXPECT_STREQ(e.GetMessage(), "pProgress is not a sub-progress of *this");
  EXPECT_STREQ(e.GetSource(), "RespondToSubProgressPositionChange");
  EXPECT_STREQ(e.GetCallPath(),
               "RespondToSubProgressPositionChange of KmProgressTracker\r\n"
               "SetPosition of KmBackgroundProgressTracker");
  // A caller's own layer adds its line after those.
  const KmException eStep = km_test::CatchKmException([&] { stray.StepBy(5); });
  EXPECT_STREQ(eStep.GetCallPath(),
               "RespondToSubProgressPositionChange of KmProgressTracker\r\n"
               "SetPosition of KmBackgroundProgressTracker\r\n"
               "StepBy of KmBackgroundProgressTracker");
}

// Fault: the mapping of a sub's position divided by the width of the sub's
// range, and a sub whose bounds are stored without checks can have a width
// of zero. Such a sub now counts as 0 %.
TEST(KmBackgroundProgressTracker, ZeroWidthSubRangeCountsAsZeroPercent) {
  kmProgressTracker flat;  // Stores its bounds without checks.
  flat.SetRange(5, 5);
  flat.SetPosition(7);
  EXPECT_EQ(flat.GetPercent(), 0);

  KmBackgroundProgressTracker parent;
  parent.SetSubrange(20, 40);
  parent.AcquireSubProgressInterface();  // Exactly one sub: mapping case.
  parent.SetPosition(33);
  parent.RespondToSubProgressPositionChange(&flat, 5, 7, false);
  EXPECT_EQ(parent.GetPosition(), 20);
}

// Fault: percent and mapping products were formed in 32 bits and overflow
// once a range is wider than about 21 million (a run counts 1000 per cohort
// and per comparison).
TEST(KmBackgroundProgressTracker, WideRangesDoNotOverflow) {
  kmProgressTracker wide;
  wide.SetRange(0, 2000000000);
  wide.SetPosition(1500000000);
  EXPECT_EQ(wide.GetPercent(), 75);
  wide.SetPercent(40);
  EXPECT_EQ(wide.GetPosition(), 800000000);

  KmBackgroundProgressTracker parent;
  parent.SetRange(0, 2000000000);
  parent.SetSubrange(0, 2000000000);
  KmProgressInterface* pSub = parent.AcquireSubProgressInterface();
  pSub->SetRange(0, 2000000000);
  pSub->SetPosition(1000000000);
  EXPECT_EQ(parent.GetPosition(), 1000000000);

  // A sub with unchecked bounds far below its position: the product does
  // not fit in 64 bits either, and the result saturates.
  kmProgressTracker tiny;
  tiny.SetRange(0, 1);
  KmBackgroundProgressTracker full;
  full.SetRange(INT32_MIN, INT32_MAX);
  full.SetSubrange(INT32_MIN, INT32_MAX);
  full.AcquireSubProgressInterface();
  full.RespondToSubProgressPositionChange(&tiny, 0, INT32_MAX, false);
  EXPECT_EQ(full.GetPosition(), INT32_MAX);
}

}  // namespace
