// kmReadData: reading a cohort with age-adjusted rates
// (ReadDataAndCalcRates, both ReadDataAndCalcRates_ProcessLine forms) and
// the comparability-ratio adjustment of its rows
// (ComparabilityRatioAdjustment).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/internal/kmYearGroups.h"
#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"

using km_read_internal::AdjustedStandardError;
using km_read_internal::CleanField;
using km_read_internal::FixedText;
using km_read_internal::IndependentValue;
using km_read_internal::IsMissingField;
using km_read_internal::kMissingValue;
using km_read_internal::ReadNumber;
using km_read_internal::RoleColumn;
using km_read_internal::SameNumber;

namespace {

const char kClassName[] = "kmReadData";
const char kAdjustmentSource[] =
    "kmCalculationHandler::ComparabilityRatioAdjustment()";
const char kRatesSource[] = "kmReadData::ReadDataAndCalcRates()";

// True when the records of one year hold every group of the adjustment
// variable once (YearGroups; the groups vCodes without a format). Only such
// a year has a rate.
bool HoldsEveryGroupOnce(const kmSession& session, const kmCohortRows& vYear,
                         const std::vector<KmString>& vCodes) {
  const size_t iColumn =
      static_cast<size_t>(RoleColumn(session, kmVarAdjustment));
  km_read_internal::YearGroups groups(session, vCodes);
  int64_t lRecord = 0;
  for (const kmRecordRow& row : vYear) {
    int32_t iGroup = -1;
    int64_t lEarlier = 0;
    const KmString sCode = iColumn < row.size() ? row[iColumn] : KmString();
    if (groups.Add(sCode, ++lRecord, &iGroup, &lEarlier) !=
        km_read_internal::YearGroups::Outcome::kFirst) {
      return false;
    }
  }
  return groups.MissingGroups().empty();
}

// The number in column iColumn of row; false when the row has no such
// field, or it is missing or not a number.
bool ColumnNumber(const kmRecordRow& row, int iColumn, const KmString& sMissing,
                  double& dValue) {
  return iColumn >= 0 && static_cast<size_t>(iColumn) < row.size() &&
         ReadNumber(row[static_cast<size_t>(iColumn)], sMissing, dValue);
}

}  // namespace

void kmReadData::ReadDataAndCalcRates(int* piCohortIndex) {
  WithCallPath("ReadDataAndCalcRates()", kClassName, [&] {
    int iCopy = 0;
    const int iLineCount = BeginCopyRead(piCohortIndex, iCopy);
    const bool bCRCopy =
        kmAnalysisCopies(*pSession_).IsComparabilityRatioCopy(iCopy);
    const bool bGood = GetCohortGoodFlag(iCopy);
    const KmString sMissing = GetMissingText();
    const size_t uGroupSize =
        iNumAdjustGroups_ > 0 ? static_cast<size_t>(iNumAdjustGroups_) : 0;
    double dCohortPop = 0.0;

    const int iIndepColumn = RoleColumn(*pSession_, kmVarIndependent);
    const kmVariable& indep = pSession_->GetKMVar(kmVarIndependent);
    // One row per year, from that year's records alone: a year short of a
    // group, or holding one twice, gets the missing text for its rate
    // rather than records of the next year.
    auto AppendYearRow = [&](const kmCohortRows& vYear) {
      double dCount = 0.0;
      double dPop = 0.0;
      double dRate = 0.0;
      double dSE = 0.0;
      ReadDataAndCalcRates_ProcessLine(vYear, &dCount, &dPop, &dRate, &dSE,
                                       &dCohortPop);
      if (!HoldsEveryGroupOnce(*pSession_, vYear, vAdjustCodes_)) {
        dRate = kMissingValue;
        dSE = kMissingValue;
      }
      ReadDataAndCalcRates_ProcessLine(vYear, dCount, dPop, dRate, dSE);
    };

    kmRecordRow templateRow;
    size_t nFirst = 0;
    bool bFirstRecord = true;
    kmCohortRows vGroup;
    double dYear = 0.0;
    int iLinesLeft = iLineCount;
    KmString sLine;
    std::vector<KmString> vTokens;
    while (ReadCopyRecord(iLinesLeft, false, sLine, vTokens)) {
      const size_t n = vTokens.size();
      if (bFirstRecord) {
        nFirst = n;
        templateRow.assign(n + 2, KmString());
        bFirstRecord = false;
      }
      kmRecordRow row(templateRow);
      for (size_t t = 0; t < n && t < row.size(); ++t) {
        row[t] = CleanField(vTokens[t]);
      }
      // The fields a shorter record lacks are missing, not zero.
      for (size_t t = n; t < nFirst; ++t) row[t] = sMissing;

      // Without adjustment groups no group ever completes: no rows. A year
      // the format leaves out of the fits forms no row, and neither does,
      // in a copy the verification refused, one the format does not list
      // (the verification named its line).
      const KmString& sYear = row[static_cast<size_t>(iIndepColumn)];
      if (uGroupSize == 0 || indep.LeavesOut(sYear) ||
          (!bGood && indep.HasFormat() &&
           indep.GetFormat().GetIndexFromField(sYear) < 0)) {
        continue;
      }
      const double dRowYear = IndependentValue(*pSession_, sYear, kRatesSource);
      if (!vGroup.empty() && !SameNumber(dRowYear, dYear)) {
        AppendYearRow(vGroup);
        vGroup.clear();
      }
      dYear = dRowYear;
      vGroup.push_back(row);
    }
    if (!vGroup.empty()) AppendYearRow(vGroup);

    if (dCohortPop == 0.0) {
      for (kmRecordRow& row : vvCohortRows_) {
        if (row.size() >= 2) {
          row[row.size() - 2] = sMissing;
          row[row.size() - 1] = sMissing;
        }
      }
    }
    // A row stands for a group of records, not for one line.
    vRowLines_.clear();
    if (bCRCopy && GetCohortGoodFlag(iCopy)) ComparabilityRatioAdjustment();
  });
}

