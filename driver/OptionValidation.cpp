// The shared half of the options validators: the message builder, the
// section scan and the rule of a section or key given twice.
#include "driver/OptionValidation.h"

#include <cstdint>
#include <map>
#include <string>

#include "foundation/KmIO_File.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmIniSection.h"

void AppendOptionMessage(const char* sOptionKind, bool bBadKey,
                         const KmString& sKey, const KmString& sValue,
                         const KmString& sValidKeys, KmString& sMessages) {
  if (bBadKey) {
    sMessages << "\"" << sKey << "\" is not a valid " << sOptionKind
              << " Option; use " << sValidKeys << ".\n";
  } else {
    sMessages << "\"" << sValue << "\" is not a valid value for the \"" << sKey
              << "\" " << sOptionKind << " Option.\n";
  }
}

SectionFilter SectionsNamed(std::vector<const char*> vNames) {
  return [vNames](const KmString& sHeader) {
    for (const char* sName : vNames) {
      if (KmIniSection::IsNamed(sHeader.GetCString(), sName)) return true;
    }
    return false;
  };
}

namespace {

// The first line of a section or key, for the message of its second.
struct FirstLine {
  int32_t iLine;
  KmString sName;
  KmString sText;
  KmString sValue;
  bool bNamed;
};

// sName folded as the reader compares names: without regard to case.
std::string Folded(const KmString& sName) {
  return KmString(sName).MakeLower().GetCString();
}

}  // namespace

bool NoSectionOrKeyGivenTwice(const char* sFileName,
                              const SectionFilter& isRead,
                              KmString& sMessages) {
  std::map<std::string, FirstLine> sections;
  std::map<std::string, FirstLine> keys;  // of the current section
  bool bInRead = false;
  bool bNone = true;
  if (!KmIO_File::FileExists(sFileName)) return true;
  KmIniFile::ScanNumberedLines(
      sFileName,
      [&](const KmString& sHeader, int32_t iLine) {
        keys.clear();
        bInRead = isRead(sHeader);
        if (!bInRead) return;
        const auto inserted = sections.emplace(
            Folded(sHeader),
            FirstLine{iLine, sHeader, sHeader, KmString(), false});
        FirstLine& first = inserted.first->second;
        if (inserted.second || first.bNamed) return;
        first.bNamed = true;
        bNone = false;
        sMessages << "The file \"" << sFileName << "\" gives the section \""
                  << first.sName << "\" twice: line " << first.iLine << " \""
                  << first.sText << "\" and line " << iLine << " \"" << sHeader
                  << "\".  Give each section once.\n";
      },
      [&](const KmString& sLine, int32_t iLine) {
        if (!bInRead) return;
        KmString sKey;
        KmString sValue;
        KmIniSection::SplitLine(sLine.GetCString(), sKey, sValue);
        const auto inserted = keys.emplace(
            Folded(sKey), FirstLine{iLine, sKey, sLine, sValue, false});
        FirstLine& first = inserted.first->second;
        if (inserted.second || first.sValue == sValue || first.bNamed) return;
        first.bNamed = true;
        bNone = false;
        sMessages << "The file \"" << sFileName << "\" gives the key \""
                  << first.sName << "\" twice with different values: line "
                  << first.iLine << " \"" << first.sText << "\" and line "
                  << iLine << " \"" << sLine << "\".  Give each key once.\n";
      });
  return bNone;
}

bool CheckSectionLines(const char* sFileName, const SectionFilter& isRead,
                       const LineCheck& check, KmString& sMessages,
                       bool* pbFound) {
  bool bInRead = false;
  bool bFound = false;
  bool bAllValid = true;
  if (KmIO_File::FileExists(sFileName)) {
    KmIniFile::ScanNumberedLines(
        sFileName,
        [&](const KmString& sHeader, int32_t) {
          bInRead = isRead(sHeader);
          bFound = bFound || bInRead;
        },
        [&](const KmString& sLine, int32_t iLine) {
          if (!bInRead) return;
          KmString sKey;
          KmString sValue;
          KmIniSection::SplitLine(sLine.GetCString(), sKey, sValue);
          KmString sLineMessages;
          if (check(sKey, sValue, sLineMessages)) return;
          bAllValid = false;
          // Each message of the line gets the line's place.
          const std::string sText(sLineMessages.GetCString());
          size_t iStart = 0;
          while (iStart < sText.size()) {
            size_t iEnd = sText.find('\n', iStart);
            iEnd = iEnd == std::string::npos ? sText.size() : iEnd + 1;
            sMessages << "The file \"" << sFileName << "\", line " << iLine
                      << ": " << sText.substr(iStart, iEnd - iStart).c_str();
            iStart = iEnd;
          }
        });
  }
  if (pbFound != nullptr) *pbFound = bFound;
  return bAllValid;
}

bool ValidateOptionsSection(const char* sFileName, const char* sSection,
                            const LineCheck& isValid, KmString& sMessages) {
  const SectionFilter isRead = SectionsNamed({sSection});
  bool bFound = false;
  const bool bAllValid =
      CheckSectionLines(sFileName, isRead, isValid, sMessages, &bFound);
  if (!bFound) {
    sMessages << "Missing [" << sSection << "] in Options file: " << sFileName
              << "\n";
    return false;
  }
  return NoSectionOrKeyGivenTwice(sFileName, isRead, sMessages) && bAllValid;
}
