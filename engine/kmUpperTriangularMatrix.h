// The segment table of Hudson's method: one weighted straight-line fit per
// run of consecutive observations.
#ifndef KM_ENGINE_KMUPPERTRIANGULARMATRIX_H
#define KM_ENGINE_KMUPPERTRIANGULARMATRIX_H

#include <newmat.h>

#include "foundation/KmVector.h"

// The separate weighted least-squares fit y = a + b x of the observations
// i..j of a cohort, with weights w_r = W(r, r), where y is the data less
// the straight line the table records (so a and b are the run's line less
// that one):
//   beta       = (X' W X)^-1 X' W y          (2 x 1: a, b)
//   xwxInverse = (X' W X)^-1                 (2 x 2)
//   rss(1)     = sum_r w_r (y_r - a - b x_r)^2
// All three are empty until kmCalculator::Partitions fills them.
// xwxInverse does not depend on the response, so it serves every data set;
// kmCalculator::PartitionSSEs refreshes only beta and rss.
struct kmPartition {
  NEWMAT::ColumnVector rss;
  NEWMAT::Matrix beta;
  NEWMAT::Matrix xwxInverse;
};

// Triangular table of kmPartition cells, addressed by run (i, j), i < j.
// Built with sizes (a, b) it has a - 1 rows; row r (from 0) holds b - r
// cells, and cell (i, j) lives in row i - 1 at position j - i - 1. Built
// with (n, n) it holds every run i..j of n observations (1 <= i < j <= n)
// plus one spare column (j = n + 1) that no fit uses.
// The table owns its cells by value; it is used by one thread.
class kmUpperTriangularMatrix : public KmVector<KmVector<kmPartition>> {
 public:
  // Builds the shape above with empty cells. A row whose length b - r would
  // be negative is left empty (any access to it raises the KmVector index
  // error).
  // Throws: KmException "kmUpperTriangularMatrix(a,b): the number of rows
  // cannot be negative." for a < 1; KmException
  // "kmUpperTriangularMatrix(a,b): not enough memory for the table." when
  // the cells cannot be allocated; call path "kmUpperTriangularMatrix()" of
  // "kmUpperTriangularMatrix".
  kmUpperTriangularMatrix(int a, int b);

  // The cell of run i..j, for reading and writing.
  // Throws: KmException "Partition(i,j) is out of bounds." (empty source)
  // unless 1 <= i <= number of rows, i < j and j <= (length of row 0) + 1;
  // the KmVector index error when position j - i - 1 lies past the end of
  // row i - 1; each with call path "GetPartition()" of
  // "kmUpperTriangularMatrix".
  kmPartition& GetPartition(int i, int j);

  // The straight line taken out of the data set whose runs the cells hold
  // (its level, then its weighted line over all observations): each run's
  // own intercept and slope are the cell's beta plus these.
  double dLineIntercept = 0.0;
  double dLineSlope = 0.0;
};

#endif  // KM_ENGINE_KMUPPERTRIANGULARMATRIX_H
