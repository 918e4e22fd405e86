// Shared tools: version comparison, the canned user message, the limits on
// the number of kinkmarks, number-text helpers, the clean-up of delimited
// data lines and the extraction of numeric tables.
#ifndef KM_FOUNDATION_KMTOOLS_H
#define KM_FOUNDATION_KMTOOLS_H

#include <newmat.h>

#include <cstdint>
#include <string>

#include "foundation/KmString.h"
#include "foundation/KmVector.h"

// Free functions shared by the session, the data reader, the results-file
// readers and the fitting code. None keeps state. Each adds its own name to
// the call path of a KmException passing through it.
namespace kmTools {

// Codes of the canned user messages (GetErrorMessage). The type is fixed, so
// any int is a value of it: GetErrorMessage answers an unknown code with an
// empty text.
enum ErrorMessages : int {
  TooFewObservations = 0,
};

// Compares two file versions at three decimals: both are printed "%5.3f"
// and equal texts count as equal (4.9 and 4.9004 are equal).
// Returns 0 when equal, 1 when dSecond is the newer (larger), -1 when
// dFirst is the newer.
// Throws: KmException "Unknown error occurred while comparing file
// versions: Version 1 = %s, Version 2 = %s\n" (class "kmTools") when the
// texts differ but neither number is larger (a NaN, or 0 against -0).
int16_t CompareVersionNumbers(double dFirst, double dSecond);

// The text of a canned message; "" for an unknown code. The text of
// TooFewObservations holds the placeholder "$$", which the caller replaces
// by the minimum number of observations the model needs.
KmString GetErrorMessage(ErrorMessages eMessage);

// The default maximum number of kinkmarks for a series of iObservations
// observations:
//   n >= 47: 5 (9 extended)   42-46: 5 (8)   37-41: 5 (7)   32-36: 5 (6)
//   27-31: 5                  22-26: 4       17-21: 3       12-16: 2
//   7-11: 1                   6 or fewer (0 and negative too): 0
// Every caller of this system passes bExtended false.
int16_t MaxKinkmarksForObservations(int16_t iObservations, bool bExtended);

// The fewest observations a straight line is fitted to: its standard
// errors need a residual degree of freedom (and their bandwidth ln ln n a
// positive logarithm).
constexpr int kMinObservationsForLine = 3;

// True when iKinkmarks kinkmarks fit in iObservations observations with
// iMinObsEnd observations before the first and after the last kinkmark and
// iMinObsBetween between two neighbours, each kinkmark standing on one
// observation:
//   (k - 1) * between + k + 2 * end <= n,
// and a model without kinkmarks needs kMinObservationsForLine (it has no
// end segments to keep apart).
// The need is computed in 64-bit arithmetic, so no input can overflow it.
bool KinkmarkCountFeasible(int iObservations, int iKinkmarks, int iMinObsEnd,
                           int iMinObsBetween);

// The observations a fit needs for iKinkmarks kinkmarks. Grid search: the
// need of KinkmarkCountFeasible. Hudson's method (bHudsons) keeps one more
// observation at each end and two more between kinkmarks, and its pieces
// meet at observations: 2 * end + 2 + (k - 1) * (between + 2). Both
// methods fit the model without kinkmarks (k <= 0) to
// kMinObservationsForLine observations, whatever the spacing. 64-bit, so no
// input can overflow it.
int64_t ObservationsForKinkmarks(int iKinkmarks, int iMinObsEnd,
                                 int iMinObsBetween, bool bHudsons);

// The largest number of kinkmarks, at most iMaxKinkmarks, whose need
// (ObservationsForKinkmarks) iObservations observations meet; -1 when not
// even the model without kinkmarks fits.
int PlaceableKinkmarks(int iObservations, int iMaxKinkmarks, int iMinObsEnd,
                       int iMinObsBetween, bool bHudsons);

// The number of decimal places written in a number text: trailing blanks and
// then trailing '0' characters are dropped, and the digits after the first
// '.' are counted up to the first non-digit. "12.50" gives 1, "1.25e3" 2,
// "100" and "" give 0. A null text gives 0.
int GetPrecision(const char* sNumber);

// Stores in dValue the value of the number sText begins with (strtod's).
// Returns true when the whole text is a number a double holds by ReadNumber
// (KmConvertValue.h; leading blanks as bAllowLeadingBlank allows): the one
// rule by which every reader tells a number from text. "" gives true with
// 0; trailing blanks, "0x10", "inf", "nan", "1e999" and "1e-999" give
// false. Never throws; a null text gives false with 0.
bool StringToDouble(double& dValue, const char* sText, bool bAllowLeadingBlank);

// How every message says that a text is a number no double holds.
constexpr char kBeyondDoubleWords[] =
    "is a number beyond those a double holds (sizes from 1e-308 to 1e308, "
    "and 0)";

// What one field of a data file holds, by ReadFieldNumber.
enum class FieldNumber {
  kMissing,      // empty, or the missing text
  kNumber,       // a number a double holds
  kNotNumber,    // text
  kBeyondDouble  // a number no double holds ("1e999", "1e-999")
};

// The one rule by which every reader of data-file values (the pre-read, the
// record checks, the rate checks, the cohort readers and the calculation
// control) and of the variance-covariance matrix file tells a number from a
// missing value and from text. Its edges, decided once:
// - blanks (codes up to 0x20) around the field are layout: the field is
//   read as FieldText reads it, trimmed, a pair of double quotes that
//   encloses it dropped (its doubled quotes made single), trimmed again;
// - the field is missing (kMissing, dValue 0) when that text is empty or
//   equals sMissing read the same way (" -999 " is the missing text -999);
// - the rest is read by ReadNumber (KmConvertValue.h): a number a double
//   holds is kNumber with dValue its value (-0 as 0); one no double holds
//   ("1e999", "1e-999") is kBeyondDouble, dValue 0;
// - anything else is text (kNotNumber, dValue 0): "12e", "0x10", "inf" and
//   "1,5" are no numbers.
// Commas are the caller's: a thousands comma is dropped before the call.
FieldNumber ReadFieldNumber(const KmString& sField, const KmString& sMissing,
                            double& dValue);

// The one rule by which every reader takes a value of the independent
// variable (a year) as a number, in the data and in the labels of its
// format alike: ReadFieldNumber of the whole field once its thousands
// commas are dropped, so "1998-1999", "1998-", "1998+" and "1998.0-5" are
// no number (kNotNumber), and "1998", "1998.0", "1998e0" and "1.998e3" are
// all 1998. -0 reads as 0: "-0" and "0" are one year. dValue is 0 unless
// the field is a number; "1e-999" is kBeyondDouble, not the year 0.
FieldNumber ReadIndependentNumber(const KmString& sField,
                                  const KmString& sMissing, double& dValue);

// The shortest text in "%.<p>g" form (p from 1 to 17) that reads back as
// dValue: 2.0000000000000004 shows its fraction, 900 shows as 900.
KmString ShortestText(double dValue);

// sText with every doubled double quote ("") made one: the way a quoted
// field of a delimited file writes a quote.
KmString UndoubleQuotes(const KmString& sText);

// Drops a pair of double quotes that encloses the whole of sField and makes
// the doubled quotes inside single: the text of a quoted field.
void DropEnclosingQuotes(KmString& sField);

// The value of one field of a delimited line as
// KmStringTokenizer::SplitRecord gives it: blanks (codes up to 0x20)
// trimmed, then the double quotes that enclose it dropped
// (DropEnclosingQuotes), then blanks trimmed again. Data values, by-variable
// labels and the header row's variable names are all read this way.
KmString FieldText(const KmString& sToken);

// Rebuilds a delimited data line in place when it contains sDelimiter:
// quote characters enclosing a whole field (one holding no delimiter) are
// removed, pair by pair (a quoted text's doubled quotes made single, after
// which no more pairs go), from every field but the last, unless the text
// left would hold a quote (the field then stays as written, "No""rth" in
// its quotes), and every empty field but the last becomes sMissing. Fields
// lose their leading spaces. The last field is kept as it stands. A line
// without the delimiter is left unchanged.
void RemoveUnecessaryQuotes(KmString& sLine, const KmString& sDelimiter,
                            const KmString& sMissing);

// A numeric table of rows (each a vector of doubles).
typedef KmVector<KmVector<double> > kmNumericTable;

// A new table from mTable without its first value of every row when
// bDropFirstColumn, and without its first row when bDropFirstRow; a copy
// when neither is set. A row of one value or none becomes empty when the
// first column is dropped; a table of one row or none becomes empty when the
// first row is dropped.
kmNumericTable ExtractNumericTable(const kmNumericTable& mTable,
                                   bool bDropFirstColumn, bool bDropFirstRow);

// Elements 1 to n of vValues, each in fixed notation with 9 decimals,
// separated by a tab when bTab and by ", " otherwise; "" for an empty
// vector.
std::string Get_Debug_ColumnVectorString(const NEWMAT::ColumnVector& vValues,
                                         bool bTab);

}  // namespace kmTools

#endif  // KM_FOUNDATION_KMTOOLS_H
