// Holds kmTable::CalculateAPC_CIs (the confidence intervals of the APC of
// every segment by a method of the model framework, and for the
// empirical-quantile method of every kinkmark) and
// kmTable::SetParametricAPCs (the intervals from the model's own fit).
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/DistributionWrappers.h"
#include "models/KMRegFitRecord.h"
#include "models/KMResamplingInputs.h"
#include "models/ModelNumerics.h"
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

void kmTable::SetParametricAPCs(double dAPCAlpha) {
  WithCallPath("SetParametricAPCs()", "kmTable", [&] {
    WithMatrixErrorsAsKm("kmTable::SetParametricAPCs()", [&] {
      const double dDF = GetUDF();
      const double dT = calc_TQuantile(1.0 - dAPCAlpha / 2.0, dDF);
      const int32_t S = GetNumLineSegments();
      if (covariance_.Nrows() < 2 * S || covariance_.Ncols() < 2 * S) {
        GenerateKmException(
            "The model's covariance matrix does not cover its segments.",
            "kmTable");
      }
      KmVector<kmLineSegment> segments = segments_;
      // A parallel comparison's second-group segments share the slopes.
      KmVector<kmLineSegment> parallel = parallelSegments_;
      for (int32_t j = 0; j < S; ++j) {
        const double b = segments[j].slope.dEstimate;
        const double v = covariance_(2 * j + 2, 2 * j + 2);
        double dLower = 0.0;
        double dUpper = 0.0;
        bool bOk = false;
        if (v > 0.0 && v < 100.0) {
          const double dSlopeSE = std::sqrt(v);
          dLower = PercentChange(b - dT * dSlopeSE);
          dUpper = PercentChange(b + dT * dSlopeSE);
          bOk = true;
        }
        ColumnVector vRange(2);
        vRange(1) = segments[j].range.dStart;
        vRange(2) = segments[j].range.dEnd;
        const ColumnVector vTest = BaseKMRegModel::calc_APC_OneSlope(
            dDF, vRange, dAPCAlpha, b, std::sqrt(std::fabs(v)));
        segments[j].SetAPC(PercentChange(b), dLower, dUpper, bOk, vTest(9),
                           vTest(10));
        if (static_cast<size_t>(j) < parallel.size()) {
          parallel[j].SetAPC(PercentChange(b), dLower, dUpper, bOk, vTest(9),
                             vTest(10));
        }
      }
      segments_ = segments;
      parallelSegments_ = parallel;
    });
  });
}
