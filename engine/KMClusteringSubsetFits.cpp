// The clustering's subset fits: the series and weighting matrices of each
// candidate subset of groups, its joint and per-group best-model fits, and
// the reuse of every group's own fit across the subsets that hold it.
#include <newmat.h>

#include <algorithm>
#include <cstdint>

#include "engine/KMClusteringAnalysis.h"
#include "foundation/KmProgressInterface.h"
#include "models/BestKMRegModel.h"
#include "models/GroupAutocorrelation.h"
#include "models/MatrixBuilders.h"
#include "models/WeightMatrices.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// The weighting matrices are built for independent errors.
constexpr int32_t kIndependentErrors = 0;

int32_t CountRows(const KMSeriesSet& series, int32_t iFirst, int32_t iLast) {
  int32_t iRows = 0;
  for (int32_t g = iFirst; g <= iLast; ++g) iRows += series.xValues[g].Nrows();
  return iRows;
}

// Range 0 is every series of bestFit, range j its j-th series alone.
void FitRange(KMClusterFit& fit, MTRandomGenerator& generator,
              const KMGroupWeights& weights, const KMBestModelFit& bestFit,
              int32_t j) {
  const KMSeriesSet& all = bestFit.seriesSet;
  const int32_t m = all.labels.GetSize();
  const int32_t iFirst = j == 0 ? 0 : j - 1;
  const int32_t iLast = j == 0 ? m - 1 : j - 1;
  KMBestModelFit range = bestFit;
  KMSeriesSet& series = range.seriesSet;
  series.clear();
  series.labels.SetSize(iLast - iFirst + 1);
  series.xValues.SetSize(iLast - iFirst + 1);
  series.yValues.SetSize(iLast - iFirst + 1);
  for (int32_t g = iFirst; g <= iLast; ++g) {
    series.labels[g - iFirst] = all.labels[g];
    series.xValues[g - iFirst] = all.xValues[g];
    series.yValues[g - iFirst] = all.yValues[g];
  }
  const int32_t iOffset = CountRows(all, 0, iFirst - 1);
  const int32_t iRows = CountRows(all, iFirst, iLast);
  if (all.covariance.Nrows() >= iOffset + iRows && iRows > 0) {
    series.covariance =
        all.covariance.SymSubMatrix(iOffset + 1, iOffset + iRows);
  } else {
    series.resetMatrix();
  }
  range.weight = weights.weight[j];
  range.covariance = weights.covariance[j];
  range.transform = weights.transform[j];
  range.backTransform = weights.backTransform[j];
  range.generator = generator;
  BestKMRegModel::fit_BestKMRegModel(fit, range);
  generator = fit.generator;
}

// The residual sum of fit's model with c kinkmarks.
double ValueAt(const KMClusterFit& fit, int32_t c, int32_t a) {
  return fit.records[c - a].rss;
}

int32_t SingletonIndex(int32_t g, const BinomialTable& table,
                       const KMClusteringSetup& setup, int32_t n) {
  KMGroupList single;
  single.SetSize(1);
  single[0] = g;
  return get_SubsetIndex(single, table, setup.groupOrder, n);
}

// Gives every group of subset that has no fits of its own yet the fit it
// received alone within this subset.
void ShareGroupFits(OneDimensionArray<KMClusterFitSet>& fitSets,
                    const KMClusterFitSet& fitted, const KMGroupList& subset,
                    const BinomialTable& table, const KMClusteringSetup& setup,
                    int32_t n) {
  for (int32_t j = 1; j <= subset.GetSize(); ++j) {
    KMClusterFitSet& single =
        fitSets[SingletonIndex(subset[j - 1], table, setup, n) - 1];
    if (single.fits.GetSize() > 0) continue;
    const KMClusterFit& fit = fitted.fits[j];
    single.fits.SetSize(2);
    single.fits[0] = fit;
    single.fits[1] = fit;
    single.kMin = fitted.kMin;
    single.kMax = fitted.kMax;
    single.commonK = fit.selectedK;
    single.criterionValues.ReSize(2);
    single.criterionValues = ValueAt(fit, fit.selectedK, fitted.kMin);
  }
}

}  // namespace

