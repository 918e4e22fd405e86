// kmTable::CalculateAAPC and kmTable::RunAAPCCalc: ranges, weights and
// parametric intervals against R, the first-last method on the model's
// covariance layout, resampled AAPCs, and refused input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "foundation/KmException.h"
#include "foundation/OneDimensionArray.h"
#include "models/KMRegFitRecord.h"
#include "results/kmTable.h"
#include "session/kmAAPCRanges.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/results/IntervalTestTables.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_interval_test::MakeSession;
using km_test::kSearchRelTol;
using km_test::RelNear;

// Estimates that pass through a chord of the fitted line lose digits to
// cancellation of the intercepts.
constexpr double kChordRelTol = 1e-9;

struct AapcCase {
  const char* sName;
  int iMethod;
  double dStart, dEnd;
  double dAapc, dLower, dUpper, dStat, dPValue;
};

// Expected AAPCs of the parametric model (IntervalTestTables.h) at alpha
// 0.10, from R:
//   b <- c(0.03, -0.02); a <- c(-60, 40.25); df <- 9.3
//   se <- c(0.0023904572186973613, 0.001889822364888438)
//   pc <- function(x) 100*(exp(x)-1)
//   res <- function(b, se, df, alpha, z=FALSE) {
//     q <- if (z) qnorm(1-alpha/2) else qt(1-alpha/2, df); t <- b/se
//     p <- if (z) 2*pnorm(-abs(t)) else 2*pt(-abs(t), df)
//     c(pc(b), pc(b-q*se), pc(b+q*se), t, p) }
//   # parametric: one segment t, across the kinkmark normal
//   res(b[1], se[1], df, .10); res(b[2], se[2], df, .10)
//   aapcz <- function(w) { E <- sum(w*b); s <- sqrt(sum((w*se)^2))
//     res(E, s, df, .10, TRUE) }
//   aapcz(c(2,4)/6); aapcz(c(5,7)/12)
//   # first-last: chord between the range ends, V the covariance
//   fl <- function(s, e, is, ie) { cc <- c(-1, -s, 1, e)
//     idx <- c(2*is-1, 2*is, 2*ie-1, 2*ie)
//     A <- ((a[ie] + b[ie]*e) - (a[is] + b[is]*s))/(e-s)
//     sd <- sqrt(t(cc) %*% V[idx,idx] %*% cc)/(e-s); res(A, sd, df, .10) }
//   fl(2003, 2009, 1, 2); fl(2001, 2004, 1, 1)
const AapcCase kParametricCases[] = {
    {"inside segment 1", 0, 2001, 2004, 3.0454533953516938, 2.5965438739195656,
     3.4963271131477791, 12.549900397861119, 3.8591576009064468e-07},
    {"segment 2, start on the kinkmark", 0, 2005, 2012, -1.9801326693244747,
     -2.3178726880685896, -1.6412249004155943, -10.583005245141472,
     1.7128372494419213e-06},
    {"weights 1/3 and 2/3", 0, 2003, 2009, -0.332778394547672551,
     -0.576863351615419795, -0.088094206070854497, -2.236067977625432412,
     0.025347318669239376},
    {"full range", 0, 2000, 2012, 0.083368065202638064, -0.160914998754968508,
     0.328248833108890636, 0.560898156173258333, 0.574866967058877076},
    {"first-last across the kinkmark", 1, 2003, 2009, -0.3327783945476059380,
     -0.5052694352556619251, -0.1599883112776367966, -3.5146751166724277127,
     0.0062446847435284952},
    // Within one segment the chord is the slope and its variance the
    // slope's: V(2,2) of the alternating layout.
    {"first-last inside segment 1", 1, 2001, 2004, 3.0454533953515606,
     2.5965438739194324, 3.4963271131476459, 12.549900397860897,
     3.8591576009070529e-07},
};

