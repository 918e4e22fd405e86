// The multi-group clustering analysis: every candidate cluster (subset of
// groups) fitted once with the best-model fit, every partition into k
// clusters scored from those fits, and the number of clusters chosen by a
// BIC-type criterion over the best partition of each k.
//
// For k clusters with best partition value V_k (the sum over its clusters of
// the joint fit's residual sum of squares at the cluster's common number of
// kinkmarks c) and N observations in all,
//   P_k    = (k - 1) + sum over clusters of (p + 2c),  p the joint fit's
//            parameter count at c kinkmarks,
//   CBIC_k = ln(V_k / N) + ln(N) P_k / N,
// and the smallest CBIC_k wins (ties keep the smaller k).
//
// Failures: every operation passes every exception on; a KmException
// passing one collects a "Standard exception: <text>" report, which the driver
// writes to standard output; a failed best-model fit travels as its
// KmException.
#ifndef KM_ENGINE_KMCLUSTERINGANALYSIS_H
#define KM_ENGINE_KMCLUSTERINGANALYSIS_H

#include <newmat.h>

#include <cstdint>

#include "engine/KMClusterFitSet.h"
#include "engine/KMClusterResampleState.h"
#include "engine/KMClusterScores.h"
#include "engine/KMClusteringSetup.h"
#include "engine/KMPartitionEnumeration.h"
#include "foundation/OneDimensionArray.h"
#include "models/KMBestModelFit.h"
#include "models/KMClusterCandidate.h"
#include "models/KMClusterFit.h"
#include "models/KMSeriesSet.h"
#include "stats/MTRandomGenerator.h"

class KmProgressInterface;

// The largest number of groups a clustering accepts in each mode. The
// unordered mode fits all 2^n - 1 subsets of the groups and scores every
// set partition (Bell(n) in all), so its work doubles with each group; the
// ordered mode fits n(n+1)/2 runs and scores up to 2^(n-1) partitions.
constexpr int32_t kMaxUnorderedClusterGroups = 12;
constexpr int32_t kMaxOrderedClusterGroups = 20;

// The four weighting matrices of a set of groups (weights, covariance,
// whitening transformation, its inverse): entry 0 for all groups of the
// set together, entry j for its j-th group alone.
struct KMGroupWeights {
  OneDimensionArray<NEWMAT::Matrix> weight;
  OneDimensionArray<NEWMAT::Matrix> covariance;
  OneDimensionArray<NEWMAT::Matrix> transform;
  OneDimensionArray<NEWMAT::Matrix> backTransform;
};

// The input of one subset fit: the best-model fit settings (with the
// generator of the fits), the subset's series, the weighting matrices of
// the whole subset and their per-group arrays, and the level of the fit.
struct KMSubsetFitSetup {
  KMSeriesSet seriesSet;
  NEWMAT::Matrix matrix1;
  NEWMAT::Matrix matrix2;
  NEWMAT::Matrix matrix3;
  NEWMAT::Matrix matrix4;
  KMGroupWeights weights;
  KMBestModelFit bestModelFit;
  double level = 0.05;
};

// The outcome of one subset fit.
struct KMSubsetFitResult {
  KMClusterFitSet fitSet;
  KMClusterCandidate candidate;
  MTRandomGenerator generator;
};

// The whole analysis of setup's groups into state: the scores of each
// k = 1..K (K = the setup's largest number of clusters capped at the number
// of groups n), the chosen number of clusters (-1 when none: K = 0, or a
// partition value that is zero), the per-k CBIC vector, the fit sets of
// every candidate, the result matrix (one row per eta value: the eta value
// and the chosen number) and the generator after all fits. The criterion
// label selects the criterion code of the fits: "kperm-cbic" 0,
// "kmbic-cbic" 1, "kbic-cbic" 2, "kmic-cbic" 3, "kbic3-cbic" 4 (any case);
// another label keeps the setup's code. pProgress, when given, follows the
// subset fits and stops the analysis early when cancelled (the state then
// holds no choice).
// Throws: an input error (kind 3) when n exceeds the cap of the group
// order (kMaxOrderedClusterGroups, kMaxUnorderedClusterGroups) or is 0; the
// fits' failures.
void run_ClusteringAnalysis(KMClusterResampleState& state,
                            const KMClusteringSetup& setup,
                            KmProgressInterface* pProgress = nullptr);

