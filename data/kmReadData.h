// The data reader of a calculation run: file access and the record format,
// the verification pass over the whole data set, and the per-cohort reads
// of the fitting tasks.
#ifndef KM_DATA_KMREADDATA_H
#define KM_DATA_KMREADDATA_H

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "data/kmCohortRows.h"
#include "data/kmValueTable.h"
#include "foundation/KmLineSource.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"

class KmProgressInterface;
class kmCalcHandler;
class kmCohortDataManager;
class kmSession;

// A {title or label, text} pair of the cohort error list and the notes list.
typedef std::pair<KmString, KmString> kmTextPair;

// What verification found in one analysis copy, carried beside its text.
// Every finding but two refuses the copy; the zero-count note (0.5 is added
// to each zero count) and the note of a comparability ratio whose location
// lies outside the cohort's values leave it usable, so a copy whose only
// findings are these notes is still a valid cohort.
enum class kmCohortValidity {
  // Verification wrote no text for the copy.
  kNoFinding,
  // The only findings are notes: valid, and fitted.
  kZeroCountNoteOnly,
  // A finding that refuses the copy.
  kRefused,
};

// True for kNoFinding and kZeroCountNoteOnly (notes only): the cohort's
// record is valid.
inline bool IsValidCohort(kmCohortValidity validity) {
  return validity != kmCohortValidity::kRefused;
}

// kmReadData: the one data reader of a calculation run, owned by the
// calculation control.
//
// The verification pass (VerifyDelayRateCalcNEW) reads the whole data file
// once, cohort by cohort, and leaves per analysis copy a good flag, an
// error text, a line count and a file position. During the run each pool
// task, holding the data-file mutex, reads the next analysis copy in file
// order (ReadData, ReadDataAndCalcRates, ReadDataAndCalcRates_Cluster);
// the rows of the copy read last stay in the reader until the next read.
//
// Analysis copies (numbered by kmAnalysisCopies): every cohort of the file
// is analysed once per analysis of kmOptJumpCRMode and twice that when
// kmOptDelayType is 2. The by-group index runs over all copies of all
// cohorts in file order; every per-copy member is indexed by it.
//
// Data file: one record per line; a name ending in ".gz" is read through
// the gzip functions (which also read an uncompressed file), any other name
// as a plain file. The record format is that of ProcessDataRecord.
//
// Errors travel as KmException; every method adds its own name and the
// class name "kmReadData" to the call path and rethrows. Data problems of
// a single cohort are never thrown: they clear that copy's good flag and
// become sentences of its error text.
//
// Threads: the reader takes no lock. Every call that reads the file comes
// from the controlling thread before or after the pool, or from a task
// holding the data-file mutex.
class kmReadData {
 public:
  kmReadData(const kmReadData&) = delete;
  kmReadData& operator=(const kmReadData&) = delete;

  // ==== Object lifetime and per-copy results as the fitting side sees them
  // ==== (reading one cohort for a fit; bodies in kmReadData.cpp) ==========

  // Zeroes the pointers, clears the compressed and clustered flags, sets
  // the next cohort to 0, stores pCalcHandler and calls Setup(pSession).
  // Throws: the errors of Setup, with "kmReadData()" in the call path.
  kmReadData(kmSession* pSession, kmCalcHandler* pCalcHandler);
  // Releases the cohort data manager, the vectors, the strings and the
  // plain file; closes an open gzip stream.
  virtual ~kmReadData();
  // Stores pSession, creates the cohort data manager, sets the clustered
  // flag, reads the data file name (string slot 0) and the variance-
  // covariance file name (string slot 6), and loads the variance-covariance
  // matrix when kmOptHetErrorModel is 5.
  // Throws: "Session does not exist - invalid pointer." (class
  // "kmReadData") for a null pSession; the matrix loader's errors.
  void Setup(kmSession* pSession);

  // ---- Reading one cohort for a fit: further methods (ReadData, the
  // ---- good-flag and row getters) go here --------------------------------
  // (bodies in kmReadDataReadCohort.cpp)

  // The error text of copy i; "" when i is outside the copies.
  KmString GetIsCohortGoodToUse(int i) const;
  // What verification found in copy i, beside its text (kNoFinding when i
  // is outside the copies).
  kmCohortValidity GetCohortValidity(int i) const;
  // The good flag of copy i; false when i is outside the copies.
  bool GetCohortGoodFlag(int i) const;
  // Copies of the good flags and of the rows of the copy read last.
  KmVector<bool> GetCohortGoodFlags() const { return vGoodFlags_; }
  kmCohortRows GetCohortRows() const { return vvCohortRows_; }
  // The data file's line (1-based) of each of those rows, in the same
  // order: of the copy read last (ReadData), or of the cohort the
  // verification pass read last. Shorter than the rows, or -1 for a row,
  // where the lines are not known (rows formed from groups of records).
  const std::vector<int64_t>& GetCohortRowLines() const { return vRowLines_; }
  // For the records at the data file's lines vLines (ascending, as
  // GetCohortRowLines gives them; -1 entries are skipped), the first two in
  // a row whose by-variable field reads as one value but stands otherwise
  // in the file, a blank or quote apart: "  The by variable Site holds
  // \"1\" on line 24 and \"1 \" on line 25, both read as \"1\": ...".
  // Those records are of one cohort, which can explain its records out of
  // order. "" when there are none, or the lines cannot be read again.
  KmString ByVarSpellingNote(const std::vector<int64_t>& vLines) const;

