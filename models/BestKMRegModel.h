// BestKMRegModel: the best-model fit and model selection of the framework.
#ifndef KM_MODELS_BESTKMREGMODEL_H
#define KM_MODELS_BESTKMREGMODEL_H

#include <cstddef>

#include "foundation/OneDimensionArray.h"
#include "models/KMRegFitRecord.h"

// Local kinkmark statistics.
#include <newmat.h>

// Best-model fit, final selection, permutation tests.
#include <cstdint>
#include <string>

#include "models/KMBestModelFit.h"
#include "models/KMClusterFit.h"
#include "models/KMModelScoreRec.h"
#include "models/KMRegFitMatrices.h"
#include "stats/MTRandomGenerator.h"

// BestKMRegModel fits one series set with every number of kinkmarks in a
// range and chooses the best number. It keeps no state of its own: every
// method is static and works only on the records it is given, so fits of
// different cohorts may run at the same time on several threads.
//
// Each group of methods below is defined in its own BestKMRegModel<Concern>
// source file. New groups are added as their own commented sections.
class BestKMRegModel {
 public:
  // ---- Fit records (BestKMRegModelRecords.cpp) ----

  // Calls KMRegFitRecord::resetFit on every record of the array, so each
  // keeps its results but no longer its fit's data and design.
  static void resetFitRecord(OneDimensionArray<KMRegFitRecord>& records);
  // ---- end of fit records ----

  // ---- Local kinkmark statistics (BestKMRegModelStatistic.cpp) ----
  //
  // The windows, local designs and local line of
  // BaseKMRegModel::calc_ModelStatistic (see BaseKMRegModel.h), here with
  // the responses as well.

  // The window lo < x <= hi that judges kinkmark i (1-based) of the
  // ascending locations tau, over x values from dMinX to dMaxX (those of
  // every series): lo = dMinX - 1 for i = 1, else tau(i - 1); hi = dMaxX
  // for the last kinkmark, else tau(i + 1).
  static void find_KinkmarkWindow(const NEWMAT::ColumnVector& tau, int i,
                                  double dMinX, double dMaxX, double& lo,
                                  double& hi);

  // As BaseKMRegModel::build_StatisticDesign, and also fills R with the
  // responses of the window's observations, premultiplied by W_i. The three
  // outputs are emptied first. The rows of X are (1, x - origin): every
  // origin spans the same local line, and one inside the window (its
  // kinkmark) keeps X'X well conditioned however far x lies from 0.
  // REQUIRES: responses has the shape of values.
  static void build_StatisticDesign(
      NEWMAT::Matrix& X, NEWMAT::ColumnVector& R, NEWMAT::ColumnVector& H,
      const OneDimensionArray<NEWMAT::ColumnVector>& values,
      const OneDimensionArray<NEWMAT::ColumnVector>& responses,
      const NEWMAT::Matrix& W, double tau, double lo, double hi,
      double origin = 0.0);

  // Writes one squared partial correlation per kinkmark into result:
  //   result(i) = (R'MH)^2 / ((H'MH)(R'MR))   when (H'MH)(R'MR) > 1e-100,
  // else 0.0 (also for an empty window): the correlation of the response
  // and the hinge term after both are adjusted for the local line, in the
  // weighted metric; it lies in [0, 1]. Nothing is done when tau is empty.
  // REQUIRES: result has at least k = tau.Nrows() rows (the caller sizes
  // it).
  // Throws: the matrix library's index error when result is too short or W
  // is smaller than the total number of observations.
  static void calc_ModelStatistic(
      NEWMAT::ColumnVector& result,
      const OneDimensionArray<NEWMAT::ColumnVector>& values,
      const OneDimensionArray<NEWMAT::ColumnVector>& responses,
      const NEWMAT::Matrix& W, const NEWMAT::ColumnVector& tau);
  // ---- end of local kinkmark statistics ----

  // ---- Information criteria (BestKMRegModelCriteria.cpp) ----
  //
  // Each criterion scores a model with k kinkmarks fitted to n observations
  // with residual sum of squares RSS; smaller is better. All logarithms are
  // natural and the integers are converted to double before any division.
  // When RSS is not greater than 0 (a perfect fit, or NaN) the value is
  // -infinity and no logarithm of RSS is taken, so a perfect fit wins every
  // comparison.

