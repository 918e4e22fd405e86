// BaseKMRegModel: calc_APC_Estimates, calc_APC_OneSlope, calc_SegmentRanges,
// calc_TestByMethod, extract_EvenEntries.
//
// A slope b is a change of the logarithm of the response per unit of x, so
// its annual percent change is APC = 100 (e^b - 1) and the bounds of an
// interval b -/+ q se are 100 (e^(b -/+ q se) - 1).
//
// Segment boundaries T (k + 2 entries, k kinkmarks): T(1) the smallest x,
// T(2..k+1) the kinkmark locations in increasing order, T(k+2) the largest
// x; segment i = 1..k+1 runs from T(i) to T(i+1).
//
// Estimate row (10 columns), the layout of the APC and AAPC tables:
//   1 start, 2 end, 3 log-scale estimate, 4 its standard error, 5 percent
//   change, 6 lower and 7 upper bound (percent), 8 flag (1.0 when the
//   lower bound > 0 or the upper bound < 0, else 0.0; strict), 9 test
//   statistic, 10 two-sided p-value.
#include <cmath>

#include "models/BaseKMRegModel.h"
#include "models/DistributionWrappers.h"
#include "models/ModelNumerics.h"
#include "models/TestResults.h"

namespace {

// A log-scale upper bound beyond this is reported as kCappedUpperBound by
// calc_TestByMethod: e^80 is already far outside any meaningful percent.
constexpr double kUpperBoundCapLog = 80.0;
constexpr double kCappedUpperBound = 1e50;

}  // namespace

void BaseKMRegModel::calc_APC_Estimates(NEWMAT::Matrix& mAPC, int32_t k,
                                        const NEWMAT::ColumnVector& T,
                                        const NEWMAT::ColumnVector& b,
                                        const NEWMAT::ColumnVector& se,
                                        double dAlpha, double dDF) {
  const double dQ = calc_TQuantile(1.0 - dAlpha / 2.0, dDF);
  mAPC.ReSize(k + 1, 10);
  for (int32_t i = 1; i <= k + 1; ++i) {
    const double dB = b(i);
    const double dS = se(i);
    // No critical value (no degrees of freedom): no interval, and the
    // estimate is not significant.
    const bool bInterval = dQ != kInvalidDistributionValue;
    const double dLower =
        bInterval ? PercentChange(dB - dQ * dS) : kInvalidDistributionValue;
    const double dUpper =
        bInterval ? PercentChange(dB + dQ * dS) : kInvalidDistributionValue;
    const NEWMAT::ColumnVector vTest = make_PValueVector(0, dB, dS, dDF, 0.0);
    mAPC(i, 1) = T(i);
    mAPC(i, 2) = T(i + 1);
    mAPC(i, 3) = dB;
    mAPC(i, 4) = dS;
    mAPC(i, 5) = PercentChange(dB);
    mAPC(i, 6) = dLower;
    mAPC(i, 7) = dUpper;
    mAPC(i, 8) = bInterval && (dLower > 0.0 || dUpper < 0.0) ? 1.0 : 0.0;
    mAPC(i, 9) = vTest(1);
    mAPC(i, 10) = vTest(2);
  }
}

NEWMAT::ColumnVector BaseKMRegModel::calc_APC_OneSlope(
    double dDF, const NEWMAT::ColumnVector& vRange, double dAlpha,
    double dSlope, double dSE) {
  NEWMAT::ColumnVector vB(1);
  vB(1) = dSlope;
  NEWMAT::ColumnVector vSE(1);
  vSE(1) = dSE;
  NEWMAT::ColumnVector T(2);
  T(1) = vRange(1);
  T(2) = vRange(2);
  NEWMAT::Matrix mAPC;
  calc_APC_Estimates(mAPC, 0, T, vB, vSE, dAlpha, dDF);
  NEWMAT::ColumnVector vRow = mAPC.Row(1).t();
  return vRow;
}

void BaseKMRegModel::calc_SegmentRanges(
    NEWMAT::ColumnVector& b, NEWMAT::ColumnVector& se, NEWMAT::ColumnVector& T,
    const OneDimensionArray<NEWMAT::Matrix>& coefTables,
    const NEWMAT::ColumnVector& vCoef, int32_t iOffset, int32_t k,
    const NEWMAT::ColumnVector& vX, const NEWMAT::ColumnVector& vTau) {
  b.ReSize(k + 1);
  se.ReSize(k + 1);
  T.ReSize(k + 2);
  for (int32_t i = 1; i <= k; ++i) T(i + 1) = vTau(i);
  T(1) = vX.Minimum();
  T(k + 2) = vX.Maximum();
  const NEWMAT::Matrix& mTable = coefTables[0];
  for (int32_t i = 1; i <= k + 1; ++i) {
    b(i) = vCoef(iOffset - 1 + 2 * i);
    se(i) = mTable(2 * i, 2);
  }
}

NEWMAT::ColumnVector BaseKMRegModel::calc_TestByMethod(
    double dEstimate, double dSE, double dDF, double dAlpha,
    const std::string& sTestName, std::string sTestSwitch) {
  NEWMAT::ColumnVector vResult(9);
  vResult = 0.0;

  const bool bNormalInterval =
      sTestName != "TValue" || sTestSwitch == "UseZForCI";
  const NEWMAT::ColumnVector V = make_TestResultVector(
      bNormalInterval ? 1 : 0, dEstimate, dSE, dDF, dAlpha, 0.0);

  vResult(4) = PercentChange(dEstimate);
  vResult(5) = PercentChange(V(5));
  vResult(6) =
      (V(6) > kUpperBoundCapLog) ? kCappedUpperBound : PercentChange(V(6));
  vResult(7) = (vResult(5) > 0.0 || vResult(6) < 0.0) ? 1.0 : 0.0;

  double dStatistic = V(3);
  double dPValue = V(4);
  if (sTestSwitch == "UseZForPValue" || sTestSwitch == "UseZForCI") {
    const NEWMAT::ColumnVector Z =
        make_TestResultVector(1, dEstimate, dSE, dDF, dAlpha, 0.0);
    dStatistic = Z(3);
    dPValue = Z(4);
  }

  vResult(1) = dEstimate;
  vResult(2) = dSE;
  vResult(3) = dDF;
  vResult(8) = dStatistic;
  vResult(9) = dPValue;
  return vResult;
}

NEWMAT::ColumnVector BaseKMRegModel::extract_EvenEntries(
    const NEWMAT::ColumnVector& v, int32_t k) {
  NEWMAT::ColumnVector vOut(k + 1);
  for (int32_t i = 1; i <= k + 1; ++i) vOut(i) = v(2 * i);
  return vOut;
}
