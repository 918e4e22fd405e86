// Holds kmTable::CalculateAAPC and kmTable::RunAAPCCalc: the average annual
// percent change of a fitted model over a range, with its interval.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/KMResamplingInputs.h"
#include "models/ModelNumerics.h"
#include "results/internal/kmTableIntervalInputs.h"
#include "results/kmTable.h"
#include "session/kmAAPCRanges.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MTRandomGenerator.h"

using NEWMAT::ColumnVector;
namespace ri = km_results_internal;

void kmTable::CalculateAAPC(int32_t iIndex, double dAAPCAlpha,
                            double dKinkmarkAlpha, double dAPCAlpha,
                            double /*dJumpCRAlpha*/, const kmSession* pSession,
                            int32_t iCohortNumber, int32_t /*iModelIndex*/,
                            int32_t iCIMethod,
                            OneDimensionArray<KMRegFitRecord>& fitRecords) {
  WithCallPath("CalculateAAPC(int iIndex)", "kmTable", [&] {
    kmAAPCValue& aapc = GetAAPC(iIndex);
    const int32_t iMethod = ri::ResolveMethod(iCIMethod, pSession);
    aapc.dAlpha = dAAPCAlpha;
    if (!aapc.bRangeSet) {
      GenerateKmException(
          "The AAPC range must be set before an AAPC calculation can be "
          "performed",
          "Error");
    }

    const int32_t S = GetNumLineSegments();
    const double a = aapc.range.dStart;
    const double b = aapc.range.dEnd;
    int32_t s1 = -1;
    int32_t s2 = -1;
    aapc.bInRange = CoveringSegments(a, b, s1, s2);
    if (!aapc.bInRange) return;
    const double w = b - a;

    // The weighted mean of the covered slopes.
    double dSum = 0.0;
    bool bAllComputed = true;
    for (int32_t i = s1; i <= s2; ++i) {
      const kmLineSegment& segment = segments_[i];
      const double dLower = (i == s1) ? a : segment.range.dStart;
      const double dUpper = (i == s2) ? b : segment.range.dEnd;
      dSum += (dUpper - dLower) / w * segment.slope.dEstimate;
      bAllComputed = bAllComputed && segment.slope.bComputed;
    }
    if (!bAllComputed) {
      aapc.SetAAPC(PercentChange(dSum), 0.0, 0.0, false, 0.0, 0.0);
      return;
    }

    // The interval by the method. Codes 0 to 4 name it; any other code
    // keeps the name the record was given.
    if (iMethod >= ri::kMethodUncorrelatedVariance &&
        iMethod <= ri::kMethodEmpCDFZ) {
      sCIMethodName_ = ri::MethodName(iMethod).c_str();
    }
    const std::string sMethod = sCIMethodName_.GetCString();
    const ri::ModelInputs model = ri::BuildModelInputs(*this);
    if (sMethod == ri::MethodName(ri::kMethodFirstLastT)) {
      if (firstLastCovariance_.Nrows() == 0) {
        firstLastCovariance_ = covariance_;
      }
      const int32_t q = 2 * S;
      if (firstLastCovariance_.Nrows() != q ||
          firstLastCovariance_.Ncols() != q) {
        GenerateKmExceptionF(
            "The covariance matrix of the model is %d x %d; the first-last "
            "AAPC of %d segments needs %d x %d.",
            "kmTable", firstLastCovariance_.Nrows(),
            firstLastCovariance_.Ncols(), S, q, q);
      }
    }

    MTRandomGenerator generator = ri::MakeGenerator(pSession);
    SetNumResamples(pSession->GetInt(kmOptNumResamples));
    KMResamplingInputs inputs;
    if (ri::IsResampledMethod(sMethod)) {
      ri::FillResamplingInputs(inputs, *this, model, pSession, iCohortNumber);
    }

    ColumnVector range(2);
    range(1) = a;
    range(2) = b;
    const ColumnVector L = BaseKMRegModel::calc_AAPC_CIs(
        range, model.k, model.coefTables, firstLastCovariance_, model.tau,
        model.span, dAAPCAlpha, dAPCAlpha, dKinkmarkAlpha, GetUDF(), sMethod,
        ri::kSwitchNo, sModelType_.GetCString(), sModelScale_.GetCString(),
        sFittingMethod_.GetCString(), inputs, fitRecords, generator);
    // Without residual degrees of freedom the interval and the tests are
    // not defined; the estimate is kept.
    if (GetUDF() > 0.0) {
      aapc.SetAAPC(L(5), L(6), L(7), true, L(9), L(10));
    } else {
      aapc.SetAAPC(L(5), 0.0, 0.0, false, kmEstValue::kUnset,
                   kmEstValue::kUnset);
    }
  });
}

