// BaseKMRegModel: the fitting core of the regression model framework.
#ifndef KM_MODELS_BASEKMREGMODEL_H
#define KM_MODELS_BASEKMREGMODEL_H

#include <cstdint>

#include <newmat.h>

// BaseKMRegModel holds the fitting core of the model framework as
// free-standing (static) methods: the class keeps no state of its own, and
// every method works only on the arguments it is given, so the fits of
// different cohorts may call them at the same time on several threads.
//
// Each group of methods below is defined in its own BaseKMRegModel<Concern>
// source file. New groups are added as their own commented sections.
class BaseKMRegModel {
 public:
  // ---- Kinkmark-location enumeration (BaseKMRegModelEnumeration.cpp) ----
  //
  // The exhaustive location search visits every admissible placement of k
  // kinkmarks on a list of m candidate locations, in lexicographic order of
  // the placements' index vectors; the first placement with the smallest
  // residual sum of squares wins a tie, so the order is part of the result.
  //
  // A placement T is a ColumnVector of k whole numbers: T(i) is the 1-based
  // index, in the candidate list, of kinkmark i. The successor table L (m
  // entries) gives in L(p) the smallest index the kinkmark after one at index
  // p may take; the minimal successor of v is succ(v) = max(L(v), v + 1). A
  // placement is admissible when 1 <= T(1), T(i) >= succ(T(i-1)) for
  // i = 2..k, and T(k) <= m. Entries are read as indices by truncation toward
  // zero.
  //
  // The enumeration is exhaustive when succ is nondecreasing (a table of gap
  // numbers of an ascending candidate grid, or of p + d for a fixed spacing
  // d): a placement whose minimal tail overflows m is then never followed by
  // an admissible one with the same prefix.
  //
  // Caller's loop: if first_TauIndices answers false, there is nothing to
  // evaluate; otherwise evaluate T, call next_TauIndices, and repeat while it
  // answers true. With k = 0 the loop evaluates the placement without
  // kinkmarks exactly once.
  //
  // Failures: an entry of T that truncates to an index outside 1..m when L is
  // read raises the matrix library's index error (never with T produced by
  // these methods). A standard exception is reported on standard output as
  // "Standard exception: <text>" and rethrown unchanged.

  // Writes the lexicographically smallest admissible placement into T and
  // answers true; answers false when there is none (then T holds no
  // placement: entries are clamped to m, and with m = 0 every entry is 0).
  // k = 0 answers true and leaves T empty.
  // REQUIRES: T has k rows (k = T.Nrows()); L has m rows.
  static bool first_TauIndices(NEWMAT::ColumnVector& T,
                               const NEWMAT::ColumnVector& L);

  // Replaces the placement T by the next admissible one in lexicographic
  // order and answers true, or answers false when T was the last one (or
  // k = 0). After false, T is not a placement and must not be used.
  // REQUIRES: T is a placement from first_TauIndices / next_TauIndices with
  // the same L.
  static bool next_TauIndices(NEWMAT::ColumnVector& T,
                              const NEWMAT::ColumnVector& L);

  // One step of next_TauIndices: advances position j (1-based) of T and
  // rebuilds positions j + 1..k at their minimal values; when the rebuilt
  // tail does not fit below m it carries to position j - 1. Answers false
  // when j = 0 or every position is exhausted. Recursion depth at most j.
  static bool next_TauIndices_Recursive(NEWMAT::ColumnVector& T,
                                        const NEWMAT::ColumnVector& L,
                                        int32_t j);
  // ---- end of kinkmark-location enumeration ----
};

#endif  // KM_MODELS_BASEKMREGMODEL_H
