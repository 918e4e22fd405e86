// kmCalculationHandler: CohortTask, CalculateCohort, ReadCohortData and the
// run's stored failure, the work of the pool's workers.
#include <newmat.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "engine/kmCalculator.h"
#include "engine/kmCohortClustering.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "foundation/kmRunProgressTrackers.h"
#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmFitMethod.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

constexpr const char* kClassName = "kmCalculationHandler";
constexpr const char* kTaskSource = "kmCalculationHandler::CohortTask()";
// The final model field of a record without one.
constexpr uint16_t kNoFinalModel = 65535;

// The failure of a cohort task as the KmException the run raises: a
// KmException as it is, anything else with its text (or a text saying that
// it had none).
KmException AsKmException(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const KmException& e) {
    return e;
  } catch (NEWMAT::BaseException&) {
    return KmException(CopyMatrixErrorText().c_str(), kTaskSource);
  } catch (const std::exception& e) {
    return KmExceptionFromStandard(e, kTaskSource);
  } catch (const char* sText) {
    return KmException(sText != nullptr ? sText : "", kTaskSource);
  } catch (...) {
    return KmException("Unknown exception in a cohort task", kTaskSource);
  }
}

// Frees the calculator's four per-cohort data matrices when it goes out of
// scope, also when the fit fails.
class CohortDataRelease {
 public:
  explicit CohortDataRelease(kmCalculator* pCalculator)
      : pCalculator_(pCalculator) {}
  CohortDataRelease(const CohortDataRelease&) = delete;
  CohortDataRelease& operator=(const CohortDataRelease&) = delete;
  ~CohortDataRelease() { pCalculator_->ReleaseObservations(); }

 private:
  kmCalculator* pCalculator_;
};

}  // namespace

void kmCalculationHandler::StoreFailure(std::exception_ptr failure,
                                        int iCohort) {
  std::lock_guard<std::mutex> lock(failureMutex_);
  // The first failed cohort in file order wins, not the first worker to
  // fail; a failure of no cohort (the writer's) wins over every cohort's.
  if (pFailure_ &&
      (iFailedCohort_ < 0 || (iCohort >= 0 && iCohort >= iFailedCohort_))) {
    return;
  }
  pFailure_ = std::make_exception_ptr(AsKmException(std::move(failure)));
  iFailedCohort_ = iCohort;
}

bool kmCalculationHandler::HasFailure() const {
  std::lock_guard<std::mutex> lock(failureMutex_);
  return static_cast<bool>(pFailure_);
}

void kmCalculationHandler::FinishCohortTask(int iCohort) {
  bool bCancel = false;
  {
    std::lock_guard<std::mutex> lock(failureMutex_);
    if (iCohort >= 0) {
      if (vCohortEnded_.size() <= static_cast<size_t>(iCohort)) {
        vCohortEnded_.resize(static_cast<size_t>(iCohort) + 1, false);
      }
      vCohortEnded_[static_cast<size_t>(iCohort)] = true;
      while (static_cast<size_t>(iEndedPrefix_) < vCohortEnded_.size() &&
             vCohortEnded_[static_cast<size_t>(iEndedPrefix_)]) {
        ++iEndedPrefix_;
      }
    }
    bCancel = pFailure_ && iEndedPrefix_ >= iFailedCohort_;
  }
  if (bCancel) pTracker_->SetCancelFlag(true);
}

void kmCalculationHandler::CohortTask(int /*iTask*/) {
  // Nothing leaves a task: every failure becomes the run's failure.
  int iCohort = -1;
  try {
    auto pCalculator =
        std::make_unique<kmCalculator>(this, pCalcHandler_.get());
    kmCalculator* pUsed = pCalculator.get();
    if (bPairwise_) {
      std::lock_guard<std::mutex> lock(calculatorsMutex_);
      vCalculators_.push_back(std::move(pCalculator));
    }
    CalculateCohort(pUsed, pTracker_, iCohort);
  } catch (...) {
    StoreFailure(std::current_exception(), iCohort);
  }
  FinishCohortTask(iCohort);
}

