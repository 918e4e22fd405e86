// IniExportDict: defaults and the reader of the section "Export Options".
#include "session/IniExportDict.h"

#include <cstddef>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmString.h"
#include "session/internal/OptionText.h"

namespace {

const char kClassName[] = "IniExportDict";
const char kSectionName[] = "Export Options";
// Source of the invalid-value message.
const char kInvalidValueSource[] = "ReadExportOptionsSection";

// One accepted word of a coded key and the code it stands for.
struct CodeWord {
  const char* sWord;
  int32_t iCode;
};

const CodeWord kModelsWords[] = {{"all", 0}, {"best fit", 1}};
const CodeWord kLineWords[] = {{"dos/windows", 0}, {"unix", 1}};
const CodeWord kMissingWords[] = {{"space", 0}, {"period", 1}, {"na", 2}};
const CodeWord kFieldWords[] = {{"tab", 0}, {"comma", 1}, {"semi-colon", 2}};
const CodeWord kByVarWords[] = {
    {"numeric", 0}, {"quoted labels", 1}, {"unquoted labels", 2}};
const CodeWord kExportTypeWords[] = {{"table", 0}, {"text", 1}};

using km_session_internal::ValueOf;

[[noreturn]] void ThrowInvalidValue(const KmString& sLowerValue,
                                    const char* sKey) {
  GenerateKmInputExceptionF("Invalid value: %s for variable: %s",
                            kInvalidValueSource, sLowerValue.GetCString(),
                            sKey);
}

// Reads a coded key into iMember; absent or empty leaves it.
template <size_t N>
void ReadCode(const KmIniSection& section, const char* sKey,
              const CodeWord (&words)[N], int32_t& iMember) {
  const KmString sValue = ValueOf(section, sKey);
  if (sValue.IsEmpty()) return;
  const KmString sLower = km_session_internal::Lowered(sValue);
  for (const CodeWord& word : words) {
    if (sLower == word.sWord) {
      iMember = word.iCode;
      return;
    }
  }
  ThrowInvalidValue(sLower, sKey);
}

// Reads a "true"/"false" key into bMember; absent or empty leaves it.
void ReadSwitch(const KmIniSection& section, const char* sKey, bool& bMember) {
  const KmString sValue = ValueOf(section, sKey);
  if (sValue.IsEmpty()) return;
  const KmString sLower = km_session_internal::Lowered(sValue);
  if (sLower == "true") {
    bMember = true;
  } else if (sLower == "false") {
    bMember = false;
  } else {
    ThrowInvalidValue(sLower, sKey);
  }
}

// Reads a precision key into iMember; absent or empty leaves it.
void ReadPrecision(const KmIniSection& section, const char* sKey,
                   int32_t& iMember) {
  const KmString sValue = ValueOf(section, sKey);
  if (sValue.IsEmpty()) return;
  iMember = km_session_internal::LeadingInt32Clamped(sValue.GetCString());
}

}  // namespace

IniExportDict::IniExportDict() : fileName(nullptr) { Init(); }

void IniExportDict::Init() {
  bAllModelsInSameColumn = false;
  bIncludeKinkmarkEstimates = false;
  bOutputByGroupHeaders = true;
  bRemoveBestFitFlags = false;
  bRemoveKinkmarkFlags = true;
  bAAPCLastObs = false;
  bAAPCFullRange = false;
  bIncludeAPCsInDataExport = true;
  bExportBadCohorts = true;
  bExportReport = true;
  bExportData = true;
  bExportAPC = true;
  bExportAllAPCSegments = true;
  bExportAAPC = true;
  bExportFTest = true;
  bExportJumpCR = true;
  bExportSelectionResults = true;
  bExportPairwise = true;
  iXValuesPrecision = 9;
  iYValuesPrecision = 9;
  iModelStatisticsPrecision = 3;
  iEstimatedKinkmarksPrecision = 3;
  iRegressionCoefficientsPrecision = 3;
  iCovarianceMatrixPrecision = 3;
  iCorrelationMatrixPrecision = 3;
  iAPCPrecision = 3;
  iAAPCPrecision = 3;
  iAAPCSegmentRangesPrecision = 3;
  iPValuePrecision = 3;
  iByVarFormat = 2;
  iExportType = 0;
  iFieldDelimiter = 0;
  iLineDelimiter = 0;
  iMissingCharacter = 0;
  iModels = 0;
}

void IniExportDict::CreateDictFromFile(const char* sFileName) {
  WithCallPath("IniExportDict(const char*)", kClassName, [&] {
    if (sFileName == nullptr || sFileName[0] == '\0') {
      GenerateKmException("Empty string pointer passed to CreateDictFromFile.",
                          kClassName);
    }
    fileName = KmFileName(sFileName);
    Setup(sFileName);
  });
}

