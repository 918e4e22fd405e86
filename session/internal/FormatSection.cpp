// Loading a variable's value labels from its "Format=" section.
#include "session/internal/FormatSection.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmIniSection.h"
#include "foundation/kmTools.h"
#include "session/OptionRow.h"

namespace km_session_internal {

namespace {

// Refuses two lines of section (named sSection, without brackets) of an
// ini file (named sShownFile in the message, as the user named it) whose
// values are one whole number, written alike or not ("1=North", then
// "01=East"), with different labels: a code finds the first line of its
// number alone (in the text format of the adjustment variable's groups
// too), so the second label would be dropped without a word.
void RefuseValueGivenTwice(const KmIniSection& section,
                           const KmString& sShownFile,
                           const KmString& sSection) {
  struct FirstLine {
    int32_t iLine;
    KmString sText;
    KmString sValue;
    KmString sLabel;
  };
  std::map<double, FirstLine> firstLines;
  for (const KmIniSection::KeyLine& line : section.GetKeyLines()) {
    const KmString& sLine = line.sText;
    const int32_t iLine = line.iLine;
    const KmString& sValue = line.sKey;
    const KmString& sLabel = line.sValue;
    double dValue = 0.0;
    if (ReadWholeNumber(sValue.GetCString(), false, &dValue) !=
        CodeText::kCode) {
      continue;
    }
    const auto inserted =
        firstLines.emplace(dValue, FirstLine{iLine, sLine, sValue, sLabel});
    const FirstLine& first = inserted.first->second;
    if (inserted.second || first.sLabel == sLabel) continue;
    // Two spellings of one number are named as such.
    KmString sSpellings;
    if (first.sValue != sValue) {
      sSpellings << ", both the number " << kmTools::ShortestText(dValue);
    }
    GenerateKmInputExceptionF(
        "The file \"%s\" gives the value %s twice in [%s] with different "
        "labels: line %d \"%s\" and line %d \"%s\"%s.  Give each value "
        "once.",
        "FormatSection", sShownFile.GetCString(), first.sValue.GetCString(),
        sSection.GetCString(), first.iLine, first.sText.GetCString(), iLine,
        sLine.GetCString(), sSpellings.GetCString());
  }
}

// The number of the first line of section that a format of data type
// cDataType cannot read; 0 when there is none or its line is not known.
int32_t FirstUnreadableLine(const KmIniSection& section, char cDataType) {
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
      return section.GetKeyLine(sKey.GetCString());
    }
  }
  return 0;
}

// What a line of a format section of data type cDataType may hold, for the
// message that refuses one.
const char* WhatALineHolds(char cDataType) {
  if (cDataType == 'A') {
    return "A line of a format section is a value, a list of values or a "
           "range of them, then \"=\" and the label (\"1=Young\", "
           "\"1,3=Odd\"); a value has at most 32 characters and does not "
           "begin with \"-\".";
  }
  return "A line of a format section is a code, a list of codes or a range "
         "of them, then \"=\" and the label (\"1=Female\", \"1,3,5=Odd\", "
         "\"1-4=Low\"); a code is a whole number of 0 or more (01, +1, 1.0 "
         "and 1e0 are all the code 1).";
}

// The bracketed name of the format section of sVariableName, in lower
// case as section lookups compare names.
std::string FoldedFormatHeader(const KmString& sVariableName) {
  KmString sName("[");
  sName << FormatSectionName(sVariableName) << "]";
  return sName.MakeLower().GetCString();
}

}  // namespace

KmString FormatSectionName(const KmString& sVariableName) {
  KmString sHeader("[Format=");
  sHeader << sVariableName << "]";
  KmString sName;
  if (!KmIniSection::ReadHeader(sHeader, sName))
    return sHeader.GetCString() + 1;
  const std::string sText(sName.GetCString());
  return sText.substr(1, sText.size() - 2).c_str();
}

void RefuseFormatOfNoVariable(const KmIniFile& ini,
                              const KmVector<VSVariable>& vVariables,
                              const KmString& sShownFile) {
  std::set<std::string> formats;
  std::vector<std::string> vShown;
  for (const VSVariable& variable : vVariables) {
    if (variable.GetName().IsEmpty()) continue;
    formats.insert(FoldedFormatHeader(variable.GetName()));
    vShown.push_back(variable.GetName().GetCString());
  }
  for (int32_t i = 0; i < ini.GetNumSections(); ++i) {
    const KmIniSection& section = *ini.GetSectionByIndex(i);
    KmString sFolded(section.GetName());
    sFolded.MakeLower();
    if (!sFolded.StartsWith("[format") ||
        formats.count(sFolded.GetCString()) > 0) {
      continue;
    }
    GenerateKmInputExceptionF(
        "Session file \"%s\", line %d: the section header \"%s\" names no "
        "variable of the session, so no value would take its labels.  A "
        "format section's header is \"[Format=\", the name of a variable the "
        "file gives (%s), in quotes or not, and \"]\".",
        "FormatSection", sShownFile.GetCString(), section.GetLine(),
        section.GetHeaderText().GetCString(), KeyListText(vShown).GetCString());
  }
}

bool ReadFormatSection(KmIniFile& ini, const KmString& sVariableName,
                       char cDataType, const KmString& sShownFile,
                       KmFormat& format) {
  KmString sSectionName;
  try {
    sSectionName = FormatSectionName(sVariableName);
    KmIniSection* pSection = ini.GetSection(sSectionName.GetCString());
    if (pSection == nullptr) return false;
    KmFormat fresh;
    try {
      fresh.Read(pSection, cDataType, nullptr, nullptr, nullptr);
    } catch (KmException& e) {
      // The format's own message names neither the file nor the line.
      KmString sMessage("Session file \"");
      sMessage << sShownFile << "\"";
      const int32_t iLine = FirstUnreadableLine(*pSection, cDataType);
      if (iLine > 0) sMessage << ", line " << iLine;
      sMessage << " of [" << sSectionName << "]: " << e.GetMessage() << ".  "
               << WhatALineHolds(cDataType);
      e.SetMessage(sMessage.GetCString());
      throw;
    }
    RefuseValueGivenTwice(*pSection, sShownFile, sSectionName);
    format = fresh;
    return true;
  } catch (KmException& e) {
    e.AddCallPath("ReadFormatSection()", "FormatSection",
                  sSectionName.GetCString());
    throw;
  }
}

}  // namespace km_session_internal
