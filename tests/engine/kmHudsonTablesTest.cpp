// Shapes and checked accessors of the two tables of Hudson's method.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "engine/kmQMatrix.h"
#include "engine/kmUpperTriangularMatrix.h"
#include "foundation/KmException.h"
#include "tests/test_util/CatchKmException.h"

namespace {

TEST(kmUpperTriangularMatrixTest, RowsShrinkByOneFromTheFirst) {
  kmUpperTriangularMatrix table(5, 5);
  ASSERT_EQ(table.size(), 4u);
  const size_t kLengths[] = {5, 4, 3, 2};
  for (int r = 0; r < 4; ++r) EXPECT_EQ(table[r].size(), kLengths[r]);
}

TEST(kmUpperTriangularMatrixTest, CellsMapToRowAndPosition) {
  kmUpperTriangularMatrix table(5, 5);
  const struct {
    int i, j, row, pos;
  } kCases[] = {{1, 2, 0, 0}, {1, 6, 0, 4}, {4, 6, 3, 1}, {2, 5, 1, 2}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.i) + "," + std::to_string(c.j));
    EXPECT_EQ(&table.GetPartition(c.i, c.j), &table[c.row][c.pos]);
  }
  // Writes through the accessor stay in the cell.
  table.GetPartition(2, 4).rss.ReSize(1);
  table.GetPartition(2, 4).rss(1) = 3.5;
  EXPECT_EQ(table[1][1].rss(1), 3.5);
  EXPECT_EQ(table[1][1].beta.Nrows(), 0);
}

TEST(kmUpperTriangularMatrixTest, OutOfBoundsRequestsRaise) {
  kmUpperTriangularMatrix table(5, 5);
  const struct {
    int i, j;
  } kCases[] = {{2, 2}, {0, 3}, {1, 7}, {3, 1}, {5, 6}, {-1, 2}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.i) + "," + std::to_string(c.j));
    KmException e =
        km_test::CatchKmException([&] { table.GetPartition(c.i, c.j); });
    EXPECT_EQ(std::string(e.GetMessage()), "Partition(" + std::to_string(c.i) +
                                               "," + std::to_string(c.j) +
                                               ") is out of bounds.");
    EXPECT_STREQ(e.GetSource(), "");
    EXPECT_STREQ(e.GetCallPath(), "GetPartition() of kmUpperTriangularMatrix");
  }
  // Inside the outer bounds but past the end of a shorter row.
  KmException e = km_test::CatchKmException([&] { table.GetPartition(4, 7); });
  EXPECT_STREQ(e.GetMessage(), "Partition(4,7) is out of bounds.");
}

TEST(kmUpperTriangularMatrixTest, DegenerateSizes) {
  // One observation gives a table without rows; every request raises.
  kmUpperTriangularMatrix empty(1, 1);
  EXPECT_EQ(empty.size(), 0u);
  KmException e = km_test::CatchKmException([&] { empty.GetPartition(1, 2); });
  EXPECT_STREQ(e.GetMessage(), "Partition(1,2) is out of bounds.");

  // A negative row count used to reach the vector's resize as a huge
  // unsigned size; it must be refused with a clear error.
  e = km_test::CatchKmException([] { kmUpperTriangularMatrix bad(0, 3); });
  EXPECT_STREQ(e.GetMessage(),
               "kmUpperTriangularMatrix(0,3): the number of rows cannot be "
               "negative.");
  EXPECT_STREQ(e.GetCallPath(),
               "kmUpperTriangularMatrix() of kmUpperTriangularMatrix");
}

TEST(kmQMatrixTest, RowsShrinkByOneFromTheFirst) {
  kmQMatrix table(2, 10);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0].size(), 10u);
  EXPECT_EQ(table[1].size(), 9u);
  EXPECT_EQ(table[2].size(), 8u);
  EXPECT_EQ(&table.GetQ(3, 8), &table[2][7]);
  EXPECT_EQ(&table.GetQ(1, 1), &table[0][0]);
  EXPECT_EQ(table.GetQ(2, 9).constraint.Nrows(), 0);
}

TEST(kmQMatrixTest, OutOfBoundsRequestsRaise) {
  kmQMatrix table(2, 10);
  const struct {
    short k;
    int c;
    const char* message;
    const char* source;
  } kCases[] = {
      {0, 1, "Q(0,1) is out of bounds.", ""},
      {-2, 5, "Q(-2,5) is out of bounds.", ""},
      {3, 9, "Index 8 out of range; vector is from 0 to 7", "KmVector"},
      {4, 1, "Index 3 out of range; vector is from 0 to 2", "KmVector"},
      {1, 0, "Index -1 out of range; vector is from 0 to 9", "KmVector"},
      {1, INT_MIN, "Index -2147483648 out of range; vector is from 0 to 9",
       "KmVector"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.message);
    KmException e = km_test::CatchKmException([&] { table.GetQ(c.k, c.c); });
    EXPECT_STREQ(e.GetMessage(), c.message);
    EXPECT_STREQ(e.GetSource(), c.source);
    EXPECT_STREQ(e.GetCallPath(), "GetQ() of kmQMatrix");
  }
}

TEST(kmQMatrixTest, ShortSecondSizeLeavesLaterRowsEmpty) {
  // C(n, K) can be smaller than K + 1 for a short series: the rows past it
  // hold no cells instead of a negative count.
  kmQMatrix table(3, 2);
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[1].size(), 1u);
  EXPECT_EQ(table[2].size(), 0u);
  EXPECT_EQ(table[3].size(), 0u);
  KmException e = km_test::CatchKmException([] { kmQMatrix bad(-2, 3); });
  EXPECT_STREQ(e.GetMessage(),
               "kmQMatrix(-2,3): the number of rows cannot be negative.");
  EXPECT_STREQ(e.GetCallPath(), "kmQMatrix() of kmQMatrix");
}

}  // namespace
