// The results-file handler: writes the binary results file (".kmo") of a run
// once, in its fixed order, and reads a finished one back lazily.
#ifndef KM_RESULTS_KMCALCHANDLER_H
#define KM_RESULTS_KMCALCHANDLER_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/KmCheckedReader.h"
#include "foundation/KmFileTarget.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "results/kmCalcData.h"
#include "results/kmCombos.h"
#include "results/kmTable.h"
#include "session/GraphDisplayOptions.h"
#include "session/OutputDisplayOptions.h"
#include "session/kmSession.h"

// kmCalcHandler owns one results file. A handler built from a session
// (writing constructor) writes a file once; a handler built from a file
// name (reading constructor) reads the head of a finished file and fetches
// the per-cohort and per-comparison records from their offsets on request.
//
// Results file layout, in file order (little-endian; Bool 1 byte, Short 2,
// Int and Long 4, Double 8, String the bytes and a zero byte):
//   1. session block (kmSession::Write);
//   2. numeric block: Int 4; Double elapsed seconds; Double start time
//      (seconds since 1970-01-01 UTC); Double 0.0; Double file version 4.9
//      (placeholders of 0.0 until WriteNumericData patches them);
//   3. graph display options; 4. output display options;
//   5. combination table (kmCombos::Write, nc combinations, np comparisons);
//   6. valid-cohort flags: Long n, n Bools;
//   7. cohort labels: n Strings (no count of their own);
//   8. comparison group size: Long;
//   9. offset table: nc Ints (cohort record positions), then np Ints
//      (comparison record positions); one Int when nc + np = 0; -1 until
//      WriteOffsets patches them;
//  10. one kmCalcData record per cohort, in cohort order;
//  11. one kmCalcData record per comparison, in comparison order.
// Offsets are absolute byte positions; records are found only through the
// offset table.
//
// Entries are numbered as in kmCombos: cohorts 0..nc-1 first, then the
// comparisons. Cohorts are ordered so that the last by-variable varies
// fastest; the pairwise comparisons are all pairs within consecutive groups
// of "comparison group size" cohorts.
//
// Writing is guarded by a state machine (see the write operations); a
// handler that has read a file refuses every write.
//
// The reader never trusts a count or an offset stored in the file: a
// negative or impossible count, an offset outside the file, an offset table
// that was never patched, or a file that ends inside a block is refused with
// a KmException "This KMO is either corrupt or not compatible with this
// version of Kinkmark.  ..." (source "kmCalcHandler").
//
// Every operation catches KmException, adds its method name and
// "kmCalcHandler" to the call path and rethrows.
//
// Thread safety: none. While writing, one thread at a time calls the write
// operations (the calculation control's writer thread appends the cohort
// records, the controlling thread the rest after joining it). A reading
// handler serves one thread at a time: the record getters share the file
// position, the current record and the fetched-records vector.
class kmCalcHandler {
 public:
  // Write states, in the order the writer passes them.
  enum State : int32_t {
    kStateNone = 0,            // no file
    kStateFileSet = 1,         // SetOutFile done
    kStateSessionWritten = 2,  // WriteSession done
    kStateCombosWritten = 3,   // WriteCombos done; records may be appended
    kStateOffsetsWritten = 4,  // WriteOffsets done
    kStateNumericWritten = 5,  // WriteNumericData done
    kStateReadFromFile = 6     // read from a file; not writable
  };

  // The file version this program writes, and the oldest it reads.
  static const char* const kFileVersionText;            // "4.900"
  static const char* const kOldestReadableVersionText;  // "3.001"

  // Signature of the fitting engine's comparability-ratio interval: builds
  // a calculator on pSession, computes the interval of model with the ratio
  // dCRValue, its variance dCRVariance and level dAlpha, and stores it in
  // the model's comparability-ratio statistics. The results layer cannot
  // build a calculator itself: whoever uses a handler for it gives the
  // handler the fitting engine's function (SetComparabilityRatioCalculator).
  typedef void (*ComparabilityRatioCIFunction)(kmSession* pSession,
                                               kmTable& model, double dCRValue,
                                               double dCRVariance,
                                               double dAlpha);

