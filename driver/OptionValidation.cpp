// The shared half of the options validators: the message builder and the
// section scan.
#include "driver/OptionValidation.h"

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
  return bAllValid;
}
