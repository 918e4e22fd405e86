// kmCalculationHandler: ExecuteThreaded and its phases, the writer thread
// (WriteResultsInOrder) and the comparison pass.
#include <newmat.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "engine/kmCalculator.h"
#include "engine/kmPairwiseComparison.h"
#include "engine/kmRunMemory.h"
#include "engine/thread_pool.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/kmRunProgressTrackers.h"
#include "results/kmCalcData.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmComparisonType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

constexpr const char* kClassName = "kmCalculationHandler";
// ExecuteThreaded names the calculator in the call path.
constexpr const char* kRunClassName = "kmCalculator";
constexpr const char* kRunSource = "kmCalculationHandler::ExecuteThreaded()";
constexpr int kUnitsPerCohort = kmCalculationHandler::kProgressPerCohort;

// Runs body; a standard exception leaving it becomes a KmException with its
// text, so that every failure of the run carries a call path.
template <typename Body>
auto WithStandardErrorsAsKm(Body&& body) -> decltype(body()) {
  try {
    return WithMatrixErrorsAsKm(kRunSource, body);
  } catch (const KmException&) {
    throw;
  } catch (const std::exception& e) {
    throw KmExceptionFromStandard(e, kRunSource);
  }
}

// Joins the writer thread when it goes out of scope, on every path: the
// result map is closed first, so that a writer waiting for a record that
// will never come stops.
class WriterJoin {
 public:
  WriterJoin(kmFinishedResults& results, std::thread& writer)
      : results_(results), writer_(writer) {}
  WriterJoin(const WriterJoin&) = delete;
  WriterJoin& operator=(const WriterJoin&) = delete;
  ~WriterJoin() { Join(); }
  void Join() {
    results_.Close();
    if (writer_.joinable()) writer_.join();
  }

 private:
  kmFinishedResults& results_;
  std::thread& writer_;
};

// The workers of the cohort pool: "num cores", capped by the CPUs the
// process may use and by the cohort tasks that fit in the memory it may
// take, sized for the largest cohort.
int32_t CohortWorkers(const kmSession& session) {
  int32_t iLargest = 0;
  for (int32_t iLines : session.GetObservationCounts()) {
    iLargest = std::max(iLargest, iLines);
  }
  const int32_t iWorkers = thread_pool::worker_count_for(
      session.GetNumCores(), thread_pool::allowed_cpu_count());
  const double dAvailable = km_run_memory::AvailableBytes();
  const double dNeed = km_run_memory::CohortTaskBytes(session, iLargest);
  // Said only when not even one task fits.
  const KmString sWhy =
      dNeed > dAvailable && dAvailable > 0.0
          ? km_run_memory::CohortNeedText(session, iLargest, dAvailable)
          : KmString();
  return km_run_memory::WorkersWithinMemory(iWorkers, dNeed, dAvailable, sWhy);
}

}  // namespace

bool kmCalculationHandler::ExecuteThreaded(const KmFileTarget& output,
                                           KmProgressInterface* pTracker) {
  try {
    return WithCallPath("ExecuteThreaded()", kRunClassName, [&] {
      return WithStandardErrorsAsKm([&] {
        pTracker_ = dynamic_cast<kmMultiProgressTracker*>(pTracker);
        if (pTracker_ == nullptr) {
          GenerateKmException(
              "The calculation needs a progress tracker with one entry per "
              "cohort.",
              kClassName);
        }
        bInputClosed_ = false;
        sOutputFile_ = output.GetName();
        bPairwise_ =
            pSession_->Get<kmComparisonType>() == kmComparisonType::kPairwise;
        PrepareRun(output);
        RunCohortPool();
        RaiseRunFailure();
        if (bPairwise_ && !pTracker_->IsCancelled()) {
          RunComparisonPass();
        }
        // A run cancelled at any point is reported as cancelled, and its
        // results file is left without offsets.
        const bool bFinished = !pTracker_->IsCancelled();
        if (bFinished) {
          pCalcHandler_->WriteOffsets();
          pCalcHandler_->WriteNumericData();
        }
        pCalcHandler_->CloseOutFile();
        vCalculators_.clear();
        pCompCalculator_ = nullptr;
        pFinishedResults_.reset();
        return bFinished;
      });
    });
  } catch (...) {
    if (!bInputClosed_ && pReadData_ != nullptr) {
      pReadData_->CloseInputFile();
      bInputClosed_ = true;
    }
    throw;
  }
}

