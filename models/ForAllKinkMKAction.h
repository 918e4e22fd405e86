// ForAllKinkMKAction: the fit engine of the grid searches.
#ifndef KM_MODELS_FORALLKINKMKACTION_H
#define KM_MODELS_FORALLKINKMKACTION_H

#include <newmat.h>

#include <cstdint>

// Members and fit results of the engine (object and lifecycle section).
#include "foundation/OneDimensionArray.h"
#include "models/KMModelScoreRec.h"
#include "models/KMRegFitStats.h"
#include "models/KMRegModelSettings.h"
#include "models/KMSeriesSet.h"
#include "models/KinkMKFitResult.h"

// Location search, information criteria and MADWD check.
#include <vector>

#include "foundation/KmProgressInterface.h"
#include "models/KMRegFittingData.h"

// ForAllKinkMKAction fits kinkmark models for the calculator's grid
// searches: it holds the data of one series set, the model settings and the
// working state of a search over kinkmark locations.
//
// Each group of methods below is defined in its own ForAllKinkMKAction<Concern>
// source file. New groups are added as their own commented sections.
class ForAllKinkMKAction {
 public:
  // ---- Kinkmark-location enumeration (ForAllKinkMKActionEnumeration.cpp) ----
  //
  // The placement iterator of the engine's own location search, with the
  // same steps, order and results as BaseKMRegModel::first_TauIndices,
  // next_TauIndices and next_TauIndices_Recursive (see BaseKMRegModel.h for
  // placements, the successor table L and the caller's loop). The first
  // placement with the smallest SSE wins a tie, so the lexicographic order is
  // part of the search's result.

  // Writes the lexicographically smallest admissible placement into T and
  // answers true, or answers false when there is none. k = 0 answers true.
  // REQUIRES: T has k rows; L has m rows.
  static bool first_TauIndices(NEWMAT::ColumnVector& T,
                               const NEWMAT::ColumnVector& L);

  // Steps T to the next admissible placement and answers true, or answers
  // false after the last one (T must then not be used).
  static bool next_TauIndices(NEWMAT::ColumnVector& T,
                              const NEWMAT::ColumnVector& L);

  // One step of next_TauIndices at position j (1-based), carrying to j - 1
  // when the rebuilt tail does not fit; false when j = 0 or exhausted.
  static bool next_TauIndices_Recursive(NEWMAT::ColumnVector& T,
                                        const NEWMAT::ColumnVector& L,
                                        int32_t j);
  // ---- end of kinkmark-location enumeration ----

  // ---- All-columns design and weighting matrices
  // (ForAllKinkMKActionDesign.cpp) ----
  //
  // The engine's grid searches pick columns from one design that holds every
  // candidate location as a hinge column (see BaseKMRegModel.h for the model
  // and its column order); the weighting matrices come from
  // models/WeightMatrices.h. Both pass every exception on; a KmException
  // passing them collects a "Standard exception: <text>" report, which the
  // driver writes to standard output.

  // Builds, for G groups stacked in array order (N observations):
  //  - stackedX, stackedY: the groups' x and y one below the other;
  //  - allX (N x (p + m), + 1 with settings.jump non-zero): columns 1..p-1
  //    the intercepts (all 1.0 when settings.modelType is 1, else column
  //    j + 1 is 1.0 on the rows of group j, 0-based j), column p = x, column
  //    p + t = (x - grid(t))+ for t = 1..m (0.0 when x <= grid(t)), then the
  //    jump step 1.0 for x >= settings.jumpLocation, else 0.0;
  //  - settings.secondDesign = allX with settings.xOffset added to column p
  //    only.
  // allX, stackedX and stackedY are emptied first.
  // Throws: KmException with source "ForAllKinkMKAction::calculateX0AllXAllY()"
  // when groupX and groupY differ in size, a group's x and y differ in
  // length, or p < 1.
  static void calculateX0AllXAllY(
      int32_t p, const OneDimensionArray<NEWMAT::ColumnVector>& groupX,
      const OneDimensionArray<NEWMAT::ColumnVector>& groupY,
      KMRegModelSettings& settings, const NEWMAT::ColumnVector& grid,
      NEWMAT::Matrix& allX, NEWMAT::ColumnVector& stackedX,
      NEWMAT::ColumnVector& stackedY);

