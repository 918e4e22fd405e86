// The line of the terminal's progress display, alone and during a run,
// and the lines of a long read of the data file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "driver/ConsoleProgress.h"
#include "driver/DataFileProgress.h"
#include "foundation/KmLineSource.h"
#include "foundation/kmRunProgressTrackers.h"
#include "tests/data/PrereadFixtures.h"
#include "tests/engine/RunFixture.h"
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
  // Fault: only finished cohorts counted, so one long cohort showed 0%
  // until it ended. A cohort being fitted adds its bar's share.
  tracker.GetByGroupSubProgressInterface(1)->SetRunningFlag(true);
  EXPECT_STREQ(ConsoleProgress::FormatLine(tracker, 4).GetCString(),
               "  85% done, 3 of 4 cohorts fitted");
  // An empty range shows 0% rather than dividing by zero.
  tracker.SetRange(5, 5);
  EXPECT_STREQ(ConsoleProgress::FormatLine(tracker, 4).GetCString(),
               "  0% done, 3 of 4 cohorts fitted");
}

TEST(DataFileProgress, ALargeFileShowsEachTenthRead) {
  // Fault: the read of a large data file said nothing until it ended.
  km_test::ScratchDir dir;
  std::string sText;  // 2 MB that compress to about half
  size_t nLines = 0;
  for (uint32_t i = 0; sText.size() < (size_t{2} << 20); ++i, ++nLines) {
    sText += std::to_string(i * 2654435761u) + ",A,2000\n";
  }
  std::string sTenths;
  for (int i = 10; i <= 100; i += 10) {
    sTenths += "  " + std::to_string(i) + "% of the data file read\n";
  }
  for (bool bGzip : {false, true}) {
    const std::string sPath =
        preread_test::WriteDataFile(dir, "data", sText, bGzip);
    const int64_t iSize = std::filesystem::file_size(sPath);
    for (int64_t iShownFrom : {iSize, iSize + 1}) {  // read in a moment
      const std::string sShown = km_test::WrittenBytes([&](const char* s) {
        std::FILE* pOut = std::fopen(s, "w");
        DataFileProgress progress(sPath.c_str(), "Reading", "read", pOut,
                                  iShownFrom);
        KmLineSource lines("Data file");
        lines.SetProgress(&progress);
        KmString sLine;
        ASSERT_TRUE(lines.Open(sPath.c_str()));
        for (size_t uLines = 1; lines.ReadLine(sLine); ++uLines) {
          // Halfway through the text, half the file has been read.
          if (uLines != nLines / 2 || iShownFrom > iSize) continue;
          std::fflush(pOut);
          const std::string sHalfway = km_test::ReadAll(s);
          EXPECT_NE(sHalfway.find("  40%"), std::string::npos) << sHalfway;
          EXPECT_EQ(sHalfway.find("  60%"), std::string::npos) << sHalfway;
        }
        std::fclose(pOut);
      });
      const std::string sMegabytes = std::to_string((iSize + (1 << 19)) >> 20);
      EXPECT_EQ(sShown, iShownFrom > iSize
                            ? ""
                            : "Reading (" + sMegabytes + " MB)\n" + sTenths)
          << sPath;
    }
  }
}

// A run's tracker that keeps each new console line it would show whenever
// the run asks whether it was cancelled (the searches ask at every
// placement, the writer thread too).
class LineSampler : public kmMultiProgressTracker {
 public:
  LineSampler() : kmMultiProgressTracker(1) {}
  bool IsCancelled() const override {
    const std::string sLine =
        ConsoleProgress::FormatLine(*this, 1).GetCString();
    std::lock_guard<std::mutex> lock(mutex_);
    if (vLines.empty() || vLines.back() != sLine) vLines.push_back(sLine);
    return kmMultiProgressTracker::IsCancelled();
  }
  mutable std::mutex mutex_;
  mutable std::vector<std::string> vLines;  // Read once the run has ended.
};

TEST(ConsoleProgress, OneCohortsSearchMovesTheLineBeforeItEnds) {
  km_test::ScratchDir dir;
  run_test::DataSpec spec;
  spec.iCohorts = 1;
  spec.iYears = 16;
  km_test::WriteAll(dir.File("data.csv"), run_test::MakeData(spec));
  run_test::Run run(run_test::MakeSession(dir.File("data.csv"), spec, 19, 1));
  auto pSampler = std::make_unique<LineSampler>();
  const std::vector<std::string>& vLines = pSampler->vLines;
  run.pTracker = std::move(pSampler);
  ASSERT_TRUE(run.Execute(dir.File("out.kmo")));
  const std::regex kInside("  [1-9][0-9]?% done, 0 of 1 cohorts fitted");
  EXPECT_TRUE(std::any_of(vLines.begin(), vLines.end(), [&](const auto& s) {
    return std::regex_match(s, kInside);
  })) << testing::PrintToString(vLines);
}

}  // namespace
