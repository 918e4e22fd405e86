// The weighting matrices of a weighted kinkmark fit, for independent errors
// and for first-order autocorrelated (AR(1)) errors.
//
// With n observations of variances v_i (s_i = sqrt(v_i)) and the lag-one
// autocorrelation r, the error covariance is
//
//   V(i, j) = r^|i - j| s_i s_j          (V diagonal, V(i,i) = v_i, when
//                                         the errors are independent)
//
// and the builders return, always in this order:
//   omega  the weight matrix V^-1 (tridiagonal for AR(1));
//   V      the covariance itself;
//   P1     the upper-bidiagonal whitening transformation, P1'P1 = omega:
//          P1(i,i) = 1 / (s_i b), P1(i,i+1) = -r / (s_(i+1) b) for i < n,
//          P1(n,n) = 1 / s_n, with b = sqrt(1 - r^2);
//   P2     its inverse (upper triangular), P2 P2' = V.
// Weighted least squares with omega is ordinary least squares on P1 y and
// P1 X (the Prais-Winsten transformation with the unscaled row last; see
// e.g. Judge et al., The Theory and Practice of Econometrics, ch. 8).
//
// Error types: 0 independent errors; 1 (estimated r) and 2 (given r) build
// the same AR(1) matrices; any other type leaves the outputs untouched.
// The AR(1) builders need n >= 2 and |r| < 1 (|r| = 1 gives infinite
// entries; nothing checks it).
//
// Failures: an index outside the variance vector (an AR(1) type with one
// observation, a row number outside it) raises the matrix library's index
// error, which passes unchanged. A KmException passing a routine collects a
// "Standard exception: <text>" report, which the driver writes to standard
// output.
#ifndef KM_MODELS_WEIGHTMATRICES_H
#define KM_MODELS_WEIGHTMATRICES_H

#include <newmat.h>

#include <cstdint>

#include "foundation/OneDimensionArray.h"

// Builds omega, V, P1 and P2 (n x n, n = rows of variances) for the error
// type. For types 0, 1 and 2 the four matrices are resized and zero-filled
// first; for any other type they are left exactly as they came in.
void calc_WeightMatrices_ByErrorType(NEWMAT::Matrix& omega, NEWMAT::Matrix& V,
                                     NEWMAT::Matrix& P1, NEWMAT::Matrix& P2,
                                     const NEWMAT::ColumnVector& variances,
                                     double r, int32_t errorType);

// The weighting matrices of G groups (groupRows[g] lists the 1-based rows of
// group g + 1 in the variance vector). Each output array gets G + 1 entries:
// entry 0 for all groups together (the variances of group 1's rows, then
// group 2's, ...), entry g for group g alone (in the order of its list).
// Entry e is built by calc_WeightMatrices_ByErrorType with r = rhos(e + 1).
// Throws: the matrix library's index error for a row number outside the
// variance vector or when rhos has fewer than G + 1 entries.
void build_GroupWeightMatrices(
    OneDimensionArray<NEWMAT::Matrix>& omega,
    OneDimensionArray<NEWMAT::Matrix>& V, OneDimensionArray<NEWMAT::Matrix>& P1,
    OneDimensionArray<NEWMAT::Matrix>& P2,
    const OneDimensionArray<OneDimensionArray<int>>& groupRows,
    const NEWMAT::ColumnVector& variances, const NEWMAT::ColumnVector& rhos,
    int32_t errorType);

// calc_WeightMatrices_ByErrorType with the variances taken from the
// diagonal of the covariance matrix (v_i = covariance(i, i)).
void calc_WeightMatrices_ForTable(NEWMAT::Matrix& omega, NEWMAT::Matrix& V,
                                  NEWMAT::Matrix& P1, NEWMAT::Matrix& P2,
                                  const NEWMAT::SymmetricMatrix& covariance,
                                  double r, int32_t errorType);

#endif  // KM_MODELS_WEIGHTMATRICES_H
