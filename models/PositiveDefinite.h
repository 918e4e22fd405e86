// The positive-definiteness test of cross-product matrices, which also
// yields the generalised inverse that the fits use as (X'WX)^-1.
#ifndef KM_MODELS_POSITIVEDEFINITE_H
#define KM_MODELS_POSITIVEDEFINITE_H

#include <newmat.h>

#include <cstdint>

#include "models/SymmetricInverse.h"

// Relative pivot tolerance of the test: pivot i is dropped when
// |d_i| < kPositiveDefinitePivotTolerance * A(i, i), or when A(i, i) = 0.
inline constexpr double kPositiveDefinitePivotTolerance =
    kSymmetricInversePivotTolerance;

// Largest order the test handles (its order and pivot count are 16-bit).
inline constexpr int kPositiveDefiniteMaxOrder = 32767;

// Tests the symmetric matrix A of order n for positive semi-definiteness by
// an LDL' factorisation without square roots, reading only the diagonal and
// the upper triangle of A (A(i, j), i <= j):
//
//   d_i    = A(i,i) - sum_{k<i} L(i,k)^2 d_k
//   L(j,i) = (A(i,j) - sum_{k<i} L(j,k) L(i,k) d_k) / d_i,   j > i.
//
// A pivot with |d_i| < 1e-8 A(i,i), or with A(i,i) = 0, is dropped: row and
// column i of L are zero and the pivot does not count. The tolerance is
// relative to A(i,i) itself. A kept pivot d_i < 0 ends the test.
//
// Returns true when no negative pivot was met. Then `inverse` holds the
// symmetric generalised inverse L'^-1 D^+ L^-1 (D^+ with 1/d_i for a kept
// pivot and 0 for a dropped one, so a dropped pivot gives a zero row and
// column) and `rank` the number of kept pivots. Returns false at the first
// negative pivot; `inverse` then holds the partial factor at that point and
// `rank` the pivots kept before it. `inverse` is always overwritten (n x n).
//
// Only kept pivots are examined: a zero diagonal element drops its pivot even
// when the rest of its row is not zero, so [[0, 1], [1, 0]] passes with rank
// 0 and a zero inverse. Cross-product matrices, whose zero diagonal entries
// come with zero rows, are the intended input.
//
// Throws: KmException when n is outside 0 to 32767; the matrix library's
// index error when A has fewer than n rows or columns. A KmException also
// collects a "Standard exception: <text>" report, which the driver writes to
// standard output.
bool check_PositiveDefinite(int n, const NEWMAT::Matrix& A,
                            NEWMAT::Matrix& inverse, int16_t& rank);

// check_PositiveDefinite with n = the row count of A. A SymmetricMatrix
// argument converts to a Matrix. Throws as check_PositiveDefinite (the
// KmException when A has more than 32767 rows).
bool isPositiveDefinite(const NEWMAT::Matrix& A, NEWMAT::Matrix& inverse,
                        int16_t& rank);

#endif  // KM_MODELS_POSITIVEDEFINITE_H
