// Multi-group clustering: the enumeration of candidate subsets and
// partitions against independent counts, the choice among partitions and
// numbers of clusters, and whole analyses of groups generated from known
// trends.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "engine/KMClusteringAnalysis.h"
#include "engine/KMPartitionEnumeration.h"
#include "foundation/KmException.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using Lists = std::vector<std::vector<int>>;

std::vector<int> ToVector(const KMGroupList& list) {
  std::vector<int> out;
  for (int i = 0; i < list.GetSize(); ++i) out.push_back(list[i]);
  return out;
}

Lists ToLists(const KMPartition& partition) {
  Lists out;
  for (int i = 0; i < partition.GetSize(); ++i) {
    out.push_back(ToVector(partition[i]));
  }
  return out;
}

KMGroupList FromVector(const std::vector<int>& values) {
  KMGroupList list;
  list.SetSize(static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    list[static_cast<int>(i)] = values[i];
  }
  return list;
}

std::vector<Lists> AllPartitions(const char* sOrder, int n, int k) {
  std::vector<Lists> out;
  KMPartitionEnumState state;
  KMPartition previous;
  for (;;) {
    const KMPartition next =
        enumerate_Partitions(previous, state, sOrder, n, k);
    if (next.GetSize() == 0) break;
    out.push_back(ToLists(next));
    previous = next;
  }
  return out;
}

// Independent counts: Stirling numbers of the second kind by their
// recurrence, binomials by Pascal's rule.
int64_t Stirling2(int n, int k) {
  if (n == 0 && k == 0) return 1;
  if (n == 0 || k == 0) return 0;
  return k * Stirling2(n - 1, k) + Stirling2(n - 1, k - 1);
}
int64_t Binomial(int n, int k) {
  if (k < 0 || k > n) return 0;
  if (k == 0 || k == n) return 1;
  return Binomial(n - 1, k - 1) + Binomial(n - 1, k);
}

TEST(KMPartitionEnumeration, SubsetIndicesInBothModes) {
  BinomialTable table;
  build_BinomialTable(table, 3);
  struct Case {
    const char* sOrder;
    std::vector<int> subset;
    int iIndex;
  };
  const Case kCases[] = {
      {"unordered", {2, 3}, 6},
      {"unordered", {1}, 1},
      {"unordered", {1, 2, 3}, 7},
      {"unordered", {}, -1},
      {"ordered", {1, 3}, 3},
      {"ordered", {2, 2}, 4},
      {"ORDERED", {3}, 6},
      {"Ordered", {2, 3}, 5},
      {"", {1, 3}, 5},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.sOrder) + " " + std::to_string(c.iIndex));
    EXPECT_EQ(get_SubsetIndex(FromVector(c.subset), table, c.sOrder, 3),
              c.iIndex);
  }
  KMUnorderedSubsetState state;
  EXPECT_EQ(ToVector(get_SubsetByIndex(state, "ordered", 5, 3)),
            (std::vector<int>{2, 3}));
  EXPECT_EQ(get_SubsetByIndex(state, "ordered", 7, 3).GetSize(), 0);
}

TEST(KMPartitionEnumeration, PartitionsInTheirOrder) {
  EXPECT_EQ(AllPartitions("ordered", 4, 2),
            (std::vector<Lists>{
                {{1}, {2, 3, 4}}, {{1, 2}, {3, 4}}, {{1, 2, 3}, {4}}}));
  EXPECT_EQ(AllPartitions("unordered", 3, 2),
            (std::vector<Lists>{{{1}, {2, 3}}, {{1, 2}, {3}}, {{1, 3}, {2}}}));
  for (const char* sOrder : {"ordered", "unordered"}) {
    SCOPED_TRACE(sOrder);
    EXPECT_EQ(AllPartitions(sOrder, 1, 1), (std::vector<Lists>{{{1}}}));
    EXPECT_EQ(AllPartitions(sOrder, 3, 3),
              (std::vector<Lists>{{{1}, {2}, {3}}}));
  }
}

