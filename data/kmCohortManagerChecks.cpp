// kmCohortManager: the checks of each record and of the cohort order that
// the pre-read makes before anything else reads the data file.
#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmCohortManager.h"
#include "foundation/KmConvertValue.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmStringTokenizer.h"
#include "foundation/kmTools.h"
#include "session/internal/OptionText.h"
#include "session/kmDependentType.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"

namespace {

const char kClassName[] = "kmCohortManager";

using km_session_internal::FieldDelimiterWord;

// The session file's word for sDelimiter; "?" when no word names it.
const char* WordOf(const KmString& sDelimiter) {
  const char* sWord =
      sDelimiter.GetLength() == 1
          ? km_session_internal::WordOfFieldDelimiter(sDelimiter[0])
          : nullptr;
  return sWord != nullptr ? sWord : "?";
}

// The other delimiter that would split sLine into at least iColumns fields,
// or nullptr when none would.
const FieldDelimiterWord* OtherDelimiter(const KmString& sLine,
                                         const KmString& sDelimiter,
                                         int iColumns) {
  return km_session_internal::OtherFieldDelimiter(
      sDelimiter.GetLength() == 1 ? sDelimiter[0] : '\0', iColumns,
      [&sLine](char c) {
        const char sText[2] = {c, '\0'};
        std::vector<KmString> vTokens;
        km_read_internal::SplitRecord(sLine, KmString(sText), vTokens);
        return static_cast<int>(vTokens.size());
      });
}

// True when sCode names a total over a by variable's values: it holds
// "total", or "all" as a word ("Total", "Grand total", "All ages"), in any
// case.
bool NamesAGrandTotal(const KmString& sCode) {
  KmString sLower(sCode);
  sLower.MakeLower();
  const std::string sText(sLower.GetCString());
  if (sText.find("total") != std::string::npos) return true;
  auto isWordCharacter = [&sText](size_t i) {
    return i < sText.size() &&
           std::isalnum(static_cast<unsigned char>(sText[i]));
  };
  for (size_t i = sText.find("all"); i != std::string::npos;
       i = sText.find("all", i + 1)) {
    if ((i == 0 || !isWordCharacter(i - 1)) && !isWordCharacter(i + 3))
      return true;
  }
  return false;
}

bool IsDigits(const char* sText) {
  if (*sText == '\0') return false;
  for (; *sText != '\0'; ++sText) {
    if (*sText < '0' || *sText > '9') return false;
  }
  return true;
}

// A whole number: an optional sign, then digits.
bool IsWholeNumber(const char* sText) {
  return IsDigits(sText + (*sText == '-' || *sText == '+' ? 1 : 0));
}

// What a field holds, to compare the fields of two records: a missing value
// (the missing text or nothing), a whole number, another number, or text.
enum class FieldShape { kMissing, kInteger, kNumber, kText };

FieldShape ShapeOf(const KmString& sField, const KmString& sMissing) {
  double dValue = 0.0;
  const kmTools::FieldNumber read =
      kmTools::ReadFieldNumber(sField, sMissing, dValue);
  if (read == kmTools::FieldNumber::kMissing) return FieldShape::kMissing;
  if (IsWholeNumber(sField.GetCString())) return FieldShape::kInteger;
  return read == kmTools::FieldNumber::kNumber ? FieldShape::kNumber
                                               : FieldShape::kText;
}

// The fields of tokens as FieldText reads them.
std::vector<KmString> FieldTexts(const std::vector<KmString>& vTokens) {
  std::vector<KmString> vFields;
  vFields.reserve(vTokens.size());
  for (const KmString& sToken : vTokens) {
    vFields.push_back(km_read_internal::FieldText(sToken));
  }
  return vFields;
}

// A number with one decimal comma written with a point instead: its
// points (thousands separators) dropped and its comma made a point
// ("1.234,5" gives 1234.5); "" when it holds more than one comma.
KmString WithDecimalPoint(const KmString& sNumber) {
  const char* sText = sNumber.GetCString();
  const char* pComma = std::strchr(sText, ',');
  if (pComma == nullptr || std::strchr(pComma + 1, ',') != nullptr) {
    return KmString();
  }
  std::string sPoint;
  for (const char* p = sText; *p != '\0'; ++p) {
    if (*p != '.') sPoint += *p == ',' ? '.' : *p;
  }
  return KmString(sPoint.c_str());
}

// The number of sField when its commas are dropped; false when it is empty
// or no number.
bool ReadWithoutCommas(const KmString& sField, double& dValue) {
  KmString sNumber(sField);
  sNumber.RemoveAll(',');
  return kmTools::ReadFieldNumber(sNumber, KmString(), dValue) ==
         kmTools::FieldNumber::kNumber;
}

// True when every column of vColumns but iSkip holds a number among
// vFields (and at least one such column is read): the line is data.
bool NumbersBeside(const std::vector<KmString>& vFields,
                   const std::vector<int32_t>& vColumns, int32_t iSkip) {
  bool bAny = false;
  for (const int32_t iColumn : vColumns) {
    if (iColumn == iSkip) continue;
    double dValue = 0.0;
    if (!ReadWithoutCommas(km_read_internal::ColumnField(vFields, iColumn),
                           dValue)) {
      return false;
    }
    bAny = true;
  }
  return bAny;
}

// The number of fields of vTokens up to the last that is not empty.
size_t FieldsUsed(const std::vector<KmString>& vTokens) {
  size_t n = vTokens.size();
  while (n > 0 && km_read_internal::FieldText(vTokens[n - 1]).IsEmpty()) --n;
  return n;
}

// The one width rule of a line, the reference's and every record's: a line
// of vFields fits a file whose lines have iWidth fields (FieldsUsed of the
// line it is compared with) when it has a field for each of them (an empty
// field, its delimiters kept, is a missing value) and no value beyond
// them. Empty fields after its last value, a delimiter that ends the line,
// count in neither line.
bool FitsWidth(const std::vector<KmString>& vFields, int iWidth) {
  return static_cast<int>(FieldsUsed(vFields)) <= iWidth &&
         static_cast<int>(vFields.size()) >= iWidth;
}

// True when two fields in one column may hold the same kind of value: one
// is missing, or both have one shape.
bool SameKind(const KmString& sA, const KmString& sB,
              const KmString& sMissing) {
  const FieldShape a = ShapeOf(sA, sMissing);
  const FieldShape b = ShapeOf(sB, sMissing);
  return a == FieldShape::kMissing || b == FieldShape::kMissing || a == b;
}

// True when sWhole and sGroup, two neighbouring fields, may be one number
// split at its comma that stands where sOther stands in a record of the
// right width: a whole number and digits, read as a decimal number or, for
// a whole sOther, as a number with thousands commas.
bool JoinsAs(const KmString& sWhole, const KmString& sGroup,
             const KmString& sOther, const KmString& sMissing) {
  if (!IsWholeNumber(sWhole.GetCString()) || !IsDigits(sGroup.GetCString())) {
    return false;
  }
  switch (ShapeOf(sOther, sMissing)) {
    case FieldShape::kMissing:
    case FieldShape::kNumber:
      return true;
    case FieldShape::kInteger: {
      KmString sJoined;
      sJoined << sWhole << "," << sGroup;
      return sGroup.GetLength() == 3 &&
             km_read_internal::HasOnlyThousandsCommas(sJoined);
    }
    case FieldShape::kText:
      break;
  }
  return false;
}

// The most surplus fields a reading of one record as another looks for:
// the table of ways grows with their number.
constexpr size_t kMostSurplusFields = 8;

// The ways (counted up to 2) in which vWide reads as vNarrow column by
// column (SameKind), its surplus fields taken, when bJoin, as pairs of
// neighbouring fields that are one number split at its comma (JoinsAs),
// else as fields vNarrow left out; empty fields after the last of either
// are not compared. None beyond kMostSurplusFields surplus fields. With one
// way and pColumns given, *pColumns receives the columns (0-based) of vWide
// that the way takes so.
int WaysToRead(const std::vector<KmString>& vWide,
               const std::vector<KmString>& vNarrow, const KmString& sMissing,
               bool bJoin, std::vector<size_t>* pColumns) {
  const size_t nWide = FieldsUsed(vWide);
  const size_t nNarrow = FieldsUsed(vNarrow);
  if (nNarrow == 0 || nWide <= nNarrow ||
      nWide - nNarrow > kMostSurplusFields) {
    return 0;
  }
  const size_t nSurplus = nWide - nNarrow;
  // ways[i * (nSurplus + 1) + k]: the ways of reading vWide from column i,
  // k surplus fields taken before it, as vNarrow from column i - k.
  std::vector<int> ways((nWide + 1) * (nSurplus + 1), 0);
  auto at = [&](size_t i, size_t k) -> int& {
    return ways[i * (nSurplus + 1) + k];
  };
  auto same = [&](size_t i, size_t k) {
    return i - k < nNarrow && SameKind(vWide[i], vNarrow[i - k], sMissing);
  };
  // The surplus way at column i: a field left out, or a split number that
  // stands at column i - k of vNarrow.
  auto surplus = [&](size_t i, size_t k) {
    if (k == nSurplus) return false;
    if (!bJoin) return true;
    return i + 1 < nWide && i - k < nNarrow &&
           JoinsAs(vWide[i], vWide[i + 1], vNarrow[i - k], sMissing);
  };
  const size_t iStep = bJoin ? 2 : 1;
  at(nWide, nSurplus) = 1;
  for (size_t i = nWide; i-- > 0;) {
    for (size_t k = 0; k <= nSurplus && k <= i; ++k) {
      int n = same(i, k) ? at(i + 1, k) : 0;
      if (surplus(i, k)) n += at(i + iStep, k + 1);
      at(i, k) = std::min(n, 2);
    }
  }
  if (at(0, 0) == 1 && pColumns != nullptr) {
    for (size_t i = 0, k = 0; i < nWide;) {
      if (same(i, k) && at(i + 1, k) == 1) {
        ++i;
        continue;
      }
      pColumns->push_back(i);
      i += iStep;
      ++k;
    }
  }
  return at(0, 0);
}

// The columns (0-based) of vWide at which a pair of neighbouring fields is
// one number split at its comma, such that vWide, those pairs joined,
// reads as vNarrow (WaysToRead). Empty when it reads so in no way or in
// more than one, or when vWide reads as vNarrow with fields left out of
// vNarrow as well: then nothing shows which.
std::vector<size_t> SplitNumberColumns(const std::vector<KmString>& vWide,
                                       const std::vector<KmString>& vNarrow,
                                       const KmString& sMissing) {
  std::vector<size_t> vColumns;
  if (WaysToRead(vWide, vNarrow, sMissing, false, nullptr) == 0) {
    WaysToRead(vWide, vNarrow, sMissing, true, &vColumns);
  }
  return vColumns;
}

}  // namespace

