// The run-options file: its validation before the run starts and its
// application to the session once the session exists.
#ifndef KM_DRIVER_RUNOPTIONS_H
#define KM_DRIVER_RUNOPTIONS_H

#include "foundation/KmString.h"
#include "session/IniSessionDict.h"

class kmSession;

// Checks the section "Session Options" of sFileName line by line with
// IsValidRunOption, reading the file exactly as IniSessionDict reads it
// (trimmed lines, the section header without regard to case, blank and
// comment lines passed over). Every faulty line adds its message to
// sMessages, in file order, after its place ("The file \"<file>\", line
// <n>: "); a section or key given twice adds its message
// (NoSectionOrKeyGivenTwice). A file without the section adds "Missing
// [Session Options] in Options file: <file>\n". Returns true when the
// section exists, every line passed and nothing is given twice.
bool ValidateRunOptions(const char* sFileName, KmString& sMessages);

// True when sKey is a run option (a row of IniSessionDict::Rows) and sValue
// one of its values; otherwise appends "\"<key>\" is not a valid Session
// Option; use <the table's keys>.\n" or "\"<value>\" is not a valid value for
// the \"<key>\" Session Option.\n" to sMessages and returns false. Key and
// value are trimmed and compared in lower case, and the messages show them so.
// The value classes:
//   words          "model", "pairwise", "method", "run type", "ci method", ...
//   true/false     "jump model", "comparability ratio", "madwd", ...
//   levels         the alpha and significance levels: above 0, below 1
//   0 to 1         "madwd psi value"; "autocorr errors" also takes
//                  "estimated" (1 is the same as "estimated")
//   counts         kinkmarks, observations, permutations, resamples, cores,
//                  rates per n, the column: no sign, within the ranges of
//                  IniSessionDict.h; "maximum kinkmarks" also takes -1 (keep
//                  the session's own maximum)
//   numbers        the rest: decimal, optionally negative; seeds within 32
//                  bits
// An empty value passes: the reader then leaves its field unchanged.
bool IsValidRunOption(KmString sKey, KmString sValue, KmString& sMessages);

// Copies the run options into pSession: the rows of IniSessionDict::Rows
// that name a session option as they are, the rest by their own rules.
// Every option is set from the record, given in the file or not, except the
// data file name ("EMPTY"), the maximum kinkmarks and the delay type (-1)
// and the dependent variable type (negative), which then keep the session's
// values. "autocorr errors": 0 uncorrelated, 1 estimated, any other value
// the fixed AR(1) parameter.
// Throws: KmException from the session's setters (none for this table).
void ApplyRunOptions(IniSessionDict dict, kmSession* pSession);

#endif  // KM_DRIVER_RUNOPTIONS_H
