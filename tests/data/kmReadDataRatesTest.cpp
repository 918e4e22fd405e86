// Tests of kmReadData's reads of age-adjusted data: the directly
// age-adjusted rates of ReadDataAndCalcRates, the comparability-ratio
// adjustment of their rows, and the numeric groups of
// ReadDataAndCalcRates_Cluster.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/data/PrereadFixtures.h"
#include "tests/data/ReaderFixtures.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using reader_test::MakeAgeAdjustedSession;
using reader_test::Num;
using reader_test::ReaderRun;

constexpr double kN = 100000.0;  // kmOptRatesPerN 0 means per 100000

// Expected rate and standard error of one group, written out from the
// definition: R = N sum w_k c_k / p_k, E = N sqrt(sum w_k^2 c_k / p_k^2).
struct Group {
  double c[3], p[3], s[3];
};
void Expected(const Group& g, double& dR, double& dE) {
  const double S = g.s[0] + g.s[1] + g.s[2];
  double dV = 0.0;
  dR = 0.0;
  for (int k = 0; k < 3; ++k) {
    const double w = g.s[k] / S;
    dR += w * g.c[k] / g.p[k] * kN;
    dV += w * w * g.c[k] / (g.p[k] * g.p[k]);
  }
  dE = kN * std::sqrt(dV);
}

TEST(kmReadDataCalcRates, AgeAdjustsEveryGroupOfAdjustmentRecords) {
  ReaderRun run(MakeAgeAdjustedSession(km_test::DataPath("reader/aar.csv")));
  ASSERT_EQ(run.reader.GetNumAdjustGroups(), 3);
  int iCopy = -1;
  run.reader.ReadDataAndCalcRates(&iCopy);
  EXPECT_EQ(iCopy, 0);
  kmCohortRows rows = run.reader.GetCohortRows();
  ASSERT_EQ(rows.size(), 3u);

  // Year 2000: the group's last record with Q and P, an empty field, R, E.
  double dR = 0, dE = 0;
  Expected({{10, 20, 30}, {1000, 2000, 3000}, {1, 1, 2}}, dR, dE);
  ASSERT_EQ(rows[0].size(), 9u);
  EXPECT_EQ(rows[0][1], "2000");
  EXPECT_EQ(rows[0][2], "3");
  EXPECT_EQ(rows[0][3], "60.000000");
  EXPECT_EQ(rows[0][4], "6000.000000");
  EXPECT_EQ(rows[0][5], "2");
  EXPECT_EQ(rows[0][6], "");
  EXPECT_EQ(rows[0][7], "     1000.0000000000");
  EXPECT_TRUE(km_test::RelNear(Num(rows[0][7]), dR, 1e-12));
  EXPECT_TRUE(km_test::RelNear(Num(rows[0][8]), dE, 1e-9));
  // The same standard error from R's direct standardisation,
  // sqrt(sum(w^2 * c / p^2)) * 1e5.
  EXPECT_TRUE(km_test::RelNear(Num(rows[0][8]), 133.072661855594, 1e-11));

  // Year 2001: rate 1250 and standard error 247.907913010725 (Python,
  // 1e5 * sum(w * c / p) and 1e5 * sqrt(sum(w**2 * c / p**2))).
  Expected({{5, 20, 30}, {250, 2000, 3000}, {1, 1, 2}}, dR, dE);
  EXPECT_EQ(rows[1][4], "5250.000000");
  EXPECT_TRUE(km_test::RelNear(Num(rows[1][7]), dR, 1e-12));
  EXPECT_TRUE(km_test::RelNear(Num(rows[1][8]), dE, 1e-9));
  EXPECT_TRUE(km_test::RelNear(Num(rows[1][7]), 1250.0, 1e-12));
  EXPECT_TRUE(km_test::RelNear(Num(rows[1][8]), 247.907913010725, 1e-11));

  // Cohort 2: a negative standard population leaves its group without
  // rate and standard error; so does the last year, which lacks two
  // groups, and a population of 0.
  run.reader.ReadDataAndCalcRates(&iCopy);
  EXPECT_EQ(iCopy, 1);
  rows = run.reader.GetCohortRows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][7], ".");
  EXPECT_EQ(rows[0][8], ".");
  EXPECT_NE(rows[1][7], ".");
  EXPECT_EQ(rows[2][1], "2002");
  EXPECT_EQ(rows[2][7], ".");
  EXPECT_EQ(rows[3][7], ".");
}

TEST(kmReadDataCalcRates, UnusableRecordKeepsTheGroupMissing) {
  // Fault: the missing rate was the sentinel -1e30 with the later records'
  // rates added to it, so one huge rate turned it back into a number, and
  // a usable last record gave the group a standard error anyway.
  km_test::ScratchDir dir;
  ReaderRun run(MakeAgeAdjustedSession(preread_test::WriteDataFile(
      dir, "huge",
      "1,2000,1,.,1000,1\n1,2000,2,1000000000,0.000000001,1\n"
      "1,2000,3,30,3000,2\n",
      false)));
  int iCopy = -1;
  run.reader.ReadDataAndCalcRates(&iCopy);
  const kmCohortRows rows = run.reader.GetCohortRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][7], ".");
  EXPECT_EQ(rows[0][8], ".");
}

TEST(kmReadDataCalcRates, ZeroCohortPopulationLeavesEveryRateMissing) {
  km_test::ScratchDir dir;
  ReaderRun run(MakeAgeAdjustedSession(preread_test::WriteDataFile(
      dir, "zero", "1,2000,1,0,0,1\n1,2000,2,0,0,1\n1,2000,3,0,0,2\n", false)));
  int iCopy = -1;
  run.reader.ReadDataAndCalcRates(&iCopy);
  const kmCohortRows rows = run.reader.GetCohortRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][7], ".");
  EXPECT_EQ(rows[0][8], ".");
}