void kmCohortManager::PrepareRecordChecks() {
  iLineNumber_ = 0;
  iReferenceLine_ = 0;
  eReferenceKind_ = kFirstRecord;
  vReferenceFields_.clear();
  iReferenceWidth_ = 0;
  bWidthAgreed_ = false;
  vDeferred_.clear();
  iDeferredLine_ = 0;
  vLastFields_.clear();
  iLastFieldsLine_ = 0;
  closedCohorts_.clear();
  vByVarFirst_.assign(
      static_cast<size_t>(km_read_internal::NumDataByVars(*pSession_)),
      CodeSeen());
  iThousandsNumbers_ = 0;
  vNumberColumns_.clear();
  iRequiredColumns_ = 0;
  sRequiredName_.Clear();
  auto require = [this](int32_t iColumn, const kmVariable& variable) {
    if (iColumn <= iRequiredColumns_) return;
    iRequiredColumns_ = iColumn;
    sRequiredName_ = variable.GetName();
  };
  for (int iRole = 0; iRole < kmNumVarRoles; ++iRole) {
    const int32_t iColumn = pSession_->GetKMVarPosition(iRole);
    if (iColumn < 1) continue;
    require(iColumn, pSession_->GetKMVar(iRole));
    // The adjustment variable's groups may be codes or texts.
    if (iRole != kmVarAdjustment) vNumberColumns_.push_back(iColumn);
  }
  wholeNumberColumns_.clear();
  auto wholeNumbers = [this](int iRole, const char* sRole) {
    const int32_t iColumn = pSession_->GetKMVarPosition(iRole);
    if (iColumn < 1) return;
    wholeNumberColumns_.emplace(
        iColumn,
        WholeNumberColumn{sRole, pSession_->GetKMVar(iRole).GetName()});
  };
  wholeNumbers(kmVarCount, "count");
  wholeNumbers(kmVarPopulation, "population");
  wholeNumbers(kmVarStdPopulation, "standard population");
  if (pSession_->Get<kmDependentType>() == kmDependentType::kCount) {
    wholeNumbers(kmVarDependent, "count");
  }
  std::sort(vNumberColumns_.begin(), vNumberColumns_.end());
  vNumberColumns_.erase(
      std::unique(vNumberColumns_.begin(), vNumberColumns_.end()),
      vNumberColumns_.end());
  for (size_t i = 0; i < vByVarFirst_.size(); ++i) {
    const kmVariable& byVar = pSession_->GetByVar(static_cast<int16_t>(i));
    require(static_cast<int32_t>(byVar.GetPosition()), byVar);
  }
}

