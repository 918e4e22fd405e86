// kmCalculator: calculateAutoParamPhi.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/kmCalculator.h"
#include "engine/kmPieceWalk.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/KmProgressInterface.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kQualifiedName = "kmCalculator::CaculateAutoParamPhi()";
// The largest size of an estimated AR(1) parameter.
constexpr double kMaxEstimatedPhi = 0.99;

// Puts the weight vector and the data matrix back as they were when the
// estimate started, however it ends: the caller goes on fitting the cohort
// with them.
class RestoreOnExit {
 public:
  RestoreOnExit(ColumnVector* pWeights, Matrix* pData)
      : pWeights_(pWeights),
        pData_(pData),
        vWeights_(*pWeights),
        mData_(*pData) {}
  RestoreOnExit(const RestoreOnExit&) = delete;
  RestoreOnExit& operator=(const RestoreOnExit&) = delete;
  ~RestoreOnExit() {
    try {
      *pWeights_ = vWeights_;
      *pData_ = mData_;
    } catch (...) {
      // Assigning same-shaped newmat objects does not fail in practice;
      // a destructor must not throw in any case.
    }
  }

 private:
  ColumnVector* pWeights_;
  Matrix* pData_;
  ColumnVector vWeights_;
  Matrix mData_;
};

}  // namespace

double kmCalculator::calculateAutoParamPhi(uint16_t iNumKinkmarks) {
  return WithCallPath("calculateAutoParamPhi", "kmCalculator", [&]() -> double {
    return WithMatrixErrorsAsKm(kQualifiedName, [&]() -> double {
      const kmSession* pSession = GetCalcSession();
      const kmAutocorrErrors mode = kmWeightingMode(*pSession);
      if (mode == kmAutocorrErrors::kSpecified)
        return pSession->GetDouble(kmOptAutocorrParameter);
      if (mode != kmAutocorrErrors::kEstimated) return 0.0;

      const int n = iNumObs;
      if (pDataWeightInput == nullptr || pDataX == nullptr ||
          pDataY == nullptr || n < 1 || pDataWeightInput->Nrows() < n ||
          pDataX->Nrows() < n || pDataX->Ncols() < 2 || pDataY->Nrows() < n) {
        GenerateKmException(
            "The cohort's weights and data must be loaded before the "
            "autocorrelation parameter is estimated.",
            kQualifiedName);
      }
      const int16_t iMinObsEnd =
          static_cast<int16_t>(pSession->GetInt(kmOptMinObsEnd));
      const int16_t iMinObsBetween =
          static_cast<int16_t>(pSession->GetInt(kmOptMinObsBetween));
      const int16_t iGridPoints =
          static_cast<int16_t>(pSession->GetInt(kmOptGridPointsBetween));
      const uint16_t q = iNumKinkmarks;

      RestoreOnExit restore(pDataWeightInput.get(), pDataX.get());
      // The preliminary fit is unweighted.
      *pDataWeightInput = 1.0;
      Matrix mA;
      Matrix mB;
      WLSWgt(0.0, mA, mB);

      Matrix& mD = *pDataX;
      double dMin = mD(1, 2);
      for (int i = 2; i <= n; ++i) dMin = std::min(dMin, mD(i, 2));
      const double dShift = std::trunc(dMin);
      for (int i = 1; i <= mD.Nrows(); ++i) mD(i, 2) -= dShift;

      const int16_t K = FindGridPoints(iMinObsEnd, iMinObsBetween, iGridPoints);
      PreCalcXWX();
      ColumnVector vTau;
      ColumnVector vBeta;
      ColumnVector vSse(1);
      Matrix mProfile;
      KmNullProgress progress;
      GridSearch(1, q, vTau, vBeta, vSse, K, mProfile, &progress);

      // Residuals of the continuous fit. The kinkmarks are compared at
      // their own values, not truncated, so that an observation just before
      // a kinkmark between two whole numbers stays on its segment.
      ColumnVector vR(n);
      kmPieceWalk walk(static_cast<int16_t>(q), vBeta, vTau, mD(1, 2));
      for (int i = 1; i <= n; ++i) {
        const double x = mD(i, 2);
        vR(i) = (*pDataY)(i, 1) - walk.ValueAfterBreaks(x);
      }
      double dNum = 0.0;
      double dDen = 0.0;
      for (int i = 1; i <= n - 1; ++i) {
        dNum += vR(i) * vR(i + 1);
        dDen += vR(i) * vR(i);
      }
      if (!(dDen > 0.0)) return 0.0;
      // The ratio is not bounded by 1 on short or trending series, and AR(1)
      // weights need |phi| < 1: the estimate is kept within the bound.
      return std::clamp(dNum / dDen, -kMaxEstimatedPhi, kMaxEstimatedPhi);
    });
  });
}
