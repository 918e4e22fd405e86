// The run summary's head, its time in words and the first-series count of a
// session-parameter file's data.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "driver/RunSummary.h"
#include "driver/frmSession.h"
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

TEST(ReadIndependentValues, CountsTheFirstSeries) {
  km_test::ScratchDir dir;
  // A label longer than any line buffer must not split its record in two.
  const std::string sLong(9000, 'a');
  const std::string sLongBody =
      sLong + ",1990\n" + sLong + ",1991\n" + sLong + ",1992\n";
  const struct {
    const char* sBody;
    bool bNames;
    int iCount;
  } cases[] = {
      // The second series holds a year the first lacks: four values in
      // all, three in the first series.
      {"a,1990\na,1991\na,1992\nb,1990\nb,1991\nb,1993\n", false, 3},
      {"Site,Year\na,1990\na,1991\n\n", true, 2},
      {"a,2000\na,2001\na,2002\na,2003\n", false, 4},
      {sLongBody.c_str(), false, 3},
  };
  for (const auto& c : cases) {
    const std::string plain = dir.File("data.csv");
    km_test::WriteAll(plain, c.sBody);
    EXPECT_EQ(
        frmSession::ReadIndependentValues(plain.c_str(), 1, c.bNames, ","),
        c.iCount)
        << c.sBody;
    const std::string packed = dir.File("data.csv.gz");
    gzFile gz = gzopen(packed.c_str(), "wb");
    gzputs(gz, c.sBody);
    gzclose(gz);
    EXPECT_EQ(
        frmSession::ReadIndependentValues(packed.c_str(), 1, c.bNames, ","),
        c.iCount)
        << c.sBody;
  }
}

}  // namespace
