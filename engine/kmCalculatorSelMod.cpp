// kmCalculator: SelMod (model selection by grid search), its phases and its
// MADWD pass.
//
// SelMod in full:
// Fits the loaded cohort with every number of kinkmarks k = kmin..kmax
// (kmOptMinKinkmarks, kmOptMaxKinkmarks, lowered per cohort when
// kmOptPerCohortMaxKinkmarks is set, and to what the grid can place) by
// grid search, appends one model
// table per k to pCalcData->vModels (index k - kmin), and chooses the
// final number of kinkmarks by kmOptModelSelection: 0 sequential
// permutation F tests (each appended to vFTests; test k0 against k1 at
// level alpha / (kmax - k0), rejecting when p <= that level), 1-3, 5, 6
// the smallest criterion (ties keep the smaller k), 4 the data-dependent
// choice between the BIC and BIC3 winners; a perfect fit (IsPerfectFit)
// makes the first such k final. Optionally re-checks by MADWD, runs the
// empirical-quantile intervals (kmOptAAPCCIMethod 3) and the
// comparability-ratio rows. Column 2 of pDataX is left shifted by the
// cohort's integer origin. pProgress may be null (never cancelled); its
// running flag is set for the call and cleared however it ends. Its bar
// position reaches step c of the selection at c / D x 100 and moves
// between steps with the placements each search fits (the first pass
// across the first step).
// REQUIRES: LoadCalcMembers has run and pDataX, pDataY, pDataWeightInput
// (and pDataAux) hold the cohort's n observations.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engine/kmCalculator.h"
#include "engine/kmSelModFits.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmSpanProgress.h"
#include "foundation/OneDimensionArray.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "foundation/kmTools.h"
#include "models/ForAllKinkMKAction.h"
#include "models/KMSeriesSet.h"
#include "models/internal/TauIndexSteps.h"
#include "results/kmCalcData.h"
#include "results/kmFTest.h"
#include "results/kmTable.h"
#include "session/kmComparisonType.h"
#include "session/kmErrorModel.h"
#include "session/kmIntervalMethod.h"
#include "session/kmModelSelection.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kQualifiedName = "kmCalculator::SelMod()";

// What the grid searches poll: they stop only on this one.
bool SearchCancelled(const kmBackgroundProgressTrackerWithBar* pProgress) {
  return pProgress != nullptr && pProgress->IsCancelled();
}

// Clears the tracker's running flag however the driver ends.
class RunningFlag {
 public:
  explicit RunningFlag(kmBackgroundProgressTrackerWithBar* pProgress)
      : pProgress_(pProgress) {
    if (pProgress_ != nullptr) pProgress_->SetRunningFlag(true);
  }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;
  ~RunningFlag() {
    if (pProgress_ != nullptr) pProgress_->SetRunningFlag(false);
  }

 private:
  kmBackgroundProgressTrackerWithBar* pProgress_;
};

// The bar position of step dCount of the selection's dTotal steps.
double StepPosition(double dCount, double dTotal) {
  return std::min(100.0, std::trunc(dCount / dTotal * 100.0));
}

// Advances the progress counter by one step of the selection phase.
void Advance(kmBackgroundProgressTrackerWithBar* pProgress, double& dCount,
             double dTotal) {
  if (pProgress == nullptr) return;
  dCount += 1.0;
  pProgress->SetPosition(static_cast<int32_t>(StepPosition(dCount, dTotal)));
  if (pProgress->IsCancelled()) pProgress->SetProcessText("Cancelling...");
}

// What a search reports to: it moves the bar from where it stands to dTo
// as the search fits its placements, so that a long search shows how far
// it is. Cancellation is the bar's; without a bar nothing moves.
KmSpanProgress SearchSpan(kmBackgroundProgressTrackerWithBar* pProgress,
                          double dTo) {
  const double dFrom = pProgress != nullptr ? pProgress->GetBarPosition() : 0.0;
  return KmSpanProgress(pProgress, dFrom, std::max(dFrom, dTo));
}

}  // namespace