void kmCohortManager::CheckRecord(const KmString& sLine,
                                  std::vector<KmString>& vTokens,
                                  bool bFirstRecord) {
  CheckFieldCount(sLine, static_cast<int>(vTokens.size()));
  if (iReferenceLine_ == 0) SetReferenceFields(vTokens, kFirstRecord);
  if (!CheckRecordWidth(vTokens)) return;
  CheckRecordFields(vTokens, bFirstRecord);
}

void kmCohortManager::CheckRecordFields(std::vector<KmString>& vTokens,
                                        bool bFirstRecord) {
  CheckNumberCommas(vTokens);
  if (sDelimiter_ == ";") CheckThousandsPoints(vTokens);
  const int32_t iColumn = pSession_->GetKMVarPosition(kmVarIndependent);
  // Only a first line without a declared header row, whose other number
  // columns hold no numbers, may be an undeclared row of names.
  const bool bMayBeNames = bFirstRecord && !bVarNamesIncluded_ &&
                           !NumbersBeside(vTokens, vNumberColumns_, iColumn);
  CheckIndependentValue(km_read_internal::ColumnField(vTokens, iColumn),
                        iColumn, bMayBeNames);
  for (size_t i = 0; i < vByVarFirst_.size(); ++i) {
    const kmVariable& byVar = pSession_->GetByVar(static_cast<int16_t>(i));
    if (byVar.GetPosition() < 1) continue;
    CheckByVarCode(static_cast<int>(i),
                   km_read_internal::ColumnField(vTokens, byVar.GetPosition()));
  }
  // A record with a value in the last column shows best where a longer one
  // split.
  if (static_cast<int>(FieldsUsed(vTokens)) == iReferenceWidth_) {
    vLastFields_.swap(vTokens);
    iLastFieldsLine_ = iLineNumber_;
  }
}