void build_SeriesSetForSubset(KMSeriesSet& out, KMPartition& positions,
                              const KMGroupList& subset,
                              const KMSeriesSet& allGroups) {
  WithStandardCatch([&] {
    const int32_t m = subset.GetSize();
    out.clear();
    out.resetMatrix();
    out.labels.SetSize(m);
    out.xValues.SetSize(m);
    out.yValues.SetSize(m);
    positions.SetSize(m);
    for (int32_t j = 0; j < m; ++j) {
      const int32_t g = subset[j] - 1;
      out.labels[j] = allGroups.labels[g];
      out.xValues[j] = allGroups.xValues[g];
      out.yValues[j] = allGroups.yValues[g];
      const int32_t iOffset = CountRows(allGroups, 0, g - 1);
      const int32_t iRows = allGroups.xValues[g].Nrows();
      positions[j].SetSize(iRows);
      for (int32_t t = 0; t < iRows; ++t) positions[j][t] = iOffset + t + 1;
    }
    const Matrix mFull = allGroups.covariance;
    const Matrix mSubset = reorder_MatrixByPartition(positions, mFull);
    out.covariance.ReSize(mSubset.Nrows());
    out.covariance << mSubset;
  });
}

void fit_GroupSubset(KMGroupWeights& weights, KMSeriesSet& subsetSeries,
                     const KMGroupList& subset,
                     const KMClusteringSetup& setup) {
  WithStandardCatch([&] {
    KMPartition positions;
    build_SeriesSetForSubset(subsetSeries, positions, subset, setup.seriesSet);
    // The weighting matrices index the subset's own observations: group j
    // of the subset follows the groups before it.
    KMPartition localRows;
    localRows.SetSize(positions.GetSize());
    int32_t iNext = 1;
    for (int32_t j = 0; j < positions.GetSize(); ++j) {
      localRows[j].SetSize(positions[j].GetSize());
      for (int32_t t = 0; t < positions[j].GetSize(); ++t) {
        localRows[j][t] = iNext++;
      }
    }
    ColumnVector variances(subsetSeries.covariance.Nrows());
    for (int32_t r = 1; r <= variances.Nrows(); ++r) {
      variances(r) = subsetSeries.covariance(r, r);
    }
    ColumnVector rhos;
    estimate_GroupAutocorrelations(
        rhos, kIndependentErrors, 0.0, subsetSeries, setup.userLocations,
        setup.useUserLocations, setup.modelType, setup.bestModelFit.kMax,
        setup.counter, setup.splineCode, setup.value, setup.minObsAtEnds,
        setup.minObsBetween, setup.gridPointsBetween, setup.kinkmarkAlpha);
    build_GroupWeightMatrices(weights.weight, weights.covariance,
                              weights.transform, weights.backTransform,
                              localRows, variances, rhos, kIndependentErrors);
  });
}

void fit_SubsetRanges(KMClusterFitSet& fitSet, MTRandomGenerator& generator,
                      const KMGroupWeights& weights,
                      const KMBestModelFit& bestFit) {
  WithStandardCatch([&] {
    const int32_t a = bestFit.kMin;
    const int32_t m = bestFit.seriesSet.labels.GetSize();
    const bool bKept = fitSet.fits.GetSize() == m + 1;
    if (!bKept) fitSet.fits.SetSize(m + 1);
    fitSet.kMin = a;
    fitSet.kMax = bestFit.kMax;
    for (int32_t j = 0; j <= m; ++j) {
      const bool bFitted = bKept && fitSet.fits[j].fitted != 0;
      if (m == 1 && j == 1) {
        if (!bFitted) fitSet.fits[1] = fitSet.fits[0];
        continue;
      }
      if (!bFitted) FitRange(fitSet.fits[j], generator, weights, bestFit, j);
    }
    int32_t c = fitSet.fits[0].selectedK;
    for (int32_t j = 1; j <= m; ++j) {
      c = std::max(c, fitSet.fits[j].selectedK);
    }
    fitSet.commonK = c;
    fitSet.criterionValues.ReSize(m + 1);
    for (int32_t j = 0; j <= m; ++j) {
      fitSet.criterionValues(j + 1) = ValueAt(fitSet.fits[j], c, a);
    }
    fitSet.generator = generator;
  });
}

