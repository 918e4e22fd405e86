// The run summary's head and its time in words.
#include <gtest/gtest.h>

#include <string>

#include "reports/kmRunSummary.h"
#include "tests/test_util/TestUtil.h"

namespace {

TEST(GetCreationTime, SecondsInWords) {
  const struct {
    int iSeconds;
    const char* sText;
  } cases[] = {{3661, "1 hour, 1 minute, 1 second"},
               {7200, "2 hours"},
               {86400, "1 day"},
               {90, "1 minute, 30 seconds"},
               {60, "1 minute"},
               {1, "1 second"},
               {0, ""},
               {2 * 86400 + 2, "2 days, 2 seconds"}};
  for (const auto& c : cases) {
    KmString sText("old text");
    GetCreationTime(sText, c.iSeconds);
    EXPECT_STREQ(sText.GetCString(), c.sText) << c.iSeconds;
  }
}

TEST(WriteKinkmarkRunInfo, HeadWithUnixLineEnds) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("x.RunSummary.txt");
  km_test::WriteAll(path, "an older summary that must go");
  WriteKinkmarkRunInfo(path.c_str(), "/bin/kinkmark", 3661, "run.ini", "s.ini",
                       "d.txt", "run.ini", "e.ini", "x.kmo", "\n");
  EXPECT_EQ(km_test::ReadAll(path),
            "----------------------\nKinkmark Version Info\n"
            "----------------------\nProgram Name = /bin/kinkmark\n"
            "Program Version = V4.9.0.0.1\n"
            "Execution Time = 1 hour, 1 minute, 1 second\n\n"
            "-------------------\nKinkmark Run Files\n-------------------\n"
            "Run File = run.ini\nSession File = s.ini\nData File = d.txt\n"
            "Session Options File = run.ini\nOutput Options File = e.ini\n"
            "Kinkmark Output File = x.kmo\n\n"
            "-------------------------\nKinkmark Session Options\n"
            "-------------------------");
}

}  // namespace
