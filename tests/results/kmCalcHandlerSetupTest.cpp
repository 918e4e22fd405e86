// Tests of the handler's setup: the pairwise comparison structure and its
// per-cohort table, the graph labels taken from the session, the
// dependent-variable label of a file read back, cancellation while
// reading, and the comparability-ratio interval.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "results/kmCalcHandler.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/ResultsFileFixture.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;
using km_test::MakeSession;

typedef KmVector<KmVector<int> > Rows;

Rows R(std::initializer_list<KmVector<int> > rows) { return Rows(rows); }

// A handler over n valid cohorts of a session with or without pairwise
// comparisons.
struct ComparisonSetup {
  ComparisonSetup(int32_t n, bool bPairwise)
      : session(MakeSession(0, bPairwise)), handler(&session), combos(0) {
    handler.SetValidCohorts(KmVector<bool>(static_cast<size_t>(n), true),
                            KmVector<KmString>(static_cast<size_t>(n)));
  }
  kmSession session;
  kmCalcHandler handler;
  kmCombos combos;
};

TEST(kmCalcHandlerSetup, PairsEveryTwoCohortsOfAGroup) {
  struct Case {
    int32_t n;
    int32_t g;
    std::vector<std::pair<int, int> > vPairs;
    int32_t iCohort;
    Rows expectedRows;
  };
  const Case kCases[] = {
      {6,
       3,
       {{0, 1}, {0, 2}, {1, 2}, {3, 4}, {3, 5}, {4, 5}},
       4,
       R({{4}, {4, 3, 3}, {4, 5, 5}})},
      {6,
       3,
       {{0, 1}, {0, 2}, {1, 2}, {3, 4}, {3, 5}, {4, 5}},
       0,
       R({{0}, {0, 1, 0}, {0, 2, 1}})},
      {4, 2, {{0, 1}, {2, 3}}, 1, R({{1}, {1, 0, 0}})},
      {4, 2, {{0, 1}, {2, 3}}, 2, R({{2}, {2, 3, 1}})},
      {8,
       4,
       {{0, 1},
        {0, 2},
        {0, 3},
        {1, 2},
        {1, 3},
        {2, 3},
        {4, 5},
        {4, 6},
        {4, 7},
        {5, 6},
        {5, 7},
        {6, 7}},
       6,
       R({{6}, {6, 4, 7}, {6, 5, 9}, {6, 7, 11}})},
      // A group of one cohort has no pairs; a group size of 0 means none.
      {3, 1, {}, 2, R({{2}})},
      {3, 0, {}, 1, R({{1}})},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE("n=" + std::to_string(c.n) + " g=" + std::to_string(c.g) +
                 " cohort " + std::to_string(c.iCohort));
    ComparisonSetup setup(c.n, true);
    setup.handler.SetupComparisonVector(c.g, &setup.combos);
    EXPECT_EQ(setup.handler.GetComparisonGroupSize(), c.g);
    ASSERT_EQ(setup.combos.GetNumComparisons(),
              static_cast<int32_t>(c.vPairs.size()));
    for (size_t k = 0; k < c.vPairs.size(); ++k) {
      EXPECT_EQ(setup.combos.GetComparison(static_cast<int>(k)),
                (KmVector<int>{c.vPairs[k].first, c.vPairs[k].second}));
    }
    // Cohort index vectors: {c} per cohort, then each comparison's pair.
    const Rows& vIndices = setup.combos.GetCohortIndices();
    ASSERT_EQ(vIndices.size(), static_cast<size_t>(c.n) + c.vPairs.size());
    EXPECT_EQ(vIndices[c.n - 1], KmVector<int>{c.n - 1});
    const auto& vTable = setup.handler.GetCohortComparisonTable();
    ASSERT_EQ(vTable.size(), static_cast<size_t>(c.n));
    EXPECT_EQ(vTable[c.iCohort], c.expectedRows);
  }
}

TEST(kmCalcHandlerSetup, WithoutPairwiseComparisonsEveryCohortStandsAlone) {
  ComparisonSetup setup(5, false);
  setup.combos.AddComparison(KmVector<int>{0, 1});  // cleared by the setup
  setup.handler.SetupComparisonVector(5, &setup.combos);
  EXPECT_EQ(setup.combos.GetNumComparisons(), 0);
  const auto& vTable = setup.handler.GetCohortComparisonTable();
  ASSERT_EQ(vTable.size(), 5u);
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(vTable[c], R({{c}}));
    EXPECT_EQ(setup.combos.GetCohortIndices()[c], KmVector<int>{c});
  }
}

