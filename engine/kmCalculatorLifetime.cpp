// kmCalculator: constructors, destructor, Init, Setup, GetCalcSession,
// LoadCalcMembers, SetNumObservations, SetClusterMatrix, SetTwoGroupMatrices,
// the release step; and GetNumObsForCohortIndex.
#include <newmat.h>

#include <cstdint>
#include <limits>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "results/kmCalcHandler.h"
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

// Deletes each owned object in turn and nulls its pointer.
template <typename... T>
void DeleteAndNull(T*&... p) {
  ((delete p, p = nullptr), ...);
}

// Deletes iCount elements of an owned array of owned objects, then the array.
template <typename T>
void DeleteArray(T**& pp, int32_t iCount) {
  if (pp == nullptr) return;
  for (int32_t i = 0; i < iCount; ++i) delete pp[i];
  delete[] pp;
  pp = nullptr;
}

// A new array of iCount copies of the objects of ppSource (null stays null).
template <typename T>
T** CopyArray(T** ppSource, int32_t iCount) {
  T** ppCopy = new T*[iCount];
  for (int32_t i = 0; i < iCount; ++i) ppCopy[i] = nullptr;
  try {
    for (int32_t i = 0; i < iCount; ++i) {
      if (ppSource != nullptr && ppSource[i] != nullptr) {
        ppCopy[i] = new T(*ppSource[i]);
      }
    }
  } catch (...) {
    DeleteArray(ppCopy, iCount);
    throw;
  }
  return ppCopy;
}

}  // namespace

// A constructor that fails releases what it made: no destructor runs for an
// object whose construction did not finish.
kmCalculator::kmCalculator(kmSession* pSession) {
  try {
    WithCallPath("kmCalculator(kmSession*)", kClassName, [&] {
      Init();
      Setup(pSession);
    });
  } catch (...) {
    Release();
    throw;
  }
}

kmCalculator::kmCalculator(kmCalculationHandler* /*pCalculationHandler*/,
                           kmCalcHandler* pCalcHandlerIn) {
  try {
    WithCallPath("kmCalculator(kmCalculationHandler*, kmCalcHandler*)",
                 kClassName, [&] {
                   Init();
                   pCalcHandler = pCalcHandlerIn;
                 });
  } catch (...) {
    Release();
    throw;
  }
}

kmCalculator::~kmCalculator() { Release(); }

void kmCalculator::Init() {
  // Pointers first, so that a failed allocation below leaves a calculator
  // whose release step is safe.
  pStatClass = nullptr;
  pCalcHandler = nullptr;
  pRandom = nullptr;
  pX0 = nullptr;
  pWeightMatrix = nullptr;
  pVarCovMatrix = nullptr;
  pGridValues = nullptr;
  pGridAux = nullptr;
  pXWX = nullptr;
  pClusterMatrix = nullptr;
  iNumObs = 0;
  ppGroupX = nullptr;
  ppGroupY = nullptr;
  ppGroupWeights = nullptr;
  ppGroupAux = nullptr;
  iNumGroups = 0;
  iOne = 1;
  iGroupValue = 0;
  iXColumn = 2;
  pWork1 = nullptr;
  pWork2 = nullptr;
  pWork3 = nullptr;
  pWork4 = nullptr;
  pWork5 = nullptr;
  pWork6 = nullptr;
  dJumpLocation = 0.0;
  pDataX = nullptr;
  pDataY = nullptr;
  pDataWeightInput = nullptr;
  pDataAux = nullptr;
  WithCallPath("Init()", kClassName, [&] {
    pStatClass = new StatClass();
    pRandom = new MersenneTwister();
  });
}

void kmCalculator::Setup(kmSession* pSession) {
  WithCallPath("Setup()", kClassName, [&] {
    if (pSession == nullptr) GenerateKmException(kNoSession, kClassName);
    std::unique_ptr<kmCalcHandler> pHandler;
    WithMatrixErrorsAsKm("kmCalculator::Setup()",
                         [&] { pHandler.reset(new kmCalcHandler(pSession)); });
    pOwnedCalcHandler = std::move(pHandler);
    pCalcHandler = pOwnedCalcHandler.get();
  });
}

