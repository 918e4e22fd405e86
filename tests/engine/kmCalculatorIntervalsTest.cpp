// The AAPC ranges and interval pass over a cohort's models
// (kmCalculator::Compute_APC_AAPC_CIs).
//
// The parametric cases use the models of kmCalculatorTableTest.cpp (x =
// 2001..2010). An AAPC is 100 (e^E - 1) of the slopes' mean E weighted by
// their shares of the range, from R with beta as there:
//   E <- (beta[3]*(5.5-1) + beta[4]*(10-5.5))/9       full range
//   E <- (beta[3]*3.5 + beta[4]*1.5)/5                2002..2007
//   E <- beta[4]                                      last 3 observations
// and for the model without kinkmark the slope 1.0015846912841979 of
//   lm(y ~ cbind(1, x) - 1, weights = v).
#include <gtest/gtest.h>
#include <newmat.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "foundation/kmBackgroundProgressTrackerWithBar.h"
#include "results/kmCalcData.h"
#include "results/kmTable.h"
#include "session/kmAAPCRanges.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/TableTestFixture.h"
#include "tests/results/IntervalTestTables.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr double kTight = 1e-10;

// Full range, last-N lengths 3, 0, -2 and 11 (only 3 fits ten
// observations), one custom range 2002..2007.
kmAAPCRanges SessionRanges() {
  kmAAPCRanges ranges;
  ranges.SetFullRange(true);
  ranges.SetLastObsRanges({3, 0, -2, 11});
  ranges.SetStartRange({2002.0});
  ranges.SetEndRange({2007.0});
  return ranges;
}

// The parametric pass: models with 0 and 1 kinkmark, interval method 0.
class IntervalPassTest : public km_table_test::TableTest {
 protected:
  void ConfigureSession(kmSession& session) override {
    session.SetInt(kmOptAAPCCIMethod, iMethod_);
    session.SetDouble(kmOptAAPCAlpha, 0.05);
    session.SetDouble(kmOptPermSignificance, 0.05);
    session.SetDouble(kmOptJumpCRAlpha, 0.05);
    session.SetAAPCRanges(ranges_);
  }

  // A cohort record with the models of 0 and 1 kinkmarks; model 0 carries
  // the data rows (x = 2001..2010).
  kmCalcData MakeCohort() {
    MakeCalculator(true);
    kmCalcData data;
    kmTable model0;
    ColumnVector vBeta(2);
    vBeta << 2.6777395724323512 << 1.0015846912841979;
    ColumnVector vQ(1);
    vQ(1) = 12.227053371206452;
    calc_->Table(false, 0, ColumnVector(0), vQ, vBeta, 0, Matrix(), &model0,
                 kmModelSelection::kBIC, km_table_test::kOrigin);
    Matrix mRows(km_table_test::kN, 4);
    mRows = 0.0;
    for (int i = 1; i <= km_table_test::kN; ++i) mRows(i, 1) = 2000 + i;
    model0.SetData(mRows);
    data.vModels.push_back(model0);
    kmTable model1;
    FillOneKinkmark(model1, kmModelSelection::kBIC);
    data.vModels.push_back(model1);
    return data;
  }

  kmAAPCRanges ranges_ = SessionRanges();
  int iMethod_ = 0;
  std::atomic<bool> cancel_{false};
  kmBackgroundProgressTrackerWithBar progress_{nullptr, 0, 100, 0, &cancel_};
};