  // Reads the next analysis copy into the cohort rows (one row of field
  // texts per record, in file order) and stores its index in
  // *piCohortIndex; the next copy index goes up by one. Starts at the copy's
  // verified file position and reads its verified line count (blank lines
  // included) or up to the end of the file.
  //   Computing path (kmOptDependentCalculated, except a crude rate under
  //   kmOptHetErrorModel 4): every row holds the record's fields (absent
  //   fields of a record shorter than the copy's first one as the missing
  //   text), then the rate and its standard error computed from the count
  //   and population: crude rate c/p x N with SE sqrt(c)/p x N ("%20.10f";
  //   N = kmOptRatesPerN, 100000 when 0 or less), percent 100q with SE
  //   100 sqrt(q(1-q)/p), proportion q with SE sqrt(q(1-q)/p), q = c/p
  //   (under kmOptHetErrorModel 4 the SE of the count: sqrt(c)/p, 100 times
  //   that for a percent; both "%.17g"). A count of 0 is 0.5 under a
  //   log-linear constant-variance model. A
  //   missing, non-numeric or negative count or population, a population of
  //   0, or (proportion, percent) c > p gives -1e30 for both values.
  //   As-given path: the record's fields as they stand ("," removed, and
  //   trimmed unless the missing text is " "; a compressed line's break
  //   dropped, so plain and gzip files give the same fields).
  // On both paths a pair of double quotes enclosing a whole field is
  // dropped ("1,200" gives 1200), as in ProcessDataRecord.
  // In a comparability-ratio copy whose good flag is set, a record at or
  // before kmOptJumpLocation J gets rate r x CR and standard error
  // sqrt(CR^2 s^2 + W s^2 + W r^2) (CR = kmOptCRValue, W =
  // kmOptCRVariance); when that sum is negative (W < 0) the computed rate
  // and standard error are -1e30, a given standard error the missing text.
  // Throws: "Could not locate the following Independent Variable value in
  // the format:  <field>" (source "kmCalculationHandler::ReadData()") in a
  // comparability-ratio copy; a clear KmException when the copy was not
  // verified or its file position cannot be reached; the file layer's
  // errors. REQUIRES: the data file is open (OpenInputFile).
  void ReadData(int* piCohortIndex);

  // ---- Comparability-ratio adjustment of a cohort's rows -----------------
  // (body in kmReadDataReadRates.cpp)

  // Adjusts the cohort rows in place, the rate and its standard error being
  // the last two fields of each row: a row whose independent value x (its
  // format label's value when the independent variable has a format) is at
  // or before kmOptJumpLocation, with neither field missing, gets rate
  // r x CR and standard error sqrt(CR^2 s^2 + W s^2 + W r^2), "%20.10f"
  // (the missing text when the sum under the root is negative).
  // Throws: "Empty cohort vector found." for no rows; "Invalid iRatePos or
  // iSEPos in the ComparabilityRatioAdjustment function. One or both are
  // negative." for a first row of fewer than 2 fields; "Could not locate the
  // following Independent Variable value in the format:  <field>"; all with
  // source "kmCalculationHandler::ComparabilityRatioAdjustment()".
  void ComparabilityRatioAdjustment();

  // ---- Reading a cohort of clustered data --------------------------------
  // (body in kmReadDataReadCluster.cpp)

  // Reads the next analysis copy of clustered data (copy index, seek and
  // line count as ReadData) into table: one entry per run of consecutive
  // records with equal independent values (compared as numbers), holding
  // per record {adjustment group, count, population, standard population}.
  // The adjustment group is the 0-based line of the adjustment variable's
  // format whose values hold the record's code (the code itself when the
  // variable has no format). A missing or non-numeric count, population or
  // standard population is -1e30 (an empty field reads 0); a
  // negative count, population or standard population makes all three
  // -1e30. The last run is appended even when empty, so a copy without
  // records gives one empty entry. The cohort rows are only cleared.
  // Throws: "Data record in cohort number <i> does not have enough fields.
  // Max number of fields needed:  <f>  Number of fields in data record:
  // <n>" (source "kmReadData::ReadDataAndCalcRates_Cluster()") for a record
  // lacking one of the by-variable, independent, adjustment, count,
  // population or standard-population columns; an input error naming the
  // record and its code for a code that no line of the adjustment format
  // holds; the session's error for an
  // unset role; as ReadData otherwise.
  void ReadDataAndCalcRates_Cluster(int* piCohortIndex, kmValueTable& table);

  // ---- Reading a cohort with age-adjusted rates --------------------------
  // (bodies in kmReadDataReadRates.cpp)