  // calc_WeightMatrices_ByErrorType (models/WeightMatrices.h) with the
  // outputs in the order P1, P2, omega, V; identical matrices.
  static void calc_WeightMatrices(NEWMAT::Matrix& P1, NEWMAT::Matrix& P2,
                                  NEWMAT::Matrix& omega, NEWMAT::Matrix& V,
                                  const NEWMAT::ColumnVector& variances,
                                  double r, int32_t errorType);
  // ---- end of all-columns design and weighting matrices ----

  // ---- Object, lifecycle and entry routines (ForAllKinkMKActionLifetime.cpp,
  // ForAllKinkMKActionShift.cpp, ForAllKinkMKActionRunFit.cpp,
  // ForAllKinkMKActionPositiveDefinite.cpp) ----
  //
  // The engine is a plain value object (no virtual operations): built, filled
  // by one fit, read, and destroyed or reused after clear. Every routine but
  // the constructor passes every exception on; a KmException passing one
  // collects a "Standard exception: <text>" report, which the driver writes to
  // standard output.

  // workMatrix 0 x 0, seriesSet empty, settings at their defaults, every
  // array empty, fitStats reset.
  ForAllKinkMKAction();
  // A deep copy of src (built with the start values, then assigned).
  ForAllKinkMKAction(const ForAllKinkMKAction& src);
  // Copies every member in declaration order. Returns this object.
  ForAllKinkMKAction& operator=(const ForAllKinkMKAction& src);
  // Calls clear.
  ~ForAllKinkMKAction();

  // The start values: workMatrix 0 x 0, settings.setDefaults, fitStats.reset.
  // seriesSet and the arrays keep their contents.
  void init();
  // In this order: workMatrix 0 x 0; seriesSet cleared and its matrix
  // 0 x 0; settings cleared and back at their defaults; fitResults,
  // modelScores, vectorSets (each inner array first), fitResultSets, values
  // and modelScoreSets released to size 0; fitStats cleared.
  void clear();

  // Moves a fitted model and its independent values by c along the x axis;
  // the model b(i) + b(p) x + ... is unchanged when x becomes x + c and
  // every level parameter is lowered by b(p) c:
  //  1. c is added to every element of every vector of xValues;
  //  2. c is added to every element of result.tauLimits, then of result.tau;
  //  3. with p = result.p: beta(i) -= beta(p) * c for i = 1..p - 1 (nothing
  //     when p <= 1);
  //  4. when result.settings.jump is non-zero, c is added to
  //     result.settings.jumpLocation.
  // Throws: the matrix library's index error when result.beta has fewer
  // than p entries (p > 1).
  static void shift_XValues(OneDimensionArray<NEWMAT::ColumnVector>& xValues,
                            KinkMKFitResult& result, double c);

  // Refits the model held in result on seriesSet under result.settings and
  // completes result: builds a local engine whose seriesSet is seriesSet and
  // whose settings are result.settings, runs its fit_KinkMKModel on result,
  // and copies its fitStats into result.fitStats. Exceptions of the fit
  // pass on after the local engine is destroyed; result then holds what the
  // fit had written.
  static void run_Fit(const KMSeriesSet& seriesSet, KinkMKFitResult& result);

  // The engine's own positive-definiteness test and generalised inverse:
  // the same steps, tolerance (1e-8) and results as check_PositiveDefinite
  // (models/PositiveDefinite.h), to which it forwards. Returns true when no
  // negative pivot was met; inverse then holds the generalised inverse of
  // the n x n matrix A and rank the number of kept pivots.
  static bool isPositiveDefinite(int n, const NEWMAT::Matrix& A,
                                 NEWMAT::Matrix& inverse, int16_t& rank);

