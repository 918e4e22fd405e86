// kmCalculator: RequireCohortLoaded, BeginCohortFit, SetWeightRoots,
// ShiftToIntegerOrigin.
//
// The steps with which both cohort drivers (SelMod and SelModESR) ready the
// observations and the weighting before their fits.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "results/kmCalcData.h"

using NEWMAT::Matrix;

void kmCalculator::RequireCohortLoaded(const char* sDriver) const {
  if (pDataX == nullptr || pDataY == nullptr || pDataWeightInput == nullptr ||
      pGridValues == nullptr || pGridAux == nullptr) {
    GenerateKmExceptionF(
        "The cohort's observations must be loaded (LoadCalcMembers) before "
        "%s.",
        "kmCalculator", sDriver);
  }
}

void kmCalculator::BeginCohortFit(kmCalcData& record) {
  if (record.bVarCovMatrix) pVarCovMatrix = record.GetWeightingMatrix();
  iXColumn = 2;
}

void kmCalculator::SetWeightRoots(const Matrix& mA, const Matrix& mB) {
  mWorkA = mA;
  mWorkB = mB.t() * mB;
}

double kmCalculator::ShiftToIntegerOrigin(int16_t n) {
  Matrix& mX = *pDataX;
  double dMinX = mX(1, 2);
  for (int i = 2; i <= n; ++i) dMinX = std::min(dMinX, mX(i, 2));
  const double dOrigin = std::trunc(dMinX);
  for (int i = 1; i <= mX.Nrows(); ++i) mX(i, 2) -= dOrigin;
  return dOrigin;
}
