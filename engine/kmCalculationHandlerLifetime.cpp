// kmCalculationHandler: constructor, destructor, Init, Setup, Free, Verify.
#include <cstdio>
#include <cstdlib>

#include "data/kmCalculateRates.h"
#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "stats/StatClass.h"

namespace {

constexpr const char* kClassName = "kmCalculationHandler";

template <typename T>
void DeleteAndNull(T*& p) {
  delete p;
  p = nullptr;
}

}  // namespace

kmCalculationHandler::kmCalculationHandler(kmSession* pSession) {
  try {
    Init();
    Setup(pSession);
  } catch (KmException& e) {
    // The destructor does not run for a half-built object.
    Free();
    DeleteAndNull(pCalcHandler_);
    e.AddCallPath("kmCalculationHandler()", kClassName);
    throw;
  }
}

kmCalculationHandler::~kmCalculationHandler() {
  Free();
  FreeComparisonArrays();
  DeleteAndNull(pCalcHandler_);
}

void kmCalculationHandler::Init() {
  pCalcHandler_ = nullptr;
  pSession_ = nullptr;
  pReadData_ = nullptr;
  pClusterMatrix_ = nullptr;
  iCurrentNumObs_ = 0;
  bClustering_ = false;
  iNumByGroups_ = 0;
  iNumAdjustGroups_ = 0;
  pRatesCalculator_ = nullptr;
  DeleteAndNull(pStatClass_);
  pStatClass_ = new StatClass();
}

void kmCalculationHandler::Setup(kmSession* pSession) {
  try {
    if (pSession == nullptr) {
      GenerateKmException("Session does not exist - invalid pointer.",
                          kClassName);
    }
    pCalcHandler_ = new kmCalcHandler(pSession);
    pSession_ = new kmSession(*pSession);
    pReadData_ = new kmReadData(pSession_, pCalcHandler_);

    bRatesFromAdjustGroups_ = pSession_->GetBool(kmOptDependentCalculated) &&
                              pSession_->GetInt(kmOptDependentType) == 4;
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

    bClustering_ = pSession_->GetInt(kmOptComparisonType) == 2;
    if (bClustering_) pRatesCalculator_ = new kmCalculateRates(pSession_);
  } catch (KmException& e) {
    e.AddCallPath("Setup()", kClassName);
    throw;
  }
}

void kmCalculationHandler::Free() {
  // The reader keeps a pointer to the session copy: it goes first.
  DeleteAndNull(pReadData_);
  DeleteAndNull(pSession_);
  DeleteAndNull(pStatClass_);
  DeleteAndNull(pRatesCalculator_);
  DeleteAndNull(pClusterMatrix_);
}

bool kmCalculationHandler::Verify(bool bExitOnError) {
  try {
    KmString sMessage;
    const bool bResult = pReadData_->VerifyDelayRateCalcNEW(sMessage, false);
    iNumByGroups_ = pReadData_->GetNumByGroups();
    if (bExitOnError && !sMessage.IsEmpty()) {
      std::printf("\n\nError:  %s\n\n", sMessage.GetCString());
      std::exit(1);
    }
    return bResult;
  } catch (KmException& e) {
    e.AddCallPath("Verify()", kClassName);
    throw;
  }
}
