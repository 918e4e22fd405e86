// BestKMRegModel: fit_BestKMRegModel, end_ProcessForMissingLocations.
#include <newmat.h>

#include <exception>
#include <limits>
#include <string>

#include "foundation/KmException.h"
#include "models/BaseKMRegModel.h"
#include "models/BestKMRegModel.h"
#include "models/ModelNumerics.h"
#include "models/internal/KinkmarkWeight.h"
#include "models/internal/StandardCatch.h"

namespace {

using km_models_internal::kAdditiveBICPrefixMinima;
using km_models_internal::kBIC;
using km_models_internal::kBIC3;
using km_models_internal::kBICWithDeltaStar;
using km_models_internal::kLogGamma;
using km_models_internal::kLWZ;
using km_models_internal::kPermutationTests;
using km_models_internal::kWeightedBICMax;
using km_models_internal::kWeightedBICMin;
using km_models_internal::WeightOfKinkmarks;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr const char kDeltaStarText[] = "kDeltaStar";
// The failure of a model that has kinkmarks but no locations.
constexpr const char kMissingLocationsText[] =
    "ERROR 1 in BestKMRegModel::fit_BestKMRegModel";

// The criterion value of one fitted model by the code (1 to 9).
double CriterionValue(int32_t code, const KMRegFitRecord& record,
                      const KMSeriesSet& series, const NEWMAT::Matrix& T,
                      double dShift) {
  // A perfect fit's residual sum is rounding: it scores as the logarithm of
  // an exact 0 would.
  if (record.perfectFit) return -kInfinity;
  switch (code) {
    case kLogGamma:
      return BestKMRegModel::calc_LogGammaCriterion(
          record.normalMatrix, record.k, record.n, record.rss);
    case kBIC:
    case kBICWithDeltaStar:
      return BestKMRegModel::calc_BICCriterion(record.p, record.n, record.rss);
    case kLWZ:
      return BestKMRegModel::calc_LWZCriterion(record.k, record.n, record.rss);
    case kBIC3:
      return BestKMRegModel::calc_BIC3Criterion(record.p, record.k, record.n,
                                                record.rss);
    case kWeightedBICMin:
    case kWeightedBICMax:
      return BestKMRegModel::calc_WeightedBICCriterion(
          record.k, record.n, record.rss,
          WeightOfKinkmarks(code, record, series, T, dShift));
    default:
      return BestKMRegModel::calc_AdditiveWeightedBICCriterion(
          record.k, record.n, record.rss,
          WeightOfKinkmarks(code, record, series, T, dShift));
  }
}

void FitBestModel(KMClusterFit& result, const KMBestModelFit& input) {
  int32_t code = input.criterionCode;
  if (input.selection == kDeltaStarText) code = kBICWithDeltaStar;
  if (code < kPermutationTests || code > kAdditiveBICPrefixMinima) {
    GenerateKmExceptionF("Unknown model selection criterion code %d.",
                         "BestKMRegModel::fit_BestKMRegModel()",
                         static_cast<int>(code));
  }
  if (input.kMin > input.kMax) {
    GenerateKmExceptionF(
        "The smallest number of kinkmarks (%d) exceeds the largest (%d).",
        "BestKMRegModel::fit_BestKMRegModel()", static_cast<int>(input.kMin),
        static_cast<int>(input.kMax));
  }
  const bool bDeltaStarRule = code == kBICWithDeltaStar;
  const int32_t kMin = input.kMin;
  const int32_t kMax = input.kMax;

  KMSeriesSet series = input.seriesSet;
  KMRegFit fitTemplate = input.templateFit;
  MTRandomGenerator generator = input.generator;

  // The jump stays only strictly inside the data; x is then measured from
  // its smallest value.
  const double xMin = find_MinOfVectorArray(series.xValues);
  const double xMax = find_MaxOfVectorArray(series.xValues);
  if (!(xMin < fitTemplate.jumpLocation && fitTemplate.jumpLocation < xMax))
    fitTemplate.jump = 0;
  double dShift = 0.0;
  if (xMin != 0.0) {
    dShift = xMin;
    BaseKMRegModel::shift_AllVectors(series.xValues, -xMin);
    fitTemplate.jumpLocation -= xMin;
    if (fitTemplate.userLocations.Nrows() > 0)
      fitTemplate.userLocations -= xMin;
  }

  const int32_t m = kMax - kMin + 1;
  OneDimensionArray<KMRegFitRecord> records;
  records.Resize(m);
  NEWMAT::ColumnVector criterionValues(m);
  criterionValues = kInfinity;
  NEWMAT::ColumnVector deltaStarValues(m);
  deltaStarValues = kInfinity;
  int32_t selected = -1;
  bool bPerfectFit = false;

  KMRegFitMatrices fittingData;
  fittingData.weight = input.weight;
  fittingData.covariance = input.covariance;
  fittingData.transform = input.transform;
  fittingData.backTransform = input.backTransform;
  BaseKMRegModel::prepare_BaseKMRegModel_FittingData(
      fittingData, series, OneDimensionArray<NEWMAT::ColumnVector>(),
      fitTemplate.userLocations, fitTemplate.useUserLocations,
      fitTemplate.modelType, fitTemplate.jump, fitTemplate.jumpLocation,
      fitTemplate.minObsAtEnds, fitTemplate.minObsBetween,
      fitTemplate.gridPointsBetween, fitTemplate.splineCode);

  double dBest = kInfinity;
  for (int32_t k = kMin; k <= kMax; ++k) {
    const int32_t i = k - kMin;
    KMRegFit fit = fitTemplate;
    fit.seriesSet = series;
    fit.responses = fittingData.responses;
    fit.weight = input.weight;
    fit.covariance = input.covariance;
    fit.transform = input.transform;
    fit.backTransform = input.backTransform;
    fit.design = fittingData;
    fit.xShift = dShift;
    fit.k = k;
    fit.alpha = input.alpha;
    KMRegFitRecord record;
    BaseKMRegModel::calcForResampling(record, fit, 0, "NO");

    if (record.perfectFit) {
      bPerfectFit = true;
      selected = k;
    }
    if (code != kPermutationTests) {
      const double dValue =
          CriterionValue(code, record, series, input.transform, dShift);
      criterionValues(i + 1) = dValue;
      // Strictly smaller: ties keep the smaller number of kinkmarks.
      if (k == kMin || dValue < dBest) {
        dBest = dValue;
        selected = k;
      }
    }
    if (bDeltaStarRule) {
      deltaStarValues(i + 1) = BestKMRegModel::calc_BIC3Criterion(
          record.p, record.k, record.n, record.rss);
    }
    records[i] = record;
  }

  OneDimensionArray<KMModelScoreRec> scores;
  if (code == kPermutationTests && !bPerfectFit) {
    OneDimensionArray<NEWMAT::ColumnVector> fitted;
    OneDimensionArray<NEWMAT::ColumnVector> residuals;
    fitted.Resize(m);
    residuals.Resize(m);
    NEWMAT::ColumnVector rss(m);
    for (int32_t i = 0; i < m; ++i) {
      fitted[i] = BaseKMRegModel::stack_ColumnVectors(records[i].fittedValues);
      residuals[i] = BaseKMRegModel::stack_ColumnVectors(records[i].residuals);
      rss(i + 1) = records[i].rss;
    }
    selected = BestKMRegModel::run_PermutationTests(
        generator, scores, fittingData, series.xValues, fitted, residuals, rss,
        kMax, kMin, input.alpha, input.N, fitTemplate.jump,
        fitTemplate.tauAlpha, fitTemplate.splineCode);
  }

  int32_t kDeltaStar = -1;
  if (bDeltaStarRule) {
    int iIndex = 1;
    find_MinWithIndex(iIndex, deltaStarValues);
    kDeltaStar = kMin - 1 + iIndex;
  }

  result.records = records;
  result.criterionValues = criterionValues;
  result.selectedK = selected;
  result.scores = scores;
  result.fitted = 1;
  result.generator = generator;
  result.dMember7 = 0.0;
  result.iMember7 = -1;
  result.kDeltaStarValues = deltaStarValues;
  result.kDeltaStarK = kDeltaStar;
  BestKMRegModel::resetFitRecord(result.records);
}

}  // namespace

void BestKMRegModel::fit_BestKMRegModel(KMClusterFit& result,
                                        const KMBestModelFit& input) {
  try {
    FitBestModel(result, input);
  } catch (KmException& e) {
    // The missing locations end the run with their own message.
    if (e.GetFailure() != KmFailure::kFitWithoutLocations) {
      e.AddStandardReport();
    }
    throw;
  }
}

void BestKMRegModel::end_ProcessForMissingLocations() {
  // Raised, not ended here: a run's other fits may still be working on the
  // pool threads, so the failure travels to the caller, which reports it
  // once every worker has stopped.
  KmException e(kMissingLocationsText, "BestKMRegModel");
  e.SetFailure(KmFailure::kFitWithoutLocations);
  throw e;
}
