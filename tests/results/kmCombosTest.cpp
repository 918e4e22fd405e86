// Tests of kmCombos: the entry numbering, the label builders over
// by-variable formats of several types, and the table's record in the
// results file (golden bytes, version gate, round trip, damaged counts).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/KmFormat.h"
#include "foundation/KmIO_File.h"
#include "foundation/KmProgressInterface.h"
#include "results/kmCombos.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"
#include "tests/session/SessionBlockBuilder.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::BlockBuilder;
using km_test::CatchKmException;

KmVector<int> Ints(std::initializer_list<int> values) {
  return KmVector<int>(values);
}

KmFormat MakeFormat(char cType,
                    std::vector<std::pair<const char*, const char*>> lines) {
  KmFormat format;
  format.SetDataType(cType);
  for (const auto& line : lines) format.AddLine(line.first, line.second, -1);
  return format;
}

// A session whose by-variables are the given variables, in order (a null
// format gives a by-variable without value labels).
struct ByVar {
  const char* sName;
  const KmFormat* pFormat;
};
void AddByVars(kmSession& session, const std::vector<ByVar>& byVars) {
  for (const ByVar& byVar : byVars) {
    const int32_t iPos = session.AddVariable(
        kmVariable(byVar.sName, static_cast<uint16_t>(session.GetNumVars() + 1),
                   byVar.pFormat));
    session.AddByVarPosition(iPos);
  }
}

// Sex ('I': 1 M, 2 W), race ('A': line numbers W, B, O), age group ('I'
// with ranges), region (no format).
struct LabelFixture {
  KmFormat sex = MakeFormat('I', {{"1", "M"}, {"2", "W"}});
  KmFormat race =
      MakeFormat('A', {{"w", "White"}, {"b", "Black"}, {"o", "Other"}});
  KmFormat age = MakeFormat('I', {{"0-<50", "Under 50"}, {"50-120", "50+"}});
};

TEST(kmCombos, AcceptsAtMostTenByVariables) {
  EXPECT_EQ(kmCombos(10).GetNumByVars(), 10);
  KmException e = CatchKmException([] { kmCombos combos(11); });
  EXPECT_STREQ(e.GetMessage(), "Cannot have more than 10 by variables.");
  EXPECT_STREQ(e.GetSource(), "kmCombos");
  EXPECT_EQ(e.GetKind(), KmException::kInputErrorKind);
}

TEST(kmCombos, CombinationMustHoldOneValuePerByVariable) {
  kmCombos combos(2);
  combos.AddCombination(Ints({1, 2}));
  for (const KmVector<int>& v : {Ints({1}), Ints({1, 2, 3})}) {
    KmException e = CatchKmException([&] { combos.AddCombination(v); });
    EXPECT_STREQ(e.GetMessage(),
                 "Combination vector does not contain 2 elements.");
    EXPECT_STREQ(e.GetSource(), "AddCombination()");
  }
  EXPECT_EQ(combos.GetNumCombinations(), 1);
}

TEST(kmCombos, NumbersCombinationsBeforeComparisons) {
  kmCombos combos(1);
  for (int i = 0; i < 4; ++i) combos.AddCombination(Ints({i + 10}));
  for (int k = 0; k < 6; ++k) combos.AddComparison(Ints({k % 4, (k + 1) % 4}));
  const struct {
    int iEntry;
    bool bComparison;
  } kCases[] = {{-1, false}, {0, false}, {3, false},
                {4, true},   {9, true},  {10, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.iEntry);
    EXPECT_EQ(combos.IsComparisonIndex(c.iEntry), c.bComparison);
  }
  EXPECT_EQ(combos.GetComboOrComparison(3), Ints({13}));
  EXPECT_EQ(combos.GetComboOrComparison(5), Ints({1, 2}));
  KmException e = CatchKmException([&] { combos.GetComboOrComparison(10); });
  EXPECT_STREQ(e.GetMessage(), "Index 6 out of range; vector is from 0 to 5");
  e = CatchKmException([&] { combos.GetComboOrComparison(-1); });
  EXPECT_STREQ(e.GetSource(), "KmVector");
}

TEST(kmCombos, WithoutCombinationsNothingIsAComparison) {
  kmCombos combos(1);
  combos.AddComparison(Ints({0, 1}));
  for (int i : {-1, 0, 1}) EXPECT_FALSE(combos.IsComparisonIndex(i));
}

TEST(kmCombos, EntryPastCombinationsWithoutComparisonsIsEmpty) {
  kmCombos combos(1);
  combos.AddCombination(Ints({5}));
  EXPECT_TRUE(combos.GetComboOrComparison(1).empty());
  EXPECT_TRUE(combos.GetComboOrComparison(7).empty());
}

