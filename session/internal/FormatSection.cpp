// Loading a variable's value labels from its "Format=" section.
#include "session/internal/FormatSection.h"

#include "foundation/KmException.h"

namespace km_session_internal {

namespace {

// The number of the first line of section (named sSectionName, without
// brackets) of ini that a format of data type cDataType cannot read; 0
// when there is none or its line cannot be found.
int32_t FirstUnreadableLine(const KmIniFile& ini, const KmIniSection& section,
                            const KmString& sSectionName, char cDataType) {
  for (int32_t i = 0; i < section.GetNumKeys(); ++i) {
    KmString sKey;
    KmString sValue;
    section.GetKeyByIndex(sKey, i);
    section.GetValueByIndex(sValue, i);
    KmIniSection line(section.GetName().GetCString());
    line.SetString(sKey.GetCString(), sValue.GetCString());
    try {
      KmFormat().Read(&line, cDataType, nullptr, nullptr, nullptr);
    } catch (KmException&) {
      return KmIniFile::FindKeyLine(ini.GetFileName().GetCString(),
                                    sSectionName.GetCString(),
                                    sKey.GetCString());
    }
  }
  return 0;
}

}  // namespace

bool ReadFormatSection(KmIniFile& ini, const KmString& sVariableName,
                       char cDataType, const KmString& sShownFile,
                       KmFormat& format) {
  KmString sSectionName;
  try {
    sSectionName << "Format=" << sVariableName;
    KmIniSection* pSection = ini.GetSection(sSectionName.GetCString());
    if (pSection == nullptr) {
      // Names holding the delimiter are written in quotes.
      sSectionName.Clear();
      sSectionName << "Format=\"" << sVariableName << "\"";
      pSection = ini.GetSection(sSectionName.GetCString());
    }
    if (pSection == nullptr) return false;
    KmFormat fresh;
    try {
      fresh.Read(pSection, cDataType, nullptr, nullptr, nullptr);
    } catch (KmException& e) {
      // The format's own message names neither the file nor the line.
      KmString sMessage("Session file \"");
      sMessage << sShownFile << "\"";
      const int32_t iLine =
          FirstUnreadableLine(ini, *pSection, sSectionName, cDataType);
      if (iLine > 0) sMessage << ", line " << iLine;
      sMessage << " of [" << sSectionName << "]: " << e.GetMessage();
      e.SetMessage(sMessage.GetCString());
      throw;
    }
    format = fresh;
    return true;
  } catch (KmException& e) {
    e.AddCallPath("ReadFormatSection()", "FormatSection",
                  sSectionName.GetCString());
    throw;
  }
}

}  // namespace km_session_internal
