// kmReadData: cohort boundaries, by-variable codes and labels of the
// verification pass (ReadInNextCohort, GetByCodes, GetCohortLabel_Test,
// DetermineNumGroupVarCats) and the helpers NumDataByVars
// and GetCodingSession.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "results/kmCalcHandler.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace {

const char kClassName[] = "kmReadData";

}  // namespace

int kmReadData::NumDataByVars() const {
  return km_read_internal::NumDataByVars(*pSession_);
}

kmSession* kmReadData::GetCodingSession() const {
  if (pCalcHandler_ != nullptr && pCalcHandler_->GetSession() != nullptr) {
    return pCalcHandler_->GetSession();
  }
  return pSession_;
}

void kmReadData::ReadInNextCohort(kmCohortRows& rows, bool& bEOF,
                                  int& iLineCount, int& iBlankLines,
                                  KmVector<int>& codes) {
  WithCallPath("ReadInNextCohort()", kClassName, [&] {
    rows.clear();
    vRowLines_.clear();
    codes.clear();
    bEOF = false;
    const int iLineCountBefore = iLineCount;
    const KmString sMissing = GetMissingText();
    const KmString sDelimiter = GetDelimiterText();

    // Blank lines read at the end of the previous cohort, before the line
    // that began this one, belong to this cohort.
    int64_t lFirstPosition = -1;
    if (iPendingBlankLines_ > 0) {
      lFirstPosition = lPendingBlankPos_;
      iLineCount += iPendingBlankLines_;
    }
    // Blank lines read since the last record of this cohort, and the
    // position of the first of them: they go to the next cohort when the
    // line after them begins it.
    int iTrailingBlanks = 0;
    int64_t lTrailingBlankPos = -1;
    iPendingBlankLines_ = 0;
    lPendingBlankPos_ = -1;

    bool bHaveRecord = false;
    for (;;) {
      KmString sRawLine;
      int64_t lPosition = -1;
      int64_t lLine = -1;
      if (bPendingLine_) {
        sRawLine = sPendingLine_;
        lPosition = lPendingLinePos_;
        lLine = lPendingLineNumber_;
        bPendingLine_ = false;
      } else {
        if (ReadLineFromInputFile(sRawLine, true, &lPosition)) {
          bEOF = true;
          break;
        }
        lLine = inputLines_.GetLineNumber();
      }
      if (lFirstPosition < 0) lFirstPosition = lPosition;

      // The by-variables are read from the line as the pre-read reads it:
      // the quote removal splits at a delimiter inside quotes.
      KmString sByVarLine;
      const KmString sLine = km_read_internal::ResolvedDataLine(
          sRawLine, sDelimiter, sMissing, &sByVarLine);
      if (km_read_internal::IsBlankRecord(sLine, sMissing)) {
        if (iTrailingBlanks == 0) lTrailingBlankPos = lPosition;
        ++iTrailingBlanks;
        ++iBlankLines;
        continue;
      }

      const KmVector<int> lineCodes = GetByCodes(sByVarLine);
      if (!bHaveRecord) codes = lineCodes;
      const bool bSameCohort =
          static_cast<const std::vector<int>&>(lineCodes) ==
          static_cast<const std::vector<int>&>(codes);
      if (!bSameCohort) {
        // The line begins the next cohort: keep it, with the blank lines
        // just before it, for the next call.
        bPendingLine_ = true;
        sPendingLine_ = sRawLine;
        lPendingLinePos_ = lPosition;
        lPendingLineNumber_ = lLine;
        iPendingBlankLines_ = iTrailingBlanks;
        lPendingBlankPos_ = lTrailingBlankPos;
        iTrailingBlanks = 0;
        break;
      }
      iLineCount += iTrailingBlanks;
      iTrailingBlanks = 0;
      bHaveRecord = true;
      ++iLineCount;
      if (ProcessDataRecord(sLine, &rows)) vRowLines_.push_back(lLine);
    }
    // Blank lines at the end of the file close the last cohort.
    iLineCount += iTrailingBlanks;

    if (bHaveRecord) {
      // The cohort's lines end before the line (and the blank lines in
      // front of it) kept for the next call.
      const int64_t lRead = inputLines_.GetLineNumber();
      const int64_t lLastLine =
          lRead - (bPendingLine_ ? 1 + iPendingBlankLines_ : 0);
      const int64_t lLinesBefore =
          lRead < 0 ? -1 : lLastLine - (iLineCount - iLineCountBefore);
      const int nCopies = kmAnalysisCopies(*pSession_).NumCopies();
      for (int i = 0; i < nCopies; ++i) {
        vFilePositions_.push_back(lFirstPosition);
        vCopyLinesBefore_.push_back(lLinesBefore);
        vLineCounts_.push_back(iLineCount);
      }
    }
  });
}

