// The shared half of the options validators: the message builder, the
// section scan and the rule of a section or key given twice.
#include "driver/OptionValidation.h"

#include <cstdint>
#include <map>
#include <string>

#include "foundation/KmIniFile.h"
#include "foundation/KmIniSection.h"
#include "foundation/KmShownText.h"

void AppendOptionMessage(const char* sOptionKind, bool bBadKey,
                         const KmString& sKey, const KmString& sValue,
                         const KmString& sValid, KmString& sMessages,
                         const KmString& sWhat) {
  if (bBadKey) {
    sMessages << "\"" << ShownText(sKey) << "\" is not a valid " << sOptionKind
              << " Option; use " << sValid << ".\n";
    return;
  }
  sMessages << "\"" << sValue << "\" is not a valid value for the \"" << sKey
            << "\" " << sOptionKind << " Option";
  if (!sWhat.IsEmpty()) sMessages << " (" << sWhat << ")";
  if (!sValid.IsEmpty()) sMessages << "; use " << sValid;
  sMessages << ".\n";
}

KmString ValidWordsText(const OptionRow& option) {
  if (option.valueClass == OptionValueClass::kBool ||
      option.valueClass == OptionValueClass::kText) {
    return KmString();
  }
  if (option.valueClass != OptionValueClass::kWord) {
    return RowValuesText(option);
  }
  // An empty word marks a code without a value; it is no value to write.
  std::string sWords;
  const std::string sAll(option.sWords == nullptr ? "" : option.sWords);
  size_t iStart = 0;
  while (iStart <= sAll.size()) {
    size_t iEnd = sAll.find('|', iStart);
    if (iEnd == std::string::npos) iEnd = sAll.size();
    if (iEnd > iStart) {
      sWords +=
          (sWords.empty() ? "" : "|") + sAll.substr(iStart, iEnd - iStart);
    }
    iStart = iEnd + 1;
  }
  return WordListText(sWords.c_str());
}

SectionFilter SectionsNamed(std::vector<const char*> vNames) {
  return [vNames](const KmString& sHeader) {
    for (const char* sName : vNames) {
      if (KmIniSection::IsNamed(sHeader.GetCString(), sName)) return true;
    }
    return false;
  };
}

bool NoSectionOrKeyGivenTwice(const KmIniFile& ini, const char* sFileName,
                              const SectionFilter& isRead,
                              KmString& sMessages) {
  // The sections given again, by the index of their second section.
  std::map<int32_t, int32_t> firstOf;
  for (const auto& repeat : ini.GetSectionsGivenTwice()) {
    firstOf[repeat.second] = repeat.first;
  }
  bool bNone = true;
  for (int32_t i = 0; i < ini.GetNumSections(); ++i) {
    const KmIniSection& section = *ini.GetSectionByIndex(i);
    if (!isRead(section.GetName())) continue;
    const auto again = firstOf.find(i);
    if (again != firstOf.end()) {
      const KmIniSection& first = *ini.GetSectionByIndex(again->second);
      bNone = false;
      sMessages << "The file \"" << sFileName << "\" gives the section \""
                << first.GetName() << "\" twice: line " << first.GetLine()
                << " \"" << first.GetHeaderText() << "\" and line "
                << section.GetLine() << " \"" << section.GetHeaderText()
                << "\".  Give each section once.\n";
    }
    for (const KmIniSection::Repeat& repeat : section.GetKeysGivenTwice()) {
      bNone = false;
      sMessages << "The file \"" << sFileName << "\" gives the key \""
                << repeat.pFirst->sKey
                << "\" twice with different values: line "
                << repeat.pFirst->iLine << " \"" << repeat.pFirst->sText
                << "\" and line " << repeat.pAgain->iLine << " \""
                << repeat.pAgain->sText << "\".  Give each key once.\n";
    }
  }
  return bNone;
}

bool CheckSectionLines(const KmIniFile& ini, const char* sFileName,
                       const SectionFilter& isRead, const LineCheck& check,
                       KmString& sMessages, bool* pbFound) {
  bool bFound = false;
  bool bAllValid = true;
  for (int32_t i = 0; i < ini.GetNumSections(); ++i) {
    const KmIniSection& section = *ini.GetSectionByIndex(i);
    if (!isRead(section.GetName())) continue;
    bFound = true;
    for (const KmIniSection::KeyLine& line : section.GetKeyLines()) {
      KmString sLineMessages;
      if (check(line.sKey, line.sValue, sLineMessages)) continue;
      bAllValid = false;
      // Each message of the line gets the line's place.
      const std::string sText(sLineMessages.GetCString());
      size_t iStart = 0;
      while (iStart < sText.size()) {
        size_t iEnd = sText.find('\n', iStart);
        iEnd = iEnd == std::string::npos ? sText.size() : iEnd + 1;
        sMessages << "The file \"" << sFileName << "\", line " << line.iLine
                  << ": " << sText.substr(iStart, iEnd - iStart).c_str();
        iStart = iEnd;
      }
    }
  }
  if (pbFound != nullptr) *pbFound = bFound;
  return bAllValid;
}

namespace {

// sName in lower case without its blanks: "[Session  Options]" and
// "[session options]" give one text.
std::string WithoutBlanksOrCase(const KmString& sName) {
  std::string sOut;
  for (const char* p = sName.GetCString(); *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c > 0x20) sOut += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
  return sOut;
}

// Names the headers of ini that spell sSection with other blanks
// ("[Session  Options]"): the user meant the section, which the file
// lacks, and the missing section's message alone would not show why.
void AppendHeadersSpeltOtherwise(const KmIniFile& ini, const char* sSection,
                                 KmString& sMessages) {
  KmString sWanted("[");
  sWanted << sSection << "]";
  const std::string sKey = WithoutBlanksOrCase(sWanted);
  for (int32_t i = 0; i < ini.GetNumSections(); ++i) {
    const KmIniSection& section = *ini.GetSectionByIndex(i);
    if (WithoutBlanksOrCase(section.GetName()) != sKey) continue;
    sMessages << "; it has the section header line " << section.GetLine()
              << " \"" << section.GetHeaderText() << "\", which is not "
              << sWanted
              << ": a header names its section as written, its blanks "
                 "included (only case may differ)";
  }
}

}  // namespace

bool NoSectionSpeltOtherwise(const KmIniFile& ini, const char* sFileName,
                             const std::vector<const char*>& vNames,
                             KmString& sMessages) {
  bool bNone = true;
  for (const char* sName : vNames) {
    if (ini.GetSection(sName) != nullptr) continue;
    KmString sFound;
    AppendHeadersSpeltOtherwise(ini, sName, sFound);
    if (sFound.IsEmpty()) continue;
    sMessages << "The file \"" << sFileName << "\" has no [" << sName << "]"
              << sFound << "\n";
    bNone = false;
  }
  return bNone;
}

bool ValidateOptionsSection(const char* sFileName, const char* sSection,
                            const LineCheck& isValid, KmString& sMessages) {
  const SectionFilter isRead = SectionsNamed({sSection});
  // Named as the run file names it, as every message of this check does.
  const KmIniFile ini(sFileName, true);
  bool bFound = false;
  const bool bAllValid =
      CheckSectionLines(ini, sFileName, isRead, isValid, sMessages, &bFound);
  if (!bFound) {
    sMessages << "Missing [" << sSection << "] in Options file: " << sFileName;
    AppendHeadersSpeltOtherwise(ini, sSection, sMessages);
    sMessages << "\n";
    return false;
  }
  return NoSectionOrKeyGivenTwice(ini, sFileName, isRead, sMessages) &&
         bAllValid;
}
