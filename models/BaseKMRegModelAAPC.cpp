// BaseKMRegModel: find_Segment, calc_AAPC_SegmentWeights, calc_AAPC_ForRange,
// calc_AAPC_Interval, calc_AAPC_Estimates, add_RangeEndsToTau,
// calc_AAPC_OneSample, calc_WeightedSum, calc_AAPC_ResultVector,
// calc_FullDataRange.
//
// The AAPC over a range [start, end] of x is 100 (e^A - 1) with
// A = sum_i w(i) b(i), w(i) the overlap of segment i with the range divided
// by the total overlap. Its standard error treats the segment slopes as
// uncorrelated: s = sqrt(sum_i (w(i) se(i))^2). A range reaching beyond the
// data gives its excess to the first or last segment. A list of ranges is a
// Matrix with the start in column 1 and the end in column 2.
#include <algorithm>
#include <cmath>

#include "models/BaseKMRegModel.h"
#include "models/DistributionWrappers.h"
#include "models/ModelNumerics.h"
#include "models/TestResults.h"

bool BaseKMRegModel::find_Segment(const NEWMAT::ColumnVector& T, double dStart,
                                  double dEnd) {
  const int32_t m = T.Nrows() - 1;
  for (int32_t i = 1; i <= m; ++i) {
    if (T(i) <= dStart && dEnd <= T(i + 1)) return true;
  }
  return false;
}

void BaseKMRegModel::calc_AAPC_SegmentWeights(NEWMAT::ColumnVector& W,
                                              double& dSum,
                                              const NEWMAT::ColumnVector& T,
                                              double dStart, double dEnd) {
  const int32_t m = T.Nrows() - 1;
  // The outer boundaries stretch to cover the range, so that a range
  // reaching beyond the data counts its excess with the end segments.
  NEWMAT::ColumnVector Tx = T;
  Tx(1) = std::min(T.Minimum(), std::min(dStart, dEnd));
  Tx(m + 1) = std::max(T.Maximum(), std::max(dStart, dEnd));
  W.ReSize(std::max(m, 0));
  dSum = 0.0;
  for (int32_t i = 1; i <= m; ++i) {
    W(i) = std::max(0.0, std::min(Tx(i + 1), dEnd) - std::max(Tx(i), dStart));
    dSum += W(i);
  }
}

NEWMAT::ColumnVector BaseKMRegModel::calc_AAPC_ForRange(
    const NEWMAT::ColumnVector& T, double dEnd, double dStart) {
  NEWMAT::ColumnVector W;
  double dSum = 0.0;
  calc_AAPC_SegmentWeights(W, dSum, T, dStart, dEnd);
  if (W.Nrows() < 1 || dSum == 0.0) {
    W = 0.0;
  } else {
    W /= dSum;
  }
  return W;
}

void BaseKMRegModel::calc_AAPC_Interval(double& dEstimate, double& dVariance,
                                        const NEWMAT::ColumnVector& b,
                                        const NEWMAT::ColumnVector& se,
                                        const NEWMAT::ColumnVector& W,
                                        double dSum, int32_t m) {
  dEstimate = 0.0;
  dVariance = 0.0;
  if (dSum == 0.0) return;
  for (int32_t i = 1; i <= m; ++i) {
    const double w = W(i) / dSum;
    dEstimate += w * b(i);
    dVariance += (se(i) * w) * (se(i) * w);
  }
}

