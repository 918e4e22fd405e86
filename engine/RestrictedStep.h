// The restricted least-squares step of Hudson's search on plain arrays.
//
// Hudson's search evaluates this step for every choice combination of every
// segmentation of every data set, on matrices of at most 20 x 20. Built from
// matrix-library expressions it spends its time creating and freeing
// temporaries; here every product, the LU factorisation and the solve run
// in place on fixed arrays, each summed in the order in which the library
// forms it, so the results are the library's to the last bit.
#ifndef KM_ENGINE_RESTRICTEDSTEP_H
#define KM_ENGINE_RESTRICTEDSTEP_H

#include <newmat.h>

#include <cstdint>

// The largest number of kinkmarks the step takes on plain arrays.
inline constexpr int kRestrictedStepMaxKinkmarks = 9;

// The step of kmCalculator::AdjustBetas for k kinkmarks, 1 <= k <= 9:
// with Rq the continuity rows of the pinned kinkmarks (choice code >= 2),
// rebuilt at `locations` when a kinkmark is pinned after its gap (code > 2)
// and taken from R and S otherwise, and Sq = Rq B Rq':
//   t = Rq beta,  u = Sq^-1 t (LU solve),  dBeta = B Rq' u,  return t'u.
// With no pinned kinkmark it returns 0.0 and leaves dBeta alone.
//
// Answers false, with dBeta untouched, when the inputs are not of the shapes
// the step assumes (B of bandwidth 1 and order 2k + 2, R k x (2k + 2), S
// k x k, beta of 2k + 2 entries, k choices and locations) or when Sq is
// singular: the caller then evaluates the step with the library, which
// raises the library's own error for such inputs.
bool RestrictedStep(const NEWMAT::SymmetricBandMatrix& B,
                    const NEWMAT::Matrix& R, const NEWMAT::Matrix& S,
                    const NEWMAT::ColumnVector& beta,
                    NEWMAT::ColumnVector& dBeta,
                    const NEWMAT::ColumnVector& locations,
                    const NEWMAT::ColumnVector& choices, int16_t k,
                    double& dIncrease);

// S = R B R' for the q x (2k + 2) constraint rows R and the band matrix B of
// the step above, summed as the library sums R * B * R.t() (to the last
// bit); other shapes are left to the library.
void ConstraintCovariance(const NEWMAT::SymmetricBandMatrix& B,
                          const NEWMAT::Matrix& R, NEWMAT::Matrix& S);

#endif  // KM_ENGINE_RESTRICTEDSTEP_H
