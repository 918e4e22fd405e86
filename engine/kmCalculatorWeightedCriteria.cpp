// kmCalculator: SetWeightedBIC, KinkmarkSquaredCorrelations,
// BuildLocalDesignMatrix.
#include <newmat.h>

#include <cmath>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/BestKMRegModel.h"
#include "models/ForAllKinkMKAction.h"
#include "models/KMSeriesSet.h"
#include "models/KinkMKFitResult.h"
#include "models/MatrixBuilders.h"
#include "results/kmTable.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// A residual whose length is at most this share of the vector's own length
// is taken as rounding: nothing is left once the line is taken out.
constexpr double kNoVariation = 1e-10;

// Throws: KmException when mW is smaller than the series set or a series
// holds fewer responses than independent values, which the window design
// of the series set would read beyond.
void RequireWeightsAndResponses(const KMSeriesSet& seriesSet,
                                const Matrix& mW) {
  const int n = count_TotalRows(seriesSet.xValues);
  if (mW.Nrows() < n || mW.Ncols() < n) {
    GenerateKmExceptionF(
        "The weighting matrix is %d x %d; the series set has %d "
        "observations.",
        kClassName, mW.Nrows(), mW.Ncols(), n);
  }
  for (int s = 0; s < seriesSet.xValues.GetSize(); ++s) {
    const int iX = seriesSet.xValues[s].Nrows();
    const int iY = seriesSet.yValues[s].Nrows();
    if (iY < iX) {
      GenerateKmExceptionF(
          "Series %d has %d independent values but %d responses.", kClassName,
          s + 1, iX, iY);
    }
  }
}

// v less its least-squares fit on the columns of mX, with mSinv the
// (generalised) inverse of X'X: (I - X S^-1 X') v, formed without the
// m x m projector.
ColumnVector LineResidual(const Matrix& mX, const Matrix& mSinv,
                          const ColumnVector& v) {
  const ColumnVector vCoef = mSinv * (mX.t() * v);
  return v - mX * vCoef;
}

}  // namespace

void kmCalculator::SetWeightedBIC(kmModelSelection criterion, kmTable* pTable,
                                  int16_t k, bool bComparison, double dQ) {
  WithCallPath("SetWeightedBIC()", kClassName, [&] {
    if (pTable == nullptr) {
      GenerateKmException("No table was given.", kClassName);
    }
    if (!kmIsWeightedBIC(criterion)) {
      return;
    }
    const int p = bComparison ? iXColumn : 2;
    KinkMKFitResult record;
    record.k = k;
    record.p = p;
    // A perfect fit scores as a residual sum of exactly 0 would.
    record.sse = IsPerfectFit(dQ) ? 0.0 : dQ;
    record.q = p + 2 * k;

    const int K = pTable->GetNumKinkmarks();
    double dMin = 0.0;
    double dMax = 0.0;
    if (K > 0) {
      ColumnVector vTau(K);
      for (int i = 1; i <= K; ++i) {
        vTau(i) = pTable->GetKinkmark(i - 1).dEstimate;
      }
      ColumnVector vR;
      KinkmarkSquaredCorrelations(vR, pTable->GetSeriesSet(), mWorkA, vTau);
      dMin = vR.Minimum();
      dMax = vR.Maximum();
    }
    const double c = criterion == kmModelSelection::kWBICAlt ? dMin : dMax;
    pTable->SetBIC(
        ForAllKinkMKAction::calc_WeightedBICCriterion(record, iNumObs, c));
  });
}

void kmCalculator::KinkmarkSquaredCorrelations(NEWMAT::ColumnVector& vR,
                                               const KMSeriesSet& seriesSet,
                                               const Matrix& mW,
                                               const ColumnVector& vTau) {
  WithCallPath("KinkmarkSquaredCorrelations()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::KinkmarkSquaredCorrelations()", [&] {
      const int K = vTau.Nrows();
      vR.ReSize(K);
      vR = 0.0;
      if (K == 0) return;
      RequireWeightsAndResponses(seriesSet, mW);
      // Range of the independent values over every series.
      bool bAny = false;
      double dMinX = 0.0;
      double dMaxX = 0.0;
      for (int s = 0; s < seriesSet.xValues.GetSize(); ++s) {
        const ColumnVector& x = seriesSet.xValues[s];
        for (int i = 1; i <= x.Nrows(); ++i) {
          if (!bAny || x(i) < dMinX) dMinX = x(i);
          if (!bAny || x(i) > dMaxX) dMaxX = x(i);
          bAny = true;
        }
      }
      for (int i = 1; i <= K; ++i) {
        double dLo = 0.0;
        double dHi = 0.0;
        BestKMRegModel::find_KinkmarkWindow(vTau, i, dMinX, dMaxX, dLo, dHi);
        // The window's x are measured from its kinkmark: the line taken
        // out is the same, but X'X no longer mixes the size of x (a year
        // near 200,000) with its spread, which the positive-definiteness
        // test's relative pivot tolerance would take as a lost column.
        Matrix mX;
        ColumnVector vY, vZ;
        BestKMRegModel::build_StatisticDesign(mX, vY, vZ, seriesSet.xValues,
                                              seriesSet.yValues, mW, vTau(i),
                                              dLo, dHi, vTau(i));
        if (mX.Nrows() == 0) continue;
        const Matrix mS = mX.t() * mX;
        Matrix mSinv;
        int16_t iRank = 0;
        ForAllKinkMKAction::isPositiveDefinite(2, mS, mSinv, iRank);
        // With P = I - X S^-1 X': a = y'Pz, b = y'Py, c = z'Pz.
        const ColumnVector vPy = LineResidual(mX, mSinv, vY);
        const ColumnVector vPz = LineResidual(mX, mSinv, vZ);
        const double a = NEWMAT::DotProduct(vPy, vPz);
        const double b = NEWMAT::DotProduct(vPy, vPy);
        const double c = NEWMAT::DotProduct(vPz, vPz);
        // With nothing left to correlate (no bend can be seen in the
        // window) the kinkmark counts as not supported: 0. What is left
        // only by rounding (a response on a straight line) is nothing
        // too: the ratio of two rounding errors could be anything.
        const bool bFlat =
            b <= kNoVariation * kNoVariation * NEWMAT::DotProduct(vY, vY) ||
            c <= kNoVariation * kNoVariation * NEWMAT::DotProduct(vZ, vZ);
        const double dDen = b * c;
        vR(i) = (!bFlat && std::isfinite(dDen)) ? a * a / dDen : 0.0;
      }
    });
  });
}

void kmCalculator::BuildLocalDesignMatrix(Matrix& mX, ColumnVector& vY,
                                          ColumnVector& vZ,
                                          const KMSeriesSet& seriesSet,
                                          const Matrix& mW, double dTau,
                                          double dLo, double dHi) {
  WithCallPath("BuildLocalDesignMatrix()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::BuildLocalDesignMatrix()", [&] {
      RequireWeightsAndResponses(seriesSet, mW);
      BestKMRegModel::build_StatisticDesign(
          mX, vY, vZ, seriesSet.xValues, seriesSet.yValues, mW, dTau, dLo, dHi);
    });
  });
}
