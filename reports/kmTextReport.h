// The writer of the text report and of the final selected model export.
#ifndef KM_REPORTS_KMTEXTREPORT_H
#define KM_REPORTS_KMTEXTREPORT_H

#include <cstdint>
#include <memory>

#include "foundation/KmFileTarget.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmString.h"
#include "results/kmCalcData.h"
#include "results/kmTable.h"
#include "session/DataExportOptions.h"

class kmCalcHandler;
class kmSession;

// kmTextReport writes delimited files from a finished results file, read
// back through its results handler: report.txt (one row per segment of the
// fitted models of every record) and finalselectedmodelexport.txt (the
// number of kinkmarks of every record's final selected model). Cells and
// lines follow kmExportLine (kmExportLine.h); records are walked in the
// entry order of kmExportEntries.h.
//
// Each file is created anew (an existing file is emptied) and written in
// binary, so line ends are exactly the export options' line delimiter. A
// KmException out of any step gains that step's line in its call path
// (class "kmTextReport") and passes on; the lines already written stay in
// the file.
//
// The run driver builds one writer per file. Not thread-safe: the handler's
// record getters share its file position.
class kmTextReport {
 public:
  // Keeps pHandler (not owned; it must outlive the writer).
  explicit kmTextReport(kmCalcHandler* pHandler);
  virtual ~kmTextReport();

  // The text of one numeric cell: when dValue is plus or minus infinity or
  // the not-available marker -1e30, sOut becomes sInfinity (the writers
  // pass the missing-value text); otherwise sOut is dValue printed with
  // sFormat (a printf format such as "%14.3f") and trimmed of leading and
  // trailing blanks, so "%14.3f" of 2.5 gives "2.500". NaN is printed as
  // any other value. Returns sOut's text, valid while sOut is unchanged.
  // Throws: KmString's formatting error.
  static const char* FormatTableValue(KmString& sOut, const KmString& sFormat,
                                      const KmString& sInfinity, double dValue);
  // True for the values FormatTableValue writes as the missing text.
  static bool IsMissingValue(double dValue);

  // ---- report.txt --------------------------------------------------------

  // Writes the whole report to sPath. bAllSegments adds the segment-range
  // and APC columns (with display option 9 and a log-linear model); the run
  // driver passes false.
  // Throws: KmException "Unable to open the export file <path> for
  // writing." when the file cannot be created; the option errors of
  // kmExportLine before any byte is written; the handler's and the records'
  // errors.
  void WriteExportFile(const KmFileTarget& sPath,
                       const DataExportOptions* pOptions, bool bAllSegments);
  // The header line, then the rows of every entry in entry order.
  void WriteTableExportFile(KmIO_File* pFile, const DataExportOptions* pOptions,
                            bool bAllSegments);
  // One header line (header cells): iGroups times the session's by-variable
  // names; "Model"; with display option 6 "#Obs", "#Param", "DF", "SSE",
  // "MSE", "Auto Corr"; "Segment"; with option 7 "Kinkmark", "Kinkmark 95%
  // LCL", "Kinkmark 95% UCL"; with bAllSegments, option 9 and kmOptLogLinear
  // "Segment Start", "Segment End", "APC", "APC 95% LCL", "APC 95% UCL",
  // "APC Significant"; with option 8 iGroups times the four intercept
  // titles, then the four slope and the four slope-change titles; with
  // option 13 the three covariance titles; with option 15 the three
  // correlation titles. iGroups is 1 for the file's first header and 2 for
  // the header written before the first multi-cohort record.
  void WriteTableHeader(KmIO_File* pFile, const DataExportOptions* pOptions,
                        bool bAllSegments, int32_t iGroups);
  // The rows of entry iRecord: before the first multi-cohort record the
  // two-group header; nothing more for an invalid record; with the models
  // option "all" one row per segment of every model; with "best fit" one
  // row per segment of the final selected model, and none for a record
  // without a final model.
  // Throws: kmCalcData::GetModel's error for a final selected model that
  // the record does not hold.
  void WriteTableReportModels(KmIO_File* pFile, int32_t iRecord,
                              const DataExportOptions* pOptions,
                              bool bAllSegments);
  // One row: segment iSegment of model iModel of record (entry iRecord).
  // sAutoCorr is "Uncorrelated" or the autocorrelation estimate printed
  // with six decimals; bParallel adds the parallel model's intercept group
  // (multi-cohort records). The values of a model hidden by the MADWD rule
  // are "-" (kmExportEntries.h); other cells without a value hold the
  // missing-value text. The covariance and correlation cells are the
  // variance of the segment's intercept, its covariance with the segment's
  // slope and the slope's variance, read from the model's matrix over the
  // segment coefficients (intercept and slope alternating per segment).
  // Throws: the record's and the model's range errors; KmException "The
  // covariance matrix of a model with <k> kinkmarks has <r> rows and <c>
  // columns; <n> are needed." when the covariance columns ask for an
  // element the matrix does not hold.
  void WriteModelSegmentAndAPC(KmIO_File* pFile, const kmCalcData& record,
                               int32_t iModel, int32_t iRecord,
                               int32_t iSegment,
                               const DataExportOptions* pOptions,
                               bool bAllSegments, const KmString& sAutoCorr,
                               bool bParallel);

