// kmCalculator: Table (the result record of one fitted model).
#include <newmat.h>

#include <cmath>
#include <memory>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmVector.h"
#include "models/BaseKMRegModel.h"
#include "models/ForAllKinkMKAction.h"
#include "models/KinkMKFitResult.h"
#include "results/kmLineSegment.h"
#include "results/kmTable.h"
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

}  // namespace

void kmCalculator::Table(bool bComparison, uint16_t k, const ColumnVector& vTau,
                         const ColumnVector& vResidualSum,
                         const ColumnVector& vBeta, uint16_t nGrid,
                         const Matrix& mProfile, kmTable* pTable,
                         int iCriterion, double dShift) {
  WithCallPath("Table()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::Table()", [&]() {
      if (pTable == nullptr) {
        GenerateKmException("The model table must be given.", kClassName);
      }
      if (pDataX == nullptr || pDataX->Nrows() < 1) {
        GenerateKmException("The cohort's observations have not been loaded.",
                            kClassName);
      }
      const kmSession* pSession = GetCalcSession();
      const int n = iNumObs;
      const int p = bComparison ? iXColumn : 2;
      const int K1 = k + 1;
      const int16_t iNParm = static_cast<int16_t>(2 * k + p);
      const int16_t iUDF = static_cast<int16_t>(n - iNParm);
      const int f =
          (bComparison && pSession->GetInt(kmOptPairwiseType) != 1) ? 1 : 0;
      if (pDataX->Nrows() < n || pDataX->Ncols() < p) {
        GenerateKmException("The cohort's observations have not been loaded.",
                            kClassName);
      }
      if (vResidualSum.Nrows() < 1 || vTau.Nrows() < k ||
          vBeta.Nrows() < f + 2 * K1 + k) {
        GenerateKmExceptionF(
            "The fit of a model with %d kinkmarks is incomplete: %d "
            "locations, %d coefficients and %d residual sums were given.",
            kClassName, static_cast<int>(k), vTau.Nrows(), vBeta.Nrows(),
            vResidualSum.Nrows());
      }
      if (k > 0 &&
          (nGrid < 1 || mProfile.Nrows() < nGrid || mProfile.Ncols() < k ||
           pGridValues == nullptr || pGridValues->Nrows() < nGrid)) {
        GenerateKmException(
            "The profile of the kinkmark search does not match the grid.",
            kClassName);
      }

      // 1-2. Fit statistics and the selection criterion.
      const double dQ = vResidualSum(1);
      const double dMSE = (iUDF >= 1) ? dQ / iUDF : 0.0;
      double dCriterion = 0.0;
      double dBIC3 = 0.0;
      const double dBIC = std::log(dQ / n) + iNParm * std::log(double(n)) / n;
      if (IsPerfectFit(dQ)) {
        dCriterion = kNoCriterion;
      } else {
        KinkMKFitResult fit;
        fit.k = k;
        fit.p = p;
        fit.sse = dQ;
        fit.q = iNParm;
        if (iCriterion == 2) {
          fit.xtwx = mWork;
          dCriterion = ForAllKinkMKAction::calc_LogGammaCriterion(fit, n);
        } else if (iCriterion == 3) {
          dCriterion = ForAllKinkMKAction::calc_BICCriterion(fit, n);
        } else if (iCriterion == 4) {
          dCriterion = dBIC;
          dBIC3 = ForAllKinkMKAction::calc_BICCriterion(fit, n);
        } else {
          dCriterion = dBIC;
        }
      }

      // 3. Scalars.
      pTable->SetNObs(static_cast<int16_t>(n));
      pTable->SetNParm(iNParm);
      pTable->SetDF(iUDF);
      pTable->SetSSE(dQ);
      pTable->SetCMSE(dMSE);
      pTable->SetBIC(dCriterion);
      pTable->SetBIC3(dBIC3);

      // 4. Kinkmark intervals by inverting the F test on the profile.
      if (k > 0) {
        const double dAlpha = pSession->GetDouble(kmOptKinkmarkAlpha);
        const double dF = FInverse(k, n - iNParm, 1.0 - dAlpha);
        const double dThreshold = dQ + k * dMSE * dF;
        for (int i = 1; i <= k; ++i) {
          int iLower = 1;
          int iUpper = nGrid;
          ProfileInterval(mProfile, nGrid, i, dThreshold, iLower, iUpper);
          const double dLower = (*pGridValues)(iLower) + dShift;
          const double dUpper = (*pGridValues)(iUpper) + dShift;
          pTable->AddKinkmark(vTau(i) + dShift, dLower, dUpper,
                              dUpper > dLower);
        }
      }

      // 5. Segment ranges on the unshifted scale.
      KmVector<double> vBounds;
      vBounds.resize(static_cast<size_t>(k) + 2);
      vBounds[0] = (*pDataX)(1, p) + dShift;
      for (int i = 1; i <= k; ++i) vBounds[i] = vTau(i) + dShift;
      vBounds[K1] = (*pDataX)(n, p) + dShift;
      KmVector<kmLineSegment> segments;
      segments.resize(static_cast<size_t>(K1));
      KmVector<kmLineSegment> parallel;
      if (f == 1) parallel.resize(static_cast<size_t>(K1));
      for (int j = 1; j <= K1; ++j) {
        segments[j - 1].SetRange(vBounds[j - 1], vBounds[j]);
        if (f == 1) parallel[j - 1].SetRange(vBounds[j - 1], vBounds[j]);
      }

      // 6-7. Coefficient covariance, its degrees of freedom, t quantile.
      auto pV = std::make_unique<Matrix>();
      const double dDF = bComparison ? KinkMkSEsComp(static_cast<int16_t>(k),
                                                     vTau, *pV, *pTable)
                                     : KinkMkSEs(k, vTau, pV.get(), pTable);
      const Matrix& V = *pV;
      pTable->SetUDF(dDF);
      const double dAPCAlpha = pSession->GetDouble(kmOptAPCAlpha);
      const double dT = TInverse(1.0 - dAPCAlpha / 2.0, dDF);

      // 8. Slopes and intercepts moved to the unshifted scale.
      double dSE = 0.0;
      double dStat = 0.0;
      double dPValue = 0.0;
      for (int j = 1; j <= K1; ++j) {
        const int m = f + K1 + j;
        const int a = (j == 1) ? 1 : f + j;
        bool bOk = TTestPValue(vBeta(m), V(m, m), dDF, dSE, dStat, dPValue);
        segments[j - 1].slope.Set(vBeta(m), dSE, dStat, dPValue, bOk);
        if (f == 1)
          parallel[j - 1].slope.Set(vBeta(m), dSE, dStat, dPValue, bOk);

        const double dIntercept = vBeta(a) - dShift * vBeta(m);
        const double dVar =
            V(a, a) + dShift * dShift * V(m, m) - 2.0 * dShift * V(a, m);
        bOk = TTestPValue(dIntercept, dVar, dDF, dSE, dStat, dPValue);
        segments[j - 1].intercept.Set(dIntercept, dSE, dStat, dPValue, bOk);

        if (f == 1) {
          // The second group's line: a linear combination c'beta.
          ColumnVector c(V.Nrows());
          c = 0.0;
          c(2) += 1.0;
          c(m) -= dShift;
          if (j > 1) {
            c(1) -= 1.0;
            c(p - 2 + j) += 1.0;
          }
          const double dParallel =
              (c.t() * vBeta.Rows(1, c.Nrows())).AsScalar();
          const double dParallelVar = (c.t() * V * c).AsScalar();
          bOk = TTestPValue(dParallel, dParallelVar, dDF, dSE, dStat, dPValue);
          parallel[j - 1].intercept.Set(dParallel, dSE, dStat, dPValue, bOk);
        }
      }

      // 9. Slope differences at the kinkmarks.
      for (int i = 1; i <= k; ++i) {
        const int d = f + 2 * K1 + i;
        const bool bOk =
            TTestPValue(vBeta(d), V(d, d), dDF, dSE, dStat, dPValue);
        pTable->AddSlopeDiff(vBeta(d), dSE, dStat, dPValue, bOk);
      }

      // 10. Annual percent changes of a log-linear model.
      if (pSession->GetBool(kmOptLogLinear)) {
        for (int j = 1; j <= K1; ++j) {
          const int iPos = p + k + j - 1;
          const double b = vBeta(iPos);
          const double v = V(iPos, iPos);
          const double dAPC = 100.0 * (std::exp(b) - 1.0);
          double dLower = 0.0;
          double dUpper = 0.0;
          bool bOk = false;
          if (v > 0.0 && v < 100.0) {
            const double dSlopeSE = std::sqrt(v);
            dLower = 100.0 * (std::exp(b - dT * dSlopeSE) - 1.0);
            dUpper = 100.0 * (std::exp(b + dT * dSlopeSE) - 1.0);
            bOk = true;
          }
          ColumnVector vRange(2);
          vRange(1) = vBounds[j - 1];
          vRange(2) = vBounds[j];
          const ColumnVector vTest = BaseKMRegModel::calc_APC_OneSlope(
              dDF, vRange, dAPCAlpha, b, std::sqrt(std::fabs(v)));
          segments[j - 1].SetAPC(dAPC, dLower, dUpper, bOk, vTest(9),
                                 vTest(10));
          if (f == 1) {
            parallel[j - 1].SetAPC(dAPC, dLower, dUpper, bOk, vTest(9),
                                   vTest(10));
          }
        }
      }

      // 11. Segments.
      pTable->AddLineSegments(segments);
      pTable->AddParallelLineSegments(parallel);

      // 12. Covariance of the unshifted segment coefficients, intercept and
      // slope alternating per segment (the layout the interval code reads).
      Matrix A = IdentityMatrix(iNParm);
      for (int j = 1; j <= K1; ++j) {
        const int a = (j == 1) ? 1 : f + j;
        A(a, f + K1 + j) = -dShift;
      }
      const Matrix mShifted = A * V.SubMatrix(1, iNParm, 1, iNParm) * A.t();
      Matrix mCov(2 * K1, 2 * K1);
      for (int r = 1; r <= 2 * K1; ++r) {
        const int jr = (r + 1) / 2;
        const int ir = (r % 2 == 1) ? ((jr == 1) ? 1 : f + jr) : f + K1 + jr;
        for (int c = 1; c <= 2 * K1; ++c) {
          const int jc = (c + 1) / 2;
          const int ic = (c % 2 == 1) ? ((jc == 1) ? 1 : f + jc) : f + K1 + jc;
          mCov(r, c) = mShifted(ir, ic);
        }
      }
      pTable->SetCovariance(mCov);
    });
  });
}