  // The segment-form refit (ForAllKinkMKActionSegmentFit.cpp) of the model
  // held in result (k = K kinkmarks tau, P = S + 1 level parameters,
  // coefficients beta: the S intercepts, the first slope, the K slope
  // changes), for inference on each segment of each of the S series of
  // seriesSet:
  //  - estimates: beta rewritten per segment, theta = (the level offsets of
  //    series 2..S against series 1, then intercept and slope of each
  //    segment of series 1); with settings.jump, every segment after the
  //    one holding settings.jumpLocation carries the jump J =
  //    result.jumpVector(1) once in its intercept;
  //  - covariance C = sigma^2 (Z'GZ)^- of the weighted least-squares fit of
  //    the discontinuous design Z = [series offsets | per-segment intercept
  //    and slope (| the jump step inside its segment, when estimable)],
  //    G = Dw Omega Dw with Omega from calc_WeightMatrices (settings.
  //    errorType, phi = result.phi, variances = the diagonal of
  //    seriesSet.covariance) and Dw = diag(w), the proximity weights:
  //    w_i = u = |x_i - tau_j| / h for the last kinkmark j with u < 1, else
  //    1, h = 0.117 * 0.5 * N (ln ln N)^0.6 / sqrt(N);
  //    sigma^2 = e'Ge / df, df = sum(w) - rank (dropped pivots of
  //    isPositiveDefinite count as lost rank; a singular fit goes on);
  //  - per series a (2K + 2) x 4 segment table and a (K + 2) x 4 table of
  //    the first intercept, first slope and K slope changes: estimate,
  //    standard error sqrt(|var|), t, p = 2 (1 - F_t(|t|; df)); a standard
  //    error of 0 gives t = estimate * infinity and p = 0.
  // Writes fitStats (K, S, P, df, the tables, C, theta, beta(1..P+K)).
  // With settings.jump it also writes result.jumpVector (entries 2 to 8: t
  // test of J, with its variance from C on df or, when the segment form
  // cannot estimate it, from result.xtwx^- * sse / residualDF on
  // residualDF degrees of freedom; entry 9 kept),
  // result.levelVector (the level J + intercept of the jump segment and its
  // t test) and result.jumpRetest (calc_CoefficientTests with
  // result.settings.testKind); the tests use result.settings.jumpAlpha.
  // Throws: KmException with source "ForAllKinkMKAction::fit_KinkMKModel()"
  // when K < 0, P is not S + 1, a series' x and y differ in length, the
  // covariance is not N x N, the error type is not 0, 1 or 2, or the jump
  // location lies in no segment; the matrix library's index error when beta
  // or tau is too short, or, with the jump on, jumpVector has fewer than 9
  // entries or the fall-back needs an xtwx smaller than P + K + 1.
  void fit_KinkMKModel(KinkMKFitResult& result);

  // Matrix used by the fit.
  NEWMAT::Matrix workMatrix;
  // The data of the fit: per series a label, the independent values and the
  // responses, and the symmetric matrix over the observations.
  KMSeriesSet seriesSet;
  // The model settings of the fit.
  KMRegModelSettings settings;
  // Working arrays held for the users of the engine (the search and the
  // refit do not read them); released by clear.
  OneDimensionArray<KinkMKFitResult> fitResults;
  OneDimensionArray<KMModelScoreRec> modelScores;
  OneDimensionArray<OneDimensionArray<NEWMAT::ColumnVector>> vectorSets;
  OneDimensionArray<OneDimensionArray<KinkMKFitResult>> fitResultSets;
  OneDimensionArray<int32_t> values;
  OneDimensionArray<OneDimensionArray<KMModelScoreRec>> modelScoreSets;
  // Statistics of the last fit; copied out by run_Fit.
  KMRegFitStats fitStats;
  // ---- end of object, lifecycle and entry routines ----

  // ---- Best kinkmark locations over all series
  // (ForAllKinkMKActionSearch.cpp) ----
  //
  // The exhaustive search for k kinkmarks on a grid of m candidate
  // locations, for one observed response series and any number of further
  // series (permuted or simulated copies) that share its design and weights.
  // No design is built per candidate: every candidate selects its columns
  // c = (1..p, p + i_1, .., p + i_k [, p + m + 1 in the jump model]) from
  // the all-columns products prepared once, so that one q x q generalised
  // inversion and one q x q by q x S product serve all series:
  //
  //   G_c = (X'WX)[c, c],  H_c = (X'WY)[c, .],  B = G_c^- H_c,
  //   SSE_0 = (y_0 - X_c b)' W (y_0 - X_c b)      with b = B[., 1],
  //   SSE_s = y_s'W y_s - sum_r B(r, s+1) H_c(r, s+1)     (s >= 1).
  //
  // Placements come in the lexicographic order of first_TauIndices /
  // next_TauIndices over grid.candidateIndices (the successor table); a
  // placement replaces the best one only when its SSE is strictly smaller,
  // so the first of equal placements wins. In the jump model a placement
  // with a kinkmark strictly after the last observation before
  // settings.jumpLocation and at or before the first observation at or
  // after it is never the best of a series (it enters the profile only),
  // unless every placement holds such a kinkmark: the step makes it fit as
  // the kinkmark at that last observation does, with another jump.

