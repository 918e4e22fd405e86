// The run of kinkmark from its command line to its last output file.
#ifndef KM_DRIVER_KMDRIVER_H
#define KM_DRIVER_KMDRIVER_H

// Carries one whole run for the command line (argc, argv): see
// KmDriver.cpp. Returns the process's exit status.
int KmRunDriver(int argc, char** argv);

#endif  // KM_DRIVER_KMDRIVER_H
