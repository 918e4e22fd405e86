#include "foundation/KmIniFile.h"

#include <string>
#include <unordered_map>

#include "foundation/KmCallPath.h"
#include "foundation/KmFileName.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmLineSource.h"

namespace {

const char kClassName[] = "KmIniFile";

}  // namespace

KmIniFile::KmIniFile(const char* sPath) : KmIniFile(sPath, false) {}

KmIniFile::KmIniFile(const char* sPath, bool bNamedAsGiven) {
  WithCallPath("Constructor()", kClassName, [&] {
    KmFileName fileName(sPath);
    sFileName_ = fileName.GetFullName();
    sShownName_ = bNamedAsGiven ? KmString(sPath) : sFileName_;
    ReadFile();
  });
}

KmIniFile::~KmIniFile() = default;

void KmIniFile::ReadFile() {
  if (!KmIO_File::FileExists(sFileName_.GetCString())) return;
  KmLineSource file("The file");
  // An existing file that cannot be read must not pass for an empty one:
  // every option it holds would silently fall back to its default.
  if (!file.Open(sShownName_.GetCString(), false)) {
    GenerateKmExceptionF("Unable to open file \"%s\" for reading.", kClassName,
                         sShownName_.GetCString());
  }
  KmString sLine;
  int32_t iLine = 0;
  while (file.ReadLine(sLine)) {
    ++iLine;
    sLine.Trim();
    if (sLine.IsEmpty() || sLine.StartsWith(";")) continue;
    if (!sLine.StartsWith("[")) {
      if (!sections_.empty())
        sections_.back().AddLine(sLine.GetCString(), iLine);
      continue;
    }
    // A header read otherwise than as the name it holds would make its
    // section one no reader reads, and every key in it would be ignored.
    KmString sName;
    if (!KmIniSection::ReadHeader(sLine, sName)) {
      GenerateKmInputExceptionF(
          "The file \"%s\", line %d: the section header \"%s\" cannot be "
          "read; write the section's name between \"[\" and \"]\", with "
          "nothing after the \"]\" but a comment beginning with \";\".",
          kClassName, sShownName_.GetCString(), iLine, sLine.GetCString());
    }
    sections_.emplace_back(sLine.GetCString(), iLine);
    sections_.back().SetName(sName.GetCString());
  }
}

std::vector<std::pair<int32_t, int32_t>> KmIniFile::GetSectionsGivenTwice()
    const {
  // Each name, folded as lookups compare it, with its first section and
  // whether its second one was found.
  std::unordered_map<std::string, std::pair<int32_t, bool>> first;
  std::vector<std::pair<int32_t, int32_t>> repeats;
  for (int32_t i = 0; i < GetNumSections(); ++i) {
    KmString sFolded(sections_[static_cast<size_t>(i)].GetName());
    sFolded.MakeLower();
    auto& seen = first.emplace(sFolded.GetCString(), std::make_pair(i, false))
                     .first->second;
    if (seen.first == i || seen.second) continue;
    seen.second = true;
    repeats.emplace_back(seen.first, i);
  }
  return repeats;
}

int32_t KmIniFile::GetKeyLine(const char* sSection, const char* sKey) const {
  const KmIniSection* pSection = GetSection(sSection);
  return pSection == nullptr ? 0 : pSection->GetKeyLine(sKey);
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
