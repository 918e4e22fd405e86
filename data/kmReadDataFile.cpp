// kmReadData: data file access and the record format (OpenInputFile,
// SkipColHeaderLine, ReadCopyRecord, ReadLineFromInputFile, ResetDataFile,
// CloseInputFile, ByVarSpellingNote,
// ProcessDataRecord, LineShouldBeIncluded) and their private helpers.
#include <cstdint>
#include <cstring>
#include <string>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmLineSource.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/kmTools.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

namespace {

const char kClassName[] = "kmReadData";

// The field of byVar's column in sLine as the file spells it, blanks and
// quotes kept: the text between the delimiters around it, delimiters inside
// double quotes not counted. The tokenizer drops a field's leading blanks,
// which are what sets two spellings of one value apart. "" when the line
// has no such field, or the field does not read as the tokenizer reads it.
KmString RawField(const KmString& sLine, const KmString& sDelimiter,
                  const kmVariable& byVar) {
  const int iColumn = byVar.GetPosition();
  std::vector<KmString> vTokens;
  km_read_internal::SplitRecord(sLine, sDelimiter, vTokens);
  if (iColumn < 1 || static_cast<size_t>(iColumn) > vTokens.size()) {
    return KmString();
  }
  const char cDelimiter = sDelimiter.IsEmpty() ? '\0' : sDelimiter[0];
  std::string sField;
  int iField = 1;
  bool bQuoted = false;
  for (const char* p = sLine.GetCString(); *p != '\0'; ++p) {
    if (*p == '"') bQuoted = !bQuoted;
    if (*p == cDelimiter && !bQuoted) {
      if (++iField > iColumn) break;
    } else if (iField == iColumn) {
      sField += *p;
    }
  }
  const KmString sRaw(sField.c_str());
  return km_read_internal::FieldText(sRaw) ==
                 km_read_internal::FieldText(vTokens[iColumn - 1])
             ? sRaw
             : KmString();
}

}  // namespace

KmString kmReadData::GetDelimiterText() const {
  return KmString(kmSession::GetDelimiterChar(pSession_->Get<kmDelimiter>()));
}

KmString kmReadData::GetMissingText() const {
  KmString sMissing;
  pSession_->GetMissingString(sMissing);
  return sMissing;
}

int64_t kmReadData::CurrentInputPosition() {
  return inputLines_.IsOpen() ? inputLines_.Tell() : -1;
}

void kmReadData::ClearPendingLines() {
  bPendingLine_ = false;
  sPendingLine_.Clear();
  lPendingLinePos_ = -1;
  lPendingLineNumber_ = -1;
  iPendingBlankLines_ = 0;
  lPendingBlankPos_ = -1;
}

void kmReadData::OpenInputFile(bool bSkipHeader) {
  WithCallPath("OpenInputFile()", kClassName, [&] {
    CloseInputFile();
    bCompressed_ = sDataFileName_.EndsWith(".gz");
    if (!inputLines_.Open(sDataFileName_.GetCString(), bCompressed_)) {
      km_read_internal::ThrowDataFileNotOpened(
          sDataFileName_, inputLines_.GetOpenError(), kClassName);
    }
    if (bSkipHeader) SkipColHeaderLine();
  });
}

void kmReadData::SkipColHeaderLine() {
  WithCallPath("SkipColHeaderLine()", kClassName, [&] {
    if (!pSession_->GetBool(kmOptVarNamesIncluded)) return;
    KmString sLine;
    while (!ReadLineFromInputFile(sLine, true, nullptr)) {
      sLine.TrimLeft();
      sLine.TrimRight();
      if (!sLine.IsEmpty()) break;
    }
  });
}

bool kmReadData::ReadLineFromInputFile(KmString& sLine, bool bEOFBeforeRead,
                                       int64_t* plPosition) {
  return WithCallPath("ReadLineFromInputFile()", kClassName, [&]() -> bool {
    if (plPosition != nullptr) *plPosition = CurrentInputPosition();
    // A closed file reads as an empty line at the end of the file.
    const bool bRead = inputLines_.ReadLine(sLine);
    if (bEOFBeforeRead) return !bRead;
    return !bRead || inputLines_.AtEnd();
  });
}

bool kmReadData::ReadCopyRecord(int& iLinesLeft, bool bResolveQuotes,
                                KmString& sLine,
                                std::vector<KmString>& vTokens) {
  const KmString sDelimiter = GetDelimiterText();
  const KmString sMissing = GetMissingText();
  bool bEOF = false;
  while (iLinesLeft > 0 && !bEOF) {
    --iLinesLeft;
    bEOF = ReadLineFromInputFile(sLine, true, nullptr);
    if (km_read_internal::IsBlankDataLine(sLine, sDelimiter, sMissing)) {
      continue;
    }
    if (bResolveQuotes) {
      kmTools::RemoveUnecessaryQuotes(sLine, sDelimiter, sMissing);
    }
    km_read_internal::SplitRecord(sLine, sDelimiter, vTokens);
    vRowLines_.push_back(inputLines_.GetLineNumber());
    return true;
  }
  return false;
}

