// The generalised inverse of a small symmetric matrix, on plain arrays.
#ifndef KM_MODELS_SYMMETRICINVERSE_H
#define KM_MODELS_SYMMETRICINVERSE_H

#include <cstdint>

// Relative pivot tolerance: pivot i is dropped when tol x A(i,i) > |d_i| or
// when A(i,i) = 0.
inline constexpr double kSymmetricInversePivotTolerance = 1e-8;

// Root-free Cholesky (LDL') factorisation of the symmetric p x p matrix a
// (row-major, iStride values from one row to the next, reading only the
// diagonal and the upper triangle) that drops numerically aliased columns,
// then the inverse by back substitution. w (p x p, row-major, not a) receives
// the symmetric generalised inverse, a dropped column giving a zero row and
// column, and iRank the number of accepted pivots; the answer is true.
// A negative pivot ends the factorisation: the answer is false and w holds
// the unfinished work matrix (its diagonal 1/d_i, below it the multipliers,
// above it the unscaled products), iRank the pivots accepted before it.
bool InvertSymmetric(int p, const double* a, int iStride, double* w,
                     int16_t& iRank);

#endif  // KM_MODELS_SYMMETRICINVERSE_H