bool kmTable::CoveringSegments(double a, double b, int32_t& s1,
                               int32_t& s2) const {
  // The range must lie within the fitted span.
  const int32_t S = GetNumLineSegments();
  if (S == 0 || a < segments_[0].range.dStart ||
      b > segments_[S - 1].range.dEnd) {
    return false;
  }
  for (int32_t i = 0; i < S && (s1 < 0 || s2 < 0); ++i) {
    const kmRange& range = segments_[i].range;
    if (s1 < 0 && range.dStart <= a && a <= range.dEnd) s1 = i;
    if (s2 < 0 && range.dStart <= b && b <= range.dEnd) s2 = i;
  }
  // Besides a range of zero width, a reversed range (negative width) or a
  // NaN end has no average to report: its weights would be negative or
  // undefined.
  return s1 >= 0 && s2 >= 0 && b - a > 0.0;
}

bool kmTable::CoversAAPCRange(double dStart, double dEnd) const {
  int32_t s1 = -1;
  int32_t s2 = -1;
  return CoveringSegments(dStart, dEnd, s1, s2);
}

void kmTable::RunAAPCCalc(const kmSession* pSession, int32_t iCIMethod) {
  WithCallPath("RunAAPCCalc()", "kmTable", [&] {
    WithMatrixErrorsAsKm("kmTable::RunAAPCCalc()", [&] {
      const double dAAPCAlpha = pSession->GetDouble(kmOptAAPCAlpha);
      const double dKinkmarkAlpha = pSession->GetDouble(kmOptKinkmarkAlpha);
      const double dAPCAlpha = pSession->GetDouble(kmOptAPCAlpha);
      const double dJumpCRAlpha = pSession->GetDouble(kmOptJumpCRAlpha);
      const kmAAPCRanges ranges = pSession->GetAAPCRanges();
      const int32_t iMethod = iCIMethod < 0 ? -1 : iCIMethod;

      // One array of resampled refits serves every range of the model; it
      // is freed when the calculation ends.
      OneDimensionArray<KMRegFitRecord> fitRecords;
      // Each range is computed as the AAPC just appended, so AAPCs already
      // in the table keep their place and their values.
      auto addAndCompute = [&](double dStart, double dEnd) {
        AddAAPC(dStart, dEnd, 0.0, 0.0, 0.0, 0.0, 0.0);
        CalculateAAPC(GetNumAAPCs() - 1, dAAPCAlpha, dKinkmarkAlpha, dAPCAlpha,
                      dJumpCRAlpha, pSession, 0, 0, iMethod, fitRecords);
      };

      // The data rows also draw each kinkmark and the jump; those rows hold
      // no observed value (-9999.0) and are not observations, so the ranges
      // are taken over the observation rows only, as the engine takes them.
      const std::vector<double> vX = GetObservationValues();
      const int32_t n = static_cast<int32_t>(vX.size());
      if (ranges.GetFullRange()) {
        if (n < 1) {
          GenerateKmException(
              "The model has no data rows to take the full AAPC range from.",
              "kmTable");
        }
        addAndCompute(vX[0], vX[n - 1]);
      }
      for (const int32_t m : ranges.GetLastObsRanges()) {
        if (m >= 1 && m <= n) addAndCompute(vX[n - m], vX[n - 1]);
      }
      // Starts and ends are separate lists; only complete pairs are ranges.
      const std::vector<double> starts = ranges.GetStartRange();
      const std::vector<double> ends = ranges.GetEndRange();
      const size_t nPairs = std::min(starts.size(), ends.size());
      for (size_t i = 0; i < nPairs; ++i) addAndCompute(starts[i], ends[i]);
    });
  });
}
