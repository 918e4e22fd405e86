// The entry points of the export sequence.
#include "reports/kmExports.h"

#include "reports/kmTextPermTest.h"
#include "reports/kmTextReport.h"

void WriteReportExport(kmCalcHandler& handler, const char* sPath,
                       const DataExportOptions& options) {
  kmTextReport(&handler).WriteExportFile(sPath, &options, false);
}

void WriteFinalSelectedModelExport(kmCalcHandler& handler, const char* sPath,
                                   const DataExportOptions& options) {
  kmTextReport(&handler).WriteFinalSelectedModelExportFile(sPath, &options);
}

void WriteModelSelectionExport(kmCalcHandler& handler, const char* sPath,
                               const DataExportOptions& options) {
  kmTextPermTest(&handler, false).WriteExportFile(sPath, &options);
}

void WriteSelectionResultsExport(kmCalcHandler& handler, const char* sPath,
                                 const DataExportOptions& options) {
  kmTextPermTest(&handler, false)
      .WriteSelectionResultsExportFile(sPath, &options);
}

void WritePairwiseComparisonExport(kmCalcHandler& handler, const char* sPath,
                                   const DataExportOptions& options) {
  kmTextPermTest(&handler, true).WriteComparisonExportFile(sPath, &options);
}
