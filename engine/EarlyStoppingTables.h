// The twelve stopping tables the engine carries, built from their rules.
//
// Curtailed tables stop a test as soon as its outcome at the full number of
// data sets is certain. For level alpha and N + 1 data sets (N = 5839)
// the null model is kept once the exceedances reach J = floor(alpha (N+1)),
// and rejected once the data sets left can no longer bring them to J.
//
// B-value tables are the stopping boundaries of a B-value design for
// sequential Monte Carlo tests: a truncated sequential-probability-ratio
// boundary on the standardised exceedance count
//   B(i, w) = (w - i alpha) / sqrt(N alpha (1 - alpha))
// for w exceedances among i data sets, with both error rates 0.1 (stop
// upward at B >= z(0.9), downward at B <= z(0.1)) and truncation at
// r1 = floor(alpha (N+1)) exceedances or r0 = N + 1 - r1 non-exceedances.
// Each boundary point carries the probability K that a test whose p-value
// is uniform on (0, 1) stops there; ordered by j/i, the points before the
// one where the running sum of K passes alpha reject (1.0), those after it
// keep the null model (0.0), and that boundary point rejects with
// probability (alpha - sum before it) / K, so the design's level is alpha.
#ifndef KM_ENGINE_EARLYSTOPPINGTABLES_H
#define KM_ENGINE_EARLYSTOPPINGTABLES_H

#include <vector>

#include "engine/EarlyStopper_File.h"
#include "foundation/KmString.h"

// One of the twelve tables: its name (the cache key), its kind, its level
// 1 / iLevelDenominator and N, its largest number of data sets.
struct EarlyStoppingTableSpec {
  const char* sName;
  bool bCurtailed;
  int iLevelDenominator;
  int iLargestI;
};

// The twelve tables: six curtailed, then six B-value tables, each kind for
// the levels 0.1, 0.1/3, 0.05, 0.05/2, 0.05/3 and 0.05/4.
const std::vector<EarlyStoppingTableSpec>& EarlyStoppingTableSpecs();

// The description of the table of the given kind and level
// 1 / iLevelDenominator, or null when the engine has none.
const EarlyStoppingTableSpec* FindEarlyStoppingTable(bool bCurtailed,
                                                     int iLevelDenominator);

// Rows of the curtailed table for level 1 / iLevelDenominator and N + 1
// data sets: (J, i, 0.0) for i = J..N; (j, N - J + j + 1, 1.0) for
// j = J - 1 down to 1; the end rows (0, N - J + 1, 1.0) and (-1, -1, -1).
// REQUIRES: iLevelDenominator >= 2 and N + 1 >= 2 iLevelDenominator.
std::vector<EarlyStopperRow> CurtailedTableRows(int iLevelDenominator, int N);

// One point of a B-value boundary: j exceedances after i data sets, the
// probability K of stopping there under a uniform p-value, and its
// decision.
struct BValueBoundaryPoint {
  int j;
  int i;
  double dMass;
  double dDecision;
};

// Every point of the B-value boundary for level 1 / iLevelDenominator and
// largest i N, in table order: the upper boundary by increasing i, then
// the lower boundary by decreasing j, ending with its point at j = 0.
// REQUIRES: iLevelDenominator >= 2 and N + 1 >= 2 iLevelDenominator.
std::vector<BValueBoundaryPoint> BValueBoundary(int iLevelDenominator, int N);

// The rows (j, i, decision) of the B-value table, the point at j = 0 being
// the end row, followed by (-1, -1, -1).
std::vector<EarlyStopperRow> BValueTableRows(int iLevelDenominator, int N);

// The rows of the described table.
std::vector<EarlyStopperRow> EarlyStoppingTableRows(
    const EarlyStoppingTableSpec& spec);

#endif  // KM_ENGINE_EARLYSTOPPINGTABLES_H
