// Holds kmTable::CalculateAPC_CIs: the confidence intervals of the APC of
// every segment, and for the empirical-quantile method of every kinkmark.
#include <newmat.h>

#include <cstdint>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/KMResamplingInputs.h"
#include "results/internal/kmTableIntervalInputs.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MTRandomGenerator.h"

using NEWMAT::ColumnVector;
namespace ri = km_results_internal;

void kmTable::CalculateAPC_CIs(double dAAPCAlpha, double /*dPermAlpha*/,
                               double dKinkmarkAlpha, double dAPCAlpha,
                               double /*dJumpCRAlpha*/,
                               const kmSession* pSession, int32_t iCohortNumber,
                               int32_t /*iModelIndex*/, int32_t iCIMethod,
                               OneDimensionArray<KMRegFitRecord>& fitRecords) {
  WithCallPath("CalculateAPC_CIs(int iIndex)", "kmTable", [&] {
    WithMatrixErrorsAsKm("kmCalculator::CalculateAPC_CIs()", [&] {
      const int32_t iMethod = ri::ResolveMethod(iCIMethod, pSession);
      const ri::ModelInputs model = ri::BuildModelInputs(*this);
      const int32_t S = model.k + 1;
      const std::string sMethod = ri::MethodName(iMethod);

      MTRandomGenerator generator = ri::MakeGenerator(pSession);
      SetNumResamples(pSession->GetInt(kmOptNumResamples));
      // The parametric methods never read the resampling inputs; only
      // the resampled ones need the observed fit and its weights.
      KMResamplingInputs inputs;
      if (ri::IsResampledMethod(sMethod)) {
        ri::FillResamplingInputs(inputs, *this, model, pSession, iCohortNumber);
      }

      OneDimensionArray<ColumnVector> kinkmarkRows;
      const OneDimensionArray<ColumnVector> results =
          BaseKMRegModel::calc_APC_CIs(
              kinkmarkRows, model.k, model.segmentSize, model.coefTables,
              model.tau, model.tauInterval, dAPCAlpha, dAAPCAlpha,
              dKinkmarkAlpha, GetUDF(), sMethod, ri::kSwitchNo,
              sModelType_.GetCString(), sModelScale_.GetCString(),
              sFittingMethod_.GetCString(), inputs, fitRecords, generator);

      // Read every result before writing any, so that a short result
      // leaves the segments and kinkmarks as they were.
      // Without residual degrees of freedom no interval is defined: the
      // estimate is kept, the interval and the tests are left missing.
      const bool bDefined = GetUDF() > 0.0;
      const bool bKinkmarks =
          bDefined && iMethod == ri::kMethodEmpCDFQuantile && model.k >= 1;
      KmVector<kmLineSegment> segments = segments_;
      for (int i = 0; i < S; ++i) {
        const ColumnVector& L = results[i];
        // L(8), the framework's significance flag, is not kept: the
        // segment reads significance from its bounds.
        if (bDefined) {
          segments[i].SetAPC(L(5), L(6), L(7), true, L(9), L(10));
        } else {
          segments[i].SetAPC(L(5), 0.0, 0.0, false, kmEstValue::kUnset,
                             kmEstValue::kUnset);
        }
      }
      KmVector<kmEstValue> kinkmarks = kinkmarks_;
      if (bKinkmarks) {
        for (int j = 0; j < model.k; ++j) {
          const ColumnVector& row = kinkmarkRows[j];
          kinkmarks[j].dLower = row(3);
          kinkmarks[j].dUpper = row(4);
          kinkmarks[j].bComputed = true;
        }
      }
      segments_ = segments;
      if (bKinkmarks) kinkmarks_ = kinkmarks;
    });
  });
}
