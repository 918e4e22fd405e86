// Extremes with their tie rules, sample statistics and the heap sorts.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "models/ModelNumerics.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::IntArray;
using km_test::ToVector;
using km_test::Vec;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Extremes, WithIndexReportsTheFirstOfEqualExtremes) {
  struct Case {
    std::vector<double> values;
    double min;
    int minIndex;
    double max;
    int maxIndex;
  };
  const Case kCases[] = {
      {{3, 1, 1}, 1, 2, 3, 1},
      {{5, 5}, 5, 1, 5, 1},
      {{-2.5}, -2.5, 1, -2.5, 1},
      {{0, 4, -7, 4, -7}, -7, 3, 4, 2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.values.size());
    int iIndex = -1;
    EXPECT_EQ(find_MinWithIndex(iIndex, Vec(c.values)), c.min);
    EXPECT_EQ(iIndex, c.minIndex);
    EXPECT_EQ(find_MaxWithIndex(iIndex, Vec(c.values)), c.max);
    EXPECT_EQ(iIndex, c.maxIndex);
  }
}

TEST(Extremes, EmptyInputsGiveTheFixedInfinities) {
  int iIndex = 42;
  EXPECT_EQ(find_MinWithIndex(iIndex, NEWMAT::ColumnVector()), -kInf);
  EXPECT_EQ(find_MaxWithIndex(iIndex, NEWMAT::ColumnVector()), -kInf);
  EXPECT_EQ(iIndex, 42);
  const OneDimensionArray<NEWMAT::ColumnVector> noVectors;
  EXPECT_EQ(find_MinOfVectorArray(noVectors), -kInf);
  EXPECT_EQ(find_MaxOfVectorArray(noVectors), kInf);
  const OneDimensionArray<int> noInts;
  EXPECT_EQ(find_MinOfIntArray(noInts), -kInf);
  EXPECT_EQ(find_MaxOfIntArray(noInts), kInf);
}

TEST(Extremes, OverArrays) {
  OneDimensionArray<NEWMAT::ColumnVector> vectors;
  vectors.Resize(3);
  vectors[0] = Vec({2, 9, 4});
  vectors[1] = Vec({-1.5});
  vectors[2] = Vec({3, 11, 0});
  EXPECT_EQ(find_MinOfVectorArray(vectors), -1.5);
  EXPECT_EQ(find_MaxOfVectorArray(vectors), 11.0);
  EXPECT_EQ(find_MinOfIntArray(IntArray({4, -3, 8, -3})), -3.0);
  EXPECT_EQ(find_MaxOfIntArray(IntArray({4, -3, 8, -3})), 8.0);
}

TEST(Extremes, EmptyVectorInsideAnArrayRaisesTheMatrixError) {
  OneDimensionArray<NEWMAT::ColumnVector> vectors;
  vectors.Resize(2);
  vectors[0] = Vec({1, 2});
  EXPECT_THROW(find_MinOfVectorArray(vectors), NEWMAT::Logic_error);
  EXPECT_THROW(find_MaxOfVectorArray(vectors), NEWMAT::Logic_error);
}

TEST(Statistics, StdDevMedianAndPrefixMinima) {
  struct Case {
    std::vector<double> values;
    double stdDev;
    double median;
    double prefixMinima;
  };
  // R: sd(v); median(v). Prefix minima hand-worked in each line.
  const Case kCases[] = {
      {{}, 0.0, -kInf, 0.0},
      {{4.5}, 0.0, 4.5, 4.5},
      {{1, 2, 3}, 1.0, 2.0, 1 + 1 + 1},
      {{3, 1, 2}, 1.0, 2.0, 3 + 1 + 1},
      {{4, 1, 3, 2}, 1.2909944487358056, 2.5, 4 + 1 + 1 + 1},
      {{2.5, 7.1, -0.4, 3.3, 3.3, 10.25},
       3.7566496598254497,
       3.3,
       2.5 + 2.5 - 0.4 - 0.4 - 0.4 - 0.4},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.values.size());
    const NEWMAT::ColumnVector v = Vec(c.values);
    EXPECT_TRUE(
        km_test::RelNear(calc_StdDev(v), c.stdDev, km_test::kTightRelTol));
    EXPECT_EQ(calc_Median(v), c.median);
    EXPECT_DOUBLE_EQ(sum_PrefixMinima(v), c.prefixMinima);
  }
}

TEST(Sorting, SortsAgreeWithTheStandardSort) {
  // Lengths around heap-shape boundaries, with repeats and negatives.
  for (int n : {0, 1, 2, 3, 7, 8, 9, 16, 33}) {
    SCOPED_TRACE(n);
    std::vector<int> ints;
    for (int i = 0; i < n; ++i) ints.push_back((i * 37 + 11) % 13 - 6);
    std::vector<int> expectedInts = ints;
    std::sort(expectedInts.begin(), expectedInts.end());

    OneDimensionArray<int> inPlace = IntArray(ints);
    sort_IntArray(inPlace);
    EXPECT_EQ(ToVector(inPlace), expectedInts);

    const OneDimensionArray<int> original = IntArray(ints);
    EXPECT_EQ(ToVector(order_IntArray(original)), expectedInts);
    EXPECT_EQ(ToVector(original), ints);

    std::vector<double> doubles(ints.begin(), ints.end());
    for (double& d : doubles) d *= 0.25;
    NEWMAT::ColumnVector v = Vec(doubles);
    sort_ColumnVector(v);
    std::sort(doubles.begin(), doubles.end());
    for (int i = 1; i <= n; ++i) EXPECT_EQ(v(i), doubles[i - 1]) << i;
  }
}

TEST(Sorting, PairsKeepTheirIndexWithTheirValue) {
  const double kValues[] = {0.5, -2.0, 9.0, 0.25, 3.0};
  OneDimensionArray<KMIndexValuePair> pairs;
  pairs.Resize(5);
  for (int i = 0; i < 5; ++i) pairs[i] = {i + 1, kValues[i]};
  sort_IndexValuePairs(pairs);
  const int kExpectedIndex[] = {2, 4, 1, 5, 3};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(pairs[i].index, kExpectedIndex[i]) << i;
    EXPECT_EQ(pairs[i].value, kValues[kExpectedIndex[i] - 1]) << i;
  }
}

}  // namespace
