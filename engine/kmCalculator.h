// The fitting engine of one cohort (or of one comparison pass).
//
// One kmCalculator is created per fitting task. It holds the cohort's
// observations, the candidate grid, the precomputed cross products, the
// weighting state, the distribution object and the random generator, and
// every fitting operation of the engine is one of its methods. Members are
// public: the calculation control fills the observation matrices directly
// and each fitting step reads and writes the members it needs.
//
// Ownership: every pointer marked "owned" is created on the heap by the
// calculator (or handed to it) and deleted by its release step, which sets
// the pointer back to null. The four observation matrices belong to the
// cohort task, which normally deletes them (and nulls the pointers) before
// the calculator; whatever is still set is deleted with the calculator.
//
// Threads: a calculator is used by one thread at a time. Calculators on
// different threads share only the session, which they read.
//
// Errors: every method adds its own line to the call path of a KmException
// passing through ("<Method>()" of "kmCalculator" unless its comment says
// otherwise) and rethrows it; a matrix-library error becomes a KmException
// with the library's text and the qualified method name as its source.
//
// Methods live in files by concern:
//   kmCalculatorLifetime.cpp       construction, setup, cohort loading, release
//   kmCalculatorCrossProducts.cpp  PreCalcXWX, PreCalcXWY, Invert
//   kmCalculatorWeightedFits.cpp   WLSWgt, WLSXPr, WLS, WLSNew
//   kmCalculatorAutocorr.cpp       calculateAutoParamPhi
#ifndef KM_ENGINE_KMCALCULATOR_H
#define KM_ENGINE_KMCALCULATOR_H

#include <newmat.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/KmString.h"

class kmCalcHandler;
class kmCalculationHandler;
class kmSession;
class MersenneTwister;
class StatClass;

class kmCalculator {
 public:
  // ======================================================================
  // Lifetime and setup (kmCalculatorLifetime.cpp)
  // ======================================================================

  // Calculator working through a results handler of its own, made by
  // Setup(pSession) from a copy of the session; the handler is deleted with
  // the calculator.
  // Throws: KmException "Session does not exist - invalid pointer." for a
  // null session; the errors of Init and of the handler's construction.
  explicit kmCalculator(kmSession* pSession);

  // Calculator of one pool task, writing through pCalcHandler, which stays
  // with the calculation control (never deleted here). The calculation
  // handler is not kept.
  // Throws: KmException from Init.
  kmCalculator(kmCalculationHandler* pCalculationHandler,
               kmCalcHandler* pCalcHandler);

  kmCalculator(const kmCalculator&) = delete;
  kmCalculator& operator=(const kmCalculator&) = delete;

  // Runs the release step (every owned object is deleted).
  ~kmCalculator();

  // Creates the distribution object and an unseeded generator, sets every
  // owned pointer, the per-group arrays, pVarCovMatrix and pCalcHandler to
  // null, iNumObs to 0, iOne to 1 and iXColumn to 2.
  // Throws: KmException (call path "Init()").
  void Init();

  // Creates a results handler for pSession (the handler keeps its own copy
  // of the session) and stores it in pCalcHandler; a handler made by an
  // earlier Setup is deleted.
  // Throws: KmException "Session does not exist - invalid pointer." (source
  // "kmCalculator") for a null pSession, in which case nothing changes; the
  // handler's construction errors; each with "Setup()" in the call path.
  void Setup(kmSession* pSession);

  // Prepares the members for cohort iCohort (an analysis index, see
  // GetNumObsForCohortIndex): reads g = kmOptGridPointsBetween and the
  // cohort's observation count n from pSession (null: the handler's
  // session), then creates pX0 and pXWX empty, pWeightMatrix n x n of zeros,
  // pGridValues and pGridAux of G = (g + 1)(n - 1) + 1 zeros (16-bit
  // arithmetic) and the six work objects empty. Objects of an earlier call
  // are deleted first.
  // Throws: KmException for a missing session, an index outside the
  // session's observation counts, a negative g, or a grid longer than a
  // 16-bit count holds; call path "LoadCalcMembers()".
  void LoadCalcMembers(kmSession* pSession, int iCohort);

  // Stores the number of observations n of the cohort being fitted.
  void SetNumObservations(int16_t iN);

  // Stores n, replaces pClusterMatrix by a copy of mGroupData and copies
  // vSeries into vClusterSeries.
  // Throws: KmException (call path "SetClusterMatrix()").
  void SetClusterMatrix(int16_t iN, const NEWMAT::Matrix& mGroupData,
                        const std::vector<NEWMAT::ColumnVector>& vSeries);