  // ---- Construction (kmCalcHandlerSetup.cpp, kmCalcHandlerRead.cpp) ------

  // Writing constructor: state 0, no file, positions -1, by-group counters
  // 0, 65535, 0, numeric data four 0.0, a kmProgressTracker owned by the
  // handler as its progress interface, then Setup(pSession).
  // Throws: KmException "Cannot create a kmCalcHandler without a valid
  // session pointer." (source "kmCalcHandler") for a null pSession; the
  // errors of Setup; each with "kmCalcHandler(kmSession*)" in the call path.
  explicit kmCalcHandler(kmSession* pSession);

  // Reading constructor: members as in the writing constructor, then
  // Read(file) and UpdateDependentVariableLabel(). pProgress is used
  // and not owned; when null the handler makes and owns a kmProgressTracker.
  // Throws: KmException "Invalid file name passed to constructor." (source
  // "kmCalcHandler") for a null name or one that names no existing file;
  // the refusals of Read; each with "kmCalcHandler(const char*)" in the
  // call path.
  kmCalcHandler(const KmFileTarget& file, KmProgressInterface* pProgress);

  kmCalcHandler(const kmCalcHandler&) = delete;
  kmCalcHandler& operator=(const kmCalcHandler&) = delete;
  // Free(). Records handed out by GetCalcDataVector stay with the caller.
  virtual ~kmCalcHandler();

  // ---- Setup and comparisons (kmCalcHandlerSetup.cpp) ---------------------

  // Keeps a copy of *pSession (replacing any earlier one) and derives the
  // graph settings from it: text 1 the independent variable's name ("temp
  // indep var name" when unset or empty), graph option 12 the session's
  // kmOptGraphFlag, text 2 the dependent-variable label: with
  // kmOptDependentCalculated the label of kmOptDependentType ("Count",
  // "Crude Rate", "Proportion", "Percent", "Age-Adjusted Rate", "Other"),
  // else the response variable's name; "temp response var name" when that
  // gives nothing.
  // Throws: KmException "Invalid kmSession." for a null pSession; the
  // session's option errors.
  void Setup(kmSession* pSession);

  // Replaces the combination table.
  // Throws: KmException "You cannot call SetCombos() after the combos have
  // been written to the file" (source "State Error") in state 3 or later,
  // and "This output file has already been written. You cannot add to it."
  // (source "Error") in state 6.
  void SetCombos(const kmCombos& combos);
  // The handler's own combination table, for direct filling and reading.
  kmCombos* GetCombos() { return &combos_; }
  const kmCombos* GetCombos() const { return &combos_; }

  // Replaces the valid-cohort flags and the cohort labels, one of each per
  // cohort in cohort order.
  // Throws: KmException "The number of cohort labels (%d) does not match
  // the number of valid-cohort flags (%d)." when the lengths differ (the
  // file stores the labels without a count of their own).
  void SetValidCohorts(const KmVector<bool>& vFlags,
                       const KmVector<KmString>& vLabels);

  // Builds the comparison structure over n cohorts (n = number of
  // valid-cohort flags). With pairwise comparisons (session option
  // kmOptComparisonType 1) and iGroupSize g > 0, the cohorts form
  // consecutive groups of g and every pair i < j inside a group becomes a
  // comparison, in the order (b,b+1), ..., (b,b+g-1), (b+1,b+2), ...; on
  // *pCombos: ResetComparisons, ResetCohortIndices, AddCohortIndices {c}
  // for every cohort, then AddComparison and AddCohortIndices {i, j} for
  // every pair. The per-cohort comparison table gets, for cohort c, the row
  // {c} and, when pairwise, a row {c, other, comparison number} for each
  // other cohort of its group, in cohort order. g = 0 means no comparisons.
  // Progress: StepBy(5) three times and StepBy(1) per n/50 cohorts when
  // pairwise; every cohort loop stops when the progress reports cancelled.
  // Throws: KmException "Invalid kmCombos." for a null pCombos; "Cannot
  // build pairwise comparisons: %d cohorts do not form groups of %d." when
  // pairwise and g < 0 or n is not a multiple of g.
  void SetupComparisonVector(int32_t iGroupSize, kmCombos* pCombos);

