#include "data/internal/kmTextLineCheck.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmGzFile.h"

namespace km_read_internal {

namespace {

// 1-based number of the line of sFile that ends just before byte lLineEnd
// (its line feed, when it has one, is the byte before): one more than the
// line feeds in front of that byte. 0 when the file cannot be read again.
// The gzip layer reads a plain file as it is, so one count serves both
// kinds.
int64_t LineNumberEndingAt(const KmString& sFile, int64_t lLineEnd) {
  if (lLineEnd < 1) return lLineEnd == 0 ? 1 : 0;
  km_gzFile file = km_gzopen(sFile.GetCString(), "rb");
  if (file == nullptr) return 0;
  int64_t lLine = 1;
  int64_t lLeft = lLineEnd - 1;
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

void ThrowNulByte(const char* sWhat, const KmString& sFile, int64_t lLineEnd,
                  const char* sSource) {
  const int64_t lLine = LineNumberEndingAt(sFile, lLineEnd);
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