void kmCalculationHandler::PrepareRun(const KmFileTarget& output) {
  if (bRatesFromAdjustGroups_ && iNumAdjustGroups_ > 0) {
    // Each cohort of a rates-from-groups run holds one row per independent
    // value, not one per adjustment group as the verification counted its
    // records (the session's counts, the pre-read's, are its years).
    const int16_t iMax =
        static_cast<int16_t>(pCalcHandler_->GetMaxObservations());
    pCalcHandler_->SetMaxObservations(
        static_cast<uint16_t>(iMax / iNumAdjustGroups_));
  }
  pReadData_->OpenInputFile(true);

  pCalcHandler_->SetOutFile(output);
  pCalcHandler_->WriteSession();
  pCalcHandler_->WriteCombos();

  const kmCombos& combos = *pCalcHandler_->GetCombos();
  const int iGroups = std::max(1, combos.GetNumCombinations());
  pTracker_->SetRange(0,
                      (iGroups + combos.GetNumComparisons()) * kUnitsPerCohort);

  iNumCohorts_ = std::max(0, pReadData_->GetNumByGroups());
  vFinalModelSizes_.ReSize(iNumCohorts_);
  vFinalModelSizes_ = -1.0;
}

bool kmCalculationHandler::RunCohortPool() {
  {
    std::lock_guard<std::mutex> lock(failureMutex_);
    pFailure_ = nullptr;
    iFailedCohort_ = -1;
    vCohortEnded_.assign(static_cast<size_t>(iNumCohorts_), false);
    iEndedPrefix_ = 0;
  }
  pFinishedResults_ = std::make_unique<kmFinishedResults>(iNumCohorts_);
  const int32_t iWorkers = CohortWorkers(*pSession_);
  std::thread writer;
  try {
    writer = std::thread(&kmCalculationHandler::WriteResultsInOrder, this);
  } catch (const std::system_error& e) {
    // The writer starts first: no worker thread could start either.
    thread_pool::throw_start_failure(0, iWorkers, e.code().value());
  }
  WriterJoin writerJoin(*pFinishedResults_, writer);
  {
    // Every task is queued before the workers start; start returns once
    // all of them have ended, so there is nothing left to poll for.
    thread_pool pool;
    for (int i = 0; i < iNumCohorts_; ++i) {
      if (pTracker_->IsCancelled()) break;
      pool.submit([this, i] { CohortTask(i); });
    }
    pool.start(static_cast<int16_t>(iWorkers));
  }
  const bool bCancelled = pTracker_->IsCancelled();
  writerJoin.Join();
  pReadData_->CloseInputFile();
  bInputClosed_ = true;
  return !bCancelled;
}

void kmCalculationHandler::WriteResultsInOrder() {
  try {
    WriteFinishedResultsInOrder(
        *pFinishedResults_, [this] { return pTracker_->IsCancelled(); },
        [this](const kmCalcData& record, const std::string& sClustering) {
          pCalcHandler_->WriteCohortCalcData(&record);
          sClusteringText_ += sClustering;
        });
  } catch (...) {
    // The run stops on it: the workers see the cancel flag.
    StoreFailure(std::current_exception());
    pTracker_->SetCancelFlag(true);
  }
}

void kmCalculationHandler::RaiseRunFailure() const {
  std::exception_ptr failure;
  {
    std::lock_guard<std::mutex> lock(failureMutex_);
    failure = pFailure_;
  }
  if (failure) std::rethrow_exception(failure);
}

void kmCalculationHandler::RunComparisonPass() {
  pReadData_->ResetDataFile();
  bInputClosed_ = false;
  // With no cohort task run, the pass makes its own calculator.
  if (vCalculators_.empty()) {
    vCalculators_.push_back(
        std::make_unique<kmCalculator>(this, pCalcHandler_.get()));
  }
  pCompCalculator_ = vCalculators_.front().get();

  const int iGroups =
      std::max(1, pCalcHandler_->GetCombos()->GetNumCombinations());
  pTracker_->SetProcessText("Reading By-group Data For Comparison Analysis");
  pTracker_->SetPosition(iGroups * kUnitsPerCohort);
  ReadDataForAllByGroup(pTracker_);

  kmPairwiseComparison::GroupArray<NEWMAT::Matrix> vX, vY, vAux;
  kmPairwiseComparison::GroupArray<NEWMAT::ColumnVector> vWeights;
  for (int k = 0; k < iCompGroupCount_; ++k) {
    vX.push_back(vCompX_[k].get());
    vY.push_back(vCompY_[k].get());
    vAux.push_back(vCompAux_[k].get());
    vWeights.push_back(vCompWeights_[k].get());
  }
  kmPairwiseComparison comparison(*pCompCalculator_);
  comparison.SetTwoGroupMatrices(iCompGroupCount_, uiCompNumObs_, vX, vY,
                                 vWeights, vAux);
  pTracker_->SetPosition(iGroups * kUnitsPerCohort);
  comparison.TwoGroupComp(pTracker_, vFinalModelSizes_,
                          pReadData_->GetCohortGoodFlags());
  pReadData_->CloseInputFile();
  bInputClosed_ = true;
}
