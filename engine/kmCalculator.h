// The fitting engine of one cohort.
//
// One kmCalculator is created per fitting task. It holds the cohort's
// observations, the candidate grid, the precomputed cross products, the
// weighting state, the distribution object and the random generator, and
// offers the fitting services (weighted least squares, grid searches,
// Hudson's method, F tests, permutations, tables, intervals, the
// comparability ratio) that its per-cohort drivers SelMod and SelModESR
// run, and that the pairwise comparison (kmPairwiseComparison) and the
// clustering (kmCohortClustering) use.
//
// Its declarations are split by concern: the solves of the normal equations
// (kmNormalEquations.h) and the probability distributions of its tests
// (kmCalculatorDistributions.h) are public bases, whose services it offers
// as its own; its work data are a private base (kmCalculatorState.h).
//
// Ownership: the calculator owns its work data (values and unique_ptr
// members); it borrows the results handler given by the calculation control
// and the cohort's variance-covariance matrix. The calculation control
// creates the observations through CreateObservations and SetObservation
// and frees them through ReleaseObservations once the cohort is done.
//
// Threads: a calculator is used by one thread at a time. Calculators on
// different threads share only the session, which they read.
//
// Errors: every method adds its name and "kmCalculator" to the call path of
// a KmException passing through (WithCallPath), and turns a matrix-library
// error into a KmException with the library's text; each part file names
// the exceptions to that rule. A missing, short or non-conforming input
// raises a KmException that says which. The comments below name only the
// messages a method raises itself. Each part file opens with the methods
// it holds.
#ifndef KM_ENGINE_KMCALCULATOR_H
#define KM_ENGINE_KMCALCULATOR_H

#include <newmat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/kmCalculatorDistributions.h"
#include "engine/kmCalculatorState.h"
#include "engine/kmNormalEquations.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "session/kmModelSelection.h"

class kmCalcHandler;
class kmCalculationHandler;
class kmSession;
class KMSeriesSet;
class KMRegModelSettings;
class KinkMKFitResult;
class kmQMatrix;
namespace km_grid {
class CandidateFit;
}
class kmUpperTriangularMatrix;
class kmFTest;
class kmTable;
class kmCalcData;
template <typename T>
class OneDimensionArray;
class kmBackgroundProgressTrackerWithBar;
class KmProgressInterface;