  // Searches the best placement of k kinkmarks (k < 0 counts as 0) and
  // writes everything into results, resized to S = series.GetSize() fresh
  // records (constructed, cleared, init). Nothing happens when S = 0.
  //  - Every record gets k, p and its smallest SSE (+infinity when no
  //    placement is admissible, k > m included; then nothing else is
  //    written when k > m).
  //  - Record 0 (the observed series) also gets: beta (q values), tau (the
  //    k grid values of the best placement), the fitted values and the
  //    residuals cut into one vector per group (lengths of groups[g]), xtwx
  //    = G_c and secondXtwx = the matching block of
  //    settings.secondCrossProduct (when that matrix is not empty), the
  //    profile matrix (m x k: the smallest SSE with kinkmark j at location
  //    r over all placements, 1e50 where none put it there), alpha =
  //    settings.alpha, the confidence limits of test_TauStep, and in the
  //    jump model jumpVector (9 entries, entry 1 the jump coefficient b(q),
  //    the others 0.0).
  //  - When no placement is admissible (k >= 1), record 0 keeps SSE
  //    +infinity, tau holds the first k grid values and the fit members
  //    (beta, fitted values, residuals, xtwx, profile, limits) stay empty.
  //
  // Arguments:
  //  groups    vectors whose lengths cut the observed series into groups;
  //            in the jump model also the independent values, on the scale
  //            of the grid and of settings.jumpLocation;
  //  series    S response vectors of length n, entry 0 the observed one;
  //  grid      candidates (the m location values) and candidateIndices
  //            (their successor table);
  //  settings  alpha, jump, jumpLocation and secondCrossProduct are read;
  //  p         number of base columns of allX;
  //  xtwx      (p + m [+ 1]) square X'WX over all columns of allX;
  //  allX      n x (p + m [+ 1]) design: base columns, hinge column of grid
  //            location i at p + i, jump column at p + m + 1;
  //  xtwy      X'W y_s of every column with every series (S columns);
  //  yWy       y_s'W y_s per series (entry 0 is not read);
  //  W         n x n weighting matrix;
  //  progress  asked IsCancelled after every placement and before each
  //            location written; a true answer ends the search early and
  //            record 0 keeps the best placement seen. Its position goes
  //            from its minimum to its maximum in proportion to the
  //            placements searched. May be null (never cancelled).
  //
  // Throws: a matrix-library error (a column, row or series outside the
  // products, groups longer than the series) becomes a KmException with the
  // library's text and source "ForAllKinkMKAction::findTheBestTau()"; a
  // passing KmException gets "findTheBestTau()" of
  // "ClassesKinkMarkCalculations.cpp" added to its call path; any other
  // exception passes unchanged.
  static void findTheBestTau(
      const OneDimensionArray<NEWMAT::ColumnVector>& groups,
      const OneDimensionArray<NEWMAT::ColumnVector>& series,
      const KMRegFittingData& grid, KMRegModelSettings settings, int32_t k,
      int32_t p, const NEWMAT::Matrix& xtwx, const NEWMAT::Matrix& allX,
      const NEWMAT::Matrix& xtwy, const OneDimensionArray<double>& yWy,
      OneDimensionArray<KinkMKFitResult>& results, const NEWMAT::Matrix& W,
      KmProgressInterface* progress);

  // Fills r.tauLimits (2 x k) with F-based confidence limits of the
  // kinkmark locations from the profile matrix r.profile (m x k):
  //   df = n - (p + 2k);  s2 = SSE / df when df >= 1, else 0;
  //   T  = SSE + k s2 F(1 - alpha; k, df)      (F -1e30 when undefined)
  // with SSE = r.sse, p = r.p, k = r.k, alpha = r.alpha. For kinkmark j,
  // lo and hi are the first and the last grid row whose profile value is at
  // most T (1 and m when there is none), each widened by one row when the
  // neighbouring row was visited (its value is not 1e50). Row 1 of column j
  // is gridValues(hi) (the upper limit), row 2 gridValues(lo).
  // Throws: the matrix library's index error when the profile has fewer
  // than k columns or gridValues fewer rows than the profile. A KmException
  // passing it collects a "Standard exception: <text>" report, which the
  // driver writes to standard output.
  static void test_TauStep(KinkMKFitResult& r, int32_t n,
                           const NEWMAT::ColumnVector& gridValues);
  // ---- end of best kinkmark locations ----

