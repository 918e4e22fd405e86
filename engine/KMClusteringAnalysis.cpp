// The clustering analysis: run_ClusteringAnalysis, the partition scores,
// the zero check and the choice of the number of clusters.
#include "engine/KMClusteringAnalysis.h"

#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "foundation/KmException.h"
#include "foundation/KmProgressInterface.h"
#include "models/MatrixBuilders.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

constexpr const char* kSource = "run_ClusteringAnalysis";

// The joint fit's model of a cluster at its common number of kinkmarks.
const KMRegFitRecord& JointRecord(const KMClusterFitSet& fitSet) {
  return fitSet.fits[0].records[fitSet.commonK - fitSet.kMin];
}

double PartitionValue(const KMPartition& partition,
                      const OneDimensionArray<KMClusterFitSet>& fitSets,
                      const BinomialTable& table, const KmString& sGroupOrder,
                      int32_t n) {
  double dValue = 0.0;
  for (int32_t i = 0; i < partition.GetSize(); ++i) {
    const int32_t iIndex = get_SubsetIndex(partition[i], table, sGroupOrder, n);
    dValue += JointRecord(fitSets[iIndex - 1]).rss;
  }
  return dValue;
}

// Refuses group counts whose candidates and partitions are too many to
// enumerate (or to count in an int).
void CheckGroupCount(int32_t n, const KmString& sGroupOrder) {
  const bool bOrdered = is_OrderedGroupOrder(sGroupOrder);
  const int32_t iCap =
      bOrdered ? kMaxOrderedClusterGroups : kMaxUnorderedClusterGroups;
  if (n < 1) {
    GenerateKmInputExceptionF("The clustering needs at least one group.",
                              kSource);
  }
  if (n > iCap) {
    GenerateKmInputExceptionF(
        "The clustering of %d groups exceeds the limit of %d groups for the "
        "%s group order.",
        kSource, n, iCap, bOrdered ? "ordered" : "unordered");
  }
}

// The setup's model settings become those of every range fit.
void ApplyModelSettings(KMClusteringSetup& setup) {
  KMRegFit& fit = setup.bestModelFit.templateFit;
  fit.modelType = setup.modelType;
  fit.iMember8 = setup.counter;
  fit.splineCode = setup.splineCode;
  fit.jumpLocation = setup.value;
  fit.minObsAtEnds = setup.minObsAtEnds;
  fit.minObsBetween = setup.minObsBetween;
  fit.gridPointsBetween = setup.gridPointsBetween;
  fit.userLocations = setup.userLocations;
  fit.useUserLocations = setup.useUserLocations;
  fit.tauAlpha = setup.kinkmarkAlpha;
  fit.apcAlpha = setup.apcAlpha;
  fit.aapcAlpha = setup.aapcAlpha;
}

}  // namespace

int32_t get_ClusterCriterionCode(const KmString& sLabel, int32_t iCurrent) {
  const char* const kLabels[] = {"kperm-cbic", "kmbic-cbic", "kbic-cbic",
                                 "kmic-cbic", "kbic3-cbic"};
  KmString sLower = sLabel;
  sLower.MakeLower();
  for (int32_t i = 0; i < 5; ++i) {
    if (sLower == kLabels[i]) return i;
  }
  return iCurrent;
}

void evaluate_AllPartitions(OneDimensionArray<KMClusterScores>& scores,
                            const OneDimensionArray<KMClusterFitSet>& fitSets,
                            const BinomialTable& table,
                            const KmString& sGroupOrder, int32_t n, int32_t K) {
  WithStandardCatch([&] {
    scores.SetSize(std::max(0, K));
    for (int32_t k = 1; k <= K; ++k) {
      KMPartitionEnumState state;
      KMPartition previous, best;
      double dBest = 0.0;
      for (;;) {
        KMPartition partition =
            enumerate_Partitions(previous, state, sGroupOrder, n, k);
        if (partition.GetSize() == 0) break;
        const double dValue =
            PartitionValue(partition, fitSets, table, sGroupOrder, n);
        // Ties keep the partition produced first.
        if (best.GetSize() == 0 || dValue < dBest) {
          best = partition;
          dBest = dValue;
        }
        previous = partition;
      }
      KMClusterScores& score = scores[k - 1];
      score.groupLists = best;
      score.fitSets.SetSize(best.GetSize());
      score.scores.ReSize(best.GetSize());
      for (int32_t i = 0; i < best.GetSize(); ++i) {
        const int32_t iIndex = get_SubsetIndex(best[i], table, sGroupOrder, n);
        score.fitSets[i] = fitSets[iIndex - 1];
        score.scores(i + 1) = JointRecord(score.fitSets[i]).rss;
      }
      score.criterionValue = dBest;
    }
  });
}

