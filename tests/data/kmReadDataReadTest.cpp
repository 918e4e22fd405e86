// Tests of kmReadData's per-cohort reads for a fit: ReadData on its computing
// and as-given paths, the comparability ratio applied while reading, and the
// re-read of the comparison pass.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "tests/data/PrereadFixtures.h"
#include "tests/data/ReaderFixtures.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using reader_test::MakeRateSession;
using reader_test::Num;
using reader_test::ReaderRun;

// Crude rates from the fixture file, plain and compressed alike: rows per
// cohort, the blank line between cohorts read with the second cohort.
TEST(kmReadDataReadData, ComputesCrudeRatesPerCohortInFileOrder) {
  for (const char* sName : {"reader/crude.csv", "reader/crude.csv.gz"}) {
    SCOPED_TRACE(sName);
    auto pSession = MakeRateSession(km_test::DataPath(sName));
    pSession->SetBool(kmOptVarNamesIncluded, true);
    pSession->SetBool(kmOptDependentCalculated, true);
    pSession->SetInt(kmOptDependentType, 1);
    ReaderRun run(std::move(pSession));

    int iCopy = -1;
    run.reader.ReadData(&iCopy);
    EXPECT_EQ(iCopy, 0);
    kmCohortRows rows = run.reader.GetCohortRows();
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_EQ(rows[0].size(), 6u);
    EXPECT_EQ(rows[0][1], "2000");
    // 10 / 1000 per 100000 (kmOptRatesPerN left at 0).
    EXPECT_EQ(rows[0][4], "     1000.0000000000");
    EXPECT_TRUE(
        km_test::RelNear(Num(rows[0][5]), std::sqrt(10.0) / 1000 * 1e5, 1e-10));

    run.reader.ReadData(&iCopy);
    EXPECT_EQ(iCopy, 1);
    rows = run.reader.GetCohortRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "2");
    EXPECT_EQ(Num(rows[0][4]), 0.0);  // a zero count is a zero rate
    EXPECT_EQ(rows[2][1], "2002");
  }
}

TEST(kmReadDataReadData, RateTypesAndInvalidRecords) {
  struct Case {
    const char* sName;
    int iType;
    bool bLogLinear;
    const char* sRecord;  // Sex,Year,Count,Pop
    double dRate, dSE;    // -1e30: both invalid
  };
  const double kN = 1e5;
  const Case kCases[] = {
      {"log-linear zero count", 1, true, "1,2000,0,400", 0.5 / 400 * kN,
       std::sqrt(0.5) / 400 * kN},
      {"percent", 3, false, "1,2000,3,12", 25.0,
       100 * std::sqrt(0.25 * 0.75 / 12)},
      {"proportion", 2, false, "1,2000,3,12", 0.25,
       std::sqrt(0.25 * 0.75 / 12)},
      {"proportion above one", 2, false, "1,2000,12,10", -1e30, -1e30},
      {"proportion of one", 2, false, "1,2000,10,10", 1.0, 0.0},
      {"percent of 100", 3, false, "1,2000,10,10", 100.0, 0.0},
      {"zero population", 1, false, "1,2000,3,0", -1e30, -1e30},
      {"missing count", 1, false, "1,2000,.,10", -1e30, -1e30},
      {"text population", 1, false, "1,2000,3,ten", -1e30, -1e30},
      // A negative count used to give a NaN standard error.
      {"negative count", 1, false, "1,2000,-3,10", -1e30, -1e30},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string sText = std::string("1,1999,5,100\n") + c.sRecord + "\n";
    auto pSession = MakeRateSession(
        preread_test::WriteDataFile(dir, "types", sText, false));
    pSession->SetBool(kmOptDependentCalculated, true);
    pSession->SetInt(kmOptDependentType, c.iType);
    pSession->SetBool(kmOptLogLinear, c.bLogLinear);
    ReaderRun run(std::move(pSession));
    int iCopy = -1;
    run.reader.ReadData(&iCopy);
    const kmCohortRows rows = run.reader.GetCohortRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(km_test::RelNear(Num(rows[1][4]), c.dRate, 1e-9));
    EXPECT_TRUE(km_test::RelNear(Num(rows[1][5]), c.dSE, 1e-9));
  }
}