  // Reads the next analysis copy (copy index, seek and line count as
  // ReadData) and turns the records of each year (a run of records with
  // the same independent value) into one row: the year's last record with
  // its count and population fields replaced by the year's totals Q and P,
  // an empty field, then the directly age-adjusted rate R and its standard
  // error E ("%20.10f", the missing text when not computable). A year that
  // does not hold each of the g adjustment groups once (g = the number of
  // adjustment groups; none with g = 0, which gives no rows) has the
  // missing text for R and E. When the populations of the copy's usable
  // records sum to 0, every row's R and E are the missing text. A good
  // comparability-ratio copy then gets ComparabilityRatioAdjustment.
  // Throws: the "Could not locate" error of IndependentValue for a year
  // that the independent variable's format does not hold.
  // Throws: the session's error for an unset count, population or standard
  // population role; as ReadData otherwise.
  void ReadDataAndCalcRates(int* piCohortIndex);
  // Group totals of one group's rows: Q (counts), P (populations), R = sum
  // of w_k r_k with w_k = standard population / S (S the group's standard
  // population total) and r_k = c_k / p_k x N, and E = N sqrt(sum of
  // w_k^2 c_k / p_k^2). R and E are -1e30 when any row is unusable (a
  // missing, non-numeric or negative count or standard population, a
  // population that is not a number above 0, or S = 0) or E cannot be
  // formed. *pdCohortPop gains the
  // populations of the usable rows.
  // REQUIRES: the five pointers are not null.
  void ReadDataAndCalcRates_ProcessLine(kmCohortRows vGroup, double* pdCount,
                                        double* pdPop, double* pdRate,
                                        double* pdSE, double* pdCohortPop);
  // Appends the output row of one group (see ReadDataAndCalcRates) to the
  // cohort rows.
  // Throws: KmException "Adjustment group without records." for an empty
  // vGroup; the session's error for an unset count or population role.
  void ReadDataAndCalcRates_ProcessLine(kmCohortRows vGroup, double dCount,
                                        double dPop, double dRate, double dSE);

  // ==== Verification of the data set before the run ========================

  // ---- Verification pass (VerifyDelayRateCalcNEW, ProcessCohortError) ----
  // (bodies in kmReadDataVerify.cpp)
  //
  // The rate checks (kmCohortDataManager) run for every copy still usable
  // after the record checks, including one whose only text is the
  // zero-count note. A block whose records are all kept out of the
  // calculations is no cohort: it gets no copy, and its line count and
  // position are dropped. A cohort beyond the session's cohort labels (or,
  // with kmOptPerCohortMaxKinkmarks, its observation counts) stops the run
  // with the by-variable message.

  // Reads the whole data file once, cohort by cohort, checks every record
  // (VerifyCohortFieldValues) and every cohort's rates
  // (kmCohortDataManager::VerifyCohortData), and fills per analysis copy the
  // good flags and error texts (the line counts and file positions come
  // from ReadInNextCohort), the cohort error list, the notes, the number of
  // by-groups, the number of adjustment groups, the large-run question
  // (more than 100 selected cohorts), kmOptIndepPrecision, and the results
  // handler's observation extremes, valid cohorts, comparisons and
  // combinations. sMessage receives the text of every run-stopping input
  // error before it is thrown. bUnused is not read.
  // Returns: true when no analysis copy ended with an error text.
  // Throws: KmException "Invalid run type encountered. ..." for a bad
  // kmOptDelayType; "There are too many by-group combinations in the input
  // file. ..." past 2147483647 copies; input errors (kind 3) for a cohort
  // beyond the session's selection list ("There seems to be a problem with
  // one of your By Variables, ..."), a shift larger than the largest
  // independent interval, and pairwise comparisons over one cohort or over
  // an inner-most by-variable of one category; the errors of the reading
  // methods. The data file is closed on every path.
  bool VerifyDelayRateCalcNEW(KmString& sMessage, bool bUnused);
  // Appends {label, sErrorText} to the cohort error list; the label is
  // GetCohortLabel_Test(codes) with " Delay"/" Non-Delay" (kmOptDelayType
  // 2, by bDelay) and the kind of analysis iAnalysis of the cohort
  // (kmAnalysisCopies): " Jump", " Comparability Ratio" or " Standard";
  // none for -1 or a run without such analyses.
  void ProcessCohortError(KmVector<int> codes, KmString sErrorText, bool bDelay,
                          int iAnalysis);

  // ---- Record checks of one cohort (VerifyCohortFieldValues, ...) --------
  // (bodies in kmReadDataRecordChecks.cpp)
  //
  // Each problem clears *pbGood and appends to *psErrorText the sentence
  // "  <text> (record r, column c)  ", r = the record's 1-based index in the
  // cohort, c = the field's 1-based location in the data file; each
  // kind is reported once per cohort (its reported flag), at its first
  // occurrence.

