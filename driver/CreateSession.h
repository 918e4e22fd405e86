// Session creation from the run's session file and data file.
#ifndef KM_DRIVER_CREATESESSION_H
#define KM_DRIVER_CREATESESSION_H

#include "foundation/KmString.h"

class kmSession;

// Thrown by CreateSession for a session file of a kind it does not know,
// after it printed its message: the run ends at once with iStatus as the
// process's exit status, and no error file is written.
struct KmRunExit {
  int iStatus;
};

// A new session (owned by the caller) from the session file:
//   ".kms"  a saved session;
//   ".dic"  a data dictionary; prints "Creating Session\n" and
//           "Session Created\n\n";
//   ".ini"  a session-parameter file; prints as ".dic".
// Nothing reads the data file but a session-parameter file's header row of
// names: the maximum kinkmarks of a dictionary or a session-parameter file
// is the run's to set from the pre-read (MaxKinkmarksFromData).
// The session reads sDataFile when bDataFileNamed (the run file names its
// data file); otherwise the data file the session definition stores
// ("Datafile name", a saved session's data file, a dictionary's "Output
// filename"), or sDataFile when it stores none.
// Endings are compared case-sensitively. Any other ending prints
// "\n\nError:  Session file name must end in .kms, .dic, or .ini!\n\n" and
// throws KmRunExit{1}; when the session file is the run file, which names
// none (bSessionFileNamed false: a data file given as the run file), the
// message says so instead: "\n\nError:  The file \"<file>\" given as the
// run file is no run file: a run file names the session file and the data
// file in its section [Kinkmark Input Files], and this file names no
// session file.\n\n" (the same text after "Error: " on standard error).
// Throws: kmSession::RefuseSpreadsheet's refusal (source "CreateSession()")
// of a spreadsheet as the data file the session reads, before it is read;
// KmException "The following files do not exists:\n " followed by
// each missing file (session file first) and "\n", source
// "CreateSession()", checked before the ending (and for a session-parameter
// file's own data file once it is read); the readers' errors, with
// "CreateSession(KmString sSessionParamsFile)" of "kmSession" in the call
// path.
kmSession* CreateSession(KmString sSessionFile, KmString sDataFile,
                         bool bDataFileNamed, bool bSessionFileNamed = true);

// True when a session made from sSessionFile (a data dictionary or a
// session-parameter file) gives no maximum number of kinkmarks of its own:
// unless the run options set "maximum kinkmarks", the run sets the default
// for its cohorts' counts (kmSession::SetDefaultMaxKinkmarks) once the
// pre-read has counted them, before the session is saved.
bool MaxKinkmarksFromData(const KmString& sSessionFile);

#endif  // KM_DRIVER_CREATESESSION_H
