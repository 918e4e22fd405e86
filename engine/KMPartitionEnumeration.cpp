// Partition enumeration: candidate subsets, their indices and the
// partitions into k clusters, in the ordered and the unordered mode.
#include "engine/KMPartitionEnumeration.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

KMGroupList MakeRun(int32_t s, int32_t e) {
  KMGroupList run;
  if (e < s) return run;
  run.SetSize(e - s + 1);
  for (int32_t g = s; g <= e; ++g) run[g - s] = g;
  return run;
}

// The runs between consecutive cut points, sorted ascending first.
KMPartition RunsFromCuts(const KMGroupList& cuts) {
  std::vector<int> sorted(static_cast<size_t>(cuts.GetSize()));
  for (int i = 0; i < cuts.GetSize(); ++i) sorted[i] = cuts[i];
  std::sort(sorted.begin(), sorted.end());
  KMPartition runs;
  runs.SetSize(static_cast<int>(sorted.size()) - 1);
  for (int i = 1; i < static_cast<int>(sorted.size()); ++i) {
    runs[i - 1] = MakeRun(sorted[i - 1] + 1, sorted[i]);
  }
  return runs;
}

KMPartition NextOrderedPartition(const KMPartition& previous, int32_t n,
                                 int32_t k) {
  if (previous.GetSize() == 0) {
    KMGroupList cuts;
    cuts.SetSize(k + 1);
    for (int32_t i = 0; i < k; ++i) cuts[i] = i;
    cuts[k] = n;
    return RunsFromCuts(cuts);
  }
  if (k < 2) return KMPartition();
  // The cut points of the previous partition: 0 and the end of each run.
  std::vector<int> ends{0};
  for (int i = 0; i < previous.GetSize(); ++i) {
    const KMGroupList& run = previous[i];
    ends.push_back(*std::max_element(&run[0], &run[0] + run.GetSize()));
  }
  std::sort(ends.begin(), ends.end());
  KMGroupList cuts;
  cuts.SetSize(static_cast<int>(ends.size()));
  for (size_t i = 0; i < ends.size(); ++i) cuts[static_cast<int>(i)] = ends[i];
  const KMGroupList inner =
      next_KSubset(strip_IndexArrayEnds(cuts), k - 1, n - 1);
  if (inner.GetSize() == 0) return KMPartition();
  return RunsFromCuts(bracket_IndexArray(inner, n));
}

// Level j (1-based) starts from the groups left for it.
void ResetLevel(KMPartitionEnumState& state, int32_t j) {
  const KMGroupList& remaining = state.remaining[j - 1];
  KMGroupList rest;
  if (remaining.GetSize() > 1) {
    rest.SetSize(remaining.GetSize() - 1);
    for (int i = 1; i < remaining.GetSize(); ++i) rest[i - 1] = remaining[i];
  }
  state.rest[j - 1] = rest;
  state.inProgress[j - 1] = 0;
}

}  // namespace

bool is_OrderedGroupOrder(const KmString& sGroupOrder) {
  KmString sLower = sGroupOrder;
  return sLower.MakeLower() == "ordered";
}

int32_t count_RangesBefore(int32_t s, int32_t n) {
  return (s - 1) * (2 * n + 2 - s) / 2;
}

int32_t get_OrderedRangeIndex(int32_t s, int32_t e, int32_t n) {
  if (s < 1 || s > e || e > n) return -1;
  return count_RangesBefore(s, n) + (e - s + 1);
}

int32_t find_OrderedRangeStart(int32_t i, int32_t n) {
  for (int32_t s = 1; s <= n; ++s) {
    if (count_RangesBefore(s, n) >= i) return s - 1;
  }
  return n;
}

int32_t rank_UnorderedSubset(const KMGroupList& subset,
                             const BinomialTable& table, int32_t n) {
  return WithStandardCatch([&]() -> int32_t {
    const int32_t m = subset.GetSize();
    if (m == 0) return -1;
    int64_t rank = 1;
    for (int32_t s = 1; s <= m - 1; ++s) rank += table[n][s];
    int32_t previous = 0;
    for (int32_t j = 1; j <= m; ++j) {
      const int32_t a = subset[j - 1];
      for (int32_t v = previous + 1; v <= a - 1; ++v) {
        rank += table[n - v][m - j];
      }
      previous = a;
    }
    return static_cast<int32_t>(rank);
  });
}

