// BaseKMRegModel: the fitting core of the regression model framework.
#ifndef KM_MODELS_BASEKMREGMODEL_H
#define KM_MODELS_BASEKMREGMODEL_H

#include <newmat.h>

#include <cstdint>
#include <string>

#include "foundation/OneDimensionArray.h"
#include "models/KMRegFitMatrices.h"
#include "models/KMRegFitRecord.h"
#include "models/KMSeriesSet.h"

class KMRegFit;
class MTRandomGenerator;
struct KMResamplingInputs;

// BaseKMRegModel holds the fitting core of the model framework as
// free-standing (static) methods: the class keeps no state of its own, and
// every method works only on the arguments it is given, so the fits of
// different cohorts may call them at the same time on several threads.
//
// Each group of methods below is defined in its own BaseKMRegModel<Concern>
// source file, whose opening comment describes the model and the method.
//
// Errors, for every method unless its comment says otherwise: no method adds
// a call-path line. A KmException passing a method collects a "Standard
// exception: <text>" report, which the driver writes to standard output,
// except in the APC, AAPC and search-and-refit methods, which add none; every
// other exception passes unchanged. Where a method's comment names a source,
// a matrix-library error becomes a KmException with the library's text and
// that source; elsewhere the matrix library's errors pass through.
class BaseKMRegModel {
 public:
  // ---- Kinkmark-location enumeration (BaseKMRegModelEnumeration.cpp) ----
  // The model and its method are described at the top of
  // BaseKMRegModelEnumeration.cpp.

  // Writes the lexicographically smallest admissible placement into T and
  // answers true; answers false when there is none (then T holds no
  // placement: entries are clamped to m, and with m = 0 every entry is 0).
  // k = 0 answers true and leaves T empty.
  // REQUIRES: T has k rows (k = T.Nrows()); L has m rows.
  static bool first_TauIndices(NEWMAT::ColumnVector& T,
                               const NEWMAT::ColumnVector& L);

  // Replaces the placement T by the next admissible one in lexicographic
  // order and answers true, or answers false when T was the last one (or
  // k = 0). After false, T is not a placement and must not be used.
  // REQUIRES: T is a placement from first_TauIndices / next_TauIndices with
  // the same L.
  static bool next_TauIndices(NEWMAT::ColumnVector& T,
                              const NEWMAT::ColumnVector& L);

  // One step of next_TauIndices: advances position j (1-based) of T and
  // rebuilds positions j + 1..k at their minimal values; when the rebuilt
  // tail does not fit below m it carries to position j - 1. Answers false
  // when j = 0 or every position is exhausted. Recursion depth at most j.
  static bool next_TauIndices_Recursive(NEWMAT::ColumnVector& T,
                                        const NEWMAT::ColumnVector& L,
                                        int32_t j);

  // ---- Local kinkmark statistics (BaseKMRegModelStatistic.cpp) ----
  // The model and its method are described at the top of
  // BaseKMRegModelStatistic.cpp.

  // Empties X (to 0 x 2) and H, then fills them for one window: for every
  // observation (series in order, rows in order) with lo < x <= hi a row
  // (1, x) of X and the entry (x - tau if x > tau, else 0) of H; finally
  // X = W_i X and H = W_i H. No observation in the window leaves both
  // empty.
  // Throws: the matrix library's index error when W is smaller than the
  // total number of observations.
  static void build_StatisticDesign(
      NEWMAT::Matrix& X, NEWMAT::ColumnVector& H,
      const OneDimensionArray<NEWMAT::ColumnVector>& values,
      const NEWMAT::Matrix& W, double tau, double lo, double hi);

  // The smallest local Wald statistic of the model's kinkmarks:
  //   s_i = beta(i + 2)^2 (H'MH) / sigma2
  // (the squared slope change over its variance as the window's data alone
  // estimate it), s_i = 0 for an empty window. Returns min_i s_i, and 0.0
  // when tau is empty. The responses do not enter.
  // REQUIRES: sigma2 > 0 (used unchanged).
  // Throws: the matrix library's index error when beta has fewer than k + 2
  // entries or W is smaller than the total number of observations.
  static double calc_ModelStatistic(
      const OneDimensionArray<NEWMAT::ColumnVector>& values,
      const NEWMAT::Matrix& W, const NEWMAT::ColumnVector& beta,
      const NEWMAT::ColumnVector& tau, double sigma2);

  // ---- Design matrices and fitting data (BaseKMRegModelDesign.cpp,
  // BaseKMRegModelVectors.cpp) ----
  // The model and its method are described at the top of
  // BaseKMRegModelDesign.cpp.

  // Builds the design X (N x q) of the model above for the kinkmark
  // locations tau (k entries, may be empty), and the stacked x and y of all
  // series in array order (allX, allY: N entries). X, allX and allY are
  // emptied first. q = p + k, + 1 with the jump switch (non-zero), + 2k + 2
  // with spline code 2. The intercept columns are columns 1..p-1: all 1.0
  // for model type 1, else column l is 1.0 on the rows of series l.
  // Throws: KmException with source "BaseKMRegModel::calculateX0AllXAllY()"
  // when xValues and yValues differ in size or a series' x and y differ in
  // length or p < 1, or for a matrix-library error.
  static void calculateX0AllXAllY(
      NEWMAT::Matrix& X, NEWMAT::ColumnVector& allX, NEWMAT::ColumnVector& allY,
      const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
      const OneDimensionArray<NEWMAT::ColumnVector>& yValues, int32_t p,
      const NEWMAT::ColumnVector& tau, int32_t modelType, int32_t jump,
      double jumpLocation, int32_t splineCode);