void ExpectAapc(const kmAAPCValue& value, const AapcCase& c) {
  EXPECT_TRUE(value.bRangeSet);
  EXPECT_TRUE(value.bInRange);
  EXPECT_TRUE(value.aapc.bComputed);
  EXPECT_EQ(value.dAlpha, km_interval_test::kAAPCAlpha);
  EXPECT_EQ(value.range.dStart, c.dStart);
  EXPECT_EQ(value.range.dEnd, c.dEnd);
  EXPECT_TRUE(RelNear(value.aapc.dEstimate, c.dAapc, kChordRelTol));
  EXPECT_TRUE(RelNear(value.aapc.dLower, c.dLower, kSearchRelTol));
  EXPECT_TRUE(RelNear(value.aapc.dUpper, c.dUpper, kSearchRelTol));
  EXPECT_TRUE(RelNear(value.aapc.dTestStat, c.dStat, kChordRelTol));
  EXPECT_TRUE(RelNear(value.aapc.dPValue, c.dPValue, kSearchRelTol));
}

// Adds the range to table and computes it as AAPC 0.
void AddAndCompute(kmTable& table, const kmSession& session, int iMethod,
                   double dStart, double dEnd,
                   OneDimensionArray<KMRegFitRecord>& cache) {
  table.AddAAPC(dStart, dEnd, 0.0, 0.0, 0.0, 0.0, 0.0);
  table.CalculateAAPC(
      table.GetNumAAPCs() - 1, km_interval_test::kAAPCAlpha,
      km_interval_test::kKinkmarkAlpha, km_interval_test::kAPCAlpha,
      km_interval_test::kJumpCRAlpha, &session, 0, 0, iMethod, cache);
}

TEST(kmTableAAPC, ParametricAndFirstLastMatchR) {
  auto session = MakeSession(0);
  for (const AapcCase& c : kParametricCases) {
    SCOPED_TRACE(c.sName);
    kmTable table = km_interval_test::ParametricTable();
    OneDimensionArray<KMRegFitRecord> cache;
    AddAndCompute(table, *session, c.iMethod, c.dStart, c.dEnd, cache);
    ExpectAapc(table.GetAAPC(0), c);
    EXPECT_STREQ(table.GetCIMethodName().GetCString(),
                 c.iMethod == 1 ? "FirstLastT" : "UncorrelatedVariance");
  }
}

TEST(kmTableAAPC, UnknownCodeUsesTheStoredMethodName) {
  // A record from the grid-search selection carries its method name; a
  // code outside 0..4 computes with it.
  auto session = MakeSession(0);
  kmTable table = km_interval_test::ParametricTable();
  table.SetCIMethodName("FirstLastT");
  OneDimensionArray<KMRegFitRecord> cache;
  AddAndCompute(table, *session, 7, 2003, 2009, cache);
  ExpectAapc(table.GetAAPC(0), kParametricCases[4]);
  EXPECT_STREQ(table.GetCIMethodName().GetCString(), "FirstLastT");
}

TEST(kmTableAAPC, RangesWithoutAnAverageAreLeftUncomputed) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* sName;
    double dStart, dEnd;
  } kCases[] = {
      {"zero width", 2005, 2005},
      {"starts before the data", 1999, 2004},
      {"ends after the data", 2001, 2013},
      // A reversed range would get negative weights and an interval of
      // nonsense; it has no average to report.
      {"reversed", 2009, 2003},
      {"NaN end", 2001, kNaN},
  };
  auto session = MakeSession(0);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmTable table = km_interval_test::ParametricTable();
    OneDimensionArray<KMRegFitRecord> cache;
    AddAndCompute(table, *session, 0, c.dStart, c.dEnd, cache);
    const kmAAPCValue& value = table.GetAAPC(0);
    EXPECT_TRUE(value.bRangeSet);
    EXPECT_FALSE(value.bInRange);
    EXPECT_FALSE(value.aapc.bComputed);
    EXPECT_EQ(value.aapc.dEstimate, 0.0);
    EXPECT_EQ(value.aapc.dPValue, 0.0);
  }
}

