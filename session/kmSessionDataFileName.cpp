// kmSession's rule for the name of a data file: IsSpreadsheetName and
// RefuseSpreadsheet.
#include "foundation/KmLineSource.h"
#include "session/kmSession.h"

bool kmSession::IsSpreadsheetName(const KmString& sFileName) {
  return sFileName.EndsWith(".xls") || sFileName.EndsWith(".xlsx");
}

void kmSession::RefuseSpreadsheet(const KmString& sFileName,
                                  const char* sSource) {
  if (!IsSpreadsheetName(sFileName)) return;
  KmLineSource::RefuseSpreadsheet("Data file", sFileName, sSource);
}
