// Cluster, as a run uses it: its text and the result file beside the results
// file, several calculators at once, and whole clustering runs of the
// calculation control.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "engine/kmCalculator.h"
#include "engine/kmCohortClustering.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmProgressInterface.h"
#include "foundation/kmRunProgressTrackers.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/engine/RunFixture.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestSession.h"
#include "tests/test_util/TestUtil.h"

namespace {

// Clustering options: straight lines chosen by BIC, groups in order.
void SetClusterOptions(kmSession& session, int iMaxClusters) {
  session.SetInt(kmOptMinKinkmarks, 0);
  session.SetInt(kmOptMaxKinkmarks, 0);
  session.SetInt(kmOptMinObsEnd, 2);
  session.SetInt(kmOptMinObsBetween, 2);
  session.SetInt(kmOptGridPointsBetween, 0);
  session.SetInt(kmOptClusterSetting, iMaxClusters);
  session.SetInt(kmOptClusterCriterion, 2);
  session.SetInt(kmOptClusterOrdering, 0);
  session.SetInt(kmOptPermutationSeed, 7);
}

// Four groups "a".."d" of 8 rows (x, y, standard error): a and b rise, c
// and d fall.
void InstallTwoTrends(kmCalculator& calc) {
  NEWMAT::Matrix m(32, 3);
  std::vector<KmString> labels;
  const char* kLabels[] = {"a", "b", "c", "d"};
  for (int g = 0; g < 4; ++g) {
    for (int t = 0; t < 8; ++t) {
      const int r = g * 8 + t + 1;
      const double wobble = ((r * 37) % 11 - 5) * 0.01;
      m(r, 1) = t;
      m(r, 2) = (g < 2 ? 1.0 + g + 0.5 * t : 9.0 + g - 0.6 * t) + wobble;
      m(r, 3) = 1.0;
      labels.push_back(kLabels[g]);
    }
  }
  calc.SetClusterMatrix(8, m, labels);
}

std::string Block(const char* sLabel, const std::string& sRows, int iRows,
                  int iCols) {
  return "\n" + std::string(sLabel) + "\nDinmenstions:(" +
         std::to_string(iRows) + "," + std::to_string(iCols) + ")\n" + sRows;
}

// What one clustering of the four groups writes.
std::string ExpectedResult(int iMaxClusters, int iChosen,
                           const std::vector<std::string>& partitions) {
  std::string s = Block("lKMax is ", "0.0000000000,\n", 1, 1) +
                  Block("lKMin is ", "0.0000000000,\n", 1, 1) +
                  Block("lNumAllPerm is ", "20.0000000000,\n", 1, 1) +
                  Block("lMaxNumClust is ",
                        std::to_string(iMaxClusters) + ".0000000000,\n", 1, 1);
  const char* kLabels[] = {"a", "b", "c", "d"};
  for (int i = 1; i <= 4; ++i) {
    s += "(Group Index, Group ID) = (" + std::to_string(i) + ", " +
         kLabels[i - 1] + ")\n";
  }
  s += Block("lBestNumClusters is ", std::to_string(iChosen) + ".0000000000,\n",
             1, 1);
  for (size_t k = 1; k <= partitions.size(); ++k) {
    s += Block("lNumClust : --- ", std::to_string(k) + ".0000000000,\n", 1, 1);
    s += partitions[k - 1];
  }
  return s;
}

TEST(kmCalculatorClustering, ResultBlocksBesideTheResultsFile) {
  const std::string kOne = "1.0000000000,";
  const std::string kTwo = "2.0000000000,";
  const std::string kThree = "3.0000000000,";
  const std::string kFour = "4.0000000000,";
  struct Case {
    int iMaxClusters;
    int iChosen;
    std::vector<std::string> partitions;
  };
  const Case kCases[] = {
      {0, -1, {}},
      {2,
       2,
       {Block("Best clusters: ", kOne + kTwo + kThree + kFour + "\n", 1, 4),
        Block("Best clusters: ", kOne + kTwo + "\n" + kThree + kFour + "\n", 2,
              2)}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iMaxClusters);
    km_test::ScratchDir dir;
    kmSession session;
    SetClusterOptions(session, c.iMaxClusters);
    kmCalculator calc(&session);
    InstallTwoTrends(calc);
    EXPECT_EQ(
        std::string(
            ClusteringResultFile(session, dir.File("out.kmo")).GetCString()),
        dir.File("ClusteringResult-KBIC-CBIC-Type-ordered.txt"));
    EXPECT_EQ(kmCohortClustering(calc).Cluster(nullptr),
              ExpectedResult(c.iMaxClusters, c.iChosen, c.partitions));
  }
}

TEST(kmCalculatorClustering, SeveralCalculatorsAtOnceClusterAlike) {
  kmSession session;
  SetClusterOptions(session, 1);
  std::vector<std::string> texts(4);
  std::vector<std::thread> threads;
  for (std::string& sText : texts) {
    threads.emplace_back([&session, &sText] {
      kmCalculator calc(&session);
      InstallTwoTrends(calc);
      sText = kmCohortClustering(calc).Cluster(nullptr);
    });
  }
  for (std::thread& t : threads) t.join();
  const std::string sOnce = ExpectedResult(
      1, 1,
      {Block("Best clusters: ",
             "1.0000000000,2.0000000000,3.0000000000,4.0000000000,\n", 1, 4)});
  for (const std::string& sText : texts) EXPECT_EQ(sText, sOnce);
}

TEST(kmCalculatorClustering, NothingInstalledIsAnError) {
  kmSession session;
  kmCalculator calc(&session);
  const KmException e = km_test::CatchKmException(
      [&] { kmCohortClustering(calc).Cluster(nullptr); });
  EXPECT_STREQ(e.GetMessage(), "No clustering data has been installed.");
}

// A clustered data file: Sex, Year, Age, Count, Pop, StdPop, one cohort
// (sex iSex) of iYears years and iAges age groups coded from iFirstCode;
// for sex 1 ages below half rise and the rest fall, for sex 2 all rise.
std::string ClusteredData(int iAges, int iYears, int iFirstCode = 1,
                          int iSex = 1) {
  std::string s;
  char sLine[96];
  for (int t = 0; t < iYears; ++t) {
    for (int a = 1; a <= iAges; ++a) {
      const int iCount = iSex == 2 || a <= iAges / 2 ? 400 + 40 * t + 3 * a
                                                     : 900 - 30 * t + 5 * a;
      std::snprintf(sLine, sizeof sLine, "%d,%d,%d,%d,100000,1000\n", iSex,
                    2000 + t, a - 1 + iFirstCode, iCount + (t * 7 + a) % 5);
      s += sLine;
    }
  }
  return s;
}

// The session of iCohorts cohorts (sexes 1 .. iCohorts) of ClusteredData.
std::unique_ptr<kmSession> ClusteredSession(const std::string& sData, int iAges,
                                            int iYears, int iOrdering,
                                            int iFirstCode = 1,
                                            int iCohorts = 1) {
  auto pSession = km_test::MakeAgeAdjustedSession(sData);
  std::vector<std::string> vSexes = {"Both"};
  if (iCohorts > 1) vSexes.push_back("Second");
  std::vector<std::string> vAges;
  for (int a = 1; a <= iAges; ++a) vAges.push_back("Age " + std::to_string(a));
  pSession->SetVarFormat(0, km_test::LabelFormat(vSexes));
  pSession->SetVarFormat(2, km_test::LabelFormat(vAges, iFirstCode));
  pSession->SetInt(kmOptComparisonType, 2);
  SetClusterOptions(*pSession, 3);
  pSession->SetInt(kmOptClusterOrdering, iOrdering);
  for (int c = 0; c < iCohorts; ++c) {
    pSession->AddObservationCount(iYears);
  }
  pSession->SetNumCores(2);
  return pSession;
}

// Fault: group codes were read as format line indices, so ages coded 1..4
// fell into the groups after their own (code 4 dropped, group 1 empty) and
// the clustering became 3 clusters with best pair {1,2,3}{4}. Either coding
// of the same counts gives the two trends: {1,2} rising, {3,4} falling.
TEST(kmCalculatorClustering, ClusteringRunWritesBothFiles) {
  // The permutation-test criterion and the unordered group order run the
  // same way as the default pair.
  struct Case {
    int iCriterion;
    int iOrdering;
    int iFirstCode;
    const char* sFile;
  };
  const Case kCases[] = {
      {2, 0, 1, "ClusteringResult-KBIC-CBIC-Type-ordered.txt"},
      {2, 0, 0, "ClusteringResult-KBIC-CBIC-Type-ordered.txt"},
      {0, 1, 1, "ClusteringResult-KPerm-CBIC-Type-unordered.txt"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.sFile) + " from " +
                 std::to_string(c.iFirstCode));
    km_test::ScratchDir dir;
    km_test::WriteAll(dir.File("data.csv"), ClusteredData(4, 8, c.iFirstCode));
    auto pSession =
        ClusteredSession(dir.File("data.csv"), 4, 8, c.iOrdering, c.iFirstCode);
    pSession->SetInt(kmOptClusterCriterion, c.iCriterion);
    run_test::Run run(std::move(pSession));
    const std::string sOut = dir.File("out.kmo");
    ASSERT_TRUE(run.Execute(sOut));
    kmCalcHandler reader(sOut.c_str(), nullptr);
    EXPECT_EQ(reader.GetNumCohortRecords(), 1);
    // The caller appends the text to the file named for the session.
    const std::string sResult = run.handler.GetClusteringText();
    EXPECT_EQ(
        std::string(
            ClusteringResultFile(*run.pSession, sOut.c_str()).GetCString()),
        dir.File(c.sFile));
    EXPECT_NE(sResult.find("(Group Index, Group ID) = (4, 3)\n"),
              std::string::npos);
    EXPECT_NE(sResult.find("\nlBestNumClusters is \nDinmenstions:(1,1)\n"
                           "2.0000000000,\n"),
              std::string::npos)
        << sResult;
    EXPECT_NE(sResult.find("\nlNumClust : --- \nDinmenstions:(1,1)\n"
                           "2.0000000000,\n\nBest clusters: \n"
                           "Dinmenstions:(2,2)\n"
                           "1.0000000000,2.0000000000,\n"
                           "3.0000000000,4.0000000000,\n"),
              std::string::npos);
    EXPECT_NE(sResult.find("\nlNumClust : --- \nDinmenstions:(1,1)\n"
                           "3.0000000000,\n"),
              std::string::npos);
  }
}

