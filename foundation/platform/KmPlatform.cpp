#include "foundation/platform/KmPlatform.h"

#include <vector>

#include "foundation/platform/KmFileSystem.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The components of sText between separators of either kind, without empty
// and "." components.
std::vector<std::string> SplitComponents(const std::string& sText) {
  std::vector<std::string> parts;
  std::string current;
  for (size_t i = 0; i <= sText.size(); ++i) {
    if (i == sText.size() || IsSeparator(sText[i])) {
      if (!current.empty() && current != ".") parts.push_back(current);
      current.clear();
    } else {
      current += sText[i];
    }
  }
  return parts;
}

// parts with each ".." removing the component before it; a ".." with
// nothing before it is dropped (nothing climbs above the root).
std::vector<std::string> CollapseParents(
    std::vector<std::string>::const_iterator first,
    std::vector<std::string>::const_iterator last) {
  std::vector<std::string> out;
  for (; first != last; ++first) {
    if (*first != "..") {
      out.push_back(*first);
    } else if (!out.empty()) {
      out.pop_back();
    }
  }
  return out;
}

std::string Join(const std::vector<std::string>& parts, char cSeparator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += cSeparator;
    out += parts[i];
  }
  return out;
}

}  // namespace

bool KmGetFullPathName(const char* sPath, std::string& sFull) {
  if (sPath == nullptr || *sPath == '\0') return false;
  const std::string sText(sPath);
  const bool bTrailing = IsSeparator(sText.back());
  std::string sResult;
  char cSeparator = '\\';

  if (sText.size() >= 2 && IsAsciiLetter(sText[0]) && sText[1] == ':') {
    // Drive form: lexical resolution from the drive's root.
    std::vector<std::string> parts = SplitComponents(sText.substr(2));
    sResult = sText.substr(0, 2) + "\\" +
              Join(CollapseParents(parts.begin(), parts.end()), '\\');
  } else if (sText.size() >= 2 && sText[0] == '\\' && sText[1] == '\\') {
    // UNC form: the server and the share are a fixed prefix that ".." never
    // climbs above.
    std::vector<std::string> parts = SplitComponents(sText.substr(2));
    auto prefixEnd = parts.begin() + (parts.size() < 2 ? parts.size() : 2);
    std::vector<std::string> prefix(parts.begin(), prefixEnd);
    std::vector<std::string> rest = CollapseParents(prefixEnd, parts.end());
    sResult = "\\\\" + Join(prefix, '\\');
    if (!rest.empty()) sResult += "\\" + Join(rest, '\\');
  } else {
    // Native form. ".." stays: collapsing it by text could name another
    // file when the directory before it is a symbolic link.
    cSeparator = '/';
    std::string sAbsolute = sText;
    if (!IsSeparator(sText[0])) {
      std::string sDir;
      if (!KmGetFileSystem().GetCurrentDirectory(sDir)) return false;
      sAbsolute = sDir + "/" + sText;
    }
    sResult = "/" + Join(SplitComponents(sAbsolute), '/');
  }

  if (bTrailing && !IsSeparator(sResult.back())) sResult += cSeparator;
  sFull = sResult;
  return true;
}

std::string KmNativePath(const std::string& sPath) {
  std::string sNative = sPath;
  for (char& c : sNative) {
    if (c == '\\') c = '/';
  }
  return sNative;
}

bool KmAccessExists(const char* sPath) {
  if (sPath == nullptr) return false;
  return KmGetFileSystem().Exists(sPath);
}

int KmStricmp(const char* sLeft, const char* sRight) {
  for (;; ++sLeft, ++sRight) {
    const int iLeft = static_cast<unsigned char>(LowerAscii(*sLeft));
    const int iRight = static_cast<unsigned char>(LowerAscii(*sRight));
    if (iLeft != iRight || iLeft == 0) return iLeft - iRight;
  }
}
