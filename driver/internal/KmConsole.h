// The run's console lines.
#ifndef KM_DRIVER_INTERNAL_KMCONSOLE_H
#define KM_DRIVER_INTERNAL_KMCONSOLE_H

#include <cstdio>

namespace km_driver_internal {

// Writes sText to standard output as it is (never as a format) and flushes
// it, so the lines keep their order with the progress display's.
inline void Print(const char* sText) {
  std::fputs(sText, stdout);
  std::fflush(stdout);
}

}  // namespace km_driver_internal

#endif  // KM_DRIVER_INTERNAL_KMCONSOLE_H
