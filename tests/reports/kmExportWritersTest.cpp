// apcexport.txt, aapcexport.txt, dataexport.txt and jumpcrexport.txt,
// written from small results files through the export entry points.
#include <gtest/gtest.h>
#include <newmat.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "reports/kmAAPCTools.h"
#include "reports/kmExportLine.h"
#include "reports/kmExports.h"
#include "session/OutputDisplayOptions.h"
#include "session/kmAAPCRanges.h"
#include "session/kmSessionOptionIds.h"
#include "tests/foundation/FaultyFileSystem.h"
#include "tests/test_util/ResultsFileFixture.h"

namespace km_test {
namespace {

const char kTab = '\t';

// Data rows of model: observations x = 1990 .. 1990 + nObs - 1 (observed
// 10 + i, fitted 10.5 + i, standard error 0.25), and a row without an
// observed value at every kinkmark inside that span, as the engine draws
// them.
void AddData(kmTable& model, int nObs) {
  std::vector<std::vector<double> > vRows;
  int iKinkmark = 0;
  for (int i = 0; i < nObs; ++i) {
    const double x = 1990.0 + i;
    while (iKinkmark < model.GetNumKinkmarks() &&
           model.GetKinkmark(iKinkmark).dEstimate < x) {
      const double k = model.GetKinkmark(iKinkmark++).dEstimate;
      vRows.push_back({k, -9999.0, 10.0 + (k - 1990.0), -9999.0});
    }
    vRows.push_back({x, 10.0 + i, 10.5 + i, 0.25});
  }
  NEWMAT::Matrix data(static_cast<int>(vRows.size()), 4);
  for (size_t r = 0; r < vRows.size(); ++r) {
    for (int c = 0; c < 4; ++c)
      data(static_cast<int>(r) + 1, c + 1) = vRows[r][c];
  }
  model.SetData(data);
}

// Two stored AAPCs: the full range of 12 observations and 1995-2000.
void AddStoredAAPCs(kmTable& model) {
  model.AddAAPC(1990.0, 2001.0, 0, 0, 0, 0, 0);
  model.GetAAPC(0).SetAAPC(1.5, 0.5, 2.5, true, 3.25, 0.004);
  model.GetAAPC(0).bInRange = true;
  model.AddAAPC(1995.0, 2000.0, 0, 0, 0, 0, 0);
  model.GetAAPC(1).SetAAPC(-0.5, -1.5, 0.0, true, -1.25, 0.2);
  model.GetAAPC(1).bInRange = true;
}

kmCalcData DataRecord(int iModels, int iFinal, double dSeed) {
  kmCalcData record = MakeRecord(0, iModels, iFinal, dSeed);
  for (kmTable& model : record.vModels) {
    AddData(model, 12);
    AddStoredAAPCs(model);
  }
  return record;
}

// The session of the golden run: resampling AAPC intervals (the stored
// AAPCs are written), full range and 1995-2000 as its ranges.
void GoldenSession(kmSession& session) {
  session.SetInt(kmOptAAPCCIMethod, 2);
  session.SetInt(kmOptMaxKinkmarks, 2);
  kmAAPCRanges ranges;
  ranges.SetFullRange(true);
  ranges.SetStartRange({1995.0});
  ranges.SetEndRange({2000.0});
  session.SetAAPCRanges(ranges);
}

// Sex x Area with pairwise comparisons inside each Sex; cohort 1 could not
// be fitted; cohort 0 has a jump model, cohort 2 a comparability ratio.
std::unique_ptr<ReportsRun> GoldenRun(RunSpec spec = RunSpec()) {
  spec.bPairwise = true;
  if (!spec.adjustSession) spec.adjustSession = GoldenSession;
  std::vector<kmCalcData> vCohorts = {
      DataRecord(3, 1, 0.0), DataRecord(2, 0, 1.0), DataRecord(2, 0, 2.0),
      DataRecord(3, 2, 3.0)};
  vCohorts[0].bJumpModel = true;
  vCohorts[1].bValid = false;
  vCohorts[1].vModels.clear();
  vCohorts[2].bComparabilityRatio = true;
  for (kmTable& model : vCohorts[0].vModels) {
    model.SetJumpValue(0.75);
    model.SetJumpSE(1e-14);
    model.SetJumpLowerCI(0.5);
    model.SetJumpUpperCI(std::numeric_limits<double>::infinity());
    model.SetJumpIsSig(1.0);
    model.SetJumpStat(2.25);
    model.SetJumpPValue(0.03);
  }
  for (kmTable& model : vCohorts[2].vModels) {
    model.SetComparabilityRatio(1.125);
    model.SetComparabilitySE(0.0625);
    model.SetComparabilityLowerCI(1.0);
    model.SetComparabilityUpperCI(1.25);
    model.SetComparabilityIsSig(1.0);
    model.SetComparabilityStat(2.0);
    model.SetComparabilityPValue(0.045);
  }
  // A comparison's data rows hold its second cohort after its first.
  std::vector<kmCalcData> vComparisons = {DataRecord(2, 1, 4.0),
                                          DataRecord(2, 0, 5.0)};
  for (kmCalcData& record : vComparisons) {
    for (kmTable& model : record.vModels) {
      const NEWMAT::Matrix data = model.GetData();
      model.SetData(data & data);
    }
  }
  auto pRun = std::make_unique<ReportsRun>(spec, vCohorts, vComparisons);
  pRun->Handler().GetOutputDisplayOptions().SetBool(11, true);
  pRun->Handler().GetOutputDisplayOptions().SetInt(0, 1);
  return pRun;
}

DataExportOptions DataOptions(bool bSameColumn) {
  DataExportOptions options =
      MakeOptions(DataExportOptions::kFieldTab, DataExportOptions::kLineUnix, 1,
                  kByVarQuotedLabels);
  options.bAllModelsInSameColumn = bSameColumn;
  options.bRemoveKinkmarkFlags = false;
  options.bRemoveBestFitFlags = false;
  return options;
}

using Writer = void (*)(kmCalcHandler&, const KmFileTarget&,
                        const DataExportOptions&);

std::string Export(kmCalcHandler& handler, Writer write,
                   const DataExportOptions& options) {
  return WrittenBytes(
      [&](const char* sPath) { write(handler, sPath, options); });
}

std::string APC(kmCalcHandler& handler, const DataExportOptions& options,
                bool bAllSegments = true) {
  return WrittenBytes([&](const char* sPath) {
    WriteAPCExport(handler, sPath, options, bAllSegments);
  });
}

TEST(kmExportWritersGolden, EachExportMatchesByteForByte) {
  auto pRun = GoldenRun();
  kmCalcHandler& handler = pRun->Handler();
  const DataExportOptions options = DataOptions(true);
  ExpectGolden("apc.txt", APC(handler, options));
  ExpectGolden("aapc.txt", Export(handler, WriteAAPCExport, options));
  ExpectGolden("jumpcr.txt", Export(handler, WriteJumpCRExport, options));
  ExpectGolden("data_one_column.txt",
               Export(handler, WriteDataExport, DataOptions(true)));
  ExpectGolden("data_separate_columns.txt",
               Export(handler, WriteDataExport, DataOptions(false)));
}

TEST(kmTextReportAPC, HeadersCarryTheRateUnitOnlyInTheFirstLine) {
  struct Case {
    const char* sRateUnit;
    const char* sFirst;
  };
  const Case kCases[] = {{"Monthly", "\"MPC\""}, {"", "\"APC\""}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sRateUnit);
    RunSpec spec;
    const std::string sUnit = c.sRateUnit;
    spec.adjustSession = [&](kmSession& s) {
      GoldenSession(s);
      s.SetString(kmStrRateUnit, sUnit.c_str());
    };
    auto pRun = GoldenRun(spec);
    const std::vector<std::string> vLines =
        Lines(APC(pRun->Handler(), DataOptions(true)));
    const std::vector<std::string> vFirst = Cells(vLines[0], kTab);
    EXPECT_EQ(vFirst[6], c.sFirst);
    size_t iSecond = 1;
    while (vLines[iSecond].rfind("\"Sex\"", 0) != 0) ++iSecond;
    EXPECT_EQ(Cells(vLines[iSecond], kTab)[8], "\"APC\"");
  }
}

TEST(kmTextReportAPC, RowsFollowModelsSegmentsAndMethod) {
  struct Case {
    int iModels;
    bool bAllSegments;
    bool bLogLinear;
    int iMethod;
    size_t nRows;       // rows of cohort 0 (three models)
    size_t nCells;      // cells of its first row
    const char* sLast;  // its last cell
  };
  const Case kCases[] = {
      {0, true, true, 2, 6, 12, "0.031"},
      {1, false, true, 2, 1, 12, "0.031"},
      {0, false, false, 2, 3, 5, ""},
      {0, true, true, 3, 6, 12, "--"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.nRows);
    RunSpec spec;
    spec.adjustSession = [&](kmSession& s) {
      GoldenSession(s);
      s.SetBool(kmOptLogLinear, c.bLogLinear);
      s.SetInt(kmOptAAPCCIMethod, c.iMethod);
    };
    auto pRun = GoldenRun(spec);
    DataExportOptions options = DataOptions(true);
    options.iModels = c.iModels;
    const std::vector<std::string> vLines =
        Lines(APC(pRun->Handler(), options, c.bAllSegments));
    size_t nRows = 0;
    for (size_t i = 1; i < vLines.size(); ++i) {
      const std::vector<std::string> v = Cells(vLines[i], kTab);
      if (v[0] == "\"Male\"" && v[1] == "\"North\"" && v[2] != "\"Male\"") {
        ++nRows;
      }
    }
    EXPECT_EQ(nRows, c.nRows);
    const std::vector<std::string> vCells = Cells(vLines[1], kTab);
    EXPECT_EQ(vCells.size(), c.nCells);
    EXPECT_EQ(vCells.back(), c.sLast);
  }
}

TEST(kmTextReportAPC, SegmentWithoutAnIntervalKeepsEveryColumn) {
  std::vector<kmCalcData> vCohorts(4, DataRecord(1, 0, 0.0));
  kmLineSegment seg = vCohorts[0].vModels[0].GetLineSegment(0);
  seg.apc.bComputed = false;
  vCohorts[0].vModels[0].AddLineSegments({seg});
  RunSpec spec;
  spec.adjustSession = GoldenSession;
  ReportsRun run(spec, vCohorts, {});
  const std::vector<std::string> vLines =
      Lines(APC(run.Handler(), DataOptions(true)));
  const size_t nColumns = Cells(vLines[0], kTab).size();
  const size_t iLast =
      static_cast<size_t>(vCohorts[0].vModels[0].GetNumLineSegments());
  ASSERT_GT(vLines.size(), iLast);
  for (size_t i = 1; i <= iLast; ++i) {
    EXPECT_EQ(Cells(vLines[i], kTab).size(), nColumns) << vLines[i];
  }
  const std::vector<std::string> vCells = Cells(vLines[iLast], kTab);
  const std::vector<std::string> vFirst = Cells(vLines[1], kTab);
  // Its interval and significance cells are missing, the cells after them
  // stay in their columns.
  EXPECT_NE(vCells[7], vFirst[7]);
  EXPECT_EQ(vCells[7], vCells[8]);
  EXPECT_EQ(vCells[8], vCells[9]);
  EXPECT_EQ(vCells[10], vFirst[10]);
}

TEST(kmTextReportAPC, ARunWithoutRecordsWritesTheHeaderOnly) {
  // A handler that holds no records yet.
  RunSpec spec;
  spec.adjustSession = GoldenSession;
  kmSession session = MakeSession(spec);
  kmCalcHandler handler(&session);
  for (Writer write : {WriteAAPCExport, WriteDataExport, WriteJumpCRExport}) {
    EXPECT_EQ(Lines(Export(handler, write, DataOptions(true))).size(), 1u);
  }
  EXPECT_EQ(Lines(APC(handler, DataOptions(true))).size(), 1u);
}

TEST(kmTextReportJumpCR, CellsFollowTheRecordsFlags) {
  struct Case {
    bool bJump, bCR;
    double dSE;
    int iFirst, nEmpty;   // missing-value cells from iFirst, after the location
    const char* sJumpSE;  // the jump standard error cell
    int iPrecision = 3;
  };
  const Case kCases[] = {
      {false, false, 0.5, 4, 14, "."},
      {true, false, 1e-14, 4, 0, "0.000"},
      {true, false, 0.25, 4, 0, "0.250"},
      // At 15 decimals the rule shows: below 1e-13 is 0, 1e-13 is kept.
      {true, false, 1e-14, 4, 0, "0.000000000000000", 15},
      {true, false, 1e-13, 4, 0, "0.000000000000100", 15},
      {false, true, 0.5, 4, 7, "."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.dSE);
    std::vector<kmCalcData> vCohorts(4, DataRecord(1, 0, 0.0));
    vCohorts[0].bJumpModel = c.bJump;
    vCohorts[0].bComparabilityRatio = c.bCR;
    vCohorts[0].vModels[0].SetJumpSE(c.dSE);
    RunSpec spec;
    ReportsRun run(spec, vCohorts, {});
    run.Handler().GetOutputDisplayOptions().SetInt(2, c.iPrecision);
    const std::vector<std::string> vLines =
        Lines(Export(run.Handler(), WriteJumpCRExport, DataOptions(true)));
    ASSERT_EQ(vLines.size(), 5u);
    const std::vector<std::string> vCells = Cells(vLines[1], kTab);
    ASSERT_EQ(vCells.size(), 18u);
    int nEmpty = 0;
    for (size_t i = static_cast<size_t>(c.iFirst);
         i < vCells.size() && vCells[i] == "."; ++i) {
      ++nEmpty;
    }
    EXPECT_EQ(nEmpty, c.nEmpty);
    EXPECT_EQ(vCells[5], c.sJumpSE);
  }
}

// Stands in for the fitting engine's comparability-ratio interval.
void FakeCRCalculator(kmSession*, kmTable& model, double, double, double) {
  model.SetComparabilityRatio(2.5);
  model.SetComparabilitySE(1e-14);
  model.SetComparabilityIsSig(1.0);
}

TEST(kmTextReportJumpCR, RatiosOfVersion44AreComputedAgain) {
  struct Case {
    const char* sVersion;
    bool bLogLinear;
    const char* sRatio;
    const char* sSE;
    const char* sSignificant;
  };
  const Case kCases[] = {
      {"V4.4.0.0", true, "2.500", "0.000", "1"},
      // A linear model has no ratio: missing cells (they read 0.000).
      {"V4.4.0.0", false, ".", ".", "."},
      {"V4.9.0.0", true, "1.000", "0.500", "0"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sRatio);
    std::vector<kmCalcData> vCohorts(4, DataRecord(1, 0, 0.0));
    vCohorts[0].bComparabilityRatio = true;
    vCohorts[0].vModels[0].SetComparabilityRatio(1.0);
    vCohorts[0].vModels[0].SetComparabilitySE(0.5);
    RunSpec spec;
    spec.adjustSession = [&](kmSession& s) {
      s.SetVersion(c.sVersion);
      s.SetBool(kmOptLogLinear, c.bLogLinear);
    };
    ReportsRun run(spec, vCohorts, {});
    run.Handler().GetOutputDisplayOptions().SetInt(2, 3);
    run.Handler().SetComparabilityRatioCalculator(&FakeCRCalculator);
    const std::vector<std::string> vCells = Cells(
        Lines(Export(run.Handler(), WriteJumpCRExport, DataOptions(true)))[1],
        kTab);
    EXPECT_EQ(vCells[11], c.sRatio);
    EXPECT_EQ(vCells[12], c.sSE);
    EXPECT_EQ(vCells[15], c.sSignificant);
  }
}

TEST(kmAAPCTools, HeaderTitles) {
  auto pRun = GoldenRun();
  const std::vector<std::string> vHeader = Cells(
      Lines(Export(pRun->Handler(), WriteAAPCExport, DataOptions(true)))[0],
      kTab);
  EXPECT_EQ(vHeader[3], "\"AAPC Index\"");
  EXPECT_EQ(vHeader[9], "\"Statistically Significant (0=No  1=Yes)\"");
}

TEST(kmAAPCTools, SignificantOnlyWhenTheIntervalLiesOnOneSideOfZero) {
  struct Case {
    double dLower, dUpper;
    const char* sSignificant;
  };
  const Case kCases[] = {{-1.5, 0.5, "0"}, {-1.5, -0.25, "1"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.dUpper);
    std::vector<kmCalcData> vCohorts(4, DataRecord(1, 0, 0.0));
    vCohorts[0].vModels[0].GetAAPC(0).SetAAPC(-0.5, c.dLower, c.dUpper, true,
                                              -1.25, 0.2);
    RunSpec spec;
    spec.adjustSession = GoldenSession;
    ReportsRun run(spec, vCohorts, {});
    const std::vector<std::string> vLines =
        Lines(Export(run.Handler(), WriteAAPCExport, DataOptions(true)));
    EXPECT_EQ(Cells(vLines[1], kTab)[9], c.sSignificant);
  }
}

TEST(kmAAPCTools, RangeLabelsCountObservationsOnly) {
  struct Case {
    int nObs;
    std::vector<int> vLast;
    std::vector<std::string> vExpected;
  };
  const Case kCases[] = {
      {12, {5}, {"Full Range", "Last 5 Obs.", "2000.000-2010.000"}},
      {8, {10}, {"Full Range", "2000.000-2010.000"}},
      // Eight observations and one kinkmark row: nine rows, eight
      // observations.
      {8, {9, 8}, {"Full Range", "Last 8 Obs.", "2000.000-2010.000"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.nObs);
    kmSession session = MakeSession(RunSpec());
    kmAAPCRanges ranges;
    ranges.SetFullRange(true);
    ranges.SetLastObsRanges(c.vLast);
    ranges.SetStartRange({2000.0, 2005.0});
    ranges.SetEndRange({2010.0});
    session.SetAAPCRanges(ranges);
    kmTable model = MakeModel(1, 0.0);
    AddData(model, c.nObs);
    KmVector<KmString> vLabels{"stale"};
    kmAAPCTools::CreateAAPCRangeLabels(session, vLabels, model, 3);
    std::vector<std::string> vActual;
    for (const KmString& s : vLabels) vActual.push_back(s.GetCString());
    EXPECT_EQ(vActual, c.vExpected);
  }
}

TEST(kmAAPCTools, StoredAAPCsAreLabelledFromTheirOwnRanges) {
  // The session now asks for the last 5 observations only; the stored
  // AAPCs were computed over the full range and 1995-2000.
  RunSpec spec;
  spec.adjustSession = [](kmSession& s) {
    GoldenSession(s);
    kmAAPCRanges ranges;
    ranges.SetLastObsRanges({5});
    s.SetAAPCRanges(ranges);
  };
  auto pRun = GoldenRun(spec);
  pRun->Handler().GetOutputDisplayOptions().SetInt(10, 3);
  const std::vector<std::string> vLines =
      Lines(Export(pRun->Handler(), WriteAAPCExport, DataOptions(true)));
  const std::vector<std::string> vFirst = Cells(vLines[1], kTab);
  const std::vector<std::string> vSecond = Cells(vLines[2], kTab);
  EXPECT_EQ(vFirst[3], "\"1990.000-2001.000\"");
  EXPECT_EQ(vFirst[4], "1990.000");
  EXPECT_EQ(vSecond[3], "\"1995.000-2000.000\"");
  EXPECT_EQ(vSecond[9], "0");  // upper limit 0.0: not significant
}

TEST(kmAAPCTools, MethodDecidesWhichModelsAreComputedAnew) {
  struct Case {
    int iMethod;
    bool bFinalOnly;
    // The index labels of cohort 0's models 0 and 1 (model 1 is final).
    std::vector<std::string> vModel0, vModel1;
  };
  // The stored AAPCs, labelled from their own ranges.
  const std::vector<std::string> kStored = {"\"1990-2001\"", "\"1995-2000\""};
  const std::vector<std::string> kSession = {"\"Last 5 Obs.\""};
  const Case kCases[] = {
      {0, false, kSession, kSession},
      {2, false, kStored, kStored},
      {3, false, kStored, kStored},
      {3, true, kSession, kStored},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iMethod);
    RunSpec spec;
    spec.adjustSession = [&](kmSession& s) {
      GoldenSession(s);
      s.SetInt(kmOptAAPCCIMethod, c.iMethod);
      s.SetBool(kmOptFSMOnly, c.bFinalOnly);
      kmAAPCRanges ranges;
      ranges.SetLastObsRanges({5});
      s.SetAAPCRanges(ranges);
    };
    auto pRun = GoldenRun(spec);
    const std::vector<std::string> vLines =
        Lines(Export(pRun->Handler(), WriteAAPCExport, DataOptions(true)));
    std::vector<std::string> vModel0, vModel1;
    for (size_t i = 1; i < vLines.size(); ++i) {
      const std::vector<std::string> v = Cells(vLines[i], kTab);
      if (v[0] != "\"Male\"" || v[1] != "\"North\"") continue;
      if (v[2] == "0") vModel0.push_back(v[3]);
      if (v[2] == "1") vModel1.push_back(v[3]);
    }
    EXPECT_EQ(vModel0, c.vModel0);
    EXPECT_EQ(vModel1, c.vModel1);
  }
}

TEST(kmAAPCTools, DisplayTokensGiveRangesOfTheObservations) {
  struct Case {
    const char* sToken;
    bool bCustom;
    const char* sLabel;  // null: no range
    double dStart;
  };
  const Case kCases[] = {
      {"5", false, "Last 5 Obs.", 1995.0},
      {"10", false, "Last 10 Obs.", 1990.0},
      {"11", false, nullptr, 0},
      {"0", false, nullptr, 0},
      {"2.5", false, nullptr, 0},
      {"1992-1998", true, "1992-1998", 1992},
      {"1992-1998.5", true, nullptr, 0},
      {"-1998", true, nullptr, 0},
      {"1992-", true, nullptr, 0},
      {"1992", true, nullptr, 0},
  };
  std::vector<double> vX;
  for (int i = 0; i < 10; ++i) vX.push_back(1990.0 + i);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sToken);
    KmVector<kmRange> vRanges;
    KmVector<KmString> vLabels;
    if (c.bCustom) {
      kmAAPCTools::GetAAPCCustomRanges(c.sToken, vRanges, vLabels, vX);
    } else {
      kmAAPCTools::GetAAPCEndRange(c.sToken, vRanges, vLabels, vX);
    }
    ASSERT_EQ(vLabels.size(), c.sLabel == nullptr ? 0u : 1u);
    if (c.sLabel == nullptr) continue;
    EXPECT_STREQ(vLabels[0].GetCString(), c.sLabel);
    EXPECT_EQ(vRanges[0].dStart, c.dStart);
  }
}