  // Checks the dependent (iDependentLoc), independent (iIndependentLoc) and,
  // when kmOptHetErrorModel is 2, standard-error (iStdErrorLoc) field of
  // every record of one cohort (locations 1-based; 0 skips the variable),
  // then refuses a count cohort whose counts are all zero. Under the
  // Poisson rate model with a response the reader does not compute, the
  // fit divides by the population field: it is checked too
  // (VerifyPopulation). Raises
  // *pdLargestInterval to the largest step between consecutive independent
  // values and *piPrecision to their largest number of decimals. iUnused is
  // not read.
  // Throws: KmException "The response variable location ( L ) is beyond the
  // end of the vvCohortRecord row length ( n )." (and the same for "The
  // independent variable location ( ", "The standard error variable
  // location ( " and "The population variable location ( "), source
  // "kmCalculationHandler"; the input error of
  // VerifyIndependentVariable.
  void VerifyCohortFieldValues(kmCohortRows vRows, KmString* psErrorText,
                               bool* pbGood, int iCohortNumber,
                               double* pdLargestInterval, int* piPrecision,
                               int iUnused, int iDependentLoc,
                               int iIndependentLoc, int iStdErrorLoc);
  // One dependent field: adds its value to dSum; reports a missing value, a
  // zero (a note only, for counts and calculated crude rates under
  // Poisson-type errors; a refusal in other log-linear analyses) and a
  // negative value (counts, provided rates, log-linear analyses).
  void VerifyResponseVariable(KmString sField, KmString sMissing, int32_t iRow,
                              int iCol, KmString* psErrorText, bool* pbGood,
                              bool& bMissingReported, bool& bZeroCountReported,
                              bool& bZeroReported, bool& bNegativeReported,
                              bool& bLogNegativeReported, double& dSum);
  // Why a cohort's years repeat where the session names an adjustment
  // variable but does not compute the rates (kmOptDependentCalculated
  // clear): the records of one year are its age groups, which only "run
  // type = calculated" in the run options turns into one rate a year. ""
  // for a session without an adjustment variable or that computes them.
  KmString AgeGroupsOfOneYearText() const;
  // One independent field (trimmed): reports an empty or non-numeric value,
  // a non-numeric format label, and (unless clustered) a value equal to the
  // previous record's; keeps dPrevious, dLargestInterval and iPrecision.
  // sPrevious is the previous record's field, "empty" for the first record.
  // Throws: the input error "\"v\" is not a valid value for the independent
  // variable." (source "kmCalculator") for a value its format does not hold.
  void VerifyIndependentVariable(KmString sField, KmString sMissing,
                                 int32_t iRow, int iCol, KmString* psErrorText,
                                 bool* pbGood, double& dPrevious,
                                 double& dLargestInterval, int& iPrecision,
                                 KmString sPrevious,
                                 bool& bMissingOrEqualReported,
                                 bool& bNonNumericReported);
  // One standard-error field: reports a missing, non-numeric or
  // non-positive value.
  void VerifyStandardError(KmString sField, KmString sMissing, int32_t iRow,
                           int iCol, KmString* psErrorText, bool* pbGood,
                           bool& bMissingReported, bool& bNonNumericReported,
                           bool& bNotPositiveReported);
  // One population field that the fit divides by: reports one that is
  // missing, no number or not above 0 with the text "Error in data file.
  // Population <= 0.  Cohort Index = " and the 0-based cohort index
  // (iCohortNumber - 1), then the data file, line, column and value.
  void VerifyPopulation(const KmString& sField, int32_t iRow, int iCol,
                        int iCohortNumber, KmString* psErrorText, bool* pbGood,
                        bool& bReported);
  // True when s is a valid number: only digits, signs, '.', 'e', 'E' and
  // the backspace character, at most one '.', at most one exponent letter,
  // standing after the '.'. Stray characters and extra points are removed
  // from s (the result is then false); a text with an exponent letter is
  // rewritten as its number in fixed notation with 10 decimals. bUnused is
  // not read.
  static bool ValidFloat(KmString& s, bool bUnused);
  // The number sField holds by the one number rule of the data readers
  // (kmTools::ReadFieldNumber): true, with the number in dValue, when
  // sField is neither missing nor text and, for a standard error
  // (bStandardError), ValidFloat takes it as well; false otherwise, dValue
  // untouched. Every value of a record that is shown or fitted is read so:
  // a refused cohort's export shows no number its text only begins with.
  static bool CheckedNumber(const KmString& sField, const KmString& sMissing,
                            bool bStandardError, double& dValue);

  // ---- Variance-covariance matrix file (LoadVarianceCovarianceMatrix) ----
  // (body in kmReadDataVarCov.cpp)

  // Replaces the variance-covariance table with the numbers of the file
  // named by string slot 6 (a name ending in ".gz" read through the gzip
  // functions, a line of any length staying one row): one row per line
  // that is not blank, fields split at the delimiter of
  // kmOptVarCovarDelimiter (0 tab, 2 ',', 3 ';', else a blank, where a run
  // of blanks is one separator), fields trimmed of blanks, a field that is
  // not read whole as a finite number read as 0.0; then kmOptVarCovarFlagB
  // drops the first field of every row and kmOptVarCovarFlagA the first
  // row. No test of squareness or symmetry is made (RequireVarCovMatrix).
  // A first matrix row (after a dropped header row) of more values than the
  // largest of the session's observation counts (records per cohort, never
  // fewer than a cohort's observations) fits no cohort: the file is read no
  // further, the table stays empty and every cohort is refused for its size
  // (VarCovSizeRefusal), so a matrix far too large costs one line, not its
  // whole reading and decomposition.
  // Throws: an input error naming the file, row and column of a kept field
  // that is not a number; KmException "Could not load
  // variance-covariance matrix.  The
  // selected file: <name> does not exist." (source "kmReadData") for a
  // missing file; a KmException naming the file when it cannot be opened;
  // "Variance-covariance matrix file "<name>" is damaged: line <n> holds a
  // NUL byte."; the gzip layer's error for damaged compressed data.
  void LoadVarianceCovarianceMatrix();

