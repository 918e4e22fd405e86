// kmReadData: reading a cohort with age-adjusted rates
// (ReadDataAndCalcRates, both ReadDataAndCalcRates_ProcessLine forms) and
// the comparability-ratio adjustment of its rows
// (ComparabilityRatioAdjustment).
#include <cmath>
#include <cstdlib>
#include <vector>

#include "data/internal/kmCohortReadHelpers.h"
#include "data/kmReadData.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using km_read_internal::AdjustedStandardError;
using km_read_internal::CleanField;
using km_read_internal::FixedText;
using km_read_internal::IndependentValue;
using km_read_internal::IsMissingField;
using km_read_internal::kMissingValue;
using km_read_internal::ReadNumber;
using km_read_internal::RoleColumn;

namespace {

const char kClassName[] = "kmReadData";
const char kAdjustmentSource[] =
    "kmCalculationHandler::ComparabilityRatioAdjustment()";

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
    const KmString sMissing = GetMissingText();
    const size_t uGroupSize =
        iNumAdjustGroups_ > 0 ? static_cast<size_t>(iNumAdjustGroups_) : 0;
    double dCohortPop = 0.0;

    kmRecordRow templateRow;
    size_t nFirst = 0;
    bool bFirstRecord = true;
    kmCohortRows vGroup;
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

      // Without adjustment groups no group ever completes: no rows.
      if (uGroupSize == 0) continue;
      vGroup.push_back(row);
      if (vGroup.size() == uGroupSize) {
        double dCount = 0.0;
        double dPop = 0.0;
        double dRate = 0.0;
        double dSE = 0.0;
        ReadDataAndCalcRates_ProcessLine(vGroup, &dCount, &dPop, &dRate, &dSE,
                                         &dCohortPop);
        ReadDataAndCalcRates_ProcessLine(vGroup, dCount, dPop, dRate, dSE);
        vGroup.clear();
      }
    }

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
      const bool bUsable = ColumnNumber(row, iCountColumn, sMissing, c) &&
                           ColumnNumber(row, iPopColumn, sMissing, p) &&
                           ColumnNumber(row, iStdColumn, sMissing, dStd) &&
                           c >= 0.0 && p >= 0.0 && dStd >= 0.0 &&
                           dStdTotal != 0.0;
      if (!bUsable) {
        bUnusable = true;
        continue;
      }
      *pdCohortPop += p;
      const double w = dStd / dStdTotal;
      double r = 0.0;
      double dPopUsed = 0.0;
      if (p != 0.0) {
        r = c / p * dN;
        dPopUsed = p;
      } else if (c > 0.0) {
        r = dN;
        dPopUsed = c;
      }
      dR += r * w;
      dQ += c;
      dP += dPopUsed;
      if (dPopUsed > 0.0) {
        const double u = w / dPopUsed;
        dA += c * u;
        dV += c * u * u;
      }
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
      if (x > dJump || IsMissingField(sRate, sMissing) ||
          IsMissingField(sSE, sMissing)) {
        continue;
      }
      const double r = std::atof(sRate.GetCString());
      const double s = std::atof(sSE.GetCString());
      sRate = FixedText(r * dRatio);
      const double dAdjusted = AdjustedStandardError(dRatio, dVariance, r, s);
      sSE = dAdjusted == kMissingValue ? sMissing : FixedText(dAdjusted);
    }
  });
}
