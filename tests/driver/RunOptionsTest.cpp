// The run-options file: validation line by line, the messages, and the
// application of the record to a session.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/OptionCombinations.h"
#include "driver/RunOptions.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "tests/driver/OptionTable.h"
#include "tests/test_util/TestUtil.h"

namespace {

// The messages of the last validation.
std::string sText;

// Validates a file holding `body` and returns the verdict; the messages are
// left in sText.
bool ValidateBody(const km_test::ScratchDir& dir, const std::string& body) {
  const std::string path = dir.Write("run-options.ini", body);
  KmString sMessages;
  const bool bValid = ValidateRunOptions(path.c_str(), sMessages);
  sText = sMessages.GetCString();
  return bValid;
}

// Checks one option line; the messages are left in sText.
bool IsValid(const char* sKey, const char* sValue) {
  KmString sMessages;
  const bool bValid = IsValidRunOption(sKey, sValue, sMessages);
  sText = sMessages.GetCString();
  return bValid;
}

std::string Text() { return sText; }

TEST(ValidateRunOptions, MissingSectionNamesTheFile) {
  km_test::ScratchDir dir;
  EXPECT_FALSE(ValidateBody(dir, "[Other]\nmodel = ln\n"));
  EXPECT_EQ(Text(), "Missing [Session Options] in Options file: " +
                        dir.File("run-options.ini") + "\n");
  KmString sMessages;
  EXPECT_FALSE(ValidateRunOptions(dir.File("absent.ini").c_str(), sMessages));
}

TEST(ValidateRunOptions, MessagesForKeyAndValue) {
  EXPECT_FALSE(IsValid("Foo", "1"));
  EXPECT_EQ(km_test::ElidedKeyLists(Text()),
            "\"foo\" is not a valid Session Option; use ...\n");
  EXPECT_NE(Text().find("; use \"model\", \"minimum kinkmarks\", "),
            std::string::npos);
  // Fault: a word outside the key's words was refused without them.
  EXPECT_FALSE(IsValid("model", "log"));
  EXPECT_EQ(Text(),
            "\"log\" is not a valid value for the \"model\" Session Option; "
            "use \"ln\" or \"linear\".\n");
  // Fault: a number was refused without a word of what it is or of the
  // values the key takes.
  const struct {
    const char* sKey;
    const char* sValue;
    const char* sMessage;
  } kNumbers[] = {
      {"maximum kinkmarks", "-01.5",
       "\"-01.5\" is not a valid value for the \"maximum kinkmarks\" "
       "Session Option (not a whole number); use 0 to 9, or -1.\n"},
      {"minimum kinkmarks", "-01",
       "\"-01\" is not a valid value for the \"minimum kinkmarks\" Session "
       "Option (the number -1); use 0 to 9.\n"},
      {"num cores", "1e-999",
       "\"1e-999\" is not a valid value for the \"num cores\" Session "
       "Option (a number beyond those a double holds); use 0 to 9999.\n"},
      {"autocorr errors", "x",
       "\"x\" is not a valid value for the \"autocorr errors\" Session "
       "Option (not a number); use 0 to 1, or \"estimated\".\n"},
  };
  for (const auto& c : kNumbers) {
    EXPECT_FALSE(IsValid(c.sKey, c.sValue));
    EXPECT_EQ(Text(), c.sMessage);
  }
}

// Every key with values it accepts and values it refuses.
const option_table::OptionCase kRunOptionCases[] = {
    {"model", {"ln", "LN", "linear"}, {"log"}},
    {"pairwise", {"parallel", "coincident"}, {"yes"}},
    {"empirical quantile seed type", {"constant", "varying"}, {"random"}},
    {"method", {"grid", "hudsons"}, {"hudson"}},
    {"model selection method",
     {"permutation test", "bic", "mbic", "bic3", "data dependent selection",
      "wbic-alt", "wbic"},
     {"aic"}},
    {"early stopping", {"b-value", "curtailed", "fixed"}, {"none"}},
    {"run type", {"calculated", "provided"}, {"given"}},
    {"dependent variable type",
     {"age-adjusted rate", "count", "crude rate", "percent", "proportion"},
     {"rate"}},
    {"het error",
     {"constant variance", "standard error", "poisson rate", "poisson count"},
     {"poisson"}},
    {"ci method",
     {"parametric", "empirical quantile method 1",
      "empirical quantile method 2", "empirical quantile method 1 fsm only",
      "empirical quantile method 2 fsm only"},
     {"empirical quantile method 3"}},
    {"delay type", {"delay", "non-delay", "both"}, {"neither"}},
    {"autocorr errors", {"estimated", "0", "0.3", "1", ""}, {"1.2"}},
    {"kinkmark alpha level", {"0.05", "0.999"}, {"-0.1", "0", "1", "1.0"}},
    {"apc alpha level", {"0.01", ".5"}, {"1.5", "0"}},
    {"jump cr alpha level", {"0.1"}, {"0..1"}},
    {"aapc alpha level", {"0.1"}, {"a"}},
    {"madwd psi value", {"0.5"}, {"2"}},
    {"pairwise significance level", {"0.05"}, {"5", "1"}},
    // Fault: "yes", "1" and "no", which the other files take, were refused.
    // A number other than 1 and 0, negative ones too, is neither yes nor no.
    {"jump model",
     {"true", "False", "yes", "1", "0.0"},
     {"y", "Y", "-1"},
     true},
    {"comparability ratio", {"true", "false", "NO"}, {"1x"}, true},
    {"include standard analysis", {"true", "false", "1e0"}, {"2"}, true},
    {"madwd", {"true", "false", "0"}, {"on"}, true},
    {"minimum kinkmarks", {"0", "9"}, {"-1", "10"}},
    // Fault: -1 (keep the session's maximum) was taken only as written so;
    // -1.0, -1e0 and -01 were refused, while 2.0 read as 2.
    {"maximum kinkmarks",
     {"3", "-1", "9", "-1.0", "-1e0", "-01", "2.0"},
     {"-2", "10", "100", "-1.5", "-0.1e1x"}},
    {"min obs end", {"1", "1000"}, {"-2", "0", "1001"}},
    {"min obs between", {"0", "2", "1000"}, {"-3", "1001"}},
    {"num obs between", {"0", "20"}, {"-1", "21", "1000"}},
    {"num permutations",
     {"50", "100000", "10.0"},
     {"-3", "0", "100001", "9.5"}},
    {"pairwise number of permutations", {"4499"}, {"-1", "0"}},
    {"number of resamples", {"2", "100000"}, {"-5", "1", "2147483647"}},
    // Numbers by the one rule of every file: an exponent is taken, a number
    // no double holds is not.
    {"data shift", {"-1.5", "2", "2e1"}, {"x", "1.2.3", "1e999", "3x"}},
    {"permutations significance level", {"0.05"}, {"5%", "0"}},
    {"jump location", {"2001", "-4"}, {"year"}},
    {"comparability ratio value", {"1.1"}, {"1,1"}},
    {"cr variance", {"0.001"}, {"--1"}},
    {"rates per n", {"100000", "1e5"}, {"1e-5", "0"}},
    {"het error variable location", {"4"}, {"d", "0"}},
    {"num cores", {"4", "0", "9999"}, {"all", "-3", "10000"}},
    {"random number generator seed",
     {"7160", "-5"},
     {"seed", "2147483648", "7160.5"}},
    {"empirical quantile seed", {"10000"}, {"1-2"}},
};

TEST(IsValidRunOption, EveryKeyAcceptsItsValuesAndRefusesAWrongOne) {
  option_table::ExpectOptionTable(IsValidRunOption, "Session Option",
                                  kRunOptionCases);
}

// The validator reads the lines the reader reads: trimmed lines and values,
// any case in the header, blank and comment lines passed over, and every
// faulty line reported in file order, also after a blank line, with its
// place; a second section of the name is refused.
TEST(ValidateRunOptions, ChecksExactlyTheLinesTheReaderReads) {
  km_test::ScratchDir dir;
  EXPECT_TRUE(ValidateBody(
      dir, "  [SESSION OPTIONS]  \r\n\tModel = LN \r\n; note = anything\n"));
  EXPECT_FALSE(ValidateBody(dir,
                            "[Other]\nbad = 1\n[Session Options]\n"
                            "apc alpha level = 1.5\n\nfoo = 1\n"
                            "[Session Options]\nalso ignored = 1\n"
                            "[Next]\nbar = 2\n"));
  const std::string sAt = "The file \"" + dir.File("run-options.ini") + "\"";
  EXPECT_EQ(
      km_test::ElidedKeyLists(Text()),
      sAt +
          ", line 4: \"1.5\" is not a valid value for the \"apc alpha "
          "level\" Session Option (the number 1.5); use a level above 0 and "
          "below 1.\n" +
          sAt +
          ", line 6: \"foo\" is not a valid Session Option; use "
          "...\n" +
          sAt +
          ", line 8: \"also ignored\" is not a valid Session "
          "Option; use ...\n" +
          sAt +
          " gives the section \"[Session Options]\" twice: line 3 "
          "\"[Session Options]\" and line 7 \"[Session "
          "Options]\".  Give each section once.\n");
}

// Writes `body` as a run-options file and applies it to a fresh session
// whose maximum kinkmarks is 3 and whose dependent variable is a crude
// rate.
kmSession ApplyBody(const std::string& body) {
  km_test::ScratchDir dir;
  const std::string path = dir.Write("run.ini", "[Session Options]\n" + body);
  kmSession session;
  session.SetInt(kmOptMaxKinkmarks, 3);
  session.SetDouble(kmOptAPCAlpha, 0.01);
  session.SetInt(kmOptNumPermutations, 999);
  session.SetInt(kmOptDependentType, 1);
  ApplyRunOptions(IniSessionDict(path.c_str()), &session);
  return session;
}

TEST(ApplyRunOptions, OneKeyResetsTheOthersAndKeepsTheGuardedOnes) {
  const kmSession session = ApplyBody("model = linear\n");
  EXPECT_FALSE(session.GetBool(kmOptLogLinear));
  EXPECT_EQ(session.GetDouble(kmOptAPCAlpha), 0.05);
  EXPECT_EQ(session.GetDouble(kmOptKinkmarkAlpha), 0.05);
  EXPECT_EQ(session.GetInt(kmOptNumPermutations), 4499);
  EXPECT_EQ(session.GetInt(kmOptMaxKinkmarks), 3);
  EXPECT_EQ(session.GetInt(kmOptDependentType), 1);
  EXPECT_EQ(session.GetInt(kmOptComparisonType), 0);
  EXPECT_EQ(session.GetInt(kmOptEmpQuantileSeed), 10000);
  EXPECT_EQ(session.GetInt(kmOptJumpCRMode), 0);
}

// A run-options file without the key keeps the type the session
// definition gave; a default of 4 here once turned every crude rate into an
// age-adjusted one.
TEST(ApplyRunOptions, DependentVariableTypeReplacesTheSessionsOnlyWhenGiven) {
  const struct {
    const char* sBody;
    int iType;
  } kCases[] = {{"model = ln\n", 1},
                {"dependent variable type = count\n", 0},
                {"dependent variable type = age-adjusted rate\n", 4}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.sBody);
    EXPECT_EQ(ApplyBody(c.sBody).GetInt(kmOptDependentType), c.iType);
  }
}

