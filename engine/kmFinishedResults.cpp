// kmFinishedResults and the writer's loop WriteFinishedResultsInOrder.
#include "engine/kmFinishedResults.h"

#include <utility>

#include "foundation/KmException.h"
#include "results/kmCalcData.h"

namespace {

constexpr const char* kClassName = "kmFinishedResults";

}  // namespace

kmFinishedResults::kmFinishedResults(int iNumCohorts)
    : iNumCohorts_(iNumCohorts < 0 ? 0 : iNumCohorts) {}

kmFinishedResults::~kmFinishedResults() = default;

void kmFinishedResults::StoreFinishedResult(int iCohortIndex,
                                            std::unique_ptr<kmCalcData> pRecord,
                                            std::string sAttached) {
  // An index outside the run would leave the writer waiting for a record
  // that never comes.
  if (iCohortIndex < 0 || iCohortIndex >= iNumCohorts_) {
    GenerateKmExceptionF(
        "Cohort index %d is outside the run's cohorts 0 to %d.", kClassName,
        iCohortIndex, iNumCohorts_ - 1);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto inserted = records_.emplace(iCohortIndex, Entry());
    if (!inserted.second) {
      GenerateKmExceptionF("The record of cohort %d has already been stored.",
                           kClassName, iCohortIndex);
    }
    inserted.first->second.pRecord = std::move(pRecord);
    inserted.first->second.sAttached = std::move(sAttached);
  }
  changed_.notify_all();
}

kmCalcData* kmFinishedResults::FindFinishedResult(int iCohortIndex) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = records_.find(iCohortIndex);
  return it == records_.end() ? nullptr : it->second.pRecord.get();
}

std::unique_ptr<kmCalcData> kmFinishedResults::TakeFinishedResult(
    int iCohortIndex, std::string* pAttached) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = records_.find(iCohortIndex);
  if (it == records_.end()) return nullptr;
  std::unique_ptr<kmCalcData> pRecord = std::move(it->second.pRecord);
  if (pAttached != nullptr) *pAttached = std::move(it->second.sAttached);
  records_.erase(it);
  return pRecord;
}

void kmFinishedResults::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bClosed_ = true;
  }
  changed_.notify_all();
}

bool kmFinishedResults::IsClosed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bClosed_;
}

void kmFinishedResults::WaitForRecord(int iCohortIndex,
                                      std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, timeout, [&] {
    return bClosed_ || records_.count(iCohortIndex) != 0;
  });
}

bool kmFinishedResults::WaitAndTake(int iIndex,
                                    std::unique_ptr<kmCalcData>& pRecord) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return bClosed_ || records_.count(iIndex) != 0; });
  auto it = records_.find(iIndex);
  if (it == records_.end()) return false;
  pRecord = std::move(it->second.pRecord);
  records_.erase(it);
  return true;
}

size_t kmFinishedResults::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_.size();
}

void WriteFinishedResultsInOrder(
    kmFinishedResults& results, const std::function<bool()>& cancelled,
    const std::function<void(const kmCalcData&, const std::string&)>& write,
    std::chrono::milliseconds pollInterval) {
  for (int i = 0; i < results.GetNumCohorts(); ++i) {
    for (;;) {
      if (cancelled()) return;
      // Closed is read before the look-up: a record stored before the map
      // was closed is then always found.
      const bool bClosed = results.IsClosed();
      std::string sAttached;
      std::unique_ptr<kmCalcData> pRecord =
          results.TakeFinishedResult(i, &sAttached);
      if (pRecord) {
        write(*pRecord, sAttached);
        break;
      }
      if (bClosed) {
        if (cancelled()) return;
        GenerateKmExceptionF("The result record of cohort %d is missing.",
                             kClassName, i);
      }
      results.WaitForRecord(i, pollInterval);
    }
  }
}
