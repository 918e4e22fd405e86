// kmCalculator: constructors, destructor, Init, Setup, GetCalcSession,
// LoadCalcMembers, SetNumObservations, GetNumObservations,
// SetClusterMatrix and its readers, the observations and their readers,
// and GetNumObsForCohortIndex.
#include <newmat.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "results/kmCalcHandler.h"
#include "session/kmAnalysisCopies.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"
#include "stats/StatClass.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::SymmetricMatrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
constexpr const char* kNoSession = "Session does not exist - invalid pointer.";

}  // namespace

// A constructor that fails leaves nothing behind: the members made so far
// are unique_ptrs, destroyed as the exception leaves.
kmCalculator::kmCalculator(kmSession* pSession) {
  WithCallPath("kmCalculator(kmSession*)", kClassName, [&] {
    Init();
    Setup(pSession);
  });
}

kmCalculator::kmCalculator(kmCalculationHandler* /*pCalculationHandler*/,
                           kmCalcHandler* pCalcHandlerIn) {
  WithCallPath("kmCalculator(kmCalculationHandler*, kmCalcHandler*)",
               kClassName, [&] {
                 Init();
                 pCalcHandler = pCalcHandlerIn;
               });
}

kmCalculator::~kmCalculator() = default;

void kmCalculator::Init() {
  pCalcHandler = static_cast<kmCalcHandler*>(nullptr);
  pVarCovMatrix = nullptr;
  iNumObs = 0;
  iXColumn = 2;
  dJumpLocation = 0.0;
  WithCallPath("Init()", kClassName, [&] {
    pStatClass = std::make_unique<StatClass>();
    pRandom = std::make_unique<MersenneTwister>();
  });
}

void kmCalculator::Setup(kmSession* pSession) {
  WithCallPath("Setup()", kClassName, [&] {
    if (pSession == nullptr) GenerateKmException(kNoSession, kClassName);
    std::unique_ptr<kmCalcHandler> pHandler;
    WithMatrixErrorsAsKm("kmCalculator::Setup()",
                         [&] { pHandler.reset(new kmCalcHandler(pSession)); });
    pCalcHandler = std::move(pHandler);
  });
}

kmCalcHandler* kmCalculator::GetCalcHandler() const {
  if (const auto* pOwned =
          std::get_if<std::unique_ptr<kmCalcHandler>>(&pCalcHandler)) {
    return pOwned->get();
  }
  return std::get<kmCalcHandler*>(pCalcHandler);
}

kmSession* kmCalculator::GetCalcSession() const {
  kmCalcHandler* pHandler = GetCalcHandler();
  kmSession* pSession = pHandler == nullptr ? nullptr : pHandler->GetSession();
  if (pSession == nullptr) GenerateKmException(kNoSession, kClassName);
  return pSession;
}

void kmCalculator::LoadCalcMembers(kmSession* pSession, int iCohort) {
  WithCallPath("LoadCalcMembers()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::LoadCalcMembers()", [&] {
      kmSession* pUse = pSession != nullptr ? pSession : GetCalcSession();
      const int32_t g = pUse->GetInt(kmOptGridPointsBetween);
      const int32_t n = GetNumObsForCohortIndex(pUse, iCohort);
      // The grid length is a 16-bit count; refuse a grid that would
      // not fit instead of letting the count wrap to a wrong size.
      const int64_t iGrid =
          n < 1 ? 0 : (static_cast<int64_t>(g) + 1) * (n - 1) + 1;
      if (g < 0 || n > std::numeric_limits<int16_t>::max() ||
          iGrid > std::numeric_limits<int16_t>::max()) {
        GenerateKmExceptionF(
            "Cannot build a grid of %d points between %d observations.",
            kClassName, g, n);
      }
      const int iG = static_cast<int>(iGrid);

      // Called once per calculator in a run; objects of an earlier call
      // are replaced.
      pX0 = std::make_unique<Matrix>();
      pXWX = std::make_unique<SymmetricMatrix>();
      pWeightMatrix = std::make_unique<Matrix>(n, n);
      *pWeightMatrix = 0.0;
      pGridValues = std::make_unique<ColumnVector>(iG);
      *pGridValues = 0.0;
      pGridAux = std::make_unique<ColumnVector>(iG);
      *pGridAux = 0.0;
    });
  });
}

void kmCalculator::SetNumObservations(int16_t iN) { iNumObs = iN; }

int16_t kmCalculator::GetNumObservations() const { return iNumObs; }

void kmCalculator::SetClusterMatrix(int16_t iN, const Matrix& mGroupData,
                                    const std::vector<KmString>& vRows) {
  WithCallPath("SetClusterMatrix()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::SetClusterMatrix()", [&] {
      pClusterMatrix = std::make_unique<Matrix>(mGroupData);
      vClusterRows = vRows;
      iNumObs = iN;
    });
  });
}

const Matrix* kmCalculator::GetClusterMatrix() const {
  return pClusterMatrix.get();
}

const std::vector<KmString>& kmCalculator::GetClusterRows() const {
  return vClusterRows;
}

void kmCalculator::CreateObservations(int n) {
  WithMatrixErrorsAsKm("kmCalculator::CreateObservations()", [&] {
    pDataX = std::make_unique<Matrix>(n, 2);
    *pDataX = 0.0;
    pDataY = std::make_unique<Matrix>(n, 1);
    *pDataY = 0.0;
    pDataWeightInput = std::make_unique<ColumnVector>(n);
    *pDataWeightInput = 0.0;
    pDataAux = std::make_unique<Matrix>(n, 1);
    *pDataAux = 0.0;
  });
}

void kmCalculator::SetObservation(int r, double x, double y, double w,
                                  double s) {
  (*pDataX)(r, 1) = 1.0;
  (*pDataX)(r, 2) = x;
  (*pDataY)(r, 1) = y;
  (*pDataWeightInput)(r) = w;
  (*pDataAux)(r, 1) = s;
}

void kmCalculator::ReleaseObservations() {
  pDataX.reset();
  pDataY.reset();
  pDataWeightInput.reset();
  pDataAux.reset();
}

// A matrix-library error passes to the caller, whose source it takes.
void kmCalculator::KeepFirstObservations(int n) {
  const Matrix mX = pDataX->Rows(1, n);
  const Matrix mY = pDataY->Rows(1, n);
  const ColumnVector vW = pDataWeightInput->Rows(1, n);
  const Matrix mAux = pDataAux->Rows(1, n);
  *pDataX = mX;
  *pDataY = mY;
  *pDataWeightInput = vW;
  *pDataAux = mAux;
}

const Matrix* kmCalculator::GetDataX() const { return pDataX.get(); }
const Matrix* kmCalculator::GetDataY() const { return pDataY.get(); }
const ColumnVector* kmCalculator::GetDataWeightInput() const {
  return pDataWeightInput.get();
}
const Matrix* kmCalculator::GetDataAux() const { return pDataAux.get(); }

int GetNumObsForCohortIndex(kmSession* pSession, int iIndex) {
  return WithCallPath("GetNumObsForCohortIndex()", nullptr, [&]() -> int {
    if (pSession == nullptr) GenerateKmException(kNoSession, "");
    const int iCohort = kmAnalysisCopies(*pSession).CohortOfCopy(iIndex);
    return pSession->GetNumObservationsThisCohort(iCohort);
  });
}
