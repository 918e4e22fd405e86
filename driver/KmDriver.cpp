// KmRunDriver: the command line, the run and the error file.
#include "driver/KmDriver.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "driver/CreateSession.h"
#include "driver/ErrorFile.h"
#include "driver/KmRun.h"
#include "driver/internal/KmConsole.h"
#include "foundation/KmException.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmMatrixErrors.h"

namespace {

// Any failure that is not a KmException, as one: its text when it has one.
KmException AsKmException(const char* sMessage) {
  return KmException(sMessage, "main");
}

// The failure in flight as a KmException. Running out of memory, here or in
// a worker, names what the run was doing.
KmException CurrentFailure(const char* sPhase) {
  KmException failure;
  try {
    throw;
  } catch (const KmException& e) {
    failure = e;
  } catch (const std::exception& e) {
    failure = KmExceptionFromStandard(e, "main");
  } catch (const NEWMAT::BaseException&) {
    failure = AsKmException(CopyMatrixErrorText().c_str());
  } catch (...) {
    failure = AsKmException("Unknown exception");
  }
  if (failure.GetFailure() == KmFailure::kOutOfMemory) {
    const std::string sMessage =
        std::string("Out of memory while ") + sPhase + ".";
    failure.SetMessage(sMessage.c_str());
  }
  return failure;
}

}  // namespace

int EndFailedRun(const KmString& sErrorFile, int argc, char** argv,
                 const char* sPhase, const KmString& sNote,
                 const KmFolder* pErrorFolder) {
  KmFolder folder;
  if (pErrorFolder != nullptr) {
    folder = *pErrorFolder;
  } else {
    folder.Open(KmFolder::FolderOf(sErrorFile.GetCString()));
  }
  try {
    throw;
  } catch (const KmRunRefused& refused) {
    // The error file of this run's name is the other run's to write.
    std::fprintf(stderr, "Error: %s\n", refused.sMessage.GetCString());
    std::fflush(stderr);
    return kExitOutputsBusy;
  } catch (const KmRunExit& exit) {
    // This run writes no error file: an earlier run's must not stand beside
    // it as if it told why this one ended.
    folder.Remove(KmFolder::LeafOf(sErrorFile.GetCString()));
    return exit.iStatus;
  } catch (...) {
    KmException failure = CurrentFailure(sPhase);
    km_driver_internal::PrintStandardReports(failure);
    if (!sNote.IsEmpty()) {
      const std::string sMessage =
          std::string(failure.GetMessage()) + "\n" + sNote.GetCString();
      failure.SetMessage(sMessage.c_str());
    }
    const bool bWritten =
        WriteErrorFile(sErrorFile, folder, failure, argc, argv);
    std::fprintf(stderr, "Error: %s\n", failure.GetMessage());
    std::fflush(stderr);
    return bWritten ? kExitFailed : kExitErrorFileNotWritten;
  }
}

int KmRunDriver(int argc, char** argv) {
  // One argument, the run file; anything else does nothing.
  if (argc != 2) return kExitCompleted;
  std::unique_ptr<KmRun> pRun;
  KmString sErrorFile;
  KmFolder errorFolder;
  try {
    pRun = std::make_unique<KmRun>(argc, argv);
    pRun->Execute();
    return kExitCompleted;
  } catch (...) {
    const char* sPhase = "starting the run";
    KmString sNote;
    if (pRun) {
      sPhase = pRun->GetPhase();
      sNote = pRun->RemoveOutputsOfFailedRun();
      sErrorFile = pRun->GetErrorFileToWrite();
      errorFolder = pRun->GetErrorFolder();
    }
    return EndFailedRun(sErrorFile, argc, argv, sPhase, sNote,
                        errorFolder.IsOpen() ? &errorFolder : nullptr);
  }
}
