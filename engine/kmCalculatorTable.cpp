// kmCalculator: Table (the result record of one fitted model).
//
// Table in full:
// Fills pTable (freshly constructed) with the k-kinkmark model: counts,
// SSE, MSE = Q / (n - NParm) (0 when n - NParm < 1), the criterion value
// (criterion 2 MBIC, 3 BIC3, else BIC; 4 also sets BIC3; a perfect fit
// gives -999.0), the kinkmarks with their profile-F intervals
// (kmOptKinkmarkAlpha on mProfile, nGrid rows, grid *pGridValues; a bound
// that excludes the estimate moves to it), the
// segments with ranges, slope and unshifted intercept tests, the slope
// differences and the covariance of the unshifted segment coefficients,
// intercept and slope alternating per segment. The segments' APCs are left
// to SetAPCIntervals, which writes them once the cohort's models are final.
// vTau is in shifted units; dShift (the integer origin) is added to every
// stored location. vBeta holds the K1 intercepts, K1 slopes and k slope
// differences (K1 = k + 1) of the segment form. vResidualSum(1) = Q. REQUIRES:
// pDataX holds the n shifted x in column 2, pX0 and mWorkA are set as KinkMkSEs
// needs them. A comparison model (bComparison) has c = iXColumn base columns
// and the coefficient layout of the comparison section; its covariance comes
// from the comparison's KinkMkSEsComp. A jump model (bJump) counts its jump
// coefficient in NParm (so in the degrees of freedom, the mean square and
// the kinkmark intervals) and in the covariance, but not in the criterion,
// which compares the models of one analysis that all carry the jump.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmVector.h"
#include "models/ForAllKinkMKAction.h"
#include "models/KinkMKFitResult.h"
#include "results/kmLineSegment.h"
#include "results/kmTable.h"
#include "session/kmComparisonType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::IdentityMatrix;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// Marks a profile cell that no feasible fit reached.
constexpr double kInfeasible = 1e50;
// Criterion value of a perfect fit (no logarithm of its residual sum).
constexpr double kNoCriterion = -999.0;

// Row range [iLower, iUpper] of the grid rows of column i whose profile
// value is within dThreshold, widened by one feasible row on each side;
// the whole grid when no row qualifies.
void ProfileInterval(const Matrix& mProfile, int nGrid, int i,
                     double dThreshold, int& iLower, int& iUpper) {
  iLower = 0;
  iUpper = 0;
  for (int r = 1; r <= nGrid; ++r) {
    if (mProfile(r, i) <= dThreshold) {
      if (iLower == 0) iLower = r;
      iUpper = r;
    }
  }
  if (iLower == 0) iLower = 1;
  if (iUpper == 0) iUpper = nGrid;
  if (iLower > 1 && mProfile(iLower - 1, i) != kInfeasible) --iLower;
  if (iUpper < nGrid && mProfile(iUpper + 1, i) != kInfeasible) ++iUpper;
}

// The shape of the model being tabulated: n observations, p base columns,
// K1 = k + 1 segments, f = 1 for a parallel comparison (the second group's
// first intercept at position 2 of the coefficients), J = 1 for a jump
// model, the parameter count (the jump included) and residual degrees of
// freedom, and the integer origin.
struct TableShape {
  int n;
  int p;
  int k;
  int K1;
  int f;
  int J;
  int16_t iNParm;
  int16_t iUDF;
  double dShift;
};

// Positions in the segment-form coefficients: intercept and slope of
// segment j (1-based).
int InterceptAt(const TableShape& s, int j) { return j == 1 ? 1 : s.f + j; }
int SlopeAt(const TableShape& s, int j) { return s.f + s.K1 + j; }

