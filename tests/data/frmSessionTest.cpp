// The first-series count of a session-parameter file's data.
#include <gtest/gtest.h>

#include <string>

#include "data/frmSession.h"
#include "tests/data/PrereadFixtures.h"
#include "tests/test_util/TestUtil.h"

namespace {

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
      // A byte-order mark and CRLF line ends are no part of the values.
      {"\xEF\xBB\xBF"
       "a,1990\r\na,1991\r\na,1990\r\n",
       false, 2},
  };
  for (const auto& c : cases) {
    const std::string plain =
        preread_test::WriteDataFile(dir, "data", c.sBody, false);
    EXPECT_EQ(
        frmSession::ReadIndependentValues(plain.c_str(), 1, c.bNames, ","),
        c.iCount)
        << c.sBody;
    const std::string packed =
        preread_test::WriteDataFile(dir, "data", c.sBody, true);
    EXPECT_EQ(
        frmSession::ReadIndependentValues(packed.c_str(), 1, c.bNames, ","),
        c.iCount)
        << c.sBody;
  }
}

}  // namespace
