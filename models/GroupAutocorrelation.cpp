// Group autocorrelation estimates: estimate_GroupAutocorrelations,
// estimate_RangeAutocorrelation, calc_LagOneAutocorrelation.
#include "models/GroupAutocorrelation.h"

#include <cmath>
#include <string>

#include "models/BaseKMRegModel.h"
#include "models/KMRegFit.h"
#include "models/KMRegFitRecord.h"
#include "models/MatrixBuilders.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

// Error-model codes of the estimate.
constexpr int32_t kErrorModelEstimated = 1;
constexpr int32_t kErrorModelGiven = 2;

// The value of the preliminary fit's interval levels: it computes none.
constexpr double kUnusedLevel = -1.0;

}  // namespace

void estimate_GroupAutocorrelations(
    NEWMAT::ColumnVector& out, int32_t iErrorModel, double dPhiGiven,
    const KMSeriesSet& groups, const NEWMAT::ColumnVector& userLocations,
    bool bUseUserLocations, int32_t iModelType, int32_t iNumKinkmarks,
    int32_t iFitMember8, int32_t iSplineCode, double dJumpLocation,
    int32_t iMinObsAtEnds, int32_t iMinObsBetween, int32_t iGridPointsBetween,
    double dAlpha) {
  WithStandardCatch([&] {
    const int G = groups.xValues.GetSize();
    out.ReSize(G + 1);
    for (int i = 0; i <= G; ++i) {
      // Range 0 is every group; range i is group i alone.
      const int iFirst = i == 0 ? 0 : i - 1;
      const int iCount = i == 0 ? G : 1;
      KMSeriesSet range;
      range.labels.Resize(iCount);
      range.xValues.Resize(iCount);
      range.yValues.Resize(iCount);
      for (int g = 0; g < iCount; ++g) {
        range.labels[g] = groups.labels[iFirst + g];
        range.xValues[g] = groups.xValues[iFirst + g];
        range.yValues[g] = groups.yValues[iFirst + g];
      }
      range.resetMatrix();
      out(i + 1) = estimate_RangeAutocorrelation(
          iErrorModel, range, dPhiGiven, userLocations, bUseUserLocations,
          iModelType, iNumKinkmarks, iFitMember8, iSplineCode, dJumpLocation,
          iMinObsAtEnds, iMinObsBetween, iGridPointsBetween, dAlpha);
    }
  });
}

double estimate_RangeAutocorrelation(
    int32_t iErrorModel, const KMSeriesSet& range, double dPhiGiven,
    const NEWMAT::ColumnVector& userLocations, bool bUseUserLocations,
    int32_t iModelType, int32_t iNumKinkmarks, int32_t iFitMember8,
    int32_t iSplineCode, double dJumpLocation, int32_t iMinObsAtEnds,
    int32_t iMinObsBetween, int32_t iGridPointsBetween, double dAlpha) {
  return WithStandardCatch([&]() -> double {
    if (iErrorModel == kErrorModelGiven) return dPhiGiven;
    if (iErrorModel != kErrorModelEstimated) return 0.0;

    // A plain fit of the range: identity weights, no jump, no intervals.
    const NEWMAT::Matrix identity =
        make_IdentityMatrix(count_TotalRows(range.xValues));
    KMRegFit fit;
    fit.seriesSet = range;
    fit.weight = identity;
    fit.covariance = identity;
    fit.transform = identity;
    fit.backTransform = identity;
    fit.counts.reset();
    fit.xShift = 0.0;
    fit.modelType = iModelType;
    fit.k = iNumKinkmarks;
    fit.iMember8 = iFitMember8;
    fit.splineCode = iSplineCode;
    fit.jump = 0;
    fit.jumpLocation = dJumpLocation;
    fit.minObsAtEnds = iMinObsAtEnds;
    fit.minObsBetween = iMinObsBetween;
    fit.gridPointsBetween = iGridPointsBetween;
    fit.iMember12 = 0;
    fit.userLocations = userLocations;
    fit.useUserLocations = bUseUserLocations;
    fit.alpha = dAlpha;
    fit.tauAlpha = kUnusedLevel;
    fit.apcAlpha = kUnusedLevel;
    fit.aapcAlpha = kUnusedLevel;
    fit.dMember15 = kUnusedLevel;

    // Only the residuals of the best placement are needed: skip the refit.
    KMRegFitRecord record;
    BaseKMRegModel::calcForResampling(record, fit, 1, std::string("NO"));
    return calc_LagOneAutocorrelation(record.residuals);
  });
}

double calc_LagOneAutocorrelation(
    const OneDimensionArray<NEWMAT::ColumnVector>& residuals) {
  return WithStandardCatch([&]() -> double {
    const NEWMAT::ColumnVector e = stack_ColumnVectorArray(residuals);
    const int n = e.Nrows();
    double A = 0.0;
    double B = 0.0;
    for (int i = 1; i < n; ++i) {
      A += e(i) * e(i);
      B += e(i) * e(i + 1);
    }
    const double dRatio = A > 0.0 ? B / A : 0.0;
    // Bounded to [-1, 1] like any correlation: beyond -1 the weight
    // matrices would take the root of a negative 1 - r^2. NaN passes
    // through.
    if (dRatio > 1.0) return 1.0;
    return dRatio < -1.0 ? -1.0 : dRatio;
  });
}
