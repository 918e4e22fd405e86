// The run of kinkmark from its command line to its last output file.
#ifndef KM_DRIVER_KMDRIVER_H
#define KM_DRIVER_KMDRIVER_H

#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"

// Carries one whole run for the command line (argc, argv): see
// KmDriver.cpp. Only argv[1] names a run file; "--help" or "-h" alone
// prints the usage on standard output. Returns the process's exit status.
int KmRunDriver(int argc, char** argv);

// Exit statuses of a run.
constexpr int kExitCompleted = 0;  // also for "--help" and "-h"
// 1: the best-model fit failed, or the session file is of an unknown kind
// (KmRunExit); no error file.
constexpr int kExitFailed = 2;               // the error file says why
constexpr int kExitErrorFileNotWritten = 3;  // its text is on the console
// Another run is writing the same outputs: nothing was written or removed,
// and no error file is written (KmRunRefused).
constexpr int kExitOutputsBusy = 4;
// The command line does not name exactly one run file, names an option
// other than "--help" and "-h" (any argument beginning with "-"), names it
// by an empty text, or names a device or a pipe (IsDeviceOrPipe): the usage
// is on standard error, and
// nothing was read or written.
constexpr int kExitUsage = 5;

// Called from a catch block of the run: ends the failure in flight. A
// KmRunExit gives its status; a KmRunRefused prints "Error: <message>" on
// standard error and gives kExitOutputsBusy; any other failure, of whatever
// type, goes to the error file sErrorFile (its text on the console when the
// file cannot be written or sErrorFile is ""; written in pErrorFolder, the
// folder held for it, or when null its folder opened now), its message,
// followed by a
// line with sNote when that is not empty, is printed on standard error, and
// the status is kExitFailed, or kExitErrorFileNotWritten. A failure for
// want of memory is reported as "Out of memory while <sPhase>.".
int EndFailedRun(const KmString& sErrorFile, int argc, char** argv,
                 const char* sPhase, const KmString& sNote = KmString(),
                 const KmFolder* pErrorFolder = nullptr);

#endif  // KM_DRIVER_KMDRIVER_H