TEST(kmTextData, FlagsAPCsAndMissingValues) {
  std::vector<kmCalcData> vCohorts(4, DataRecord(3, 2, 0.0));
  NEWMAT::Matrix data = vCohorts[0].vModels[2].GetData();
  data(1, 2) = -1e30;  // observed value not available
  data(2, 1) = -9999.0;
  vCohorts[0].vModels[2].SetData(data);
  vCohorts[0].vModels[1].SetData(NEWMAT::Matrix());  // no rows: skipped
  RunSpec spec;
  spec.adjustSession = GoldenSession;
  ReportsRun run(spec, vCohorts, {});
  run.Handler().GetOutputDisplayOptions().SetBool(kmDispDataShowAPCs, true);
  // The APCs follow "apc precision".
  run.Handler().GetOutputDisplayOptions().SetInt(kmDispTrendAPCPrec, 2);
  const std::vector<std::string> vLines =
      Lines(Export(run.Handler(), WriteDataExport, DataOptions(true)));
  // Header, then cohort 0: 12 + 0 rows for models 0 and 2 (model 1 has
  // none), 12 + 2 kinkmark rows for model 2.
  std::vector<std::vector<std::string> > vModel2;
  for (size_t i = 1; i < vLines.size(); ++i) {
    const std::vector<std::string> v = Cells(vLines[i], kTab);
    if (v[0] == "\"Male\"" && v[1] == "\"North\"" && v[8] == "2") {
      vModel2.push_back(v);
    }
  }
  ASSERT_EQ(vModel2.size(), 14u);
  EXPECT_EQ(vModel2[0][3], ".");  // -1e30 observed
  EXPECT_EQ(vModel2[1][2], ".");  // -9999.0 independent value
  EXPECT_EQ(vModel2[6][3], ".");  // the kinkmark row has no observation
  EXPECT_EQ(vModel2[6][6], "Kinkmark 1");
  EXPECT_EQ(vModel2[6][7], ".");
  EXPECT_EQ(vModel2[5][7], "0.25");
  EXPECT_EQ(vModel2[13][7], "2.75*");
  EXPECT_EQ(vModel2[13][4], "21.50");  // fitted values are kept
}

