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
// Options] in Options file: <file>\n" to sMessages. After the lines, every
// numbered "aapc start range<n>" without its "aapc end range<n>" adds
// "aapc start range<n> found but no corresponding End Range found: the
// Export Options need \"aapc end range<n>\" as well.\n", every end without
// its start "\"aapc end range<n>\" has no
// matching \"aapc start range<n>\" Export Option.\n" (a range key with an
// empty value counts as absent, as the reader takes it). The ranges are
// read from number 1 up to the first number missing, so these fail the
// file as well, each with a message naming it: a range key whose number
// the reader never asks for (a blank or a leading zero before it, or no
// number), a gap in the numbering (naming the missing number and the
// ranges after it), and a range whose end is not after its start.
bool ValidateExportOptions(const char* sFileName, KmString& sMessages);

// True when sKey is an export option (a row of ExportOptionRows) and sValue
// one of its values; otherwise appends "\"<key>\" is not a valid Export
// Option; use <the table's keys>.\n" or "\"<value>\" is not a valid value for
// the \"<key>\" Export Option.\n" to sMessages and returns false. Key and value
// are trimmed and compared in lower case. Switches take yes or no
// (ReadYesNo; a switch neither is refused by YesNoRefusalText); the coded
// keys their words; precisions a number from 0 to kMaxDisplayPrecision;
// the keys beginning with "aapc start range" or "aapc end range" a decimal
// number, optionally negative.
bool IsValidExportOption(KmString sKey, KmString sValue, KmString& sMessages);

// Copies the layout switches and codes of dict into options, as the rows of
// ExportOptionRows name them: all models in same column, by-group headers,
// remove best fit flags, remove km flags, include km estimates, export bad
// cohorts, models, line delimiter, missing character, field delimiter,
// by-var format, export type. Nothing else.
void ApplyExportOptions(IniExportDict dict, DataExportOptions& options);

// Replaces the session's AAPC ranges whole: the full-range flag from "aapc
// full range", the last-observation lengths 5 and 10 when "aapc last obs"
// is set, and the custom start and end values when their numbers agree
// (otherwise no custom ranges).
void ApplyAAPCRanges(kmSession* pSession, IniExportDict dict);

// Sets the display options of the results that the rows of
// ExportOptionRows name: "aapc full range", the eleven precisions
// ("estimated kinkmarks precision" sets both kinkmark precisions) and
// "include apcs in data export".
// Throws: KmException of the display options' setters.
void ApplyDisplayPrecisions(IniExportDict dict, OutputDisplayOptions& options);

#endif  // KM_DRIVER_EXPORTOPTIONS_H