  // Fills the fitting data of seriesSet for the location search:
  //  - candidates, candidateIndices and distinctX from a KMRegFittingData
  //    built from the series' x values, the user's locations with their
  //    switch and the grid integers a, b, c (fill_FittingDataArrays);
  //  - p = 2 for model type 1, else g + 1;
  //  - allX, allY and X = calculateX0AllXAllY with tau = every candidate;
  //  - XtW = X' W and XtWX = X' W X, W being fittingData.weight (set by the
  //    caller, N x N);
  //  - m = extraResponses.GetSize() when that is 2 or more, else 1;
  //    responses[0] = allY and responses[i] = extraResponses[i] for
  //    i = 1..m-1 (extraResponses[0] is not read); yWy[i] = y_i' W y_i;
  //    XtWY = X'W [y_1 ... y_m] (q x m).
  // The other members (weight, covariance, transform, backTransform) are
  // left as they are.
  // Throws: KmException with source
  // "BaseKMRegModel::prepare_BaseKMRegModel_FittingData()" when there are no
  // observations, W is not N x N, an extra response is not N long, a
  // series' x and y differ in length, or for a matrix-library error (then
  // with the library's text; the grid with a < 1 and a gap).
  static void prepare_BaseKMRegModel_FittingData(
      KMRegFitMatrices& fittingData, const KMSeriesSet& seriesSet,
      const OneDimensionArray<NEWMAT::ColumnVector>& extraResponses,
      const NEWMAT::ColumnVector& userLocations, bool useUserLocations,
      int32_t modelType, int32_t jump, double jumpLocation, int32_t a,
      int32_t b, int32_t c, int32_t splineCode);

  // Returns intercept + slope x + sum over i with x > tau(i) (strictly) of
  // (x - tau(i)) delta(i). Throws the matrix library's index error when
  // delta is shorter than tau.
  static double calc_FittedValueAt(const NEWMAT::ColumnVector& tau,
                                   const NEWMAT::ColumnVector& delta,
                                   double slope, double x, double intercept);

  // Returns the model's values at each entry of x (same length): slope =
  // beta(s), delta = beta(s+1 .. last), intercept = beta(1) when s = 2,
  // else beta(i0) when i0 >= 1, else 0. Throws the matrix library's index
  // error when beta is too short.
  static NEWMAT::ColumnVector calc_FittedValues(
      const NEWMAT::ColumnVector& tau, const NEWMAT::ColumnVector& beta,
      int32_t s, int32_t i0, const NEWMAT::ColumnVector& x);

  // Returns the vectors of the array one below the other, in array order
  // (an empty vector for an empty array).
  static NEWMAT::ColumnVector stack_ColumnVectors(
      const OneDimensionArray<NEWMAT::ColumnVector>& vectors);

  // Returns a - b element by element over the length of a. Throws the
  // matrix library's index error when b is shorter than a.
  static NEWMAT::ColumnVector calc_CumulativeVector(
      const NEWMAT::ColumnVector& a, const NEWMAT::ColumnVector& b);

  // Adds r to every element of every vector of the array, in place.
  static void shift_AllVectors(OneDimensionArray<NEWMAT::ColumnVector>& vectors,
                               double r);

  // Returns the n x n matrix with 1.0 on the diagonal, v in column k of
  // rows 1..k-1 and 0.0 elsewhere (the identity when k <= 1). Used to carry
  // coefficients and their normal matrix to an x origin moved by v.
  // Throws: KmException with source "BaseKMRegModel::get_mShfitInv()" when
  // k > n (column k does not exist) and k > 1.
  static NEWMAT::Matrix get_mShfitInv(int32_t k, int32_t n, double v);

  // ---- Kinkmark location search (BaseKMRegModelSearch.cpp) ----
  // The model and its method are described at the top of
  // BaseKMRegModelSearch.cpp.

  // Searches the best locations of k kinkmarks (k < 0 counts as 0) and
  // fills record: k, p0 = p, searchDone, rss, rssPerResponse (m), beta,
  // normalMatrix (the reduced X'WX of the best placement, not its inverse),
  // tau, profile (Ng x k; 1e50 where never scored), tauInterval (2 x k,
  // test_TauStep), per series fittedValues, valuesAtTau (the model at each
  // tau with that series' intercept) and residuals, and with the jump switch
  // jumpVector (9 entries, entry 1 the jump coefficient, the rest 0.0).
  // With mode "CalcForResampling" also responseBetas and responseTaus (m
  // each: the best coefficients and locations of every response; both
  // empty for a response that no placement fitted).
  // When k > Ng or there are no responses (m = 0) the record is left
  // unchanged. When no placement is admissible, searchDone = 0, rss and
  // every rssPerResponse entry stay +infinity, and beta, tau and the
  // per-series vectors are empty.
  // Arguments: responses[0] is the observed stacked response y_1 (N rows),
  // responses[r-1] the response r; grid and limits are the candidates and
  // their index numbers (KMRegFitMatrices::candidates, candidateIndices);
  // W, XtWX, X, XtWY and yWy as prepared (yWy[r-1] for response r);
  // xValues give the series lengths n_j.
  // Throws: KmException with source "BaseKMRegModel::findTheBestTau()" when
  // the series lengths, the observed response or W do not conform to the
  // rows of X, and for a matrix-library error (then with the library's
  // text), such as products that are too small for the grid.
  static void findTheBestTau(
      KMRegFitRecord& record,
      const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
      const OneDimensionArray<NEWMAT::ColumnVector>& responses,
      const NEWMAT::ColumnVector& grid, const NEWMAT::ColumnVector& limits,
      int32_t k, int32_t p, double alpha, int32_t jump, const NEWMAT::Matrix& W,
      const NEWMAT::Matrix& XtWX, const NEWMAT::Matrix& X,
      const NEWMAT::Matrix& XtWY, const OneDimensionArray<double>& yWy,
      int32_t splineCode, std::string mode);

