// BestKMRegModel: the best-model fit and model selection of the framework.
#ifndef KM_MODELS_BESTKMREGMODEL_H
#define KM_MODELS_BESTKMREGMODEL_H

#include <cstddef>

#include "foundation/OneDimensionArray.h"
#include "models/KMRegFitRecord.h"

// BestKMRegModel fits one series set with every number of kinkmarks in a
// range and chooses the best number. It keeps no state of its own: every
// method is static and works only on the records it is given, so fits of
// different cohorts may run at the same time on several threads.
//
// Each group of methods below is defined in its own BestKMRegModel<Concern>
// source file. New groups are added as their own commented sections.
class BestKMRegModel {
 public:
  // ---- Fit records (BestKMRegModelRecords.cpp) ----

  // Calls KMRegFitRecord::resetFit on every record of the array, so each
  // keeps its results but no longer its fit's data and design.
  static void resetFitRecord(OneDimensionArray<KMRegFitRecord>& records);
  // ---- end of fit records ----
};

#endif  // KM_MODELS_BESTKMREGMODEL_H
