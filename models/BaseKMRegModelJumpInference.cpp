// Holds BaseKMRegModel::calc_CoefficientInference, test_PositiveDefinite and
// calc_CoefficientTests: the tests of the jump coefficient of a refit.
#include <newmat.h>

#include <cmath>
#include <cstdint>

#include "models/BaseKMRegModel.h"
#include "models/PositiveDefinite.h"
#include "models/TestResults.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// Entries 3..9 of v from the t test of v(1) with standard error v(2)
// against 0.
void FillTTest(ColumnVector& v, double dDF, double dAlpha) {
  const ColumnVector test =
      make_TestResultVector(0, v(1), v(2), dDF, dAlpha, 0.0);
  for (int i = 3; i <= 9; ++i) v(i) = test(i);
}

}  // namespace

void BaseKMRegModel::calc_CoefficientInference(
    ColumnVector& r0, ColumnVector& r1, ColumnVector& r2,
    const ColumnVector& theta, const Matrix& covariance, double dDF,
    int32_t iJumpSegment, bool bForce, const Matrix& mNormal, double dRSS,
    double dRSSDivisor, double dAlpha, int32_t iLogLinear, int32_t p,
    int32_t k) {
  WithStandardCatch([&] {
    r1.ReSize(9);
    r1 = 0.0;
    const int j = p + 2 * k + 1;
    const int i = p - 1 + 2 * (iJumpSegment - 1);
    const Matrix& V = covariance;
    const bool bStepFitted = V.Nrows() >= j;

    r1(1) = r0(1) + theta(i);
    if (bStepFitted) {
      r0(2) = std::sqrt(V(j, j));
      r1(2) = std::sqrt(V(i, i) + V(i, j) + V(j, i) + V(j, j));
    }
    if (bForce || !bStepFitted || std::isnan(r0(2))) {
      double dSEJump = 0.0;
      double dSELevel = 0.0;
      test_PositiveDefinite(dSEJump, dSELevel, mNormal, p + k + 1,
                            dRSS / dRSSDivisor);
      r0(2) = dSEJump;
      r1(2) = dSELevel;
    }

    FillTTest(r0, dDF, dAlpha);
    FillTTest(r1, dDF, dAlpha);
    calc_CoefficientTests(r0, r2, iLogLinear);
  });
}

void BaseKMRegModel::test_PositiveDefinite(double& dSEJump, double& dSELevel,
                                           const Matrix& mNormal, int32_t iJump,
                                           double dScale) {
  WithStandardCatch([&] {
    Matrix inverse;
    int16_t iRank = 0;
    isPositiveDefinite(mNormal, inverse, iRank);
    const Matrix C = dScale * inverse;
    dSEJump = std::sqrt(std::fabs(C(iJump, iJump)));
    dSELevel = std::sqrt(std::fabs(C(1, 1) + C(iJump, iJump)));
  });
}

void BaseKMRegModel::calc_CoefficientTests(const ColumnVector& r,
                                           ColumnVector& out,
                                           int32_t iLogLinear) {
  WithStandardCatch([&] {
    out = r;
    if (iLogLinear != 1) return;
    const double dRatio = std::exp(r(1));
    out(1) = dRatio;
    out(2) = dRatio * r(2);
    const ColumnVector test =
        make_TestResultVector(0, out(1), out(2), r(8), r(9), 1.0);
    for (int i = 3; i <= 7; ++i) out(i) = test(i);
  });
}
