#include "foundation/KmIniFile.h"

#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmFileName.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmLineSource.h"

namespace {

const char kClassName[] = "KmIniFile";

}  // namespace

KmIniFile::KmIniFile(const char* sPath) {
  WithCallPath("Constructor()", kClassName, [&] {
    KmFileName fileName(sPath);
    sFileName_ = fileName.GetFullName();
    ReadFile();
  });
}

KmIniFile::~KmIniFile() = default;

void KmIniFile::ReadFile() {
  if (!KmIO_File::FileExists(sFileName_.GetCString())) return;
  bool bHaveSection = false;
  KmIniSection current(nullptr);
  const bool bOpened = ScanLines(
      sFileName_.GetCString(),
      [&](const KmString& sHeader) {
        if (bHaveSection) sections_.push_back(current);
        current = KmIniSection(sHeader.GetCString());
        bHaveSection = true;
      },
      [&](const KmString& sLine) {
        if (bHaveSection) current.AddLine(sLine.GetCString());
      });
  // An existing file that cannot be read must not pass for an empty one:
  // every option it holds would silently fall back to its default.
  if (!bOpened) {
    GenerateKmExceptionF("Unable to open file \"%s\" for reading.", kClassName,
                         sFileName_.GetCString());
  }
  if (bHaveSection) sections_.push_back(current);
}

bool KmIniFile::ScanLines(
    const char* sPath,
    const std::function<void(const KmString& sHeader)>& onHeader,
    const std::function<void(const KmString& sLine)>& onKeyLine) {
  return ScanNumberedLines(
      sPath, [&](const KmString& sHeader, int32_t) { onHeader(sHeader); },
      [&](const KmString& sLine, int32_t) { onKeyLine(sLine); });
}

bool KmIniFile::ScanNumberedLines(
    const char* sPath,
    const std::function<void(const KmString& sHeader, int32_t iLine)>& onHeader,
    const std::function<void(const KmString& sLine, int32_t iLine)>&
        onKeyLine) {
  KmLineSource file("The file");
  if (!file.Open(sPath, false)) return false;
  KmString sLine;
  int32_t iLine = 0;
  while (file.ReadLine(sLine)) {
    ++iLine;
    sLine.Trim();
    if (sLine.IsEmpty() || sLine.StartsWith(";")) continue;
    if (sLine.StartsWith("[")) {
      onHeader(sLine.TrimSpaces(), iLine);
    } else {
      onKeyLine(sLine, iLine);
    }
  }
  return true;
}

int32_t KmIniFile::FindKeyLine(const char* sPath, const char* sSection,
                               const char* sKey) {
  KmString sWantedHeader("[");
  sWantedHeader << sSection << "]";
  sWantedHeader.MakeLower();
  KmString sWantedKey(sKey);
  sWantedKey.Trim();
  sWantedKey.MakeLower();
  bool bInSection = false;
  int32_t iFound = 0;
  ScanNumberedLines(
      sPath,
      [&](const KmString& sHeader, int32_t) {
        KmString sLower(sHeader);
        sLower.MakeLower();
        bInSection = sLower == sWantedHeader;
      },
      [&](const KmString& sLine, int32_t iLine) {
        if (!bInSection || iFound > 0) return;
        const std::string sText(sLine.GetCString());
        KmString sLineKey(sText.substr(0, sText.find('=')).c_str());
        sLineKey.Trim();
        sLineKey.MakeLower();
        if (sLineKey == sWantedKey) iFound = iLine;
      });
  return iFound;
}

void KmIniFile::AddSection(const KmIniSection* pSection) {
  WithCallPath("AddSection(KmIniSection*)", kClassName, [&] {
    if (pSection != nullptr) sections_.push_back(*pSection);
  });
}

int32_t KmIniFile::GetSectionIndex(const char* sName) const {
  return WithCallPath("GetSectionIndex()", kClassName, [&]() -> int32_t {
    // The first character decides the brackets; an empty name has none and
    // fails here with the string's index error.
    static_cast<void>(KmString(sName)[0]);
    for (size_t i = 0; i < sections_.size(); ++i) {
      if (KmIniSection::IsNamed(sections_[i].GetName().GetCString(), sName)) {
        return static_cast<int32_t>(i);
      }
    }
    return -1;
  });
}

KmIniSection* KmIniFile::GetSection(const char* sName) {
  return const_cast<KmIniSection*>(
      static_cast<const KmIniFile*>(this)->GetSection(sName));
}

const KmIniSection* KmIniFile::GetSection(const char* sName) const {
  return WithCallPath("GetSection()", kClassName, [&]() -> const KmIniSection* {
    const int32_t iIndex = GetSectionIndex(sName);
    return iIndex < 0 ? nullptr : &sections_[static_cast<size_t>(iIndex)];
  });
}

KmIniSection* KmIniFile::GetSectionByIndex(int32_t iIndex) {
  return const_cast<KmIniSection*>(
      static_cast<const KmIniFile*>(this)->GetSectionByIndex(iIndex));
}

const KmIniSection* KmIniFile::GetSectionByIndex(int32_t iIndex) const {
  if (iIndex < 0 || iIndex >= GetNumSections()) return nullptr;
  return &sections_[static_cast<size_t>(iIndex)];
}