  // The profile interval of each kinkmark location. With
  // df = N - (p + 2k), s2 = bestRSS / df (0 when df <= 0),
  // F = F quantile (k, df) at 1 - alpha and T = k s2 F + bestRSS: for
  // kinkmark j the candidates whose profile(., j) <= T span [lo, hi],
  // widened by one candidate on each side when that neighbour was scored
  // (profile != 1e50); lo = 1 and hi = Ng when none qualifies.
  // interval becomes 2 x k: row 1 = grid(hi), row 2 = grid(lo).
  // REQUIRES: profile is Ng x k with Ng = grid rows.
  static void test_TauStep(NEWMAT::Matrix& interval,
                           const NEWMAT::Matrix& profile, int32_t N,
                           const NEWMAT::ColumnVector& grid, double bestRSS,
                           int32_t p, int32_t k, double alpha);

  // ---- APC estimates (BaseKMRegModelAPC.cpp) ----
  // The model and its method are described at the top of BaseKMRegModelAPC.cpp.

  // Fills mAPC (resized to k+1 rows by 10 columns), one estimate row per
  // segment i with b = b(i), s = se(i): q = t quantile at 1 - dAlpha/2 with
  // dDF degrees of freedom; column 9 t = b / s and column 10
  // p = 2 (1 - F_t(|t|; dDF)). A zero s gives t = b * infinity and p = 0.
  // The upper bound is not capped.
  // REQUIRES: T has k+2 entries, b and se at least k+1.
  static void calc_APC_Estimates(NEWMAT::Matrix& mAPC, int32_t k,
                                 const NEWMAT::ColumnVector& T,
                                 const NEWMAT::ColumnVector& b,
                                 const NEWMAT::ColumnVector& se, double dAlpha,
                                 double dDF);

  // Returns the 10-entry estimate row of one segment running from
  // vRange(1) to vRange(2), with slope dSlope and standard error dSE (the
  // row calc_APC_Estimates gives with k = 0 and T = vRange). The model table
  // reads its entries 9 (statistic) and 10 (p-value).
  static NEWMAT::ColumnVector calc_APC_OneSlope(
      double dDF, const NEWMAT::ColumnVector& vRange, double dAlpha,
      double dSlope, double dSE);

  // Takes the slopes, their standard errors and the segment boundaries of a
  // refit out of its results: b and se resized to k+1, T to k+2;
  // b(i) = vCoef(iOffset - 1 + 2i), se(i) = coefTables[0](2i, 2) (the first
  // coefficient table lists intercept and slope of segment i in rows 2i-1
  // and 2i); T(1) = min(vX), T(2..k+1) = vTau, T(k+2) = max(vX). The
  // resampling fit passes iOffset = p0 - 1 (p0 base coefficients), so that
  // b(i) = vCoef(p0 - 2 + 2i).
  // Throws the array's index error when coefTables is empty.
  static void calc_SegmentRanges(
      NEWMAT::ColumnVector& b, NEWMAT::ColumnVector& se,
      NEWMAT::ColumnVector& T,
      const OneDimensionArray<NEWMAT::Matrix>& coefTables,
      const NEWMAT::ColumnVector& vCoef, int32_t iOffset, int32_t k,
      const NEWMAT::ColumnVector& vX, const NEWMAT::ColumnVector& vTau);

  // Returns the 9-entry short APC result of the estimate dEstimate with
  // standard error dSE:
  //   1 estimate, 2 standard error, 3 dDF, 4 100 (e^estimate - 1),
  //   5 100 (e^lo - 1), 6 upper bound (1e50 when hi > 80, else
  //   100 (e^hi - 1)), 7 flag (entry 5 > 0 or entry 6 < 0), 8 statistic,
  //   9 two-sided p-value,
  // lo and hi the bounds estimate -/+ c se of make_TestResultVector at level
  // dAlpha against 0. The interval is normal-based when sTestName is not
  // exactly "TValue" or sTestSwitch is exactly "UseZForCI", else t-based with
  // dDF degrees of freedom. The statistic and p-value are normal-based when
  // sTestSwitch is exactly "UseZForPValue" or "UseZForCI", else they follow
  // the interval. Words are compared exactly (case-sensitive).
  static NEWMAT::ColumnVector calc_TestByMethod(double dEstimate, double dSE,
                                                double dDF, double dAlpha,
                                                const std::string& sTestName,
                                                std::string sTestSwitch);

  // Returns entries 2, 4, ..., 2(k+1) of v: the segment slopes of a
  // coefficient vector that alternates intercepts and slopes.
  // REQUIRES: v has at least 2(k+1) entries.
  static NEWMAT::ColumnVector extract_EvenEntries(const NEWMAT::ColumnVector& v,
                                                  int32_t k);

  // ---- AAPC estimates over ranges (BaseKMRegModelAAPC.cpp) ----
  // The model and its method are described at the top of
  // BaseKMRegModelAAPC.cpp.