// Fault: each cohort's blocks were appended as its worker finished, so the
// order of the cohorts in the file changed from run to run. They follow the
// cohort order on any number of workers: the first cohort's two trends make
// 2 clusters, the second's one trend 1.
TEST(kmCalculatorClustering, BlocksFollowTheCohortOrder) {
  km_test::ScratchDir dir;
  km_test::WriteAll(dir.File("data.csv"),
                    ClusteredData(4, 8) + ClusteredData(4, 8, 1, 2));
  std::vector<std::string> files;
  for (int16_t iThreads : {1, 8}) {
    auto pSession = ClusteredSession(dir.File("data.csv"), 4, 8, 0, 1, 2);
    pSession->SetNumCores(iThreads);
    run_test::Run run(std::move(pSession));
    ASSERT_TRUE(run.Execute(dir.File("out.kmo")));
    files.push_back(run.handler.GetClusteringText());
  }
  EXPECT_EQ(files[0], files[1]);
  const std::string sChosen = "\nlBestNumClusters is \nDinmenstions:(1,1)\n";
  const size_t iOne = files[0].find(sChosen + "1.0");
  EXPECT_LT(files[0].find(sChosen + "2.0"), iOne) << files[0];
  EXPECT_NE(iOne, std::string::npos);
}

// Fault: a code of no age group, which verification refuses its cohort
// for, ended the whole run when the cohort's records were read.
TEST(kmCalculatorClustering, CodeOfNoAgeGroupIsRefused) {
  km_test::ScratchDir dir;
  std::string sData = ClusteredData(4, 8);
  const std::string sSeventh = "1,2001,3,";
  sData.replace(sData.find(sSeventh), sSeventh.size(), "1,2001,5,");
  km_test::WriteAll(dir.File("data.csv"), sData);
  run_test::Run run(ClusteredSession(dir.File("data.csv"), 4, 8, 0));
  ASSERT_TRUE(run.Execute(dir.File("out.kmo")));
  const kmReadData& reader = *run.handler.GetReadData();
  EXPECT_FALSE(reader.GetCohortGoodFlag(0));
  EXPECT_NE(std::string(reader.GetIsCohortGoodToUse(0).GetCString())
                .find(", line 7, column 3: the adjustment variable Age holds "
                      "the code \"5\", which is none of the 4 groups"),
            std::string::npos)
      << reader.GetIsCohortGoodToUse(0).GetCString();
}

TEST(kmCalculatorClustering, FailedClusteringIsTheRunsFailure) {
  km_test::ScratchDir dir;
  km_test::WriteAll(dir.File("data.csv"), ClusteredData(13, 6));
  run_test::Run run(ClusteredSession(dir.File("data.csv"), 13, 6, 1));
  const KmException e =
      km_test::CatchKmException([&] { run.Execute(dir.File("out.kmo")); });
  EXPECT_STREQ(e.GetMessage(),
               "The clustering of 13 groups exceeds the limit of 12 groups "
               "for the unordered group order.");
  const std::string sPath = e.GetCallPath();
  EXPECT_NE(sPath.find("Cluster() of kmCohortClustering"), std::string::npos);
  EXPECT_NE(sPath.find("ExecuteThreaded()"), std::string::npos);
}

}  // namespace
