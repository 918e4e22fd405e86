// kmCalculator: PreCalcXWX, PreCalcXWY, Invert.
//
// The searches assemble each candidate model's small normal equations by
// index from the cross products of the full design computed here, so the
// n observations are touched once per cohort (and once per set of data
// sets), not once per candidate.
#include <newmat.h>

#include <cmath>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::SymmetricMatrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
constexpr double kPivotTolerance = 1e-8;

// Rows 1..n of mM, each multiplied by d(i): diag(d) * M without forming the
// n x n diagonal matrix.
Matrix ScaleRows(const Matrix& mM, const ColumnVector& vD, int n) {
  Matrix mOut = mM.Rows(1, n);
  for (int i = 1; i <= n; ++i) {
    const double d = vD(i);
    for (int j = 1; j <= mOut.Ncols(); ++j) mOut(i, j) *= d;
  }
  return mOut;
}

void RequireDesign(const Matrix* pX0, const Matrix* pW, int n) {
  if (pX0 == nullptr || pW == nullptr) {
    GenerateKmException(
        "The design and weight matrices must be loaded before the cross "
        "products are formed.",
        kClassName);
  }
  if (pX0->Nrows() != n || pW->Nrows() != n || pW->Ncols() != n) {
    GenerateKmExceptionF(
        "The design has %d rows and the weight matrix %d x %d for %d "
        "observations.",
        kClassName, pX0->Nrows(), pW->Nrows(), pW->Ncols(), n);
  }
}

}  // namespace

void kmCalculator::PreCalcXWX() {
  try {
    const int iMode = GetCalcSession()->GetInt(kmOptAutocorrErrors);
    const int n = iNumObs;
    RequireDesign(pX0, pWeightMatrix, n);
    WithMatrixErrorsAsKm("kmCalculator::PreCalcXWX()", [&] {
      const Matrix& mM = *pX0;
      Matrix mWM;
      if (iMode == 0) {
        // Only the diagonal of W counts in this mode; scaling rows costs
        // n (K + 2)^2 instead of n^2 (K + 2).
        ColumnVector vD(n);
        for (int i = 1; i <= n; ++i) vD(i) = (*pWeightMatrix)(i, i);
        mWM = ScaleRows(mM, vD, n);
      } else {
        mWM = (*pWeightMatrix) * mM;
      }
      if (pXWX == nullptr) pXWX = new SymmetricMatrix();
      *pXWX << mM.t() * mWM;
    });
  } catch (KmException& e) {
    e.AddCallPath("PreCalcXWX()", kClassName);
    throw;
  }
}

void kmCalculator::PreCalcXWY(int iNumDataSets,
                              const ColumnVector& vMultipliers, Matrix& mXWY,
                              ColumnVector& vYWY) {
  try {
    const int iMode = GetCalcSession()->GetInt(kmOptAutocorrErrors);
    const int n = iNumObs;
    RequireDesign(pX0, pWeightMatrix, n);
    if (pDataY == nullptr) {
      GenerateKmException("The response matrix has not been loaded.",
                          kClassName);
    }
    WithMatrixErrorsAsKm("kmCalculator::PreCalcXWY()", [&] {
      const Matrix mY = pDataY->SubMatrix(1, n, 1, iNumDataSets);
      Matrix mWY;
      if (iMode == 0) {
        ColumnVector vD(n);
        for (int i = 1; i <= n; ++i) {
          vD(i) = vMultipliers(i) * (*pWeightMatrix)(i, i) * vMultipliers(i);
        }
        mWY = ScaleRows(mY, vD, n);
      } else if (iMode == 3) {
        mWY = (*pWeightMatrix) * mY;
      } else {
        Matrix mW = *pWeightMatrix;
        for (int i = 1; i <= n; ++i) {
          mW(i, i) *= vMultipliers(i) * vMultipliers(i);
        }
        mWY = mW * mY;
      }
      mXWY = pX0->t() * mWY;
      // Column by column, so that each weighted total sum of squares is a
      // 1 x 1 product of its own data set.
      for (int j = 1; j <= iNumDataSets; ++j) {
        const Matrix mProduct = mY.Column(j).t() * mWY.Column(j);
        vYWY(j) = mProduct(1, 1);
      }
    });
  } catch (KmException& e) {
    e.AddCallPath("PreCalcXWY()", kClassName);
    throw;
  }
}

bool kmCalculator::Invert(int16_t p, const SymmetricMatrix& mA,
                          SymmetricMatrix& mAinv, int16_t& iRank) {
  try {
    if (p < 0 || p > mA.Nrows()) {
      GenerateKmExceptionF("Cannot invert order %d of a %d x %d matrix.",
                           "kmCalculator::Invert()", p, mA.Nrows(), mA.Ncols());
    }
    return WithMatrixErrorsAsKm("kmCalculator::Invert()", [&]() -> bool {
      // L: diagonal 1/d_i of A = L D L', strict lower triangle the
      // multipliers, strict upper triangle the unscaled products; the
      // back substitution then overwrites the upper triangle with the
      // inverse.
      Matrix mL(p, p);
      mL = 0.0;
      iRank = 0;
      bool bFailed = false;
      for (int i = 1; i <= p && !bFailed; ++i) {
        double s = mA(i, i);
        for (int k = 1; k < i; ++k) s -= mL(k, i) * mL(i, k);
        if (kPivotTolerance * mA(i, i) > std::fabs(s) || mA(i, i) == 0.0) {
          // Aliased column: dropped, with zero row and column.
          for (int j = 1; j <= p; ++j) {
            mL(i, j) = 0.0;
            mL(j, i) = 0.0;
          }
        } else if (s < 0.0) {
          bFailed = true;
        } else {
          const double d = 1.0 / s;
          ++iRank;
          mL(i, i) = d;
          for (int j = i + 1; j <= p; ++j) {
            double dSum = mA(i, j);
            for (int k = 1; k < i; ++k) dSum -= mL(j, k) * mL(k, i);
            mL(i, j) = dSum;
            mL(j, i) = dSum * d;
          }
        }
      }
      if (!bFailed) {
        for (int i = 1; i <= p; ++i) {
          for (int j = i + 1; j <= p; ++j) mL(i, j) = 0.0;
        }
        for (int j = p; j >= 1; --j) {
          for (int i = j; i >= 1; --i) {
            double dValue = mL(i, j);
            for (int k = i + 1; k <= j; ++k) dValue -= mL(k, i) * mL(k, j);
            for (int k = j + 1; k <= p; ++k) dValue -= mL(k, i) * mL(j, k);
            mL(i, j) = dValue;
          }
        }
        for (int i = 1; i <= p; ++i) {
          for (int j = i + 1; j <= p; ++j) mL(j, i) = mL(i, j);
        }
      }
      // The symmetric result takes the lower triangle, which after a
      // failure is the unfinished work matrix.
      mAinv << mL;
      return !bFailed;
    });
  } catch (KmException& e) {
    e.AddCallPath("INVERT", "kmCalculator.cpp");
    throw;
  }
}
