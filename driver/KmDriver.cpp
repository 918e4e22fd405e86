// KmRunDriver: the command line, the run and the error file.
#include "driver/KmDriver.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "driver/CreateSession.h"
#include "driver/ErrorFile.h"
#include "driver/KmRun.h"
#include "driver/KmRunFiles.h"
#include "driver/internal/KmConsole.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmShownText.h"

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

// What the command line takes, for "--help" and a wrong argument count.
constexpr const char kUsage[] =
    "Usage: kinkmark <run file>\n"
    "kinkmark reads one run file, an ini file whose section [Kinkmark Input "
    "Files]\n"
    "names the session, data, options and output files, and runs the "
    "analysis it\n"
    "describes. README.md, at the top of the kinkmark source folder (beside "
    "run.sh),\n"
    "describes every file.\n";

// True for an argument that asks for the usage rather than a run.
bool AsksForUsage(const char* sArgument) {
  return std::strcmp(sArgument, "--help") == 0 ||
         std::strcmp(sArgument, "-h") == 0;
}

// Refuses an argument that reads as an option the program does not have
// ("-v", "--version"), which would otherwise be taken for a run file and
// leave an error file of its name ("-v.ErrorFile.txt"): prints the refusal
// and the usage on standard error, and returns true.
bool RefusesUnknownOption(const char* sArgument) {
  if (sArgument[0] != '-') return false;
  const KmString sShown = ShownName(sArgument);
  KmString sRefusal;
  sRefusal << "Error: \"" << sShown
           << "\" is no option of kinkmark, whose only options are \"--help\" "
              "and \"-h\"; nothing was read or written.  A run file whose "
              "name begins with \"-\" is given with its folder (\"./"
           << sShown << "\").\n"
           << kUsage;
  PrintShown(stderr, sRefusal);
  return true;
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
    PrintShown(stderr, KmString("Error: ") << refused.sMessage << "\n");
    return kExitOutputsBusy;
  } catch (const KmRunExit& exit) {
    // This run writes no error file, and an earlier one stays as it was.
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
    PrintShown(stderr, KmString("Error: ") << failure.GetMessage() << "\n");
    return bWritten ? kExitFailed : kExitErrorFileNotWritten;
  }
}

int KmRunDriver(int argc, char** argv) {
  // One argument, the run file. Anything else runs nothing and writes no
  // file: "--help" and "-h" print the usage; a wrong count, any other
  // option, an empty name, and a run file that is a device or a pipe, are
  // refused.
  if (argc == 2 && AsksForUsage(argv[1])) {
    PrintShown(stdout, kUsage);
    return kExitCompleted;
  }
  if (argc == 2 && RefusesUnknownOption(argv[1])) return kExitUsage;
  if (argc == 2 && argv[1][0] == '\0') {
    // Taken for a run file, it would leave the hidden ".ErrorFile.txt".
    PrintShown(stderr, KmString("Error: The run file's name is empty; nothing "
                                "was read or written.\n")
                           << kUsage);
    return kExitUsage;
  }
  if (argc != 2) {
    PrintShown(stderr, KmString("Error: kinkmark takes one argument, the run "
                                "file, and was given ")
                           << (argc - 1) << ".\n"
                           << kUsage);
    return kExitUsage;
  }
  if (IsDeviceOrPipe(argv[1])) {
    PrintShown(stderr, KmString("Error: The run file \"")
                           << ShownName(argv[1])
                           << "\" is not a regular file (a device or a pipe, "
                              "or a link to one); nothing was read or "
                              "written.\n"
                           << kUsage);
    return kExitUsage;
  }
  std::unique_ptr<KmRun> pRun;
  KmString sErrorFile;
  KmFolder errorFolder;
  try {
    pRun = std::make_unique<KmRun>(argv[0], argv[1]);
    pRun->Execute();
    return kExitCompleted;
  } catch (...) {
    const char* sPhase = "starting the run";
    KmString sNote;
    if (pRun) {
      sPhase = pRun->GetPhase();
      sNote = pRun->DiscardOutputsOfFailedRun();
      sErrorFile = pRun->GetErrorFileToWrite();
      errorFolder = pRun->GetErrorFolder();
    }
    return EndFailedRun(sErrorFile, argc, argv, sPhase, sNote,
                        errorFolder.IsOpen() ? &errorFolder : nullptr);
  }
}
