// IniExportDict: defaults and the reader of the section "Export Options".
#include "session/IniExportDict.h"

#include <cstddef>
#include <iterator>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmString.h"
#include "session/OutputDisplayOptions.h"
#include "session/internal/OptionText.h"

namespace {

const char kClassName[] = "IniExportDict";
const char kSectionName[] = "Export Options";
// Source of the invalid-value message.
const char kInvalidValueSource[] = "ReadExportOptionsSection";

using km_session_internal::ValueOf;

[[noreturn]] void ThrowInvalidValue(const KmString& sLowerValue,
                                    const char* sKey) {
  GenerateKmInputExceptionF("Invalid value: %s for variable: %s",
                            kInvalidValueSource, sLowerValue.GetCString(),
                            sKey);
}

using D = IniExportDict;
using L = DataExportOptions;

constexpr OptionRow RangeOption(const char* sKey) {
  return {sKey, OptionValueClass::kNumber, nullptr, -kNoLimit, kNoLimit, true};
}
constexpr OptionRow Precision(const char* sKey) {
  return CountOption(sKey, 0, kMaxDisplayPrecision);
}

// Every key of "Export Options" in reading order: the option, its default,
// the dictionary member, the layout member and the display options it sets.
const ExportOptionRow kRows[] = {
    {WordOption("models", "all|best fit"), 0, nullptr, &D::iModels, nullptr,
     &L::iModels, -1, -1},
    {BoolOption("include apcs in data export"), 1, &D::bIncludeAPCsInDataExport,
     nullptr, nullptr, nullptr, kmDispDataShowAPCs, -1},
    {BoolOption("aapc full range"), 0, &D::bAAPCFullRange, nullptr, nullptr,
     nullptr, kmDispAAPCFullRange, -1},
    {BoolOption("aapc last obs"), 0, &D::bAAPCLastObs, nullptr, nullptr,
     nullptr, -1, -1},
    {RangeOption("aapc start range"), 0, nullptr, nullptr, nullptr, nullptr, -1,
     -1},
    {RangeOption("aapc end range"), 0, nullptr, nullptr, nullptr, nullptr, -1,
     -1},
    {Precision("x values precision"), 9, nullptr, &D::iXValuesPrecision,
     nullptr, nullptr, kmDispXValuesPrec, -1},
    {Precision("y values precision"), 9, nullptr, &D::iYValuesPrecision,
     nullptr, nullptr, kmDispYValuesPrec, -1},
    {Precision("model statistics precision"), 3, nullptr,
     &D::iModelStatisticsPrecision, nullptr, nullptr, kmDispModelStatisticsPrec,
     -1},
    {Precision("estimated kinkmarks precision"), 3, nullptr,
     &D::iEstimatedKinkmarksPrecision, nullptr, nullptr, kmDispKinkmarkPrec,
     kmDispTrendKinkmarkPrec},
    {Precision("regression coefficients precision"), 3, nullptr,
     &D::iRegressionCoefficientsPrecision, nullptr, nullptr,
     kmDispCoefficientsPrec, -1},
    {Precision("covariance matrix precision"), 3, nullptr,
     &D::iCovarianceMatrixPrecision, nullptr, nullptr, kmDispCovariancePrec,
     -1},
    {Precision("correlation matrix precision"), 3, nullptr,
     &D::iCorrelationMatrixPrecision, nullptr, nullptr, kmDispCorrelationPrec,
     -1},
    {Precision("apc precision"), 3, nullptr, &D::iAPCPrecision, nullptr,
     nullptr, kmDispTrendAPCPrec, -1},
    {Precision("aapc precision"), 3, nullptr, &D::iAAPCPrecision, nullptr,
     nullptr, kmDispAAPCPrec, -1},
    {Precision("aapc segment ranges precision"), 3, nullptr,
     &D::iAAPCSegmentRangesPrecision, nullptr, nullptr, kmDispSegmentRangePrec,
     -1},
    {Precision("p-value precision"), 3, nullptr, &D::iPValuePrecision, nullptr,
     nullptr, kmDispPValuePrec, -1},
    {WordOption("line delimiter", "dos/windows|unix"), 0, nullptr,
     &D::iLineDelimiter, nullptr, &L::iLineDelimiter, -1, -1},
    {WordOption("missing character", "space|period|na"), 0, nullptr,
     &D::iMissingCharacter, nullptr, &L::iMissingCharacter, -1, -1},
    {WordOption("field delimiter", "tab|comma|semi-colon"), 0, nullptr,
     &D::iFieldDelimiter, nullptr, &L::iFieldDelimiter, -1, -1},
    {WordOption("by-var format", "numeric|quoted labels|unquoted labels"), 2,
     nullptr, &D::iByVarFormat, nullptr, &L::iByVarFormat, -1, -1},
    {WordOption("export type", "table|text"), 0, nullptr, &D::iExportType,
     nullptr, &L::iExportType, -1, -1},
    {BoolOption("remove km flags"), 1, &D::bRemoveKinkmarkFlags, nullptr,
     &L::bRemoveKinkmarkFlags, nullptr, -1, -1},
    {BoolOption("remove best fit flags"), 0, &D::bRemoveBestFitFlags, nullptr,
     &L::bRemoveBestFitFlags, nullptr, -1, -1},
    {BoolOption("output by-group headers"), 1, &D::bOutputByGroupHeaders,
     nullptr, &L::bOutputByGroupHeaders, nullptr, -1, -1},
    {BoolOption("all models in same column"), 0, &D::bAllModelsInSameColumn,
     nullptr, &L::bAllModelsInSameColumn, nullptr, -1, -1},
    {BoolOption("include km estimates"), 0, &D::bIncludeKinkmarkEstimates,
     nullptr, &L::bIncludeKinkmarkEstimates, nullptr, -1, -1},
    {BoolOption("export bad cohorts"), 1, &D::bExportBadCohorts, nullptr,
     &L::bExportBadCohorts, nullptr, -1, -1},
    {BoolOption("export report"), 1, &D::bExportReport, nullptr, nullptr,
     nullptr, -1, -1},
    {BoolOption("export data"), 1, &D::bExportData, nullptr, nullptr, nullptr,
     -1, -1},
    {BoolOption("export apc"), 1, &D::bExportAPC, nullptr, nullptr, nullptr, -1,
     -1},
    {BoolOption("export all apc segments"), 1, &D::bExportAllAPCSegments,
     nullptr, nullptr, nullptr, -1, -1},
    {BoolOption("export aapc"), 1, &D::bExportAAPC, nullptr, nullptr, nullptr,
     -1, -1},
    {BoolOption("export ftest"), 1, &D::bExportFTest, nullptr, nullptr, nullptr,
     -1, -1},
    {BoolOption("export pairwise"), 1, &D::bExportPairwise, nullptr, nullptr,
     nullptr, -1, -1},
    {BoolOption("export jump_cr"), 1, &D::bExportJumpCR, nullptr, nullptr,
     nullptr, -1, -1},
    {BoolOption("export selection results"), 1, &D::bExportSelectionResults,
     nullptr, nullptr, nullptr, -1, -1},
};

}  // namespace

