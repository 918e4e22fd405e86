// The error file of a failed run.
#ifndef KM_DRIVER_ERRORFILE_H
#define KM_DRIVER_ERRORFILE_H

#include "foundation/KmException.h"
#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"

// Prints "\n\n<error file>\n\n", deletes an old file of that name and
// writes the error file: "Error Message", the message, "Call Path", the
// call path, "Source Module", the source module and "Execution Command",
// the command line (each argument followed by one blank), each heading
// underlined by 32 dashes. No NUL byte is written. The file is written
// under its partial name in folder (the folder it is in, held by the
// caller) and moved into place when complete. When the file
// cannot be written, its text is printed on standard output instead, so the
// failure is never lost; so it is for an empty sErrorFile (a name that
// would replace one of the run's inputs). Returns whether the file was written.
// Never throws.
bool WriteErrorFile(const KmString& sErrorFile, const KmFolder& folder,
                    const KmException& e, int argc, char** argv);

#endif  // KM_DRIVER_ERRORFILE_H
