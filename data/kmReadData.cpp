// kmReadData: object lifetime (constructor, destructor, Setup).
#include "data/kmReadData.h"

#include "data/kmCohortDataManager.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "session/kmDependentType.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

namespace {

const char kClassName[] = "kmReadData";

}  // namespace

kmReadData::kmReadData(kmSession* pSession, kmCalcHandler* pCalcHandler) {
  WithCallPath("kmReadData()", kClassName, [&] {
    pSession_ = nullptr;
    bCompressed_ = false;
    bClustered_ = false;
    iNextCohort_ = 0;
    pCalcHandler_ = pCalcHandler;
    Setup(pSession);
  });
}

kmReadData::~kmReadData() = default;

void kmReadData::Setup(kmSession* pSession) {
  WithCallPath("Setup()", kClassName, [&] {
    if (pSession == nullptr) {
      GenerateKmException("Session does not exist - invalid pointer.",
                          kClassName);
    }
    pSession_ = pSession;
    pCohortDataManager_.reset(new kmCohortDataManager(pSession_));
    bClustered_ =
        pSession_->GetBool(kmOptDependentCalculated) &&
        pSession_->Get<kmDependentType>() == kmDependentType::kAgeAdjustedRate;
    pSession_->GetString(kmStrDataFile, sDataFileName_);
    pSession_->GetString(kmStrVarCovarFile, sVarCovFileName_);
    kmRequireAppliedErrorModel(*pSession_);
    if (pSession_->Get<kmErrorModel>() == kmErrorModel::kVarCovMatrix) {
      LoadVarianceCovarianceMatrix();
      RequireVarCovMatrix();
    }
  });
}
