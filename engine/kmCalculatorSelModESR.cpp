// kmCalculator: SelModESR (model selection by Hudson's method with early
// stopping) and NChooseK.
//
// Every run of observations is fitted once (Partitions); a data set then
// costs its partition sums and the two searches, which form each searched
// segmentation's continuity constraints from those fits. The permutation tests
// run data set by data set, so that a stopping table can end a test as soon as
// its outcome is settled.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>

#include "engine/EarlyStopper.h"
#include "engine/EarlyStopperSet.h"
#include "engine/kmCalculator.h"
#include "engine/kmFitScores.h"
#include "engine/kmSelModFits.h"
#include "engine/kmUpperTriangularMatrix.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/OneDimensionArray.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "foundation/kmTools.h"
#include "models/KMSeriesSet.h"
#include "results/kmCalcData.h"
#include "results/kmFTest.h"
#include "results/kmTable.h"
#include "session/kmFitMethod.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// With kmOptPermutationSeed 0, cohort i is seeded with kSeedBase + i.
constexpr int kSeedBase = 7160;

void SetProgress(kmBackgroundProgressTrackerWithBar* pProgress, double dPos) {
  if (pProgress == nullptr) return;
  pProgress->SetPosition(static_cast<int32_t>(std::clamp(dPos, 1.0, 100.0)));
}

// The working objects of one SelModESR call.
struct EsrRun : kmSelModFits {
  kmSession* pSession = nullptr;
  kmModelSelection selection = kmModelSelection::kPermutationTest;
  int16_t kmin = 0;
  int16_t kmax = 0;
  int16_t n = 0;
  // P + 1: the observed data set and the P permuted ones of a test.
  int iNumDataSets = 1;
  double dAlpha = 0.0;
  // The integer origin t subtracted from the independent values.
  double dOrigin = 0.0;
  int16_t G = 0;
  std::unique_ptr<kmUpperTriangularMatrix> pPartitions;
  KmNullProgress nullProgress;
  int16_t kPerfect = -1;
  int16_t kBIC = 0;
  int16_t kBIC3 = 0;
};

// Options, sizes, weights, the origin shift, the grid and the segment
// table of the cohort.
void Prepare(kmCalculator& calc, kmCalcData* pCalcData, int iCohortIndex,
             EsrRun& run) {
  if (pCalcData == nullptr) {
    GenerateKmException("The cohort's result record is missing.", kClassName);
  }
  calc.RequireCohortLoaded("SelModESR");
  kmSession* pSession = calc.GetCalcSession();
  run.pSession = pSession;
  // A user-supplied variance matrix gives the weights (its diagonal).
  calc.BeginCohortFit(*pCalcData);
  run.selection = pSession->Get<kmModelSelection>();
  run.kmin = static_cast<int16_t>(pSession->GetInt(kmOptMinKinkmarks));
  run.kmax = static_cast<int16_t>(pSession->GetInt(kmOptMaxKinkmarks));
  const int16_t iMinEnd =
      static_cast<int16_t>(pSession->GetInt(kmOptMinObsEnd));
  const int iMinBetween = pSession->GetInt(kmOptMinObsBetween);
  run.n = static_cast<int16_t>(
      kmCalculator::GetNumObsThisCohort(pSession, iCohortIndex));
  const int16_t n = run.n;
  const Matrix& mX = *calc.GetDataX();
  if (n < 2 || mX.Nrows() < n || mX.Ncols() < 2 ||
      calc.GetDataY()->Nrows() < n) {
    GenerateKmException(
        "The cohort's observation matrices hold fewer rows than its "
        "observation count.",
        kClassName);
  }
  calc.SetNumObservations(n);
  // No more kinkmarks than Hudson's segmentations can place; verification
  // refused the cohorts that cannot hold the minimum.
  run.kmax = static_cast<int16_t>(
      kmTools::PlaceableKinkmarks(n, run.kmax, iMinEnd, iMinBetween, true));
  if (run.kmin < 0 || run.kmax < run.kmin) {
    GenerateKmInputExceptionF(
        "The cohort cannot be fitted with %d to %d kinkmarks.", kClassName,
        static_cast<int>(run.kmin), static_cast<int>(run.kmax));
  }

  run.iNumDataSets = pSession->GetInt(kmOptNumPermutations) + 1;
  run.dAlpha = pSession->GetDouble(kmOptPermSignificance);
  run.vResidSum0.ReSize(std::max(run.iNumDataSets, 1));
  run.vResidSum1.ReSize(std::max(run.iNumDataSets, 1));
  run.vResidSum0 = kNoFit;
  run.vResidSum1 = kNoFit;
  run.mFitted.ReSize(run.kmax + 1, n);
  run.mResid.ReSize(run.kmax + 1, n);
  run.mFitted = 0.0;
  run.mResid = 0.0;

  // Uncorrelated errors: A weighs the residuals, L maps permuted ones back.
  calc.WLSWgt(0.0, run.mA, run.mL);
  // The model framework's refit of the first pass reads L'L as its
  // covariance; without it every fit would fail.
  calc.SetWeightRoots(run.mA, run.mL);
  run.dOrigin = calc.ShiftToIntegerOrigin(n);

  // Kinkmarks on observations only, kept one observation further from the
  // ends and two further apart than Hudson's segmentations require.
  run.G = calc.FindGridPoints(static_cast<int16_t>(iMinEnd + 1),
                              iMinBetween + 2, 0);
  calc.PreCalcXWX();
  run.pPartitions = std::make_unique<kmUpperTriangularMatrix>(n, n);
  calc.Partitions(*run.pPartitions);
}

