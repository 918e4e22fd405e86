// KmRunDriver: the command line, the run and the error file.
#include "driver/KmDriver.h"

#include <exception>
#include <memory>

#include "driver/CreateSession.h"
#include "driver/ErrorFile.h"
#include "driver/KmRun.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"

namespace {

// Any failure that is not a KmException, as one: its text when it has one.
KmException AsKmException(const char* sMessage) {
  return KmException(sMessage, "main");
}

}  // namespace

int EndFailedRun(const KmString& sErrorFile, int argc, char** argv) {
  try {
    throw;
  } catch (const KmRunExit& exit) {
    return exit.iStatus;
  } catch (const KmException& e) {
    WriteErrorFile(sErrorFile, e, argc, argv);
  } catch (const std::exception& e) {
    WriteErrorFile(sErrorFile, AsKmException(e.what()), argc, argv);
  } catch (const NEWMAT::BaseException&) {
    WriteErrorFile(sErrorFile, AsKmException(CopyMatrixErrorText().c_str()),
                   argc, argv);
  } catch (...) {
    WriteErrorFile(sErrorFile, AsKmException("Unknown exception"), argc, argv);
  }
  return 0;
}

int KmRunDriver(int argc, char** argv) {
  // One argument, the run file; anything else does nothing.
  if (argc != 2) return 0;
  std::unique_ptr<KmRun> pRun;
  KmString sErrorFile;
  try {
    pRun = std::make_unique<KmRun>(argc, argv);
    sErrorFile = pRun->GetFiles().sErrorFile;
    pRun->Execute();
    return 0;
  } catch (...) {
    return EndFailedRun(sErrorFile, argc, argv);
  }
}