  // ---- Information criteria, MADWD check and coefficient tests
  // (ForAllKinkMKActionCriteria.cpp) ----
  //
  // Smaller criterion values are better. Each criterion answers -infinity
  // unless r.sse > 0 (so also for a NaN SSE); n is the number of
  // observations, logarithms are natural.

  // BIC with an explicit penalty count: ln(SSE/n) + (k + q) ln(n)/n, with
  // k = r.k and q = r.q (set by the caller).
  static double calc_BICCriterion(const KinkMKFitResult& r, int32_t n);

  // Weighted BIC: ln(SSE/n) + ((c + 2) k + 2) ln(n)/n, k = r.k. The caller
  // passes c = the smallest (WBIC-Alt) or the largest (WBIC) per-kinkmark
  // squared partial correlation, 0 for a model without kinkmarks.
  static double calc_WeightedBICCriterion(const KinkMKFitResult& r, int32_t n,
                                          double c);

  // MBIC, with L = ln|det M| (M = r.xtwx, through its LU decomposition; 0
  // for a singular or an empty M) and G = lnGamma((n - k - 3) / 2), n - k - 3
  // formed in integers:
  //   ln(SSE/n) + 2k ln(n)/n + L/n - 2 G/n - (k + 3) ln(SSE)/n.
  // L is formed before the SSE test. For n <= k + 3 the log-gamma argument
  // is not positive and the result is not meaningful.
  // Throws: the matrix library's error when r.xtwx is not square (also when
  // the SSE is not positive).
  static double calc_LogGammaCriterion(const KinkMKFitResult& r, int32_t n);

  // MADWD check: every kinkmark must separate segments whose annual percent
  // changes differ by at least psi. slopes has one column per model and
  // K + 2 rows: row 1 unread, row 2 the first segment's slope b1, row j + 2
  // the slope change at kinkmark j. For each column c and j = K down to 1:
  //   D_j = 100 |exp(b1 + S1) - exp(b1 + S0)|,
  //   S1 = sum of rows 3..j+2, S0 = sum of rows 3..j+1 (0 for j = 1);
  // the column passes when every D_j >= psi (a NaN D_j fails). passFlags(c)
  // = 1.0 when column c passes, else 0.0. When details is given, one row
  // (K, j + 1, j, D_j, 1.0 if D_j >= psi else 0.0, 0.0) is appended per j.
  // Returns true when every column passes. A table of 2 rows or fewer
  // returns true and touches neither passFlags nor details.
  // REQUIRES: passFlags has at least as many rows as slopes has columns.
  // Throws: a matrix-library error (passFlags too short) becomes a
  // KmException with the library's text and source
  // "ForAllKinkMKAction::ComputeMADWDValues()"; a passing KmException gets
  // "ComputeMADWDValues()" of "ClassesKinkMarkCalculations.cpp" added to
  // its call path.
  static bool ComputeMADWDValues(
      const NEWMAT::Matrix& slopes, NEWMAT::ColumnVector& passFlags, double psi,
      std::vector<std::vector<double>>* details = nullptr);

  // out = test (a 9-entry test-result vector: estimate, standard error,
  // statistic, p-value, lower, upper, flag, df, alpha). When mode is 1 the
  // test is restated for exp(b) against 1.0: out(1) = exp(b), out(2) =
  // exp(b) se (delta method), and entries 3 to 7 come from a Student t test
  // (make_TestResultVector) of out(1) with standard error out(2), df
  // test(8), level test(9) and null value 1.0. Entries 8 and 9 are kept.
  // Throws: the matrix library's index error when test has fewer than 9
  // entries and mode is 1.
  static void calc_CoefficientTests(const NEWMAT::ColumnVector& test,
                                    NEWMAT::ColumnVector& out, int32_t mode);
  // ---- end of information criteria, MADWD check and coefficient tests ----
};

#endif  // KM_MODELS_FORALLKINKMKACTION_H
