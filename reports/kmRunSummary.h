// The run summary: the head that names the program, the time taken and the
// files of the run (kmRunSummary.cpp), then the session's model settings
// (kmRunSummaryModel.cpp) and the output options (kmRunSummaryOptions.cpp).
#ifndef KM_REPORTS_KMRUNSUMMARY_H
#define KM_REPORTS_KMRUNSUMMARY_H

#include <cstdint>

#include "foundation/KmFileTarget.h"
#include "foundation/KmString.h"
#include "session/DataExportOptions.h"
#include "session/OutputDisplayOptions.h"
#include "session/kmIntervalMethod.h"

class kmSession;

// Creates sSummaryFile (an old file of that name is emptied) and writes its
// head: the program name and version "V4.9.0.0.1", the execution time in
// words, the run file, session file, data file, run-options file,
// export-options file and output file, and the heading of the session
// options. Every line but the first is written as sLineDelimiter followed by
// its text, so the file ends without a line end.
// Throws: KmException "Unable to open file \"<name>\" for writing." when
// the file cannot be created; call path "WriteKinkmarkRunInfo()".
void WriteKinkmarkRunInfo(const KmFileTarget& sSummaryFile,
                          const char* sProgram, int iElapsedSeconds,
                          const char* sRunFile, const char* sSessionFile,
                          const char* sDataFile, const char* sRunOptionsFile,
                          const char* sExportOptionsFile,
                          const char* sOutputFile, KmString sLineDelimiter);

// Opens sFileName with the KmIO_File mode iMode, writes sText (without a
// terminating zero byte) and closes it.
// Throws: KmException "Unable to open file \"<name>\" for <sPurpose>:
// <reason>." (source sSource) when the file cannot be opened.
void WriteRunSummaryText(const KmFileTarget& sFileName, int32_t iMode,
                         const char* sPurpose, const char* sSource,
                         const KmString& sText);

// sText becomes iSeconds in words: days, hours, minutes and seconds, each
// part of at least 1 with its unit (singular for 1), separated by ", ", as
// in "1 hour, 1 minute, 1 second". 0 seconds give an empty text.
void GetCreationTime(KmString& sText, int iSeconds);

// Appends the " Model Specifications:" block of session's settings to the
// run summary sFileName (opened for appending): one labelled line per model
// setting, each line ended by sLineDelimiter, the "=" of every labelled
// line in column 54. The block is built whole and written in one piece;
// nothing is written when a failure comes first. Of the last-observation
// AAPC ranges, a length that the independent variable's labels cannot
// cover is left out.
// Throws: KmException "Unable to open file \"<name>\" for appending."
// when the file cannot be opened; the session's own errors for an unset
// independent variable or a wrongly typed option.
void WriteTextReportHeader(const kmSession& session,
                           const KmFileTarget& sFileName,
                           KmString sLineDelimiter);

// Appends to sFileName the "Output Options" block of the run summary (the
// precisions and switches of displayOptions and the layout of
// exportOptions) and the "Reports Exported" list of the switches that are
// on (Report, Data, APC, AAPC, F-Test). aapcCIMethod names the AAPC
// interval method. Every line is sLineDelimiter followed by its text.
// Throws: KmException "Unable to open file \"<name>\" for appending." when
// the file cannot be opened; call path "WriteParametersText".
void WriteParametersText(const KmFileTarget& sFileName,
                         OutputDisplayOptions displayOptions,
                         DataExportOptions exportOptions, bool bExportReport,
                         bool bExportAPC, bool bExportAAPC, bool bExportFTest,
                         bool bExportData, kmIntervalMethod aapcCIMethod,
                         KmString sLineDelimiter);

#endif  // KM_REPORTS_KMRUNSUMMARY_H
