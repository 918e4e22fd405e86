// ForAllKinkMKAction: construction, copying, init and clear.
#include "models/ForAllKinkMKAction.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

// The members' own constructors give the start values (settings at their
// defaults, fitStats reset, everything else empty).
ForAllKinkMKAction::ForAllKinkMKAction() = default;

ForAllKinkMKAction::ForAllKinkMKAction(const ForAllKinkMKAction& src) {
  *this = src;
}

ForAllKinkMKAction& ForAllKinkMKAction::operator=(
    const ForAllKinkMKAction& src) {
  WithStandardCatch([&] {
    if (this == &src) return;
    workMatrix = src.workMatrix;
    seriesSet = src.seriesSet;
    settings = src.settings;
    fitResults = src.fitResults;
    modelScores = src.modelScores;
    vectorSets = src.vectorSets;
    fitResultSets = src.fitResultSets;
    values = src.values;
    modelScoreSets = src.modelScoreSets;
    fitStats = src.fitStats;
  });
  return *this;
}

ForAllKinkMKAction::~ForAllKinkMKAction() { clear(); }

void ForAllKinkMKAction::init() {
  WithStandardCatch([&] {
    workMatrix.CleanUp();
    settings.setDefaults();
    fitStats.reset();
  });
}

void ForAllKinkMKAction::clear() {
  WithStandardCatch([&] {
    workMatrix.CleanUp();
    seriesSet.clear();
    seriesSet.resetMatrix();
    settings.clear();
    settings.setDefaults();
    fitResults.Clear();
    modelScores.Clear();
    for (int i = 0; i < vectorSets.GetSize(); ++i) vectorSets[i].Clear();
    vectorSets.Clear();
    fitResultSets.Clear();
    values.Clear();
    modelScoreSets.Clear();
    fitStats.clear();
  });
}