TEST(kmTextData, SeparateColumnsKeepEveryFittedValue) {
  auto pRun = GoldenRun();
  const std::vector<std::string> vLines =
      Lines(Export(pRun->Handler(), WriteDataExport, DataOptions(false)));
  const std::vector<std::string> vHeader = Cells(vLines[0], kTab);
  const std::vector<std::string> vRow = Cells(vLines[1], kTab);
  ASSERT_EQ(vRow.size(), vHeader.size());
  // Sex, Area, Year, Rate, then KM0 with its flag and APC.
  EXPECT_EQ(vHeader[4], "\"KM0\"");
  EXPECT_EQ(vRow[4], "10.50");
}

TEST(kmTextData, SeparateColumnsNameTheFinalModelByItsKinkmarks) {
  // Models of 1 to 3 kinkmarks, the final one of 2; the MADWD rule hides
  // the model of iHidden kinkmarks.
  struct Case {
    int iHidden;
    const char* sFinal;
  };
  const Case kCases[] = {{3, "2"}, {2, "-"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iHidden);
    kmCalcData record = MakeRecord(1, 3, 2, 0.0);
    for (kmTable& model : record.vModels) AddData(model, 12);
    record.bMADWD = true;
    record.vModels[static_cast<size_t>(c.iHidden - 1)].SetMADWDPass(false);
    RunSpec spec;
    spec.iMinKinkmarks = 1;
    spec.bMADWD = true;
    spec.adjustSession = [](kmSession& s) {
      GoldenSession(s);
      s.SetInt(kmOptMaxKinkmarks, 3);
    };
    ReportsRun run(spec, std::vector<kmCalcData>(4, record), {});
    const std::vector<std::string> vLines =
        Lines(Export(run.Handler(), WriteDataExport, DataOptions(false)));
    EXPECT_EQ(Cells(vLines[0], kTab).back(), "\"Final Selected Model\"");
    EXPECT_EQ(Cells(vLines[1], kTab).back(), c.sFinal);
  }
}