  // When session option kmOptVarNamesIncluded is false and graph text 2
  // starts with "Column", graph text 2 becomes the label of
  // kmOptDependentType (a type outside 0..5 leaves it). Called after a file
  // is read.
  void UpdateDependentVariableLabel();

  // Output display option id (OutputDisplayOptions::GetBool / GetInt).
  bool GetBoolDisplayOption(int32_t iId) const;
  int32_t GetIntDisplayOption(int32_t iId) const;

  // Computes the comparability-ratio interval of model with the handler's
  // calculator on the handler's session, with kmOptCRValue, kmOptCRVariance
  // and kmOptJumpCRAlpha.
  // Throws: KmException "No comparability-ratio calculator has been
  // installed." when the handler was given none; "The handler has no
  // session." without a session; the calculator's errors.
  void CalculateComparabilityRatioCI(kmTable& model);
  // Gives this handler the fitting engine's comparability-ratio interval
  // (null removes it); it stays through Reset and Read.
  void SetComparabilityRatioCalculator(ComparabilityRatioCIFunction pFunction) {
    pCRCalculator_ = pFunction;
  }

  // ---- Writing (kmCalcHandlerWrite.cpp) -----------------------------------
  // Each write operation first checks the state: in state 6 it throws
  // "This output file has already been written. You cannot add to it."
  // (source "Error"); in any other wrong state its own message (source
  // "State Error"), the state unchanged. A file that cannot be written
  // throws KmException "Unable to write the results file <name>." (source
  // "kmCalcHandler").

  // State 0 -> 1: opens file as a new binary file for writing (a held
  // file, KmFileTarget, through its descriptor).
  // Throws: "Invalid file name received." (source "Error") for a null name;
  // "You cannot call SetOutFile() if the file name is already set." (source
  // "Error") in any state but 0; "Unable to open the results file <name>
  // for writing." when it cannot be created (state stays 0, no file kept).
  void SetOutFile(const KmFileTarget& file);
  // State 1 -> 2: records the start time, writes the session block, the
  // numeric-block placeholders (Int 4, four Doubles 0.0) and the graph and
  // output display options. Throws "You must call SetOutFile() before
  // calling WriteSession()." in the wrong state.
  void WriteSession();
  // State 2 -> 3: writes the combination table, the valid-cohort flags, the
  // cohort labels, the comparison group size and the offset-table
  // placeholders. Throws "You must call WriteSession() before calling
  // WriteCombos()." in the wrong state.
  void WriteCombos();
  // State 3: appends pCalcData as the next cohort record and notes its
  // offset; numeric data [0] becomes the seconds since the start time. The
  // handler does not take ownership. Throws "You must call WriteCombos()
  // before calling WriteCalcData()." in the wrong state; "Invalid kmCalcData
  // pointer." for a null pCalcData.
  void WriteCohortCalcData(const kmCalcData* pCalcData);
  // State 3: appends the handler's current record (GetCurrentCalcData) as
  // the next comparison record. Messages as WriteCohortCalcData.
  void WriteComparisonCalcData();
  // State 3 -> 4: patches the offset table with the cohort offsets, then
  // the comparison offsets. Throws "You must call WriteCombos() before
  // calling WriteOffsets()." in the wrong state; "Number of by-variable
  // value combinations does not match the number of CalcDatas." (source
  // "Error") unless the records written match nc + np (exactly one record
  // for nc + np = 0); the table then keeps its -1 values.
  void WriteOffsets();
  // State 4 -> 5: patches the numeric block (numeric data [3] = 4.9).
  // Throws "You must call WriteOffsets() before calling WriteNumericData()."
  // in the wrong state.
  void WriteNumericData();
  // Closes the file if there is one; the state is unchanged.
  void CloseOutFile();

