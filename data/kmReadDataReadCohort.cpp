// kmReadData: reading one cohort for a fit (GetIsCohortGoodToUse,
// GetCohortGoodFlag, BeginCopyRead, ReadData).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmDependentType.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using km_read_internal::AdjustedStandardError;
using km_read_internal::CleanField;
using km_read_internal::DropEnclosingQuotes;
using km_read_internal::FixedText;
using km_read_internal::IndependentValue;
using km_read_internal::IsMissingField;
using km_read_internal::kMissingValue;
using km_read_internal::ReadNumber;
using km_read_internal::RoleColumn;

namespace {

const char kClassName[] = "kmReadData";
const char kReadDataSource[] = "kmCalculationHandler::ReadData()";

// What one ReadData call needs to know about its copy and the session.
struct CopySettings {
  KmString sMissing;
  kmErrorModel hetModel = kmErrorModel::kConstantVariance;
  double dRatesPerN = 100000.0;
  bool bCRCopy = false;
  bool bGood = false;
  bool bDelay = false;
  double dRatio = 0.0;     // kmOptCRValue
  double dJump = 0.0;      // kmOptJumpLocation
  double dVariance = 0.0;  // kmOptCRVariance
};

// The text of a computed proportion or percent or of its standard error,
// with every significant digit: fixed decimals would keep only six digits
// of the standard error of a proportion of 0.0005.
KmString ShareText(double dValue) {
  KmString sText;
  sText.printf("%.17g", dValue);
  return sText;
}

// True when the comparability ratio applies to the record whose
// independent field is sField: a present independent value at or before
// the jump location, in a copy that may be fitted.
bool RecordIsAdjusted(const kmSession& session, const CopySettings& s,
                      const KmString& sField) {
  // A refused copy's value may be one the format does not list.
  if (!s.bGood || IsMissingField(sField, s.sMissing)) return false;
  return IndependentValue(session, sField, kReadDataSource) <= s.dJump;
}

// Computing path: the rate, proportion or percent and its standard error
// are computed from each record's count and population and appended as the
// last two fields of its row.
void ReadComputedRows(kmReadData& reader, const kmSession& session,
                      const CopySettings& s, int iLineCount,
                      kmCohortRows& vRows) {
  const int iCountColumn = RoleColumn(session, kmVarCount);
  const int iPopColumn = RoleColumn(session, kmVarPopulation);
  const int iIndepColumn =
      s.bCRCopy ? RoleColumn(session, kmVarIndependent) : -1;
  const kmDependentType type = session.Get<kmDependentType>();
  const bool bHalfZeroCount = session.GetBool(kmOptLogLinear) &&
                              s.hetModel == kmErrorModel::kConstantVariance;

  size_t nFirst = 0;
  bool bFirstRecord = true;
  int iLinesLeft = iLineCount;
  KmString sLine;
  std::vector<KmString> vTokens;
  while (reader.ReadCopyRecord(iLinesLeft, true, sLine, vTokens)) {
    const size_t n = vTokens.size();
    if (bFirstRecord) {
      nFirst = n;
      bFirstRecord = false;
    }
    // Each record gets a row of its own: a record shorter than the first
    // shows its absent fields as missing instead of another record's texts.
    kmRecordRow row(std::max(n, nFirst) + 2, s.sMissing);
    for (size_t t = 0; t < n; ++t) row[t] = CleanField(vTokens[t]);
    const size_t uRate = row.size() - 2;
    const size_t uSE = row.size() - 1;

    // A field the record does not have is missing, never 0.
    auto fieldNumber = [&](int iColumn, double& dValue) {
      return iColumn >= 0 && static_cast<size_t>(iColumn) < n &&
             ReadNumber(row[static_cast<size_t>(iColumn)], s.sMissing, dValue);
    };
    double c = 0.0;
    double p = 0.0;
    bool bValid = fieldNumber(iCountColumn, c);
    if (bValid && c == 0.0 && bHalfZeroCount) c = 0.5;
    bValid = bValid && fieldNumber(iPopColumn, p) && p != 0.0;
    // A negative count or population has no rate (its square root would
    // carry NaN into the fit).
    bValid = bValid && c >= 0.0 && p >= 0.0;
    if (bValid &&
        (type == kmDependentType::kProportion ||
         type == kmDependentType::kPercent) &&
        c > p)
      bValid = false;

    double dRate = kMissingValue;
    double dSE = kMissingValue;
    if (bValid) {
      const double q = c / p;
      if (type == kmDependentType::kCrudeRate) {
        dRate = q * s.dRatesPerN;
        dSE = std::sqrt(c) / p * s.dRatesPerN;
      } else {
        // A percent is 100 times the proportion, and so is its error: the
        // binomial one, or under the Poisson rate model that of the count.
        const double k = type == kmDependentType::kPercent ? 100.0 : 1.0;
        dRate = k * q;
        dSE = s.hetModel == kmErrorModel::kPoissonRate
                  ? k * (std::sqrt(c) / p)
                  : k * std::sqrt(q * (1.0 - q) / p);
      }
      // Types that allow c > p would take the root of a negative number.
      bValid = std::isfinite(dRate) && std::isfinite(dSE);
    }
    if (!bValid) {
      row[uRate] = kMissingValue;
      row[uSE] = kMissingValue;
    } else {
      if (s.bCRCopy && iIndepColumn >= 0 &&
          static_cast<size_t>(iIndepColumn) < n &&
          RecordIsAdjusted(session, s,
                           row[static_cast<size_t>(iIndepColumn)])) {
        dSE = AdjustedStandardError(s.dRatio, s.dVariance, dRate, dSE);
        dRate *= s.dRatio;
      }
      if (dSE == kMissingValue) {
        row[uRate] = kMissingValue;
        row[uSE] = kMissingValue;
      } else {
        row[uRate] = type == kmDependentType::kCrudeRate ? FixedText(dRate)
                                                         : ShareText(dRate);
        row[uSE] = type == kmDependentType::kCrudeRate ? FixedText(dSE)
                                                       : ShareText(dSE);
      }
    }
    vRows.push_back(row);
  }
}

// As-given path: each record's fields as they stand, with the
// comparability ratio applied to the dependent value and its standard
// error in a comparability-ratio copy.
void ReadGivenRows(kmReadData& reader, const kmSession& session,
                   const CopySettings& s, int iLineCount, kmCohortRows& vRows) {
  const bool bTrimFields = s.sMissing != " ";
  const int iIndepColumn =
      s.bCRCopy ? RoleColumn(session, kmVarIndependent) : -1;

  int iLinesLeft = iLineCount;
  KmString sLine;
  std::vector<KmString> vTokens;
  while (reader.ReadCopyRecord(iLinesLeft, true, sLine, vTokens)) {
    kmRecordRow row;
    row.reserve(vTokens.size());
    for (const KmString& sToken : vTokens) {
      KmString sField(sToken);
      sField.RemoveAll(',');
      if (bTrimFields) {
        sField.TrimLeft();
        sField.TrimRight();
      }
      DropEnclosingQuotes(sField);
      row.push_back(sField);
    }

    if (s.bCRCopy && iIndepColumn >= 0 &&
        static_cast<size_t>(iIndepColumn) < row.size() &&
        RecordIsAdjusted(session, s, row[static_cast<size_t>(iIndepColumn)])) {
      const int iDepColumn =
          RoleColumn(session, s.bDelay ? kmVarDelayRate : kmVarDependent);
      const int iSEColumn =
          session.GetKMVarPosition(s.bDelay ? kmVarDelaySE : kmVarStdError) - 1;
      double d = kMissingValue;
      if (iDepColumn >= 0 && static_cast<size_t>(iDepColumn) < row.size()) {
        KmString& sDep = row[static_cast<size_t>(iDepColumn)];
        // A text that is no number stays as it is, for the checks to name.
        if (ReadNumber(sDep, s.sMissing, d)) sDep = FixedText(d * s.dRatio);
      }
      if (iSEColumn >= 0 && static_cast<size_t>(iSEColumn) < row.size()) {
        KmString& sSE = row[static_cast<size_t>(iSEColumn)];
        if (!IsMissingField(sSE, s.sMissing)) {
          if (d == kMissingValue) {
            sSE = s.sMissing;
          } else if (double dS = 0.0; ReadNumber(sSE, s.sMissing, dS)) {
            const double dAdjusted =
                AdjustedStandardError(s.dRatio, s.dVariance, d, dS);
            sSE =
                dAdjusted == kMissingValue ? s.sMissing : FixedText(dAdjusted);
          }
        }
      }
    }
    vRows.push_back(row);
  }
}

}  // namespace

