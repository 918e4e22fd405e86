// The AAPC export and the labels of the AAPC ranges.
#ifndef KM_REPORTS_KMAAPCTOOLS_H
#define KM_REPORTS_KMAAPCTOOLS_H

#include <cstdint>
#include <vector>

#include "foundation/KmFileTarget.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "results/kmCalcData.h"
#include "results/kmRange.h"
#include "results/kmTable.h"
#include "session/DataExportOptions.h"

class kmCalcHandler;
class kmSession;

// kmAAPCTools writes aapcexport.txt from a finished results file: for every
// entry (cohorts, then comparisons) and every written model one row per
// AAPC range, with the range's label and ends, the AAPC with its interval,
// its significance and its tests. It also turns the session's AAPC range
// settings, and the display options' range lists, into labels and ranges.
//
// The tools hold no data; each operation takes the results handler. Cells
// and lines follow kmExportLine; entries and the MADWD rule follow
// kmExportEntries.h. A KmException out of any operation gains that
// operation's call-path line (class "kmAAPCTools") and passes on; rows
// already written stay in the file.
//
// Ranges over the last observations count the observation rows of a
// model's data (rows with an observed value), as the fitting engine does:
// the rows that only draw a kinkmark or a jump are not observations.
class kmAAPCTools {
 public:
  // Writes the AAPC export to sPath (WriteAAPCExport).
  static void WriteAAPCExportFile(kmCalcHandler* pHandler,
                                  const KmFileTarget& sPath,
                                  const DataExportOptions* pOptions);
  // The whole file: the header (its four AAPC titles carry the first letter
  // of the session's rate unit), the comparison header ("AAPC" titles)
  // before the first comparison entry, and the rows of every entry: with
  // the models option "best fit" the final selected model of a valid entry
  // that has one, with "all" every model of a valid entry.
  // Throws: KmException "Unable to open the export file <path> for
  // writing."; the option errors of kmExportLine; the handler's, records'
  // and AAPC calculation's errors.
  static void WriteAAPCExport(kmCalcHandler* pHandler,
                              const KmFileTarget& sPath,
                              const DataExportOptions* pOptions);
  // The rows of model iModel of record (entry iEntry). The AAPCs are
  // computed anew over the session's ranges for the parametric and
  // first-last methods, and parametrically for a model other than the final
  // one when the empirical-quantile method was run for the final model
  // only; otherwise the stored AAPCs are written. Each row is labelled from
  // its own range, so label and values always agree.
  // Throws: the record's range error; the AAPC calculation's errors.
  static void WriteAllAAPCsForModel(kmCalcHandler* pHandler, KmIO_File* pFile,
                                    const kmCalcData& record, int32_t iEntry,
                                    int32_t iModel,
                                    const DataExportOptions* pOptions);
  // The labels of the session's AAPC ranges for model, in the order in
  // which the ranges are computed: "Full Range" when its flag is set;
  // "Last <L> Obs." for each last-observations length L with 0 < L <= the
  // model's number of observations; "<start>-<end>" for each complete
  // custom pair, each end printed with "%14.<iPrecision>f" and trimmed.
  static void CreateAAPCRangeLabels(const kmSession& session,
                                    KmVector<KmString>& vLabels,
                                    const kmTable& model, int32_t iPrecision);
  // The labels and ranges that the display options ask for, over the
  // observations of model iModel of entry iEntry: the full range with
  // display option 19; with display option 20 the last-observations tokens
  // of display text 0 (bit 0x40 the first token, 0x80 the second); with
  // display option 22 the custom tokens of display text 2 (bits 0x40,
  // 0x80, 0x100 the first three).
  // Throws: the handler's and the record's errors.
  static void GetAAPCRanges(kmCalcHandler* pHandler,
                            KmVector<KmString>& vLabels,
                            KmVector<kmRange>& vRanges, int32_t iEntry,
                            int32_t iModel);
  // Adds "Last <token> Obs." and the range of the last L observations when
  // sToken is whole-number text of a value L with 0 < L <= the number of
  // vX; adds nothing otherwise.
  static void GetAAPCEndRange(const KmString& sToken,
                              KmVector<kmRange>& vRanges,
                              KmVector<KmString>& vLabels,
                              const std::vector<double>& vX);
  // Adds "<start>-<end>" (the token's texts) and the range (start, end)
  // when sToken is "<start>-<end>" with both numbers among vX; adds nothing
  // otherwise.
  static void GetAAPCCustomRanges(const KmString& sToken,
                                  KmVector<kmRange>& vRanges,
                                  KmVector<KmString>& vLabels,
                                  const std::vector<double>& vX);
};

#endif  // KM_REPORTS_KMAAPCTOOLS_H
