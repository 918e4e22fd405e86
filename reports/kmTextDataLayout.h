// The settings shared by both layouts of the data export and the cell
// rules they have in common.
#ifndef KM_REPORTS_KMTEXTDATALAYOUT_H
#define KM_REPORTS_KMTEXTDATALAYOUT_H

#include <cstdint>

#include "foundation/KmString.h"
#include "session/DataExportOptions.h"

class kmCalcHandler;
class kmExportLine;
class kmSession;
class kmTable;

// The no-value marker of a data row.
constexpr double kDataNoValue = -9999.0;

// The switches and number formats of one data export file.
struct kmTextDataLayout {
  kmTextDataLayout(const kmCalcHandler& handler, const kmSession& session,
                   const DataExportOptions& options, bool bStandardErrorColumn);

  bool bOneModelColumn;
  bool bByGroupHeaders;
  bool bBestFitFlags;
  bool bKinkmarkFlags;
  bool bAPCColumn;
  bool bStandardErrors;
  int32_t iMinKinkmarks;
  int32_t iMaxKinkmarks;
  bool bLogLinear;
  // "%20.<p>f" of x and y values and standard errors (the y precision),
  // "%19.<p>f" of APCs (the APC precision).
  KmString sXFormat, sYFormat, sAPCFormat, sSEFormat;
};

// Kinkmark test of a row at x: when kinkmark iPassed of model lies at x,
// iPassed grows by one and the row is a kinkmark row.
bool PassKinkmark(const kmTable& model, double x, int32_t& iPassed);

// Appends the APC cell of segment iSegment: its APC estimate, with "*" when
// its interval lies wholly below or above 0; with bSlope the segment's
// slope estimate instead. A segment the model does not have is missing.
void AddSegmentAPCCell(kmExportLine& line, const kmTable& model,
                       int32_t iSegment, bool bSlope, const KmString& sFormat);

// Appends the kinkmark flag cell: "-" for a hidden model, "Kinkmark <n>"
// on a kinkmark row, else the missing-value text.
void AddKinkmarkFlagCell(kmExportLine& line, bool bShown, bool bKinkmarkRow,
                         int32_t iPassed);

// Appends a cell holding sWord, or iCode with the "numeric" by-variable
// format; in double quotes with "quoted labels".
void AddCodedWordCell(kmExportLine& line, int32_t iCode, const char* sWord);

#endif  // KM_REPORTS_KMTEXTDATALAYOUT_H
