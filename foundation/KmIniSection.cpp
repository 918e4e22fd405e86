#include "foundation/KmIniSection.h"

#include <cstring>
#include <unordered_set>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmYesNo.h"
#include "foundation/platform/KmPlatform.h"

namespace {

const char kClassName[] = "KmIniSection";

// The text of sKey as case-insensitive comparison (KmStricmp) sees it:
// ASCII capitals lowered, ending at the first zero byte.
std::string Folded(const char* sKey) {
  std::string sOut(sKey);
  for (char& c : sOut) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return sOut;
}

KmString BracketedName(const char* sName) {
  KmString sOut;
  if (sName == nullptr) return sOut;
  if (sName[0] == '[') {
    sOut = sName;
  } else {
    sOut << "[" << sName << "]";
  }
  return sOut;
}

// s less the blanks at both ends: every byte from 0x01 to 0x20, as a line
// of the file is trimmed, so that a tab is a blank like a space wherever a
// name, a key or a value is read.
std::string WithoutBlanks(const std::string& s) { return ZdDeblank(s.c_str()); }

// s less one pair of quotes, single or double, that encloses it.
std::string WithoutQuotes(const std::string& s) {
  const bool bQuoted =
      s.size() >= 2 && (s[0] == '"' || s[0] == '\'') && s.back() == s[0];
  return bQuoted ? s.substr(1, s.size() - 2) : s;
}

}  // namespace

KmIniSection::KmIniSection(const char* sHeader, int32_t iLine)
    : sName_(BracketedName(sHeader)),
      sHeaderText_(sHeader == nullptr ? "" : sHeader),
      iLine_(iLine) {}

bool KmIniSection::ReadHeader(const KmString& sHeader, KmString& sName) {
  const std::string sText(sHeader.GetCString());
  if (sText.empty() || sText[0] != '[') return false;
  // The name ends at the first ']' that only blanks or a comment follow,
  // so that a ']' or ';' within a quoted name stays part of it.
  for (size_t iClose = sText.find(']'); iClose != std::string::npos;
       iClose = sText.find(']', iClose + 1)) {
    const std::string sRest = WithoutBlanks(sText.substr(iClose + 1));
    if (!sRest.empty() && sRest[0] != ';') continue;
    std::string sInner = WithoutBlanks(sText.substr(1, iClose - 1));
    const size_t iEquals = sInner.find('=');
    if (iEquals != std::string::npos) {
      // A name after '=' may be written in quotes ([Format="Region"]),
      // as a name holding a delimiter is; the quotes are no part of it.
      sInner = WithoutBlanks(sInner.substr(0, iEquals)) + "=" +
               WithoutBlanks(
                   WithoutQuotes(WithoutBlanks(sInner.substr(iEquals + 1))));
    }
    if (sInner.empty()) return false;
    sName = ("[" + sInner + "]").c_str();
    return true;
  }
  return false;
}

KmIniSection::~KmIniSection() = default;

void KmIniSection::SetName(const char* sName) { sName_ = BracketedName(sName); }

void KmIniSection::AddLine(const char* sLine, int32_t iLine) {
  WithCallPath("AddLine()", kClassName, [&] {
    if (sLine == nullptr) return;
    KmString sKey;
    KmString sValue;
    SplitLine(sLine, sKey, sValue);
    SetString(sKey.GetCString(), sValue.GetCString());
    lines_.push_back(KeyLine{iLine, KmString(sLine), sKey, sValue});
  });
}

int32_t KmIniSection::GetKeyLine(const char* sKey) const {
  if (sKey == nullptr) return 0;
  const std::string sFolded = Folded(sKey);
  for (const KeyLine& line : lines_) {
    if (Folded(line.sKey.GetCString()) == sFolded) return line.iLine;
  }
  return 0;
}

std::vector<KmIniSection::Repeat> KmIniSection::GetKeysGivenTwice() const {
  std::unordered_map<std::string, size_t> first;  // folded key: its line
  std::unordered_set<std::string> named;
  std::vector<Repeat> repeats;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string sFolded = Folded(lines_[i].sKey.GetCString());
    const KeyLine& firstLine = lines_[first.emplace(sFolded, i).first->second];
    if (firstLine.sValue == lines_[i].sValue || named.count(sFolded) > 0) {
      continue;
    }
    named.insert(sFolded);
    repeats.push_back(Repeat{&firstLine, &lines_[i]});
  }
  return repeats;
}