void kmCohortManager::SplitChecked(const KmString& sLine,
                                   std::vector<KmString>& vTokens) {
  KmStringTokenizer::QuoteFault fault;
  KmStringTokenizer::SplitRecord(sLine, sDelimiter_, vTokens, &fault);
  if (fault.eKind == KmStringTokenizer::QuoteFault::kNoFault) return;
  ThrowWritingFault(fault.lField + 1,
                    KmStringTokenizer::QuoteFaultText(
                        vTokens[static_cast<size_t>(fault.lField)], fault));
}

void kmCohortManager::CheckNumberCommas(const std::vector<KmString>& vTokens) {
  // A column that no variable of the session reads is never read as a
  // number, so its commas cannot change a figure of the run.
  for (const int32_t iColumn : vNumberColumns_) {
    const KmString sField = km_read_internal::ColumnField(vTokens, iColumn);
    if (!km_read_internal::IsNumberWithComma(sField)) continue;
    if (sDelimiter_ == ";") {
      // A file split at semicolons is one whose numbers use decimal commas.
      const KmString sPoint = WithDecimalPoint(sField);
      ThrowWritingFault(
          iColumn,
          KmString().printf(
              "\"%s\" holds a decimal comma: in a file whose fields are "
              "separated by semicolons a comma in a number is taken for a "
              "decimal comma, which is not read.  Write the number with a "
              "decimal point%s%s%s and no thousands separator.",
              sField.GetCString(), sPoint.IsEmpty() ? "" : " (\"",
              sPoint.GetCString(), sPoint.IsEmpty() ? "" : "\")"));
    }
    if (!km_read_internal::HasOnlyThousandsCommas(sField)) {
      ThrowWritingFault(
          iColumn,
          KmString().printf(
              "\"%s\" is not a number: a comma in a number may only "
              "separate thousands in groups of three digits "
              "(\"1,900,000\"); write decimals with a point (\"63.6\").",
              sField.GetCString()));
    }
    CountThousandsNumber(iColumn, sField);
  }
}

void kmCohortManager::CheckThousandsPoints(
    const std::vector<KmString>& vTokens) {
  for (const int32_t iColumn : vNumberColumns_) {
    const KmString sField = km_read_internal::ColumnField(vTokens, iColumn);
    const char* sText = sField.GetCString();
    const char* pPoint = std::strchr(sText, '.');
    if (pPoint == nullptr || !km_read_internal::IsNumberText(sField)) continue;
    if (std::strchr(pPoint + 1, '.') != nullptr) {
      KmString sPlain(sField);
      sPlain.RemoveAll('.');
      ThrowWritingFault(
          iColumn,
          KmString().printf(
              "\"%s\" is a number written with points between "
              "thousands: in a file whose fields are separated by "
              "semicolons a point in a number is its decimal point, and a "
              "number has one at most.  Write the number without "
              "thousands separators (\"%s\").",
              sText, sPlain.GetCString()));
    }
    // One point after 1 to 3 digits (the first not 0) and before exactly 3
    // more: a thousands point would look the same.
    const char* p = sText + (*sText == '-' || *sText == '+' ? 1 : 0);
    const long lWhole = static_cast<long>(pPoint - p);
    if (lWhole < 1 || lWhole > 3 || *p == '0' || !IsDigits(pPoint + 1) ||
        std::strlen(pPoint + 1) != 3) {
      continue;
    }
    const auto whole = wholeNumberColumns_.find(iColumn);
    if (whole == wholeNumberColumns_.end()) {
      CountThousandsNumber(iColumn, sField);
      continue;
    }
    // A count or population is a whole number: its point can only be a
    // thousands point, and read as a decimal point it would make the value
    // 1000 times too small.
    KmString sPlain(sField);
    sPlain.RemoveAll('.');
    ThrowAtLine(iColumn,
                "\"%s\" in the %s column (the variable %s) is a whole number "
                "written with a thousands point: in a file whose fields are "
                "separated by semicolons a point in a number is its decimal "
                "point, so it would be read as %s, a thousandth of its "
                "value.  Write counts and populations without thousands "
                "separators (\"%s\").",
                sText, whole->second.sRole, whole->second.sName.GetCString(),
                sText, sPlain.GetCString());
  }
}

void kmCohortManager::CountThousandsNumber(int32_t iColumn,
                                           const KmString& sField) {
  if (iThousandsNumbers_++ > 0) return;
  iThousandsLine_ = iLineNumber_;
  iThousandsColumn_ = iColumn;
  sThousandsText_ = sField;
}

