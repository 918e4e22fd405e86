// Tests of the session's observation counts, its estimate from the data
// file and its per-cohort limits (SetCohortObservationCounts,
// GetEstimatedMaxKMs, GetNumObservationsThisCohort,
// GetMaxNumberOfKinkmarksForCohort).
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "session/kmSession.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;
using km_test::DataPath;

// A session over a tab-delimited data file with the columns by-variable
// (1), year (2) and, for the clustered scan, age group (3).
void SetUpSession(kmSession& session, const std::string& sDataFile,
                  bool bByVariable = true) {
  session.AddVariable(kmVariable("Sex", 1, nullptr));
  session.AddVariable(kmVariable("Year", 2, nullptr));
  session.AddVariable(kmVariable("Age", 3, nullptr));
  session.SetKMVarPosition(kmVarIndependent, 2);
  session.SetKMVarPosition(kmVarAdjustment, 3);
  if (bByVariable) session.AddByVarPosition(1);
  session.SetString(kmStrDataFile, sDataFile.c_str());
}

// Lines "<by>\t<year>\t0" for each cohort's years.
std::string Cohorts(const std::vector<std::vector<int>>& cohorts) {
  std::string sText;
  for (size_t c = 0; c < cohorts.size(); ++c) {
    for (int iYear : cohorts[c]) {
      sText += std::to_string(c + 1) + "\t" + std::to_string(iYear) + "\t0\n";
    }
  }
  return sText;
}

std::vector<int> Years(int iFirst, int iCount) {
  std::vector<int> years;
  for (int i = 0; i < iCount; ++i) years.push_back(iFirst + i);
  return years;
}

std::vector<int32_t> Counts(const kmSession& session) {
  return std::vector<int32_t>(session.GetObservationCounts().begin(),
                              session.GetObservationCounts().end());
}