TEST(KMPartitionEnumeration, CountsMatchStirlingAndBinomialNumbers) {
  for (int n = 1; n <= 8; ++n) {
    BinomialTable table;
    build_BinomialTable(table, n);
    // Every unordered subset comes once, and its rank is its position.
    KMUnorderedSubsetState state;
    int iCount = 0;
    for (KMGroupList s = get_SubsetByIndex(state, "unordered", 0, n);
         s.GetSize() > 0; s = get_SubsetByIndex(state, "unordered", 0, n)) {
      ++iCount;
      ASSERT_EQ(rank_UnorderedSubset(s, table, n), iCount);
    }
    EXPECT_EQ(iCount, (1 << n) - 1);
    int iRuns = 0;
    while (get_SubsetByIndex(state, "ordered", iRuns + 1, n).GetSize() > 0) {
      ++iRuns;
    }
    EXPECT_EQ(iRuns, n * (n + 1) / 2);

    for (int k = 1; k <= n; ++k) {
      SCOPED_TRACE(testing::Message() << "n " << n << " k " << k);
      EXPECT_EQ(static_cast<int64_t>(AllPartitions("ordered", n, k).size()),
                Binomial(n - 1, k - 1));
      const std::vector<Lists> sets = AllPartitions("unordered", n, k);
      EXPECT_EQ(static_cast<int64_t>(sets.size()), Stirling2(n, k));
      // Each is a partition into k non-empty blocks led by their smallest
      // member, and none repeats.
      EXPECT_EQ(std::set<Lists>(sets.begin(), sets.end()).size(), sets.size());
      for (const Lists& p : sets) {
        std::set<int> seen;
        for (const std::vector<int>& block : p) {
          ASSERT_FALSE(block.empty());
          for (int g : block) EXPECT_TRUE(seen.insert(g).second);
        }
        EXPECT_EQ(static_cast<int>(seen.size()), n);
      }
    }
  }
}

TEST(KMClusteringAnalysis, CriterionLabelsGiveTheirCodes) {
  const std::pair<const char*, int> kCases[] = {
      {"KPerm-CBIC", 0}, {"kmbic-cbic", 1}, {"KBIC-CBIC", 2},
      {"KMIC-cbic", 3},  {"kbic3-CBIC", 4}, {"BIC", 7},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(get_ClusterCriterionCode(c.first, 7), c.second) << c.first;
  }
}

// A candidate fitted with one model (no kinkmarks) of residual sum dRSS and
// p parameters.
KMClusterFitSet FitSet(double dRSS, int p, bool bPerfect = false) {
  KMClusterFitSet fitSet;
  fitSet.commonK = 0;
  fitSet.fits.SetSize(1);
  fitSet.fits[0].records.SetSize(1);
  fitSet.fits[0].records[0].rss = dRSS;
  fitSet.fits[0].records[0].p = p;
  fitSet.fits[0].records[0].perfectFit = bPerfect;
  return fitSet;
}

TEST(KMClusteringAnalysis, TiesKeepTheEarlierPartitionAndTheSmallerK) {
  BinomialTable table;
  build_BinomialTable(table, 3);
  OneDimensionArray<KMClusterFitSet> fitSets;
  fitSets.SetSize(6);
  for (int i = 0; i < 6; ++i) fitSets[i] = FitSet(1.0, 2);
  OneDimensionArray<KMClusterScores> scores;
  evaluate_AllPartitions(scores, fitSets, table, "ordered", 3, 2);
  ASSERT_EQ(scores.GetSize(), 2);
  EXPECT_EQ(ToLists(scores[1].groupLists), (Lists{{1}, {2, 3}}));
  EXPECT_DOUBLE_EQ(scores[1].criterionValue, 2.0);

  // Equal CBIC: V and P agree for k = 1 and k = 2.
  scores[0].criterionValue = 2.0;
  scores[0].fitSets.SetSize(1);
  scores[0].fitSets[0] = FitSet(2.0, 4);
  scores[1].fitSets[0] = FitSet(1.0, 1);
  scores[1].fitSets[1] = FitSet(1.0, 2);
  NEWMAT::ColumnVector values;
  EXPECT_EQ(select_BestNumberOfClusters(values, scores, 30), 1);
  ASSERT_EQ(values.Nrows(), 2);
  EXPECT_DOUBLE_EQ(values(1), std::log(2.0 / 30) + std::log(30.0) * 4 / 30);
  EXPECT_DOUBLE_EQ(values(2), values(1));

  // Each kinkmark a cluster's groups share costs two parameters (location
  // and slope change): a smaller V for k = 2 no longer outweighs them.
  scores[1].criterionValue = 1.8;
  EXPECT_EQ(select_BestNumberOfClusters(values, scores, 30), 2);
  // Its one fit record is then the fit with 1 kinkmark.
  scores[1].fitSets[1].commonK = 1;
  scores[1].fitSets[1].kMin = 1;
  EXPECT_EQ(select_BestNumberOfClusters(values, scores, 30), 1);
  EXPECT_DOUBLE_EQ(values(2), std::log(1.8 / 30) + std::log(30.0) * 6 / 30);
}

TEST(KMClusteringAnalysis, ZeroValuesAreFlagged) {
  struct Case {
    double dValue;
    bool bPerfect;
    int iFlag;
  };
  const Case kCases[] = {{0.5, false, 0}, {0.0, false, 1}, {1e-30, true, 1}};
  for (const Case& c : kCases) {
    OneDimensionArray<KMClusterScores> scores;
    scores.SetSize(1);
    scores[0].criterionValue = c.dValue;
    scores[0].fitSets.SetSize(1);
    scores[0].fitSets[0] = FitSet(c.dValue, 2, c.bPerfect);
    int32_t iFlag = -1;
    check_ZeroCriterion(iFlag, scores);
    EXPECT_EQ(iFlag, c.iFlag) << c.dValue;
  }
}

