// Tests of kmClusterCompression: setup from the session, the forward and
// backward merging of small adjustment groups, the summed table and the
// group statistics.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/kmClusterCompression.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestSession.h"

namespace {

// Options of a test session.
struct SessionSetup {
  int nAdjustLines = 4;  // lines "G1".."Gn" of the adjustment format; -1: none
  int nYearLines = 0;    // lines of the year format; 0: no format
  double dThreshold = 0.0;
  int iBackward = 0;
  bool bDependentCalculated = true;
  int iDependentType = 4;
  bool bAdjustmentRole = true;
};

// A session whose variables are Year (column 1, role 0) and Age (column 2,
// role 6), with the options of setup.
std::unique_ptr<kmSession> MakeSession(const SessionSetup& setup) {
  auto session = std::make_unique<kmSession>();
  std::vector<std::string> vYears, vAges;
  for (int i = 0; i < setup.nYearLines; ++i) {
    vYears.push_back(std::to_string(2000 + i));
  }
  for (int i = 0; i < setup.nAdjustLines; ++i) {
    vAges.push_back("G" + std::to_string(i + 1));
  }
  const KmFormat years = km_test::LabelFormat(vYears, 0, 'I');
  const KmFormat ages = km_test::LabelFormat(vAges, 0, 'I');
  km_test::AddVariables(
      *session,
      {{"Year", kmVarIndependent, false,
        setup.nYearLines > 0 ? &years : nullptr},
       {"Age", setup.bAdjustmentRole ? kmVarAdjustment : km_test::kNoRole,
        false, setup.nAdjustLines >= 0 ? &ages : nullptr}});
  session->SetBool(kmOptDependentCalculated, setup.bDependentCalculated);
  session->SetInt(kmOptDependentType, setup.iDependentType);
  session->SetDouble(kmOptCompressionThreshold, setup.dThreshold);
  session->SetInt(kmOptCompressBackward, setup.iBackward);
  return session;
}

// A table whose entry v holds one row (count, 10 * count + 100, 1000 + g)
// per group g, from counts[v][g].
kmValueTable TableOfCounts(const std::vector<std::vector<double>>& counts) {
  kmValueTable table;
  for (const std::vector<double>& entry : counts) {
    kmValueRows rows;
    for (size_t g = 0; g < entry.size(); ++g) {
      rows.push_back(KmVector<double>{entry[g], 10.0 * entry[g] + 100.0,
                                      1000.0 + static_cast<double>(g)});
    }
    table.push_back(rows);
  }
  return table;
}

// Groups "G1".."Gn" whose codes are 10 * (i + 1) (distinct from positions).
KmVector<kmAdjustVarFormat> Groups(int n) {
  KmVector<kmAdjustVarFormat> groups;
  for (int i = 0; i < n; ++i) {
    kmAdjustVarFormat group;
    group.sLabel = ("G" + std::to_string(i + 1)).c_str();
    group.codes.push_back(10 * (i + 1));
    groups.push_back(group);
  }
  return groups;
}

std::vector<std::string> LabelsOf(const KmVector<kmAdjustVarFormat>& groups) {
  std::vector<std::string> labels;
  for (const kmAdjustVarFormat& group : groups) {
    labels.push_back(group.sLabel.GetCString());
  }
  return labels;
}

std::vector<std::vector<int>> CodesOf(
    const KmVector<kmAdjustVarFormat>& groups) {
  std::vector<std::vector<int>> codes;
  for (const kmAdjustVarFormat& group : groups) {
    codes.emplace_back(group.codes.begin(), group.codes.end());
  }
  return codes;
}

std::vector<bool> MergedOf(const KmVector<kmAdjustVarFormat>& groups) {
  std::vector<bool> merged;
  for (const kmAdjustVarFormat& group : groups) merged.push_back(group.bMerged);
  return merged;
}

TEST(kmClusterCompressionSetup, NullSessionIsRefused) {
  KmException e = km_test::CatchKmException(
      [] { kmClusterCompression compression(nullptr); });
  EXPECT_STREQ(e.GetMessage(),
               "Cannot create a kmClusterCompression without a valid session "
               "pointer.");
  EXPECT_STREQ(e.GetSource(), "kmClusterCompression");
  EXPECT_NE(std::string(e.GetCallPath())
                .find("kmClusterCompression(kmSession*) of "
                      "kmClusterCompression"),
            std::string::npos);
}

TEST(kmClusterCompressionSetup, UndefinedAdjustmentVariableIsRefused) {
  SessionSetup setup;
  setup.bAdjustmentRole = false;
  auto session = MakeSession(setup);
  KmException e = km_test::CatchKmException(
      [&] { kmClusterCompression compression(session.get()); });
  EXPECT_STREQ(e.GetMessage(), "KM variable 6 not yet defined.");
}

TEST(kmClusterCompressionSetup, ReadsOptionsAndFormats) {
  struct Case {
    const char* name;
    SessionSetup setup;
    bool bAgeAdjusted;
    int nAdjustGroups;
    int nIndepValues;
    std::vector<std::string> baseLabels;
  };
  SessionSetup ageAdjusted;
  ageAdjusted.nAdjustLines = 3;
  ageAdjusted.nYearLines = 5;
  ageAdjusted.dThreshold = 2.5;
  SessionSetup crude = ageAdjusted;
  crude.iDependentType = 3;
  SessionSetup notCalculated = ageAdjusted;
  notCalculated.bDependentCalculated = false;
  SessionSetup noFormat = ageAdjusted;
  noFormat.nAdjustLines = -1;
  noFormat.nYearLines = 0;
  const Case cases[] = {
      {"age-adjusted", ageAdjusted, true, 3, 5, {"G1", "G2", "G3"}},
      // The groups come from the adjustment format whatever the rate type.
      {"crude rate", crude, false, 3, 5, {"G1", "G2", "G3"}},
      // Without calculated rates no base groups are built.
      {"not calculated", notCalculated, false, 3, 5, {}},
      {"no formats", noFormat, true, -1, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto session = MakeSession(c.setup);
    kmClusterCompression compression(session.get());
    EXPECT_EQ(compression.IsAgeAdjusted(), c.bAgeAdjusted);
    EXPECT_EQ(compression.GetThreshold(), 2.5);
    EXPECT_EQ(compression.GetNumAdjustmentGroups(), c.nAdjustGroups);
    EXPECT_EQ(compression.GetNumIndependentValues(), c.nIndepValues);
    EXPECT_EQ(LabelsOf(compression.GetBaseGroups()), c.baseLabels);
    EXPECT_EQ(LabelsOf(compression.GetWorkingGroups()), c.baseLabels);
    for (int i = 0; i < static_cast<int>(c.baseLabels.size()); ++i) {
      EXPECT_EQ(CodesOf(compression.GetBaseGroups())[i], std::vector<int>{i});
    }
    EXPECT_TRUE(compression.GetClusterFormats().empty());
  }
}

TEST(kmClusterCompressionSetup, SetupTwiceDoesNotRepeatGroups) {
  auto session = MakeSession(SessionSetup());
  kmClusterCompression compression(session.get());
  compression.Setup(session.get());
  EXPECT_EQ(compression.GetBaseGroups().size(), 4u);
}

TEST(kmClusterCompressionMerge, MergesSmallGroups) {
  struct Case {
    const char* name;
    double dThreshold;
    int iBackward;
    std::vector<std::vector<double>> counts;  // per independent value
    std::vector<std::string> labels;
    std::vector<std::vector<int>> codes;
    std::vector<bool> merged;
  };
  const Case cases[] = {
      {"leading small groups join the next",
       0.0,
       0,
       {{0, 0, 5, 7}},
       {"G1 to G3", "G4"},
       {{0, 1, 2}, {3}},
       {true, false}},
      {"small last group goes backward",
       0.0,
       0,
       {{5, 7, 0}},
       {"G1", "G2 to G3"},
       {{0}, {1, 2}},
       {false, true}},
      {"small in one value only",
       0.0,
       0,
       {{5, 7, 9}, {5, 0, 9}},
       {"G1", "G2 to G3"},
       {{0}, {1, 2}},
       {false, true}},
      {"absorbs until above threshold",
       10.0,
       0,
       {{12, 3, 4, 20}},
       {"G1", "G2 to G4"},
       {{0}, {1, 2, 3}},
       {false, true}},
      {"negative count is small",
       0.0,
       0,
       {{4, -1, 6}},
       {"G1", "G2 to G3"},
       {{0}, {1, 2}},
       {false, true}},
      {"all small become one group",
       0.0,
       0,
       {{0, 0, 0}},
       {"G1 to G3"},
       {{0, 1, 2}},
       {true}},
      {"backward chain reaches the first group",
       0.0,
       1,
       {{5, 0, 0}},
       {"G1 to G3"},
       {{0, 1, 2}},
       {true}},
      {"backward pairs",
       0.0,
       1,
       {{5, 0, 3, 0}},
       {"G1 to G2", "G3 to G4"},
       {{0, 1}, {2, 3}},
       {true, true}},
      // The first group is never merged backward; the groups then carry
      // positions, not the input codes, because a small count was found.
      {"backward keeps a small first group",
       0.0,
       1,
       {{0, 5}},
       {"G1", "G2"},
       {{0}, {1}},
       {false, false}},
      // Without a small count the input groups stand, with their own codes.
      {"nothing small",
       0.0,
       0,
       {{1, 2, 3}, {4, 5, 6}},
       {"G1", "G2", "G3"},
       {{10}, {20}, {30}},
       {false, false, false}},
      {"threshold is inclusive",
       3.0,
       0,
       {{4, 3, 9}},
       {"G1", "G2 to G3"},
       {{0}, {1, 2}},
       {false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionSetup setup;
    setup.dThreshold = c.dThreshold;
    setup.iBackward = c.iBackward;
    auto session = MakeSession(setup);
    kmClusterCompression compression(session.get());
    const int nGroups = static_cast<int>(c.counts[0].size());
    EXPECT_TRUE(compression.CompressAgeGroups(TableOfCounts(c.counts),
                                              Groups(nGroups)));
    const KmVector<kmAdjustVarFormat>& groups =
        compression.GetCompressedGroups();
    EXPECT_EQ(LabelsOf(groups), c.labels);
    EXPECT_EQ(CodesOf(groups), c.codes);
    EXPECT_EQ(MergedOf(groups), c.merged);
    const KmVector<kmClusterFormat> formats = compression.GetClusterFormats();
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(LabelsOf(formats[0].groups), c.labels);
  }
}

TEST(kmClusterCompressionMerge, MergedFlagOfInputIsClearedWhenNothingMerges) {
  auto session = MakeSession(SessionSetup());
  kmClusterCompression compression(session.get());
  KmVector<kmAdjustVarFormat> groups = Groups(2);
  groups[1].bMerged = true;
  compression.CompressAgeGroups(TableOfCounts({{1, 2}}), groups);
  EXPECT_EQ(MergedOf(compression.GetCompressedGroups()),
            (std::vector<bool>{false, false}));
}

TEST(kmClusterCompressionMerge, SumsRowsOfMergedGroups) {
  auto session = MakeSession(SessionSetup());
  kmClusterCompression compression(session.get());
  kmValueTable table;
  table.push_back(
      kmValueRows{{0, 100, 10}, {0, 200, 20}, {5, 300, 30}, {7, 400, 40}});
  table.push_back(
      kmValueRows{{1, 110, 10}, {2, 210, 20}, {3, 310, 30}, {4, 410, 40}});
  compression.CompressAgeGroups(table, Groups(4));
  const kmValueTable expected{
      kmValueRows{{5, 600, 60}, {7, 400, 40}},
      kmValueRows{{6, 630, 60}, {4, 410, 40}},
  };
  EXPECT_EQ(compression.GetCompressedTable(), expected);
}

TEST(kmClusterCompressionMerge, UnmergedTableIsKeptWhole) {
  auto session = MakeSession(SessionSetup());
  kmClusterCompression compression(session.get());
  kmValueTable table;
  table.push_back(kmValueRows{{1, 100, 10, 99}, {2, 200, 20, 98}});
  compression.CompressAgeGroups(table, Groups(2));
  EXPECT_EQ(compression.GetCompressedTable(), table);
}

TEST(kmClusterCompressionMerge, GroupStatisticsOverIndependentValues) {
  // Counts per year of the groups G1 to G2 and G3: (0+4, 9), (1+1, 3),
  // (3+0, 6).
  SessionSetup setup;
  setup.nAdjustLines = 3;
  setup.nYearLines = 3;
  auto session = MakeSession(setup);
  kmClusterCompression compression(session.get());
  compression.CompressAgeGroups(
      TableOfCounts({{0, 4, 9}, {1, 1, 3}, {3, 0, 6}}), Groups(3));
  const KmVector<kmAdjustVarFormat>& groups = compression.GetCompressedGroups();
  ASSERT_EQ(LabelsOf(groups), (std::vector<std::string>{"G1 to G2", "G3"}));
  EXPECT_EQ(groups[0].dValue1, 2.0);
  EXPECT_EQ(groups[0].dValue2, 4.0);
  EXPECT_EQ(groups[0].dValue3, 3.0);
  EXPECT_EQ(groups[1].dValue1, 3.0);
  EXPECT_EQ(groups[1].dValue2, 9.0);
  EXPECT_EQ(groups[1].dValue3, 6.0);
}

TEST(kmClusterCompressionMerge, MeanDividesByIndependentValuesOfTheTable) {
  // Fault: the mean count was the sum divided by the number of lines of the
  // independent variable's format, so it was always 0 for a year variable
  // without a format and wrong whenever the format lists other years than
  // the cohort has.
  struct Case {
    const char* name;
    int nYearLines;
  };
  const Case cases[] = {{"no year format", 0}, {"larger year format", 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionSetup setup;
    setup.nYearLines = c.nYearLines;
    auto session = MakeSession(setup);
    kmClusterCompression compression(session.get());
    compression.CompressAgeGroups(TableOfCounts({{2, 5}, {4, 6}}), Groups(2));
    const KmVector<kmAdjustVarFormat>& groups =
        compression.GetCompressedGroups();
    EXPECT_EQ(groups[0].dValue3, 3.0);
    EXPECT_EQ(groups[1].dValue3, 5.5);
  }
}

TEST(kmClusterCompressionMerge, EachCallAppendsAClusterFormat) {
  auto session = MakeSession(SessionSetup());
  kmClusterCompression compression(session.get());
  compression.CompressAgeGroups(TableOfCounts({{0, 5, 6}}), Groups(3));
  compression.CompressAgeGroups(TableOfCounts({{4, 5}}), Groups(2));
  const KmVector<kmClusterFormat> formats = compression.GetClusterFormats();
  ASSERT_EQ(formats.size(), 2u);
  EXPECT_EQ(formats[0].iFirstValue, 0);
  EXPECT_EQ(formats[1].iFirstValue, 1);
  EXPECT_EQ(LabelsOf(formats[0].groups),
            (std::vector<std::string>{"G1 to G2", "G3"}));
  EXPECT_EQ(LabelsOf(formats[1].groups),
            (std::vector<std::string>{"G1", "G2"}));
  EXPECT_EQ(formats[1].sName, "");
  EXPECT_EQ(formats[1].iSecondValue, 0);
  // The compressed results are those of the last call.
  EXPECT_EQ(compression.GetCompressedGroups().size(), 2u);
}

TEST(kmClusterCompressionMerge, EmptyTableKeepsGroups) {
  auto session = MakeSession(SessionSetup());
  kmClusterCompression compression(session.get());
  compression.CompressAgeGroups(kmValueTable(), Groups(2));
  EXPECT_EQ(CodesOf(compression.GetCompressedGroups()),
            (std::vector<std::vector<int>>{{10}, {20}}));
  EXPECT_EQ(compression.GetCompressedGroups()[0].dValue3, 0.0);
}

TEST(kmClusterCompressionMerge, TableNotMatchingTheGroupsIsAnInputError) {
  struct Case {
    const char* name;
    kmValueTable table;
    const char* message;
  };
  const Case cases[] = {
      {"record missing",
       kmValueTable{kmValueRows{{1, 2, 3}, {1, 2, 3}}, kmValueRows{{1, 2, 3}}},
       "Independent value number 2 of the cohort has 1 adjustment-group "
       "records, but there are 2 adjustment groups.  Each independent value "
       "needs one record per adjustment group."},
      {"record too many",
       kmValueTable{kmValueRows{{0, 2, 3}, {1, 2, 3}, {1, 2, 3}}},
       "Independent value number 1 of the cohort has 3 adjustment-group "
       "records, but there are 2 adjustment groups.  Each independent value "
       "needs one record per adjustment group."},
      {"short row", kmValueTable{kmValueRows{{0, 2, 3}, {1, 2}}},
       "Record 2 of independent value number 1 holds 2 values; a count, a "
       "population and a standard population are needed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto session = MakeSession(SessionSetup());
    kmClusterCompression compression(session.get());
    KmException e = km_test::CatchKmException(
        [&] { compression.CompressAgeGroups(c.table, Groups(2)); });
    EXPECT_STREQ(e.GetMessage(), c.message);
    EXPECT_EQ(e.GetKind(), KmException::kInputErrorKind);
    EXPECT_NE(std::string(e.GetCallPath())
                  .find("CompressAgeGroups() of kmClusterCompression"),
              std::string::npos);
    EXPECT_TRUE(compression.GetClusterFormats().empty());
  }
}

TEST(kmClusterCompressionPasses, ForwardReportsASmallLastGroup) {
  struct Case {
    const char* name;
    std::vector<double> counts;
    bool bLastSmall;
    int nRanges;
  };
  const Case cases[] = {
      {"last small", {5, 7, 0}, true, 3},
      {"last absorbs", {5, 0, 7}, false, 2},
      {"single small group", {0}, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto session = MakeSession(SessionSetup());
    kmClusterCompression compression(session.get());
    kmValueTable table = TableOfCounts({c.counts});
    KmVector<kmGroupRange> ranges;
    for (int i = 0; i < static_cast<int>(c.counts.size()); ++i) {
      ranges.push_back({i, i});
    }
    EXPECT_EQ(compression.InternalCompressForward(table, ranges), c.bLastSmall);
    EXPECT_EQ(static_cast<int>(ranges.size()), c.nRanges);
    EXPECT_EQ(ranges.back().iLast, static_cast<int>(c.counts.size()) - 1);
  }
}

}  // namespace
