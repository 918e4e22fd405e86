// The calculation control of one run.
//
// kmCalculationHandler owns the results handler, its own copy of the
// session and the data reader of a calculation, verifies the cohorts and
// prepares each cohort's records for the calculator that fits it.
//
// This header holds, so far, the members and operations that set the
// handler up and prepare the cohort data; the run itself (the thread pool,
// the writer thread, the per-cohort tasks) is added to the class in its own
// section.
//
// Methods live in files by concern:
//   kmCalculationHandlerLifetime.cpp  construction, Init, Setup, Free, Verify
//   kmCalculationHandlerPrepare.cpp   GetNumObsThisCohort,
//                                     ProcessCohortRecords,
//                                     ReadDataForAllByGroup
//   kmCalculationHandlerCluster.cpp   CompressData, ProcessClusterCohortData
//
// Errors: every operation adds its own line ("<method text>" of
// "kmCalculationHandler") to the call path of a KmException passing through
// and rethrows it.
//
// Threads: the preparation operations run either under the data-file mutex
// of the cohort tasks or on the controlling thread during the comparison
// pass; the handler takes no lock of its own.
#ifndef KM_ENGINE_KMCALCULATIONHANDLER_H
#define KM_ENGINE_KMCALCULATIONHANDLER_H

#include <newmat.h>

#include <cstdint>
#include <vector>

#include "data/kmValueTable.h"
#include "foundation/KmString.h"

class KmProgressInterface;
class StatClass;
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
  // by-groups. With bExitOnError and a verification message, prints
  // "\n\nError:  <message>\n\n" and ends the process with status 1.
  // Returns the reader's verdict (true when every cohort may be fitted).
  // Throws: the reader's errors, with "Verify()" in the call path.
  bool Verify(bool bExitOnError);

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
  // c x 10^10 / p^2 (N = kmOptRatesPerN). A log-linear model uses the
  // delta-method variance var / y^2 of ln y.
  // ======================================================================

  // The number of observations of the cohort behind analysis index
  // iCohortIndex: the index is divided by 3 (kmOptJumpCRMode 6) or by 2
  // (modes 3 to 5), then by 2 again when kmOptDelayType is 2; the session's
  // count of that base cohort is returned.
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

  // ---- Accessors of the preparation state --------------------------------

  kmSession* GetSession() const { return pSession_; }
  kmCalcHandler* GetCalcHandler() const { return pCalcHandler_; }
  kmReadData* GetReadData() const { return pReadData_; }
  kmCalculateRates* GetRatesCalculator() const { return pRatesCalculator_; }
  int GetNumByGroups() const { return iNumByGroups_; }
  bool IsClustering() const { return bClustering_; }
  bool RatesFromAdjustGroups() const { return bRatesFromAdjustGroups_; }
  int GetNumAdjustGroups() const { return iNumAdjustGroups_; }
  int16_t GetCurrentNumObs() const { return iCurrentNumObs_; }
  const std::vector<KmString>& GetClusterRows() const { return vClusterRows_; }
  // Null until ProcessClusterCohortData has run.
  const NEWMAT::Matrix* GetClusterMatrix() const { return pClusterMatrix_; }
  // The calculator of the comparison pass (not owned).
  kmCalculator* GetComparisonCalculator() const { return pCompCalculator_; }
  void SetComparisonCalculator(kmCalculator* pCalculator) {
    pCompCalculator_ = pCalculator;
  }
  // The per-by-group arrays of the comparison pass, GetCompGroupCount()
  // entries each (null before ReadDataForAllByGroup).
  int GetCompGroupCount() const { return iCompGroupCount_; }
  uint16_t GetCompNumObs() const { return uiCompNumObs_; }
  NEWMAT::Matrix** GetCompDesign() const { return ppCompX_; }
  NEWMAT::Matrix** GetCompResponse() const { return ppCompY_; }
  NEWMAT::Matrix** GetCompStdError() const { return ppCompAux_; }
  NEWMAT::ColumnVector** GetCompWeights() const { return ppCompWeights_; }

  // ======================================================================
  // Pairwise comparison pass (kmCalculationHandlerComparison.cpp)
  // ======================================================================

  // Runs after the cohort pool when pairwise comparisons are selected:
  // rewinds the data file, reads every by-group into the comparison arrays
  // on the comparison calculator (ReadDataForAllByGroup), installs them in
  // that calculator and has it write one comparison record per pair
  // (kmCalculator::TwoGroupComp, with vFinalModelSizes(i + 1) the final
  // number of kinkmarks of cohort i and the reader's good flags), then
  // closes the data file. Does nothing when no comparison calculator was
  // set (no cohort was fitted). The tracker shows "Reading By-group Data
  // For Comparison Analysis" at position max(1, combinations) x 1000.
  // Throws: the errors of the steps, with "RunComparisonPass()" in the call
  // path.
  // REQUIRES: the results file has its head and every cohort record.
  void RunComparisonPass(const KmString& sOutputFile,
                         KmProgressInterface* pTracker,
                         const NEWMAT::ColumnVector& vFinalModelSizes);

 private:
  // Deletes the comparison arrays with their matrices.
  void FreeComparisonArrays();

  // ---- Members read or written by the data preparation -------------------

  // Results handler of the run (owned).
  kmCalcHandler* pCalcHandler_ = nullptr;
  // The handler's own copy of the caller's session (owned).
  kmSession* pSession_ = nullptr;
  // Data reader on the session copy and the results handler (owned).
  kmReadData* pReadData_ = nullptr;
  // Calculator of the comparison pass (not owned).
  kmCalculator* pCompCalculator_ = nullptr;
  // Rates of clustered cohorts; only in a clustering run (owned).
  kmCalculateRates* pRatesCalculator_ = nullptr;
  // One text per row of the cluster matrix.
  std::vector<KmString> vClusterRows_;
  // Clustering matrix of the cohort prepared last (owned).
  NEWMAT::Matrix* pClusterMatrix_ = nullptr;
  // Records (or, clustered, independent values) of the cohort prepared last.
  int16_t iCurrentNumObs_ = 0;
  // Distribution object (owned).
  StatClass* pStatClass_ = nullptr;
  // Number of analysis copies, set by Verify.
  int iNumByGroups_ = 0;
  // kmOptComparisonType == 2.
  bool bClustering_ = false;
  // Comparison pass: per by-group design, response, standard error and
  // weights (owned arrays of owned objects, iCompGroupCount_ long).
  NEWMAT::Matrix** ppCompX_ = nullptr;
  NEWMAT::Matrix** ppCompY_ = nullptr;
  NEWMAT::Matrix** ppCompAux_ = nullptr;
  NEWMAT::ColumnVector** ppCompWeights_ = nullptr;
  int iCompGroupCount_ = 0;
  // Observation count of the last cohort read by ReadDataForAllByGroup.
  uint16_t uiCompNumObs_ = 0;
  // kmOptDependentCalculated and kmOptDependentType == 4.
  bool bRatesFromAdjustGroups_ = false;
  // With the flag above: lines of the adjustment variable's format (-1
  // without one); else 0.
  int iNumAdjustGroups_ = 0;
};

#endif  // KM_ENGINE_KMCALCULATIONHANDLER_H
