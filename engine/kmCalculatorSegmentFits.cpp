// kmCalculator: Partitions, PartitionSSEs, PrecomputeQ, IncrementGrid.
//
// Hudson's method evaluates many segmentations of the same cohort for the
// observed data and every permuted data set. Every run of observations is
// fitted once here, and the continuity constraints of every segmentation are
// formed once per number of kinkmarks, so that the search only combines
// stored numbers.
//
// A segmentation with k kinkmarks is an index vector p (k doubles holding
// whole numbers p_1 < ... < p_k): piece s runs from observation 1 (s = 1)
// or p_{s-1} + 1 to p_s (s <= k) or n (s = k + 1). With a =
// kmOptMinObsEnd and g = kmOptMinObsBetween + 2 it is admissible when
// p_1 >= a + 1, p_{m+1} - p_m >= g and p_k <= n - a - 1. Fits use X =
// *pDataX (column 1 the intercept column, column 2 the independent value),
// the weights W(r, r) of *pWeightMatrix and the columns of *pDataY.
#include <newmat.h>

#include <cstdint>
#include <vector>

#include "engine/RestrictedStep.h"
#include "engine/kmCalculator.h"
#include "engine/kmQMatrix.h"
#include "engine/kmSegmentations.h"
#include "engine/kmUpperTriangularMatrix.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/PerfectFit.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::SymmetricBandMatrix;

namespace {

constexpr const char* kClassName = "kmCalculator";

// Fails clearly, instead of dereferencing null or reading past a matrix,
// when the cohort's observations are not loaded for n observations.
void RequireObservations(const Matrix* pX, const Matrix* pY, const Matrix* pW,
                         int n) {
  if (pX == nullptr || pY == nullptr || pW == nullptr) {
    GenerateKmException(
        "The observations and weights must be loaded before the segment "
        "fits.",
        kClassName);
  }
  if (pX->Nrows() < n || pX->Ncols() < 2 || pY->Nrows() < n ||
      pW->Nrows() < n || pW->Ncols() < n) {
    GenerateKmExceptionF(
        "The data (%d x %d), response (%d rows) and weight (%d x %d) "
        "matrices are too small for %d observations.",
        kClassName, pX->Nrows(), pX->Ncols(), pY->Nrows(), pW->Nrows(),
        pW->Ncols(), n);
  }
}

// Response column iCol of mY less its level and its weighted straight line
// over all n observations (0-based), with the line taken out (intercept
// dA, slope dB). A line changes no residual of a run's fit, only its
// coefficients, so the runs are fitted to what is left: small numbers
// whose sums stay exact at any level of the data.
std::vector<double> LessLine(const Matrix& mX, const Matrix& mY,
                             const Matrix& mW, int n, int iCol, double& dA,
                             double& dB) {
  double dLevel = 0.0;
  for (int r = 1; r <= n; ++r) dLevel += mY(r, iCol);
  dLevel /= n;
  double s11 = 0.0, s12 = 0.0, s22 = 0.0, t1 = 0.0, t2 = 0.0;
  for (int r = 1; r <= n; ++r) {
    const double w = mW(r, r);
    const double y = mY(r, iCol) - dLevel;
    s11 += w * mX(r, 1) * mX(r, 1);
    s12 += w * mX(r, 1) * mX(r, 2);
    s22 += w * mX(r, 2) * mX(r, 2);
    t1 += w * mX(r, 1) * y;
    t2 += w * mX(r, 2) * y;
  }
  const double dDet = s11 * s22 - s12 * s12;
  // Whatever line is taken out, every run refits it: a singular one is
  // left out.
  const double a = dDet > 0.0 ? (s22 * t1 - s12 * t2) / dDet : 0.0;
  const double b = dDet > 0.0 ? (s11 * t2 - s12 * t1) / dDet : 0.0;
  std::vector<double> vZ(static_cast<size_t>(n));
  for (int r = 1; r <= n; ++r) {
    vZ[r - 1] = (mY(r, iCol) - dLevel) - (a * mX(r, 1) + b * mX(r, 2));
  }
  dA = dLevel + a;
  dB = b;
  return vZ;
}

// X'Wz of the run i..j (2 x 1).
Matrix RunXWy(const Matrix& mX, const std::vector<double>& vZ, const Matrix& mW,
              int i, int j) {
  Matrix mXWy(2, 1);
  mXWy = 0.0;
  for (int r = i; r <= j; ++r) {
    const double dWy = mW(r, r) * vZ[r - 1];
    mXWy(1, 1) += mX(r, 1) * dWy;
    mXWy(2, 1) += mX(r, 2) * dWy;
  }
  return mXWy;
}

// sum of w_r (z_r - x_r' beta)^2 over the run i..j.
double RunRss(const Matrix& mX, const std::vector<double>& vZ, const Matrix& mW,
              const Matrix& mBeta, int i, int j) {
  double dRss = 0.0;
  for (int r = i; r <= j; ++r) {
    const double dRes =
        vZ[r - 1] - mX(r, 1) * mBeta(1, 1) - mX(r, 2) * mBeta(2, 1);
    dRss += mW(r, r) * dRes * dRes;
  }
  return dRss;
}

// The residual sum at or below which a run's fit is taken as exact: the
// perfect-fit bound of the cohort's observed data under the segment fits'
// weights. It scales with the data, so a series in small units keeps its
// runs' residual sums, and a run's sum can never exceed the cohort's.
double ExactRunFitBound(const Matrix& mY, const Matrix& mW, int n) {
  ColumnVector y(n);
  ColumnVector w(n);
  for (int r = 1; r <= n; ++r) {
    y(r) = mY(r, 1);
    w(r) = mW(r, r);
  }
  return calc_PerfectFitBound(y, w);
}

}  // namespace