TEST(kmSessionScans, TwoEqualCohortsGiveOneRecord) {
  kmSession session;
  bool bVarying = true;
  session.SetCohortObservationCounts(KmVector<int32_t>{10, 10}, &bVarying);
  EXPECT_FALSE(bVarying);
  EXPECT_EQ(Counts(session), (std::vector<int32_t>{10, 10}));
  ASSERT_EQ(session.GetObservationRecords().size(), 1u);
  const NumOfObs& record = session.GetObservationRecords()[0];
  EXPECT_EQ(record.iNumObs, 10);
  EXPECT_EQ(record.iNumCohorts, 2);
  EXPECT_EQ(
      std::vector<int32_t>(record.vCohorts.begin(), record.vCohorts.end()),
      (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(record.iMaxKinkmarks, 1);
  EXPECT_EQ(session.GetMaxObservations(), 10);
}

TEST(kmSessionScans, BlankLinesBeforeTheHeaderAreNotData) {
  // The estimate dropped the first line as the header even when it was
  // blank, so the header itself was counted as an observation. Blank lines
  // before the header are now passed over, as the data reader does.
  km_test::ScratchDir dir;
  const std::string path = dir.File("data.txt");
  km_test::WriteAll(path, "\n \nSex\tYear\tAge\n" +
                              Cohorts({Years(2000, 7), Years(2000, 7)}));
  kmSession session;
  SetUpSession(session, path);
  session.SetBool(kmOptVarNamesIncluded, true);
  EXPECT_EQ(session.GetEstimatedMaxKMs(), 1);
}

TEST(kmSessionScans, GzipFileAndItsPlainTwinGiveTheSameEstimate) {
  for (const char* sFile :
       {"scans/cohorts_10_12.txt", "scans/cohorts_10_12.txt.gz"}) {
    SCOPED_TRACE(sFile);
    kmSession session;
    SetUpSession(session, DataPath(sFile));
    session.SetBool(kmOptVarNamesIncluded, true);
    EXPECT_EQ(session.GetEstimatedMaxKMs(), 1);
  }
}

TEST(kmSessionScans, DamagedGzipFileIsReported) {
  km_test::ScratchDir dir;
  std::string sBytes = km_test::ReadAll(DataPath("scans/cohorts_10_12.txt.gz"));
  const std::string path = dir.File("cut.txt.gz");
  km_test::WriteAll(path, sBytes.substr(0, sBytes.size() / 2));
  kmSession session;
  SetUpSession(session, path);
  KmException e = CatchKmException([&] { session.GetEstimatedMaxKMs(); });
  EXPECT_NE(std::string(e.GetMessage()).find("Cannot read compressed file"),
            std::string::npos)
      << e.GetMessage();
  EXPECT_NE(std::string(e.GetCallPath()).find("GetEstimatedMaxKMs"),
            std::string::npos);
}

TEST(kmSessionScans, LineWithNulByteIsRefusedByTheEstimate) {
  // Fault: a NUL byte cut a line short unseen, so the estimate counted a
  // record the readers of the data later refuse.
  const std::string sText = "1\t2000\t0\n1\t2001\t0\n\n1\t20" +
                            std::string(1, '\0') + "02\t0\n2\t2000\t0\n";
  for (bool bGzip : {false, true}) {
    km_test::ScratchDir dir;
    const std::string path = dir.File(bGzip ? "nul.txt.gz" : "nul.txt");
    if (bGzip) {
      gzFile out = gzopen(path.c_str(), "wb");
      ASSERT_NE(out, nullptr);
      gzwrite(out, sText.data(), static_cast<unsigned>(sText.size()));
      gzclose(out);
    } else {
      km_test::WriteAll(path, sText);
    }
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    kmSession session;
    SetUpSession(session, path);
    KmException e = CatchKmException([&] { session.GetEstimatedMaxKMs(); });
    EXPECT_EQ(
        std::string(e.GetMessage()),
        "Data file \"" + path + "\" is damaged: line 4 holds a NUL byte.");
    EXPECT_EQ(e.GetKind(), 3);
  }
}

TEST(kmSessionScans, CohortCountsReplaceTheCountsAndRebuildTheRecords) {
  kmSession session;
  bool bVarying = false;
  for (int iPass = 0; iPass < 2; ++iPass) {
    session.SetCohortObservationCounts(KmVector<int32_t>{6, 6, 4}, &bVarying);
    EXPECT_EQ(Counts(session), (std::vector<int32_t>{6, 6, 4}));
    EXPECT_TRUE(bVarying);
    EXPECT_EQ(session.GetMaxObservations(), 6);
    ASSERT_EQ(session.GetObservationRecords().size(), 2u);
    EXPECT_EQ(session.GetObservationRecords()[1].iNumObs, 4);
  }
}

TEST(kmSessionScans, EstimateOfTheMaximumNumberOfKinkmarks) {
  struct Case {
    const char* sName;
    std::string sText;
    int iByVarPosition;  // 0: no by-variables
    int iEstimate;
  };
  // Six lines of group 5 in column 3, a line too short for column 3, then
  // ten more lines of group 5.
  std::string sShort;
  for (int i = 0; i < 17; ++i) {
    sShort += "1\t" + std::to_string(2000 + i) + (i == 6 ? "\n" : "\t5\n");
  }
  const Case kCases[] = {
      // First cohort of 12 lines: 2 kinkmarks.
      {"by-variable", Cohorts({Years(2000, 12), Years(2000, 30)}), 1, 2},
      // Without by-variables every line counts: 42 lines give 5.
      {"no by-variables", Cohorts({Years(2000, 12), Years(2000, 30)}), 0, 5},
      // The line too short for the key is counted and ends the count: 7.
      {"short line", sShort, 3, 1},
      {"key changes after blank lines",
       Cohorts({Years(2000, 7)}) + "\n\n2\t2000\t0\n2\t2001\t0\n", 1, 1},
      {"empty file", "", 1, 0},
  };
  km_test::ScratchDir dir;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::string path = dir.File("data.txt");
    km_test::WriteAll(path, c.sText);
    kmSession session;
    SetUpSession(session, path, false);
    if (c.iByVarPosition > 0) session.AddByVarPosition(c.iByVarPosition);
    EXPECT_EQ(session.GetEstimatedMaxKMs(), c.iEstimate);
  }
}

TEST(kmSessionScans, SpreadsheetDataFilesAreReadThroughTheTemporaryFile) {
  km_test::ScratchDir dir;
  const std::string sTemp = dir.File("converted.txt");
  km_test::WriteAll(sTemp, Cohorts({Years(2000, 7), Years(2000, 7)}));
  kmSession session;
  SetUpSession(session, dir.File("book.xlsx"));
  KmException e = CatchKmException([&] { session.GetEstimatedMaxKMs(); });
  EXPECT_STREQ(e.GetMessage(), "Temporary input file does not exist.");
  EXPECT_STREQ(e.GetSource(), "GetEstimatedMaxKMs()");

  session.SetTempInputFile(sTemp.c_str());
  EXPECT_EQ(session.GetEstimatedMaxKMs(), 1);
}

TEST(kmSessionScans, ObservationCountOfACohort) {
  kmSession session;
  bool bVarying = false;
  session.SetCohortObservationCounts(KmVector<int32_t>{10, 26}, &bVarying);
  EXPECT_EQ(session.GetNumObservationsThisCohort(1), 26);
  for (int iBad : {2, -1}) {
    KmException e =
        CatchKmException([&] { session.GetNumObservationsThisCohort(iBad); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Index out of bounds.  Cohort Number: " + std::to_string(iBad));
    EXPECT_STREQ(e.GetSource(), "GetNumObservationsThisCohort(int)");
  }
}

TEST(kmSessionScans, PerCohortMaximumNumberOfKinkmarks) {
  struct Case {
    const char* sName;
    bool bPerCohort;   // kmOptPerCohortMaxKinkmarks
    int iFeasibility;  // kmOptMaxKinkmarksFeasibility
    const char* sVersion;
    int iMax, iEnd, iBetween, iObservations;
    int iExpected;
  };
  const Case kCases[] = {
      {"option 46 off", false, 1, "V4.9.0.0", 4, 2, 2, 5, 4},
      {"spacing rule", true, 1, "V4.9.0.0", 4, 2, 2, 12, 3},
      {"spacing rule fits", true, 1, "V4.9.0.0", 3, 2, 2, 11, 3},
      {"older session follows the spacing rule", true, 0, "4.800", 4, 2, 2, 10,
       2},
      {"default for the count", true, 0, "V4.9.0.0", 4, 2, 2, 26, 4},
      // Fault: the default for a long cohort (5) replaced the user's 3; a
      // per-cohort maximum now only lowers it.
      {"user's maximum below the default", true, 0, "4.900", 3, 2, 2, 40, 3},
      {"default below the user's maximum", true, 0, "V4.9.0.0", 5, 2, 2, 20, 3},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmSession session;
    bool bVarying = false;
    session.SetCohortObservationCounts(KmVector<int32_t>{c.iObservations},
                                       &bVarying);
    session.SetBool(kmOptPerCohortMaxKinkmarks, c.bPerCohort);
    session.SetInt(kmOptMaxKinkmarksFeasibility, c.iFeasibility);
    session.SetVersion(c.sVersion);
    session.SetInt(kmOptMaxKinkmarks, c.iMax);
    session.SetInt(kmOptMinObsEnd, c.iEnd);
    session.SetInt(kmOptMinObsBetween, c.iBetween);
    EXPECT_EQ(session.GetMaxNumberOfKinkmarksForCohort(0), c.iExpected);
  }
}

TEST(kmSessionScans, PerCohortMaximumNeverGoesBelowZero) {
  // With the spacing rule, the maximum was lowered until the rule held, past
  // zero: a cohort of 1 observation with 2 required at each end got -1
  // kinkmarks. It now stops at 0, the model without kinkmarks.
  kmSession session;
  bool bVarying = false;
  session.SetCohortObservationCounts(KmVector<int32_t>{1, 3}, &bVarying);
  session.SetBool(kmOptPerCohortMaxKinkmarks, true);
  session.SetInt(kmOptMaxKinkmarksFeasibility, 1);
  session.SetInt(kmOptMaxKinkmarks, 4);
  session.SetInt(kmOptMinObsEnd, 2);
  session.SetInt(kmOptMinObsBetween, 2);
  EXPECT_EQ(session.GetMaxNumberOfKinkmarksForCohort(0), 0);
  EXPECT_EQ(session.GetMaxNumberOfKinkmarksForCohort(1), 0);
  session.SetInt(kmOptMaxKinkmarks, -2);
  EXPECT_EQ(session.GetMaxNumberOfKinkmarksForCohort(1), 0);
}

}  // namespace
