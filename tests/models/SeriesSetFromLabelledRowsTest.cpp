// Tests of build_SeriesSetFromLabelledRows.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "models/KMPartitionMatrix.h"
#include "models/KMSeriesSet.h"
#include "models/SeriesSetFromLabelledRows.h"

namespace {

// Rows labelled a, b, a, b, c: (x, y, se).
KMPartitionMatrix AlternatingRows() {
  KMPartitionMatrix rows;
  rows.labels = {"a", "b", "a", "b", "c"};
  rows.matrix.ReSize(5, 3);
  rows.matrix << 1.0 << 2.0 << 0.5    // a
              << 1.0 << 4.0 << 1.0    // b
              << 2.0 << 8.0 << 2.0    // a
              << 2.0 << 16.0 << 0.25  // b
              << 3.0 << 1.0 << 3.0;   // c
  return rows;
}

std::vector<double> Values(const NEWMAT::ColumnVector& v) {
  return std::vector<double>(v.Store(), v.Store() + v.Nrows());
}

TEST(SeriesSetFromLabelledRows, GroupsRowsByFirstAppearanceOfLabel) {
  struct Case {
    const char* name;
    int32_t logFlag;
    int32_t weightFlag;
    std::vector<std::vector<double>> y;  // per series
    std::vector<double> variances;       // output order a1 a2 b1 b2 c
  };
  const Case kCases[] = {
      {"plain values, standard-error weights",
       0,
       2,
       {{2, 8}, {4, 16}, {1}},
       {0.25, 4.0, 1.0, 0.0625, 9.0}},
      // ln y and the delta-method variance se^2 / y^2.
      {"log-linear, standard-error weights",
       1,
       2,
       {{std::log(2.0), std::log(8.0)}, {std::log(4.0), std::log(16.0)}, {0.0}},
       {0.0625, 0.0625, 0.0625, 0.0625 / 256.0, 9.0}},
      // weightFlag 0 overrides every variance with 1, also under logFlag 1.
      {"log-linear, unweighted",
       1,
       0,
       {{std::log(2.0), std::log(8.0)}, {std::log(4.0), std::log(16.0)}, {0.0}},
       {1, 1, 1, 1, 1}},
      // Any weightFlag but 0 keeps se^2.
      {"plain values, weightFlag 1",
       0,
       1,
       {{2, 8}, {4, 16}, {1}},
       {0.25, 4.0, 1.0, 0.0625, 9.0}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    KMSeriesSet out;
    KMSeriesSet& returned = build_SeriesSetFromLabelledRows(
        out, AlternatingRows(), c.logFlag, c.weightFlag);
    EXPECT_EQ(&returned, &out);
    ASSERT_EQ(out.labels.GetSize(), 3);
    EXPECT_STREQ(out.labels[0].GetCString(), "a");
    EXPECT_STREQ(out.labels[1].GetCString(), "b");
    EXPECT_STREQ(out.labels[2].GetCString(), "c");
    ASSERT_EQ(out.xValues.GetSize(), 3);
    ASSERT_EQ(out.yValues.GetSize(), 3);
    EXPECT_EQ(Values(out.xValues[0]), (std::vector<double>{1, 2}));
    EXPECT_EQ(Values(out.xValues[1]), (std::vector<double>{1, 2}));
    EXPECT_EQ(Values(out.xValues[2]), (std::vector<double>{3}));
    for (int s = 0; s < 3; ++s) {
      const std::vector<double> y = Values(out.yValues[s]);
      ASSERT_EQ(y.size(), c.y[s].size());
      for (size_t t = 0; t < y.size(); ++t) {
        EXPECT_DOUBLE_EQ(y[t], c.y[s][t]) << "series " << s << " row " << t;
      }
    }
    // The variance index follows the output order, not the table order.
    ASSERT_EQ(out.covariance.Nrows(), 5);
    for (int i = 1; i <= 5; ++i) {
      for (int j = 1; j <= 5; ++j) {
        const double expected = i == j ? c.variances[i - 1] : 0.0;
        EXPECT_DOUBLE_EQ(out.covariance(i, j), expected) << i << "," << j;
      }
    }
  }
}

TEST(SeriesSetFromLabelledRows, LabelsCompareByteWise) {
  KMPartitionMatrix rows;
  rows.labels = {"A", "a", "a ", "A"};
  rows.matrix.ReSize(4, 3);
  rows.matrix = 1.0;
  KMSeriesSet out;
  build_SeriesSetFromLabelledRows(out, rows, 0, 0);
  ASSERT_EQ(out.labels.GetSize(), 3);
  EXPECT_EQ(out.xValues[0].Nrows(), 2);
  EXPECT_EQ(out.xValues[1].Nrows(), 1);
  EXPECT_EQ(out.xValues[2].Nrows(), 1);
}

TEST(SeriesSetFromLabelledRows, ReplacesPreviousContents) {
  KMSeriesSet out;
  build_SeriesSetFromLabelledRows(out, AlternatingRows(), 0, 2);
  KMPartitionMatrix one;
  one.labels = {"z"};
  one.matrix.ReSize(1, 3);
  one.matrix << 5.0 << 6.0 << 7.0;
  build_SeriesSetFromLabelledRows(out, one, 0, 2);
  ASSERT_EQ(out.labels.GetSize(), 1);
  EXPECT_STREQ(out.labels[0].GetCString(), "z");
  EXPECT_EQ(out.covariance.Nrows(), 1);
  EXPECT_DOUBLE_EQ(out.covariance(1, 1), 49.0);
}

TEST(SeriesSetFromLabelledRows, EmptyTableGivesEmptySet) {
  KMSeriesSet out;
  build_SeriesSetFromLabelledRows(out, KMPartitionMatrix(), 0, 0);
  EXPECT_EQ(out.labels.GetSize(), 0);
  EXPECT_EQ(out.xValues.GetSize(), 0);
  EXPECT_EQ(out.covariance.Nrows(), 0);
}

TEST(SeriesSetFromLabelledRows, RejectsLabelsWithoutRows) {
  // Fault: the matrix-file reader keeps the label of a line with too few
  // numbers but adds no row, so row r no longer belongs to label r; pairing
  // them by position put values under the wrong labels.
  KMPartitionMatrix rows = AlternatingRows();
  rows.labels.push_back("short line");
  KMSeriesSet out;
  EXPECT_THROW(build_SeriesSetFromLabelledRows(out, rows, 0, 2), KmException);
}

}  // namespace
