// ValidateRunFileKeys and ValidateSessionParameters.
#include "driver/InputFileValidation.h"

#include "driver/OptionValidation.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmIniSection.h"
#include "session/KmUserParamsDict.h"

namespace {

const char kRunFileKeys[] =
    "session file|data file|run options file|export options file|output "
    "file";

// Calls check(key, value) for each key line of section; true when every
// call returned true.
template <typename Check>
bool CheckEveryKey(const KmIniSection& section, Check check) {
  bool bAllValid = true;
  for (int32_t i = 0; i < section.GetNumKeys(); ++i) {
    KmString sKey;
    KmString sValue;
    section.GetKeyByIndex(sKey, i);
    section.GetValueByIndex(sValue, i);
    sKey.TrimSpaces();
    sValue.TrimSpaces();
    if (!check(sKey, sValue)) bAllValid = false;
  }
  return bAllValid;
}

// Checks one line of "Datafile Options" against its row.
bool IsValidDatafileOption(const KmString& sKey, const KmString& sValue,
                           KmString& sMessages) {
  KmString sLowerKey(sKey);
  sLowerKey.MakeLower();
  size_t iNumRows = 0;
  const OptionRow* pRows = KmUserParamsDict::DatafileOptionRows(iNumRows);
  for (size_t i = 0; i < iNumRows; ++i) {
    const OptionRow& row = pRows[i];
    if (!IsKeyOfRow(row, sLowerKey)) continue;
    KmString sCompared(sValue);
    if (row.valueClass == OptionValueClass::kBool) sCompared.MakeLower();
    if (IsValueOfRow(row, sCompared)) return true;
    const char* sWords =
        row.valueClass == OptionValueClass::kBool ? "true|false" : row.sWords;
    sMessages << "\"" << sValue << "\" is not a valid value for the \"" << sKey
              << "\" Session Parameter; use " << WordListText(sWords) << ".\n";
    return false;
  }
  sMessages << "\"" << sKey << "\" is not a valid Session Parameter.\n";
  return false;
}

}  // namespace

bool ValidateRunFileKeys(const KmIniSection& section, KmString& sMessages) {
  return CheckEveryKey(section, [&](const KmString& sKey, const KmString&) {
    KmString sLower(sKey);
    sLower.MakeLower();
    if (WordCode(kRunFileKeys, sLower) >= 0) return true;
    sMessages << "\"" << sKey
              << "\" is not a valid Kinkmark Input Files key; use \"Session "
                 "File\", \"Data File\", \"Run Options File\", \"Export "
                 "Options File\" or \"Output File\".\n";
    return false;
  });
}

bool ValidateSessionParameters(const char* sFileName, KmString& sMessages) {
  const KmIniFile ini(sFileName);
  bool bAllValid = NoKeyGivenTwice(sFileName, sMessages);
  const KmIniSection* pDatafile = ini.GetSection("Datafile Options");
  if (pDatafile != nullptr) {
    bAllValid =
        CheckEveryKey(*pDatafile,
                      [&](const KmString& sKey, const KmString& sValue) {
                        return IsValidDatafileOption(sKey, sValue, sMessages);
                      }) &&
        bAllValid;
  }
  const KmIniSection* pParameters =
      ini.GetSection("Kinkmark Session Parameters");
  if (pParameters != nullptr) {
    bAllValid = CheckEveryKey(*pParameters,
                              [&](const KmString& sKey, const KmString&) {
                                KmString sLower(sKey);
                                sLower.MakeLower();
                                if (KmUserParamsDict::IsParameterKey(sLower)) {
                                  return true;
                                }
                                sMessages << "\"" << sKey
                                          << "\" is not a valid Session "
                                             "Parameter.\n";
                                return false;
                              }) &&
                bAllValid;
  }
  return bAllValid;
}
