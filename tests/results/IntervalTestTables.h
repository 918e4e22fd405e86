// Fitted-model records and sessions shared by the APC and AAPC interval
// tests.
#ifndef KM_TESTS_RESULTS_INTERVALTESTTABLES_H
#define KM_TESTS_RESULTS_INTERVALTESTTABLES_H

#include <newmat.h>

#include <cmath>
#include <memory>

#include "foundation/KmVector.h"
#include "foundation/OneDimensionArray.h"
#include "models/KMSeriesSet.h"
#include "results/kmLineSegment.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace km_interval_test {

// The levels every session of these tests uses. The AAPC level differs from
// the APC level so that a mix-up shows.
constexpr double kAPCAlpha = 0.05;
constexpr double kAAPCAlpha = 0.10;
constexpr double kKinkmarkAlpha = 0.05;
constexpr double kPermAlpha = 0.05;
constexpr double kJumpCRAlpha = 0.05;

// A session with the levels above, the given interval method and a small
// number of resamples.
inline std::unique_ptr<kmSession> MakeSession(int iMethod,
                                              int iNumResamples = 40) {
  auto session = std::make_unique<kmSession>();
  session->SetDouble(kmOptAPCAlpha, kAPCAlpha);
  session->SetDouble(kmOptAAPCAlpha, kAAPCAlpha);
  session->SetDouble(kmOptKinkmarkAlpha, kKinkmarkAlpha);
  session->SetDouble(kmOptPermSignificance, kPermAlpha);
  session->SetDouble(kmOptJumpCRAlpha, kJumpCRAlpha);
  session->SetInt(kmOptAAPCCIMethod, iMethod);
  session->SetInt(kmOptNumResamples, iNumResamples);
  session->SetInt(kmOptEmpQuantileSeed, 10000);
  session->SetInt(kmOptEmpQuantileSeedType, 0);
  return session;
}

// Appends segments (start, end, intercept, its SE, slope, its SE) to table;
// a slope whose SE is not positive is not computed.
struct SegmentSpec {
  double dStart, dEnd, dIntercept, dInterceptSE, dSlope, dSlopeSE;
};
inline void AddSegments(kmTable& table, const SegmentSpec* specs, int n) {
  KmVector<kmLineSegment> segments;
  for (int i = 0; i < n; ++i) {
    kmLineSegment segment;
    segment.SetRange(specs[i].dStart, specs[i].dEnd);
    segment.intercept.Set(specs[i].dIntercept, specs[i].dInterceptSE, 1.0, 0.5,
                          true);
    segment.SetSlope(specs[i].dSlope, specs[i].dSlopeSE, 1.0, 0.5,
                     specs[i].dSlopeSE > 0.0);
    segment.SetAPC(100.0 * (std::exp(specs[i].dSlope) - 1.0), -1.0, 1.0, false,
                   2.0, 0.25);
    segments.push_back(segment);
  }
  table.AddLineSegments(segments);
}

// The parametric model, x = 2000..2012 with a kinkmark at 2005:
//   segment 1 (2000, 2005): intercept -60, slope 0.03;
//   segment 2 (2005, 2012): intercept 40.25, slope -0.02;
// UDF 9.3. Its covariance matrix, intercept and slope alternating per
// segment, and the standard errors are those of a least-squares fit of
// each segment alone with residual variance 1e-4, from R:
//   x <- 2000:2012; s1 <- x <= 2005; s2 <- !s1
//   D <- cbind(as.numeric(s1), x*s1, as.numeric(s2), x*s2)
//   V <- 1e-4 * solve(crossprod(D)); sev <- sqrt(diag(V))
//   cat(sprintf("%.17g", V), sep="\n"); cat(sprintf("%.17g", sev))
constexpr double kCovariance[4][4] = {
    {22.914338095785901, -0.011442857143130702, 0, 0},
    {-0.011442857143130704, 5.714285714422324e-06, 0, 0},
    {0, 0, 14.414589283308603, -0.0071749999988025498},
    {0, 0, -0.0071749999988025481, 3.5714285708325287e-06}};
