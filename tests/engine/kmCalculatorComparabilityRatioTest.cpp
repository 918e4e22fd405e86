// Comparability-ratio interval, residuals and display rows of kmCalculator,
// and the interval as the results-file handler computes it once the
// engine has installed it.
//
// R (interval): se <- sqrt(va); z <- (cr - 1)/se; 2*(1 - pnorm(abs(z)));
//   cr -/+ qnorm(1 - alpha/2)*se
// R (display rows): y <- c(1.2,1.6,2.1,2.4,2.3,2.1);
//   s <- c(0.2,0.2,0.25,0.3,0.3,0.25); cc <- 1.25; v <- 0.01
//   sqrt((s^2 - (y/cc)^2*v)/(cc^2 + v))
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/ComparabilityRatioCalculator.h"
#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "foundation/KmVector.h"
#include "results/kmCalcHandler.h"
#include "results/kmLineSegment.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr double kSentinel = -1e30;

struct IntervalCase {
  const char* sName;
  double dCR, dVar, dAlpha;
  double dExpected[7];
};

const IntervalCase kIntervalCases[] = {
    {"interval above 1 is significant",
     1.2,
     0.01,
     0.05,
     {1.2, 0.1, 1.9999999999999996, 0.045500263896358417, 1.0040036015459946,
      1.3959963984540054, 1.0}},
    {"interval containing 1 is not",
     1.1,
     0.01,
     0.05,
     {1.1, 0.1, 1.0000000000000009, 0.3173105078629137, 0.90400360154599468,
      1.2959963984540055, 0.0}},
    {"interval below 1 is significant",
     0.8,
     0.0025,
     0.10,
     {0.8, 0.05, -3.9999999999999991, 6.3342483666239957e-05,
      0.71775731865242642, 0.88224268134757367, 1.0}},
    {"far tail keeps its p-value",
     2.0,
     0.01,
     0.05,
     {2.0, 0.1, 10.0, 1.5239706048321186e-23, 1.8040036015459946,
      2.1959963984540054, 1.0}},
    {"zero variance",
     1.2,
     0.0,
     0.05,
     {1.2, 0.0, kSentinel, kSentinel, kSentinel, kSentinel, 0.0}},
    {"negative variance",
     1.2,
     -0.01,
     0.05,
     {1.2, 0.0, kSentinel, kSentinel, kSentinel, kSentinel, 0.0}},
    {"alpha 0",
     1.2,
     0.01,
     0.0,
     {1.2, 0.1, 1.9999999999999996, 0.045500263896358417, kSentinel, kSentinel,
      0.0}},
    {"alpha 1",
     1.2,
     0.01,
     1.0,
     {1.2, 0.1, 1.9999999999999996, 0.045500263896358417, kSentinel, kSentinel,
      0.0}},
};

void ExpectInterval(const double* pActual, const double* pExpected) {
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(i + 1);
    if (pExpected[i] == kSentinel || pExpected[i] == 0.0) {
      EXPECT_EQ(pActual[i], pExpected[i]);
    } else {
      EXPECT_TRUE(km_test::RelNear(pActual[i], pExpected[i], 1e-12));
    }
  }
}

TEST(ComparabilityRatioInterval, MatchesR) {
  kmSession session;
  kmCalculator calc(&session);
  for (const IntervalCase& c : kIntervalCases) {
    SCOPED_TRACE(c.sName);
    ColumnVector v;  // shorter than 7: resized
    calc.Calculate_Comparability_Ratio_CI(c.dCR, c.dVar, c.dAlpha, &v);
    ASSERT_EQ(v.Nrows(), 7);
    const double dActual[7] = {v(1), v(2), v(3), v(4), v(5), v(6), v(7)};
    ExpectInterval(dActual, c.dExpected);
  }
  EXPECT_THROW(calc.Calculate_Comparability_Ratio_CI(1.2, 0.01, 0.05, nullptr),
               KmException);
}

