// kmCalculator: WLSWgt, WLSXPr, WLSNew; kmNormalEquations: WLS.
//
// Model: y = X b + e with Var(e) proportional to V^-1, V = A'A. The
// estimator is b = (X'TX)^- X'Ty with T = Du A'A Du for per-observation
// factors u (Du = diag(u)); the SSE is (y - Xb)' T (y - Xb). With a
// user-supplied variance-covariance matrix T = Du V Du, V the matrix's full
// inverse that the fits weight by: the root A then keeps only V's diagonal
// (it weights the residuals that are shuffled), and A'A would drop the
// correlations the matrix gives. For AR(1)
// errors with parameter phi and weights v, A is the upper-bidiagonal root
// with A'A = diag(sqrt(v)) R^-1 diag(sqrt(v)), R(i,j) = phi^|i-j|, the
// generalised least squares of a first-order autoregressive error process
// (Prais-Winsten transformation).
#include <newmat.h>
#include <newmatap.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/kmCalculator.h"
#include "engine/kmFitScores.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/PerfectFit.h"
#include "models/SymmetricInverse.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::DiagonalMatrix;
using NEWMAT::Matrix;
using NEWMAT::SymmetricMatrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// Column 1 of the response matrix, rows 1..n.
ColumnVector ObservedSeries(const Matrix* pDataY, int n) {
  if (pDataY == nullptr) {
    GenerateKmException("The response matrix has not been loaded.", kClassName);
  }
  return pDataY->SubMatrix(1, n, 1, 1);
}

// T = Du A'A Du for the weight root A and the factors u; with a
// user-supplied matrix (kVarCovMatrix) T = Du V Du for the full weight matrix
// *pV.
Matrix FactorWeighting(kmAutocorrErrors mode, const Matrix& mA,
                       const Matrix* pV, const ColumnVector& vU, int n) {
  if (mode == kmAutocorrErrors::kVarCovMatrix) {
    if (pV == nullptr || pV->Nrows() != n || pV->Ncols() != n) {
      GenerateKmException("The weight matrix has not been built.", kClassName);
    }
    Matrix mT = *pV;
    for (int i = 1; i <= n; ++i) {
      for (int j = 1; j <= n; ++j) mT(i, j) *= vU(i) * vU(j);
    }
    return mT;
  }
  DiagonalMatrix mDu(n);
  for (int i = 1; i <= n; ++i) mDu(i) = vU(i);
  const Matrix mADu = mA * mDu;
  return mADu.t() * mADu;
}

// Steps shared by WLS and WLSNew: the generalised inverse, the rank and
// M = XtXinv XtY.
Matrix SolveNormalEquations(const Matrix& mXtY, const Matrix& mXtX,
                            Matrix& mXtXinv, ColumnVector& vBeta,
                            uint16_t& iRank) {
  const int p = mXtX.Nrows();
  if (mXtX.Ncols() != p || mXtY.Nrows() != p) {
    GenerateKmExceptionF(
        "The cross products do not conform: X'X is %d x %d and X'Y has %d "
        "rows.",
        kClassName, mXtX.Nrows(), mXtX.Ncols(), mXtY.Nrows());
  }
  SymmetricMatrix mSym;
  mSym << mXtX;
  SymmetricMatrix mInv;
  int16_t iAccepted = static_cast<int16_t>(p);
  const bool bOk =
      kmCalculator::Invert(static_cast<int16_t>(p), mSym, mInv, iAccepted);
  iRank = bOk ? static_cast<uint16_t>(iAccepted) : 0;
  mXtXinv = mInv;
  Matrix mM = mXtXinv * mXtY;
  vBeta = mM.Column(1);
  return mM;
}

// The searches' small systems: orders up to 16 with at most 4 columns of
// cross products.
constexpr int kSmallOrder = 16;
constexpr int kSmallColumns = 4;