const ExportOptionRow* ExportOptionRows(size_t& iNumRows) {
  iNumRows = std::size(kRows);
  return kRows;
}

IniExportDict::IniExportDict() : fileName(nullptr) { Init(); }

void IniExportDict::Init() {
  for (const ExportOptionRow& row : kRows) {
    if (row.pbField != nullptr) this->*row.pbField = row.dDefault != 0.0;
    if (row.piField != nullptr) {
      this->*row.piField = static_cast<int32_t>(row.dDefault);
    }
  }
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
        for (const ExportOptionRow& row : kRows) ReadRow(*pSection, row);
      });
}

void IniExportDict::ReadRow(const KmIniSection& section,
                            const ExportOptionRow& row) {
  const OptionRow& option = row.option;
  if (option.bPrefix) {
    // The numbered pairs are read once, at the start-range row.
    if (KmString(option.sKey) == "aapc start range") ReadAAPCRanges(section);
    return;
  }
  const KmString sValue = ValueOf(section, option.sKey);
  if (sValue.IsEmpty()) return;
  const KmString sLower = km_session_internal::Lowered(sValue);
  if (option.valueClass == OptionValueClass::kCount) {
    this->*row.piField =
        km_session_internal::LeadingInt32Clamped(sValue.GetCString());
    return;
  }
  const int32_t iCode = option.valueClass == OptionValueClass::kBool
                            ? WordCode("false|true", sLower)
                            : WordCode(option.sWords, sLower);
  if (iCode < 0) ThrowInvalidValue(sLower, option.sKey);
  if (row.pbField != nullptr) {
    this->*row.pbField = iCode == 1;
  } else {
    this->*row.piField = iCode;
  }
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
    // The export-options validator (ValidateExportOptions) refuses an
    // unpaired start. Read without it, a start without its end leaves the
    // end list shorter, and lists of unequal length give the run no custom
    // ranges (ApplyAAPCRanges).
    if (!sEnd.IsEmpty()) {
      dAAPCEndRanges.push_back(
          km_session_internal::LeadingDouble(sEnd.GetCString()));
    }
  }
}