KmVector<int> kmReadData::GetByCodes(KmString sLine) {
  return WithCallPath("GetByCodes()", kClassName, [&]() -> KmVector<int> {
    const KmString sDelimiter = GetDelimiterText();
    std::vector<KmString> vTokens;
    km_read_internal::SplitRecord(sLine, sDelimiter, vTokens);
    const int32_t nFields = static_cast<int32_t>(vTokens.size());
    const int nByVars = NumDataByVars();
    KmVector<int> codes(static_cast<size_t>(nByVars), 0);

    KmString sField;
    for (int i = 0; i < nByVars; ++i) {
      const kmVariable& byVar = pSession_->GetByVar(static_cast<int16_t>(i));
      const int32_t iLocation = byVar.GetPosition();
      if (iLocation < 1 || iLocation > nFields) {
        KmString sMessage;
        sMessage << "Invalid position for by-variable.  By-Variable " << i
                 << " is in variable location " << iLocation
                 << ".   But the number of variables on the data "
                 << "is only " << nFields;
        GenerateKmException(sMessage.GetCString(), "kmCalculator");
      }
      sField = km_read_internal::ColumnField(vTokens, iLocation);
      if (sField.IsEmpty()) continue;

      int iValue = 0;
      const bool bInteger = km_read_internal::ReadIntegerCode(sField, &iValue);
      const bool bHasLines =
          byVar.HasFormat() && byVar.GetFormat().GetNumLines() > 0;
      if (bInteger && bHasLines) {
        // A value outside the format's type: no line holds it.
        const KmFormat& format = byVar.GetFormat();
        const int32_t iLine =
            format.GetDataType() == 'A'
                ? km_read_internal::FindFormatLine(format, sField)
                : format.GetIndexFromField(sField);
        if (iLine < 0) {
          GenerateKmInputExceptionF(
              "\"%s\" is an invalid code for the %s by variable.  You must "
              "redefine the %s variable format.",
              "kmCalculator", sField.GetCString(), byVar.GetName().GetCString(),
              byVar.GetName().GetCString());
        }
      }
      if (km_read_internal::ReadNumericByVarCode(byVar, sField, &iValue)) {
        codes[i] = iValue;
        continue;
      }

      // A text value: its code is its line in the by-variable's format of
      // the results handler's session, which learns each new text.
      kmSession* pCoding = GetCodingSession();
      const kmVariable& codingVar = pCoding->GetByVar(static_cast<int16_t>(i));
      KmFormat format;
      if (codingVar.HasFormat()) {
        format = codingVar.GetFormat();
      } else {
        format.SetDataType('A');
      }
      int32_t iLine = format.GetIndexFromLabel(sField.GetCString());
      if (iLine < 0) {
        iLine = format.GetNumLines();
        const std::string sValue = std::to_string(iLine);
        format.AddLine(sValue.c_str(), sField.GetCString(), iLine);
        const int32_t iVarIndex = pCoding->GetByVarPositions()[i] - 1;
        pCoding->SetVarFormat(static_cast<int16_t>(iVarIndex), format);
      }
      codes[i] = iLine;
    }
    return codes;
  });
}

