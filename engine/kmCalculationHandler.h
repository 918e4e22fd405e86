// The calculation control of one run.
//
// kmCalculationHandler owns the results handler, its own copy of the
// session and the data reader of a calculation. ExecuteThreaded fits every
// cohort of the data file on a thread pool: each task reads the next cohort
// under the data-file lock, prepares its records for a calculator of its
// own and fits it outside the lock; a writer thread appends the finished
// records to the results file strictly in cohort order while the workers
// still fit; the caller's thread then runs the comparison pass (when asked
// for) and completes the results file.
//
// Methods live in files by concern:
//   kmCalculationHandlerLifetime.cpp  construction, Init, Setup, Free, Verify
//   kmCalculationHandlerRun.cpp       ExecuteThreaded and its phases, the
//                                     writer thread, the comparison pass
//   kmCalculationHandlerCohort.cpp    CohortTask, CalculateCohort,
//                                     ReadCohortData, the stored failure
//   kmCalculationHandlerPrepare.cpp   GetNumObsThisCohort,
//                                     ProcessCohortRecords,
//                                     ReadDataForAllByGroup
//   kmCalculationHandlerCluster.cpp   CompressData, ProcessClusterCohortData,
//                                     RefusedClusterCohort
//
// Errors: every operation adds its own line ("<method text>" of
// "kmCalculationHandler", or of "kmCalculator" for ExecuteThreaded) to the
// call path of a KmException passing through.
//
// Threads: ExecuteThreaded runs on the caller's thread; the cohort tasks
// run on the pool's workers and reach the handler's shared state only
// through the data-file lock (ReadCohortData), the stored failure's lock,
// the calculator list's lock and the result map's lock. The preparation
// operations run under the data-file lock or on the caller's thread.
#ifndef KM_ENGINE_KMCALCULATIONHANDLER_H
#define KM_ENGINE_KMCALCULATIONHANDLER_H

#include <newmat.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "data/kmCohortRows.h"
#include "data/kmValueTable.h"
#include "engine/kmFinishedResults.h"
#include "foundation/KmFileTarget.h"
#include "foundation/KmString.h"

class KmProgressInterface;
class kmMultiProgressTracker;
class StatClass;
class kmBackgroundProgressTrackerWithBar;
class kmCalcData;
class kmCalcHandler;
class kmCalculateRates;
class kmCalculator;
class kmReadData;
class kmSession;

class kmCalculationHandler {
 public:
  // ======================================================================
  // Lifetime and verification (kmCalculationHandlerLifetime.cpp)
  // ======================================================================

  // Members cleared, then Init and Setup(pSession).
  // Throws: the errors of Init and Setup, with "kmCalculationHandler()" in
  // the call path.
  explicit kmCalculationHandler(kmSession* pSession);
  kmCalculationHandler(const kmCalculationHandler&) = delete;
  kmCalculationHandler& operator=(const kmCalculationHandler&) = delete;
  // Free, then the results handler and the comparison arrays.
  ~kmCalculationHandler();

  // Clears the pointers and counters that Setup fills and creates the
  // statistics object (a previous one is deleted).
  void Init();
  // Creates the results handler on pSession, the handler's own session copy
  // and the data reader on that copy, and reads the run switches: the
  // rates-from-adjustment-groups flag (kmOptDependentCalculated and
  // kmOptDependentType 4) with the number of adjustment groups (the line
  // count of the adjustment variable's format, -1 without one), and the
  // clustering flag (kmOptComparisonType 2), which also creates the rates
  // calculator.
  // Throws: KmException "Session does not exist - invalid pointer." for a
  // null pSession; the errors of the objects made; call path "Setup()".
  void Setup(kmSession* pSession);
  // Deletes the session copy, the data reader, the statistics object, the
  // rates calculator and the cluster matrix and clears the pointers.
  void Free();
  // Verifies the whole data set with the reader and takes its number of
  // by-groups. Returns the reader's verdict (true when every cohort may be
  // fitted). pFileProgress, when not null, is told how much of the data
  // file the verification has read (kmReadData::SetFileProgress), and only
  // the verification.
  // Throws: the reader's errors, with "Verify()" in the call path; with
  // bExitOnError and a verification message, an input error (kind 3) whose
  // message is that message, for the caller to end the run with.
  bool Verify(bool bExitOnError, KmProgressInterface* pFileProgress = nullptr);