int32_t get_SubsetIndex(const KMGroupList& subset, const BinomialTable& table,
                        const KmString& sGroupOrder, int32_t n) {
  if (!is_OrderedGroupOrder(sGroupOrder)) {
    return rank_UnorderedSubset(subset, table, n);
  }
  if (subset.GetSize() == 0) return -1;
  const int* pFirst = &subset[0];
  const int* pLast = pFirst + subset.GetSize();
  return get_OrderedRangeIndex(*std::min_element(pFirst, pLast),
                               *std::max_element(pFirst, pLast), n);
}

KMGroupList get_SubsetByIndex(KMUnorderedSubsetState& state,
                              const KmString& sGroupOrder, int32_t i,
                              int32_t n) {
  if (!is_OrderedGroupOrder(sGroupOrder)) return get_KSubsetGroups(state, n);
  const int32_t s = find_OrderedRangeStart(i, n);
  const int32_t e = i - count_RangesBefore(s, n) + s - 1;
  if (s < 1 || e > n) return KMGroupList();
  return MakeRun(s, e);
}

KMGroupList get_KSubsetGroups(KMUnorderedSubsetState& state, int32_t n) {
  return WithStandardCatch([&]() -> KMGroupList {
    const int32_t m = state.subset.GetSize();
    KMGroupList next;
    if (m == 0) {
      if (n >= 1) next = MakeRun(1, 1);
    } else {
      next = next_KSubset(state.subset, m, n);
      if (next.GetSize() == 0 && m < n) next = MakeRun(1, m + 1);
    }
    state.subset = next;
    return next;
  });
}

KMPartition enumerate_Partitions(const KMPartition& previous,
                                 KMPartitionEnumState& state,
                                 const KmString& sGroupOrder, int32_t n,
                                 int32_t k) {
  return WithStandardCatch([&]() -> KMPartition {
    if (k < 1 || k > n) return KMPartition();
    if (is_OrderedGroupOrder(sGroupOrder)) {
      return NextOrderedPartition(previous, n, k);
    }
    return enumerate_UnorderedPartitions(state, n, k);
  });
}

KMPartition enumerate_UnorderedPartitions(KMPartitionEnumState& state,
                                          int32_t n, int32_t k) {
  return WithStandardCatch([&]() -> KMPartition {
    if (state.blocks.GetSize() == 0) {
      state.blocks.SetSize(k);
      state.remaining.SetSize(k);
      state.rest.SetSize(k);
      state.choice.SetSize(k);
      state.inProgress.SetSize(k);
      state.remaining[0] = MakeRun(1, n);
      ResetLevel(state, 1);
      return enumerate_PartitionsRecursive(state, 1, k);
    }
    if (k < 2) return KMPartition();
    return enumerate_PartitionsRecursive(state, k - 1, k);
  });
}

KMPartition enumerate_PartitionsRecursive(KMPartitionEnumState& state,
                                          int32_t j, int32_t k) {
  return WithStandardCatch([&]() -> KMPartition {
    while (j < k) {
      const int32_t r = state.remaining[j - 1].GetSize();
      // Leave at least one group for each later block.
      const int32_t iLargest = r - 1 - (k - j);
      if (state.inProgress[j - 1] != 0) {
        const KMGroupList next =
            enumerate_KSubsets(state.choice[j - 1], iLargest, r - 1);
        if (next.GetSize() == 0) {
          state.inProgress[j - 1] = 0;
          if (j < 2) return KMPartition();
          --j;
          continue;
        }
        state.choice[j - 1] = next;
      } else {
        state.choice[j - 1] = KMGroupList();
        state.inProgress[j - 1] = 1;
      }
      const KMGroupList& rest = state.rest[j - 1];
      state.blocks[j - 1] = gather_ByIndexArray(rest, state.choice[j - 1],
                                                state.remaining[j - 1][0]);
      state.remaining[j] = set_Difference(rest, state.choice[j - 1]);
      ++j;
      ResetLevel(state, j);
    }
    if (state.remaining[k - 1].GetSize() > 0) {
      state.blocks[k - 1] = state.remaining[k - 1];
    }
    return state.blocks;
  });
}
