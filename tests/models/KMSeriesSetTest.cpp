// Tests of the small value records of the model framework: KMSeriesSet,
// KMPartitionMatrix, KMModelScoreRec, KMRegFitCounts, KMClusterCandidate
// and kmFitLogNames.
#include <gtest/gtest.h>
#include <newmat.h>

#include <limits>
#include <string>
#include <vector>

#include "models/KMClusterCandidate.h"
#include "models/KMModelScoreRec.h"
#include "models/KMPartitionMatrix.h"
#include "models/KMRegFitCounts.h"
#include "models/KMSeriesSet.h"
#include "models/kmFitLogNames.h"
#include "tests/models/DataClassTestHelpers.h"

namespace {

using km_data_test::Dims;
using km_data_test::Values;
using km_data_test::Vec;

// Two series: "a" over (1, 2, 3) and "b" over (4, 5), and a diagonal
// covariance over the five observations.
KMSeriesSet TwoSeries() {
  KMSeriesSet set;
  set.labels.Resize(2);
  set.xValues.Resize(2);
  set.yValues.Resize(2);
  set.labels[0] = "a";
  set.labels[1] = "b";
  set.xValues[0] = Vec({1, 2, 3});
  set.yValues[0] = Vec({10, 20, 30});
  set.xValues[1] = Vec({4, 5});
  set.yValues[1] = Vec({40, 50});
  set.covariance.ReSize(5);
  set.covariance = 0.0;
  for (int i = 1; i <= 5; ++i) set.covariance(i, i) = i;
  return set;
}

void ExpectTwoSeries(const KMSeriesSet& set) {
  ASSERT_EQ(set.labels.GetSize(), 2);
  ASSERT_EQ(set.xValues.GetSize(), 2);
  ASSERT_EQ(set.yValues.GetSize(), 2);
  EXPECT_STREQ(set.labels[0].GetCString(), "a");
  EXPECT_STREQ(set.labels[1].GetCString(), "b");
  EXPECT_EQ(Values(set.xValues[0]), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(Values(set.yValues[1]), (std::vector<double>{40, 50}));
  ASSERT_EQ(set.covariance.Nrows(), 5);
  EXPECT_EQ(set.covariance(3, 3), 3.0);
  EXPECT_EQ(set.covariance(1, 2), 0.0);
}

TEST(KMSeriesSet, ConstructionIsEmpty) {
  const KMSeriesSet set;
  EXPECT_EQ(set.labels.GetSize(), 0);
  EXPECT_EQ(set.xValues.GetSize(), 0);
  EXPECT_EQ(set.yValues.GetSize(), 0);
  EXPECT_EQ(Dims(set.covariance), (std::vector<int>{0, 0}));
}

TEST(KMSeriesSet, CopiesAreDeepAndIndependent) {
  KMSeriesSet source = TwoSeries();
  KMSeriesSet copied(source);
  KMSeriesSet assigned;
  assigned = source;
  ExpectTwoSeries(copied);
  ExpectTwoSeries(assigned);

  source.labels[0] = "changed";
  source.xValues[0](1) = -1;
  source.yValues[1](2) = -1;
  source.covariance(3, 3) = -1;
  ExpectTwoSeries(copied);
  ExpectTwoSeries(assigned);

  // The other way round: a copy's change leaves the source alone.
  KMSeriesSet original = TwoSeries();
  KMSeriesSet second = original;
  second.xValues[1](1) = -5;
  ExpectTwoSeries(original);
}

TEST(KMSeriesSet, AssignmentReplacesLargerContents) {
  KMSeriesSet target = TwoSeries();
  target.labels.Resize(4);
  KMSeriesSet source;
  source.labels.Resize(1);
  source.xValues.Resize(1);
  source.yValues.Resize(1);
  source.xValues[0] = Vec({7});
  target = source;
  EXPECT_EQ(target.labels.GetSize(), 1);
  EXPECT_EQ(target.xValues.GetSize(), 1);
  EXPECT_EQ(Values(target.xValues[0]), (std::vector<double>{7}));
  EXPECT_EQ(Dims(target.covariance), (std::vector<int>{0, 0}));
}

TEST(KMSeriesSet, ClearFreesTheSeriesAndResetMatrixTheMatrix) {
  KMSeriesSet set = TwoSeries();
  set.clear();
  EXPECT_EQ(set.labels.GetSize(), 0);
  EXPECT_EQ(set.xValues.GetSize(), 0);
  EXPECT_EQ(set.yValues.GetSize(), 0);
  EXPECT_EQ(set.covariance.Nrows(), 5);  // clear leaves the matrix

  set.resetMatrix();
  EXPECT_EQ(Dims(set.covariance), (std::vector<int>{0, 0}));
}

TEST(KMPartitionMatrix, CopiesAreDeepAndClearEmptiesBoth) {
  KMPartitionMatrix source;
  source.labels = {"g1", "g2"};
  source.matrix = km_data_test::Mat(2, 3, 0);
  KMPartitionMatrix copied(source);
  KMPartitionMatrix assigned;
  assigned = source;
  source.labels[0] = "x";
  source.matrix(1, 1) = -1;
  for (const KMPartitionMatrix* m : {&copied, &assigned}) {
    EXPECT_EQ(m->labels, (std::vector<std::string>{"g1", "g2"}));
    EXPECT_EQ(m->matrix(1, 1), 11.0);
  }
  copied.clear();
  EXPECT_TRUE(copied.labels.empty());
  EXPECT_EQ(Dims(copied.matrix), (std::vector<int>{0, 0}));
}

TEST(KMModelScoreRec, ResetGivesTheTabledValues) {
  KMModelScoreRec rec;
  rec.k0 = 1;
  rec.N = 99;
  rec.F = 3.5;
  rec.retained = true;
  rec.reset();
  const double kMinusInf = -std::numeric_limits<double>::infinity();
  EXPECT_EQ(rec.k0, -1);
  EXPECT_EQ(rec.k1, -1);
  EXPECT_EQ(rec.df1, -1);
  EXPECT_EQ(rec.df2, -1);
  EXPECT_EQ(rec.N, 0);
  EXPECT_EQ(rec.pPerm, -1.0);
  EXPECT_EQ(rec.alpha, -1.0);
  EXPECT_EQ(rec.F, kMinusInf);
  EXPECT_EQ(rec.pF, kMinusInf);
  EXPECT_EQ(rec.selected, -1);
  EXPECT_FALSE(rec.retained);
}

TEST(KMRegFitCounts, ResetZeroesTheCountsAndKeepsTheMatrix) {
  KMRegFitCounts counts;
  EXPECT_EQ(
      counts.iMember1 + counts.iMember2 + counts.iMember3 + counts.iMember4, 0);
  counts.iMember1 = 1;
  counts.iMember4 = 4;
  counts.mMember5 = km_data_test::Mat(1, 1, 0);
  counts.reset();
  EXPECT_EQ(counts.iMember1, 0);
  EXPECT_EQ(counts.iMember4, 0);
  EXPECT_EQ(counts.mMember5.Nrows(), 1);
}

TEST(KMClusterCandidate, ResetSetsIndicesCountAndValue) {
  KMClusterCandidate candidate;
  candidate.index1 = 4;
  candidate.index2 = 5;
  candidate.index3 = 6;
  candidate.count = 7;
  candidate.value = 8.5;
  resetClusterCandidateIndices(candidate);
  EXPECT_EQ(candidate.index1, -1);
  EXPECT_EQ(candidate.index2, -1);
  EXPECT_EQ(candidate.index3, -1);
  EXPECT_EQ(candidate.count, 0);
  EXPECT_EQ(candidate.value, 0.0);
}

TEST(kmFitLogNames, HoldsTheLogFileAndLabels) {
  const kmFitLogNames names;
  EXPECT_STREQ(names.logFileName.GetCString(), "LogFile.txt");
  EXPECT_STREQ(names.observedLabel.GetCString(), "Observed");
  EXPECT_STREQ(names.simulationLabel.GetCString(), "Simulation");
}

}  // namespace
