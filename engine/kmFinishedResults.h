// kmFinishedResults: the result map of a pass run on a pool, where the tasks
// leave their finished records and from which one thread takes them in
// order: the cohorts of a calculation run, and the pairs of the comparison
// pass.
#ifndef KM_ENGINE_KMFINISHEDRESULTS_H
#define KM_ENGINE_KMFINISHEDRESULTS_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class kmCalcData;

// The finished records of the tasks 0 .. N-1 of one pass (cohorts or
// pairs), keyed by index. The map owns what it holds: a record leaves it
// when the writer takes it, and whatever is left is deleted with the map.
// A task may finish without a record (a null one): its index is then done
// all the same. A record may carry a text of its task's (the outcome of a
// clustering) that is written with it, so that it follows the same order.
//
// Threads: every operation holds the map's lock; any thread may call any of
// them. Storing a record wakes a writer waiting in WaitForRecord.
class kmFinishedResults {
 public:
  explicit kmFinishedResults(int iNumCohorts);
  kmFinishedResults(const kmFinishedResults&) = delete;
  kmFinishedResults& operator=(const kmFinishedResults&) = delete;
  ~kmFinishedResults();

  // Takes pRecord over as the record of cohort iCohortIndex, with
  // sAttached as the text written along with it.
  // Throws: KmException "Cohort index <i> is outside the run's cohorts 0 to
  // <N-1>." or "The record of cohort <i> has already been stored." (the
  // record is then deleted).
  void StoreFinishedResult(int iCohortIndex,
                           std::unique_ptr<kmCalcData> pRecord,
                           std::string sAttached = std::string());
  // The record of cohort iCohortIndex, still in the map; null when absent.
  kmCalcData* FindFinishedResult(int iCohortIndex) const;
  // Removes the record of cohort iCohortIndex from the map and hands it to
  // the caller, its attached text into *pAttached when given; null when
  // absent.
  std::unique_ptr<kmCalcData> TakeFinishedResult(
      int iCohortIndex, std::string* pAttached = nullptr);

  // Marks that no further record will come (the pool has ended) and wakes a
  // waiting writer.
  void Close();
  bool IsClosed() const;
  // Waits until the record of cohort iCohortIndex is in the map or the map
  // is closed, at most timeout.
  void WaitForRecord(int iCohortIndex, std::chrono::milliseconds timeout);
  // Waits until index iIndex is done or the map is closed. Returns false
  // when the map was closed without it; otherwise takes its record (null
  // for a task that finished without one) into pRecord and returns true.
  bool WaitAndTake(int iIndex, std::unique_ptr<kmCalcData>& pRecord);

  int GetNumCohorts() const { return iNumCohorts_; }
  size_t Size() const;

 private:
  const int iNumCohorts_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  struct Entry {
    std::unique_ptr<kmCalcData> pRecord;
    std::string sAttached;
  };
  std::map<int, Entry> records_;
  bool bClosed_ = false;
};

// The writer's loop: for i = 0 .. N-1 in turn, waits for cohort i's record,
// takes it out of the map and hands it with its attached text to write (the
// record is deleted after). Returns early, writing nothing more, as soon as
// cancelled()
// returns true. Polls every pollInterval at most, so a cancellation is seen
// without a store.
// Throws: KmException "The result record of cohort <i> is missing." when
// the map is closed without that record; what write throws.
void WriteFinishedResultsInOrder(
    kmFinishedResults& results, const std::function<bool()>& cancelled,
    const std::function<void(const kmCalcData&, const std::string&)>& write,
    std::chrono::milliseconds pollInterval = std::chrono::milliseconds(500));

#endif  // KM_ENGINE_KMFINISHEDRESULTS_H
