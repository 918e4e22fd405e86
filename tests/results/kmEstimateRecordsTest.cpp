// Tests of the estimate records: their stored bytes, round trips, version
// gates and refusal of null files and records cut short.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "foundation/KmException.h"
#include "results/kmAAPCValue.h"
#include "results/kmBetaCoefficient.h"
#include "results/kmEstValue.h"
#include "results/kmLineSegment.h"
#include "results/kmRange.h"
#include "tests/results/RecordBytes.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using km_results_test::B;
using km_results_test::Bytes;
using km_results_test::Cat;
using km_results_test::D;
using km_results_test::D9999;
using km_results_test::ReadBytesWith;
using km_results_test::S;
using km_results_test::WriteBytes;

// Sample records with every field distinct and their hand-written bytes.
kmRange SampleRange() {
  kmRange r;
  r.Set(1.0, 2.0);
  return r;
}
const Bytes kRangeBytes = Cat({D(0x3FF0), D(0x4000)});

kmBetaCoefficient SampleBeta() {
  kmBetaCoefficient b;
  b.Set(/*estimate*/ 2.0, /*se*/ 0.5, /*stat*/ 4.0, /*p*/ -1.0, true);
  return b;
}
// estimate, p-value, standard error, statistic, computed.
const Bytes kBetaBytes =
    Cat({D(0x4000), D(0xBFF0), D(0x3FE0), D(0x4010), B(true)});

kmEstValue SampleEst() {
  kmEstValue e;
  e.Set(/*estimate*/ 2.0, /*lower*/ -1.0, /*upper*/ 4.0, true, /*p*/ 0.5,
        /*stat*/ 3.0);
  return e;
}
// lower, upper, estimate, computed, p-value, statistic.
const Bytes kEstBytes =
    Cat({D(0xBFF0), D(0x4010), D(0x4000), B(true), D(0x3FE0), D(0x4008)});

kmLineSegment SampleSegment() {
  kmLineSegment s;
  s.intercept.Set(0.5, 0.5, 0.5, 0.5, false);
  s.SetSlope(2.0, 0.5, 4.0, -1.0, true);
  // SetAPC takes the statistic before the p-value.
  s.SetAPC(2.0, -1.0, 4.0, true, /*stat*/ 3.0, /*p*/ 0.5);
  s.SetRange(1.0, 2.0);
  return s;
}
const Bytes kSegmentBytes = Cat({D(0x3FE0), D(0x3FE0), D(0x3FE0), D(0x3FE0),
                                 B(false), kBetaBytes, kEstBytes, kRangeBytes});

kmAAPCValue SampleAAPC() {
  kmAAPCValue a;
  a.Init();
  a.SetRange(1.0, 2.0);
  a.SetAAPC(2.0, -1.0, 4.0, true, /*stat*/ 3.0, /*p*/ 0.5);
  // The two flags differ, so that one written in the other's place shows.
  a.bInRange = false;
  a.dAlpha = 0.5;
  return a;
}
const Bytes kAAPCBytes = Cat({kEstBytes, kRangeBytes, S(1), S(0), D(0x3FE0)});