  // Refuses the loaded table unless it is a covariance matrix: an input
  // error naming the file and the reason when it is not square, a variance
  // (diagonal element) is not above 0, or it is not positive definite,
  // singular included. Only the upper triangle is read as covariances.
  // Nothing is checked for a matrix whose first row fits no cohort.
  void RequireVarCovMatrix() const;

  // The refusal of a cohort of iObservations observations under the error
  // model "variance-covariance matrix from a file" when the loaded matrix
  // has another size, naming the file and both sizes; "" when the sizes
  // agree or the session gives no matrix.
  KmString VarCovSizeRefusal(int iObservations) const;

  // ==== Data file access and record format (kmReadDataFile.cpp) ===========

  // Opens the data file with the line source: through the gzip reader for a
  // name ending in ".gz", else as it is. With bSkipHeader true it then calls
  // SkipColHeaderLine. Any file the reader still has open is closed first.
  // Throws: KmException naming the file and the system's reason when it
  // cannot be opened (km_read_internal::ThrowDataFileNotOpened; a gzip
  // open that fails would otherwise read as an endless run of empty lines;
  // a plain stream that fails would read as an empty file).
  void OpenInputFile(bool bSkipHeader);
  // Reports to pProgress (not owned; null: none) how much of the data file
  // each read from its start has read (KmLineSource::SetProgress).
  void SetFileProgress(KmProgressInterface* pProgress) {
    inputLines_.SetProgress(pProgress);
  }
  // With kmOptVarNamesIncluded true, reads lines (end-of-file state taken
  // before each read) until one is not empty after trimming, or the end of
  // the file; that line is the header and is dropped. Reads nothing when
  // the option is false.
  // REQUIRES: the file is open.
  void SkipColHeaderLine();
  // Reads the next record of the analysis copy being read: takes lines
  // (ReadLineFromInputFile) while iLinesLeft is above 0, each line counting
  // against it, and skips the blank ones by the rule verification counts
  // them by (km_read_internal::IsBlankDataLine). sLine receives the record,
  // its quotes resolved (kmTools::RemoveUnecessaryQuotes) when
  // bResolveQuotes, and vTokens its fields (km_read_internal::SplitRecord).
  // Returns false when the copy's lines or the file end first. The record's
  // line is appended to the row lines (GetCohortRowLines).
  // Throws: as ReadLineFromInputFile.
  bool ReadCopyRecord(int& iLinesLeft, bool bResolveQuotes, KmString& sLine,
                      std::vector<KmString>& vTokens);
  // Reads one line into sLine. *plPosition receives the file position
  // before the read. With bEOFBeforeRead true the end-of-file state is
  // taken before the read and returned, so the last line of a file comes
  // back with false even when no line feed ends it, and the next call
  // returns "" with true; with it false, the state after the read is
  // returned. A line, plain or compressed, loses its line feed and every
  // carriage return and arrives whole (KmLineSource). plPosition may be
  // null. A reader with no file open reads "" at the end of the file.
  // Throws: the line source's errors: damaged compressed data, a line with
  // a NUL byte ("Data file "<name>" is damaged: line <n> holds a NUL
  // byte."), a line longer than the line source takes.
  bool ReadLineFromInputFile(KmString& sLine, bool bEOFBeforeRead,
                             int64_t* plPosition);
  // Sets the next cohort to 0 and opens the data file again from its start
  // (OpenInputFile(true)).
  void ResetDataFile();
  // Closes the gzip stream or the plain file, whichever is open. Closing a
  // closed reader does nothing.
  void CloseInputFile();
  // Splits one record: tokens at the delimiter of kmOptFieldDelimiter,
  // double-quoted sections not split, every ',' removed from every field,
  // each field trimmed, a pair of double quotes enclosing the whole field
  // dropped ("1,234" gives 1234), an empty field " ". Appends the
  // fields as a new row to *pRows when LineShouldBeIncluded says the record
  // is used in calculations, and returns that verdict.
  // Throws: "Too few data columns in Input Data File." (source
  // "VerifyDelayRateCalc()") when the record has fewer fields than the
  // results handler's minimum field count (-1: no minimum); the session's
  // errors for a bad delimiter code.
  // REQUIRES: pRows is not null.
  bool ProcessDataRecord(KmString sLine, kmCohortRows* pRows);
  // True when the record sLine is used in calculations: always when the
  // independent variable has no value-label format; otherwise unless the
  // label of its (trimmed) independent field is empty or ends with
  // " (not used in calculations)". A value the format does not hold is
  // appended to the format as a line whose value and label are the field,
  // so the session's format grows by one line for each new value met.
  // Throws: the session's error when the independent variable is not set.
  bool LineShouldBeIncluded(const char* sLine);

  // ==== Cohort boundaries, by-variable codes and labels
  // ==== (kmReadDataCohorts.cpp) ===========================================

