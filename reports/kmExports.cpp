// The entry points of the export sequence.
#include "reports/kmExports.h"

#include "reports/kmAAPCTools.h"
#include "reports/kmTextData.h"
#include "reports/kmTextPermTest.h"
#include "reports/kmTextReport.h"

void WriteReportExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                       const DataExportOptions& options) {
  kmTextReport(&handler).WriteExportFile(sPath, &options, false);
}

void WriteFinalSelectedModelExport(kmCalcHandler& handler,
                                   const KmFileTarget& sPath,
                                   const DataExportOptions& options) {
  kmTextReport(&handler).WriteFinalSelectedModelExportFile(sPath, &options);
}

void WriteModelSelectionExport(kmCalcHandler& handler,
                               const KmFileTarget& sPath,
                               const DataExportOptions& options) {
  kmTextPermTest(&handler, false).WriteExportFile(sPath, &options);
}

void WriteSelectionResultsExport(kmCalcHandler& handler,
                                 const KmFileTarget& sPath,
                                 const DataExportOptions& options) {
  kmTextPermTest(&handler, false)
      .WriteSelectionResultsExportFile(sPath, &options);
}

void WritePairwiseComparisonExport(kmCalcHandler& handler,
                                   const KmFileTarget& sPath,
                                   const DataExportOptions& options) {
  kmTextPermTest(&handler, true).WriteComparisonExportFile(sPath, &options);
}

void WriteDataExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                     const DataExportOptions& options) {
  kmTextData(&handler).Write(sPath, &options);
}

void WriteAPCExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                    const DataExportOptions& options, bool bAllSegments) {
  kmTextReport(&handler).WriteAPCExportFile(sPath, &options, bAllSegments);
}

void WriteAAPCExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                     const DataExportOptions& options) {
  kmAAPCTools::WriteAAPCExportFile(&handler, sPath, &options);
}

void WriteJumpCRExport(kmCalcHandler& handler, const KmFileTarget& sPath,
                       const DataExportOptions& options) {
  kmTextReport(&handler).WriteJumpCRExportFile(sPath, &options);
}