// Groups of 10 observations each on one of two trends (rising or falling
// lines with their own levels), with a small deterministic wobble; trend[g]
// is the trend of group g + 1.
KMSeriesSet TwoTrendGroups(const std::vector<int>& trend) {
  const int n = static_cast<int>(trend.size()), T = 10;
  KMSeriesSet series;
  series.labels.SetSize(n);
  series.xValues.SetSize(n);
  series.yValues.SetSize(n);
  uint32_t state = 99u;
  for (int g = 0; g < n; ++g) {
    series.labels[g] = std::to_string(g).c_str();
    series.xValues[g].ReSize(T);
    series.yValues[g].ReSize(T);
    for (int t = 0; t < T; ++t) {
      state = state * 1103515245u + 12345u;
      const double wobble = ((state >> 16) % 1000) / 1000.0 - 0.5;
      series.xValues[g](t + 1) = t;
      series.yValues[g](t + 1) =
          trend[g] == 0 ? 2.0 + g + 0.5 * t : 12.0 + g - 0.4 * t;
      series.yValues[g](t + 1) += 0.05 * wobble;
    }
  }
  series.covariance.ReSize(n * T);
  series.covariance = 0.0;
  for (int r = 1; r <= n * T; ++r) series.covariance(r, r) = 1.0;
  return series;
}

KMClusteringSetup TwoTrendSetup(const std::vector<int>& trend,
                                const char* sOrder, int iMaxClusters) {
  KMClusteringSetup setup;
  setup.seriesSet = TwoTrendGroups(trend);
  setup.criterionLabel = "KBIC-CBIC";
  setup.groupOrder = sOrder;
  setup.maxClusters = iMaxClusters;
  setup.bestModelFit.kMin = 0;
  setup.bestModelFit.kMax = 0;
  setup.bestModelFit.N = 20;
  setup.generator.sgenrand(7);
  return setup;
}

TEST(KMClusteringAnalysis, TwoGeneratingTrendsGiveTheirTwoClusters) {
  struct Case {
    const char* sOrder;
    std::vector<int> trend;
    Lists expected;
  };
  const Case kCases[] = {
      {"ordered", {0, 0, 0, 1, 1, 1}, {{1, 2, 3}, {4, 5, 6}}},
      {"unordered", {0, 1, 0, 1, 0}, {{1, 3, 5}, {2, 4}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sOrder);
    KMClusterResampleState state;
    run_ClusteringAnalysis(state, TwoTrendSetup(c.trend, c.sOrder, 9));
    EXPECT_EQ(state.chosenK, 2);
    const int n = static_cast<int>(c.trend.size());
    // The largest number of clusters is capped at the number of groups.
    ASSERT_EQ(state.scores.GetSize(), n);
    EXPECT_EQ(state.criterionValues.Nrows(), n);
    EXPECT_EQ(ToLists(state.scores[1].groupLists), c.expected);
    EXPECT_EQ(state.fitSets.GetSize(), std::string(c.sOrder) == "ordered"
                                           ? n * (n + 1) / 2
                                           : (1 << n) - 1);
    ASSERT_EQ(state.matrixBlock.matrix4.Nrows(), 4);
    EXPECT_EQ(state.matrixBlock.matrix4(3, 1), 1.5);
    EXPECT_EQ(state.matrixBlock.matrix4(3, 2), 2.0);
  }
}

TEST(KMClusteringAnalysis, NoClustersAskedChoosesNone) {
  KMClusterResampleState state;
  run_ClusteringAnalysis(state, TwoTrendSetup({0, 1}, "ordered", 0));
  EXPECT_EQ(state.chosenK, -1);
  EXPECT_EQ(state.scores.GetSize(), 0);
  EXPECT_EQ(state.fitSets.GetSize(), 3);
}

TEST(KMClusteringAnalysis, TooManyGroupsAreRefusedBeforeAnyFit) {
  struct Case {
    const char* sOrder;
    int n;
    const char* sMessage;
  };
  const Case kCases[] = {
      {"unordered", 13,
       "The clustering of 13 groups exceeds the limit of 12 groups for the "
       "unordered group order."},
      {"ordered", 21,
       "The clustering of 21 groups exceeds the limit of 20 groups for the "
       "ordered group order."},
      {"ordered", 0, "The clustering needs at least one group."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.n);
    KMClusterResampleState state;
    const KmException e = km_test::CatchKmException([&] {
      run_ClusteringAnalysis(
          state, TwoTrendSetup(std::vector<int>(c.n, 0), c.sOrder, 2));
    });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_EQ(e.GetKind(), 3);
  }
}

}  // namespace
