// The pairwise comparison of cohorts.
//
// A kmPairwiseComparison tests whether the trends of two cohorts are
// coincident (or parallel): it stacks the two cohorts into one series, fits
// the joint model through the fitting services of a kmCalculator (weights,
// cross products, the model framework's search, tables, F probabilities,
// the generator) and compares it with two separate fits by a permutation F
// test. TwoGroupComp runs every pair of the results file's comparison list,
// each pair on a pool worker with a calculator and a comparison of its own.
//
// The calculator is borrowed and must outlive the comparison. The
// comparison owns every cohort's data of the pass and the pair in hand; the
// fit in hand (the stacked pair, or one cohort alone) is held by the
// calculator alone: the comparison loads it through the calculator's
// fit-input services and reads it back through the calculator's getters,
// so no search can run on data other than those loaded.
//
// Threads: one comparison and its calculator are used by one thread at a
// time.
//
// Errors: call-path lines carry the class text "kmCalculator", as the error
// files always have; matrix-library errors become a KmException whose source
// names "kmCalculator::<Method>()".
#ifndef KM_ENGINE_KMPAIRWISECOMPARISON_H
#define KM_ENGINE_KMPAIRWISECOMPARISON_H

#include <newmat.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "session/kmComparisonType.h"

class kmCalculator;
class kmCalcData;
class kmFTest;
class kmTable;
class KmProgressInterface;

class kmPairwiseComparison {
 public:
  // One object per by-group, borrowed for the call (null for none).
  template <typename T>
  using GroupArray = std::vector<const T*>;

  explicit kmPairwiseComparison(kmCalculator& calc);

  kmPairwiseComparison(const kmPairwiseComparison&) = delete;
  kmPairwiseComparison& operator=(const kmPairwiseComparison&) = delete;

  // -- The pass (kmPairwiseComparisonPass.cpp) --

  // Stores the group count and the second count, drops the previous
  // per-group data and keeps copies of element i of each given array (a
  // null element stays null).
  // The caller keeps its arrays.
  // Throws KmException for a negative count or an array that does not
  // have iNumGroupsIn elements.
  void SetTwoGroupMatrices(int iNumGroupsIn, int iGroupValueIn,
                           const GroupArray<NEWMAT::Matrix>& vX,
                           const GroupArray<NEWMAT::Matrix>& vY,
                           const GroupArray<NEWMAT::ColumnVector>& vWeights,
                           const GroupArray<NEWMAT::Matrix>& vAux);
  // Drops every cohort's data of the pass.
  void ReleaseGroupArrays();

  // Writes one comparison record for every pair of the results handler's
  // comparison list, in order, through WriteComparisonCalcData: a pair with
  // a cohort that is not good, or whose cohorts have different observation
  // counts or independent values, or that the weighting cannot stack (a
  // user-supplied variance-covariance matrix), is recorded as a bad
  // comparison; a good pair is fitted by CompMod with K0 = the larger of the
  // two cohorts' final numbers of kinkmarks (vFinalModels(i + 1) for cohort
  // i); once the tracker is cancelled, each remaining good pair gets an
  // invalid placeholder record. The tracker's position ends at
  // (G + 1 + c) x 1000 after comparison c (G the number of combinations).
  // The good pairs are fitted on a pool of the session's number of cores,
  // each by a calculator of its own; the records are written in list order
  // by the calling thread and do not depend on the number of workers.
  // REQUIRES: SetTwoGroupMatrices has installed every cohort's data.
  // Throws: "Not enough byGroups to compare." (source "TwoGroupComp()") for
  // fewer than 2 by-groups.
  void TwoGroupComp(KmProgressInterface* pTracker,
                    const NEWMAT::ColumnVector& vFinalModels,
                    KmVector<bool> vGoodFlags);

  // -- One pair (kmPairwiseComparison.cpp) --

