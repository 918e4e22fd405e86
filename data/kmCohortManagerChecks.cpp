// kmCohortManager: the checks of each record and of the cohort order that
// the pre-read makes before anything else reads the data file.
#include <cstdarg>
#include <string>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmCohortManager.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/kmTools.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"

namespace {

const char kClassName[] = "kmCohortManager";

// The delimiters a data file may use, with their words in the session file.
struct DelimiterWord {
  char cDelimiter;
  const char* sWord;
};
const DelimiterWord kDelimiters[] = {
    {'\t', "tab"}, {' ', "space"}, {',', "comma"}, {';', "semi-colon"}};

const char* WordOf(const KmString& sDelimiter) {
  for (const DelimiterWord& d : kDelimiters) {
    if (sDelimiter.GetLength() == 1 && sDelimiter[0] == d.cDelimiter) {
      return d.sWord;
    }
  }
  return "?";
}

// The other delimiter that would split sLine into at least iColumns fields,
// or nullptr when none would.
const DelimiterWord* OtherDelimiter(const KmString& sLine,
                                    const KmString& sDelimiter, int iColumns) {
  for (const DelimiterWord& d : kDelimiters) {
    const char sText[2] = {d.cDelimiter, '\0'};
    if (sDelimiter == sText) continue;
    std::vector<KmString> vTokens;
    km_read_internal::SplitRecord(sLine, KmString(sText), vTokens);
    if (static_cast<int>(vTokens.size()) >= iColumns) return &d;
  }
  return nullptr;
}

}  // namespace

void kmCohortManager::PrepareRecordChecks() {
  iLineNumber_ = 0;
  closedCohorts_.clear();
  vByVarFirst_.assign(
      static_cast<size_t>(km_read_internal::NumDataByVars(*pSession_)),
      CodeSeen());
  iRequiredColumns_ = 0;
  sRequiredName_.Clear();
  auto require = [this](int32_t iColumn, const kmVariable& variable) {
    if (iColumn <= iRequiredColumns_) return;
    iRequiredColumns_ = iColumn;
    sRequiredName_ = variable.GetName();
  };
  for (int iRole = 0; iRole < kmNumVarRoles; ++iRole) {
    const int32_t iColumn = pSession_->GetKMVarPosition(iRole);
    if (iColumn > 0) require(iColumn, pSession_->GetKMVar(iRole));
  }
  for (size_t i = 0; i < vByVarFirst_.size(); ++i) {
    const kmVariable& byVar = pSession_->GetByVar(static_cast<int16_t>(i));
    require(static_cast<int32_t>(byVar.GetPosition()), byVar);
  }
}

void kmCohortManager::CheckRecord(const KmString& sLine, bool bFirstRecord) {
  std::vector<KmString> vTokens;
  km_read_internal::SplitRecord(sLine, sDelimiter_, vTokens);
  CheckFieldCount(sLine, static_cast<int>(vTokens.size()));
  for (size_t i = 0; i < vTokens.size(); ++i) {
    const KmString sField = km_read_internal::FieldText(vTokens[i]);
    if (km_read_internal::HasOnlyThousandsCommas(sField)) continue;
    ThrowAtLine(static_cast<int>(i) + 1,
                "\"%s\" is not a number: a comma in a number may only "
                "separate thousands in groups of three digits (\"1,900,000\"); "
                "write decimals with a point (\"63.6\").",
                sField.GetCString());
  }
  const int32_t iColumn = pSession_->GetKMVarPosition(kmVarIndependent);
  CheckIndependentValue(
      km_read_internal::FieldText(vTokens[static_cast<size_t>(iColumn - 1)]),
      iColumn, bFirstRecord);
  for (size_t i = 0; i < vByVarFirst_.size(); ++i) {
    const kmVariable& byVar = pSession_->GetByVar(static_cast<int16_t>(i));
    if (byVar.GetPosition() < 1) continue;
    CheckByVarCode(static_cast<int>(i),
                   km_read_internal::ColumnField(vTokens, byVar.GetPosition()));
  }
}

void kmCohortManager::CheckFieldCount(const KmString& sLine, int nFields) {
  if (nFields >= iRequiredColumns_) return;
  KmString sHint;
  const DelimiterWord* pOther =
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
                                            int32_t iColumn,
                                            bool bFirstRecord) {
  KmString sMissing;
  pSession_->GetMissingString(sMissing);
  const kmVariable& independent = pSession_->GetKMVar(kmVarIndependent);
  // Missing values are the record checks' to report; a format gives the
  // values its own meaning.
  if (sValue.IsEmpty() || sValue == sMissing || independent.HasFormat()) {
    return;
  }
  KmString sNumber(sValue);
  sNumber.RemoveAll(',');
  double dValue = 0.0;
  if (kmTools::StringToDouble(dValue, sNumber.GetCString(), true)) return;
  const char* sHeader =
      bFirstRecord && !bVarNamesIncluded_
          ? "  The line looks like a header row of variable names: declare "
            "it with \"Variable names included = true\" in the session file, "
            "or remove it."
          : "";
  ThrowAtLine(iColumn,
              "the independent variable %s holds \"%s\", which is not a "
              "number.%s",
              independent.GetName().GetCString(), sValue.GetCString(), sHeader);
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
  int iValue = 0;
  const bool bInteger = km_read_internal::ReadIntegerCode(sCode, &iValue);
  if (bHasFormat) {
    // A numeric format: only whole-number codes (a text code would be given
    // a code of its own that collides with a numeric one).
    if (bInteger) return;
    GenerateKmInputExceptionF(
        "\"%s\" is an invalid code for the %s by variable.  You must "
        "redefine the %s variable format.",
        kClassName, sCode.GetCString(), byVar.GetName().GetCString(),
        byVar.GetName().GetCString());
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
  KmString sPlace;
  sPlace << "Data file \"" << sDataFileName_ << "\", line " << iLineNumber_;
  if (iColumn > 0) sPlace << ", column " << iColumn;
  sPlace << ": ";
  va_list args;
  va_start(args, sFormat);
  KmString sText;
  sText.vprintf(sFormat, args);
  va_end(args);
  sPlace << sText;
  throw KmException(sPlace.GetCString(), kClassName,
                    KmException::kInputErrorKind);
}
