// The files a run writes, checked against the files it reads before the
// first byte is written.
#ifndef KM_DRIVER_RUNOUTPUTS_H
#define KM_DRIVER_RUNOUTPUTS_H

#include <vector>

#include "driver/KmRunFiles.h"
#include "foundation/KmString.h"

class kmSession;

// One file of a run and what it is to the run, in words ("data file",
// "export"), for the messages that name it.
struct RunFile {
  KmString sName;
  const char* sRole;
  // For an output: true when the run file's name sets it (the saved session,
  // the error file), false when "Output File" does.
  bool bFollowsRunFile = false;
};

// The name of the lock file a run holds on its results file sOutputFile for
// its whole life: sOutputFile + ".lock".
KmString OutputLockName(const KmString& sOutputFile);

// Every file the run reads: the run file, the session file, the data file,
// the options files (both the names the run file gives and those in use),
// and, with pSession, the data file and the variance-covariance file the
// session names. Empty names are left out.
std::vector<RunFile> RunInputFiles(const KmRunFiles& files,
                                   const kmSession* pSession);

// Every file the run may write: the results file (not in export-only mode,
// where it is the input), every export name (AllExportFileNames), the run
// summary, the lock file, the saved session (not in export-only mode, nor
// when it is the session file the run reads), the error file and, with a
// pSession that clusters its cohorts, the clustering result file it appends
// to.
std::vector<RunFile> RunOutputFiles(const KmRunFiles& files,
                                    const kmSession* pSession);

// Refuses, before anything is written, an output name that is not a regular
// file (a device, a pipe, a folder, or a symbolic link to one):
//   The <role> "<name>" is not a regular file (a device, a pipe, a folder or
//   a link to one); <remedy>.
// and an output name that reaches one of the inputs, by the file each
// reaches (device and inode, through other paths and links alike):
//   The <role> "<name>" is also an input of the run (the <input role>
//   "<input>"); <remedy>.
// where <remedy> is 'name another "Output File" in the run file' or, for a
// name the run file's name sets, 'give the run file another name'. Both
// throw KmException (source "main").
void CheckRunOutputs(const KmRunFiles& files, const kmSession* pSession);

// True when the error file's name reaches one of the inputs the run file
// names: the run must not write its error file then.
bool ErrorFileIsInput(const KmRunFiles& files);

// True when sName reaches one of the inputs of RunInputFiles.
bool IsRunInput(const KmRunFiles& files, const kmSession* pSession,
                const KmString& sName);

// True when sName is a regular file that begins as a results file of this
// program does (the session block's identifier); false for anything else,
// a missing file included.
bool ReadsAsResultsFile(const KmString& sName);

#endif  // KM_DRIVER_RUNOUTPUTS_H
