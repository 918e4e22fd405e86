// Subset enumeration and index arrays: the small integer routines with which
// multi-group clustering walks the ways of splitting groups into clusters,
// and the table of binomial coefficients it ranks subsets with.
#ifndef KM_MODELS_SUBSETENUMERATION_H
#define KM_MODELS_SUBSETENUMERATION_H

#include <cstdint>

#include "foundation/KmVector.h"
#include "foundation/OneDimensionArray.h"

// Conventions of every routine below:
// - An index array is a OneDimensionArray<int>. Position p of an array is its
//   element p - 1 (positions are 1-based); the values are 1-based group
//   numbers or positions unless said otherwise. An empty array has size 0.
// - A k-subset of 1..n is an index array of k strictly increasing values
//   between 1 and n; subsets of one size are ordered lexicographically.
// - The array routines return a new array and leave their inputs unchanged.
// - A position outside the array it indexes makes the array's checked access
//   throw its plain-text index error (const char*,
//   kOneDimensionArrayIndexError).
// - A KmException passing through collects a "Standard exception: <text>"
//   report, which the driver writes to standard output.
//
// Ordered splits of n groups into K runs are walked through their cut
// arrays [0, c_1, ..., c_(K-1), n], starting from [0, 1, ..., K - 1, n]: the
// next one is bracket_IndexArray(inner, n) with
//   inner = next_KSubset(strip_IndexArrayEnds(cuts), K - 1, n - 1).
// Unordered splits take, cluster by cluster, the first unassigned group plus
// the unassigned groups at the positions chosen by enumerate_KSubsets
// (gather_ByIndexArray); the groups left are set_Difference of the
// unassigned ones and those positions.

// Rows of binomial coefficients: row m (m >= 1) holds C(m, 0), ..., C(m, m);
// row 0 holds n zeros.
using BinomialTable = KmVector<KmVector<int32_t>>;

// Appends rows 0..n to table: row 0 of n zeros, then for m = 1..n the row
// C(m, 0), C(m, 1), ..., C(m, m). Appends nothing when n < 0. The entries are
// exact up to m = 33; a coefficient beyond 2147483647 (from m = 34 on) is
// stored as 2147483647 rather than wrapped. Rows already in table stay.
void build_BinomialTable(BinomialTable& table, int32_t n);

// The largest position p (1 <= p <= k) with A[p] != n - k + p, the position
// that moves in the lexicographic successor of the k-subset A of 1..n; 0
// when A is the last k-subset [n - k + 1, ..., n] or A is empty.
// Throws the index error when A has fewer than k entries.
int32_t find_SubsetPivot(const OneDimensionArray<int>& A, int32_t k, int32_t n);

// The k-subset of 1..n that follows A in lexicographic order: position p =
// find_SubsetPivot(A, k, n) moves up by one and the later positions follow it
// consecutively. [1, 2, ..., k] when A is empty; empty when A is the last
// k-subset, or when k <= 0, n <= 0 or k > n.
OneDimensionArray<int> next_KSubset(const OneDimensionArray<int>& A, int32_t k,
                                    int32_t n);

// The subset of 1..n that follows A when all subsets with 1 to k elements
// are taken by size and then lexicographically: [1], [2], ..., [n], [1, 2],
// ..., ending with the last k-subset. [1] when A is empty; empty after the
// last one, when A has more than k entries, or when k <= 0, n <= 0 or k > n.
OneDimensionArray<int> enumerate_KSubsets(const OneDimensionArray<int>& A,
                                          int32_t k, int32_t n);

// A without the entries at the positions listed in B, order kept. Empty when
// A is empty or B has as many entries as A or more.
// REQUIRES: B ascending, without repeats, values in 1..size of A (a position
// beyond A makes the result overflow and throw the index error).
OneDimensionArray<int> set_Difference(const OneDimensionArray<int>& A,
                                      const OneDimensionArray<int>& B);

// [v, A[I_1], A[I_2], ..., A[I_m]] for the m positions I; empty when
// m + 1 > size of A. Throws the index error for a position outside A.
OneDimensionArray<int> gather_ByIndexArray(const OneDimensionArray<int>& A,
                                           const OneDimensionArray<int>& I,
                                           int v);

// A without its first and its last entry; empty when A has fewer than three
// entries.
OneDimensionArray<int> strip_IndexArrayEnds(const OneDimensionArray<int>& A);

// [0, A_1, ..., A_a, v]: A bracketed by 0 and v.
OneDimensionArray<int> bracket_IndexArray(const OneDimensionArray<int>& A,
                                          int v);

#endif  // KM_MODELS_SUBSETENUMERATION_H
