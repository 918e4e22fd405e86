// Tests of WriteTextReportHeader, the " Model Specifications:"
// block of the run summary.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/KmFormat.h"
#include "reports/kmRunSummary.h"
#include "session/kmAAPCRanges.h"
#include "session/kmSession.h"
#include "session/kmVariable.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::CatchKmException;

const char kCallPath[] =
    "WriteTextReportHeader(const kmCalcHandler *pHandler, KmString) of "
    "kmSession";

// A labelled line with its "=" after iWidth characters, without its line
// end.
std::string Line(int iIndent, const std::string& sLabel,
                 const std::string& sValue, int iWidth = 53) {
  const std::string sHead = std::string(iIndent, ' ') + sLabel;
  return sHead + std::string(iWidth - sHead.size(), ' ') + "=  " + sValue;
}

// A session whose independent variable "Year" is labelled by the given
// years (no format when there are none).
void AddYear(kmSession& session, const std::vector<int>& vYears) {
  KmFormat format;
  format.SetDataType('I');
  for (int iYear : vYears) {
    const std::string sYear = std::to_string(iYear);
    format.AddLine(sYear.c_str(), sYear.c_str(), -1);
  }
  const kmVariable year("Year", 1, vYears.empty() ? nullptr : &format);
  session.SetKMVarPosition(kmVarIndependent, session.AddVariable(year));
}

std::vector<int> Years(int iFirst, int iLast) {
  std::vector<int> vYears;
  for (int i = iFirst; i <= iLast; ++i) vYears.push_back(i);
  return vYears;
}

// The block the session appends to an empty file, with "\n" line ends.
std::string Block(const kmSession& session, const km_test::ScratchDir& dir) {
  const std::string path = dir.File("RunSummary.txt");
  km_test::WriteAll(path, "");
  WriteTextReportHeader(session, path.c_str(), "\n");
  return km_test::ReadAll(path);
}

bool Contains(const std::string& sText, const std::string& sPart) {
  return sText.find(sPart) != std::string::npos;
}

TEST(WriteTextReportHeader, DefaultSessionMatchesTheGoldenFile) {
  km_test::ScratchDir dir;
  kmSession session;
  AddYear(session, {});
  const std::string golden =
      km_test::ReadAll(km_test::DataPath("model_spec/default_session.txt"));
  ASSERT_FALSE(golden.empty());

  // The block is appended after what the driver has written already.
  const std::string path = dir.File("RunSummary.txt");
  km_test::WriteAll(path, "Run information\n");
  WriteTextReportHeader(session, path.c_str(), "\n");
  EXPECT_EQ(km_test::ReadAll(path), "Run information\n" + golden);
}

// The run summary is a text file that the driver appends to after the
// block: a zero byte in it would cut the text for many readers.
TEST(WriteTextReportHeader, WritesNoZeroByteIntoTheRunSummary) {
  km_test::ScratchDir dir;
  kmSession session;
  AddYear(session, Years(2000, 2004));
  const std::string path = dir.File("RunSummary.txt");
  km_test::WriteAll(path, "Run information\n");
  WriteTextReportHeader(session, path.c_str(), "\r\n");
  WriteTextReportHeader(session, path.c_str(), "\n");
  const std::string sText = km_test::ReadAll(path);
  EXPECT_EQ(sText.find('\0'), std::string::npos);
  EXPECT_EQ(sText.substr(sText.size() - 15), "Not Applicable\n");
}

TEST(WriteTextReportHeader, UsesTheGivenLineDelimiter) {
  km_test::ScratchDir dir;
  kmSession session;
  AddYear(session, {});
  std::string expected =
      km_test::ReadAll(km_test::DataPath("model_spec/default_session.txt"));
  std::string crlf;
  for (char c : expected) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const std::string path = dir.File("RunSummary.txt");
  WriteTextReportHeader(session, path.c_str(), "\r\n");
  EXPECT_EQ(km_test::ReadAll(path), crlf);
}