void fit_EachGroup(OneDimensionArray<KMClusterFit>& fits,
                   MTRandomGenerator& generator, const KMGroupWeights& weights,
                   const KMBestModelFit& bestFit) {
  WithStandardCatch([&] {
    const int32_t m = bestFit.seriesSet.labels.GetSize();
    fits.SetSize(m);
    for (int32_t g = 1; g <= m; ++g) {
      FitRange(fits[g - 1], generator, weights, bestFit, g);
    }
  });
}

void fit_SubsetCandidate(KMSubsetFitResult& result,
                         const KMSubsetFitSetup& setup) {
  WithStandardCatch([&] {
    KMBestModelFit fit = setup.bestModelFit;
    fit.seriesSet = setup.seriesSet;
    fit.weight = setup.matrix1;
    fit.covariance = setup.matrix2;
    fit.transform = setup.matrix3;
    fit.backTransform = setup.matrix4;
    fit.alpha = setup.level;
    MTRandomGenerator generator = setup.bestModelFit.generator;
    fit_SubsetRanges(result.fitSet, generator, setup.weights, fit);
    result.generator = generator;
    for (int32_t j = 0; j < result.fitSet.fits.GetSize(); ++j) {
      BestKMRegModel::resetFitRecord(result.fitSet.fits[j].records);
    }
  });
}

void fit_AllGroupSubsets(OneDimensionArray<KMClusterFitSet>& fitSets,
                         MTRandomGenerator& generator,
                         const BinomialTable& table,
                         const KMClusteringSetup& setup,
                         KmProgressInterface* pProgress) {
  WithStandardCatch([&] {
    const int32_t n = setup.seriesSet.labels.GetSize();
    // n is capped by the analysis, so the counts fit an int.
    const int32_t iTotal = is_OrderedGroupOrder(setup.groupOrder)
                               ? n * (n + 1) / 2
                               : static_cast<int32_t>((1u << n) - 1u);
    fitSets.SetSize(iTotal);
    KMUnorderedSubsetState state;
    for (int32_t i = 1;; ++i) {
      const KMGroupList subset =
          get_SubsetByIndex(state, setup.groupOrder, i, n);
      if (subset.GetSize() == 0) break;
      if (pProgress != nullptr && pProgress->IsCancelled()) return;
      const int32_t m = subset.GetSize();

      KMSubsetFitSetup fitSetup;
      fit_GroupSubset(fitSetup.weights, fitSetup.seriesSet, subset, setup);
      fitSetup.bestModelFit = setup.bestModelFit;
      fitSetup.bestModelFit.generator = generator;
      fitSetup.matrix1 = fitSetup.weights.weight[0];
      fitSetup.matrix2 = fitSetup.weights.covariance[0];
      fitSetup.matrix3 = fitSetup.weights.transform[0];
      fitSetup.matrix4 = fitSetup.weights.backTransform[0];
      fitSetup.level = setup.subsetLevel;

      // Groups fitted alone before are not fitted again.
      KMSubsetFitResult result;
      result.fitSet.fits.SetSize(m + 1);
      for (int32_t j = 1; j <= m; ++j) {
        const KMClusterFitSet& single =
            fitSets[SingletonIndex(subset[j - 1], table, setup, n) - 1];
        if (single.fits.GetSize() > 0) result.fitSet.fits[j] = single.fits[0];
      }
      if (m == 1) result.fitSet.fits[0] = result.fitSet.fits[1];

      fit_SubsetCandidate(result, fitSetup);
      generator = result.generator;
      const int32_t iIndex =
          get_SubsetIndex(subset, table, setup.groupOrder, n);
      fitSets[iIndex - 1] = result.fitSet;
      ShareGroupFits(fitSets, result.fitSet, subset, table, setup, n);
      if (pProgress != nullptr) {
        pProgress->SetPosition(1 + 98 * i / std::max(1, iTotal));
      }
    }
  });
}