  // ---- Reading (kmCalcHandlerRead.cpp, kmCalcHandlerRecords.cpp) ---------

  // Reads the head of the results file sFileName into this handler (state 6
  // from the start): session, numeric data, display options, combination
  // table, valid-cohort flags, cohort labels, comparison group size and
  // offset table, rebuilding the comparisons (SetupComparisonVector). Files
  // of version 3.300 or older have no flags, labels or comparisons: every
  // cohort is valid and unlabelled. Cancellation through the progress
  // interface stops the read without error. The file stays open for the
  // record getters.
  // Throws: KmException "The session you are trying to read was saved with
  // a version of Kinkmark prior to 3.001. Kinkmark cannot read this
  // session." (source "Error") for an older file; "Kinkmark cannot open this
  // file.  The file you are trying to open was created by a more recent
  // version of Kinkmark (Version = v).  In order to open this file you will
  // need to upgrade your version of Kinkmark." (source "Error") for a newer
  // one (the session block refuses it the same way); the corrupt-file
  // refusal above, also for a file whose run did not finish (its version
  // placeholder still 0). The handler stays in state 6 with what it had read.
  void Read(const KmFileTarget& file);
  // Reads the numeric block at the file's current position.
  // Throws: the corrupt-file refusal when its count is not 4 or the file
  // ends inside it.
  void ReadNumericData(KmIO_File* pIO);
  // True when numeric data [3] is older than "3.001" (compared as "%5.3f"
  // texts).
  bool VersionIsTooOld();

  // Free(), then every member back to its constructed state (state 0, no
  // file, no session, empty combination table of 0 by-variables).
  void Reset();
  // Releases the session, the progress interface when owned, and the file
  // (closed first).
  void Free();

  // Reads record iIndex (cohorts first, then comparisons) into the
  // handler's current record and returns it; the record is overwritten by
  // the next call.
  // Throws: KmException "Attempt to access element %d in vector of size
  // %d." (source "kmCalcHandler") for an index outside 0..t-1, t the number
  // of stored records; the record's own refusals. A failed read leaves a
  // fresh (empty) current record.
  kmCalcData& GetCalcData(int32_t iIndex);
  // The records of entry iIndex, each read anew into a new kmCalcData: a
  // cohort's record alone, or for a comparison its two cohorts' records and
  // then its own. A record with an empty cohort label gets its label from
  // the combination table. The caller takes ownership of the records and
  // deletes them; the handler only empties the vector on the next call.
  // Throws: as GetCalcData; on failure no record of this call is left in
  // the vector (those read are deleted).
  KmVector<kmCalcData*>& GetCalcDataVector(int32_t iIndex);
  // The records of row iEntry of cohort iCohort's comparison table: for
  // iEntry < 1 the cohort's own record; else cohort c, the other cohort and
  // their comparison, in that order. Ownership as above.
  // Throws: KmException "Attempt to access element %d in vector of size
  // %d." for iCohort outside the table, and for iEntry beyond the rows of
  // the cohort (with iEntry and the number of rows); as GetCalcData.
  KmVector<kmCalcData*>& GetCalcDataVector(int32_t iCohort, int32_t iEntry);

  // How far the record getters have walked the file, in percent: the entry
  // last asked for, counted from 1, of the entries its getter walks (for
  // GetCalcData and GetCalcDataVector(iIndex) iIndex + 1 of all records,
  // for GetCalcDataVector(iCohort, iEntry) iCohort + 1 of the per-cohort
  // comparison table), so that an export walking them in order is that far.
  // 0 before the first fetch and after ResetFetchPercent. Unlike the rest of
  // a reading handler it may be read from any thread: a display follows an
  // export with it.
  int32_t GetFetchPercent() const { return iFetchPercent_.load(); }
  void ResetFetchPercent() { iFetchPercent_.store(0); }