  // ======================================================================
  // The run (kmCalculationHandlerRun.cpp, kmCalculationHandlerCohort.cpp)
  // ======================================================================

  // Progress units of one cohort (and of one comparison) on the run's
  // tracker.
  static constexpr int32_t kProgressPerCohort = 1000;

  // Fits every cohort into the results file sOutputFile: opens the data
  // file, writes the results-file head (session, combinations), fits the
  // cohorts on the pool ("num cores" workers: the smaller of that setting
  // and the hardware threads, all of them for 0 or a negative value) while
  // the writer thread appends the records in cohort order, runs the
  // comparison pass when pairwise comparisons are selected and, unless the
  // run was cancelled, writes the offsets and the numeric data before the
  // file is closed. The tracker's range is 0 .. (max(1, combinations) +
  // comparisons) x kProgressPerCohort and each fitted cohort adds
  // kProgressPerCohort once its by-group sub (GetByGroupSubProgressInterface)
  // has reached bar position 100; while the cohort is fitted its sub's
  // running flag is set and its bar position moves from 1 towards 100.
  // Returns true when the run finished, false when it was cancelled (the
  // results file then has no offsets and no numeric data, and the
  // comparison pass is skipped).
  // Throws (after every worker and the writer have ended, the data file
  // closed): the first failure of a cohort task, whatever its type (a
  // KmException as raised; a standard exception or a matrix-library error
  // as a KmException with its text; anything else as "Unknown exception in
  // a cohort task"); "The result record of cohort <i> is missing." when a
  // finished run lacks a record; a null or unsuitable tracker; the errors of
  // the files and of the comparison pass; each with "ExecuteThreaded()" of
  // "kmCalculator" in the call path.
  // REQUIRES: Verify has run; pTracker is the kmMultiProgressTracker sized
  // with GetNumByGroups(); called once per handler.
  // The results file is written through output (a held file through its
  // descriptor).
  bool ExecuteThreaded(const KmFileTarget& output,
                       KmProgressInterface* pTracker);

  // The blocks of a clustering run's outcome, cohort group by cohort group
  // in the order of the results file, once ExecuteThreaded has returned;
  // empty for a run that clusters nothing. The calculation opens no
  // clustering result file: the caller appends this text to it once the
  // whole run has succeeded, so a failed run leaves that file as it was.
  const std::string& GetClusteringText() const { return sClusteringText_; }

  // The work of task iTask, run on a pool worker: makes a calculator on the
  // results handler (kept in the calculator list when pairwise comparisons
  // are selected) and fits the next cohort with CalculateCohort. Never
  // throws: any failure becomes the run's stored failure (StoreFailure),
  // and the run is cancelled once every cohort before the failed one in
  // file order has ended (FinishCohortTask).
  void CohortTask(int iTask);

  // Reads the next cohort of the data file (ReadCohortData), fills its
  // record (label, validity, jump and comparability-ratio flags, the
  // variance-covariance matrix, MADWD settings), fits it (the clustering of
  // kmCohortClustering in a clustering run, which leaves the record empty
  // and hands its outcome to the result map with it; else SelModESR when
  // kmOptMethod is 1, else SelMod; AddBadCohort for a cohort that failed
  // verification), notes its final model size and hands the record to the
  // result map, advancing pTracker by 1000. A cancelled run skips the fit and
  // drops the record, and so does a run with a stored failure, which reads
  // no further cohort. iCohort receives the index of the cohort read as
  // soon as it is known (-1 while none is). The calculator's four data
  // matrices are freed on every path. Throws: the errors of the read, the
  // preparation and the fit.
  void CalculateCohort(kmCalculator* pCalculator, KmProgressInterface* pTracker,
                       int& iCohort);