TEST(kmReadDataReadData, ShortRecordDoesNotBorrowThePreviousRecordsFields) {
  // Fault: one working row served every record, so a record without its
  // population field took the previous record's population and got a rate.
  km_test::ScratchDir dir;
  auto pSession = MakeRateSession(preread_test::WriteDataFile(
      dir, "short", "1,2000,5,100\n1,2001,7\n", false));
  pSession->SetBool(kmOptDependentCalculated, true);
  pSession->SetInt(kmOptDependentType, 1);
  ReaderRun run(std::move(pSession));
  int iCopy = -1;
  run.reader.ReadData(&iCopy);
  const kmCohortRows rows = run.reader.GetCohortRows();
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[1].size(), 6u);
  EXPECT_EQ(rows[1][3], ".");
  EXPECT_EQ(Num(rows[1][4]), -1e30);
  EXPECT_EQ(Num(rows[1][5]), -1e30);
}

// Comparability-ratio copies (kmOptJumpCRMode 2): records at or before the
// jump location are adjusted, later ones keep their texts, and a copy that
// verification refused is read unadjusted.
TEST(kmReadDataReadData, ComparabilityRatioAdjustsRecordsUpToTheJump) {
  km_test::ScratchDir dir;
  // Cohort 1: rate and SE given. Cohort 2 has a missing rate, so
  // verification refuses it.
  const std::string sText =
      "1,2000,0,0,100,10\n1,2001,0,0,100,10\n1,2002,0,0,100,10\n"
      "2,2000,0,0,.,10\n2,2001,0,0,100,10\n";
  for (double dVariance : {0.0, 0.01}) {
    SCOPED_TRACE(dVariance);
    auto pSession =
        MakeRateSession(preread_test::WriteDataFile(dir, "cr", sText, false));
    pSession->SetInt(kmOptHetErrorModel, 2);
    pSession->SetInt(kmOptJumpCRMode, 2);
    pSession->SetDouble(kmOptJumpLocation, 2001.0);
    pSession->SetDouble(kmOptCRValue, 0.9);
    pSession->SetDouble(kmOptCRVariance, dVariance);
    ReaderRun run(std::move(pSession));
    ASSERT_TRUE(run.reader.GetCohortGoodFlag(0));
    ASSERT_FALSE(run.reader.GetCohortGoodFlag(1));

    int iCopy = -1;
    run.reader.ReadData(&iCopy);
    kmCohortRows rows = run.reader.GetCohortRows();
    ASSERT_EQ(rows.size(), 3u);
    const double dSE =
        std::sqrt(0.81 * 100 + dVariance * 100 + dVariance * 100 * 100);
    for (int r = 0; r < 2; ++r) {
      EXPECT_TRUE(km_test::RelNear(Num(rows[r][4]), 90.0, 1e-12));
      EXPECT_TRUE(km_test::RelNear(Num(rows[r][5]), dSE, 1e-9));
    }
    EXPECT_EQ(rows[2][4], "100");
    EXPECT_EQ(rows[2][5], "10");

    run.reader.ReadData(&iCopy);
    rows = run.reader.GetCohortRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][4], "100");
  }
}

// With a format on the independent variable, the jump location is compared
// with the label of each record's code.
TEST(kmReadDataReadData, ComparabilityRatioReadsIndependentLabels) {
  KmFormat years;
  years.SetDataType('S');
  years.AddLine("1", "1999", -1);
  years.AddLine("2", "2000", -1);
  years.AddLine("3", "2001", -1);
  km_test::ScratchDir dir;
  auto pSession = MakeRateSession(preread_test::WriteDataFile(
      dir, "labels", "1,1,0,0,100,10\n1,2,0,0,100,10\n1,3,0,0,100,10\n",
      false));
  pSession->SetVarFormat(1, years);
  pSession->SetInt(kmOptHetErrorModel, 2);
  pSession->SetInt(kmOptJumpCRMode, 2);
  pSession->SetDouble(kmOptJumpLocation, 1999.0);
  pSession->SetDouble(kmOptCRValue, 0.5);
  pSession->SetDouble(kmOptCRVariance, 0.0);
  ReaderRun run(std::move(pSession));
  int iCopy = -1;
  run.reader.ReadData(&iCopy);
  kmCohortRows rows = run.reader.GetCohortRows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(Num(rows[0][4]), 50.0);
  EXPECT_EQ(rows[1][4], "100");
}

