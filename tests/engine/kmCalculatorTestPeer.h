// The calculator's members, for the tests and the benchmarks that load
// inputs into them or read what a fitting service left there.
//
// kmCalculatorTestPeer is the friend the calculator declares: it binds a
// reference to each member under the member's own name, so that
// CalcMembers(calc).pDataX reads as calc.pDataX once did. Library code
// reaches the calculator through its services instead.
#ifndef KM_TESTS_ENGINE_KMCALCULATORTESTPEER_H
#define KM_TESTS_ENGINE_KMCALCULATORTESTPEER_H

#include <newmat.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmString.h"
#include "stats/MersenneTwister.h"

class kmCalculatorTestPeer {
 public:
  explicit kmCalculatorTestPeer(kmCalculator& calc)
      : pRandom(calc.pRandom),
        pX0(calc.pX0),
        pWeightMatrix(calc.pWeightMatrix),
        pVarCovMatrix(calc.pVarCovMatrix),
        pGridValues(calc.pGridValues),
        pGridAux(calc.pGridAux),
        pXWX(calc.pXWX),
        vClusterRows(calc.vClusterRows),
        pClusterMatrix(calc.pClusterMatrix),
        iNumObs(calc.iNumObs),
        mWork(calc.mWork),
        iXColumn(calc.iXColumn),
        mWorkA(calc.mWorkA),
        dJumpLocation(calc.dJumpLocation),
        mWorkB(calc.mWorkB),
        vJumpResults(calc.vJumpResults),
        vCRResults(calc.vCRResults),
        pDataX(calc.pDataX),
        pDataY(calc.pDataY),
        pDataWeightInput(calc.pDataWeightInput),
        pDataAux(calc.pDataAux) {}

  std::unique_ptr<MersenneTwister>& pRandom;
  std::unique_ptr<NEWMAT::Matrix>& pX0;
  std::unique_ptr<NEWMAT::Matrix>& pWeightMatrix;
  NEWMAT::Matrix*& pVarCovMatrix;
  std::unique_ptr<NEWMAT::ColumnVector>& pGridValues;
  std::unique_ptr<NEWMAT::ColumnVector>& pGridAux;
  std::unique_ptr<NEWMAT::SymmetricMatrix>& pXWX;
  std::vector<KmString>& vClusterRows;
  std::unique_ptr<NEWMAT::Matrix>& pClusterMatrix;
  int16_t& iNumObs;
  NEWMAT::SymmetricMatrix& mWork;
  int16_t& iXColumn;
  NEWMAT::Matrix& mWorkA;
  double& dJumpLocation;
  NEWMAT::Matrix& mWorkB;
  NEWMAT::ColumnVector& vJumpResults;
  NEWMAT::ColumnVector& vCRResults;
  std::unique_ptr<NEWMAT::Matrix>& pDataX;
  std::unique_ptr<NEWMAT::Matrix>& pDataY;
  std::unique_ptr<NEWMAT::ColumnVector>& pDataWeightInput;
  std::unique_ptr<NEWMAT::Matrix>& pDataAux;
};

// The members of calc, as the peer binds them.
inline kmCalculatorTestPeer CalcMembers(kmCalculator& calc) {
  return kmCalculatorTestPeer(calc);
}

#endif  // KM_TESTS_ENGINE_KMCALCULATORTESTPEER_H