TEST(kmTableAAPC, SlopeWithoutStandardErrorGivesEstimateOnly) {
  auto session = MakeSession(0);
  kmTable model;
  const km_interval_test::SegmentSpec specs[2] = {
      {2000, 2005, -60.0, 1.0, 0.03, 0.002},
      {2005, 2012, 40.25, 1.0, -0.02, 0.0}};
  km_interval_test::AddSegments(model, specs, 2);
  model.AddKinkmark(2005.0, 2003.0, 2007.0, true);
  model.AddSlopeDiff(-0.05, 0.003, -16.0, 1e-6, true);
  OneDimensionArray<KMRegFitRecord> cache;
  AddAndCompute(model, *session, 0, 2003, 2009, cache);
  const kmAAPCValue& value = model.GetAAPC(0);
  // R: 100*(exp(sum(c(2,4)/6*c(0.03,-0.02)))-1)
  EXPECT_TRUE(RelNear(value.aapc.dEstimate, -0.33277839454767255, 1e-12));
  EXPECT_TRUE(value.bInRange);
  EXPECT_FALSE(value.aapc.bComputed);
  EXPECT_EQ(value.aapc.dLower, 0.0);
  EXPECT_EQ(value.aapc.dUpper, 0.0);
  EXPECT_EQ(value.aapc.dTestStat, 0.0);
  EXPECT_EQ(value.aapc.dPValue, 0.0);
}

TEST(kmTableAAPC, RefusedRequests) {
  auto session = MakeSession(0);
  const struct {
    const char* sName;
    int iIndex;
    bool bUnsetRange;
    int iMethod;
    bool bBadCovariance;
    const char* sMessagePart;
  } kCases[] = {
      {"missing index", 1, false, 0, false, "Invalid AAPC range requested."},
      {"range never set", 0, true, 0, false,
       "The AAPC range must be set before an AAPC calculation can be "
       "performed"},
      // A covariance of another layout would be read past its end.
      {"first-last covariance of the wrong size", 0, false, 1, true,
       "first-last"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmTable table = km_interval_test::ParametricTable();
    table.AddAAPC(2001, 2004, 0.0, 0.0, 0.0, 0.0, 0.0);
    if (c.bUnsetRange) table.GetAAPC(0).Init();
    if (c.bBadCovariance) {
      NEWMAT::Matrix covariance(3, 3);
      covariance = 0.0;
      table.SetCovariance(covariance);
    }
    OneDimensionArray<KMRegFitRecord> cache;
    const KmException e = km_test::CatchKmException([&] {
      table.CalculateAAPC(c.iIndex, 0.1, 0.05, 0.05, 0.05, session.get(), 0, 0,
                          c.iMethod, cache);
    });
    EXPECT_NE(std::string(e.GetMessage()).find(c.sMessagePart),
              std::string::npos)
        << e.GetMessage();
    EXPECT_NE(std::string(e.GetCallPath())
                  .find("CalculateAAPC(int iIndex) of "
                        "kmTable"),
              std::string::npos);
  }
}

TEST(kmTableAAPC, ResampledAAPCsShareOneSetOfRefits) {
  auto session = MakeSession(3);
  kmTable table = km_interval_test::ResamplingTable();
  OneDimensionArray<KMRegFitRecord> cache;
  AddAndCompute(table, *session, -1, 1990, 2009, cache);
  ASSERT_EQ(cache.GetSize(), 40);
  // A marker in the shared refits shows that the second range reads them
  // instead of resampling again.
  cache[1].segmentSlopes(1) = 0.5;
  AddAndCompute(table, *session, -1, 1995, 2005, cache);
  EXPECT_EQ(cache[1].segmentSlopes(1), 0.5);
  for (int i = 0; i < 2; ++i) {
    const kmAAPCValue& value = table.GetAAPC(i);
    EXPECT_TRUE(value.aapc.bComputed);
    EXPECT_LT(value.aapc.dLower, value.aapc.dUpper);
  }

  // The same seed gives the same interval on a fresh set of refits.
  kmTable again = km_interval_test::ResamplingTable();
  OneDimensionArray<KMRegFitRecord> freshCache;
  AddAndCompute(again, *session, -1, 1990, 2009, freshCache);
  EXPECT_EQ(again.GetAAPC(0).aapc.dLower, table.GetAAPC(0).aapc.dLower);
  EXPECT_EQ(again.GetAAPC(0).aapc.dUpper, table.GetAAPC(0).aapc.dUpper);
}

TEST(kmTableAAPC, RunAAPCCalcAddsTheSessionRangesInOrder) {
  auto session = MakeSession(0);
  kmAAPCRanges ranges;
  ranges.SetFullRange(true);
  // 0, -1 and 14 (more than the 13 observations) add no range.
  ranges.SetLastObsRanges({7, 0, 14, -1, 13});
  // Fault: the starts and ends are separate lists, and a start without its
  // end was read past the end list; only complete pairs are ranges.
  ranges.SetStartRange({2003, 2001, 2007});
  ranges.SetEndRange({2009, 2004});
  session->SetAAPCRanges(ranges);

  kmTable table = km_interval_test::ParametricTable();
  table.RunAAPCCalc(session.get(), -1);
  const struct {
    double dStart, dEnd;
  } kExpected[] = {
      {2000, 2012}, {2006, 2012}, {2000, 2012}, {2003, 2009}, {2001, 2004}};
  ASSERT_EQ(table.GetNumAAPCs(), 5);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(table.GetAAPC(i).range.dStart, kExpected[i].dStart);
    EXPECT_EQ(table.GetAAPC(i).range.dEnd, kExpected[i].dEnd);
    EXPECT_TRUE(table.GetAAPC(i).aapc.bComputed);
  }
  ExpectAapc(table.GetAAPC(0), kParametricCases[3]);
  ExpectAapc(table.GetAAPC(3), kParametricCases[2]);
  ExpectAapc(table.GetAAPC(4), kParametricCases[0]);
}