KmString kmReadData::ByVarSpellingNote(
    const std::vector<int64_t>& vLines) const {
  KmString sNote;
  const int nByVars = NumDataByVars();
  if (nByVars == 0 || vLines.size() < 2) return sNote;
  // A reader of its own: the run's reader stands inside another cohort.
  KmLineSource lines("Data file");
  const KmString sDelimiter = GetDelimiterText();
  KmString sPrevious;
  int64_t lPrevious = -1;
  size_t k = 0;
  KmString sLine;
  try {
    if (!lines.Open(sDataFileName_.GetCString(),
                    sDataFileName_.EndsWith(".gz"))) {
      return sNote;
    }
    while (k < vLines.size() && lines.ReadLine(sLine)) {
      const int64_t lLine = lines.GetLineNumber();
      while (k < vLines.size() && vLines[k] < lLine) ++k;
      if (k == vLines.size() || vLines[k] != lLine) continue;
      for (int b = 0; b < nByVars && lPrevious >= 0 && sNote.IsEmpty(); ++b) {
        const kmVariable& byVar = pSession_->GetByVar(static_cast<int16_t>(b));
        const KmString sBefore = RawField(sPrevious, sDelimiter, byVar);
        const KmString sNow = RawField(sLine, sDelimiter, byVar);
        const KmString sValue = km_read_internal::FieldText(sNow);
        if (sNow == sBefore || sValue != km_read_internal::FieldText(sBefore)) {
          continue;
        }
        sNote << "  The by variable " << byVar.GetName() << " holds \""
              << sBefore << "\" on line " << static_cast<long>(lPrevious)
              << " and \"" << sNow << "\" on line " << static_cast<long>(lLine)
              << ", both read as \"" << sValue
              << "\": the blanks before and after a value, and the quotes "
                 "around it, are dropped, so both lines are of one cohort.";
      }
      if (!sNote.IsEmpty()) break;
      sPrevious = sLine;
      lPrevious = lLine;
    }
  } catch (KmException&) {
    // The file was read before: the note is only a hint.
  }
  return sNote;
}

void kmReadData::ResetDataFile() {
  WithCallPath("ResetDataFile()", kClassName, [&] {
    iNextCohort_ = 0;
    OpenInputFile(true);
  });
}

void kmReadData::CloseInputFile() {
  WithCallPath("CloseInputFile()", kClassName, [&] {
    inputLines_.Close();
    ClearPendingLines();
  });
}

bool kmReadData::ProcessDataRecord(KmString sLine, kmCohortRows* pRows) {
  return WithCallPath("ProcessDataRecord()", kClassName, [&]() -> bool {
    const KmString sDelimiter = GetDelimiterText();
    KmStringTokenizer tokenizer(sLine.GetCString(), sDelimiter.GetCString());
    tokenizer.ParseStringWithIgnoredSections(sLine.GetCString(), "\"");
    const int32_t nTokens = tokenizer.GetNumTokens();

    const int16_t iMinFields =
        pCalcHandler_ != nullptr ? pCalcHandler_->GetMinFieldCount() : -1;
    if (nTokens < iMinFields) {
      GenerateKmException("Too few data columns in Input Data File.",
                          "VerifyDelayRateCalc()");
    }

    const bool bIncluded = LineShouldBeIncluded(sLine.GetCString());
    if (!bIncluded) return false;

    kmRecordRow row;
    row.reserve(static_cast<size_t>(nTokens));
    KmString sField;
    for (int32_t i = 0; i < nTokens; ++i) {
      tokenizer.GetToken(sField, i);
      sField.RemoveAll(',');
      sField.TrimLeft();
      sField.TrimRight();
      // The double quotes that enclose a whole field (a number written with
      // thousands commas in a comma-delimited file) are no part of its
      // value: "1,234" reads 1234, not a text that no check takes for a
      // number.
      km_read_internal::DropEnclosingQuotes(sField);
      sField.TrimLeft();
      sField.TrimRight();
      if (sField.IsEmpty()) sField = " ";
      row.push_back(sField);
    }
    pRows->push_back(row);
    return true;
  });
}

bool kmReadData::LineShouldBeIncluded(const char* sLine) {
  return WithCallPath("LineShouldBeIncluded()", kClassName, [&]() -> bool {
    const kmVariable& indep = pSession_->GetKMVar(kmVarIndependent);
    if (!indep.HasFormat()) return true;

    const KmString sDelimiter = GetDelimiterText();
    KmStringTokenizer tokenizer(sLine, sDelimiter.GetCString());
    const int32_t iVarIndex = pSession_->GetKMVarPosition(kmVarIndependent) - 1;
    KmString sField;
    tokenizer.GetToken(sField, iVarIndex);
    sField.TrimRight();
    sField.TrimLeft();
    // A record without an independent value is left to the record checks,
    // which report it; a format line with an empty label would drop it
    // without a word.
    if (sField.IsEmpty()) return true;

    const KmFormat& format = indep.GetFormat();
    // A text that is no number of the format's type matches no line.
    const int32_t iLine = format.GetIndexFromField(sField);
    if (iLine >= 0) {
      const KmString sLabel = format.GetLabel(iLine);
      return !IsLeftOutLabel(sLabel);
    }

    // A value the format does not hold is used; it is recorded in the
    // format with itself as its label.
    KmFormat grown(format);
    try {
      grown.AddLine(sField.GetCString(), sField.GetCString(),
                    grown.GetNumLines());
    } catch (KmException&) {
      // The value cannot be a line of this format's type (a text in a
      // numeric format): the record checks report the value.
      return true;
    }
    pSession_->SetVarFormat(static_cast<int16_t>(iVarIndex), grown);
    return true;
  });
}
