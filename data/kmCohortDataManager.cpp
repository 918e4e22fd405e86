// kmCohortDataManager: construction, Setup, VerifyCohortData, the dependent
// value check and the message helpers. The rate checks are in
// kmCohortDataManagerRates.cpp.
#include "data/kmCohortDataManager.h"

#include <cmath>
#include <cstdlib>

#include "data/internal/kmCohortReadHelpers.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/kmTools.h"
#include "session/kmDelayType.h"
#include "session/kmDependentType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char* const kClassName = "kmCohortDataManager";

// Session file version from which the dictionary may carry delay-adjusted
// statistics.
constexpr double kDelayStatsFileVersion = 4.2;

// Clears the manager's pointer to the rows under check when a check ends.
struct RowsReset {
  const kmCohortDataManager::Rows*& pRows;
  ~RowsReset() { pRows = nullptr; }
};

}  // namespace

kmCohortDataManager::kmCohortDataManager(kmSession* pSession)
    : pSession_(nullptr),
      pRows_(nullptr),
      bValid_(true),
      iIndependentLoc_(0),
      iCountLoc_(0),
      iPopulationLoc_(0),
      iRateLoc_(0),
      iStdErrorLoc_(0),
      iAdjustLoc_(0),
      iStdPopulationLoc_(0),
      iDelayCountLoc_(0),
      iDelayDependentLoc_(0),
      iDelayStdErrorLoc_(0),
      dTotalStdPopulation_(-1.0) {
  WithCallPath("kmCohortDataManager()", kClassName, [&] { Setup(pSession); });
}

kmCohortDataManager::~kmCohortDataManager() = default;

void kmCohortDataManager::Setup(kmSession* pSession) {
  WithCallPath("Setup()", kClassName, [&] {
    if (pSession == nullptr) {
      GenerateKmException("Session does not exist - invalid pointer.",
                          "kmCalculationHandler");
    }
    pSession_ = pSession;
    pSession_->GetMissingString(sMissing_);
    iIndependentLoc_ = pSession_->GetKMVarPosition(kmVarIndependent);
    iCountLoc_ = pSession_->GetKMVarPosition(kmVarCount);
    iPopulationLoc_ = pSession_->GetKMVarPosition(kmVarPopulation);
    iRateLoc_ = pSession_->GetKMVarPosition(kmVarRate);
    iStdErrorLoc_ = pSession_->GetKMVarPosition(kmVarStdError);
    iAdjustLoc_ = pSession_->GetKMVarPosition(kmVarAdjustment);
    iStdPopulationLoc_ = pSession_->GetKMVarPosition(kmVarStdPopulation);
    iDelayCountLoc_ = 0;
    iDelayDependentLoc_ = 0;
    iDelayStdErrorLoc_ = 0;
    if (pSession_->GetFileVersionAsDouble() >= kDelayStatsFileVersion &&
        pSession_->GetInt(kmOptDictDelayStats) != 0 &&
        pSession_->Get<kmDelayType>() == kmDelayType::kBoth) {
      iDelayCountLoc_ = pSession_->GetKMVarPosition(kmVarDelayCount);
      iDelayDependentLoc_ = pSession_->GetKMVarPosition(kmVarDelayRate);
      iDelayStdErrorLoc_ = pSession_->GetKMVarPosition(kmVarDelaySE);
    }
  });
}

bool kmCohortDataManager::VerifyCohortData(const Rows& vRows,
                                           int iNumAdjustGroups,
                                           KmString* psErrorText,
                                           int iCohortNumber, bool bDelay) {
  return WithCallPath("VerifyCohortData()", kClassName, [&]() -> bool {
    pSession_->GetMissingString(sMissing_);
    bValid_ = true;
    sMessage_.Clear();
    // The rows belong to the caller; keep no pointer past the call, however
    // it ends.
    pRows_ = &vRows;
    RowsReset reset{pRows_};

    if (pSession_->GetBool(kmOptDependentCalculated)) {
      switch (pSession_->Get<kmDependentType>()) {
        case kmDependentType::kCrudeRate:
          ValidateCrudeRates(sMissing_, iCohortNumber);
          break;
        case kmDependentType::kAgeAdjustedRate:
          ValidateCrudeOrAgeAdjRate(true, iNumAdjustGroups, iCohortNumber,
                                    sMissing_);
          break;
        case kmDependentType::kProportion:
        case kmDependentType::kPercent:
          ValidateProportionPercent(sMissing_, iCohortNumber);
          break;
        default:
          break;
      }
    } else {
      const bool bCount =
          pSession_->Get<kmDependentType>() == kmDependentType::kCount;
      int iLocation = bCount ? iCountLoc_ : iRateLoc_;
      if (bDelay) iLocation = bCount ? iDelayCountLoc_ : iDelayDependentLoc_;
      ValidateDependentVar(iLocation, 0, sMissing_, iCohortNumber);
    }

    if (psErrorText != nullptr) *psErrorText << sMessage_;
    return bValid_;
  });
}

