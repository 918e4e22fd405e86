// Tests of the combination table's record in the results file: golden
// bytes, the 3.300 version gate, round trips with the rebuilt cohort index
// vectors, progress steps, and refusal of damaged counts.
#include <gtest/gtest.h>

#include <string>

#include "foundation/KmIO_File.h"
#include "foundation/KmProgressInterface.h"
#include "results/kmCombos.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::CatchKmException;

const char* const kCorrupt =
    "This KMO is either corrupt or not compatible with this version of "
    "Kinkmark.  ";

KmVector<int> Ints(std::initializer_list<int> values) {
  return KmVector<int>(values);
}

// Counts progress steps and reports cancellation after a number of them.
class CountingProgress : public KmNullProgress {
 public:
  explicit CountingProgress(int iCancelAfter = -1)
      : iCancelAfter_(iCancelAfter) {}
  void StepBy(int32_t n) override { iSteps += n; }
  bool IsCancelled() const override {
    return iCancelAfter_ >= 0 && iSteps >= iCancelAfter_;
  }
  int iSteps = 0;

 private:
  int iCancelAfter_;
};

std::string Written(const kmCombos& combos, const km_test::ScratchDir& dir) {
  const std::string path = dir.File("combos.bin");
  {
    KmIO_File file(path.c_str(), 11);
    combos.Write(&file);
  }
  return km_test::ReadAll(path);
}

void ReadFrom(kmCombos& combos, const std::string& bytes, double dVersion,
              const km_test::ScratchDir& dir,
              KmProgressInterface* pProgress = nullptr) {
  const std::string path = dir.File("combos_in.bin");
  km_test::WriteAll(path, bytes);
  KmIO_File file(path.c_str(), 1);
  combos.Read(&file, dVersion, pProgress);
}

BlockBuilder& Entry(BlockBuilder& b, std::initializer_list<int> values) {
  b.Int(0).Short(0).Int(static_cast<int32_t>(values.size())).Int(0);
  for (int v : values) b.Int(v);
  return b;
}

kmCombos TwoByThree() {
  kmCombos combos(2);
  combos.AddCombination(Ints({1, 7}));
  combos.AddCombination(Ints({2, -3}));
  combos.AddComparison(Ints({0, 1}));
  return combos;
}

TEST(kmCombosFile, WritesCountsEntriesAndByVariableCount) {
  km_test::ScratchDir dir;
  BlockBuilder expected;
  expected.Int(2).Int(1);
  Entry(expected, {1, 7});
  Entry(expected, {2, -3});
  Entry(expected, {0, 1});
  expected.Int(2);
  EXPECT_EQ(Written(TwoByThree(), dir), expected.Bytes());
  // 8 + 3 entries of 14 bytes plus their values + 4.
  EXPECT_EQ(expected.Bytes().size(), 8u + 3 * 14 + 6 * 4 + 4);
}

TEST(kmCombosFile, RoundTripRebuildsCohortIndexVectors) {
  km_test::ScratchDir dir;
  const kmCombos original = TwoByThree();
  kmCombos read(0);
  read.AddCombination(KmVector<int>());  // replaced by the read
  ReadFrom(read, Written(original, dir), 4.9, dir);
  EXPECT_EQ(read.GetNumByVars(), 2);
  ASSERT_EQ(read.GetNumCombinations(), 2);
  ASSERT_EQ(read.GetNumComparisons(), 1);
  EXPECT_EQ(read.GetCombination(0), Ints({1, 7}));
  EXPECT_EQ(read.GetCombination(1), Ints({2, -3}));
  EXPECT_EQ(read.GetComparison(0), Ints({0, 1}));
  EXPECT_EQ(read.GetCohortIndices(),
            (KmVector<KmVector<int>>{Ints({0}), Ints({1}), Ints({0, 1})}));
}

TEST(kmCombosFile, FilesBefore3300HaveNoComparisons) {
  km_test::ScratchDir dir;
  // The versions are compared as "%5.3f" texts: 3.2996 counts as 3.300.
  const struct {
    double dVersion;
    bool bHasComparisons;
  } kCases[] = {
      {3.2, false}, {3.2994, false}, {3.2996, true}, {3.3, true}, {4.9, true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.dVersion);
    BlockBuilder bytes;
    bytes.Int(2);
    if (c.bHasComparisons) bytes.Int(1);
    Entry(bytes, {4});
    Entry(bytes, {5});
    if (c.bHasComparisons) Entry(bytes, {1, 0});
    bytes.Int(1);
    kmCombos combos(0);
    ReadFrom(combos, bytes.Bytes(), c.dVersion, dir);
    EXPECT_EQ(combos.GetNumCombinations(), 2);
    EXPECT_EQ(combos.GetCombination(1), Ints({5}));
    EXPECT_EQ(combos.GetNumByVars(), 1);
    EXPECT_EQ(combos.GetNumComparisons(), c.bHasComparisons ? 1 : 0);
    EXPECT_EQ(combos.GetCohortIndices().size(), c.bHasComparisons ? 3u : 2u);
  }
}