// Best fit of the observed data with k kinkmarks into vResidSum(1),
// run.vLocations and run.vEstimates: the grid search, then Hudson's
// continuous search. The first pass searches through the model framework
// (bFramework), the tests with the plain grid search. Hudson's
// segmentations admit more placements than the grid; when the grid holds
// none, Hudson's search starts from no fit instead of failing.
void FitObserved(kmCalculator& calc, EsrRun& run, int16_t k,
                 ColumnVector& vResidSum, bool bFramework) {
  const uint16_t uk = static_cast<uint16_t>(k);
  if (!calc.GridCanPlace(run.G, k)) {
    run.vLocations.ReSize(k);
    run.vLocations = 0.0;
    run.vEstimates.ReSize(3 * k + 2);
    run.vEstimates = 0.0;
    run.mProfile.ReSize(run.G, k);
    run.mProfile = kNoFit;
    vResidSum(1) = kNoFit;
  } else if (bFramework) {
    calc.GridSearch_WithJumpModel(1, uk, run.vLocations, run.vEstimates,
                                  vResidSum, run.G, run.mProfile, 0,
                                  &run.nullProgress);
  } else {
    calc.GridSearch(1, uk, run.vLocations, run.vEstimates, vResidSum, run.G,
                    run.mProfile, &run.nullProgress);
  }
  calc.Hudsons(1, k, *run.pPartitions, run.vLocations, run.vEstimates,
               vResidSum);
}

// The series set the weighted criteria read: the unshifted independent
// values and the observed response.
KMSeriesSet ObservedSeries(const kmCalculator& calc, const EsrRun& run) {
  KMSeriesSet seriesSet;
  seriesSet.labels.SetSize(1);
  seriesSet.xValues.SetSize(1);
  seriesSet.yValues.SetSize(1);
  seriesSet.xValues[0] = calc.GetDataX()->SubMatrix(1, run.n, 2, 2);
  for (int i = 1; i <= run.n; ++i) seriesSet.xValues[0](i) += run.dOrigin;
  seriesSet.yValues[0] = calc.GetDataY()->SubMatrix(1, run.n, 1, 1);
  return seriesSet;
}

// First pass: one model table per number of kinkmarks, the exact-fit rule
// and the running criterion winners.
void FitModels(kmCalculator& calc, kmCalcData* pCalcData,
               const kmBackgroundProgressTrackerWithBar* pProgress,
               EsrRun& run) {
  run.kBIC = run.kmin;
  run.kBIC3 = run.kmin;
  for (int16_t k = run.kmin; k <= run.kmax && !IsSelModCancelled(pProgress);
       ++k) {
    FitObserved(calc, run, k, run.vResidSum1, true);
    kmTable table;
    calc.Table(false, static_cast<uint16_t>(k), run.vLocations, run.vResidSum1,
               run.vEstimates, static_cast<uint16_t>(run.G), run.mProfile,
               &table, run.selection, run.dOrigin, false);
    run.mProfile.ReSize(run.G, k);
    run.mProfile = kNoFit;
    calc.Resids(k, static_cast<int>(run.dOrigin), run.mA, run.vEstimates,
                run.vLocations, run.mFitted, run.mResid, table);
    if (kmIsWeightedBIC(run.selection)) {
      // The weighted penalty needs the series behind the kinkmarks.
      table.SetSeriesSet(ObservedSeries(calc, run));
      calc.SetWeightedBIC(run.selection, &table, k, false, run.vResidSum1(1));
    }
    pCalcData->vModels.push_back(table);
    // An exact fit (to rounding) leaves nothing for the tests to judge.
    if (calc.IsPerfectFit(run.vResidSum1(1))) {
      run.iNumDataSets = 1;
      if (run.kPerfect < 0) run.kPerfect = k;
    }
    if (kmIsCriterion(run.selection)) {
      const kmTable& best = pCalcData->GetModel(run.kBIC - run.kmin);
      if (table.GetBIC() < best.GetBIC()) run.kBIC = k;
      if (run.selection == kmModelSelection::kDataDependent &&
          table.GetBIC3() <
              pCalcData->GetModel(run.kBIC3 - run.kmin).GetBIC3()) {
        run.kBIC3 = k;
      }
    }
  }
}

