// Shared routines of the per-cohort readers: role columns, splitting,
// cleaning, number reading and the comparability-ratio arithmetic.
#include "data/internal/kmCohortReadHelpers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/KmSystemReason.h"
#include "foundation/kmTools.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"

namespace km_read_internal {

KmString NoNumberEnding(kmTools::FieldNumber read) {
  KmString sEnding("\" ");
  sEnding << (read == kmTools::FieldNumber::kBeyondDouble
                  ? kmTools::kBeyondDoubleWords
                  : "is not a number")
          << ".";
  return sEnding;
}

void ThrowDataFileNotOpened(const KmString& sFile, int iErrno,
                            const char* sSource) {
  GenerateKmExceptionF("Unable to open data file \"%s\" for reading: %s.",
                       sSource, sFile.GetCString(),
                       KmSystemReason(iErrno).c_str());
}

int NumDataByVars(const kmSession& session) {
  return kmAnalysisCopies(session).DataByVars(session.GetNumByVars());
}

KmString ResolvedDataLine(const KmString& sRawLine, const KmString& sDelimiter,
                          const KmString& sMissing, KmString* pByVarLine) {
  KmString sLine(sRawLine);
  if (sMissing != " " && sDelimiter != "\t") sLine.Trim();
  if (pByVarLine != nullptr) *pByVarLine = sLine;
  kmTools::RemoveUnecessaryQuotes(sLine, sDelimiter, sMissing);
  return sLine;
}

bool IsBlankRecord(const KmString& sResolved, const KmString& sMissing) {
  if (sMissing == " ") return sResolved.IsEmpty();
  return KmString(sResolved).Trim().IsEmpty();
}

bool IsBlankDataLine(const KmString& sRawLine, const KmString& sDelimiter,
                     const KmString& sMissing) {
  return IsBlankRecord(ResolvedDataLine(sRawLine, sDelimiter, sMissing),
                       sMissing);
}

int RoleColumn(const kmSession& session, int iRole) {
  const int32_t iPosition = session.GetKMVarPosition(iRole);
  // An unset role: let the session raise its own message for it.
  if (iPosition < 1) session.GetKMVar(iRole);
  return iPosition - 1;
}

void SplitRecord(const KmString& sLine, const KmString& sDelimiter,
                 std::vector<KmString>& vTokens) {
  KmStringTokenizer::SplitRecord(sLine, sDelimiter, vTokens);
}

void DropEnclosingQuotes(KmString& sField) {
  kmTools::DropEnclosingQuotes(sField);
}

KmString FieldText(const KmString& sToken) {
  return kmTools::FieldText(sToken);
}

KmString ColumnField(const std::vector<KmString>& vTokens, int iPosition) {
  if (iPosition < 1 || static_cast<size_t>(iPosition) > vTokens.size()) {
    return KmString();
  }
  return FieldText(vTokens[static_cast<size_t>(iPosition) - 1]);
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when sText is text rather than a number: a character outside the
// characters of numbers, or no digit at all.
bool IsText(const char* sText) {
  bool bDigit = false;
  for (const char* p = sText; *p != '\0'; ++p) {
    if (IsDigit(*p)) {
      bDigit = true;
    } else if (std::strchr("+-.,eE", *p) == nullptr) {
      return true;
    }
  }
  return !bDigit;
}

// Skips a run of digits from p; returns the number of digits skipped.
int SkipDigits(const char*& p) {
  int n = 0;
  while (IsDigit(*p)) {
    ++p;
    ++n;
  }
  return n;
}

}  // namespace

bool IsNumberText(const KmString& sField) {
  return !IsText(sField.GetCString());
}

bool IsNumberWithComma(const KmString& sField) {
  return std::strchr(sField.GetCString(), ',') != nullptr &&
         IsNumberText(sField);
}

bool HasOnlyThousandsCommas(const KmString& sField) {
  if (!IsNumberWithComma(sField)) return true;
  const char* p = sField.GetCString();
  if (*p == '+' || *p == '-') ++p;
  if (*p == '0') return false;
  const int nFirst = SkipDigits(p);
  if (nFirst < 1 || nFirst > 3) return false;
  while (*p == ',') {
    ++p;
    if (SkipDigits(p) != 3) return false;
  }
  if (*p == '.') {
    ++p;
    SkipDigits(p);
  }
  if (*p == 'e' || *p == 'E') {
    ++p;
    if (*p == '+' || *p == '-') ++p;
    if (SkipDigits(p) == 0) return false;
  }
  return *p == '\0';
}

bool ReadIntegerCode(const KmString& sField, int* piValue) {
  int32_t lCode = 0;
  if (ReadCode(sField.GetCString(), &lCode) != CodeText::kCode) return false;
  *piValue = static_cast<int>(lCode);
  return true;
}

bool ReadNumericByVarCode(const kmVariable& byVar, const KmString& sField,
                          int* piCode) {
  if (byVar.HasFormat() && byVar.GetFormat().GetDataType() == 'A') {
    return false;
  }
  return ReadIntegerCode(sField, piCode);
}

KmString CleanField(const KmString& sToken) {
  KmString sField(sToken);
  sField.RemoveAll(',');
  return FieldText(sField);
}

bool ReadNumber(const KmString& sField, const KmString& sMissing,
                double& dValue) {
  double dRead = 0.0;
  if (kmTools::ReadFieldNumber(sField, sMissing, dRead) !=
      kmTools::FieldNumber::kNumber) {
    return false;
  }
  dValue = dRead;
  return true;
}

bool IsMissingField(const KmString& sField, const KmString& sMissing) {
  double dValue = 0.0;
  return kmTools::ReadFieldNumber(sField, sMissing, dValue) ==
         kmTools::FieldNumber::kMissing;
}

bool SameNumber(double a, double b) {
  return std::fabs(a - b) <=
         1e-12 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

KmString FixedText(double dValue) {
  KmString sText;
  sText.printf("%20.10f", dValue);
  return sText;
}

double AdjustedStandardError(double dRatio, double dVariance, double dRate,
                             double dSE) {
  const double dSquare = dRatio * dRatio * dSE * dSE + dVariance * dSE * dSE +
                         dVariance * dRate * dRate;
  // A negative variance of the ratio (its unset value is -1) can make the
  // sum negative: the standard error is then missing, never NaN.
  if (!(dSquare >= 0.0) || !std::isfinite(dSquare)) return kMissingValue;
  return std::sqrt(dSquare);
}

namespace {

// The number that stands for the independent field sField (see
// IndependentValue); NaN when that text is no number. *pbListed becomes
// false, with NaN, when the independent variable's format holds no line
// for the field.
double IndependentNumber(const kmSession& session, const KmString& sField,
                         bool* pbListed) {
  // A field or label that is no number stands at no place: NaN, which no
  // comparison holds.
  auto numberOf = [](const KmString& sText) {
    double dValue = 0.0;
    return kmTools::ReadIndependentNumber(sText, KmString(), dValue) ==
                   kmTools::FieldNumber::kNumber
               ? dValue
               : std::numeric_limits<double>::quiet_NaN();
  };
  *pbListed = true;
  const kmVariable& independent = session.GetKMVar(0);
  if (!independent.HasFormat()) return numberOf(sField);
  const KmFormat& format = independent.GetFormat();
  const int32_t lLine = format.GetIndexFromField(sField);
  if (lLine < 0) {
    *pbListed = false;
    return std::numeric_limits<double>::quiet_NaN();
  }
  return numberOf(format.GetLabel(lLine));
}

}  // namespace

double IndependentValue(const kmSession& session, const KmString& sField,
                        const char* sSource) {
  bool bListed = true;
  const double dValue = IndependentNumber(session, sField, &bListed);
  if (!bListed) {
    KmString sMessage(
        "Could not locate the following Independent Variable value in the "
        "format:  ");
    sMessage << sField;
    ThrowKmException(sMessage.GetCString(), sSource);
  }
  return dValue;
}

int32_t CountYears(const kmSession& session,
                   const std::vector<KmString>& vFields) {
  YearCounter years;
  for (const KmString& sField : vFields) years.Add(session, sField);
  return years.GetYears();
}

void YearCounter::Add(const kmSession& session, const KmString& sField) {
  bool bListed = true;
  const double dYear = IndependentNumber(session, CleanField(sField), &bListed);
  if (iYears_ == 0 || !SameNumber(dYear, dPrevious_)) ++iYears_;
  dPrevious_ = dYear;
}

int32_t FindFormatLine(const KmFormat& format, const KmString& sValue) {
  try {
    return format.GetIndexFromValue(sValue.GetCString(), true, true);
  } catch (KmException&) {
    return -1;
  }
}

int32_t FindAdjustmentGroup(const KmFormat& format, const KmString& sCode) {
  // A numeric format finds a code however it is written; a text one is
  // searched line by line for a value of the same code.
  const KmString sTrimmed = KmString(sCode).Trim();
  int iCode = 0;
  if (!ReadIntegerCode(sTrimmed, &iCode)) {
    return format.GetDataType() == 'A' ? FindFormatLine(format, sTrimmed) : -1;
  }
  if (format.GetDataType() != 'A') return format.GetIndexFromField(sTrimmed);
  for (int32_t i = 0; i < format.GetNumLines(); ++i) {
    int iValue = 0;
    if (ReadIntegerCode(format.GetValue(i), &iValue) && iValue == iCode) {
      return i;
    }
  }
  return -1;
}

bool SameAdjustmentCode(const KmString& sCode, const KmString& sOther) {
  const KmString sA = KmString(sCode).Trim();
  const KmString sB = KmString(sOther).Trim();
  int iA = 0;
  int iB = 0;
  if (ReadIntegerCode(sA, &iA) && ReadIntegerCode(sB, &iB)) return iA == iB;
  return sA == sB;
}

int32_t FindCodeGroup(const std::vector<KmString>& vCodes,
                      const KmString& sCode) {
  const auto it = std::find_if(
      vCodes.begin(), vCodes.end(),
      [&](const KmString& s) { return SameAdjustmentCode(s, sCode); });
  return it != vCodes.end() ? static_cast<int32_t>(it - vCodes.begin()) : -1;
}

}  // namespace km_read_internal
