// The names of every file a run reads and writes.
#ifndef KM_DRIVER_KMRUNFILES_H
#define KM_DRIVER_KMRUNFILES_H

#include "foundation/KmString.h"

// What the error file adds to the run file's base.
constexpr const char kErrorFileEnding[] = ".ErrorFile.txt";

// The files of one run. The run file names the inputs in its section
// "Kinkmark Input Files"; every input name not given there is the run file
// itself. The base (the run file less its ending of a dot and three
// characters, or the whole name when it has no such ending), the error
// file, the saved session and, unless "Output File" is given, the results
// file all follow the run file.
struct KmRunFiles {
  KmString sProgram;                 // the program path, as called
  KmString sRunFile;                 // the one command-line argument
  KmString sSessionFile;             // "Session File"
  KmString sDataFile;                // "Data File"
  KmString sRunOptionsFile;          // "Run Options File"
  KmString sExportOptionsFile;       // "Export Options File"
  KmString sOutputFile;              // "Output File", or base + ".kmo"
  KmString sNamedRunOptionsFile;     // "Run Options File" as given, or ""
  KmString sNamedExportOptionsFile;  // "Export Options File" as given, or ""
  KmString sBase;                    // RunFileBase of the run file
  KmString sErrorFile;               // base + ".ErrorFile.txt"
  KmString sSavedSessionFile;        // base + ".kms"
  bool bRunOptions = false;          // the run-options file passed validation
  bool bExportOptions = false;     // the export-options file passed validation
  bool bExportOnly = false;        // the data file is a results file (".kmo")
  bool bDataFileNamed = false;     // the run file names its data file
  bool bSessionFileNamed = false;  // the run file names its session file
};

// sName less its last iCount characters; a name no longer than iCount is
// kept whole, so a short name never loses what precedes its ending.
KmString DropLastChars(const KmString& sName, int iCount);

// The base the run file's name gives its own outputs: the name less its last
// four characters when those are a dot and three characters ("run.ini"
// gives "run"), else the whole name ("myrunfile" stays "myrunfile"), so a
// base never cuts into the name itself.
KmString RunFileBase(const KmString& sRunFile);

// True when the two names lead to the same file, however they are written
// ("./a.txt" and "a.txt"); for names of files that do not exist yet, when
// their absolute forms agree.
bool SameFile(const KmString& a, const KmString& b);

// True when sRunFile exists and is neither a regular file nor a folder (a
// device such as /dev/stdin, a pipe, a socket, or a link to one). Such a run
// file is refused before it is read: reading a pipe waits for a writer, and
// the run would write its saved session and error file beside it, in the
// device folder.
bool IsDeviceOrPipe(const char* sRunFile);

// Sets every name from sProgram and sRunFile: the defaults above.
void SetDefaultRunFiles(KmRunFiles& files, const char* sProgram,
                        const char* sRunFile);

// Reads the section "Kinkmark Input Files" (found without regard to case) of
// the run file over the defaults: "Session File", "Data File", "Run Options
// File", "Export Options File" and "Output File", each only when not empty
// (the options files into sNamed...File; they become the run's only once
// CheckRunFile accepts them). Then the mode: a data file ending in ".kmo" is
// read back for its exports only and is also the output file. Nothing is
// checked: an unreadable run file leaves the defaults.
void ReadRunFileNames(KmRunFiles& files);

// After ReadRunFileNames: the run file must exist; the section's keys are
// checked (ValidateRunFileKeys); a data file it names must not be a
// spreadsheet (kmSession::RefuseSpreadsheet, source "ReadRunFile()"); every
// named input must exist; then the run-options
// file and the export-options file are validated, in that order, and set.
// Last, a session-parameter file (".ini") of a run that is not export-only
// is checked (ValidateSessionParameters).
// Throws: KmException (kind 3, source "ReadRunFile()") "The run file
// \"<run file>\" does not exist (relative names are read from the folder
// \"<folder>\")."; KmException whose message lists every faulty key, source
// "ValidateRunFile()"; KmException (kind 3, source "ReadRunFile()") "The run
// file \"<run file>\" names a file that does not exist (relative names are
// read from the folder \"<folder>\"):\n" with one line " <name>
// (\"<key>\", ...) was not found.\n" per missing file, before any other
// file is read; KmException whose message lists every faulty line, source
// "ValidateRunOptions()", "ValidateExportOptions()" or
// "ValidateSessionParameters()", when a file fails its checks; the ini
// reader's error for an unreadable run file.
void CheckRunFile(KmRunFiles& files);

#endif  // KM_DRIVER_KMRUNFILES_H
