// The export sequence: every export file of a run, written from the results
// file read back.
#ifndef KM_DRIVER_EXPORTSEQUENCE_H
#define KM_DRIVER_EXPORTSEQUENCE_H

#include <memory>
#include <vector>

#include "driver/RunOutputs.h"
#include "foundation/KmPendingFile.h"
#include "foundation/KmString.h"
#include "session/DataExportOptions.h"
#include "session/IniExportDict.h"

class kmCalcHandler;
class kmSession;

// The exports that the run summary lists, each true when it was written.
struct ExportsWritten {
  bool bReport = false;
  bool bData = false;
  bool bAPC = false;
  bool bAAPC = false;
  bool bFTest = false;
  // Every export file the sequence wrote.
  std::vector<KmString> files;
  // Those files, written in full, each still under its partial name: the
  // caller moves them into place (KmPendingFile::Commit) once the whole run
  // has succeeded, or drops them, which removes them.
  std::vector<std::unique_ptr<KmPendingFile>> finished;
};

// Writes the exports of the run, in this order, each named as the run's
// names give it (RunOutputNames::ExportFile of its suffix), each between
// its console start and end lines (between them, on a terminal, the line
// "  <p>% of the export written" while it takes long, ConsoleProgress):
//   1 "report.txt"          switch "export report"
//   2 "dataexport.txt"      switch "export data"
//   3 "apcexport.txt"       switch "export apc"
//   4 "aapcexport.txt"      switch "export aapc"
//   5 the statistical-test export, named by the model selection method
//                           switch "export ftest"
//   6 "pairwise_comparison.txt"  pairwise comparisons and "export pairwise"
//   7 "jumpcrexport.txt"    a jump or comparability-ratio mode and
//                           "export jump_cr"
//   8 "selectionresultsexport.txt"  data-dependent selection and
//                           "export selection results"
//   9 "finalselectedmodelexport.txt"  always
// Every writer reads the results handler only, and writes the file under
// its partial name in its held folder (KmPendingFile, folders), written
// through its descriptor; its end line is printed only when it was written
// in full. No export is moved into place here (ExportsWritten::finished).
// Throws: the KmException of a writer, with its partial file removed; the
// partial files of the exports written before it are removed as well.
// Returns which of the exports the run summary lists were written.
ExportsWritten RunExportSequence(const RunOutputNames& names,
                                 const RunFolders& folders,
                                 kmCalcHandler& handler,
                                 const DataExportOptions& options,
                                 const IniExportDict& dict,
                                 const kmSession& session);

#endif  // KM_DRIVER_EXPORTSEQUENCE_H