TEST(kmCombos, LabelsJoinLevelsOverFormatsOfSeveralTypes) {
  LabelFixture f;
  kmSession session;
  AddByVars(session, {{"Sex", &f.sex}, {"Race", &f.race}, {"Age", &f.age}});
  kmCombos combos(3);
  combos.AddCombination(Ints({1, 0, 49}));  // M, White, Under 50
  combos.AddCombination(Ints({2, 2, 50}));  // W, Other, 50+
  const struct {
    int iEntry;
    const char* sLabel;
  } kCases[] = {{0, "M / White / Under 50"}, {1, "W / Other / 50+"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.iEntry);
    EXPECT_EQ(combos.GetLabel(c.iEntry, &session, false), c.sLabel);
    EXPECT_EQ(combos.GetComboLabel(c.iEntry, &session, false), c.sLabel);
  }
  EXPECT_EQ(combos.GetCohortLabelEachLevel(1, &session),
            (KmVector<KmString>{"W", "Other", "50+"}));
  EXPECT_EQ(
      combos.GetCohortLabelEachLevel(0, 1, &session),
      (KmVector<KmString>{"M", "White", "Under 50", "W", "Other", "50+"}));
}

TEST(kmCombos, ByLineLabelsAskTheFormatForLineNumbers) {
  LabelFixture f;
  kmSession session;
  AddByVars(session, {{"Sex", &f.sex}, {"Age", &f.age}});
  kmCombos combos(2);
  combos.AddCombination(Ints({2, 77}));
  // The value 2 is on line 1 of the sex format, 77 on line 1 of the age one.
  EXPECT_EQ(combos.GetComboLabel(0, &session, true), "1 / 1");
}

TEST(kmCombos, LevelLabelsFollowEachFormatType) {
  const struct {
    char cType;
    const char* sValueText;
    int iValue;
    const char* sLabel;  // null: no line holds the value
  } kCases[] = {
      {'I', "1,3,5", 3, "Odd"},       {'I', "10-<20", 19, "Odd"},
      {'I', "10-<20", 20, nullptr},   {'N', "1.5-2.5", 2, "Odd"},
      {'N', "2.5", 2, nullptr},       {'S', "-", -1, nullptr},
      {'S', "1-32767", 32767, "Odd"}, {'S', "1-32767", 40000, nullptr},
      {'U', "0-65535", 65535, "Odd"}, {'U', "0-65535", -1, nullptr},
      {'W', "7", 7, "Odd"},           {'A', "x", 0, "Odd"},
      {'A', "x", 1, nullptr},
  };
  // A value text "-" stands for a format without lines.
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message()
                 << c.cType << " " << c.sValueText << " " << c.iValue);
    KmFormat format;
    format.SetDataType(c.cType);
    if (std::string(c.sValueText) != "-") {
      format.AddLine(c.sValueText, "Odd", -1);
    }
    kmSession session;
    AddByVars(session, {{"Group", &format}});
    kmCombos combos(1);
    combos.AddCombination(Ints({c.iValue}));
    if (c.sLabel != nullptr) {
      EXPECT_EQ(combos.GetLabel(0, &session, false), c.sLabel);
    } else {
      KmException e =
          CatchKmException([&] { combos.GetLabel(0, &session, false); });
      // A text format takes the value as its line number.
      const std::string sLine = c.cType == 'A' ? "1" : "-1";
      EXPECT_EQ(std::string(e.GetMessage())
                    .rfind("Requesting line " + sLine +
                               " of format for variable Group",
                           0),
                0u);
    }
  }
}

TEST(kmCombos, ValueOutsideEveryFormatLineRaisesTheVariablesError) {
  KmFormat shortFormat = MakeFormat('S', {{"1", "One"}});
  kmSession session;
  AddByVars(session, {{"Site", &shortFormat}});
  kmCombos combos(1);
  combos.AddCombination(Ints({40000}));  // no 16-bit value
  KmException e =
      CatchKmException([&] { combos.GetLabel(0, &session, false); });
  EXPECT_STREQ(e.GetMessage(),
               "Requesting line -1 of format for variable Site which has only "
               "1 lines.");
  EXPECT_NE(std::string(e.GetCallPath()).find("GetComboLabel() of kmCombos"),
            std::string::npos);
}

TEST(kmCombos, ByVariableWithoutFormatIsLabelledByItsCodes) {
  // Fault: a numeric by-variable without a format stopped the run in the
  // middle with "Requesting label for value 3 of variable Region which has
  // no format."; its codes are its labels.
  LabelFixture f;
  kmSession session;
  AddByVars(session, {{"Sex", &f.sex}, {"Region", nullptr}});
  kmCombos combos(2);
  combos.AddCombination(Ints({1, 3}));
  combos.AddCombination(Ints({1, 4}));
  combos.AddComparison(Ints({0, 1}));
  EXPECT_STREQ(combos.GetLabel(0, &session, false).GetCString(), "M / 3");
  EXPECT_STREQ(combos.GetComparisonLabel(0, &session).GetCString(),
               "M / 3 vs. 4");
  const KmVector<KmString> vLevels =
      combos.GetCohortLabelEachLevel(1, &session);
  ASSERT_EQ(vLevels.size(), 2u);
  EXPECT_STREQ(vLevels[1].GetCString(), "4");
}

