// Text dump of a matrix for diagnostic files.
#ifndef KM_MODELS_MATRIXDUMP_H
#define KM_MODELS_MATRIXDUMP_H

#include <newmat.h>

#include <ostream>

#include "foundation/KmString.h"

// Appends to the file sFileName (created when missing): "\n", sTitle and
// "\n"; then "Dinmenstions:(<rows>,<columns>)\n"; then one line per row of M
// with every entry printed by sNumberFormat and followed by "," (so each line
// ends ",\n"). The file is closed again before returning. A file that cannot
// be opened gets nothing and no error is reported. Goes through the
// installed KmFileSystem. Callers on several threads must not dump to the
// same file at once.
// REQUIRES: sNumberFormat is a printf format that takes exactly one double
// (the one caller passes "%.10f").
void writeMatrixToStream(const KmString& sFileName, const KmString& sTitle,
                         const NEWMAT::Matrix& M, const char* sNumberFormat);

// The same text, appended to out.
void writeMatrixText(std::ostream& out, const KmString& sTitle,
                     const NEWMAT::Matrix& M, const char* sNumberFormat);

#endif  // KM_MODELS_MATRIXDUMP_H
