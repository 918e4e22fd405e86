// One variable of the session: name, column position and value format.
#ifndef KM_SESSION_KMVARIABLE_H
#define KM_SESSION_KMVARIABLE_H

#include <cstdint>
#include <memory>

#include "foundation/KmConvertValue.h"
#include "foundation/KmString.h"

class KmFormat;
class KmIO_File;

// kmVariable is the session's record of one variable of the data file: its
// name, its column in a data record (65535 = not set) and, where it has
// one, its value-label format. The variable owns its format alone: every
// copy, assignment and SetFormat stores a clone, so two variables never
// share a format object.
//
// Record in the session block (little-endian, through KmIO_File):
//   CString name; Short position; Bool has-format; then, only with a
//   format, 1 raw byte data-type letter (files of version 4.32 and later)
//   and a CString of the whole format ("value=label[=display]\n" per line).
//
// Every operation that lets a KmException pass adds its name and
// "kmVariable" to the call path and rethrows it.
class kmVariable {
 public:
  static constexpr uint16_t kPositionNotSet = 65535;

  // Empty name, position 65535, no format.
  kmVariable();
  // Name sName (null gives ""), position uPosition and a clone of pFormat
  // (null: no format).
  kmVariable(const char* sName, uint16_t uPosition, const KmFormat* pFormat);
  kmVariable(const kmVariable& other);
  kmVariable& operator=(const kmVariable& other);
  ~kmVariable();

  // Empty name, position 65535, no format (an existing format is freed).
  void Init();
  // Init.
  void Clear();
  // Clear, then the name, the position and a clone of other's format.
  void Copy(const kmVariable& other);

  const KmString& GetName() const { return sName_; }
  void SetName(const char* sName) { sName_ = sName; }
  uint16_t GetPosition() const { return uPosition_; }
  void SetPosition(uint16_t uPosition) { uPosition_ = uPosition; }

  // True when the variable has a format.
  bool HasFormat() const { return pFormat_ != nullptr; }
  // The variable's format.
  // Throws: KmException "No Format found for variable %s." (the name) when
  // it has none.
  const KmFormat& GetFormat() const;
  // Deletes the present format, then keeps a clone of pFormat, or none when
  // pFormat is null.
  void SetFormat(const KmFormat* pFormat);

  // The label of iValue. For a text ('A') format the value is the line
  // number; otherwise the line is the first whose ranges hold the value's
  // decimal text (-1 when none, also for a value outside the format's type,
  // such as 40000 for a short format). With bLineNumber, sLabel receives the
  // line number as text instead (never out of range). Returns sLabel's
  // text.
  // Throws: KmException "Requesting label for value %d of variable %s which
  // has no format." without a format; "Requesting line %d of format for
  // variable %s which has only %d lines." when the line is outside the
  // format (and bLineNumber is false).
  const char* GetLabel(int32_t iValue, KmString& sLabel,
                       bool bLineNumber) const;

  // True when the format labels the value sValue (found by
  // KmFormat::GetIndexFromField) as one whose records are left out of the
  // fits (see IsLeftOutLabel). A value without
  // a format, or one no format line holds, is used.
  bool LeavesOut(const KmString& sValue) const;

  // Writes the record in the current layout.
  // REQUIRES: pIO is open for writing.
  void Write(KmIO_File* pIO) const;
  // Reads a record of a session block of file version dFileVersion: before
  // 4.32 there is no data-type byte and the format is numeric ('N') with
  // display labels; before 4.8 a line ending in "=" loses it.
  // Throws: KmException "Error:  This file is not a valid Kinkmark file."
  // when the file does not hold the record whole or a length in it is
  // negative, and the error of KmFormat for a malformed format line. The
  // variable is unchanged when the read fails.
  // REQUIRES: pIO is open for reading.
  void Read(KmIO_File* pIO, double dFileVersion);

  // Same name, position and format lines (value, label, display label),
  // format data type; both without a format also counts as equal.
  bool operator==(const kmVariable& other) const;
  bool operator!=(const kmVariable& other) const { return !(*this == other); }

 private:
  KmString sName_;
  uint16_t uPosition_;
  std::unique_ptr<KmFormat> pFormat_;  // Null: no format.
};

// The session definition that gave the independent variable's labels.
enum class kmLabelRoute {
  kSessionParameters,  // a session-parameter file (".ini")
  kDictionary,         // a data dictionary (".dic")
};

// What a label of the independent variable holds, by the one number rule
// of ReadWholeNumber (blanks around it dropped): kCode a whole number,
// however written ("-15", "+3", "1990", "-1.0", "-1e0", "-0.0"), a year in
// every route; kNumberNoCode a number that is not whole ("0.5", "-9.5"),
// which a session-parameter file places between years and a data
// dictionary refuses; kText no number.
CodeText ReadYearLabel(const KmString& sLabel);
// True when sLabel is a number no double holds, too large ("1e999") or too
// small but not 0 ("1e-999"): no route can place a year at it.
bool IsLabelBeyondNumbers(const KmString& sLabel);

// The largest size of a year the fits place kinkmarks between. Up to it a
// double still tells whole years apart and the fits' sums of squared years
// stay finite; at 1e300 the grid of kinkmark places is empty.
constexpr double kLargestYear = 1e15;
// True when dYear, a year the fits would place records at (a label's or the
// data's own), is of a size above kLargestYear: the one bound of every
// route.
bool IsBeyondLargestYear(double dYear);
// Why such a year is refused, after its text: "is a number of a size above
// 1e15, and the fits cannot place kinkmarks between years that large."
extern const char kBeyondLargestYear[];
// True when sLabel is a number a double holds of a size above kLargestYear.
bool IsLabelBeyondYears(const KmString& sLabel);

// The sentence that names the first two lines of the independent variable
// indep's format whose labels are one number ("0" and "-0.0", "5" and
// "5.0"): the fits would place both values' records at one year. It names
// the file sFile, both lines of the [Format=...] section and both labels;
// "" when no two labels are one number. Labels that are no number are not
// compared.
KmString RepeatedYearLabels(const kmVariable& indep, const KmString& sFile);

// The one rule of which labels of the independent variable leave their
// year's records out of the fits. A label is read as a number first
// (ReadYearLabel), and a label that is a number never does. Of the others,
// in every route: an empty label, or one ending in " (not used in
// calculations)". In a data dictionary also a label holding "-" (a span of
// years such as "1990-1994", or "-" alone) or "total" in any case; the
// dictionary reader marks these with that ending, so the session's stored
// labels need only the first part.
bool LeavesYearOut(const KmString& sLabel, kmLabelRoute route);

// LeavesYearOut for a label as the session stores it (marked).
bool IsLeftOutLabel(const KmString& sLabel);

// The sentence that names a label of the independent variable the route
// refuses (neither a number nor a label that leaves its year out, a number
// beyond a double or kLargestYear, or in a data dictionary a number that is
// not whole): the
// label, the value it labels, and the file and line of the value's line in the
// [Format=<sVariable>] section of the session file sFile, then why.
KmString RefusedYearLabel(const KmString& sLabel, const KmString& sValue,
                          const KmString& sVariable, const KmString& sFile,
                          kmLabelRoute route);

#endif  // KM_SESSION_KMVARIABLE_H
