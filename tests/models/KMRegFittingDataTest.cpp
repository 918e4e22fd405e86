// Tests of the candidate-location grid built by
// KMRegFittingData::fill_FittingDataArrays.
#include <gtest/gtest.h>
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "models/KMRegFittingData.h"
#include "tests/models/DataClassTestHelpers.h"

namespace {

using km_data_test::Values;
using km_data_test::Vec;

// Fitting data over the given series with grid integers a, b and c.
KMRegFittingData MakeData(const std::vector<std::vector<double>>& series, int a,
                          int b, int c) {
  KMRegFittingData data;
  data.xValues.Resize(static_cast<int>(series.size()));
  for (size_t s = 0; s < series.size(); ++s) {
    NEWMAT::ColumnVector x(static_cast<int>(series[s].size()));
    for (size_t i = 0; i < series[s].size(); ++i) {
      x(static_cast<int>(i) + 1) = series[s][i];
    }
    data.xValues[static_cast<int>(s)] = x;
  }
  data.settings.minObsAtEnds = a;
  data.settings.minObsBetween = b;
  data.settings.gridPointsBetween = c;
  return data;
}

struct GridCase {
  std::string name;
  std::vector<std::vector<double>> series;
  int a, b, c;
  std::vector<double> distinct;
  std::vector<double> candidates;
  std::vector<double> indices;
};

// Each grid worked by hand: D distinct values U, M = max(0, (D - 2a)(c + 1)
// + c) candidates; gap g = a..D-a splits U(g)..U(g+1) into c + 1 steps; the
// first gap gives its c inner points, later gaps U(g) and c inner points;
// index numbers start at (c + 1) b + 1 and grow by c + 1 per gap.
const GridCase kGridCases[] = {
    // D = 5, M = 3. Gap 1 gives nothing; gaps 2, 3, 4 give U(2), U(3), U(4)
    // with index numbers 2, 3, 4.
    {"one point per gap",
     {{1, 2, 3, 4, 5}},
     1,
     0,
     0,
     {1, 2, 3, 4, 5},
     {2, 3, 4},
     {2, 3, 4}},
    // D = 4, M = 5. Gap 1 (step 5): 5, number 1; gap 2: 10, 15, number 3;
    // gap 3: 20, 25, number 5.
    {"one inner point per gap",
     {{0, 10, 20, 30}},
     1,
     0,
     1,
     {0, 10, 20, 30},
     {5, 10, 15, 20, 25},
     {1, 3, 3, 5, 5}},
    // Two series over the same years: D = 4, M = 2 (2001 and 2002).
    {"repeated values of two series",
     {{2000, 2001, 2002, 2003}, {2000, 2001, 2002, 2003}},
     1,
     0,
     0,
     {2000, 2001, 2002, 2003},
     {2001, 2002},
     {2, 3}},
    // D = 6, a = 2, b = 2, c = 2: M = 2 * 3 + 2 = 8. Gap 2 (3..6, step 1):
    // 4, 5 with number 3 * 2 + 1 = 7; gap 3: 6, 7, 8 (10); gap 4: 9, 10, 11
    // (13). All lie strictly between U(2) = 3 and U(5) = 12.
    {"wider ends and a base",
     {{0, 3, 6, 9, 12, 15}},
     2,
     2,
     2,
     {0, 3, 6, 9, 12, 15},
     {4, 5, 6, 7, 8, 9, 10, 11},
     {7, 7, 10, 10, 10, 13, 13, 13}},
    // Unsorted series with shared values: U = 1..5; b = 1 starts the
    // numbers at 2, so gaps 2, 3, 4 carry 3, 4, 5.
    {"unsorted series",
     {{5, 1, 3}, {3, 2, 4, 1}},
     1,
     1,
     0,
     {1, 2, 3, 4, 5},
     {2, 3, 4},
     {3, 4, 5}},
    // Uneven gaps: steps 0.5, 1 and 2.
    {"uneven gaps",
     {{0, 1, 3, 7}},
     1,
     0,
     1,
     {0, 1, 3, 7},
     {0.5, 1, 2, 3, 5},
     {1, 3, 3, 5, 5}},
    // D - 2a = 0: the single gap is the first one and gives its c points.
    {"single gap", {{1, 2}}, 1, 0, 1, {1, 2}, {1.5}, {1}},
    // D - 2a < 0: no gap at all.
    {"ends leave no gap", {{1, 2, 3}}, 2, 0, 0, {1, 2, 3}, {}, {}},
    // No series: nothing to build on.
    {"no series", {}, 1, 0, 0, {}, {}, {}},
};

TEST(KMRegFittingData, FillBuildsTheHandWorkedGrids) {
  for (const GridCase& tc : kGridCases) {
    SCOPED_TRACE(tc.name);
    KMRegFittingData data = MakeData(tc.series, tc.a, tc.b, tc.c);
    data.fill_FittingDataArrays();
    EXPECT_EQ(Values(data.distinctX), tc.distinct);
    EXPECT_EQ(Values(data.candidates), tc.candidates);
    EXPECT_EQ(Values(data.candidateIndices), tc.indices);
    const int D = static_cast<int>(tc.distinct.size());
    EXPECT_EQ(data.candidates.Nrows(),
              std::max(0, (D - 2 * tc.a) * (tc.c + 1) + tc.c));
  }
}

TEST(KMRegFittingData, UserLocationsReplaceTheGrid) {
  // Whatever a, b and c are, the user's n locations are the candidates with
  // the numbers 2..n+1; the distinct values are still computed.
  KMRegFittingData data = MakeData({{1, 2, 3, 4, 5}}, 5, 3, 2);
  data.settings.userLocations = Vec({7.5, 8, 9});
  data.settings.useUserLocations = true;
  data.fill_FittingDataArrays();
  EXPECT_EQ(Values(data.candidates), (std::vector<double>{7.5, 8, 9}));
  EXPECT_EQ(Values(data.candidateIndices), (std::vector<double>{2, 3, 4}));
  EXPECT_EQ(Values(data.distinctX), (std::vector<double>{1, 2, 3, 4, 5}));
}

TEST(KMRegFittingData, SecondFillReplacesTheFirst) {
  KMRegFittingData data = MakeData({{0, 10, 20, 30}}, 1, 0, 1);
  data.fill_FittingDataArrays();
  data.settings.gridPointsBetween = 0;
  data.fill_FittingDataArrays();
  EXPECT_EQ(Values(data.candidates), (std::vector<double>{10, 20}));
  EXPECT_EQ(Values(data.candidateIndices), (std::vector<double>{2, 3}));
}

TEST(KMRegFittingData, NoEndMarginRaisesTheMatrixIndexError) {
  // The first gap of a grid with a = 0 would start at U(0).
  KMRegFittingData data = MakeData({{1, 2, 3}}, 0, 0, 0);
  EXPECT_THROW(data.fill_FittingDataArrays(), NEWMAT::IndexException);
}

TEST(KMRegFittingData, NaNValueKeepsTheOthersInOrder) {
  // Sorting data that holds a NaN must stay well defined: the numbers come
  // out in increasing order, the NaN after them.
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  KMRegFittingData data = MakeData({{3, kNaN, 1, 2}}, 5, 0, 0);
  data.fill_FittingDataArrays();
  ASSERT_EQ(data.distinctX.Nrows(), 4);
  EXPECT_EQ(data.distinctX(1), 1);
  EXPECT_EQ(data.distinctX(2), 2);
  EXPECT_EQ(data.distinctX(3), 3);
  EXPECT_TRUE(std::isnan(data.distinctX(4)));
}

TEST(KMRegFittingData, ClearEmptiesTheGridAndCopiesAreDeep) {
  KMRegFittingData data = MakeData({{1, 2, 3, 4, 5}}, 1, 0, 0);
  data.fill_FittingDataArrays();
  KMRegFittingData copy = data;
  data.clear();
  EXPECT_EQ(data.candidates.Nrows(), 0);
  EXPECT_EQ(data.candidateIndices.Nrows(), 0);
  EXPECT_EQ(data.distinctX.Nrows(), 0);
  EXPECT_EQ(Values(copy.candidates), (std::vector<double>{2, 3, 4}));
  EXPECT_EQ(copy.xValues.GetSize(), 1);
}

}  // namespace