// The criterion code of a clustering criterion label, or iCurrent when the
// label is not one of the five.
int32_t get_ClusterCriterionCode(const KmString& sLabel, int32_t iCurrent);

// Fits every candidate subset in candidate order into fitSets (position =
// candidate index - 1). Each group alone is fitted once and reused by every
// later subset that holds it. generator advances through the fits.
void fit_AllGroupSubsets(OneDimensionArray<KMClusterFitSet>& fitSets,
                         MTRandomGenerator& generator,
                         const BinomialTable& table,
                         const KMClusteringSetup& setup,
                         KmProgressInterface* pProgress = nullptr);

// The series set of subset (build_SeriesSetForSubset) and its weighting
// matrices: entry 0 for the subset, entry j for its j-th group.
void fit_GroupSubset(KMGroupWeights& weights, KMSeriesSet& subsetSeries,
                     const KMGroupList& subset, const KMClusteringSetup& setup);

// The subset's groups in subset order, with their labels and vectors, and
// the covariance restricted to their observations (rows and columns in
// subset order). positions gets, per group of the subset, the 1-based
// positions of its observations among all observations of all groups.
void build_SeriesSetForSubset(KMSeriesSet& out, KMPartition& positions,
                              const KMGroupList& subset,
                              const KMSeriesSet& allGroups);

// Runs fit_SubsetRanges on a copy of the subset setup's best-model fit with
// the subset's series, matrices and level. result.fitSet.fits comes in with
// the fits already known (copies of fitted singletons) and goes out with
// all of them, their fit data released.
void fit_SubsetCandidate(KMSubsetFitResult& result,
                         const KMSubsetFitSetup& setup);

// Fits range 0 (all groups of bestFit's series) and each group alone
// (ranges 1..m) unless the entry is already fitted, sets the common number
// of kinkmarks c (the largest selected number) and the value of each fit at
// c. generator is handed to each fit and takes its state afterwards.
void fit_SubsetRanges(KMClusterFitSet& fitSet, MTRandomGenerator& generator,
                      const KMGroupWeights& weights,
                      const KMBestModelFit& bestFit);

// Fits every group of bestFit's series alone into fits (entry g - 1 for
// group g), with weighting entry g.
void fit_EachGroup(OneDimensionArray<KMClusterFit>& fits,
                   MTRandomGenerator& generator, const KMGroupWeights& weights,
                   const KMBestModelFit& bestFit);

// Scores every partition of n groups into k = 1..K clusters and keeps the
// best of each k in scores[k - 1] (the first of equal values).
void evaluate_AllPartitions(OneDimensionArray<KMClusterScores>& scores,
                            const OneDimensionArray<KMClusterFitSet>& fitSets,
                            const BinomialTable& table,
                            const KmString& sGroupOrder, int32_t n, int32_t K);

// zeroFlag = 1 when some k's best partition value is zero: not above 0, or
// every cluster of it fitted perfectly (a residual sum at rounding level);
// else 0.
void check_ZeroCriterion(int32_t& zeroFlag,
                         const OneDimensionArray<KMClusterScores>& scores);

// values(k) = CBIC_k for k = 1..K (see the file comment) over N
// observations; returns the k with the smallest value (the smaller of
// equal ones), -1 for K = 0.
int32_t select_BestNumberOfClusters(
    NEWMAT::ColumnVector& values,
    const OneDimensionArray<KMClusterScores>& scores, int32_t N);

#endif  // KM_ENGINE_KMCLUSTERINGANALYSIS_H