void kmReadData::ReadDataAndCalcRates_ProcessLine(kmCohortRows vGroup,
                                                  double* pdCount,
                                                  double* pdPop, double* pdRate,
                                                  double* pdSE,
                                                  double* pdCohortPop) {
  WithCallPath("ReadDataAndCalcRates_ProcessLine()", kClassName, [&] {
    const int iRatesPerN = pSession_->GetInt(kmOptRatesPerN);
    const double dN = iRatesPerN <= 0 ? 100000.0 : iRatesPerN;
    const int iCountColumn = RoleColumn(*pSession_, kmVarCount);
    const int iPopColumn = RoleColumn(*pSession_, kmVarPopulation);
    const int iStdColumn = RoleColumn(*pSession_, kmVarStdPopulation);
    const KmString sMissing = GetMissingText();

    double dStdTotal = 0.0;
    for (const kmRecordRow& row : vGroup) {
      double dStd = 0.0;
      if (ColumnNumber(row, iStdColumn, sMissing, dStd)) dStdTotal += dStd;
    }

    double dQ = 0.0;
    double dP = 0.0;
    double dR = 0.0;
    double dA = 0.0;
    double dV = 0.0;
    // One unusable row makes the whole group's rate and standard error
    // missing; a flag, not the sentinel, carries that, since adding a large
    // rate to -1e30 would turn it into a number again.
    bool bUnusable = false;
    for (const kmRecordRow& row : vGroup) {
      double c = 0.0;
      double p = 0.0;
      double dStd = 0.0;
      // No rate is formed over a population of 0: the verification refuses
      // such a group, and a refused cohort shows no rate for its year.
      const bool bUsable = ColumnNumber(row, iCountColumn, sMissing, c) &&
                           ColumnNumber(row, iPopColumn, sMissing, p) &&
                           ColumnNumber(row, iStdColumn, sMissing, dStd) &&
                           c >= 0.0 && p > 0.0 && dStd >= 0.0 &&
                           dStdTotal != 0.0;
      if (!bUsable) {
        bUnusable = true;
        continue;
      }
      *pdCohortPop += p;
      const double w = dStd / dStdTotal;
      dR += c / p * dN * w;
      dQ += c;
      dP += p;
      const double u = w / p;
      dA += c * u;
      dV += c * u * u;
    }

    *pdCount = dQ;
    *pdPop = dP;
    if (bUnusable) {
      *pdRate = kMissingValue;
      *pdSE = kMissingValue;
    } else {
      *pdRate = dR;
      *pdSE = (dP > 0.0 && dA > 0.0 && dV >= 0.0) ? dN * std::sqrt(dV)
                                                  : kMissingValue;
    }
  });
}