// A model table narrower than the data export reads (here only the
// independent and observed values) gives missing cells in either layout,
// never a read past the table's columns.
TEST(kmTextData, NarrowModelTablesGiveMissingCells) {
  for (bool bSameColumn : {true, false}) {
    SCOPED_TRACE(bSameColumn ? "one column" : "separate columns");
    std::vector<kmCalcData> vCohorts(4, DataRecord(1, 0, 0.0));
    for (kmCalcData& record : vCohorts) {
      const NEWMAT::Matrix data = record.vModels[0].GetData();
      record.vModels[0].SetData(data.Columns(1, 2));
    }
    RunSpec spec;
    spec.adjustSession = GoldenSession;
    ReportsRun run(spec, vCohorts, {});
    const std::vector<std::string> vLines =
        Lines(Export(run.Handler(), WriteDataExport, DataOptions(bSameColumn)));
    ASSERT_EQ(vLines.size(), 1u + 4 * 12);
    const std::vector<std::string> vHeader = Cells(vLines[0], kTab);
    for (size_t i = 1; i < vLines.size(); ++i) {
      const std::vector<std::string> vRow = Cells(vLines[i], kTab);
      ASSERT_EQ(vRow.size(), vHeader.size()) << vLines[i];
      EXPECT_EQ(vRow[4], ".") << vLines[i];  // no fitted value
    }
  }
}

