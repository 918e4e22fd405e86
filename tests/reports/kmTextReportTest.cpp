// report.txt, finalselectedmodelexport.txt and the shared cell and line
// rules, through the writers' public operations.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "foundation/KmIO_File.h"
#include "reports/kmExportLine.h"
#include "reports/kmExports.h"
#include "reports/kmTextReport.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/ResultsFileFixture.h"

namespace km_test {
namespace {

const double kInf = std::numeric_limits<double>::infinity();

// The small run of the golden files: Sex x Area with pairwise comparisons
// inside each Sex; cohort 1 could not be fitted; comparison 1 has no final
// model (as under data-dependent selection).
std::unique_ptr<ReportsRun> GoldenRun(RunSpec spec) {
  spec.bPairwise = true;
  std::vector<kmCalcData> vCohorts = {
      MakeRecord(0, 3, 1, 0.0), MakeRecord(0, 2, 0, 1.0),
      MakeRecord(0, 2, 0, 2.0), MakeRecord(0, 3, 2, 3.0)};
  vCohorts[1].bValid = false;
  vCohorts[1].vModels.clear();
  std::vector<kmCalcData> vComparisons = {MakeRecord(0, 2, 1, 4.0),
                                          MakeRecord(0, 2, 0, 5.0)};
  vComparisons[1].uFinalSelectedModel = kmCalcData::kNoModel;
  auto pRun = std::make_unique<ReportsRun>(spec, vCohorts, vComparisons);
  OutputDisplayOptions& display = pRun->Handler().GetOutputDisplayOptions();
  display.SetInt(3, 2);
  display.SetBool(13, true);
  display.SetBool(15, true);
  return pRun;
}

std::string Report(kmCalcHandler& handler, const DataExportOptions& options,
                   bool bAllSegments = false) {
  return WrittenBytes([&](const char* sPath) {
    kmTextReport(&handler).WriteExportFile(sPath, &options, bAllSegments);
  });
}

std::string FinalModels(kmCalcHandler& handler,
                        const DataExportOptions& options) {
  return WrittenBytes([&](const char* sPath) {
    WriteFinalSelectedModelExport(handler, sPath, options);
  });
}

TEST(kmTextReportGolden, ReportAndFinalModelMatchByteForByte) {
  struct Case {
    const char* sName;
    int iField, iLine, iMissing, iByVarFormat;
  };
  const Case kCases[] = {
      {"tab_unix", DataExportOptions::kFieldTab, DataExportOptions::kLineUnix,
       DataExportOptions::kMissingPeriod, kByVarQuotedLabels},
      {"comma_dos", DataExportOptions::kFieldComma, DataExportOptions::kLineDos,
       DataExportOptions::kMissingNA, kByVarNumeric},
      {"semicolon_unix", DataExportOptions::kFieldSemicolon,
       DataExportOptions::kLineUnix, DataExportOptions::kMissingSpace,
       kByVarUnquotedLabels},
  };
  RunSpec spec;
  spec.iAutocorrErrors = 1;
  auto pRun = GoldenRun(spec);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const DataExportOptions options =
        MakeOptions(c.iField, c.iLine, c.iMissing, c.iByVarFormat);
    ExpectGolden(std::string("report_") + c.sName + ".txt",
                 Report(pRun->Handler(), options));
    ExpectGolden(std::string("finalmodel_") + c.sName + ".txt",
                 FinalModels(pRun->Handler(), options));
  }
}

std::string Printed(const char* sFormat, double dValue) {
  char sText[64];
  std::snprintf(sText, sizeof sText, sFormat, dValue);
  return sText;
}

// The golden files were written by the writers themselves; these cells are
// worked out independently from the records the golden runs are built from
// (MakeModel, MakeRecord): a correlation from the covariance formula, a
// Bonferroni level, a permutation decision, an APC with its limit.
TEST(GoldenFiles, HandWorkedCellsAgree) {
  const double dLevel3 = 0.05 / 3;  // level of the third test, k = 2 vs 3
  const struct {
    const char* sFile;
    char cDelimiter;
    int iLine;
    const char* sColumn;
    std::string sExpected;
  } kCells[] = {
      // Segment 0: var(int) 0.25, cov 0.03125 x 3, var(slope) 0.5.
      {"report_tab_unix.txt", '\t', 1, "\"Corr-Int vs Slope\"",
       Printed("%.6f", 0.09375 / std::sqrt(0.25 * 0.5))},
      // Segment 2: rows 5 and 6 of the covariance matrix.
      {"report_tab_unix.txt", '\t', 6, "\"Corr-Int vs Slope\"",
       Printed("%.6f", 0.03125 * 11 / std::sqrt(1.25 * 1.5))},
      // Test 3: p = 0.0375 above 0.05 / 3 keeps the null model (2).
      {"modelselection_permtest.txt", ';', 3, "\"Selected Hypothesis\"", "2"},
      {"modelselection_permtest.txt", ';', 3, "\"Significance level\"",
       Printed("%.4f", dLevel3)},
      {"pairwise.txt", ';', 1, "\"Significance Level\"",
       Printed("%.6f", dLevel3)},
      {"pairwise.txt", ';', 1, "\"Parallelism\"", "Failed to reject"},
      {"pairwise.txt", ';', 2, "\"Parallelism\"", "Rejected"},
      // Segment 1: APC 1.25 x 2 - 1, lower limit 0.5 - 0.75.
      {"apc.txt", '\t', 3, "\"APC\"", "1.5"},
      {"apc.txt", '\t', 3, "\"APC 95% LCL\"", "-0.2"},
  };
  for (const auto& c : kCells) {
    SCOPED_TRACE(std::string(c.sFile) + " " + c.sColumn);
    std::string sCell = GoldenCell(c.sFile, c.cDelimiter, c.iLine, c.sColumn);
    sCell.erase(0, sCell.find_first_not_of(' '));
    EXPECT_EQ(sCell, c.sExpected);
  }
}

TEST(kmTextReport, FormatTableValueTrimsAndWritesMissingForInfinity) {
  struct Case {
    const char* sFormat;
    double dValue;
    const char* sExpected;
  };
  const Case kCases[] = {
      {"%14.3f", 2.5, "2.500"},        {"%14.0f", 20.0, "20"},
      {"%14.6f", -0.125, "-0.125000"}, {"%14.3f", kInf, "NA"},
      {"%14.3f", -kInf, "NA"},         {"%14.3f", -1e30, "NA"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sExpected);
    KmString sOut("old");
    EXPECT_STREQ(
        kmTextReport::FormatTableValue(sOut, c.sFormat, "NA", c.dValue),
        c.sExpected);
  }
}

TEST(kmExportLine, KeepsAnEmptyLastFieldAndEndsLinesAsAsked) {
  const DataExportOptions dos = MakeOptions(DataExportOptions::kFieldSemicolon,
                                            DataExportOptions::kLineDos);
  kmExportLine line(dos);
  line.AddCell("a");
  line.AddCell("");
  EXPECT_EQ(std::string(line.Finish().GetCString()), "a;\r\n");
  const DataExportOptions unix =
      MakeOptions(DataExportOptions::kFieldTab, DataExportOptions::kLineUnix);
  kmExportLine tabbed(unix);
  tabbed.AddHeaderCell("Model");
  tabbed.AddNumber(kCountFormat, 3.0);
  EXPECT_EQ(std::string(tabbed.Finish().GetCString()), "\"Model\"\t3\n");
}

TEST(kmTextReport, SecondHeaderStandsOnlyBeforeTheFirstComparison) {
  auto pRun = GoldenRun(RunSpec());
  const DataExportOptions options =
      MakeOptions(DataExportOptions::kFieldComma, DataExportOptions::kLineUnix);
  const std::vector<std::string> vLines =
      Lines(Report(pRun->Handler(), options));
  std::vector<size_t> vHeaders;
  for (size_t i = 0; i < vLines.size(); ++i) {
    if (vLines[i].rfind("\"Sex\"", 0) == 0) vHeaders.push_back(i);
  }
  ASSERT_EQ(vHeaders.size(), 2u);
  EXPECT_EQ(vHeaders[0], 0u);
  // Cohort rows: 3 models of cohort 0 (1 + 2 + 3 segments), cohort 2 (1 + 2)
  // and cohort 3 (1 + 2 + 3); then the comparisons' two-group header.
  EXPECT_EQ(vHeaders[1], 1u + 6 + 3 + 6);
  EXPECT_EQ(Cells(vLines[vHeaders[1]], ',').size(),
            Cells(vLines[vHeaders[1] + 1], ',').size());
  EXPECT_EQ(Cells(vLines[vHeaders[1]], ',')[2], "\"Sex\"");
}

TEST(kmTextReport, SegmentZeroHasNoKinkmarkOrSlopeChange) {
  RunSpec spec;
  auto pRun = std::make_unique<ReportsRun>(
      spec, std::vector<kmCalcData>(4, MakeRecord(0, 2, 1, 0.0)),
      std::vector<kmCalcData>());
  const DataExportOptions options = MakeOptions(
      DataExportOptions::kFieldSemicolon, DataExportOptions::kLineUnix,
      DataExportOptions::kMissingPeriod, kByVarNumeric, 1);
  const std::vector<std::string> vLines =
      Lines(Report(pRun->Handler(), options));
  const std::vector<std::string> vHeader = Cells(vLines[0], ';');
  auto column = [&](const char* sTitle) {
    for (size_t i = 0; i < vHeader.size(); ++i) {
      if (vHeader[i] == std::string("\"") + sTitle + "\"") return i;
    }
    ADD_FAILURE() << sTitle;
    return size_t(0);
  };
  // Best fit: the 1-kinkmark model, segments 0 and 1 of each cohort.
  ASSERT_EQ(vLines.size(), 1u + 4 * 2);
  const std::vector<std::string> vSeg0 = Cells(vLines[1], ';');
  const std::vector<std::string> vSeg1 = Cells(vLines[2], ';');
  EXPECT_EQ(vSeg0[column("Segment")], "0");
  EXPECT_EQ(vSeg1[column("Segment")], "1");
  for (const char* sTitle :
       {"Kinkmark", "Kinkmark 95% LCL", "Kinkmark 95% UCL", "SlopeChg Estimate",
        "SlopeChg Std Error", "SlopeChg Test Statistic", "SlopeChg P-Value"}) {
    SCOPED_TRACE(sTitle);
    EXPECT_EQ(vSeg0[column(sTitle)], ".");
    EXPECT_NE(vSeg1[column(sTitle)], "-");
  }
  EXPECT_EQ(vSeg1[column("Kinkmark")], "1996");
  EXPECT_EQ(vSeg1[column("SlopeChg Estimate")], "0.012500");
  EXPECT_EQ(vSeg1[column("SlopeChg Std Error")], ".");  // not computed
  EXPECT_EQ(vSeg0[column("Auto Corr")], "Uncorrelated");
  EXPECT_EQ(vSeg0[0], "1");
  EXPECT_EQ(vSeg0[1], "1");
}

TEST(kmTextReport, MADWDHidesTheValuesOfAFailedModel) {
  RunSpec spec;
  spec.bMADWD = true;
  spec.iAreaLevels = 1;
  kmCalcData record = MakeRecord(0, 2, 0, 0.0);
  record.bMADWD = true;
  record.vModels[1].SetMADWDPass(false);
  ReportsRun run(spec, {record, record}, {});
  const std::vector<std::string> vLines =
      Lines(Report(run.Handler(), MakeOptions(DataExportOptions::kFieldComma,
                                              DataExportOptions::kLineUnix)));
  ASSERT_EQ(vLines.size(), 1u + 2 * 3);
  const std::vector<std::string> vShown = Cells(vLines[1], ',');
  const std::vector<std::string> vHidden = Cells(vLines[2], ',');
  ASSERT_EQ(vShown.size(), vHidden.size());
  EXPECT_EQ(vShown[2], "0");
  EXPECT_EQ(vHidden[2], "-");             // Model
  EXPECT_EQ(vHidden[3], "20");            // #Obs stays
  EXPECT_EQ(vHidden[6], "-");             // SSE
  EXPECT_EQ(vHidden[8], "Uncorrelated");  // Auto Corr stays
  EXPECT_EQ(vHidden[9], "-");             // Segment
  EXPECT_EQ(vHidden[13], "-");            // Intercept Estimate
}

// The covariance columns read the matrix as if the intercepts of all
// segments came first and the slopes after them, while a model stores them
// alternating per segment: a segment's cells mixed in other segments'
// coefficients.
TEST(kmTextReport, CovarianceCellsAreTheSegmentsOwn) {
  RunSpec spec;
  spec.iAreaLevels = 1;
  kmCalcData record = MakeRecord(1, 1, 1, 0.0);
  NEWMAT::Matrix mCovariance(4, 4);
  for (int r = 1; r <= 4; ++r) {
    for (int c = 1; c <= 4; ++c) mCovariance(r, c) = 10 * r + c;
  }
  record.vModels[0].SetCovariance(mCovariance);
  ReportsRun run(spec, {record, record}, {});
  OutputDisplayOptions& display = run.Handler().GetOutputDisplayOptions();
  display.SetBool(13, true);
  display.SetInt(14, 0);
  const std::vector<std::string> vLines =
      Lines(Report(run.Handler(), MakeOptions(DataExportOptions::kFieldComma,
                                              DataExportOptions::kLineUnix)));
  ASSERT_EQ(vLines.size(), 1u + 2 * 2);
  for (int s = 0; s < 2; ++s) {
    const std::vector<std::string> vRow = Cells(vLines[1 + s], ',');
    const int i = 2 * s + 1;
    EXPECT_EQ(vRow[vRow.size() - 3], std::to_string(11 * i));
    EXPECT_EQ(vRow[vRow.size() - 2], std::to_string(11 * i + 1));
    EXPECT_EQ(vRow[vRow.size() - 1], std::to_string(11 * (i + 1)));
  }
}

TEST(kmTextReport, FinalModelHeaderIsQuotedAndRowsBare) {
  RunSpec spec;
  spec.iMinKinkmarks = 1;
  ReportsRun run(spec, std::vector<kmCalcData>(4, MakeRecord(1, 2, 2, 0.0)),
                 {});
  const std::string sText = FinalModels(
      run.Handler(),
      MakeOptions(DataExportOptions::kFieldComma, DataExportOptions::kLineUnix,
                  DataExportOptions::kMissingPeriod, kByVarQuotedLabels));
  EXPECT_EQ(sText,
            "\"Sex\",\"Area\",\"Model\"\n"
            "Male,North,2\nMale,South,2\nFemale,North,2\nFemale,South,2\n");
}

// A record without a final selected model (65535) used to make the best-fit
// report and the final-model export ask for model 65535 - minimum and end
// the run in an error file.
TEST(kmTextReport, RecordWithoutFinalModelHasNoBestFitRow) {
  RunSpec spec;
  spec.iAreaLevels = 1;
  kmCalcData none = MakeRecord(0, 2, 0, 0.0);
  none.uFinalSelectedModel = kmCalcData::kNoModel;
  ReportsRun run(spec, {none, MakeRecord(0, 2, 0, 1.0)}, {});
  const DataExportOptions bestFit =
      MakeOptions(DataExportOptions::kFieldComma, DataExportOptions::kLineUnix,
                  DataExportOptions::kMissingPeriod, kByVarNumeric, 1);
  const std::vector<std::string> vReport =
      Lines(Report(run.Handler(), bestFit));
  ASSERT_EQ(vReport.size(), 2u);
  EXPECT_EQ(vReport[1].substr(0, 4), "2,1,");
  EXPECT_EQ(FinalModels(run.Handler(), bestFit),
            "\"Sex\",\"Area\",\"Model\"\n2,1,0\n");
}

TEST(kmTextReport, UnsupportedFieldDelimiterWritesNothing) {
  auto pRun = GoldenRun(RunSpec());
  DataExportOptions options =
      MakeOptions(DataExportOptions::kFieldComma, DataExportOptions::kLineUnix);
  options.iFieldDelimiter = 7;
  for (bool bFinalModel : {false, true}) {
    SCOPED_TRACE(bFinalModel);
    std::string sMessage;
    const std::string sBytes = WrittenBytes([&](const char* sPath) {
      const KmException e = km_test::CatchKmException([&] {
        kmTextReport writer(&pRun->Handler());
        if (bFinalModel) {
          writer.WriteFinalSelectedModelExportFile(sPath, &options);
        } else {
          writer.WriteExportFile(sPath, &options, false);
        }
      });
      sMessage = e.GetMessage();
    });
    EXPECT_EQ(sMessage, "Unsupported field delimiter.");
    EXPECT_EQ(sBytes, "");
  }
}

TEST(kmTextReport, InfiniteAndUnsetValuesPrintTheMissingText) {
  RunSpec spec;
  spec.iAreaLevels = 1;
  kmCalcData record = MakeRecord(0, 1, 0, 0.0);
  record.vModels[0].SetSSE(kInf);
  record.vModels[0].SetCMSE(-1e30);
  ReportsRun run(spec, {record, record}, {});
  const std::vector<std::string> vLines = Lines(
      Report(run.Handler(), MakeOptions(DataExportOptions::kFieldSemicolon,
                                        DataExportOptions::kLineUnix,
                                        DataExportOptions::kMissingSpace)));
  const std::vector<std::string> vRow = Cells(vLines[1], ';');
  EXPECT_EQ(vRow[6], " ");  // SSE
  EXPECT_EQ(vRow[7], " ");  // MSE
}

TEST(kmTextReport, UnwritableFileIsAnError) {
  auto pRun = GoldenRun(RunSpec());
  const DataExportOptions options =
      MakeOptions(DataExportOptions::kFieldComma, DataExportOptions::kLineUnix);
  const KmException e = km_test::CatchKmException([&] {
    WriteReportExport(pRun->Handler(), pRun->Path("no/such/dir/x.txt").c_str(),
                      options);
  });
  EXPECT_NE(std::string(e.GetMessage()).find("Unable to open the export file"),
            std::string::npos);
  EXPECT_NE(std::string(e.GetCallPath()).find("WriteExportFile"),
            std::string::npos);
}

}  // namespace
}  // namespace km_test