void kmCalculationHandler::CalculateCohort(kmCalculator* pCalculator,
                                           KmProgressInterface* pTracker,
                                           int& iCohort) {
  CohortDataRelease release(pCalculator);
  iCohort = -1;
  bool bZeroAdjusted = false;
  ReadCohortData(iCohort, pCalculator, pTracker, bZeroAdjusted);
  // After a failure the cohorts still to be read come after it in file
  // order: none of them is read.
  if (pTracker->IsCancelled() || (iCohort < 0 && HasFailure())) return;
  // Records are keyed by the cohort read, not by the task.
  if (iCohort < 0 || iCohort >= iNumCohorts_) {
    GenerateKmExceptionF(
        "The data reader reported cohort %d, outside the run's cohorts 0 to "
        "%d.",
        kClassName, iCohort, iNumCohorts_ - 1);
  }
  pCalculator->LoadCalcMembers(pSession_.get(), iCohort);

  // The reader's per-cohort state is read under the data-file lock, since
  // another task may be reading the file meanwhile.
  KmString sVerification;
  kmCohortValidity validity = kmCohortValidity::kNoFinding;
  bool bGood = false;
  KmVector<KmVector<double>> vVarCov;
  {
    std::lock_guard<std::mutex> lock(dataFileMutex_);
    sVerification = pReadData_->GetIsCohortGoodToUse(iCohort);
    validity = pReadData_->GetCohortValidity(iCohort);
    bGood = pReadData_->GetCohortGoodFlag(iCohort);
    vVarCov = pReadData_->GetVarCovTable();
  }

  auto pRecord = std::make_unique<kmCalcData>();
  const kmSession& session = *pSession_;
  pRecord->bValid = IsValidCohort(validity);
  const kmAnalysisCopies copies(session);
  pRecord->bJumpModel = copies.IsJumpCopy(iCohort);
  pRecord->bComparabilityRatio = copies.IsComparabilityRatioCopy(iCohort);
  pRecord->SetCohortBadDescription(sVerification);
  pRecord->SetCohortLabel(pCalcHandler_->GetCombos()->GetCohortLabelEachLevel(
      iCohort, pCalcHandler_->GetSession()));
  pRecord->bComparison = false;
  // The results file keeps whether the cohort's zero counts were read as 0.5.
  pRecord->bCohortData = bZeroAdjusted;
  // A refused cohort is not fitted; its rows may not match the matrix
  // (verification refuses a cohort of another size).
  if (bGood && !vVarCov.empty() && pCalculator->GetDataY() != nullptr) {
    pRecord->SetVarianceCovarianceMatrix(vVarCov, *pCalculator->GetDataY(),
                                         session.GetBool(kmOptLogLinear));
  }
  pRecord->bMADWD = session.GetBool(kmOptMADWD);
  pRecord->dMADWDPsi = session.GetDouble(kmOptMADWDPsi);

  // A clustering's outcome goes to its result file with the record, in
  // cohort order.
  std::string sClustering;
  if (bGood) {
    kmBackgroundProgressTrackerWithBar* pSub =
        pTracker_->GetByGroupSubProgressInterface(iCohort);
    pSub->SetPosition(1);
    pSub->SetRunningFlag(true);
    if (cohortFit_) {
      cohortFit_(*pCalculator, pRecord.get(), pSub, iCohort);
    } else if (bClustering_) {
      sClustering = kmCohortClustering(*pCalculator).Cluster(pSub);
    } else if (kmIsHudsons(session.Get<kmFitMethod>())) {
      pCalculator->SelModESR(pRecord.get(), pSub, iCohort);
    } else {
      // The cohort index, not the task index, seeds the resampled
      // intervals, so that a cohort's figures do not depend on which
      // worker happened to read it.
      pCalculator->SelMod(pRecord.get(), pSub, iCohort, iCohort);
    }
    pSub->SetPosition(100);
    pSub->SetRunningFlag(false);
  } else {
    pCalculator->AddBadCohort(pRecord.get());
  }

  // Distinct tasks write distinct entries.
  vFinalModelSizes_(iCohort + 1) =
      pRecord->uFinalSelectedModel == kNoFinalModel
          ? -1.0
          : static_cast<double>(
                static_cast<int16_t>(pRecord->uFinalSelectedModel));
  if (pTracker->IsCancelled()) {
    pTracker->SetProcessText("Canceling...");
    return;
  }
  pFinishedResults_->StoreFinishedResult(iCohort, std::move(pRecord),
                                         std::move(sClustering));
  pTracker->StepBy(kProgressPerCohort);
}

void kmCalculationHandler::ReadCohortData(int& iCohortIndex,
                                          kmCalculator* pCalculator,
                                          KmProgressInterface* pTracker,
                                          bool& bZeroAdjusted) {
  std::lock_guard<std::mutex> lock(dataFileMutex_);
  WithCallPath("ReadCohortData", kClassName, [&] {
    if (pTracker->IsCancelled() || HasFailure()) return;
    if (bClustering_) {
      kmValueTable records;
      pReadData_->ReadDataAndCalcRates_Cluster(&iCohortIndex, records);
      if (pReadData_->GetCohortGoodFlag(iCohortIndex)) {
        CompressData(records);
        ProcessClusterCohortData(iCohortIndex);
      } else {
        // A refused cohort is not clustered, and its records need not form
        // a year of every group (the verification named what they lack):
        // its placeholder keeps its number of years alone.
        RefusedClusterCohort(records.size());
      }
      pCalculator->SetClusterMatrix(iCurrentNumObs_, *pClusterMatrix_,
                                    vClusterRows_);
      return;
    }
    if (bRatesFromAdjustGroups_) {
      pReadData_->ReadDataAndCalcRates(&iCohortIndex);
    } else {
      pReadData_->ReadData(&iCohortIndex);
    }
    ProcessCohortRecords(iCohortIndex, pCalculator, bZeroAdjusted);
    // A refused cohort keeps only the rows it read (ProcessCohortRecords).
    int n = GetNumObsThisCohort(iCohortIndex);
    if (bRatesFromAdjustGroups_) {
      n = iCurrentNumObs_;
    } else if (!pReadData_->GetCohortGoodFlag(iCohortIndex)) {
      n = std::min<int>(n, iCurrentNumObs_);
    }
    pCalculator->SetNumObservations(static_cast<int16_t>(n));
  });
}
