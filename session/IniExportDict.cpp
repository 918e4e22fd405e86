// IniExportDict: defaults and the reader of the section "Export Options".
#include "session/IniExportDict.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <limits>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmIniFile.h"
#include "foundation/KmString.h"
#include "foundation/KmYesNo.h"
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

// The row makers, one per kind of key: each row reads as key, kind,
// default, the dictionary member it is read into and where it is copied.

// What every row has: no member, no layout, no display option.
constexpr ExportOptionRow BaseRow(OptionRow option, double dDefault) {
  return {option, dDefault, nullptr, nullptr, nullptr, nullptr, -1, -1};
}

// A switch (yes or no, ReadYesNo) that the driver reads from the dictionary.
constexpr ExportOptionRow Switch(const char* sKey, bool bDefault,
                                 bool D::*pbField) {
  ExportOptionRow row = BaseRow(BoolOption(sKey), bDefault ? 1.0 : 0.0);
  row.pbField = pbField;
  return row;
}

// A switch copied to the layout record.
constexpr ExportOptionRow LayoutSwitch(const char* sKey, bool bDefault,
                                       bool D::*pbField, bool L::*pbLayout) {
  ExportOptionRow row = Switch(sKey, bDefault, pbField);
  row.pbLayout = pbLayout;
  return row;
}

// A switch copied to the display option iDisplay.
constexpr ExportOptionRow DisplaySwitch(const char* sKey, bool bDefault,
                                        bool D::*pbField, int32_t iDisplay) {
  ExportOptionRow row = Switch(sKey, bDefault, pbField);
  row.iDisplay = iDisplay;
  return row;
}

// A code of the layout record: the position of the value in sWords.
constexpr ExportOptionRow LayoutCode(const char* sKey, const char* sWords,
                                     int32_t iDefault, int32_t D::*piField,
                                     int32_t L::*piLayout) {
  ExportOptionRow row = BaseRow(WordOption(sKey, sWords), iDefault);
  row.piField = piField;
  row.piLayout = piLayout;
  return row;
}

// A display precision from 0 to kMaxDisplayPrecision, copied to the display
// option iDisplay and, when given, iDisplay2.
constexpr ExportOptionRow Precision(const char* sKey, int32_t iDefault,
                                    int32_t D::*piField, int32_t iDisplay,
                                    int32_t iDisplay2 = -1) {
  ExportOptionRow row =
      BaseRow(CountOption(sKey, 0, kMaxDisplayPrecision), iDefault);
  row.piField = piField;
  row.iDisplay = iDisplay;
  row.iDisplay2 = iDisplay2;
  return row;
}

// The numbered keys sKey1, sKey2, ...: decimal numbers, read together into
// the AAPC range lists.
constexpr ExportOptionRow NumberedRange(const char* sKey) {
  OptionRow option = NumberOption(sKey);
  option.bPrefix = true;
  return BaseRow(option, 0.0);
}

