// VSExportDict: reading the sections of a VESK*Stat data dictionary.
#include "session/VSExportDict.h"

#include <cstdio>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "session/OptionRow.h"
#include "session/internal/FormatSection.h"
#include "session/internal/OptionText.h"

namespace {

const char kClassName[] = "VSExportDict";

// Section names of the dictionary (VSDictSection), by shorter names.
constexpr const char* kSystemSection = VSDictSection::kSystem;
constexpr const char* kSessionOptionsSection = VSDictSection::kSessionOptions;
constexpr const char* kExportOptionsSection = VSDictSection::kExportOptions;
constexpr const char* kVariablesSection = VSDictSection::kVariables;
constexpr const char* kLifePageSection = VSDictSection::kLifePage;
constexpr const char* kSummaryPageSection = VSDictSection::kSummaryPage;
constexpr const char* kZStatisticsPageSection = VSDictSection::kZStatisticsPage;
constexpr const char* kPrevalencePageSection = VSDictSection::kPrevalencePage;
constexpr const char* kMPSirOEPageSection = VSDictSection::kMPSirOEPage;

// True when ini has a section named sName.
bool HasSection(KmIniFile& ini, const char* sName) {
  return ini.GetSection(sName) != nullptr;
}

// The value of key sKey of section, "" when the key is absent.
KmString GetValue(const KmIniSection& section, const char* sKey) {
  KmString sValue;
  section.GetString(sValue, sKey);
  return sValue;
}

// Refuses sValue of the key sKey of a section of the dictionary, which is
// none of the '|'-separated sWords, naming the file as its run file names
// it (sShownFile) and the key's line, after the text sLead.
[[noreturn]] void RefuseOption(const KmIniSection& section, const char* sKey,
                               const KmString& sValue, const char* sWords,
                               const KmString& sShownFile,
                               const char* sLead = "") {
  KmString sText(sLead);
  sText << "Session file \"" << sShownFile << "\"";
  const int32_t iLine = section.GetKeyLine(sKey);
  if (iLine > 0) {
    sText << ", line " << iLine << " of " << section.GetName() << ": \""
          << sValue << "\" is not a supported " << sKey;
  } else {
    sText << " gives no " << sKey << " in " << section.GetName();
  }
  sText << "; use " << WordListText(sWords) << ".";
  GenerateKmException(sText.GetCString(), kClassName);
}

}  // namespace

VSExportDict::VSExportDict(const char* sFileName)
    : dictionaryFile_(nullptr),
      outputFile_(nullptr),
      matrixFile_(nullptr),
      sessionOptions_(nullptr) {
  WithCallPath("Constructor", kClassName, [&] {
    if (sFileName == nullptr || *sFileName == '\0') {
      GenerateKmException("Empty string pointer passed to constructor.",
                          kClassName);
    }
    dictionaryFile_.SetFullPath(sFileName);
    sGivenName_ = sFileName;
    Setup();
  });
}

void VSExportDict::SetDataFile(const char* sFileName) {
  WithCallPath("SetDataFile()", kClassName,
               [&] { outputFile_.SetFullPath(sFileName); });
}

const VSVariable& VSExportDict::GetVariable(int32_t iPosition) const {
  return WithCallPath("GetVariable()", kClassName, [&]() -> const VSVariable& {
    return vVariables_[iPosition - 1];
  });
}

void VSExportDict::Setup() {
  try {
    KmIniFile ini(dictionaryFile_.GetFullName());
    ReadSystemSection(ini);
    ReadSessionOptionsSection(ini);
    ReadExportOptionsSection(ini);
    ReadVariables(ini);
  } catch (KmException& e) {
    // The file is named in the call path for messages that do not name it.
    // The kind stays as raised: 3 for a missing section, 0 for a value the
    // reader cannot use.
    e.AddCallPath("Setup()", kClassName, dictionaryFile_.GetFullName());
    throw;
  }
}

