// ValidateExportOptions, IsValidExportOption, ApplyExportOptions,
// ApplyAAPCRanges and ApplyDisplayPrecisions.
#include "driver/ExportOptions.h"

#include <iterator>
#include <vector>

#include "driver/OptionValidation.h"
#include "foundation/KmCallPath.h"
#include "session/kmAAPCRanges.h"
#include "session/kmSession.h"

namespace {

using C = OptionValueClass;

// Every key of the section "Export Options" with its values.
const OptionRecord kExportOptions[] = {
    {"models", C::kWord, "all|best fit", false},
    {"line delimiter", C::kWord, "dos/windows|unix", false},
    {"missing character", C::kWord, "space|period|na", false},
    {"field delimiter", C::kWord, "tab|comma|semi-colon", false},
    {"by-var format", C::kWord, "numeric|quoted labels|unquoted labels", false},
    {"export type", C::kWord, "table|text", false},
    {"remove km flags", C::kBool, nullptr, false},
    {"remove best fit flags", C::kBool, nullptr, false},
    {"output by-group headers", C::kBool, nullptr, false},
    {"all models in same column", C::kBool, nullptr, false},
    {"include km estimates", C::kBool, nullptr, false},
    {"include apcs in data export", C::kBool, nullptr, false},
    {"aapc full range", C::kBool, nullptr, false},
    {"aapc last obs", C::kBool, nullptr, false},
    {"export bad cohorts", C::kBool, nullptr, false},
    {"export report", C::kBool, nullptr, false},
    {"export data", C::kBool, nullptr, false},
    {"export apc", C::kBool, nullptr, false},
    {"export all apc segments", C::kBool, nullptr, false},
    {"export aapc", C::kBool, nullptr, false},
    {"export ftest", C::kBool, nullptr, false},
    {"export jump_cr", C::kBool, nullptr, false},
    {"export selection results", C::kBool, nullptr, false},
    {"export pairwise", C::kBool, nullptr, false},
    {"x values precision", C::kCount, nullptr, false},
    {"y values precision", C::kCount, nullptr, false},
    {"model statistics precision", C::kCount, nullptr, false},
    {"estimated kinkmarks precision", C::kCount, nullptr, false},
    {"regression coefficients precision", C::kCount, nullptr, false},
    {"covariance matrix precision", C::kCount, nullptr, false},
    {"correlation matrix precision", C::kCount, nullptr, false},
    {"apc precision", C::kCount, nullptr, false},
    {"aapc precision", C::kCount, nullptr, false},
    {"aapc segment ranges precision", C::kCount, nullptr, false},
    {"p-value precision", C::kCount, nullptr, false},
    {"aapc start range", C::kNumber, nullptr, true},
    {"aapc end range", C::kNumber, nullptr, true},
};

std::vector<double> ToStdVector(const KmVector<double>& values) {
  return std::vector<double>(values.begin(), values.end());
}

}  // namespace

bool ValidateExportOptions(const char* sFileName) {
  return ValidateOptionsSection(sFileName, "Export Options",
                                [](const KmString& sKey, const KmString& sV) {
                                  return IsValidExportOption(sKey, sV);
                                });
}

bool IsValidExportOption(KmString sKey, KmString sValue) {
  return IsValidTableOption(kExportOptions, std::size(kExportOptions), "Export",
                            sKey, sValue);
}

void ApplyExportOptions(IniExportDict dict, DataExportOptions& options) {
  options.bAllModelsInSameColumn = dict.bAllModelsInSameColumn;
  options.bOutputByGroupHeaders = dict.bOutputByGroupHeaders;
  options.bRemoveBestFitFlags = dict.bRemoveBestFitFlags;
  options.bRemoveKinkmarkFlags = dict.bRemoveKinkmarkFlags;
  options.bIncludeKinkmarkEstimates = dict.bIncludeKinkmarkEstimates;
  options.bExportBadCohorts = dict.bExportBadCohorts;
  options.iModels = dict.iModels;
  options.iLineDelimiter = dict.iLineDelimiter;
  options.iMissingCharacter = dict.iMissingCharacter;
  options.iFieldDelimiter = dict.iFieldDelimiter;
  options.iByVarFormat = dict.iByVarFormat;
  options.iExportType = dict.iExportType;
}

void ApplyAAPCRanges(kmSession* pSession, IniExportDict dict) {
  kmAAPCRanges ranges;
  ranges.SetFullRange(dict.bAAPCFullRange);
  if (dict.bAAPCLastObs) ranges.SetLastObsRanges({5, 10});
  if (dict.dAAPCStartRanges.size() == dict.dAAPCEndRanges.size()) {
    ranges.SetStartRange(ToStdVector(dict.dAAPCStartRanges));
    ranges.SetEndRange(ToStdVector(dict.dAAPCEndRanges));
  }
  pSession->SetAAPCRanges(ranges);
}

void ApplyDisplayPrecisions(IniExportDict dict, OutputDisplayOptions& options) {
  WithCallPath("ApplyDisplayPrecisions()", "main", [&] {
    options.SetBool(19, dict.bAAPCFullRange);
    options.SetInt(0, dict.iXValuesPrecision);
    options.SetInt(1, dict.iYValuesPrecision);
    options.SetInt(3, dict.iEstimatedKinkmarksPrecision);
    options.SetInt(2, dict.iModelStatisticsPrecision);
    options.SetInt(4, dict.iRegressionCoefficientsPrecision);
    options.SetInt(14, dict.iCovarianceMatrixPrecision);
    options.SetInt(16, dict.iCorrelationMatrixPrecision);
    options.SetInt(28, dict.iEstimatedKinkmarksPrecision);
    options.SetInt(29, dict.iAPCPrecision);
    options.SetInt(18, dict.iAAPCPrecision);
    options.SetInt(10, dict.iAAPCSegmentRangesPrecision);
    options.SetInt(5, dict.iPValuePrecision);
    options.SetBool(11, dict.bIncludeAPCsInDataExport);
  });
}