void check_ZeroCriterion(int32_t& zeroFlag,
                         const OneDimensionArray<KMClusterScores>& scores) {
  WithStandardCatch([&] {
    zeroFlag = 0;
    for (int32_t k = 0; k < scores.GetSize(); ++k) {
      const KMClusterScores& score = scores[k];
      // A sum of residuals at rounding level is a zero value: its logarithm
      // would only measure the rounding.
      bool bAllPerfect = score.fitSets.GetSize() > 0;
      for (int32_t i = 0; i < score.fitSets.GetSize(); ++i) {
        bAllPerfect = bAllPerfect && JointRecord(score.fitSets[i]).perfectFit;
      }
      if (score.criterionValue <= 0.0 || bAllPerfect) {
        zeroFlag = 1;
        return;
      }
    }
  });
}

int32_t select_BestNumberOfClusters(
    NEWMAT::ColumnVector& values,
    const OneDimensionArray<KMClusterScores>& scores, int32_t N) {
  return WithStandardCatch([&]() -> int32_t {
    const int32_t K = scores.GetSize();
    values.ReSize(K);
    if (K == 0) return -1;
    const double dN = static_cast<double>(N);
    for (int32_t k = 1; k <= K; ++k) {
      const KMClusterScores& score = scores[k - 1];
      int32_t P = k - 1;
      for (int32_t i = 0; i < score.fitSets.GetSize(); ++i) {
        const KMClusterFitSet& fitSet = score.fitSets[i];
        P += JointRecord(fitSet).p + 2 * fitSet.commonK;
      }
      values(k) = std::log(score.criterionValue / dN) +
                  std::log(dN) * static_cast<double>(P) / dN;
    }
    int32_t iBest = 1;
    for (int32_t k = 2; k <= K; ++k) {
      if (values(k) < values(iBest)) iBest = k;
    }
    return iBest;
  });
}

void run_ClusteringAnalysis(KMClusterResampleState& state,
                            const KMClusteringSetup& setup,
                            KmProgressInterface* pProgress) {
  WithStandardCatch([&] {
    KMClusteringSetup work = setup;
    const int32_t n = work.seriesSet.labels.GetSize();
    CheckGroupCount(n, work.groupOrder);
    work.bestModelFit.criterionCode = get_ClusterCriterionCode(
        work.criterionLabel, work.bestModelFit.criterionCode);
    ApplyModelSettings(work);
    const int32_t K = std::max(0, std::min(work.maxClusters, n));
    BinomialTable table;
    build_BinomialTable(table, n);

    MTRandomGenerator generator = work.generator;
    OneDimensionArray<KMClusterFitSet> fitSets;
    fit_AllGroupSubsets(fitSets, generator, table, work, pProgress);
    state.clear();
    state.init();
    state.chosenK = -1;
    if (pProgress != nullptr && pProgress->IsCancelled()) return;

    OneDimensionArray<KMClusterScores> scores;
    evaluate_AllPartitions(scores, fitSets, table, work.groupOrder, n, K);
    int32_t iZero = 0;
    check_ZeroCriterion(iZero, scores);
    NEWMAT::ColumnVector values;
    const int32_t iChosen =
        iZero != 0
            ? -1
            : select_BestNumberOfClusters(
                  values, scores, count_TotalRows(work.seriesSet.xValues));

    NEWMAT::Matrix mResult(work.etaGrid.Nrows(), 3);
    mResult = 0.0;
    for (int32_t r = 1; r <= mResult.Nrows(); ++r) {
      mResult(r, 1) = work.etaGrid(r);
      mResult(r, 2) = static_cast<double>(iChosen);
    }
    state.scores = scores;
    state.chosenK = iChosen;
    state.criterionValues = values;
    state.zeroCriterion = iZero;
    state.fitSets = fitSets;
    state.matrixBlock.etaGrid = work.etaGrid;
    state.matrixBlock.matrix3 = mResult;
    state.matrixBlock.matrix4 = mResult;
    state.generator = generator;
    state.resetFits();
  });
}
