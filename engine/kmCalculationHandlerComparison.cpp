// kmCalculationHandler: RunComparisonPass, the pairwise comparison pass that
// follows the cohort pool.
#include <newmat.h>

#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmProgressInterface.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"

void kmCalculationHandler::RunComparisonPass(
    const KmString& sOutputFile, KmProgressInterface* pTracker,
    const NEWMAT::ColumnVector& vFinalModelSizes) {
  WithCallPath("RunComparisonPass()", "kmCalculationHandler", [&] {
    if (pTracker == nullptr) {
      GenerateKmException("The comparison pass needs a progress tracker.",
                          "kmCalculationHandler");
    }
    // Without a fitted cohort there is no calculator, and nothing to
    // compare.
    if (pCompCalculator_ == nullptr) return;
    int G1 = pCalcHandler_->GetCombos()->GetNumCombinations();
    if (G1 < 1) G1 = 1;
    pReadData_->ResetDataFile();
    pTracker->SetProcessText("Reading By-group Data For Comparison Analysis");
    pTracker->SetPosition(G1 * 1000);
    ReadDataForAllByGroup(pTracker);
    pCompCalculator_->SetTwoGroupMatrices(iCompGroupCount_, uiCompNumObs_,
                                          ppCompX_, ppCompY_, ppCompWeights_,
                                          ppCompAux_);
    pTracker->SetPosition(G1 * 1000);
    pCompCalculator_->TwoGroupComp(sOutputFile, pTracker, vFinalModelSizes,
                                   pReadData_->GetCohortGoodFlags());
    pReadData_->CloseInputFile();
  });
}