KmString kmReadData::GetIsCohortGoodToUse(int i) const {
  return WithCallPath(
      "GetIsCohortGoodToUse(int)", kClassName, [&]() -> KmString {
        if (i < 0 || static_cast<size_t>(i) >= vErrorTexts_.size()) {
          return KmString();
        }
        return vErrorTexts_[i];
      });
}

kmCohortValidity kmReadData::GetCohortValidity(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= vErrorTexts_.size()) {
    return kmCohortValidity::kNoFinding;
  }
  // Every finding that refuses a copy clears its good flag; the zero-count
  // note alone leaves it set. So a copy with a text that is still good
  // carries only that note.
  if (vErrorTexts_[i].IsEmpty()) return kmCohortValidity::kNoFinding;
  return vGoodFlags_[i] ? kmCohortValidity::kZeroCountNoteOnly
                        : kmCohortValidity::kRefused;
}

bool kmReadData::GetCohortGoodFlag(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= vGoodFlags_.size()) return false;
  return vGoodFlags_[i];
}

int kmReadData::BeginCopyRead(int* piCohortIndex, int& iCopy) {
  return WithCallPath("BeginCopyRead()", kClassName, [&]() -> int {
    vvCohortRows_.clear();
    vRowLines_.clear();
    iCopy = iNextCohort_;
    if (piCohortIndex != nullptr) *piCohortIndex = iCopy;
    ++iNextCohort_;

    // Reading a copy that verification did not see would read another
    // copy's lines (or none) and key them by the wrong index.
    if (iCopy < 0 || static_cast<size_t>(iCopy) >= vLineCounts_.size()) {
      GenerateKmExceptionF(
          "Analysis copy %d of the data file was not found by the "
          "verification of the data set (%d copies verified).",
          kClassName, iCopy, static_cast<int>(vLineCounts_.size()));
    }

    // Every copy starts at the position verification recorded for it, also
    // when the copies follow one another in the file: lines that belong to
    // no copy (a block whose records are all kept out of the calculations)
    // would otherwise be read as the next copy's and push its own last
    // lines into the copy after it.
    if (static_cast<size_t>(iCopy) >= vFilePositions_.size()) {
      GenerateKmExceptionF(
          "No file position is known for analysis copy %d of the data file.",
          kClassName, iCopy);
    }
    const int64_t lPosition = vFilePositions_[static_cast<size_t>(iCopy)];
    const int64_t lLinesBefore =
        static_cast<size_t>(iCopy) < vCopyLinesBefore_.size()
            ? vCopyLinesBefore_[static_cast<size_t>(iCopy)]
            : -1;
    if (!inputLines_.Seek(lPosition, lLinesBefore)) {
      KmString sMessage;
      sMessage << "Cannot move to position " << static_cast<long>(lPosition)
               << " of data file \"" << sDataFileName_
               << "\" to read analysis copy " << iCopy << ".";
      GenerateKmException(sMessage.GetCString(), kClassName);
    }
    ClearPendingLines();
    return vLineCounts_[iCopy];
  });
}

