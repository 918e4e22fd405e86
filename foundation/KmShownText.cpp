#include "foundation/KmShownText.h"

#include <cstdio>
#include <string>

namespace {

// The characters, by their UTF-8 bytes.
const char* const kHiddenSpaces[] = {
    "\xC2\xA0",      // U+00A0 no-break space
    "\xE2\x80\x87",  // U+2007 figure space
    "\xE2\x80\xAF",  // U+202F narrow no-break space
    "\xE3\x80\x80",  // U+3000 ideographic space
    "\xE2\x80\x8B",  // U+200B zero-width space
    "\xEF\xBB\xBF",  // U+FEFF zero-width no-break space
};

// The length of the hidden space that s holds at iAt; 0 when none.
size_t HiddenSpaceAt(const std::string& s, size_t iAt) {
  for (const char* sSpace : kHiddenSpaces) {
    if (s.compare(iAt, std::char_traits<char>::length(sSpace), sSpace) == 0) {
      return std::char_traits<char>::length(sSpace);
    }
  }
  return 0;
}

}  // namespace

KmString ShownText(const KmString& sText) {
  const std::string s(sText.GetCString());
  std::string sOut;
  for (size_t i = 0; i < s.size();) {
    const size_t n = HiddenSpaceAt(s, i);
    if (n == 0) {
      sOut += s[i++];
      continue;
    }
    for (size_t j = 0; j < n; ++j, ++i) {
      char sByte[8];
      std::snprintf(sByte, sizeof(sByte), "\\x%02X",
                    static_cast<unsigned char>(s[i]));
      sOut += sByte;
    }
  }
  return KmString(sOut.c_str());
}

bool HasHiddenSpaceBeside(const KmString& sText) {
  const std::string s(sText.GetCString());
  if (s.empty()) return false;
  if (HiddenSpaceAt(s, 0) > 0) return true;
  for (const char* sSpace : kHiddenSpaces) {
    const size_t n = std::char_traits<char>::length(sSpace);
    if (s.size() >= n && s.compare(s.size() - n, n, sSpace) == 0) return true;
  }
  return false;
}