KmString kmCohortManager::GetThousandsNote() const {
  KmString sNote;
  if (iThousandsNumbers_ == 0) return sNote;
  const bool bPoints = sDelimiter_ == ";";
  KmString sValue(sThousandsText_);
  sValue.RemoveAll(',');
  double dValue = 0.0;
  if (bPoints && kmTools::StringToDouble(dValue, sValue.GetCString(), true)) {
    sValue = kmTools::ShortestText(dValue);
  }
  sNote << "Note: data file \"" << sDataFileName_ << "\", line "
        << iThousandsLine_ << ", column " << iThousandsColumn_ << ": \""
        << sThousandsText_ << "\" was read as " << sValue
        << (bPoints ? ", a point in a number being its decimal point; "
                    : ", a comma in a number being a thousands separator; ")
        << iThousandsNumbers_
        << (iThousandsNumbers_ == 1 ? " number was" : " numbers were")
        << " read so.  "
        << (bPoints ? "A number must be written without thousands "
                      "separators."
                    : "A decimal comma must be written as a point.");
  return sNote;
}

void kmCohortManager::CheckHeaderRow(const std::vector<KmString>& vNames) {
  KmString sNumbers;
  for (const int32_t iColumn : vNumberColumns_) {
    const KmString sField = km_read_internal::ColumnField(vNames, iColumn);
    double dValue = 0.0;
    if (sField.IsEmpty() || !ReadWithoutCommas(sField, dValue)) return;
    if (!sNumbers.IsEmpty()) sNumbers << ", ";
    sNumbers << "column " << iColumn << " \"" << sField << "\"";
  }
  if (sNumbers.IsEmpty()) return;
  const KmString sHeaderSign = HeaderSign(vNames);
  if (!sHeaderSign.IsEmpty()) {
    // Read as data, the line would make a cohort of one record.
    ThrowAtLine(0,
                "the line is taken for the header row of variable names "
                "(\"Variable names included = true\"), but it holds numbers "
                "in every column the session reads as numbers (%s), and a "
                "name that is a number cannot be told from a value.  The line "
                "is the header row (%s): give those columns names that are "
                "not numbers, such as \"Year\" or \"Rate\".",
                sNumbers.GetCString(), sHeaderSign.GetCString());
  }
  ThrowAtLine(0,
              "the line is taken for the header row of variable names "
              "(\"Variable names included = true\"), but it holds numbers "
              "in every column the session reads as numbers (%s): the line "
              "looks like data.  Set \"Variable names included = false\" in "
              "the session file, or put the row of variable names first.  If "
              "the line is the header row, give those columns names that are "
              "not numbers: a name that is a number cannot be told from a "
              "value.",
              sNumbers.GetCString());
}

KmString kmCohortManager::HeaderSign(
    const std::vector<KmString>& vNames) const {
  KmString sSign;
  for (size_t i = 0; i < vByVarFirst_.size() && sSign.IsEmpty(); ++i) {
    const kmVariable& byVar = pSession_->GetByVar(static_cast<int16_t>(i));
    const int32_t iColumn = static_cast<int32_t>(byVar.GetPosition());
    const KmString sField = km_read_internal::ColumnField(vNames, iColumn);
    if (sField.IsEmpty()) continue;
    KmString sName(byVar.GetName());
    const bool bName = sName.Trim().MakeLower() == KmString(sField).MakeLower();
    // A number the format lacks is a wrong code in a data line, not a name.
    double dCode = 0.0;
    const bool bNoCode =
        byVar.HasFormat() && !ReadWithoutCommas(sField, dCode) &&
        km_read_internal::FindFormatLine(byVar.GetFormat(), sField) < 0;
    if (!bName && !bNoCode) continue;
    sSign << "column " << iColumn << " holds \"" << sField << "\", "
          << (bName ? "the name of" : "which is no code of")
          << " the by variable " << byVar.GetName();
  }
  return sSign;
}

void kmCohortManager::SetReferenceFields(const std::vector<KmString>& vFields,
                                         ReferenceKind eKind) {
  iReferenceWidth_ = static_cast<int>(FieldsUsed(vFields));
  iReferenceLine_ = iLineNumber_;
  eReferenceKind_ = eKind;
  vReferenceFields_ = vFields;
  bWidthAgreed_ = false;
}

KmString kmCohortManager::ReferenceHas() const {
  KmString sText;
  switch (eReferenceKind_) {
    case kHeaderRow:
      sText << "the header row of variable names (line " << iReferenceLine_
            << ") has";
      break;
    case kFirstRecord:
      sText << "the first record (line " << iReferenceLine_ << ") has";
      break;
    case kLaterRecord:
      sText << "the record at line " << iReferenceLine_ << " has";
      break;
  }
  return sText;
}

bool kmCohortManager::CheckRecordWidth(const std::vector<KmString>& vTokens) {
  if (FitsWidth(vTokens, iReferenceWidth_)) {
    if (iLineNumber_ != iReferenceLine_) bWidthAgreed_ = true;
    return true;
  }
  if (!bWidthAgreed_) {
    // The reference may be the line that differs from the rest: the next
    // record shows which of the two it is.
    vDeferred_ = vTokens;
    iDeferredLine_ = iLineNumber_;
    return false;
  }
  ThrowWidthFault(vTokens, false, ReferenceHas(), iReferenceWidth_,
                  vLastFields_, iLastFieldsLine_);
}

