// Partition enumeration of the multi-group clustering: the candidate
// clusters (subsets of groups) in the order they are fitted, the index of a
// subset in that order, and the partitions of the groups into k clusters.
//
// Groups are numbered 1..n. A subset is an ascending index array of group
// numbers; a partition is an array of k subsets. Two modes, chosen by the
// group-order text (compared with "ordered" after lower-casing):
//   ordered    a cluster is a run of consecutive groups [s, e]; the runs are
//              indexed by start, then end: [1,1] = 1, ..., [1,n] = n,
//              [2,2] = n + 1, ..., [n,n] = n(n+1)/2. A partition into k runs
//              is given by its k - 1 inner cut points; partitions come in
//              lexicographic order of the cut points (C(n-1, k-1) of them).
//   unordered  (any other text) a cluster is any non-empty subset; the
//              2^n - 1 subsets come by size, then lexicographically, and a
//              subset's index is its rank in that order. A partition is a
//              set partition into k non-empty blocks, each block led by the
//              smallest group not in an earlier block (S(n, k) of them).
//
// Every routine is a pure function of its arguments except the unordered
// enumerators, which step a state object. A KmException passing through
// collects a "Standard exception: <text>" report, which the driver writes to
// standard output; the arrays' index error passes untouched.
#ifndef KM_ENGINE_KMPARTITIONENUMERATION_H
#define KM_ENGINE_KMPARTITIONENUMERATION_H

#include <cstdint>

#include "foundation/KmString.h"
#include "foundation/OneDimensionArray.h"
#include "models/SubsetEnumeration.h"

using KMGroupList = OneDimensionArray<int>;
using KMPartition = OneDimensionArray<OneDimensionArray<int>>;

// The subset returned by the previous get_KSubsetGroups call (empty before
// the first). One state serves one pass over all candidate subsets.
struct KMUnorderedSubsetState {
  KMGroupList subset;
};

// The state of one unordered partition enumeration (one per k), level j
// at entry j - 1: the block being built, the groups left for the level,
// those groups without the first, the chosen positions into them and
// whether the level has produced a block since it was last reset.
struct KMPartitionEnumState {
  KMPartition blocks;
  KMPartition remaining;
  KMPartition rest;
  KMPartition choice;
  OneDimensionArray<int> inProgress;
};

// True when sGroupOrder is "ordered" in any letter case.
bool is_OrderedGroupOrder(const KmString& sGroupOrder);

// (s - 1)(2n + 2 - s) / 2: the number of runs of 1..n that start before s.
int32_t count_RangesBefore(int32_t s, int32_t n);

// The 1-based index of the run [s, e] of 1..n; -1 when s < 1, s > e or
// e > n.
int32_t get_OrderedRangeIndex(int32_t s, int32_t e, int32_t n);

// The start of the run with index i: the first s in 1..n with
// count_RangesBefore(s, n) >= i, less 1; n when there is none.
int32_t find_OrderedRangeStart(int32_t i, int32_t n);

// The 1-based rank of an ascending subset of 1..n among all non-empty
// subsets (by size, then lexicographically), from the binomial table of n
// (build_BinomialTable); -1 for an empty subset.
int32_t rank_UnorderedSubset(const KMGroupList& subset,
                             const BinomialTable& table, int32_t n);

// The candidate index of subset: ordered, the run from its smallest to its
// largest member (members in between are not examined); unordered, its
// rank.
int32_t get_SubsetIndex(const KMGroupList& subset, const BinomialTable& table,
                        const KmString& sGroupOrder, int32_t n);

// Ordered: the run with index i, empty past the last run. Unordered: the
// successor of the state's subset (get_KSubsetGroups; i is not used).
KMGroupList get_SubsetByIndex(KMUnorderedSubsetState& state,
                              const KmString& sGroupOrder, int32_t i,
                              int32_t n);

// The subset of 1..n after the state's subset, by size and then
// lexicographically: {1} from an empty state, empty after {1..n}. The
// state becomes the result.
KMGroupList get_KSubsetGroups(KMUnorderedSubsetState& state, int32_t n);

// The partition of 1..n into k clusters after previous (empty for the
// first); an empty array when there is none. The unordered mode steps
// state, which must be fresh for the first call of each k.
// REQUIRES: 1 <= k <= n.
KMPartition enumerate_Partitions(const KMPartition& previous,
                                 KMPartitionEnumState& state,
                                 const KmString& sGroupOrder, int32_t n,
                                 int32_t k);

// The next set partition of 1..n into k blocks (the unordered branch).
KMPartition enumerate_UnorderedPartitions(KMPartitionEnumState& state,
                                          int32_t n, int32_t k);

// Advances level j of state (or starts it) and completes the partition
// from there down to level k; empty when the enumeration is exhausted.
KMPartition enumerate_PartitionsRecursive(KMPartitionEnumState& state,
                                          int32_t j, int32_t k);

#endif  // KM_ENGINE_KMPARTITIONENUMERATION_H
