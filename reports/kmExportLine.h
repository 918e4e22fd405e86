// The cell and line rules that every delimited export file shares.
#ifndef KM_REPORTS_KMEXPORTLINE_H
#define KM_REPORTS_KMEXPORTLINE_H

#include <cstdint>
#include <memory>

#include "foundation/KmFileTarget.h"
#include "foundation/KmString.h"
#include "foundation/KmVector.h"
#include "session/DataExportOptions.h"

class KmIO_File;
class kmSession;

// kmExportLine builds one line (a header or a data row) of an export file
// and writes it. Every writer of the reports library builds its lines with
// it, so the files agree on these rules:
//
//  - A line is a list of cells joined by the field delimiter of the export
//    options (tab, ',' or ';'); no delimiter follows the last cell, so an
//    empty last cell still shows as a field: the line then ends in a
//    delimiter (the way to keep a delimiter after a row's last value).
//  - The line ends with the line delimiter of the options ("\r\n" or "\n"),
//    written as given (the file is binary; nothing is translated), and no
//    NUL byte is ever written.
//  - Header cell: the title in double quotes ("Model" is the seven
//    characters "Model" with its quotes).
//  - Numeric cell: never quoted; the printf format "%14.<p>f" (p a
//    precision, PrecisionFormat) or "%14.0f" for counts, then trimmed of
//    leading and trailing blanks (kmTextReport::FormatTableValue): the width
//    never reaches the file. Plus or minus infinity and the not-available
//    marker -1e30 are written as the missing-value text.
//  - Printed cell: a number printed with a printf format and written as
//    printed, leading blanks included (the model-selection family).
//  - Missing cell: the missing-value text of the options (" ", "." or
//    "NA"). Not-available cell: "-", for the values of a model that the
//    MADWD rule hides.
//  - By-variable label cells: one per entry of an index vector of level
//    codes; the by-variable of entry i is by-variable i modulo the number
//    of by-variables. With the by-variable format "numeric" the code as a
//    decimal integer; with "quoted labels" or "unquoted labels" the value
//    label of the code when the by-variable has value labels, else the
//    code; with "quoted labels" the text is put in double quotes unless the
//    caller asks for bare labels.
//  - Label cell (by-variable labels, cohort labels, words, titles): a text
//    that holds a double quote, the field delimiter or a line break, and
//    one that the cell asks to quote, is written between double quotes
//    with each of its quotes doubled ("Gam ""ma"", G"), so that it reads
//    back as one field with its own text; any other text as it is.
//
// The field delimiter, the line delimiter and the by-variable format are
// taken when the line is built, so an unsupported code is refused before
// the writer puts any byte of the line into the file. The missing-value
// text is taken on first use.
class kmExportLine {
 public:
  // Takes the delimiters and the by-variable format of options.
  // Throws: KmException "Unsupported field delimiter." or "Unsupported line
  // delimiter." (source "DataExportOptions") for a code outside the table;
  // "Unsupported by-variable format." for a by-variable format other than
  // 0, 1 or 2.
  explicit kmExportLine(const DataExportOptions& options);