TEST_F(IntervalPassTest, RangesInSessionOrderOnEveryModel) {
  kmCalcData data = MakeCohort();
  calc_->Compute_APC_AAPC_CIs(&data, &progress_, 0, false, 1.0);

  struct Expected {
    double dStart, dEnd, dAAPC[2];  // AAPC of the models with 0 and 1
  };
  const Expected kAAPCs[] = {
      {2001.0, 2010.0, {172.25928809220537, 166.51472302693028}},
      {2008.0, 2010.0, {172.25928809220537, 45.245764671052235}},
      {2002.0, 2007.0, {172.25928809220537, 239.7569090719569}}};
  for (int m = 0; m < 2; ++m) {
    SCOPED_TRACE("model " + std::to_string(m));
    const kmTable& table = data.GetModel(m);
    ASSERT_EQ(table.GetNumAAPCs(), 3);
    for (int a = 0; a < 3; ++a) {
      SCOPED_TRACE("AAPC " + std::to_string(a));
      const kmAAPCValue& v = table.GetAAPC(a);
      EXPECT_DOUBLE_EQ(v.range.dStart, kAAPCs[a].dStart);
      EXPECT_DOUBLE_EQ(v.range.dEnd, kAAPCs[a].dEnd);
      EXPECT_TRUE(
          km_test::RelNear(v.aapc.dEstimate, kAAPCs[a].dAAPC[m], kTight));
      EXPECT_TRUE(v.aapc.bComputed);
      EXPECT_LT(v.aapc.dLower, v.aapc.dEstimate);
      EXPECT_GT(v.aapc.dUpper, v.aapc.dEstimate);
    }
    // The APC intervals were computed too.
    for (int s = 0; s < table.GetNumLineSegments(); ++s) {
      EXPECT_TRUE(table.GetLineSegment(s).apc.bComputed);
    }
  }
  // Method 0 leaves the progress bar alone.
  EXPECT_EQ(progress_.GetBarPosition(), 0);
}

// Models no resampling pass covers (another method, or a fit without that
// pass such as a comparison) get the APCs of their own fit, written once,
// and no AAPC ranges.
TEST_F(IntervalPassTest, ModelsOutsideTheResamplingGetTheirOwnFitsAPCs) {
  for (bool bResample : {true, false}) {
    SCOPED_TRACE(bResample ? "method 0" : "method 3, no resampling pass");
    iMethod_ = bResample ? 0 : 3;
    kmCalcData data = MakeCohort();
    calc_->SetAPCIntervals(&data, bResample, &progress_, 0, 1.0);
    for (int m = 0; m < 2; ++m) {
      EXPECT_EQ(data.GetModel(m).GetNumAAPCs(), 0);
      EXPECT_TRUE(data.GetModel(m).GetLineSegment(0).apc.bComputed);
    }
    EXPECT_TRUE(
        km_test::RelNear(data.GetModel(0).GetLineSegment(0).apc.dEstimate,
                         172.25928809220537, kTight));
  }
}

TEST_F(IntervalPassTest, NoRangeRequestedGivesOnlyAPCIntervals) {
  ranges_ = kmAAPCRanges();
  kmCalcData data = MakeCohort();
  calc_->Compute_APC_AAPC_CIs(&data, &progress_, 0, false, 1.0);
  for (int m = 0; m < 2; ++m) {
    SCOPED_TRACE("model " + std::to_string(m));
    EXPECT_EQ(data.GetModel(m).GetNumAAPCs(), 0);
    EXPECT_TRUE(data.GetModel(m).GetLineSegment(0).apc.bComputed);
  }
}

TEST_F(IntervalPassTest, LastObservationsCountOnlyObservationRows) {
  // Fault: the observed x were read from every result row of the first
  // model, so its kinkmark row (observed value -9999.0) counted as an
  // observation: "last 4 observations" started at the kinkmark 2007.5
  // instead of 2007, and a length of 11 passed for ten observations.
  ranges_ = kmAAPCRanges();
  ranges_.SetLastObsRanges({4, 11});
  kmCalcData data = MakeCohort();
  Matrix mRows(km_table_test::kN + 1, 4);
  mRows = 0.0;
  int r = 1;
  for (int i = 1; i <= km_table_test::kN; ++i, ++r) {
    if (i == 8) {
      mRows(r, 1) = 2007.5;
      mRows(r, 2) = -9999.0;
      ++r;
    }
    mRows(r, 1) = 2000 + i;
  }
  data.vModels[0].SetData(mRows);
  calc_->Compute_APC_AAPC_CIs(&data, &progress_, 0, false, 1.0);
  for (int m = 0; m < 2; ++m) {
    SCOPED_TRACE("model " + std::to_string(m));
    const kmTable& table = data.GetModel(m);
    ASSERT_EQ(table.GetNumAAPCs(), 1);
    EXPECT_DOUBLE_EQ(table.GetAAPC(0).range.dStart, 2007.0);
    EXPECT_DOUBLE_EQ(table.GetAAPC(0).range.dEnd, 2010.0);
  }
}