// Counts, residual sum, mean square and the selection criterion (criterion
// 2 MBIC, 3 BIC3, 4 BIC with BIC3 beside it, else BIC; a perfect fit has
// none).
void SetFitStatistics(kmCalculator& calc, const TableShape& s, double dQ,
                      kmModelSelection criterion, kmTable* pTable) {
  const int n = s.n;
  const double dMSE = (s.iUDF >= 1) ? dQ / s.iUDF : 0.0;
  double dCriterion = 0.0;
  double dBIC3 = 0.0;
  const int iCriterionParm = s.iNParm - s.J;
  const double dBIC =
      std::log(dQ / n) + iCriterionParm * std::log(double(n)) / n;
  if (calc.IsPerfectFit(dQ)) {
    dCriterion = kNoCriterion;
  } else {
    KinkMKFitResult fit;
    fit.k = s.k;
    fit.p = s.p;
    fit.sse = dQ;
    fit.q = iCriterionParm;
    if (criterion == kmModelSelection::kMBIC) {
      fit.xtwx = calc.GetModelCrossProducts();
      dCriterion = ForAllKinkMKAction::calc_LogGammaCriterion(fit, n);
    } else if (criterion == kmModelSelection::kBIC3) {
      dCriterion = ForAllKinkMKAction::calc_BICCriterion(fit, n);
    } else if (criterion == kmModelSelection::kDataDependent) {
      dCriterion = dBIC;
      dBIC3 = ForAllKinkMKAction::calc_BICCriterion(fit, n);
    } else {
      dCriterion = dBIC;
    }
  }
  pTable->SetNObs(static_cast<int16_t>(n));
  pTable->SetNParm(s.iNParm);
  pTable->SetDF(s.iUDF);
  pTable->SetSSE(dQ);
  pTable->SetCMSE(dMSE);
  pTable->SetBIC(dCriterion);
  pTable->SetBIC3(dBIC3);
}

// True when column i of the profile holds a fit the grid search reached.
bool HasFeasibleRow(const Matrix& mProfile, int nGrid, int i) {
  for (int r = 1; r <= nGrid; ++r) {
    if (mProfile(r, i) != kInfeasible) return true;
  }
  return false;
}

// Each kinkmark with its interval from inverting the F test on the profile.
// A kinkmark whose profile the grid search never reached (Hudson's method
// places kinkmarks in cohorts too short for its grid) has no interval.
void AddKinkmarkIntervals(kmCalculator& calc, const TableShape& s, double dQ,
                          const ColumnVector& vTau, uint16_t nGrid,
                          const Matrix& mProfile, kmTable* pTable) {
  if (s.k <= 0) return;
  const double dMSE = (s.iUDF >= 1) ? dQ / s.iUDF : 0.0;
  const double dAlpha = calc.GetCalcSession()->GetDouble(kmOptKinkmarkAlpha);
  const double dF = calc.FInverse(s.k, s.n - s.iNParm, 1.0 - dAlpha);
  const double dThreshold = dQ + s.k * dMSE * dF;
  for (int i = 1; i <= s.k; ++i) {
    const double dTau = vTau(i) + s.dShift;
    if (!HasFeasibleRow(mProfile, nGrid, i)) {
      pTable->AddKinkmark(dTau, dTau, dTau, false);
      continue;
    }
    int iLower = 1;
    int iUpper = nGrid;
    ProfileInterval(mProfile, nGrid, i, dThreshold, iLower, iUpper);
    // Hudson's method places a kinkmark between grid points, and up to the
    // observation beyond the grid's last point (or before its first): the
    // profile's bound on the estimate's side then widens to the estimate.
    const double dLower =
        std::min(calc.GetGridValues()(iLower) + s.dShift, dTau);
    const double dUpper =
        std::max(calc.GetGridValues()(iUpper) + s.dShift, dTau);
    // Without residual degrees of freedom there is no interval.
    pTable->AddKinkmark(dTau, dLower, dUpper, s.iUDF >= 1 && dUpper > dLower);
  }
}

// Segment ends on the unshifted scale: the first x, the kinkmarks, the last
// x.
KmVector<double> SegmentBounds(const kmCalculator& calc, const TableShape& s,
                               const ColumnVector& vTau) {
  KmVector<double> vBounds;
  vBounds.resize(static_cast<size_t>(s.k) + 2);
  const NEWMAT::Matrix& mX = *calc.GetDataX();
  vBounds[0] = mX(1, s.p) + s.dShift;
  for (int i = 1; i <= s.k; ++i) vBounds[i] = vTau(i) + s.dShift;
  vBounds[s.K1] = mX(s.n, s.p) + s.dShift;
  return vBounds;
}