  // Reads the next cohort of the verification pass: a maximal run of
  // consecutive non-blank lines with equal by-variable codes. Empties rows
  // and codes; the records used in calculations go to rows (split by
  // ProcessDataRecord), the codes of the cohort to codes.
  //
  // Blank lines (empty after trimming when the missing text is not " ";
  // empty once a compressed line's break is dropped when it is) raise
  // iBlankLines when read. Blank lines inside a cohort belong to it; those
  // in front of a cohort belong to that cohort (also to the first, after
  // the header); those at the end of the file to the last cohort. The
  // empty text read after the file's last line end is no line.
  //
  // When the call met at least one record line, it appends once per
  // analysis copy the file position of the cohort's first line (a blank
  // line in front of it included) to the file positions, and iLineCount
  // (raised by every line of the cohort; the caller sets it to 0 between
  // cohorts) to the line counts; reading that many lines from that
  // position gives exactly the cohort. A call that met no record appends
  // nothing and returns no rows (a cohort whose records are all not used in
  // calculations appends its entries but returns no rows).
  //
  // The line that begins the next cohort is kept in the reader and handed
  // to the next call (no seek back). bEOF becomes true when the call ended
  // at the end of the file, so no further cohort follows.
  // Throws: the errors of GetByCodes and ProcessDataRecord.
  // REQUIRES: the file is open; no read or seek of the file between the
  // calls of one pass.
  void ReadInNextCohort(kmCohortRows& rows, bool& bEOF, int& iLineCount,
                        int& iBlankLines, KmVector<int>& codes);
  // The integer codes of the data by-variables of sLine (the synthetic
  // delay and jump by-variables are not read). An integer field is its own
  // code; a text field is coded by its line in the by-variable's format of
  // the results handler's session, a new line (and a new 'A' format) being
  // added for a text first met; an empty field is 0.
  // Throws: "Invalid position for by-variable. ..." when a by-variable's
  // column lies beyond the record's fields; the input error "\"v\" is an
  // invalid code for the <name> by variable. ..." for an integer code that
  // the by-variable's format does not hold.
  KmVector<int> GetByCodes(KmString sLine);
  // The display label of a cohort: the labels of codes in the by-variables'
  // formats joined by " // "; a code without a label stands for itself;
  // a code count that differs from the data by-variable count gives
  // "Mismatch between number of by variables and variable combinations
  // read from data file.". Never throws for a missing label.
  KmString GetCohortLabel_Test(KmVector<int> codes);
  // The number of adjustment groups of a cohort: the size of
  // FirstYearAdjustCodes.
  // Throws: as FirstYearAdjustCodes.
  int DetermineNumGroupVarCats(const kmCohortRows& rows);
  // The groups of an adjustment variable without a format: the distinct
  // codes (trimmed) of the records of the cohort's first year, whatever
  // order the year's records take: in the order of their numbers when all
  // are numbers, else in the order they first come; codes of one number
  // ("01", "+1" and "1", SameAdjustmentCode) are one group, the first
  // spelling kept. The first year is the records from the first whose year
  // reads as the first's number (IndependentValue).
  // Throws: "Cohort vector has no entries." for no rows; the session's
  // error when the adjustment or independent variable is not set.
  std::vector<KmString> FirstYearAdjustCodes(const kmCohortRows& rows) const;

  // ==== Accessors of the run-wide members ==================================

  int GetNumByGroups() const { return iNumByGroups_; }
  int GetNumAdjustGroups() const { return iNumAdjustGroups_; }
  // The groups of an adjustment variable without a format, as the
  // verification found them (FirstYearAdjustCodes); empty with a format.
  const std::vector<KmString>& GetAdjustCodes() const { return vAdjustCodes_; }
  bool IsClustered() const { return bClustered_; }
  bool IsCompressed() const { return bCompressed_; }
  int GetNextCohort() const { return iNextCohort_; }
  const KmString& GetDataFileName() const { return sDataFileName_; }
  const KmVector<KmString>& GetErrorTexts() const { return vErrorTexts_; }
  const KmVector<int>& GetLineCounts() const { return vLineCounts_; }
  const std::vector<int64_t>& GetFilePositions() const {
    return vFilePositions_;
  }
  const std::vector<kmTextPair>& GetCohortErrors() const {
    return vCohortErrors_;
  }
  const std::vector<kmTextPair>& GetNotes() const { return vNotes_; }
  const KmString& GetQuestionText() const { return sQuestion_; }
  int GetQuestionCode() const { return iQuestionCode_; }
  const KmVector<KmVector<double>>& GetVarCovTable() const {
    return vvVarCovTable_;
  }
  // The lines of the matrix file that LoadVarianceCovarianceMatrix read.
  int64_t GetVarCovLinesRead() const { return lVarCovLinesRead_; }

 private:
  // ---- Private helpers of the reading and verification groups go here ---

  // Per-cohort reads (kmReadDataReadCohort.cpp): clears the cohort rows,
  // takes the next copy index (stored in *piCohortIndex, then advanced),
  // seeks to the copy's verified file position and returns the copy's
  // verified line count.
  // Throws: a clear KmException when the copy has no verified line count or
  // file position, or the seek fails.
  int BeginCopyRead(int* piCohortIndex, int& iCopy);

