// Matrix and vector builders, partition utilities and the matrix dump.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "models/MatrixBuilders.h"
#include "models/MatrixDump.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::IntArray;
using km_test::ToVector;
using km_test::Vec;

// The n x n matrix with entry (i, j) = 10 i + j, easy to read back.
NEWMAT::Matrix Numbered(int rows, int columns) {
  NEWMAT::Matrix m(rows, columns);
  for (int i = 1; i <= rows; ++i) {
    for (int j = 1; j <= columns; ++j) m(i, j) = 10 * i + j;
  }
  return m;
}

TEST(Builders, IdentityMatrix) {
  const NEWMAT::Matrix m = make_IdentityMatrix(3);
  ASSERT_EQ(m.Nrows(), 3);
  ASSERT_EQ(m.Ncols(), 3);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(m(i, j), i == j ? 1.0 : 0.0);
  }
  EXPECT_EQ(make_IdentityMatrix(0).Nrows(), 0);
  EXPECT_EQ(make_IdentityMatrix(-2).Nrows(), 0);
}

TEST(Builders, StackAndCount) {
  OneDimensionArray<NEWMAT::ColumnVector> vectors;
  vectors.Resize(3);
  vectors[0] = Vec({1, 2});
  vectors[2] = Vec({3, 4, 5});
  EXPECT_EQ(count_TotalRows(vectors), 5);
  EXPECT_EQ(ToVector(stack_ColumnVectorArray(vectors)),
            (std::vector<double>{1, 2, 3, 4, 5}));
  const OneDimensionArray<NEWMAT::ColumnVector> none;
  EXPECT_EQ(count_TotalRows(none), 0);
  EXPECT_EQ(stack_ColumnVectorArray(none).Nrows(), 0);
}

TEST(Builders, SplitIntoBlocks) {
  struct Case {
    int rows;
    int k;
    std::vector<std::vector<double>> blocks;
  };
  const Case kCases[] = {
      // Row 10 is left over and belongs to no block.
      {10, 3, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {4, 1, {{1, 2, 3, 4}}},
      {2, 3, {{}, {}, {}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.k);
    std::vector<double> values;
    for (int i = 1; i <= c.rows; ++i) values.push_back(i);
    const OneDimensionArray<NEWMAT::ColumnVector> blocks =
        split_IntoBlocks(Vec(values), c.k);
    ASSERT_EQ(blocks.GetSize(), static_cast<int>(c.blocks.size()));
    for (int b = 0; b < blocks.GetSize(); ++b) {
      EXPECT_EQ(ToVector(blocks[b]), c.blocks[static_cast<size_t>(b)]) << b;
    }
  }
}

TEST(Builders, SplitIntoNoBlocksIsRefused) {
  // A block count of 0 divided the row count by zero; it is now refused
  // with a KmException, and so is a negative count.
  EXPECT_THROW(split_IntoBlocks(Vec({1, 2}), 0), KmException);
  EXPECT_THROW(split_IntoBlocks(Vec({1, 2}), -1), KmException);
}

TEST(Builders, PowColumnVector) {
  // R: sprintf("%.17g", c(1.5, 0.2, 3)^e) for e = 2, 3, 0.5
  const struct {
    double exponent;
    std::vector<double> expected;
  } kCases[] = {
      {2, {2.25, 0.040000000000000008, 9}},
      {3, {3.375, 0.0080000000000000019, 27}},
      {0.5, {1.2247448713915889, 0.44721359549995793, 1.7320508075688772}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.exponent);
    const NEWMAT::ColumnVector p =
        pow_ColumnVector(Vec({1.5, 0.2, 3}), c.exponent);
    ASSERT_EQ(p.Nrows(), 3);
    for (int i = 1; i <= 3; ++i) {
      EXPECT_TRUE(km_test::RelNear(p(i), c.expected[static_cast<size_t>(i - 1)],
                                   km_test::kTightRelTol));
    }
  }
}

TEST(Builders, MatrixFromIndexRowsPicksInListedOrder) {
  const NEWMAT::Matrix picked = build_MatrixFromIndexRows(
      IntArray({3, 1, 3}), IntArray({2, 4}), Numbered(3, 4));
  ASSERT_EQ(picked.Nrows(), 3);
  ASSERT_EQ(picked.Ncols(), 2);
  EXPECT_EQ(picked(1, 1), 32);
  EXPECT_EQ(picked(1, 2), 34);
  EXPECT_EQ(picked(2, 1), 12);
  EXPECT_EQ(picked(3, 2), 34);
  EXPECT_THROW(
      build_MatrixFromIndexRows(IntArray({4}), IntArray({1}), Numbered(3, 4)),
      NEWMAT::Logic_error);
}

TEST(Partitions, ReorderPutsEachGroupTogether) {
  // Groups {3, 1} and {2}: order (3, 1, 2).
  const auto partition = km_test::IntArrays({{3, 1}, {2}});
  EXPECT_EQ(count_PartitionMembers(partition), 3);
  const NEWMAT::Matrix m = reorder_MatrixByPartition(partition, Numbered(3, 3));
  const double kExpected[3][3] = {{33, 31, 32}, {13, 11, 12}, {23, 21, 22}};
  ASSERT_EQ(m.Nrows(), 3);
  ASSERT_EQ(m.Ncols(), 3);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(m(i, j), kExpected[i - 1][j - 1]);
  }
  // Only the listed members take part.
  EXPECT_EQ(reorder_MatrixByPartition(km_test::IntArrays({{2}}),
                                      Numbered(3, 3))(1, 1),
            22);
}

TEST(Partitions, CollectAndMatrix) {
  const auto partition = km_test::IntArrays({{4, 2}, {}, {1, 3, 5}});
  const std::vector<std::vector<int>> groups =
      collect_PartitionGroups(partition);
  const std::vector<std::vector<int>> kExpected = {{4, 2}, {}, {1, 3, 5}};
  EXPECT_EQ(groups, kExpected);

  const NEWMAT::Matrix m = partitionsToMatrix(groups);
  ASSERT_EQ(m.Nrows(), 3);
  ASSERT_EQ(m.Ncols(), 3);
  const double kRows[3][3] = {{4, 2, 0}, {0, 0, 0}, {1, 3, 5}};
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(m(i, j), kRows[i - 1][j - 1]);
  }
  const NEWMAT::Matrix none = partitionsToMatrix({});
  EXPECT_EQ(none.Nrows(), 0);
  EXPECT_EQ(none.Ncols(), 0);
}

TEST(MatrixDump, AppendsTitleDimensionsAndRows) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("dump.txt");
  km_test::WriteAll(path, "before\n");
  NEWMAT::Matrix m(1, 2);
  m(1, 1) = 1;
  m(1, 2) = 2;
  writeMatrixToStream(path.c_str(), "lKMax is ", m, "%.10f");
  NEWMAT::Matrix two(2, 1);
  two(1, 1) = -0.5;
  two(2, 1) = 1e3;
  writeMatrixToStream(path.c_str(), "second", two, "%.10f");
  EXPECT_EQ(km_test::ReadAll(path),
            "before\n"
            "\nlKMax is \nDinmenstions:(1,2)\n1.0000000000,2.0000000000,\n"
            "\nsecond\nDinmenstions:(2,1)\n-0.5000000000,\n"
            "1000.0000000000,\n");
}

TEST(MatrixDump, UnopenableFileIsSilentlySkipped) {
  km_test::ScratchDir dir;
  EXPECT_NO_THROW(writeMatrixToStream(dir.File("no/such/dir/x.txt").c_str(),
                                      "t", make_IdentityMatrix(1), "%.10f"));
}

}  // namespace
