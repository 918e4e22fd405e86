// kmSession's rule for the name of a data file: IsSpreadsheetName and
// RefuseSpreadsheet.
#include "foundation/KmException.h"
#include "session/kmSession.h"

bool kmSession::IsSpreadsheetName(const KmString& sFileName) {
  KmString sLower(sFileName);
  sLower.MakeLower();
  return sLower.EndsWith(".xls") || sLower.EndsWith(".xlsx");
}

void kmSession::RefuseSpreadsheet(const KmString& sFileName,
                                  const char* sSource) {
  if (!IsSpreadsheetName(sFileName)) return;
  GenerateKmInputExceptionF(
      "The data file \"%s\" is a spreadsheet, which Kinkmark does not read: "
      "export it as delimited text (fields separated by tabs, blanks, commas "
      "or semicolons) and name that file as the data file.",
      sSource, sFileName.GetCString());
}
