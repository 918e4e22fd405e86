// kmCalculationHandler: constructor, destructor, Init, Setup, Free, Verify.
#include <memory>

#include "data/kmCalculateRates.h"
#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "results/kmCalcHandler.h"
#include "session/kmComparisonType.h"
#include "session/kmDependentType.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "stats/StatClass.h"

namespace {

constexpr const char* kClassName = "kmCalculationHandler";

}  // namespace

kmCalculationHandler::kmCalculationHandler(kmSession* pSession) {
  // The members own what Setup made, so a half-built handler frees it.
  WithCallPath("kmCalculationHandler()", kClassName, [&] {
    Init();
    Setup(pSession);
  });
}

kmCalculationHandler::~kmCalculationHandler() {
  Free();
  FreeComparisonArrays();
}

void kmCalculationHandler::Init() {
  pCalcHandler_.reset();
  pSession_.reset();
  pReadData_.reset();
  pClusterMatrix_.reset();
  iCurrentNumObs_ = 0;
  bClustering_ = false;
  iNumByGroups_ = 0;
  iNumAdjustGroups_ = 0;
  pRatesCalculator_.reset();
  pStatClass_ = std::make_unique<StatClass>();
}

void kmCalculationHandler::Setup(kmSession* pSession) {
  WithCallPath("Setup()", kClassName, [&] {
    if (pSession == nullptr) {
      GenerateKmException("Session does not exist - invalid pointer.",
                          kClassName);
    }
    // The reader keeps pointers to the session copy and the results
    // handler: it goes before them.
    pReadData_.reset();
    pCalcHandler_ = std::make_unique<kmCalcHandler>(pSession);
    pSession_ = std::make_unique<kmSession>(*pSession);
    pReadData_ =
        std::make_unique<kmReadData>(pSession_.get(), pCalcHandler_.get());

    bRatesFromAdjustGroups_ =
        pSession_->GetBool(kmOptDependentCalculated) &&
        pSession_->Get<kmDependentType>() == kmDependentType::kAgeAdjustedRate;
    iNumAdjustGroups_ = 0;
    if (bRatesFromAdjustGroups_) {
      iNumAdjustGroups_ = -1;
      if (pSession_->GetKMVarPosition(kmVarAdjustment) != 0) {
        const kmVariable& adjust = pSession_->GetKMVar(kmVarAdjustment);
        if (adjust.HasFormat() && adjust.GetFormat().GetNumLines() > 0) {
          iNumAdjustGroups_ = adjust.GetFormat().GetNumLines();
        }
      }
    }

    bClustering_ =
        pSession_->Get<kmComparisonType>() == kmComparisonType::kClustering;
    if (bClustering_) {
      pRatesCalculator_ = std::make_unique<kmCalculateRates>(pSession_.get());
    }
  });
}

void kmCalculationHandler::Free() {
  // The reader keeps a pointer to the session copy: it goes first.
  pReadData_.reset();
  pSession_.reset();
  pStatClass_.reset();
  pRatesCalculator_.reset();
  pClusterMatrix_.reset();
}

bool kmCalculationHandler::Verify(bool bExitOnError,
                                  KmProgressInterface* pFileProgress) {
  return WithCallPath("Verify()", kClassName, [&] {
    KmString sMessage;
    pReadData_->SetFileProgress(pFileProgress);
    bool bResult = false;
    try {
      bResult = pReadData_->VerifyDelayRateCalcNEW(sMessage, false);
    } catch (...) {
      pReadData_->SetFileProgress(nullptr);
      throw;
    }
    // The later reads of the file, by cohort, report nothing.
    pReadData_->SetFileProgress(nullptr);
    iNumByGroups_ = pReadData_->GetNumByGroups();
    // Without a format the groups are those the verification counted in
    // the data: the run divides each cohort's records by them, as with a
    // format's lines.
    if (bRatesFromAdjustGroups_ && iNumAdjustGroups_ < 1) {
      iNumAdjustGroups_ = pReadData_->GetNumAdjustGroups();
    }
    if (bExitOnError && !sMessage.IsEmpty()) {
      throw KmException(sMessage.GetCString(), kClassName,
                        KmException::kInputErrorKind);
    }
    return bResult;
  });
}