void KmIniSection::SplitLine(const char* sLine, KmString& sKey,
                             KmString& sValue) {
  const char* pEquals = std::strchr(sLine, '=');
  std::string sBefore;
  std::string sAfter;
  if (pEquals == nullptr) {
    sBefore = sLine;
  } else {
    sBefore.assign(sLine, static_cast<size_t>(pEquals - sLine));
    sAfter = pEquals + 1;
  }
  sKey = WithoutBlanks(sBefore).c_str();
  sValue = WithoutBlanks(sAfter).c_str();
}

bool KmIniSection::IsNamed(const char* sHeader, const char* sName) {
  return KmStricmp(BracketedName(sHeader).GetCString(),
                   BracketedName(sName).GetCString()) == 0;
}

void KmIniSection::SetString(const char* sKey, const char* sValue) {
  WithCallPath("SetString()", kClassName, [&] {
    const int32_t iIndex = GetKeyIndex(sKey == nullptr ? "" : sKey);
    if (iIndex >= 0) {
      keys_[static_cast<size_t>(iIndex)] = sKey;
      values_[static_cast<size_t>(iIndex)] = sValue;
    } else {
      keys_.emplace_back(sKey);
      values_.emplace_back(sValue);
      index_.emplace(Folded(keys_.back().GetCString()),
                     static_cast<int32_t>(keys_.size() - 1));
    }
  });
}

int32_t KmIniSection::GetKeyIndex(const char* sKey) const {
  if (sKey == nullptr) return -1;
  const auto found = index_.find(Folded(sKey));
  return found == index_.end() ? -1 : found->second;
}

void KmIniSection::GetString(KmString& sOut, const char* sKey) const {
  WithCallPath("GetString(Keyname)", kClassName, [&] {
    const int32_t iIndex = GetKeyIndex(sKey);
    if (iIndex < 0) {
      sOut.Clear();
    } else {
      sOut = values_[static_cast<size_t>(iIndex)];
    }
  });
}

void KmIniSection::GetString(KmString& sOut, const char* sKey,
                             const char* sDefault) const {
  WithCallPath("GetString()", kClassName, [&] {
    KmString sValue;
    GetString(sValue, sKey);
    sValue.Trim();
    if (sValue.IsEmpty()) {
      sOut = sDefault;
    } else {
      sOut = sValue;
    }
  });
}

bool KmIniSection::GetBool(const char* sKey, bool bDefault,
                           const char* sFileName) const {
  return WithCallPath("GetBool()", kClassName, [&]() -> bool {
    const int32_t iIndex = GetKeyIndex(sKey);
    if (iIndex < 0) return bDefault;
    const KmString& sValue = values_[static_cast<size_t>(iIndex)];
    if (sValue.IsEmpty()) return bDefault;
    const YesNo read = ReadYesNo(sValue);
    if (read != YesNo::kNeither) return read == YesNo::kYes;
    KmString sText;
    if (sFileName != nullptr) sText << "The file \"" << sFileName << "\"";
    const int32_t iLine = GetKeyLine(sKey);
    if (iLine > 0) sText << (sText.IsEmpty() ? "Line " : ", line ") << iLine;
    if (!sText.IsEmpty()) sText << ": ";
    sText << YesNoRefusalText(keys_[static_cast<size_t>(iIndex)], sValue);
    GenerateKmInputExceptionF("%s", kClassName, sText.GetCString());
  });
}

void KmIniSection::GetKeyByIndex(KmString& sOut, int32_t iIndex) const {
  WithCallPath("GetKeyByIndex()", kClassName, [&] {
    if (iIndex < 0 || iIndex >= GetNumKeys()) {
      sOut.Clear();
    } else {
      sOut = keys_[static_cast<size_t>(iIndex)];
    }
  });
}

void KmIniSection::GetValueByIndex(KmString& sOut, int32_t iIndex) const {
  WithCallPath("GetValueByIndex()", kClassName, [&] {
    if (iIndex < 0 || iIndex >= GetNumKeys()) {
      sOut.Clear();
    } else {
      sOut = values_[static_cast<size_t>(iIndex)];
    }
  });
}