int16_t kmCalculator::MADWDPass(kmCalcData* pCalcData, int16_t kStart,
                                int16_t kmin, double dPsi,
                                kmBackgroundProgressTrackerWithBar* pProgress) {
  return WithCallPath("MADWDPass()", "kmCalculator", [&]() -> int16_t {
    std::vector<std::vector<double>> vDetails;
    int16_t kResult = kmin;
    for (int16_t k = kStart; k > kmin && !IsSelModCancelled(pProgress); --k) {
      kmTable& table = pCalcData->vModels[k - kmin];
      // First intercept, first slope, then the slope change at each
      // kinkmark (the difference of neighbouring segment slopes).
      Matrix mSlopes(k + 2, 1);
      mSlopes(1, 1) = table.GetLineSegment(0).intercept.dEstimate;
      mSlopes(2, 1) = table.GetLineSegment(0).slope.dEstimate;
      for (int i = 1; i <= k; ++i) {
        mSlopes(i + 2, 1) = table.GetLineSegment(i).slope.dEstimate -
                            table.GetLineSegment(i - 1).slope.dEstimate;
      }
      ColumnVector vPass(1);
      const bool bPass = ForAllKinkMKAction::ComputeMADWDValues(
          mSlopes, vPass, dPsi, &vDetails);
      table.SetMADWDPass(bPass);
      if (bPass) {
        kResult = k;
        break;
      }
    }
    KmVector<KmVector<double>> vRows;
    for (const std::vector<double>& row : vDetails) {
      KmVector<double> vRow;
      for (double d : row) vRow.push_back(d);
      vRows.push_back(vRow);
    }
    pCalcData->SetMADWDValues(std::move(vRows));
    return kResult;
  });
}

// The working state of one SelMod call, shared by its phases and released
// with it, also on failure.
struct kmCalculator::SelModRun : kmSelModFits {
  kmCalcData* pCalcData = nullptr;
  kmBackgroundProgressTrackerWithBar* pProgress = nullptr;
  int iTaskValue = 0;
  // Options.
  bool bJump = false;
  bool bCR = false;
  bool bMADWD = false;
  bool bLogLinear = false;
  double dPsi = 0.0;
  double dJumpOption = 0.0;
  kmModelSelection selection = kmModelSelection::kPermutationTest;
  int16_t kmin = 0;
  int16_t kmax = 0;
  int16_t iMinEnd = 0;
  int iMinBetween = 0;
  int iGridPoints = 0;
  int16_t n = 0;
  int iNumDataSets = 1;
  double dAlpha = 0.0;
  double dPhi = 0.0;
  int iPhiMode = 0;
  double dOrigin = 0.0;
  int16_t G = 0;
  // Tables and progress.
  kmIntervalMethod ciMethod = kmIntervalMethod::kParametric;
  const char* sCIMethod = "UncorrelatedVariance";
  double dTotal = 1.0;
  KMSeriesSet seriesSet;
  KmString sModelType;
  int16_t kPerfect = -1;
};

void kmCalculator::SelMod(kmCalcData* pCalcData,
                          kmBackgroundProgressTrackerWithBar* pProgress,
                          int iCohortIndex, int iTaskValue) {
  WithCallPath("SelMod()", "kmCalculator", [&] {
    RunningFlag running(pProgress);
    WithMatrixErrorsAsKm(kQualifiedName, [&]() {
      SelModRun run;
      run.pCalcData = pCalcData;
      run.pProgress = pProgress;
      run.iTaskValue = iTaskValue;
      ReadSelModOptions(run, iCohortIndex);
      PrepareSelModFits(run);
      FitEveryNumberOfKinkmarks(run);
      ChooseFinalModel(run);
      FinishSelMod(run);
    });
  });
}

