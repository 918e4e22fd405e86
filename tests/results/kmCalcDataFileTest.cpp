// Tests of kmCalcData's record in the results file: golden bytes, round
// trips, the version gates of older files, and refusal of damaged counts
// and of files that end inside a record.
#include <gtest/gtest.h>
#include <newmat.h>

#include <string>

#include "foundation/KmIO_File.h"
#include "results/kmCalcData.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/ResultsFileFixture.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::CatchKmException;

const char* const kCorrupt =
    "This KMO is either corrupt or not compatible with this version of "
    "Kinkmark.  ";

std::string Written(const kmCalcData& data, const km_test::ScratchDir& dir) {
  const std::string path = dir.File("calcdata.bin");
  {
    KmIO_File file(path.c_str(), 11);
    data.Write(&file);
  }
  return km_test::ReadAll(path);
}

// Reads bytes into data; returns how many bytes the read consumed.
int32_t ReadInto(kmCalcData& data, const std::string& bytes, double dFile,
                 double dSession, const km_test::ScratchDir& dir) {
  const std::string path = dir.File("calcdata_in.bin");
  km_test::WriteAll(path, bytes);
  KmIO_File file(path.c_str(), 1);
  data.Read(&file, dFile, dSession);
  return file.Tell();
}

// The bytes kmTable writes for a new record: 20 zero statistics, 4 zero
// counts, four empty lists, two 0 x 0 matrices, no AAPCs, MADWD pass true,
// spare flag false.
BlockBuilder& NewTableBytes(BlockBuilder& b) {
  b.Short(20);
  for (int i = 0; i < 20; ++i) b.Double(0.0);
  b.Short(4).Short(0).Short(0).Short(0).Short(0);
  b.Short(0).Short(0).Short(0).Short(0);
  b.Int(0).Int(0).Int(0).Int(0);
  return b.Short(0).Bool(true).Bool(false);
}

BlockBuilder& FTestBytes(BlockBuilder& b, const kmFTest& t) {
  return b.Bool(t.bSecondStat)
      .Double(t.dAlpha)
      .Double(t.dF)
      .Double(t.dSecondF)
      .Double(t.dPValue)
      .Double(t.dSecondPValue)
      .Double(t.dPermPValue)
      .Int(t.lDenominatorDF)
      .Int(t.lNumeratorDF)
      .Int(t.lSecondNumeratorDF)
      .Int(t.lNumPermutations)
      .Short(static_cast<int16_t>(t.uAltKinkmarks))
      .Short(static_cast<int16_t>(t.uNullKinkmarks));
}

kmFTest SomeTest() {
  kmFTest test(0, 1);
  test.dAlpha = 0.05;
  test.dF = 6.5;
  test.dPermPValue = 0.125;
  test.lDenominatorDF = 16;
  test.lNumeratorDF = 2;
  test.lNumPermutations = 4500;
  return test;
}

// A record with every stored field away from its default.
kmCalcData FilledRecord() {
  kmCalcData data;
  data.uFinalSelectedModel = 1;
  data.dAutocorrelation = 0.375;
  data.vModels.resize(2);
  data.vModels[1].SetBIC(-3.25);
  data.vModels[1].SetNObs(21);
  data.vModels[1].AddKinkmark(2001.0, 1999.0, 2003.0, true);
  NEWMAT::Matrix mData(2, 3);
  mData << 2000 << 1.5 << 1.25 << 2001 << 2.5 << 2.75;
  data.vModels[1].SetData(mData);
  data.vFTests.push_back(SomeTest());
  data.bComparison = true;
  data.bValid = false;
  data.SetCohortBadDescription("Too few");
  data.SetCohortLabel(KmVector<KmString>{"M", "W"});
  data.bJumpModel = true;
  data.bComparabilityRatio = true;
  data.bCohortData = true;
  data.lSelectionCriterion = 3;
  data.uBICSelectedModel = 0;
  data.uBIC3SelectedModel = 1;
  data.dSelectionValues[0] = 1.5;
  data.dSelectionValues[1] = 2.5;
  data.dSelectionValues[2] = 10.0;
  data.dSelectionValues[3] = 200.0;
  data.vVarCovRows = {KmVector<double>{1.0, 0.5}, KmVector<double>{0.5, 2.0}};
  data.bMADWD = true;
  data.dMADWDPsi = 0.75;
  data.vMADWDValues = {KmVector<double>{1, 2, 3, 4, 5, 6},
                       KmVector<double>{7, 8, 9, 10, 11, 12}};
  return data;
}