TEST(ComparabilityRatioInterval, HandlerComputesItOnceInstalled) {
  kmSession session;
  session.SetDouble(kmOptCRValue, 0.8);
  session.SetDouble(kmOptCRVariance, 0.0025);
  session.SetDouble(kmOptJumpCRAlpha, 0.10);
  kmCalcHandler handler(&session);
  kmTable table;

  const KmException e = km_test::CatchKmException(
      [&] { handler.CalculateComparabilityRatioCI(table); });
  EXPECT_NE(std::string(e.what()).find("No comparability-ratio calculator"),
            std::string::npos);

  InstallComparabilityRatioCalculator(handler);
  handler.CalculateComparabilityRatioCI(table);
  const double dActual[7] = {table.GetComparabilityRatio(),
                             table.GetComparabilitySE(),
                             table.GetComparabilityStat(),
                             table.GetComparabilityPValue(),
                             table.GetComparabilityLowerCI(),
                             table.GetComparabilityUpperCI(),
                             table.GetComparabilityIsSig() ? 1.0 : 0.0};
  ExpectInterval(dActual, kIntervalCases[2].dExpected);
}

// Six observations at shifted x = 0..5 (origin 2000), one kinkmark at 2.5;
// segment lines on the shifted scale 1 + 0.5x and 3 - 0.2x.
constexpr int kN = 6;
constexpr double kY[kN] = {1.2, 1.6, 2.1, 2.4, 2.3, 2.1};
constexpr double kS[kN] = {0.2, 0.2, 0.25, 0.3, 0.3, 0.25};
constexpr double kW[kN] = {1, 4, 1, 2.25, 1, 4};
constexpr double kFit[kN] = {1, 1.5, 2, 2.4, 2.2, 2.0};
constexpr int kOrigin = 2000;
constexpr double kCR = 1.25;

class CompRatioRowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<km_engine_test::Observation> obs;
    for (int i = 0; i < kN; ++i) obs.push_back({double(i), kY[i], 1.0, kS[i]});
    km_engine_test::LoadedCalculator lc(obs, [](kmSession& s) {
      s.SetInt(kmOptAutocorrErrors, 0);
      s.SetBool(kmOptLogLinear, false);
      s.SetDouble(kmOptCRValue, kCR);
      s.SetDouble(kmOptCRVariance, 0.01);
    });
    session_ = std::move(lc.session);
    calc_ = std::move(lc.calc);
    // Unshifted intercepts: a = a' - b * origin.
    KmVector<kmLineSegment> segments;
    kmLineSegment seg;
    seg.intercept.dEstimate = 1.0 - 0.5 * kOrigin;
    seg.slope.dEstimate = 0.5;
    segments.push_back(seg);
    seg.intercept.dEstimate = 3.0 + 0.2 * kOrigin;
    seg.slope.dEstimate = -0.2;
    segments.push_back(seg);
    table_.AddLineSegments(segments);
    table_.AddKinkmark(kOrigin + 2.5, 0.0, 0.0, false);
    fitted_.ReSize(2, kN);
    fitted_ = 0.0;
    for (int i = 1; i <= kN; ++i) fitted_(2, i) = kFit[i - 1];
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
  kmTable table_;
  Matrix fitted_;
};

// R: f <- c(1,1.5,2,2.4,2.2,2.0); (y - f) * sqrt(w)
TEST_F(CompRatioRowsTest, ResidualsFollowTheSegments) {
  ColumnVector vBeta(4);
  vBeta << 1.0 << 3.0 << 0.5 << -0.2;
  ColumnVector vTau(1);
  vTau << 2.5;
  Matrix mW(kN, kN);
  mW = 0.0;
  for (int i = 1; i <= kN; ++i) mW(i, i) = std::sqrt(kW[i - 1]);
  Matrix mF(2, kN), mR(2, kN);
  mF = 0.0;
  mR = 0.0;
  calc_->Calculate_Resids_Comp_Ratio(1, mW, vBeta, vTau, mF, mR);
  const double kWeighted[kN] = {0.2, 0.2, 0.1, 0.0, 0.1, 0.2};
  for (int i = 1; i <= kN; ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(mF(2, i), kFit[i - 1], 1e-14);
    EXPECT_NEAR(mR(2, i), kWeighted[i - 1], 1e-14);
    EXPECT_EQ(mF(1, i), 0.0);  // other rows untouched
  }
}

struct RowsCase {
  const char* sName;
  double dJumpU;
  std::vector<std::vector<double>> vRows;
};

