// Small routines shared by the per-cohort readers of kmReadData: role
// columns, field cleaning and splitting, number reading and the
// comparability-ratio arithmetic.
#ifndef KM_DATA_INTERNAL_KMCOHORTREADHELPERS_H
#define KM_DATA_INTERNAL_KMCOHORTREADHELPERS_H

#include <cstdint>
#include <vector>

#include "foundation/KmString.h"
#include "foundation/kmTools.h"

class KmFormat;
class kmSession;
class kmVariable;

namespace km_read_internal {

// The end of a sentence that quotes a field the one number rule
// (kmTools::ReadFieldNumber) read as read, kNotNumber or kBeyondDouble:
// the closing quote, then why it gives no value.
KmString NoNumberEnding(kmTools::FieldNumber read);

// Value that marks a number as missing or not computable.
constexpr double kMissingValue = -1e30;

// The note of a cohort that is fitted with its zero counts (or numerators)
// taken as 0.5; the cohort keeps its good flag.
constexpr char kZeroCountNote[] =
    "  There are records with a value of zero for count.  0.5 will be added "
    "to each zero count value.";

// Throws: KmException (source sSource) "Unable to open data file
// \"<sFile>\" for reading: <reason>." with the system's reason for iErrno
// (KmSystemReason), the error of the open that failed.
[[noreturn]] void ThrowDataFileNotOpened(const KmString& sFile, int iErrno,
                                         const char* sSource);

// Number of by-variables read from the data: the session's count less the
// synthetic delay (kmOptDelayType 2) and jump (kmOptJumpCRMode 3 to 6)
// by-variables, which come last and stand in no data column.
int NumDataByVars(const kmSession& session);

// The record text of data line sRawLine as verification reads it: trimmed
// of blanks (bytes 0x01 to 0x20) unless the missing text is a space or the
// delimiter a tab, then its quotes resolved (kmTools::RemoveUnecessaryQuotes).
// *pByVarLine, when given, receives the text before the quotes are
// resolved, from which the by-variables are read.
KmString ResolvedDataLine(const KmString& sRawLine, const KmString& sDelimiter,
                          const KmString& sMissing,
                          KmString* pByVarLine = nullptr);
// True when sResolved, a line as ResolvedDataLine gives it, holds no
// record: it is empty once trimmed of blanks, or empty as it stands when
// the missing text is a space.
bool IsBlankRecord(const KmString& sResolved, const KmString& sMissing);
// The one blank-line rule of the data file, by which verification counts a
// copy's lines and every reader skips them:
// IsBlankRecord(ResolvedDataLine(sRawLine)).
bool IsBlankDataLine(const KmString& sRawLine, const KmString& sDelimiter,
                     const KmString& sMissing);

// The 0-based data-file column of the variable playing iRole.
// Throws: the session's "KM variable %d not yet defined." when the role is
// unset.
int RoleColumn(const kmSession& session, int iRole);

// The tokens of one record: split at sDelimiter, double-quoted sections not
// split (the quotes stay); the tokens are as the tokenizer gives them.
void SplitRecord(const KmString& sLine, const KmString& sDelimiter,
                 std::vector<KmString>& vTokens);

// Drops a pair of double quotes that encloses the whole of sField, and
// makes the doubled quotes inside single: a number with thousands commas in
// a comma-delimited file stands in quotes that are no part of its value,
// and a quoted text writes a quote as "".
void DropEnclosingQuotes(KmString& sField);

// The value of one field as SplitRecord gives it: blanks (codes up to 0x20)
// trimmed, then the double quotes that enclose it dropped, then blanks
// trimmed again; commas stay. A quoted by-variable value of a
// comma-delimited file ("North, coast" in quotes) gives North, coast.
KmString FieldText(const KmString& sToken);

// The field at the 1-based column iPosition among vTokens (as SplitRecord
// gives them), as FieldText reads it; "" when the record has no such
// column. Every reader of by-variable fields (the pre-read and the
// verification pass) takes them this way, so that all of them see the
// same values.
KmString ColumnField(const std::vector<KmString>& vTokens, int iPosition);

// True when sField is no text: its characters are those of numbers
// (digits, signs, points, commas, exponent letters) with at least one digit.
bool IsNumberText(const KmString& sField);

// True when sField holds a comma and is no text: its characters are those
// of numbers (digits, signs, points, commas, exponent letters) with at least
// one digit ("63,6", "1,900,000", "1.234,5").
bool IsNumberWithComma(const KmString& sField);

// True when sField holds no comma, or its commas separate thousands in
// well-formed groups: an optional sign, a first group of 1 to 3 digits that
// does not begin with 0, then groups of exactly 3 digits, then an optional
// fraction and exponent without commas ("1,900,000", "-12,345.5"). A field
// that is no number (it holds a character other than digits, signs, points,
// commas and exponent letters, or no digit) is text and passes too. False for
// a number with any other comma: "63,6", "1,2,3", "0,597", "1,5e3,0".
bool HasOnlyThousandsCommas(const KmString& sField);

// True when sField is a code of the data by the one rule of codes
// (ReadCode, foundation/KmConvertValue.h: a whole number however written,
// "01", "+1", "1.0" and "1e0" are all 1) whose value fits in an int (a
// by-variable's or adjustment variable's numeric code); *piValue then
// holds the value.
bool ReadIntegerCode(const KmString& sField, int* piValue);

// The one rule of a by-variable's code, by which the pre-read and the
// verification pass key the cohorts alike in every session route: a field
// that is a whole number (ReadIntegerCode) is the code of its number, unless
// the by-variable has a text ('A') format, so "01", "+1" and "1" are one
// cohort; *piCode then holds the number. False for a text code (the field
// then keys its cohort as it stands) and for an empty field.
bool ReadNumericByVarCode(const kmVariable& byVar, const KmString& sField,
                          int* piCode);

// sToken with every ',' removed, blanks (codes up to 0x20) trimmed at both
// ends and enclosing double quotes dropped ("1,200" gives 1200).
KmString CleanField(const KmString& sToken);

// Reads sField as a number by the one rule of kmTools::ReadFieldNumber:
// false (dValue untouched) when it is missing (empty, or the missing text)
// or no number; a field enclosed in double quotes is read without them.
bool ReadNumber(const KmString& sField, const KmString& sMissing,
                double& dValue);

// True when sField stands for no value by the one number rule
// (kmTools::ReadFieldNumber): it is empty or the missing text once trimmed
// of blanks (a missing value of the missing text " " arrives as an empty
// field once the tokenizer drops leading spaces).
bool IsMissingField(const KmString& sField, const KmString& sMissing);

// True when a and b, two values read from the data, stand for the same
// number (they agree to 12 significant digits).
bool SameNumber(double a, double b);

// dValue in the format "%20.10f".
KmString FixedText(double dValue);

// The comparability-ratio-adjusted standard error
// sqrt(CR^2 s^2 + W s^2 + W r^2) of rate r with standard error s;
// kMissingValue when the sum under the root is negative or not finite.
double AdjustedStandardError(double dRatio, double dVariance, double dRate,
                             double dSE);

// The number that stands for the independent field sField on the
// comparability-ratio scale, by kmTools::ReadIndependentNumber: the number
// of the field, or, when the independent variable (role 0) has a
// value-label format, of the label of the format line that holds the field
// (KmFormat::GetIndexFromField); NaN when that text is no number.
// Throws: KmException "Could not locate the following Independent Variable
// value in the format:  " + sField with source sSource when the format
// holds no line for the field.
double IndependentValue(const kmSession& session, const KmString& sField,
                        const char* sSource);

// The number of years among vFields, the independent-value fields of a
// cohort's records in file order, as the reader of rates formed over the
// groups of an adjustment variable forms one row of each: the runs of
// consecutive fields that stand for the same number (IndependentValue of
// the field without its commas, SameNumber). A field that is no number, or
// that the independent variable's format does not list, is a year of its
// own. 0 for no fields.
int32_t CountYears(const kmSession& session,
                   const std::vector<KmString>& vFields);

// CountYears of fields given one at a time, in file order, so that a
// reader can count a cohort's years without keeping its fields.
class YearCounter {
 public:
  // Counts sField, the next independent-value field of the cohort.
  void Add(const kmSession& session, const KmString& sField);
  int32_t GetYears() const { return iYears_; }