using km_test::ExpectSameRecord;

TEST(kmCalcDataFile, NewRecordWritesItsDefaults) {
  km_test::ScratchDir dir;
  const std::string bytes = Written(kmCalcData(), dir);
  BlockBuilder expected;
  // clang-format off
  expected.Short(-1)                   // final selected model 65535
      .Double(0.0)                     // autocorrelation
      .Short(0)                        // models
      .Short(0)                        // F tests
      .Bool(false).Bool(true)          // comparison, valid
      .String("")                      // bad description
      .Short(0)                        // labels
      .Bool(false).Bool(false).Bool(false)  // jump, CR, cohort data
      .Int(-1).Short(-1).Short(-1)     // criterion, BIC and BIC3 models
      .Double(0.0).Double(0.0).Double(0.0).Double(0.0)  // selection values
      .Short(0)                        // var-cov rows
      .Bool(false).Double(0.0)         // MADWD flag and psi
      .Short(0).Short(0);              // MADWD rows and row length
  // clang-format on
  EXPECT_EQ(bytes, expected.Bytes());
  EXPECT_EQ(bytes.size(), 2u + 8 + 2 + 2 + 2 + 1 + 2 + 3 + 8 + 32 + 2 + 9 + 4);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xff\xff", 2));

  kmCalcData read;
  read.SetCohortLabel(KmVector<KmString>{"stale"});
  read.vMADWDValues = {KmVector<double>{1.0}};
  EXPECT_EQ(ReadInto(read, bytes, 4.9, 4.9, dir),
            static_cast<int32_t>(bytes.size()));
  // The description is applied through SetCohortBadDescription, which
  // builds the display form even for an empty description.
  kmCalcData expectedRead;
  expectedRead.SetCohortBadDescription("");
  ExpectSameRecord(read, expectedRead);
  EXPECT_EQ(read.sBadDescriptionDisplay, "** ");
}

TEST(kmCalcDataFile, FilledRecordWritesEveryFieldInOrder) {
  km_test::ScratchDir dir;
  kmCalcData data = FilledRecord();
  data.vModels.resize(1);  // one new table keeps the bytes hand-countable
  BlockBuilder expected;
  // clang-format off
  expected.Short(1).Double(0.375).Short(1);  // final model, autocorr, models
  NewTableBytes(expected).Short(1);          // the table, then one F test
  FTestBytes(expected, SomeTest())
      .Bool(true).Bool(false)                // comparison, valid
      .String("Too few")
      .Short(2).String("M").String("W")      // cohort label
      .Bool(true).Bool(true).Bool(true)      // jump, CR, cohort data
      .Int(3).Short(0).Short(1)              // criterion, BIC and BIC3 models
      .Double(1.5).Double(2.5).Double(10.0).Double(200.0)
      .Short(2).Double(1.0).Double(0.5).Double(0.5).Double(2.0)  // var-cov
      .Bool(true).Double(0.75)               // MADWD flag and psi
      .Short(2).Short(6);                    // MADWD rows and row length
  // clang-format on
  for (int v = 1; v <= 12; ++v) expected.Double(v);
  EXPECT_EQ(Written(data, dir), expected.Bytes());
}

TEST(kmCalcDataFile, RoundTripRestoresEveryStoredField) {
  km_test::ScratchDir dir;
  const kmCalcData original = FilledRecord();
  const std::string bytes = Written(original, dir);
  kmCalcData read;
  EXPECT_EQ(ReadInto(read, bytes, 4.9, 4.9, dir),
            static_cast<int32_t>(bytes.size()));
  ExpectSameRecord(read, original);
  // The weighting matrix and its flag are not stored.
  EXPECT_FALSE(read.bVarCovMatrix);
  EXPECT_EQ(read.GetWeightingMatrix(), nullptr);
}