void ExpectEq(const kmRange& a, const kmRange& b) {
  EXPECT_EQ(a.dStart, b.dStart);
  EXPECT_EQ(a.dEnd, b.dEnd);
}
void ExpectEq(const kmBetaCoefficient& a, const kmBetaCoefficient& b) {
  EXPECT_EQ(a.dEstimate, b.dEstimate);
  EXPECT_EQ(a.dPValue, b.dPValue);
  EXPECT_EQ(a.dStdErr, b.dStdErr);
  EXPECT_EQ(a.dTestStat, b.dTestStat);
  EXPECT_EQ(a.bComputed, b.bComputed);
}
void ExpectEq(const kmEstValue& a, const kmEstValue& b) {
  EXPECT_EQ(a.dLower, b.dLower);
  EXPECT_EQ(a.dUpper, b.dUpper);
  EXPECT_EQ(a.dEstimate, b.dEstimate);
  EXPECT_EQ(a.bComputed, b.bComputed);
  EXPECT_EQ(a.dPValue, b.dPValue);
  EXPECT_EQ(a.dTestStat, b.dTestStat);
}
void ExpectEq(const kmLineSegment& a, const kmLineSegment& b) {
  ExpectEq(a.intercept, b.intercept);
  ExpectEq(a.slope, b.slope);
  ExpectEq(a.apc, b.apc);
  ExpectEq(a.range, b.range);
}
void ExpectEq(const kmAAPCValue& a, const kmAAPCValue& b) {
  ExpectEq(a.aapc, b.aapc);
  ExpectEq(a.range, b.range);
  EXPECT_EQ(a.bRangeSet, b.bRangeSet);
  EXPECT_EQ(a.bInRange, b.bInRange);
  EXPECT_EQ(a.dAlpha, b.dAlpha);
}

// Writes the record, compares the bytes with the golden ones, reads them
// into a fresh record and compares every field.
template <typename T, typename ReadFn>
void CheckGoldenAndRoundTrip(const T& record, const Bytes& golden,
                             ReadFn read) {
  EXPECT_EQ(WriteBytes([&](KmIO_File* f) { record.Write(f); }), golden);
  T back;
  const int32_t consumed =
      ReadBytesWith(golden, [&](KmIO_File* f) { read(back, f); });
  EXPECT_EQ(consumed, static_cast<int32_t>(golden.size()));
  ExpectEq(back, record);
}

TEST(EstimateRecords, WriteGoldenBytesAndReadBack) {
  EXPECT_EQ(kEstBytes.size(), 41u);
  EXPECT_EQ(kBetaBytes.size(), 33u);
  EXPECT_EQ(kSegmentBytes.size(), 123u);
  EXPECT_EQ(kAAPCBytes.size(), 69u);
  CheckGoldenAndRoundTrip(SampleRange(), kRangeBytes,
                          [](kmRange& r, KmIO_File* f) { r.Read(f); });
  CheckGoldenAndRoundTrip(
      SampleBeta(), kBetaBytes,
      [](kmBetaCoefficient& r, KmIO_File* f) { r.Read(f); });
  CheckGoldenAndRoundTrip(SampleEst(), kEstBytes,
                          [](kmEstValue& r, KmIO_File* f) { r.Read(f, 4.9); });
  CheckGoldenAndRoundTrip(
      SampleSegment(), kSegmentBytes,
      [](kmLineSegment& r, KmIO_File* f) { r.Read(f, 4.9); });
  CheckGoldenAndRoundTrip(SampleAAPC(), kAAPCBytes,
                          [](kmAAPCValue& r, KmIO_File* f) { r.Read(f, 4.9); });
}

TEST(EstimateRecords, FreshEstimateHoldsUnsetMarkers) {
  const kmEstValue e;
  EXPECT_EQ(e.dLower, 0.0);
  EXPECT_EQ(e.dUpper, 0.0);
  EXPECT_EQ(e.dEstimate, 0.0);
  EXPECT_FALSE(e.bComputed);
  EXPECT_EQ(e.dPValue, -1e30);
  EXPECT_EQ(e.dTestStat, -1e30);
}

