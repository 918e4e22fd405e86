// kmCalculator: LoadObservations, LoadResponses, LoadCandidateGrid,
// SearchInputReady, SetWeightRoot, SetModelCrossProducts,
// GetModelCrossProducts, SeedGenerator.
//
// The fit input of a caller that fits data of its own: each service copies
// what it is given into the members that the calculator's fitting services
// read, so the caller never names those members. A load drops the cross
// products of the search design: those of earlier data can never be
// searched with the new.
#include <newmat.h>

#include <cstdint>
#include <memory>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmMatrixErrors.h"
#include "stats/MersenneTwister.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";

// Replaces *p (created when null) by value.
template <typename T>
void Assign(std::unique_ptr<T>& p, const T& value) {
  if (p == nullptr) {
    p = std::make_unique<T>(value);
  } else {
    *p = value;
  }
}

}  // namespace

void kmCalculator::LoadObservations(const Matrix& mDesign, int16_t iXColumnIn,
                                    const Matrix& mResponses,
                                    const ColumnVector& vWeightInput,
                                    const Matrix& mAux) {
  WithCallPath("LoadObservations()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::LoadObservations()", [&] {
      iNumObs = static_cast<int16_t>(mDesign.Nrows());
      iXColumn = iXColumnIn;
      Assign(pDataX, mDesign);
      Assign(pDataY, mResponses);
      Assign(pDataWeightInput, vWeightInput);
      Assign(pDataAux, mAux);
      pXWX.reset();
    });
  });
}

void kmCalculator::LoadResponses(const Matrix& mResponses) {
  WithCallPath("LoadResponses()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::LoadResponses()",
                         [&] { Assign(pDataY, mResponses); });
  });
}

void kmCalculator::LoadCandidateGrid(const ColumnVector& vValues,
                                     const ColumnVector& vIndices,
                                     const Matrix& mDesign) {
  WithCallPath("LoadCandidateGrid()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::LoadCandidateGrid()", [&] {
      Assign(pGridValues, vValues);
      Assign(pGridAux, vIndices);
      Assign(pX0, mDesign);
      pXWX.reset();
    });
  });
}

bool kmCalculator::SearchInputReady(int iNumGridPoints, int iBaseColumns,
                                    int iNumDataSets) const {
  const int G = iNumGridPoints;
  const int n = iNumObs;
  return G >= 0 && pGridValues != nullptr && pGridValues->Nrows() >= G &&
         pGridAux != nullptr && pGridAux->Nrows() >= G && pX0 != nullptr &&
         pX0->Nrows() == n && pX0->Ncols() >= iBaseColumns + G &&
         pXWX != nullptr && pXWX->Nrows() == pX0->Ncols() &&
         pDataX != nullptr && pDataX->Nrows() == n &&
         pDataX->Ncols() >= iBaseColumns && pDataY != nullptr &&
         pDataY->Ncols() >= iNumDataSets;
}

void kmCalculator::SetWeightRoot(const Matrix& mA) {
  WithCallPath("SetWeightRoot()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::SetWeightRoot()", [&] { mWorkA = mA; });
  });
}

void kmCalculator::SetModelCrossProducts(const Matrix& mXWX) {
  WithCallPath("SetModelCrossProducts()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::SetModelCrossProducts()",
                         [&] { mWork << mXWX; });
  });
}

const NEWMAT::SymmetricMatrix& kmCalculator::GetModelCrossProducts() const {
  return mWork;
}

void kmCalculator::SeedGenerator(uint32_t uSeed) {
  if (pRandom == nullptr) pRandom = std::make_unique<MersenneTwister>();
  pRandom->sgenrand(uSeed);
}
