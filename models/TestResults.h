// Tests of an estimate against a null value, and empirical quantiles of a
// sample.
//
// Each routine touches only its arguments and passes every exception on; a
// KmException passing one collects a "Standard exception: <text>" report,
// which the driver writes to standard output.
#ifndef KM_MODELS_TESTRESULTS_H
#define KM_MODELS_TESTRESULTS_H

#include <newmat.h>

// Returns (statistic, two-sided p-value) of the estimate dX with standard
// error dSE against the null value dX0:
//   statistic = (dX - dX0) / dSE,
//   p = 2 (1 - F(|statistic|)),
// F the standard normal distribution when iUseNormal is nonzero, else
// Student t with dDF degrees of freedom (a zero statistic gives p = 1 in
// both). When dSE = 0 the statistic is (dX - dX0) times +infinity (NaN when
// dX = dX0) and p = 0. Invalid degrees of freedom make F = -1e30, which
// flows into p.
NEWMAT::ColumnVector make_PValueVector(int iUseNormal, double dX, double dSE,
                                       double dDF, double dX0);

// Returns the 9-entry test-result vector:
//   1 estimate dX            2 standard error dSE
//   3 statistic              4 two-sided p-value (both as make_PValueVector)
//   5 lower bound dX - c dSE 6 upper bound dX + c dSE
//   7 flag: 1.0 when dX0 lies outside [lower, upper], else 0.0 (a null
//     value on a bound counts as inside)
//   8 dDF                    9 dAlpha
// c the quantile at 1 - dAlpha/2 of the standard normal distribution
// (iUseNormal nonzero) or of Student t with dDF degrees of freedom. A level
// outside (0, 2), or dDF <= 0 in the t branch, makes c = -1e30.
NEWMAT::ColumnVector make_TestResultVector(int iUseNormal, double dX,
                                           double dSE, double dDF,
                                           double dAlpha, double dX0);

// Returns one empirical quantile of the n samples per entry of
// probabilities, by linear interpolation between order statistics at
// position (n - 1) p + 1 (the common "type 7" sample quantile): with
// s_0 <= ... <= s_(n-1) the sorted samples, h = (n - 1) p + 1, j = floor(h),
// the quantile is (1 - (h - j)) s_(j-1) + (h - j) s_j, indices clamped into
// 0..n-1. So p = 0 gives the smallest sample, p = 1 the largest, and
// probabilities outside [0, 1] the smallest or largest; a NaN probability
// gives NaN. bSamplesSorted = true trusts that the samples are ascending and
// skips the sort. No probabilities give an empty vector.
// Throws the array's plain-text index error when there are no samples and
// at least one probability.
NEWMAT::ColumnVector calc_EmpiricalQuantiles(
    const NEWMAT::ColumnVector& samples,
    const NEWMAT::ColumnVector& probabilities, bool bSamplesSorted);

#endif  // KM_MODELS_TESTRESULTS_H
