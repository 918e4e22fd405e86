// Opening a data file for reading by lines in the session layer.
#ifndef KM_SESSION_INTERNAL_OPENDATALINES_H
#define KM_SESSION_INTERNAL_OPENDATALINES_H

#include "foundation/KmLineSource.h"

namespace km_session_internal {

// Opens sFileName in source: through the gzip reader when the name ends in
// ".gz", else as it is.
// Throws: KmException (kind 3, source "DataFileLineReader") "Data file
// \"<name>\" does not exist." or "Data file \"<name>\" could not be
// opened."
void OpenDataLines(KmLineSource& source, const char* sFileName);

}  // namespace km_session_internal

#endif  // KM_SESSION_INTERNAL_OPENDATALINES_H
