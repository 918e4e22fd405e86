// kmCalculator: PreCalcXWX, ModelCrossProducts, PreCalcXWY,
// PreCalcXWYAboutLine, IsPerfectFit; kmNormalEquations: Invert.
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
#include "engine/kmGridEnumeration.h"
#include "engine/kmPlainProducts.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/PerfectFit.h"
#include "models/SymmetricInverse.h"
#include "session/kmErrorModel.h"
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

// mOut = M' W* M for the design mM (n rows): in mode 0 only the diagonal
// of W counts, and scaling rows costs n (K + 2)^2 instead of n^2 (K + 2).
void WeightedCrossProducts(const Matrix& mM, const Matrix& mW,
                           kmAutocorrErrors mode, int n,
                           SymmetricMatrix& mOut) {
  Matrix mWM;
  if (mode == kmAutocorrErrors::kUncorrelated) {
    ColumnVector vD(n);
    for (int i = 1; i <= n; ++i) vD(i) = mW(i, i);
    mWM = ScaleRows(mM, vD, n);
  } else {
    mWM = mW * mM;
  }
  mOut << mM.t() * mWM;
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

// W* Y for the columns of mY: uncorrelated, the diagonal v(i) W(i,i) v(i);
// under the variance-covariance matrix, W as it stands; otherwise W with its
// diagonal scaled by v(i)^2.
Matrix WeightRows(const Matrix& mY, kmAutocorrErrors mode, const Matrix& mW,
                  const ColumnVector& vMultipliers, int n) {
  if (mode == kmAutocorrErrors::kUncorrelated) {
    ColumnVector vD(n);
    for (int i = 1; i <= n; ++i) {
      vD(i) = vMultipliers(i) * mW(i, i) * vMultipliers(i);
    }
    return ScaleRows(mY, vD, n);
  }
  if (mode == kmAutocorrErrors::kVarCovMatrix) return mW * mY;
  Matrix mScaled = mW;
  for (int i = 1; i <= n; ++i) {
    mScaled(i, i) *= vMultipliers(i) * vMultipliers(i);
  }
  return mScaled * mY;
}

// vSums(j) = y_j' (W* y_j), column by column, summed in the order of the
// library's 1 x 1 product (the first term, then the others one by one)
// without forming the column temporaries. Y and W*Y are n rows of
// iStrideY and iStrideWY values.
void SumsOfSquares(const double* pY, int iStrideY, const double* pWY,
                   int iStrideWY, int n, int iNumDataSets,
                   ColumnVector& vSums) {
  if (vSums.Nrows() < iNumDataSets) {
    GenerateKmExceptionF(
        "Sums of squares of %d data sets need as many entries; there are %d.",
        kClassName, iNumDataSets, vSums.Nrows());
  }
  for (int j = 0; j < iNumDataSets; ++j) {
    double dSum = 0.0;
    if (n > 0) dSum = pY[j] * pWY[j];
    for (int i = 1; i < n; ++i) {
      dSum += pY[i * iStrideY + j] * pWY[i * iStrideWY + j];
    }
    vSums(j + 1) = dSum;
  }
}

// The work of PreCalcXWYAboutLine on plain arrays, in one allocation: the
// levels (D), the data less level and line (n x D), the two base columns
// and their weighted form (n x 2 each), W* times the data (n x D) and the
// base columns' X'W* Y (2 x D).
struct LineWork {
  LineWork(int n, int D)
      : v(2 * static_cast<size_t>(n) * D + 4 * static_cast<size_t>(n) +
          3 * static_cast<size_t>(D)),
        pLevel(v.data()),
        pY(pLevel + D),
        pX0(pY + static_cast<size_t>(n) * D),
        pWX0(pX0 + 2 * n),
        pWY(pWX0 + 2 * n),
        pH(pWY + static_cast<size_t>(n) * D) {}
  std::vector<double> v;
  double* pLevel;
  double* pY;
  double* pX0;
  double* pWX0;
  double* pWY;
  double* pH;
};

// Y := Y - X0 L for the n x 2 base columns and the 2 x D line L, each
// element as the library's product and difference form it.
void SubtractLine(const double* pX0, const double* pLine, int n, int D,
                  const double* pFrom, int iStrideFrom, double* pY) {
  for (int i = 0; i < n; ++i) {
    for (int c = 0; c < D; ++c) {
      double dFit = pX0[2 * i] * pLine[c];
      dFit += pX0[2 * i + 1] * pLine[D + c];
      pY[i * D + c] = pFrom[i * iStrideFrom + c] - dFit;
    }
  }
}

// The weighted least-squares line of each column of w.pY on the base
// columns, into pLine (2 x D; zero when the base columns are aliased).
void FitLines(LineWork& w, int n, int D, kmAutocorrErrors mode,
              const double* pW, const double* pV, double* pLine) {
  km_plain::WeightRows(w.pX0, n, 2, mode, pW, pV, w.pWX0);
  km_plain::WeightRows(w.pY, n, D, mode, pW, pV, w.pWY);
  // X0'W*X0; the off-diagonal element is (1, 2), the one the library's
  // product into a symmetric matrix forms.
  double a[4] = {0.0, 0.0, 0.0, 0.0};
  for (int r = 0; r < n; ++r) a[0] += w.pX0[2 * r] * w.pWX0[2 * r];
  for (int r = 0; r < n; ++r) a[1] += w.pX0[2 * r] * w.pWX0[2 * r + 1];
  for (int r = 0; r < n; ++r) a[3] += w.pX0[2 * r + 1] * w.pWX0[2 * r + 1];
  a[2] = a[1];
  double dInv[4];
  int16_t iRank = 0;
  if (!InvertSymmetric(2, a, 2, dInv, iRank)) {
    for (int e = 0; e < 2 * D; ++e) pLine[e] = 0.0;
    return;
  }
  km_plain::TransposeTimes(w.pX0, n, 2, 2, w.pWY, D, w.pH);
  // The inverse is symmetric, taken from its lower triangle.
  dInv[1] = dInv[2];
  for (int i = 0; i < 2; ++i) {
    for (int c = 0; c < D; ++c) {
      double dSum = 0.0;
      dSum += dInv[2 * i] * w.pH[c];
      dSum += dInv[2 * i + 1] * w.pH[D + c];
      pLine[i * D + c] = dSum;
    }
  }
}

// PreCalcXWYAboutLine on plain arrays, for the shapes it checked: mDesign
// (n x (K + 2)), mW (n x n), the first D columns of mData (n rows), pV the
// multipliers (null under the variance-covariance matrix). Every sum is the
// library's, in its order.
void ProductsAboutLine(const Matrix& mDesign, const Matrix& mW,
                       const Matrix& mData, int n, int D, kmAutocorrErrors mode,
                       const double* pV, Matrix& mXWZ, ColumnVector& vZWZ,
                       Matrix& mLine) {
  const double* pData = mData.Store();
  const int iStrideY = mData.Ncols();
  const int iCols = mDesign.Ncols();
  const double* pDesign = mDesign.Store();
  LineWork w(n, D);
  // First the level: each data set less its mean on column 1, a
  // subtraction without rounding for values near their mean.
  for (int c = 0; c < D; ++c) {
    double dSum = 0.0;
    for (int i = 0; i < n; ++i) dSum += pData[i * iStrideY + c];
    w.pLevel[c] = dSum / n;
    w.pH[c] = w.pLevel[c];
    w.pH[D + c] = 0.0;
  }
  for (int i = 0; i < n; ++i) {
    w.pX0[2 * i] = pDesign[i * iCols];
    w.pX0[2 * i + 1] = pDesign[i * iCols + 1];
  }
  SubtractLine(w.pX0, w.pH, n, D, pData, iStrideY, w.pY);
  // Then the weighted line of what is left. Its own rounding does not
  // matter: whatever line is taken out, every candidate model refits it
  // exactly.
  mLine.ReSize(2, D);
  double* pLine = mLine.Store();
  FitLines(w, n, D, mode, mW.Store(), pV, pLine);
  SubtractLine(w.pX0, pLine, n, D, w.pY, D, w.pY);
  for (int c = 0; c < D; ++c) pLine[c] += w.pLevel[c];
  km_plain::WeightRows(w.pY, n, D, mode, mW.Store(), pV, w.pWY);
  mXWZ.ReSize(iCols, D);
  km_plain::TransposeTimes(pDesign, n, iCols, iCols, w.pWY, D, mXWZ.Store());
  SumsOfSquares(w.pY, D, w.pWY, D, n, D, vZWZ);
}

}  // namespace

