// RunExportSequence: which exports are written, their names, their console
// lines and their writers.
#include "driver/ExportSequence.h"

#include <functional>
#include <memory>

#include "driver/ConsoleProgress.h"
#include "driver/internal/KmConsole.h"
#include "engine/ComparabilityRatioCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmPendingFile.h"
#include "reports/kmExports.h"
#include "reports/kmTextPermTest.h"
#include "results/kmCalcHandler.h"
#include "session/kmComparisonType.h"
#include "session/kmJumpCRMode.h"
#include "session/kmModelSelection.h"
#include "session/kmSession.h"

using km_driver_internal::Print;

namespace {

// A writer: (results handler, export file name, layout options). An empty
// writer is an export this build does not have; its step is left out.
using ExportWriter = std::function<void(kmCalcHandler&, const KmFileTarget&,
                                        const DataExportOptions&)>;

// What every export step shares.
struct ExportRun {
  const RunOutputNames& names;
  const RunFolders& folders;
  kmCalcHandler& handler;
  const DataExportOptions& options;
  ExportsWritten& written;
};

// One export: when bGate holds and the writer exists, prints sStart, writes
// the file and prints sEnd (null for none). Returns whether it was written.
bool Export(const ExportRun& run, bool bGate, const char* sSuffix,
            const char* sStart, const ExportWriter& writer, const char* sEnd) {
  if (!bGate || !writer) return false;
  const KmString& sName = run.names.ExportFile(sSuffix);
  auto pFile = std::make_unique<KmPendingFile>(run.folders.Of(sName), sName);
  Print(sStart);
  run.handler.ResetFetchPercent();
  {
    // Every writer walks the results file's records in order: the share
    // walked is the share written.
    ConsoleProgress progress([&run] {
      KmString sLine;
      sLine.printf("  %d%% of the export written",
                   static_cast<int>(run.handler.GetFetchPercent()));
      return sLine;
    });
    writer(run.handler, pFile->GetFile(), run.options);
  }
  run.written.files.push_back(sName);
  run.written.finished.push_back(std::move(pFile));
  if (sEnd != nullptr) Print(sEnd);
  return true;
}

}  // namespace

ExportsWritten RunExportSequence(const RunOutputNames& names,
                                 const RunFolders& folders,
                                 kmCalcHandler& handler,
                                 const DataExportOptions& options,
                                 const IniExportDict& dict,
                                 const kmSession& session) {
  return WithCallPath("RunExportSequence()", "main", [&] {
    ExportsWritten written;
    const ExportRun run{names, folders, handler, options, written};
    const kmModelSelection selection = session.Get<kmModelSelection>();
    const bool bPairwise =
        session.Get<kmComparisonType>() == kmComparisonType::kPairwise;
    const bool bJumpCR = session.Get<kmJumpCRMode>() != kmJumpCRMode::kOff;
    // Results of one program version have their comparability ratios
    // computed again by the jump export.
    InstallComparabilityRatioCalculator(handler);
    written.bReport =
        Export(run, dict.bExportReport, kReportSuffix, "Start Report Export\n",
               WriteReportExport, "Finished Report Export\n");
    written.bData =
        Export(run, dict.bExportData, kDataSuffix, "Start Data Export\n",
               WriteDataExport, "Finished Data Export\n");
    written.bAPC = Export(
        run, dict.bExportAPC, kAPCSuffix, "Start APC Export\n",
        [&](kmCalcHandler& h, const KmFileTarget& sPath,
            const DataExportOptions& o) {
          WriteAPCExport(h, sPath, o, dict.bExportAllAPCSegments);
        },
        "Finished APC Export\n");
    written.bAAPC =
        Export(run, dict.bExportAAPC, kAAPCSuffix, "Start AAPC Export.txt\n",
               WriteAAPCExport, "Finished AAPC Export\n");
    written.bFTest =
        Export(run, dict.bExportFTest, ModelSelectionExportSuffix(selection),
               "Start Stat Test Export\n", WriteModelSelectionExport,
               "Finish Stat Test Export\n");
    Export(run, bPairwise && dict.bExportPairwise, kPairwiseSuffix,
           "Start Pairwise Export\n", WritePairwiseComparisonExport, nullptr);
    Export(run, bJumpCR && dict.bExportJumpCR, kJumpCRSuffix,
           "Start Jump/CR Export\n", WriteJumpCRExport,
           "Finished Jump/CR Export\n");
    Export(run,
           selection == kmModelSelection::kDataDependent &&
               dict.bExportSelectionResults,
           kSelectionResultsSuffix, "Start Selection Results Export Export\n",
           WriteSelectionResultsExport, "Finished Selection Results Export\n");
    Export(run, true, kFinalSelectedModelSuffix,
           "Start Final Selected Model Export\n", WriteFinalSelectedModelExport,
           "Finished Final Selected Model Export\n");
    return written;
  });
}
