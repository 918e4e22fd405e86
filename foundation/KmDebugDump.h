// Diagnostic dumps: plain text files where the fitting code leaves
// intermediate values for inspection. Separate from the reports, the exports
// and the results file.
#ifndef KM_FOUNDATION_KMDEBUGDUMP_H
#define KM_FOUNDATION_KMDEBUGDUMP_H

#include <newmat.h>

#include "foundation/KmString.h"

// Each function opens the file, writes and closes it again; nothing stays
// open between calls. A file that cannot be opened (a directory that does
// not exist, say) gets nothing written and no error is reported. File names
// may use '/' or '\' as the directory separator. Files go through the
// installed KmFileSystem.

// Appends to sFileName: "\n", sLabel and a line end, the line
// "Dinmenstions:(<rows>,<columns>)", then one line per row with every value
// formatted "%f," (a comma after the last value too).
void DebugWriteMatrix(const KmString& sFileName, const KmString& sLabel,
                      const NEWMAT::Matrix& mValues);

// Appends sText and a line end to sFileName.
void DebugWriteLine(const KmString& sFileName, const KmString& sText);

// Makes sFileName an existing, empty file.
void DebugClearFile(const KmString& sFileName);

#endif  // KM_FOUNDATION_KMDEBUGDUMP_H
