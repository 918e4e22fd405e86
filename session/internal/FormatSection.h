// Loading a variable's value labels from its "Format=" section of an ini
// file (data dictionaries and session-parameter files).
#ifndef KM_SESSION_INTERNAL_FORMATSECTION_H
#define KM_SESSION_INTERNAL_FORMATSECTION_H

#include "foundation/KmFormat.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "session/VSVariable.h"

namespace km_session_internal {

// The name of the format section of the variable sVariableName, without
// brackets, as a header naming it is read (KmIniSection::ReadHeader):
// "Format=Region" for Region, "Region" in quotes and " Region " alike.
KmString FormatSectionName(const KmString& sVariableName);

// Refuses a section of ini whose name begins with "Format" (in any case)
// but is the format section of none of vVariables (those of an empty name
// are columns no key names): its labels
// would be read by nothing ("[Format=]", "[Format Region]", a misspelt
// name). Throws KmException (input kind, source "FormatSection")
// "Session file \"<sShownFile>\", line <n>: the section header
// \"<header>\" names no variable of the session, ...", with the names.
void RefuseFormatOfNoVariable(const KmIniFile& ini,
                              const KmVector<VSVariable>& vVariables,
                              const KmString& sShownFile);

// Looks for the section FormatSectionName(<name>) of ini. When it exists,
// format is loaded from it afresh (KmFormat::Read with data type cDataType;
// each key is a value text, its value the label) and the result is true;
// otherwise format is untouched and the result is false. Throws: the
// KmException of a section whose lines cannot be parsed, with the section's
// name in its call path and its message led by the place of the first such
// line: "Session file \"<sShownFile>\", line <n> of
// [<section>]: " (the line left out when it cannot be found), and followed
// by ".  " and what a line of a format section may hold.
bool ReadFormatSection(KmIniFile& ini, const KmString& sVariableName,
                       char cDataType, const KmString& sShownFile,
                       KmFormat& format);

}  // namespace km_session_internal

#endif  // KM_SESSION_INTERNAL_FORMATSECTION_H