TEST(WriteTextReportHeader, EveryLabelledLineHasItsEqualsInColumn54) {
  km_test::ScratchDir dir;
  kmSession session;
  AddYear(session, Years(1990, 2009));
  const kmVariable sex("Sex", 2, nullptr);
  session.AddByVarPosition(session.AddVariable(sex));
  session.SetInt(kmOptMethod, 1);
  session.SetInt(kmOptAutocorrErrors, 2);
  session.SetInt(kmOptAAPCCIMethod, 3);
  session.SetInt(kmOptJumpCRMode, 3);
  session.SetInt(kmOptComparisonType, 1);
  kmAAPCRanges ranges;
  ranges.SetFullRange(true);
  ranges.SetLastObsRanges({5, 10});
  ranges.SetStartRange({1990});
  ranges.SetEndRange({2000});
  session.SetAAPCRanges(ranges);

  std::istringstream lines(Block(session, dir));
  std::string sLine;
  int iLabelled = 0;
  while (std::getline(lines, sLine)) {
    const size_t iEquals = sLine.find('=');
    if (iEquals == std::string::npos) continue;
    SCOPED_TRACE(sLine);
    ++iLabelled;
    if (sLine.rfind("      Number of Resamples", 0) == 0) {
      EXPECT_EQ(sLine, "      Number of Resamples  =  10000");
    } else if (sLine.rfind("      Calculated or Provided", 0) == 0 ||
               sLine.rfind("      Type ", 0) == 0) {
      EXPECT_EQ(iEquals, 52u);
    } else {
      EXPECT_EQ(iEquals, 53u);
    }
  }
  EXPECT_EQ(iLabelled, 38);
}

