// kmCalculator: PreCalcXWX, PreCalcXWY, PreCalcXWYAboutLine, IsPerfectFit,
// Invert.
//
// The searches assemble each candidate model's small normal equations by
// index from the cross products of the full design computed here, so the
// n observations are touched once per cohort (and once per set of data
// sets), not once per candidate.
//
// With M = *pX0 (n x (K + 2): intercept, independent value, one hinge
// column per grid candidate) and W = *pWeightMatrix, the weight W* that
// enters the products depends on kmOptAutocorrErrors:
//   0      diag(W(1,1), ..., W(n,n)); off-diagonal elements are ignored
//   3      W in full
//   other  W in full (in PreCalcXWY with W(i,i) scaled by v(i)^2)
#include <newmat.h>

#include <cmath>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/PerfectFit.h"
#include "models/SymmetricInverse.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::SymmetricMatrix;

namespace {

constexpr const char* kClassName = "kmCalculator";

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

void RequireResponses(const Matrix* pY) {
  if (pY == nullptr) {
    GenerateKmException("The response matrix has not been loaded.", kClassName);
  }
}

// W* Y for the columns of mY: in mode 0 the diagonal v(i) W(i,i) v(i); in
// mode 3 W as it stands; otherwise W with its diagonal scaled by v(i)^2.
Matrix WeightRows(const Matrix& mY, int iMode, const Matrix& mW,
                  const ColumnVector& vMultipliers, int n) {
  if (iMode == 0) {
    ColumnVector vD(n);
    for (int i = 1; i <= n; ++i) {
      vD(i) = vMultipliers(i) * mW(i, i) * vMultipliers(i);
    }
    return ScaleRows(mY, vD, n);
  }
  if (iMode == 3) return mW * mY;
  Matrix mScaled = mW;
  for (int i = 1; i <= n; ++i) {
    mScaled(i, i) *= vMultipliers(i) * vMultipliers(i);
  }
  return mScaled * mY;
}

// vSums(j) = y_j' (W* y_j), column by column, summed in the order of the
// library's 1 x 1 product (the first term, then the others one by one)
// without forming the column temporaries.
void SumsOfSquares(const Matrix& mY, const Matrix& mWY, int iNumDataSets,
                   ColumnVector& vSums) {
  const int n = mY.Nrows();
  if (mWY.Nrows() != n || mY.Ncols() < iNumDataSets ||
      mWY.Ncols() < iNumDataSets || vSums.Nrows() < iNumDataSets) {
    GenerateKmExceptionF(
        "Sums of squares of %d data sets need %d x %d products; they are "
        "%d x %d and %d x %d with %d entries for the sums.",
        kClassName, iNumDataSets, n, iNumDataSets, mY.Nrows(), mY.Ncols(),
        mWY.Nrows(), mWY.Ncols(), vSums.Nrows());
  }
  const int iStrideY = mY.Ncols();
  const int iStrideWY = mWY.Ncols();
  const double* pY = mY.Store();
  const double* pWY = mWY.Store();
  for (int j = 0; j < iNumDataSets; ++j) {
    double dSum = 0.0;
    if (n > 0) dSum = pY[j] * pWY[j];
    for (int i = 1; i < n; ++i) {
      dSum += pY[i * iStrideY + j] * pWY[i * iStrideWY + j];
    }
    vSums(j + 1) = dSum;
  }
}

}  // namespace

void kmCalculator::PreCalcXWX() {
  WithCallPath("PreCalcXWX()", kClassName, [&] {
    const int iMode = GetCalcSession()->GetInt(kmOptAutocorrErrors);
    const int n = iNumObs;
    RequireDesign(pX0.get(), pWeightMatrix.get(), n);
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
      if (pXWX == nullptr) pXWX = std::make_unique<SymmetricMatrix>();
      *pXWX << mM.t() * mWM;
    });
  });
}

void kmCalculator::PreCalcXWY(int iNumDataSets,
                              const ColumnVector& vMultipliers, Matrix& mXWY,
                              ColumnVector& vYWY) {
  WithCallPath("PreCalcXWY()", kClassName, [&] {
    const int iMode = GetCalcSession()->GetInt(kmOptAutocorrErrors);
    const int n = iNumObs;
    RequireDesign(pX0.get(), pWeightMatrix.get(), n);
    RequireResponses(pDataY.get());
    WithMatrixErrorsAsKm("kmCalculator::PreCalcXWY()", [&] {
      const Matrix mY = pDataY->SubMatrix(1, n, 1, iNumDataSets);
      const Matrix mWY = WeightRows(mY, iMode, *pWeightMatrix, vMultipliers, n);
      mXWY = pX0->t() * mWY;
      SumsOfSquares(mY, mWY, iNumDataSets, vYWY);
    });
  });
}

