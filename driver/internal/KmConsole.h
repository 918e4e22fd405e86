// The run's console lines.
#ifndef KM_DRIVER_INTERNAL_KMCONSOLE_H
#define KM_DRIVER_INTERNAL_KMCONSOLE_H

#include <cstdint>
#include <cstdio>

#include "foundation/KmException.h"

namespace km_driver_internal {

// Writes sText to standard output as it is (never as a format) and flushes
// it, so the lines keep their order with the progress display's.
inline void Print(const char* sText) {
  std::fputs(sText, stdout);
  std::fflush(stdout);
}

// Writes the standard-exception reports that e collected on its way (one
// line "Standard exception: <message>" per report) to standard output and
// clears them, so that they are written once.
inline void PrintStandardReports(KmException& e) {
  for (int32_t i = 0; i < e.GetStandardReports(); ++i) {
    std::fputs("Standard exception: ", stdout);
    std::fputs(e.GetMessage(), stdout);
    std::fputs("\n", stdout);
  }
  std::fflush(stdout);
  e.SetStandardReports(0);
}

}  // namespace km_driver_internal

#endif  // KM_DRIVER_INTERNAL_KMCONSOLE_H