// The comparability-ratio copy of age-adjusted data: its rows are those of
// the standard copy, adjusted up to the jump location.
TEST(kmReadDataCalcRates, ComparabilityRatioCopyAdjustsRowsUpToTheJump) {
  const std::string sFile = km_test::DataPath("reader/aar.csv");
  ReaderRun plain(MakeAgeAdjustedSession(sFile));
  int iCopy = -1;
  plain.reader.ReadDataAndCalcRates(&iCopy);
  const kmCohortRows base = plain.reader.GetCohortRows();

  struct Case {
    double dRatio, dVariance;
  };
  // Case 3 (fault): a negative variance (-1 when unset) wrote "nan" as the
  // standard error; it is now the missing text.
  for (const Case& c : {Case{0.9, 0.0}, Case{1.0, 0.01}, Case{0.9, -1.0}}) {
    SCOPED_TRACE(testing::Message() << c.dRatio << " " << c.dVariance);
    auto pSession = MakeAgeAdjustedSession(sFile);
    pSession->SetInt(kmOptJumpCRMode, 5);  // CR copy, then standard copy
    pSession->SetDouble(kmOptJumpLocation, 2000.0);
    pSession->SetDouble(kmOptCRValue, c.dRatio);
    pSession->SetDouble(kmOptCRVariance, c.dVariance);
    pSession->AddByVarJump();
    ReaderRun run(std::move(pSession));
    ASSERT_TRUE(run.reader.GetCohortGoodFlag(0));
    run.reader.ReadDataAndCalcRates(&iCopy);
    const kmCohortRows rows = run.reader.GetCohortRows();
    ASSERT_EQ(rows.size(), 3u);
    const double r = Num(base[0][7]);
    const double s = Num(base[0][8]);
    EXPECT_TRUE(km_test::RelNear(Num(rows[0][7]), r * c.dRatio, 1e-9));
    if (c.dVariance < 0) {
      EXPECT_EQ(rows[0][8], ".");
    } else {
      EXPECT_TRUE(km_test::RelNear(Num(rows[0][8]),
                                   std::sqrt(c.dRatio * c.dRatio * s * s +
                                             c.dVariance * (s * s + r * r)),
                                   1e-9));
    }
    EXPECT_EQ(rows[1], base[1]);  // 2001 is after the jump

    // The standard copy of the same cohort is read unadjusted.
    run.reader.ReadDataAndCalcRates(&iCopy);
    EXPECT_EQ(iCopy, 1);
    EXPECT_EQ(run.reader.GetCohortRows(), base);
  }
}

TEST(kmReadDataCluster, GroupsRunsOfEqualIndependentValues) {
  km_test::ScratchDir dir;
  ReaderRun run(MakeAgeAdjustedSession(preread_test::WriteDataFile(
      dir, "cluster",
      "1,2000,1,10,1000,1\n1,2000,2,20,-5,1\n\n"
      "1,2001,1,11,1100,1\n1,2001,2,x,1200,1\n1,2001,3,13,1300,2\n"
      "2,2000,1,1,10,1\n",
      false)));
  kmValueTable table;
  int iCopy = -1;
  run.reader.ReadDataAndCalcRates_Cluster(&iCopy, table);
  EXPECT_EQ(iCopy, 0);
  EXPECT_TRUE(run.reader.GetCohortRows().empty());
  ASSERT_EQ(table.size(), 2u);
  ASSERT_EQ(table[0].size(), 2u);
  ASSERT_EQ(table[1].size(), 3u);
  // Codes 1, 2, 3 are the age format's lines 0, 1, 2.
  EXPECT_EQ(table[0][0], kmValueRow({0, 10, 1000, 1}));
  // A negative population clears count, population and standard population.
  EXPECT_EQ(table[0][1], kmValueRow({1, -1e30, -1e30, -1e30}));
  // A count that is no number does the same.
  EXPECT_EQ(table[1][1], kmValueRow({1, -1e30, -1e30, -1e30}));
  EXPECT_EQ(table[1][2], kmValueRow({2, 13, 1300, 2}));

  run.reader.ReadDataAndCalcRates_Cluster(&iCopy, table);
  EXPECT_EQ(iCopy, 1);
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0][0], kmValueRow({0, 1, 10, 1}));
}

TEST(kmReadDataCluster, RecordWithoutItsLastNeededFieldIsRefused) {
  // Fault: a record exactly one field short of the standard-population
  // column passed the field-count check and read the absent value as 0.
  km_test::ScratchDir dir;
  auto pSession = MakeAgeAdjustedSession(preread_test::WriteDataFile(
      dir, "shortcl", "1,2000,1,10,1000,1\n1,2000,2,20,2000\n", false));
  ReaderRun run(std::move(pSession));
  kmValueTable table;
  int iCopy = -1;
  const KmException e = km_test::CatchKmException(
      [&] { run.reader.ReadDataAndCalcRates_Cluster(&iCopy, table); });
  EXPECT_STREQ(e.GetMessage(),
               "Data record in cohort number 0 does not have enough fields. "
               " Max number of fields needed:  6  Number of fields in data "
               "record:  5");
  EXPECT_STREQ(e.GetSource(), "kmReadData::ReadDataAndCalcRates_Cluster()");
}

}  // namespace
