// kmCalculator: FillPlaceholderRows, AddBadCohort, SelectFinalModelDDS.
//
// A cohort or comparison that cannot be fitted still gets one model table
// so that reports can show its observations; the data-dependent final
// choice picks between the BIC and the BIC3 winner of a fitted cohort.
//
// A placeholder model table carries the observations of a cohort that
// could not be fitted, one row per observation: independent value
// (column 2 of pDataX), observed value, -1e30 for the fitted value, and
// the standard error (pDataAux) -- the layout of a fitted model's rows.
#include <newmat.h>

#include <cstdint>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/OneDimensionArray.h"
#include "models/BestKMRegModel.h"
#include "results/kmCalcData.h"
#include "results/kmTable.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// Fitted value of a placeholder row: there is no fit.
constexpr double kNoFit = -1e30;

void RequireRecord(const kmCalcData* pCalcData) {
  if (pCalcData == nullptr) {
    GenerateKmException("No result record was given.", kClassName);
  }
}

// The candidate handed to the final choice: coefficients (first intercept,
// first slope, slope changes) and the kinkmark locations of model iIndex.
void CandidateVectors(const kmCalcData& calcData, int iIndex,
                      ColumnVector& vBeta, ColumnVector& vTau) {
  const kmTable& model = calcData.GetModel(iIndex);
  const int32_t m = model.GetNumKinkmarks();
  vBeta.ReSize(m + 2);
  vTau.ReSize(m);
  const kmLineSegment& first = model.GetLineSegment(0);
  vBeta(1) = first.intercept.dEstimate;
  vBeta(2) = first.slope.dEstimate;
  for (int32_t i = 0; i < m; ++i) {
    vBeta(i + 3) = model.GetSlopeDiff(i).dEstimate;
    vTau(i + 1) = model.GetKinkmark(i).dEstimate;
  }
}

}  // namespace

void kmCalculator::FillPlaceholderRows(Matrix& mRows, int iFirst, int n,
                                       const Matrix& mX, const Matrix& mY,
                                       const Matrix& mAux) {
  for (int i = 1; i <= n; ++i) {
    const int r = iFirst + i - 1;
    mRows(r, 1) = mX(i, 2);
    mRows(r, 2) = mY(i, 1);
    mRows(r, 3) = kNoFit;
    mRows(r, 4) = mAux(i, 1);
  }
}

void kmCalculator::AddBadCohort(kmCalcData* pCalcData) {
  WithCallPath("AddBadCohort()", kClassName, [&] {
    RequireRecord(pCalcData);
    const int n = iNumObs;
    // A clustered cohort holds its group shares, not one series: its
    // placeholder carries the count alone.
    if (pDataX == nullptr && pClusterMatrix != nullptr) {
      kmTable table;
      table.SetNObs(static_cast<int16_t>(n));
      pCalcData->vModels.push_back(table);
      return;
    }
    if (pDataX == nullptr || pDataY == nullptr || pDataAux == nullptr) {
      GenerateKmException(
          "The observations must be loaded before a placeholder record is "
          "built.",
          kClassName);
    }
    WithMatrixErrorsAsKm("kmCalculator::AddBadCohort()", [&] {
      Matrix mRows(n, 4);
      FillPlaceholderRows(mRows, 1, n, *pDataX, *pDataY, *pDataAux);
      kmTable table;
      table.SetNObs(static_cast<int16_t>(n));
      table.SetData(mRows);
      pCalcData->vModels.push_back(table);
    });
  });
}

void kmCalculator::SelectFinalModelDDS(kmCalcData* pCalcData, int16_t kBIC,
                                       int16_t kBIC3, int16_t kmin,
                                       int16_t kmax,
                                       OneDimensionArray<ColumnVector>* pX,
                                       Matrix* pA) {
  WithCallPath("SelectFinalModelDDS()", kClassName, [&] {
    RequireRecord(pCalcData);
    if (pX == nullptr || pA == nullptr) {
      GenerateKmException(
          "The independent values and the weighting matrix must be given "
          "for the data-dependent selection.",
          kClassName);
    }
    WithMatrixErrorsAsKm("kmCalculator::SelectFinalModelDDS()", [&] {
      const double dCMSE = pCalcData->GetModel(kmax - kmin).GetCMSE();
      ColumnVector vBetaBIC, vTauBIC, vBetaBIC3, vTauBIC3;
      CandidateVectors(*pCalcData, kBIC - kmin, vBetaBIC, vTauBIC);
      CandidateVectors(*pCalcData, kBIC3 - kmin, vBetaBIC3, vTauBIC3);

      int32_t iSelected = 0;
      bool bFirstKept = false;
      double s1 = 0.0, s2 = 0.0, dLower = 0.0, dDifference = 0.0;
      BestKMRegModel::select_FinalModel(
          iSelected, *pX, *pA, vBetaBIC, vBetaBIC3, vTauBIC, vTauBIC3, kBIC,
          kBIC3, dCMSE, bFirstKept, s1, s2, dLower, dDifference);

      pCalcData->uFinalSelectedModel = static_cast<uint16_t>(iSelected);
      pCalcData->lSelectionCriterion = bFirstKept ? 1 : 3;
      pCalcData->uBICSelectedModel = static_cast<uint16_t>(kBIC);
      pCalcData->uBIC3SelectedModel = static_cast<uint16_t>(kBIC3);
      pCalcData->dSelectionValues[0] = s1;
      pCalcData->dSelectionValues[1] = s2;
      pCalcData->dSelectionValues[2] = dLower;
      pCalcData->dSelectionValues[3] = dDifference;
    });
  });
}
