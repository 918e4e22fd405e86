// Tests of kmReadData::LoadVarianceCovarianceMatrix: delimiters, blank
// lines, header row and label column, non-numbers, gzip input and a
// missing file.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "data/kmReadData.h"
#include "foundation/KmException.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/data/PrereadFixtures.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

typedef std::vector<std::vector<double>> Table;

// Loads sFile through a reader whose session asks for a matrix (error model
// 5) with the given delimiter code and drop flags; with bParseOnly the table
// is read as it stands, without the reader's setup that refuses what is no
// covariance matrix.
Table Load(const std::string& sFile, int iDelimiter, bool bDropRow,
           bool bDropColumn, bool bParseOnly = false) {
  kmSession session;
  session.SetInt(kmOptHetErrorModel, bParseOnly ? 0 : 5);
  session.SetString(kmStrVarCovarFile, sFile.c_str());
  session.SetInt(kmOptVarCovarDelimiter, iDelimiter);
  session.SetBool(kmOptVarCovarFlagA, bDropRow);
  session.SetBool(kmOptVarCovarFlagB, bDropColumn);
  kmCalcHandler handler(&session);
  kmReadData reader(&session, &handler);
  if (bParseOnly) reader.LoadVarianceCovarianceMatrix();
  Table table;
  for (const KmVector<double>& row : reader.GetVarCovTable()) {
    table.push_back(std::vector<double>(row.begin(), row.end()));
  }
  return table;
}

TEST(ReadDataVarCovTest, LoadsFixtures) {
  const Table kLabelled = {{1.0, 0.5, 0.25}, {0.5, 0.0, 0.5}, {0.25, 0.5, 1.5}};
  struct Case {
    const char* sFile;
    int iDelimiter;
    bool bDropRow;
    bool bDropColumn;
    Table expected;
  };
  const Case cases[] = {
      // Header of years and a year column, blank lines around the rows;
      // plain and compressed alike.
      {"verify/varcov_labelled.csv", 2, true, true, kLabelled},
      {"verify/varcov_labelled.csv.gz", 2, true, true, kLabelled},
      {"verify/varcov_labelled.csv",
       2,
       true,
       false,
       {{2000.0, 1.0, 0.5, 0.25},
        {2001.0, 0.5, 0.0, 0.5},
        {2002.0, 0.25, 0.5, 1.5}}},
      // Tab-delimited, last line without a line feed.
      {"verify/varcov_tab.txt", 0, false, false, {{4.0, 1.0}, {1.0, 9.0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sFile) + " delimiter " +
                 std::to_string(c.iDelimiter));
    EXPECT_EQ(c.expected, Load(km_test::DataPath(c.sFile), c.iDelimiter,
                               c.bDropRow, c.bDropColumn, true));
  }
}

TEST(ReadDataVarCovTest, WhatIsNoCovarianceIsRefused) {
  // Fault: unreadable fields became 0.0 without a word, and a matrix that is
  // not positive definite became weights that dropped observations. Text
  // may stand in a dropped header row or label column; the row is the line.
  const struct {
    const char* sText;
    int iDelimiter;
    bool bDropRow, bDropColumn;
    const char* sMessage;  // after the file name
  } cases[] = {
      {"1;2.5\n-3;x\n", 3, false, false, " holds \"x\" at row 2, column 2"},
      {"\n1,0.5\n0.5,NA\n", 2, false, false,
       " holds \"NA\" at row 3, column 2"},
      {"1\t\t2\n", 0, false, false, " holds \"\" at row 1, column 2"},
      // Fault: a hexadecimal number was read as its value.
      {"1,0\n0,0x1p0\n", 2, false, false,
       " holds \"0x1p0\" at row 2, column 2"},
      {"Y,2000\n2000,x\n", 2, true, true, " holds \"x\" at row 2, column 2"},
      {"x,Year\n2000,1\n", 2, false, true,
       " holds \"Year\" at row 1, column 2"},
      {"1,0\n0,-1\n", 2, false, false,
       " is not positive definite: the variance of observation 2 is -1"},
      {"1,2\n0,1\n", 2, false, false, " is not positive definite."},
      // Fault: a matrix of ones (rank 1) made up a perfect fit, and a zero
      // variance gave its observation weight 0, both without a word; a
      // matrix of another shape stopped the run without naming the file.
      {"1,1,1\n1,1,1\n1,1,1\n", 2, false, false,
       " is not positive definite: it is singular (rank 1 of 3)"},
      // One observation given twice: rank n - 1.
      {"2,1,1\n1,2,2\n1,2,2\n", 2, false, false,
       " is not positive definite: it is singular (rank 2 of 3)"},
      {"1,0,0\n0,0,0\n0,0,1\n", 2, false, false,
       " is not positive definite: the variance of observation 2 is 0, not "
       "above 0."},
      {"1,0\n0,1,0\n", 2, false, false,
       " is not square: row 2 holds 3 values, not 2."},
  };
  km_test::ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sText);
    const std::string sFile = dir.File("m.csv");
    km_test::WriteAll(sFile, c.sText);
    const KmException e = km_test::CatchKmException(
        [&] { Load(sFile, c.iDelimiter, c.bDropRow, c.bDropColumn); });
    const std::string sMessage = e.GetMessage();
    EXPECT_EQ(0u, sMessage.find("The variance-covariance matrix file \"" +
                                sFile + "\"" + c.sMessage))
        << sMessage;
    EXPECT_EQ(3, e.GetKind());
  }
}