TEST(kmCalcHandler, RecordsWithoutLabelsAreLabelledFromLevelCodes) {
  std::vector<kmCalcData> vCohorts(2, DataRecord(1, 0, 0.0));
  for (kmCalcData& r : vCohorts) r.vCohortLabel.clear();
  RunSpec spec;
  spec.bLabelledArea = false;
  spec.bSexByVar = true;
  spec.iAreaLevels = 1;
  ReportsRun run(spec, vCohorts, {});
  KmVector<kmCalcData*>& vRecords = run.Handler().GetCalcDataVector(1);
  ASSERT_EQ(vRecords.size(), 1u);
  std::unique_ptr<kmCalcData> pRecord(vRecords[0]);
  vRecords.clear();
  ASSERT_EQ(pRecord->vCohortLabel.size(), 2u);
  EXPECT_STREQ(pRecord->vCohortLabel[0].GetCString(), "Female");
  EXPECT_STREQ(pRecord->vCohortLabel[1].GetCString(), "1");
  // And every export of such a run is written.
  EXPECT_EQ(Lines(APC(run.Handler(), DataOptions(true))).size(), 3u);
}

// Counts the bytes read by position (every read of a results file) and the
// handler's fetch share at each read.
struct CountingFileSystem : KmFileSystem {
  explicit CountingFileSystem(const kmCalcHandler& h) : handler(h) {}
  ssize_t ReadAt(int iFd, void* p, size_t n, off_t iAt) override {
    const ssize_t iRead = KmFileSystem::ReadAt(iFd, p, n, iAt);
    iBytes += iRead > 0 ? iRead : 0;
    vPercents.push_back(handler.GetFetchPercent());
    return iRead;
  }
  const kmCalcHandler& handler;
  int64_t iBytes = 0;
  std::vector<int32_t> vPercents;
};