// Slope and unshifted intercept tests of every segment; for a parallel
// comparison also the second group's lines.
void TestSegmentLines(kmCalculator& calc, const TableShape& s,
                      const ColumnVector& vBeta, const Matrix& V, double dDF,
                      KmVector<kmLineSegment>& segments,
                      KmVector<kmLineSegment>& parallel) {
  const double dShift = s.dShift;
  double dSE = 0.0;
  double dStat = 0.0;
  double dPValue = 0.0;
  for (int j = 1; j <= s.K1; ++j) {
    const int m = SlopeAt(s, j);
    const int a = InterceptAt(s, j);
    bool bOk = calc.TTestPValue(vBeta(m), V(m, m), dDF, dSE, dStat, dPValue);
    segments[j - 1].slope.Set(vBeta(m), dSE, dStat, dPValue, bOk);
    if (s.f == 1) parallel[j - 1].slope.Set(vBeta(m), dSE, dStat, dPValue, bOk);

    const double dIntercept = vBeta(a) - dShift * vBeta(m);
    const double dVar =
        V(a, a) + dShift * dShift * V(m, m) - 2.0 * dShift * V(a, m);
    bOk = calc.TTestPValue(dIntercept, dVar, dDF, dSE, dStat, dPValue);
    segments[j - 1].intercept.Set(dIntercept, dSE, dStat, dPValue, bOk);

    if (s.f == 1) {
      // The second group's line: a linear combination c'beta.
      ColumnVector c(V.Nrows());
      c = 0.0;
      c(2) += 1.0;
      c(m) -= dShift;
      if (j > 1) {
        c(1) -= 1.0;
        c(s.p - 2 + j) += 1.0;
      }
      const double dParallel = (c.t() * vBeta.Rows(1, c.Nrows())).AsScalar();
      const double dParallelVar = (c.t() * V * c).AsScalar();
      bOk = calc.TTestPValue(dParallel, dParallelVar, dDF, dSE, dStat, dPValue);
      parallel[j - 1].intercept.Set(dParallel, dSE, dStat, dPValue, bOk);
    }
  }
}

// The slope difference at each kinkmark with its test.
void AddSlopeDifferences(kmCalculator& calc, const TableShape& s,
                         const ColumnVector& vBeta, const Matrix& V, double dDF,
                         kmTable* pTable) {
  double dSE = 0.0;
  double dStat = 0.0;
  double dPValue = 0.0;
  for (int i = 1; i <= s.k; ++i) {
    const int d = s.f + 2 * s.K1 + i;
    const bool bOk =
        calc.TTestPValue(vBeta(d), V(d, d), dDF, dSE, dStat, dPValue);
    pTable->AddSlopeDiff(vBeta(d), dSE, dStat, dPValue, bOk);
  }
}

// Covariance of the unshifted segment coefficients, intercept and slope
// alternating per segment (the layout the interval code reads).
Matrix UnshiftedCovariance(const TableShape& s, const Matrix& V) {
  const int K1 = s.K1;
  const int iLines = s.iNParm - s.J;
  Matrix A = IdentityMatrix(iLines);
  for (int j = 1; j <= K1; ++j) A(InterceptAt(s, j), SlopeAt(s, j)) = -s.dShift;
  const Matrix mShifted = A * V.SubMatrix(1, iLines, 1, iLines) * A.t();
  Matrix mCov(2 * K1, 2 * K1);
  for (int r = 1; r <= 2 * K1; ++r) {
    const int jr = (r + 1) / 2;
    const int ir = (r % 2 == 1) ? InterceptAt(s, jr) : SlopeAt(s, jr);
    for (int c = 1; c <= 2 * K1; ++c) {
      const int jc = (c + 1) / 2;
      const int ic = (c % 2 == 1) ? InterceptAt(s, jc) : SlopeAt(s, jc);
      mCov(r, c) = mShifted(ir, ic);
    }
  }
  return mCov;
}

}  // namespace