// As-given fields: with the missing text " " they keep their blanks;
// otherwise they are trimmed. Plain and compressed files read alike.
TEST(kmReadDataReadData, AsGivenFieldsKeepBlanksOnlyUnderTheBlankMissingText) {
  struct Case {
    int iMissingCode;
    bool bGzip;
    const char* sRate;
    const char* sSE;
  };
  // Fault: a compressed file's last field kept its line break ("1\n"),
  // so the same record read differently from a plain and a gzip file.
  const Case kCases[] = {{0, false, "5.5 ", "1"},
                         {0, true, "5.5 ", "1"},
                         {1, false, "5.5", "1"},
                         {1, true, "5.5", "1"}};
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "missing code " << c.iMissingCode
                                    << (c.bGzip ? " gzip" : " plain"));
    auto pSession = MakeRateSession(preread_test::WriteDataFile(
        dir, "given", "1,2000,0,0,5.5 ,1\n", c.bGzip));
    pSession->SetInt(kmOptMissingCharacter, c.iMissingCode);
    ReaderRun run(std::move(pSession));
    int iCopy = -1;
    run.reader.ReadData(&iCopy);
    const kmCohortRows rows = run.reader.GetCohortRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][4], c.sRate);
    EXPECT_EQ(rows[0][5], c.sSE);
  }
}

TEST(kmReadDataReadData, CompressedBlankLineIsNoRecord) {
  // Fault: a compressed file's blank line kept its line feed, so it was
  // not empty and became a record of one empty field in the cohort that
  // follows it.
  km_test::ScratchDir dir;
  auto pSession = MakeRateSession(preread_test::WriteDataFile(
      dir, "gzblank", "1,2000,0,0,5,1\n\n2,2000,0,0,6,1\n2,2001,0,0,7,1\n",
      true));
  ReaderRun run(std::move(pSession));
  int iCopy = -1;
  run.reader.ReadData(&iCopy);
  run.reader.ReadData(&iCopy);
  const kmCohortRows rows = run.reader.GetCohortRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][4], "6");
}

// Both delay variants: every cohort is read twice from its own position,
// and the comparison pass reads all copies again after ResetDataFile.
TEST(kmReadDataReadData, DelayCopiesAndTheComparisonPassReread) {
  km_test::ScratchDir dir;
  auto pSession = MakeRateSession(preread_test::WriteDataFile(
      dir, "delay",
      "1,2000,0,0,10,1,11,1\n1,2001,0,0,12,1,13,1\n"
      "2,2000,0,0,20,1,21,1\n2,2001,0,0,22,1,23,1\n",
      true));
  pSession->SetInt(kmOptDelayType, 2);
  pSession->AddByVar();
  ReaderRun run(std::move(pSession));
  ASSERT_EQ(run.reader.GetNumByGroups(), 4);

  const char* kFirstRate[] = {"10", "10", "20", "20"};
  for (int iPass = 0; iPass < 2; ++iPass) {
    SCOPED_TRACE(iPass == 0 ? "run" : "comparison pass");
    for (int i = 0; i < 4; ++i) {
      int iCopy = -1;
      run.reader.ReadData(&iCopy);
      EXPECT_EQ(iCopy, i);
      const kmCohortRows rows = run.reader.GetCohortRows();
      ASSERT_EQ(rows.size(), 2u);
      EXPECT_EQ(rows[0][4], kFirstRate[i]);
    }
    run.reader.CloseInputFile();
    run.reader.ResetDataFile();
  }
}

TEST(kmReadDataReadData, CopyAccessOutsideTheVerifiedCopies) {
  km_test::ScratchDir dir;
  ReaderRun run(MakeRateSession(
      preread_test::WriteDataFile(dir, "one", "1,2000,0,0,1,1\n", false)));
  EXPECT_EQ(run.reader.GetIsCohortGoodToUse(-1), "");
  EXPECT_FALSE(run.reader.GetCohortGoodFlag(1));
  int iCopy = -1;
  run.reader.ReadData(&iCopy);
  const KmException e =
      km_test::CatchKmException([&] { run.reader.ReadData(&iCopy); });
  EXPECT_EQ(iCopy, 1);
  EXPECT_NE(std::string(e.GetMessage()).find("Analysis copy 1"),
            std::string::npos);
  EXPECT_NE(std::string(e.GetCallPath()).find("ReadData() of kmReadData"),
            std::string::npos);
}

