// Holds ForAllKinkMKAction::calculateX0AllXAllY and
// ForAllKinkMKAction::calc_WeightMatrices: the all-columns design and the
// weighting matrices of the engine's fits.
#include <newmat.h>

#include "foundation/KmException.h"
#include "models/ForAllKinkMKAction.h"
#include "models/WeightMatrices.h"
#include "models/internal/DesignColumns.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr char kCalculateX0Source[] =
    "ForAllKinkMKAction::calculateX0AllXAllY()";

}  // namespace

void ForAllKinkMKAction::calculateX0AllXAllY(
    int32_t p, const OneDimensionArray<ColumnVector>& groupX,
    const OneDimensionArray<ColumnVector>& groupY, KMRegModelSettings& settings,
    const ColumnVector& grid, Matrix& allX, ColumnVector& stackedX,
    ColumnVector& stackedY) {
  WithStandardCatch([&] {
    // The base design X0 followed by one hinge column per grid location and
    // the jump step is the kinkmark design with tau = the whole grid, no
    // spline columns.
    km_models_internal::BuildKinkmarkDesign(
        allX, stackedX, stackedY, groupX, groupY, p, grid, settings.modelType,
        settings.jump, settings.jumpLocation, 0, kCalculateX0Source);
    settings.secondDesign = allX;
    for (int i = 1; i <= allX.Nrows(); ++i) {
      settings.secondDesign(i, p) += settings.xOffset;
    }
  });
}

void ForAllKinkMKAction::calc_WeightMatrices(Matrix& P1, Matrix& P2,
                                             Matrix& omega, Matrix& V,
                                             const ColumnVector& variances,
                                             double r, int32_t errorType) {
  WithStandardCatch([&] {
    calc_WeightMatrices_ByErrorType(omega, V, P1, P2, variances, r, errorType);
  });
}
