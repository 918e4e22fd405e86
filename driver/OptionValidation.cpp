// The shared half of the options validators: the message builder and the
// section scan.
#include "driver/OptionValidation.h"

#include <cstdint>
#include <map>
#include <string>

#include "foundation/KmIO_File.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmIniSection.h"

void AppendOptionMessage(const char* sOptionKind, bool bBadKey,
                         const KmString& sKey, const KmString& sValue,
                         KmString& sMessages) {
  if (bBadKey) {
    sMessages << "\"" << sKey << "\" is not a valid ";
  } else {
    sMessages << "\"" << sValue << "\" is not a valid value for the \"" << sKey
              << "\" ";
  }
  sMessages << sOptionKind << " Option.\n";
}

bool NoKeyGivenTwice(const char* sFileName, KmString& sMessages) {
  // The first line of each key of the section, and whether it was named.
  struct FirstLine {
    int32_t iLine;
    KmString sKey;
    KmString sText;
    KmString sValue;
    bool bNamed;
  };
  std::map<std::string, FirstLine> section;
  bool bNone = true;
  if (!KmIO_File::FileExists(sFileName)) return true;
  KmIniFile::ScanNumberedLines(
      sFileName, [&](const KmString&, int32_t) { section.clear(); },
      [&](const KmString& sLine, int32_t iLine) {
        KmString sKey;
        KmString sValue;
        KmIniSection::SplitLine(sLine.GetCString(), sKey, sValue);
        const auto inserted =
            section.emplace(KmString(sKey).MakeLower().GetCString(),
                            FirstLine{iLine, sKey, sLine, sValue, false});
        FirstLine& first = inserted.first->second;
        if (inserted.second || first.sValue == sValue || first.bNamed) return;
        first.bNamed = true;
        bNone = false;
        sMessages << "The file \"" << sFileName << "\" gives the key \""
                  << first.sKey << "\" twice with different values: line "
                  << first.iLine << " \"" << first.sText << "\" and line "
                  << iLine << " \"" << sLine << "\".  Give each key once.\n";
      });
  return bNone;
}

bool ValidateOptionsSection(
    const char* sFileName, const char* sSection,
    const std::function<bool(const KmString&, const KmString&)>& isValid,
    KmString& sMessages) {
  bool bInSection = false;
  bool bFound = false;
  bool bAllValid = true;
  if (KmIO_File::FileExists(sFileName)) {
    KmIniFile::ScanLines(
        sFileName,
        [&](const KmString& sHeader) {
          // Only the first section of the name is read by the options
          // readers; a later one of the same name is ignored, as they
          // ignore it.
          bInSection =
              !bFound && KmIniSection::IsNamed(sHeader.GetCString(), sSection);
          bFound = bFound || bInSection;
        },
        [&](const KmString& sLine) {
          if (!bInSection) return;
          KmString sKey;
          KmString sValue;
          KmIniSection::SplitLine(sLine.GetCString(), sKey, sValue);
          if (!isValid(sKey, sValue)) bAllValid = false;
        });
  }
  if (!bFound) {
    sMessages << "Missing [" << sSection << "] in Options file: " << sFileName
              << "\n";
    return false;
  }
  return NoKeyGivenTwice(sFileName, sMessages) && bAllValid;
}