  // Under the data-file lock: unless pTracker reports cancelled (then
  // iCohortIndex stays as it is), reads the next cohort of the file and
  // reports its index. A clustering run reads its groups
  // (ReadDataAndCalcRates_Cluster), merges them (CompressData), builds the
  // cluster matrix (ProcessClusterCohortData) and installs it on
  // pCalculator, or, for a cohort the verification refused, installs an
  // empty one (RefusedClusterCohort); otherwise the records
  // (ReadDataAndCalcRates when rates are formed from adjustment groups, else
  // ReadData) are prepared on pCalculator (ProcessCohortRecords) and its
  // observation count is set. Throws: the reader's and the preparation's
  // errors; call path "ReadCohortData".
  void ReadCohortData(int& iCohortIndex, kmCalculator* pCalculator,
                      KmProgressInterface* pTracker, bool& bZeroAdjusted);

  // The writer thread's body: writes the records of cohorts 0 .. N-1 from
  // the result map to the results file in cohort order as they arrive,
  // deleting each once written, and appends a cohort's clustering outcome
  // to the clustering text (GetClusteringText) right after its record, so
  // that the blocks follow the cohort order whatever the number of workers;
  // ends early when the run is cancelled. Never
  // throws: its failure (a missing record once the pool has ended, a write
  // error) is kept and raised by ExecuteThreaded.
  void WriteResultsInOrder();

  // The fit of one verified cohort: (calculator, record, the cohort's
  // progress, cohort index).
  using CohortFit = std::function<void(
      kmCalculator&, kmCalcData*, kmBackgroundProgressTrackerWithBar*, int)>;
  // Replaces the fit that CalculateCohort runs on a verified cohort (SelMod,
  // or SelModESR under Hudson's method); an empty fit restores it. Tests use
  // it to make a cohort fail.
  // REQUIRES: not called while ExecuteThreaded runs.
  void SetCohortFit(CohortFit fit) { cohortFit_ = std::move(fit); }

  // Entry i + 1 = the number of kinkmarks of cohort i's final selected
  // model (-1 for none), filled by ExecuteThreaded.
  const NEWMAT::ColumnVector& GetFinalModelSizes() const {
    return vFinalModelSizes_;
  }

  // ======================================================================
  // Cohort data preparation (kmCalculationHandlerPrepare.cpp,
  // kmCalculationHandlerCluster.cpp)
  //
  // The records of the cohort just read become the calculator's
  // observations, n rows each (unused rows stay 0):
  //   pDataX            n x 2   1.0, independent value x + kmOptDataShift
  //   pDataY            n x 1   response y (a rate from counts, or ln y
  //                             for a log-linear model)
  //   pDataWeightInput  n       weight w = 1 / variance (1.0 when the
  //                             variance is constant; 0 when the cohort
  //                             failed verification and has a standard
  //                             error column)
  //   pDataAux          n x 1   standard error s, -1e30 when absent
  // The variance of a row follows kmOptHetErrorModel: y (1 Poisson count,
  // 4 Poisson rate), s^2 (2), 1 (otherwise). A Poisson rate with a
  // population p is y = c / p x N with s = sqrt(c) / p x N and variance
  // c x N^2 / p^2 (N = kmOptRatesPerN); a proportion, percent or
  // age-adjusted rate the reader computed keeps its value and its standard
  // error s (that of its Poisson count), variance s^2. A log-linear model
  // uses the delta-method variance var / y^2 of ln y.
  // ======================================================================

  // The number of observations of the cohort behind analysis index
  // iCohortIndex (GetNumObsForCohortIndex): the session's count of the
  // cohort that copy belongs to.
  // Throws: the session's "Index out of bounds.  Cohort Number: <k>";
  // call path "GetNumObsThisCohort(int)".
  int GetNumObsThisCohort(int iCohortIndex) const;

