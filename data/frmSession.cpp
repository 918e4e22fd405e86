// frmSession::ReadIndependentValues.
#include "data/frmSession.h"

#include <set>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmLineSource.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/kmTools.h"

int frmSession::ReadIndependentValues(KmString sDataFile, int16_t iColumn,
                                      bool bVarNamesIncluded,
                                      KmString sDelimiter) {
  return WithCallPath("ReadIndependentValues()", "frmSession", [&] {
    KmLineSource lines("Data file");
    if (!lines.Open(sDataFile.GetCString())) {
      GenerateKmExceptionF("Unable to open data file \"%s\".", "frmSession",
                           sDataFile.GetCString());
    }
    KmString sLine;
    if (bVarNamesIncluded) lines.ReadLine(sLine);
    std::set<std::string> seen;
    while (lines.ReadLine(sLine)) {
      // Blank lines (such as the one after the last line end) hold no value,
      // as the data readers pass them over.
      KmString sTrimmed(sLine);
      if (sTrimmed.Trim().IsEmpty()) continue;
      KmStringTokenizer tokens(sLine.GetCString(), sDelimiter.GetCString());
      KmString sValue;
      tokens.GetToken(sValue, iColumn);
      // A year is its number however it is written ("2005", "2005.0").
      double dYear = 0.0;
      if (kmTools::ReadIndependentNumber(sValue, KmString(), dYear) ==
          kmTools::FieldNumber::kNumber) {
        sValue = kmTools::ShortestText(dYear);
      }
      if (!seen.insert(sValue.GetCString()).second) break;
    }
    return static_cast<int>(seen.size());
  });
}