TEST(kmCombos, SyntheticLastByVariableIsLeftOutOfComboLabels) {
  LabelFixture f;
  KmFormat synthetic = MakeFormat('S', {{"0", "Jump"}, {"1", "Comparability"}});
  const struct {
    const char* sName;
    const char* sFileVersion;
    int iDelayStats, iDelayType, iJumpMode;
    const char* sLabel;
  } kCases[] = {
      {"plain", "4.900", 0, 0, 0, "M / Comparability"},
      {"both delay types", "4.200", 1, 2, 0, "M"},
      {"both delay types, old session", "4.100", 1, 2, 0, "M / Comparability"},
      {"delay type 1 only", "4.900", 1, 1, 0, "M / Comparability"},
      {"no delay statistics", "4.900", 0, 2, 0, "M / Comparability"},
      {"jump mode 2", "4.900", 0, 0, 2, "M / Comparability"},
      {"jump mode 3", "4.900", 0, 0, 3, "M"},
      {"jump mode 6", "4.900", 0, 0, 6, "M"},
      {"jump mode 7", "4.900", 0, 0, 7, "M / Comparability"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmSession session;
    AddByVars(session, {{"Sex", &f.sex}, {"Analysis", &synthetic}});
    session.SetString(kmStrFileVersion, c.sFileVersion);
    session.SetInt(kmOptDictDelayStats, c.iDelayStats);
    session.SetInt(kmOptDelayType, c.iDelayType);
    session.SetInt(kmOptJumpCRMode, c.iJumpMode);
    kmCombos combos(2);
    combos.AddCombination(Ints({1, 1}));
    EXPECT_EQ(combos.GetComboLabel(0, &session, false), c.sLabel);
    // The level labels keep every by-variable.
    EXPECT_EQ(combos.GetCohortLabelEachLevel(0, &session).size(), 2u);
  }
}

TEST(kmCombos, ComparisonLabelNamesTheOtherSidesLastLevel) {
  LabelFixture f;
  KmFormat race = MakeFormat('I', {{"1", "W"}, {"2", "B"}});
  kmSession session;
  AddByVars(session, {{"Sex", &f.sex}, {"Race", &race}});
  kmCombos combos(2);
  combos.AddCombination(Ints({1, 1}));
  combos.AddCombination(Ints({1, 2}));
  combos.AddCombination(Ints({2, 1}));
  combos.AddComparison(Ints({0, 1}));
  combos.AddComparison(Ints({2, 0}));
  EXPECT_EQ(combos.GetLabel(3, &session, false), "M / W vs. B");
  EXPECT_EQ(combos.GetComparisonLabel(0, &session), "M / W vs. B");
  // Only the last level of the right-hand side is named, even when the
  // sides differ in an earlier by-variable.
  EXPECT_EQ(combos.GetLabel(4, &session, true), "W / W vs. W");
}

TEST(kmCombos, ComparisonOfUnknownCohortsIsRefused) {
  LabelFixture f;
  kmSession session;
  AddByVars(session, {{"Sex", &f.sex}});
  kmCombos combos(1);
  combos.AddCombination(Ints({1}));
  combos.AddComparison(Ints({0, 5}));
  combos.AddComparison(Ints({0}));
  for (int k : {0, 1, 2}) {
    SCOPED_TRACE(k);
    KmException e =
        CatchKmException([&] { combos.GetComparisonLabel(k, &session); });
    EXPECT_STREQ(e.GetSource(), "KmVector");
  }
}

TEST(kmCombos, LabelIndexPastAllEntriesIsRefused) {
  LabelFixture f;
  kmSession session;
  AddByVars(session, {{"Sex", &f.sex}});
  kmCombos combos(1);
  combos.AddCombination(Ints({1}));
  combos.AddCombination(Ints({2}));
  combos.AddComparison(Ints({0, 1}));
  KmException e =
      CatchKmException([&] { combos.GetLabel(3, &session, false); });
  EXPECT_STREQ(e.GetMessage(),
               "Label index (3) greater than number of comparisons and "
               "combinations combined (3).");
  EXPECT_STREQ(e.GetSource(), "GetLabel()");
  e = CatchKmException([&] { combos.GetLabel(0, nullptr, false); });
  EXPECT_STREQ(e.GetMessage(), "Invalid kmSession.");
}

}  // namespace