  // Turns the records the reader holds for analysis copy iCohortIndex into
  // the four observation matrices of *pCalculator (matrices it still holds
  // are deleted first) and sets the current observation count to the
  // number of records used. n = the results handler's maximum observations
  // when rates are formed from adjustment groups, else
  // GetNumObsThisCohort(iCohortIndex); records beyond n are counted but not
  // stored. In a cohort that passed verification, a zero count of a Poisson
  // model becomes 0.5 and sets bZeroAdjusted (which is otherwise left as it
  // is).
  // Throws: KmException (source "kmCalculator") "Cohort has no data
  // records." and "Invalid position for ..." for unusable layouts; input
  // errors (kind 3) for an independent value outside its format, an empty
  // independent value, a population <= 0, a non-positive response of a
  // log-linear model, a non-positive variance and independent values out of
  // order; matrix-library errors with source
  // "kmReadData::ProcessCohortRecords()"; call path
  // "ProcessCohortRecords()".
  // REQUIRES: pCalculator is not null; the reader has just read the cohort.
  void ProcessCohortRecords(int iCohortIndex, kmCalculator* pCalculator,
                            bool& bZeroAdjusted);

  // The comparison pass's read of the whole data file: creates, for each of
  // the max(1, combinations) by-groups, a design (R x 2), response (R x 1),
  // standard-error (R x 1) and weights (R) entry, R = the results handler's
  // maximum observations, then reads the cohorts in file order, prepares
  // each on the comparison calculator (ProcessCohortRecords) and copies its
  // four matrices into the group's entry. Stops with "Canceling..." when
  // pTracker reports cancelled; the position goes from 0 to 100.
  // Throws: KmException "No calculator for the comparison pass." when none
  // was set; the reader's and ProcessCohortRecords' errors; call path
  // "ReadDataForAllByGroup()".
  // REQUIRES: the data file is open at its start; pTracker is not null.
  void ReadDataForAllByGroup(KmProgressInterface* pTracker);

  // Merges the adjustment groups of one clustered cohort (one entry per
  // independent value, rows {adjustment code, count, population, standard
  // population}) and has the rates calculator form the age-adjusted rate
  // shares of the merged groups. The groups are the session's adjustment
  // formats, or one per line of the adjustment variable's format.
  // Throws: KmException for a row with fewer than four values or when the
  // handler has no rates calculator (not a clustering run); the errors of
  // the compression and of the rates; call path "CompressData".
  void CompressData(const kmValueTable& records);

  // Builds the clustering matrix of the cohort from the rate shares of the
  // last CompressData: one row per independent value a and merged group b
  // (both counted from 0, groups innermost) holding (a, share, standard
  // error of the share); the cluster rows hold b as text. The current
  // observation count becomes the number of independent values.
  // Throws: KmException when there is no rates calculator or a rate row has
  // fewer than two values; matrix-library errors with source
  // "ProcessClusterCohortData()"; call path "ProcessClusterCohortData()".
  void ProcessClusterCohortData(int iCohortIndex);
  // The cluster matrix of a refused cohort of nValues independent values:
  // no rows; the current observation count becomes nValues.
  void RefusedClusterCohort(size_t nValues);

  // ---- Accessors of the preparation state --------------------------------

  kmSession* GetSession() const { return pSession_.get(); }
  kmCalcHandler* GetCalcHandler() const { return pCalcHandler_.get(); }
  kmReadData* GetReadData() const { return pReadData_.get(); }
  kmCalculateRates* GetRatesCalculator() const {
    return pRatesCalculator_.get();
  }
  int GetNumByGroups() const { return iNumByGroups_; }
  bool IsClustering() const { return bClustering_; }
  bool RatesFromAdjustGroups() const { return bRatesFromAdjustGroups_; }
  int GetNumAdjustGroups() const { return iNumAdjustGroups_; }
  int16_t GetCurrentNumObs() const { return iCurrentNumObs_; }
  const std::vector<KmString>& GetClusterRows() const { return vClusterRows_; }
  // Null until ProcessClusterCohortData has run.
  const NEWMAT::Matrix* GetClusterMatrix() const {
    return pClusterMatrix_.get();
  }
  // The calculator of the comparison pass (not owned).
  kmCalculator* GetComparisonCalculator() const { return pCompCalculator_; }
  void SetComparisonCalculator(kmCalculator* pCalculator) {
    pCompCalculator_ = pCalculator;
  }
  // The per-by-group arrays of the comparison pass, GetCompGroupCount()
  // entries each (null before ReadDataForAllByGroup).
  int GetCompGroupCount() const { return iCompGroupCount_; }
  uint16_t GetCompNumObs() const { return uiCompNumObs_; }
  const std::vector<std::unique_ptr<NEWMAT::Matrix>>& GetCompDesign() const {
    return vCompX_;
  }
  const std::vector<std::unique_ptr<NEWMAT::Matrix>>& GetCompResponse() const {
    return vCompY_;
  }
  const std::vector<std::unique_ptr<NEWMAT::Matrix>>& GetCompStdError() const {
    return vCompAux_;
  }
  const std::vector<std::unique_ptr<NEWMAT::ColumnVector>>& GetCompWeights()
      const {
    return vCompWeights_;
  }

