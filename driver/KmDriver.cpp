// KmRunDriver: the run from the command line to its last output file.
#include "driver/KmDriver.h"

int KmRunDriver(int argc, char** argv) {
  (void)argc;
  (void)argv;
  return 0;
}
