// kmCalculator: Compute_APC_AAPC_CIs (AAPC ranges and the interval pass
// over the models of one cohort) and SetAPCIntervals (the one writer of the
// APC intervals of a record's models).
//
// Compute_APC_AAPC_CIs in full:
// For every model of *pData (when bFinalOnly, only the model whose number
// of kinkmarks is the final selected model): appends the session's AAPC
// ranges (full range, last-N observations with 0 < N <= n, custom ranges; x
// from column 1 of model 0's data rows), computes each with
// kmTable::CalculateAAPC and then the APC intervals with
// kmTable::CalculateAPC_CIs, by kmOptAAPCCIMethod (empirical quantiles when
// bFinalOnly). Each model gets its own, fresh resampling cache, so no model
// reuses another model's refits. Stops before the next model once pProgress
// reports cancellation; with empirical quantiles stores the progress position
// min(100, (i + P0 + 1) / dTotal * 100) after model i, P0 the entry position /
// dTotal. Throws: KmException for null arguments, a cohort without models, and
// the errors of the table's interval calculations; matrix-library errors with
// source "kmCalculator::Compute_APC_AAPC_CIs()"; call path
// "Compute_APC_AAPC_CIs()".
#include <newmat.h>

#include <algorithm>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/OneDimensionArray.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "models/KMRegFitRecord.h"
#include "results/kmCalcData.h"
#include "results/kmTable.h"
#include "session/kmAAPCRanges.h"
#include "session/kmIntervalMethod.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

constexpr const char* kClassName = "kmCalculator";
// Observed value of a result row that draws a kinkmark or a jump.
constexpr double kNoObservedValue = -9999.0;

}  // namespace