void kmCalculator::PreCalcXWX() {
  WithCallPath("PreCalcXWX()", kClassName, [&] {
    const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());
    const int n = iNumObs;
    RequireDesign(pX0.get(), pWeightMatrix.get(), n);
    WithMatrixErrorsAsKm("kmCalculator::PreCalcXWX()", [&] {
      if (pXWX == nullptr) pXWX = std::make_unique<SymmetricMatrix>();
      WeightedCrossProducts(*pX0, *pWeightMatrix, mode, n, *pXWX);
    });
  });
}

void kmCalculator::ModelCrossProducts(const ColumnVector& vLocations,
                                      SymmetricMatrix& mXWX) {
  WithCallPath("ModelCrossProducts()", kClassName, [&] {
    const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());
    const int n = iNumObs;
    if (pDataX == nullptr || pDataX->Nrows() < n || pDataX->Ncols() < 2) {
      GenerateKmException(
          "The observations must be loaded before a model's cross products "
          "are formed.",
          kClassName);
    }
    WithMatrixErrorsAsKm("kmCalculator::ModelCrossProducts()", [&] {
      const int k = vLocations.Nrows();
      Matrix mDesign(n, k + 2);
      mDesign.Columns(1, 2) = pDataX->SubMatrix(1, n, 1, 2);
      for (int j = 1; j <= k; ++j) {
        for (int r = 1; r <= n; ++r) {
          mDesign(r, j + 2) = km_grid::Hinge((*pDataX)(r, 2), vLocations(j));
        }
      }
      RequireDesign(&mDesign, pWeightMatrix.get(), n);
      WeightedCrossProducts(mDesign, *pWeightMatrix, mode, n, mXWX);
    });
  });
}