  // Fits and tests the installed pair into pRecord, starting the generator
  // from kmOptPermutationSeed: one model table per
  // k = kmin..kmax of the joint model, the number of kinkmarks chosen by
  // kmOptModelSelection (permutation tests for 0, each appended to
  // vFTests), then the comparison test of the joint model with
  // K = max(K0, chosen) kinkmarks against two separate fits, appended last.
  void CompMod(kmCalcData* pRecord, KmProgressInterface* pSub, int iK0);

  // The comparison test of CompMod from the residual sums of the joint
  // model (vSSE0) and of the two cohorts alone (vSSE1, vSSE2) over R =
  // kmOptPairwisePermutations + 1 data sets, for the joint model of type
  // (coincident or parallel), K kinkmarks and N stacked observations: F (0
  // below 1e-8 or without degrees of freedom), its parametric p-value (1.0 when
  // F is 0), df1, df2, R and, for R > 1, the permutation p-value (share of
  // data sets whose F reaches the observed one).
  void CompFTest(kmPairwiseType type, int K, int16_t N,
                 const NEWMAT::ColumnVector& vSSE0,
                 const NEWMAT::ColumnVector& vSSE1,
                 const NEWMAT::ColumnVector& vSSE2, kmFTest& test);

  // -- Grid, permutations, fits and tests of the joint model
  //   (kmPairwiseComparisonGrid.cpp, kmPairwiseComparisonFits.cpp) --

  // Makes the given data the fit in hand (n = mDesign.Nrows() rows,
  // independent values in column iXColumn, responses, weight inputs and
  // standard errors) and loads them into the calculator; the searches
  // then wait for the grid and cross products of the new design.
  void LoadFit(const NEWMAT::Matrix& mDesign, int16_t iXColumn,
               const NEWMAT::Matrix& mResponses,
               const NEWMAT::ColumnVector& vWeightInput,
               const NEWMAT::Matrix& mStdErrors);

  // Pair-swap shuffle: for i = 1..n/2 (n the calculator's number of
  // observations) one draw
  // GetRandomIndex(1, 2); a 2 exchanges v(i) and v(i + n/2). An odd n leaves
  // v(n) in place.
  void Shuffle2(NEWMAT::ColumnVector& v);

  // Candidate kinkmarks of the fit in hand from the first
  // iObsPerCohort = m rows of the pair in hand of column c of its design (a =
  // iMinObsEnd, b = iMinObsBetween, g = iGridPointsBetween): for the intervals
  // x(i)..x(i+1), i = a..m-a, the points x(i) + j (x(i+1) - x(i)) / (g + 1),
  // j = 1..g for i = a and j = 0..g after; every point of an interval gets
  // the same index, (g + 1) b + 1 for i = a, then g + 1 more per interval.
  // The calculator's candidate grid becomes the G points and indices, and
  // its search design n x (c + G): columns 1..c of the design, then per
  // candidate the hinge max(0, x_r - value) over all n rows. Returns G (0
  // when m < 2a).
  uint16_t FindGridPointsComp(uint16_t iMinObsEnd, int iMinObsBetween,
                              uint16_t iGridPointsBetween);

  // Replaces the responses of the fit in hand by n x iNumDataSets: column 1
  // unchanged, then data sets i = 1..D-1, each (row k+1 of mFits)' +
  // mRootInverse v_i, v_i the residuals of row k+1 of mResiduals after i
  // successive shuffles (Shuffle in the full shuffle mode, else Shuffle2).
  void PermuteComp(int16_t k, const NEWMAT::Matrix& mRootInverse,
                   const NEWMAT::Matrix& mFits,
                   const NEWMAT::Matrix& mResiduals, int iNumDataSets);

