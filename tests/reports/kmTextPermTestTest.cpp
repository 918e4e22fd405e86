// The model-selection, selection results and pairwise exports, through the
// writer's public operations.
#include <gtest/gtest.h>

#include <limits>

#include "reports/kmExportLine.h"
#include "reports/kmExports.h"
#include "reports/kmTextPermTest.h"
#include "tests/test_util/ResultsFileFixture.h"

namespace km_test {
namespace {

// Sex x Area (2 x 2) with a comparison inside each Sex: cohort 1 could not
// be fitted; every other record has models for 0 to 3 kinkmarks and three F
// tests (a comparison's last one is its own test). Under MADWD the 3-
// kinkmark model of cohort 3, its final model, failed.
std::unique_ptr<ReportsRun> SelectionRun(RunSpec spec) {
  spec.bPairwise = true;
  spec.bMADWD = true;
  std::vector<kmCalcData> vCohorts = {
      MakeRecord(0, 4, 1, 0.0), MakeRecord(0, 4, 0, 1.0),
      MakeRecord(0, 4, 2, 2.0), MakeRecord(0, 4, 3, 3.0)};
  vCohorts[1].bValid = false;
  vCohorts[1].vModels.clear();
  vCohorts[1].vFTests.clear();
  vCohorts[3].bMADWD = true;
  vCohorts[3].vModels[3].SetMADWDPass(false);
  vCohorts[2].lSelectionCriterion = 1;
  vCohorts[2].dSelectionValues[1] = std::numeric_limits<double>::quiet_NaN();
  std::vector<kmCalcData> vComparisons = {MakeRecord(0, 4, 1, 4.0),
                                          MakeRecord(0, 2, 0, 5.0)};
  auto pRun = std::make_unique<ReportsRun>(spec, vCohorts, vComparisons);
  pRun->Handler().GetOutputDisplayOptions().SetInt(5, 4);
  return pRun;
}

std::string Export(const std::function<void(const char*)>& write) {
  return WrittenBytes(write);
}

const DataExportOptions kSemicolon = MakeOptions(
    DataExportOptions::kFieldSemicolon, DataExportOptions::kLineUnix,
    DataExportOptions::kMissingNA, kByVarQuotedLabels);

TEST(kmTextPermTestGolden, EachLayoutMatchesByteForByte) {
  struct Case {
    const char* sName;
    int iModelSelection;
  };
  const Case kCases[] = {{"permtest", 0}, {"bic", 1}, {"ddc", 4}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    RunSpec spec;
    spec.iModelSelection = c.iModelSelection;
    auto pRun = SelectionRun(spec);
    ExpectGolden(std::string("modelselection_") + c.sName + ".txt",
                 Export([&](const char* sPath) {
                   WriteModelSelectionExport(pRun->Handler(), sPath,
                                             kSemicolon);
                 }));
  }
  RunSpec spec;
  spec.iModelSelection = 4;
  auto pRun = SelectionRun(spec);
  ExpectGolden("selectionresults.txt", Export([&](const char* sPath) {
                 WriteSelectionResultsExport(pRun->Handler(), sPath,
                                             kSemicolon);
               }));
  ExpectGolden("pairwise.txt", Export([&](const char* sPath) {
                 WritePairwiseComparisonExport(pRun->Handler(), sPath,
                                               kSemicolon);
               }));
}

TEST(kmTextPermTest, ComparisonRowsFollowTheTwoBlockHeader) {
  auto pRun = SelectionRun(RunSpec());
  const std::vector<std::string> vLines = Lines(Export([&](const char* sPath) {
    kmTextPermTest(&pRun->Handler(), false).WriteExportFile(sPath, &kSemicolon);
  }));
  // Header, 3 tests of each valid cohort, the comparison header, then the
  // first two tests of comparison 0 and none of comparison 1 (its only test
  // is its own).
  ASSERT_EQ(vLines.size(), 1u + 3 * 3 + 1 + 2);
  EXPECT_EQ(Cells(vLines[0], ';').size(), 2u + 9);
  EXPECT_EQ(Cells(vLines[10], ';').size(), 4u + 9);
  EXPECT_EQ(Cells(vLines[10], ';')[2], "\"Sex\"");
  for (int t = 0; t < 2; ++t) {
    const std::vector<std::string> vRow = Cells(vLines[11 + t], ';');
    ASSERT_EQ(vRow.size(), 4u + 9);
    EXPECT_EQ(vRow[4], std::to_string(t));
  }
  EXPECT_EQ(Cells(vLines[3], ';')[2], "2");  // a cohort's third test
}

TEST(kmTextPermTest, PaddedCellsKeepTheirBlanks) {
  auto pRun = SelectionRun(RunSpec());
  const std::vector<std::string> vRow =
      Cells(Lines(Export([&](const char* sPath) {
              WriteModelSelectionExport(pRun->Handler(), sPath, kSemicolon);
            }))[1],
            ';');
  ASSERT_EQ(vRow.size(), 11u);
  EXPECT_EQ(vRow[0], "\"Male\"");
  EXPECT_EQ(vRow[6], "   2");
  EXPECT_EQ(vRow[7], "  16");
  EXPECT_EQ(vRow[8], "4499");
  EXPECT_EQ(vRow[9], "          0.0125");
  EXPECT_EQ(vRow[10], "          0.0500");
}

TEST(kmTextPermTest, MADWDHidesAllButModelKinkmarksAndObservations) {
  RunSpec spec;
  spec.iModelSelection = 1;
  spec.iMinKinkmarks = 1;
  spec.bMADWD = true;
  spec.iAreaLevels = 1;
  kmCalcData record = MakeRecord(1, 2, 1, 0.0);
  record.bMADWD = true;
  record.vModels[1].SetMADWDPass(false);
  ReportsRun run(spec, {record, record}, {});
  run.Handler().GetOutputDisplayOptions().SetInt(5, 4);
  const std::vector<std::string> vLines = Lines(Export([&](const char* sPath) {
    WriteModelSelectionExport(run.Handler(), sPath, kSemicolon);
  }));
  ASSERT_EQ(vLines.size(), 5u);
  EXPECT_EQ(vLines[1].substr(vLines[1].find(";1;")),
            ";1;1;20;4;16;          9.5000;         -1.7500");
  EXPECT_EQ(vLines[2].substr(vLines[2].find(";2;")), ";2;2;20;-;-;-;-");
}

TEST(kmTextPermTest, SelectionResultsCellsByFormat) {
  RunSpec spec;
  spec.iModelSelection = 4;
  auto pRun = SelectionRun(spec);
  struct Case {
    int iByVarFormat;
    const char* sCohort0;
    const char* sCohort2;
  };
  const Case kCases[] = {
      {kByVarNumeric,
       "1;1;   1;   1;          3.0000;         12.5000;   0;   0;   3;   1",
       "1;2;NA;NA;NA;NA;NA;NA;NA;NA"},
      {kByVarUnquotedLabels,
       "Male;North;   1;   1;          3.0000;         12.5000;No;No;BIC3;   1",
       "Male;South;NA;NA;NA;NA;NA;NA;NA;NA"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iByVarFormat);
    const DataExportOptions options = MakeOptions(
        DataExportOptions::kFieldSemicolon, DataExportOptions::kLineUnix,
        DataExportOptions::kMissingNA, c.iByVarFormat);
    const std::vector<std::string> vLines =
        Lines(Export([&](const char* sPath) {
          WriteSelectionResultsExport(pRun->Handler(), sPath, options);
        }));
    ASSERT_EQ(vLines.size(), 7u);
    EXPECT_EQ(Cells(vLines[0], ';')[6], "\"maxDelta <= 10\"");
    EXPECT_EQ(Cells(vLines[0], ';')[7], "\"diffDelta > 200\"");
    EXPECT_EQ(vLines[1], c.sCohort0);
    EXPECT_EQ(vLines[2], c.sCohort2);
  }
}

// A results handler without records used to fail on the header's first
// record with an index error.
TEST(kmTextPermTest, NoRecordsWritesTheHeaderAlone) {
  RunSpec spec;
  spec.iModelSelection = 4;
  kmSession session = MakeSession(spec);
  kmCalcHandler empty(&session);
  const std::string sText = Export([&](const char* sPath) {
    WriteSelectionResultsExport(empty, sPath, kSemicolon);
  });
  EXPECT_EQ(Lines(sText).size(), 1u);
  EXPECT_NE(sText.find("\"maxDelta <= 10\";\"diffDelta > 200\""),
            std::string::npos);
  EXPECT_EQ(Lines(Export([&](const char* sPath) {
              WriteModelSelectionExport(empty, sPath, kSemicolon);
            })).size(),
            1u);
}

TEST(kmTextPermTest, PairsStayInsideTheirBlock) {
  RunSpec spec;
  spec.bSexByVar = false;
  spec.iAreaLevels = 3;
  spec.bPairwise = true;
  spec.iPairwiseType = 1;
  kmCalcData parallel = MakeRecord(0, 4, 1, 0.0);
  kmCalcData equal = MakeRecord(0, 2, 0, 0.0);
  equal.vFTests[0].dPermPValue = 0.25;
  equal.vFTests[0].dAlpha = 0.25;
  ReportsRun run(spec, std::vector<kmCalcData>(3, MakeRecord(0, 2, 0, 0.0)),
                 {parallel, equal, MakeRecord(0, 2, 0, 0.0)});
  const std::vector<std::string> vLines = Lines(Export([&](const char* sPath) {
    WritePairwiseComparisonExport(
        run.Handler(), sPath,
        MakeOptions(DataExportOptions::kFieldComma,
                    DataExportOptions::kLineUnix,
                    DataExportOptions::kMissingPeriod, kByVarQuotedLabels));
  }));
  ASSERT_EQ(vLines.size(), 4u);
  EXPECT_EQ(Cells(vLines[0], ',').back(), "\"Coincidence\"");
  EXPECT_EQ(vLines[1],
            "North,South,2 Kinkmark(s) ,             2,            12,"
            "          4499,      0.037500,      0.016667,Failed to reject");
  EXPECT_EQ(vLines[2],
            "North,East,0 Kinkmark(s) ,             2,            16,"
            "          4499,      0.250000,      0.250000,Rejected");
  EXPECT_EQ(vLines[3].substr(0, 13), "South,East,0 ");
}

// Cohort labels asked for level codes came out as format line numbers, and
// a by-variable without value labels ended the export in an error.
TEST(kmTextPermTest, PairwiseCohortLabelsByFormat) {
  RunSpec spec;
  spec.bLabelledArea = false;
  spec.bPairwise = true;
  ReportsRun run(spec, std::vector<kmCalcData>(4, MakeRecord(0, 2, 0, 0.0)),
                 std::vector<kmCalcData>(2, MakeRecord(0, 2, 0, 0.0)));
  for (int iFormat : {kByVarNumeric, kByVarQuotedLabels}) {
    SCOPED_TRACE(iFormat);
    const std::vector<std::string> vLines =
        Lines(Export([&](const char* sPath) {
          WritePairwiseComparisonExport(
              run.Handler(), sPath,
              MakeOptions(DataExportOptions::kFieldTab,
                          DataExportOptions::kLineUnix,
                          DataExportOptions::kMissingPeriod, iFormat));
        }));
    ASSERT_EQ(vLines.size(), 3u);
    const std::vector<std::string> vRow = Cells(vLines[2], '\t');
    EXPECT_EQ(vRow[0], iFormat == kByVarNumeric ? "2 / 1" : "Female / 1");
    EXPECT_EQ(vRow[1], iFormat == kByVarNumeric ? "2 / 2" : "Female / 2");
  }
}

TEST(kmTextPermTest, PairwiseHeaderAloneWithoutValidComparisons) {
  struct Case {
    bool bPairwise;  // without, the stored block size is 0
    const char* sLastTitle;
  };
  for (const Case& c :
       {Case{true, "\"Coincidence\""}, Case{false, "\"Parallelism\""}}) {
    RunSpec spec;
    spec.bSexByVar = false;
    spec.bPairwise = c.bPairwise;
    spec.iPairwiseType = c.bPairwise ? 1 : 0;
    kmCalcData invalid = MakeRecord(0, 2, 0, 0.0);
    invalid.bValid = false;
    invalid.vFTests.clear();
    ReportsRun run(spec, std::vector<kmCalcData>(2, MakeRecord(0, 2, 0, 0.0)),
                   c.bPairwise ? std::vector<kmCalcData>{invalid}
                               : std::vector<kmCalcData>());
    const std::vector<std::string> vLines =
        Lines(Export([&](const char* sPath) {
          WritePairwiseComparisonExport(run.Handler(), sPath, kSemicolon);
        }));
    ASSERT_EQ(vLines.size(), 1u);
    EXPECT_EQ(Cells(vLines[0], ';').back(), c.sLastTitle);
  }
}

}  // namespace
}  // namespace km_test
