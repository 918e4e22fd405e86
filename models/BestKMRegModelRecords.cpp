// BestKMRegModel: resetFitRecord.
#include "models/BestKMRegModel.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

void BestKMRegModel::resetFitRecord(
    OneDimensionArray<KMRegFitRecord>& records) {
  WithStandardCatch([&] {
    for (int i = 0; i < records.GetSize(); ++i) records[i].resetFit();
  });
}
