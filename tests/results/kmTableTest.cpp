// Tests of the fitted-model record: its accessors, its stored bytes, round
// trips, the version gates of Read and the refusal of damaged records.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "results/kmTable.h"
#include "tests/results/RecordBytes.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using km_results_test::B;
using km_results_test::Bytes;
using km_results_test::Cat;
using km_results_test::D;
using km_results_test::D9999;
using km_results_test::I;
using km_results_test::ReadBytesWith;
using km_results_test::S;
using km_results_test::WriteBytes;

Bytes TableBytes(const kmTable& t) {
  return WriteBytes([&](KmIO_File* f) { t.Write(f); });
}

Bytes Repeat(const Bytes& piece, int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

double DoubleAt(const Bytes& bytes, size_t offset) {
  double d;
  std::memcpy(&d, &bytes[offset], sizeof d);  // the test host is little-endian
  return d;
}

NEWMAT::Matrix MakeMatrix(int rows, int cols, double first) {
  NEWMAT::Matrix m(rows, cols);
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= cols; ++j) m(i, j) = first + 10 * i + j;
  return m;
}

// A record with every persisted member filled and away from its default.
kmTable FilledTable() {
  kmTable t;
  t.SetBIC(1.5);
  t.SetSSE(3.25);
  t.SetUDF(17.0);
  t.SetJumpLocation(2003.0);
  t.SetBIC3(-7.0);
  t.SetDF(12);
  t.SetReducedRank(1);
  t.SetNObs(20);
  t.SetNParm(6);
  t.AddKinkmark(2000.0, 1998.0, 2002.0, true);
  t.AddKinkmark(2008.0, 2006.0, 2010.0, false);
  KmVector<kmLineSegment> segments(3);
  for (int i = 0; i < 3; ++i) {
    segments[i].intercept.Set(1.0 + i, 0.1, 10.0, 0.01, true);
    segments[i].SetSlope(0.02 * i, 0.001, 20.0, 0.001, i != 1);
    segments[i].SetAPC(2.0 * i, -1.0, 4.0 + i, true, 3.0, 0.5);
    segments[i].SetRange(1990.0 + 10 * i, 2000.0 + 10 * i);
  }
  t.AddLineSegments(segments);
  segments.resize(1);
  t.AddParallelLineSegments(segments);
  t.AddSlopeDiff(0.5, 0.1, 5.0, 0.02, true);
  t.AddSlopeDiff(-0.25, 0.2, -1.25, 0.3, false);
  t.SetData(MakeMatrix(3, 2, 0.5));  // not square: shape must survive
  t.SetCovariance(MakeMatrix(2, 2, 0.25));
  t.AddAAPC(1990.0, 2010.0, 1.0, 0.5, 1.5, 2.0, 0.04);
  t.AddAAPC(2005.0, 2010.0, 0, 0, 0, 0, 0);
  t.GetAAPC(1).bInRange = true;
  t.GetAAPC(1).dAlpha = 0.05;
  t.SetMADWDPass(false);
  t.SetSpareFlag(true);
  return t;
}

TEST(kmTable, NewRecordHoldsZerosAndPassesMADWD) {
  const kmTable t;
  EXPECT_EQ(t.GetNumStatistics(), 20);
  EXPECT_EQ(t.GetBIC(), 0.0);
  EXPECT_EQ(t.GetBIC3(), 0.0);
  EXPECT_EQ(t.GetDF(), 0);
  EXPECT_EQ(t.GetNObs(), 0);
  EXPECT_TRUE(t.GetMADWDPass());
  EXPECT_FALSE(t.GetSpareFlag());
  EXPECT_EQ(t.GetNumKinkmarks(), 0);
  EXPECT_EQ(t.GetNumAAPCs(), 0);
}