void BaseKMRegModel::calc_AAPC_Estimates(
    NEWMAT::Matrix& mAAPC, const NEWMAT::Matrix& mRanges, int32_t k, double dDF,
    const NEWMAT::ColumnVector& T, const NEWMAT::ColumnVector& b,
    const NEWMAT::ColumnVector& se, double dAlpha) {
  const double dLevel = 1.0 - dAlpha / 2.0;
  const double dZQ = calc_NormalQuantile(dLevel, 0.0, 1.0);
  const double dTQ = calc_TQuantile(dLevel, dDF);
  const int32_t nRanges = mRanges.Nrows();
  mAAPC.ReSize(nRanges, 10);
  for (int32_t r = 1; r <= nRanges; ++r) {
    const double dStart = mRanges(r, 1);
    const double dEnd = mRanges(r, 2);
    NEWMAT::ColumnVector W;
    double dSum = 0.0;
    calc_AAPC_SegmentWeights(W, dSum, T, dStart, dEnd);
    double dA = 0.0;
    double dV = 0.0;
    for (int32_t i = 1; i <= k + 1; ++i) {
      const double w = (dSum == 0.0) ? 0.0 : W(i) / dSum;
      dA += w * b(i);
      dV += (se(i) * w) * (se(i) * w);
    }
    const double dS = std::sqrt(dV);
    // Within one segment the AAPC is that segment's APC and takes its t
    // interval; across a kinkmark it is a mixture, given a normal one.
    const double dQ = find_Segment(T, dStart, dEnd) ? dTQ : dZQ;
    const double dLower = PercentChange(dA - dQ * dS);
    const double dUpper = PercentChange(dA + dQ * dS);
    const NEWMAT::ColumnVector vTest = make_PValueVector(1, dA, dS, dDF, 0.0);
    mAAPC(r, 1) = dStart;
    mAAPC(r, 2) = dEnd;
    mAAPC(r, 3) = dA;
    mAAPC(r, 4) = dS;
    mAAPC(r, 5) = PercentChange(dA);
    mAAPC(r, 6) = dLower;
    mAAPC(r, 7) = dUpper;
    mAAPC(r, 8) = (dLower > 0.0 || dUpper < 0.0) ? 1.0 : 0.0;
    mAAPC(r, 9) = vTest(1);
    mAAPC(r, 10) = vTest(2);
  }
}

NEWMAT::ColumnVector BaseKMRegModel::add_RangeEndsToTau(
    const NEWMAT::ColumnVector& vX, const NEWMAT::ColumnVector& vTau) {
  const int32_t k = vTau.Nrows();
  NEWMAT::ColumnVector T(k + 2);
  for (int32_t i = 1; i <= k; ++i) T(i + 1) = vTau(i);
  T(1) = vX.Minimum();
  T(k + 2) = vX.Maximum();
  return T;
}

double BaseKMRegModel::calc_AAPC_OneSample(
    const NEWMAT::ColumnVector& vRange, const NEWMAT::ColumnVector& vX,
    const NEWMAT::ColumnVector& vTau, const NEWMAT::ColumnVector& vSlopes) {
  const NEWMAT::ColumnVector T = add_RangeEndsToTau(vX, vTau);
  const NEWMAT::ColumnVector w = calc_AAPC_ForRange(T, vRange(2), vRange(1));
  return calc_WeightedSum(vSlopes, w);
}

double BaseKMRegModel::calc_WeightedSum(const NEWMAT::ColumnVector& a,
                                        const NEWMAT::ColumnVector& w) {
  double dSum = 0.0;
  for (int32_t i = 1; i <= w.Nrows(); ++i) dSum += a(i) * w(i);
  return dSum;
}

NEWMAT::ColumnVector BaseKMRegModel::calc_AAPC_ResultVector(
    const NEWMAT::ColumnVector& vRange, int32_t k,
    const NEWMAT::ColumnVector& T) {
  const double dStart = vRange(1);
  const double dEnd = vRange(2);
  int32_t js = 1;
  int32_t je = 1;
  for (int32_t i = 1; i <= k + 1; ++i) {
    if (T(i) <= dStart) js = i;
    if (T(i) < dEnd) je = i;
  }
  const int32_t flagA = (js > 1 && T(js) == dStart) ? 1 : 0;
  const int32_t flagB = (je < k + 1 && T(je + 1) == dEnd) ? 1 : 0;

  NEWMAT::ColumnVector v(9);
  v(1) = je - js + 1;
  v(2) = js - 1;
  v(3) = k + 1 - je;
  v(4) = js;
  v(5) = je;
  v(6) = js - flagA;
  v(7) = je - 1 + flagB;
  v(8) = flagA;
  v(9) = flagB;
  return v;
}

void BaseKMRegModel::calc_FullDataRange(NEWMAT::Matrix& mRanges,
                                        const NEWMAT::ColumnVector& vX) {
  const double dFirst = vX(1);
  const double dLargest = vX.Maximum();
  mRanges.ReSize(1, 2);
  mRanges(1, 1) = std::min(dFirst, dLargest);
  mRanges(1, 2) = std::max(dFirst, dLargest);
}
