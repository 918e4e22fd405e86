// Tests of the subset enumeration and index-array routines used by
// multi-group clustering. Expected subsets come from bitmask enumeration
// sorted in the test; binomial coefficients from the multiplicative formula
// and from R (choose(33, 16) = 1166803110, choose(34, 17) = 2333606220).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/OneDimensionArray.h"
#include "models/SubsetEnumeration.h"

namespace {

using IndexArray = OneDimensionArray<int>;
using Values = std::vector<int>;

IndexArray Make(const Values& values) {
  IndexArray a;
  a.Resize(static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    a[static_cast<int>(i)] = values[i];
  }
  return a;
}

Values ToValues(const IndexArray& a) {
  Values v;
  for (int i = 0; i < a.GetSize(); ++i) v.push_back(a[i]);
  return v;
}

// All subsets of 1..n with sizes in [lo, hi], by size then lexicographically.
std::vector<Values> SubsetsBySize(int n, int lo, int hi) {
  std::vector<Values> all;
  for (uint32_t mask = 1; mask < (1u << n); ++mask) {
    Values s;
    for (int b = 0; b < n; ++b) {
      if (mask & (1u << b)) s.push_back(b + 1);
    }
    const int size = static_cast<int>(s.size());
    if (size >= lo && size <= hi) all.push_back(s);
  }
  std::sort(all.begin(), all.end(), [](const Values& a, const Values& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return all;
}

// Steps a successor routine from the empty array until it answers empty.
template <typename Step>
std::vector<Values> Walk(Step step) {
  std::vector<Values> out;
  IndexArray current;
  for (;;) {
    current = step(current);
    if (current.GetSize() == 0 || out.size() > 10000) break;
    out.push_back(ToValues(current));
  }
  return out;
}

// Runs f and answers whether it threw the arrays' plain-text index error.
template <typename F>
bool ThrowsIndexError(F f) {
  try {
    f();
  } catch (const char* s) {
    return std::strcmp(s, kOneDimensionArrayIndexError) == 0;
  }
  return false;
}

TEST(NextKSubset, WalksEveryKSubsetInLexicographicOrder) {
  for (int n = 1; n <= 8; ++n) {
    for (int k = 1; k <= n; ++k) {
      SCOPED_TRACE("n=" + std::to_string(n) + " k=" + std::to_string(k));
      EXPECT_EQ(
          Walk([&](const IndexArray& a) { return next_KSubset(a, k, n); }),
          SubsetsBySize(n, k, k));
    }
  }
  const std::vector<Values> expected = {{1, 2}, {1, 3}, {1, 4},
                                        {2, 3}, {2, 4}, {3, 4}};
  EXPECT_EQ(Walk([](const IndexArray& a) { return next_KSubset(a, 2, 4); }),
            expected);
}

TEST(NextKSubset, InvalidArgumentsGiveEmpty) {
  struct Case {
    Values a;
    int k, n;
  };
  const Case cases[] = {{{}, 0, 3},   {{}, 2, 0},     {{}, 4, 3},
                        {{1}, -1, 3}, {{2, 3}, 2, 3}, {{1, 2, 3}, 3, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE("k=" + std::to_string(c.k) + " n=" + std::to_string(c.n));
    EXPECT_EQ(next_KSubset(Make(c.a), c.k, c.n).GetSize(), 0);
  }
}

TEST(FindSubsetPivot, LastPositionBelowItsBound) {
  struct Case {
    Values a;
    int k, n, expected;
  };
  const Case cases[] = {
      {{1, 2}, 2, 4, 2}, {{1, 4}, 2, 4, 1},    {{3, 4}, 2, 4, 0},
      {{}, 2, 4, 0},     {{2, 5, 6}, 3, 6, 1}, {{1, 3, 6}, 3, 6, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.a));
    EXPECT_EQ(find_SubsetPivot(Make(c.a), c.k, c.n), c.expected);
  }
  // A shorter array than k reaches the array's checked access.
  EXPECT_TRUE(ThrowsIndexError([] { find_SubsetPivot(Make({1}), 2, 4); }));
}

TEST(EnumerateKSubsets, WalksAllSizesUpToKBySizeThenLexicographically) {
  for (int n = 1; n <= 7; ++n) {
    for (int k = 1; k <= n; ++k) {
      SCOPED_TRACE("n=" + std::to_string(n) + " k=" + std::to_string(k));
      EXPECT_EQ(Walk([&](const IndexArray& a) {
                  return enumerate_KSubsets(a, k, n);
                }),
                SubsetsBySize(n, 1, k));
    }
  }
  const std::vector<Values> expected = {{1}, {2}, {3}, {1, 2}, {1, 3}, {2, 3}};
  EXPECT_EQ(
      Walk([](const IndexArray& a) { return enumerate_KSubsets(a, 2, 3); }),
      expected);
}

TEST(EnumerateKSubsets, EmptyForInvalidArgumentsOrOversizedSubset) {
  EXPECT_EQ(enumerate_KSubsets(IndexArray(), 4, 3).GetSize(), 0);
  EXPECT_EQ(enumerate_KSubsets(IndexArray(), 0, 3).GetSize(), 0);
  EXPECT_EQ(enumerate_KSubsets(IndexArray(), 1, 0).GetSize(), 0);
  EXPECT_EQ(enumerate_KSubsets(Make({1, 2, 3}), 2, 4).GetSize(), 0);
}

TEST(IndexArrays, RoutinesOnSmallArrays) {
  struct Case {
    const char* sName;
    IndexArray result;
    Values expected;
  };
  const Case cases[] = {
      {"difference",
       set_Difference(Make({10, 20, 30, 40}), Make({2, 4})),
       {10, 30}},
      {"difference of first and last",
       set_Difference(Make({10, 20, 30, 40}), Make({1, 4})),
       {20, 30}},
      {"difference of nothing",
       set_Difference(Make({10, 20}), IndexArray()),
       {10, 20}},
      {"difference removing all",
       set_Difference(Make({1, 2}), Make({1, 2})),
       {}},
      {"difference removing more", set_Difference(Make({1}), Make({1, 1})), {}},
      {"difference of empty", set_Difference(IndexArray(), IndexArray()), {}},
      {"gather",
       gather_ByIndexArray(Make({5, 6, 7}), Make({1, 3}), 9),
       {9, 5, 7}},
      {"gather nothing", gather_ByIndexArray(Make({5}), IndexArray(), 2), {2}},
      {"gather as many as A",
       gather_ByIndexArray(Make({5, 6}), Make({1, 2}), 9),
       {}},
      {"strip", strip_IndexArrayEnds(Make({0, 2, 5, 7})), {2, 5}},
      {"strip three", strip_IndexArrayEnds(Make({0, 2, 7})), {2}},
      {"strip two", strip_IndexArrayEnds(Make({0, 7})), {}},
      {"strip one", strip_IndexArrayEnds(Make({7})), {}},
      {"strip empty", strip_IndexArrayEnds(IndexArray()), {}},
      {"bracket", bracket_IndexArray(Make({2, 5}), 7), {0, 2, 5, 7}},
      {"bracket empty", bracket_IndexArray(IndexArray(), 5), {0, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    EXPECT_EQ(ToValues(c.result), c.expected);
  }
}

TEST(IndexArrays, InputsStayUnchanged) {
  const IndexArray a = Make({10, 20, 30, 40});
  const IndexArray b = Make({2, 3});
  set_Difference(a, b);
  gather_ByIndexArray(a, b, 1);
  strip_IndexArrayEnds(a);
  bracket_IndexArray(a, 9);
  next_KSubset(b, 2, 4);
  enumerate_KSubsets(b, 2, 4);
  EXPECT_EQ(ToValues(a), (Values{10, 20, 30, 40}));
  EXPECT_EQ(ToValues(b), (Values{2, 3}));
}

TEST(IndexArrays, PositionsOutsideTheArrayRaiseIndexError) {
  EXPECT_TRUE(ThrowsIndexError([] {
    gather_ByIndexArray(Make({5, 6, 7}), Make({4}), 0);
  }));
  EXPECT_TRUE(ThrowsIndexError([] {
    gather_ByIndexArray(Make({5, 6, 7}), Make({0}), 0);
  }));
  // Positions beyond A are never skipped, so more than a - b entries would
  // be copied.
  EXPECT_TRUE(ThrowsIndexError([] {
    set_Difference(Make({1, 2, 3}), Make({5}));
  }));
}

TEST(IndexArrays, OrderedSplitWalkVisitsEveryComposition) {
  // Cut arrays [0, c_1, ..., c_(K-1), n] of n groups in K runs, stepped by
  // strip / next_KSubset / bracket from [0, 1, ..., K-1, n]: one split per
  // (K-1)-subset of 1..n-1, C(n-1, K-1) in all, in lexicographic order.
  for (int n = 2; n <= 7; ++n) {
    for (int K = 2; K <= n; ++K) {
      SCOPED_TRACE("n=" + std::to_string(n) + " K=" + std::to_string(K));
      Values first = {0};
      for (int c = 1; c < K; ++c) first.push_back(c);
      first.push_back(n);
      std::vector<Values> cuts = {first};
      IndexArray current = Make(first);
      for (;;) {
        IndexArray inner =
            next_KSubset(strip_IndexArrayEnds(current), K - 1, n - 1);
        if (inner.GetSize() == 0) break;
        current = bracket_IndexArray(inner, n);
        cuts.push_back(ToValues(current));
      }
      std::vector<Values> expected;
      for (const Values& s : SubsetsBySize(n - 1, K - 1, K - 1)) {
        Values c = {0};
        c.insert(c.end(), s.begin(), s.end());
        c.push_back(n);
        expected.push_back(c);
      }
      EXPECT_EQ(cuts, expected);
    }
  }
}

// C(m, j) by the multiplicative formula in 64 bits (exact for m <= 60).
int64_t Choose(int m, int j) {
  int64_t c = 1;
  for (int i = 1; i <= j; ++i) c = c * (m - j + i) / i;
  return c;
}

TEST(BuildBinomialTable, SmallTablesAndAppending) {
  BinomialTable table;
  build_BinomialTable(table, -1);
  EXPECT_TRUE(table.empty());
  build_BinomialTable(table, 0);
  ASSERT_EQ(table.size(), 1u);
  EXPECT_TRUE(table[0].empty());
  // Rows are appended after those already present.
  build_BinomialTable(table, 3);
  const std::vector<std::vector<int32_t>> expected = {
      {}, {0, 0, 0}, {1, 1}, {1, 2, 1}, {1, 3, 3, 1}};
  ASSERT_EQ(table.size(), expected.size());
  for (size_t r = 0; r < expected.size(); ++r) {
    SCOPED_TRACE(r);
    EXPECT_EQ(std::vector<int32_t>(table[static_cast<int>(r)].begin(),
                                   table[static_cast<int>(r)].end()),
              expected[r]);
  }
}

TEST(BuildBinomialTable, ExactUpToThirtyThree) {
  BinomialTable table;
  build_BinomialTable(table, 33);
  ASSERT_EQ(table.size(), 34u);
  EXPECT_EQ(table[0].size(), 33u);
  for (int m = 1; m <= 33; ++m) {
    ASSERT_EQ(table[m].size(), static_cast<size_t>(m) + 1);
    for (int j = 0; j <= m; ++j) {
      ASSERT_EQ(table[m][j], Choose(m, j)) << "m=" << m << " j=" << j;
    }
  }
  EXPECT_EQ(table[33][16], 1166803110);  // R: choose(33, 16)
}

TEST(BuildBinomialTable, CoefficientsBeyond32BitsAreHeldAtTheLimit) {
  // Fault: coefficients from m = 34 on exceed 32 bits and, computed in
  // 32-bit arithmetic, wrap to wrong (even negative) values. They are held
  // at 2147483647 instead; the ones that fit stay exact.
  BinomialTable table;
  build_BinomialTable(table, 40);
  for (int m = 34; m <= 40; ++m) {
    for (int j = 0; j <= m; ++j) {
      const int64_t exact = Choose(m, j);
      ASSERT_EQ(table[m][j], std::min<int64_t>(exact, INT32_MAX))
          << "m=" << m << " j=" << j;
    }
  }
  EXPECT_EQ(table[34][17], INT32_MAX);  // R: choose(34, 17) = 2333606220
  EXPECT_EQ(table[34][1], 34);
}

}  // namespace