TEST(kmTable, EachStatisticSetterWritesItsOwnIndex) {
  using Setter = void (kmTable::*)(double);
  using Getter = double (kmTable::*)() const;
  const struct {
    const char* name;
    int index;
    Setter set;
    Getter get;  // null where the statistic has no getter
  } cases[] = {
      {"BIC", 0, &kmTable::SetBIC, &kmTable::GetBIC},
      {"CMSE", 1, &kmTable::SetCMSE, &kmTable::GetCMSE},
      {"SSE", 2, &kmTable::SetSSE, &kmTable::GetSSE},
      {"UDF", 3, &kmTable::SetUDF, &kmTable::GetUDF},
      {"JumpValue", 4, &kmTable::SetJumpValue, &kmTable::GetJumpValue},
      {"JumpSE", 5, &kmTable::SetJumpSE, &kmTable::GetJumpSE},
      {"JumpLocation", 6, &kmTable::SetJumpLocation, nullptr},
      {"JumpStat", 7, &kmTable::SetJumpStat, &kmTable::GetJumpStat},
      {"JumpPValue", 8, &kmTable::SetJumpPValue, &kmTable::GetJumpPValue},
      {"JumpLowerCI", 9, &kmTable::SetJumpLowerCI, &kmTable::GetJumpLowerCI},
      {"JumpUpperCI", 10, &kmTable::SetJumpUpperCI, &kmTable::GetJumpUpperCI},
      {"CR", 11, &kmTable::SetComparabilityRatio,
       &kmTable::GetComparabilityRatio},
      {"CRSE", 12, &kmTable::SetComparabilitySE, &kmTable::GetComparabilitySE},
      {"CRStat", 13, &kmTable::SetComparabilityStat,
       &kmTable::GetComparabilityStat},
      {"CRP", 14, &kmTable::SetComparabilityPValue,
       &kmTable::GetComparabilityPValue},
      {"CRLower", 15, &kmTable::SetComparabilityLowerCI,
       &kmTable::GetComparabilityLowerCI},
      {"CRUpper", 16, &kmTable::SetComparabilityUpperCI,
       &kmTable::GetComparabilityUpperCI},
      {"CRIsSig", 17, &kmTable::SetComparabilityIsSig, nullptr},
      {"JumpIsSig", 18, &kmTable::SetJumpIsSig, nullptr},
      {"BIC3", 19, &kmTable::SetBIC3, &kmTable::GetBIC3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    kmTable t;
    (t.*c.set)(42.5);
    if (c.get != nullptr) {
      EXPECT_EQ((t.*c.get)(), 42.5);
    }
    // The statistics lead the record: Short 20, then the 20 Doubles.
    const Bytes bytes = TableBytes(t);
    for (int i = 0; i < 20; ++i) {
      EXPECT_EQ(DoubleAt(bytes, 2 + 8 * i), i == c.index ? 42.5 : 0.0) << i;
    }
  }
}

TEST(kmTable, SignificanceFlagsNeedExactlyOne) {
  for (double stored : {1.0, 0.999999, 0.0, 2.0}) {
    SCOPED_TRACE(stored);
    kmTable t;
    t.SetJumpIsSig(stored);
    t.SetComparabilityIsSig(stored);
    EXPECT_EQ(t.GetJumpIsSig(), stored == 1.0);
    EXPECT_EQ(t.GetComparabilityIsSig(), stored == 1.0);
  }
}

TEST(kmTable, WriteGoldenBytesOfASmallRecord) {
  // Every count distinct, and a parallel segment without a segment, so that
  // two fields written in each other's place change the bytes.
  kmTable t;
  t.SetBIC(1.0);
  t.SetDF(2);
  t.SetReducedRank(1);
  t.SetNObs(5);
  t.SetNParm(3);
  t.AddKinkmark(2.0, -1.0, 4.0, true);
  kmLineSegment parallel;
  parallel.intercept.Set(1.0, 0.5, 2.0, -1.0, true);
  parallel.SetSlope(2.0, 0.5, 4.0, 3.0, false);
  parallel.SetAPC(3.0, -1.0, 4.0, true, /*stat*/ 2.0, /*p*/ 0.5);
  parallel.SetRange(1.0, 2.0);
  KmVector<kmLineSegment> parallelSegments;
  parallelSegments.push_back(parallel);
  t.AddParallelLineSegments(parallelSegments);
  t.AddSlopeDiff(2.0, 0.5, 4.0, -1.0, true);
  NEWMAT::Matrix data(1, 2);
  data(1, 1) = 1.0;
  data(1, 2) = 2.0;
  t.SetData(data);
  t.AddAAPC(1.0, 2.0, 0, 0, 0, 0, 0);
  const Bytes expected =
      Cat({S(20), D(0x3FF0), Repeat(D(0), 19),  // statistics
           S(4), S(2), S(1), S(5), S(3),        // counts: DF, rank, NObs, NParm
           // kinkmark: lower, upper, estimate, computed, p-value, statistic
           S(1), D(0xBFF0), D(0x4010), D(0x4000), B(true), D9999(), D9999(),
           S(0),  // segments
           // parallel segment: intercept, slope (estimate, p-value, SE,
           // statistic, computed), APC, range
           S(1), D(0x3FF0), D(0xBFF0), D(0x3FE0), D(0x4000), B(true), D(0x4000),
           D(0x4008), D(0x3FE0), D(0x4010), B(false), D(0xBFF0), D(0x4010),
           D(0x4008), B(true), D(0x3FE0), D(0x4000), D(0x3FF0), D(0x4000),
           // slope difference
           S(1), D(0x4000), D(0xBFF0), D(0x3FE0), D(0x4010), B(true), I(2),
           I(1), D(0x3FF0), D(0x4000),  // data: columns first
           I(0), I(0),                  // empty covariance
           // AAPC: estimate, range, range-set, in-range, alpha
           S(1), D(0), D(0), D(0), B(false), D(0), D(0), D(0x3FF0), D(0x4000),
           S(1), S(0), D(0), B(true), B(false)});  // MADWD pass, spare
  EXPECT_EQ(TableBytes(t), expected);
}

TEST(kmTable, RoundTripKeepsEveryPersistedMember) {
  const kmTable original = FilledTable();
  const Bytes bytes = TableBytes(original);
  kmTable back;
  EXPECT_EQ(ReadBytesWith(bytes, [&](KmIO_File* f) { back.Read(f, 4.9); }),
            static_cast<int32_t>(bytes.size()));
  // Equal bytes mean equal statistics, counts, lists, matrices and flags.
  EXPECT_EQ(TableBytes(back), bytes);
  EXPECT_EQ(back.GetData().Nrows(), 3);
  EXPECT_EQ(back.GetData().Ncols(), 2);
  EXPECT_EQ(back.GetData()(3, 1), 0.5 + 31);
  EXPECT_EQ(back.GetNumLineSegments(), 3);
  EXPECT_EQ(back.GetLineSegment(2).range.dEnd, 2020.0);
  EXPECT_FALSE(back.GetLineSegment(1).slope.bComputed);
  EXPECT_EQ(back.GetNumParallelLineSegments(), 1);
  EXPECT_EQ(back.GetKinkmark(1).dEstimate, 2008.0);
  EXPECT_EQ(back.GetSlopeDiff(1).dEstimate, -0.25);
  EXPECT_TRUE(back.GetAAPC(1).bInRange);
  EXPECT_EQ(back.GetAAPC(0).aapc.dPValue, 0.04);
  EXPECT_FALSE(back.GetMADWDPass());
  EXPECT_TRUE(back.GetSpareFlag());
  EXPECT_EQ(back.GetBIC3(), -7.0);
}

// A record in the layout of file version v, field by field, with one of
// each list. MADWD false and spare true, the opposite of a new record.
Bytes LayoutOfVersion(double v, bool oldStatistics) {
  const Bytes est =
      Cat({D(0xBFF0), D(0x4010), D(0x4000), B(true), D(0x3FE0), D(0x4008)});
  const Bytes estOfV = v >= 4.05 ? est : Bytes(est.begin(), est.begin() + 25);
  const Bytes beta = Cat({D(0x4000), D(0xBFF0), D(0x3FE0), D(0x4010), B(true)});
  const Bytes range = Cat({D(0x3FF0), D(0x4000)});
  const Bytes segment = Cat({beta, beta, estOfV, range});
  Bytes out =
      oldStatistics
          ? Cat({D(0x3FF0), D(0x4000), D(0x4008), S(5), S(1), S(7), S(3)})
          : Cat({S(4), D(0x3FF0), D(0x4000), D(0x4008), D(0x4010), S(4), S(5),
                 S(1), S(7), S(3)});
  out = Cat({out, S(1), estOfV, S(1), segment});
  if (v >= 3.41) out = Cat({out, S(1), segment});
  out = Cat({out, S(1), beta, I(1), I(1), D(0x3FF0), I(0), I(0)});
  if (v >= 4.05) out = Cat({out, S(1), est, range, S(1), S(1), D(0x3FE0)});
  if (v >= 4.702) out = Cat({out, B(false), B(true)});
  return out;
}

TEST(kmTable, ReadGatesFieldsByFileVersion) {
  const struct {
    double version;
    bool oldStatistics;  // versions older than "3.100" at three decimals
    bool parallel, aapcs, flags, tests;
  } cases[] = {
      {3.0, true, false, false, false, false},
      {3.0994, true, false, false, false, false},
      {3.0996, false, false, false, false, false},  // prints as "3.100"
      {3.4, false, false, false, false, false},
      {3.41, false, true, false, false, false},
      {4.0, false, true, false, false, false},
      {4.05, false, true, true, false, true},
      {4.7, false, true, true, false, true},
      {4.702, false, true, true, true, true},
      {4.9, false, true, true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    const Bytes bytes = LayoutOfVersion(c.version, c.oldStatistics);
    kmTable t;
    EXPECT_EQ(ReadBytesWith(bytes, [&](KmIO_File* f) { t.Read(f, c.version); }),
              static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(t.GetBIC(), 1.0);
    EXPECT_EQ(t.GetSSE(), 3.0);
    EXPECT_EQ(t.GetUDF(), c.oldStatistics ? 0.0 : 4.0);
    EXPECT_EQ(t.GetBIC3(), 0.0);
    EXPECT_EQ(t.GetNumStatistics(), 20);
    EXPECT_EQ(t.GetDF(), 5);
    EXPECT_EQ(t.GetNObs(), 7);
    EXPECT_EQ(t.GetNParm(), 3);
    EXPECT_EQ(t.GetNumKinkmarks(), 1);
    EXPECT_EQ(t.GetKinkmark(0).dTestStat, c.tests ? 3.0 : -1e30);
    EXPECT_EQ(t.GetNumLineSegments(), 1);
    EXPECT_EQ(t.GetLineSegment(0).range.dEnd, 2.0);
    EXPECT_EQ(t.GetNumParallelLineSegments(), c.parallel ? 1 : 0);
    EXPECT_EQ(t.GetNumSlopeDiffs(), 1);
    EXPECT_EQ(t.GetData().Nrows(), 1);
    EXPECT_EQ(t.GetNumAAPCs(), c.aapcs ? 1 : 0);
    EXPECT_EQ(t.GetMADWDPass(), !c.flags);
    EXPECT_EQ(t.GetSpareFlag(), c.flags);
  }
}

// The pieces of a current (4.9) record with empty lists, by name.
std::vector<std::pair<std::string, Bytes>> MinimalPieces() {
  return {{"statistics", Cat({S(20), Repeat(D(0), 20)})},
          {"counts", Cat({S(4), S(0), S(0), S(0), S(0)})},
          {"kinkmarks", S(0)},
          {"segments", S(0)},
          {"parallel", S(0)},
          {"slopes", S(0)},
          {"data", Cat({I(0), I(0)})},
          {"covariance", Cat({I(0), I(0)})},
          {"aapcs", S(0)},
          {"flags", Cat({B(true), B(false)})}};
}

Bytes MinimalWith(const std::string& name, const Bytes& replacement) {
  Bytes out;
  for (const auto& piece : MinimalPieces()) {
    const Bytes& bytes = piece.first == name ? replacement : piece.second;
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

TEST(kmTable, StatisticsCountOutside0To100IsRefused) {
  for (int16_t count : {101, -1, 32767}) {
    SCOPED_TRACE(count);
    kmTable t;
    const KmException e = km_test::CatchKmException([&] {
      ReadBytesWith(
          MinimalWith("statistics", Cat({S(count), Repeat(D(0), 101)})),
          [&](KmIO_File* f) { t.Read(f, 4.9); });
    });
    EXPECT_EQ(std::string(e.GetMessage()),
              "This KMO is either corrupt or not compatible with this "
              "version of Kinkmark.    The KMO read process is trying to "
              "read in " +
                  std::to_string(count) + " shorts.");
    EXPECT_STREQ(e.GetSource(),
                 "kmTable::Read(KmIO_File *pIO, double dFileVersion)");
    EXPECT_NE(std::string(e.GetCallPath()).find("Read() of kmTable"),
              std::string::npos);
  }
}

TEST(kmTable, StatisticsCountsFrom0To100AreAccepted) {
  const struct {
    int16_t stored;
    int32_t held;
  } cases[] = {{0, 20}, {3, 20}, {20, 20}, {25, 25}, {100, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    kmTable t;
    t.SetBIC3(9.0);  // must be cleared by a short list
    const Bytes bytes = MinimalWith(
        "statistics", Cat({S(c.stored), Repeat(D(0x4000), c.stored)}));
    ReadBytesWith(bytes, [&](KmIO_File* f) { t.Read(f, 4.9); });
    EXPECT_EQ(t.GetNumStatistics(), c.held);
    EXPECT_EQ(t.GetBIC(), c.stored > 0 ? 2.0 : 0.0);
    EXPECT_EQ(t.GetBIC3(), c.stored > 19 ? 2.0 : 0.0);
  }
}

TEST(kmTable, NegativeOrOversizedCountsAreRefused) {
  // Only the statistics count was checked by the stored layout; a negative
  // counts count indexed the list below zero, and a damaged matrix header
  // sized a matrix from any Int pair.
  const struct {
    const char* piece;
    Bytes replacement;
  } cases[] = {
      {"counts", S(-1)},
      {"kinkmarks", S(-1)},
      {"segments", S(-2)},
      {"parallel", S(-1)},
      {"slopes", S(-32768)},
      {"aapcs", S(-1)},
      {"data", Cat({I(-1), I(2)})},
      {"data", Cat({I(2), I(-1)})},
      {"covariance", Cat({I(65536), I(65536)})},
      // 100 million elements claimed, none present: refused at the end of
      // the file, without sizing the matrix first.
      {"covariance", Cat({I(1000), I(100000)})},
      {"kinkmarks", Cat({S(30000), D(0)})},
      // Fault: 0 columns x 2^31 - 1 rows filled an empty matrix in a loop
      // whose bound overflowed (it never ended), one row fewer took 16 s;
      // a dimension the rest of the record cannot hold is now refused.
      {"data", Cat({I(0), I(2147483647)})},
      {"covariance", Cat({I(0), I(2147483646)})},
      {"data", Cat({I(2147483647), I(0)})},
      // Fault: any byte was read as a flag; only 0 and 1 are written.
      {"flags", Cat({B(true), Bytes{2}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.piece);
    kmTable t;
    EXPECT_THROW(ReadBytesWith(MinimalWith(c.piece, c.replacement),
                               [&](KmIO_File* f) { t.Read(f, 4.9); }),
                 KmException);
  }
}

TEST(kmTable, RecordCutShortIsRefusedAndLeavesTableIntact) {
  // The file layer answers zeros for bytes past the end of the file; a
  // reader that did not check would build a record out of them.
  const Bytes bytes = TableBytes(FilledTable());
  kmTable t;
  t.SetBIC(5.0);
  const Bytes before = TableBytes(t);
  for (size_t cut = 0; cut < bytes.size(); cut += 7) {
    SCOPED_TRACE(cut);
    const Bytes shortBytes(bytes.begin(), bytes.begin() + cut);
    EXPECT_THROW(
        ReadBytesWith(shortBytes, [&](KmIO_File* f) { t.Read(f, 4.9); }),
        KmException);
    EXPECT_EQ(TableBytes(t), before);
  }
  const Bytes lastByteMissing(bytes.begin(), bytes.end() - 1);
  EXPECT_THROW(
      ReadBytesWith(lastByteMissing, [&](KmIO_File* f) { t.Read(f, 4.9); }),
      KmException);
}

TEST(kmTable, NullFileIsRefused) {
  kmTable t;
  for (bool reading : {true, false}) {
    SCOPED_TRACE(reading);
    const KmException e = km_test::CatchKmException([&] {
      if (reading)
        t.Read(nullptr, 4.9);
      else
        t.Write(nullptr);
    });
    EXPECT_STREQ(e.GetMessage(), "Invalid KmIO_File.");
    EXPECT_STREQ(e.GetSource(), "kmTable");
  }
}

TEST(kmTable, WriteRefusesAListLongerThanAShortCount) {
  // A count above 32767 was written as a negative Short, leaving a file
  // that no reader could take back.
  kmTable t;
  for (int i = 0; i < 32768; ++i) t.AddKinkmark(i, i, i, false);
  EXPECT_THROW(TableBytes(t), KmException);
}

TEST(kmTable, CorrelationMatrixScalesByTheDiagonal) {
  kmTable t;
  NEWMAT::Matrix c(3, 3);
  c << 4.0 << 2.0 << 0.0 << 2.0 << 9.0 << -3.0 << 0.0 << -3.0 << 1.0;
  t.SetCovariance(c);
  NEWMAT::Matrix r;
  t.GetCorrelationMatrix(r);
  ASSERT_EQ(r.Nrows(), 3);
  ASSERT_EQ(r.Ncols(), 3);
  for (int i = 1; i <= 3; ++i) EXPECT_DOUBLE_EQ(r(i, i), 1.0);
  EXPECT_DOUBLE_EQ(r(1, 2), 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(r(3, 2), -1.0);
  EXPECT_DOUBLE_EQ(r(1, 3), 0.0);

  // Fault: a coefficient without variance gave NaN and inf cells.
  c << 4.0 << 2.0 << 0.0 << 2.0 << 0.0 << 0.0 << 0.0 << 0.0 << -1e-18;
  t.SetCovariance(c);
  t.GetCorrelationMatrix(r);
  for (int j : {2, 3}) {
    EXPECT_EQ(r(1, j), kmEstValue::kUnset);
    EXPECT_EQ(r(j, 3), kmEstValue::kUnset);
  }

  // A covariance read from a damaged file need not be square.
  t.SetCovariance(MakeMatrix(2, 3, 0.0));
  EXPECT_THROW(t.GetCorrelationMatrix(r), KmException);
}

TEST(kmTable, IndexOutsideAListIsRefused) {
  kmTable t = FilledTable();
  const KmException e = km_test::CatchKmException([&] { t.GetAAPC(2); });
  EXPECT_STREQ(e.GetMessage(), "Invalid AAPC range requested.");
  EXPECT_STREQ(e.GetSource(), "kmTable::GetAAPC(int iIndex)");
  EXPECT_THROW(t.GetAAPC(-1), KmException);
  const KmException eKinkmark =
      km_test::CatchKmException([&] { t.GetKinkmark(2); });
  EXPECT_STREQ(eKinkmark.GetMessage(),
               "Index 2 out of range; vector is from 0 to 1");
  EXPECT_THROW(t.GetLineSegment(3), KmException);
  EXPECT_THROW(t.GetParallelLineSegment(1), KmException);
  EXPECT_THROW(t.GetSlopeDiff(-1), KmException);
}

TEST(kmTable, AddedEstimatesStartUntestedOrUncomputed) {
  kmTable t;
  t.AddKinkmark(2000.0, 1999.0, 2001.0, true);
  EXPECT_EQ(t.GetKinkmark(0).dPValue, 9999.0);
  EXPECT_EQ(t.GetKinkmark(0).dTestStat, 9999.0);
  EXPECT_EQ(t.GetKinkmark(0).dLower, 1999.0);
  t.AddAAPC(1990.0, 2000.0, 1.0, 0.5, 1e50, 2.0, 0.25);
  const kmAAPCValue& a = t.GetAAPC(0);
  EXPECT_TRUE(a.bRangeSet);
  EXPECT_FALSE(a.bInRange);
  EXPECT_FALSE(a.aapc.bComputed);
  EXPECT_EQ(a.range.dStart, 1990.0);
  EXPECT_EQ(a.aapc.dEstimate, 1.0);
  EXPECT_TRUE(std::isinf(a.aapc.dUpper));
  EXPECT_EQ(a.aapc.dTestStat, 2.0);
  EXPECT_EQ(a.aapc.dPValue, 0.25);
  t.ClearAAPCs();
  EXPECT_EQ(t.GetNumAAPCs(), 0);
}

TEST(kmTable, CopiesCarryTheWorkingState) {
  kmTable t = FilledTable();
  t.SetAutocorrelation(0.3);
  t.SetErrorType(2);
  t.SetCIMethodName("EmpCDFQuantile");
  t.SetModelWords("Identical", "Log", "GridSearch");
  t.SetGridSettings(2, 3, 4);
  t.SetNumResamples(1000);
  kmTable copy(t);
  kmTable assigned;
  assigned = t;
  kmTable& alias = assigned;
  assigned = alias;
  for (const kmTable* c : {&copy, &assigned}) {
    EXPECT_EQ(TableBytes(*c), TableBytes(t));
    EXPECT_EQ(c->GetAutocorrelation(), 0.3);
    EXPECT_EQ(c->GetErrorType(), 2);
    EXPECT_STREQ(c->GetCIMethodName().GetCString(), "EmpCDFQuantile");
    EXPECT_STREQ(c->GetModelTypeWord().GetCString(), "Identical");
    EXPECT_EQ(c->GetGridPointsBetween(), 4);
    EXPECT_EQ(c->GetNumResamples(), 1000);
  }
}

}  // namespace
