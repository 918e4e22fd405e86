// Loading a variable's value labels from its "Format=" section of an ini
// file (data dictionaries and session-parameter files).
#ifndef KM_SESSION_INTERNAL_FORMATSECTION_H
#define KM_SESSION_INTERNAL_FORMATSECTION_H

#include "foundation/KmFormat.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmString.h"

namespace km_session_internal {

// Looks for the section "Format=<name>" of ini and, when there is none, for
// "Format=\"<name>\"". When one exists, format is loaded from it afresh
// (KmFormat::Read with data type cDataType; each key is a value text, its
// value the label) and the result is true; otherwise format is untouched and
// the result is false.
// Throws: the KmException of a section whose lines cannot be parsed, with
// the section's name in its call path and its message led by the place of
// the first such line: "Session file \"<sShownFile>\", line <n> of
// [<section>]: " (the line left out when it cannot be found), and followed
// by ".  " and what a line of a format section may hold.
bool ReadFormatSection(KmIniFile& ini, const KmString& sVariableName,
                       char cDataType, const KmString& sShownFile,
                       KmFormat& format);

}  // namespace km_session_internal

#endif  // KM_SESSION_INTERNAL_FORMATSECTION_H
