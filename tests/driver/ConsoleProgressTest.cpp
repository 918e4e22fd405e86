// The line of the terminal's progress display, and the lines of a long
// read of the data file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver/ConsoleProgress.h"
#include "driver/DataFileProgress.h"
#include "foundation/KmLineSource.h"
#include "foundation/kmRunProgressTrackers.h"
#include "tests/test_util/TestUtil.h"

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

TEST(DataFileProgress, ALargeFileShowsEachTenthRead) {
  // Fault: the read of a large data file said nothing until it ended.
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("data.csv");
  std::string sText;
  while (sText.size() < (size_t{1} << 20)) sText += "1,A,2000,5,100\n";
  km_test::WriteAll(sPath, sText);
  std::string sTenths;
  for (int i = 10; i <= 100; i += 10) {
    sTenths += "  " + std::to_string(i) + "% of the data file read\n";
  }
  const struct {
    int64_t iShownFrom;
    std::string sExpected;
  } kCases[] = {
      {int64_t{1} << 20, "Reading the data file (1 MB)\n" + sTenths},
      {(int64_t{1} << 20) + 1000, ""},  // read in a moment: nothing
  };
  for (const auto& c : kCases) {
    std::FILE* pOut = std::tmpfile();
    ASSERT_NE(pOut, nullptr);
    {
      DataFileProgress progress(sPath.c_str(), "Reading the data file", "read",
                                pOut, c.iShownFrom);
      KmLineSource lines("Data file");
      lines.SetProgress(&progress);
      ASSERT_TRUE(lines.Open(sPath.c_str()));
      KmString sLine;
      while (lines.ReadLine(sLine)) {
      }
    }
    std::rewind(pOut);
    std::string sShown;
    for (int ch = std::fgetc(pOut); ch != EOF; ch = std::fgetc(pOut)) {
      sShown += static_cast<char>(ch);
    }
    std::fclose(pOut);
    EXPECT_EQ(sShown, c.sExpected);
  }
}

}  // namespace