  // ln(RSS / n) + p ln(n) / n: the BIC with p regression parameters.
  static double calc_BICCriterion(int32_t p, int32_t n, double RSS);
  // ln(RSS / (n - q)) + 0.299 q (ln n)^2.1 / n with q = 2k + 1: the
  // Liu-Wu-Zidek criterion (c0 = 0.299, delta0 = 0.1).
  static double calc_LWZCriterion(int32_t k, int32_t n, double RSS);
  // ln(RSS / n) + (a + b) ln(n) / n: the BIC3, called with a = p and b = k
  // (one more parameter per kinkmark than the BIC).
  static double calc_BIC3Criterion(int32_t a, int32_t b, int32_t n, double RSS);
  // ln(RSS / n) + ((c + 2) k + 2) ln(n) / n: the weighted BIC, c a
  // data-dependent weight of the kinkmarks (0 <= c <= 1 for a squared
  // correlation).
  static double calc_WeightedBICCriterion(int32_t k, int32_t n, double RSS,
                                          double c);
  // ln(RSS / n) + (2k + c + 2) ln(n) / n: the additive weighted BIC.
  static double calc_AdditiveWeightedBICCriterion(int32_t k, int32_t n,
                                                  double RSS, double c);
  // The log-gamma criterion (MBIC):
  //   ln(RSS / n) + 2k ln(n) / n + L / n - 2 lnGamma((n - k - 3) / 2) / n
  //     - (k + 3) ln(RSS) / n,
  // L = ln|det M| from the LU decomposition of the fit matrix M (X'WX of
  // the fitted design; the sign of the determinant is not used; a singular
  // M gives L = 0, and so does an empty M). L is taken before the RSS test.
  // A model never fitted (RSS = +infinity) scores +infinity.
  // Throws the matrix library's exception when M is not square.
  static double calc_LogGammaCriterion(const NEWMAT::Matrix& M, int32_t k,
                                       int32_t n, double RSS);
  // ---- end of information criteria ----

  // ---- Final-model selection (BestKMRegModelSelection.cpp) ----

  // The data-dependent choice between two candidate models of one cohort:
  // the first (A kinkmarks, chosen by BIC) and the second (B, chosen by
  // BIC3). Each candidate has its coefficients beta (k + 2 entries:
  // intercept, first slope, the slope changes) and its locations tau (k).
  // s1 and s2 are BaseKMRegModel::calc_ModelStatistic of the two
  // candidates over values and W, with the mean squared error dMSE; with
  // hi the larger and lo the smaller of them (s1 both when they are
  // unordered, e.g. NaN): selected = A and bFirstKept = true when
  // hi <= 10.0 or hi - lo > 200.0, else selected = B and bFirstKept =
  // false. dLowerThreshold = 10.0 and dDifferenceThreshold = 200.0.
  // Throws what the statistic throws (a KmException first collects a
  // "Standard exception: <text>" report, which the driver writes to standard
  // output).
  static void select_FinalModel(
      int32_t& selected, const OneDimensionArray<NEWMAT::ColumnVector>& values,
      const NEWMAT::Matrix& W, const NEWMAT::ColumnVector& betaFirst,
      const NEWMAT::ColumnVector& betaSecond,
      const NEWMAT::ColumnVector& tauFirst,
      const NEWMAT::ColumnVector& tauSecond, int32_t A, int32_t B, double dMSE,
      bool& bFirstKept, double& s1, double& s2, double& dLowerThreshold,
      double& dDifferenceThreshold);
  // ---- end of final-model selection ----

  // ---- Best-model fit (BestKMRegModelFit.cpp) ----

  // Fits input.seriesSet with every number of kinkmarks k = kMin..kMax
  // (BaseKMRegModel::calcForResampling on x measured from the smallest x)
  // and chooses the number by the criterion code:
  //   0 the permutation tests (run_PermutationTests); every criterion value
  //     +infinity;
  //   1 calc_LogGammaCriterion; 2 calc_BICCriterion (p = the record's
  //   parameter count); 3 calc_LWZCriterion; 4 calc_BIC3Criterion (p, k);
  //   5 as 2 with the "kDeltaStar" rule in force;
  //   6, 7 calc_WeightedBICCriterion with c the smallest (6) or largest (7)
  //   entry of the model statistic vector of the fitted locations;
  //   8, 9 calc_AdditiveWeightedBICCriterion with c the sum (8) or the sum
  //   of the running minima (9) of that vector (c = 0 without kinkmarks).
  // The model statistic is calc_ModelStatistic over the series' x values
  // and responses with input.transform as the weighting matrix.
  // Ties keep the smaller k. A k whose fit is perfect (RSS exactly 0) is
  // selected whatever the code (the last of them when several are), and
  // then no permutation test runs. A selection text of exactly "kDeltaStar"
  // puts the code to 5; under that rule kDeltaStarK is the first k with the
  // smallest BIC3.
  // The jump is switched off unless min x < J < max x. The input is only
  // read: its generator is copied, and result.generator holds the copy as
  // the tests left it. result gets all nine members (see KMClusterFit), and
  // every record's fit data and design are dropped.
  // Codes 6 to 9 with a fitted model that has kinkmarks but no locations
  // fail with end_ProcessForMissingLocations' KmException.
  // Throws what the fits throw; a KmException other than the missing
  // locations' first collects a standard-exception report (written by the
  // driver).
  // REQUIRES: kMin <= kMax; for code 0, input.N >= 1.
  static void fit_BestKMRegModel(KMClusterFit& result,
                                 const KMBestModelFit& input);

