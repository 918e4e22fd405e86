#include "foundation/KmDebugDump.h"

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>

#include "foundation/platform/KmFileSystem.h"

namespace {

std::unique_ptr<std::ostream> OpenForAppend(const KmString& sFileName) {
  return KmGetFileSystem().OpenOutput(sFileName.GetCString(), true);
}

}  // namespace

void DebugWriteMatrix(const KmString& sFileName, const KmString& sLabel,
                      const NEWMAT::Matrix& mValues) {
  std::unique_ptr<std::ostream> pOut = OpenForAppend(sFileName);
  std::ostream& out = *pOut;
  const int iRows = mValues.Nrows();
  const int iColumns = mValues.Ncols();
  char sBuffer[512];
  out << "\n" << sLabel.GetCString() << std::endl;
  std::snprintf(sBuffer, sizeof sBuffer, "Dinmenstions:(%d,%d)\n", iRows,
                iColumns);
  out << sBuffer;
  for (int i = 1; i <= iRows; ++i) {
    for (int j = 1; j <= iColumns; ++j) {
      // "%f" of a huge value runs to hundreds of digits: size the text by
      // the formatter's own count.
      const double dValue = mValues(i, j);
      const int iNeeded = std::snprintf(sBuffer, sizeof sBuffer, "%f,", dValue);
      if (iNeeded >= 0 && static_cast<size_t>(iNeeded) < sizeof sBuffer) {
        out << sBuffer;
      } else if (iNeeded >= 0) {
        std::string sLong(static_cast<size_t>(iNeeded) + 1, '\0');
        std::snprintf(&sLong[0], sLong.size(), "%f,", dValue);
        sLong.resize(static_cast<size_t>(iNeeded));
        out << sLong;
      }
    }
    out << "\n";
  }
}

void DebugWriteLine(const KmString& sFileName, const KmString& sText) {
  std::unique_ptr<std::ostream> pOut = OpenForAppend(sFileName);
  *pOut << sText.GetCString() << std::endl;
}

void DebugClearFile(const KmString& sFileName) {
  KmGetFileSystem().OpenOutput(sFileName.GetCString(), false);
}
