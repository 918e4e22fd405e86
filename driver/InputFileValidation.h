// The checks of the run file's keys and of a session-parameter file or data
// dictionary, made before anything of the run is read: a misspelt key or word
// there, or a section given twice, would otherwise be ignored and the run
// would fit another model than asked.
#ifndef KM_DRIVER_INPUTFILEVALIDATION_H
#define KM_DRIVER_INPUTFILEVALIDATION_H

#include "foundation/KmString.h"

// The run file's section of input names.
constexpr const char kRunFileSection[] = "Kinkmark Input Files";

// True when every key of the run file's section "[Kinkmark Input Files]" is
// one of "Session File", "Data File", "Run Options File", "Export Options
// File" and "Output File" (in any case), and no section it reads or key in
// it is given twice (NoSectionOrKeyGivenTwice). Appends, for every other
// key, after its place ("The file \"<file>\", line <n>: "):
//   "<key>" is not a valid Kinkmark Input Files key; use "Session File",
//   "Data File", "Run Options File", "Export Options File" or "Output
//   File".\n
// Other sections are not read, and nothing in them is checked. A header
// that spells the section with other blanks is refused
// (NoSectionSpeltOtherwise), as in the session files below.
bool ValidateRunFileKeys(const char* sFileName, KmString& sMessages);

// True when every key of the sections "Datafile Options" and "Kinkmark
// Session Parameters" of the session-parameter file sFileName is one the
// reader knows, every value of "Datafile Options" one of its words
// (KmUserParamsDict::DatafileOptionRows), and no section the reader reads
// (those two and the "Format=" sections) or key in it is given twice.
// Appends one line per faulty key line, in file order, after its place
// ("The file \"<file>\", line <n>: "):
//   "<key>" is not a valid Session Parameter.\n
//   "<value>" is not a valid value for the "<key>" Session Parameter; use
//   "tab", "space", "comma" or "semi-colon".\n
// and for a switch neither yes nor no (ReadYesNo) YesNoRefusalText.
// A missing section adds nothing, the reader reports it, unless a header
// spells it with other blanks (NoSectionSpeltOtherwise).
bool ValidateSessionParameters(const char* sFileName, KmString& sMessages);

// True when no section the data-dictionary reader reads ("System", "Session
// Options", "Export Options", the variable sections and the "Format="
// sections) of sFileName, and no key in one, is given twice
// (NoSectionOrKeyGivenTwice, whose messages it appends): a second one would
// be read in part, or not at all; that no header spells one of the
// sections with other blanks (NoSectionSpeltOtherwise); and that every
// switch of "Export Options" (VSExportSwitch) is yes or no (ReadYesNo),
// each other value refused after its place as a session-parameter file's
// is: "The file \"<file>\", line <n>: " YesNoRefusalText "\n".
bool ValidateDictionarySections(const char* sFileName, KmString& sMessages);

#endif  // KM_DRIVER_INPUTFILEVALIDATION_H
