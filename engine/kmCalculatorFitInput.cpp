// kmCalculator: LoadObservations, LoadResponses, LoadCandidateGrid,
// SetWeightRoot, SetModelCrossProducts, GetModelCrossProducts,
// SeedGenerator.
//
// The fit input of a caller that fits data of its own: each service copies
// what it is given into the members that the calculator's fitting services
// read, so the caller never names those members.
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
    });
  });
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
