#include "foundation/KmIniFile.h"

#include <cstring>

#include "foundation/KmCallPath.h"
#include "foundation/KmFileName.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmLineSource.h"
#include "foundation/platform/KmPlatform.h"

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
  KmLineSource file("The file");
  // An existing file that cannot be read must not pass for an empty one:
  // every option it holds would silently fall back to its default.
  if (!file.Open(sFileName_.GetCString(), false)) {
    GenerateKmExceptionF("Unable to open file \"%s\" for reading.", kClassName,
                         sFileName_.GetCString());
  }

  bool bHaveSection = false;
  KmIniSection current(nullptr);
  KmString sLine;
  while (file.ReadLine(sLine)) {
    sLine.Trim();
    if (sLine.IsEmpty() || sLine.StartsWith(";")) continue;
    if (sLine.StartsWith("[")) {
      if (bHaveSection) sections_.push_back(current);
      current = KmIniSection(sLine.TrimSpaces().GetCString());
      bHaveSection = true;
    } else if (bHaveSection) {
      current.AddLine(sLine.GetCString());
    }
  }
  if (bHaveSection) sections_.push_back(current);
}

void KmIniFile::AddSection(const KmIniSection* pSection) {
  WithCallPath("AddSection(KmIniSection*)", kClassName, [&] {
    if (pSection != nullptr) sections_.push_back(*pSection);
  });
}

int32_t KmIniFile::GetSectionIndex(const char* sName) const {
  return WithCallPath("GetSectionIndex()", kClassName, [&]() -> int32_t {
    const KmString sGiven(sName);
    KmString sWanted;
    // The first character decides the brackets; an empty name has none and
    // fails here with the string's index error.
    if (sGiven[0] == '[') {
      sWanted = sGiven;
    } else {
      sWanted << "[" << sGiven << "]";
    }
    for (size_t i = 0; i < sections_.size(); ++i) {
      if (KmStricmp(sections_[i].GetName().GetCString(),
                    sWanted.GetCString()) == 0) {
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
