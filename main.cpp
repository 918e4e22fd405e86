// kinkmark: command-line trend-analysis engine. Takes one argument, the run
// file; everything else lives in the subsystem libraries.
#ifdef KM_HAVE_DRIVER
#include "driver/KmDriver.h"
#endif

int main(int argc, char** argv) {
#ifdef KM_HAVE_DRIVER
  return KmRunDriver(argc, argv);
#else
  (void)argc;
  (void)argv;
  return 0;
#endif
}