TEST(WriteTextReportHeader, SettingsChooseTheirTexts) {
  km_test::ScratchDir dir;
  struct Setting {
    int iId;
    double dValue;  // set through the option's own type
  };
  struct Case {
    const char* sName;
    std::vector<Setting> settings;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const std::string D = "\n";
  const Case kCases[] = {
      {"Hudson's method with the permutation test",
       {{kmOptMethod, 1}, {kmOptEarlyStopping, 1}},
       {Line(4, "Method", "Hudson's") + D,
        Line(4, "Seed for Randomly Permuting Data", "7160") + D + D +
            Line(4, "Early Stopping Options", "Curtailed") + D +
            Line(4, "Kinkmark Significance Level", "0.0500") + D},
       {}},
      {"Hudson's method with BIC",
       {{kmOptMethod, 1}, {kmOptModelSelection, 1}},
       {Line(4, "Model Selection Method",
             "Bayesian Information Criterion (BIC)") +
        D + Line(4, "Seed for Randomly Permuting Data", "7160") + D},
       {"Early Stopping", "Permutations to Perform"}},
      {"specified autocorrelation",
       {{kmOptAutocorrErrors, 2}, {kmOptAutocorrParameter, 0.3}},
       {Line(4, "Autocorrelation Errors", "Specified") + D +
        Line(4, "Autocorrelation Parameter (AR(1))", "0.3000") + D + D},
       {}},
      {"estimated autocorrelation",
       {{kmOptAutocorrErrors, 1}},
       {Line(4, "Autocorrelation Errors", "Estimated") + D + D},
       {"AR(1)"}},
      {"empirical quantile, final model only, method by observations",
       {{kmOptAAPCCIMethod, 3}, {kmOptFSMOnly, 1}, {kmOptEmpQuantileMethod, 3}},
       {Line(4, "AAPC Confidence Interval Method",
             "Empirical Quantile FSMO. Method 1 obs >=18.  Method 2 obs < "
             "18.") +
        D + "      Number of Resamples  =  10000" + D},
       {}},
      {"first-last method carries the quantile suffix",
       {{kmOptAAPCCIMethod, 1}, {kmOptEmpQuantileMethod, 1}},
       {Line(4, "AAPC Confidence Interval Method",
             "First Last Method Method 2") +
        D},
       {"Number of Resamples"}},
      {"calculated standard errors, log off",
       {{kmOptDependentCalculated, 1},
        {kmOptLogLinear, 0},
        {kmOptDependentType, 1}},
       {Line(6, "Calculated or Provided", "Calculated", 52) + D,
        Line(6, "Type", "Crude Rate", 52) + D,
        Line(4, "Loglinear Model", "No {y = xb}") + D,
        Line(4, "Heteroscedastic Errors Model", "Standard Error (Calculated)") +
            D},
       {}},
      // Fault: the Poisson-count model, a model the run fits, was reported
      // as "Unknown"; it has Poisson variance like the Poisson rate.
      {"Poisson count has Poisson variance",
       {{kmOptHetErrorModel, 1}, {kmOptDependentType, 9}},
       {Line(4, "Heteroscedastic Errors Model", "Poisson Variance") + D,
        Line(6, "Type", "Unknown", 52) + D},
       {}},
      {"Poisson rate",
       {{kmOptHetErrorModel, 4}},
       {Line(4, "Heteroscedastic Errors Model", "Poisson Variance") + D},
       {}},
      // Fault: the matrix model, which every fit applies, was "Unknown".
      {"variance-covariance matrix is named",
       {{kmOptHetErrorModel, 5}},
       {Line(4, "Heteroscedastic Errors Model",
             "Variance-Covariance Matrix from a File") +
        D},
       {}},
      {"other codes are unknown",
       {{kmOptHetErrorModel, 3}},
       {Line(4, "Heteroscedastic Errors Model", "Unknown") + D},
       {}},
      {"jump and comparability ratio",
       {{kmOptJumpCRMode, 3},
        {kmOptJumpLocation, 2001},
        {kmOptCRValue, 1.05},
        {kmOptCRVariance, 0.0001}},
       {Line(4, "Jump Value and CR Significance Level", "0.0500") + D + D,
        Line(4, "Jump Model / Comparability Ratio", "Jump & Comparability") +
            D + Line(6, "Jump Location", "2001.000000000") + D +
            Line(6, "Comparability Ratio", "1.050000000") + D +
            Line(6, "Variance of CR", "0.000100000") + D + D},
       {}},
      {"pairwise comparison",
       {{kmOptComparisonType, 1},
        {kmOptPairwiseType, 1},
        {kmOptPairwiseAlpha, 0.01},
        {kmOptPairwisePermutations, 999}},
       {Line(4, "Comparison Type", "Pairwise Comparison") + D +
        Line(6, "Pairwise Comparison", "Coincident") + D +
        Line(6, "Significance Level of Permutation Tests", "0.0100") + D +
        Line(6, "Permutations to Perform for Each Test", "999") + D},
       {}},
      {"multi-group clustering",
       {{kmOptComparisonType, 2}},
       {Line(4, "Comparison Type", "Multi-Group Clustering") + D +
        Line(6, "Pairwise Comparison", "Not Applicable") + D},
       {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    kmSession session;
    AddYear(session, {});
    for (const Setting& s : c.settings) {
      switch (kmSession::GetOptionType(s.iId)) {
        case kmOptTypeInt:
          session.SetInt(s.iId, static_cast<int>(s.dValue));
          break;
        case kmOptTypeBool:
          session.SetBool(s.iId, s.dValue != 0.0);
          break;
        default:
          session.SetDouble(s.iId, s.dValue);
      }
    }
    const std::string sBlock = Block(session, dir);
    for (const std::string& sPart : c.present) {
      EXPECT_TRUE(Contains(sBlock, sPart)) << "missing: " << sPart;
    }
    for (const std::string& sPart : c.absent) {
      EXPECT_FALSE(Contains(sBlock, sPart)) << "present: " << sPart;
    }
  }
}

TEST(WriteTextReportHeader, AutocorrelationCodeIsComparedWhole) {
  // Fault: the autocorrelation code was compared as a 16-bit value, so a
  // code of 65536 read as 0 and the block said "Uncorrelated".
  km_test::ScratchDir dir;
  kmSession session;
  AddYear(session, {});
  session.SetInt(kmOptAutocorrErrors, 65536);
  EXPECT_TRUE(Contains(Block(session, dir),
                       Line(4, "Autocorrelation Errors", "Specified")));
}

TEST(WriteTextReportHeader, ListsByVariables) {
  km_test::ScratchDir dir;
  kmSession session;
  AddYear(session, {});
  for (const char* sName : {"Sex", "Race"}) {
    session.AddByVarPosition(
        session.AddVariable(kmVariable(sName, 3, nullptr)));
  }
  EXPECT_TRUE(Contains(Block(session, dir),
                       "Standard Error (Provided)\n\n"
                       "    By Variables:\n      Sex, Race\n\n" +
                           Line(4, "Method", "Grid Search")));
}

TEST(WriteTextReportHeader, ListsTheAAPCRanges) {
  km_test::ScratchDir dir;
  kmSession session;
  AddYear(session, Years(1990, 2009));  // 20 labels
  kmAAPCRanges ranges;
  ranges.SetFullRange(true);
  ranges.SetLastObsRanges({5, 10, 15});  // only the first two are listed
  ranges.SetStartRange({1990, 99.6, 2000, 2005});
  ranges.SetEndRange({1999.4, 2000, 2009, 2009});
  session.SetAAPCRanges(ranges);

  const std::string D = "\n";
  const std::string expected =
      Line(4, "AAPC Confidence Interval Method", "Parametric") + D +
      "    AAPC Ranges     " + D + Line(6, "Full Range", "1990 - 2009") + D +
      Line(6, "The Last 5 Observations", "2005 - 2009") + D +
      Line(6, "The Last 10 Observations", "2000 - 2009") + D +
      Line(6, "Other Range", "1990 - 1999") + D +
      Line(6, "Other Range", "100 - 2000") + D +
      Line(6, "Other Range", "2000 - 2009") + D + D +
      Line(4, "Jump Model / Comparability Ratio", "Disable");
  EXPECT_TRUE(Contains(Block(session, dir), expected));
}

TEST(WriteTextReportHeader, RangesNeedLabelsAndARequest) {
  km_test::ScratchDir dir;
  const std::string sNoRanges =
      Line(4, "AAPC Confidence Interval Method", "Parametric") + "\n\n" +
      Line(4, "Jump Model / Comparability Ratio", "Disable");
  kmAAPCRanges full;
  full.SetFullRange(true);
  {
    SCOPED_TRACE("no format on the independent variable");
    kmSession session;
    AddYear(session, {});
    session.SetAAPCRanges(full);
    EXPECT_TRUE(Contains(Block(session, dir), sNoRanges));
  }
  {
    SCOPED_TRACE("labels but no range asked for");
    kmSession session;
    AddYear(session, Years(2000, 2010));
    EXPECT_TRUE(Contains(Block(session, dir), sNoRanges));
  }
}

TEST(WriteTextReportHeader, LastObservationRangeLongerThanTheLabelsIsSkipped) {
  // Fault: a last-observations length above the number of labels indexed
  // outside the label list and raised, so the whole block was lost after a
  // good run. The line is now left out and the rest is written.
  km_test::ScratchDir dir;
  kmSession session;
  AddYear(session, Years(2000, 2009));  // 10 labels
  kmAAPCRanges ranges;
  ranges.SetLastObsRanges({25, 10});
  session.SetAAPCRanges(ranges);
  std::string sBlock;
  ASSERT_NO_THROW(sBlock = Block(session, dir));
  EXPECT_TRUE(Contains(
      sBlock, "    AAPC Ranges     \n" +
                  Line(6, "The Last 10 Observations", "2000 - 2009") + "\n\n"));
  EXPECT_FALSE(Contains(sBlock, "The Last 25"));
  EXPECT_TRUE(
      Contains(sBlock, Line(6, "Pairwise Comparison", "Not Applicable")));
}

TEST(WriteTextReportHeader, FailureWritesNothing) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("RunSummary.txt");
  km_test::WriteAll(path, "head\n");
  {
    SCOPED_TRACE("independent variable not set");
    kmSession session;
    const KmException e = CatchKmException(
        [&] { WriteTextReportHeader(session, path.c_str(), "\n"); });
    EXPECT_STREQ(e.GetMessage(), "KM variable 0 not yet defined.");
    EXPECT_TRUE(Contains(e.GetCallPath(), kCallPath));
    EXPECT_EQ(km_test::ReadAll(path), "head\n");
  }
  {
    SCOPED_TRACE("file cannot be opened");
    kmSession session;
    AddYear(session, {});
    const std::string missing = dir.File("no/such/dir/RunSummary.txt");
    const KmException e = CatchKmException(
        [&] { WriteTextReportHeader(session, missing.c_str(), "\n"); });
    EXPECT_EQ(std::string(e.GetMessage()),
              "Unable to open file \"" + missing +
                  "\" for appending: No such file or directory.");
    EXPECT_STREQ(e.GetCallPath(), kCallPath);
  }
}

}  // namespace