TEST(ApplyRunOptions, AutocorrelationCodesAndFixedParameter) {
  struct Case {
    const char* sValue;
    int iMode;
    double dPhi;
  };
  // A value strictly between 0 and 1 is a fixed AR(1) parameter; cutting
  // it to an integer code made phi = 0.5 mean "uncorrelated".
  const Case cases[] = {
      {"0", 0, 0.0}, {"estimated", 1, 0.0}, {"1", 1, 0.0}, {"0.5", 2, 0.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sValue);
    const kmSession s =
        ApplyBody(std::string("autocorr errors = ") + c.sValue + "\n");
    EXPECT_EQ(s.GetInt(kmOptAutocorrErrors), c.iMode);
    EXPECT_EQ(s.GetDouble(kmOptAutocorrParameter), c.dPhi);
  }
}

TEST(ApplyRunOptions, JumpModeFromTheThreeSwitches) {
  const char* kT = "true";
  const char* kF = "false";
  struct Case {
    const char *sJump, *sCR, *sStandard;
    int iMode;
  };
  const Case cases[] = {{kT, kT, kT, 6}, {kF, kT, kT, 5}, {kT, kF, kT, 4},
                        {kT, kT, kF, 3}, {kF, kT, kF, 2}, {kT, kF, kF, 1},
                        {kF, kF, kT, 0}, {kF, kF, kF, 0}};
  for (const Case& c : cases) {
    const kmSession s =
        ApplyBody(std::string("jump model = ") + c.sJump +
                  "\ncomparability ratio = " + c.sCR +
                  "\ninclude standard analysis = " + c.sStandard + "\n");
    EXPECT_EQ(s.GetInt(kmOptJumpCRMode), c.iMode)
        << c.sJump << c.sCR << c.sStandard;
  }
}