void kmCalculator::ReadSelModOptions(SelModRun& run, int iCohortIndex) {
  kmCalcData* pCalcData = run.pCalcData;
  if (pCalcData == nullptr) {
    GenerateKmException("The cohort's result record is missing.",
                        "kmCalculator");
  }
  RequireCohortLoaded("SelMod");
  kmSession* pSession = GetCalcSession();
  run.bJump = pCalcData->bJumpModel;
  run.bCR = pCalcData->bComparabilityRatio;
  run.dPsi = pSession->GetDouble(kmOptMADWDPsi);
  run.bMADWD = pSession->GetBool(kmOptMADWD);
  run.dJumpOption = pSession->GetDouble(kmOptJumpLocation);
  BeginCohortFit(*pCalcData);

  run.selection = pSession->Get<kmModelSelection>();
  run.kmin = static_cast<int16_t>(pSession->GetInt(kmOptMinKinkmarks));
  run.kmax = static_cast<int16_t>(pSession->GetInt(kmOptMaxKinkmarks));
  run.iMinEnd = static_cast<int16_t>(pSession->GetInt(kmOptMinObsEnd));
  run.iMinBetween = pSession->GetInt(kmOptMinObsBetween);
  run.iGridPoints = pSession->GetInt(kmOptGridPointsBetween);
  const int16_t n =
      static_cast<int16_t>(GetNumObsThisCohort(pSession, iCohortIndex));
  if (n < 1 || pDataX->Nrows() < n || pDataY->Nrows() < n) {
    GenerateKmException(
        "The cohort's observation matrices hold fewer rows than its "
        "observation count.",
        "kmCalculator");
  }
  run.n = n;
  iNumObs = n;

  // The default for the cohort's length only lowers the user's maximum,
  // never raises it.
  if (pSession->GetBool(kmOptPerCohortMaxKinkmarks) &&
      pSession->Get<kmMaxKinkmarksFeasibility>() ==
          kmMaxKinkmarksFeasibility::kDefaultForLength) {
    run.kmax =
        std::min(run.kmax, kmTools::MaxKinkmarksForObservations(n, false));
  }
  // No more kinkmarks than the grid can place (which also lowers a per-cohort
  // maximum to the largest feasible count); verification refused the
  // cohorts that cannot hold the minimum.
  run.kmax = static_cast<int16_t>(kmTools::PlaceableKinkmarks(
      n, run.kmax, run.iMinEnd, run.iMinBetween, false));
  if (run.kmin < 0 || run.kmax < run.kmin) {
    GenerateKmInputExceptionF(
        "The cohort cannot be fitted with %d to %d kinkmarks.", "kmCalculator",
        static_cast<int>(run.kmin), static_cast<int>(run.kmax));
  }
  run.iNumDataSets = pSession->GetInt(kmOptNumPermutations) + 1;
  run.dAlpha = pSession->GetDouble(kmOptPermSignificance);
  run.ciMethod = pSession->Get<kmIntervalMethod>();
  run.sModelType =
      KmString(pSession->Get<kmPairwiseType>() == kmPairwiseType::kCoincident
                   ? "Identical"
                   : "Parallel");
  run.bLogLinear = pSession->GetBool(kmOptLogLinear);
}

