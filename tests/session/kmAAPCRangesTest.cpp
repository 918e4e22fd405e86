// Tests of kmAAPCRanges (its session-block record) and of the search for
// the group of an adjustment-variable code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/KmIO_File.h"
#include "session/kmAAPCRanges.h"
#include "session/kmAdjustVarFormat.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::CatchKmException;

std::string Written(const kmAAPCRanges& ranges,
                    const km_test::ScratchDir& dir) {
  const std::string path = dir.File("aapc.bin");
  {
    KmIO_File file(path.c_str(), 0x0A);
    ranges.Write(&file);
  }
  return km_test::ReadAll(path);
}

void ReadFrom(kmAAPCRanges& ranges, const std::string& bytes,
              const km_test::ScratchDir& dir) {
  const std::string path = dir.File("aapc_in.bin");
  km_test::WriteAll(path, bytes);
  KmIO_File file(path.c_str(), 1);
  ranges.Read(&file);
}

kmAAPCRanges FullWithLastAndOneCustom() {
  kmAAPCRanges ranges;
  ranges.SetFullRange(true);
  ranges.SetLastObsRanges({5, 10});
  ranges.SetStartRange({1990});
  ranges.SetEndRange({2000});
  return ranges;
}

TEST(kmAAPCRanges, RecordBytes) {
  km_test::ScratchDir dir;
  EXPECT_EQ(Written(kmAAPCRanges(), dir),
            BlockBuilder().Short(0).Int(0).Int(0).Int(0).Bytes());
  EXPECT_EQ(Written(kmAAPCRanges(), dir).size(), 14u);
  EXPECT_EQ(Written(FullWithLastAndOneCustom(), dir), BlockBuilder()
                                                          .Short(1)
                                                          .Int(2)
                                                          .Int(5)
                                                          .Int(10)
                                                          .Int(1)
                                                          .Double(1990)
                                                          .Int(1)
                                                          .Double(2000)
                                                          .Bytes());
}

TEST(kmAAPCRanges, ReadsBackWhatItWrites) {
  kmAAPCRanges uneven;
  uneven.SetStartRange({1975, 1990.5});
  uneven.SetEndRange({2001});
  km_test::ScratchDir dir;
  for (const kmAAPCRanges& written :
       {kmAAPCRanges(), FullWithLastAndOneCustom(), uneven}) {
    kmAAPCRanges read = FullWithLastAndOneCustom();
    ReadFrom(read, Written(written, dir), dir);
    EXPECT_TRUE(read == written);
  }
}

TEST(kmAAPCRanges, AnyNonZeroFlagIsSetAndWritesBackAsOne) {
  km_test::ScratchDir dir;
  kmAAPCRanges ranges;
  ReadFrom(ranges, BlockBuilder().Short(2).Int(0).Int(0).Int(0).Bytes(), dir);
  EXPECT_TRUE(ranges.GetFullRange());
  EXPECT_EQ(Written(ranges, dir),
            BlockBuilder().Short(1).Int(0).Int(0).Int(0).Bytes());
}

TEST(kmAAPCRanges, BadCountsAndShortRecordsAreRefused) {
  // Fault: a negative count read as an empty list and a count beyond the
  // record read zeros as range values.
  const std::string kBad[] = {
      BlockBuilder().Short(0).Int(-1).Int(0).Int(0).Bytes(),
      BlockBuilder().Short(0).Int(0).Int(-7).Int(0).Bytes(),
      BlockBuilder().Short(0).Int(0).Int(0).Int(0x7FFFFFFF).Double(1).Bytes(),
      BlockBuilder().Short(1).Int(2).Int(5).Bytes(),
      BlockBuilder().Short(1).Bytes(),
  };
  km_test::ScratchDir dir;
  for (const std::string& bytes : kBad) {
    SCOPED_TRACE(bytes.size());
    kmAAPCRanges ranges = FullWithLastAndOneCustom();
    KmException e = CatchKmException([&] { ReadFrom(ranges, bytes, dir); });
    EXPECT_STREQ(e.GetMessage(),
                 "Error:  This file is not a valid Kinkmark file.");
    EXPECT_TRUE(ranges == FullWithLastAndOneCustom());
  }
}

kmAdjustVarFormat Group(int32_t iFirst, int32_t iLast) {
  kmAdjustVarFormat group;
  for (int32_t i = iFirst; i <= iLast; ++i) group.codes.push_back(i);
  return group;
}

TEST(kmClusterFormat, FindsTheFirstGroupHoldingTheCode) {
  kmClusterFormat cluster;
  EXPECT_EQ(cluster.FindFormatIndexOfCode(0), -1);
  cluster.groups.push_back(Group(0, 4));
  cluster.groups.push_back(Group(5, 9));
  cluster.groups.push_back(Group(5, 5));
  EXPECT_EQ(cluster.FindFormatIndexOfCode(7), 1);
  EXPECT_EQ(cluster.FindFormatIndexOfCode(5), 1);
  EXPECT_EQ(cluster.FindFormatIndexOfCode(0), 0);
  EXPECT_EQ(cluster.FindFormatIndexOfCode(12), -1);
  EXPECT_EQ(cluster.FindFormatIndexOfCode(-1), -1);
}

}  // namespace