  // Stores the group count and the second count, deletes the four previous
  // per-group arrays with their elements and fills four new arrays with
  // copies of element i of each given array (a null element stays null).
  // The caller keeps its arrays.
  // REQUIRES: each given array has iNumGroupsIn elements (or is null when
  // iNumGroupsIn is 0).
  // Throws: KmException for a negative group count; matrix-library errors
  // with source "kmCalculator::SetTwoGroupMatrices()".
  void SetTwoGroupMatrices(int iNumGroupsIn, int iGroupValueIn,
                           NEWMAT::Matrix** ppX, NEWMAT::Matrix** ppY,
                           NEWMAT::ColumnVector** ppWeights,
                           NEWMAT::Matrix** ppAux);

  // The session whose options the calculator reads: the handler's session.
  // Throws: KmException "Session does not exist - invalid pointer." when
  // there is no handler or it holds no session.
  kmSession* GetCalcSession() const;

  // ======================================================================
  // Cross products and inversion (kmCalculatorCrossProducts.cpp)
  //
  // With M = *pX0 (n x (K + 2): intercept, independent value, one hinge
  // column per grid candidate) and W = *pWeightMatrix, the weight W* that
  // enters the products depends on kmOptAutocorrErrors:
  //   0      diag(W(1,1), ..., W(n,n)); off-diagonal elements are ignored
  //   3      W in full
  //   other  W in full (in PreCalcXWY with W(i,i) scaled by v(i)^2)
  // ======================================================================

  // Sets *pXWX = M' W* M (symmetric, (K + 2) x (K + 2)).
  // Throws: KmException for a missing session or non-conforming sizes
  // (source "kmCalculator::PreCalcXWX()"); call path "PreCalcXWX()".
  void PreCalcXWX();

  // With Y the first iNumDataSets columns of *pDataY (rows 1..n) and the
  // per-observation multipliers v: mXWY = M' W* Y ((K + 2) x iNumDataSets)
  // and vYWY(j) = y_j' W* y_j for j = 1..iNumDataSets. In mode 0 W* is
  // diag(v(i) W(i,i) v(i)); in mode 3 v is not used.
  // REQUIRES: vYWY has at least iNumDataSets elements.
  // Throws: KmException for too few columns in pDataY, a short vYWY or
  // vMultipliers, or non-conforming sizes (source
  // "kmCalculator::PreCalcXWY()"); call path "PreCalcXWY()".
  void PreCalcXWY(int iNumDataSets, const NEWMAT::ColumnVector& vMultipliers,
                  NEWMAT::Matrix& mXWY, NEWMAT::ColumnVector& vYWY);

  // Generalised inverse of the symmetric p x p matrix mA by a root-free
  // Cholesky (L D L') factorisation with relative pivot tolerance 1e-8. A
  // column whose reduced pivot s satisfies 1e-8 A(i,i) > |s|, or whose
  // diagonal is 0, is taken as aliased: it is not counted and its row and
  // column of mAinv are 0. Returns true with mAinv the inverse and iRank the
  // number of accepted pivots; returns false when a pivot is negative
  // (mA not positive semi-definite), and then mAinv holds the unfinished
  // work matrix (not an inverse) and iRank the pivots accepted before it.
  // Static: uses no member.
  // Throws: KmException for p outside 0..order of mA (source
  // "kmCalculator::Invert()"); call path "INVERT" of "kmCalculator.cpp".
  static bool Invert(int16_t p, const NEWMAT::SymmetricMatrix& mA,
                     NEWMAT::SymmetricMatrix& mAinv, int16_t& iRank);

  // ======================================================================
  // Weighted least squares (kmCalculatorWeightedFits.cpp,
  // kmCalculatorAutocorr.cpp)
  //
  // Model: y = X b + e with Var(e) proportional to V^-1, V = A'A. The
  // estimator is b = (X'TX)^- X'Ty with T = Du A'A Du for per-observation
  // factors u (Du = diag(u)); the SSE is (y - Xb)' T (y - Xb). For AR(1)
  // errors with parameter phi and weights v, A is the upper-bidiagonal root
  // with A'A = diag(sqrt(v)) R^-1 diag(sqrt(v)), R(i,j) = phi^|i-j|, the
  // generalised least squares of a first-order autoregressive error process
  // (Prais-Winsten transformation).
  // ======================================================================