void kmReadData::ReadData(int* piCohortIndex) {
  WithCallPath("ReadData()", kClassName, [&] {
    int iCopy = 0;
    const int iLineCount = BeginCopyRead(piCohortIndex, iCopy);
    const kmAnalysisCopies copies(*pSession_);

    CopySettings s;
    s.sMissing = GetMissingText();
    s.hetModel = pSession_->Get<kmErrorModel>();
    const int iRatesPerN = pSession_->GetInt(kmOptRatesPerN);
    s.dRatesPerN = iRatesPerN <= 0 ? 100000.0 : iRatesPerN;
    s.bCRCopy = copies.IsComparabilityRatioCopy(iCopy);
    s.bGood = GetCohortGoodFlag(iCopy);
    s.bDelay = copies.IsDelayCopy(iCopy);
    if (s.bCRCopy) {
      s.dRatio = pSession_->GetDouble(kmOptCRValue);
      s.dJump = pSession_->GetDouble(kmOptJumpLocation);
      s.dVariance = pSession_->GetDouble(kmOptCRVariance);
    }

    const bool bComputed =
        pSession_->GetBool(kmOptDependentCalculated) &&
        !(pSession_->Get<kmDependentType>() == kmDependentType::kCrudeRate &&
          s.hetModel == kmErrorModel::kPoissonRate);
    kmCohortRows vRows;
    if (bComputed) {
      ReadComputedRows(*this, *pSession_, s, iLineCount, vRows);
    } else {
      ReadGivenRows(*this, *pSession_, s, iLineCount, vRows);
    }
    vvCohortRows_.swap(vRows);
  });
}