TEST(ApplyRunOptions, PairwiseSignificanceLevelReachesTheSession) {
  km_test::ScratchDir dir;
  const std::string body =
      "[Session Options]\npairwise = parallel\n"
      "pairwise significance level = 0.01\n";
  EXPECT_TRUE(ValidateBody(dir, body));
  const kmSession s =
      ApplyBody("pairwise = coincident\npairwise significance level = 0.01\n");
  EXPECT_EQ(s.GetDouble(kmOptPairwiseAlpha), 0.01);
  EXPECT_EQ(s.GetInt(kmOptComparisonType), 1);
  EXPECT_EQ(s.GetInt(kmOptPairwiseType), 1);
}

// Every variant of each refused combination: a jump model and a
// comparability ratio with each resampled interval method, and both delay
// types without the delay-adjusted statistics.
TEST(ValidateOptionCombinations, RefusesEveryVariant) {
  const char kJump[] = "\"jump model = true\" cannot be combined with ";
  const char kCR[] = "\"comparability ratio = true\" cannot be combined with ";
  const char kEnd[] = ": the resampled refits have no jump.";
  struct Case {
    const char* sBody;   // run options
    int iCIMethod;       // kmOptAAPCCIMethod set over them; -1: as they give
    std::string sStart;  // the message's start; "": accepted
  };
  const std::string kT = "resampled t intervals (\"ci method\")";
  const auto EQ = [&](const char* sMethod) {
    return "\"ci method = empirical quantile method " + std::string(sMethod) +
           "\"" + kEnd;
  };
  const Case kCases[] = {
      {"jump model = true\n", 2, kJump + kT + kEnd},
      {"comparability ratio = true\n", 2, kCR + kT + kEnd},
      {"jump model = true\n", 1, ""},
      {"ci method = empirical quantile method 1\njump model = true\n", -1,
       kJump + EQ("1")},
      {"ci method = empirical quantile method 2\njump model = true\n", -1,
       kJump + EQ("2")},
      {"ci method = empirical quantile method 2 fsm only\njump model = true\n",
       -1, kJump + EQ("2 fsm only")},
      {"ci method = empirical quantile method 1\ncomparability ratio = true\n",
       -1, kCR + EQ("1")},
      {"ci method = empirical quantile method 2\ncomparability ratio = true\n",
       -1, kCR + EQ("2")},
      {"ci method = empirical quantile method 1 fsm only\ncomparability ratio "
       "= true\n",
       -1, kCR + EQ("1 fsm only")},
      // Pairwise comparisons pair the cohorts' analyses beside one another
      // as well; a delay and a non-delay variant of each cohort need the
      // delay-adjusted statistics alone.
      {"pairwise = parallel\njump model = true\n", 1, ""},
      {"pairwise = parallel\njump model = true\ncomparability ratio = true\n"
       "include standard analysis = true\n",
       1, ""},
      {"pairwise = coincident\ndelay type = both\n", -1,
       "\"delay type = both\" needs the delay-adjusted statistics"},
      {"delay type = delay\n", -1, "\"delay type = delay\" needs the"},
      {"delay type = both\n", -1, "\"delay type = both\" needs the"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.sBody) + std::to_string(c.iCIMethod));
    kmSession session = ApplyBody(c.sBody);
    if (c.iCIMethod >= 0) session.SetInt(kmOptAAPCCIMethod, c.iCIMethod);
    try {
      ValidateOptionCombinations(session, KmString("se.ini"));
      EXPECT_EQ(c.sStart, "");
    } catch (const KmException& e) {
      EXPECT_EQ(std::string(e.GetMessage()).substr(0, c.sStart.size()),
                c.sStart);
      EXPECT_NE(c.sStart, "") << e.GetMessage();
    }
  }
}

}  // namespace
