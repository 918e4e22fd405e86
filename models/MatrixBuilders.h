// Matrix and vector builders, array counts and partition utilities shared by
// the model classes, the calculator, the clustering and the result records.
//
// Every routine is a free function that touches only its arguments and
// locals. Matrices and vectors are newmat's (1-based); arrays are
// OneDimensionArray (0-based storage). Numbers that refer to rows, columns or
// members are 1-based.
//
// A partition is an array of groups, in group order; each group is an array
// of its members as 1-based numbers (rows of a matrix, or group numbers).
//
// Errors: a row or column number outside a matrix raises the matrix
// library's "index error"; an array index outside an array raises the
// array's plain-text index error. Every routine passes every exception on; a
// KmException passing one collects a "Standard exception: <text>" report,
// which the driver writes to standard output (reset_BoolArray adds none).
#ifndef KM_MODELS_MATRIXBUILDERS_H
#define KM_MODELS_MATRIXBUILDERS_H

#include <newmat.h>

#include <vector>

#include "foundation/OneDimensionArray.h"

// -- Matrices and vectors --

// Returns the n x n identity matrix (0 x 0 when n <= 0).
NEWMAT::Matrix make_IdentityMatrix(int n);

// Returns the vectors of the array stacked one below the other, in array
// order; an empty vector for an empty array.
NEWMAT::ColumnVector stack_ColumnVectorArray(
    const OneDimensionArray<NEWMAT::ColumnVector>& vectors);

// Splits v into k blocks of len = (rows of v) / k rows (integer division):
// block b (0-based b in the array) holds rows b*len+1 .. (b+1)*len. The rows
// left over at the end belong to no block. With k = 1 the block is a copy of
// v. Throws KmException when k < 1.
OneDimensionArray<NEWMAT::ColumnVector> split_IntoBlocks(
    const NEWMAT::ColumnVector& v, int k);

// Returns the vector with entry i = pow(v(i), dExponent).
NEWMAT::ColumnVector pow_ColumnVector(const NEWMAT::ColumnVector& v,
                                      double dExponent);

// Returns the size(rows) x size(columns) matrix with entry (a, b) =
// M(rows[a], columns[b]): the rows and columns of M picked, in the listed
// order. Numbers are 1-based and may repeat.
NEWMAT::Matrix build_MatrixFromIndexRows(const OneDimensionArray<int>& rows,
                                         const OneDimensionArray<int>& columns,
                                         const NEWMAT::Matrix& M);

// Returns the total number of rows over all vectors of the array.
int count_TotalRows(const OneDimensionArray<NEWMAT::ColumnVector>& vectors);

// Releases the flags and allocates max(n, 0) new ones, all false.
void reset_BoolArray(OneDimensionArray<bool>& flags, int n);

// -- Partitions --

// Returns the total number of members over all groups.
int count_PartitionMembers(
    const OneDimensionArray<OneDimensionArray<int>>& partition);

// Orders the members group by group (the members of group 1 in stored
// order, then those of group 2, ...): order[1..N], N =
// count_PartitionMembers(partition). Returns the N x N matrix with entry
// (a, b) = M(order[a], order[b]), so the members of each group become
// adjacent.
// REQUIRES: M has rows and columns up to the largest member number (else the
// matrix library's index error).
NEWMAT::Matrix reorder_MatrixByPartition(
    const OneDimensionArray<OneDimensionArray<int>>& partition,
    const NEWMAT::Matrix& M);

// Returns the same groups, with their members in the same order, as a
// vector of vectors.
std::vector<std::vector<int>> collect_PartitionGroups(
    const OneDimensionArray<OneDimensionArray<int>>& partition);

// Returns a matrix with one row per list and as many columns as the longest
// list, zero-filled, with entry (i, j) = the j-th number of the i-th list.
// No lists give a 0 x 0 matrix.
NEWMAT::Matrix partitionsToMatrix(const std::vector<std::vector<int>>& lists);

#endif  // KM_MODELS_MATRIXBUILDERS_H