 private:
  // Deletes the comparison arrays with their matrices.
  void FreeComparisonArrays();

  // ---- Phases of ProcessCohortRecords (kmCalculationHandlerPrepare.cpp) --
  struct CohortLayout;
  struct CohortRow;
  // The options and field positions that the preparation of cohort i reads.
  CohortLayout ReadCohortLayout(int i) const;
  // Reads the independent value, response and standard error of one record
  // (steps a to g); false when the record is skipped.
  bool ReadRecordValues(const CohortLayout& layout, int i, kmRecordRow& fields,
                        bool& bZeroAdjusted, CohortRow& row) const;
  // The standard error of one record and, in a cohort that failed
  // verification, its zero weight (step g).
  static void ReadStdError(const CohortLayout& layout, int i,
                           const kmRecordRow& fields, CohortRow& row);
  // True when the session fits counts as Poisson rates of their
  // populations.
  static bool FitsCountsAsRates(const CohortLayout& layout);
  // The observed value of a record of a cohort that failed verification as
  // a fit would have used it: a count fitted as a rate becomes that rate
  // with its standard error, or missing without a usable count and
  // population.
  static void ObserveRefusedRow(const CohortLayout& layout,
                                const kmRecordRow& fields, CohortRow& row);
  // The variance, weight and transformed response of row r (1-based) of
  // cohort i, which passed verification.
  void WeighRow(const CohortLayout& layout, int i, int r,
                const kmRecordRow& fields, CohortRow& row) const;
  // Where a record of cohort i stands, for messages: "cohort \"<labels
  // joined by \", \">\", data file \"<name>\", line <n>" (the line left out
  // when lLine is below 1; the cohort's number, counted from 1, when it has
  // no labels).
  KmString CohortPlace(int i, int64_t lLine) const;

  // ---- Phases of ExecuteThreaded (kmCalculationHandlerRun.cpp) ------------
  // Steps before the pool: the per-cohort maximum of a rates-from-groups
  // run, the data file, the results-file head, the tracker's range and the
  // final model sizes.
  void PrepareRun(const KmFileTarget& output);
  // Fits the cohorts on the pool while the writer writes their records;
  // returns once every worker and the writer have ended and the data file
  // is closed. Returns false when the run was cancelled.
  bool RunCohortPool();
  // Raises the stored failure of a cohort task, else the writer's.
  void RaiseRunFailure() const;
  // Reads every by-group again and compares them pairwise.
  void RunComparisonPass();

  // ---- Failures of the run (kmCalculationHandlerCohort.cpp) --------------
  // Keeps failure, of cohort iCohort (-1: of no cohort, as the writer's), as
  // the run's failure unless one of an earlier cohort in file order, or of
  // no cohort, is kept already: the run names the same cohort whichever
  // worker failed first.
  void StoreFailure(std::exception_ptr failure, int iCohort = -1);
  bool HasFailure() const;
  // Notes that the task of cohort iCohort (-1: a task that read none) has
  // ended, and cancels the run when a failure is kept and every cohort
  // before the failed one has ended: those may still fail first in file
  // order, so they are not cancelled.
  void FinishCohortTask(int iCohort);