  // ---- finalselectedmodelexport.txt --------------------------------------

  // Writes the final selected model export to sPath; the "models" option
  // plays no part. Throws as WriteExportFile.
  void WriteFinalSelectedModelExportFile(const KmFileTarget& sPath,
                                         const DataExportOptions* pOptions);
  // The header line, then one row per valid entry that has a final model.
  void WriteTableExportFile(KmIO_File* pFile,
                            const DataExportOptions* pOptions);
  // iGroups times the session's by-variable names, then "Model", as header
  // cells: iGroups is 1 for the file's first header and 2 for the header of
  // the comparison rows, which name the levels of both cohorts.
  void WriteFinalSelectedModelHeader(KmIO_File* pFile,
                                     const DataExportOptions* pOptions,
                                     int32_t iGroups = 1);
  // The row of entry iRecord, after the two-group header before the first
  // multi-cohort record; no row for an invalid record or one without a
  // final model.
  void WriteFinalSelectedModelReport(KmIO_File* pFile, int32_t iRecord,
                                     const DataExportOptions* pOptions);
  // The row of model of entry iRecord: the by-variable labels, always bare
  // (never quoted), then the model's number of kinkmarks.
  void WriteFinalSelectedModelSegment(KmIO_File* pFile, const kmTable& model,
                                      int32_t iRecord,
                                      const DataExportOptions* pOptions);

  // ---- apcexport.txt ----------------------------------------------------

  // Writes the APC export to sPath: the segments of the fitted models with
  // their ranges, APCs, limits and tests. bAllSegments writes every
  // segment of a model, otherwise its last segment only.
  // Throws as WriteExportFile.
  void WriteAPCExportFile(const KmFileTarget& sPath,
                          const DataExportOptions* pOptions, bool bAllSegments);
  // The header line (its four APC titles carry the first letter of the
  // session's rate unit), then the rows of every entry in entry order,
  // with the two-cohort header ("APC" titles whatever the rate unit) before
  // the first comparison. With the models option "best fit" the final
  // selected model of each valid entry that has one; with "all" every
  // model of each entry.
  // Throws: kmCalcData::GetModel's error for a final selected model that
  // the record does not hold.
  void WriteAPCExportFile(KmIO_File* pFile, const DataExportOptions* pOptions,
                          bool bAllSegments);
  // One row: segment iSegment of model iModel of record (entry iEntry).
  // A model hidden by the MADWD rule shows its index and "-" cells. A
  // linear (not log-linear) model's row ends after its segment number,
  // which keeps its field delimiter. With the interval method 3 the test
  // statistic and p-value are "--"; files older than 4.05 have none.
  // Throws: the record's and the model's range errors.
  void WriteAPCSegment(KmIO_File* pFile, const kmCalcData& record,
                       int32_t iModel, int32_t iEntry, int32_t iSegment,
                       const DataExportOptions* pOptions);

  // ---- jumpcrexport.txt --------------------------------------------------

  // Writes the jump and comparability-ratio export to sPath: one row per
  // written model of every valid entry. Throws as WriteExportFile.
  void WriteJumpCRExportFile(const KmFileTarget& sPath,
                             const DataExportOptions* pOptions);
  // The header line: iGroups times the by-variable names (as
  // WriteTableHeader), then the sixteen fixed titles.
  void WriteJumpCRHeader(KmIO_File* pFile, const DataExportOptions* pOptions,
                         int32_t iGroups = 1);
  // The rows of entry iRecord, after the two-group header before the first
  // multi-cohort record: none for an invalid record; with the models
  // option "all" one per model, with "best fit" one for the final selected
  // model (none when the record has no final model).
  // Throws: kmCalcData::GetModel's error for a final selected model that
  // the record does not hold.
  void WriteTableReportJumpCR(KmIO_File* pFile, int32_t iRecord,
                              const DataExportOptions* pOptions);
  // One row of model (entry iRecord): by-variable labels, number of
  // kinkmarks, jump location, then seven jump and seven comparability-ratio
  // cells: empty jump cells for a comparability-ratio record, the jump
  // statistics for a jump record, fourteen empty cells for a cohort with
  // neither and fourteen missing-value cells for a comparison (which fits
  // neither). The comparability ratio is defined for a log-linear model
  // only: a linear model's seven ratio cells hold the missing-value text.
  // A standard error below 1e-13 in size is written as 0. Results written
  // by program version 4.4 have their comparability-ratio interval
  // computed anew through the handler.
  // Throws: the handler's comparability-ratio errors.
  void WriteJumpAndCRSegment(KmIO_File* pFile, const kmTable& model,
                             const DataExportOptions* pOptions, int32_t iRecord,
                             bool bJump, bool bCR);

 protected:
  // The handler's session. Throws: KmException "The results handler holds
  // no session." when there is none.
  const kmSession& Session() const;
  // The handler. Throws: KmException "No results handler was given to the
  // export writer." for a null handler.
  kmCalcHandler& Handler() const;

  kmCalcHandler* pHandler_;
  // Set once the header of a multi-cohort record has been written.
  bool bSecondHeaderWritten_;
};

#endif  // KM_REPORTS_KMTEXTREPORT_H
