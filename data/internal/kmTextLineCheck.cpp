#include "data/internal/kmTextLineCheck.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmGzFile.h"

namespace km_read_internal {

namespace {

// 1-based number of the line that starts at byte lPosition of sFile, or 0
// when the file cannot be read again. The gzip layer reads a plain file as
// it is, so one count serves both kinds.
int64_t LineNumberAt(const KmString& sFile, int64_t lPosition) {
  km_gzFile file = km_gzopen(sFile.GetCString(), "rb");
  if (file == nullptr) return 0;
  int64_t lLine = 1;
  int64_t lLeft = lPosition;
  std::vector<char> buffer(1 << 16);
  try {
    while (lLeft > 0) {
      const unsigned uWant = static_cast<unsigned>(
          std::min<int64_t>(lLeft, static_cast<int64_t>(buffer.size())));
      const int iGot = km_gzread(file, buffer.data(), uWant);
      if (iGot <= 0) break;
      lLine += std::count(buffer.data(), buffer.data() + iGot, '\n');
      lLeft -= iGot;
    }
  } catch (KmException&) {
    // The count is only for the message; the damage is reported anyway.
    lLine = 0;
  }
  km_gzclose(file);
  return lLine;
}

}  // namespace

bool HoldsNulByte(const KmString& sLine) {
  return std::memchr(sLine.GetCString(), '\0',
                     static_cast<size_t>(sLine.GetLength())) != nullptr;
}

void RefuseNulByte(const KmString& sLine, const char* sWhat,
                   const KmString& sFile, int64_t lLinePosition,
                   const char* sSource) {
  if (!HoldsNulByte(sLine)) return;
  const int64_t lLine =
      lLinePosition >= 0 ? LineNumberAt(sFile, lLinePosition) : 0;
  KmString sMessage;
  sMessage << sWhat << " \"" << sFile << "\" is damaged: ";
  if (lLine > 0) {
    sMessage << "line " << static_cast<int32_t>(lLine) << " holds a NUL byte.";
  } else {
    sMessage << "a line holds a NUL byte.";
  }
  GenerateKmException(sMessage.GetCString(), sSource);
}

}  // namespace km_read_internal