TEST(ReadDataVarCovTest, AlignedBlankColumnsAreOneSeparator) {
  // Fault: with the blank delimiter every extra blank of an aligned layout
  // became an empty field read as 0.0, so rows gained spurious zeros.
  // Carriage returns and trailing blanks are layout too.
  const Table expected = {{1.0, 0.5, 0.25}, {0.5, 2.0, 0.5}, {0.25, 0.5, 3.0}};
  EXPECT_EQ(expected, Load(km_test::DataPath("verify/varcov_aligned.txt"), 1,
                           false, false));
}

TEST(ReadDataVarCovTest, BlankBeforeDelimiterKeepsTheNumber) {
  // Fault: "1.5 ,2.5" read the first field as 0.0 because the blank before
  // the comma stopped the whole-text conversion.
  km_test::ScratchDir dir;
  const std::string sFile = dir.File("m.csv");
  km_test::WriteAll(sFile, "1.5 ,0.5\n0.5 , 4\n");
  EXPECT_EQ((Table{{1.5, 0.5}, {0.5, 4.0}}), Load(sFile, 2, false, false));
}

TEST(ReadDataVarCovTest, LongCompressedRowStaysOneRow) {
  // Fault: a compressed line longer than one 8191-byte read came back in
  // pieces, each piece becoming a row of its own.
  km_test::ScratchDir dir;
  const std::string sFile = dir.File("wide.csv.gz");
  const int nColumns = 3000;  // about 15,000 characters per row
  std::string sRow;
  for (int i = 0; i < nColumns; ++i) {
    if (i > 0) sRow += ",";
    sRow += "0.125";
  }
  gzFile out = gzopen(sFile.c_str(), "wb");
  ASSERT_NE(nullptr, out);
  const std::string sText = sRow + "\n" + sRow + "\n";
  gzwrite(out, sText.data(), static_cast<unsigned>(sText.size()));
  gzclose(out);

  const Table table = Load(sFile, 2, false, false, true);
  ASSERT_EQ(2u, table.size());
  EXPECT_EQ(std::vector<double>(nColumns, 0.125), table[0]);
  EXPECT_EQ(std::vector<double>(nColumns, 0.125), table[1]);
}

TEST(ReadDataVarCovTest, DelimiterCodes) {
  struct Case {
    int iDelimiter;
    const char* sText;
    Table expected;
  };
  const Case cases[] = {
      {3, "1;0.5\n-3;4\n", {{1.0, 0.5}, {-3.0, 4.0}}},
      // A line of blanks and a tab is skipped.
      {0, "1\t2\n  \t \n3\t4\n", {{1.0, 2.0}, {3.0, 4.0}}},
      // Codes other than 0, 2 and 3 split at blanks.
      {1, "1 2.5\n", {{1.0, 2.5}}},
      {9, "  7 8\n", {{7.0, 8.0}}},
      {2, "1,1\n1,1\n", {{1.0, 1.0}, {1.0, 1.0}}},
      {2, "1,0.5\n9,1\n", {{1.0, 0.5}, {9.0, 1.0}}},
  };
  km_test::ScratchDir dir;
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("delimiter " + std::to_string(c.iDelimiter) + " text " +
                 c.sText);
    const std::string sFile = dir.File("d" + std::to_string(i++) + ".txt");
    km_test::WriteAll(sFile, c.sText);
    EXPECT_EQ(c.expected, Load(sFile, c.iDelimiter, false, false, true));
  }
}

