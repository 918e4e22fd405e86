// The run summary: the head that names the program, the time taken and the
// files of the run. The session's blocks follow it (kmSession::
// WriteTextReportHeader and kmSession::WriteParametersText).
#ifndef KM_DRIVER_RUNSUMMARY_H
#define KM_DRIVER_RUNSUMMARY_H

#include "foundation/KmString.h"

// Creates sSummaryFile anew (an old file of that name is deleted) and writes
// its head: the program name and version "V4.9.0.0.1", the execution time in
// words, the run file, session file, data file, run-options file,
// export-options file and output file, and the heading of the session
// options. Every line but the first is written as sLineDelimiter followed by
// its text, so the file ends without a line end.
// Throws: KmException "Unable to open file \"<name>\" for writing." when
// the file cannot be created; call path "WriteKinkmarkRunInfo()".
void WriteKinkmarkRunInfo(const char* sSummaryFile, const char* sProgram,
                          int iElapsedSeconds, const char* sRunFile,
                          const char* sSessionFile, const char* sDataFile,
                          const char* sRunOptionsFile,
                          const char* sExportOptionsFile,
                          const char* sOutputFile, KmString sLineDelimiter);

// sText becomes iSeconds in words: days, hours, minutes and seconds, each
// part of at least 1 with its unit (singular for 1), separated by ", ", as
// in "1 hour, 1 minute, 1 second". 0 seconds give an empty text.
void GetCreationTime(KmString& sText, int iSeconds);

#endif  // KM_DRIVER_RUNSUMMARY_H
