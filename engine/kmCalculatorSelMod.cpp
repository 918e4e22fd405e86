// kmCalculator: SelMod (model selection by grid search) and its MADWD pass.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/OneDimensionArray.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "foundation/kmTools.h"
#include "models/ForAllKinkMKAction.h"
#include "models/KMSeriesSet.h"
#include "results/kmCalcData.h"
#include "results/kmFTest.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kQualifiedName = "kmCalculator::SelMod()";

// The run's cancel flag, or a cancellation reported through the parent.
bool IsCancelled(const kmBackgroundProgressTrackerWithBar* pProgress) {
  return pProgress != nullptr &&
         (pProgress->GetCancelFlag() || pProgress->IsCancelled());
}

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

// Advances the progress counter by one step of the selection phase.
void Advance(kmBackgroundProgressTrackerWithBar* pProgress, double& dCount,
             double dTotal) {
  if (pProgress == nullptr) return;
  dCount += 1.0;
  const double dPos = std::min(100.0, std::trunc(dCount / dTotal * 100.0));
  pProgress->SetPosition(static_cast<int32_t>(dPos));
  if (pProgress->IsCancelled()) pProgress->SetProcessText("Cancelling...");
}

}  // namespace

int16_t kmCalculator::MADWDPass(kmCalcData* pCalcData, int16_t kStart,
                                int16_t kmin, double dPsi,
                                kmBackgroundProgressTrackerWithBar* pProgress) {
  return WithCallPath("MADWDPass()", "kmCalculator", [&]() -> int16_t {
    std::vector<std::vector<double>> vDetails;
    int16_t kResult = kmin;
    for (int16_t k = kStart; k > kmin && !IsCancelled(pProgress); --k) {
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
    pCalcData->vMADWDValues = vRows;
    return kResult;
  });
}

void kmCalculator::SelMod(kmCalcData* pCalcData,
                          kmBackgroundProgressTrackerWithBar* pProgress,
                          int iCohortIndex, int iTaskValue) {
  WithCallPath("SelMod()", "kmCalculator", [&] {
    RunningFlag running(pProgress);
    WithMatrixErrorsAsKm(kQualifiedName, [&]() {
      if (pCalcData == nullptr) {
        GenerateKmException("The cohort's result record is missing.",
                            "kmCalculator");
      }
      if (pDataX == nullptr || pDataY == nullptr ||
          pDataWeightInput == nullptr || pGridValues == nullptr ||
          pGridAux == nullptr) {
        GenerateKmException(
            "The cohort's observations must be loaded (LoadCalcMembers) "
            "before SelMod.",
            "kmCalculator");
      }
      kmSession* pSession = GetCalcSession();
      const bool bJump = pCalcData->bJumpModel;
      const bool bCR = pCalcData->bComparabilityRatio;
      const double dPsi = pSession->GetDouble(kmOptMADWDPsi);
      const bool bMADWD = pSession->GetBool(kmOptMADWD);
      const double dJumpOption = pSession->GetDouble(kmOptJumpLocation);
      if (pCalcData->bVarCovMatrix) {
        pVarCovMatrix = pCalcData->GetWeightingMatrix();
      }
      iXColumn = 2;

      const int iMethod = pSession->GetInt(kmOptModelSelection);
      const int16_t kmin =
          static_cast<int16_t>(pSession->GetInt(kmOptMinKinkmarks));
      int16_t kmax = static_cast<int16_t>(pSession->GetInt(kmOptMaxKinkmarks));
      const int16_t iMinEnd =
          static_cast<int16_t>(pSession->GetInt(kmOptMinObsEnd));
      const int iMinBetween = pSession->GetInt(kmOptMinObsBetween);
      const int iGridPoints = pSession->GetInt(kmOptGridPointsBetween);
      const int16_t n =
          static_cast<int16_t>(GetNumObsThisCohort(pSession, iCohortIndex));
      if (n < 1 || pDataX->Nrows() < n || pDataY->Nrows() < n) {
        GenerateKmException(
            "The cohort's observation matrices hold fewer rows than its "
            "observation count.",
            "kmCalculator");
      }
      iNumObs = n;

      if (pSession->GetBool(kmOptPerCohortMaxKinkmarks)) {
        const int iFeasibility = pSession->GetInt(kmOptMaxKinkmarksFeasibility);
        if (iFeasibility == 1) {
          while (kmax > 0 && !kmTools::KinkmarkCountFeasible(n, kmax, iMinEnd,
                                                             iMinBetween)) {
            --kmax;
          }
        } else if (iFeasibility == 0) {
          kmax = kmTools::MaxKinkmarksForObservations(n, false);
        }
      }
      if (kmin < 0 || kmax < kmin) {
        GenerateKmInputExceptionF(
            "The cohort cannot be fitted with %d to %d kinkmarks.",
            "kmCalculator", static_cast<int>(kmin), static_cast<int>(kmax));
      }

      int iNumDataSets = pSession->GetInt(kmOptNumPermutations) + 1;
      const double dAlpha = pSession->GetDouble(kmOptPermSignificance);
      ColumnVector vResidSum0(std::max(iNumDataSets, 1));
      ColumnVector vResidSum1(std::max(iNumDataSets, 1));
      vResidSum0 = 1e50;
      vResidSum1 = 1e50;
      ColumnVector vLocations;
      ColumnVector vEstimates;
      Matrix mFitted(kmax + 1, n);
      Matrix mResid(kmax + 1, n);
      mFitted = 0.0;
      mResid = 0.0;
      Matrix mProfile;

      // Autocorrelation and weighting.
      const int iAutoMode = pSession->GetInt(kmOptAutocorrErrors);
      double dPhi = 0.0;
      int iPhiMode = 0;
      if (iAutoMode == 1) {
        dPhi = calculateAutoParamPhi(static_cast<uint16_t>(kmax));
        iPhiMode = 1;
      } else if (iAutoMode != 0) {
        dPhi = pSession->GetDouble(kmOptAutocorrParameter);
        iPhiMode = 2;
      }
      Matrix mA;
      Matrix mL;
      WLSWgt(dPhi, mA, mL);
      mWorkA = mA;
      mWorkB = mL.t() * mL;

      // Integer origin: the fits work on x less t.
      double dMinX = (*pDataX)(1, 2);
      for (int i = 2; i <= n; ++i) dMinX = std::min(dMinX, (*pDataX)(i, 2));
      const double dOrigin = std::trunc(dMinX);
      for (int i = 1; i <= pDataX->Nrows(); ++i) (*pDataX)(i, 2) -= dOrigin;
      dJumpLocation = dJumpOption - dOrigin;

      const int16_t G = FindGridPoints(iMinEnd, iMinBetween, iGridPoints);

      // The all-candidates design of the framework (intercept, x, one hinge
      // per candidate, the jump step when the jump model is on).
      KMRegModelSettings settings;
      settings.jump = bJump ? 1 : 0;
      settings.jumpLocation = dJumpLocation;
      OneDimensionArray<ColumnVector> groupX;
      OneDimensionArray<ColumnVector> groupY;
      groupX.SetSize(1);
      groupY.SetSize(1);
      groupX[0] = pDataX->SubMatrix(1, n, 2, 2);
      groupY[0] = pDataY->SubMatrix(1, n, 1, 1);
      ColumnVector vGrid(std::max<int>(G, 0));
      for (int p = 1; p <= G; ++p) vGrid(p) = (*pGridValues)(p);
      Matrix mAllX;
      ColumnVector vStackedX;
      ColumnVector vStackedY;
      ForAllKinkMKAction::calculateX0AllXAllY(iXColumn, groupX, groupY,
                                              settings, vGrid, mAllX, vStackedX,
                                              vStackedY);
      *pX0 = mAllX;
      PreCalcXWX();

      const int iCIMethod = pSession->GetInt(kmOptAAPCCIMethod);
      double dTotal = 0.0;
      if (iMethod == 0) dTotal += 2.0 * (kmax - kmin);
      if (dTotal <= 0.0) dTotal = 1.0;
      if (iCIMethod == 3) dTotal += kmax - kmin + 1;
      const char* sCIMethod = "UncorrelatedVariance";
      if (iCIMethod == 1) sCIMethod = "FirstLastT";
      if (iCIMethod == 2) sCIMethod = "EmpCDFT";
      if (iCIMethod == 3) sCIMethod = "EmpCDFQuantile";

      KMSeriesSet seriesSet;
      seriesSet.labels.SetSize(1);
      seriesSet.xValues.SetSize(1);
      seriesSet.yValues.SetSize(1);
      seriesSet.xValues[0] = groupX[0];
      for (int i = 1; i <= n; ++i) seriesSet.xValues[0](i) += dOrigin;
      seriesSet.yValues[0] = groupY[0];
      seriesSet.covariance << mWorkB;
      const KmString sModelType(
          pSession->GetInt(kmOptPairwiseType) == 1 ? "Identical" : "Parallel");
      const bool bLogLinear = pSession->GetBool(kmOptLogLinear);

      // First pass: one model per number of kinkmarks.
      int16_t kPerfect = -1;
      for (int16_t k = kmin; k <= kmax; ++k) {
        if (bJump) {
          GridSearch_WithJumpModel(1, static_cast<uint16_t>(k), vLocations,
                                   vEstimates, vResidSum1, G, mProfile, 1,
                                   pProgress);
        } else {
          GridSearch(1, static_cast<uint16_t>(k), vLocations, vEstimates,
                     vResidSum1, G, mProfile, pProgress);
        }
        // A cancelled search returns without a model; there is nothing to
        // tabulate, so the record keeps the models finished so far.
        if (SearchCancelled(pProgress)) break;
        kmTable table;
        table.SetErrorType(iPhiMode);
        table.SetAutocorrelation(dPhi);
        table.SetCIMethodName(KmString(sCIMethod));
        table.SetSeriesSet(seriesSet);
        table.SetModelWords(sModelType, KmString("Log"),
                            KmString("GridSearch"));
        table.SetGridSettings(iMinEnd, iMinBetween, iGridPoints);
        table.SetNumResamples(iNumDataSets);
        Table(false, static_cast<uint16_t>(k), vLocations, vResidSum1,
              vEstimates, static_cast<uint16_t>(G), mProfile, &table, iMethod,
              dOrigin);
        if (bCR) {
          Calculate_Resids_Comp_Ratio(static_cast<uint16_t>(k), mA, vEstimates,
                                      vLocations, mFitted, mResid);
          Calculate_Comparability_Ratio_CI(
              pSession->GetDouble(kmOptCRValue),
              pSession->GetDouble(kmOptCRVariance),
              pSession->GetDouble(kmOptJumpCRAlpha), &vCRResults);
          SetComparabilityFields(table, bLogLinear);
        } else if (bJump) {
          Resids_JumpModel_Final(k, static_cast<int>(dOrigin), mA, vEstimates,
                                 vLocations, mFitted, mResid, table,
                                 dJumpLocation, vJumpResults(1));
          table.SetJumpLocation(dJumpLocation);
          table.SetJumpValue(vJumpResults(1));
          table.SetJumpSE(vJumpResults(2));
          table.SetJumpStat(vJumpResults(3));
          table.SetJumpPValue(vJumpResults(4));
          table.SetJumpLowerCI(vJumpResults(5));
          table.SetJumpUpperCI(vJumpResults(6));
          table.SetJumpIsSig(vJumpResults(7));
          SetComparabilityFields(table, bLogLinear);
        } else {
          Resids(k, static_cast<int>(dOrigin), mA, vEstimates, vLocations,
                 mFitted, mResid, table);
        }
        if (iMethod == 5 || iMethod == 6) {
          SetWeightedBIC(iMethod, &table, k, false, vResidSum1(1));
        }
        pCalcData->dAutocorrelation = dPhi;
        pCalcData->vModels.push_back(table);
        if (IsPerfectFit(vResidSum1(1))) {
          iNumDataSets = 1;
          if (kPerfect < 0) kPerfect = k;
        }
      }

      // Criteria winners; ties keep the smaller number of kinkmarks.
      int16_t kBIC = kmin;
      int16_t kBIC3 = kmin;
      if (iMethod >= 1 && iMethod <= 6) {
        for (int16_t k = kmin; k <= kmax && !IsCancelled(pProgress); ++k) {
          const kmTable& table = pCalcData->GetModel(k - kmin);
          const kmTable& best = pCalcData->GetModel(kBIC - kmin);
          if (table.GetBIC() < best.GetBIC()) kBIC = k;
          if (iMethod == 4 &&
              table.GetBIC3() < pCalcData->GetModel(kBIC3 - kmin).GetBIC3()) {
            kBIC3 = k;
          }
        }
        if (bMADWD) {
          const int16_t kChecked = MADWDPass(
              pCalcData, iMethod == 4 ? kBIC3 : kBIC, kmin, dPsi, pProgress);
          kBIC = kChecked;
          if (iMethod == 4) kBIC3 = kChecked;
        }
      }

      if (kPerfect >= 0) {
        pCalcData->uFinalSelectedModel = static_cast<uint16_t>(kPerfect);
      } else if (iMethod == 4) {
        // A first pass stopped by cancellation leaves models missing, and
        // the final choice reads them all: a cancelled run chooses nothing.
        if (pCalcData->vModels.size() == static_cast<size_t>(kmax - kmin + 1)) {
          OneDimensionArray<ColumnVector> vX(seriesSet.xValues);
          SelectFinalModelDDS(pCalcData, 0, kBIC, kBIC3, kmin, kmax, &vX, &mA);
        }
      } else if (iMethod >= 1 && iMethod <= 6) {
        pCalcData->uFinalSelectedModel = static_cast<uint16_t>(kBIC);
      } else if (iMethod == 0) {
        pRandom->sgenrand(
            static_cast<uint32_t>(pSession->GetInt(kmOptPermutationSeed)));
        int16_t k0 = kmin;
        int16_t k1 = kmax;
        double dCount = 0.0;
        while (k0 < k1 && iNumDataSets > 1 && !IsCancelled(pProgress)) {
          Permute(k0, mL, mFitted, mResid, iNumDataSets);
          if (IsCancelled(pProgress)) break;
          GridSearch_WithJumpModel(iNumDataSets, static_cast<uint16_t>(k0),
                                   vLocations, vEstimates, vResidSum0, G,
                                   mProfile, bJump ? 1 : 0, pProgress);
          Advance(pProgress, dCount, dTotal);
          if (IsCancelled(pProgress)) break;
          GridSearch_WithJumpModel(iNumDataSets, static_cast<uint16_t>(k1),
                                   vLocations, vEstimates, vResidSum1, G,
                                   mProfile, bJump ? 1 : 0, pProgress);
          Advance(pProgress, dCount, dTotal);
          if (IsCancelled(pProgress)) break;
          const double dAlphaAdj = dAlpha / (kmax - k0);
          kmFTest test(static_cast<uint16_t>(k0), static_cast<uint16_t>(k1));
          const double dP =
              FTest(static_cast<int16_t>(kmax - k0), k0, k1, dAlphaAdj,
                    iNumDataSets, vResidSum0, vResidSum1, test);
          pCalcData->vFTests.push_back(test);
          if (dP <= dAlphaAdj) {
            ++k0;
          } else {
            --k1;
          }
        }
        pCalcData->uFinalSelectedModel = static_cast<uint16_t>(
            bMADWD ? MADWDPass(pCalcData, k0, kmin, dPsi, pProgress) : k0);
      }

      if (iCIMethod == 3 && !IsCancelled(pProgress)) {
        Compute_APC_AAPC_CIs(pCalcData, pProgress, iTaskValue,
                             pSession->GetBool(kmOptFSMOnly), dTotal);
      }
      if (bCR) {
        for (int16_t k = kmin; k <= kmax && !IsCancelled(pProgress); ++k) {
          Calculate_Comp_Ratio(static_cast<uint16_t>(k),
                               static_cast<int32_t>(dOrigin), mFitted,
                               &pCalcData->vModels[k - kmin], dJumpLocation);
        }
      }
    });
  });
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