void kmCohortManager::ResolveDeferredWidth(const std::vector<KmString>* pNext) {
  if (iDeferredLine_ == 0) return;
  std::vector<KmString> vDeferred;
  vDeferred.swap(vDeferred_);
  const int iDeferredLine = iDeferredLine_;
  iDeferredLine_ = 0;
  const int iNextLine = iLineNumber_;
  const bool bNextFitsReference =
      pNext != nullptr && FitsWidth(*pNext, iReferenceWidth_);
  // The width of the rest: the deferred record's, or the one it shares
  // with the next record (its values; their empty fields at the end may
  // be missing values); 0 when they share none.
  const int iDeferredUsed = static_cast<int>(FieldsUsed(vDeferred));
  const int iNextUsed =
      pNext != nullptr ? static_cast<int>(FieldsUsed(*pNext)) : 0;
  int iRestWidth = std::max(iDeferredUsed, iNextUsed);
  if (bNextFitsReference || !FitsWidth(vDeferred, iRestWidth) ||
      (pNext != nullptr && !FitsWidth(*pNext, iRestWidth))) {
    iRestWidth = 0;
  }
  // The one of them with a value in the rest's last column.
  const bool bNextGivesWidth = iNextUsed > iDeferredUsed;
  const std::vector<KmString>& vRest = bNextGivesWidth ? *pNext : vDeferred;
  const int iRestLine = bNextGivesWidth ? iNextLine : iDeferredLine;
  const bool bRecordReference = eReferenceKind_ != kHeaderRow;
  if (iRestWidth > 0 && bRecordReference &&
      FitsWidth(vReferenceFields_, iRestWidth)) {
    // The first record lacks only values at its end, written as empty
    // fields: the records after it give the width.
    iLineNumber_ = iRestLine;
    SetReferenceFields(vRest, kLaterRecord);
    bWidthAgreed_ = pNext != nullptr;
    iLineNumber_ = iDeferredLine;
    CheckRecordFields(vDeferred, false);
    iLineNumber_ = iNextLine;
    return;
  }
  if (iRestWidth > 0 && pNext != nullptr) {
    // The reference differs from the two records after it.
    KmString sRest;
    sRest << "the records at lines " << iDeferredLine << " and " << iNextLine
          << " have";
    iLineNumber_ = iReferenceLine_;
    ThrowWidthFault(vReferenceFields_, !bRecordReference, sRest, iRestWidth,
                    vRest, iRestLine);
  }
  // The deferred record differs, or nothing shows which line does: it is
  // compared with the next record where that has the reference's width,
  // else with a first record, else with the next record, if any.
  iLineNumber_ = iDeferredLine;
  if (pNext != nullptr && (bNextFitsReference || !bRecordReference)) {
    ThrowWidthFault(vDeferred, false, ReferenceHas(), iReferenceWidth_, *pNext,
                    iNextLine);
  }
  ThrowWidthFault(
      vDeferred, false, ReferenceHas(), iReferenceWidth_,
      bRecordReference ? vReferenceFields_ : std::vector<KmString>(),
      iReferenceLine_);
}

void kmCohortManager::ThrowWidthFault(const std::vector<KmString>& vOdd,
                                      bool bOddIsHeader,
                                      const KmString& sOtherHas, int iWidth,
                                      const std::vector<KmString>& vPattern,
                                      int iPatternLine) {
  const int nUsed = static_cast<int>(FieldsUsed(vOdd));
  const bool bLonger = nUsed > iWidth;
  // A shorter record lacks fields even counting its empty ones at the end
  // (missing values); a header row's empty fields name nothing.
  const int nFields =
      bLonger || bOddIsHeader ? nUsed : static_cast<int>(vOdd.size());
  KmString sText;
  sText.printf("%s has %d field%s, but %s %d, ",
               bOddIsHeader ? "the header row of variable names" : "the record",
               nFields, nFields == 1 ? "" : "s", sOtherHas.GetCString(),
               iWidth);
  if (bOddIsHeader) {
    sText << "so it does not name the columns the records hold.  Give it "
             "one name for each field of a record; a name that holds the "
             "field delimiter, "
          << WordOf(sDelimiter_)
          << ", splits in two unless it stands in double quotes.";
    ThrowWritingFault(0, sText);
  }
  sText << "so its values would be read from the wrong columns.";
  if (bLonger) {
    if (sDelimiter_ != ",") {
      sText << "  A field that holds the field delimiter, "
            << WordOf(sDelimiter_)
            << ", splits in two unless it stands in double quotes.";
    } else {
      const KmString sHint = SplitFieldHint(vOdd, vPattern, iLineNumber_);
      sText << (!sHint.IsEmpty()
                    ? sHint
                    : KmString("  A number written with a decimal comma, or "
                               "a field that holds a comma outside double "
                               "quotes, splits in two."));
    }
    ThrowWritingFault(0, sText);
  }
  // The longer line may hold a number split at its comma, unless the
  // header row gives the width.
  if (eReferenceKind_ != kHeaderRow) {
    sText << SplitFieldHint(vPattern, vOdd, iPatternLine);
  }
  KmString sMissing;
  pSession_->GetMissingString(sMissing);
  sText << "  A missing value is written as an empty field, the delimiters "
           "around it kept";
  if (!KmString(sMissing).Trim().IsEmpty()) {
    sText << ", or as the missing character \"" << sMissing << "\"";
  }
  sText << "; a field may not be left out.";
  ThrowWritingFault(0, sText);
}