TEST(kmCombosFile, ProgressStepsEveryFifthOfTheComparisons) {
  km_test::ScratchDir dir;
  const struct {
    int nComparisons;
    int iCancelAfter;
    int iSteps;
    size_t nIndexVectors;  // 3 combinations + the comparisons rebuilt
  } kCases[] = {
      {4, -1, 4, 7},      // fewer than 5: a step per comparison
      {12, -1, 6, 15},    // step 12 / 5 = 2
      {12, 2, 2, 3 + 4},  // cancelled once the second step is taken
      {0, -1, 0, 3},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.nComparisons);
    kmCombos combos(1);
    for (int i = 0; i < 3; ++i) combos.AddCombination(Ints({i}));
    for (int k = 0; k < c.nComparisons; ++k) combos.AddComparison(Ints({0, 1}));
    kmCombos read(0);
    CountingProgress progress(c.iCancelAfter);
    ReadFrom(read, Written(combos, dir), 4.9, dir, &progress);
    EXPECT_EQ(progress.iSteps, c.iSteps);
    EXPECT_EQ(read.GetCohortIndices().size(), c.nIndexVectors);
    EXPECT_EQ(read.GetNumComparisons(), c.nComparisons);
  }
}

TEST(kmCombosFile, DamagedCountsAreRefused) {
  km_test::ScratchDir dir;
  const std::string good = Written(TwoByThree(), dir);
  BlockBuilder negativeCombinations;
  negativeCombinations.Int(-1).Int(0).Int(2);
  BlockBuilder hugeCombinations;
  hugeCombinations.Int(2000000000).Int(0);
  Entry(hugeCombinations, {1, 2});
  BlockBuilder hugeEntry;
  hugeEntry.Int(1).Int(0).Int(0).Short(0).Int(2147483647).Int(0).Int(5);
  BlockBuilder negativeEntry;
  negativeEntry.Int(1).Int(0).Int(0).Short(0).Int(-4).Int(0);
  BlockBuilder negativeByVars;
  negativeByVars.Int(0).Int(0).Int(-2);
  const std::string sEnded =
      "Unexpected end of the results file while reading a kmCombos record.";
  const struct {
    const char* sName;
    std::string bytes;
    std::string sMessage;
  } kCases[] = {
      {"negative combination count", negativeCombinations.Bytes(),
       std::string(kCorrupt) +
           "The KMO read process found a negative count (-1) of "
           "combinations."},
      {"huge combination count", hugeCombinations.Bytes(), sEnded},
      {"huge entry", hugeEntry.Bytes(), sEnded},
      {"negative entry", negativeEntry.Bytes(),
       std::string(kCorrupt) +
           "The KMO read process found a negative count (-4) of values in a "
           "combination entry."},
      {"negative by-variable count", negativeByVars.Bytes(),
       std::string(kCorrupt) +
           "The KMO read process found a negative count (-2) of "
           "by-variables."},
      {"no by-variable count", good.substr(0, good.size() - 4), sEnded},
      {"empty file", "", sEnded},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmCombos combos = TwoByThree();
    KmException e =
        CatchKmException([&] { ReadFrom(combos, c.bytes, 4.9, dir); });
    EXPECT_EQ(std::string(e.GetMessage()), c.sMessage);
    EXPECT_NE(std::string(e.GetCallPath()).find("Read() of kmCombos"),
              std::string::npos);
    // A refused read leaves the table as it was.
    EXPECT_EQ(combos.GetNumCombinations(), 2);
    EXPECT_EQ(combos.GetComparison(0), Ints({0, 1}));
  }
}

TEST(kmCombosFile, EveryTruncationIsRefused) {
  km_test::ScratchDir dir;
  const std::string good = Written(TwoByThree(), dir);
  for (size_t n = 0; n < good.size(); ++n) {
    SCOPED_TRACE(n);
    kmCombos combos(0);
    KmException e = CatchKmException(
        [&] { ReadFrom(combos, good.substr(0, n), 4.9, dir); });
    EXPECT_STREQ(
        e.GetMessage(),
        "Unexpected end of the results file while reading a kmCombos record.");
  }
}

TEST(kmCombosFile, NullFileIsRefused) {
  kmCombos combos(1);
  for (bool bWrite : {true, false}) {
    KmException e = CatchKmException([&] {
      if (bWrite) {
        combos.Write(nullptr);
      } else {
        combos.Read(nullptr, 4.9, nullptr);
      }
    });
    EXPECT_STREQ(e.GetMessage(), "Invalid KmIO_File.");
    EXPECT_STREQ(e.GetSource(), "kmCombos");
  }
}

}  // namespace
