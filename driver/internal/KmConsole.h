// The run's console lines.
#ifndef KM_DRIVER_INTERNAL_KMCONSOLE_H
#define KM_DRIVER_INTERNAL_KMCONSOLE_H

#include <cstdint>
#include <cstdio>

#include "foundation/KmException.h"
#include "foundation/KmShownText.h"

namespace km_driver_internal {

// Writes sText to standard output, never as a format and with what a
// terminal would obey shown (PrintShown), and flushes it, so the lines keep
// their order with the progress display's.
inline void Print(const char* sText) { PrintShown(stdout, sText); }

// Writes the standard-exception reports that e collected on its way (one
// line "Standard exception: <message>" per report) to standard output and
// clears them, so that they are written once.
inline void PrintStandardReports(KmException& e) {
  KmString sReports;
  for (int32_t i = 0; i < e.GetStandardReports(); ++i) {
    sReports << "Standard exception: " << e.GetMessage() << "\n";
  }
  PrintShown(stdout, sReports);
  e.SetStandardReports(0);
}

}  // namespace km_driver_internal

#endif  // KM_DRIVER_INTERNAL_KMCONSOLE_H