void IniExportDict::Setup(const char* sFileName) {
  WithCallPath("Setup(const char*)", kClassName, [&] {
    KmIniFile theIniFile(sFileName);
    Init();
    ReadExportOptionsSection(theIniFile);
  });
}

void IniExportDict::ReadExportOptionsSection(KmIniFile& theIniFile) {
  WithCallPath(
      "ReadExportOptionsSection(KmIniFile &theIniFile)", kClassName, [&] {
        const KmIniSection* pSection = theIniFile.GetSection(kSectionName);
        if (pSection == nullptr) {
          GenerateKmInputExceptionF("Section \"[%s]\" not found in %s",
                                    kClassName, kSectionName,
                                    theIniFile.GetFileName().GetCString());
        }
        const KmIniSection& section = *pSection;

        ReadCode(section, "models", kModelsWords, iModels);
        ReadSwitch(section, "include apcs in data export",
                   bIncludeAPCsInDataExport);
        ReadSwitch(section, "aapc full range", bAAPCFullRange);
        ReadSwitch(section, "aapc last obs", bAAPCLastObs);
        ReadAAPCRanges(section);

        ReadPrecision(section, "x values precision", iXValuesPrecision);
        ReadPrecision(section, "y values precision", iYValuesPrecision);
        ReadPrecision(section, "model statistics precision",
                      iModelStatisticsPrecision);
        ReadPrecision(section, "estimated kinkmarks precision",
                      iEstimatedKinkmarksPrecision);
        ReadPrecision(section, "regression coefficients precision",
                      iRegressionCoefficientsPrecision);
        ReadPrecision(section, "covariance matrix precision",
                      iCovarianceMatrixPrecision);
        ReadPrecision(section, "correlation matrix precision",
                      iCorrelationMatrixPrecision);
        ReadPrecision(section, "apc precision", iAPCPrecision);
        ReadPrecision(section, "aapc precision", iAAPCPrecision);
        ReadPrecision(section, "aapc segment ranges precision",
                      iAAPCSegmentRangesPrecision);
        ReadPrecision(section, "p-value precision", iPValuePrecision);

        ReadCode(section, "line delimiter", kLineWords, iLineDelimiter);
        ReadCode(section, "missing character", kMissingWords,
                 iMissingCharacter);
        ReadCode(section, "field delimiter", kFieldWords, iFieldDelimiter);
        ReadCode(section, "by-var format", kByVarWords, iByVarFormat);
        ReadCode(section, "export type", kExportTypeWords, iExportType);

        ReadSwitch(section, "remove km flags", bRemoveKinkmarkFlags);
        ReadSwitch(section, "remove best fit flags", bRemoveBestFitFlags);
        ReadSwitch(section, "output by-group headers", bOutputByGroupHeaders);
        ReadSwitch(section, "all models in same column",
                   bAllModelsInSameColumn);
        ReadSwitch(section, "include km estimates", bIncludeKinkmarkEstimates);

        ReadSwitch(section, "export bad cohorts", bExportBadCohorts);
        ReadSwitch(section, "export report", bExportReport);
        ReadSwitch(section, "export data", bExportData);
        ReadSwitch(section, "export apc", bExportAPC);
        ReadSwitch(section, "export all apc segments", bExportAllAPCSegments);
        ReadSwitch(section, "export aapc", bExportAAPC);
        ReadSwitch(section, "export ftest", bExportFTest);
        ReadSwitch(section, "export pairwise", bExportPairwise);
        ReadSwitch(section, "export jump_cr", bExportJumpCR);
        ReadSwitch(section, "export selection results",
                   bExportSelectionResults);
      });
}

void IniExportDict::ReadAAPCRanges(const KmIniSection& section) {
  dAAPCStartRanges.clear();
  dAAPCEndRanges.clear();
  // The pairs are numbered from 1 without gaps: the first missing start
  // ends the list, whatever higher numbers follow.
  for (int32_t i = 1;; ++i) {
    KmString sStartKey("aapc start range");
    sStartKey << i;
    const KmString sStart = ValueOf(section, sStartKey.GetCString());
    if (sStart.IsEmpty()) return;
    dAAPCStartRanges.push_back(
        km_session_internal::LeadingDouble(sStart.GetCString()));

    KmString sEndKey("aapc end range");
    sEndKey << i;
    const KmString sEnd = ValueOf(section, sEndKey.GetCString());
    // A start without its end leaves the end list shorter; lists of
    // unequal length give the run no custom ranges (ApplyAAPCRanges), so
    // an unpaired start never fails the run.
    if (!sEnd.IsEmpty()) {
      dAAPCEndRanges.push_back(
          km_session_internal::LeadingDouble(sEnd.GetCString()));
    }
  }
}
