// The line of the terminal's progress display.
#include <gtest/gtest.h>

#include "driver/ConsoleProgress.h"
#include "foundation/kmRunProgressTrackers.h"

namespace {

TEST(ConsoleProgress, LineShowsPercentAndCohortsFitted) {
  kmMultiProgressTracker tracker(4);
  tracker.SetRange(0, 4000);
  EXPECT_STREQ(ConsoleProgress::FormatLine(tracker, 4).GetCString(),
               "  0% done, 0 of 4 cohorts fitted");
  tracker.SetPosition(3000);
  for (int i : {0, 2, 3}) {
    tracker.GetByGroupSubProgressInterface(i)->SetPosition(100);
  }
  tracker.GetByGroupSubProgressInterface(1)->SetPosition(40);
  EXPECT_STREQ(ConsoleProgress::FormatLine(tracker, 4).GetCString(),
               "  75% done, 3 of 4 cohorts fitted");
  // An empty range shows 0% rather than dividing by zero.
  tracker.SetRange(5, 5);
  EXPECT_STREQ(ConsoleProgress::FormatLine(tracker, 4).GetCString(),
               "  0% done, 3 of 4 cohorts fitted");
}

}  // namespace
