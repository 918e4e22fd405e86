#include "foundation/KmIniFile.h"

#include <cstring>

#include "foundation/KmCallPath.h"
#include "foundation/KmFileName.h"
#include "foundation/KmIO_File.h"
#include "foundation/platform/KmPlatform.h"

namespace {

const char kClassName[] = "KmIniFile";

// Open mode of the reader: read, text.
constexpr int32_t kReadTextMode = KmIO_File::kRead | KmIO_File::kText;

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
  KmIO_File file(sFileName_.GetCString(), kReadTextMode);
  // An existing file that cannot be read must not pass for an empty one:
  // every option it holds would silently fall back to its default.
  if (!file.IsOpen()) {
    GenerateKmExceptionF("Unable to open file \"%s\" for reading.", kClassName,
                         sFileName_.GetCString());
  }

  bool bHaveSection = false;
  KmIniSection current(nullptr);
  KmString sLine;
  int32_t iLine = 0;
  while (!file.IsEOF()) {
    file.Read(sLine);
    ++iLine;
    // A zero byte would end every text taken from the line early ("[Sec"
    // for "[Sec\0tion]"): a text file holding one is damaged.
    if (std::strlen(sLine.GetCString()) !=
        static_cast<size_t>(sLine.GetLength())) {
      GenerateKmInputExceptionF(
          "The file \"%s\" is damaged: line %d holds a zero (NUL) byte.",
          kClassName, sFileName_.GetCString(), static_cast<int>(iLine));
    }
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
  file.Close();
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
