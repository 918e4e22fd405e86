// The run of kinkmark from its command line to its last output file.
#ifndef KM_DRIVER_KMDRIVER_H
#define KM_DRIVER_KMDRIVER_H

#include "foundation/KmString.h"

// Carries one whole run for the command line (argc, argv): see
// KmDriver.cpp. Returns the process's exit status.
int KmRunDriver(int argc, char** argv);

// Called from a catch block of the run: ends the failure in flight. A
// KmRunExit gives its status; any other failure, of whatever type, goes to
// the error file sErrorFile (its text on the console when the file cannot
// be written) and gives status 0.
int EndFailedRun(const KmString& sErrorFile, int argc, char** argv);

#endif  // KM_DRIVER_KMDRIVER_H
