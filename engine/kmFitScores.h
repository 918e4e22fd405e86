// kmFitScores: the score of a missing fit, the F statistic of one data set
// and the rules that count a permuted F as reaching the observed one, shared
// by the cohort and comparison fits and their tests.
#ifndef KM_ENGINE_KMFITSCORES_H
#define KM_ENGINE_KMFITSCORES_H

#include <algorithm>
#include <cmath>

// Residual sum, or score, of a data set that no model has fitted: larger than
// any Q a fit reports.
constexpr double kNoFit = 1e50;

// Absolute tolerance within which a permuted F counts as reaching the
// observed one in a complete permutation test: the double-precision epsilon.
constexpr double kFTieTolerance = 2.220446049250313e-16;

// F of one data set: (S0 - S1) / S1 * r, or 0.0 when S1 <= 0.
inline double FOf(double dS0, double dS1, double r) {
  return dS1 > 0.0 ? (dS0 - dS1) / dS1 * r : 0.0;
}

// Whether a permuted F reaches the observed one: above it, or equal to it
// within the tie tolerance, so that a tie does not hang on rounding. A NaN
// reaches nothing.
inline bool ReachesObservedF(double dFi, double dF) {
  return std::fabs(dFi - dF) < kFTieTolerance || dFi > dF;
}

// Negative residual sums of smaller magnitude are rounding noise of an
// exact fit at any level of the data.
constexpr double kSseRoundingTolerance = 1e-6;

// True when the negative residual sum dSse is rounding of an exact fit: its
// magnitude within kSseRoundingTolerance or within dBound, the perfect-fit
// bound of the data, which grows with their level.
inline bool IsRoundingBelowZero(double dSse, double dBound) {
  return dSse < 0.0 && -dSse <= std::max(kSseRoundingTolerance, dBound);
}

// The sequential (early-stopping) test's rule, the one exact comparison of
// the permutation tests: its stopping tables were built counting a data set
// whose F is at least the observed one, with no tolerance. A NaN reaches
// nothing.
inline bool ReachesObservedFExactly(double dFi, double dF) { return dFi >= dF; }

#endif  // KM_ENGINE_KMFITSCORES_H