TEST(ReadDataVarCovTest, SmallTablesWithHeaderDropped) {
  km_test::ScratchDir dir;
  const std::string sFile = dir.File("one.csv");
  km_test::WriteAll(sFile, "1,2\n");
  EXPECT_TRUE(Load(sFile, 2, true, false).empty());
  EXPECT_EQ((Table{{2.0}}), Load(sFile, 2, false, true));
}

TEST(ReadDataVarCovTest, LineWithNulByteIsRefusedInPlainAndGzipFiles) {
  // Fault: a NUL byte ended a matrix row's text unseen, so the numbers
  // after it were dropped without a word.
  const std::string kNul(1, '\0');
  const struct {
    std::string sText;
    int iLine;
  } cases[] = {
      {"1,0.5\n0.5" + kNul + "9,2\n", 2},
      {kNul + "1\n", 1},
      // The last line, without a line feed, after a CRLF line.
      {"1,0.5\r\n0.5,2\r\n" + kNul, 3},
  };
  km_test::ScratchDir dir;
  for (const auto& c : cases) {
    for (bool bGzip : {false, true}) {
      SCOPED_TRACE(std::to_string(c.iLine) + (bGzip ? " gzip" : " plain"));
      const std::string sFile = dir.File(bGzip ? "m.csv.gz" : "m.csv");
      if (bGzip) {
        preread_test::WriteGz(sFile, c.sText);
      } else {
        km_test::WriteAll(sFile, c.sText);
      }
      const KmException e =
          km_test::CatchKmException([&] { Load(sFile, 2, false, false); });
      EXPECT_EQ("Variance-covariance matrix file \"" + sFile +
                    "\" is damaged: line " + std::to_string(c.iLine) +
                    " holds a NUL byte.",
                e.GetMessage());
    }
  }
}

TEST(ReadDataVarCovTest, MatrixLargerThanEveryCohortIsRefusedFromItsFirstLine) {
  // Fault: a 4,000 x 4,000 matrix for cohorts of 25 and 20 records was read
  // whole and decomposed (minutes, hundreds of MB, growing with the cube of
  // its size) before each cohort was refused for its size.
  const int n = 4000;
  km_test::ScratchDir dir;
  const std::string sFile = dir.File("big.txt");
  {
    std::ofstream out(sFile);
    std::string sRow(2 * n, ' ');
    for (int i = 0; i < n; ++i) sRow[2 * i] = '0';
    for (int i = 0; i < n; ++i) {
      sRow[2 * i] = '1';
      out << sRow << '\n';
      sRow[2 * i] = '0';
    }
  }
  kmSession session;
  session.SetInt(kmOptHetErrorModel, 5);
  session.SetString(kmStrVarCovarFile, sFile.c_str());
  session.SetInt(kmOptVarCovarDelimiter, 1);
  session.AddObservationCount(25);
  session.AddObservationCount(20);
  kmCalcHandler handler(&session);
  kmReadData reader(&session, &handler);
  EXPECT_EQ(1, reader.GetVarCovLinesRead());
  EXPECT_TRUE(reader.GetVarCovTable().empty());
  EXPECT_EQ("The variance-covariance matrix file \"" + sFile +
                "\" has 4000 values in its first row, but the cohort has 25 "
                "observations: the matrix needs a row and a column for each "
                "observation, otherwise Kinkmark will not process this cohort.",
            std::string(reader.VarCovSizeRefusal(25).GetCString()));
}

TEST(ReadDataVarCovTest, MissingFileStopsTheSetup) {
  const std::string sFile = km_test::DataPath("verify/no_such_matrix.csv");
  const KmException e =
      km_test::CatchKmException([&] { Load(sFile, 2, false, false); });
  EXPECT_EQ(
      "Could not load variance-covariance matrix.  The selected "
      "file: " +
          sFile + " does not exist.",
      e.GetMessage());
  EXPECT_STREQ("kmReadData", e.GetSource());
  EXPECT_EQ(0, e.GetKind());
  EXPECT_STREQ(
      "LoadVarianceCovarianceMatrix() of kmReadData\r\nSetup() of "
      "kmReadData\r\nkmReadData() of kmReadData",
      e.GetCallPath());
}

}  // namespace