constexpr double kNo = -9999.0;
const RowsCase kRowsCases[] = {
    {"jump at an observation",
     2004.0,
     {{2000, 1.2 / kCR, 1.0 / kCR, 0.13991594115123301},
      {2001, 1.6 / kCR, 1.5 / kCR, 0.12254845574857035},
      {2002, 2.1 / kCR, 2.0 / kCR, 0.14763853939532648},
      {2002.5, kNo, 2.5 / kCR, 0.3},
      {2003, 2.4 / kCR, 2.4 / kCR, 0.18382268362285548},
      {2004, 2.3 / kCR, 2.2 / kCR, 0.18895411241297250},
      {2004, kNo, 2.2, kNo},
      {2005, 2.1, 2.0, 0.25}}},
    {"jump between observations",
     2003.5,
     {{2000, 1.2 / kCR, 1.0 / kCR, 0.13991594115123301},
      {2001, 1.6 / kCR, 1.5 / kCR, 0.12254845574857035},
      {2002, 2.1 / kCR, 2.0 / kCR, 0.14763853939532648},
      {2002.5, kNo, 2.5 / kCR, 0.3},
      {2003, 2.4 / kCR, 2.4 / kCR, 0.18382268362285548},
      {2003.5, kNo, 2.3 / kCR, kNo},
      {2003.5, kNo, 2.3, kNo},
      {2004, 2.3, 2.2, 0.3},
      {2005, 2.1, 2.0, 0.25}}},
    // The kinkmark at the jump adds no boundary row; the jump line is the
    // segment in use before it (1 + 0.5 x at 2.5).
    {"kinkmark at the jump",
     2002.5,
     {{2000, 1.2 / kCR, 1.0 / kCR, 0.13991594115123301},
      {2001, 1.6 / kCR, 1.5 / kCR, 0.12254845574857035},
      {2002, 2.1 / kCR, 2.0 / kCR, 0.14763853939532648},
      {2002.5, kNo, 2.25 / kCR, kNo},
      {2002.5, kNo, 2.25, kNo},
      {2003, 2.4, 2.4, 0.3},
      {2004, 2.3, 2.2, 0.3},
      {2005, 2.1, 2.0, 0.25}}},
    // Fault: a jump at the first value took its second row from no line
    // at all (0) instead of the first segment.
    {"jump at the first value",
     2000.0,
     {{2000, 1.2 / kCR, 1.0 / kCR, 0.13991594115123301},
      {2000, kNo, 1.0, kNo},
      {2001, 1.6, 1.5, 0.2},
      {2002, 2.1, 2.0, 0.25},
      {2002.5, kNo, 2.5, 0.3},
      {2003, 2.4, 2.4, 0.3},
      {2004, 2.3, 2.2, 0.3},
      {2005, 2.1, 2.0, 0.25}}},
    // Fault: a kinkmark between the last value before the jump and the jump
    // showed its row undivided, and the jump rows on the line before it.
    {"kinkmark just before the jump",
     2002.7,
     {{2000, 1.2 / kCR, 1.0 / kCR, 0.13991594115123301},
      {2001, 1.6 / kCR, 1.5 / kCR, 0.12254845574857035},
      {2002, 2.1 / kCR, 2.0 / kCR, 0.14763853939532648},
      {2002.5, kNo, 2.5 / kCR, 0.3},
      {2002.7, kNo, 2.46 / kCR, kNo},
      {2002.7, kNo, 2.46, kNo},
      {2003, 2.4, 2.4, 0.3},
      {2004, 2.3, 2.2, 0.3},
      {2005, 2.1, 2.0, 0.25}}},
};

TEST_F(CompRatioRowsTest, DisplayRowsAdjustValuesBeforeTheJump) {
  for (const RowsCase& c : kRowsCases) {
    SCOPED_TRACE(c.sName);
    session_->SetDouble(kmOptJumpLocation, c.dJumpU);
    calc_->Setup(session_.get());  // the handler keeps a copy
    calc_->Calculate_Comp_Ratio(1, kOrigin, fitted_, &table_,
                                c.dJumpU - kOrigin);
    const Matrix& m = table_.GetData();
    ASSERT_EQ(m.Nrows(), static_cast<int>(c.vRows.size()));
    ASSERT_EQ(m.Ncols(), 4);
    for (int r = 1; r <= m.Nrows(); ++r) {
      for (int col = 1; col <= 4; ++col) {
        EXPECT_NEAR(m(r, col), c.vRows[r - 1][col - 1], 1e-12)
            << "row " << r << " column " << col;
      }
    }
  }
}

