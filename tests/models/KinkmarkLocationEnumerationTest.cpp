// Tests of the kinkmark-placement iterator (first_TauIndices,
// next_TauIndices, next_TauIndices_Recursive) of BaseKMRegModel and of
// ForAllKinkMKAction, whose copies must agree step for step. The expected
// placements come from a brute-force filter over all increasing index
// vectors, written independently below.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "models/BaseKMRegModel.h"
#include "models/ForAllKinkMKAction.h"
#include "models/internal/TauIndexSteps.h"

namespace {

using NEWMAT::ColumnVector;
using Placement = std::vector<int>;

// One implementation of the iterator.
struct Enumerator {
  const char* sName;
  bool (*first)(ColumnVector&, const ColumnVector&);
  bool (*next)(ColumnVector&, const ColumnVector&);
  bool (*recursive)(ColumnVector&, const ColumnVector&, int32_t);
};

const Enumerator kEnumerators[] = {
    {"BaseKMRegModel", &BaseKMRegModel::first_TauIndices,
     &BaseKMRegModel::next_TauIndices,
     &BaseKMRegModel::next_TauIndices_Recursive},
    {"ForAllKinkMKAction", &ForAllKinkMKAction::first_TauIndices,
     &ForAllKinkMKAction::next_TauIndices,
     &ForAllKinkMKAction::next_TauIndices_Recursive},
};

// Names the implementation in failure messages.
void PrintTo(const Enumerator& e, std::ostream* os) { *os << e.sName; }

ColumnVector MakeVector(const std::vector<double>& values) {
  ColumnVector v(static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) {
    v(static_cast<int>(i) + 1) = values[i];
  }
  return v;
}

// The successor table L(p) = p + d of a fixed spacing d, m entries.
ColumnVector SpacingTable(int m, int d) {
  std::vector<double> values;
  for (int p = 1; p <= m; ++p) values.push_back(p + d);
  return MakeVector(values);
}

// Runs the caller's loop and collects every placement it evaluates.
std::vector<Placement> Enumerate(const Enumerator& e, int k,
                                 const ColumnVector& L) {
  std::vector<Placement> out;
  ColumnVector T(k);
  T = -7.0;
  if (!e.first(T, L)) return out;
  do {
    Placement p;
    for (int i = 1; i <= k; ++i) p.push_back(static_cast<int>(T(i)));
    out.push_back(p);
  } while (e.next(T, L) && out.size() < 100000);
  return out;
}

// Every increasing k-vector over 1..m in lexicographic order, kept when it
// satisfies the admissibility definition directly.
void BruteForce(int m, int k, const ColumnVector& L, Placement& prefix,
                std::vector<Placement>& out) {
  if (static_cast<int>(prefix.size()) == k) {
    for (size_t i = 1; i < prefix.size(); ++i) {
      const int prev = prefix[i - 1];
      const double need = L(prev) > prev + 1 ? L(prev) : prev + 1;
      if (prefix[i] < need) return;
    }
    out.push_back(prefix);
    return;
  }
  const int start = prefix.empty() ? 1 : prefix.back() + 1;
  for (int v = start; v <= m; ++v) {
    prefix.push_back(v);
    BruteForce(m, k, L, prefix, out);
    prefix.pop_back();
  }
}

std::vector<Placement> Admissible(int m, int k, const ColumnVector& L) {
  std::vector<Placement> out;
  Placement prefix;
  BruteForce(m, k, L, prefix, out);
  return out;
}

// C(n, r) by the multiplicative formula; 0 outside 0 <= r <= n.
int64_t Choose(int n, int r) {
  if (r < 0 || n < 0 || r > n) return 0;
  int64_t c = 1;
  for (int i = 1; i <= r; ++i) c = c * (n - r + i) / i;
  return c;
}

class TauIndicesTest : public ::testing::TestWithParam<Enumerator> {};

TEST_P(TauIndicesTest, WorkedSequenceWithSpacingTwo) {
  // m = 5, k = 2, L(p) = p + 2: kinkmarks at least two indices apart.
  const std::vector<Placement> expected = {{1, 3}, {1, 4}, {1, 5},
                                           {2, 4}, {2, 5}, {3, 5}};
  EXPECT_EQ(Enumerate(GetParam(), 2, SpacingTable(5, 2)), expected);
}

TEST_P(TauIndicesTest, MatchesBruteForceForMonotoneTables) {
  // Nondecreasing successor tables as the location grids produce them:
  // fixed spacings and gap numbers shared by several candidates.
  struct Table {
    const char* sName;
    std::function<double(int p, int m)> value;
  };
  const Table tables[] = {
      {"p", [](int p, int) { return p; }},
      {"p+1", [](int p, int) { return p + 1; }},
      {"p+2", [](int p, int) { return p + 2; }},
      {"p+3", [](int p, int) { return p + 3; }},
      {"gaps of two", [](int p, int) { return 2 * ((p + 1) / 2) + 1; }},
      {"gaps of three", [](int p, int) { return 3 * ((p + 2) / 3) + 1; }},
      {"zero", [](int, int) { return 0.0; }},
      {"beyond m", [](int, int m) { return m + 1; }},
  };
  for (const Table& t : tables) {
    for (int m = 0; m <= 9; ++m) {
      std::vector<double> values;
      for (int p = 1; p <= m; ++p) values.push_back(t.value(p, m));
      const ColumnVector L = MakeVector(values);
      for (int k = 0; k <= m + 1; ++k) {
        SCOPED_TRACE(std::string(t.sName) + " m=" + std::to_string(m) +
                     " k=" + std::to_string(k));
        std::vector<Placement> expected = Admissible(m, k, L);
        std::vector<Placement> got = Enumerate(GetParam(), k, L);
        EXPECT_EQ(got, expected);
        ColumnVector T(k);
        EXPECT_EQ(GetParam().first(T, L), !expected.empty());
        // The count that progress reports are made against.
        EXPECT_EQ(km_models_internal::CountTauPlacements(k, L, m),
                  static_cast<double>(expected.size()));
      }
    }
  }
}

TEST_P(TauIndicesTest, CountsMatchBinomials) {
  // With spacing d the placements of k kinkmarks on m candidates number
  // C(m - (d - 1)(k - 1), k); d = 1 (and any L(p) <= p + 1) gives C(m, k).
  for (int d = 1; d <= 3; ++d) {
    for (int m = 1; m <= 12; ++m) {
      for (int k = 1; k <= m; ++k) {
        SCOPED_TRACE("d=" + std::to_string(d) + " m=" + std::to_string(m) +
                     " k=" + std::to_string(k));
        const int64_t expected = Choose(m - (d - 1) * (k - 1), k);
        EXPECT_EQ(static_cast<int64_t>(
                      Enumerate(GetParam(), k, SpacingTable(m, d)).size()),
                  expected);
      }
    }
  }
}

TEST_P(TauIndicesTest, NoKinkmarksIsOnePlacement) {
  ColumnVector T(0);
  const ColumnVector L = SpacingTable(4, 1);
  EXPECT_TRUE(GetParam().first(T, L));
  EXPECT_EQ(T.Nrows(), 0);
  EXPECT_FALSE(GetParam().next(T, L));
  // Also without candidates: the model without kinkmarks is still evaluated.
  EXPECT_TRUE(GetParam().first(T, ColumnVector(0)));
}

TEST_P(TauIndicesTest, NoPlacementLeavesClampedEntries) {
  struct Case {
    const char* sName;
    int k;
    ColumnVector L;
    std::vector<double> expectedT;
  };
  const Case cases[] = {
      {"no candidates", 3, ColumnVector(0), {0, 0, 0}},
      {"more kinkmarks than candidates", 4, SpacingTable(3, 1), {1, 2, 3, 3}},
      {"every successor beyond m", 2, SpacingTable(3, 5), {1, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    ColumnVector T(c.k);
    EXPECT_FALSE(GetParam().first(T, c.L));
    for (int i = 1; i <= c.k; ++i) EXPECT_EQ(T(i), c.expectedT[i - 1]);
  }
}

TEST_P(TauIndicesTest, EveryPositionWhenOneKinkmarkAndSuccessorsBeyondM) {
  const std::vector<Placement> expected = {{1}, {2}, {3}, {4}};
  EXPECT_EQ(Enumerate(GetParam(), 1, SpacingTable(4, 10)), expected);
}

TEST_P(TauIndicesTest, RecursiveStepCarriesLeftAndStopsAtZero) {
  const ColumnVector L = SpacingTable(5, 2);
  ColumnVector T = MakeVector({1, 5});
  // Position 2 cannot move past 5: the step carries to position 1 and
  // rebuilds position 2 at its minimal value.
  EXPECT_TRUE(GetParam().recursive(T, L, 2));
  EXPECT_EQ(T(1), 2.0);
  EXPECT_EQ(T(2), 4.0);
  EXPECT_FALSE(GetParam().recursive(T, L, 0));
  ColumnVector last = MakeVector({3, 5});
  EXPECT_FALSE(GetParam().recursive(last, L, 1));
}

TEST_P(TauIndicesTest, IndexOutsideTableRaisesMatrixLibraryError) {
  // An entry that is no candidate index reaches the table's checked access.
  const ColumnVector L = SpacingTable(4, 1);
  ColumnVector T = MakeVector({0, 2});
  bool bThrown = false;
  try {
    GetParam().recursive(T, L, 2);
  } catch (const NEWMAT::BaseException& e) {
    bThrown = true;
    EXPECT_NE(std::string(e.what()).find("index error: requested index = 0"),
              std::string::npos)
        << e.what();
  }
  EXPECT_TRUE(bThrown);
}

INSTANTIATE_TEST_SUITE_P(BothClasses, TauIndicesTest,
                         ::testing::ValuesIn(kEnumerators),
                         [](const ::testing::TestParamInfo<Enumerator>& info) {
                           return std::string(info.param.sName);
                         });

}  // namespace