void kmCalculator::Compute_APC_AAPC_CIs(
    kmCalcData* pData, kmBackgroundProgressTrackerWithBar* pProgress,
    int iTaskValue, bool bFinalOnly, double dTotal) {
  WithCallPath("Compute_APC_AAPC_CIs()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::Compute_APC_AAPC_CIs()", [&]() {
      if (pData == nullptr || pProgress == nullptr) {
        GenerateKmException(
            "The cohort record and its progress tracker must be given.",
            kClassName);
      }
      const kmSession* pSession = GetCalcSession();
      const kmIntervalMethod method = bFinalOnly
                                          ? kmIntervalMethod::kEmpiricalQuantile
                                          : pSession->Get<kmIntervalMethod>();
      // The tables take the method as their interval code, whose first
      // codes are the session's.
      const int32_t iMethod = static_cast<int32_t>(method);
      const double dAAPCAlpha = pSession->GetDouble(kmOptAAPCAlpha);
      const double dPermAlpha = pSession->GetDouble(kmOptPermSignificance);
      const double dKinkAlpha = pSession->GetDouble(kmOptKinkmarkAlpha);
      const double dAPCAlpha = pSession->GetDouble(kmOptAPCAlpha);
      const double dJumpAlpha = pSession->GetDouble(kmOptJumpCRAlpha);
      const kmAAPCRanges ranges = pSession->GetAAPCRanges();
      const std::vector<int32_t> vLastObs = ranges.GetLastObsRanges();
      const std::vector<double> vStarts = ranges.GetStartRange();
      const std::vector<double> vEnds = ranges.GetEndRange();

      const int iNumModels = static_cast<int>(pData->vModels.size());
      // The observed x come from model 0's rows; without it there is
      // nothing to attach ranges to (GetModel raises its own message).
      const NEWMAT::Matrix mRows = pData->GetModel(0).GetData();
      // Kinkmark and jump rows carry no observed value (-9999.0) and are
      // not observations: the last-N ranges count observations only.
      std::vector<double> vX;
      for (int r = 1; r <= mRows.Nrows(); ++r) {
        if (mRows.Ncols() >= 2 && mRows(r, 2) == kNoObservedValue) continue;
        vX.push_back(mRows(r, 1));
      }
      const int iN = static_cast<int>(vX.size());

      const double dP0 =
          (method == kmIntervalMethod::kEmpiricalQuantile && dTotal > 0.0)
              ? pProgress->GetBarPosition() / dTotal
              : 0.0;

      for (int i = 0; i < iNumModels; ++i) {
        if (pProgress->GetCancelFlag()) break;
        kmTable& table = pData->vModels[i];
        // The final selected model is a number of kinkmarks; the models
        // start at the minimum number, so match it by kinkmark count
        // rather than by position.
        if (bFinalOnly &&
            table.GetNumKinkmarks() != pData->uFinalSelectedModel) {
          continue;
        }
        // One cache per model: the resampled refits belong to this
        // model's fit and must not serve the next model.
        OneDimensionArray<KMRegFitRecord> fitRecords;

        int32_t iAAPC = 0;
        if (ranges.GetFullRange()) {
          if (iN == 0) {
            GenerateKmException(
                "The cohort's first model holds no observations, so its "
                "full AAPC range cannot be set.",
                kClassName);
          }
          table.AddAAPC(vX[0], vX[iN - 1], 0.0, 0.0, 0.0, 0.0, 0.0);
          table.CalculateAAPC(iAAPC, dAAPCAlpha, dKinkAlpha, dAPCAlpha,
                              dJumpAlpha, pSession, iTaskValue, i, iMethod,
                              fitRecords);
          ++iAAPC;
        }
        for (int32_t iLength : vLastObs) {
          if (iLength <= 0 || iLength > iN) continue;
          table.AddAAPC(vX[iN - iLength], vX[iN - 1], 0.0, 0.0, 0.0, 0.0, 0.0);
          table.CalculateAAPC(iAAPC, dAAPCAlpha, dKinkAlpha, dAPCAlpha,
                              dJumpAlpha, pSession, iTaskValue, i, iMethod,
                              fitRecords);
          ++iAAPC;
        }
        // A start without an end (or the reverse) is not a range.
        const size_t nCustom = std::min(vStarts.size(), vEnds.size());
        for (size_t r = 0; r < nCustom; ++r) {
          table.AddAAPC(vStarts[r], vEnds[r], 0.0, 0.0, 0.0, 0.0, 0.0);
          table.CalculateAAPC(iAAPC, dAAPCAlpha, dKinkAlpha, dAPCAlpha,
                              dJumpAlpha, pSession, iTaskValue, i, iMethod,
                              fitRecords);
          ++iAAPC;
        }
        table.CalculateAPC_CIs(dAAPCAlpha, dPermAlpha, dKinkAlpha, dAPCAlpha,
                               dJumpAlpha, pSession, iTaskValue, i, iMethod,
                               fitRecords);

        // A denominator that is not positive gives no position.
        if (method == kmIntervalMethod::kEmpiricalQuantile && dTotal > 0.0) {
          double dPosition = (i + dP0 + 1.0) / dTotal * 100.0;
          if (dPosition > 100.0) dPosition = 100.0;
          pProgress->SetPosition(static_cast<int32_t>(dPosition));
        }
      }
    });
  });
}

void kmCalculator::SetAPCIntervals(
    kmCalcData* pData, bool bResample,
    kmBackgroundProgressTrackerWithBar* pProgress, int iTaskValue,
    double dTotal) {
  WithCallPath("SetAPCIntervals()", kClassName, [&] {
    if (pData == nullptr) {
      GenerateKmException("The cohort record must be given.", kClassName);
    }
    const kmSession* pSession = GetCalcSession();
    const bool bFinalOnly = pSession->GetBool(kmOptFSMOnly);
    const bool bResampled =
        bResample && pSession->Get<kmIntervalMethod>() ==
                         kmIntervalMethod::kEmpiricalQuantile;
    if (bResampled) {
      Compute_APC_AAPC_CIs(pData, pProgress, iTaskValue, bFinalOnly, dTotal);
    }
    if (!pSession->GetBool(kmOptLogLinear)) return;
    const double dAPCAlpha = pSession->GetDouble(kmOptAPCAlpha);
    for (kmTable& table : pData->vModels) {
      const bool bFinal = table.GetNumKinkmarks() == pData->uFinalSelectedModel;
      if (bResampled && (!bFinalOnly || bFinal)) continue;
      table.SetParametricAPCs(dAPCAlpha);
    }
  });
}