TEST(kmCalcDataFile, OlderFilesLackTheirLaterFields) {
  struct Case {
    const char* sName;
    double dFile, dSession;
    bool bAutocorr, bFlags, bJump, bCohortData, bSelection, bVarCov, bMADWD;
  };
  const Case kCases[] = {
      {"3.3 file", 3.3, 3.3, false, false, false, false, false, false, false},
      {"3.42 file of a 3.43 session", 3.42, 3.43, true, true, false, false,
       false, false, false},
      {"3.41 file of a 3.43 session", 3.41, 3.43, false, true, false, false,
       false, false, false},
      {"4.9 file of a 3.5 session", 4.9, 3.5, false, true, true, true, true,
       true, true},
      {"4.321 file", 4.321, 4.321, true, true, true, false, false, false,
       false},
      {"4.402 file", 4.402, 4.402, true, true, true, true, false, false, false},
      {"4.6 file", 4.6, 4.6, true, true, true, true, true, false, false},
      {"4.702 file", 4.702, 4.702, true, true, true, true, true, false, true},
      {"4.801 file", 4.801, 4.801, true, true, true, true, true, false, true},
      {"4.802 file", 4.802, 4.802, true, true, true, true, true, true, true},
  };
  km_test::ScratchDir dir;
  const kmCalcData filled = FilledRecord();
  const kmCalcData fresh;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    // The bytes the file of that version holds, fields in stored order.
    BlockBuilder b;
    b.Short(1);
    if (c.bAutocorr) b.Double(0.375);
    b.Short(0).Short(1);
    FTestBytes(b, SomeTest());
    if (c.bFlags) {
      b.Bool(true).Bool(false).String("Too few");
      b.Short(2).String("M").String("W");
    }
    if (c.bJump) b.Bool(true).Bool(true);
    if (c.bCohortData) b.Bool(true);
    if (c.bSelection) {
      b.Int(3).Short(0).Short(1);
      b.Double(1.5).Double(2.5).Double(10.0).Double(200.0);
    }
    if (c.bVarCov) b.Short(2).Double(1.0).Double(0.5).Double(0.5).Double(2.0);
    if (c.bMADWD) {
      b.Bool(true).Double(0.75).Short(2).Short(6);
      for (int v = 1; v <= 12; ++v) b.Double(v);
    }
    kmCalcData read;
    EXPECT_EQ(ReadInto(read, b.Bytes(), c.dFile, c.dSession, dir),
              static_cast<int32_t>(b.Bytes().size()));
    const kmCalcData& flags = c.bFlags ? filled : fresh;
    const kmCalcData& jump = c.bJump ? filled : fresh;
    const kmCalcData& selection = c.bSelection ? filled : fresh;
    const kmCalcData& madwd = c.bMADWD ? filled : fresh;
    EXPECT_EQ(read.uFinalSelectedModel, 1);
    EXPECT_EQ(read.dAutocorrelation, c.bAutocorr ? 0.375 : 0.0);
    EXPECT_EQ(read.vModels.size(), 0u);
    EXPECT_EQ(read.vFTests.size(), 1u);
    EXPECT_EQ(read.bComparison, flags.bComparison);
    EXPECT_EQ(read.bValid, flags.bValid);
    EXPECT_EQ(read.sBadDescriptionDisplay, flags.sBadDescriptionDisplay);
    EXPECT_EQ(read.vCohortLabel, flags.vCohortLabel);
    EXPECT_EQ(read.bJumpModel, jump.bJumpModel);
    EXPECT_EQ(read.bComparabilityRatio, jump.bComparabilityRatio);
    EXPECT_EQ(read.bCohortData, c.bCohortData);
    EXPECT_EQ(read.lSelectionCriterion, selection.lSelectionCriterion);
    EXPECT_EQ(read.uBIC3SelectedModel, selection.uBIC3SelectedModel);
    EXPECT_EQ(read.dSelectionValues[3], selection.dSelectionValues[3]);
    EXPECT_EQ(read.vVarCovRows,
              c.bVarCov ? filled.vVarCovRows : fresh.vVarCovRows);
    EXPECT_EQ(read.bMADWD, madwd.bMADWD);
    EXPECT_EQ(read.dMADWDPsi, madwd.dMADWDPsi);
    EXPECT_EQ(read.vMADWDValues, madwd.vMADWDValues);
  }
}

