// The criterion codes of the best-model fit, and the kinkmark weight c of
// its weighted information criteria, shared by the fit and its tests.
#ifndef KM_MODELS_INTERNAL_KINKMARKWEIGHT_H
#define KM_MODELS_INTERNAL_KINKMARKWEIGHT_H

#include <newmat.h>

#include <cstdint>

#include "models/KMRegFitRecord.h"
#include "models/KMSeriesSet.h"

namespace km_models_internal {

// Criterion codes of the best-model input record (criterionCode), 0 to 9;
// codes 6 to 9 weigh the kinkmarks.
constexpr int32_t kPermutationTests = 0;
constexpr int32_t kLogGamma = 1;
constexpr int32_t kBIC = 2;
constexpr int32_t kLWZ = 3;
constexpr int32_t kBIC3 = 4;
constexpr int32_t kBICWithDeltaStar = 5;
constexpr int32_t kWeightedBICMin = 6;
constexpr int32_t kWeightedBICMax = 7;
constexpr int32_t kAdditiveBICSum = 8;
constexpr int32_t kAdditiveBICPrefixMinima = 9;

// The weight c of codes 6 to 9: the model statistic of the record's
// kinkmark locations, reduced as the code says (the least, the largest,
// the sum or the sum of prefix minima). Locations are moved onto the
// shifted x scale of `series` first (by dShift). A model without kinkmarks
// has c = 0.
// Throws: the KmException of BestKMRegModel::end_ProcessForMissingLocations
// when the record has kinkmarks (k > 0) but no locations.
double WeightOfKinkmarks(int32_t code, const KMRegFitRecord& record,
                         const KMSeriesSet& series, const NEWMAT::Matrix& T,
                         double dShift);

}  // namespace km_models_internal

#endif  // KM_MODELS_INTERNAL_KINKMARKWEIGHT_H
