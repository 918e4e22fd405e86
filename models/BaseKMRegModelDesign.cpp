// Holds BaseKMRegModel::calculateX0AllXAllY and
// prepare_BaseKMRegModel_FittingData: the design over the candidate
// locations and its weighted cross-products.
//
// The model of g series with N = n_1 + ... + n_g stacked observations and
// k kinkmarks tau_1 < ... < tau_k is the continuous piecewise-linear line
//
//   y = a_j + b x + sum_{i=1..k} d_i (x - tau_i)+      (series j)
//
// with (u)+ = u for u > 0, else 0. Its design matrix X has the columns, in
// this order (p base columns):
//   1..p-1  the intercepts: for model type 1 one column of 1.0 (p = 2);
//           otherwise one indicator column per series (p = g + 1);
//   p       x;
//   p+i     (x - tau_i)+, i = 1..k (0 at and below tau_i);
//   then    with the jump switch, the step 1.0 for x >= J, else 0.0;
//   then    with spline code 2 ("CubicSpline"), the squares of x and of
//           each kinkmark column, then the cubes of the same (2k + 2).
// The coefficients follow the same order: beta(p) is the slope of the
// first segment and beta(p + i) the change of slope at tau_i, so segment
// i + 1 has the slope beta(p) + ... + beta(p + i).
//
// The weighted fit with the N x N weighting matrix W minimises
// (y - X b)' W (y - X b); for any subset of the columns of X the residual
// sum of squares is y'Wy - b' (X'Wy) with b = (X'WX)^-1 X'Wy restricted to
// those columns. prepare_BaseKMRegModel_FittingData forms X'W, X'WX, X'WY
// and y'Wy once with one kinkmark column per candidate location, and the
// location search scores every placement from them.
#include <newmat.h>

#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFittingData.h"
#include "models/internal/DesignColumns.h"
#include "models/internal/StandardCatch.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr char kCalculateX0Source[] = "BaseKMRegModel::calculateX0AllXAllY()";
constexpr char kPrepareSource[] =
    "BaseKMRegModel::prepare_BaseKMRegModel_FittingData()";

}  // namespace

void BaseKMRegModel::calculateX0AllXAllY(
    Matrix& X, ColumnVector& allX, ColumnVector& allY,
    const OneDimensionArray<ColumnVector>& xValues,
    const OneDimensionArray<ColumnVector>& yValues, int32_t p,
    const ColumnVector& tau, int32_t modelType, int32_t jump,
    double jumpLocation, int32_t splineCode) {
  WithMatrixErrorsAsKm(kCalculateX0Source, [&] {
    km_models_internal::WithStandardCatch([&] {
      km_models_internal::BuildKinkmarkDesign(
          X, allX, allY, xValues, yValues, p, tau, modelType, jump,
          jumpLocation, splineCode, kCalculateX0Source);
    });
  });
}

void BaseKMRegModel::prepare_BaseKMRegModel_FittingData(
    KMRegFitMatrices& fittingData, const KMSeriesSet& seriesSet,
    const OneDimensionArray<ColumnVector>& extraResponses,
    const ColumnVector& userLocations, bool useUserLocations, int32_t modelType,
    int32_t jump, double jumpLocation, int32_t a, int32_t b, int32_t c,
    int32_t splineCode) {
  WithMatrixErrorsAsKm(kPrepareSource, [&] {
    km_models_internal::WithStandardCatch([&] {
      // 1. The candidate grid.
      KMRegFittingData grid;
      grid.xValues = seriesSet.xValues;
      grid.settings.userLocations = userLocations;
      grid.settings.useUserLocations = useUserLocations;
      grid.settings.minObsAtEnds = a;
      grid.settings.minObsBetween = b;
      grid.settings.gridPointsBetween = c;
      grid.fill_FittingDataArrays();
      fittingData.candidates = grid.candidates;
      fittingData.candidateIndices = grid.candidateIndices;
      fittingData.distinctX = grid.distinctX;

      // 2. Base columns.
      const int32_t g = seriesSet.xValues.GetSize();
      fittingData.p = modelType == 1 ? 2 : g + 1;

      // 3. The design with one kinkmark column per candidate.
      km_models_internal::BuildKinkmarkDesign(
          fittingData.X, fittingData.allX, fittingData.allY, seriesSet.xValues,
          seriesSet.yValues, fittingData.p, fittingData.candidates, modelType,
          jump, jumpLocation, splineCode, kPrepareSource);
      const int32_t N = fittingData.allY.Nrows();
      if (N == 0) {
        GenerateKmException("The series set holds no observations to fit.",
                            kPrepareSource);
      }

      // 4. Design-side products, once for every placement and response.
      // The library leaks the temporaries of a product that fails, so the
      // weighting matrix is checked before it is used.
      const Matrix& W = fittingData.weight;
      if (W.Nrows() != N || W.Ncols() != N) {
        GenerateKmExceptionF(
            "The weighting matrix is %d x %d; the series set has %d "
            "observations.",
            kPrepareSource, W.Nrows(), W.Ncols(), N);
      }
      fittingData.XtW = fittingData.X.t() * W;
      fittingData.XtWX = fittingData.XtW * fittingData.X;

      // 5. The responses: the observed one, then the extra ones from
      // entry 1 on (entry 0 of the extra array stands for the observed).
      const int32_t m =
          extraResponses.GetSize() >= 2 ? extraResponses.GetSize() : 1;
      fittingData.responses.Resize(m);
      fittingData.yWy.Resize(m);
      Matrix Y(N, m);
      for (int i = 0; i < m; ++i) {
        const ColumnVector& y = i == 0 ? fittingData.allY : extraResponses[i];
        if (y.Nrows() != N) {
          GenerateKmExceptionF(
              "Response %d has %d entries; the series set has %d "
              "observations.",
              kPrepareSource, i + 1, y.Nrows(), N);
        }
        fittingData.responses[i] = y;
        fittingData.yWy[i] = (y.t() * W * y).AsScalar();
        Y.Column(i + 1) = y;
      }

      // 6. One column of X'WY per response.
      fittingData.XtWY = fittingData.XtW * Y;
    });
  });
}
