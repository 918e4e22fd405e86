// kmTable::CalculateAPC_CIs: parametric intervals against R, resampled
// intervals reproducible for a seed, and the failures that leave the model
// unchanged.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "foundation/KmException.h"
#include "foundation/OneDimensionArray.h"
#include "models/KMRegFitRecord.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/results/IntervalTestTables.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_interval_test::MakeSession;
using km_test::kSearchRelTol;
using km_test::RelNear;

struct ApcExpected {
  double dApc, dLower, dUpper, dStat, dPValue;
};

// Expected APCs of the parametric model (IntervalTestTables.h), t with
// 9.3 degrees of freedom at alpha 0.05, from R:
//   pc <- function(x) 100*(exp(x)-1)
//   res <- function(b, se, df, alpha) { q <- qt(1-alpha/2, df); t <- b/se
//     c(pc(b), pc(b-q*se), pc(b+q*se), t, 2*pt(-abs(t), df)) }
//   res(0.03, 0.0023904572186973613, 9.3, .05)
//   res(-0.02, 0.001889822364888438, 9.3, .05)
constexpr ApcExpected kParametricApc[2] = {
    {3.0454533953516938, 2.4924431232958177, 3.6014475006705515,
     12.549900397861119, 3.8591576009064468e-07},
    {-1.9801326693244747, -2.3962377368106247, -1.5622536596953784,
     -10.583005245141472, 1.7128372494419213e-06}};

void ExpectApc(const kmLineSegment& segment, const ApcExpected& expected) {
  EXPECT_TRUE(RelNear(segment.apc.dEstimate, expected.dApc, 1e-12));
  EXPECT_TRUE(RelNear(segment.apc.dLower, expected.dLower, kSearchRelTol));
  EXPECT_TRUE(RelNear(segment.apc.dUpper, expected.dUpper, kSearchRelTol));
  EXPECT_TRUE(RelNear(segment.apc.dTestStat, expected.dStat, 1e-12));
  EXPECT_TRUE(RelNear(segment.apc.dPValue, expected.dPValue, kSearchRelTol));
  EXPECT_TRUE(segment.apc.bComputed);
}

TEST(kmTableAPCIntervals, ParametricMethodsMatchR) {
  // The first-last method has no APC rule of its own: a segment's chord is
  // its slope, so it gives the parametric intervals.
  const struct {
    const char* sName;
    int iSessionMethod;
    int iArgument;
  } kCases[] = {{"parametric", 0, 0},
                {"first-last", 0, 1},
                {"session's parametric", 0, -1},
                {"0 overrides a session method of 3", 3, 0}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    auto session = MakeSession(c.iSessionMethod, 25);
    kmTable table = km_interval_test::ParametricTable();
    OneDimensionArray<KMRegFitRecord> cache;
    table.CalculateAPC_CIs(
        km_interval_test::kAAPCAlpha, km_interval_test::kPermAlpha,
        km_interval_test::kKinkmarkAlpha, km_interval_test::kAPCAlpha,
        km_interval_test::kJumpCRAlpha, session.get(), 0, 0, c.iArgument,
        cache);
    ExpectApc(table.GetLineSegment(0), kParametricApc[0]);
    ExpectApc(table.GetLineSegment(1), kParametricApc[1]);
    // Only the empirical-quantile method touches the kinkmarks.
    EXPECT_EQ(table.GetKinkmark(0).dLower, 2003.0);
    EXPECT_EQ(table.GetKinkmark(0).dUpper, 2007.0);
    EXPECT_EQ(table.GetKinkmark(0).dPValue, 9999.0);
    EXPECT_EQ(cache.GetSize(), 0);
    EXPECT_EQ(table.GetNumResamples(), 25);
  }
}