// WLS for the small systems of the searches, on fixed arrays so that no
// candidate model allocates: the same generalised inverse, M = XtXinv XtY
// summed in the library's order (first term, then the others), beta, and
// SSE(c) = YtY(c) - sum_j M(j,c) XtY(j,c). False, with nothing written, for
// a system outside those sizes or of non-conforming shapes, which the
// library path takes instead.
bool SolveSmallSystem(int k, const Matrix& mXtY, const Matrix& mXtX,
                      Matrix& mXtXinv, const ColumnVector& vYtY,
                      ColumnVector& vBeta, ColumnVector& vSSE,
                      uint16_t& iRank) {
  const int p = mXtX.Nrows();
  const int iCols = mXtY.Ncols();
  if (p < 1 || p > kSmallOrder || mXtX.Ncols() != p || mXtY.Nrows() != p ||
      iCols > kSmallColumns || iCols < k) {
    return false;
  }
  // The generalised inverse reads the lower triangle, as the symmetric
  // matrix it was given would.
  const double* pX = mXtX.Store();
  double a[kSmallOrder * kSmallOrder];
  for (int i = 0; i < p; ++i) {
    for (int j = 0; j < p; ++j) {
      a[i * p + j] = i >= j ? pX[i * p + j] : pX[j * p + i];
    }
  }
  int16_t iAccepted = static_cast<int16_t>(p);
  if (mXtXinv.Nrows() != p || mXtXinv.Ncols() != p) mXtXinv.ReSize(p, p);
  const double* pY = mXtY.Store();
  WithSymmetricOrder(p, [&](auto order) {
    double* pInv = mXtXinv.Store();
    const bool bOk = InvertSymmetricMirrored(order, a, p, pInv, iAccepted);
    iRank = bOk ? static_cast<uint16_t>(iAccepted) : 0;
    if (vBeta.Nrows() != p) vBeta.ReSize(p);
    for (int i = 0; i < p; ++i) {
      vBeta(i + 1) = SymmetricSolveRow(order, pInv, i, pY, iCols);
    }
    if (vSSE.Nrows() < k) vSSE.ReSize(k);
    for (int c = 0; c < k; ++c) {
      vSSE(c + 1) =
          SymmetricResidualSum(order, pInv, pY + c, iCols, vYtY(c + 1));
    }
  });
  return true;
}

}  // namespace

void kmCalculator::WLSWgt(double dPhi, Matrix& mA, Matrix& mB) {
  WithCallPath("WLSWgt()", "kmCalc", [&] {
    const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());
    const int n = iNumObs;
    WithMatrixErrorsAsKm("kmCalculator::WLSWgt()", [&] {
      if (mode == kmAutocorrErrors::kVarCovMatrix) {
        if (pVarCovMatrix == nullptr || pVarCovMatrix->Nrows() != n ||
            pVarCovMatrix->Ncols() != n) {
          GenerateKmExceptionF(
              "The user-supplied variance-covariance matrix must be present "
              "and have %d rows and columns.",
              "kmCalculator::WLSWgt()", n);
        }
      } else if (pDataWeightInput == nullptr || pDataWeightInput->Nrows() < n) {
        GenerateKmException("The weights have not been loaded.",
                            "kmCalculator::WLSWgt()");
      }
      // phi outside (-1, 1) has no AR(1) transformation (the root of
      // 1 - phi^2 would be undefined or zero) and would fill the weights
      // with NaN or infinities.
      const bool bAr1 = kmIsAR1(mode);
      if (bAr1 && !(std::fabs(dPhi) < 1.0)) {
        GenerateKmExceptionF(
            "The autocorrelation parameter %g must lie strictly between -1 "
            "and 1.",
            "kmCalculator::WLSWgt()", dPhi);
      }

      if (pWeightMatrix == nullptr) pWeightMatrix = std::make_unique<Matrix>();
      Matrix& mV = *pWeightMatrix;
      mV.ReSize(n, n);
      mV = 0.0;
      mA.ReSize(n, n);
      mA = 0.0;
      mB.ReSize(n, n);
      mB = 0.0;

      if (mode == kmAutocorrErrors::kVarCovMatrix) {
        // The calculator owns its weight matrix, so it takes a copy of the
        // record's matrix rather than pointing at it.
        mV = *pVarCovMatrix;
        // The upper triangular root of the full weight (A'A = V, from V's
        // Cholesky factor), as AR(1) errors have theirs: the residuals A r
        // are uncorrelated with equal variances, so the permutation tests
        // shuffle them, and B = A^-1 maps a shuffled set back to data with
        // the observations' covariance V^-1. V is positive definite: its
        // reading refuses any other.
        NEWMAT::SymmetricMatrix mSym;
        mSym << mV;
        const NEWMAT::LowerTriangularMatrix mLower = NEWMAT::Cholesky(mSym);
        mA = mLower.t();
        mB = mLower.i().t();
        return;
      }
      const ColumnVector& v = *pDataWeightInput;
      if (mode == kmAutocorrErrors::kUncorrelated) {
        for (int i = 1; i <= n; ++i) {
          mV(i, i) = v(i);
          mA(i, i) = std::sqrt(v(i));
          mB(i, i) = 1.0 / mA(i, i);
        }
        return;
      }

      // AR(1): A is upper bidiagonal, B its exact inverse.
      const double d = std::sqrt(1.0 - dPhi * dPhi);
      for (int i = 1; i <= n; ++i) {
        const double dRoot = std::sqrt(v(i));
        double dPower = 1.0;  // phi^(j - i)
        for (int j = i; j <= n - 1; ++j) {
          mB(i, j) = dPower * d / dRoot;
          dPower *= dPhi;
        }
        mB(i, n) = std::pow(dPhi, n - i) / dRoot;
        mA(i, i) = dRoot / d;
        if (i < n) mA(i, i + 1) = -dPhi * std::sqrt(v(i + 1)) / d;
      }
      mA(n, n) = std::sqrt(v(n));

      // V = A'A over the tridiagonal band.
      for (int i = 1; i <= n; ++i) {
        mV(i, i) += mA(i, i) * mA(i, i);
        if (i > 1) {
          mV(i, i) += mA(i - 1, i) * mA(i - 1, i);
          mV(i, i - 1) +=
              mA(i - 1, i - 1) * mA(i - 1, i) + mA(i, i - 1) * mA(i, i);
        }
        if (i < n) mV(i, i + 1) += mA(i, i + 1) * mA(i, i);
      }
    });
  });
}

