// The segmentation table of Hudson's method: the continuity constraints of
// every admissible placement of k kinkmarks.
#ifndef KM_ENGINE_KMQMATRIX_H
#define KM_ENGINE_KMQMATRIX_H

#include <newmat.h>

#include <cstdint>

#include "foundation/KmVector.h"

// One segmentation of a cohort with k kinkmarks, pieces s = 1..k+1:
//   kinkmarkIndices       k x 1: p_m, the last observation of piece m
//   constraint            k x (2k+2): R, row m = (.., 1, x, -1, -x, ..) in
//                         columns 2m-1..2m+2 with x the independent value of
//                         observation p_m, so that row m of R beta is the gap
//                         between pieces m and m+1 at x
//   constraintCovariance  k x k: R B R', B block-diagonal with the pieces'
//                         (X'WX)^-1 as its 2 x 2 blocks
// All three are empty until kmCalculator::PrecomputeQ fills them.
struct kmQ {
  NEWMAT::Matrix kinkmarkIndices;
  NEWMAT::Matrix constraint;
  NEWMAT::Matrix constraintCovariance;
};

// Table of kmQ cells, addressed by (number of kinkmarks k, segmentation
// number c). Built with sizes (a, b) it has a + 1 rows; row r (from 0)
// holds b - r cells, and cell (k, c) lives in row k - 1 at position c - 1.
// Hudson's driver builds it with a = the maximum number of kinkmarks and
// b = C(n, a).
// The table owns its cells by value; it is used by one thread.
class kmQMatrix : public KmVector<KmVector<kmQ>> {
 public:
  // Builds the shape above with empty cells. A row whose length b - r would
  // be negative is left empty (any access to it raises the KmVector index
  // error).
  // Throws: KmException "kmQMatrix(a,b): the number of rows cannot be
  // negative." for a < -1;
  // KmException "kmQMatrix(a,b): not enough memory for the table." when the
  // cells cannot be allocated; call path "kmQMatrix()" of "kmQMatrix".
  kmQMatrix(int16_t a, int b);

  // The cell of segmentation c with k kinkmarks, for reading and writing.
  // Throws: KmException "Q(k,c) is out of bounds." (empty source) for
  // k <= 0; the KmVector index error for a k past the last row or a c
  // outside 1..(row length); each with call path "GetQ()" of "kmQMatrix".
  kmQ& GetQ(int16_t k, int c);
};

#endif  // KM_ENGINE_KMQMATRIX_H