void VSExportDict::ReadSystemSection(KmIniFile& ini) {
  WithCallPath("ReadSystemSection()", kClassName, [&] {
    const KmIniSection* pSection = ini.GetSection(kSystemSection);
    if (pSection == nullptr) {
      GenerateKmInputExceptionF("Section \"[%s]\" not found in %s", kClassName,
                                kSystemSection, dictionaryFile_.GetFullName());
    }
    outputFile_.SetFullPath(
        GetValue(*pSection, "Output filename").GetCString());
    matrixFile_.SetFullPath(
        GetValue(*pSection, "Matrix filename").GetCString());
    sDatabaseName_ = GetValue(*pSection, "Database name");
    vTitles_.clear();
    for (int32_t n = 1;; ++n) {
      char sKey[32];
      std::snprintf(sKey, sizeof(sKey), "Title%d", n);
      KmString sTitle = GetValue(*pSection, sKey);
      if (sTitle.IsEmpty()) break;
      vTitles_.push_back(sTitle);
    }
  });
}

void VSExportDict::ReadSessionOptionsSection(KmIniFile& ini) {
  WithCallPath("ReadSessionOptionsSection()", kClassName, [&] {
    const KmIniSection* pSection = ini.GetSection(kSessionOptionsSection);
    if (pSection != nullptr) {
      const KmString sType = GetValue(*pSection, "Type");
      if (sType.IsEmpty()) {
        GenerateKmException("No session type specified in dictionary file.",
                            kClassName);
      } else if (sType == "Rate") {
        iSessionType_ = kVSRate;
      } else if (sType == "Survival") {
        // The page the survival session exported decides; none of them
        // leaves the type as it was.
        if (HasSection(ini, kLifePageSection)) {
          iSessionType_ = kVSSurvivalLife;
        } else if (HasSection(ini, kVariablesSection)) {
          iSessionType_ = kVSSurvival;
        } else if (HasSection(ini, kSummaryPageSection)) {
          iSessionType_ = kVSSurvivalSummary;
        } else if (HasSection(ini, kZStatisticsPageSection)) {
          iSessionType_ = kVSSurvivalZStatistics;
        }
      } else if (sType == "MP-SIR") {
        iSessionType_ = kVSSurvivalLife;
      } else if (sType == "Case Listing") {
        iSessionType_ = kVSCaseListing;
      } else if (sType == "Frequency") {
        iSessionType_ = kVSFrequency;
      } else if (sType == "Limited-Duration Prevalence") {
        iSessionType_ = kVSPrevalence;
      } else if (sType == "Disparity") {
        iSessionType_ = kVSDisparity;
      } else {
        RefuseOption(*pSection, "Type", sType, "Rate|Frequency|Disparity",
                     sGivenName_,
                     "This type of Dictionary is not supported at this "
                     "time.  ");
      }
      sessionOptions_ = *pSection;
      return;
    }

    // An older dictionary without "Session Options": the pages present tell
    // which kind of session wrote it.
    if (HasSection(ini, kSummaryPageSection) ||
        HasSection(ini, kLifePageSection) ||
        HasSection(ini, kZStatisticsPageSection)) {
      iSessionType_ = kVSSurvivalLife;
    } else if (HasSection(ini, kPrevalencePageSection) ||
               HasSection(ini, "Summary Survival Page Variables") ||
               HasSection(ini, "Detailed Survival Page Variables")) {
      iSessionType_ = kVSPrevalence;
    } else if (HasSection(ini, kMPSirOEPageSection) ||
               HasSection(ini, "MPSir Frequency Page Variables")) {
      iSessionType_ = kVSSurvivalLife;
    } else {
      GenerateKmInputExceptionF(
          "\"%s\" is out of date. \n\"%s\" section could not be found, and "
          "session type could not be auto-detected.",
          kClassName, dictionaryFile_.GetFullName(), kSessionOptionsSection);
    }
    sessionOptions_ = KmIniSection(kSessionOptionsSection);
  });
}

