// BaseKMRegModel: calcForResampling (search, counts, refit and summaries of
// one data set).
#include <algorithm>

#include "foundation/KmException.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFit.h"
#include "models/KMRegFitRecord.h"
#include "models/ModelNumerics.h"
#include "models/PerfectFit.h"

namespace {

const char kSource[] = "BaseKMRegModel::calcForResampling()";

// The mode in which the search also fits every simulated response.
const char kResamplingMode[] = "CalcForResampling";

int32_t CountObservations(const KMSeriesSet& set) {
  int32_t n = 0;
  for (int32_t j = 0; j < set.xValues.GetSize(); ++j) {
    n += set.xValues[j].Nrows();
  }
  return n;
}

}  // namespace

void BaseKMRegModel::calcForResampling(KMRegFitRecord& record,
                                       const KMRegFit& fitTemplate,
                                       int32_t iSkipRefit, std::string sMode) {
  // Without observations there is no smallest x to measure from, and the
  // search would run on nothing.
  if (CountObservations(fitTemplate.seriesSet) == 0) {
    GenerateKmException("The data set of the fit holds no observations.",
                        kSource);
  }

  // 1. Working copies: the search runs on a shifted data set, while the
  // working template keeps the data as given.
  KMSeriesSet workingSet = fitTemplate.seriesSet;
  const OneDimensionArray<NEWMAT::ColumnVector> responses =
      fitTemplate.responses;
  KMRegFit working = fitTemplate;

  // 2. A jump at or beyond the ends of the data cannot be estimated.
  const double dXMin = find_MinOfVectorArray(workingSet.xValues);
  const double dXMax = find_MaxOfVectorArray(workingSet.xValues);
  const bool bJump = working.jump != 0 && dXMin < working.jumpLocation &&
                     working.jumpLocation < dXMax;
  if (!bJump) working.jump = 0;

  // 3. Measure x from its smallest value (the numerics of the design are
  // better near the origin).
  if (dXMin != 0.0) {
    shift_AllVectors(workingSet.xValues, -dXMin);
    working.jumpLocation -= dXMin;
    working.userLocations -= dXMin;
  }

  // 4. The design: the caller's prepared one, else built here.
  if (working.design.X.Nrows() < 1) {
    working.design.weight = fitTemplate.weight;
    working.design.covariance = fitTemplate.covariance;
    working.design.transform = fitTemplate.transform;
    working.design.backTransform = fitTemplate.backTransform;
    prepare_BaseKMRegModel_FittingData(
        working.design, workingSet, responses, working.userLocations,
        working.useUserLocations, working.modelType, working.jump,
        working.jumpLocation, working.minObsAtEnds, working.minObsBetween,
        working.gridPointsBetween, working.splineCode);
  }
  const KMRegFitMatrices& design = working.design;

  // 5. The stacked x values and the design's x column.
  record.stackedX = design.allX;
  record.stackedDesignX = design.X.Column(design.p);

  // 6. The search, on x measured from its smallest value.
  const int32_t k = std::max(working.k, 0);
  findTheBestTau(record, workingSet.xValues, design.responses,
                 design.candidates, design.candidateIndices, k, design.p,
                 working.tauAlpha, working.jump, design.weight, design.XtWX,
                 design.X, design.XtWY, design.yWy, working.splineCode, sMode);

  // A search that placed no kinkmarks (more kinkmarks than candidate
  // locations, or no admissible placement) leaves no coefficients to move,
  // refit or summarise: the record stays unfitted (searchDone 0, RSS
  // +infinity) instead of failing on an empty coefficient vector.
  const bool bFitted = k <= design.candidates.Nrows() &&
                       design.responses.GetSize() > 0 && record.searchDone != 0;

  // 7. Counts. Two parameters per kinkmark: its slope change and its
  // location.
  const int32_t p0 = design.p;
  const int32_t n = design.X.Nrows();
  const int32_t p = p0 + 2 * k + (bJump ? 1 : 0);
  record.perfectFit =
      design.responses.GetSize() > 0 &&
      record.rss <= calc_PerfectFitBound(design.responses[0], design.weight);
  record.p = p;
  record.residualDF = static_cast<double>(n - p);
  if (n - p > 0) record.mse = record.rss / static_cast<double>(n - p);
  record.n = n;

  // 8. The record's fit: the working template (data as given, settings
  // shifted) without its design.
  const NEWMAT::Matrix mWeighting = fitTemplate.transform;
  working.design.clear();
  record.fit = working;
  record.fit.design.clear();

  // 9. Back to the scale of the data as given.
  if (bFitted && dXMin != 0.0) update_ResampledResponse(record, dXMin);

  // 10. The refit at the found locations and its summaries.
  if (bFitted && iSkipRefit == 0) {
    shift_AllVectors(record.fit.seriesSet.xValues, fitTemplate.xShift);
    update_ResampledResponse(record, fitTemplate.xShift);
    fit_BaseKMRegModel(record);
    calc_APC_AAPC_Results(record.apcTable, record.rangeList, record.aapcTable,
                          record.fitStats.segmentTables, record.fitStats.theta,
                          p0 - 1, k, record.fitStats.df, record.stackedX,
                          record.tau, fitTemplate.apcAlpha,
                          fitTemplate.aapcAlpha);
    const NEWMAT::ColumnVector y = stack_ColumnVectors(workingSet.yValues);
    calc_GoodnessOfFit(record, record.fittedValues, record.residuals, y,
                       mWeighting, p);
  }

  // 11. The segment slopes of every scored response.
  if (bFitted && sMode == kResamplingMode) {
    prepare_ResamplingData(record.responseSlopes, p0 - 1, k,
                           record.responseBetas);
  }

  // 12. Keep the results, drop the data and design.
  record.resetFit();
}
