// The error file of a failed run.
#ifndef KM_DRIVER_ERRORFILE_H
#define KM_DRIVER_ERRORFILE_H

#include <string>

#include "foundation/KmException.h"
#include "foundation/KmString.h"
#include "foundation/platform/KmFolder.h"

// Prints "\n\n<error file>\n\n", deletes an old file of that name and
// writes the error file: "Error Message", the message, "Call Path", the
// call path, "Source Module", the source module and "Execution Command",
// the command line (each argument followed by one blank), each heading
// underlined by 32 dashes. No NUL byte is written, and nothing a terminal
// would obey: the text is ShownMessage's, each argument and the error
// file's name ShownName's. The file is written
// under its partial name in folder (the folder it is in, held by the
// caller) and moved into place when complete; it replaces only nothing or
// an earlier error file (ErrorFileMayReplace). When the file cannot be
// written, "The error file could not be written: <reason>" and its text are
// printed on standard output instead, so the failure is never lost; so it
// is for an empty sErrorFile (a name that would replace one of the run's
// inputs). Returns whether the file was written. Never throws.
bool WriteErrorFile(const KmString& sErrorFile, const KmFolder& folder,
                    const KmException& e, int argc, char** argv);

// True when an error file may be written under sLeaf in folder: the name
// holds nothing, or a regular file (not a link) that begins as an error file
// does. Answered from the file itself, so it never says yes for want of
// knowing what the run holds: a results file, an input or any other file
// under that name is never replaced by an error file.
bool ErrorFileMayReplace(const KmFolder& folder, const std::string& sLeaf);

#endif  // KM_DRIVER_ERRORFILE_H
