// Extremes, sample statistics and sorting shared by the model classes, the
// calculator and the result records.
//
// Every routine is a free function that touches only its arguments and
// locals, so any thread may call it at any time. Vectors are newmat's
// (rows numbered from 1); arrays are OneDimensionArray (indexed from 0).
//
// Errors: every routine passes every exception on; a KmException passing one
// collects a "Standard exception: <text>" report, which the driver writes to
// standard output, except in the sorts, which add none. The matrix library's
// exceptions and the array's plain-text index error pass through untouched.
#ifndef KM_MODELS_MODELNUMERICS_H
#define KM_MODELS_MODELNUMERICS_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"

// One sample paired with its position: the element of the heap sort. A new
// pair is {-1, 0.0}.
struct KMIndexValuePair {
  int32_t index = -1;
  double value = 0.0;
};

// -- Percent change --

// 100 (e^b - 1): the percent change per unit of a slope b on the log scale,
// the one formula of every APC, AAPC and interval bound of one. Formed as
// written (not through expm1), so the figures stay those of earlier runs.
double PercentChange(double dLogScale);

// -- Extremes --
//
// Each scans in storage order. The value-only routines answer for empty
// input with a fixed infinity (see each one); callers test for empty input
// first where that matters.

// Returns the smallest entry of v and stores its 1-based row in iIndex; the
// first of equal smallest entries wins. An empty v returns -infinity and
// leaves iIndex as it was.
double find_MinWithIndex(int& iIndex, const NEWMAT::ColumnVector& v);

// Returns the largest entry of v and stores its 1-based row in iIndex; the
// first of equal largest entries wins. An empty v returns -infinity and
// leaves iIndex as it was.
double find_MaxWithIndex(int& iIndex, const NEWMAT::ColumnVector& v);

// Returns the smallest entry over all vectors of the array; -infinity for an
// empty array. Throws the matrix library's "minimum of null matrix" error
// when one of the vectors is empty.
double find_MinOfVectorArray(
    const OneDimensionArray<NEWMAT::ColumnVector>& vectors);

// Returns the largest entry over all vectors of the array; +infinity for an
// empty array. Throws the matrix library's error when a vector is empty.
double find_MaxOfVectorArray(
    const OneDimensionArray<NEWMAT::ColumnVector>& vectors);

// Returns the smallest entry as a double; -infinity for an empty array.
double find_MinOfIntArray(const OneDimensionArray<int>& values);

// Returns the largest entry as a double; +infinity for an empty array.
double find_MaxOfIntArray(const OneDimensionArray<int>& values);

// -- Sample statistics --

// Sample standard deviation of the n entries of v:
//   m = (sum v(i)) / n,  s = sqrt( sum (v(i) - m)^2 / (n - 1) ),
// with the divisor 1 when n = 1 (result 0). Returns 0 for an empty v.
double calc_StdDev(const NEWMAT::ColumnVector& v);

// Sum of the running minima: v(1) + sum over j = 2..n of min(v(1..j)).
// Returns 0 for an empty v. Example: (3, 1, 2) gives 3 + 1 + 1 = 5.
double sum_PrefixMinima(const NEWMAT::ColumnVector& v);

// Median of v: the middle entry of a sorted copy for odd n, the mean of the
// two middle entries for even n. Returns -infinity for an empty v.
double calc_Median(const NEWMAT::ColumnVector& v);

// -- Sorting --
//
// The sorts are heap sorts on the values: build a max-heap ordered by value,
// then move the top to the end one element at a time. They are not stable;
// only the values are written back, so equal values need no order.

// Sorts the pairs in place by value, ascending. An empty array is left as
// it is.
void sort_IndexValuePairs(OneDimensionArray<KMIndexValuePair>& pairs);

// Sorts v in place, ascending.
void sort_ColumnVector(NEWMAT::ColumnVector& v);

// Sorts the array in place, ascending.
void sort_IntArray(OneDimensionArray<int>& values);

// Returns a copy of the array sorted ascending; the input is unchanged.
OneDimensionArray<int> order_IntArray(const OneDimensionArray<int>& values);

#endif  // KM_MODELS_MODELNUMERICS_H