TEST(kmTableAAPC, LastObservationRangesCountOnlyObservationRows) {
  // Fault: the data rows also draw each kinkmark (observed value -9999.0);
  // counting them made "last m observations" start at a kinkmark and accept
  // m one larger than the number of observations.
  auto session = MakeSession(0);
  kmAAPCRanges ranges;
  ranges.SetLastObsRanges({7, 14});
  session->SetAAPCRanges(ranges);

  kmTable table = km_interval_test::ParametricTable();
  NEWMAT::Matrix data(14, 4);
  data = 0.0;
  int r = 1;
  for (int i = 1; i <= 13; ++i, ++r) {
    data(r, 1) = 1999 + i;
    if (1999 + i == 2008) {  // the kinkmark row follows 2008
      ++r;
      data(r, 1) = 2008.5;
      data(r, 2) = -9999.0;
    }
  }
  table.SetData(data);
  table.RunAAPCCalc(session.get(), -1);
  ASSERT_EQ(table.GetNumAAPCs(), 1);  // 14 exceeds the 13 observations
  EXPECT_EQ(table.GetAAPC(0).range.dStart, 2006);
  EXPECT_EQ(table.GetAAPC(0).range.dEnd, 2012);
}

TEST(kmTableAAPC, RunAAPCCalcComputesTheRangesItAdds) {
  // Fault: the ranges were computed by an index counted from 0 while they
  // were appended, so a table that already held AAPCs recomputed those and
  // left the new ones uncomputed.
  auto session = MakeSession(0);
  kmAAPCRanges ranges;
  ranges.SetStartRange({2003});
  ranges.SetEndRange({2009});
  session->SetAAPCRanges(ranges);

  kmTable table = km_interval_test::ParametricTable();
  table.AddAAPC(2001, 2004, 0.0, 0.0, 0.0, 0.0, 0.0);
  table.RunAAPCCalc(session.get(), 1);
  ASSERT_EQ(table.GetNumAAPCs(), 2);
  EXPECT_FALSE(table.GetAAPC(0).aapc.bComputed);
  ExpectAapc(table.GetAAPC(1), kParametricCases[4]);
}

TEST(kmTableAAPC, RunAAPCCalcAddsItsNameToTheCallPath) {
  auto session = MakeSession(0);
  kmAAPCRanges ranges;
  ranges.SetFullRange(true);
  session->SetAAPCRanges(ranges);
  kmTable table = km_interval_test::ParametricTable();
  table.SetData(NEWMAT::Matrix());
  const KmException e =
      km_test::CatchKmException([&] { table.RunAAPCCalc(session.get(), 0); });
  EXPECT_NE(std::string(e.GetCallPath()).find("RunAAPCCalc() of kmTable"),
            std::string::npos);
}

}  // namespace
