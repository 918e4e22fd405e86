// KmFormat: Read, which loads a format from an ini section.
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmIniSection.h"

void KmFormat::Read(const KmIniSection* pSection, char cDefaultType,
                    const KmIniSection* pCaseSection,
                    const KmIniSection* pSecondSection,
                    const KmIniSection* pTypeSection) {
  DropSearchIndex();
  std::vector<KmFormatLine> vPrevious;
  bool bLinesTaken = false;
  try {
    if (pSection == nullptr) GenerateKmException("Null buffer", "KmFormat");
    SetName(pSection->GetName().GetCString());
    const char* sName = sName_.GetCString();
    bCaseSensitive_ =
        pCaseSection ? pCaseSection->GetBool(sName, true, nullptr) : true;
    bSecondFlag_ =
        pSecondSection ? pSecondSection->GetBool(sName, true, nullptr) : true;
    cDataType_ = cDefaultType;
    if (pTypeSection != nullptr) {
      KmString sType;
      pTypeSection->GetString(sType, sName);
      if (!sType.IsEmpty()) cDataType_ = sType.GetCString()[0];
    }

    vPrevious.swap(vLines_);
    bLinesTaken = true;
    KmString sKey;
    KmString sValue;
    for (int32_t i = 0; i < pSection->GetNumKeys(); ++i) {
      pSection->GetKeyByIndex(sKey, i);
      pSection->GetValueByIndex(sValue, i);
      AddLine(sKey.GetCString(), sValue.GetCString(), -1);
    }
  } catch (KmException& e) {
    // A section whose lines cannot be read leaves the lines as they were.
    if (bLinesTaken) vLines_.swap(vPrevious);
    e.AddCallPath("Read()", "KmFormat");
    throw;
  }
}
