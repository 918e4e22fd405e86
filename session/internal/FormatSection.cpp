// Loading a variable's value labels from its "Format=" section.
#include "session/internal/FormatSection.h"

#include "foundation/KmException.h"

namespace km_session_internal {

bool ReadFormatSection(KmIniFile& ini, const KmString& sVariableName,
                       char cDataType, KmFormat& format) {
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
    fresh.Read(pSection, cDataType, nullptr, nullptr, nullptr);
    format = fresh;
    return true;
  } catch (KmException& e) {
    e.AddCallPath("ReadFormatSection()", "FormatSection",
                  sSectionName.GetCString());
    throw;
  }
}

}  // namespace km_session_internal