TEST_F(IntervalPassTest, CancelledRunLeavesTheModelsUntouched) {
  kmCalcData data = MakeCohort();
  const double dLower = data.GetModel(1).GetLineSegment(0).apc.dLower;
  cancel_ = true;
  calc_->Compute_APC_AAPC_CIs(&data, &progress_, 0, false, 1.0);
  for (int m = 0; m < 2; ++m) EXPECT_EQ(data.GetModel(m).GetNumAAPCs(), 0);
  EXPECT_DOUBLE_EQ(data.GetModel(1).GetLineSegment(0).apc.dLower, dLower);
}

TEST_F(IntervalPassTest, RefusedInputsCarryTheCallPath) {
  MakeCalculator(true);
  kmCalcData empty;
  struct Case {
    const char* sName;
    kmCalcData* pData;
    kmBackgroundProgressTrackerWithBar* pProgress;
  };
  const Case kCases[] = {{"no record", nullptr, &progress_},
                         {"no tracker", &empty, nullptr},
                         {"no models", &empty, &progress_}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const KmException e = km_test::CatchKmException([&] {
      calc_->Compute_APC_AAPC_CIs(c.pData, c.pProgress, 0, false, 1.0);
    });
    EXPECT_NE(std::string(e.GetCallPath()).find("Compute_APC_AAPC_CIs()"),
              std::string::npos);
  }
}

// The resampled pass (empirical quantiles) on the models of the results
// tests, which carry their observed fit.
class ResampledPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = km_interval_test::MakeSession(3);
    kmAAPCRanges ranges;
    ranges.SetFullRange(true);
    session_->SetAAPCRanges(ranges);
    session_->ClearObservationCounts();
    session_->AddObservationCount(20);
    calc_ = std::make_unique<kmCalculator>(session_.get());
  }

  // The resampling model with a steeper curve (0.01 more per year) and
  // three times the noise: another fit over the same x, so its refits
  // differ from the plain model's.
  static kmTable OtherModel() {
    kmTable table = km_interval_test::ResamplingTable();
    KMSeriesSet series = table.GetSeriesSet();
    const ColumnVector& x = series.xValues[0];
    ColumnVector f = table.GetFittedValues()[0];
    ColumnVector e = table.GetResiduals()[0];
    for (int i = 1; i <= e.Nrows(); ++i) {
      f(i) += 0.01 * (x(i) - 1990.0);
      e(i) *= 3.0;
    }
    series.yValues[0] = f + e;
    table.SetSeriesSet(series);
    OneDimensionArray<ColumnVector> fitted, resids;
    fitted.Resize(1);
    resids.Resize(1);
    fitted[0] = f;
    resids[0] = e;
    table.SetSampleArrays(fitted, resids);
    return table;
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
  std::atomic<bool> cancel_{false};
  kmBackgroundProgressTrackerWithBar progress_{nullptr, 0, 100, 0, &cancel_};
};