void kmCalculator::PreCalcXWYAboutLine(int iNumDataSets,
                                       const ColumnVector& vMultipliers,
                                       Matrix& mXWZ, ColumnVector& vZWZ,
                                       Matrix& mLine) {
  WithCallPath("PreCalcXWYAboutLine()", kClassName, [&] {
    const int iMode = GetCalcSession()->GetInt(kmOptAutocorrErrors);
    const int n = iNumObs;
    RequireDesign(pX0.get(), pWeightMatrix.get(), n);
    RequireResponses(pDataY.get());
    if (pX0->Ncols() < 2) {
      GenerateKmException(
          "The design needs the intercept and independent-value columns.",
          kClassName);
    }
    WithMatrixErrorsAsKm("kmCalculator::PreCalcXWYAboutLine()", [&] {
      const Matrix& mW = *pWeightMatrix;
      const Matrix mX0 = pX0->SubMatrix(1, n, 1, 2);
      // First the level: each data set less its mean on column 1, a
      // subtraction without rounding for values near their mean.
      Matrix mLevel(2, iNumDataSets);
      mLevel = 0.0;
      for (int j = 1; j <= iNumDataSets; ++j) {
        double dSum = 0.0;
        for (int i = 1; i <= n; ++i) dSum += (*pDataY)(i, j);
        mLevel(1, j) = dSum / n;
      }
      const Matrix mY = pDataY->SubMatrix(1, n, 1, iNumDataSets) - mX0 * mLevel;
      // Then the weighted line of what is left. Its own rounding does
      // not matter: whatever line is taken out, every candidate model
      // refits it exactly.
      const Matrix mWX0 = WeightRows(mX0, iMode, mW, vMultipliers, n);
      const Matrix mWY = WeightRows(mY, iMode, mW, vMultipliers, n);
      SymmetricMatrix mG0;
      mG0 << mX0.t() * mWX0;
      SymmetricMatrix mG0Inv;
      int16_t iRank = 0;
      mLine.ReSize(2, iNumDataSets);
      mLine = 0.0;
      if (Invert(2, mG0, mG0Inv, iRank)) mLine = mG0Inv * (mX0.t() * mWY);
      const Matrix mZ = mY - mX0 * mLine;
      mLine += mLevel;
      const Matrix mWZ = WeightRows(mZ, iMode, mW, vMultipliers, n);
      mXWZ = pX0->t() * mWZ;
      SumsOfSquares(mZ, mWZ, iNumDataSets, vZWZ);
    });
  });
}

bool kmCalculator::IsPerfectFit(double dResidSum) const {
  return WithCallPath("IsPerfectFit()", kClassName, [&]() -> bool {
    const int n = iNumObs;
    // Without the observed data only a sum of 0 or less is perfect.
    if (pDataY == nullptr || pWeightMatrix == nullptr || n < 1 ||
        pDataY->Nrows() < n || pWeightMatrix->Nrows() < n ||
        pWeightMatrix->Ncols() < n) {
      return dResidSum <= 0.0;
    }
    const int iMode = GetCalcSession()->GetInt(kmOptAutocorrErrors);
    return WithMatrixErrorsAsKm("kmCalculator::IsPerfectFit()", [&]() -> bool {
      // The weighting of the fits' cross products.
      ColumnVector vOnes(n);
      vOnes = 1.0;
      const Matrix mW = WeightRows(NEWMAT::IdentityMatrix(n), iMode,
                                   *pWeightMatrix, vOnes, n);
      const ColumnVector y = pDataY->SubMatrix(1, n, 1, 1);
      return dResidSum <= calc_PerfectFitBound(y, mW);
    });
  });
}

bool kmCalculator::Invert(int16_t p, const SymmetricMatrix& mA,
                          SymmetricMatrix& mAinv, int16_t& iRank) {
  return WithCallPath("INVERT", "kmCalculator.cpp", [&]() -> bool {
    if (p < 0 || p > mA.Nrows()) {
      GenerateKmExceptionF("Cannot invert order %d of a %d x %d matrix.",
                           "kmCalculator::Invert()", p, mA.Nrows(), mA.Ncols());
    }
    return WithMatrixErrorsAsKm("kmCalculator::Invert()", [&]() -> bool {
      std::vector<double> vA(static_cast<size_t>(p) * p);
      for (int i = 1; i <= p; ++i) {
        for (int j = 1; j <= p; ++j) vA[(i - 1) * p + (j - 1)] = mA(i, j);
      }
      Matrix mL(p, p);
      const bool bOk = InvertSymmetric(p, vA.data(), p, mL.Store(), iRank);
      // The symmetric result takes the lower triangle, which after a
      // failure is the unfinished work matrix.
      mAinv << mL;
      return bOk;
    });
  });
}