  // ---- Accessors ----------------------------------------------------------

  int32_t GetState() const { return iState_; }
  // The handler's session (its own copy, or the one read); null after Free.
  kmSession* GetSession() { return pSession_.get(); }
  const kmSession* GetSession() const { return pSession_.get(); }
  // The progress interface (never null: a null-object stands in after
  // Free).
  KmProgressInterface* GetProgressInterface();
  // [0] elapsed seconds, [1] start time, [2] 0.0, [3] file version.
  const KmVector<double>& GetNumericData() const { return vNumericData_; }
  GraphDisplayOptions& GetGraphDisplayOptions() { return graphOptions_; }
  OutputDisplayOptions& GetOutputDisplayOptions() { return outputOptions_; }
  const OutputDisplayOptions& GetOutputDisplayOptions() const {
    return outputOptions_;
  }
  // Graph texts 1 and 2 as last set by Setup or UpdateDependentVariableLabel
  // or read from a file (GraphDisplayOptions keeps no getter of its own).
  const KmString& GetIndependentVariableLabel() const {
    return sGraphIndependentLabel_;
  }
  const KmString& GetDependentVariableLabel() const {
    return sGraphDependentLabel_;
  }
  // The record that GetCalcData fills and WriteComparisonCalcData writes.
  kmCalcData& GetCurrentCalcData() { return currentCalcData_; }
  int32_t GetNumCohortRecords() const {
    return static_cast<int32_t>(vCohortOffsets_.size());
  }
  int32_t GetNumComparisonRecords() const {
    return static_cast<int32_t>(vComparisonOffsets_.size());
  }
  const KmVector<int32_t>& GetCohortOffsets() const { return vCohortOffsets_; }
  const KmVector<int32_t>& GetComparisonOffsets() const {
    return vComparisonOffsets_;
  }
  int32_t GetComparisonGroupSize() const { return iComparisonGroupSize_; }
  // Per cohort its comparison rows: {c}, then {c, other, comparison}.
  const KmVector<KmVector<KmVector<int> > >& GetCohortComparisonTable() const {
    return vCohortComparisons_;
  }
  const KmVector<bool>& GetValidCohorts() const { return vValidCohorts_; }
  const KmVector<KmString>& GetCohortLabels() const { return vCohortLabels_; }

  // The three 16-bit counters kept for the data reader and the calculation
  // control: the first and third start at 0 and receive the maximum and the
  // minimum number of observations of the usable cohorts; the second starts
  // at 65535, read as a signed value (-1) the minimum field count of a data
  // record.
  uint16_t GetMaxObservations() const { return uiMaxObservations_; }
  void SetMaxObservations(uint16_t uiValue) { uiMaxObservations_ = uiValue; }
  int16_t GetMinFieldCount() const {
    return static_cast<int16_t>(uiMinFieldCount_);
  }
  uint16_t GetMinObservations() const { return uiMinObservations_; }
  void SetMinObservations(uint16_t uiValue) { uiMinObservations_ = uiValue; }