void kmCalculator::PrepareSelModFits(SelModRun& run) {
  kmSession* pSession = GetCalcSession();
  const int16_t n = run.n;
  run.vResidSum0.ReSize(std::max(run.iNumDataSets, 1));
  run.vResidSum1.ReSize(std::max(run.iNumDataSets, 1));
  run.vResidSum0 = 1e50;
  run.vResidSum1 = 1e50;
  run.mFitted.ReSize(run.kmax + 1, n);
  run.mResid.ReSize(run.kmax + 1, n);
  run.mFitted = 0.0;
  run.mResid = 0.0;

  // Autocorrelation and weighting.
  const kmAutocorrErrors autocorr = kmWeightingMode(*pSession);
  if (autocorr == kmAutocorrErrors::kEstimated) {
    run.dPhi = calculateAutoParamPhi(static_cast<uint16_t>(run.kmax));
    run.iPhiMode = 1;
  } else if (kmIsAR1(autocorr)) {
    // A variance-covariance matrix is no AR(1) process: phi stays 0.
    run.dPhi = pSession->GetDouble(kmOptAutocorrParameter);
    run.iPhiMode = 2;
  }
  WLSWgt(run.dPhi, run.mA, run.mL);
  SetWeightRoots(run.mA, run.mL);

  // Integer origin: the fits work on x less t.
  run.dOrigin = ShiftToIntegerOrigin(n);
  dJumpLocation = run.dJumpOption - run.dOrigin;

  run.G = FindGridPoints(run.iMinEnd, run.iMinBetween, run.iGridPoints);

  // The all-candidates design of the framework (intercept, x, one hinge
  // per candidate, the jump step when the jump model is on).
  KMRegModelSettings settings;
  settings.jump = run.bJump ? 1 : 0;
  settings.jumpLocation = dJumpLocation;
  OneDimensionArray<ColumnVector> groupX;
  OneDimensionArray<ColumnVector> groupY;
  groupX.SetSize(1);
  groupY.SetSize(1);
  groupX[0] = pDataX->SubMatrix(1, n, 2, 2);
  groupY[0] = pDataY->SubMatrix(1, n, 1, 1);
  ColumnVector vGrid(std::max<int>(run.G, 0));
  for (int p = 1; p <= run.G; ++p) vGrid(p) = (*pGridValues)(p);
  Matrix mAllX;
  ColumnVector vStackedX;
  ColumnVector vStackedY;
  ForAllKinkMKAction::calculateX0AllXAllY(iXColumn, groupX, groupY, settings,
                                          vGrid, mAllX, vStackedX, vStackedY);
  *pX0 = mAllX;
  PreCalcXWX();

  run.dTotal = 0.0;
  if (run.selection == kmModelSelection::kPermutationTest)
    run.dTotal += 2.0 * (run.kmax - run.kmin);
  if (run.dTotal <= 0.0) run.dTotal = 1.0;
  if (run.ciMethod == kmIntervalMethod::kEmpiricalQuantile)
    run.dTotal += run.kmax - run.kmin + 1;
  if (run.ciMethod == kmIntervalMethod::kFirstLast)
    run.sCIMethod = "FirstLastT";
  if (run.ciMethod == kmIntervalMethod::kResampledT) run.sCIMethod = "EmpCDFT";
  if (run.ciMethod == kmIntervalMethod::kEmpiricalQuantile)
    run.sCIMethod = "EmpCDFQuantile";

  KMSeriesSet& seriesSet = run.seriesSet;
  seriesSet.labels.SetSize(1);
  seriesSet.xValues.SetSize(1);
  seriesSet.yValues.SetSize(1);
  seriesSet.xValues[0] = groupX[0];
  for (int i = 1; i <= n; ++i) seriesSet.xValues[0](i) += run.dOrigin;
  seriesSet.yValues[0] = groupY[0];
  seriesSet.covariance << mWorkB;
}

void kmCalculator::FitEveryNumberOfKinkmarks(SelModRun& run) {
  // The first pass moves the bar from where it stands to the first step,
  // each number of kinkmarks across a share of that span in proportion to
  // the placements its search fits (they grow about as C(G, k)).
  std::vector<double> vPlacements;
  double dAll = 0.0;
  for (int16_t k = run.kmin; k <= run.kmax; ++k) {
    vPlacements.push_back(
        km_models_internal::CountTauPlacements(k, *pGridAux, run.G));
    dAll += vPlacements.back();
  }
  const double dFrom =
      run.pProgress != nullptr ? run.pProgress->GetBarPosition() : 0.0;
  const double dTo = std::max(dFrom, StepPosition(1.0, run.dTotal));
  double dDone = 0.0;
  for (int16_t k = run.kmin; k <= run.kmax; ++k) {
    dDone += vPlacements[static_cast<size_t>(k - run.kmin)];
    const double dShare = dAll > 0.0 ? dDone / dAll : 1.0;
    KmSpanProgress span =
        SearchSpan(run.pProgress, dFrom + (dTo - dFrom) * dShare);
    if (!FitOneNumberOfKinkmarks(run, k, &span)) break;
  }
}