TEST(EstimateRecords, EstimateTestsAreReadFromVersion405On) {
  struct Case {
    double version;
    int32_t consumed;
    bool testsRead;
  };
  const Case cases[] = {
      {4.0, 25, false}, {4.049, 25, false}, {4.05, 41, true}, {4.9, 41, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    kmEstValue e;
    EXPECT_EQ(
        ReadBytesWith(kEstBytes, [&](KmIO_File* f) { e.Read(f, c.version); }),
        c.consumed);
    EXPECT_EQ(e.dEstimate, 2.0);
    EXPECT_EQ(e.dPValue, c.testsRead ? 0.5 : -1e30);
    EXPECT_EQ(e.dTestStat, c.testsRead ? 3.0 : -1e30);

    kmLineSegment s;
    EXPECT_EQ(ReadBytesWith(kSegmentBytes,
                            [&](KmIO_File* f) { s.Read(f, c.version); }),
              c.consumed + 33 + 33 + 16);
    EXPECT_EQ(s.apc.dPValue, c.testsRead ? 0.5 : -1e30);
    EXPECT_EQ(s.apc.dUpper, 4.0);

    // The AAPC passes the version on to its estimate as well.
    kmAAPCValue a;
    EXPECT_EQ(
        ReadBytesWith(kAAPCBytes, [&](KmIO_File* f) { a.Read(f, c.version); }),
        c.consumed + 16 + 2 + 2 + 8);
    EXPECT_EQ(a.aapc.dTestStat, c.testsRead ? 3.0 : -1e30);
  }
}

// Fault: any nonzero Short was read as true, so damage that shifted a byte
// into a flag went unnoticed; the writer stores 0 or 1 and nothing else is
// accepted.
TEST(EstimateRecords, AAPCFlagsOtherThan0Or1AreRefused) {
  kmAAPCValue a;
  KmException e = km_test::CatchKmException([&] {
    ReadBytesWith(Cat({kEstBytes, kRangeBytes, S(2), S(1), D(0x3FE0)}),
                  [&](KmIO_File* f) { a.Read(f, 4.9); });
  });
  EXPECT_STREQ(e.GetMessage(),
               "This KMO is either corrupt or not compatible with this "
               "version of Kinkmark.  The KMO read process found the "
               "range-set flag of 2, outside 0 to 1.");
  const Bytes ones = Cat({kEstBytes, kRangeBytes, S(1), S(1), D(0x3FE0)});
  ReadBytesWith(ones, [&](KmIO_File* f) { a.Read(f, 4.9); });
  EXPECT_TRUE(a.bRangeSet);
  EXPECT_TRUE(a.bInRange);
  const Bytes zeros = Cat({kEstBytes, kRangeBytes, S(0), S(0), D(0x3FE0)});
  ReadBytesWith(zeros, [&](KmIO_File* f) { a.Read(f, 4.9); });
  EXPECT_FALSE(a.bRangeSet);
  EXPECT_FALSE(a.bInRange);
}

TEST(EstimateRecords, AAPCInitResetsAllButAlpha) {
  kmAAPCValue a = SampleAAPC();
  a.Init();
  EXPECT_EQ(a.aapc.dEstimate, 0.0);
  EXPECT_EQ(a.aapc.dLower, 0.0);
  EXPECT_EQ(a.aapc.dUpper, 0.0);
  EXPECT_FALSE(a.aapc.bComputed);
  EXPECT_EQ(a.aapc.dPValue, 9999.0);
  EXPECT_EQ(a.aapc.dTestStat, 9999.0);
  EXPECT_FALSE(a.bRangeSet);
  EXPECT_FALSE(a.bInRange);
  EXPECT_EQ(a.dAlpha, 0.5);
  EXPECT_EQ(WriteBytes([&](KmIO_File* f) { a.aapc.Write(f); }),
            Cat({D(0), D(0), D(0), B(false), D9999(), D9999()}));
}

TEST(EstimateRecords, AAPCUpperBoundAbove1e49IsInfinite) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double upper;
    double stored;
  } cases[] = {{1e50, inf}, {1e49, 1e49}, {4.0, 4.0}, {inf, inf}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.upper);
    kmAAPCValue a;
    a.SetAAPC(1.0, -1.0, c.upper, true, 3.0, 0.5);
    EXPECT_EQ(a.aapc.dUpper, c.stored);
    EXPECT_EQ(a.aapc.dTestStat, 3.0);
    EXPECT_EQ(a.aapc.dPValue, 0.5);
  }
}