// The empirical-quantile intervals of the resampling model, for a session.
kmTable QuantileIntervals(const kmSession& session, int iCohortNumber) {
  kmTable table = km_interval_test::ResamplingTable();
  OneDimensionArray<KMRegFitRecord> cache;
  table.CalculateAPC_CIs(
      km_interval_test::kAAPCAlpha, km_interval_test::kPermAlpha,
      km_interval_test::kKinkmarkAlpha, km_interval_test::kAPCAlpha,
      km_interval_test::kJumpCRAlpha, &session, iCohortNumber, 0, 3, cache);
  EXPECT_EQ(cache.GetSize(), session.GetInt(kmOptNumResamples));
  return table;
}

void ExpectSameIntervals(const kmTable& a, const kmTable& b) {
  for (int i = 0; i < a.GetNumLineSegments(); ++i) {
    EXPECT_EQ(a.GetLineSegment(i).apc.dLower, b.GetLineSegment(i).apc.dLower);
    EXPECT_EQ(a.GetLineSegment(i).apc.dUpper, b.GetLineSegment(i).apc.dUpper);
    EXPECT_EQ(a.GetLineSegment(i).apc.dPValue, b.GetLineSegment(i).apc.dPValue);
  }
  EXPECT_EQ(a.GetKinkmark(0).dLower, b.GetKinkmark(0).dLower);
  EXPECT_EQ(a.GetKinkmark(0).dUpper, b.GetKinkmark(0).dUpper);
}

TEST(kmTableAPCIntervals, EmpiricalQuantileReplacesKinkmarkBoundsOnly) {
  auto session = MakeSession(3);
  const kmTable table = QuantileIntervals(*session, 0);
  const kmEstValue& kinkmark = table.GetKinkmark(0);
  EXPECT_TRUE(kinkmark.bComputed);
  EXPECT_EQ(kinkmark.dEstimate, 2000.0);
  EXPECT_EQ(kinkmark.dPValue, 9999.0);
  EXPECT_EQ(kinkmark.dTestStat, 9999.0);
  EXPECT_LE(kinkmark.dLower, kinkmark.dUpper);
  EXPECT_GE(kinkmark.dLower, 1990.0);
  EXPECT_LE(kinkmark.dUpper, 2009.0);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const kmEstValue& apc = table.GetLineSegment(i).apc;
    EXPECT_TRUE(apc.bComputed);
    EXPECT_LT(apc.dLower, apc.dUpper);
    EXPECT_TRUE(std::isfinite(apc.dTestStat));
  }
  // The APC estimate is the observed slope's.
  EXPECT_TRUE(RelNear(table.GetLineSegment(0).apc.dEstimate,
                      100.0 * (std::exp(0.03) - 1.0), 1e-12));
}

TEST(kmTableAPCIntervals, ResampledIntervalsRepeatForTheirSeed) {
  auto session = MakeSession(3);
  const kmTable first = QuantileIntervals(*session, 0);
  const kmTable again = QuantileIntervals(*session, 0);
  ExpectSameIntervals(first, again);

  // Seed type 1 with cohort number c uses (c + 1) s + c for c > 0, and s
  // itself for cohort 0: the same intervals as a constant seed of that
  // value.
  const struct {
    int iCohort;
    int iConstantSeed;
  } kCases[] = {{0, 777}, {2, 3 * 777 + 2}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.iCohort);
    auto varying = MakeSession(3);
    varying->SetInt(kmOptEmpQuantileSeed, 777);
    varying->SetInt(kmOptEmpQuantileSeedType, 1);
    auto constant = MakeSession(3);
    constant->SetInt(kmOptEmpQuantileSeed, c.iConstantSeed);
    ExpectSameIntervals(QuantileIntervals(*varying, c.iCohort),
                        QuantileIntervals(*constant, 99));
  }

  // Another seed draws other resamples.
  auto other = MakeSession(3);
  other->SetInt(kmOptEmpQuantileSeed, 4242);
  const kmTable moved = QuantileIntervals(*other, 0);
  EXPECT_NE(moved.GetLineSegment(0).apc.dLower,
            first.GetLineSegment(0).apc.dLower);
}

