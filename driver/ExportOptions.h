// The export-options file: its validation before the run starts and the
// copying of its values to where the exports read them.
#ifndef KM_DRIVER_EXPORTOPTIONS_H
#define KM_DRIVER_EXPORTOPTIONS_H

#include "foundation/KmString.h"
#include "session/DataExportOptions.h"
#include "session/IniExportDict.h"
#include "session/OutputDisplayOptions.h"

class kmSession;

// The twin of ValidateRunOptions for the section "Export Options" and
// IsValidExportOption; a file without the section adds "Missing [Export
// Options] in Options file: <file>\n" to the validation text.
bool ValidateExportOptions(const char* sFileName);

// True when sKey is an export option and sValue one of its values; otherwise
// appends "\"<key>\" is not a valid Export Option.\n" or "\"<value>\" is not
// a valid value for the \"<key>\" Export Option.\n" and returns false. Key
// and value are trimmed and compared in lower case. Switches take "true" or
// "false"; the coded keys their words; precisions an unsigned number; the
// keys beginning with "aapc start range" or "aapc end range" a decimal
// number, optionally negative.
bool IsValidExportOption(KmString sKey, KmString sValue);

// Copies the layout switches and codes of dict into options: all models in
// same column, by-group headers, remove best fit flags, remove km flags,
// include km estimates, export bad cohorts, models, line delimiter, missing
// character, field delimiter, by-var format, export type. Nothing else.
void ApplyExportOptions(IniExportDict dict, DataExportOptions& options);

// Replaces the session's AAPC ranges whole: the full-range flag from "aapc
// full range", the last-observation lengths 5 and 10 when "aapc last obs"
// is set, and the custom start and end values when their numbers agree
// (otherwise no custom ranges).
void ApplyAAPCRanges(kmSession* pSession, IniExportDict dict);

// Sets the display options of the results: option 19 from "aapc full
// range", the precisions 0, 1, 3, 2, 4, 14, 16, 28, 29, 18, 10, 5 and
// option 11 from "include apcs in data export".
// Throws: KmException of the display options' setters.
void ApplyDisplayPrecisions(IniExportDict dict, OutputDisplayOptions& options);

#endif  // KM_DRIVER_EXPORTOPTIONS_H