TEST_F(CompRatioRowsTest, JumpBeforeTheFirstValueKeepsItsJumpRows) {
  // Fault: the row of the first observation used to replace the rows
  // collected before it, so a jump at or before the first value lost its
  // two jump rows. They are kept, on the first segment carried back to the
  // location (they were once on no line at all, 0).
  session_->SetDouble(kmOptJumpLocation, 1999.0);
  calc_->Setup(session_.get());
  calc_->Calculate_Comp_Ratio(1, kOrigin, fitted_, &table_, -1.0);
  const std::vector<std::vector<double>> kRows = {
      {1999, kNo, 0.5 / kCR, kNo}, {1999, kNo, 0.5, kNo},
      {2000, 1.2, 1.0, 0.2},       {2001, 1.6, 1.5, 0.2},
      {2002, 2.1, 2.0, 0.25},      {2002.5, kNo, 2.5, 0.3},
      {2003, 2.4, 2.4, 0.3},       {2004, 2.3, 2.2, 0.3},
      {2005, 2.1, 2.0, 0.25}};
  const Matrix& m = table_.GetData();
  ASSERT_EQ(m.Nrows(), static_cast<int>(kRows.size()));
  for (int r = 1; r <= m.Nrows(); ++r) {
    for (int col = 1; col <= 4; ++col) {
      EXPECT_NEAR(m(r, col), kRows[r - 1][col - 1], 1e-12)
          << "row " << r << " column " << col;
    }
  }
}

TEST_F(CompRatioRowsTest, LogLinearModelExponentiates) {
  session_->SetBool(kmOptLogLinear, true);
  session_->SetDouble(kmOptJumpLocation, 2004.0);
  calc_->Setup(session_.get());
  calc_->Calculate_Comp_Ratio(1, kOrigin, fitted_, &table_, 4.0);
  const Matrix& m = table_.GetData();
  ASSERT_EQ(m.Nrows(), 8);
  EXPECT_NEAR(m(1, 2), std::exp(1.2) / kCR, 1e-12);
  EXPECT_NEAR(m(1, 3), std::exp(1.0) / kCR, 1e-12);
  EXPECT_NEAR(m(4, 3), std::exp(2.5) / kCR, 1e-12);
  EXPECT_NEAR(m(7, 3), std::exp(2.2), 1e-12);
  EXPECT_NEAR(m(8, 2), std::exp(2.1), 1e-12);
}

TEST_F(CompRatioRowsTest, StandardErrorThatCannotBeFormedIsMarkedAbsent) {
  // Fault: the square root of a negative difference wrote NaN into the
  // table: a ratio variance larger than the observation's share, a
  // negative variance, or an observation read with standard error 0, whose
  // difference is 0 up to rounding. The first row has y = 1.2, s = 0.2.
  const double kTouching = 0.04 / (0.96 * 0.96) * (1.0 + 1e-14);
  const struct {
    const char* sName;
    double dVariance;
    double dExpected;
  } kCases[] = {
      {"usual", 0.01, 0.13991594115123301},
      {"difference zero up to rounding", kTouching, 0.0},
      {"variance above the observation's share", 0.1, kNo},
      {"negative variance", -2.0, kNo},
  };
  session_->SetDouble(kmOptJumpLocation, 2004.0);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    session_->SetDouble(kmOptCRVariance, c.dVariance);
    calc_->Setup(session_.get());
    calc_->Calculate_Comp_Ratio(1, kOrigin, fitted_, &table_, 4.0);
    EXPECT_NEAR(table_.GetData()(1, 4), c.dExpected, 1e-12);
  }
}

TEST_F(CompRatioRowsTest, MissingInputsAreErrors) {
  EXPECT_THROW(calc_->Calculate_Comp_Ratio(1, kOrigin, fitted_, nullptr, 4.0),
               KmException);
  Matrix mShort(1, kN);
  EXPECT_THROW(calc_->Calculate_Comp_Ratio(1, kOrigin, mShort, &table_, 4.0),
               KmException);
}

}  // namespace