// The fit of data set j (1 observed, >= 2 the permuted data set in column 2
// of pDataY) with k kinkmarks into vResidSum(j).
void FitDataSet(kmCalculator& calc, EsrRun& run, int j, int16_t k,
                ColumnVector& vResidSum) {
  if (j == 1) {
    FitObserved(calc, run, k, vResidSum, false);
    return;
  }
  calc.GridSearchForHudsons(j, run.iNumDataSets, static_cast<uint16_t>(k),
                            run.vLocations, run.vEstimates, vResidSum, run.G,
                            run.mProfile, &run.nullProgress);
  calc.Hudsons(j, k, *run.pPartitions, run.vLocations, run.vEstimates,
               vResidSum);
}

// Progress of the permutation tests: c data sets done of dTotal.
struct TestProgress {
  kmBackgroundProgressTrackerWithBar* pProgress;
  double dCount;
  double dTotal;
};

// Runs the data sets of the test of k0 against k1 until the stopping table
// (null: none, every data set runs) allows the test to end, and returns the
// number of data sets done; 0 when the task was cancelled first.
int RunOneTest(kmCalculator& calc, EsrRun& run, TestProgress& progress,
               const EarlyStopper* pStopper, int16_t k0, int16_t k1,
               kmFTest& test) {
  run.vResidSum0 = kNoFit;
  run.vResidSum1 = kNoFit;
  // The observed data set counts as the first exceedance.
  int iExceedances = 1;
  const int iSets = run.iNumDataSets;
  for (int j = 1; j <= iSets; ++j) {
    if (IsSelModCancelled(progress.pProgress)) return 0;
    if (j >= 2) calc.Permute(k0, run.mL, run.mFitted, run.mResid, 2);
    calc.PartitionSSEs(*run.pPartitions, j);
    FitDataSet(calc, run, j, k0, run.vResidSum0);
    FitDataSet(calc, run, j, k1, run.vResidSum1);
    bool bStop = false;
    if (j == 1) {
      calc.FTestObs(test, k0, k1, run.vResidSum0, run.vResidSum1);
    } else if (pStopper != nullptr) {
      // A stopping table ends every test within its 8400 data sets, so the
      // 16-bit data-set index of FTestPerm always suffices here; without
      // a table the count is not needed.
      iExceedances += calc.FTestPerm(test, static_cast<int16_t>(j),
                                     run.vResidSum0, run.vResidSum1);
    }
    if (pStopper != nullptr && pStopper->CanStop(j, iExceedances)) {
      bStop = true;
      progress.dCount += iSets - j;
    }
    progress.dCount += 1.0;
    SetProgress(progress.pProgress,
                std::trunc(progress.dCount / progress.dTotal * 100.0));
    if (bStop) return j;
  }
  return iSets;
}

