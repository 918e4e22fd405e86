// The data export: observations beside the values of the fitted models.
#ifndef KM_REPORTS_KMTEXTDATA_H
#define KM_REPORTS_KMTEXTDATA_H

#include <cstdint>

#include "foundation/KmFileTarget.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmString.h"
#include "session/DataExportOptions.h"

class kmCalcHandler;
class kmEntryRecords;
class kmSession;

// kmTextData writes dataexport.txt from a finished results file: for every
// entry (cohorts, then comparisons) the observations that were fitted
// (independent value, observed value) beside the values each fitted model
// predicts there, with optional standard errors, kinkmark flags and segment
// APCs (slopes for a linear model).
//
// Two layouts. One model column ("all models in same column", or the
// models option "best fit"): every written model of an entry has its own
// block of rows, its fitted values in one column. Separate columns
// otherwise: one row per distinct independent value of the entry and one
// fitted-value column per number of kinkmarks (and per cohort of a
// comparison).
//
// Cells and lines follow kmExportLine; entries and the MADWD rule follow
// kmExportEntries.h. A stored value of -9999.0 (no value), -1e30 (not
// available) or an infinite value is written as the missing-value text; a
// model hidden by the MADWD rule shows "-". A model whose data has no rows
// writes none. A KmException out of any step gains that step's call-path
// line (class "kmTextData") and passes on; rows written before stay.
class kmTextData {
 public:
  // Keeps pHandler (not owned; it must outlive the writer). Standard errors
  // are written when the session's heteroscedastic error model is 2, 3 or 4
  // and its results file version is 4.03 or later.
  explicit kmTextData(kmCalcHandler* pHandler);

  // Writes the data export to sPath in the layout the options ask for.
  // Throws: KmException "Unable to open the export file <path> for
  // writing."; the option errors of kmExportLine; the handler's and
  // records' errors.
  void Write(const KmFileTarget& sPath, const DataExportOptions* pOptions);
  // The one-model-column layout.
  void writeOneModelColumn(KmIO_File* pFile, const DataExportOptions* pOptions);
  // The separate-columns layout.
  void writeSeparateColumns(KmIO_File* pFile,
                            const DataExportOptions* pOptions);
  // Appends one header line (line delimiter included) for entry iEntry and
  // model index iModel (-1: no single model) to sLine and returns its text.
  // bComparisonColumn adds "Comparison" first, bCohortColumn "Cohort ID"
  // after the by-variables. An entry beyond the stored records (a run
  // without records) is titled as a cohort without a final model.
  // Throws: the handler's errors.
  const char* GetColumnHeader(const DataExportOptions* pOptions,
                              KmString& sLine, int32_t iEntry, int32_t iModel,
                              bool bComparisonColumn, bool bCohortColumn);

 private:
  // Writes to pFile the header line of entry iEntry for no single model
  // (GetColumnHeader with iModel -1).
  void WriteColumnHeader(KmIO_File* pFile, const DataExportOptions* pOptions,
                         int32_t iEntry, bool bComparisonColumn,
                         bool bCohortColumn);
  // Without headers per entry (bByGroupHeaders false), the wider rows of the
  // comparisons get a header line of their own before the first of them:
  // true for that first comparison entry only, which bWritten records.
  static bool IsFirstComparisonHeader(bool bByGroupHeaders,
                                      const kmEntryRecords& records,
                                      bool& bWritten);

  kmCalcHandler& Handler() const;
  const kmSession& Session() const;

  kmCalcHandler* pHandler_;
  bool bStandardErrorColumn_;
};

#endif  // KM_REPORTS_KMTEXTDATA_H