// Fault: every seek, position and size query of the results file dropped
// the bytes its reader held, so each small read of a record read 64 KiB
// again: the exports of 10,000 cohorts copied about 100 GB out of a 17.6 MB
// file. Each export now reads the records about once, and the share of
// them it has walked rises as it goes.
TEST(kmExports, EachExportReadsTheResultsFileAboutOnceAsItsShareRises) {
  RunSpec spec;
  spec.iAreaLevels = 150;
  spec.bLabelledArea = false;
  spec.adjustSession = GoldenSession;
  ReportsRun run(
      spec, std::vector<kmCalcData>(NumCohorts(spec), DataRecord(3, 1, 0.0)),
      {});
  kmCalcHandler& handler = run.Handler();
  const int64_t iRecords =
      static_cast<int64_t>(std::filesystem::file_size(run.Path("run.kmo"))) -
      handler.GetCohortOffsets()[0];
  // Large enough that one 64 KiB read more or less changes little.
  ASSERT_GT(iRecords, 1 << 20);
  const Writer kWriters[] = {
      [](kmCalcHandler& h, const KmFileTarget& path,
         const DataExportOptions& o) { WriteAPCExport(h, path, o, true); },
      WriteReportExport,
      WriteDataExport,
      WriteAAPCExport,
      WriteModelSelectionExport,
      WriteJumpCRExport,
      WriteSelectionResultsExport,
      WriteFinalSelectedModelExport};
  for (const Writer& write : kWriters) {
    SCOPED_TRACE(&write - kWriters);
    CountingFileSystem counting(handler);
    {
      ScopedFileSystem scoped(&counting);
      Export(handler, write, DataOptions(true));
    }
    // About one pass: the bytes still held from the reads before count once.
    EXPECT_GE(counting.iBytes, iRecords * 9 / 10);
    EXPECT_LE(counting.iBytes, iRecords * 11 / 10);
    // Part-way the share lies between its ends; it never falls back.
    ASSERT_GT(counting.vPercents.size(), 10u);
    EXPECT_LT(counting.vPercents[1], 20);
    EXPECT_GT(counting.vPercents.end()[-2], 80);
    EXPECT_TRUE(
        std::is_sorted(counting.vPercents.begin(), counting.vPercents.end()));
  }
}

}  // namespace
}  // namespace km_test