void kmCohortDataManager::ValidateDependentVar(int iLocation, int /*iUnused*/,
                                               KmString sMissing,
                                               int /*iCohortNumber*/) {
  WithCallPath("ValidateDependentVar()", kClassName, [&] {
    if (pRows_ == nullptr) return;
    const kmDependentType type = pSession_->Get<kmDependentType>();
    const int32_t nRecords = static_cast<int32_t>(pRows_->size());
    for (int32_t r = 0; r < nRecords && bValid_; ++r) {
      const kmRecordRow& vRecord = (*pRows_)[static_cast<size_t>(r)];
      if (iLocation <= 0 || static_cast<int32_t>(vRecord.size()) < iLocation) {
        continue;
      }
      const KmString& sField = vRecord[static_cast<size_t>(iLocation - 1)];
      double dValue = 0.0;
      const kmTools::FieldNumber read =
          kmTools::ReadFieldNumber(sField, sMissing, dValue);
      // The missing text, blanks around it or not; a blank field is named
      // as blank below.
      const bool bMissing =
          sField == sMissing || (read == kmTools::FieldNumber::kMissing &&
                                 !KmString(sField).Trim().IsEmpty());
      if (bMissing) {
        Report("  One or more dependent variable values are missing.", r,
               iLocation);
      }
      if (type != kmDependentType::kProportion &&
          type != kmDependentType::kPercent)
        continue;

      const bool bProportion = type == kmDependentType::kProportion;
      // One sentence per field, the most specific.
      if (bMissing) {
        Report(bProportion ? "  One or more proportion values are missing."
                           : "  One or more percentage values are missing.",
               r, iLocation);
      } else if (read == kmTools::FieldNumber::kMissing) {
        Report(bProportion ? "  One or more proportion values are blank."
                           : "  One or more percentage values are blank.",
               r, iLocation);
      } else if (read == kmTools::FieldNumber::kNotNumber ||
                 read == kmTools::FieldNumber::kBeyondDouble) {
        ReportNoNumber(
            bProportion ? "  One or more proportion values were not numeric."
                        : "  One or more percentage values were not numeric.",
            r, iLocation, bProportion ? "proportion" : "percentage", sField);
      }
    }
  });
}

KmString kmCohortDataManager::RowColText(int32_t iRecord, int iLocation) const {
  KmString sText;
  sText << " (record " << (iRecord + 1) << ", column " << iLocation << ")  ";
  return sText;
}

void kmCohortDataManager::Report(const char* sSentence, int32_t iRecord,
                                 int iLocation) {
  bValid_ = false;
  sMessage_ << sSentence << RowColText(iRecord, iLocation);
}

void kmCohortDataManager::ReportNoNumber(const char* sSentence, int32_t iRecord,
                                         int iLocation, const char* sWhat,
                                         const KmString& sField) {
  double dIgnored = 0.0;
  const kmTools::FieldNumber read =
      kmTools::ReadFieldNumber(sField, sMissing_, dIgnored);
  // A number no double holds is a number: the sentence says so.
  KmString sText(sSentence);
  if (read == kmTools::FieldNumber::kBeyondDouble) {
    sText.Replace("were not numeric", "were beyond the numbers a double holds");
  }
  Report(sText.GetCString(), iRecord, iLocation);
  if (!places_) return;
  sMessage_ << places_(iRecord, iLocation) << ": the " << sWhat << " \""
            << kmTools::FieldText(sField)
            << km_read_internal::NoNumberEnding(read) << "  ";
}

bool kmCohortDataManager::IsPoissonType() const {
  return kmIsPoissonType(pSession_->Get<kmErrorModel>(),
                         pSession_->GetBool(kmOptLogLinear));
}