kmSession* kmCalculator::GetCalcSession() const {
  kmSession* pSession =
      pCalcHandler == nullptr ? nullptr : pCalcHandler->GetSession();
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
      // are released rather than leaked.
      DeleteAndNull(pX0, pXWX, pWeightMatrix, pGridValues, pGridAux);
      DeleteAndNull(pWork1, pWork2, pWork3, pWork4, pWork5, pWork6);

      pX0 = new Matrix();
      pXWX = new SymmetricMatrix();
      pWeightMatrix = new Matrix(n, n);
      *pWeightMatrix = 0.0;
      pGridValues = new ColumnVector(iG);
      *pGridValues = 0.0;
      pGridAux = new ColumnVector(iG);
      *pGridAux = 0.0;
      pWork1 = new ColumnVector();
      pWork2 = new Matrix();
      pWork3 = new ColumnVector();
      pWork4 = new Matrix();
      pWork5 = new Matrix();
      pWork6 = new Matrix();
    });
  });
}

void kmCalculator::SetNumObservations(int16_t iN) { iNumObs = iN; }

void kmCalculator::SetClusterMatrix(int16_t iN, const Matrix& mGroupData,
                                    const std::vector<KmString>& vRows) {
  WithCallPath("SetClusterMatrix()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::SetClusterMatrix()", [&] {
      Matrix* pCopy = new Matrix(mGroupData);
      delete pClusterMatrix;
      pClusterMatrix = pCopy;
      vClusterRows = vRows;
      iNumObs = iN;
    });
  });
}

void kmCalculator::SetTwoGroupMatrices(int iNumGroupsIn, int iGroupValueIn,
                                       Matrix** ppX, Matrix** ppY,
                                       ColumnVector** ppWeights,
                                       Matrix** ppAux) {
  WithCallPath("SetTwoGroupMatrices()", kClassName, [&] {
    if (iNumGroupsIn < 0) {
      GenerateKmExceptionF("Invalid number of groups: %d.", kClassName,
                           iNumGroupsIn);
    }
    WithMatrixErrorsAsKm("kmCalculator::SetTwoGroupMatrices()", [&] {
      ReleaseGroupArrays();
      iNumGroups = iNumGroupsIn;
      iGroupValue = iGroupValueIn;
      ppGroupX = CopyArray(ppX, iNumGroups);
      ppGroupY = CopyArray(ppY, iNumGroups);
      ppGroupWeights = CopyArray(ppWeights, iNumGroups);
      ppGroupAux = CopyArray(ppAux, iNumGroups);
    });
  });
}

void kmCalculator::ReleaseGroupArrays() {
  DeleteArray(ppGroupX, iNumGroups);
  DeleteArray(ppGroupY, iNumGroups);
  DeleteArray(ppGroupAux, iNumGroups);
  DeleteArray(ppGroupWeights, iNumGroups);
}

void kmCalculator::Release() {
  DeleteAndNull(pStatClass);
  DeleteAndNull(pDataX);
  DeleteAndNull(pX0);
  DeleteAndNull(pXWX);
  DeleteAndNull(pDataY);
  DeleteAndNull(pWeightMatrix);
  DeleteAndNull(pDataWeightInput);
  DeleteAndNull(pGridAux);
  DeleteAndNull(pGridValues);
  DeleteAndNull(pClusterMatrix);
  DeleteAndNull(pDataAux);
  ReleaseGroupArrays();
  DeleteAndNull(pWork1, pWork2, pWork3, pWork4, pWork5, pWork6);
  DeleteAndNull(pRandom);
  pCalcHandler = nullptr;
  pOwnedCalcHandler.reset();
}

int GetNumObsForCohortIndex(kmSession* pSession, int iIndex) {
  return WithCallPath("GetNumObsForCohortIndex()", nullptr, [&]() -> int {
    if (pSession == nullptr) GenerateKmException(kNoSession, "");
    int iCohort = iIndex;
    const int iMode = pSession->GetInt(kmOptJumpCRMode);
    if (iMode == 6) {
      iCohort /= 3;
    } else if (iMode >= 3 && iMode <= 5) {
      iCohort /= 2;
    }
    if (pSession->GetInt(kmOptDelayType) == 2) iCohort /= 2;
    return pSession->GetNumObservationsThisCohort(iCohort);
  });
}