void kmReadData::ReadDataAndCalcRates_ProcessLine(kmCohortRows vGroup,
                                                  double dCount, double dPop,
                                                  double dRate, double dSE) {
  WithCallPath("ReadDataAndCalcRates_ProcessLine()", kClassName, [&] {
    if (vGroup.empty()) {
      GenerateKmException("Adjustment group without records.", kClassName);
    }
    const int iCountColumn = RoleColumn(*pSession_, kmVarCount);
    const int iPopColumn = RoleColumn(*pSession_, kmVarPopulation);
    const KmString sMissing = GetMissingText();
    const kmRecordRow& last = vGroup.back();
    const int L = static_cast<int>(last.size());

    kmRecordRow out(static_cast<size_t>(L) + 1, KmString());
    for (int j = 1; j <= L; ++j) {
      if (j == iCountColumn + 1) {
        out[static_cast<size_t>(j - 1)] << dCount;
      } else if (j == iPopColumn + 1) {
        out[static_cast<size_t>(j - 1)] << dPop;
      } else if (j == L - 1) {
        out[static_cast<size_t>(L - 1)] =
            dRate == kMissingValue ? sMissing : FixedText(dRate);
      } else if (j == L) {
        out[static_cast<size_t>(L)] =
            dSE == kMissingValue ? sMissing : FixedText(dSE);
      } else {
        out[static_cast<size_t>(j - 1)] = last[static_cast<size_t>(j - 1)];
      }
    }
    vvCohortRows_.push_back(out);
  });
}

void kmReadData::ComparabilityRatioAdjustment() {
  WithCallPath("ComparabilityRatioAdjustment()", kClassName, [&] {
    if (vvCohortRows_.empty()) {
      ThrowKmException("Empty cohort vector found.", kAdjustmentSource);
    }
    const int iRatePos = static_cast<int>(vvCohortRows_.front().size()) - 2;
    const int iSEPos = static_cast<int>(vvCohortRows_.front().size()) - 1;
    if (iRatePos < 0 || iSEPos < 0) {
      ThrowKmException(
          "Invalid iRatePos or iSEPos in the ComparabilityRatioAdjustment "
          "function. One or both are negative.",
          kAdjustmentSource);
    }
    const double dRatio = pSession_->GetDouble(kmOptCRValue);
    const double dJump = pSession_->GetDouble(kmOptJumpLocation);
    const double dVariance = pSession_->GetDouble(kmOptCRVariance);
    const int iIndepColumn = RoleColumn(*pSession_, kmVarIndependent);
    const KmString sMissing = GetMissingText();

    for (kmRecordRow& row : vvCohortRows_) {
      const int iSize = static_cast<int>(row.size());
      if (iIndepColumn >= iSize || iSEPos >= iSize) continue;
      const KmString& sIndep = row[static_cast<size_t>(iIndepColumn)];
      if (IsMissingField(sIndep, sMissing)) continue;
      const double x = IndependentValue(*pSession_, sIndep, kAdjustmentSource);
      KmString& sRate = row[static_cast<size_t>(iRatePos)];
      KmString& sSE = row[static_cast<size_t>(iSEPos)];
      double r = 0.0;
      double s = 0.0;
      // A rate or standard error that is missing or no number stays as the
      // file gives it, for the record checks to refuse.
      if (x > dJump || !ReadNumber(sRate, sMissing, r) ||
          !ReadNumber(sSE, sMissing, s)) {
        continue;
      }
      sRate = FixedText(r * dRatio);
      const double dAdjusted = AdjustedStandardError(dRatio, dVariance, r, s);
      sSE = dAdjusted == kMissingValue ? sMissing : FixedText(dAdjusted);
    }
  });
}