  // Best placement of k kinkmarks on the G candidates for the first D
  // response columns of the fit in hand at once, through the calculator's
  // search of the model framework, weighting by A'A (A the weight root set
  // in the calculator). vSumSq(d) (sized by the caller to D) = the smallest
  // weighted residual sum of squares of data set d (+infinity when no
  // placement is admissible). For D = 1 also vKinkmarks (k), vCoefs (B
  // above), mGridResult (G x k profile of the observed data) and the
  // calculator's cross products of the model in hand; these keep their initial
  // zeros (1e50 for the profile) when no placement is admissible or pProgress
  // reports a cancel. REQUIRES: the candidate grid and the calculator's cross
  // products of its design are prepared (kmCalculator::SearchInputReady).
  void GridSearchComp(int iNumDataSets, uint16_t k,
                      NEWMAT::ColumnVector& vKinkmarks,
                      NEWMAT::ColumnVector& vCoefs,
                      NEWMAT::ColumnVector& vSumSq, int16_t iNumGridPoints,
                      NEWMAT::Matrix& mGridResult,
                      KmProgressInterface* pProgress);

  // Fitted values (row k+1 of mFits), transformed residuals (row k+1 of
  // mResiduals: e(r) mRoot(r, r) in kmOptAutocorrErrors mode 0, else
  // (mRoot e)(r)) and the fit data of model (rows (x + iShift, observed,
  // fitted, standard error), a kinkmark row (location + iShift, -9999.0, value,
  // standard error) where a kinkmark lies strictly between two
  // observations; exp of the observed and fitted values when log-linear)
  // of the comparison fit vCoefs / vKinkmarks, cohort by cohort (rows
  // 1..n/2, then n/2+1..n). Each row takes the segment after every kinkmark
  // it has reached, also several between two rows (kmPieceWalk).
  void ResidsComp(uint16_t k, int iShift, const NEWMAT::Matrix& mRoot,
                  const NEWMAT::ColumnVector& vCoefs,
                  const NEWMAT::ColumnVector& vKinkmarks, NEWMAT::Matrix& mFits,
                  NEWMAT::Matrix& mResiduals, kmTable& model);

  // F test of k0 against k1 > k0 kinkmarks of the comparison model:
  // p0 = c + 2 k0, p1 = c + 2 k1, df1 = p1 - p0, df2 = n - p1, F of the
  // observed sums (0 and parametric p 1.0 unless df1, df2 and vSumSq1(1)
  // are positive), the second statistic 2F/3 on (3, df2) when df1 = 2, the
  // number of data sets, and for D > 1 the permutation p-value (share of
  // data sets whose F reaches the observed one) with dAlpha. Returns the
  // permutation p-value, or dAlpha when D <= 1.
  double FTestComp(uint16_t k0, uint16_t k1, double dAlpha, int iNumDataSets,
                   const NEWMAT::ColumnVector& vSumSq0,
                   const NEWMAT::ColumnVector& vSumSq1, kmFTest& test);

  // Covariance (c + 3k square, in the order of B) of the comparison fit's
  // coefficients and slope changes with the kinkmarks held fixed, from the
  // weighted refit of the observed stacked response on the segmented
  // design (rows within the bandwidth h = 0.117 * 0.5 * n (ln ln n)^0.6 /
  // sqrt(n) of a kinkmark count by |x - kinkmark| / h), as KinkMkSEs does
  // for one cohort, the residual sum from the residuals (WLSNew), so that a
  // shift of the data's level changes nothing. Sets model's reduced-rank
  // flag and returns the residual degrees of freedom (sum of the factors
  // less the rank); a df <= 0 gives a zero covariance.
  // REQUIRES: the fit in hand is loaded (its design's column c holds x) and
  // the calculator's weight root is that of its weights.
  double KinkMkSEsComp(int16_t k, const NEWMAT::ColumnVector& vKinkmarks,
                       NEWMAT::Matrix& mCovariance, kmTable& model);