KmString kmReadData::GetCohortLabel_Test(KmVector<int> codes) {
  return WithCallPath("GetCohortLabel_Test(vector <int>)", kClassName,
                      [&] { return JoinedCohortLabel(codes, " // "); });
}

KmString kmReadData::JoinedCohortLabel(const KmVector<int>& codes,
                                       const char* sSeparator) {
  return WithCallPath("JoinedCohortLabel()", kClassName, [&]() -> KmString {
    const int nByVars = NumDataByVars();
    if (static_cast<int>(codes.size()) != nByVars) {
      return KmString(
          "Mismatch between number of by variables and "
          "variable combinations "
          "read from data file.");
    }
    const kmSession* pLabels = GetCodingSession();
    KmString sLabel;
    for (int i = 0; i < nByVars; ++i) {
      if (i > 0) sLabel << sSeparator;
      try {
        KmString sPart;
        pLabels->GetByVar(static_cast<int16_t>(i))
            .GetLabel(codes[i], sPart, false);
        sLabel << sPart;
      } catch (KmException&) {
        // No label for the code: the code stands for
        // itself.
        sLabel << codes[i];
      }
    }
    return sLabel;
  });
}

int kmReadData::DetermineNumGroupVarCats(const kmCohortRows& rows) {
  return WithCallPath("DetermineNumGroupVarCats()", kClassName, [&]() -> int {
    return static_cast<int>(FirstYearAdjustCodes(rows).size());
  });
}

std::vector<KmString> kmReadData::FirstYearAdjustCodes(
    const kmCohortRows& rows) const {
  if (rows.empty()) {
    GenerateKmException("Cohort vector has no entries.", "kmCalculator");
  }
  const int iCodeColumn =
      km_read_internal::RoleColumn(*pSession_, kmVarAdjustment);
  const int iYearColumn =
      km_read_internal::RoleColumn(*pSession_, kmVarIndependent);
  auto fieldOf = [](const kmRecordRow& row, int iColumn) {
    return iColumn >= 0 && static_cast<size_t>(iColumn) < row.size()
               ? KmString(row[static_cast<size_t>(iColumn)]).Trim()
               : KmString();
  };
  // A year read by the one rule of years; one that is none (the record
  // checks name it) ends the first year.
  auto yearOf = [&](const kmRecordRow& row) {
    try {
      return km_read_internal::IndependentValue(
          *pSession_, fieldOf(row, iYearColumn), kClassName);
    } catch (KmException&) {
      return std::nan("");
    }
  };
  // The groups are the codes of the first year, in any order; "01" and "1"
  // are one code, as every reader of the groups keys them.
  const double dFirstYear = yearOf(rows[0]);
  std::vector<KmString> vCodes;
  for (size_t r = 0; r < rows.size(); ++r) {
    if (r > 0 && !km_read_internal::SameNumber(yearOf(rows[r]), dFirstYear)) {
      break;
    }
    const KmString sCode = fieldOf(rows[r], iCodeColumn);
    if (km_read_internal::FindCodeGroup(vCodes, sCode) < 0) {
      vCodes.push_back(sCode);
    }
  }
  // Codes that are all numbers stand in their order, as a format's lines
  // list them: the order of the records would change an ordered
  // clustering's neighbours.
  int iCode = 0;
  if (std::all_of(vCodes.begin(), vCodes.end(), [&](const KmString& s) {
        return km_read_internal::ReadIntegerCode(s, &iCode);
      })) {
    auto numberOf = [](const KmString& s) {
      int iValue = 0;
      km_read_internal::ReadIntegerCode(s, &iValue);
      return iValue;
    };
    std::sort(vCodes.begin(), vCodes.end(),
              [&](const KmString& a, const KmString& b) {
                return numberOf(a) < numberOf(b);
              });
  }
  return vCodes;
}