void kmCalculator::Table(bool bComparison, uint16_t k, const ColumnVector& vTau,
                         const ColumnVector& vResidualSum,
                         const ColumnVector& vBeta, uint16_t nGrid,
                         const Matrix& mProfile, kmTable* pTable,
                         kmModelSelection criterion, double dShift, bool bJump,
                         const ComparisonCovariance& comparisonCovariance) {
  WithCallPath("Table()", kClassName, [&] {
    if (bComparison && !comparisonCovariance) {
      GenerateKmException("A comparison model needs its covariance.",
                          kClassName);
    }
    WithMatrixErrorsAsKm("kmCalculator::Table()", [&]() {
      if (pTable == nullptr) {
        GenerateKmException("The model table must be given.", kClassName);
      }
      if (pDataX == nullptr || pDataX->Nrows() < 1) {
        GenerateKmException("The cohort's observations have not been loaded.",
                            kClassName);
      }
      const kmSession* pSession = GetCalcSession();
      TableShape s;
      s.n = iNumObs;
      s.p = bComparison ? iXColumn : 2;
      s.k = k;
      s.K1 = k + 1;
      s.f = (bComparison &&
             pSession->Get<kmPairwiseType>() != kmPairwiseType::kCoincident)
                ? 1
                : 0;
      s.J = bJump ? 1 : 0;
      s.iNParm = static_cast<int16_t>(2 * k + s.p + s.J);
      s.iUDF = static_cast<int16_t>(s.n - s.iNParm);
      s.dShift = dShift;
      if (pDataX->Nrows() < s.n || pDataX->Ncols() < s.p) {
        GenerateKmException("The cohort's observations have not been loaded.",
                            kClassName);
      }
      if (vResidualSum.Nrows() < 1 || vTau.Nrows() < k ||
          vBeta.Nrows() < s.f + 2 * s.K1 + k) {
        GenerateKmExceptionF(
            "The fit of a model with %d kinkmarks is incomplete: %d "
            "locations, %d coefficients and %d residual sums were given.",
            kClassName, static_cast<int>(k), vTau.Nrows(), vBeta.Nrows(),
            vResidualSum.Nrows());
      }
      if (k > 0 && (mProfile.Nrows() < nGrid || mProfile.Ncols() < k ||
                    pGridValues == nullptr || pGridValues->Nrows() < nGrid)) {
        GenerateKmException(
            "The profile of the kinkmark search does not match the grid.",
            kClassName);
      }

      const double dQ = vResidualSum(1);
      SetFitStatistics(*this, s, dQ, criterion, pTable);
      AddKinkmarkIntervals(*this, s, dQ, vTau, nGrid, mProfile, pTable);

      const KmVector<double> vBounds = SegmentBounds(*this, s, vTau);
      KmVector<kmLineSegment> segments;
      segments.resize(static_cast<size_t>(s.K1));
      KmVector<kmLineSegment> parallel;
      if (s.f == 1) parallel.resize(static_cast<size_t>(s.K1));
      for (int j = 1; j <= s.K1; ++j) {
        segments[j - 1].SetRange(vBounds[j - 1], vBounds[j]);
        if (s.f == 1) parallel[j - 1].SetRange(vBounds[j - 1], vBounds[j]);
      }

      // Coefficient covariance with the kinkmarks held fixed, and its
      // degrees of freedom.
      auto pV = std::make_unique<Matrix>();
      const double dDF = bComparison
                             ? comparisonCovariance(static_cast<int16_t>(k),
                                                    vTau, *pV, *pTable)
                             : KinkMkSEs(k, vTau, pV.get(), pTable, bJump);
      const Matrix& V = *pV;
      pTable->SetUDF(dDF);

      TestSegmentLines(*this, s, vBeta, V, dDF, segments, parallel);
      AddSlopeDifferences(*this, s, vBeta, V, dDF, pTable);
      pTable->AddLineSegments(segments);
      pTable->AddParallelLineSegments(parallel);
      pTable->SetCovariance(UnshiftedCovariance(s, V));
    });
  });
}
