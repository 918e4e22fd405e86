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

// Plain views of the observations: x(r, c) of *pDataX, the weight W(r, r)
// and the data less their line, 1-based r.
struct RunData {
  RunData(const Matrix& mX, const Matrix& mW, const std::vector<double>& vZ)
      : pX(mX.Store()),
        iXStride(mX.Ncols()),
        pW(mW.Store()),
        iWStride(mW.Ncols()),
        pZ(vZ.data()) {}
  double x(int r, int c) const { return pX[(r - 1) * iXStride + c - 1]; }
  double w(int r) const { return pW[(r - 1) * iWStride + r - 1]; }
  double z(int r) const { return pZ[r - 1]; }
  const double* pX;
  int iXStride;
  const double* pW;
  int iWStride;
  const double* pZ;
};

// The fit of the run i..j with (X'WX)^-1 mInverse (2 x 2): its intercept and
// slope, (X'WX)^-1 X'Wz summed as the library's product, into pBeta[0..1].
void RunBeta(const RunData& d, const Matrix& mInverse, int i, int j,
             double* pBeta) {
  if (mInverse.Nrows() != 2 || mInverse.Ncols() != 2) {
    Matrix mXWz(2, 1);
    mXWz = 0.0;
    const Matrix mProduct = mInverse * mXWz;  // the library's error, if any
    GenerateKmExceptionF("The run %d..%d has a %d x %d inverse, not 2 x 2.",
                         kClassName, i, j, mInverse.Nrows(), mInverse.Ncols());
  }
  double dXWz1 = 0.0;
  double dXWz2 = 0.0;
  for (int r = i; r <= j; ++r) {
    const double dWz = d.w(r) * d.z(r);
    dXWz1 += d.x(r, 1) * dWz;
    dXWz2 += d.x(r, 2) * dWz;
  }
  const double* pInv = mInverse.Store();
  pBeta[0] = pInv[0] * dXWz1;
  pBeta[0] += pInv[1] * dXWz2;
  pBeta[1] = pInv[2] * dXWz1;
  pBeta[1] += pInv[3] * dXWz2;
}

// sum of w_r (z_r - x_r' beta)^2 over the run i..j.
double RunRss(const RunData& d, const double* pBeta, int i, int j) {
  double dRss = 0.0;
  for (int r = i; r <= j; ++r) {
    const double dRes = d.z(r) - d.x(r, 1) * pBeta[0] - d.x(r, 2) * pBeta[1];
    dRss += d.w(r) * dRes * dRes;
  }
  return dRss;
}

// Stores a run's fit in its cell, in place when the cell has the shapes.
void StoreRunFit(kmPartition& cell, const double* pBeta, double dRss) {
  if (cell.beta.Nrows() != 2 || cell.beta.Ncols() != 1) cell.beta.ReSize(2, 1);
  cell.beta.Store()[0] = pBeta[0];
  cell.beta.Store()[1] = pBeta[1];
  if (cell.rss.Nrows() != 1) cell.rss.ReSize(1);
  cell.rss.Store()[0] = dRss;
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
      const RunData run(mX, mW, vZ);
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
          double dBeta[2];
          RunBeta(run, mInverse, i, j, dBeta);
          double dRss = RunRss(run, dBeta, i, j);
          if (dRss <= dExactFit) dRss = 0.0;

          kmPartition& cell = table.GetPartition(i, j);
          cell.xwxInverse = mInverse;
          StoreRunFit(cell, dBeta, dRss);
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
      const RunData run(mX, mW, vZ);
      for (int i = 1; i <= n - 1; ++i) {
        for (int j = i + 1; j <= n; ++j) {
          kmPartition& cell = table.GetPartition(i, j);
          double dBeta[2];
          RunBeta(run, cell.xwxInverse, i, j, dBeta);
          // No exact-fit threshold here: the permutation F statistics
          // compare these sums as computed.
          StoreRunFit(cell, dBeta, RunRss(run, dBeta, i, j));
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
