// writeMatrixToStream.
#include "models/MatrixDump.h"

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>

#include "foundation/platform/KmFileSystem.h"

namespace {

// Appends dValue printed by sFormat to out, however long the text is.
void WriteNumber(std::ostream& out, const char* sFormat, double dValue) {
  char sBuffer[128];
  const int iNeeded = std::snprintf(sBuffer, sizeof sBuffer, sFormat, dValue);
  if (iNeeded < 0) return;
  if (static_cast<size_t>(iNeeded) < sizeof sBuffer) {
    out << sBuffer;
    return;
  }
  // "%f" of a huge value runs to hundreds of digits.
  std::string sLong(static_cast<size_t>(iNeeded) + 1, '\0');
  std::snprintf(&sLong[0], sLong.size(), sFormat, dValue);
  sLong.resize(static_cast<size_t>(iNeeded));
  out << sLong;
}

}  // namespace

void writeMatrixToStream(const KmString& sFileName, const KmString& sTitle,
                         const NEWMAT::Matrix& M, const char* sNumberFormat) {
  std::unique_ptr<std::ostream> pOut =
      KmGetFileSystem().OpenOutput(sFileName.GetCString(), true);
  // A stream that failed to open ignores every write.
  writeMatrixText(*pOut, sTitle, M, sNumberFormat);
  pOut->flush();
}

void writeMatrixText(std::ostream& out, const KmString& sTitle,
                     const NEWMAT::Matrix& M, const char* sNumberFormat) {
  const int iRows = M.Nrows();
  const int iColumns = M.Ncols();
  out << "\n" << sTitle.GetCString() << "\n";
  char sDimensions[64];
  std::snprintf(sDimensions, sizeof sDimensions, "Dinmenstions:(%d,%d)\n",
                iRows, iColumns);
  out << sDimensions;
  for (int i = 1; i <= iRows; ++i) {
    for (int j = 1; j <= iColumns; ++j) {
      WriteNumber(out, sNumberFormat, M(i, j));
      out << ",";
    }
    out << "\n";
  }
}
