// DataExportOptions: construction and the delimiter and missing texts.
#include "session/DataExportOptions.h"

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"

namespace {
const char kClassName[] = "DataExportOptions";
}  // namespace

DataExportOptions::DataExportOptions(
    int32_t iModels, int32_t iLineDelimiter, int32_t iMissingCharacter,
    int32_t iFieldDelimiter, int32_t iByVarFormat, int32_t iExportType,
    int32_t iGraphs, bool bRemoveKinkmarkFlags, bool bRemoveBestFitFlags,
    bool bOutputByGroupHeaders, bool bAllModelsInSameColumn,
    bool bIncludeKinkmarkEstimates, bool bUseHighResGraphs,
    int32_t iHighResGraphWidth, int32_t iHighResGraphHeight,
    bool bExportBadCohorts)
    : bAllModelsInSameColumn(bAllModelsInSameColumn),
      bOutputByGroupHeaders(bOutputByGroupHeaders),
      bRemoveBestFitFlags(bRemoveBestFitFlags),
      bRemoveKinkmarkFlags(bRemoveKinkmarkFlags),
      bIncludeKinkmarkEstimates(bIncludeKinkmarkEstimates),
      bExportBadCohorts(bExportBadCohorts),
      iModels(iModels),
      iLineDelimiter(iLineDelimiter),
      iMissingCharacter(iMissingCharacter),
      iFieldDelimiter(iFieldDelimiter),
      iGraphs(iGraphs),
      iByVarFormat(iByVarFormat),
      iExportType(iExportType),
      bUseHighResGraphs(bUseHighResGraphs),
      iHighResGraphWidth(iHighResGraphWidth),
      iHighResGraphHeight(iHighResGraphHeight) {}

char DataExportOptions::GetFieldDelimeter() const {
  return WithCallPath("GetFieldDelimeter()", kClassName, [&]() -> char {
    switch (iFieldDelimiter) {
      case kFieldTab:
        return '\t';
      case kFieldComma:
        return ',';
      case kFieldSemicolon:
        return ';';
      default:
        GenerateKmException("Unsupported field delimiter.", kClassName);
    }
  });
}

KmString& DataExportOptions::GetLineDelimeter(KmString& sDelimiter) const {
  return WithCallPath("GetLineDelimeter()", kClassName, [&]() -> KmString& {
    switch (iLineDelimiter) {
      case kLineDos:
        sDelimiter = "\r\n";
        break;
      case kLineUnix:
        sDelimiter = "\n";
        break;
      default:
        GenerateKmException("Unsupported line delimiter.", kClassName);
    }
    return sDelimiter;
  });
}

KmString DataExportOptions::GetLineDelimeter() const {
  return WithCallPath("GetLineDelimeter()", kClassName, [&]() -> KmString {
    KmString sDelimiter;
    GetLineDelimeter(sDelimiter);
    return sDelimiter;
  });
}

KmString DataExportOptions::GetMissingChar() const {
  return WithCallPath("GetMissingChar()", kClassName, [&]() -> KmString {
    switch (iMissingCharacter) {
      case kMissingSpace:
        return KmString(" ");
      case kMissingPeriod:
        return KmString(".");
      case kMissingNA:
        return KmString("NA");
      default:
        GenerateKmException("Unsupported missing character.", kClassName);
    }
  });
}