  // ---- Members read or written by the data preparation -------------------

  // Results handler of the run.
  std::unique_ptr<kmCalcHandler> pCalcHandler_;
  // The handler's own copy of the caller's session.
  std::unique_ptr<kmSession> pSession_;
  // Data reader on the session copy and the results handler.
  std::unique_ptr<kmReadData> pReadData_;
  // Calculator of the comparison pass (not owned).
  kmCalculator* pCompCalculator_ = nullptr;
  // Rates of clustered cohorts; only in a clustering run.
  std::unique_ptr<kmCalculateRates> pRatesCalculator_;
  // One text per row of the cluster matrix.
  std::vector<KmString> vClusterRows_;
  // Clustering matrix of the cohort prepared last.
  std::unique_ptr<NEWMAT::Matrix> pClusterMatrix_;
  // Records (or, clustered, independent values) of the cohort prepared last.
  int16_t iCurrentNumObs_ = 0;
  // Distribution object.
  std::unique_ptr<StatClass> pStatClass_;
  // Number of analysis copies, set by Verify.
  int iNumByGroups_ = 0;
  // kmOptComparisonType == 2.
  bool bClustering_ = false;
  // Comparison pass: per by-group design, response, standard error and
  // weights, iCompGroupCount_ entries each.
  std::vector<std::unique_ptr<NEWMAT::Matrix>> vCompX_;
  std::vector<std::unique_ptr<NEWMAT::Matrix>> vCompY_;
  std::vector<std::unique_ptr<NEWMAT::Matrix>> vCompAux_;
  std::vector<std::unique_ptr<NEWMAT::ColumnVector>> vCompWeights_;
  int iCompGroupCount_ = 0;
  // Observation count of the last cohort read by ReadDataForAllByGroup.
  uint16_t uiCompNumObs_ = 0;
  // kmOptDependentCalculated and kmOptDependentType == 4.
  bool bRatesFromAdjustGroups_ = false;
  // With the flag above: lines of the adjustment variable's format, or
  // without one -1 until Verify takes the groups it counted in the data;
  // else 0.
  int iNumAdjustGroups_ = 0;

  // ---- Members of the run -------------------------------------------------

  // The tracker given to ExecuteThreaded (not owned).
  kmMultiProgressTracker* pTracker_ = nullptr;
  // kmOptComparisonType == 1, read by ExecuteThreaded.
  bool bPairwise_ = false;
  // Number of cohorts of the run (the reader's count of by-groups).
  int iNumCohorts_ = 0;
  // See GetFinalModelSizes; workers write distinct entries.
  NEWMAT::ColumnVector vFinalModelSizes_;
  // Serialises every read of the data file by the cohort tasks.
  std::mutex dataFileMutex_;
  // Finished records waiting for the writer (alive during the run).
  std::unique_ptr<kmFinishedResults> pFinishedResults_;
  // The failure of the first failed cohort in file order, always a
  // KmException, and that cohort (-1: a failure of no cohort).
  mutable std::mutex failureMutex_;
  std::exception_ptr pFailure_;
  int iFailedCohort_ = -1;
  // Guarded by failureMutex_: which cohorts' tasks have ended, and how many
  // cohorts from the first have all ended.
  std::vector<bool> vCohortEnded_;
  int iEndedPrefix_ = 0;
  // The writer thread's failure, read after it has been joined.
  std::exception_ptr pWriterFailure_;
  // The calculators kept for the comparison pass (pairwise runs only).
  std::mutex calculatorsMutex_;
  std::vector<std::unique_ptr<kmCalculator>> vCalculators_;
  // Replacement of the cohort fit (empty: the selection the session asks
  // for).
  CohortFit cohortFit_;
  // Set once the data file has been closed after the pool.
  bool bInputClosed_ = false;
  // The results file of the run.
  KmString sOutputFile_;
  // GetClusteringText: appended to by the results writer alone.
  std::string sClusteringText_;
};

#endif  // KM_ENGINE_KMCALCULATIONHANDLER_H
