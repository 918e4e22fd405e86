// ForAllKinkMKAction: run_Fit.
#include "models/ForAllKinkMKAction.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

void ForAllKinkMKAction::run_Fit(const KMSeriesSet& seriesSet,
                                 KinkMKFitResult& result) {
  WithStandardCatch([&] {
    // The local engine is destroyed on every path, also when the fit throws.
    ForAllKinkMKAction action;
    action.seriesSet = seriesSet;
    action.settings = result.settings;
    action.fit_KinkMKModel(result);
    result.fitStats = action.fitStats;
  });
}