TEST_F(ResampledPassTest, EachModelResamplesItsOwnFit) {
  // Fault guarded: one resampling cache shared by all models of a cohort
  // let every later model reuse the first model's refits, so its intervals
  // described another model. The second model must get the same intervals
  // whether it comes first or second in its cohort.
  kmCalcData ab;
  ab.vModels.push_back(km_interval_test::ResamplingTable());
  ab.vModels.push_back(OtherModel());
  kmCalcData ba;
  ba.vModels.push_back(OtherModel());
  ba.vModels.push_back(km_interval_test::ResamplingTable());
  calc_->Compute_APC_AAPC_CIs(&ab, &progress_, 7, false, 2.0);
  calc_->Compute_APC_AAPC_CIs(&ba, &progress_, 7, false, 2.0);

  const kmTable& second = ab.GetModel(1);
  const kmTable& first = ba.GetModel(0);
  ASSERT_EQ(second.GetNumAAPCs(), 1);
  ASSERT_EQ(first.GetNumAAPCs(), 1);
  EXPECT_DOUBLE_EQ(second.GetAAPC(0).aapc.dLower, first.GetAAPC(0).aapc.dLower);
  EXPECT_DOUBLE_EQ(second.GetAAPC(0).aapc.dUpper, first.GetAAPC(0).aapc.dUpper);
  for (int s = 0; s < 2; ++s) {
    SCOPED_TRACE("segment " + std::to_string(s));
    EXPECT_DOUBLE_EQ(second.GetLineSegment(s).apc.dLower,
                     first.GetLineSegment(s).apc.dLower);
    EXPECT_DOUBLE_EQ(second.GetLineSegment(s).apc.dUpper,
                     first.GetLineSegment(s).apc.dUpper);
  }
  // The two models' intervals differ, so a shared cache would show.
  EXPECT_NE(ab.GetModel(0).GetAAPC(0).aapc.dLower,
            second.GetAAPC(0).aapc.dLower);
}

TEST_F(ResampledPassTest, FinalOnlyTouchesTheFinalModelAndMovesTheBar) {
  // Method 0 in the session is overridden: the final-only pass resamples.
  session_->SetInt(kmOptAAPCCIMethod, 0);
  calc_ = std::make_unique<kmCalculator>(session_.get());
  // Models with 0 and 1 kinkmark; the first only carries the data rows.
  kmCalcData data;
  kmTable none;
  none.SetData(km_interval_test::ResamplingTable().GetData());
  data.vModels.push_back(none);
  data.vModels.push_back(km_interval_test::ResamplingTable());
  data.uFinalSelectedModel = 1;
  progress_.SetPosition(1);

  calc_->Compute_APC_AAPC_CIs(&data, &progress_, 0, true, 4.0);

  EXPECT_EQ(data.GetModel(0).GetNumAAPCs(), 0);
  EXPECT_EQ(data.GetModel(0).GetNumLineSegments(), 0);
  ASSERT_EQ(data.GetModel(1).GetNumAAPCs(), 1);
  EXPECT_TRUE(data.GetModel(1).GetLineSegment(0).apc.bComputed);
  EXPECT_STREQ(data.GetModel(1).GetCIMethodName().GetCString(),
               "EmpCDFQuantile");
  // Position after model 1: (1 + 1/4 + 1) / 4 * 100 = 56.25, whole part.
  EXPECT_EQ(progress_.GetBarPosition(), 56);
}

TEST_F(ResampledPassTest, FinalOnlyFindsTheFinalModelByKinkmarkCount) {
  // Fault guarded: the final selected model is a number of kinkmarks, and
  // the models start at the minimum number; matching it against the model's
  // position picked the wrong model (or none) when the minimum was not 0.
  // Here the only model has 1 kinkmark (minimum 1) and is the final one.
  kmCalcData data;
  data.vModels.push_back(km_interval_test::ResamplingTable());
  data.uFinalSelectedModel = 1;
  calc_->Compute_APC_AAPC_CIs(&data, &progress_, 0, true, 1.0);
  EXPECT_EQ(data.GetModel(0).GetNumAAPCs(), 1);
  EXPECT_TRUE(data.GetModel(0).GetLineSegment(0).apc.bComputed);
}

TEST_F(ResampledPassTest, FullRangeWithoutObservedValuesIsRefused) {
  // Fault guarded: a first model without data rows made the full range
  // read past the end of the observed values.
  kmCalcData data;
  data.vModels.push_back(kmTable());
  const KmException e = km_test::CatchKmException(
      [&] { calc_->Compute_APC_AAPC_CIs(&data, &progress_, 0, false, 1.0); });
  EXPECT_NE(std::string(e.GetMessage()).find("full AAPC range"),
            std::string::npos);
  EXPECT_EQ(data.GetModel(0).GetNumAAPCs(), 0);
}

}  // namespace