  // Throws KmException "ERROR 1 in BestKMRegModel::fit_BestKMRegModel"
  // (source "BestKMRegModel", failure KmFailure::kFitWithoutLocations),
  // which fit_BestKMRegModel passes on without
  // reporting it; a run stops on it and its caller ends with status 1 once
  // every worker has stopped.
  [[noreturn]] static void end_ProcessForMissingLocations();
  // ---- end of best-model fit ----

  // ---- Permutation tests (BestKMRegModelPermutation.cpp) ----
  //
  // A test of k0 against k1 > k0 kinkmarks rebuilds N - 1 responses from
  // the k0 model's fitted values f and shuffled transformed residuals
  // (permute_Residuals), finds for each the smallest RSS with k0 and with k1
  // kinkmarks over the same candidate locations (findTheBestTau, all
  // responses in one search per model), and ranks the observed ratio
  // R_1 = RSS_k0 / RSS_k1 among the N ratios:
  //   pPerm = #{j : R_j >= R_1} / N            (R_j = 0 when RSS_k1 <= 0),
  //   F = (R_1 - 1) df2 / df1, df1 = 2 (k1 - k0),
  //   df2 = n - p - 2 k1 (one less with the jump),
  // n the stacked observations and p the base columns of the fitting data.
  // The smaller model is retained when pPerm > alpha (strict).

  // The sequence of tests between kMin and kMax: with lo = kMin and
  // hi = kMax, while lo < hi test (lo, hi) at the level
  // alpha / (kMax - lo); hi = hi - 1 when the smaller model is retained,
  // else lo = lo + 1. Returns lo, the selected number. scores is resized to
  // kMax - kMin and gets one record per test, in order.
  // fitted, residuals and rss are indexed by k - kMin (the stacked fitted
  // values and residuals of each fitted model, and its RSS).
  // tauAlpha and splineCode are handed to the location search.
  static int32_t run_PermutationTests(
      MTRandomGenerator& generator, OneDimensionArray<KMModelScoreRec>& scores,
      const KMRegFitMatrices& fittingData,
      const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
      const OneDimensionArray<NEWMAT::ColumnVector>& fitted,
      const OneDimensionArray<NEWMAT::ColumnVector>& residuals,
      const NEWMAT::ColumnVector& rss, int32_t kMax, int32_t kMin, double alpha,
      int32_t N, int32_t jump, double tauAlpha, int32_t splineCode);

  // One test of k0 against k1 kinkmarks into score, with the k0 model's
  // stacked fitted values and residuals and the observed RSS of both models
  // (observedRSS(1) for k0). A model whose search scores no placement (more
  // kinkmarks than candidates, none admissible) has RSS +infinity for every
  // rebuilt response, so its ratios are 0. When the k0 model itself was not
  // fitted (no fitted values, observedRSS(1) = +infinity) no response is
  // rebuilt and no draw is made: pPerm = 1 and the smaller model is retained.
  // REQUIRES: k0 < k1; N >= 1.
  static void run_PermutationTest(
      MTRandomGenerator& generator, KMModelScoreRec& score, int32_t k0,
      int32_t k1, const KMRegFitMatrices& fittingData,
      const OneDimensionArray<NEWMAT::ColumnVector>& xValues,
      const NEWMAT::ColumnVector& fitted, const NEWMAT::ColumnVector& residuals,
      const NEWMAT::ColumnVector& observedRSS, double alpha, int32_t N,
      int32_t jump, double tauAlpha, int32_t splineCode);

  // Fills P (rows of f x m) with m rebuilt responses: r = T e; for
  // j = 1..m, r is shuffled in place (shuffle_ColumnVector, or
  // shuffle_AcrossBlocks when blocks holds more than one block) and column
  // j = f + B r. The shuffles accumulate: column j starts from the order
  // column j - 1 left.
  // Throws the matrix library's exception when T, B, e and f do not
  // conform.
  static void permute_Residuals(
      MTRandomGenerator& generator, NEWMAT::Matrix& P,
      const NEWMAT::ColumnVector& f, const NEWMAT::ColumnVector& e,
      const NEWMAT::Matrix& T, const NEWMAT::Matrix& B, int32_t m,
      const OneDimensionArray<OneDimensionArray<int>>& blocks);
  // ---- end of permutation tests ----
};

#endif  // KM_MODELS_BESTKMREGMODEL_H
