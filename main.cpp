// kinkmark: command-line trend-analysis engine. Takes one argument, the run
// file; everything else lives in the subsystem libraries.
#include <csignal>

#ifdef KM_HAVE_DRIVER
#include "driver/KmDriver.h"
#endif

int main(int argc, char** argv) {
#ifdef KM_HAVE_DRIVER
  // A file that reaches the file-size limit fails its write (EFBIG), which
  // the run reports and cleans up after, rather than the signal ending the
  // process part-way through an output.
  std::signal(SIGXFSZ, SIG_IGN);
  return KmRunDriver(argc, argv);
#else
  (void)argc;
  (void)argv;
  return 0;
#endif
}