// Fault: a group size that does not divide the cohorts paired cohorts
// that do not exist, and a negative one named negative cohorts; both are
// refused. (A size of 0, which divided by zero, means no comparisons.)
TEST(kmCalcHandlerSetup, RefusesGroupsThatDoNotTileTheCohorts) {
  for (int32_t g : {4, -1}) {
    SCOPED_TRACE(g);
    ComparisonSetup setup(6, true);
    KmException e = CatchKmException(
        [&] { setup.handler.SetupComparisonVector(g, &setup.combos); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Cannot build pairwise comparisons: 6 cohorts do not form groups "
              "of " +
                  std::to_string(g) + ".");
    EXPECT_STREQ(e.GetCallPath(), "SetupComparisonVector() of kmCalcHandler");
  }
  ComparisonSetup setup(6, true);
  KmException e = CatchKmException(
      [&] { setup.handler.SetupComparisonVector(3, nullptr); });
  EXPECT_STREQ(e.GetMessage(), "Invalid kmCombos.");
}

// ---- Graph labels
// -------------------------------------------------------------

TEST(kmCalcHandlerSetup, GraphLabelsComeFromTheSession) {
  struct Case {
    const char* sName;
    bool bCalculated;
    int iType;
    bool bWithVariables;
    const char* sIndependent;
    const char* sDependent;
  };
  const Case kCases[] = {
      {"calculated age-adjusted", true, 4, true, "Year", "Age-Adjusted Rate"},
      {"calculated count", true, 0, true, "Year", "Count"},
      {"calculated other", true, 5, true, "Year", "Other"},
      {"calculated unknown type", true, 7, true, "Year",
       "temp response var name"},
      {"given response", false, 4, true, "Year", "Rate"},
      {"no variables", false, 4, false, "temp indep var name",
       "temp response var name"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmSession session = c.bWithVariables ? MakeSession(0, false) : kmSession();
    session.SetBool(kmOptDependentCalculated, c.bCalculated);
    session.SetInt(kmOptDependentType, c.iType);
    kmCalcHandler handler(&session);
    EXPECT_EQ(handler.GetIndependentVariableLabel(), c.sIndependent);
    EXPECT_EQ(handler.GetDependentVariableLabel(), c.sDependent);
  }
}

// A file whose response is named after its data column ("Column 3") gets
// the label of the dependent-variable type when the data file has no
// variable names.
TEST(kmCalcHandlerSetup, ReadFileReplacesColumnNamesByTheTypeLabel) {
  struct Case {
    bool bNamesIncluded;
    int iType;
    const char* sResponse;
    const char* sExpected;
  };
  const Case kCases[] = {{false, 1, "Column 3", "Crude Rate"},
                         {true, 1, "Column 3", "Column 3"},
                         {false, 9, "Column 3", "Column 3"},
                         {false, 1, "Rate", "Rate"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.sResponse) + " " + std::to_string(c.iType));
    km_test::ScratchDir dir;
    const std::string sPath = dir.File("column.kmo");
    kmSession session;
    session.SetVersion("V4.9.0.0");
    session.SetKMVarPosition(
        kmVarIndependent, session.AddVariable(kmVariable("Year", 1, nullptr)));
    session.SetKMVarPosition(kmVarDependent, session.AddVariable(kmVariable(
                                                 c.sResponse, 2, nullptr)));
    session.SetBool(kmOptVarNamesIncluded, c.bNamesIncluded);
    session.SetInt(kmOptDependentType, c.iType);
    {
      kmCalcHandler writer(&session);
      EXPECT_EQ(writer.GetDependentVariableLabel(), c.sResponse);
      km_test::PrepareWriter(writer, sPath, 0);
      kmCalcData record = km_test::MakeRecord(0);
      writer.WriteCohortCalcData(&record);
      writer.WriteOffsets();
      writer.WriteNumericData();
    }
    kmCalcHandler reader(sPath.c_str(), nullptr);
    EXPECT_EQ(reader.GetIndependentVariableLabel(), "Year");
    EXPECT_EQ(reader.GetDependentVariableLabel(), c.sExpected);
  }
}

// ---- Cancellation
// -------------------------------------------------------------

// Counts the steps and reports cancellation after a given number of
// questions.
class CancellingProgress : public KmNullProgress {
 public:
  explicit CancellingProgress(int iAnswersBeforeCancel)
      : iLeft_(iAnswersBeforeCancel) {}
  bool IsCancelled() const override { return iLeft_-- <= 0; }
  void StepBy(int32_t n) override { iSteps += n; }
  int iSteps = 0;

 private:
  mutable int iLeft_;
};

// Fault: Read starts with Reset, whose Free dropped the borrowed progress
// interface, and then reported steps and asked for cancellation through the
// null pointer. The interface given to the constructor now serves the whole
// read.
TEST(kmCalcHandlerSetup, CancelledReadStopsWithoutError) {
  km_test::ScratchDir dir;
  const std::string sPath = dir.File("cancel.kmo");
  km_test::WriteWholeFile(sPath, 2, true);

  CancellingProgress never(1 << 30);
  kmCalcHandler full(sPath.c_str(), &never);
  EXPECT_EQ(full.GetNumCohortRecords(), 6);
  // Pairwise: 5 before the table, 5 + 5 + 5 in the comparison setup, one
  // per comparison read (fewer than 5) and one per cohort of the table.
  EXPECT_EQ(never.iSteps, 5 + 15 + 6 + 6);

  CancellingProgress at_once(0);
  kmCalcHandler cancelled(sPath.c_str(), &at_once);
  EXPECT_EQ(cancelled.GetState(), kmCalcHandler::kStateReadFromFile);
  EXPECT_TRUE(cancelled.GetValidCohorts().empty());
  EXPECT_EQ(cancelled.GetNumCohortRecords(), 0);
  EXPECT_EQ(cancelled.GetNumComparisonRecords(), 0);
}

// ---- Comparability ratio
// ------------------------------------------------------

struct CRCall {
  int iCalls = 0;
  kmSession* pSession = nullptr;
  double dValue = 0, dVariance = 0, dAlpha = 0;
};
CRCall g_call;

void FakeCalculator(kmSession* pSession, kmTable& model, double dCRValue,
                    double dCRVariance, double dAlpha) {
  ++g_call.iCalls;
  g_call.pSession = pSession;
  g_call.dValue = dCRValue;
  g_call.dVariance = dCRVariance;
  g_call.dAlpha = dAlpha;
  model.SetComparabilityLowerCI(dCRValue - 0.1);
}

TEST(kmCalcHandlerSetup, ComparabilityRatioUsesTheInstalledCalculator) {
  kmSession session = MakeSession(0, false);
  session.SetDouble(kmOptCRValue, 1.05);
  session.SetDouble(kmOptCRVariance, 0.0004);
  session.SetDouble(kmOptJumpCRAlpha, 0.01);
  kmCalcHandler handler(&session);
  kmTable model;

  KmException e =
      CatchKmException([&] { handler.CalculateComparabilityRatioCI(model); });
  EXPECT_STREQ(e.GetMessage(),
               "No comparability-ratio calculator has been installed.");

  handler.SetComparabilityRatioCalculator(&FakeCalculator);
  g_call = CRCall();
  handler.CalculateComparabilityRatioCI(model);
  EXPECT_EQ(g_call.iCalls, 1);
  EXPECT_EQ(g_call.pSession, handler.GetSession());
  EXPECT_EQ(g_call.dValue, 1.05);
  EXPECT_EQ(g_call.dVariance, 0.0004);
  EXPECT_EQ(g_call.dAlpha, 0.01);
  EXPECT_EQ(model.GetComparabilityLowerCI(), 1.05 - 0.1);

  // The calculator belongs to the handler it was given to, until removed.
  kmCalcHandler other(&session);
  e = CatchKmException([&] { other.CalculateComparabilityRatioCI(model); });
  EXPECT_STREQ(e.GetMessage(),
               "No comparability-ratio calculator has been installed.");
  handler.SetComparabilityRatioCalculator(nullptr);
  e = CatchKmException([&] { handler.CalculateComparabilityRatioCI(model); });
  EXPECT_STREQ(e.GetMessage(),
               "No comparability-ratio calculator has been installed.");
}

}  // namespace