  // Answers true when some segment i = 1..(entries of T) - 1 has
  // T(i) <= dStart and dEnd <= T(i+1).
  static bool find_Segment(const NEWMAT::ColumnVector& T, double dStart,
                           double dEnd);

  // Raw overlaps of the m = (entries of T) - 1 segments with [dStart, dEnd]:
  // with T'(1) = min(min T, dStart, dEnd), T'(m+1) = max(max T, dStart,
  // dEnd) and T' = T elsewhere, W(i) = max(0, min(T'(i+1), dEnd) -
  // max(T'(i), dStart)); dSum = sum of W. W is resized to m.
  // Throws the matrix library's error when T is empty.
  static void calc_AAPC_SegmentWeights(NEWMAT::ColumnVector& W, double& dSum,
                                       const NEWMAT::ColumnVector& T,
                                       double dStart, double dEnd);

  // Returns the overlaps of calc_AAPC_SegmentWeights divided by their sum;
  // all 0 when there is no segment or the sum is 0. Note the order: the end
  // comes before the start.
  static NEWMAT::ColumnVector calc_AAPC_ForRange(const NEWMAT::ColumnVector& T,
                                                 double dEnd, double dStart);

  // The log-scale estimate and its variance for one range, from the slopes
  // b, their standard errors se and the raw weights W with sum dSum over the
  // first m segments: with w(i) = W(i) / dSum, dEstimate = sum w(i) b(i) and
  // dVariance = sum (se(i) w(i))^2; both 0 when dSum is 0.
  static void calc_AAPC_Interval(double& dEstimate, double& dVariance,
                                 const NEWMAT::ColumnVector& b,
                                 const NEWMAT::ColumnVector& se,
                                 const NEWMAT::ColumnVector& W, double dSum,
                                 int32_t m);

  // Fills mAAPC (resized to one row per row of mRanges by 10 columns) with
  // the estimate row of each range over the k+1 segments of T, slopes b and
  // standard errors se. The interval uses the t quantile at 1 - dAlpha/2
  // with dDF degrees of freedom when the range lies within one segment
  // (find_Segment on T), else the standard normal quantile; the statistic
  // A / s and its p-value are always normal-based (a zero s gives p = 0).
  // A range of zero length, or with start > end, gives A = s = 0.
  // REQUIRES: mRanges has at least 2 columns; T has k+2 entries; b and se
  // at least k+1.
  static void calc_AAPC_Estimates(NEWMAT::Matrix& mAAPC,
                                  const NEWMAT::Matrix& mRanges, int32_t k,
                                  double dDF, const NEWMAT::ColumnVector& T,
                                  const NEWMAT::ColumnVector& b,
                                  const NEWMAT::ColumnVector& se,
                                  double dAlpha);

  // Returns T (k+2 entries, k = entries of vTau): min(vX), vTau, max(vX).
  // Throws the matrix library's error when vX is empty.
  static NEWMAT::ColumnVector add_RangeEndsToTau(
      const NEWMAT::ColumnVector& vX, const NEWMAT::ColumnVector& vTau);

  // Returns the log-scale AAPC of one resampled fit over the range
  // (vRange(1), vRange(2)): the slopes weighted by calc_AAPC_ForRange over
  // add_RangeEndsToTau(vX, vTau).
  static double calc_AAPC_OneSample(const NEWMAT::ColumnVector& vRange,
                                    const NEWMAT::ColumnVector& vX,
                                    const NEWMAT::ColumnVector& vTau,
                                    const NEWMAT::ColumnVector& vSlopes);

  // Returns sum over i = 1..(entries of w) of a(i) w(i).
  static double calc_WeightedSum(const NEWMAT::ColumnVector& a,
                                 const NEWMAT::ColumnVector& w);

  // Returns the 9-entry position of the range (vRange(1), vRange(2)) among
  // the k+1 segments of T. js = the last i in 1..k+1 with T(i) <= start (1
  // when none), je = the last i with T(i) < end (1 when none); flagA = 1
  // when js > 1 and T(js) == start, flagB = 1 when je < k+1 and
  // T(je+1) == end. Entries: 1 je - js + 1, 2 js - 1, 3 k + 1 - je, 4 js,
  // 5 je, 6 js - flagA, 7 je - 1 + flagB, 8 flagA, 9 flagB (whole numbers
  // stored as doubles).
  static NEWMAT::ColumnVector calc_AAPC_ResultVector(
      const NEWMAT::ColumnVector& vRange, int32_t k,
      const NEWMAT::ColumnVector& T);

  // Fills mRanges with one row: (min(vX(1), max vX), max(vX(1), max vX)),
  // the whole data range when the first x is the smallest.
  // Throws the matrix library's error when vX is empty.
  static void calc_FullDataRange(NEWMAT::Matrix& mRanges,
                                 const NEWMAT::ColumnVector& vX);

  // ---- Search-and-refit of one data set (BaseKMRegModelRefit.cpp) ----

