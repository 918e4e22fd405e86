// Tests of the record checks of one cohort (kmReadData::
// VerifyCohortFieldValues and ValidFloat): the exact sentences with their
// row and column, once per kind, and the run-wide interval and precision.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/kmReadData.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/data/ReaderFixtures.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestSession.h"

namespace {

// Columns of the test records: Year, Value, SE.
constexpr int kYear = 1;
constexpr int kValue = 2;
constexpr int kSE = 3;

struct Options {
  bool bCalculated = false;
  int iType = 0;  // kmOptDependentType
  int iModel = 0;
  bool bLogLinear = false;
  const KmFormat* pYearFormat = nullptr;
};

// A session of Year, Value (dependent and count) and SE, missing text ".".
std::unique_ptr<kmSession> MakeSession(const Options& o) {
  auto session = std::make_unique<kmSession>();
  km_test::AddVariables(*session,
                        {{"Year", kmVarIndependent, false, o.pYearFormat},
                         {"Value", kmVarDependent},
                         {"SE", kmVarStdError}});
  session->SetKMVarPosition(kmVarCount, kValue);
  // Read only under the Poisson rate model (4), where SE stands for it.
  session->SetKMVarPosition(kmVarPopulation, kSE);
  session->SetBool(kmOptDependentCalculated, o.bCalculated);
  session->SetInt(kmOptDependentType, o.iType);
  session->SetInt(kmOptHetErrorModel, o.iModel);
  session->SetBool(kmOptLogLinear, o.bLogLinear);
  session->SetInt(kmOptMissingCharacter, 1);
  return session;
}

// A reader over the session, with its own results handler.
struct Reader {
  explicit Reader(const Options& o)
      : session(MakeSession(o)),
        handler(new kmCalcHandler(session.get())),
        reader(new kmReadData(session.get(), handler.get())) {}
  std::unique_ptr<kmSession> session;
  std::unique_ptr<kmCalcHandler> handler;
  std::unique_ptr<kmReadData> reader;
};

kmCohortRows Rows(const std::vector<std::vector<std::string>>& v) {
  kmCohortRows rows;
  for (const auto& r : v) {
    kmRecordRow row;
    for (const std::string& f : r) row.push_back(KmString(f.c_str()));
    rows.push_back(row);
  }
  return rows;
}

using reader_test::At;
using reader_test::kMissingDep;

const std::string kZeroNote =
    "  There are records with a value of zero for count.  0.5 will be added "
    "to each zero count value.";
const std::string kZeroDep =
    "  Kinkmark cannot process records with dependent variable = 0.  "
    "Kinkmark will not analyze by-groups that have this error.";
const std::string kAllZero =
    "  Kinkmark cannot process cohorts where all of the counts are zero.  "
    "Kinkmark will not analyze cohorts that have this error.";
const std::string kNegCount =
    "  Kinkmark cannot process records where the dependent variable is a "
    "COUNT and is negative.  Kinkmark will not analyze by-groups that have "
    "this error.";
const std::string kNegRate =
    "  Kinkmark cannot process records where the dependent variable is a "
    "Crude or Age-Adjusted rate and is negative.  Kinkmark will not analyze "
    "by-groups that have this error.";
const std::string kNegLog =
    "  Kinkmark cannot process records when the dependent variable is less "
    "than 0 for Log Linear analyses.  Kinkmark will not analyze by-groups "
    "that have this error.";
const std::string kNoIndep =
    "  Kinkmark cannot process records with no independent variable.  "
    "Kinkmark will not analyze by-groups that have this error.";
// Where a blank or missing year stands, after its report.
const std::string kNoIndepAt =
    "Data file \"\", column 1: the independent value is blank or missing.  ";
const std::string kNonNumericIndep =
    "  Kinkmark cannot process records with independent variable values that "
    "are non-numeric.";
const std::string kEqualIndep =
    "  Kinkmark cannot process by-groups where two or more independent "
    "variable values are equal.";
const std::string kMissingSE =
    "  Kinkmark cannot process records with missing weight values.  Kinkmark "
    "will not analyze by-groups that have this error.";
const std::string kNonNumericSE =
    "  Kinkmark cannot process records with weight variable is not numeric.  "
    "Kinkmark will not analyze by-groups that have this error.";
const std::string kNotPositiveSE =
    "  Kinkmark cannot process records with weight variable <= 0.  Kinkmark "
    "will not analyze by-groups that have this error.";
const std::string kPopulation =
    "  Error in data file.  Population <= 0.  Cohort Index = ";

TEST(ReadDataRecordChecksTest, SentencesOfOneCohort) {
  Options count;             // count, constant variance, linear
  Options countLog = count;  // model 0 in a log-linear analysis: Poisson-type
  countLog.bLogLinear = true;
  Options rateLog;  // provided crude rate, log-linear
  rateLog.iType = 1;
  rateLog.bLogLinear = true;
  Options propLog = rateLog;
  propLog.iType = 2;
  Options withSE = count;
  withSE.iModel = 2;
  Options poissonRate = count;
  poissonRate.iModel = 4;

  struct Case {
    const char* sName;
    Options options;
    std::vector<std::vector<std::string>> records;  // Year, Value, SE
    int iCohort;
    bool bGood;
    std::string sText;
  };
  const Case cases[] = {
      {"good", countLog, {{"2000", "5", "1"}, {"2001", "6", "1"}}, 1, true, ""},
      {"two missing dependents report once",
       count,
       {{"2000", "5", "1"}, {"2001", ".", "1"}, {"2002", ".", "1"}},
       2,
       false,
       kMissingDep + At(1, 1)},
      {"blank dependent is missing",
       count,
       {{"2000", " ", "1"}},
       1,
       false,
       kMissingDep + At(0, 1)},
      {"non-numeric dependent is missing",
       count,
       {{"2000", "5x", "1"}},
       1,
       false,
       kMissingDep + At(0, 1) +
           "Data file \"\", column 2: \"5x\" is not a number.  "},
      {"nan dependent is missing",
       count,
       {{"2000", "nan", "1"}},
       1,
       false,
       kMissingDep + At(0, 1) +
           "Data file \"\", column 2: \"nan\" is not a number.  "},
      {"zero count, constant variance, linear",
       count,
       {{"2000", "0", "1"}, {"2001", "4", "1"}},
       1,
       true,
       ""},
      {"zero count, Poisson log-linear: note only",
       countLog,
       {{"2000", "0", "1"}, {"2001", "4", "1"}, {"2002", "0", "1"}},
       1,
       true,
       kZeroNote + At(0, 1)},
      {"all counts zero",
       countLog,
       {{"2000", "0", "1"}, {"2001", "0", "1"}},
       1,
       false,
       kAllZero},
      {"zero provided rate, log-linear",
       rateLog,
       {{"2000", "1.5", "1"}, {"2001", "0", "1"}},
       1,
       false,
       kZeroDep + At(1, 1)},
      {"negative count",
       count,
       {{"2000", "-2", "1"}},
       1,
       false,
       kNegCount + At(0, 1)},
      {"negative provided rate",
       rateLog,
       {{"2000", "-2", "1"}},
       1,
       false,
       kNegRate + At(0, 1)},
      {"negative proportion, log-linear",
       propLog,
       {{"2000", "-0.2", "1"}},
       1,
       false,
       kNegLog + At(0, 1)},
      {"negative proportion, linear",
       Options{false, 2, 0, false, nullptr},
       {{"2000", "-0.2", "1"}},
       1,
       true,
       ""},
      {"empty independent",
       count,
       {{" ", "5", "1"}},
       1,
       false,
       kNoIndep + At(0, 0) + kNoIndepAt},
      // Fault: the missing text "." and a lone sign passed as the number 0,
      // so the record sat at independent value 0 and the cohort was fitted.
      {"missing-text independent",
       count,
       {{"2000", "5", "1"}, {".", "5", "1"}},
       1,
       false,
       kNoIndep + At(1, 0) + kNoIndepAt},
      {"lone sign as independent",
       count,
       {{"-", "5", "1"}},
       1,
       false,
       kNonNumericIndep + At(0, 0) +
           "Data file \"\", column 1: the independent value \"-\" is not a "
           "number.  "},
      {"non-numeric independent",
       count,
       {{"20o1", "5", "1"}},
       1,
       false,
       kNonNumericIndep + At(0, 0) +
           "Data file \"\", column 1: the independent value \"20o1\" is not "
           "a number.  "},
      {"equal independents",
       count,
       {{"2000", "5", "1"}, {"2001", "5", "1"}, {"2001", "5", "1"}},
       1,
       false,
       kEqualIndep +
           "  Current Value: 2001.000000  Previous Value: 2001.000000" +
           At(2, 0)},
      {"empty independent shares the equal-values report",
       count,
       {{" ", "5", "1"}, {"2001", "5", "1"}, {"2001", "5", "1"}},
       1,
       false,
       kNoIndep + At(0, 0) + kNoIndepAt},
      {"missing SE",
       withSE,
       {{"2000", "5", "."}},
       1,
       false,
       kMissingSE + At(0, 2)},
      {"non-numeric SE",
       withSE,
       {{"2000", "5", "x1"}},
       1,
       false,
       kNonNumericSE + At(0, 2) +
           "Data file \"\", column 3: \"x1\" is not a number, and the "
           "session reads the standard errors from this column (\"standard "
           "error location\").  "},
      // Standard errors whose square leaves the doubles were reported as
      // not numeric without a word on why.
      {"SE whose square overflows",
       withSE,
       {{"2000", "5", "1e308"}},
       1,
       false,
       kNonNumericSE + At(0, 2) +
           "Data file \"\", column 3: the standard error 1e308 cannot be "
           "used: its square, the variance that weights the record, lies "
           "outside the range of numbers the fit can use (about 1e-300 to "
           "1e300).  Correct the value, or rescale the data.  "},
      {"SE whose square underflows",
       withSE,
       {{"2000", "5", "1e-300"}},
       1,
       false,
       kNonNumericSE + At(0, 2) +
           "Data file \"\", column 3: the standard error 1e-300 cannot be "
           "used: its square, the variance that weights the record, lies "
           "outside the range of numbers the fit can use (about 1e-300 to "
           "1e300).  Correct the value, or rescale the data.  "},
      {"zero SE",
       withSE,
       {{"2000", "5", "0"}},
       1,
       false,
       kNotPositiveSE + At(0, 2)},
      // Fault: a population of 0 or less ended the whole run when the
      // cohort was fitted.
      {"population not above 0",
       poissonRate,
       {{"2000", "5", "100"}, {"2001", "5", "0"}, {"2002", "5", "-3"}},
       2,
       false,
       kPopulation + "1" + At(1, 2) +
           "Data file \"\", column 3: the population is \"0\"; a population "
           "must be a number greater than 0.  "},
      {"SE unchecked without SE model",
       count,
       {{"2000", "5", "0"}},
       1,
       true,
       ""},
      {"several kinds, in record order",
       withSE,
       {{"2000", ".", "0"}, {"2000", "5", "1"}},
       3,
       false,
       kMissingDep + At(0, 1) + kNotPositiveSE + At(0, 2) + kEqualIndep +
           "  Current Value: 2000.000000  Previous Value: 2000.000000" +
           At(1, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    Reader r(c.options);
    KmString sText;
    bool bGood = true;
    double dInterval = 0.0;
    int iPrecision = 0;
    r.reader->VerifyCohortFieldValues(Rows(c.records), &sText, &bGood,
                                      c.iCohort, &dInterval, &iPrecision, 0,
                                      kValue, kYear, kSE);
    EXPECT_EQ(c.bGood, bGood);
    EXPECT_EQ(c.sText, sText.GetCString());
  }
}

TEST(ReadDataRecordChecksTest, IntervalAndPrecisionRunWithinCohorts) {
  Reader r(Options{});
  KmString sText;
  bool bGood = true;
  double dInterval = 0.0;
  int iPrecision = 0;
  r.reader->VerifyCohortFieldValues(
      Rows({{"2000", "1", "1"}, {"2002.5", "1", "1"}, {"2003", "1", "1"}}),
      &sText, &bGood, 1, &dInterval, &iPrecision, 0, kValue, kYear, 0);
  EXPECT_DOUBLE_EQ(2.5, dInterval);
  EXPECT_EQ(1, iPrecision);
  // The first record of the next cohort adds no interval, however far it is
  // from the last record of the previous one.
  r.reader->VerifyCohortFieldValues(
      Rows({{"1990", "1", "1"}, {"1991.125", "1", "1"}}), &sText, &bGood, 2,
      &dInterval, &iPrecision, 0, kValue, kYear, 0);
  EXPECT_DOUBLE_EQ(2.5, dInterval);
  EXPECT_EQ(3, iPrecision);
  EXPECT_TRUE(bGood);
}

TEST(ReadDataRecordChecksTest, IndependentValuesThroughTheirFormat) {
  KmFormat years;
  years.AddLine("1", "2000", -1);
  years.AddLine("2", "2001", -1);
  years.AddLine("3", "2001", -1);
  years.AddLine("4", "Unknown", -1);
  Options o;
  o.pYearFormat = &years;

  struct Case {
    const char* sName;
    std::vector<std::vector<std::string>> records;
    bool bGood;
    std::string sText;
  };
  const Case cases[] = {
      {"codes map to years", {{"1", "5"}, {"2", "5"}}, true, ""},
      {"two codes of one year are equal",
       {{"1", "5"}, {"2", "5"}, {"3", "5"}},
       false,
       kEqualIndep +
           "  Current Value: 2001.000000  Previous Value: 2001.000000" +
           At(2, 0)},
      {"a label that is no number",
       {{"1", "5"}, {"4", "5"}},
       false,
       "  Kinkmark cannot process by-groups where independent variable values "
       "are non-numeric." +
           At(1, 0)},
      // Fault: a value the format does not list ended the whole run, naming
      // no line; "1.0" is the value 1.
      {"a value the format does not list",
       {{"1.0", "5"}, {"9", "5"}},
       false,
       "  Kinkmark cannot process records with independent variable values "
       "that its format does not list." +
           At(1, 0) +
           "Data file \"\", column 1: the independent value \"9\" is none of "
           "the values the format of Year lists.  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    Reader r(o);
    KmString sText;
    bool bGood = true;
    double dInterval = 0.0;
    int iPrecision = 0;
    r.reader->VerifyCohortFieldValues(Rows(c.records), &sText, &bGood, 1,
                                      &dInterval, &iPrecision, 0, kValue, kYear,
                                      0);
    EXPECT_EQ(c.bGood, bGood);
    EXPECT_EQ(c.sText, sText.GetCString());
  }
}

TEST(ReadDataRecordChecksTest, LocationBeyondTheRecordThrows) {
  struct Case {
    int iDep, iIndep, iSE;
    const char* sMessage;
  };
  const Case cases[] = {
      {5, 1, 0,
       "The response variable location ( 5 ) is beyond the end of the "
       "vvCohortRecord row length ( 3 )."},
      {2, 4, 0,
       "The independent variable location ( 4 ) is beyond the end of the "
       "vvCohortRecord row length ( 3 )."},
      {2, 1, 7,
       "The standard error variable location ( 7 ) is beyond the end of the "
       "vvCohortRecord row length ( 3 )."},
  };
  Options o;
  o.iModel = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sMessage);
    Reader r(o);
    KmString sText;
    bool bGood = true;
    double dInterval = 0.0;
    int iPrecision = 0;
    const KmException e = km_test::CatchKmException([&] {
      r.reader->VerifyCohortFieldValues(Rows({{"2000", "5", "1"}}), &sText,
                                        &bGood, 1, &dInterval, &iPrecision, 0,
                                        c.iDep, c.iIndep, c.iSE);
    });
    EXPECT_STREQ(c.sMessage, e.GetMessage());
    EXPECT_STREQ("kmCalculationHandler", e.GetSource());
    EXPECT_STREQ("VerifyCohortFieldValues() of kmReadData", e.GetCallPath());
  }
}

TEST(ReadDataRecordChecksTest, ValidFloat) {
  struct Case {
    const char* sIn;
    bool bValid;
    const char* sOut;
  };
  const Case cases[] = {
      {"2000", true, "2000"},
      {"-3.25", true, "-3.25"},
      {"1.5e3", true, "1500.0000000000"},
      {"2.5E-1", true, "0.2500000000"},
      {"15e2", false, "1500.0000000000"},  // exponent without a point
      {"1e2.5", false, "1e2.5"},           // exponent before the point
      {"1.5e3e1", false, "1.5e3e1"},       // two exponent letters
      {"12a3", false, "123"},              // stray letter removed
      {"1.2.3", false, "1.23"},            // second point removed
      {" 12", false, "12"},
      {"1.0e400", false, "1.0e400"},  // beyond the range of a double
      // Fault: texts without a digit passed and read as 0.
      {".", false, "."},
      {"-", false, "-"},
      {"+.", false, "+."},
  };
  Reader r(Options{});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sIn);
    KmString s(c.sIn);
    EXPECT_EQ(c.bValid, r.reader->ValidFloat(s, false));
    EXPECT_STREQ(c.sOut, s.GetCString());
  }
}

}  // namespace