bool kmCalculator::FitOneNumberOfKinkmarks(
    SelModRun& run, int16_t k, KmProgressInterface* pSearchProgress) {
  const uint16_t uK = static_cast<uint16_t>(k);
  if (run.bJump) {
    GridSearch_WithJumpModel(1, uK, run.vLocations, run.vEstimates,
                             run.vResidSum1, run.G, run.mProfile, 1,
                             pSearchProgress);
  } else {
    GridSearch(1, uK, run.vLocations, run.vEstimates, run.vResidSum1, run.G,
               run.mProfile, pSearchProgress);
  }
  // A cancelled search returns without a model; there is nothing to
  // tabulate, so the record keeps the models finished so far.
  if (SearchCancelled(run.pProgress)) return false;
  kmTable table;
  table.SetErrorType(run.iPhiMode);
  table.SetAutocorrelation(run.dPhi);
  table.SetCIMethodName(KmString(run.sCIMethod));
  table.SetSeriesSet(run.seriesSet);
  table.SetModelWords(run.sModelType, KmString("Log"), KmString("GridSearch"));
  table.SetGridSettings(run.iMinEnd, run.iMinBetween, run.iGridPoints);
  table.SetNumResamples(run.iNumDataSets);
  Table(false, uK, run.vLocations, run.vResidSum1, run.vEstimates,
        static_cast<uint16_t>(run.G), run.mProfile, &table, run.selection,
        run.dOrigin, run.bJump);
  if (run.bCR) {
    kmSession* pSession = GetCalcSession();
    Calculate_Resids_Comp_Ratio(uK, run.mA, run.vEstimates, run.vLocations,
                                run.mFitted, run.mResid);
    Calculate_Comparability_Ratio_CI(
        pSession->GetDouble(kmOptCRValue), pSession->GetDouble(kmOptCRVariance),
        pSession->GetDouble(kmOptJumpCRAlpha), &vCRResults);
    SetComparabilityFields(table, run.bLogLinear);
  } else if (run.bJump) {
    Resids_JumpModel_Final(k, static_cast<int>(run.dOrigin), run.mA,
                           run.vEstimates, run.vLocations, run.mFitted,
                           run.mResid, table, dJumpLocation, vJumpResults(1));
    table.SetJumpLocation(dJumpLocation);
    table.SetJumpValue(vJumpResults(1));
    table.SetJumpSE(vJumpResults(2));
    table.SetJumpStat(vJumpResults(3));
    table.SetJumpPValue(vJumpResults(4));
    table.SetJumpLowerCI(vJumpResults(5));
    table.SetJumpUpperCI(vJumpResults(6));
    table.SetJumpIsSig(vJumpResults(7));
    SetComparabilityFields(table, run.bLogLinear);
  } else {
    Resids(k, static_cast<int>(run.dOrigin), run.mA, run.vEstimates,
           run.vLocations, run.mFitted, run.mResid, table);
  }
  if (kmIsWeightedBIC(run.selection)) {
    SetWeightedBIC(run.selection, &table, k, false, run.vResidSum1(1));
  }
  run.pCalcData->dAutocorrelation = run.dPhi;
  run.pCalcData->vModels.push_back(table);
  if (IsPerfectFit(run.vResidSum1(1))) {
    run.iNumDataSets = 1;
    if (run.kPerfect < 0) run.kPerfect = k;
  }
  return true;
}

void kmCalculator::ChooseFinalModel(SelModRun& run) {
  kmCalcData* pCalcData = run.pCalcData;
  const kmModelSelection selection = run.selection;
  // Criteria winners; ties keep the smaller number of kinkmarks.
  int16_t kBIC = run.kmin;
  int16_t kBIC3 = run.kmin;
  if (kmIsCriterion(selection)) {
    for (int16_t k = run.kmin;
         k <= run.kmax && !IsSelModCancelled(run.pProgress); ++k) {
      const kmTable& table = pCalcData->GetModel(k - run.kmin);
      const kmTable& best = pCalcData->GetModel(kBIC - run.kmin);
      if (table.GetBIC() < best.GetBIC()) kBIC = k;
      if (selection == kmModelSelection::kDataDependent &&
          table.GetBIC3() < pCalcData->GetModel(kBIC3 - run.kmin).GetBIC3()) {
        kBIC3 = k;
      }
    }
    if (run.bMADWD) {
      const int16_t kChecked = MADWDPass(
          pCalcData,
          selection == kmModelSelection::kDataDependent ? kBIC3 : kBIC,
          run.kmin, run.dPsi, run.pProgress);
      kBIC = kChecked;
      if (selection == kmModelSelection::kDataDependent) kBIC3 = kChecked;
    }
  }

  if (run.kPerfect >= 0) {
    pCalcData->uFinalSelectedModel = static_cast<uint16_t>(run.kPerfect);
  } else if (selection == kmModelSelection::kDataDependent) {
    // A first pass stopped by cancellation leaves models missing, and
    // the final choice reads them all: a cancelled run chooses nothing.
    if (pCalcData->vModels.size() ==
        static_cast<size_t>(run.kmax - run.kmin + 1)) {
      OneDimensionArray<ColumnVector> vX(run.seriesSet.xValues);
      SelectFinalModelDDS(pCalcData, kBIC, kBIC3, run.kmin, run.kmax, &vX,
                          &run.mA);
    }
  } else if (kmIsCriterion(selection)) {
    pCalcData->uFinalSelectedModel = static_cast<uint16_t>(kBIC);
  } else if (selection == kmModelSelection::kPermutationTest) {
    const int16_t k0 = RunPermutationTests(run);
    pCalcData->uFinalSelectedModel = static_cast<uint16_t>(
        run.bMADWD ? MADWDPass(pCalcData, k0, run.kmin, run.dPsi, run.pProgress)
                   : k0);
  }
}