  // Fits the data set of fitTemplate with its number of kinkmarks k into
  // record: searches the best kinkmark locations (findTheBestTau, on x
  // measured from the smallest x), sets n, the perfect-fit flag (RSS == 0),
  // p = p0 + 2k (+1 when the jump stays on: only when min x < J < max x),
  // the residual df n - p and, when n - p > 0, the mean squared error
  // RSS / (n - p); moves the results back to the scale of x. Unless
  // iSkipRefit is nonzero it then adds the template's x offset, refits at
  // the found locations (fit_BaseKMRegModel) and fills the APC table, the
  // AAPC table over the whole data range and the goodness of fit. In the
  // mode exactly "CalcForResampling" it also derives the segment slopes of
  // every scored response. Finally it drops the record's fit data and
  // design (resetFit); every derived result stays.
  // When the search places no kinkmarks (k above the number of candidate
  // locations, or no admissible placement), the record stays unfitted
  // (searchDone 0, RSS +infinity, the counts set) and the move back, the
  // refit, its summaries and the per-response slopes are skipped.
  // A prepared design in the template (design.X with rows) is used as it
  // is; otherwise it is prepared here from the template's data, responses
  // and four matrices.
  // Throws KmException when the data set holds no observation. Errors of
  // the called operations pass through with the reports they collected; this
  // method adds none. A failure leaves the record partly written. The
  // template is only read.
  static void calcForResampling(KMRegFitRecord& record,
                                const KMRegFit& fitTemplate, int32_t iSkipRefit,
                                std::string sMode);

  // The APC and AAPC step of a refit: calc_SegmentRanges (coefficient
  // tables, coefficient vector, iOffset, k, vX, vTau), calc_APC_Estimates at
  // dAPCAlpha with dDF, calc_FullDataRange of vX into mRanges, and
  // calc_AAPC_Estimates over that one range at dAAPCAlpha.
  static void calc_APC_AAPC_Results(
      NEWMAT::Matrix& mAPC, NEWMAT::Matrix& mRanges, NEWMAT::Matrix& mAAPC,
      const OneDimensionArray<NEWMAT::Matrix>& coefTables,
      const NEWMAT::ColumnVector& vCoef, int32_t iOffset, int32_t k, double dDF,
      const NEWMAT::ColumnVector& vX, const NEWMAT::ColumnVector& vTau,
      double dAPCAlpha, double dAAPCAlpha);

  // Writes the goodness of fit into record: y (vObserved), the stacked
  // fitted values f and residuals e (series order), their count m, the
  // weighted centred sums of squares Qt of y, Qm of f, Qe of e and Qd of
  // d = y - e (also stored), each calc_CentredSumOfSquares(mW v, mW 1);
  // R^2 = Qm / (Qm + Qe); adjusted R^2 = R^2 - (p - 1)(1 - R^2) / (m - p).
  // fitted and residuals may be the record's own arrays.
  // REQUIRES: mW is m x m; vObserved has m entries.
  static void calc_GoodnessOfFit(
      KMRegFitRecord& record,
      const OneDimensionArray<NEWMAT::ColumnVector>& fitted,
      const OneDimensionArray<NEWMAT::ColumnVector>& residuals,
      const NEWMAT::ColumnVector& vObserved, const NEWMAT::Matrix& mW,
      int32_t p);

  // Returns the sum of squares of a about its projection on b:
  // sum_i (a(i) - c b(i))^2 with c = (sum a(i) b(i)) / (sum b(i)^2); 0 when
  // a is empty. With b = W 1 this is a weighted sum of squares about the
  // mean.
  static double calc_CentredSumOfSquares(const NEWMAT::ColumnVector& a,
                                         const NEWMAT::ColumnVector& b);
  // ---- Response simulation and resampling support
  // (BaseKMRegModelSimulation.cpp, BaseKMRegModelResponseShift.cpp) ----

  // Simulates one response vector from a fitted model (k kinkmarks tau with
  // slope changes delta, intercept b0, slope b1) at the n values x:
  //   y = f + S e,  f(i) = calc_FittedValueAt(tau, delta, b1, x(i), b0),
  // with S = sigma L for the mode "Simulating" and S = L otherwise, and e(i)
  // drawn, in the order i = 1..n, by the mode (compared exactly):
  //  - "Simulating": e(i) = Phi^-1(u), u one uniform draw;
  //  - "SimulatingQuantile": e(i) = the empirical quantile of the ascending
  //    residual sample s at u (calc_EmpiricalQuantiles);
  //  - "SimulatingEmpiricalCDF" and "SimulatingEmpiricalCDFConnectedLines":
  //    u, then from the extended sample E (n_s + 2 values):
  //      m = median(s), MAD = median |s - m|, r = 5.189 MAD,
  //      d = dSpreadUpper - dSpreadLower,
  //      E(1) = m - r if m - r < s(1), else s(1) - (2 / n_s) d,
  //      E(n_s + 2) = m + r if s(n_s) < m + r, else s(n_s) + (2 / n_s) d,
  //      E(2..n_s + 1) = s;
  //    with j = floor(u (n_s + 1)) + 1, e(i) = E(j) + (E(j+1) - E(j)) t,
  //    where t = u2, a second uniform draw, for "SimulatingEmpiricalCDF"
  //    with iBinSwitch == 1 (uniform within the bin), and otherwise the
  //    fractional part of u (n_s + 1) (the inverse of the piecewise-linear
  //    distribution through E at 0, 1/(n_s + 1), ..., 1).
  // Every uniform draw is one generator.genrand(). y is resized to n.
  // REQUIRES: L is n x n; delta has at least as many entries as tau; s is
  // ascending.
  // Throws: KmException (source "BaseKMRegModel::simulate_CI()") for any
  // other mode or for an empty residual sample in the sample-based modes;
  // the matrix library's errors pass through (a non-conforming L). A
  // KmException passing it collects a "Standard exception: <text>" report,
  // which the driver writes to standard output.
  static void simulate_CI(NEWMAT::ColumnVector& y, MTRandomGenerator& generator,
                          const NEWMAT::ColumnVector& tau,
                          const NEWMAT::ColumnVector& delta, double b0,
                          double b1, double sigma, const NEWMAT::Matrix& L,
                          const NEWMAT::ColumnVector& x,
                          const NEWMAT::ColumnVector& residualSample,
                          double dSpreadUpper, double dSpreadLower,
                          int32_t iBinSwitch, const std::string& sMode);

