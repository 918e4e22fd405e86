// Fuzz target: the ini-file reader, every section and key read back.
#include <cstddef>
#include <cstdint>

#include "foundation/KmIniFile.h"
#include "foundation/KmIniSection.h"
#include "tests/fuzz/FuzzFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t uSize) {
  const std::string sPath = km_fuzz::WriteFile("file.ini", pData, uSize);
  km_fuzz::ReadOrRefuse([&] {
    const KmIniFile file(sPath.c_str());
    KmString sKey;
    KmString sValue;
    for (int32_t s = 0; s < file.GetNumSections(); ++s) {
      const KmIniSection* pSection = file.GetSectionByIndex(s);
      file.GetSectionIndex(pSection->GetName().GetCString());
      for (int32_t k = 0; k < pSection->GetNumKeys(); ++k) {
        pSection->GetKeyByIndex(sKey, k);
        pSection->GetValueByIndex(sValue, k);
        pSection->GetKeyIndex(sKey.GetCString());
      }
    }
  });
  return 0;
}