constexpr double kInterceptSE[2] = {4.7868923213067891, 3.7966550124166671};
constexpr double kSlopeSE[2] = {0.0023904572186973613, 0.001889822364888438};
constexpr double kUDF = 9.3;

inline kmTable ParametricTable() {
  kmTable table;
  const SegmentSpec specs[2] = {
      {2000, 2005, -60.0, kInterceptSE[0], 0.03, kSlopeSE[0]},
      {2005, 2012, 40.25, kInterceptSE[1], -0.02, kSlopeSE[1]}};
  AddSegments(table, specs, 2);
  table.AddKinkmark(2005.0, 2003.0, 2007.0, true);
  table.AddSlopeDiff(-0.05, 0.003, -16.0, 1e-6, true);
  NEWMAT::Matrix covariance(4, 4);
  for (int i = 1; i <= 4; ++i) {
    for (int j = 1; j <= 4; ++j) covariance(i, j) = kCovariance[i - 1][j - 1];
  }
  table.SetCovariance(covariance);
  NEWMAT::Matrix data(13, 4);
  data = 0.0;
  for (int i = 1; i <= 13; ++i) data(i, 1) = 1999 + i;
  table.SetData(data);
  table.SetUDF(kUDF);
  table.SetDF(9);
  table.SetSSE(9e-4);
  return table;
}

// A model with its observed fit for the resampled intervals: one series
// x = 1990..2009, y = f + e with
//   f = -58.7 + 0.03 x - 0.05 (x - 2000)+  (slopes 0.03 and -0.02),
// a kinkmark at 2000 and the fixed noise e below; unit variances.
inline kmTable ResamplingTable() {
  const double noise[20] = {0.012,  -0.020, 0.008, 0.015,  -0.011,
                            0.004,  -0.017, 0.019, -0.006, 0.010,
                            -0.013, 0.007,  0.016, -0.009, -0.014,
                            0.011,  -0.003, 0.018, -0.012, 0.005};
  const int n = 20;
  NEWMAT::ColumnVector x(n), y(n), f(n), e(n);
  NEWMAT::Matrix data(n, 4);
  double dSSE = 0.0;
  for (int i = 1; i <= n; ++i) {
    x(i) = 1989 + i;
    f(i) = -58.7 + 0.03 * x(i) - (x(i) > 2000 ? 0.05 * (x(i) - 2000) : 0.0);
    e(i) = noise[i - 1];
    y(i) = f(i) + e(i);
    dSSE += e(i) * e(i);
    data(i, 1) = x(i);
    data(i, 2) = y(i);
    data(i, 3) = f(i);
    data(i, 4) = 1.0;
  }

  kmTable table;
  const SegmentSpec specs[2] = {{1990, 2000, -58.7, 1.1, 0.03, 0.0012},
                                {2000, 2009, 41.3, 1.3, -0.02, 0.0014}};
  AddSegments(table, specs, 2);
  table.AddKinkmark(2000.0, 1998.0, 2002.0, true);
  table.AddSlopeDiff(-0.05, 0.002, -25.0, 1e-6, true);
  table.SetData(data);
  table.SetUDF(16.0);
  table.SetDF(16);
  table.SetSSE(dSSE);

  KMSeriesSet series;
  series.labels.Resize(1);
  series.xValues.Resize(1);
  series.yValues.Resize(1);
  series.xValues[0] = x;
  series.yValues[0] = y;
  series.covariance.ReSize(n);
  series.covariance = 0.0;
  for (int i = 1; i <= n; ++i) series.covariance(i, i) = 1.0;
  table.SetSeriesSet(series);
  OneDimensionArray<NEWMAT::ColumnVector> fitted, resids;
  fitted.Resize(1);
  resids.Resize(1);
  fitted[0] = f;
  resids[0] = e;
  table.SetSampleArrays(fitted, resids);
  table.SetAutocorrelation(0.0);
  table.SetErrorType(0);
  table.SetModelWords("Parallel", "Log", "GridSearch");
  table.SetGridSettings(2, 2, 0);
  table.SetCIMethodName("EmpCDFQuantile");
  return table;
}

}  // namespace km_interval_test

#endif  // KM_TESTS_RESULTS_INTERVALTESTTABLES_H
