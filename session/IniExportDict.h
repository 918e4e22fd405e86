// The export-options file as read: export switches, precisions, delimiter
// and format codes and the AAPC ranges of the section "Export Options".
#ifndef KM_SESSION_INIEXPORTDICT_H
#define KM_SESSION_INIEXPORTDICT_H

#include <cstddef>
#include <cstdint>

#include "foundation/KmFileName.h"
#include "foundation/KmVector.h"
#include "session/DataExportOptions.h"
#include "session/OptionRow.h"

class KmIniFile;
class KmIniSection;
struct ExportOptionRow;

// IniExportDict holds the section "Export Options" of an export-options file
// as plain public members, each with its default and its key. The driver
// owns one for the run, validates the file key by key, calls
// CreateDictFromFile and copies the members into the DataExportOptions, the
// session's AAPC ranges and the output display options; members 10 to 18
// (the export switches) decide which export files are written.
//
// Every key is a row of the table ExportOptionRows (below), which drives
// the defaults (Init), the reading, the validation of the file and the
// copying of the values to where the exports read them.
//
// Value words are compared after lower-casing. Boolean keys take yes or no by
// the one rule of a switch (ReadYesNo); precision keys take the leading whole
// number of the value (text without one gives 0, a number beyond 32 bits the
// nearest 32-bit limit); range keys take the leading number of the value. A key
// that is absent or has an empty value leaves its member unchanged.
class IniExportDict {
 public:
  // Empty range lists and file name, every other member at its default.
  IniExportDict();

  // Sets every member below to its default; the range lists and the file
  // name are not touched.
  void Init();

  // Reads the section "Export Options" of sFileName over the defaults and
  // keeps the name. Throws KmException:
  //  - "Empty string pointer passed to CreateDictFromFile." for a null or
  //    empty name;
  //  - kind 3 "Section \"[Export Options]\" not found in <full path>" when
  //    the file lacks the section (a file that does not exist lacks it);
  //  - kind 3 "Invalid value: <value> for variable: <key>" for a value
  //    outside its key's words (members read before it keep their values).
  // A numbered start without its end is kept in the start list alone.
  void CreateDictFromFile(const char* sFileName);

  // Opens sFileName, puts the switches, precisions and codes back to their
  // defaults and reads the section. Throws as CreateDictFromFile, less the
  // empty-name check.
  void Setup(const char* sFileName);

  // Reads the section "Export Options" of theIniFile: "models", "include
  // apcs in data export", "aapc full range", "aapc last obs", the AAPC
  // ranges, the eleven precisions, the five codes, the five layout switches
  // and the ten export switches, in that order. Throws as CreateDictFromFile.
  void ReadExportOptionsSection(KmIniFile& theIniFile);

  // Members in file order; each comment gives the default and the key.
  bool bAllModelsInSameColumn;           // false, "all models in same column"
  bool bIncludeKinkmarkEstimates;        // false, "include km estimates"
  bool bOutputByGroupHeaders;            // true, "output by-group headers"
  bool bRemoveBestFitFlags;              // false, "remove best fit flags"
  bool bRemoveKinkmarkFlags;             // true, "remove km flags"
  bool bAAPCLastObs;                     // false, "aapc last obs"
  bool bAAPCFullRange;                   // false, "aapc full range"
  bool bIncludeAPCsInDataExport;         // true, "include apcs in data export"
  bool bExportBadCohorts;                // true, "export bad cohorts"
  bool bExportReport;                    // true, "export report"
  bool bExportData;                      // true, "export data"
  bool bExportAPC;                       // true, "export apc"
  bool bExportAllAPCSegments;            // true, "export all apc segments"
  bool bExportAAPC;                      // true, "export aapc"
  bool bExportFTest;                     // true, "export ftest"
  bool bExportJumpCR;                    // true, "export jump_cr"
  bool bExportSelectionResults;          // true, "export selection results"
  bool bExportPairwise;                  // true, "export pairwise"
  int32_t iXValuesPrecision;             // 9, "x values precision"
  int32_t iYValuesPrecision;             // 9, "y values precision"
  int32_t iModelStatisticsPrecision;     // 3, "model statistics precision"
  int32_t iEstimatedKinkmarksPrecision;  // 3, "estimated kinkmarks precision"
  // 3, "regression coefficients precision"
  int32_t iRegressionCoefficientsPrecision;
  int32_t iCovarianceMatrixPrecision;   // 3, "covariance matrix precision"
  int32_t iCorrelationMatrixPrecision;  // 3, "correlation matrix precision"
  int32_t iAPCPrecision;                // 3, "apc precision"
  int32_t iAAPCPrecision;               // 3, "aapc precision"
  int32_t iAAPCSegmentRangesPrecision;  // 3, "aapc segment ranges precision"
  int32_t iPValuePrecision;             // 3, "p-value precision"
  // Custom AAPC ranges from the numbered pairs "aapc start range1" /
  // "aapc end range1", "aapc start range2" / ..., counted from 1 without
  // gaps; the i-th end closes the i-th start. Empty by default.
  KmVector<double> dAAPCStartRanges;
  KmVector<double> dAAPCEndRanges;
  // The file the dictionary was created from; empty by default.
  KmFileName fileName;
  // "by-var format": "numeric" 0, "quoted labels" 1, "unquoted labels" 2.
  int32_t iByVarFormat;  // 2
  // "export type": "table" 0, "text" 1.
  int32_t iExportType;  // 0
  // "field delimiter": "tab" 0, "comma" 1, "semi-colon" 2.
  int32_t iFieldDelimiter;  // 0
  // "line delimiter": "dos/windows" 0, "unix" 1.
  int32_t iLineDelimiter;  // 0
  // "missing character": "space" 0, "period" 1, "na" 2.
  int32_t iMissingCharacter;  // 0
  // "models": "all" 0, "best fit" 1.
  int32_t iModels;  // 0

 private:
  // Empties both range lists and reads the numbered pairs.
  void ReadAAPCRanges(const KmIniSection& section, const OptionRow& range,
                      const char* sFileName);
  // Reads the key of row into its member; absent or empty leaves it.
  void ReadRow(const KmIniSection& section, const ExportOptionRow& row,
               const char* sFileName);
};

// The largest display precision (decimals after the point) an export-options
// file may ask for: a double carries 17 significant digits, so more decimals
// only print noise (and a huge count would make every row huge).
constexpr int32_t kMaxDisplayPrecision = 17;

// One row of the export-options table: the option (key, value class, words
// whose codes are their positions, range), its default and where its value
// goes. Null members and -1 indices mean "nowhere". The table builds its rows
// with one maker per kind of key (IniExportDict.cpp): a switch, a layout
// switch or code, a display switch or precision, the numbered ranges.
struct ExportOptionRow {
  OptionRow option;
  double dDefault;
  bool IniExportDict::*pbField;          // switch read into the dictionary
  int32_t IniExportDict::*piField;       // code or precision read into it
  bool DataExportOptions::*pbLayout;     // layout switch it is copied to
  int32_t DataExportOptions::*piLayout;  // layout code it is copied to
  int32_t iDisplay;   // display option (OutputDisplayOptions) it sets
  int32_t iDisplay2;  // a second display option it sets
};

// The rows of every key of "Export Options", in reading order; iNumRows
// receives their number. The numbered AAPC range keys are the two rows with
// bPrefix set.
const ExportOptionRow* ExportOptionRows(size_t& iNumRows);

#endif  // KM_SESSION_INIEXPORTDICT_H