  // Moves a record fitted on x - c to the scale of x: adds c to tau, to
  // every entry of tauInterval, to stackedX, stackedDesignX and vMember15_3,
  // to every responseTaus vector, and to fit.jumpLocation when fit.jump is
  // set; replaces normalMatrix A by T' A T with T = get_mShfitInv(p0, q, c),
  // q = entries of beta (skipped when A is empty); and moves each intercept
  // beta(i), i = 1..p0 - 1, by -c beta(p0), in beta and in every
  // responseBetas vector. c = 0 leaves the record unchanged.
  // Throws as get_mShfitInv, and the matrix library's errors when A is not
  // q x q.
  static void update_ResampledResponse(KMRegFitRecord& record, double c);

  // For each source vector v (array order) the out vector of b + 1 running
  // sums out(1) = v(a + 1), out(j) = out(j - 1) + v(a + j), j = 2..b + 1:
  // with a = p0 - 1 and b = k, the segment slopes of a coefficient vector
  // (first slope, then the slope changes). out gets as many entries as
  // source.
  // Throws the matrix library's index error when a vector is shorter than
  // a + b + 1.
  static void prepare_ResamplingData(
      OneDimensionArray<NEWMAT::ColumnVector>& out, int32_t a, int32_t b,
      const OneDimensionArray<NEWMAT::ColumnVector>& source);

  // Returns the 10-entry long result: vPair(1), vPair(2), vShort(1),
  // vShort(2), vShort(4..9) (entry 3 of the short result, the degrees of
  // freedom, is not carried).
  // Throws: KmException with source
  // "BaseKMRegModel::convert_AAPCResults_shorttolong()" when vShort has fewer
  // than 9 or vPair fewer than 2 entries.
  static NEWMAT::ColumnVector convert_AAPCResults_shorttolong(
      const NEWMAT::ColumnVector& vShort, const NEWMAT::ColumnVector& vPair);

  // ---- Fit statistics of a resampling fit (BaseKMRegModelFitStatistics.cpp,
  // BaseKMRegModelJumpInference.cpp) ----
  // The model and its method are described at the top of
  // BaseKMRegModelFitStatistics.cpp.

  // Completes record with the statistics of its segment form: fitStats gets
  // k, nSeries, p (= record.p0), df, covariance, theta (segment form),
  // beta (a copy of record.beta), segmentTables and kinkmarkTables
  // (calc_SegmentTTests). With the jump on, record.jumpVector gets the jump's
  // standard error and test (calc_CoefficientInference).
  // REQUIRES: record.fit holds the data on the scale of record.tau and
  // record.beta holds at least p0 + k (+ 1 with the jump) coefficients.
  static void fit_BaseKMRegModel(KMRegFitRecord& record);

  // The segment form above: theta (p + 2k entries, with p = iIntercepts + 1)
  // and betaCopy = beta. vJump(1) is the jump coefficient (read only when
  // iJump is set).
  static void calc_WeightMatrices(NEWMAT::ColumnVector& theta,
                                  NEWMAT::ColumnVector& betaCopy,
                                  int32_t iIntercepts, int32_t k, int32_t iJump,
                                  double dJumpLocation,
                                  const NEWMAT::ColumnVector& beta,
                                  const NEWMAT::ColumnVector& tau,
                                  const NEWMAT::ColumnVector& vJump);

  // The weighted segmented fit above on seriesSet (its responses stacked in
  // series order) with the transformation mTransform (N x N, or empty for
  // the identity). Outputs: the coefficients (laid out like the segment form,
  // then the step when it is fitted), Cov, df and RSS. With iJump set, the
  // step column (1.0 for x >= J within the segment that holds J) is appended
  // as the last column only when it separates that segment's observations
  // (some 1.0 and some 0.0); iJumpSegment is the number of the segment that
  // holds J (0 when iJump is not set).
  static void calc_FitEstimates(NEWMAT::ColumnVector& coefficients,
                                NEWMAT::Matrix& covariance, double& dDF,
                                double& dRSS, int32_t& iJumpSegment,
                                const KMSeriesSet& seriesSet,
                                const NEWMAT::Matrix& mTransform,
                                const NEWMAT::ColumnVector& tau, int32_t k,
                                int32_t p, int32_t iJump, double dJumpLocation);

  // Per series j = 1..nSeries: the segment table ((2k + 2) x 4; rows 2s - 1
  // and 2s the intercept a_s (+ the series' offset) and the slope b_s) and
  // the kinkmark table ((k + 2) x 4; rows 1-2 as in the segment table, row
  // 2 + s the slope change b_(s+1) - b_s). Columns: estimate (from theta),
  // standard error sqrt|variance| (from covariance), t = estimate / se,
  // p = 2 (1 - F_t(|t|; dDF)); se = 0 gives t = estimate * infinity, p = 0.
  static void calc_SegmentTTests(
      OneDimensionArray<NEWMAT::Matrix>& segmentTables,
      OneDimensionArray<NEWMAT::Matrix>& kinkmarkTables,
      const NEWMAT::ColumnVector& theta, const NEWMAT::Matrix& covariance,
      double dDF, int32_t p, int32_t k, int32_t nSeries);

