// The stopping tables of the permutation tests: their sizes, shapes and
// boundary rows, the table chosen for each level and number of tests, and
// CanStop at the edges of a table.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/EarlyStopper.h"
#include "engine/EarlyStopperSet.h"
#include "engine/EarlyStopper_File.h"
#include "engine/EarlyStoppingTables.h"
#include "foundation/KmException.h"
#include "tests/test_util/CatchKmException.h"

namespace {

constexpr const char* kNotAvailable =
    "Early Stopping is not available for these values. You will have to "
    "generate early stopping tables yourself.";

struct TableCase {
  const char* sName;
  double alpha;
  int numberOfTests;
  bool curtailed;
  int iRowsBeforeEnd;
  int iLargestJ;
  int iLargestI;
  // The boundary row (j, i, decision); j = 0 for the curtailed tables.
  int jBoundary;
  int iBoundary;
  double dBoundary;
};

// Sizes and boundary rows of the twelve tables (from the table rules; the
// boundary decisions to six digits).
const TableCase kTables[] = {
    {"Curtailed.1.txt", 0.1, 1, true, 5839, 584, 5839, 0, 0, 0.0},
    {"Curtailed.1ov3.txt", 0.1, 3, true, 5839, 194, 5839, 0, 0, 0.0},
    {"Curtailed.05.txt", 0.05, 1, true, 5839, 292, 5839, 0, 0, 0.0},
    {"Curtailed.05ov2.txt", 0.05, 2, true, 5839, 146, 5839, 0, 0, 0.0},
    {"Curtailed.05ov3.txt", 0.05, 3, true, 5839, 97, 5839, 0, 0, 0.0},
    {"Curtailed.05ov4.txt", 0.05, 4, true, 5839, 73, 5839, 0, 0, 0.0},
    {"Alpha.1.eps.1.txt", 0.1, 1, false, 2573, 257, 2573, 257, 2570, 0.518704},
    {"Alpha.1ov3.eps.1.txt", 0.1, 3, false, 4619, 154, 4619, 153, 4619,
     0.94178},
    {"Alpha.05.eps.1.txt", 0.05, 1, false, 3679, 184, 3679, 183, 3679,
     0.941692},
    {"Alpha.05ov2.eps.1.txt", 0.05, 2, false, 5479, 137, 5479, 136, 5479,
     0.941144},
    {"Alpha.05ov3.eps.1.txt", 0.05, 3, false, 7019, 117, 7019, 116, 7019,
     0.94084},
    {"Alpha.05ov4.eps.1.txt", 0.05, 4, false, 8399, 105, 8399, 104, 8399,
     0.940828},
};

// The table the cache holds under sName (it must be cached already).
const EarlyStopper* Cached(const char* sName) {
  return EarlyStopperSet::GetEarlyStopper(KmString(sName), {});
}

const EarlyStoppingTableSpec& SpecNamed(const std::string& sName) {
  for (const EarlyStoppingTableSpec& spec : EarlyStoppingTableSpecs()) {
    if (sName == spec.sName) return spec;
  }
  ADD_FAILURE() << "no table " << sName;
  return EarlyStoppingTableSpecs().front();
}

TEST(EarlyStopperTables, SizesAndBoundaryRowsOfTheTwelveTables) {
  for (const TableCase& c : kTables) {
    SCOPED_TRACE(c.sName);
    const EarlyStopper* pStopper =
        EarlyStopperSet::GetEarlyStopper(c.alpha, c.numberOfTests, c.curtailed);
    ASSERT_NE(pStopper, nullptr);
    EXPECT_EQ(pStopper, Cached(c.sName));
    EXPECT_EQ(pStopper->GetNumCols(), c.iLargestJ);
    EXPECT_EQ(pStopper->GetNumRows(), c.iLargestI);
    EXPECT_NEAR(pStopper->GetProbability(), c.dBoundary, 5e-7);

    const std::vector<EarlyStopperRow> vRows =
        EarlyStoppingTableRows(SpecNamed(c.sName));
    ASSERT_EQ(vRows.size(), static_cast<size_t>(c.iRowsBeforeEnd) + 2);
    EXPECT_EQ(vRows[c.iRowsBeforeEnd][0], 0.0);
    EXPECT_EQ(vRows[c.iRowsBeforeEnd][2], 1.0);
    EXPECT_EQ(vRows.back(), (EarlyStopperRow{-1.0, -1.0, -1.0}));
    int iBoundaryRows = 0;
    for (int r = 0; r < c.iRowsBeforeEnd; ++r) {
      const double d = vRows[r][2];
      if (d == 0.0 || d == 1.0) continue;
      ++iBoundaryRows;
      EXPECT_EQ(vRows[r][0], c.jBoundary);
      EXPECT_EQ(vRows[r][1], c.iBoundary);
      EXPECT_NEAR(d, c.dBoundary, 5e-7);
    }
    EXPECT_EQ(iBoundaryRows, c.curtailed ? 0 : 1);
  }
}

TEST(EarlyStopperTables, BValueTablesBeginAndEndAsDesigned) {
  struct Case {
    const char* sName;
    std::vector<EarlyStopperRow> vFirst;
    std::vector<EarlyStopperRow> vLast;
  };
  const Case kCases[] = {
      {"Alpha.1.eps.1.txt",
       {{22, 22, 0.0}, {22, 23, 0.0}},
       {{2, 216, 1.0}, {1, 206, 1.0}, {0, 196, 1.0}, {-1, -1, -1}}},
      {"Alpha.05.eps.1.txt",
       {{18, 18, 0.0}, {18, 19, 0.0}},
       {{1, 359, 1.0}, {0, 339, 1.0}, {-1, -1, -1}}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const std::vector<EarlyStopperRow> vRows =
        EarlyStoppingTableRows(SpecNamed(c.sName));
    for (size_t r = 0; r < c.vFirst.size(); ++r) {
      EXPECT_EQ(vRows[r], c.vFirst[r]);
    }
    const size_t iStart = vRows.size() - c.vLast.size();
    for (size_t r = 0; r < c.vLast.size(); ++r) {
      EXPECT_EQ(vRows[iStart + r], c.vLast[r]);
    }
  }
  // The first rows of the other levels start at i = j.
  const std::pair<const char*, int> kStarts[] = {{"Alpha.1ov3.eps.1.txt", 17},
                                                 {"Alpha.05ov2.eps.1.txt", 16},
                                                 {"Alpha.05ov3.eps.1.txt", 14},
                                                 {"Alpha.05ov4.eps.1.txt", 14}};
  for (const auto& start : kStarts) {
    SCOPED_TRACE(start.first);
    const EarlyStopperRow first =
        EarlyStoppingTableRows(SpecNamed(start.first)).front();
    EXPECT_EQ(first, (EarlyStopperRow{double(start.second),
                                      double(start.second), 0.0}));
  }
}

TEST(EarlyStopperTables, StoppingMassesSumToOneAndGiveTheLevel) {
  for (const EarlyStoppingTableSpec& spec : EarlyStoppingTableSpecs()) {
    if (spec.bCurtailed) continue;
    SCOPED_TRACE(spec.sName);
    double dMass = 0.0;
    double dLevel = 0.0;
    for (const BValueBoundaryPoint& pt :
         BValueBoundary(spec.iLevelDenominator, spec.iLargestI)) {
      EXPECT_GE(pt.dMass, 0.0);
      dMass += pt.dMass;
      dLevel += pt.dMass * pt.dDecision;
    }
    EXPECT_NEAR(dMass, 1.0, 1e-12);
    // Under a uniform p-value the design rejects with probability alpha.
    EXPECT_NEAR(dLevel, 1.0 / spec.iLevelDenominator, 1e-12);
  }
}

TEST(EarlyStopperSet, ChoosesTheTableByLevelTestsAndCurtailment) {
  struct Case {
    double alpha;
    int numberOfTests;
    bool curtailed;
    const char* sName;  // null: not available
  };
  const Case kCases[] = {
      {0.05, 2, true, "Curtailed.05ov2.txt"},
      {0.1, 2, true, "Curtailed.05.txt"},
      {0.1, 4, true, "Curtailed.05ov2.txt"},
      {0.1, 2, false, "Alpha.05.eps.1.txt"},
      {0.059, 1, false, "Alpha.05.eps.1.txt"},
      {0.06, 1, false, "Alpha.1.eps.1.txt"},
      {0.199, 3, false, "Alpha.1ov3.eps.1.txt"},
      {0.01, 4, true, "Curtailed.05ov4.txt"},
      {0.2, 1, false, nullptr},
      {0.2, 1, true, nullptr},
      {0.05, 5, false, nullptr},
      {0.1, 5, true, nullptr},
      {0.05, 0, true, nullptr},
      {NAN, 1, false, nullptr},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << c.alpha << " / " << c.numberOfTests
                                    << (c.curtailed ? " curtailed" : ""));
    if (c.sName == nullptr) {
      const KmException e = km_test::CatchKmException([&] {
        EarlyStopperSet::GetEarlyStopper(c.alpha, c.numberOfTests, c.curtailed);
      });
      EXPECT_STREQ(e.GetMessage(), kNotAvailable);
      EXPECT_STREQ(e.GetSource(), "EarlyStopperSet");
      EXPECT_NE(std::string(e.GetCallPath()).find("GetEarlyStopper()"),
                std::string::npos);
      continue;
    }
    const EarlyStopper* pFirst =
        EarlyStopperSet::GetEarlyStopper(c.alpha, c.numberOfTests, c.curtailed);
    EXPECT_EQ(pFirst, EarlyStopperSet::GetEarlyStopper(c.alpha, c.numberOfTests,
                                                       c.curtailed));
    EXPECT_EQ(pFirst, Cached(c.sName));
  }
}

TEST(EarlyStopperSet, NamedRequestsCacheOnceAndEmptyNamesGiveNull) {
  const std::vector<EarlyStopperRow> vRows = {
      {2, 3, 0.0}, {1, 4, 0.25}, {0, 5, 1.0}, {-1, -1, -1}};
  const EarlyStopper* pTable =
      EarlyStopperSet::GetEarlyStopper(KmString("test table"), vRows);
  ASSERT_NE(pTable, nullptr);
  EXPECT_EQ(pTable->GetProbability(), 0.25);
  // The rows of a later request with the same name are not read.
  EXPECT_EQ(EarlyStopperSet::GetEarlyStopper(KmString("test table"), {}),
            pTable);
  EXPECT_EQ(EarlyStopperSet::GetEarlyStopper(KmString(""), vRows), nullptr);
}

TEST(EarlyStopper, CanStopOnTheCurtailedFivePercentTable) {
  const EarlyStopper* pTable = EarlyStopperSet::GetEarlyStopper(0.05, 1, true);
  struct Case {
    int i;
    int j;
    bool bStop;
  };
  const Case kCases[] = {
      {292, 292, true}, {5839, 292, true}, {5549, 1, true}, {1000, 1, false},
      {5548, 0, false}, {5548, 1, false},  {0, 0, false},   {291, 291, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "(" << c.i << ", " << c.j << ")");
    EXPECT_EQ(pTable->CanStop(c.i, c.j), c.bStop);
  }
}

TEST(EarlyStopper, CanStopOutsideTheTableRaisesTheRangeError) {
  const EarlyStopper* pTable = EarlyStopperSet::GetEarlyStopper(0.05, 1, true);
  struct Case {
    int i;
    int j;
    const char* sMessage;
  };
  const Case kCases[] = {
      {5840, 1,
       "Attempt to access element[5840][1] in array with dimensions 5839 by "
       "292."},
      {1, 293,
       "Attempt to access element[1][293] in array with dimensions 5839 by "
       "292."},
      {-1, 0,
       "Attempt to access element[-1][0] in array with dimensions 5839 by "
       "292."},
      {0, -1,
       "Attempt to access element[0][-1] in array with dimensions 5839 by "
       "292."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sMessage);
    const KmException e =
        km_test::CatchKmException([&] { pTable->CanStop(c.i, c.j); });
    EXPECT_STREQ(e.GetMessage(), c.sMessage);
    EXPECT_STREQ(e.GetSource(), "EarlyStopper");
    EXPECT_NE(std::string(e.GetCallPath()).find("CanStop()"),
              std::string::npos);
  }
}

TEST(EarlyStopper_File, RefusesBrokenRowsAndStaysSafe) {
  struct Case {
    std::vector<EarlyStopperRow> vRows;
    const char* sFragment;
  };
  const Case kCases[] = {
      {{{1, 2, 0.0}, {2, 3, 1.0}}, "no end row"},
      {{{1, 2, 1.5}, {0, 3, 1.0}}, "decision"},
      {{{1, 2, NAN}, {0, 3, 1.0}}, "decision"},
      {{{1, -2, 0.0}, {0, 3, 1.0}}, "limits"},
      {{{1, 2, 0.0}, {NAN, 3, 1.0}}, "no end row"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sFragment);
    const std::vector<EarlyStopperRow> vGood = {{1, 1, 0.0}, {0, 0, 1.0}};
    EarlyStopper_File table(vGood);
    const KmException e =
        km_test::CatchKmException([&] { table.ReadTableArray(c.vRows); });
    EXPECT_NE(std::string(e.GetMessage()).find(c.sFragment), std::string::npos)
        << e.GetMessage();
    EXPECT_NE(std::string(e.GetCallPath()).find("ReadTableArray()"),
              std::string::npos);
    // The refused rows leave an empty table behind.
    EXPECT_EQ(table.GetNumRows(), 0);
    EXPECT_FALSE(table.CanStop(0, 0));
    km_test::CatchKmException([&] { table.CanStop(1, 1); });
  }
}

}  // namespace