// Every copy of every cohort reads the same rows and error texts from a
// plain file and from its gzip twin: header line, CRLF line ends, blank
// lines, quoted thousands, missing and empty fields, under each missing
// text, on the computing and the as-given path.
TEST(kmReadDataReadData, PlainAndCompressedFilesReadAlike) {
  // Fault: a compressed file's lines kept "\r\n", so under the missing text
  // " " the last field of each as-given record read "1\r\n" where the
  // plain file gave "1".
  km_test::ScratchDir dir;
  const std::string sBlankLines =
      "Sex,Year,Count,Pop,Rate,SE\r\n  \r\n1,2000,\"1,200\",\"100,000\",5,1\r\n"
      "1,2001,.,1000,5,1\r\n\r\n1,2002,\"13\",\"1,300\",5,1\r\n"
      "2,2000,7,700,5,1\r\n \t \r\n2,2001,8,800,,1\r\n2,2002,9,900,5,\r\n";
  // Under the missing text " " a line of blanks is a record: leave them out.
  const std::string sNoBlankLines =
      "Sex,Year,Count,Pop,Rate,SE\r\n1,2000,\"1,200\",\"100,000\",5,1\r\n"
      "1,2001,.,1000,5,1\r\n\r\n1,2002,\"13\",\"1,300\",5,1\r\n"
      "2,2000,7,700,5,1\r\n2,2001,8,800,,1\r\n2,2002,9,900,5,\r\n";
  for (int iMissing : {0, 1, 2}) {
    for (bool bComputed : {true, false}) {
      SCOPED_TRACE(testing::Message() << "missing code " << iMissing
                                      << (bComputed ? " computed" : " given"));
      std::string sRead[2];
      for (bool bGz : {false, true}) {
        auto pSession = MakeRateSession(preread_test::WriteDataFile(
            dir, bGz ? "twin_gz" : "twin",
            iMissing == 0 ? sNoBlankLines : sBlankLines, bGz));
        pSession->SetBool(kmOptVarNamesIncluded, true);
        pSession->SetInt(kmOptMissingCharacter, iMissing);
        pSession->SetBool(kmOptDependentCalculated, bComputed);
        pSession->SetInt(kmOptDependentType, 1);
        pSession->SetInt(kmOptJumpCRMode, 3);
        pSession->SetDouble(kmOptJumpLocation, 2001.0);
        pSession->SetDouble(kmOptCRValue, 0.9);
        pSession->SetDouble(kmOptCRVariance, 0.0);
        pSession->AddByVarJump();
        ReaderRun run(std::move(pSession));
        ASSERT_EQ(run.reader.GetNumByGroups(), 4);
        for (int i = 0; i < 4; ++i) {
          int iCopy = -1;
          run.reader.ReadData(&iCopy);
          sRead[bGz] += "copy ";
          sRead[bGz] += std::to_string(iCopy) + ": ";
          sRead[bGz] += run.reader.GetIsCohortGoodToUse(iCopy).GetCString();
          for (const kmRecordRow& row : run.reader.GetCohortRows()) {
            sRead[bGz] += "\n";
            for (const KmString& sField : row) {
              sRead[bGz] += "[";
              sRead[bGz] += sField.GetCString();
              sRead[bGz] += "]";
            }
          }
          sRead[bGz] += "\n";
        }
      }
      // The messages name the file each was read from.
      for (size_t i = sRead[1].find("twin_gz.csv.gz"); i != std::string::npos;
           i = sRead[1].find("twin_gz.csv.gz", i)) {
        sRead[1].replace(i, std::strlen("twin_gz.csv.gz"), "twin.csv");
      }
      EXPECT_EQ(sRead[0], sRead[1]);
      EXPECT_EQ(sRead[0].find('\r'), std::string::npos);
    }
  }
}

