// RunExportSequence: which exports are written, their names, their console
// lines and their writers.
#include "driver/ExportSequence.h"

#include <cstdio>

#include "driver/KmRunFiles.h"
#include "foundation/KmCallPath.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"

namespace {

// A writer: (results handler, export file name, layout options,
// export-options switches).
using ExportWriter = void (*)(kmCalcHandler&, const char*,
                              const DataExportOptions&, const IniExportDict&);

// The writers of this build; a null writer's export is left out.
constexpr ExportWriter kReportWriter = nullptr;
constexpr ExportWriter kDataWriter = nullptr;
constexpr ExportWriter kAPCWriter = nullptr;
constexpr ExportWriter kAAPCWriter = nullptr;
constexpr ExportWriter kStatTestWriter = nullptr;
constexpr ExportWriter kPairwiseWriter = nullptr;
constexpr ExportWriter kJumpCRWriter = nullptr;
constexpr ExportWriter kSelectionResultsWriter = nullptr;
constexpr ExportWriter kFinalSelectedModelWriter = nullptr;

// What every export step shares.
struct ExportRun {
  const KmString& sOutputFile;
  kmCalcHandler& handler;
  const DataExportOptions& options;
  const IniExportDict& dict;
};

// One export: when bGate holds and the writer exists, prints sStart, writes
// the file and prints sEnd (null for none).
void Export(const ExportRun& run, bool bGate, const char* sSuffix,
            const char* sStart, ExportWriter writer, const char* sEnd) {
  if (!bGate || writer == nullptr) return;
  KmString sFile = DropLastChars(run.sOutputFile, 3);
  sFile << sSuffix;
  std::fputs(sStart, stdout);
  std::fflush(stdout);
  writer(run.handler, sFile.GetCString(), run.options, run.dict);
  if (sEnd != nullptr) std::fputs(sEnd, stdout);
  std::fflush(stdout);
}

}  // namespace

const char* StatTestExportSuffix(int iModelSelection) {
  switch (iModelSelection) {
    case 1:
      return "bicexport.txt";
    case 2:
      return "mbicexport.txt";
    case 3:
      return "bic3export.txt";
    case 4:
      return "ddcexport.txt";
    case 5:
      return "wbicaltexport.txt";
    case 6:
      return "wbicexport.txt";
    default:
      return "permtestexport.txt";
  }
}

void RunExportSequence(const KmString& sOutputFile, kmCalcHandler& handler,
                       const DataExportOptions& options,
                       const IniExportDict& dict, const kmSession& session) {
  WithCallPath("RunExportSequence()", "main", [&] {
    const ExportRun run{sOutputFile, handler, options, dict};
    const int iSelection = session.GetInt(kmOptModelSelection);
    const bool bPairwise = session.GetInt(kmOptComparisonType) == 1;
    const bool bJumpCR = session.GetInt(kmOptJumpCRMode) != 0;
    Export(run, dict.bExportReport, "report.txt", "Start Report Export\n",
           kReportWriter, "Finished Report Export\n");
    Export(run, dict.bExportData, "dataexport.txt", "Start Data Export\n",
           kDataWriter, "Finished Data Export\n");
    Export(run, dict.bExportAPC, "apcexport.txt", "Start APC Export\n",
           kAPCWriter, "Finished APC Export\n");
    Export(run, dict.bExportAAPC, "aapcexport.txt", "Start AAPC Export.txt\n",
           kAAPCWriter, "Finished AAPC Export\n");
    Export(run, dict.bExportFTest, StatTestExportSuffix(iSelection),
           "Start Stat Test Export\n", kStatTestWriter,
           "Finish Stat Test Export\n");
    Export(run, bPairwise && dict.bExportPairwise, "pairwise_comparison.txt",
           "Start Pairwise Export\n", kPairwiseWriter, nullptr);
    Export(run, bJumpCR && dict.bExportJumpCR, "jumpcrexport.txt",
           "Start Jump/CR Export\n", kJumpCRWriter,
           "Finished Jump/CR Export\n");
    Export(run, iSelection == 4 && dict.bExportSelectionResults,
           "selectionresultsexport.txt",
           "Start Selection Results Export Export\n", kSelectionResultsWriter,
           "Finished Selection Results Export\n");
    Export(run, true, "finalselectedmodelexport.txt",
           "Start Final Selected Model Export\n", kFinalSelectedModelWriter,
           "Finished Final Selected Model Export\n");
  });
}