  // Appends one cell holding sText as it is.
  void AddCell(const KmString& sText);
  // Appends the label cell of sLabel (see the class comment), quoted when
  // bQuote or when the text needs it.
  void AddLabelCell(const KmString& sLabel, bool bQuote = false);
  // Appends the label cell of sLabel, quoted with "quoted labels".
  void AddFormattedLabelCell(const KmString& sLabel);
  // Appends the header cell of sTitle (a label cell always quoted).
  void AddHeaderCell(const KmString& sTitle);
  // Appends iGroups times the header cells of the session's by-variable
  // names, in session order: 1 for a cohort's rows, 2 for the rows of a
  // comparison, which name both cohorts' levels.
  void AddByVarHeaderCells(const kmSession& session, int32_t iGroups = 1);
  // Appends the numeric cell of dValue in sFormat (see the class comment).
  // Throws: the missing-character error of DataExportOptions when dValue is
  // infinite or not available and the missing-value code is unsupported;
  // KmString's formatting error.
  void AddNumber(const KmString& sFormat, double dValue);
  // Appends the number printed with the printf format sFormat, as printed.
  void AddPrinted(const char* sFormat, ...) KM_PRINTF_FORMAT(2, 3);
  // Appends iCount missing-value cells.
  // Throws: the missing-character error of DataExportOptions.
  void AddMissing(int32_t iCount = 1);
  // Appends iCount not-available cells ("-").
  void AddNotAvailable(int32_t iCount = 1);
  // Appends iCount cells of a group that has no value: missing-value cells
  // when bShown, not-available cells when the model is hidden.
  void AddUnavailable(int32_t iCount, bool bShown);
  // Appends the by-variable label cells of vCodes for the by-variables of
  // session; bBare leaves out the quotes of "quoted labels". Appends nothing
  // when the session has no by-variables.
  // Throws: kmVariable's label error for a code that a labelled
  // by-variable's format does not hold.
  void AddByVarCells(const kmSession& session, const KmVector<int>& vCodes,
                     bool bBare = false);

  // The finished line (cells and line delimiter); the line is then empty
  // again.
  KmString Finish();
  // Finish, then writes the line's bytes (no NUL byte) to pFile.
  void Write(KmIO_File* pFile);

  // The options' values as taken by this line.
  char GetFieldDelimiter() const { return cDelimiter_; }
  int32_t GetByVarFormat() const { return iByVarFormat_; }
  // The missing-value text. Throws: the missing-character error of
  // DataExportOptions.
  const KmString& GetMissingText();
  // The number of cells appended since the last Finish.
  int32_t GetNumCells() const { return iCells_; }

 private:
  const DataExportOptions& options_;
  char cDelimiter_;
  KmString sLineEnd_;
  int32_t iByVarFormat_;
  bool bMissingTaken_;
  KmString sMissing_;
  KmString sLine_;
  int32_t iCells_;
};

// By-variable formats of the export options.
constexpr int32_t kByVarNumeric = 0;
constexpr int32_t kByVarQuotedLabels = 1;
constexpr int32_t kByVarUnquotedLabels = 2;

// The format "%14.<iPrecision>f" of a numeric cell; a negative precision
// gives "%14.0f".
KmString PrecisionFormat(int32_t iPrecision);
// The format of counts: "%14.0f".
extern const char* const kCountFormat;

// The text of one by-variable label, bare: by-variable iByVar of session,
// level code iCode, by-variable format iByVarFormat (the code with
// "numeric" or without value labels, else the value label).
// Throws: kmSession's by-variable range error; kmVariable's label error.
KmString ByVarLabelText(const kmSession& session, int32_t iByVar, int32_t iCode,
                        int32_t iByVarFormat);
// The cell text of the label sLabel in a file whose field delimiter is
// cDelimiter: between double quotes, its quotes doubled, when bQuote or when
// it holds a double quote, the delimiter, a carriage return or a line feed;
// else sLabel.
KmString LabelCellText(const KmString& sLabel, char cDelimiter, bool bQuote);

// *pOptions.
// Throws: KmException "No export options were given to the export writer."
// (source sClassName) for a null pointer.
const DataExportOptions& RequireExportOptions(const DataExportOptions* pOptions,
                                              const char* sClassName);

// Creates the export file sPath anew: emptied, binary (no line-end
// translation), readable and writable by other processes meanwhile.
// Throws: KmException "Unable to open the export file <path> for writing."
// (source sClassName) when it cannot be created, or for a null path.
std::unique_ptr<KmIO_File> OpenExportFile(const KmFileTarget& sPath,
                                          const char* sClassName);

#endif  // KM_REPORTS_KMEXPORTLINE_H