void kmCalculator::Partitions(kmUpperTriangularMatrix& table) {
  WithCallPath("Partitions()", kClassName, [&] {
    const int n = iNumObs;
    RequireObservations(pDataX.get(), pDataY.get(), pWeightMatrix.get(), n);
    WithMatrixErrorsAsKm("kmCalculator::Partitions()", [&] {
      const Matrix& mX = *pDataX;
      const Matrix& mY = *pDataY;
      const Matrix& mW = *pWeightMatrix;
      const double dExactFit = ExactRunFitBound(mY, mW, n);
      const std::vector<double> vZ =
          LessLine(mX, mY, mW, n, 1, table.dLineIntercept, table.dLineSlope);
      for (int i = 1; i <= n - 1; ++i) {
        // X'WX grows by one observation per step of j.
        Matrix mXWX(2, 2);
        mXWX = 0.0;
        const double dW0 = mW(i, i);
        mXWX(1, 1) = dW0 * mX(i, 1) * mX(i, 1);
        mXWX(1, 2) = dW0 * mX(i, 1) * mX(i, 2);
        mXWX(2, 2) = dW0 * mX(i, 2) * mX(i, 2);
        for (int j = i + 1; j <= n; ++j) {
          const double dW = mW(j, j);
          mXWX(1, 1) += dW * mX(j, 1) * mX(j, 1);
          mXWX(1, 2) += dW * mX(j, 1) * mX(j, 2);
          mXWX(2, 2) += dW * mX(j, 2) * mX(j, 2);
          mXWX(2, 1) = mXWX(1, 2);
          const Matrix mInverse = mXWX.i();
          const Matrix mBeta = mInverse * RunXWy(mX, vZ, mW, i, j);
          double dRss = RunRss(mX, vZ, mW, mBeta, i, j);
          if (dRss <= dExactFit) dRss = 0.0;

          kmPartition& cell = table.GetPartition(i, j);
          cell.xwxInverse = mInverse;
          cell.beta = mBeta;
          cell.rss.ReSize(1);
          cell.rss(1) = dRss;
        }
      }
    });
  });
}

