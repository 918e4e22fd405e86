// Tests of kmCohortDataManager: the crude-rate, age-adjusted-rate,
// proportion and provided-value checks of one cohort, their exact sentences
// and the structural refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/kmCohortDataManager.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/data/ReaderFixtures.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestSession.h"

namespace {

// Columns of the test records: Year, Count, Pop, StdPop, Age, Value.

// Session options of a case.
struct Options {
  bool bCalculated = true;
  int iType = 1;   // kmOptDependentType
  int iModel = 0;  // kmOptHetErrorModel
  bool bLogLinear = false;
  int iMissing = 1;  // "."
  int iRatesPerN = 0;
};

// A session of the six variables, each in its role but iRole (-1: all),
// with the dependent-variable options of o.
std::unique_ptr<kmSession> MakeSessionWithout(const Options& o, int iRole) {
  auto session = std::make_unique<kmSession>();
  const auto role = [iRole](int i) {
    return i == iRole ? km_test::kNoRole : i;
  };
  km_test::AddVariables(*session, {{"Year", role(kmVarIndependent)},
                                   {"Count", role(kmVarCount)},
                                   {"Pop", role(kmVarPopulation)},
                                   {"StdPop", role(kmVarStdPopulation)},
                                   {"Age", role(kmVarAdjustment)},
                                   {"Value", role(kmVarRate)}});
  session->SetBool(kmOptDependentCalculated, o.bCalculated);
  session->SetInt(kmOptDependentType, o.iType);
  return session;
}

// The six variables in their roles, with the options of o.
std::unique_ptr<kmSession> MakeSession(const Options& o) {
  auto session = MakeSessionWithout(o, -1);
  session->SetInt(kmOptHetErrorModel, o.iModel);
  session->SetBool(kmOptLogLinear, o.bLogLinear);
  session->SetInt(kmOptMissingCharacter, o.iMissing);
  session->SetInt(kmOptRatesPerN, o.iRatesPerN);
  return session;
}

// Records of {count, pop} pairs (std pop 100, age the record index).
kmCohortRows CountPopRows(const std::vector<std::vector<std::string>>& v) {
  kmCohortRows rows;
  int iYear = 2000;
  for (const auto& cp : v) {
    rows.push_back({KmString(std::to_string(iYear++)), KmString(cp[0].c_str()),
                    KmString(cp[1].c_str()), KmString("100"), KmString("0"),
                    KmString(" ")});
  }
  return rows;
}

using reader_test::At;

const char kMissingCount[] = "  There was one or more missing count values.";
const char kNonNumericCount[] = "  One or more count values were not numeric.";
const char kMissingPop[] = "  There was one or more missing population values.";
const char kNonNumericPop[] =
    "  One or more population values were not numeric.";
const char kNegativeCount[] =
    "  There was one or more count values less than zero.";
const char kNegativePopCrude[] =
    "  There was one or more population values that was less than zero.";
const char kZeroPop[] =
    "  There was one or more records where the population was zero.  No "
    "Crude Rate is calculated when this occurs.";
const char kZeroCountSE[] =
    "  The standard error cannot be computed when the count is zero.  This "
    "cohort will be bypassed because of this.";
const char kZeroCrudeRate[] =
    "  The calculated crude rate is zero.  Kinkmark cannot process records "
    "with dependent variable = 0.  Kinkmark will not analyze by-groups that "
    "have this error.";

struct Case {
  const char* sName;
  Options options;
  std::vector<std::vector<std::string>> records;  // {count, pop}
  int iCohort;
  bool bValid;
  std::string sMessage;
};

TEST(CohortDataManagerTest, CrudeRateSentences) {
  Options linear;
  Options logPoisson;  // model 0 in a log-linear analysis: Poisson-type
  logPoisson.bLogLinear = true;
  Options seModel;  // standard errors in the data: non-constant, not Poisson
  seModel.iModel = 2;
  Options logSE = seModel;
  logSE.bLogLinear = true;

  const Case cases[] = {
      {"good", linear, {{"10", "1000"}, {"12", "1100"}}, 1, true, ""},
      {"missing count",
       linear,
       {{"10", "1000"}, {".", "1100"}},
       1,
       false,
       kMissingCount + At(1, 1)},
      {"non-numeric count",
       linear,
       {{"1x", "1000"}},
       1,
       false,
       kNonNumericCount + At(0, 1)},
      {"missing pop, cohort 3",
       linear,
       {{"4", "10"}, {"5", "."}},
       3,
       false,
       kMissingPop + At(1, 2)},
      {"non-numeric pop",
       linear,
       {{"4", "ten"}},
       1,
       false,
       kNonNumericPop + At(0, 2)},
      {"missing count and pop in one record",
       linear,
       {{".", "."}},
       1,
       false,
       kMissingCount + At(0, 1) + kMissingPop + At(0, 2)},
      {"negative count",
       linear,
       {{"-1", "10"}},
       1,
       false,
       kNegativeCount + At(0, 1)},
      {"negative pop",
       linear,
       {{"1", "-10"}},
       1,
       false,
       kNegativePopCrude + At(0, 2)},
      {"pop between -1 and 0",
       linear,
       {{"1", "-0.5"}},
       1,
       false,
       kNegativePopCrude + At(0, 2)},
      {"zero pop", linear, {{"1", "0"}}, 1, false, kZeroPop + At(0, 2)},
      {"zero count, constant variance", linear, {{"0", "10"}}, 1, true, ""},
      {"zero count, SE model",
       seModel,
       {{"0", "10"}},
       1,
       false,
       kZeroCountSE + At(0, 1)},
      {"zero count, SE model, log-linear",
       logSE,
       {{"0", "10"}},
       1,
       false,
       kZeroCountSE + At(0, 1) + kZeroCrudeRate + At(0, 1)},
      {"zero count, Poisson log-linear",
       logPoisson,
       {{"0", "10"}},
       1,
       true,
       ""},
      // A population of 0 gives no rate: none is named zero.
      {"zero pop and count, log-linear",
       logPoisson,
       {{"5", "10"}, {"0", "0"}, {"0", "0"}},
       1,
       false,
       kZeroPop + At(1, 2)},
      {"stops after the first bad record",
       linear,
       {{"-1", "10"}, {".", "10"}},
       2,
       false,
       kNegativeCount + At(0, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    auto session = MakeSession(c.options);
    kmCohortDataManager manager(session.get());
    const kmCohortRows rows = CountPopRows(c.records);
    KmString sText("prior.");
    EXPECT_EQ(c.bValid,
              manager.VerifyCohortData(rows, 0, &sText, c.iCohort, false));
    EXPECT_EQ(c.sMessage, manager.GetMessage().GetCString());
    EXPECT_EQ("prior." + c.sMessage, sText.GetCString());
  }
}

TEST(CohortDataManagerTest, ProportionSentences) {
  Options prop;
  prop.iType = 2;
  Options propConst = prop;
  Options propSE = prop;
  propSE.iModel = 2;
  const std::string kDenomZero =
      "  There was one or more records where the denominator was zero.  A "
      "Proportion or Percentage will NOT be computed when this happens.";
  const std::string kNegative =
      "  There was one or more records where the numerator or denominator "
      "was negative.  A Proportion or Percentage will NOT be computed when "
      "this happens.";
  const std::string kGreater =
      "  There was one or more records where the numerator was greater than "
      "the denominator.  A Proportion or Percentage will NOT be computed when "
      "this happens.";
  const std::string kZeroNum =
      "  The standard error cannot be computed when the numerator is zero.  "
      "This cohort will be bypassed because of this.";
  const Case cases[] = {
      {"numerator equal to denominator", prop, {{"10", "10"}}, 1, true, ""},
      {"numerator larger",
       prop,
       {{"10", "10"}, {"11", "10"}},
       1,
       false,
       kGreater + At(1, 1)},
      {"zero denominator", prop, {{"0", "0"}}, 1, false, kDenomZero + At(0, 2)},
      {"negative", prop, {{"-1", "5"}}, 1, false, kNegative + At(0, 1)},
      {"zero numerator, constant variance",
       propConst,
       {{"0", "5"}},
       1,
       true,
       ""},
      {"zero numerator, SE model",
       propSE,
       {{"0", "5"}},
       2,
       false,
       kZeroNum + At(0, 1)},
      {"missing numerator",
       prop,
       {{".", "5"}},
       1,
       false,
       "  There was one or more missing numerator values." + At(0, 1)},
      {"non-numeric numerator",
       prop,
       {{"a", "5"}},
       1,
       false,
       "  One or more numerator values were not numeric." + At(0, 1)},
      {"missing denominator",
       prop,
       {{"1", "."}},
       1,
       false,
       "  There was one or more missing denominator values." + At(0, 2)},
      {"non-numeric denominator",
       prop,
       {{"1", "b"}},
       1,
       false,
       "  One or more denominator values were not numeric." + At(0, 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    auto session = MakeSession(c.options);
    kmCohortDataManager manager(session.get());
    KmString sText;
    EXPECT_EQ(c.bValid, manager.VerifyCohortData(CountPopRows(c.records), 0,
                                                 &sText, c.iCohort, false));
    EXPECT_EQ(c.sMessage, sText.GetCString());
  }
}

TEST(CohortDataManagerTest, ProvidedValueSentences) {
  // Provided values: a count is checked in the count column, any other type
  // in the provided-value column; proportions and percents also for being
  // numeric and not blank.
  struct ValueCase {
    const char* sName;
    int iType;
    const char* sCount;
    const char* sValue;
    bool bValid;
    std::string sMessage;
  };
  const std::string kDepMissing =
      "  One or more dependent variable values are missing.";
  const ValueCase cases[] = {
      {"count present", 0, "3", ".", true, ""},
      {"count missing", 0, ".", "1", false, kDepMissing + At(0, 1)},
      {"rate missing", 1, "3", ".", false, kDepMissing + At(0, 5)},
      {"proportion missing", 2, "3", ".", false,
       kDepMissing + At(0, 5) + "  One or more proportion values are missing." +
           At(0, 5)},
      {"proportion not numeric", 2, "3", "0.2x", false,
       "  One or more proportion values were not numeric." + At(0, 5)},
      {"percent blank", 3, "3", " ", false,
       "  One or more percentage values are blank." + At(0, 5)},
      {"percent missing", 3, "3", ".", false,
       kDepMissing + At(0, 5) + "  One or more percentage values are missing." +
           At(0, 5)},
      {"percent not numeric", 3, "3", "nan", false,
       "  One or more percentage values were not numeric." + At(0, 5)},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.sName);
    Options o;
    o.bCalculated = false;
    o.iType = c.iType;
    auto session = MakeSession(o);
    kmCohortDataManager manager(session.get());
    kmCohortRows rows = {{"2000", c.sCount, "10", "100", "0", c.sValue}};
    KmString sText;
    EXPECT_EQ(c.bValid, manager.VerifyCohortData(rows, 0, &sText, 1, false));
    EXPECT_EQ(c.sMessage, sText.GetCString());
  }
}

// Age-adjusted records: per year, one record per group {count, pop, stdpop}.
kmCohortRows AgeRows(const std::vector<std::vector<std::string>>& v,
                     int nGroups) {
  kmCohortRows rows;
  for (size_t i = 0; i < v.size(); ++i) {
    const int iYear = 2000 + static_cast<int>(i) / nGroups;
    const int iAge = static_cast<int>(i) % nGroups;
    rows.push_back({KmString(std::to_string(iYear)), KmString(v[i][0].c_str()),
                    KmString(v[i][1].c_str()), KmString(v[i][2].c_str()),
                    KmString(std::to_string(iAge)), KmString(" ")});
  }
  return rows;
}

TEST(CohortDataManagerTest, AgeAdjustedSentences) {
  Options linear;
  linear.iType = 4;
  Options logLinear = linear;
  logLinear.bLogLinear = true;
  const std::string kZeroAAR =
      "  The calculated age-adjusted rate is zero.  Kinkmark cannot process "
      "records with dependent variable = 0.  Kinkmark will not analyze "
      "by-groups that have this error.";
  const std::string kTotalZero =
      "  The total population for this cohort is zero.  Kinkmark cannot "
      "compute age-adjusted rates when this occurs.";
  const Case cases[] = {
      {"good",
       logLinear,
       {{"1", "10", "50"},
        {"2", "20", "50"},
        {"3", "10", "50"},
        {"4", "20", "50"}},
       1,
       true,
       ""},
      {"zero pop with positive count counts as the count",
       logLinear,
       {{"1", "0", "50"}, {"0", "20", "50"}},
       1,
       true,
       ""},
      {"zero rate of one year, log-linear",
       logLinear,
       {{"1", "10", "50"},
        {"2", "20", "50"},
        {"0", "10", "50"},
        {"0", "20", "50"}},
       2,
       false,
       kZeroAAR + " (record 4)  "},
      {"zero rate, linear",
       linear,
       {{"0", "10", "50"}, {"0", "20", "50"}},
       1,
       true,
       ""},
      {"zero total population",
       linear,
       {{"0", "0", "50"}, {"0", "0", "50"}},
       1,
       false,
       kTotalZero},
      {"not divisible",
       linear,
       {{"1", "10", "50"}, {"2", "20", "50"}, {"3", "10", "50"}},
       1,
       false,
       "  The total number of records for the cohort is not evenly divisible "
       "by the number of adjustment variable groups.    Cohort records (all "
       "independent variable categories):  3  Adjustment variable "
       "categories:  2"},
      {"negative count",
       linear,
       {{"-1", "10", "50"}, {"2", "20", "50"}},
       1,
       false,
       kNegativeCount + At(0, 1)},
      {"missing pop",
       linear,
       {{"1", ".", "50"}, {"2", "20", "50"}},
       1,
       false,
       kMissingPop + At(0, 2)},
      {"negative pop",
       linear,
       {{"1", "-10", "50"}, {"2", "20", "50"}},
       1,
       false,
       "  There was one or more population values less than zero." + At(0, 2)},
      {"missing and non-numeric standard populations",
       linear,
       {{"1", "10", "."}, {"2", "20", "x"}},
       1,
       false,
       "  The standard population value read from the data line is missing.  "
       "Kinkmark cannot calculate age-adjusted rates for this cohort." +
           At(0, 3) +
           "  The standard population value read from the data line is not "
           "numeric.  Kinkmark cannot calculate age-adjusted rates for this "
           "cohort." +
           At(1, 3)},
      {"negative standard population",
       linear,
       {{"1", "10", "-5"}, {"2", "20", "50"}},
       1,
       false,
       "  The standard population value read from the data line is negative.  "
       "Kinkmark cannot calculate age-adjusted rates for this cohort." +
           At(0, 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    auto session = MakeSession(c.options);
    kmCohortDataManager manager(session.get());
    KmString sText;
    EXPECT_EQ(c.bValid, manager.VerifyCohortData(AgeRows(c.records, 2), 2,
                                                 &sText, c.iCohort, false));
    EXPECT_EQ(c.sMessage, sText.GetCString());
  }
}

TEST(CohortDataManagerTest, NineteenGroupsNeedWholeYears) {
  Options o;
  o.iType = 4;
  o.bLogLinear = true;
  auto session = MakeSession(o);
  kmCohortDataManager manager(session.get());
  std::vector<std::vector<std::string>> records(95, {"3", "1000", "10"});
  KmString sText;
  EXPECT_TRUE(
      manager.VerifyCohortData(AgeRows(records, 19), 19, &sText, 1, false));
  EXPECT_EQ("", std::string(sText.GetCString()));
  EXPECT_DOUBLE_EQ(190.0, manager.GetTotalStandardPopulation());

  records.pop_back();
  EXPECT_FALSE(
      manager.VerifyCohortData(AgeRows(records, 19), 19, &sText, 1, false));
  EXPECT_NE(std::string::npos,
            std::string(sText.GetCString())
                .find("Cohort records (all independent variable "
                      "categories):  94  Adjustment variable categories:  19"));
}

TEST(CohortDataManagerTest, BadStandardPopulationDoesNotPoisonLaterCohorts) {
  // Fault: a cohort whose standard population could not be summed left a
  // total of 0 behind, so every later cohort's age-adjusted rates came out 0
  // and log-linear analyses refused them as "rate is zero".
  Options o;
  o.iType = 4;
  o.bLogLinear = true;
  auto session = MakeSession(o);
  kmCohortDataManager manager(session.get());
  KmString sText;
  EXPECT_FALSE(manager.VerifyCohortData(
      AgeRows({{"1", "10", "."}, {"2", "20", "50"}}, 2), 2, &sText, 1, false));
  EXPECT_DOUBLE_EQ(-1.0, manager.GetTotalStandardPopulation());

  sText.Clear();
  EXPECT_TRUE(manager.VerifyCohortData(
      AgeRows({{"1", "10", "40"}, {"2", "20", "60"}}, 2), 2, &sText, 2, false));
  EXPECT_EQ("", std::string(sText.GetCString()));
  EXPECT_DOUBLE_EQ(100.0, manager.GetTotalStandardPopulation());
}

TEST(CohortDataManagerTest, TotalPopulationJudgedOnlyAfterOtherChecks) {
  // Fault: a cohort refused by an earlier check (records not divisible by
  // the groups, a missing population) was also told "The total population
  // for this cohort is zero", which its data did not show: the walk that
  // sums the populations had stopped short or never run.
  Options o;
  o.iType = 4;
  auto session = MakeSession(o);
  kmCohortDataManager manager(session.get());
  const std::vector<std::vector<std::vector<std::string>>> refused = {
      {{"1", "10", "50"}, {"2", "20", "50"}, {"3", "10", "50"}},
      {{"1", ".", "50"}, {"2", "20", "50"}},
  };
  for (const auto& records : refused) {
    KmString sText;
    EXPECT_FALSE(
        manager.VerifyCohortData(AgeRows(records, 2), 2, &sText, 1, false));
    EXPECT_EQ(std::string::npos,
              std::string(sText.GetCString()).find("total population"));
  }
}

TEST(CohortDataManagerTest, StructuralProblemsThrow) {
  struct ThrowCase {
    const char* sName;
    int iType;
    int iClearRole;  // role whose location is set to none (-1: none)
    kmCohortRows rows;
    int iGroups;
    const char* sMessage;
    const char* sSource;
  };
  const ThrowCase cases[] = {
      {"crude, no records",
       1,
       -1,
       {},
       0,
       "Cohort Data Vector Empty.",
       "ValidateCrudeRates"},
      {"crude, short first record",
       1,
       -1,
       {{"2000", "4"}},
       0,
       "Cohort Row Vector does not contain enough elements for rate "
       "calculations.  Kinkmark is trying to access the population variable "
       "(field position 3), but the cohort row vector only has 2 fields. "
       "Zero-based index.",
       "ValidateCrudeRates"},
      {"crude, no count variable",
       1,
       kmVarCount,
       {{"2000", "4", "5"}},
       0,
       "Count or Population variable offset is zero or less.",
       "ValidateCrudeRates"},
      {"age-adjusted, one group",
       4,
       -1,
       {{"2000", "4", "5", "6", "0", " "}},
       1,
       "Adjustment variable has less than 2 groups.  This is invalid for "
       "age-adjustment calculations.",
       "ValidateCrudeOrAgeAdjRate"},
      {"age-adjusted, no standard population",
       4,
       kmVarStdPopulation,
       {{"2000", "4", "5", "6", "0", " "}},
       2,
       "Stnd Pop variable offset is zero or less.",
       "ValidateCrudeOrAgeAdjRate"},
      {"age-adjusted, empty first record",
       4,
       -1,
       {{}},
       2,
       "Cohort row vector is empty.",
       "ValidateCrudeOrAgeAdjRate"},
      {"age-adjusted, short first record",
       4,
       -1,
       {{"2000", "4", "5"}},
       2,
       "Cohort Row Vector does not contain enough elements for rate "
       "calculations.  Kinkmark is trying to access the standard population "
       "variable (field position 4), but the cohort row vector only has 3 "
       "fields.",
       "ValidateCrudeOrAgeAdjRate"},
      {"proportion, short first record",
       2,
       -1,
       {{"2000", "4"}},
       0,
       "Cohort Row Vector does not contain enough elements for percent or "
       "proportion calculations.",
       "ValidateProportionPercent"},
      {"proportion, no population variable",
       3,
       kmVarPopulation,
       {{"2000", "4", "5"}},
       0,
       "Numerator or Denominator variable offset is zero or less.",
       "ValidateProportionPercent"},
  };
  for (const ThrowCase& c : cases) {
    SCOPED_TRACE(c.sName);
    Options o;
    o.iType = c.iType;
    auto session = MakeSession(o);
    if (c.iClearRole >= 0) session = MakeSessionWithout(o, c.iClearRole);
    kmCohortDataManager manager(session.get());
    KmString sText;
    const KmException e = km_test::CatchKmException(
        [&] { manager.VerifyCohortData(c.rows, c.iGroups, &sText, 1, false); });
    // The message may go on with what the user can do about it.
    EXPECT_EQ(0u, std::string(e.GetMessage()).rfind(c.sMessage, 0))
        << e.GetMessage();
    EXPECT_STREQ(c.sSource, e.GetSource());
    EXPECT_EQ(0, e.GetKind());
    EXPECT_NE(nullptr, std::strstr(e.GetCallPath(),
                                   "VerifyCohortData() of "
                                   "kmCohortDataManager"));
  }
}

TEST(CohortDataManagerTest, NullSessionIsRefused) {
  const KmException e =
      km_test::CatchKmException([&] { kmCohortDataManager manager(nullptr); });
  EXPECT_STREQ("Session does not exist - invalid pointer.", e.GetMessage());
  EXPECT_STREQ("kmCalculationHandler", e.GetSource());
  EXPECT_STREQ(
      "Setup() of kmCohortDataManager\r\nkmCohortDataManager() of "
      "kmCohortDataManager",
      e.GetCallPath());
}

}  // namespace
