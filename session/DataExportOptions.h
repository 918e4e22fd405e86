// The formatting record handed to every report and export writer.
#ifndef KM_SESSION_DATAEXPORTOPTIONS_H
#define KM_SESSION_DATAEXPORTOPTIONS_H

#include <cstdint>

#include "foundation/KmString.h"

// DataExportOptions tells the report and export writers which models to
// write and how: the field delimiter, the line end, the missing-value text,
// the by-variable format and the layout switches. The driver constructs one
// with its fixed starting values, copies the export-options file over it
// (IniExportDict) and hands it read-only to the writers. The members are
// public and assigned directly.
class DataExportOptions {
 public:
  // Field delimiter codes.
  static constexpr int32_t kFieldTab = 0;
  static constexpr int32_t kFieldComma = 1;
  static constexpr int32_t kFieldSemicolon = 2;
  // Line delimiter codes.
  static constexpr int32_t kLineDos = 0;   // "\r\n"
  static constexpr int32_t kLineUnix = 1;  // "\n"
  // Missing-value codes.
  static constexpr int32_t kMissingSpace = 0;   // " "
  static constexpr int32_t kMissingPeriod = 1;  // "."
  static constexpr int32_t kMissingNA = 2;      // "NA"

  // Members start at the driver's values when the run has no export-options
  // file: the best-fit model only, "\n", ".", ";", unquoted labels, table
  // layout, no by-group headers, all models in one column, kinkmark
  // estimates included, both kinds of flags removed, bad cohorts exported.
  // Callers change single members by name.
  DataExportOptions() = default;
  // Takes every member; the parameter order is not the member order. The
  // driver starts from (1, 1, 1, 2, 2, 0, 0, true, true, false, true, true,
  // false, 2100, 1500, true), the values of the default constructor.
  DataExportOptions(int32_t iModels, int32_t iLineDelimiter,
                    int32_t iMissingCharacter, int32_t iFieldDelimiter,
                    int32_t iByVarFormat, int32_t iExportType, int32_t iGraphs,
                    bool bRemoveKinkmarkFlags, bool bRemoveBestFitFlags,
                    bool bOutputByGroupHeaders, bool bAllModelsInSameColumn,
                    bool bIncludeKinkmarkEstimates, bool bUseHighResGraphs,
                    int32_t iHighResGraphWidth, int32_t iHighResGraphHeight,
                    bool bExportBadCohorts);

  // The field delimiter: tab (9) for code 0, ',' for 1, ';' for 2. Throws
  // KmException "Unsupported field delimiter." for any other code.
  char GetFieldDelimeter() const;
  // Sets sDelimiter to "\r\n" for line code 0 or "\n" for 1 and returns it.
  // Throws KmException "Unsupported line delimiter." for any other code
  // (sDelimiter is then unchanged).
  KmString& GetLineDelimeter(KmString& sDelimiter) const;
  // The same text as a new string.
  KmString GetLineDelimeter() const;
  // The missing-value text: " " for code 0, "." for 1, "NA" for 2. Throws
  // KmException "Unsupported missing character." for any other code.
  KmString GetMissingChar() const;

  bool bAllModelsInSameColumn = true;
  bool bOutputByGroupHeaders = false;
  bool bRemoveBestFitFlags = true;
  bool bRemoveKinkmarkFlags = true;
  bool bIncludeKinkmarkEstimates = true;
  bool bExportBadCohorts = true;
  // 0 all models, 1 the best-fit model only.
  int32_t iModels = 1;
  // kLineDos or kLineUnix.
  int32_t iLineDelimiter = kLineUnix;
  // kMissingSpace, kMissingPeriod or kMissingNA.
  int32_t iMissingCharacter = kMissingPeriod;
  // kFieldTab, kFieldComma or kFieldSemicolon.
  int32_t iFieldDelimiter = kFieldSemicolon;
  // Graph setting of the package; no writer reads it.
  int32_t iGraphs = 0;
  // 0 numeric codes, 1 quoted labels, 2 unquoted labels.
  int32_t iByVarFormat = 2;
  // 0 table, 1 text.
  int32_t iExportType = 0;
  // Graph settings of the package; no writer reads them.
  bool bUseHighResGraphs = false;
  int32_t iHighResGraphWidth = 2100;
  int32_t iHighResGraphHeight = 1500;
};

#endif  // KM_SESSION_DATAEXPORTOPTIONS_H