// Sequential permutation tests with early stopping: k0 = kmin against
// k1 = kmax, then narrowed by each outcome. Returns the chosen k0.
int16_t PermutationTests(kmCalculator& calc, kmCalcData* pCalcData,
                         kmBackgroundProgressTrackerWithBar* pProgress,
                         int iCohortIndex, EsrRun& run) {
  const int iSeed = run.pSession->GetInt(kmOptPermutationSeed);
  calc.SeedGenerator(static_cast<uint32_t>(
      iSeed != 0 ? iSeed : kSeedBase + int64_t{iCohortIndex}));
  const kmEarlyStopping rule = run.pSession->Get<kmEarlyStopping>();
  int16_t k0 = run.kmin;
  int16_t k1 = run.kmax;
  if (!(k0 < k1 && run.iNumDataSets > 1)) return k0;
  // One table serves every test of the cohort.
  const EarlyStopper* pStopper = rule == kmEarlyStopping::kFixed
                                     ? nullptr
                                     : EarlyStopperSet::GetEarlyStopper(
                                           run.dAlpha, run.kmax - run.kmin,
                                           rule == kmEarlyStopping::kCurtailed);
  TestProgress progress{
      pProgress, 0.0,
      static_cast<double>(run.kmax - run.kmin) * run.iNumDataSets};
  if (progress.dTotal <= 0.0) progress.dTotal = 1.0;
  while (k0 < k1 && !IsSelModCancelled(pProgress)) {
    kmFTest test(static_cast<uint16_t>(k0), static_cast<uint16_t>(k1));
    const int jLast = RunOneTest(calc, run, progress, pStopper, k0, k1, test);
    // A cancelled test is left out of the record.
    if (jLast == 0) break;
    const double dAlphaAdj = run.dAlpha / (run.kmax - k0);
    const double p =
        calc.FTest(static_cast<int16_t>(run.kmax - k0), k0, k1, dAlphaAdj,
                   jLast, run.vResidSum0, run.vResidSum1, test);
    pCalcData->vFTests.push_back(test);
    if (p <= dAlphaAdj) {
      ++k0;
    } else {
      --k1;
    }
  }
  return k0;
}

}  // namespace

int32_t kmCalculator::NChooseK(int16_t n, int16_t k) {
  return WithCallPath("NChooseK()", kClassName, [&]() -> int32_t {
    if (k <= 0) return 1;
    if (n < 0) {
      GenerateKmExceptionF(
          "The number of observations cannot be negative (%d) in C(n, k).",
          kClassName, static_cast<int>(n));
    }
    if (k > n) return 0;
    // C(n, i + 1) = C(n, i) (n - i) / (i + 1) divides exactly, and the
    // values grow with i up to n / 2, so the first one past the limit
    // settles the answer; below it the product stays under 2^46.
    const int iSteps = std::min<int>(k, n - k);
    int64_t c = 1;
    for (int i = 0; i < iSteps; ++i) {
      c = c * (n - i) / (i + 1);
      if (c > INT32_MAX) {
        GenerateKmInputExceptionF(
            "Hudson's method cannot fit %d observations with %d kinkmarks: "
            "its segmentation table would need more than %d cells.",
            kClassName, static_cast<int>(n), static_cast<int>(k), INT32_MAX);
      }
    }
    return static_cast<int32_t>(c);
  });
}

void kmCalculator::SelModESR(kmCalcData* pCalcData,
                             kmBackgroundProgressTrackerWithBar* pProgress,
                             int iCohortIndex, int /*iTaskValue*/) {
  WithCallPath("SelModESR()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::SelModESR()", [&] {
      EsrRun run;
      Prepare(*this, pCalcData, iCohortIndex, run);
      FitModels(*this, pCalcData, pProgress, run);
      const bool bComplete = pCalcData->vModels.size() ==
                             static_cast<size_t>(run.kmax - run.kmin + 1);
      if (run.kPerfect >= 0) {
        pCalcData->uFinalSelectedModel = static_cast<uint16_t>(run.kPerfect);
      } else if (run.selection == kmModelSelection::kDataDependent) {
        // The final choice reads every model; a cancelled first pass left
        // some out, so it chooses nothing. The tables hold the kinkmarks on
        // the unshifted scale, and so must the independent values be.
        if (bComplete) {
          OneDimensionArray<ColumnVector> vX(
              ObservedSeries(*this, run).xValues);
          SelectFinalModelDDS(pCalcData, run.kBIC, run.kBIC3, run.kmin,
                              run.kmax, &vX, &run.mA);
        }
      } else if (kmIsCriterion(run.selection)) {
        pCalcData->uFinalSelectedModel = static_cast<uint16_t>(run.kBIC);
      } else if (run.selection == kmModelSelection::kPermutationTest) {
        pCalcData->uFinalSelectedModel = static_cast<uint16_t>(
            PermutationTests(*this, pCalcData, pProgress, iCohortIndex, run));
      }
      SetAPCIntervals(pCalcData, false);
      SetProgress(pProgress, 100.0);
    });
  });
}
