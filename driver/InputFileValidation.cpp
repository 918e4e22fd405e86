// ValidateRunFileKeys and ValidateSessionParameters.
#include "driver/InputFileValidation.h"

#include <utility>
#include <vector>

#include "driver/OptionValidation.h"
#include "session/KmUserParamsDict.h"

namespace {

// The sections vNames and the value-label formats of the variables
// ("Format=<name>" and "Format=\"<name>\""), which a session reader reads.
SectionFilter SectionsWithFormats(std::vector<const char*> vNames) {
  const SectionFilter isNamed = SectionsNamed(std::move(vNames));
  return [isNamed](const KmString& sHeader) {
    return KmString(sHeader).MakeLower().StartsWith("[format=") ||
           isNamed(sHeader);
  };
}

const char kRunFileKeys[] =
    "session file|data file|run options file|export options file|output "
    "file";

// Checks one line of "Datafile Options" against its row.
bool IsValidDatafileOption(KmString sKey, KmString sValue,
                           KmString& sMessages) {
  sKey.TrimSpaces();
  sValue.TrimSpaces();
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
  sMessages << "\"" << sKey << "\" is not a valid Session Parameter; use "
            << TableKeysText(pRows, iNumRows) << ".\n";
  return false;
}

// Checks the key of one line of the section "Kinkmark Session
// Parameters".
bool IsValidParameterKey(KmString sKey, KmString& sMessages) {
  sKey.TrimSpaces();
  KmString sLower(sKey);
  sLower.MakeLower();
  if (KmUserParamsDict::IsParameterKey(sLower)) return true;
  sMessages << "\"" << sKey << "\" is not a valid Session Parameter; use "
            << KmUserParamsDict::ParameterKeysText() << ".\n";
  return false;
}

}  // namespace

bool ValidateRunFileKeys(const char* sFileName, KmString& sMessages) {
  const SectionFilter isRead = SectionsNamed({"Kinkmark Input Files"});
  const bool bKeysValid = CheckSectionLines(
      sFileName, isRead,
      [](const KmString& sKey, const KmString&, KmString& sLineMessages) {
        KmString sLower(sKey);
        sLower.TrimSpaces().MakeLower();
        if (WordCode(kRunFileKeys, sLower) >= 0) return true;
        sLineMessages << "\"" << sKey
                      << "\" is not a valid Kinkmark Input Files key; use "
                         "\"Session File\", \"Data File\", \"Run Options "
                         "File\", \"Export Options File\" or \"Output "
                         "File\".\n";
        return false;
      },
      sMessages);
  return bKeysValid && NoSectionOrKeyGivenTwice(sFileName, isRead, sMessages);
}

bool ValidateSessionParameters(const char* sFileName, KmString& sMessages) {
  bool bAllValid = CheckSectionLines(
      sFileName, SectionsNamed({"Datafile Options"}),
      [](const KmString& sKey, const KmString& sValue,
         KmString& sLineMessages) {
        return IsValidDatafileOption(sKey, sValue, sLineMessages);
      },
      sMessages);
  bAllValid =
      CheckSectionLines(
          sFileName, SectionsNamed({"Kinkmark Session Parameters"}),
          [](const KmString& sKey, const KmString&, KmString& sLineMessages) {
            return IsValidParameterKey(sKey, sLineMessages);
          },
          sMessages) &&
      bAllValid;
  return NoSectionOrKeyGivenTwice(
             sFileName,
             SectionsWithFormats(
                 {"Datafile Options", "Kinkmark Session Parameters"}),
             sMessages) &&
         bAllValid;
}

bool ValidateDictionarySections(const char* sFileName, KmString& sMessages) {
  return NoSectionOrKeyGivenTwice(
      sFileName,
      SectionsWithFormats(
          {"System", "Session Options", "Export Options", "Variables",
           "Life Page Variables", "Summary Page Variables",
           "Z-Statistics Page Variables", "Prevalence Page Variables",
           "MPSir O/E Page Variables"}),
      sMessages);
}