TEST(EstimateRecords, SegmentSignificanceNeedsBothBoundsOnOneSide) {
  const struct {
    double lower, upper;
    bool significant;
  } cases[] = {{-1, 0, false}, {0.5, 3, true}, {-3, -0.1, true},
               {0, 2, false},  {-1, 1, false}, {0, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.lower) + " " + std::to_string(c.upper));
    kmLineSegment s;
    s.SetAPC(0.0, c.lower, c.upper, true, 0.0, 1.0);
    EXPECT_EQ(s.IsSignificant(), c.significant);
  }
}

// Each record's Read and Write with its class name, for the table-driven
// failure tests.
struct RecordIO {
  const char* sClass;
  Bytes golden;
  std::function<void(KmIO_File*)> read;   // into a fresh sample record
  std::function<void(KmIO_File*)> write;  // of a sample record
  std::function<bool()> unchanged;        // the read target still intact
};

std::vector<RecordIO> AllRecords() {
  static kmRange range;
  static kmBetaCoefficient beta;
  static kmEstValue est;
  static kmLineSegment segment;
  static kmAAPCValue aapc;
  range = SampleRange();
  beta = SampleBeta();
  est = SampleEst();
  segment = SampleSegment();
  aapc = SampleAAPC();
  return {
      {"kmRange", kRangeBytes, [](KmIO_File* f) { range.Read(f); },
       [](KmIO_File* f) { SampleRange().Write(f); },
       [] { return range.dStart == 1.0 && range.dEnd == 2.0; }},
      {"kmBetaCoefficient", kBetaBytes, [](KmIO_File* f) { beta.Read(f); },
       [](KmIO_File* f) { SampleBeta().Write(f); },
       [] { return beta.dStdErr == 0.5 && beta.bComputed; }},
      {"kmEstValue", kEstBytes, [](KmIO_File* f) { est.Read(f, 4.9); },
       [](KmIO_File* f) { SampleEst().Write(f); },
       [] { return est.dTestStat == 3.0 && est.dLower == -1.0; }},
      {"kmLineSegment", kSegmentBytes,
       [](KmIO_File* f) { segment.Read(f, 4.9); },
       [](KmIO_File* f) { SampleSegment().Write(f); },
       [] {
         return segment.range.dEnd == 2.0 && segment.slope.dEstimate == 2.0;
       }},
      {"kmAAPCValue", kAAPCBytes, [](KmIO_File* f) { aapc.Read(f, 4.9); },
       [](KmIO_File* f) { SampleAAPC().Write(f); },
       [] { return aapc.dAlpha == 0.5 && aapc.bRangeSet; }},
  };
}

TEST(EstimateRecords, NullFileIsRefusedWithTheClassName) {
  for (const RecordIO& r : AllRecords()) {
    SCOPED_TRACE(r.sClass);
    for (const auto* op : {&r.read, &r.write}) {
      const KmException e = km_test::CatchKmException([&] { (*op)(nullptr); });
      EXPECT_STREQ(e.GetMessage(), "Invalid KmIO_File.");
      EXPECT_STREQ(e.GetSource(), r.sClass);
      EXPECT_NE(std::string(e.GetCallPath()).find(r.sClass), std::string::npos);
    }
  }
}

TEST(EstimateRecords, RecordCutShortIsRefusedAndLeavesTargetIntact) {
  // The file layer answers zeros for bytes past the end of the file; a
  // reader that did not check would take them for data.
  for (const RecordIO& r : AllRecords()) {
    for (size_t cut = 0; cut < r.golden.size(); ++cut) {
      SCOPED_TRACE(std::string(r.sClass) + " cut at " + std::to_string(cut));
      const Bytes shortBytes(r.golden.begin(), r.golden.begin() + cut);
      EXPECT_THROW(ReadBytesWith(shortBytes, r.read), KmException);
      EXPECT_TRUE(r.unchanged());
    }
  }
}

TEST(EstimateRecords, RangeCopyAndSelfAssignment) {
  kmRange a = SampleRange();
  kmRange b;
  b.Copy(a);
  ExpectEq(b, a);
  b.Copy(b);
  kmRange& alias = a;
  a = alias;
  ExpectEq(b, SampleRange());
  ExpectEq(a, SampleRange());
}

}  // namespace
