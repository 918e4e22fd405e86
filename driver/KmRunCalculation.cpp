// KmRun::Calculate and its steps: from the data check to the results file
// read back.
#include <cstdio>
#include <memory>

#include "data/kmCohortPreRead.h"
#include "driver/ConsoleProgress.h"
#include "driver/CreateSession.h"
#include "driver/DataFileProgress.h"
#include "driver/KmRun.h"
#include "driver/internal/KmConsole.h"
#include "engine/kmCalculationHandler.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmPendingFile.h"
#include "foundation/kmRunProgressTrackers.h"
#include "results/kmCalcHandler.h"
#include "session/kmDelayType.h"
#include "session/kmDependentType.h"
#include "session/kmJumpCRMode.h"
#include "session/kmSession.h"

using km_driver_internal::Print;
using km_driver_internal::PrintStandardReports;

void ReportCalculationFailure(KmException& e) {
  PrintStandardReports(e);
  Print(e.GetMessage());
  Print("\n");
  // A best-model fit whose model has kinkmarks but no locations: the run
  // ends with status 1, now that every worker has stopped.
  if (e.GetFailure() == KmFailure::kFitWithoutLocations) {
    PrintShown(stderr, KmString("Error: ") << e.GetMessage() << "\n");
    throw KmRunExit{1};
  }
}

void KmRun::Calculate() {
  KmString sDataFile;
  pSession_->GetString(kmStrDataFile, sDataFile);
  if (!KmIO_File::FileExists(sDataFile.GetCString())) {
    KmString sMessage("Cannot open datafile: ");
    sMessage << sDataFile;
    throw KmException(sMessage.GetCString(), "main");
  }
  const bool bCalculatedRates =
      pSession_->GetBool(kmOptDependentCalculated) &&
      pSession_->Get<kmDependentType>() == kmDependentType::kAgeAdjustedRate;
  PrepareSession();
  sPhase_ = "reading the data file";
  bool bVarying = false;
  {
    DataFileProgress progress(sDataFile, "Reading the data file", "read");
    PreReadCohorts(*pSession_, bCalculatedRates, &bVarying, &progress);
  }
  // From the cohorts the pre-read cut, as every later step reads them: the
  // saved session, the verification, the fits and the report.
  if (bDefaultMaxKinkmarks_) pSession_->SetDefaultMaxKinkmarks();
  // Not written when it is the session file the run reads (RunOutputNames).
  if (!outputs_.sSavedSession.IsEmpty()) {
    sPhase_ = "saving the session";
    auto pSaved = std::make_unique<KmPendingFile>(
        folders_.Of(outputs_.sSavedSession), outputs_.sSavedSession);
    pSession_->Write(pSaved->GetFile());
    // Moved into place with the other outputs (CommitOutputs).
    finished_.push_back(std::move(pSaved));
  }

  if (pSession_->GetSelectCohortsVector().empty()) {
    pSession_->SetSelectCohortsVector(true);
  }
  RunThreaded();

  sPhase_ = "reading the results file back";
  pReadTracker_ = std::make_unique<kmProgressTracker>();
  // Read through the descriptor that wrote it (pResultsFile_ holds it).
  pResults_ = std::make_unique<kmCalcHandler>(pResultsFile_->GetFile(),
                                              pReadTracker_.get());
}

void KmRun::PrepareSession() {
  if (pSession_->Get<kmDelayType>() == kmDelayType::kBoth) {
    pSession_->AddByVar();
  }
  if (pSession_->Get<kmJumpCRMode>() != kmJumpCRMode::kOff) {
    pSession_->AddByVarJump();
  }
}

void KmRun::RunThreaded() {
  sPhase_ = "checking the data file";
  Print("Creating Calc-Handler\n");
  pCalculation_ = std::make_unique<kmCalculationHandler>(pSession_);
  Print("Done creating Calc-Handler\n\n");
  Print("Verify\n");
  {
    KmString sDataFile;
    pSession_->GetString(kmStrDataFile, sDataFile);
    DataFileProgress progress(sDataFile, nullptr, "checked");
    pCalculation_->Verify(false, &progress);
  }
  Print("Done Verify\n\n");

  // The results file is written under its partial name and replaces an
  // earlier one only once the whole run has succeeded (CommitOutputs).
  pResultsFile_ = std::make_unique<KmPendingFile>(
      folders_.Of(outputs_.sResultsFile), outputs_.sResultsFile);
  KmPendingFile& results = *pResultsFile_;
  sPhase_ = "fitting the cohorts";
  Print("Executing\n");
  const int iGroups = pCalculation_->GetNumByGroups();
  kmMultiProgressTracker tracker(iGroups);
  bool bFinished = false;
  try {
    WithCallPath("main", "main", [&] {
      ConsoleProgress progress(tracker, iGroups);
      bFinished = pCalculation_->ExecuteThreaded(results.GetFile(), &tracker);
    });
  } catch (KmException& e) {
    ReportCalculationFailure(e);
    throw;
  }
  if (!bFinished) {
    throw KmException("The calculation was cancelled before it finished.",
                      "main");
  }
  Print("Done Executing\n\n");
}