TEST(kmCalcDataFile, MADWDBlockWithAnEmptyDimensionHoldsNoValues) {
  km_test::ScratchDir dir;
  kmCalcData data;
  data.vMADWDValues = {KmVector<double>(), KmVector<double>()};
  const std::string bytes = Written(data, dir);
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string("\x02\0\0\0", 4));
  kmCalcData read;
  EXPECT_EQ(ReadInto(read, bytes, 4.9, 4.9, dir),
            static_cast<int32_t>(bytes.size()));
  EXPECT_TRUE(read.vMADWDValues.empty());
}

// Offsets of the counts in the bytes of a new record.
constexpr size_t kModelsAt = 10;
constexpr size_t kTestsAt = 12;
constexpr size_t kLabelsAt = 17;
constexpr size_t kVarCovAt = 62;
constexpr size_t kMADWDRowsAt = 73;
constexpr size_t kMADWDLengthAt = 75;

std::string WithShortAt(std::string bytes, size_t at, int16_t value) {
  bytes.at(at) = static_cast<char>(value & 0xff);
  bytes.at(at + 1) = static_cast<char>((value >> 8) & 0xff);
  return bytes;
}

TEST(kmCalcDataFile, DamagedCountsAreRefused) {
  km_test::ScratchDir dir;
  const std::string fresh = Written(kmCalcData(), dir);
  ASSERT_EQ(fresh.size(), kMADWDLengthAt + 2);
  const std::string sCorrupt = std::string(kCorrupt) + "The KMO read process ";
  const struct {
    const char* sName;
    size_t at;
    int16_t value;
    std::string sMessage;  // empty: any refusal
  } kCases[] = {
      {"negative models", kModelsAt, -1,
       std::string(kCorrupt) +
           "The KMO read process found a negative count (-1) of models."},
      {"negative F tests", kTestsAt, -2,
       std::string(kCorrupt) +
           "The KMO read process found a negative count (-2) of F tests."},
      {"negative labels", kLabelsAt, -3,
       std::string(kCorrupt) +
           "The KMO read process found a negative count (-3) of cohort "
           "labels."},
      {"negative var-cov rows", kVarCovAt, -32768,
       std::string(kCorrupt) +
           "The KMO read process found a negative count (-32768) of "
           "variance-covariance rows."},
      {"negative MADWD rows", kMADWDRowsAt, -1,
       std::string(kCorrupt) +
           "The KMO read process found a negative count (-1) of MADWD rows."},
      {"negative MADWD length", kMADWDLengthAt, -1,
       std::string(kCorrupt) +
           "The KMO read process found a negative count (-1) of MADWD values "
           "per row."},
      // The largest counts would need gigabytes if allocated up front.
      {"huge var-cov block", kVarCovAt, 32767,
       sCorrupt + "found a count of 32767 variance-covariance rows, more "
                  "than the rest of the file can hold."},
      {"huge model count", kModelsAt, 32767, ""},
      {"huge F-test count", kTestsAt, 32767,
       sCorrupt + "found a count of 32767 F tests, more than the rest of "
                  "the file can hold."},
      {"huge label count", kLabelsAt, 32767,
       sCorrupt + "found a count of 32767 cohort labels, more than the rest "
                  "of the file can hold."},
      // Fault: a byte shifted into a flag or a number of kinkmarks was
      // taken as a value (a damaged record read back as valid); each is now
      // checked against its range.
      {"comparison flag of 2", 14, 2,
       sCorrupt + "found the comparison flag of 2, outside 0 to 1."},
      {"valid flag of 84", 15, 84,
       sCorrupt + "found the valid flag of 84, outside 0 to 1."},
      {"MADWD flag of 255", 64, 255,
       sCorrupt + "found the MADWD flag of 255, outside 0 to 1."},
      {"final model of 10 kinkmarks", 0, 10,
       sCorrupt + "found the final selected model of 10, outside 0 to 9."},
      {"BIC3 model of 65534 kinkmarks", 28, -2,
       sCorrupt + "found the BIC3-selected model of 65534, outside 0 to 9."},
  };
  const kmCalcData before = FilledRecord();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmCalcData read = before;
    KmException e = CatchKmException([&] {
      ReadInto(read, WithShortAt(fresh, c.at, c.value), 4.9, 4.9, dir);
    });
    if (!c.sMessage.empty()) {
      EXPECT_EQ(std::string(e.GetMessage()), c.sMessage);
    } else {
      EXPECT_NE(std::string(e.GetMessage()), "");
    }
    EXPECT_NE(std::string(e.GetCallPath()).find("Read() of kmCalcData"),
              std::string::npos);
    // A refused read leaves the record as it was.
    ExpectSameRecord(read, before);
  }
}

