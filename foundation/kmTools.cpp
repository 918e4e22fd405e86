// kmTools: version comparison, canned messages, kinkmark limits, number-text
// helpers, data-line clean-up, numeric tables and the vector debug text.
#include "foundation/kmTools.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <sstream>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmStringTokenizer.h"

namespace kmTools {

namespace {

// True when sField begins and ends with a double quote (a lone quote does
// both).
bool IsEnclosedInQuotes(const KmString& sField) {
  const int32_t lLength = sField.GetLength();
  if (lLength == 0) return false;
  const char* s = sField.GetCString();
  return s[0] == '"' && s[lLength - 1] == '"';
}

// Removes quote pairs that enclose the whole field, as long as the field
// holds no delimiter. A field of one or two quote characters becomes empty.
// Once the quotes removed leave doubled quotes, the field was a quoted
// text holding quotes: they are made single and no more pairs go. A field
// whose text would still hold a quote keeps its quotes as written: a bare
// quote would open or close a quoted field when the line is split again,
// while the split reads the field as written back to its text.
void StripEnclosingQuotes(KmString& sField, const KmString& sDelimiter) {
  KmString sText(sField);
  while (IsEnclosedInQuotes(sText) && sText.Find(sDelimiter) < 0) {
    if (sText.GetLength() <= 2) {
      sText.Clear();
    } else {
      sText.Remove(sText.GetLength() - 1, 1);
      sText.Remove(0, 1);
    }
    if (sText.Find("\"\"") >= 0) {
      sText = UndoubleQuotes(sText);
      break;
    }
  }
  if (sText.Find("\"") < 0) sField = sText;
}

}  // namespace

int16_t CompareVersionNumbers(double dFirst, double dSecond) {
  return WithCallPath("CompareVersionNumbers()", "kmTools", [&]() -> int16_t {
    KmString sFirst;
    KmString sSecond;
    sFirst.printf("%5.3f", dFirst);
    sSecond.printf("%5.3f", dSecond);
    if (sFirst == sSecond) return 0;
    if (dSecond > dFirst) return 1;
    if (dFirst > dSecond) return -1;
    GenerateKmExceptionF(
        "Unknown error occurred while comparing file versions: Version 1 = "
        "%s, Version 2 = %s\n",
        "kmTools", sFirst.GetCString(), sSecond.GetCString());
  });
}

KmString GetErrorMessage(ErrorMessages eMessage) {
  return WithCallPath(
      "GetErrorMessage(ErrorMessages)", "kmtools", [&]() -> KmString {
        KmString sMessage;
        if (eMessage == TooFewObservations) {
          sMessage
              << "Too few observations to fit the specified model. Minimum "
                 "observations required: "
              << "$$. Lower \"minimum kinkmarks\", \"min obs end\" or "
                 "\"min obs between\" in the run options, otherwise "
                 "Kinkmark will not process this cohort.";
        }
        return sMessage;
      });
}

int16_t MaxKinkmarksForObservations(int16_t iObservations, bool bExtended) {
  // Rows tested from the top; the first bound that n reaches applies.
  struct Row {
    int16_t iMinObservations;
    int16_t iMax;
    int16_t iMaxExtended;
  };
  static const Row kRows[] = {
      {47, 5, 9}, {42, 5, 8}, {37, 5, 7}, {32, 5, 6}, {27, 5, 5},
      {22, 4, 4}, {17, 3, 3}, {12, 2, 2}, {7, 1, 1},
  };
  for (const Row& row : kRows) {
    if (iObservations >= row.iMinObservations) {
      return bExtended ? row.iMaxExtended : row.iMax;
    }
  }
  return 0;
}

bool KinkmarkCountFeasible(int iObservations, int iKinkmarks, int iMinObsEnd,
                           int iMinObsBetween) {
  return ObservationsForKinkmarks(iKinkmarks, iMinObsEnd, iMinObsBetween,
                                  false) <= iObservations;
}

int64_t ObservationsForKinkmarks(int iKinkmarks, int iMinObsEnd,
                                 int iMinObsBetween, bool bHudsons) {
  // 64-bit, so that a large spacing cannot wrap the need round to a small
  // or negative number and pass a count that does not fit.
  const int64_t k = iKinkmarks;
  const int64_t lEnd = iMinObsEnd;
  const int64_t lBetween = iMinObsBetween;
  if (k <= 0) return kMinObservationsForLine;
  if (!bHudsons) return (k - 1) * lBetween + k + 2 * lEnd;
  return 2 * lEnd + 2 + (k - 1) * (lBetween + 2);
}

int PlaceableKinkmarks(int iObservations, int iMaxKinkmarks, int iMinObsEnd,
                       int iMinObsBetween, bool bHudsons) {
  for (int k = iMaxKinkmarks; k >= 0; --k) {
    if (ObservationsForKinkmarks(k, iMinObsEnd, iMinObsBetween, bHudsons) <=
        iObservations) {
      return k;
    }
  }
  return -1;
}

int GetPrecision(const char* sNumber) {
  return WithCallPath("GetPrecision()", "kmTools", [&]() -> int {
    if (sNumber == nullptr) return 0;
    KmString sText(sNumber);
    sText.TrimRight();
    while (!sText.IsEmpty() &&
           sText.GetCString()[sText.GetLength() - 1] == '0') {
      sText.Truncate(static_cast<uint32_t>(sText.GetLength() - 1));
    }
    const int32_t lPoint = sText.Find(".");
    if (lPoint < 0) return 0;
    int iDecimals = 0;
    for (const char* p = sText.GetCString() + lPoint + 1;
         *p >= '0' && *p <= '9'; ++p) {
      ++iDecimals;
    }
    return iDecimals;
  });
}

bool StringToDouble(double& dValue, const char* sText,
                    bool bAllowLeadingBlank) {
  if (sText == nullptr) {
    dValue = 0.0;
    return false;
  }
  // The value of the number the text begins with, whether or not it is
  // whole; whether it is a number is ReadNumber's to say alone.
  dValue = std::strtod(sText, nullptr);
  const NumberKind read = ReadNumber(sText, bAllowLeadingBlank, nullptr);
  // The empty text reads as 0 and passes, as the standard conversion has it.
  return read == NumberKind::kNumber || read == NumberKind::kWholeNumber ||
         *sText == '\0';
}

KmString ShortestText(double dValue) {
  char sText[40];
  int iDigits = 1;
  for (; iDigits < 17; ++iDigits) {
    std::snprintf(sText, sizeof(sText), "%.*g", iDigits, dValue);
    // Reads back as the very same double: nothing of it is lost.
    if (std::strtod(sText, nullptr) == dValue) break;
  }
  // The whole part of up to 17 digits is written out (900, not 9e+02).
  const double dMagnitude = std::fabs(dValue);
  if (std::isfinite(dMagnitude) && dMagnitude >= 1.0 && dMagnitude < 1e17) {
    const int iWhole = static_cast<int>(std::floor(std::log10(dMagnitude))) + 1;
    if (iWhole > iDigits) iDigits = iWhole;
  }
  std::snprintf(sText, sizeof(sText), "%.*g", iDigits, dValue);
  return KmString(sText);
}

KmString UndoubleQuotes(const KmString& sText) {
  std::string sSingle;
  for (const char* p = sText.GetCString(); *p != '\0'; ++p) {
    sSingle += *p;
    if (*p == '"' && p[1] == '"') ++p;
  }
  return KmString(sSingle.c_str());
}

void DropEnclosingQuotes(KmString& sField) {
  const int32_t n = sField.GetLength();
  if (n < 2 || sField[0] != '"' || sField[n - 1] != '"') return;
  KmString sInner(sField.GetCString() + 1);
  sInner.Truncate(static_cast<uint32_t>(n - 2));
  sField = UndoubleQuotes(sInner);
}

KmString FieldText(const KmString& sToken) {
  KmString sField(sToken);
  sField.Trim();
  DropEnclosingQuotes(sField);
  sField.Trim();
  return sField;
}

FieldNumber ReadFieldNumber(const KmString& sField, const KmString& sMissing,
                            double& dValue) {
  dValue = 0.0;
  const KmString sText = FieldText(sField);
  if (sText.IsEmpty() || sText == FieldText(sMissing)) {
    return FieldNumber::kMissing;
  }
  double dRead = 0.0;
  switch (ReadNumber(sText.GetCString(), false, &dRead)) {
    case NumberKind::kNoNumber:
      return FieldNumber::kNotNumber;
    case NumberKind::kBeyondDouble:
      return FieldNumber::kBeyondDouble;
    case NumberKind::kNumber:
    case NumberKind::kWholeNumber:
      break;
  }
  dValue = dRead;
  return FieldNumber::kNumber;
}

FieldNumber ReadIndependentNumber(const KmString& sField,
                                  const KmString& sMissing, double& dValue) {
  KmString sNumber(sField);
  sNumber.RemoveAll(',');
  return ReadFieldNumber(sNumber, sMissing, dValue);
}

void RemoveUnecessaryQuotes(KmString& sLine, const KmString& sDelimiter,
                            const KmString& sMissing) {
  WithCallPath("RemoveUnecessaryQuotes(KmString &, KmString", "kmtools.h", [&] {
    // An empty delimiter splits nothing; the line stays as it is.
    if (sDelimiter.IsEmpty() || sLine.Find(sDelimiter) < 0) return;

    KmStringTokenizer tokenizer(sLine.GetCString(), sDelimiter.GetCString());
    const int32_t lNumFields = tokenizer.GetNumTokens();
    if (lNumFields < 2) return;

    KmString sResult;
    KmString sField;
    int32_t lIndex = 0;
    tokenizer.GetToken(sField, lIndex);
    if (sField.IsEmpty()) sField = sMissing;
    while (lIndex < lNumFields - 1) {
      StripEnclosingQuotes(sField, sDelimiter);
      sResult << sField;
      ++lIndex;
      tokenizer.GetToken(sField, lIndex);
      if (lIndex < lNumFields - 1) {
        sResult << sDelimiter;
        if (sField.IsEmpty()) sField = sMissing;
      }
    }
    // The last field is kept as it stands: quotes and emptiness included.
    sResult << sDelimiter << sField;
    sLine = sResult;
  });
}

kmNumericTable ExtractNumericTable(const kmNumericTable& mTable,
                                   bool bDropFirstColumn, bool bDropFirstRow) {
  kmNumericTable mResult;
  const size_t uFirstRow = bDropFirstRow ? 1 : 0;
  const size_t uFirstColumn = bDropFirstColumn ? 1 : 0;
  for (size_t uRow = uFirstRow; uRow < mTable.size(); ++uRow) {
    const KmVector<double>& vSource = mTable[uRow];
    KmVector<double> vRow;
    for (size_t uColumn = uFirstColumn; uColumn < vSource.size(); ++uColumn) {
      vRow.push_back(vSource[uColumn]);
    }
    mResult.push_back(vRow);
  }
  return mResult;
}

std::string Get_Debug_ColumnVectorString(const NEWMAT::ColumnVector& vValues,
                                         bool bTab) {
  return WithCallPath(
      "Get_Debug_ColumnVectorString()", "kmCalculator", [&]() -> std::string {
        std::string sResult;
        const int iRows = vValues.Nrows();
        for (int i = 1; i <= iRows; ++i) {
          if (i > 1) sResult += bTab ? "\t" : ", ";
          std::ostringstream stream;
          stream << std::fixed << std::setprecision(9) << vValues(i);
          sResult += stream.str();
        }
        return sResult;
      });
}

}  // namespace kmTools