  // GetCohortLabel_Test with the labels joined by sSeparator.
  KmString JoinedCohortLabel(const KmVector<int>& codes,
                             const char* sSeparator);
  // Where record iRow (0-based) of the cohort being verified stands, for
  // the record checks' messages: "Data file \"<name>\", line <n>, column
  // <iCol + 1>" (the line left out when not known).
  KmString RecordPlace(int32_t iRow, int iCol) const;
  // The data file's line of row r of the cohort being verified; -1 when
  // not known.
  int64_t RowLine(size_t r) const;

  // The refusal of an age-adjusted cohort (rates the reader computes over
  // the groups of the adjustment variable's format) whose records the
  // reader would combine wrongly, naming the data file and line: a code
  // that no group of the format holds (listing the groups), a year that
  // comes after a later one or repeats a group, a year without a record of
  // some group, a population of 0 (not under clustering, which merges
  // groups before it forms rates), a standard population that is missing
  // or no number, and a group whose standard population differs between
  // years (both values and lines). "" when the records are sound, or the
  // rates are not computed over a format's groups.
  KmString AdjustmentGroupsRefusal(const kmCohortRows& rows) const;
  class AdjustmentGroupWalk;

  // The phases of the verification pass (kmReadDataVerify.cpp). VerifyPass
  // holds the run's settings and the totals carried from cohort to cohort;
  // CohortVerdict one cohort's error texts and usable flags. sMessage
  // receives the text of a run-stopping input error before it is thrown.
  struct VerifyPass;
  struct CohortVerdict;
  // Empties the per-copy lists, cohort errors, notes and question.
  void ResetVerifyResults();
  // Locations of the dependent and standard-error variables of both
  // variants and of the independent variable; adjustment groups from the
  // adjustment variable's format.
  void LocateVerifyVariables(VerifyPass& pass, KmString& sMessage);
  // Reads and checks cohort after cohort to the end of the open file.
  void VerifyAllCohorts(VerifyPass& pass, KmString& sMessage);
  // Checks one cohort and appends its copies' flags, texts and combinations.
  void VerifyCohort(VerifyPass& pass, const kmCohortRows& rows,
                    const KmVector<int>& codes, KmString& sMessage);
  // Appends one copy's good flag, text and validity.
  void AppendCopyVerdict(bool bGood, const KmString& sText);
  // Appends the verdict of one delay variant to each of its analysis
  // copies; a usable jump copy is refused with sJumpRefusal when that is
  // not empty, and a usable comparability-ratio copy keeps sRatioNote as a
  // note (it is still fitted).
  void AppendAnalysisCopies(const VerifyPass& pass, bool bGood,
                            const KmString& sText, const KmString& sJumpRefusal,
                            const KmString& sRatioNote);
  // Largest and smallest observation counts, passed on to the handler.
  void TrackObservationExtremes(VerifyPass& pass, int16_t n);
  // Record checks of both variants; refuses a cohort the pre-read missed.
  void CheckCohortRecords(VerifyPass& pass, const kmCohortRows& rows,
                          CohortVerdict& verdict, KmString& sMessage);
  // Marks variant 1 unusable when n records cannot hold the smallest
  // model (kmOptMinKinkmarks) with the cohort's maximum and the method's
  // spacing.
  void CheckObservationRequirement(const VerifyPass& pass, int16_t n,
                                   CohortVerdict& verdict);
  // Marks both variants of a cohort of n records unusable, with
  // VarCovSizeRefusal's text, when the matrix does not fit its observations.
  void CheckVarCovSize(int16_t n, CohortVerdict& verdict) const;
  // Marks both variants of an age-adjusted cohort unusable, with
  // AdjustmentGroupsRefusal's text, when its records do not form one
  // record of every adjustment group in each year, else with
  // PreReadCountRefusal's for the cohort numbered iCohort (1-based).
  void CheckAdjustmentGroups(const kmCohortRows& rows, int iCohort,
                             CohortVerdict& verdict) const;
  // The fit of a cohort whose rates are formed over the adjustment groups
  // takes its number of years from the pre-read's count of them (the
  // session's observation counts): "" when that count is the number of
  // years of rows (km_read_internal::CountYears), the cohort numbered
  // iCohort (1-based) has no count (the session holds none) or the rates
  // are not formed so; otherwise the refusal naming the data file, the
  // cohort's lines and both counts.
  KmString PreReadCountRefusal(const kmCohortRows& rows, int iCohort) const;
  // True when kmOptMaxKinkmarksFeasibility is 2, kmOptPerCohortMaxKinkmarks
  // is set and the session's enough-observations flag of cohort
  // iCohortIndex (0-based) exists and is false.
  bool LacksObservations(const VerifyPass& pass, int iCohortIndex) const;
  // Marks every copy of the cohort unusable with sText (the delay variant's
  // text only when the run has both variants).
  void ExcludeCohort(const VerifyPass& pass, const char* sText,
                     CohortVerdict& verdict) const;
  // The user's exclusion of the cohort, else its exclusion for too few
  // observations, then the rate checks; records the cohort's error texts.
  void ApplySelectionAndRateChecks(VerifyPass& pass, const kmCohortRows& rows,
                                   const KmVector<int>& codes,
                                   CohortVerdict& verdict, KmString& sMessage);
  // Counts the cohort's copies and adds one combination per copy.
  void AddCohortCombinations(VerifyPass& pass, const KmVector<int>& codes,
                             KmString& sMessage);
  // The large-run question, the shift and precision, the comparison groups,
  // the hand-over to the handler, closing the file and the blank-line note.
  void FinishVerifyPass(VerifyPass& pass, KmString& sMessage);
  // Size of the comparison groups of pairwise comparisons (0 when none are
  // asked for).
  int32_t ComparisonGroupSize(const VerifyPass& pass, KmString& sMessage) const;

