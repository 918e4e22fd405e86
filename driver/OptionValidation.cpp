// The shared half of the options validators: the message builder and the
// section scan.
#include "driver/OptionValidation.h"

#include "foundation/KmIO_File.h"
#include "foundation/KmLineSource.h"

namespace {

// The key and value of a trimmed key line as the ini reader splits it: at
// the first '=', each side trimmed of spaces; no '=' gives an empty value.
void SplitKeyLine(const KmString& sLine, KmString& sKey, KmString& sValue) {
  const int32_t iEquals = sLine.Find("=");
  KmString sCopy(sLine);
  if (iEquals < 0) {
    sKey = sLine;
    sValue = "";
  } else {
    sCopy.GetSubstring(sKey, 0, iEquals);
    sCopy.GetSubstring(sValue, iEquals + 1, -1);
  }
  sKey.TrimSpaces();
  sValue.TrimSpaces();
}

}  // namespace

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
  KmString sHeader;
  sHeader << "[" << sSection << "]";
  sHeader.MakeLower();

  bool bInSection = false;
  bool bFound = false;
  bool bAllValid = true;
  if (KmIO_File::FileExists(sFileName)) {
    KmLineSource file("The file");
    file.Open(sFileName, false);
    KmString sLine;
    while (file.ReadLine(sLine)) {
      sLine.Trim();
      if (sLine.IsEmpty() || sLine.StartsWith(";")) continue;
      if (sLine.StartsWith("[")) {
        // Only the first section of the name is read by the options
        // readers; a later one of the same name is ignored, as they ignore
        // it.
        KmString sName(sLine);
        sName.TrimSpaces().MakeLower();
        bInSection = !bFound && sName == sHeader;
        bFound = bFound || bInSection;
        continue;
      }
      if (!bInSection) continue;
      KmString sKey;
      KmString sValue;
      SplitKeyLine(sLine, sKey, sValue);
      if (!isValid(sKey, sValue)) bAllValid = false;
    }
  }
  if (!bFound) {
    sMessages << "Missing [" << sSection << "] in Options file: " << sFileName
              << "\n";
    return false;
  }
  return bAllValid;
}
