// ValidateRunFileKeys and ValidateSessionParameters.
#include "driver/InputFileValidation.h"

#include <iterator>
#include <utility>
#include <vector>

#include "driver/OptionValidation.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmShownText.h"
#include "foundation/KmYesNo.h"
#include "foundation/platform/KmPlatform.h"
#include "session/KmUserParamsDict.h"
#include "session/VSExportDict.h"

namespace {

// The sections vNames and the value-label formats of the variables
// ("Format=<name>" and "Format=\"<name>\""), which a session reader reads.
SectionFilter SectionsWithFormats(std::vector<const char*> vNames) {
  const SectionFilter isNamed = SectionsNamed(std::move(vNames));
  return [isNamed](const KmString& sName) {
    return KmString(sName).MakeLower().StartsWith("[format=") || isNamed(sName);
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
    if (IsValueOfRow(row, sValue)) return true;
    if (row.valueClass == OptionValueClass::kBool) {
      // The refusal of a switch in every file, a dictionary's included.
      sMessages << YesNoRefusalText(sKey, sValue) << "\n";
      return false;
    }
    sMessages << "\"" << sValue << "\" is not a valid value for the \"" << sKey
              << "\" Session Parameter; use " << WordListText(row.sWords)
              << ".\n";
    return false;
  }
  sMessages << "\"" << ShownText(sKey)
            << "\" is not a valid Session Parameter; use "
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
  sMessages << "\"" << ShownText(sKey)
            << "\" is not a valid Session Parameter; use "
            << KmUserParamsDict::ParameterKeysText() << ".\n";
  return false;
}

}  // namespace

bool ValidateRunFileKeys(const char* sFileName, KmString& sMessages) {
  const KmIniFile ini(sFileName);
  if (!NoSectionSpeltOtherwise(ini, sFileName, {kRunFileSection}, sMessages)) {
    return false;
  }
  const SectionFilter isRead = SectionsNamed({kRunFileSection});
  const bool bKeysValid = CheckSectionLines(
      ini, sFileName, isRead,
      [](const KmString& sKey, const KmString&, KmString& sLineMessages) {
        KmString sLower(sKey);
        sLower.TrimSpaces().MakeLower();
        if (WordCode(kRunFileKeys, sLower) >= 0) return true;
        sLineMessages << "\"" << ShownText(sKey)
                      << "\" is not a valid Kinkmark Input Files key; use "
                         "\"Session File\", \"Data File\", \"Run Options "
                         "File\", \"Export Options File\" or \"Output "
                         "File\".\n";
        return false;
      },
      sMessages);
  return bKeysValid &&
         NoSectionOrKeyGivenTwice(ini, sFileName, isRead, sMessages);
}

bool ValidateSessionParameters(const char* sFileName, KmString& sMessages) {
  const KmIniFile ini(sFileName);
  bool bAllValid =
      NoSectionSpeltOtherwise(ini, sFileName,
                              {KmUserParamsDict::kDatafileSection,
                               KmUserParamsDict::kParametersSection},
                              sMessages);
  bAllValid =
      CheckSectionLines(
          ini, sFileName, SectionsNamed({KmUserParamsDict::kDatafileSection}),
          [](const KmString& sKey, const KmString& sValue,
             KmString& sLineMessages) {
            return IsValidDatafileOption(sKey, sValue, sLineMessages);
          },
          sMessages) &&
      bAllValid;
  bAllValid =
      CheckSectionLines(
          ini, sFileName, SectionsNamed({KmUserParamsDict::kParametersSection}),
          [](const KmString& sKey, const KmString&, KmString& sLineMessages) {
            return IsValidParameterKey(sKey, sLineMessages);
          },
          sMessages) &&
      bAllValid;
  return NoSectionOrKeyGivenTwice(
             ini, sFileName,
             SectionsWithFormats({KmUserParamsDict::kDatafileSection,
                                  KmUserParamsDict::kParametersSection}),
             sMessages) &&
         bAllValid;
}

bool ValidateDictionarySections(const char* sFileName, KmString& sMessages) {
  const KmIniFile ini(sFileName);
  const std::vector<const char*> vSections(std::begin(VSDictSection::kAll),
                                           std::end(VSDictSection::kAll));
  // The switches, refused as in every file before anything is read.
  const bool bSwitches = CheckSectionLines(
      ini, sFileName, SectionsNamed({VSDictSection::kExportOptions}),
      [](const KmString& sKey, const KmString& sValue,
         KmString& sLineMessages) {
        for (const char* sSwitch : VSExportSwitch::kAll) {
          // An empty value leaves the switch as it is, as in every file.
          if (KmStricmp(sKey.GetCString(), sSwitch) != 0 ||
              KmString(sValue).Trim().IsEmpty() ||
              ReadYesNo(sValue) != YesNo::kNeither) {
            continue;
          }
          sLineMessages << YesNoRefusalText(sKey, sValue) << "\n";
          return false;
        }
        return true;
      },
      sMessages);
  // A key with a hidden space beside it is another key, which the reader
  // would pass over without a word (a variable list cut short, a switch
  // left at its default).
  const bool bKeys = CheckSectionLines(
      ini, sFileName, SectionsWithFormats(vSections),
      [](const KmString& sKey, const KmString&, KmString& sLineMessages) {
        if (!HasHiddenSpaceBeside(sKey)) return true;
        sLineMessages << "the key \"" << ShownText(sKey)
                      << "\" has a character beside it that shows as a "
                         "blank but is none (its bytes shown); write the key "
                         "without it.\n";
        return false;
      },
      sMessages);
  return NoSectionSpeltOtherwise(ini, sFileName, vSections, sMessages) &&
         NoSectionOrKeyGivenTwice(ini, sFileName,
                                  SectionsWithFormats(vSections), sMessages) &&
         bSwitches && bKeys;
}