  // Builds, for the n = iNumObs observations, the weight matrix
  // *pWeightMatrix = V, its root A (A'A = V) and B = A^-1, by
  // kmOptAutocorrErrors:
  //   0      V = diag(v), A = diag(sqrt(v)), B = diag(1 / sqrt(v))
  //   3      V = the user-supplied matrix *pVarCovMatrix, A =
  //   diag(sqrt(V(i,i))),
  //          B = 1 / A elementwise on the diagonal
  //   other  AR(1) with parameter dPhi: A upper bidiagonal, B its inverse,
  //          V = A'A (tridiagonal)
  // v is *pDataWeightInput. A and B are resized to n x n.
  // Throws: KmException when mode 3 has no user-supplied n x n matrix, when
  // |dPhi| >= 1 in an AR(1) mode, or for missing weights (source
  // "kmCalculator::WLSWgt()"); call path "WLSWgt()" of "kmCalc".
  void WLSWgt(double dPhi, NEWMAT::Matrix& mA, NEWMAT::Matrix& mB);

  // Weighted cross products of the n x p design mX and y = column 1 of
  // *pDataY: mXtTX = X'TX (p x p), mXtTy = X'Ty (p x 1), vytTy(1) = y'Ty.
  // Mode 0 uses T = diag(V(i,i) u(i)^2); other modes T = Du A'A Du with A =
  // mWorkA.
  // REQUIRES: vytTy has at least one element.
  // Throws: KmException for short or non-conforming inputs (source
  // "kmCalculator::WLSWPr()"); call path "WLSXPr()".
  void WLSXPr(const NEWMAT::ColumnVector& vU, const NEWMAT::Matrix& mX,
              NEWMAT::Matrix& mXtTX, NEWMAT::Matrix& mXtTy,
              NEWMAT::ColumnVector& vytTy);

  // Solves the normal equations of k response columns from cross products:
  // mXtXinv = generalised inverse of mXtX (Invert), M = mXtXinv mXtY,
  // vBeta = column 1 of M, vSSE(c) = vYtY(c) - sum_j M(j,c) mXtY(j,c) for
  // c = 1..k. iRank is the number of accepted pivots, 0 when the inversion
  // failed (the solve then goes on with the unfinished inverse). A vSSE(1)
  // in (-1e-6, 0) becomes 0; nothing else is corrected. vSSE is lengthened
  // to k when shorter. Static: uses no member.
  // Throws: KmException for non-conforming inputs or a vYtY shorter than k
  // (source "kmCalculator::WLS()"); call path "WLS".
  static void WLS(int k, const NEWMAT::Matrix& mXtY, const NEWMAT::Matrix& mXtX,
                  NEWMAT::Matrix& mXtXinv, const NEWMAT::ColumnVector& vYtY,
                  NEWMAT::ColumnVector& vBeta, NEWMAT::ColumnVector& vSSE,
                  uint16_t& iRank);

  // As WLS with k = 1, except that vSSE(1) = e'Te computed from the
  // residuals e = y - X beta of y = column 1 of *pDataY, with T = Du A'A Du
  // and A = mWorkA.
  // Throws: KmException "Error: SSE < 0." (source "kmCalculator") when
  // vSSE(1) < -1e-6 (a value in (-1e-6, 0) becomes 0); matrix-library errors
  // with source "kmCalculator::WlSNew()"; call path "WLSNew".
  void WLSNew(const NEWMAT::Matrix& mXtY, const NEWMAT::Matrix& mXtX,
              NEWMAT::Matrix& mXtXinv, NEWMAT::ColumnVector& vBeta,
              NEWMAT::ColumnVector& vSSE, uint16_t& iRank,
              const NEWMAT::ColumnVector& vU, const NEWMAT::Matrix& mX);

  // The AR(1) parameter for WLSWgt: 0.0 in mode 0 (and any mode other than
  // 1 and 2), kmOptAutocorrParameter in mode 2. Mode 1 estimates phi from
  // the lag-one autocorrelation of the residuals of an unweighted
  // iNumKinkmarks-kinkmark fit; this build has no grid search, so mode 1
  // raises (see kmCalculatorAutocorr.cpp). The weight vector and the data
  // matrix are left as they were.
  // Throws: KmException (call path "calculateAutoParamPhi"); matrix-library
  // errors with source "kmCalculator::CaculateAutoParamPhi()".
  double calculateAutoParamPhi(uint16_t iNumKinkmarks);

  // ======================================================================
  // Members, in declared order, grouped by concern.
  // ======================================================================

  // -- Services --------------------------------------------------------
  // Distribution object of the t, F and normal probabilities (owned).
  StatClass* pStatClass;
  // Results handler; its session is the source of every option read.
  // Owned only when made by Setup (see pOwnedCalcHandler).
  kmCalcHandler* pCalcHandler;
  // MT19937 generator of the permutation tests, seeded by the driver (owned).
  MersenneTwister* pRandom;

