// The solves of the normal equations behind every weighted fit of the
// calculator: the generalised inverse of a symmetric cross-product matrix
// and the coefficients and residual sums it gives. Both use no state;
// kmCalculator offers them as its own (kmCalculator::Invert,
// kmCalculator::WLS).
//
// Errors: matrix-library errors become a KmException with the library's
// text; call paths carry the class text "kmCalculator", as the error files
// have always had it.
#ifndef KM_ENGINE_KMNORMALEQUATIONS_H
#define KM_ENGINE_KMNORMALEQUATIONS_H

#include <newmat.h>

#include <cstdint>

struct kmNormalEquations {
  // -- Inversion (kmCalculatorCrossProducts.cpp) --

  // Generalised inverse of the symmetric p x p matrix mA by a root-free
  // Cholesky (L D L') factorisation with relative pivot tolerance 1e-8. A
  // column whose reduced pivot s satisfies 1e-8 A(i,i) > |s|, or whose
  // diagonal is 0, is taken as aliased: it is not counted and its row and
  // column of mAinv are 0. Returns true with mAinv the inverse and iRank the
  // number of accepted pivots; returns false when a pivot is negative
  // (mA not positive semi-definite), and then mAinv holds the unfinished
  // work matrix (not an inverse) and iRank the pivots accepted before it.
  // Call path: "INVERT" of "kmCalculator.cpp".
  static bool Invert(int16_t p, const NEWMAT::SymmetricMatrix& mA,
                     NEWMAT::SymmetricMatrix& mAinv, int16_t& iRank);

  // -- Solve (kmCalculatorWeightedFits.cpp) --

  // Solves the normal equations of k response columns from cross products:
  // mXtXinv = generalised inverse of mXtX (Invert), M = mXtXinv mXtY,
  // vBeta = column 1 of M, vSSE(c) = vYtY(c) - sum_j M(j,c) mXtY(j,c) for
  // c = 1..k. iRank is the number of accepted pivots, 0 when the inversion
  // failed (the solve then goes on with the unfinished inverse). A vSSE(1)
  // in (-1e-6, 0) becomes 0; nothing else is corrected. vSSE is lengthened
  // to k when shorter.
  // Call path: "WLS".
  static void WLS(int k, const NEWMAT::Matrix& mXtY, const NEWMAT::Matrix& mXtX,
                  NEWMAT::Matrix& mXtXinv, const NEWMAT::ColumnVector& vYtY,
                  NEWMAT::ColumnVector& vBeta, NEWMAT::ColumnVector& vSSE,
                  uint16_t& iRank);
};

#endif  // KM_ENGINE_KMNORMALEQUATIONS_H