  // The inference of the jump coefficient r0(1) (r0 has 9 entries) in the
  // segment J falls in, iJumpSegment = s_J >= 1: with j = p + 2k + 1 the
  // step's index in covariance and i that of the intercept a_sJ in theta,
  // r0(2) = sqrt(Cov(j, j)); r1(1) = r0(1) + a_sJ, the level just after the
  // jump, r1(2) = sqrt(Cov(i,i) + 2 Cov(i,j) + Cov(j,j)). When bForce is
  // set, covariance has no step column (fewer than j rows) or r0(2) is NaN,
  // test_PositiveDefinite gives both standard errors from mNormal^-1 scaled
  // by dRSS / dRSSDivisor, the jump at p + k + 1. Entries 3..9 of r0 and r1
  // are those of the t test (make_TestResultVector) against 0 at level
  // dAlpha with dDF; r2 is calc_CoefficientTests(r0, iLogLinear). r1 and r2
  // are resized to 9.
  static void calc_CoefficientInference(
      NEWMAT::ColumnVector& r0, NEWMAT::ColumnVector& r1,
      NEWMAT::ColumnVector& r2, const NEWMAT::ColumnVector& theta,
      const NEWMAT::Matrix& covariance, double dDF, int32_t iJumpSegment,
      bool bForce, const NEWMAT::Matrix& mNormal, double dRSS,
      double dRSSDivisor, double dAlpha, int32_t iLogLinear, int32_t p,
      int32_t k);

  // Standard errors from the continuous fit's normal matrix A (q x q): with
  // C = dScale A^-1 (isPositiveDefinite), dSEJump = sqrt|C(iJump, iJump)| and
  // dSELevel = sqrt|C(1, 1) + C(iJump, iJump)|.
  static void test_PositiveDefinite(double& dSEJump, double& dSELevel,
                                    const NEWMAT::Matrix& mNormal,
                                    int32_t iJump, double dScale);

  // out = r (9 entries). When iLogLinear is 1 the estimate moves to the
  // ratio scale: out(1) = exp(r(1)), out(2) = exp(r(1)) r(2) (delta method),
  // and out(3..7) come from the t test of out(1) against 1.0 with r(8)
  // degrees of freedom at level r(9).
  static void calc_CoefficientTests(const NEWMAT::ColumnVector& r,
                                    NEWMAT::ColumnVector& out,
                                    int32_t iLogLinear);

  // ---- Confidence intervals by method set and resampled refits
  // (BaseKMRegModelIntervals.cpp, BaseKMRegModelAPCMethodSet.cpp,
  // BaseKMRegModelAAPCMethodSet.cpp, BaseKMRegModelIntervalSamples.cpp,
  // BaseKMRegModelResampling.cpp) ----
  // The model and its method are described at the top of
  // BaseKMRegModelIntervals.cpp.

  // APC intervals of the k + 1 segments: returns one long result (10
  // entries, convert_AAPCResults_shorttolong with vPair) per segment and
  // writes one kinkmark row (location, standard error, lower, upper) per
  // kinkmark into kinkmarkRows (resized to k). mTauInterval is the
  // parametric interval matrix (row 1 upper, row 2 lower bound of kinkmark j
  // in column j), read by "UncorrelatedVariance" and "FirstLastT" only. The
  // three words give the codes of map_ModelSettings for the refits.
  static OneDimensionArray<NEWMAT::ColumnVector> calc_APC_CIs(
      OneDimensionArray<NEWMAT::ColumnVector>& kinkmarkRows, int32_t k,
      const NEWMAT::ColumnVector& vPair,
      const OneDimensionArray<NEWMAT::Matrix>& coefTables,
      const NEWMAT::ColumnVector& tau, const NEWMAT::Matrix& mTauInterval,
      double dAPCAlpha, double dAAPCAlpha, double dKinkmarkAlpha, double dDF,
      const std::string& sMethod, const std::string& sTestSetting,
      const std::string& sModelType, const std::string& sModelScale,
      const std::string& sFittingMethod, const KMResamplingInputs& inputs,
      OneDimensionArray<KMRegFitRecord>& records, MTRandomGenerator& generator);

  // AAPC interval of the range (vRange(1), vRange(2)): returns its long
  // result (10 entries, led by the range). vX: the data's x values (only
  // their smallest and largest entries are read); mCoefCovariance: the
  // coefficient covariance read by "FirstLastT".
  static NEWMAT::ColumnVector calc_AAPC_CIs(
      const NEWMAT::ColumnVector& vRange, int32_t k,
      const OneDimensionArray<NEWMAT::Matrix>& coefTables,
      const NEWMAT::Matrix& mCoefCovariance, const NEWMAT::ColumnVector& tau,
      const NEWMAT::ColumnVector& vX, double dAAPCAlpha, double dAPCAlpha,
      double dKinkmarkAlpha, double dDF, const std::string& sMethod,
      const std::string& sTestSetting, const std::string& sModelType,
      const std::string& sModelScale, const std::string& sFittingMethod,
      const KMResamplingInputs& inputs,
      OneDimensionArray<KMRegFitRecord>& records, MTRandomGenerator& generator);

  // The settings codes: iModelType = 2 for "Parallel", else 1; iLogLinear =
  // 1 for "Log", else 0; iFittingMethod = 1 for "Hudson", 2 for
  // "CubicSpline", else 0. Whole words, compared exactly.
  static void map_ModelSettings(const std::string& sModelType,
                                const std::string& sModelScale,
                                const std::string& sFittingMethod,
                                int32_t& iModelType, int32_t& iLogLinear,
                                int32_t& iFittingMethod);