TEST(kmTableAPCIntervals, EmpiricalStandardErrorMethods) {
  for (const int iMethod : {2, 4}) {
    SCOPED_TRACE(iMethod);
    auto session = MakeSession(0);
    kmTable table = km_interval_test::ResamplingTable();
    OneDimensionArray<KMRegFitRecord> cache;
    table.CalculateAPC_CIs(0.1, 0.05, 0.05, 0.05, 0.05, session.get(), 0, 0,
                           iMethod, cache);
    for (int i = 0; i < 2; ++i) {
      const kmEstValue& apc = table.GetLineSegment(i).apc;
      EXPECT_TRUE(apc.bComputed);
      EXPECT_LT(apc.dLower, apc.dEstimate);
      EXPECT_LT(apc.dEstimate, apc.dUpper);
    }
    // The kinkmark keeps the interval of the model-table builder.
    EXPECT_EQ(table.GetKinkmark(0).dLower, 1998.0);
  }
}

TEST(kmTableAPCIntervals, FailuresLeaveTheModelUnchanged) {
  const kmTable parametric = km_interval_test::ParametricTable();
  kmTable unmatched = km_interval_test::ParametricTable();
  unmatched.AddKinkmark(2010.0, 2009.0, 2011.0, true);
  const struct {
    const char* sName;
    kmTable table;
    int iSessionMethod;
    int iArgument;
    const char* sMessagePart;
  } kCases[] = {
      // The session's resampled method needs the observed fit, which a
      // model read back from a results file does not carry.
      {"no observed fit", parametric, 3, -1, "no fitted values"},
      {"unknown method code", parametric, 0, 7, "Unknown confidence"},
      // A kinkmark without its segment would be written past the list.
      {"parts disagree", unmatched, 3, -1, "do not agree"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    auto session = MakeSession(c.iSessionMethod);
    kmTable table = c.table;
    OneDimensionArray<KMRegFitRecord> cache;
    const KmException e = km_test::CatchKmException([&] {
      table.CalculateAPC_CIs(0.1, 0.05, 0.05, 0.05, 0.05, session.get(), 0, 0,
                             c.iArgument, cache);
    });
    EXPECT_NE(std::string(e.GetMessage()).find(c.sMessagePart),
              std::string::npos)
        << e.GetMessage();
    EXPECT_NE(std::string(e.GetCallPath())
                  .find("CalculateAPC_CIs(int iIndex) of kmTable"),
              std::string::npos);
    EXPECT_FALSE(table.GetLineSegment(0).apc.bComputed);
    EXPECT_EQ(table.GetLineSegment(0).apc.dLower, -1.0);
    EXPECT_FALSE(table.GetLineSegment(1).apc.bComputed);
    EXPECT_EQ(table.GetKinkmark(0).dLower, 2003.0);
  }
}

TEST(kmTableAPCIntervals, ParametricIntervalNeedsASlopeVarianceBelow100) {
  // A slope variance of 100 or more (or none) gives no interval.
  const struct {
    double dVariance;
    bool bComputed;
  } kCases[] = {{99.0, true}, {100.0, false}, {1e6, false}, {0.0, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.dVariance);
    kmTable table = km_interval_test::ParametricTable();
    NEWMAT::Matrix covariance = table.GetCovariance();
    covariance(2, 2) = c.dVariance;
    table.SetCovariance(covariance);
    table.SetParametricAPCs(km_interval_test::kAPCAlpha);
    const kmEstValue& apc = table.GetLineSegment(0).apc;
    EXPECT_EQ(apc.bComputed, c.bComputed);
    EXPECT_EQ(apc.dLower < apc.dUpper, c.bComputed);
    ExpectApc(table.GetLineSegment(1), kParametricApc[1]);
  }
}

}  // namespace