void kmCalculator::PartitionSSEs(kmUpperTriangularMatrix& table, int iDataSet) {
  WithCallPath("PartitionSSEs()", kClassName, [&] {
    const int n = iNumObs;
    RequireObservations(pDataX.get(), pDataY.get(), pWeightMatrix.get(), n);
    WithMatrixErrorsAsKm("kmCalculator::PartitionSSEs()", [&] {
      const Matrix& mX = *pDataX;
      const Matrix& mY = *pDataY;
      const Matrix& mW = *pWeightMatrix;
      const int iCol = iDataSet < 2 ? iDataSet : 2;
      if (iCol < 1 || iCol > mY.Ncols()) {
        // Reading the column through the library raises its own index
        // error; the loops below index elements directly.
        Matrix mColumn = mY.Column(iCol);
      }
      const std::vector<double> vZ =
          LessLine(mX, mY, mW, n, iCol, table.dLineIntercept, table.dLineSlope);
      for (int i = 1; i <= n - 1; ++i) {
        for (int j = i + 1; j <= n; ++j) {
          kmPartition& cell = table.GetPartition(i, j);
          const Matrix mBeta = cell.xwxInverse * RunXWy(mX, vZ, mW, i, j);
          // No exact-fit threshold here: the permutation F statistics
          // compare these sums as computed.
          cell.rss.ReSize(1);
          cell.rss(1) = RunRss(mX, vZ, mW, mBeta, i, j);
          cell.beta = mBeta;
        }
      }
    });
  });
}

void kmCalculator::PrecomputeQ(int16_t k, kmUpperTriangularMatrix& table,
                               kmQMatrix& qTable) {
  WithCallPath("PrecomputeQ()", kClassName, [&] {
    if (k <= 0) return;
    kmSession* pSession = GetCalcSession();
    const int a = static_cast<int16_t>(pSession->GetInt(kmOptMinObsEnd));
    const int g =
        static_cast<int16_t>(pSession->GetInt(kmOptMinObsBetween) + 2);
    const int n = iNumObs;
    RequireObservations(pDataX.get(), pDataY.get(), pWeightMatrix.get(), n);
    const Matrix& mX = *pDataX;
    ColumnVector vP(k);
    km_segmentations::FirstSegmentation(k, a, g, n, vP, kClassName);
    WithMatrixErrorsAsKm("kmCalculator::PrecomputeQ()", [&] {
      const int iCoefs = 2 * k + 2;
      SymmetricBandMatrix mB(iCoefs, 1);
      mB = 0.0;
      Matrix mR(k, iCoefs);
      int c = 1;
      do {
        for (int s = 1; s <= k + 1; ++s) {
          const int iFirst = s == 1 ? 1 : static_cast<int>(vP(s - 1)) + 1;
          const int iLast = s <= k ? static_cast<int>(vP(s)) : n;
          const Matrix& mInv = table.GetPartition(iFirst, iLast).xwxInverse;
          mB(2 * s - 1, 2 * s - 1) = mInv(1, 1);
          mB(2 * s, 2 * s - 1) = mInv(2, 1);
          mB(2 * s, 2 * s) = mInv(2, 2);
        }
        km_segmentations::ContinuityRows(mX, k, vP, mR);
        kmQ& cell = qTable.GetQ(k, c);
        cell.kinkmarkIndices = vP;
        cell.constraint = mR;
        ConstraintCovariance(mB, mR, cell.constraintCovariance);
        ++c;
      } while (IncrementGrid(k, vP));
    });
  });
}

bool kmCalculator::IncrementGrid(int16_t k, ColumnVector& p) {
  return WithCallPath("IncrementGrid()", kClassName, [&]() -> bool {
    if (k <= 0) return false;
    kmSession* pSession = GetCalcSession();
    const int a = static_cast<int16_t>(pSession->GetInt(kmOptMinObsEnd));
    const int g =
        static_cast<int16_t>(pSession->GetInt(kmOptMinObsBetween) + 2);
    const double dLimit = static_cast<double>(iNumObs) - (a + 1);
    for (int m = k; m >= 1; --m) {
      p(m) += 1.0;
      if (p(m) + static_cast<double>(k - m) * g > dLimit) continue;
      for (int q = m + 1; q <= k; ++q) p(q) = p(m) + (q - m) * g;
      return true;
    }
    return false;
  });
}