// Every key of "Export Options" in reading order.
const ExportOptionRow kRows[] = {
    LayoutCode("models", "all|best fit", 0, &D::iModels, &L::iModels),
    DisplaySwitch("include apcs in data export", true,
                  &D::bIncludeAPCsInDataExport, kmDispDataShowAPCs),
    DisplaySwitch("aapc full range", false, &D::bAAPCFullRange,
                  kmDispAAPCFullRange),
    Switch("aapc last obs", false, &D::bAAPCLastObs),
    NumberedRange("aapc start range"),
    NumberedRange("aapc end range"),
    Precision("x values precision", 9, &D::iXValuesPrecision,
              kmDispXValuesPrec),
    Precision("y values precision", 9, &D::iYValuesPrecision,
              kmDispYValuesPrec),
    Precision("model statistics precision", 3, &D::iModelStatisticsPrecision,
              kmDispModelStatisticsPrec),
    Precision("estimated kinkmarks precision", 3,
              &D::iEstimatedKinkmarksPrecision, kmDispKinkmarkPrec,
              kmDispTrendKinkmarkPrec),
    Precision("regression coefficients precision", 3,
              &D::iRegressionCoefficientsPrecision, kmDispCoefficientsPrec),
    Precision("covariance matrix precision", 3, &D::iCovarianceMatrixPrecision,
              kmDispCovariancePrec),
    Precision("correlation matrix precision", 3,
              &D::iCorrelationMatrixPrecision, kmDispCorrelationPrec),
    Precision("apc precision", 3, &D::iAPCPrecision, kmDispTrendAPCPrec),
    Precision("aapc precision", 3, &D::iAAPCPrecision, kmDispAAPCPrec),
    Precision("aapc segment ranges precision", 3,
              &D::iAAPCSegmentRangesPrecision, kmDispSegmentRangePrec),
    Precision("p-value precision", 3, &D::iPValuePrecision, kmDispPValuePrec),
    LayoutCode("line delimiter", "dos/windows|unix", 0, &D::iLineDelimiter,
               &L::iLineDelimiter),
    LayoutCode("missing character", "space|period|na", 0, &D::iMissingCharacter,
               &L::iMissingCharacter),
    LayoutCode("field delimiter", "tab|comma|semi-colon", 0,
               &D::iFieldDelimiter, &L::iFieldDelimiter),
    LayoutCode("by-var format", "numeric|quoted labels|unquoted labels", 2,
               &D::iByVarFormat, &L::iByVarFormat),
    LayoutCode("export type", "table|text", 0, &D::iExportType,
               &L::iExportType),
    LayoutSwitch("remove km flags", true, &D::bRemoveKinkmarkFlags,
                 &L::bRemoveKinkmarkFlags),
    LayoutSwitch("remove best fit flags", false, &D::bRemoveBestFitFlags,
                 &L::bRemoveBestFitFlags),
    LayoutSwitch("output by-group headers", true, &D::bOutputByGroupHeaders,
                 &L::bOutputByGroupHeaders),
    LayoutSwitch("all models in same column", false, &D::bAllModelsInSameColumn,
                 &L::bAllModelsInSameColumn),
    LayoutSwitch("include km estimates", false, &D::bIncludeKinkmarkEstimates,
                 &L::bIncludeKinkmarkEstimates),
    LayoutSwitch("export bad cohorts", true, &D::bExportBadCohorts,
                 &L::bExportBadCohorts),
    Switch("export report", true, &D::bExportReport),
    Switch("export data", true, &D::bExportData),
    Switch("export apc", true, &D::bExportAPC),
    Switch("export all apc segments", true, &D::bExportAllAPCSegments),
    Switch("export aapc", true, &D::bExportAAPC),
    Switch("export ftest", true, &D::bExportFTest),
    Switch("export pairwise", true, &D::bExportPairwise),
    Switch("export jump_cr", true, &D::bExportJumpCR),
    Switch("export selection results", true, &D::bExportSelectionResults),
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
        const char* sFileName = theIniFile.GetFileName().GetCString();
        for (const ExportOptionRow& row : kRows) {
          ReadRow(*pSection, row, sFileName);
        }
      });
}

void IniExportDict::ReadRow(const KmIniSection& section,
                            const ExportOptionRow& row, const char* sFileName) {
  const OptionRow& option = row.option;
  if (option.bPrefix) {
    // The numbered pairs are read once, at the start-range row.
    if (KmString(option.sKey) == "aapc start range")
      ReadAAPCRanges(section, row.option, sFileName);
    return;
  }
  if (option.valueClass == OptionValueClass::kCount) {
    double dValue = 0.0;
    if (km_session_internal::ReadOptionNumber(section, sFileName, option,
                                              option.sKey, dValue,
                                              kInvalidValueSource)) {
      // A whole number beyond 32 bits gives the nearest 32-bit limit.
      this->*row.piField = static_cast<int32_t>(
          std::clamp<double>(dValue, std::numeric_limits<int32_t>::min(),
                             std::numeric_limits<int32_t>::max()));
    }
    return;
  }
  const KmString sValue = ValueOf(section, option.sKey);
  if (sValue.IsEmpty()) return;
  const KmString sLower = km_session_internal::Lowered(sValue);
  const YesNo yesNo = ReadYesNo(sValue);
  const int32_t iCode = option.valueClass != OptionValueClass::kBool
                            ? WordCode(option.sWords, sLower)
                        : yesNo == YesNo::kNeither ? -1
                                                   : yesNo == YesNo::kYes;
  if (iCode < 0) ThrowInvalidValue(sLower, option.sKey);
  if (row.pbField != nullptr) {
    this->*row.pbField = iCode == 1;
  } else {
    this->*row.piField = iCode;
  }
}

void IniExportDict::ReadAAPCRanges(const KmIniSection& section,
                                   const OptionRow& range,
                                   const char* sFileName) {
  const auto read = [&](const KmString& sKey, KmVector<double>& vRanges) {
    double dValue = 0.0;
    const bool bGiven = km_session_internal::ReadOptionNumber(
        section, sFileName, range, sKey.GetCString(), dValue,
        kInvalidValueSource);
    if (bGiven) vRanges.push_back(dValue);
    return bGiven;
  };
  dAAPCStartRanges.clear();
  dAAPCEndRanges.clear();
  // The pairs are numbered from 1 without gaps: the first missing start
  // ends the list, whatever higher numbers follow.
  for (int32_t i = 1;; ++i) {
    KmString sStartKey("aapc start range");
    sStartKey << i;
    if (!read(sStartKey, dAAPCStartRanges)) return;

    KmString sEndKey("aapc end range");
    sEndKey << i;
    // The export-options validator (ValidateExportOptions) refuses an
    // unpaired start. Read without it, a start without its end leaves the
    // end list shorter, and lists of unequal length give the run no custom
    // ranges (ApplyAAPCRanges).
    read(sEndKey, dAAPCEndRanges);
  }
}
