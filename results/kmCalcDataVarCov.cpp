// kmCalcData: the weighting matrix of a given variance-covariance matrix
// (SetVarianceCovarianceMatrix).
#include <newmat.h>

#include <cmath>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "models/PositiveDefinite.h"
#include "results/kmCalcData.h"

namespace {

const char* const kClassName = "kmCalcData";

void RequireSquare(const KmVector<KmVector<double> >& vRows) {
  const size_t n = vRows.size();
  for (size_t r = 0; r < n; ++r) {
    if (vRows[static_cast<int32_t>(r)].size() != n) {
      GenerateKmExceptionF(
          "The variance-covariance matrix must be square: row %d holds %d "
          "values, not %d.",
          kClassName, static_cast<int>(r) + 1,
          static_cast<int>(vRows[static_cast<int32_t>(r)].size()),
          static_cast<int>(n));
    }
  }
}

}  // namespace

void kmCalcData::SetVarianceCovarianceMatrix(
    const KmVector<KmVector<double> >& vRows, const NEWMAT::Matrix& mResponses,
    bool bLogLinear) {
  WithCallPath("SetVarianceCovarianceMatrix()", kClassName, [&] {
    RequireSquare(vRows);
    const int n = static_cast<int>(vRows.size());

    NEWMAT::Matrix mW(n, n);
    mW = 0.0;
    if (!bLogLinear) {
      for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= n; ++j) mW(i, j) = vRows[i - 1][j - 1];
      }
    } else {
      // The fit is to log(y): by the delta method var(log y) is
      // var(y) / y^2 and cov(log y_i, log y_j) is cov(y_i, y_j) / (y_i y_j).
      NEWMAT::ColumnVector vY(n);
      for (int i = 1; i <= n; ++i) vY(i) = std::exp(mResponses(i, 1));
      for (int i = 1; i <= n; ++i) {
        mW(i, i) = vRows[i - 1][i - 1] / (vY(i) * vY(i));
        for (int j = i + 1; j <= n; ++j) {
          const double dCov = vRows[i - 1][j - 1];
          if (dCov != 0.0) {
            mW(i, j) = dCov / (vY(i) * vY(j));
            mW(j, i) = mW(i, j);
          }
        }
      }
    }

    // The weights are the inverse of the covariance. A matrix with a
    // negative pivot is no covariance: its partial factor would be taken as
    // the weights; a singular one would give observations weight 0 or take
    // them as copies of others. Only W's diagonal and upper triangle count.
    auto pInverse = std::make_unique<NEWMAT::Matrix>(n, n);
    int16_t iRank = 0;
    if (!isPositiveDefinite(mW, *pInverse, iRank) || iRank < n) {
      GenerateKmInputExceptionF(
          "The variance-covariance matrix is not positive definite.",
          kClassName);
    }

    mWork = mW;
    vVarCovRows = vRows;
    bVarCovMatrix = true;
    pWeightingMatrix_ = std::move(pInverse);
  });
}
