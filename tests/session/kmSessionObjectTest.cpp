// Tests of the session object: variables, roles, by-variables (the
// synthetic ones included), cohort selection, copies and the report-header
// helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/KmFormat.h"
#include "session/kmSession.h"
#include "tests/test_util/CatchKmException.h"

namespace {

using km_test::CatchKmException;

// A session with the variables Sex (formatted), Year and Rate; Sex is the
// by-variable, Year the independent variable, Rate the dependent one.
kmSession ThreeVariableSession() {
  kmSession session;
  KmFormat sex;
  sex.AddLine("1", "Male", -1);
  sex.AddLine("2", "Female", -1);
  KmFormat years;
  years.SetWholeFormat(
      "0=1990\n1=1991\n2=1990-1991 (not used in calculations)\n"
      "3=1992\n",
      false);
  session.AddVariable(kmVariable("Sex", 1, &sex));
  session.AddVariable(kmVariable("Year", 2, &years));
  session.AddVariable(kmVariable("Rate", 3, nullptr));
  session.AddByVarPosition(1);
  session.SetKMVarPosition(kmVarIndependent, 2);
  session.SetKMVarPosition(kmVarDependent, 3);
  return session;
}

std::vector<std::string> Labels(const kmVariable& variable) {
  std::vector<std::string> labels;
  const KmFormat& format = variable.GetFormat();
  for (int i = 0; i < format.GetNumLines(); ++i) {
    labels.push_back(format.GetLabel(i).GetCString());
  }
  return labels;
}

TEST(kmSessionObject, NewSessionIsEmpty) {
  kmSession session;
  EXPECT_EQ(session.GetNumVars(), 0);
  EXPECT_EQ(session.GetNumByVars(), 0);
  ASSERT_EQ(session.GetNumKMVarPositions(), 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(session.GetKMVarPosition(i), 0);
  EXPECT_TRUE(session.GetSelectCohortsVector().empty());
  EXPECT_TRUE(session.GetUserSelectedUseCohort(5));
  EXPECT_EQ(session.GetNumSelectedCohorts(), 0);
  EXPECT_TRUE(session.GetAdjustVarFormats().empty());
  EXPECT_EQ(session.GetNumCores(), 9999);
}

TEST(kmSessionObject, UnsetRoleAndMissingVariablesFail) {
  kmSession session = ThreeVariableSession();
  kmSession empty;
  KmException e = CatchKmException([&] { empty.GetKMVar(0); });
  EXPECT_STREQ(e.GetMessage(), "KM variable 0 not yet defined.");
  e = CatchKmException([&] { session.GetKMVar(kmVarStdError); });
  EXPECT_STREQ(e.GetMessage(), "KM variable 2 not yet defined.");
  e = CatchKmException([&] { session.GetVar(3); });
  EXPECT_STREQ(e.GetMessage(), "Variable 3 does not exist.");
  e = CatchKmException([&] { session.GetByVar(1); });
  EXPECT_STREQ(e.GetMessage(), "Attempt to access By-variable 1 of 1.");
  for (int iPosition : {0, 4, -2}) {
    SCOPED_TRACE(iPosition);
    e = CatchKmException([&] { session.SetKMVarPosition(1, iPosition); });
    EXPECT_EQ(
        std::string(e.GetMessage()),
        std::to_string(iPosition) + " is out of bounds in vector of size 3.");
  }
  EXPECT_EQ(session.GetKMVarPosition(kmVarDependent), 3);
}

TEST(kmSessionObject, RolesAndByVariablesNameTheirVariables) {
  kmSession session = ThreeVariableSession();
  EXPECT_EQ(session.GetKMVar(kmVarIndependent).GetName(), "Year");
  EXPECT_EQ(session.GetKMVar(kmVarDependent).GetName(), "Rate");
  EXPECT_EQ(session.GetByVar(0).GetName(), "Sex");
  EXPECT_EQ(session.GetVar(2).GetName(), "Rate");
}

TEST(kmSessionObject, AddByVarAddsTheDelayByVariable) {
  kmSession session = ThreeVariableSession();
  session.AddByVar();
  ASSERT_EQ(session.GetNumVars(), 4);
  const kmVariable& delay = session.GetVar(3);
  EXPECT_EQ(delay.GetName(), "Delay and NonDelay");
  EXPECT_EQ(delay.GetPosition(), 4);
  EXPECT_EQ(session.GetByVarPositions().back(), 4);
  EXPECT_EQ(session.GetNumKMVarPositions(), 13);
  EXPECT_EQ(session.GetKMVarPosition(12), 4);
  EXPECT_EQ(delay.GetFormat().GetDataType(), 'S');
  KmString sLabel;
  EXPECT_STREQ(delay.GetLabel(0, sLabel, false), "Delay");
  EXPECT_STREQ(delay.GetLabel(1, sLabel, false), "Non-Delay");
}

TEST(kmSessionObject, AddByVarJumpLabelsFollowTheMode) {
  struct Case {
    int iMode;
    std::vector<std::string> labels;  // empty: nothing is added
  };
  const Case kCases[] = {
      {0, {}},
      {1, {}},
      {2, {}},
      {3, {"Jump", "Comparability"}},
      {4, {"Jump", "Standard"}},
      {5, {"Comparability", "Standard"}},
      {6, {"Jump", "Comparability", "Standard"}},
      {7, {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.iMode);
    kmSession session = ThreeVariableSession();
    session.SetInt(kmOptJumpCRMode, c.iMode);
    session.AddByVarJump();
    if (c.labels.empty()) {
      EXPECT_EQ(session.GetNumVars(), 3);
      EXPECT_EQ(session.GetNumByVars(), 1);
      EXPECT_EQ(session.GetNumKMVarPositions(), 12);
      continue;
    }
    ASSERT_EQ(session.GetNumVars(), 4);
    const kmVariable& jump = session.GetVar(3);
    EXPECT_EQ(jump.GetName(), "Jump, Comparability, Standard");
    EXPECT_EQ(Labels(jump), c.labels);
    KmString sLabel;
    for (size_t i = 0; i < c.labels.size(); ++i) {
      EXPECT_EQ(jump.GetLabel(static_cast<int>(i), sLabel, false), c.labels[i]);
    }
    EXPECT_EQ(session.GetByVarPositions().back(), 4);
    EXPECT_EQ(session.GetKMVarPosition(12), 4);
  }
}

TEST(kmSessionObject, SelectionFlagsFollowTheCohortLabels) {
  kmSession session;
  for (const char* s : {"a", "b", "c", "d"}) session.AddCohortLabel(s);
  session.SetSelectCohortsVector(true);
  EXPECT_EQ(session.GetNumSelectedCohorts(), 4);
  EXPECT_TRUE(session.GetUserSelectedUseCohort(3));
  for (int i : {4, -1}) {
    SCOPED_TRACE(i);
    KmException e =
        CatchKmException([&] { session.GetUserSelectedUseCohort(i); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Index out of range.  Requested index = " + std::to_string(i) +
                  ".  Vector size = 4");
    EXPECT_STREQ(e.GetSource(),
                 "kmSession::GetUserSelectedUseCohort(int iCohortIndex)");
  }
  session.SetSelectCohortsVector(false);
  EXPECT_EQ(session.GetNumSelectedCohorts(), 0);
  EXPECT_FALSE(session.GetUserSelectedUseCohort(0));
}

TEST(kmSessionObject, CopyCarriesTheDefinitionAndClearResetsIt) {
  kmSession original = ThreeVariableSession();
  original.SetInt(kmOptMaxKinkmarks, 3);
  original.SetNumCores(4);
  original.AddCohortLabel("Male");
  original.SetSelectCohortsVector(true);
  kmAAPCRanges ranges;
  ranges.SetFullRange(true);
  original.SetAAPCRanges(ranges);

  kmSession copy(original);
  kmSession assigned;
  assigned = original;
  for (const kmSession* pSession : {&copy, &assigned}) {
    EXPECT_EQ(pSession->GetInt(kmOptMaxKinkmarks), 3);
    EXPECT_EQ(pSession->GetNumCores(), 4);
    ASSERT_EQ(pSession->GetNumVars(), 3);
    EXPECT_TRUE(pSession->GetVar(0) == original.GetVar(0));
    EXPECT_EQ(pSession->GetKMVar(kmVarIndependent).GetName(), "Year");
    EXPECT_EQ(pSession->GetCohortLabels().size(), 1u);
    EXPECT_EQ(pSession->GetNumSelectedCohorts(), 1);
    EXPECT_TRUE(pSession->GetAAPCRanges().GetFullRange());
  }

  copy.Clear();
  EXPECT_EQ(copy.GetNumVars(), 0);
  EXPECT_EQ(copy.GetNumKMVarPositions(), 12);
  EXPECT_EQ(copy.GetNumCohorts(), 0);
  EXPECT_FALSE(copy.GetAAPCRanges().GetFullRange());
  EXPECT_EQ(copy.GetNumCores(), 9999);
  EXPECT_EQ(original.GetNumVars(), 3);
}

TEST(kmSessionObject, IndependentLabelsSkipUnusedValues) {
  kmSession session = ThreeVariableSession();
  KmVector<KmString> labels;
  session.GetIndependentVarLabels(labels);
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[0], "1990");
  EXPECT_EQ(labels[2], "1992");

  session.SetKMVarPosition(kmVarIndependent, 3);  // Rate has no format
  KmVector<KmString> none;
  session.GetIndependentVarLabels(none);
  EXPECT_TRUE(none.empty());
}

}  // namespace