KmString kmCohortManager::SplitFieldHint(const std::vector<KmString>& vWide,
                                         const std::vector<KmString>& vNarrow,
                                         int iWideLine) const {
  KmString sHint;
  if (sDelimiter_ != ",") return sHint;
  KmString sMissing;
  pSession_->GetMissingString(sMissing);
  const std::vector<KmString> vFields = FieldTexts(vWide);
  const std::vector<size_t> vSplits =
      SplitNumberColumns(vFields, FieldTexts(vNarrow), sMissing);
  if (vSplits.empty()) return sHint;
  const size_t iSplit = vSplits.front();
  const KmString& sWhole = vFields[iSplit];
  const KmString& sGroup = vFields[iSplit + 1];
  KmString sJoined;
  sJoined << sWhole << "," << sGroup;
  sHint << "  Columns " << static_cast<int>(iSplit) + 1 << " and "
        << static_cast<int>(iSplit) + 2;
  if (iWideLine != iLineNumber_) sHint << " of line " << iWideLine;
  sHint << " (\"" << sWhole << "\" and \"" << sGroup
        << "\") look like one number split at its comma: write decimals with "
           "a point ("
        << sWhole << "." << sGroup << ")";
  if (sGroup.GetLength() == 3 &&
      km_read_internal::HasOnlyThousandsCommas(sJoined)) {
    sHint << ", and a number with thousands commas in double quotes (\""
          << sJoined << "\")";
  }
  sHint << ".";
  return sHint;
}

void kmCohortManager::CheckFieldCount(const KmString& sLine, int nFields) {
  if (nFields >= iRequiredColumns_) return;
  KmString sHint;
  const FieldDelimiterWord* pOther =
      OtherDelimiter(sLine, sDelimiter_, iRequiredColumns_);
  if (pOther != nullptr) {
    sHint << "  The line is split at its field delimiter, "
          << WordOf(sDelimiter_) << ", but it splits into enough fields at "
          << pOther->sWord << ": is \"Field delimiter = " << pOther->sWord
          << "\" what the session file should say?";
  } else {
    sHint << "  Every record needs a field in each column the session reads "
             "(the field delimiter is "
          << WordOf(sDelimiter_) << ").";
  }
  ThrowAtLine(0,
              "the record has %d field%s, but the session reads column %d "
              "(the variable %s).%s",
              nFields, nFields == 1 ? "" : "s", iRequiredColumns_,
              sRequiredName_.GetCString(), sHint.GetCString());
}

void kmCohortManager::CheckIndependentValue(const KmString& sValue,
                                            int32_t iColumn, bool bMayBeNames) {
  KmString sMissing;
  pSession_->GetMissingString(sMissing);
  const kmVariable& independent = pSession_->GetKMVar(kmVarIndependent);
  // Missing values, and texts such as "NA" in a record, are the record
  // checks' to report: they keep only their cohort from being fitted. Only
  // a first line that is no record but a row of names stops the run. A
  // format gives the values its own meaning.
  if (!bMayBeNames) return;
  double dValue = 0.0;
  if (independent.HasFormat() ||
      kmTools::ReadIndependentNumber(sValue, sMissing, dValue) !=
          kmTools::FieldNumber::kNotNumber) {
    return;
  }
  ThrowAtLine(iColumn,
              "the independent variable %s holds \"%s\", which is not a "
              "number.  The line looks like a header row of variable names: "
              "declare it with \"Variable names included = true\" in the "
              "session file, or remove it.",
              independent.GetName().GetCString(), sValue.GetCString());
}

