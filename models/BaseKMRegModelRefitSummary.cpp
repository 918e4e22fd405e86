// BaseKMRegModel: calc_APC_AAPC_Results, calc_GoodnessOfFit,
// calc_CentredSumOfSquares (the summaries of a refit).
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"

void BaseKMRegModel::calc_APC_AAPC_Results(
    NEWMAT::Matrix& mAPC, NEWMAT::Matrix& mRanges, NEWMAT::Matrix& mAAPC,
    const OneDimensionArray<NEWMAT::Matrix>& coefTables,
    const NEWMAT::ColumnVector& vCoef, int32_t iOffset, int32_t k, double dDF,
    const NEWMAT::ColumnVector& vX, const NEWMAT::ColumnVector& vTau,
    double dAPCAlpha, double dAAPCAlpha) {
  NEWMAT::ColumnVector b;
  NEWMAT::ColumnVector se;
  NEWMAT::ColumnVector T;
  calc_SegmentRanges(b, se, T, coefTables, vCoef, iOffset, k, vX, vTau);
  calc_APC_Estimates(mAPC, k, T, b, se, dAPCAlpha, dDF);
  calc_FullDataRange(mRanges, vX);
  calc_AAPC_Estimates(mAAPC, mRanges, k, dDF, T, b, se, dAAPCAlpha);
}

double BaseKMRegModel::calc_CentredSumOfSquares(const NEWMAT::ColumnVector& a,
                                                const NEWMAT::ColumnVector& b) {
  const int32_t n = a.Nrows();
  if (n == 0) return 0.0;
  double dAB = 0.0;
  double dBB = 0.0;
  for (int32_t i = 1; i <= n; ++i) {
    dAB += a(i) * b(i);
    dBB += b(i) * b(i);
  }
  const double c = dAB / dBB;
  double dSum = 0.0;
  for (int32_t i = 1; i <= n; ++i) {
    const double d = a(i) - c * b(i);
    dSum += d * d;
  }
  return dSum;
}

void BaseKMRegModel::calc_GoodnessOfFit(
    KMRegFitRecord& record,
    const OneDimensionArray<NEWMAT::ColumnVector>& fitted,
    const OneDimensionArray<NEWMAT::ColumnVector>& residuals,
    const NEWMAT::ColumnVector& vObserved, const NEWMAT::Matrix& mW,
    int32_t p) {
  // Stack first: fitted and residuals may be the record's own arrays,
  // which nothing below overwrites.
  const NEWMAT::ColumnVector y = vObserved;
  const NEWMAT::ColumnVector f = stack_ColumnVectors(fitted);
  const NEWMAT::ColumnVector e = stack_ColumnVectors(residuals);
  const int32_t m = e.Nrows();

  NEWMAT::ColumnVector vOnes(m);
  vOnes = 1.0;
  // W 1: the centring direction. For a diagonal W this centres on the
  // weighted mean; in general it is the mean in the transformed space.
  const NEWMAT::ColumnVector u = mW * vOnes;
  const NEWMAT::ColumnVector d = calc_CumulativeVector(y, e);

  const double dQt = calc_CentredSumOfSquares(mW * y, u);
  const double dQm = calc_CentredSumOfSquares(mW * f, u);
  const double dQe = calc_CentredSumOfSquares(mW * e, u);
  const double dQd = calc_CentredSumOfSquares(mW * d, u);
  const double dR2 = dQm / (dQm + dQe);

  record.gofObserved = y;
  record.gofFitted = f;
  record.gofResiduals = e;
  record.nResiduals = m;
  record.gofData = d;
  record.ssTotal = dQt;
  record.ssModel = dQm;
  record.ssResidual = dQe;
  record.ssData = dQd;
  record.rSquared = dR2;
  record.adjustedRSquared = dR2 - static_cast<double>(p - 1) * (1.0 - dR2) /
                                      static_cast<double>(m - p);
}