 private:
  // Members to their constructed state (no file, no session, state 0).
  void InitMembers();
  // Throws the state refusals of a write operation requiring iRequired.
  void CheckWriteState(int32_t iRequired, const char* sMessage) const;
  // Throws "Unable to write the results file ..." when the output stream
  // has failed.
  void CheckWritten();
  // Appends pCalcData at the end of the file, its offset to vOffsets.
  void AppendRecord(const kmCalcData& calcData, KmVector<int32_t>& vOffsets);
  // The graph texts of the display-options block that starts at lStart;
  // leaves the file positioned where it found it.
  void ReadGraphLabels(int32_t lStart);
  // Refuses a file older than the oldest readable version or newer than
  // this program's (the messages of Read).
  void CheckReadableVersion(double dVersion);
  // Reads what follows the combinations: for files before version 3.3 the
  // valid-cohort flags, cohort labels, comparison group size and the whole
  // offset table; for later ones the cohort offsets alone. Returns false
  // when the reading was cancelled.
  bool ReadCohortBlocks(KmCheckedReader& in, double dVersion, bool bPairwise,
                        KmProgressInterface* pReport);
  // Refuses an offset table that names a position outside the records, or
  // whose offsets are not those of records written one after another.
  void CheckOffsets();
  // Refuses offsets that do not increase within each list, or that together
  // do not start where the offset table ends each at its own position;
  // keeps them sorted in vRecordStarts_.
  void CheckRecordOrder();
  // Reads the record at lOffset into record and refuses it unless it ends
  // exactly where the next record begins (the last at the end of the file).
  void ReadRecordAt(int32_t lOffset, kmCalcData& record);
  // Reads cohort record iCohort, or comparison record iComparison (of
  // cohorts a and b), into a new record; a record with an empty cohort label
  // is labelled from the combination table. Refuses an index that names no
  // stored record.
  std::unique_ptr<kmCalcData> ReadCohortRecord(int32_t iCohort);
  std::unique_ptr<kmCalcData> ReadComparisonRecord(int32_t iComparison,
                                                   int32_t a, int32_t b);
  // Range refusal of the record getters.
  [[noreturn]] static void ThrowIndexError(int32_t iIndex, int32_t iSize);
  // Notes entry iIndex of the iSize a getter walks as the one last asked for
  // (GetFetchPercent).
  void NoteFetch(int32_t iIndex, int32_t iSize);

  // 1-3: write state and patch positions.
  int32_t iState_;
  int32_t lNumericPos_;
  int32_t lOffsetPos_;
  // 4: filled by GetCalcData, written by WriteComparisonCalcData.
  kmCalcData currentCalcData_;
  // 5-8: owned file and session; the progress interface, owned or not.
  std::unique_ptr<KmIO_File> pFile_;
  std::unique_ptr<kmSession> pSession_;
  KmProgressInterface* pProgress_;
  std::unique_ptr<KmProgressInterface> pOwnedProgress_;
  // 9: counters of the data reader and the calculation control.
  uint16_t uiMaxObservations_;
  uint16_t uiMinFieldCount_;
  uint16_t uiMinObservations_;
  // 10-12.
  KmVector<double> vNumericData_;
  GraphDisplayOptions graphOptions_;
  OutputDisplayOptions outputOptions_;
  // 13-16.
  KmVector<int32_t> vCohortOffsets_;
  KmVector<int32_t> vComparisonOffsets_;
  int32_t iComparisonGroupSize_;
  KmVector<KmVector<KmVector<int> > > vCohortComparisons_;
  // 17: records of the last GetCalcDataVector (owned by its caller).
  KmVector<kmCalcData*> vFetched_;
  // 18-20.
  kmCombos combos_;
  KmVector<bool> vValidCohorts_;
  KmVector<KmString> vCohortLabels_;

  // Name of the open file, its size when read (-1 unknown), and the first
  // byte after the offset table (the earliest position of a record).
  KmString sFileName_;
  int64_t lFileSize_;
  int32_t lRecordsStart_;
  // Every record offset of the table, ascending.
  std::vector<int32_t> vRecordStarts_;
  // The comparability-ratio interval given by the caller, or null.
  ComparabilityRatioCIFunction pCRCalculator_ = nullptr;
  // Mirrors of graph texts 1 and 2.
  KmString sGraphIndependentLabel_;
  KmString sGraphDependentLabel_;
  // Stands in for the progress interface after Free.
  KmNullProgress nullProgress_;
  // GetFetchPercent.
  std::atomic<int32_t> iFetchPercent_{0};
};

#endif  // KM_RESULTS_KMCALCHANDLER_H
