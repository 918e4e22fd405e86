#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "foundation/KmBackgroundProgressTracker.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/KmSpanProgress.h"
#include "foundation/KmWorkProgress.h"

namespace {

TEST(KmNullProgress, AnswersFixedValuesAndIgnoresChanges) {
  KmNullProgress progress;
  EXPECT_TRUE(progress.SetPercent(50));
  progress.SetPosition(7);
  progress.StepBy(3);
  progress.SetRange(10, 20);
  progress.SetSubrange(12, 14);
  EXPECT_EQ(progress.GetPosition(), 0);
  EXPECT_EQ(progress.GetMinimum(), 0);
  EXPECT_EQ(progress.GetMaximum(), 1);
  EXPECT_EQ(progress.GetSubrangeMinimum(), 0);
  EXPECT_EQ(progress.GetSubrangeMaximum(), 1);
  EXPECT_EQ(progress.GetStep(), 1);
  EXPECT_EQ(progress.GetPercent(), 0);
  EXPECT_FALSE(progress.IsCancelled());
  EXPECT_FALSE(progress.IsPaused());
  EXPECT_FALSE(progress.IsFinished());
  EXPECT_TRUE(progress.CanContinue());
}

TEST(KmNullProgress, SubProgressIsTheObjectItself) {
  KmNullProgress progress;
  EXPECT_EQ(progress.AcquireSubProgressInterface(), &progress);
  EXPECT_EQ(progress.GetProgressInterface(), &progress);
  // Releasing anything is harmless.
  progress.ReleaseSubProgressInterface(&progress);
  progress.ReleaseAllSubProgressInterfaces();
}

TEST(KmNullProgress, TheProgramWideInstanceIsOneObjectThatStaysNull) {
  KmNullProgress& shared = KmNullProgress::GetInstance();
  EXPECT_EQ(&shared, &KmNullProgress::GetInstance());
  shared.SetRange(10, 20);
  shared.StepIt();
  EXPECT_EQ(shared.AcquireSubProgressInterface(), &shared);
  EXPECT_EQ(KmNullProgress::GetInstance().GetPosition(), 0);
  EXPECT_TRUE(KmNullProgress::GetInstance().CanContinue());
}

// SetRange picks the order of its two setters so that a tracker that
// refuses an inverted range still accepts a range beyond the present one.
TEST(KmProgressInterface, SetRangeOrdersItsSettersToKeepTheRangeValid) {
  struct Case {
    int32_t iMinimum, iMaximum;
    int32_t iExpectedMinimum, iExpectedMaximum;
  };
  const Case kCases[] = {
      {200, 300, 200, 300},  // Maximum first, so 200 is below it.
      {-50, 50, -50, 50},    // Minimum first, so 50 is above it.
      {-300, -200, -300, -200},
      {10, 90, 10, 90},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(::testing::Message() << c.iMinimum << ".." << c.iMaximum);
    KmBackgroundProgressTracker tracker;  // Range 0 to 100.
    tracker.SetRange(c.iMinimum, c.iMaximum);
    EXPECT_EQ(tracker.GetMinimum(), c.iExpectedMinimum);
    EXPECT_EQ(tracker.GetMaximum(), c.iExpectedMaximum);
  }
}

TEST(KmProgressInterface, SetSubrangeMovesPastThePresentSubrange) {
  KmBackgroundProgressTracker tracker;
  tracker.SetRange(0, 1000);
  tracker.SetSubrange(0, 100);
  tracker.SetSubrange(500, 600);  // Maximum first.
  EXPECT_EQ(tracker.GetSubrangeMinimum(), 500);
  EXPECT_EQ(tracker.GetSubrangeMaximum(), 600);
  tracker.SetSubrange(20, 40);  // Minimum first.
  EXPECT_EQ(tracker.GetSubrangeMinimum(), 20);
  EXPECT_EQ(tracker.GetSubrangeMaximum(), 40);
}

// Records every position it is set to.
class PositionLog : public KmNullProgress {
 public:
  int32_t GetMaximum() const override { return 4; }
  bool IsCancelled() const override { return bCancelled; }
  void SetPosition(int32_t iPosition) override { vSet.push_back(iPosition); }
  bool bCancelled = false;
  std::vector<int32_t> vSet;
};

TEST(KmWorkProgress, MovesTheRangeInProportionToTheUnitsDone) {
  // Range 0..4: each position once, the maximum with the last unit.
  const std::pair<int, std::vector<int32_t>> kCases[] = {
      {10, {0, 1, 2, 3, 4}},  // after units 3, 5, 8 and 10
      {2, {0, 2, 4}},         // fewer units than positions
      {0, {0}},               // no work: the minimum only
  };
  for (const auto& c : kCases) {
    PositionLog log;
    KmWorkProgress work(&log, c.first);
    for (int i = 0; i < c.first; ++i) work.StepIt();
    EXPECT_EQ(log.vSet, c.second) << c.first << " units";
  }
}

TEST(KmSpanProgress, CarriesItsPositionsForwardIntoTheParentsSpan) {
  PositionLog parent;
  KmSpanProgress span(&parent, 16, 33);
  span.SetRange(0, 1000);
  for (int32_t i : {0, 500, 499, 1000, 1500}) span.SetPosition(i);
  EXPECT_EQ(parent.vSet, (std::vector<int32_t>{16, 24, 33}));
  EXPECT_FALSE(span.IsCancelled());
  parent.bCancelled = true;
  EXPECT_TRUE(span.IsCancelled());
}

}  // namespace