 private:
  int32_t iYears_ = 0;
  double dPrevious_ = 0.0;
};

// Index of the line of format whose values hold the text sValue; -1 when
// none does (a text that is no number of the format's type holds no line).
int32_t FindFormatLine(const KmFormat& format, const KmString& sValue);

// The group of the adjustment variable whose format is format that the
// record's code sCode belongs to: the index of its format line, -1 when no
// line holds it. The one rule by which every reader of adjustment codes
// (the layout checks, the rates, clustering) keys them: a code
// (ReadIntegerCode, blanks around it dropped) is its number against every
// value of the format that is one, in a text format too, so "01", "+1",
// "1.0" and "1" are one group; another code is looked up as FindFormatLine
// does in a text format, and is in no line of a numeric one.
int32_t FindAdjustmentGroup(const KmFormat& format, const KmString& sCode);

// True when sCode and sOther, two codes of an adjustment variable without a
// format, are one group: both whole numbers (ReadIntegerCode) of the same
// number, as FindAdjustmentGroup keys them against a format, so "01", "+1"
// and "1" are one group; otherwise the same text once trimmed of blanks.
bool SameAdjustmentCode(const KmString& sCode, const KmString& sOther);

// The group of an adjustment variable without a format whose groups are the
// codes vCodes that the record's code sCode belongs to: the position of the
// first code of vCodes that is sCode's group (SameAdjustmentCode); -1 when
// none is.
int32_t FindCodeGroup(const std::vector<KmString>& vCodes,
                      const KmString& sCode);

}  // namespace km_read_internal

#endif  // KM_DATA_INTERNAL_KMCOHORTREADHELPERS_H
