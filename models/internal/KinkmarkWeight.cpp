// WeightOfKinkmarks: the kinkmark weight of the weighted criteria.
#include "models/internal/KinkmarkWeight.h"

#include <newmat.h>

#include "models/BestKMRegModel.h"
#include "models/ModelNumerics.h"

namespace km_models_internal {

double WeightOfKinkmarks(int32_t code, const KMRegFitRecord& record,
                         const KMSeriesSet& series, const NEWMAT::Matrix& T,
                         double dShift) {
  if (record.tau.Nrows() == 0) {
    if (record.k != 0) BestKMRegModel::end_ProcessForMissingLocations();
    return 0.0;
  }
  NEWMAT::ColumnVector tau = record.tau;
  if (dShift != 0.0) tau -= dShift;
  NEWMAT::ColumnVector statistic(tau.Nrows());
  statistic = 0.0;
  // The statistic pairs each series' x values with that series' responses
  // (the stacked responses of the fitting data have the shape of one
  // series only).
  BestKMRegModel::calc_ModelStatistic(statistic, series.xValues, series.yValues,
                                      T, tau);
  int iIndex = 0;
  switch (code) {
    case kWeightedBICMin:
      return find_MinWithIndex(iIndex, statistic);
    case kWeightedBICMax:
      return find_MaxWithIndex(iIndex, statistic);
    case kAdditiveBICSum:
      return statistic.Sum();
    default:
      return sum_PrefixMinima(statistic);
  }
}

}  // namespace km_models_internal