void VSExportDict::ReadExportOptionsSection(KmIniFile& ini) {
  WithCallPath("ReadExportOptionsSection()", kClassName, [&] {
    const KmIniSection* pSection = ini.GetSection(kExportOptionsSection);
    if (pSection == nullptr) {
      GenerateKmInputExceptionF("\"%s\" section could not be found in %s",
                                kClassName, kExportOptionsSection,
                                dictionaryFile_.GetFullName());
    }
    const char* sFile = sGivenName_.GetCString();
    bGZipped_ = pSection->GetBool(VSExportSwitch::kGZipped, false, sFile);

    const KmString sFormat = GetValue(*pSection, "Variable format");
    if (sFormat == "numeric") {
      iVariableFormat_ = 0;
    } else if (sFormat == "quotedlabels") {
      iVariableFormat_ = 1;
    } else if (sFormat == "labels") {
      iVariableFormat_ = 2;
    } else {
      RefuseOption(*pSection, "Variable format", sFormat,
                   "numeric|quotedlabels|labels", sGivenName_);
    }

    bUnixFileFormat_ = GetValue(*pSection, "File format") == "UNIX";

    const KmString sDelimiter = GetValue(*pSection, "Field delimiter");
    if (!km_session_internal::FieldDelimiterFromWord(sDelimiter,
                                                     cFieldDelimiter_)) {
      RefuseOption(*pSection, "Field delimiter", sDelimiter,
                   "tab|space|comma|semi-colon", sGivenName_);
    }

    const KmString sMissing = GetValue(*pSection, "Missing character");
    if (sMissing == "period") {
      sMissingCharacter_ = ".";
    } else if (sMissing == "NA") {
      sMissingCharacter_ = "NA";
    } else {
      sMissingCharacter_ = " ";
    }

    bQuotes_ = pSection->GetBool(VSExportSwitch::kQuotes, false, sFile);
    bRemoveThousandsSeparators_ =
        pSection->GetBool(VSExportSwitch::kRemoveThousands, false, sFile);
    bFlagsIncluded_ = pSection->GetBool(VSExportSwitch::kFlags, false, sFile);
    bVariableNamesIncluded_ =
        pSection->GetBool(VSExportSwitch::kNames, false, sFile);
  });
}

const KmIniSection* VSExportDict::GetVariableSection(KmIniFile& ini) const {
  return WithCallPath("GetVariableSection()", kClassName,
                      [&]() -> const KmIniSection* {
                        switch (iSessionType_) {
                          case kVSRate:
                          case kVSSurvival:
                          case kVSCaseListing:
                          case kVSFrequency:
                          case kVSDisparity:
                            return ini.GetSection(kVariablesSection);
                          case kVSSurvivalLife:
                          case kVSLifePage:
                            return ini.GetSection(kLifePageSection);
                          case kVSMPSirOE:
                            return ini.GetSection(kMPSirOEPageSection);
                          case kVSPrevalence:
                            return ini.GetSection(kPrevalencePageSection);
                          case kVSSurvivalSummary:
                            return ini.GetSection(kSummaryPageSection);
                          case kVSSurvivalZStatistics:
                            return ini.GetSection(kZStatisticsPageSection);
                          default:
                            return nullptr;
                        }
                      });
}

void VSExportDict::ReadVariables(KmIniFile& ini) {
  WithCallPath("ReadVariables()", kClassName, [&] {
    const KmIniSection* pSection = GetVariableSection(ini);
    if (pSection == nullptr) {
      GenerateKmException("The Variable Section could not be found.",
                          kClassName);
    }
    vVariables_.clear();
    for (int32_t n = 1;; ++n) {
      char sKey[32];
      std::snprintf(sKey, sizeof(sKey), "Var%dName", n);
      const KmString sName = GetValue(*pSection, sKey);
      if (sName.IsEmpty()) break;

      VSVariable variable(sName.GetCString());
      KmFormat format;
      if (km_session_internal::ReadFormatSection(ini, sName, 'I', sGivenName_,
                                                 format)) {
        variable.SetFormat(format);
      }
      vVariables_.push_back(variable);
    }
    km_session_internal::RefuseFormatOfNoVariable(ini, vVariables_,
                                                  sGivenName_);
  });
}