  // -- Design and weighting --------------------------------------------
  // Design matrix M of the fits: intercept, independent value, one hinge
  // column per grid candidate (owned).
  NEWMAT::Matrix* pX0;
  // n x n weight matrix V of the weighted least squares; zeros until
  // WLSWgt fills it; in mode 3 a copy of the user-supplied matrix (owned).
  NEWMAT::Matrix* pWeightMatrix;
  // The cohort's user-supplied variance-covariance matrix, or null
  // (borrowed from the cohort's record).
  NEWMAT::Matrix* pVarCovMatrix;

  // -- Candidate grid --------------------------------------------------
  // Candidate kinkmark locations, length G (owned).
  NEWMAT::ColumnVector* pGridValues;
  // Per candidate, the first candidate at which a following kinkmark may
  // stand, length G (owned).
  NEWMAT::ColumnVector* pGridAux;

  // -- Cross products --------------------------------------------------
  // M' W* M of the full design (owned).
  NEWMAT::SymmetricMatrix* pXWX;

  // -- Clustering ------------------------------------------------------
  // Per-group series of a clustering run.
  std::vector<NEWMAT::ColumnVector> vClusterSeries;
  // Group data matrix of a clustering run (owned).
  NEWMAT::Matrix* pClusterMatrix;

  // -- Cohort size and label -------------------------------------------
  // Number of observations n of the cohort being fitted.
  int16_t iNumObs;
  KmString sLabel;

  // -- Comparison pass: per by-group data (owned arrays of owned objects,
  // iNumGroups long) -----------------------------------------------------
  NEWMAT::Matrix** ppGroupX;
  NEWMAT::Matrix** ppGroupY;
  NEWMAT::ColumnVector** ppGroupWeights;

  // -- Fitting work ----------------------------------------------------
  // X'WX of the model in hand.
  NEWMAT::SymmetricMatrix mWork;

  // -- Comparison pass: counts -----------------------------------------
  int32_t iNumGroups;
  int32_t iOne;
  int32_t iGroupValue;
  // Column of the independent values in pDataX.
  int16_t iXColumn;

  // -- Fitting work (owned, created empty); in the comparison pass
  // pWork2 and pWork4 hold the two groups' dependent values and pWork5 and
  // pWork6 their standard errors ------------------------------------------
  NEWMAT::ColumnVector* pWork1;
  NEWMAT::Matrix* pWork2;
  NEWMAT::ColumnVector* pWork3;
  NEWMAT::Matrix* pWork4;
  NEWMAT::Matrix* pWork5;
  NEWMAT::Matrix* pWork6;

  // -- Comparison pass: per by-group standard errors (owned) -------------
  NEWMAT::Matrix** ppGroupAux;

  // -- Weighting state set by the drivers ------------------------------
  // Weight root A (A'A = V), copied from WLSWgt by the drivers.
  NEWMAT::Matrix mWorkA;
  // Jump location (option 28) less the cohort's integer origin.
  double dJumpLocation;
  // B'B of the weighting step; the symmetric matrix of the series set.
  NEWMAT::Matrix mWorkB;

  // -- Jump-model and comparability-ratio results ----------------------
  // Value, SE, statistic, p-value, lower and upper limit, significance flag.
  NEWMAT::ColumnVector vJumpResults;
  NEWMAT::ColumnVector vCRResults;
  KmString sText1;
  KmString sText2;

  // -- Observations of the cohort (filled by the calculation control) ----
  // n x 2, independent values in column 2.
  NEWMAT::Matrix* pDataX;
  // n x D: column 1 the observed response, columns 2.. permuted data sets.
  NEWMAT::Matrix* pDataY;
  // n weight inputs v (1 / variance).
  NEWMAT::ColumnVector* pDataWeightInput;
  // n x 1 standard error of each observation.
  NEWMAT::Matrix* pDataAux;

 private:
  // Deletes every owned object and sets its pointer to null.
  void Release();
  // Deletes the four per-group arrays and their elements.
  void ReleaseGroupArrays();

  // The handler made by Setup, deleted with the calculator; null when the
  // handler was given by the calculation control.
  std::unique_ptr<kmCalcHandler> pOwnedCalcHandler;
};

// The number of observations of the cohort behind analysis index iIndex:
// the index is divided by 3 when kmOptJumpCRMode is 6, by 2 when it is 3, 4
// or 5, and by 2 again when kmOptDelayType is 2; the session's observation
// count of that cohort is returned.
// Throws: KmException for a null session or an index outside the counts.
int GetNumObsForCohortIndex(kmSession* pSession, int iIndex);

#endif  // KM_ENGINE_KMCALCULATOR_H