void kmCalculator::WLSXPr(const ColumnVector& vU, const Matrix& mX,
                          Matrix& mXtTX, Matrix& mXtTy, ColumnVector& vytTy) {
  WithCallPath("WLSXPr()", kClassName, [&] {
    const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());
    const int n = iNumObs;
    WithMatrixErrorsAsKm("kmCalculator::WLSWPr()", [&] {
      const ColumnVector y = ObservedSeries(pDataY.get(), n);
      const Matrix mXn = mX.Rows(1, n);
      if (mode == kmAutocorrErrors::kUncorrelated) {
        if (pWeightMatrix == nullptr) {
          GenerateKmException("The weight matrix has not been built.",
                              kClassName);
        }
        DiagonalMatrix mD(n);
        mD = 1.0;
        for (int i = 1; i <= n; ++i) {
          mD(i) = (*pWeightMatrix)(i, i) * vU(i) * vU(i);
        }
        const Matrix mDX = mD * mXn;
        const ColumnVector vDy = mD * y;
        mXtTX = mXn.t() * mDX;
        mXtTy = mXn.t() * vDy;
        vytTy(1) = NEWMAT::DotProduct(y, vDy);
        return;
      }
      const Matrix mT =
          FactorWeighting(mode, mWorkA, pWeightMatrix.get(), vU, n);
      const Matrix mTX = mT * mXn;
      const ColumnVector vTy = mT * y;
      mXtTX = mXn.t() * mTX;
      mXtTy = mXn.t() * vTy;
      vytTy(1) = NEWMAT::DotProduct(y, vTy);
    });
  });
}

void kmNormalEquations::WLS(int k, const Matrix& mXtY, const Matrix& mXtX,
                            Matrix& mXtXinv, const ColumnVector& vYtY,
                            ColumnVector& vBeta, ColumnVector& vSSE,
                            uint16_t& iRank) {
  WithCallPath("WLS", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::WLS()", [&] {
      if (k < 1 || mXtY.Ncols() < k || vYtY.Nrows() < k) {
        GenerateKmExceptionF(
            "Cannot solve %d data sets with %d cross-product columns and %d "
            "sums of squares.",
            "kmCalculator::WLS()", k, mXtY.Ncols(), vYtY.Nrows());
      }
      if (!SolveSmallSystem(k, mXtY, mXtX, mXtXinv, vYtY, vBeta, vSSE, iRank)) {
        const Matrix mM =
            SolveNormalEquations(mXtY, mXtX, mXtXinv, vBeta, iRank);
        if (vSSE.Nrows() < k) vSSE.ReSize(k);
        const int p = mXtX.Nrows();
        for (int c = 1; c <= k; ++c) {
          double dSse = vYtY(c);
          for (int j = 1; j <= p; ++j) dSse -= mM(j, c) * mXtY(j, c);
          vSSE(c) = dSse;
        }
      }
      // Only the sums are known here: the bound of data whose total about
      // the mean may be as large as their raw total Y'Y.
      if (IsRoundingBelowZero(vSSE(1),
                              calc_PerfectFitBound(vYtY(1), vYtY(1)))) {
        vSSE(1) = 0.0;
      }
    });
  });
}

void kmCalculator::WLSNew(const Matrix& mXtY, const Matrix& mXtX,
                          Matrix& mXtXinv, ColumnVector& vBeta,
                          ColumnVector& vSSE, uint16_t& iRank,
                          const ColumnVector& vU, const Matrix& mX) {
  WithCallPath("WLSNew", kClassName, [&] {
    const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());
    const int n = iNumObs;
    double dBound = 0.0;
    WithMatrixErrorsAsKm("kmCalculator::WlSNew()", [&] {
      const Matrix mM = SolveNormalEquations(mXtY, mXtX, mXtXinv, vBeta, iRank);
      const Matrix mT =
          FactorWeighting(mode, mWorkA, pWeightMatrix.get(), vU, n);
      const ColumnVector y = ObservedSeries(pDataY.get(), n);
      const ColumnVector e = y - mX.Rows(1, n) * mM.Column(1);
      const ColumnVector vTe = mT * e;
      if (vSSE.Nrows() < 1) vSSE.ReSize(1);
      vSSE(1) = NEWMAT::DotProduct(e, vTe);
      if (vSSE(1) < 0.0) dBound = calc_PerfectFitBound(y, mT);
    });
    if (IsRoundingBelowZero(vSSE(1), dBound)) {
      vSSE(1) = 0.0;
    } else if (vSSE(1) < 0.0) {
      GenerateKmException("Error: SSE < 0.", kClassName);
    }
  });
}