  // The APC method set: shortResults gets k + 1 short results (9 entries,
  // calc_TestByMethod at dAPCAlpha), kinkmarkRows k rows of 4 entries
  // (kinkmark level dKinkmarkAlpha). Resamples first when an empirical
  // method meets an empty record array.
  static void calc_APC_MethodSet(
      OneDimensionArray<NEWMAT::ColumnVector>& shortResults,
      OneDimensionArray<NEWMAT::ColumnVector>& kinkmarkRows, int32_t k,
      const OneDimensionArray<NEWMAT::Matrix>& coefTables,
      const NEWMAT::ColumnVector& tau, const NEWMAT::Matrix& mTauInterval,
      double dAPCAlpha, double dAAPCAlpha, double dKinkmarkAlpha, double dDF,
      const std::string& sMethod, const std::string& sTestSetting,
      int32_t iModelType, int32_t iLogLinear, int32_t iFittingMethod,
      const KMResamplingInputs& inputs,
      OneDimensionArray<KMRegFitRecord>& records, MTRandomGenerator& generator);

  // The AAPC method set: returns the short result (9 entries,
  // calc_TestByMethod at dAAPCAlpha) of the range (vRange(1), vRange(2)).
  // A range of zero length has the estimate 0 and standard error 0.
  // Matrix-library errors: source
  // "ColumnVector BaseKMRegModel::calc_AAPC_MethodSet()".
  static NEWMAT::ColumnVector calc_AAPC_MethodSet(
      const NEWMAT::ColumnVector& vRange, int32_t k,
      const OneDimensionArray<NEWMAT::Matrix>& coefTables,
      const NEWMAT::Matrix& mCoefCovariance, const NEWMAT::ColumnVector& tau,
      const NEWMAT::ColumnVector& vX, double dAAPCAlpha, double dAPCAlpha,
      double dKinkmarkAlpha, double dDF, const std::string& sMethod,
      const std::string& sTestSetting, int32_t iModelType, int32_t iLogLinear,
      int32_t iFittingMethod, const KMResamplingInputs& inputs,
      OneDimensionArray<KMRegFitRecord>& records, MTRandomGenerator& generator);

  // A kinkmark row (dEstimate, dSE, lower, upper) with the normal bounds
  // dEstimate -/+ z(1 - dAlpha/2) dSE (make_TestResultVector).
  static NEWMAT::ColumnVector calc_APC_TestVector(double dEstimate, double dSE,
                                                  double dAlpha);

  // The samples of the APC method set, N = records.GetSize(): slopeSamples
  // (k + 1 vectors of N: entry 1 the observed slope b(i), entry r that of
  // record r - 1) with their empirical standard errors slopeSE (k + 1);
  // tauSamples (N vectors of k locations: 1 observed tau, r record r - 1)
  // with tauSE (k). A record's slopes are its segmentSlopes, or, when those
  // are empty, the even entries of fitStats.theta.
  // Throws: KmException when N < 2.
  static void collect_APCSamples(
      OneDimensionArray<NEWMAT::ColumnVector>& slopeSamples,
      NEWMAT::ColumnVector& slopeSE,
      OneDimensionArray<NEWMAT::ColumnVector>& tauSamples,
      NEWMAT::ColumnVector& tauSE,
      const OneDimensionArray<KMRegFitRecord>& records,
      const NEWMAT::ColumnVector& b, const NEWMAT::ColumnVector& tau,
      int32_t k);

  // The AAPC sample of the range (N entries: 1 the observed dAAPC, r the
  // calc_AAPC_OneSample of record r - 1 from its stackedX, tau and slopes)
  // and its empirical standard error.
  // Throws: KmException when N < 2 or N exceeds the records.
  static void collect_AAPCSamples(
      NEWMAT::ColumnVector& samples, double& dSE,
      const OneDimensionArray<KMRegFitRecord>& records,
      const NEWMAT::ColumnVector& vRange, int32_t k, int32_t N, double dAAPC);

  // Makes the N - 1 resampled refits of the observed fit (N =
  // inputs.numResamples) into records, rebuilt with N fresh records: the
  // residual pool is transform * (stacked residuals), sorted, with its
  // quartiles Q1 and Q3; with inputs.reseed exactly "NO" the generator is
  // first seeded with inputs.seed; each y_r (r = 2..N) is drawn by
  // simulate_CI ("SimulatingEmpiricalCDF", bin switch 1, spread Q3 - Q1,
  // scale sqrt(rss / rssDivisor), L = backTransform) from the observed
  // coefficients and tau; all are refitted in one calcForResampling
  // ("CalcForResampling") on a copy of the data whose responses are y_2; and
  // record r - 1 gets the segmentSlopes, tau and stackedX of resample r.
  // Record 0 stays reset. The caller's inputs are not changed. Returns 0.
  // Throws: KmException (source "BaseKMRegModel::resample_new()") when N < 2
  // (records left as they were), when there are no residuals, or for a
  // matrix-library error; errors of the refit pass through. After a failure
  // past the N check, records holds N reset records.
  static int32_t resample_new(MTRandomGenerator& generator,
                              OneDimensionArray<KMRegFitRecord>& records,
                              const KMResamplingInputs& inputs,
                              const NEWMAT::ColumnVector& tau, int32_t k,
                              int32_t iModelType, int32_t iLogLinear,
                              int32_t iFittingMethod, double dAPCAlpha,
                              double dAAPCAlpha, double dKinkmarkAlpha);
};

#endif  // KM_MODELS_BASEKMREGMODEL_H