TEST(kmReadDataReadData, QuotedThousandsReadAsNumbers) {
  // Fault: a count or population written "1,200" in a comma-delimited file
  // kept its quotes, did not read as a number and made the record invalid.
  km_test::ScratchDir dir;
  auto pSession = MakeRateSession(preread_test::WriteDataFile(
      dir, "quoted",
      "1,2000,\"1,200\",\"100,000\"\n1,2001,13,\"1,300\"\n1,2002,14,1400\n",
      false));
  pSession->SetBool(kmOptDependentCalculated, true);
  pSession->SetInt(kmOptDependentType, 1);
  ReaderRun run(std::move(pSession));
  // Verification reads them as numbers too: the cohort may be fitted.
  EXPECT_TRUE(run.reader.GetCohortGoodFlag(0));
  EXPECT_EQ(run.reader.GetIsCohortGoodToUse(0), "");
  int iCopy = -1;
  run.reader.ReadData(&iCopy);
  const kmCohortRows rows = run.reader.GetCohortRows();
  ASSERT_EQ(rows.size(), 3u);
  // The fields lose their quotes, as in the verification's records.
  EXPECT_EQ(rows[0][2], "1200");
  EXPECT_EQ(rows[1][3], "1300");
  // Crude rates and standard errors per 100000 as R gives them:
  // 1200 / 100000 * 1e5 and sqrt(1200) / 100000 * 1e5; 13 / 1300 * 1e5 and
  // sqrt(13) / 1300 * 1e5.
  EXPECT_EQ(rows[0][4], "     1200.0000000000");
  EXPECT_TRUE(km_test::RelNear(Num(rows[0][5]), 34.6410161513775, 1e-12));
  EXPECT_EQ(rows[1][4], "     1000.0000000000");
  EXPECT_TRUE(km_test::RelNear(Num(rows[1][5]), 277.350098112615, 1e-11));
}

TEST(kmReadDataReadData, QuotedGivenValueLosesItsQuotes) {
  // Fault: a given rate written "1,234.5" kept its quotes in the row, which
  // read as 0 once verification had accepted the value.
  km_test::ScratchDir dir;
  for (int iMissing : {0, 1}) {
    SCOPED_TRACE(iMissing);
    auto pSession = MakeRateSession(preread_test::WriteDataFile(
        dir, "qgiven", "1,2000,0,0,\"1,234.5\",\"1,000\"\n", false));
    pSession->SetInt(kmOptMissingCharacter, iMissing);
    ReaderRun run(std::move(pSession));
    int iCopy = -1;
    run.reader.ReadData(&iCopy);
    const kmCohortRows rows = run.reader.GetCohortRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][4], "1234.5");
    EXPECT_EQ(rows[0][5], "1000");
  }
}

TEST(kmReadDataReadData, NegativeRatioVarianceGivesNoNaN) {
  // Fault: a negative variance of the comparability ratio (-1 when unset)
  // made the sum under the adjusted standard error's root negative, and
  // "nan" was written into the row.
  km_test::ScratchDir dir;
  for (bool bComputed : {true, false}) {
    SCOPED_TRACE(bComputed ? "computed" : "given");
    auto pSession = MakeRateSession(preread_test::WriteDataFile(
        dir, "negvar",
        "1,2000,10,1000,100,1\n1,2001,10,1000,100,1\n1,2002,10,1000,100,1\n",
        false));
    pSession->SetBool(kmOptDependentCalculated, bComputed);
    pSession->SetInt(kmOptDependentType, 1);
    pSession->SetInt(kmOptHetErrorModel, 2);
    pSession->SetInt(kmOptJumpCRMode, 2);
    pSession->SetDouble(kmOptJumpLocation, 2000.0);
    pSession->SetDouble(kmOptCRValue, 0.9);
    pSession->SetDouble(kmOptCRVariance, -1.0);
    ReaderRun run(std::move(pSession));
    ASSERT_TRUE(run.reader.GetCohortGoodFlag(0));
    int iCopy = -1;
    run.reader.ReadData(&iCopy);
    const kmCohortRows rows = run.reader.GetCohortRows();
    ASSERT_EQ(rows.size(), 3u);
    const size_t uSE = rows[0].size() - 1;
    EXPECT_FALSE(std::isnan(Num(rows[0][uSE])));
    if (bComputed) {
      EXPECT_EQ(Num(rows[0][uSE]), -1e30);
      EXPECT_EQ(Num(rows[0][uSE - 1]), -1e30);
    } else {
      EXPECT_EQ(rows[0][uSE], ".");
    }
    EXPECT_EQ(rows[1][uSE], bComputed ? "      316.2277660168" : "1");
  }
}

}  // namespace