class kmCalculator : public kmNormalEquations,
                     public kmCalculatorDistributions,
                     private kmCalculatorState {
 public:
  // The coefficient covariance of a comparison model with k kinkmarks at
  // vTau held fixed, into mCovariance; sets the table's reduced-rank flag
  // and returns the residual degrees of freedom.
  using ComparisonCovariance =
      std::function<double(int16_t k, const NEWMAT::ColumnVector& vTau,
                           NEWMAT::Matrix& mCovariance, kmTable& table)>;

  // -- Lifetime and setup (kmCalculatorLifetime.cpp) --

  // Calculator working through a results handler of its own, made by
  // Setup(pSession) from a copy of the session; the handler is deleted with
  // the calculator.
  // Throws: "Session does not exist - invalid pointer." for a null session.
  // Call path: "kmCalculator(kmSession*)".
  explicit kmCalculator(kmSession* pSession);

  // Calculator of one pool task, writing through pCalcHandler, which stays
  // with the calculation control (never deleted here). The calculation
  // handler is not kept.
  // Call path: "kmCalculator(kmCalculationHandler*, kmCalcHandler*)".
  kmCalculator(kmCalculationHandler* pCalculationHandler,
               kmCalcHandler* pCalcHandler);

  kmCalculator(const kmCalculator&) = delete;
  kmCalculator& operator=(const kmCalculator&) = delete;

  // Every owned object is deleted with its unique_ptr.
  ~kmCalculator();

  // Creates the distribution object and an unseeded generator; pVarCovMatrix
  // and pCalcHandler null, iNumObs 0 and iXColumn 2.
  void Init();

  // Creates a results handler for pSession (the handler keeps its own copy
  // of the session) and stores it in pCalcHandler; a handler made by an
  // earlier Setup is deleted.
  // Throws: "Session does not exist - invalid pointer." for a null session.
  void Setup(kmSession* pSession);

  // Prepares the members for cohort iCohort (an analysis index, see
  // GetNumObsForCohortIndex): reads g = kmOptGridPointsBetween and the
  // cohort's observation count n from pSession (null: the handler's
  // session), then creates pX0 and pXWX empty, pWeightMatrix n x n of zeros,
  // pGridValues and pGridAux of G = (g + 1)(n - 1) + 1 zeros (16-bit
  // arithmetic) and the six work objects empty. Objects of an earlier call
  // are deleted first.
  void LoadCalcMembers(kmSession* pSession, int iCohort);

  // Stores the number of observations n of the cohort being fitted.
  void SetNumObservations(int16_t iN);
  // The number of observations n of the cohort being fitted (iNumObs).
  int16_t GetNumObservations() const;

  // Replaces the cohort's observations by n rows of zeros: pDataX n x 2,
  // pDataY n x 1, pDataWeightInput n, pDataAux n x 1.
  void CreateObservations(int n);
  // Row r of the observations: (1.0, x), response y, weight input w and
  // standard error s.
  // REQUIRES: CreateObservations made at least r rows.
  void SetObservation(int r, double x, double y, double w, double s);
  // Frees the four observation matrices (null afterwards).
  void ReleaseObservations();
  // Cuts the four observation matrices to their first n rows.
  // REQUIRES: 1 <= n <= the rows CreateObservations made.
  void KeepFirstObservations(int n);

  // The observations as loaded, read-only: the design *pDataX (independent
  // values in column iXColumn), the responses *pDataY, the weight inputs
  // *pDataWeightInput and the standard errors *pDataAux. Each is null before
  // CreateObservations or LoadObservations and after ReleaseObservations.
  const NEWMAT::Matrix* GetDataX() const;
  const NEWMAT::Matrix* GetDataY() const;
  const NEWMAT::ColumnVector* GetDataWeightInput() const;
  const NEWMAT::Matrix* GetDataAux() const;

  // Stores n, replaces pClusterMatrix by a copy of mGroupData and copies
  // vRows (one group label per row of mGroupData) into vClusterRows.
  void SetClusterMatrix(int16_t iN, const NEWMAT::Matrix& mGroupData,
                        const std::vector<KmString>& vRows);
  // The group data of a clustering run (null before SetClusterMatrix) and
  // the group label of each of its rows.
  const NEWMAT::Matrix* GetClusterMatrix() const;
  const std::vector<KmString>& GetClusterRows() const;

  // The session whose options the calculator reads: the handler's session.
  // Throws: "Session does not exist - invalid pointer." for a null session.
  kmSession* GetCalcSession() const;

  // The results handler the calculator writes through (null only before
  // Setup or the job constructor).
  kmCalcHandler* GetCalcHandler() const;

  // -- Fit input of a caller with data of its own
  //   (kmCalculatorFitInput.cpp) --
  //
  // A caller that fits data it owns (the pairwise comparison) hands them
  // over through these services; the weighting, cross products, searches,
  // tables, criteria and permutation draws then work on them as on a
  // cohort's observations. Each takes copies, and the caller reads them
  // back through the getters above and GetXColumn. Loading observations or
  // a candidate grid drops the cross products of the search design, which
  // PreCalcXWX forms again for the data in hand.

  // Makes n = mDesign.Nrows() rows the observations of the fits to come:
  // the design *pDataX (independent values in column iXColumnIn), the
  // responses *pDataY (column 1 observed, further columns data sets), the
  // weight inputs *pDataWeightInput and the standard errors *pDataAux.
  // REQUIRES: mResponses, vWeightInput and mAux have n rows.
  void LoadObservations(const NEWMAT::Matrix& mDesign, int16_t iXColumnIn,
                        const NEWMAT::Matrix& mResponses,
                        const NEWMAT::ColumnVector& vWeightInput,
                        const NEWMAT::Matrix& mAux);

  // The column of the independent values in *pDataX (iXColumn).
  int16_t GetXColumn() const { return iXColumn; }

  // Replaces the responses *pDataY of the loaded observations (n x D).
  void LoadResponses(const NEWMAT::Matrix& mResponses);

  // Makes vValues and vIndices the candidate grid (*pGridValues, *pGridAux)
  // and mDesign the design *pX0 of the searches (n x (c + G)).
  void LoadCandidateGrid(const NEWMAT::ColumnVector& vValues,
                         const NEWMAT::ColumnVector& vIndices,
                         const NEWMAT::Matrix& mDesign);

  // True when a search of iNumDataSets data sets over iNumGridPoints
  // candidates with iBaseColumns base columns can run on the data in hand:
  // the candidate grid holds that many candidates, the search design *pX0
  // has n rows and the base and hinge columns, PreCalcXWX has formed its
  // cross products since the last load, and the observations have the
  // base columns and the data sets.
  bool SearchInputReady(int iNumGridPoints, int iBaseColumns,
                        int iNumDataSets) const;

  // Sets the weight root A (A'A = V) that WLSXPr, WLSNew, the searches
  // through the model framework and the weighted criteria use (mWorkA).
  void SetWeightRoot(const NEWMAT::Matrix& mA);

  // Stores X'WX of the fitted model in hand (mWork), which Table hands to
  // the MBIC.
  void SetModelCrossProducts(const NEWMAT::Matrix& mXWX);
  // X'WX of the fitted model in hand (mWork), as the last search or
  // SetModelCrossProducts left it.
  const NEWMAT::SymmetricMatrix& GetModelCrossProducts() const;

  // Starts the generator of the permutation draws from uSeed.
  void SeedGenerator(uint32_t uSeed);

  // -- Steps shared by the cohort drivers (kmCalculatorDriverSteps.cpp) --

  // Throws: "The cohort's observations must be loaded (LoadCalcMembers)
  // before <sDriver>." unless the four observation matrices and the
  // candidate grid exist.
  void RequireCohortLoaded(const char* sDriver) const;

  // Readies the weighting of a cohort fit: the independent values are read
  // from column 2 of *pDataX (iXColumn), and a record carrying a
  // user-supplied variance-covariance matrix lends it to WLSWgt
  // (pVarCovMatrix).
  void BeginCohortFit(kmCalcData& record);

  // Sets the weight root A (mWorkA) and, from the inverse root B, the
  // symmetric matrix B'B of the model series set (mWorkB).
  void SetWeightRoots(const NEWMAT::Matrix& mA, const NEWMAT::Matrix& mB);

  // Subtracts the integer origin t, the smallest of the first n independent
  // values truncated toward zero, from every independent value of *pDataX
  // and returns t.
  // REQUIRES: *pDataX holds at least n >= 1 rows.
  double ShiftToIntegerOrigin(int16_t n);

  // -- Cross products (kmCalculatorCrossProducts.cpp; the inversion is
  //   kmNormalEquations::Invert) --

  // Sets *pXWX = M' W* M (symmetric, (K + 2) x (K + 2)).
  void PreCalcXWX();

  // mXWX = X' W* X, weighted as PreCalcXWX, for the model with kinkmarks at
  // vLocations (shifted units, anywhere, not only on the grid): X holds
  // columns 1 and 2 of *pDataX and one hinge max(x - tau_j, 0) per
  // kinkmark. The matrix the MBIC of a model with those kinkmarks needs.
  void ModelCrossProducts(const NEWMAT::ColumnVector& vLocations,
                          NEWMAT::SymmetricMatrix& mXWX);

  // With Y the first iNumDataSets columns of *pDataY (rows 1..n) and the
  // per-observation multipliers v: mXWY = M' W* Y ((K + 2) x iNumDataSets)
  // and vYWY(j) = y_j' W* y_j for j = 1..iNumDataSets. In mode 0 W* is
  // diag(v(i) W(i,i) v(i)); under the variance-covariance matrix (mode 3)
  // it is W and v is not read.
  // REQUIRES: vYWY has at least iNumDataSets elements.
  void PreCalcXWY(int iNumDataSets, const NEWMAT::ColumnVector& vMultipliers,
                  NEWMAT::Matrix& mXWY, NEWMAT::ColumnVector& vYWY);

  // The products of PreCalcXWY for the searches, formed so that the
  // residual sums y'W*y - b'M'W*y keep their precision however far the
  // data lie from zero: each data set y_j enters as z_j = y_j less its
  // weighted least-squares line on design columns 1 and 2 (intercept and
  // independent value), whose coefficients go to column j of mLine (2 x
  // iNumDataSets). Every candidate model contains those two columns, so a
  // fit of z_j has the residuals of the fit of y_j, and its coefficients
  // differ only on columns 1 and 2, by column j of mLine. mXWZ = M' W* Z,
  // vZWZ(j) = z_j' W* z_j (the residual sum of the straight line).
  // REQUIRES: vZWZ has at least iNumDataSets elements.
  void PreCalcXWYAboutLine(int iNumDataSets,
                           const NEWMAT::ColumnVector& vMultipliers,
                           NEWMAT::Matrix& mXWZ, NEWMAT::ColumnVector& vZWZ,
                           NEWMAT::Matrix& mLine);

  // True when dResidSum, a weighted residual sum of squares of a fit of the
  // observed data (column 1 of *pDataY), is a perfect fit: at most the
  // rounding-level bound calc_PerfectFitBound (models/PerfectFit.h) of
  // those data under the cross products' weighting W*. This is the one
  // perfect-fit test of the drivers and criteria; without loaded data only
  // a sum of 0 or less is perfect.
  bool IsPerfectFit(double dResidSum) const;

  // -- Weighted least squares (kmCalculatorWeightedFits.cpp,
  //   kmCalculatorAutocorr.cpp) --

  // Builds, for the n = iNumObs observations, the weight matrix
  // *pWeightMatrix = V, its root A (A'A = V) and B = A^-1, by
  // kmOptAutocorrErrors:
  //   0      V = diag(v), A = diag(sqrt(v)), B = diag(1 / sqrt(v))
  //   3      V = the user-supplied matrix *pVarCovMatrix, A = the upper
  //          triangular root of V (A'A = V, from V's Cholesky factor),
  //          B = A^-1
  //   other  AR(1) with parameter dPhi: A upper bidiagonal, B its inverse,
  //          V = A'A (tridiagonal)
  // v is *pDataWeightInput. A and B are resized to n x n.
  // Call path: "WLSWgt()" of "kmCalc".
  void WLSWgt(double dPhi, NEWMAT::Matrix& mA, NEWMAT::Matrix& mB);

  // Weighted cross products of the n x p design mX and y = column 1 of
  // *pDataY: mXtTX = X'TX (p x p), mXtTy = X'Ty (p x 1), vytTy(1) = y'Ty.
  // Mode 0 uses T = diag(V(i,i) u(i)^2); other modes T = Du A'A Du with A =
  // mWorkA.
  // REQUIRES: vytTy has at least one element.
  // Matrix-library errors: source "kmCalculator::WLSWPr()".
  void WLSXPr(const NEWMAT::ColumnVector& vU, const NEWMAT::Matrix& mX,
              NEWMAT::Matrix& mXtTX, NEWMAT::Matrix& mXtTy,
              NEWMAT::ColumnVector& vytTy);

  // As WLS with k = 1, except that vSSE(1) = e'Te computed from the
  // residuals e = y - X beta of y = column 1 of *pDataY, with T = Du A'A Du
  // and A = mWorkA.
  // Throws: "Error: SSE < 0." when vSSE(1) < -1e-6.
  // Call path: "WLSNew"; matrix-library errors: source
  // "kmCalculator::WlSNew()".
  void WLSNew(const NEWMAT::Matrix& mXtY, const NEWMAT::Matrix& mXtX,
              NEWMAT::Matrix& mXtXinv, NEWMAT::ColumnVector& vBeta,
              NEWMAT::ColumnVector& vSSE, uint16_t& iRank,
              const NEWMAT::ColumnVector& vU, const NEWMAT::Matrix& mX);

  // The AR(1) parameter for WLSWgt: 0.0 in mode 0 (and any mode other than
  // 1 and 2), kmOptAutocorrParameter in mode 2. Mode 1 estimates phi from
  // the lag-one autocorrelation of the residuals r of an unweighted
  // iNumKinkmarks-kinkmark GridSearch fit (x shifted by its truncated
  // minimum): sum r(i) r(i+1) / sum r(i)^2 over i = 1..n-1, 0.0 when the
  // denominator is 0, clipped to [-0.99, 0.99]. Mode 1 rebuilds the grid, pX0,
  // pXWX, the weight matrix and mWork for the preliminary fit; the weight
  // vector and the data matrix are restored however the call ends. Call path:
  // "calculateAutoParamPhi"; matrix-library errors: source
  // "kmCalculator::CaculateAutoParamPhi()".
  double calculateAutoParamPhi(uint16_t iNumKinkmarks);

  // -- Candidate grid (kmCalculatorGrid.cpp) --

  // Builds the K candidate kinkmark locations of the shifted x in column 2 of
  // *pDataX, with e = iMinObsEnd observations kept at each end, b =
  // iMinObsBetween between kinkmarks and g = iGridPointsBetween points per
  // interval: *pGridValues and *pGridAux (entries 1..K) and the design *pX0 (n
  // x (K + 2)). Returns K.
  int16_t FindGridPoints(int16_t iMinObsEnd, int iMinObsBetween,
                         int iGridPointsBetween);

  // True when the first iNumGridPoints candidates hold at least one
  // placement of k kinkmarks: the grid search's first placement takes
  // candidate 1 and then, for each next kinkmark, the first candidate the
  // previous one allows (*pGridAux). Always true for k <= 0.
  bool GridCanPlace(int iNumGridPoints, int k) const;

  // The candidate kinkmark locations (*pGridValues).
  // REQUIRES: LoadCalcMembers or LoadCandidateGrid has run.
  const NEWMAT::ColumnVector& GetGridValues() const;

  // -- Fitted values and residuals (kmCalculatorResiduals.cpp) --

  // For the model with k kinkmarks: row k + 1 of mFitted gets the fitted
  // values, row k + 1 of mResid the weighted residuals, and the table its
  // fitted-value and residual arrays and its result rows (observations and
  // kinkmarks, unshifted by iOrigin, back-transformed for a log-linear model).
  void Resids(int16_t k, int iOrigin, const NEWMAT::Matrix& mA,
              const NEWMAT::ColumnVector& vCoef,
              const NEWMAT::ColumnVector& vTau, NEWMAT::Matrix& mFitted,
              NEWMAT::Matrix& mResid, kmTable& table);

  // As Resids for a model with a jump of dJump (response scale of the fits)
  // at dJumpLocationShifted (shifted scale; kmOptJumpLocation unshifted).
  // mFitted and mResid hold the fitted values and weighted residuals of the
  // model with its jump (dJump added from dJumpLocationShifted on), the null
  // model of a permutation test; the table's fitted-value and residual
  // arrays are not written. The result rows add
  // the jump to every fitted value at or past the jump location and draw
  // the jump by two rows (J, -9999.0, value before, -9999.0) and
  // (J, -9999.0, value after, -9999.0) (one row after an observation at J).
  // No kinkmark row is written for a kinkmark at the jump location.
  void Resids_JumpModel_Final(int16_t k, int iOrigin, const NEWMAT::Matrix& mA,
                              const NEWMAT::ColumnVector& vCoef,
                              const NEWMAT::ColumnVector& vTau,
                              NEWMAT::Matrix& mFitted, NEWMAT::Matrix& mResid,
                              kmTable& table, double dJumpLocationShifted,
                              double dJump);

  // -- Permutation data sets (kmCalculatorPermutation.cpp) --

  // One uniform integer in iLow..iHigh: (iHigh - iLow + 1) u + iLow
  // truncated toward zero, u the next pRandom->genrand() in [0, 1).
  int GetRandomIndex(int16_t iLow, int16_t iHigh);

  // Fisher-Yates shuffle of v(1..n), n = iNumObs: for i = 1..n-1 exchanges
  // v(i) and v(GetRandomIndex(i, n)); n - 1 draws.
  void Shuffle(NEWMAT::ColumnVector& v);

  // Replaces *pDataY by n x iNumDataSets: column 1 (the observed response,
  // unchanged) followed by iNumDataSets - 1 data sets Z(.,j) = (row k+1 of
  // mFitted)' + mL e_j, where e_j is the residual vector (row k+1 of mResid)
  // after j successive shuffles. Draws (iNumDataSets - 1)(n - 1) numbers.
  void Permute(int16_t k, const NEWMAT::Matrix& mL,
               const NEWMAT::Matrix& mFitted, const NEWMAT::Matrix& mResid,
               int iNumDataSets);

  // -- F statistics of the permutation test (kmCalculatorFTests.cpp) --

  // Records in test the observed statistic of a null model with residual
  // sum dSum0 against an alternative with dSum1 on iDf1 and iDf2 degrees of
  // freedom: F = (dSum0 - dSum1) / dSum1 * iDf2 / iDf1 and its p-value (F 0
  // and p-value 1.0 when F cannot be formed), the degrees of freedom, and
  // for iDf1 = 2 the second statistic 2F/3 on 3 and iDf2. Returns F.
  double RecordObservedF(kmFTest& test, double dSum0, double dSum1, int iDf1,
                         int iDf2);

  // Complete test of k0 against k1 over iNumDataSets data sets: records F,
  // df1, df2, the parametric p-value (1.0 when F cannot be formed), for
  // df1 = 2 also the second statistic 2F/3 on 3 and df2 degrees of freedom,
  // the number of data sets, and, when iNumDataSets > 1, the permutation
  // p-value (count of F_i >= F - eps over iNumDataSets) and dAlpha. Returns
  // the permutation p-value, 0.0 when iNumDataSets <= 1. iTestsLeft is not
  // used.
  double FTest(int16_t iTestsLeft, int16_t k0, int16_t k1, double dAlpha,
               int iNumDataSets, const NEWMAT::ColumnVector& vResidSum0,
               const NEWMAT::ColumnVector& vResidSum1, kmFTest& test);

  // Observed F of the sequential test, with df2 = n - 2 k0 - 2 (the null
  // model's): records df1, df2, F and its parametric p-value; returns F
  // (0.0 when S1(1) <= 0 or k1 <= k0).
  double FTestObs(kmFTest& test, int16_t k0, int16_t k1,
                  const NEWMAT::ColumnVector& vResidSum0,
                  const NEWMAT::ColumnVector& vResidSum1);

  // 1 when the F of data set i (with F, df1 and df2 of the record written by
  // FTestObs) is at least the record's F, else 0 (NaN gives 0).
  int FTestPerm(const kmFTest& test, int16_t i,
                const NEWMAT::ColumnVector& vResidSum0,
                const NEWMAT::ColumnVector& vResidSum1);

  // -- Kinkmark standard errors (kmCalculatorKinkmarkSEs.cpp) --

  // Covariance of the segment coefficients of the k-kinkmark model with
  // locations vTau held fixed, into *pCovariance; sets pTable's reduced-rank
  // flag and returns the residual degrees of freedom (a zero covariance when
  // they are not positive). A jump model (bJump) is refitted with its step
  // at dJumpLocation, which the rank and so the degrees of freedom count.
  double KinkMkSEs(uint16_t k, const NEWMAT::ColumnVector& vTau,
                   NEWMAT::Matrix* pCovariance, kmTable* pTable,
                   bool bJump = false);

  // -- Weighted criteria and kinkmark squared correlations
  //   (kmCalculatorWeightedCriteria.cpp) --

  // For the criterion WBIC-Alt or WBIC replaces the BIC of
  // pTable by ln(Q/n) + ((c + 2) k + 2) ln(n)/n (the value of Q = 0 for a
  // perfect fit), n = iNumObs, c the smallest (WBIC-Alt) or largest (WBIC)
  // kinkmark squared correlation of the table's kinkmarks over its series set
  // weighted by mWorkA (c = 0 without kinkmarks). Other codes leave the table
  // alone.
  void SetWeightedBIC(kmModelSelection criterion, kmTable* pTable, int16_t k,
                      bool bComparison, double dQ);

  // R(i), i = 1..K (K = vTau's length), the squared partial correlation
  // between the response and the hinge at tau(i) once a straight line is
  // taken out, over the window (lo, hi] reaching to the neighbouring
  // kinkmarks (the first window starts 1.0 below the smallest x, the last
  // ends at the largest x). A window without observations, or one with no
  // variation left in the response or the hinge, gives 0. R is resized to K.
  void KinkmarkSquaredCorrelations(NEWMAT::ColumnVector& vR,
                                   const KMSeriesSet& seriesSet,
                                   const NEWMAT::Matrix& mW,
                                   const NEWMAT::ColumnVector& vTau);

  // The local design of the window lo < x <= hi over the series set's
  // observations (numbered across the series in order): rows (1, x), the
  // responses y and the hinge z = max(x - dTau, 0), each premultiplied by
  // the sub-matrix of mW at the kept observations. Outputs have m rows (m
  // may be 0).
  void BuildLocalDesignMatrix(NEWMAT::Matrix& mX, NEWMAT::ColumnVector& vY,
                              NEWMAT::ColumnVector& vZ,
                              const KMSeriesSet& seriesSet,
                              const NEWMAT::Matrix& mW, double dTau, double dLo,
                              double dHi);

  // -- Comparability-ratio display (kmCalculatorComparabilityRatio.cpp) --

  // Row k + 1 of mFitted gets the fitted values of the k-kinkmark model
  // (vBeta: intercepts at 1..K1, slopes at K1 + 1..2K1; vTau its
  // kinkmarks) at the shifted x of pDataX column 2, row k + 1 of mResid the
  // weighted residuals: r(i) W(i, i) in autocorrelation mode 0, else
  // sum_j W(i, j) r(j).
  // REQUIRES: mFitted and mResid have at least k + 1 rows and n columns.
  void Calculate_Resids_Comp_Ratio(uint16_t k, const NEWMAT::Matrix& mW,
                                   const NEWMAT::ColumnVector& vBeta,
                                   const NEWMAT::ColumnVector& vTau,
                                   NEWMAT::Matrix& mFitted,
                                   NEWMAT::Matrix& mResid);

  // Replaces pTable's second matrix by the rows (unshifted x, observed,
  // fitted, SE) of the comparability-ratio display: values before the jump
  // location divided by the ratio (kmOptCRValue) with the SE of a product
  // of independent factors, boundary rows at the kinkmarks and the two
  // rows of the jump at kmOptJumpLocation. iOrigin is the integer origin
  // of x, dJump the jump location in shifted units, fitted values from
  // row k + 1 of mFitted.
  void Calculate_Comp_Ratio(uint16_t k, int32_t iOrigin,
                            const NEWMAT::Matrix& mFitted, kmTable* pTable,
                            double dJump);

  // -- Segment fits and segmentation constraints of Hudson's method
  //   (kmCalculatorSegmentFits.cpp) --

  // Fills every cell (i, j), i = 1..n-1, j = i+1..n, of table with the
  // weighted straight-line fit of observations i..j to column 1 of pDataY:
  // xwxInverse = (X'WX)^-1 (LU inverse), beta = xwxInverse X'Wy, rss = sum
  // of w_r r_r^2, set to 0.0 when at most the perfect-fit bound of the
  // cohort's observed data under those weights (calc_PerfectFitBound).
  // REQUIRES: table built for at least (n, n).
  void Partitions(kmUpperTriangularMatrix& table);

  // Refreshes beta and rss of every cell filled by Partitions for data set
  // iDataSet: column 1 of pDataY when iDataSet is 1, column 2 when it is 2
  // or more. Uses the stored xwxInverse; rss = r'Wr with no threshold.
  void PartitionSSEs(kmUpperTriangularMatrix& table, int iDataSet);

  // Stores in row k of qTable, numbered c = 1, 2, ... in IncrementGrid
  // order from the first segmentation p_m = (a + 1) + (m - 1) g, every
  // admissible segmentation with k kinkmarks: kinkmarkIndices = p,
  // constraint = R, constraintCovariance = R B R' (see kmQ). Does nothing
  // for k <= 0.
  // REQUIRES: Partitions has filled table.
  // Throws: "There is no admissible segmentation with <k> kinkmarks for <n>
  // observations." when even the first segmentation breaks the limits.
  void PrecomputeQ(int16_t k, kmUpperTriangularMatrix& table,
                   kmQMatrix& qTable);

  // Advances p in place to the next admissible segmentation with k
  // kinkmarks in lexicographic order (the last kinkmark moving fastest) and
  // returns true; returns false when there is none, and always for k <= 0.
  // REQUIRES: p has at least k elements.
  bool IncrementGrid(int16_t k, NEWMAT::ColumnVector& p);

  // -- Hudson's continuous fit (kmCalculatorHudsons.cpp) --

  // The restricted step for the choice codes in choices (1 unpinned, 2
  // pinned at x_{p_m}, 3 pinned at x_{p_m+1}, k entries) and the kinkmark
  // locations (k entries). R and S = R B R' are the segmentation's
  // constraints at x_{p_m}; when some code is 3 the rows of Rq are built
  // from locations and Sq = Rq B Rq', otherwise they are taken from R and
  // S. Writes B Rq' Sq^-1 t into dBeta and returns t' Sq^-1 t; returns 0.0
  // and leaves dBeta alone when no kinkmark is pinned (or k < 1).
  // REQUIRES: B (2k+2) square, beta 2k+2 long, R k x (2k+2), S k x k.
  double AdjustBetas(NEWMAT::SymmetricBandMatrix& B, NEWMAT::Matrix& R,
                     NEWMAT::Matrix& S, NEWMAT::ColumnVector& beta,
                     NEWMAT::ColumnVector& dBeta,
                     NEWMAT::ColumnVector& locations,
                     NEWMAT::ColumnVector& choices, int16_t k);

  // The number of choices for kinkmark m (1..k) of segmentation vP in
  // Hudson's search, decided by the piece after it: 2 (at the meeting point,
  // pinned at x_{p_m}) when that piece is long, 3 (also pinned at
  // x_{p_m+1}) otherwise. An interior piece is long when last - first > g,
  // the last piece when n - first > a + 1 (a = kmOptMinObsEnd, g =
  // kmOptMinObsBetween + 2).
  static int ContinuityChoices(int m, int k, const NEWMAT::ColumnVector& vP,
                               int n, int a, int g);

  // Hudson's search for data set j (1 observed, >= 2 permuted) with k
  // kinkmarks over every admissible segmentation: best(j) becomes the smallest
  // continuous-fit total when not larger; for j = 1, when it fell strictly,
  // locations and coefficients (3k + 2) become the winning fit's, and
  // mWork its X'WX (ModelCrossProducts). The continuity constraints of each
  // segmentation searched are formed from the table as it is reached.
  void Hudsons(int j, int16_t k, kmUpperTriangularMatrix& table,
               NEWMAT::ColumnVector& locations,
               NEWMAT::ColumnVector& coefficients, NEWMAT::ColumnVector& best);

  // -- Placeholder records and the data-dependent final choice
  //   (kmCalculatorPlaceholders.cpp) --

  // Writes rows iFirst..iFirst+n-1 of mRows, the layout of a fitted model's
  // observation rows with no fit: the independent value (column 2 of mX),
  // the dependent value (mY), -1e30 for the fitted value and the standard
  // error (mAux). Out-of-range reads raise the matrix library's index
  // error. Static: uses no member.
  static void FillPlaceholderRows(NEWMAT::Matrix& mRows, int iFirst, int n,
                                  const NEWMAT::Matrix& mX,
                                  const NEWMAT::Matrix& mY,
                                  const NEWMAT::Matrix& mAux);

  // Appends to pCalcData->vModels one placeholder table with observation
  // count n = iNumObs and the n rows above.
  // Nothing is appended when it throws.
  void AddBadCohort(kmCalcData* pCalcData);

  // Data-dependent final choice (selection method 4) between the BIC
  // winner kBIC and the BIC3 winner kBIC3 of a cohort whose models with
  // kmin..kmax kinkmarks are stored in pCalcData. Each candidate is handed
  // to BestKMRegModel::select_FinalModel as its coefficients (first
  // intercept, first slope, slope changes) and kinkmark locations, with the
  // independent values *pX, the weighting matrix *pA and the CMSE of the
  // kmax model. Stores the chosen number in uFinalSelectedModel, 1 (BIC
  // kept) or 3 (BIC3 chosen) in lSelectionCriterion, kBIC and kBIC3 in the
  // selected-model fields and the two statistics and two thresholds in
  // dSelectionValues.
  void SelectFinalModelDDS(kmCalcData* pCalcData, int16_t kBIC, int16_t kBIC3,
                           int16_t kmin, int16_t kmax,
                           OneDimensionArray<NEWMAT::ColumnVector>* pX,
                           NEWMAT::Matrix* pA);

  // -- Grid search for a given number of kinkmarks (kmCalculatorGridSearch.cpp)
  //   --

  // Fits every admissible combination of k candidates and keeps the smallest
  // weighted SSE (the first of equal ones): vLocations (k), vEstimates (3k + 2:
  // intercepts, slopes, slope changes), vResidSum(1), mProfile (K x k, 1e50
  // where no fit had kinkmark j at candidate p) and mWork. The position of
  // pProgress goes from its minimum to its maximum as the combinations are
  // fitted; a cancellation stops the search quietly.
  // Throws: "Cannot place kinkmark <k> in GridSearch." when k >= 1 and no
  // combination was fitted.
  void GridSearch(int iNumDataSets, uint16_t k,
                  NEWMAT::ColumnVector& vLocations,
                  NEWMAT::ColumnVector& vEstimates,
                  NEWMAT::ColumnVector& vResidSum, int16_t iNumGridPoints,
                  NEWMAT::Matrix& mProfile, KmProgressInterface* pProgress);

  // GridSearch through the model framework for D = iNumDataSets data sets
  // (columns 1..D of pDataY) at once, with a jump column when iJump is
  // non-zero: vResidSum(d) gets the best weighted SSE of data set d; for D = 1
  // also vLocations, vEstimates (the GridSearch layout, then the jump),
  // mProfile and mWork. The best model of data set 1 is refitted; its jump
  // test goes to vJumpResults and the jump on the ratio scale, exp(jump)
  // tested against 1, to vCRResults. Throws: "Cannot place
  // kinkmark <k> in GridSearch." when no model exists.
  void GridSearch_WithJumpModel(int iNumDataSets, uint16_t k,
                                NEWMAT::ColumnVector& vLocations,
                                NEWMAT::ColumnVector& vEstimates,
                                NEWMAT::ColumnVector& vResidSum,
                                int16_t iNumGridPoints,
                                NEWMAT::Matrix& mProfile, int iJump,
                                KmProgressInterface* pProgress);

  // The GridSearch enumeration of every placement of k kinkmarks on the iK
  // candidates, each fitted by fit (dYWY: the data's Y'WY): updates the
  // profile, and the best model (dBestQ, vBestCols, vBestCoef, mWork) on a
  // strictly smaller Q. Returns at once on a cancellation.
  void Search(uint16_t k, int16_t iK, double dYWY, km_grid::CandidateFit& fit,
              double& dBestQ, NEWMAT::RowVector& vBestCols,
              NEWMAT::ColumnVector& vBestCoef, NEWMAT::Matrix& mProfile,
              KmProgressInterface* pProgress);

  // -- Grid search of a permuted data set under Hudson's method
  //   (kmCalculatorGridSearchHudsons.cpp) --

  // Sets vResidSum(j) to the smallest weighted SSE of column 2 of pDataY (the
  // current permuted data set) over every admissible combination of k
  // candidates, 1e50 when there is none. vEstimates becomes 3k + 2 zeros and
  // mWork the straight line's X'WX block; a cancellation stops quietly.
  // Call path: "GridSearchForHudson()".
  void GridSearchForHudsons(int j, int iNumDataSets, uint16_t k,
                            NEWMAT::ColumnVector& vLocations,
                            NEWMAT::ColumnVector& vEstimates,
                            NEWMAT::ColumnVector& vResidSum,
                            int16_t iNumGridPoints, NEWMAT::Matrix& mProfile,
                            KmProgressInterface* pProgress);

  // The GridSearchForHudsons enumeration (that of Search): lowers
  // vResidSum(j) to the column-2 residual sum of each placement (dYWY its
  // Y'WY) when strictly smaller. Returns at once on a cancellation.
  void Search_Hudsons(int j, uint16_t k, int16_t iK, double dYWY,
                      km_grid::CandidateFit& fit,
                      NEWMAT::ColumnVector& vResidSum,
                      KmProgressInterface* pProgress);

  // -- Model table and AAPC interval pass (kmCalculatorTable.cpp,
  //   kmCalculatorIntervals.cpp) --

  // Fills pTable with the k-kinkmark model of segment-form coefficients vBeta,
  // kinkmarks vTau (shifted units; dShift is added back) and residual sum
  // vResidualSum(1): counts, SSE, MSE, the criterion of criterion (-999.0 for
  // a perfect fit), kinkmark intervals from the profile, each widened to
  // hold its estimate (none where the profile holds no fit the grid search
  // reached), segment tests, slope
  // differences, APCs and the covariance of the unshifted coefficients.
  // A comparison model (bComparison) takes its covariance from
  // comparisonCovariance (kmPairwiseComparison::KinkMkSEsComp), a cohort's
  // from KinkMkSEs. A jump model (bJump, its jump at dJumpLocation) counts
  // the jump in its parameters, degrees of freedom, mean square, kinkmark
  // intervals and coefficient covariance; its criterion stays that of the
  // kinkmark model.
  // Throws: KmException when bComparison is set without
  // comparisonCovariance.
  void Table(bool bComparison, uint16_t k, const NEWMAT::ColumnVector& vTau,
             const NEWMAT::ColumnVector& vResidualSum,
             const NEWMAT::ColumnVector& vBeta, uint16_t nGrid,
             const NEWMAT::Matrix& mProfile, kmTable* pTable,
             kmModelSelection criterion, double dShift, bool bJump = false,
             const ComparisonCovariance& comparisonCovariance = nullptr);

  // The AAPC ranges and APC intervals of every model of *pData (only the
  // final model when bFinalOnly), by kmOptAAPCCIMethod (3 when bFinalOnly),
  // each model with its own resampling cache; stops on cancellation and moves
  // the progress bar with method 3.
  void Compute_APC_AAPC_CIs(kmCalcData* pData,
                            kmBackgroundProgressTrackerWithBar* pProgress,
                            int iTaskValue, bool bFinalOnly, double dTotal);

  // The one writer of the APC intervals of the models of *pData, called
  // once its models are fitted and its final model chosen; each model's
  // intervals are written once. With bResample (a cohort fitted by grid
  // search, not cancelled) and kmOptAAPCCIMethod 3 (empirical quantile), the
  // models Compute_APC_AAPC_CIs covers (every model, or with kmOptFSMOnly
  // the final one) get its resampled intervals with their AAPC ranges;
  // pProgress, iTaskValue and dTotal are its arguments.
  // Every other model of a log-linear fit (kmOptLogLinear) gets the
  // parametric intervals of its own fit (kmTable::SetParametricAPCs at
  // kmOptAPCAlpha); a linear model's other segments keep their default APC.
  // Throws: KmException for a null pData; the errors of the interval
  // calculations. Call path "SetAPCIntervals()".
  void SetAPCIntervals(kmCalcData* pData, bool bResample,
                       kmBackgroundProgressTrackerWithBar* pProgress = nullptr,
                       int iTaskValue = 0, double dTotal = 0.0);

  // -- Model selection by grid search (kmCalculatorSelMod.cpp) --

  // Model selection by grid search for the loaded cohort: one model table per
  // number of kinkmarks kmin..kmax in pCalcData->vModels (index k - kmin), the
  // final number chosen by kmOptModelSelection (permutation tests, a criterion
  // or data-dependent selection; a perfect fit makes the first such k final),
  // then the optional MADWD re-check, intervals and comparability-ratio rows.
  // pProgress may be null; its running flag is set for the call. Its bar
  // position reaches step c of the selection at c / D x 100 (D: two steps
  // per permutation test, at least 1, and one per model with resampled
  // intervals), and moves between steps as each search fits its
  // placements: the first pass across the first step, each search of a
  // permutation test across its own.
  void SelMod(kmCalcData* pCalcData,
              kmBackgroundProgressTrackerWithBar* pProgress, int iCohortIndex,
              int iTaskValue);

  // MADWD pass of SelMod: from kStart down while k > kmin, stores each
  // model's pass flag (ForAllKinkMKAction::ComputeMADWDValues with dPsi on
  // the first intercept, first slope and the slope changes) and returns
  // the first k that passes, else kmin; the detail rows of the checked
  // models become pCalcData's MADWD values (SetMADWDValues).
  int16_t MADWDPass(kmCalcData* pCalcData, int16_t kStart, int16_t kmin,
                    double dPsi, kmBackgroundProgressTrackerWithBar* pProgress);

  // The seven comparability-ratio fields of table from vCRResults for a
  // log-linear model, 0.0 each otherwise.
  void SetComparabilityFields(kmTable& table, bool bLogLinear);

  // The model framework's search (ForAllKinkMKAction::findTheBestTau) of
  // the first iNumDataSets columns of *pDataY for k kinkmarks on the first
  // iNumGridPoints candidates, with p base columns of *pX0 and the given
  // groups of independent values, weighting by mWorkA'mWorkA. Each data set
  // is searched less its straight line on design columns 1 and 2
  // (PreCalcXWYAboutLine); the observed data's line is put back into the
  // coefficients of result 0, which carries no fitted values.
  void SearchThroughFramework(
      int iNumDataSets, uint16_t k, int16_t iNumGridPoints, int p,
      const KMRegModelSettings& settings,
      const OneDimensionArray<NEWMAT::ColumnVector>& groups,
      OneDimensionArray<KinkMKFitResult>& results,
      KmProgressInterface* pProgress);

  // -- Model selection by Hudson's method with early stopping
  //   (kmCalculatorSelModESR.cpp) --

  // Fits the loaded cohort with every number of kinkmarks k = kmin..kmax
  // (kmOptMinKinkmarks, kmOptMaxKinkmarks lowered to what Hudson's
  // segmentations can place in the cohort, kmTools::PlaceableKinkmarks) by
  // Hudson's method: a grid search over the observations (one more
  // observation kept at each end, two more between kinkmarks) whose fit
  // Hudson's continuous search replaces when it is strictly better. One
  // model table per k is appended to pCalcData->vModels (index k - kmin).
  // The final number of kinkmarks is chosen by kmOptModelSelection: 0
  // sequential permutation F tests of k0 against k1 at level
  // alpha / (kmax - k0), run data set by data set and stopped by the
  // stopping table of kmOptEarlyStopping (0 B-value, 1 curtailed, 2 fixed:
  // all P + 1 data sets), each test appended to vFTests; 1-3, 5, 6 the
  // smallest criterion (ties keep the smaller k); 4 the data-dependent
  // choice. An exact fit makes the first such k final. The generator is
  // seeded with kmOptPermutationSeed, or 7160 + iCohortIndex when that is
  // 0. Column 2 of pDataX is left shifted by the cohort's integer origin.
  // pProgress may be null (never cancelled); its running flag is not
  // touched. iTaskValue is not read.
  // REQUIRES: LoadCalcMembers has run and pDataX, pDataY, pDataWeightInput
  // and pDataAux hold the cohort's n observations.
  // Throws: KmException for a null record, missing observations, kmax <
  // kmin, no admissible segmentation for kmax kinkmarks, "Early Stopping is not
  // available for these values. ..." when early stopping is asked for a level
  // or number of tests without a table, and the errors of the steps it calls;
  // matrix-library errors with source "kmCalculator::SelModESR()"; call
  // path "SelModESR()".
  void SelModESR(kmCalcData* pCalcData,
                 kmBackgroundProgressTrackerWithBar* pProgress,
                 int iCohortIndex, int iTaskValue = 0);

  // The binomial coefficient C(n, k): 1 for k <= 0, 0 for k > n, computed
  // in 64-bit arithmetic.
  // Throws: KmException (source "kmCalculator", call path "NChooseK()") for
  // a negative n, or when C(n, k) exceeds the largest segmentation table
  // (2147483647 cells a row).
  static int32_t NChooseK(int16_t n, int16_t k);

  // -- Cohort size (kmCalculatorCohortSize.cpp) --

  // The number of observations of the cohort behind analysis index
  // iCohortIndex on pSession: the rule of GetNumObsForCohortIndex, shared
  // with kmCalculationHandler::GetNumObsThisCohort.
  // Call path: "GetNumObsThisCohort(int)".
  static int GetNumObsThisCohort(kmSession* pSession, int iCohortIndex);

  // The unit tests and the benchmarks load and read the work data
  // (kmCalculatorState) through this peer
  // (tests/engine/kmCalculatorTestPeer.h).
  friend class kmCalculatorTestPeer;

 private:
  // The phases of SelMod, in order, over the working state of one call:
  // the options and the per-cohort maximum; the weighting, integer origin,
  // grid and cross products; one model per number of kinkmarks, its search
  // reporting to pSearchProgress (false when a cancelled search stops the
  // pass); the final choice by criterion,
  // data-dependent selection or the permutation tests (which return the
  // number they keep); the intervals and comparability-ratio rows.
  struct SelModRun;
  void ReadSelModOptions(SelModRun& run, int iCohortIndex);
  void PrepareSelModFits(SelModRun& run);
  void FitEveryNumberOfKinkmarks(SelModRun& run);
  bool FitOneNumberOfKinkmarks(SelModRun& run, int16_t k,
                               KmProgressInterface* pSearchProgress);
  void ChooseFinalModel(SelModRun& run);
  int16_t RunPermutationTests(SelModRun& run);
  void FinishSelMod(SelModRun& run);
};

// The number of observations of the cohort behind analysis index iIndex
// (the cohort of that copy by kmAnalysisCopies: the index divided by the
// copies per cohort); the session's observation count of that cohort is
// returned.
// Call path: "GetNumObsForCohortIndex()", with no class.
int GetNumObsForCohortIndex(kmSession* pSession, int iIndex);

#endif  // KM_ENGINE_KMCALCULATOR_H
