// One entry point per export file, for the export sequence of the run.
#ifndef KM_REPORTS_KMEXPORTS_H
#define KM_REPORTS_KMEXPORTS_H

#include "foundation/KmFileTarget.h"
#include "session/DataExportOptions.h"

class kmCalcHandler;

// Each function writes one export file at sPath from the finished results
// file that handler reads, with a fresh writer, as the export sequence of a
// run calls them. The caller names the file (the model-selection export's
// suffix comes from ModelSelectionExportSuffix in kmTextPermTest.h) and
// decides which exports the run's switches and session options call for.
// Each throws the writer's KmException, with the writer's call path; the
// lines written before a failure stay in the file.

// report.txt: the segment rows of the fitted models (all-segments off).
void WriteReportExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                       const DataExportOptions& options);
// finalselectedmodelexport.txt: the final selected model of every entry.
void WriteFinalSelectedModelExport(kmCalcHandler& handler,
                                   const KmFileTarget& sPath,
                                   const DataExportOptions& options);
// The model-selection export: F tests or information criteria.
void WriteModelSelectionExport(kmCalcHandler& handler,
                               const KmFileTarget& sPath,
                               const DataExportOptions& options);
// selectionresultsexport.txt: the outcome of data-dependent selection.
void WriteSelectionResultsExport(kmCalcHandler& handler,
                                 const KmFileTarget& sPath,
                                 const DataExportOptions& options);
// pairwise_comparison.txt: the pairwise comparisons of cohorts.
void WritePairwiseComparisonExport(kmCalcHandler& handler,
                                   const KmFileTarget& sPath,
                                   const DataExportOptions& options);

// dataexport.txt: the observations beside the fitted values.
void WriteDataExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                     const DataExportOptions& options);
// apcexport.txt: the segment APCs; bAllSegments writes every segment of a
// model, otherwise its last.
void WriteAPCExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                    const DataExportOptions& options, bool bAllSegments);
// aapcexport.txt: the AAPCs over the session's ranges.
void WriteAAPCExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                     const DataExportOptions& options);
// jumpcrexport.txt: the jump and comparability-ratio statistics.
void WriteJumpCRExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                       const DataExportOptions& options);

#endif  // KM_REPORTS_KMEXPORTS_H