  // ---- Private helpers of file access and cohort boundaries -------------

  // Number of by-variables read from the data: the session's count less the
  // synthetic delay (kmOptDelayType 2) and jump (kmOptJumpCRMode 3 to 6)
  // by-variables.
  int NumDataByVars() const;
  // The field delimiter of kmOptFieldDelimiter as a one-character text.
  KmString GetDelimiterText() const;
  // The missing-value text of kmOptMissingCharacter.
  KmString GetMissingText() const;
  // The read position of whichever file is open (of the uncompressed text
  // for a gzip file); -1 when none is.
  int64_t CurrentInputPosition();
  // The session whose by-variable formats receive the codes of text values:
  // the results handler's, else the reader's own.
  kmSession* GetCodingSession() const;
  // Forgets the line that ReadInNextCohort put back (file opened, closed or
  // repositioned).
  void ClearPendingLines();

  // ---- Members, in declared order ------------------------------------------

  // The calculation's own session copy; not owned.
  kmSession* pSession_ = nullptr;
  // The results-file handler: its session (by-variable formats of text
  // codes) and its minimum field count; not owned.
  kmCalcHandler* pCalcHandler_ = nullptr;
  // Created by Setup with the session; owned.
  std::unique_ptr<kmCohortDataManager> pCohortDataManager_;
  // String slot 0 of the session.
  KmString sDataFileName_;
  // The lines of the open data file.
  KmLineSource inputLines_{"Data file"};
  // String slot 6 of the session.
  KmString sVarCovFileName_;
  // The data file name ends in ".gz".
  bool bCompressed_ = false;
  // Per analysis copy, set by verification: the copy may be fitted.
  KmVector<bool> vGoodFlags_;
  // Per analysis copy, set by verification: empty when the copy may be
  // fitted, else the reason.
  KmVector<KmString> vErrorTexts_;
  // Per analysis copy: its file lines (records plus the blank lines met).
  KmVector<int> vLineCounts_;
  // The rows of the copy read last; cleared at the start of every read.
  kmCohortRows vvCohortRows_;
  // Per analysis copy: the file position of its first line.
  std::vector<int64_t> vFilePositions_;
  // Per analysis copy: the number of file lines in front of its first line
  // (-1 when not known), so that its records are named by their lines.
  std::vector<int64_t> vCopyLinesBefore_;
  // The data file's line of each row of vvCohortRows_ (GetCohortRowLines).
  std::vector<int64_t> vRowLines_;
  // Index of the next analysis copy to read.
  int iNextCohort_ = 0;
  // kmOptDependentCalculated is true and kmOptDependentType is 4.
  bool bClustered_ = false;
  // Records that share one independent value (adjustment-variable groups),
  // set by verification: -1 when the adjustment variable has no format, 0
  // when no adjustment variable is used.
  int iNumAdjustGroups_ = 0;
  // Without a format of the adjustment variable, its groups: the codes of
  // the records of the data's first year, set by verification with the
  // count above.
  std::vector<KmString> vAdjustCodes_;
  // Number of analysis copies over all cohorts, set by verification.
  int iNumByGroups_ = 0;
  // The pending large-run question and its code (4; -1 when none).
  KmString sQuestion_;
  int iQuestionCode_ = -1;
  // {cohort label with its run-type suffix, error text}, one per copy kind
  // with an error.
  std::vector<kmTextPair> vCohortErrors_;
  // {title, text} notes of the verification pass.
  std::vector<kmTextPair> vNotes_;
  // The variance-covariance matrix file's numbers, one row per non-empty
  // line.
  KmVector<KmVector<double>> vvVarCovTable_;
  // The lines of the matrix file read (blank ones included), and, when its
  // first row already held more values than any cohort has records (the
  // file was read no further), that number of values; 0 otherwise.
  int64_t lVarCovLinesRead_ = 0;
  int iVarCovTooWide_ = 0;

  // The line ReadInNextCohort read past the end of a cohort, handed to the
  // next call instead of seeking back (a backward seek restarts a gzip
  // stream): its text and file position, and the blank lines read just
  // before it (with the position of the first), which belong to the next
  // cohort.
  bool bPendingLine_ = false;
  KmString sPendingLine_;
  int64_t lPendingLinePos_ = -1;
  int64_t lPendingLineNumber_ = -1;
  int iPendingBlankLines_ = 0;
  int64_t lPendingBlankPos_ = -1;
};

#endif  // KM_DATA_KMREADDATA_H
