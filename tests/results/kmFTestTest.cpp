// Tests of kmFTest: the new record, the selected hypothesis, and its
// 69-byte record in the results file.
#include <gtest/gtest.h>

#include <string>

#include "foundation/KmIO_File.h"
#include "results/kmFTest.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::CatchKmException;

kmFTest FilledTest() {
  kmFTest test(1, 3);
  test.bSecondStat = true;
  test.dAlpha = 0.025;
  test.dF = 4.75;
  test.dSecondF = 3.5;
  test.dPValue = 0.0125;
  test.dSecondPValue = 0.25;
  test.dPermPValue = 0.002;
  test.lDenominatorDF = 17;
  test.lNumeratorDF = 4;
  test.lSecondNumeratorDF = 3;
  test.lNumPermutations = 4500;
  return test;
}

void ExpectSameFields(const kmFTest& a, const kmFTest& b) {
  EXPECT_EQ(a.bSecondStat, b.bSecondStat);
  EXPECT_EQ(a.dAlpha, b.dAlpha);
  EXPECT_EQ(a.dF, b.dF);
  EXPECT_EQ(a.dSecondF, b.dSecondF);
  EXPECT_EQ(a.dPValue, b.dPValue);
  EXPECT_EQ(a.dSecondPValue, b.dSecondPValue);
  EXPECT_EQ(a.dPermPValue, b.dPermPValue);
  EXPECT_EQ(a.lDenominatorDF, b.lDenominatorDF);
  EXPECT_EQ(a.lNumeratorDF, b.lNumeratorDF);
  EXPECT_EQ(a.lSecondNumeratorDF, b.lSecondNumeratorDF);
  EXPECT_EQ(a.lNumPermutations, b.lNumPermutations);
  EXPECT_EQ(a.uAltKinkmarks, b.uAltKinkmarks);
  EXPECT_EQ(a.uNullKinkmarks, b.uNullKinkmarks);
}

std::string Written(const kmFTest& test, const km_test::ScratchDir& dir) {
  const std::string path = dir.File("ftest.bin");
  {
    KmIO_File file(path.c_str(), 11);
    test.Write(&file);
  }
  return km_test::ReadAll(path);
}

kmFTest ReadFrom(const std::string& bytes, const km_test::ScratchDir& dir) {
  const std::string path = dir.File("ftest_in.bin");
  km_test::WriteAll(path, bytes);
  KmIO_File file(path.c_str(), 1);
  kmFTest test;
  test.Read(&file);
  return test;
}

TEST(kmFTest, NewRecordHoldsItsKinkmarksAndParametricPValuesOfOne) {
  kmFTest test(2, 5);
  kmFTest expected(0, 0);
  expected.dPValue = 1.0;
  expected.dSecondPValue = 1.0;
  expected.uNullKinkmarks = 2;
  expected.uAltKinkmarks = 5;
  ExpectSameFields(test, expected);
  EXPECT_FALSE(test.bSecondStat);
  EXPECT_EQ(test.dAlpha, 0.0);
  EXPECT_EQ(test.lNumPermutations, 0);
}

TEST(kmFTest, SelectsTheAlternativeUnlessThePermutationPValueExceedsAlpha) {
  const struct {
    double dAlpha, dPermPValue;
    uint16_t uSelected;
  } kCases[] = {
      {0.05, 0.05, 4},    // a tie selects the alternative
      {0.05, 0.0501, 1},  // just above: the null
      {0.05, 0.0, 4},    {0.0, 0.0, 4}, {0.01, 1.0, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.dPermPValue);
    kmFTest test(1, 4);
    test.dAlpha = c.dAlpha;
    test.dPermPValue = c.dPermPValue;
    EXPECT_EQ(test.GetSelectedHypothesis(), c.uSelected);
  }
}

TEST(kmFTest, WritesSixtyNineBytesInFieldOrder) {
  km_test::ScratchDir dir;
  const std::string bytes = Written(FilledTest(), dir);
  EXPECT_EQ(bytes, BlockBuilder()
                       .Bool(true)
                       .Double(0.025)
                       .Double(4.75)
                       .Double(3.5)
                       .Double(0.0125)
                       .Double(0.25)
                       .Double(0.002)
                       .Int(17)
                       .Int(4)
                       .Int(3)
                       .Int(4500)
                       .Short(3)  // alternative first
                       .Short(1)
                       .Bytes());
  ASSERT_EQ(bytes.size(), 69u);
  // 4.75 = 0x4013000000000000, little-endian, right after the flag and
  // alpha.
  EXPECT_EQ(bytes.substr(9, 8), std::string("\0\0\0\0\0\0\x13\x40", 8));
  EXPECT_EQ(bytes.substr(65), std::string("\x03\0\x01\0", 4));
}

// Fault: any stored number of kinkmarks was taken; a model has 0 to 9, and
// a count beyond that is damage.
TEST(kmFTest, KinkmarkCountsBeyond9AreRefused) {
  km_test::ScratchDir dir;
  kmFTest test(65535, 40000);
  const std::string bytes = Written(test, dir);
  EXPECT_EQ(bytes.substr(65), std::string("\x40\x9c\xff\xff", 4));
  KmException e = CatchKmException([&] { ReadFrom(bytes, dir); });
  EXPECT_STREQ(e.GetMessage(),
               "This KMO is either corrupt or not compatible with this "
               "version of Kinkmark.  The KMO read process found the "
               "kinkmarks of the alternative model of 40000, outside 0 to 9.");
  kmFTest read = ReadFrom(Written(kmFTest(9, 0), dir), dir);
  EXPECT_EQ(read.uNullKinkmarks, 9);
}

TEST(kmFTest, RoundTripRestoresEveryField) {
  km_test::ScratchDir dir;
  const kmFTest original = FilledTest();
  ExpectSameFields(ReadFrom(Written(original, dir), dir), original);
}

TEST(kmFTest, FileEndingInsideTheRecordIsRefused) {
  // Reading past the end used to hand back zeros as test statistics.
  km_test::ScratchDir dir;
  const std::string bytes = Written(FilledTest(), dir);
  for (size_t n : {size_t{0}, size_t{1}, size_t{40}, size_t{68}}) {
    SCOPED_TRACE(n);
    KmException e =
        CatchKmException([&] { ReadFrom(bytes.substr(0, n), dir); });
    EXPECT_STREQ(
        e.GetMessage(),
        "Unexpected end of the results file while reading a kmFTest record.");
    EXPECT_STREQ(e.GetCallPath(), "Read() of kmFTest");
  }
}

TEST(kmFTest, NullFileIsRefused) {
  kmFTest test;
  KmException e = CatchKmException([&] { test.Read(nullptr); });
  EXPECT_STREQ(e.GetMessage(), "Invalid KmIO_File.");
  EXPECT_STREQ(e.GetSource(), "kmFTest");
  e = CatchKmException([&] { test.Write(nullptr); });
  EXPECT_STREQ(e.GetMessage(), "Invalid KmIO_File.");
  EXPECT_STREQ(e.GetSource(), "kmCalcData");
  EXPECT_STREQ(e.GetCallPath(), "Write() of kmFTest");
}

}  // namespace