  // As kmCalculator::AddBadCohort for a comparison that cannot be computed:
  // observation count n = the pair's iObsPerCohort and 2n rows, first those of
  // the first cohort, then those of the second (their dependent values and
  // standard errors), each with the independent values of column 2 of the
  // pair's design.
  // Throws: KmException when no pair is installed.
  void AddBadComparison(kmCalcData* pCalcData);

  // The pair in hand, iObsPerCohort rows per cohort (both cohorts share the
  // first one's independent values).
  struct PairData {
    int16_t iObsPerCohort = 0;
    // (1, x) of the first cohort.
    NEWMAT::Matrix mDesign;
    NEWMAT::Matrix mFirstResponse;
    NEWMAT::ColumnVector vFirstWeights;
    NEWMAT::Matrix mFirstStdErrors;
    NEWMAT::Matrix mSecondResponse;
    NEWMAT::ColumnVector vSecondWeights;
    NEWMAT::Matrix mSecondStdErrors;
    // Whether each cohort's values are shown divided back by the
    // comparability ratio (its copy is a ratio analysis), first and second.
    bool bRatioShown[2] = {false, false};

    // Whether a pair is installed: at least one row per cohort, and as
    // many in every matrix.
    bool IsInstalled() const;
  };

  // The unit tests reach the members through this peer
  // (tests/engine/kmPairwiseComparisonTestPeer.h).
  friend class kmPairwiseComparisonTestPeer;

 private:
  // The working state of one CompMod call and its phases
  // (kmPairwiseComparison.cpp): the candidate grid, weighting and cross
  // products of the fit in hand; the joint model's stacked fit; one model
  // per number of kinkmarks; the permutation selection; one cohort's
  // separate fit; the comparison test.
  struct CompWork;
  int16_t PrepareSearch(const CompWork& w, NEWMAT::Matrix& mA,
                        NEWMAT::Matrix& mB);
  void PrepareStacked(CompWork& w);
  int FitJointModels(CompWork& w, kmCalcData& record, int& kBest);
  int SelectByPermutation(CompWork& w, kmCalcData& record,
                          KmProgressInterface* pSub);
  void FitOneCohort(CompWork& w, const NEWMAT::Matrix& mStackedY, int r0,
                    const NEWMAT::ColumnVector& v, const NEWMAT::Matrix& s,
                    int K, NEWMAT::ColumnVector& vSSE,
                    KmProgressInterface* pSub);
  void CompareJointModel(CompWork& w, kmCalcData& record, int K0,
                         KmProgressInterface* pSub);

  // The pass (kmPairwiseComparisonPass.cpp): the design of cohort i when
  // all four of its matrices are there, else null; the pair (a, b) of
  // source's cohort data, m rows each, made the pair in hand.
  const NEWMAT::Matrix* CompleteGroupDesign(int i) const;
  void InstallPair(const kmPairwiseComparison& source, int a, int b, int m);

  // The calculator whose fitting services the comparison uses; it holds
  // the fit in hand.
  kmCalculator& calc_;

  // Every cohort's data of the pass, iNumGroups_ long: design, response,
  // weight inputs and standard errors (SetTwoGroupMatrices).
  std::vector<std::unique_ptr<NEWMAT::Matrix>> vGroupDesigns_;
  std::vector<std::unique_ptr<NEWMAT::Matrix>> vGroupResponses_;
  std::vector<std::unique_ptr<NEWMAT::ColumnVector>> vGroupWeights_;
  std::vector<std::unique_ptr<NEWMAT::Matrix>> vGroupStdErrors_;
  int32_t iNumGroups_ = 0;
  int32_t iGroupValue_ = 0;

  PairData pair_;

  // How PermuteComp shuffles residuals: the full shuffle of the selection
  // tests, or the pair swap of the comparison test.
  enum class ShuffleMode { kFull, kPairSwap };
  ShuffleMode shuffleMode_ = ShuffleMode::kFull;
};

#endif  // KM_ENGINE_KMPAIRWISECOMPARISON_H