int16_t kmCalculator::RunPermutationTests(SelModRun& run) {
  kmBackgroundProgressTrackerWithBar* pProgress = run.pProgress;
  const int iJump = run.bJump ? 1 : 0;
  pRandom->sgenrand(
      static_cast<uint32_t>(GetCalcSession()->GetInt(kmOptPermutationSeed)));
  int16_t k0 = run.kmin;
  int16_t k1 = run.kmax;
  double dCount = 0.0;
  while (k0 < k1 && run.iNumDataSets > 1 && !IsSelModCancelled(pProgress)) {
    Permute(k0, run.mL, run.mFitted, run.mResid, run.iNumDataSets);
    if (IsSelModCancelled(pProgress)) break;
    // Each search fits every data set at each placement, so its placements
    // measure its work; it moves the bar to the step it ends.
    KmSpanProgress nullSearch =
        SearchSpan(pProgress, StepPosition(dCount + 1.0, run.dTotal));
    GridSearch_WithJumpModel(run.iNumDataSets, static_cast<uint16_t>(k0),
                             run.vLocations, run.vEstimates, run.vResidSum0,
                             run.G, run.mProfile, iJump, &nullSearch);
    Advance(pProgress, dCount, run.dTotal);
    if (IsSelModCancelled(pProgress)) break;
    KmSpanProgress alternativeSearch =
        SearchSpan(pProgress, StepPosition(dCount + 1.0, run.dTotal));
    GridSearch_WithJumpModel(run.iNumDataSets, static_cast<uint16_t>(k1),
                             run.vLocations, run.vEstimates, run.vResidSum1,
                             run.G, run.mProfile, iJump, &alternativeSearch);
    Advance(pProgress, dCount, run.dTotal);
    if (IsSelModCancelled(pProgress)) break;
    const double dAlphaAdj = run.dAlpha / (run.kmax - k0);
    kmFTest test(static_cast<uint16_t>(k0), static_cast<uint16_t>(k1));
    const double dP =
        FTest(static_cast<int16_t>(run.kmax - k0), k0, k1, dAlphaAdj,
              run.iNumDataSets, run.vResidSum0, run.vResidSum1, test);
    run.pCalcData->vFTests.push_back(test);
    if (dP <= dAlphaAdj) {
      ++k0;
    } else {
      --k1;
    }
  }
  return k0;
}

void kmCalculator::FinishSelMod(SelModRun& run) {
  kmBackgroundProgressTrackerWithBar* pProgress = run.pProgress;
  SetAPCIntervals(run.pCalcData, !IsSelModCancelled(pProgress), pProgress,
                  run.iTaskValue, run.dTotal);
  if (run.bCR) {
    for (int16_t k = run.kmin; k <= run.kmax && !IsSelModCancelled(pProgress);
         ++k) {
      Calculate_Comp_Ratio(
          static_cast<uint16_t>(k), static_cast<int32_t>(run.dOrigin),
          run.mFitted, &run.pCalcData->vModels[k - run.kmin], dJumpLocation);
    }
  }
}

void kmCalculator::SetComparabilityFields(kmTable& table, bool bLogLinear) {
  // The ratio only means something on the log scale.
  const bool bUse = bLogLinear && vCRResults.Nrows() >= 7;
  table.SetComparabilityRatio(bUse ? vCRResults(1) : 0.0);
  table.SetComparabilitySE(bUse ? vCRResults(2) : 0.0);
  table.SetComparabilityStat(bUse ? vCRResults(3) : 0.0);
  table.SetComparabilityPValue(bUse ? vCRResults(4) : 0.0);
  table.SetComparabilityLowerCI(bUse ? vCRResults(5) : 0.0);
  table.SetComparabilityUpperCI(bUse ? vCRResults(6) : 0.0);
  table.SetComparabilityIsSig(bUse ? vCRResults(7) : 0.0);
}