TEST(kmCalcDataFile, HugeMADWDBlockInAShortFileIsRefused) {
  km_test::ScratchDir dir;
  std::string bytes = Written(kmCalcData(), dir);
  bytes = WithShortAt(WithShortAt(bytes, kMADWDRowsAt, 32767), kMADWDLengthAt,
                      32767);
  kmCalcData read;
  KmException e =
      CatchKmException([&] { ReadInto(read, bytes, 4.9, 4.9, dir); });
  EXPECT_EQ(std::string(e.GetMessage()),
            std::string(kCorrupt) +
                "The KMO read process found a count of 32767 MADWD rows, more "
                "than the rest of the file can hold.");
}

TEST(kmCalcDataFile, EveryTruncationIsRefused) {
  // Reading past the end used to hand back zeros as results.
  km_test::ScratchDir dir;
  const std::string bytes = Written(FilledRecord(), dir);
  for (size_t n = 0; n < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    kmCalcData read;
    KmException e = CatchKmException(
        [&] { ReadInto(read, bytes.substr(0, n), 4.9, 4.9, dir); });
    EXPECT_NE(std::string(e.GetMessage()), "");
    EXPECT_EQ(read.vModels.size(), 0u);
  }
}

TEST(kmCalcDataFile, RecordsTheReaderCouldNotRestoreAreNotWritten) {
  // Unequal MADWD rows or non-square var-cov rows used to be written as a
  // record whose reader lands in the middle of the next field.
  km_test::ScratchDir dir;
  kmCalcData uneven;
  uneven.vMADWDValues = {KmVector<double>{1, 2, 3, 4, 5, 6},
                         KmVector<double>{1, 2}};
  kmCalcData notSquare;
  notSquare.vVarCovRows = {KmVector<double>{1.0, 0.0, 0.0}};
  kmCalcData tooManyLabels;
  tooManyLabels.vCohortLabel.resize(32768);
  const struct {
    const char* sName;
    const kmCalcData* pData;
    const char* sMessage;
  } kCases[] = {
      {"uneven MADWD rows", &uneven,
       "Cannot store the MADWD values: row 2 holds 2 values where 6 are "
       "expected."},
      {"non-square var-cov", &notSquare,
       "Cannot store the variance-covariance matrix: row 1 holds 3 values "
       "where 1 are expected."},
      {"too many labels", &tooManyLabels,
       "Cannot store 32768 cohort labels in the results file (at most "
       "32767)."},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    std::string written = "not reached";
    KmException e = CatchKmException([&] { written = Written(*c.pData, dir); });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_STREQ(e.GetCallPath(), "Write() of kmCalcData");
  }
  // Nothing of a refused record reaches the file.
  const std::string path = dir.File("refused.bin");
  {
    KmIO_File file(path.c_str(), 11);
    EXPECT_THROW(uneven.Write(&file), KmException);
  }
  EXPECT_EQ(km_test::ReadAll(path), "");
}

TEST(kmCalcDataFile, NullFileIsRefused) {
  kmCalcData data;
  for (bool bWrite : {true, false}) {
    KmException e = CatchKmException([&] {
      if (bWrite) {
        data.Write(nullptr);
      } else {
        data.Read(nullptr, 4.9, 4.9);
      }
    });
    EXPECT_STREQ(e.GetMessage(), "Invalid KmIO_File.");
    EXPECT_STREQ(e.GetSource(), "kmCalcData");
  }
}

}  // namespace
