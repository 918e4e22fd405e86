// WriteParametersText: the output options and the exported
// reports of the run summary.
#include <initializer_list>

#include "foundation/KmCallPath.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmStringTokenizer.h"
#include "reports/kmRunSummary.h"
#include "session/DataExportOptions.h"
#include "session/OutputDisplayOptions.h"

namespace {

// Write, binary, append.
constexpr int32_t kAppendMode = KmIO_File::kWrite | KmIO_File::kAppend;

const char* BoolText(bool b) { return b ? "true" : "false"; }

// The name of code iCode in the list, or null for a code outside it.
const char* CodeName(int iCode, std::initializer_list<const char*> names) {
  if (iCode < 0 || iCode >= static_cast<int>(names.size())) return nullptr;
  return names.begin()[iCode];
}

// Appends D + sLabel + the name of iCode, when the code has a name.
void AppendCode(KmString& s, const KmString& D, const char* sLabel, int iCode,
                std::initializer_list<const char*> names) {
  const char* sName = CodeName(iCode, names);
  if (sName != nullptr) s << D << sLabel << sName;
}

// The precisions, the AAPC method and range settings of the display options.
void AppendDisplayOptions(KmString& s, const KmString& D,
                          const OutputDisplayOptions& display,
                          kmIntervalMethod aapcCIMethod) {
  struct Precision {
    const char* sLabel;
    int iOption;
  };
  static const Precision kPrecisions[] = {
      {"X Value Precision = ", kmDispXValuesPrec},
      {"Y Value Precision = ", kmDispYValuesPrec},
      {"Squared Error Precision = ", kmDispModelStatisticsPrec},
      {"Estimated Kinkmarks Precision = ", kmDispKinkmarkPrec},
      {"Regression Coefficients Precision = ", kmDispCoefficientsPrec},
      {"P-Value Precision = ", kmDispPValuePrec},
      {"Segment Ranges Precision = ", kmDispSegmentRangePrec},
      {"APC Precision = ", kmDispTrendAPCPrec},
      {"AAPC Precision = ", kmDispAAPCPrec}};
  for (const Precision& p : kPrecisions) {
    s << D << p.sLabel << display.GetInt(p.iOption);
  }
  const char* sMethod = CodeName(static_cast<int>(aapcCIMethod),
                                 {"Parametric", "First Last Method.",
                                  "Resampling T", "Emperical Quantile"});
  s << D << "AAPC CI Method = " << (sMethod ? sMethod : "");
  s << D
    << "Covariance Matrix Precision = " << display.GetInt(kmDispCovariancePrec);
  s << D << "Correlation Matrix Precision = "
    << display.GetInt(kmDispCorrelationPrec);
  s << D << "Display AAPC Full Range = "
    << BoolText(display.GetInt(kmDispAAPCFullRange) != 0);

  KmString sCustom;
  display.GetString(kmDispStrCustomRanges, sCustom);
  if (sCustom.IsEmpty()) return;
  s << D << "String Custom AAPC Range(s)= ";
  KmStringTokenizer items(sCustom.GetCString(), ",");
  const int32_t iItems = items.GetNumTokens();
  for (int32_t i = 0; i < iItems; ++i) {
    KmString sItem;
    items.GetToken(sItem, i);
    if (sItem == "-") break;
    s << sItem << ",";
  }
  if (s.EndsWith(",")) s.Truncate(s.GetLength() - 1);
}

// The layout switches and codes of the export options.
void AppendExportOptions(KmString& s, const KmString& D,
                         const DataExportOptions& e) {
  s << D << "Export All Models in Same Column = "
    << BoolText(e.bAllModelsInSameColumn);
  s << D << "Remove Kinkmark Flags = " << BoolText(e.bRemoveKinkmarkFlags);
  s << D << "Remove Best Model Flags = " << BoolText(e.bRemoveBestFitFlags);
  s << D << "Output Variable Names Before Each By-Group = "
    << BoolText(e.bOutputByGroupHeaders);
  AppendCode(s, D, "Output By-Variables As = ", e.iByVarFormat,
             {"Numeric Representation", "Labels Enclosed in Quotes",
              "Labels Without Quotes"});
  AppendCode(s, D, "Line Delimiter = ", e.iLineDelimiter,
             {"DOS/Windows", "UNIX"});
  AppendCode(s, D, "Field Delimiter = ", e.iFieldDelimiter,
             {"Tab", "Comma", "Semi-Colon"});
  AppendCode(s, D, "Export Models = ", e.iModels,
             {"All Models", "Best Fit Only"});
  AppendCode(s, D, "Missing Characters = ", e.iMissingCharacter,
             {"Space", "Period"});
  AppendCode(s, D, "Export Type = ", e.iExportType, {"Table", "Text"});
}

}  // namespace

void WriteParametersText(const KmFileTarget& sFileName,
                         OutputDisplayOptions displayOptions,
                         DataExportOptions exportOptions, bool bExportReport,
                         bool bExportAPC, bool bExportAAPC, bool bExportFTest,
                         bool bExportData, kmIntervalMethod aapcCIMethod,
                         KmString sLineDelimiter) {
  WithCallPath("WriteParametersText", "kmSession", [&] {
    const KmString& D = sLineDelimiter;
    KmString s;
    s << D << "--------------" << D << "Output Options" << D
      << "--------------";
    AppendDisplayOptions(s, D, displayOptions, aapcCIMethod);
    AppendExportOptions(s, D, exportOptions);
    s << D << D << "----------------" << D << "Reports Exported" << D
      << "----------------";
    if (bExportReport) s << D << "Report";
    if (bExportData) s << D << "Data";
    if (bExportAPC) s << D << "APC";
    if (bExportAAPC) s << D << "AAPC";
    if (bExportFTest) s << D << "F-Test";

    WriteRunSummaryText(sFileName, kAppendMode, "appending", "kmSession", s);
  });
}
