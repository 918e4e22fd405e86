// BestKMRegModel: select_FinalModel.
#include "models/BaseKMRegModel.h"
#include "models/BestKMRegModel.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

// The first candidate is kept when both statistics are at most this ...
constexpr double kLowerThreshold = 10.0;
// ... or when they differ by more than this.
constexpr double kDifferenceThreshold = 200.0;

}  // namespace

void BestKMRegModel::select_FinalModel(
    int32_t& selected, const OneDimensionArray<NEWMAT::ColumnVector>& values,
    const NEWMAT::Matrix& W, const NEWMAT::ColumnVector& betaFirst,
    const NEWMAT::ColumnVector& betaSecond,
    const NEWMAT::ColumnVector& tauFirst, const NEWMAT::ColumnVector& tauSecond,
    int32_t A, int32_t B, double dMSE, bool& bFirstKept, double& s1, double& s2,
    double& dLowerThreshold, double& dDifferenceThreshold) {
  WithStandardCatch([&] {
    bFirstKept = false;
    s1 = BaseKMRegModel::calc_ModelStatistic(values, W, betaFirst, tauFirst,
                                             dMSE);
    s2 = BaseKMRegModel::calc_ModelStatistic(values, W, betaSecond, tauSecond,
                                             dMSE);
    // Unordered statistics (a NaN among them) take s1 for both.
    double hi = s1;
    double lo = s1;
    if (s1 < s2) {
      hi = s2;
    } else if (s2 < s1) {
      lo = s2;
    }
    dLowerThreshold = kLowerThreshold;
    dDifferenceThreshold = kDifferenceThreshold;
    if (hi <= kLowerThreshold || hi - lo > kDifferenceThreshold) {
      selected = A;
      bFirstKept = true;
    } else {
      selected = B;
    }
  });
}