void kmCohortManager::CheckByVarCode(int iByVar, const KmString& sCode) {
  const kmVariable& byVar = pSession_->GetByVar(static_cast<int16_t>(iByVar));
  if (sCode.IsEmpty()) {
    // An empty field has no code of its own: it would be read as the code
    // 0 and its records labelled as another cohort's.
    ThrowAtLine(static_cast<int32_t>(byVar.GetPosition()),
                "the by variable %s is empty.  Every record needs a value "
                "for each by variable.",
                byVar.GetName().GetCString());
  }
  const bool bHasFormat = byVar.HasFormat();
  if (bHasFormat && byVar.GetFormat().GetDataType() == 'A') return;
  int32_t lValue = 0;
  const CodeText read = ReadCode(sCode.GetCString(), &lValue);
  if (read == CodeText::kNumberNoCode) {
    // A number is read as a code or not at all: as a text it would be a
    // cohort of its own beside the code of its whole part.
    ThrowAtLine(static_cast<int32_t>(byVar.GetPosition()),
                "the by variable %s holds \"%s\", a number that is no code: "
                "a code is a whole number from -2147483648 to 2147483647 (1, "
                "01, +1, 1.0 and 1e0 are all the code 1).  Write a whole "
                "number, or a text that is no number.",
                byVar.GetName().GetCString(), sCode.GetCString());
  }
  const bool bInteger = read == CodeText::kCode;
  if (bHasFormat) {
    // A numeric format: only whole-number codes (a text code would be given
    // a code of its own that collides with a numeric one).
    if (bInteger) return;
    if (NamesAGrandTotal(sCode)) {
      ThrowAtLine(static_cast<int32_t>(byVar.GetPosition()),
                  "the by variable %s holds \"%s\", a total over its values, "
                  "where its [Format=%s] section lists codes.  A grand-total "
                  "record is no cohort: remove such records from the data "
                  "file.",
                  byVar.GetName().GetCString(), sCode.GetCString(),
                  byVar.GetName().GetCString());
    }
    // No format line can list a text such as "0x1" or "inf": the format of a
    // numeric variable holds whole numbers only.
    ThrowAtLine(static_cast<int32_t>(byVar.GetPosition()),
                "\"%s\" is an invalid code for the %s by variable: a code is "
                "a whole number (1, 01, +1, 1.0 and 1e0 are all the code 1), "
                "as its format section lists them.  Write the code as a whole "
                "number.",
                sCode.GetCString(), byVar.GetName().GetCString());
  }
  // Without a format the codes are whole numbers or texts, never both: a
  // text is coded by its order of appearance, which collides with numbers.
  CodeSeen& first = vByVarFirst_[static_cast<size_t>(iByVar)];
  if (first.iLine == 0) {
    first = CodeSeen{iLineNumber_, bInteger, sCode};
    return;
  }
  if (first.bInteger == bInteger) return;
  ThrowAtLine(static_cast<int32_t>(byVar.GetPosition()),
              "the by variable %s holds \"%s\", but \"%s\" at line %d: a by "
              "variable without a format section holds whole-number codes "
              "only or texts only.",
              byVar.GetName().GetCString(), sCode.GetCString(),
              first.sCode.GetCString(), first.iLine);
}

void kmCohortManager::CloseCohort(const kmCohort& cohort, int iLastLine) {
  closedCohorts_.emplace(std::string(cohort.GetKey().GetCString()),
                         ClosedCohort{cohort.GetLabel(), iLastLine});
}

void kmCohortManager::ThrowInvalidCode(const kmVariable& byVar,
                                       const KmString& sCode) {
  int iCode = 0;
  if (km_read_internal::ReadIntegerCode(sCode, &iCode) && iCode < 0) {
    // No format line can list a negative code: redefining the format
    // cannot help.
    ThrowAtLine(static_cast<int32_t>(byVar.GetPosition()),
                "\"%s\" is an invalid code for the %s by variable.  A format "
                "section lists codes of 0 and above: write the %s codes as "
                "0 or above, or give the %s variable no format section.",
                sCode.GetCString(), byVar.GetName().GetCString(),
                byVar.GetName().GetCString(), byVar.GetName().GetCString());
  }
  ThrowAtLine(static_cast<int32_t>(byVar.GetPosition()),
              "\"%s\" is an invalid code for the %s by variable.  You must "
              "redefine the %s variable format.",
              sCode.GetCString(), byVar.GetName().GetCString(),
              byVar.GetName().GetCString());
}

void kmCohortManager::CheckCohortNotClosed(const KmString& sKey) {
  const auto found = closedCohorts_.find(std::string(sKey.GetCString()));
  if (found == closedCohorts_.end()) return;
  ThrowAtLine(0,
              "the cohort \"%s\" comes back after its records ended at line "
              "%d.  The data file must be sorted by the by variables, with "
              "all records of a cohort together.",
              found->second.sLabel.GetCString(), found->second.iLastLine);
}

void kmCohortManager::ThrowAtLine(int32_t iColumn, const char* sFormat, ...) {
  va_list args;
  va_start(args, sFormat);
  KmString sText;
  sText.vprintf(sFormat, args);
  va_end(args);
  ThrowFault(iColumn, sText, true);
}

void kmCohortManager::ThrowWritingFault(int32_t iColumn,
                                        const KmString& sText) {
  ThrowFault(iColumn, sText, false);
}

void kmCohortManager::ThrowFault(int32_t iColumn, const KmString& sText,
                                 bool bPositionsMayCause) {
  KmString sPlace;
  sPlace << "Data file \"" << sDataFileName_ << "\", line " << iLineNumber_;
  if (iColumn > 0) sPlace << ", column " << iColumn;
  sPlace << ": " << sText;
  const KmString& sNamed = pSession_->GetSessionNamedDataFile();
  if (bPositionsMayCause && !sNamed.IsEmpty()) {
    sPlace << "\nThe data file read is \"" << sDataFileName_
           << "\", the run file's \"Data File\"; the session file names "
              "another, \""
           << sNamed
           << "\", which its variable positions may describe.  Name the "
              "same data file in both, or leave \"Data File\" out of the "
              "run file to read the session's.";
  }
  throw KmException(sPlace.GetCString(), kClassName,
                    KmException::kInputErrorKind);
}
