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

// Appends the byte c as "\x" and two upper-case hexadecimal digits.
void AppendHex(std::string& sOut, unsigned char c) {
  char sByte[8];
  std::snprintf(sByte, sizeof(sByte), "\\x%02X", c);
  sOut += sByte;
}

// The length of the UTF-8 character that s holds at iAt, its code point in
// iCode; 0 where the bytes there are no such character (a lone continuation
// byte, a character cut short, an overlong form, a surrogate, beyond
// U+10FFFF).
size_t Utf8At(const std::string& s, size_t iAt, unsigned long& iCode) {
  const auto Byte = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char c = Byte(iAt);
  // The lead byte gives the length, its own bits of the code point and
  // the least code point that length may hold.
  const size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
  const unsigned long kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (n == 0 || c > 0xF4) return 0;
  iCode = c & (0x7F >> n);
  if (iAt + n > s.size()) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((Byte(iAt + i) & 0xC0) != 0x80) return 0;
    iCode = (iCode << 6) | (Byte(iAt + i) & 0x3F);
  }
  const bool bSurrogate = iCode >= 0xD800 && iCode <= 0xDFFF;
  return iCode < kLeast[n] || iCode > 0x10FFFF || bSurrogate ? 0 : n;
}

// True for a character a terminal obeys: a C1 control, or a mark or
// override of the direction in which the text around it is shown.
bool IsObeyed(unsigned long iCode) {
  return (iCode >= 0x80 && iCode <= 0x9F) || iCode == 0x61C ||
         iCode == 0x200E || iCode == 0x200F ||
         (iCode >= 0x202A && iCode <= 0x202E) ||
         (iCode >= 0x2066 && iCode <= 0x2069);
}

// True where a backslash before s[iAt] would read as an escape's start.
bool BeginsEscape(const std::string& s, size_t iAt) {
  return iAt < s.size() &&
         std::char_traits<char>::find("abfnrtvx\\", 9, s[iAt]) != nullptr;
}

// s with the characters ShownMessage writes visibly so written; with
// bName, line feeds, tabs and backslashes as ShownName writes them too.
std::string Shown(const std::string& s, bool bName) {
  static const char kLetters[] = "abtnvfr";  // of the bytes 0x07 to 0x0D
  std::string sOut;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    unsigned long iCode = 0;
    const size_t n = c < 0x80 ? 1 : Utf8At(s, i, iCode);
    if (!bName && c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      // The message's own line break (a call path joins its lines so) is
      // written as the text files' line end.
      ++i;
      continue;
    }
    if (c < 0x80 && (c < 0x20 || c == 0x7F) &&
        (bName || (c != '\n' && c != '\t'))) {
      if (c >= 0x07 && c <= 0x0D) {
        sOut += '\\';
        sOut += kLetters[c - 0x07];
      } else {
        AppendHex(sOut, c);
      }
    } else if (c == '\\' && bName && BeginsEscape(s, i + 1)) {
      sOut += "\\\\";
    } else if (n == 0) {
      // A byte of another encoding: an 8-bit terminal obeys 0x80 to 0x9F.
      if (c < 0xA0) {
        AppendHex(sOut, c);
      } else {
        sOut += s[i];
      }
    } else if (IsObeyed(iCode)) {
      for (size_t j = 0; j < n; ++j) {
        AppendHex(sOut, static_cast<unsigned char>(s[i + j]));
      }
    } else {
      sOut.append(s, i, n);
    }
    i += n == 0 ? 1 : n;
  }
  return sOut;
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
      AppendHex(sOut, static_cast<unsigned char>(s[i]));
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

KmString ShownMessage(const KmString& sText) {
  return KmString(Shown(sText.GetCString(), false));
}

KmString ShownName(const KmString& sText) {
  return KmString(Shown(sText.GetCString(), true));
}

void PrintShown(std::FILE* pStream, const KmString& sText) {
  std::fputs(ShownMessage(sText).GetCString(), pStream);
  std::fflush(pStream);
}