void kmCalculator::PreCalcXWY(int iNumDataSets,
                              const ColumnVector& vMultipliers, Matrix& mXWY,
                              ColumnVector& vYWY) {
  WithCallPath("PreCalcXWY()", kClassName, [&] {
    const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());
    const int n = iNumObs;
    RequireDesign(pX0.get(), pWeightMatrix.get(), n);
    RequireResponses(pDataY.get());
    WithMatrixErrorsAsKm("kmCalculator::PreCalcXWY()", [&] {
      const Matrix mY = pDataY->SubMatrix(1, n, 1, iNumDataSets);
      const Matrix mWY = WeightRows(mY, mode, *pWeightMatrix, vMultipliers, n);
      mXWY = pX0->t() * mWY;
      SumsOfSquares(mY.Store(), mY.Ncols(), mWY.Store(), mWY.Ncols(), n,
                    iNumDataSets, vYWY);
    });
  });
}

void kmCalculator::PreCalcXWYAboutLine(int iNumDataSets,
                                       const ColumnVector& vMultipliers,
                                       Matrix& mXWZ, ColumnVector& vZWZ,
                                       Matrix& mLine) {
  WithCallPath("PreCalcXWYAboutLine()", kClassName, [&] {
    const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());
    const int n = iNumObs;
    RequireDesign(pX0.get(), pWeightMatrix.get(), n);
    RequireResponses(pDataY.get());
    if (pX0->Ncols() < 2) {
      GenerateKmException(
          "The design needs the intercept and independent-value columns.",
          kClassName);
    }
    WithMatrixErrorsAsKm("kmCalculator::PreCalcXWYAboutLine()", [&] {
      if (iNumDataSets < 1 || pDataY->Nrows() < n ||
          pDataY->Ncols() < iNumDataSets ||
          (mode != kmAutocorrErrors::kVarCovMatrix &&
           vMultipliers.Nrows() < n)) {
        // The library's error for what does not fit.
        WeightRows(pDataY->SubMatrix(1, n, 1, iNumDataSets), mode,
                   *pWeightMatrix, vMultipliers, n);
      }
      ProductsAboutLine(*pX0, *pWeightMatrix, *pDataY, n, iNumDataSets, mode,
                        mode == kmAutocorrErrors::kVarCovMatrix
                            ? nullptr
                            : vMultipliers.Store(),
                        mXWZ, vZWZ, mLine);
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
    const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());
    return WithMatrixErrorsAsKm("kmCalculator::IsPerfectFit()", [&]() -> bool {
      // The weighting of the fits' cross products.
      ColumnVector vOnes(n);
      vOnes = 1.0;
      const Matrix mW =
          WeightRows(NEWMAT::IdentityMatrix(n), mode, *pWeightMatrix, vOnes, n);
      const ColumnVector y = pDataY->SubMatrix(1, n, 1, 1);
      return dResidSum <= calc_PerfectFitBound(y, mW);
    });
  });
}

bool kmNormalEquations::Invert(int16_t p, const SymmetricMatrix& mA,
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
