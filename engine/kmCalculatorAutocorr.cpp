// kmCalculator: calculateAutoParamPhi.
#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "models/internal/MatrixErrors.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

double kmCalculator::calculateAutoParamPhi(uint16_t /*iNumKinkmarks*/) {
  try {
    return km_models_internal::WithMatrixErrorsAsKm(
        "kmCalculator::CaculateAutoParamPhi()", [&]() -> double {
          const kmSession* pSession = GetCalcSession();
          const int iMode = pSession->GetInt(kmOptAutocorrErrors);
          if (iMode == 2) return pSession->GetDouble(kmOptAutocorrParameter);
          if (iMode != 1) return 0.0;
          // The estimate needs a preliminary unweighted fit of the cohort
          // with the requested number of kinkmarks, which comes from the
          // grid search; without it the estimate is refused rather than
          // guessed.
          GenerateKmException(
              "Estimating the autocorrelation parameter requires the grid "
              "search, which is not available.",
              "kmCalculator::CaculateAutoParamPhi()");
        });
  } catch (KmException& e) {
    e.AddCallPath("calculateAutoParamPhi", "kmCalculator");
    throw;
  }
}
