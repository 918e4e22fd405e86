// The names of every file a run reads and writes.
#ifndef KM_DRIVER_KMRUNFILES_H
#define KM_DRIVER_KMRUNFILES_H

#include "foundation/KmString.h"

// The files of one run. The run file names the inputs in its section
// "Kinkmark Input Files"; every input name not given there is the run file
// itself. The base (the run file less its last four characters), the error
// file, the saved session and, unless "Output File" is given, the results
// file all follow the run file.
struct KmRunFiles {
  KmString sProgram;            // the program path, as called
  KmString sRunFile;            // the one command-line argument
  KmString sSessionFile;        // "Session File"
  KmString sDataFile;           // "Data File"
  KmString sRunOptionsFile;     // "Run Options File"
  KmString sExportOptionsFile;  // "Export Options File"
  KmString sOutputFile;         // "Output File", or base + ".kmo"
  KmString sBase;               // the run file less its last 4 characters
  KmString sErrorFile;          // base + ".ErrorFile.txt"
  KmString sSavedSessionFile;   // base + ".kms"
  bool bRunOptions = false;     // the run-options file passed validation
  bool bExportOptions = false;  // the export-options file passed validation
  bool bExportOnly = false;     // the data file is a results file (".kmo")
  bool bDataFileNamed = false;  // the run file names its data file
};

// sName less its last iCount characters; a name no longer than iCount is
// kept whole, so a short name never loses what precedes its ending.
KmString DropLastChars(const KmString& sName, int iCount);

// The name of a file written beside the results file sOutputFile: its name
// less the last 3 characters ("kmo"), followed by sSuffix.
KmString OutputSiblingName(const KmString& sOutputFile, const char* sSuffix);

// True when the two names lead to the same file, however they are written
// ("./a.txt" and "a.txt"); for names of files that do not exist yet, when
// their absolute forms agree.
bool SameFile(const KmString& a, const KmString& b);

// Sets every name from sProgram and sRunFile: the defaults above.
void SetDefaultRunFiles(KmRunFiles& files, const char* sProgram,
                        const char* sRunFile);

// Reads the section "Kinkmark Input Files" (found without regard to case) of
// the run file over the defaults: "Session File", "Data File", "Run Options
// File", "Export Options File" and "Output File", each only when not empty.
// Before any name is used, the section's keys are checked
// (ValidateRunFileKeys); every named input must exist; then the run-options
// file and the export-options file are validated, in that order. Then the
// mode: a data file ending in ".kmo" is read back for its exports only and
// is also the output file. Last, a session-parameter file (".ini") of a run
// that is not export-only is checked (ValidateSessionParameters).
// Throws: KmException whose message lists every faulty key, source
// "ValidateRunFile()"; KmException (kind 3, source "ReadRunFile()") "The run
// file \"<run file>\" names a file that does not exist (relative names are
// read from the folder \"<folder>\"):\n" with one line " <name>
// (\"<key>\", ...) was not found.\n" per missing file, before any other
// file is read; KmException whose message lists every faulty line, source
// "ValidateRunOptions()", "ValidateExportOptions()" or
// "ValidateSessionParameters()", when a file fails its checks; the ini
// reader's error for an unreadable run file.
void ReadRunFile(KmRunFiles& files);

// True when sName leads to one of the run's inputs: the run file, the
// session file, the data file, sSessionDataFile (the data file the session
// reads), the run-options file or the export-options file; empty names are
// skipped.
bool IsRunInput(const KmRunFiles& files, const KmString& sSessionDataFile,
                const KmString& sName);

// Refuses a results file that is also one of the run's inputs (the run
// deletes and rewrites it): throws KmException "The output file \"<name>\"
// is also an input of the run; name another \"Output File\" in the run
// file." (source "main"); likewise "The output file \"<name>\" is not a
// regular file (a device, a pipe or a folder); name a file as \"Output
// File\" in the run file." for an existing name that is not a regular file.
// sSessionDataFile is the data file the session reads, which a
// session-parameter file may name itself.
void CheckOutputIsNotInput(const KmRunFiles& files,
                           const KmString& sSessionDataFile);

#endif  // KM_DRIVER_KMRUNFILES_H
