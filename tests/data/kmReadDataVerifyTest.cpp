// Tests of the verification pass (kmReadData::VerifyDelayRateCalcNEW):
// per-copy flags, texts, line counts and positions, the hand-over to the
// results-file handler, the run-wide settings and the run-stopping errors.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/kmReadData.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "results/kmCalcHandler.h"
#include "results/kmCombos.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/data/PrereadFixtures.h"
#include "tests/data/ReaderFixtures.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

// One variable of a test session: its name, the role it plays (-1: none)
// and whether it is a by-variable.
struct Var {
  const char* sName;
  int iRole;
  bool bByVar;
};

// The file, the variables and the options of a run. The columns of the
// file are the variables in order.
struct RunSetup {
  std::string sFile;
  std::vector<Var> vars;
  bool bCalculated = false;
  int iType = 1;   // provided crude rates
  int iModel = 2;  // standard errors in the data
  bool bLogLinear = true;
  int iJumpMode = 0;
  double dRatio = 1.1;    // kmOptCRValue
  double dJump = 2002.0;  // kmOptJumpLocation, inside the files' years
  int iDelayType = 0;
  int iComparison = 0;
  double dShift = 0.0;
  int nLabels = 0;     // cohort labels the pre-read found
  int iSelected = -1;  // -1: no selection flags, else all flags 0 or 1
  const KmFormat* pYearFormat = nullptr;
  const KmFormat* pAgeFormat = nullptr;
};

const std::vector<Var> kRateVars = {{"Sex", -1, true},
                                    {"Year", kmVarIndependent, false},
                                    {"Rate", kmVarDependent, false},
                                    {"SE", kmVarStdError, false}};

// A verification run: the session, the results handler built from it and
// the reader, then the pass itself.
struct VerifyRun {
  explicit VerifyRun(const RunSetup& s) : session(new kmSession) {
    for (size_t i = 0; i < s.vars.size(); ++i) {
      const Var& v = s.vars[i];
      const KmFormat* pFormat = nullptr;
      if (v.iRole == kmVarIndependent) pFormat = s.pYearFormat;
      if (v.iRole == kmVarAdjustment) pFormat = s.pAgeFormat;
      session->AddVariable(
          kmVariable(v.sName, static_cast<uint16_t>(i + 1), pFormat));
      if (v.iRole >= 0) {
        session->SetKMVarPosition(v.iRole, static_cast<int>(i + 1));
      }
      if (v.bByVar) session->AddByVarPosition(static_cast<int32_t>(i + 1));
    }
    session->SetString(kmStrDataFile, s.sFile.c_str());
    session->SetString(kmStrFileVersion, "4.900");
    session->SetInt(kmOptFieldDelimiter, 2);
    session->SetInt(kmOptMissingCharacter, 1);
    session->SetBool(kmOptVarNamesIncluded, true);
    session->SetBool(kmOptDependentCalculated, s.bCalculated);
    session->SetInt(kmOptDependentType, s.iType);
    session->SetInt(kmOptHetErrorModel, s.iModel);
    session->SetBool(kmOptLogLinear, s.bLogLinear);
    session->SetInt(kmOptMinKinkmarks, 1);
    session->SetInt(kmOptMaxKinkmarks, 1);
    session->SetInt(kmOptMinObsEnd, 2);
    session->SetInt(kmOptMinObsBetween, 2);
    session->SetInt(kmOptJumpCRMode, s.iJumpMode);
    session->SetDouble(kmOptCRValue, s.dRatio);
    session->SetDouble(kmOptJumpLocation, s.dJump);
    session->SetInt(kmOptDelayType, s.iDelayType);
    session->SetInt(kmOptDictDelayStats, s.iDelayType == 2 ? 1 : 0);
    session->SetInt(kmOptComparisonType, s.iComparison);
    session->SetDouble(kmOptDataShift, s.dShift);
    if (s.iDelayType == 2) session->AddByVar();
    session->AddByVarJump();
    for (int i = 0; i < s.nLabels; ++i) {
      session->AddCohortLabel(KmString(std::to_string(i + 1).c_str()));
    }
    if (s.iSelected >= 0) session->SetSelectCohortsVector(s.iSelected != 0);
    handler.reset(new kmCalcHandler(session.get()));
    reader.reset(new kmReadData(session.get(), handler.get()));
  }
  // Runs the pass; sMessage keeps its message text.
  bool Verify() { return reader->VerifyDelayRateCalcNEW(sMessage, false); }

  std::vector<std::string> Texts() const {
    std::vector<std::string> v;
    for (const KmString& s : reader->GetErrorTexts())
      v.push_back(s.GetCString());
    return v;
  }
  std::vector<bool> Flags() const {
    const KmVector<bool>& f = handler->GetValidCohorts();
    return std::vector<bool>(f.begin(), f.end());
  }
  std::vector<std::vector<int>> Combos() const {
    std::vector<std::vector<int>> v;
    const kmCombos* pCombos = handler->GetCombos();
    for (int i = 0; i < pCombos->GetNumCombinations(); ++i) {
      const KmVector<int> c = pCombos->GetCombination(i);
      v.push_back(std::vector<int>(c.begin(), c.end()));
    }
    return v;
  }
  std::vector<std::pair<std::string, std::string>> CohortErrors() const {
    std::vector<std::pair<std::string, std::string>> v;
    for (const kmTextPair& p : reader->GetCohortErrors()) {
      v.emplace_back(p.first.GetCString(), p.second.GetCString());
    }
    return v;
  }

  std::unique_ptr<kmSession> session;
  std::unique_ptr<kmCalcHandler> handler;
  std::unique_ptr<kmReadData> reader;
  KmString sMessage;
};

// Byte offset of the line of sFile that starts with sStart.
int64_t OffsetOfLine(const std::string& sFile, const std::string& sStart) {
  const std::string sText = km_test::ReadAll(sFile);
  const size_t lPos = sText.find("\n" + sStart);
  return lPos == std::string::npos ? -1 : static_cast<int64_t>(lPos + 1);
}

using reader_test::At;
using reader_test::kMissingDep;

const std::string kMissingSE =
    "  Kinkmark cannot process records with missing weight values.  Kinkmark "
    "will not analyze by-groups that have this error.";
const std::string kTooFew5 =
    "Too few observations to fit the specified model. Minimum observations "
    "required: 5. Lower \"minimum kinkmarks\", \"min obs end\" or \"min "
    "obs between\" in the run options, otherwise Kinkmark will not process "
    "this cohort.";

TEST(ReadDataVerifyTest, WideRecordsVerifyAndReadInLinearTime) {
  // Fault: every field of a record re-split the line from its start and
  // searched it to its end for a quote, so a record of 3,000 fields took
  // 40 s to verify and a 2 MB line with 40 commas did not finish.
  km_test::ScratchDir dir;
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    // Verifies and reads the file of sWide as its third record.
    const auto VerifyAndRead = [&](const std::string& sPath) {
      RunSetup s;
      s.sFile = sPath;
      s.vars = kRateVars;
      s.nLabels = 1;
      VerifyRun run(s);
      EXPECT_TRUE(run.Verify()) << run.sMessage.GetCString();
      run.reader->ResetDataFile();
      int iCopy = -1;
      run.reader->ReadData(&iCopy);
      EXPECT_EQ((std::vector<std::string>{""}), run.Texts());
      EXPECT_EQ(5u, run.reader->GetCohortRows().size());
    };
    const auto WideFile = [&](const std::string& sWide) {
      return preread_test::WriteDataFile(
          dir, "wide" + std::to_string(sWide.size()),
          "Sex,Year,Rate,SE\n1,2000,1,1\n1,2001,1,1\n1,2002,1,1" + sWide +
              "\n1,2003,1,1\n1,2004,1,1\n",
          bGzip);
    };
    VerifyAndRead(WideFile(preread_test::ExtraFields(40, 50000)));
    const std::string sFew = WideFile(preread_test::ExtraFields(1000, 1));
    const std::string sMany = WideFile(preread_test::ExtraFields(8000, 1));
    EXPECT_TRUE(km_test::GrowsLinearly(
        [&](int nFields) { VerifyAndRead(nFields == 1000 ? sFew : sMany); },
        1000));
  }
}

TEST(ReadDataVerifyTest, LineWithNulByteIsRefusedInPlainAndGzipFiles) {
  // Fault: a NUL byte ended a record's text unseen: the plain file lost
  // the rest of the record, and in the gzip twin the bytes after the NUL
  // (more than 8 KB) became a record and a cohort of their own.
  const std::string sText = "Sex,Year,Rate,SE\n1,2000,1,1\n1,2001,1" +
                            std::string(1, '\0') + "," +
                            std::string(9000, '7') + ",1\n1,2002,1,1\n";
  km_test::ScratchDir dir;
  for (bool bGzip : {false, true}) {
    SCOPED_TRACE(bGzip ? "gzip" : "plain");
    RunSetup s;
    s.sFile = preread_test::WriteDataFile(dir, "nul", sText, bGzip);
    s.vars = kRateVars;
    s.nLabels = 1;
    VerifyRun run(s);
    const KmException e = km_test::CatchKmException([&] { run.Verify(); });
    const std::string sExpected =
        "Data file \"" + s.sFile + "\" is damaged: line 3 holds a NUL byte.";
    EXPECT_EQ(sExpected, e.GetMessage());
    EXPECT_EQ(sExpected, run.sMessage.GetCString());
    EXPECT_TRUE(run.reader->GetErrorTexts().empty());
  }
}

TEST(ReadDataVerifyTest, StandardRunPlainAndCompressed) {
  const std::string sPlain = km_test::DataPath("verify/rates_se.csv");
  std::vector<int64_t> vPlainPositions;
  for (const char* sName : {"verify/rates_se.csv", "verify/rates_se.csv.gz"}) {
    SCOPED_TRACE(sName);
    RunSetup s;
    s.sFile = km_test::DataPath(sName);
    s.vars = kRateVars;
    s.nLabels = 3;
    VerifyRun run(s);
    EXPECT_FALSE(run.Verify());
    EXPECT_STREQ("", run.sMessage.GetCString());

    EXPECT_EQ(3, run.reader->GetNumByGroups());
    EXPECT_EQ((std::vector<bool>{true, false, false}), run.Flags());
    // Cohort 2 (5 records): its second record lacks the standard error.
    // Cohort 3 has 4 records where the model needs 5.
    EXPECT_EQ((std::vector<std::string>{"", kMissingSE + At(1, 3), kTooFew5}),
              run.Texts());
    const KmVector<KmString>& labels = run.handler->GetCohortLabels();
    ASSERT_EQ(3u, labels.size());
    EXPECT_STREQ(kTooFew5.c_str(), labels[2].GetCString());
    // The blank line before cohort 2 is one of its lines.
    EXPECT_EQ((std::vector<int>{5, 6, 4}),
              std::vector<int>(run.reader->GetLineCounts().begin(),
                               run.reader->GetLineCounts().end()));
    const std::vector<int64_t>& positions = run.reader->GetFilePositions();
    ASSERT_EQ(3u, positions.size());
    EXPECT_EQ(OffsetOfLine(sPlain, "1,2000"), positions[0]);
    EXPECT_EQ(OffsetOfLine(sPlain, "\n2,2000"), positions[1]);
    EXPECT_EQ(OffsetOfLine(sPlain, "3,2000"), positions[2]);
    EXPECT_EQ((std::vector<std::vector<int>>{{1}, {2}, {3}}), run.Combos());
    EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{
                  {"2", kMissingSE + At(1, 3)}, {"3", kTooFew5}}),
              run.CohortErrors());
    ASSERT_EQ(1u, run.reader->GetNotes().size());
    EXPECT_STREQ("Blank Lines", run.reader->GetNotes()[0].first.GetCString());
    EXPECT_STREQ("1 blank lines were skipped",
                 run.reader->GetNotes()[0].second.GetCString());
    // Largest n of all cohorts; smallest n of the usable ones.
    EXPECT_EQ(5, run.handler->GetMaxObservations());
    EXPECT_EQ(5, run.handler->GetMinObservations());
    EXPECT_EQ(0, run.session->GetInt(kmOptIndepPrecision));
    EXPECT_EQ(-1, run.reader->GetQuestionCode());
  }
}

TEST(ReadDataVerifyTest, DelayAndJumpCopies) {
  // Jump, comparability ratio and standard analyses of both delay variants:
  // six copies per cohort, the delay-adjusted ones first.
  RunSetup s;
  s.sFile = km_test::DataPath("verify/delay_jump.csv");
  s.vars = {{"Sex", -1, true},
            {"Year", kmVarIndependent, false},
            {"Rate", kmVarDependent, false},
            {"SE", kmVarStdError, false},
            {"DelayRate", kmVarDelayRate, false},
            {"DelaySE", kmVarDelaySE, false}};
  s.iJumpMode = 6;
  s.iDelayType = 2;
  VerifyRun run(s);
  EXPECT_FALSE(run.Verify());

  // Cohort 1, record 2 lacks its delay-adjusted rate: the record check
  // reports it, once.
  const std::string sDelay1 = kMissingDep + At(1, 4);
  const std::string sPlain2 = kMissingDep + At(2, 2);  // cohort 2, record 3
  EXPECT_EQ(12, run.reader->GetNumByGroups());
  EXPECT_EQ((std::vector<bool>{false, false, false, true, true, true, true,
                               true, true, false, false, false}),
            run.Flags());
  EXPECT_EQ((std::vector<std::string>{sDelay1, sDelay1, sDelay1, "", "", "", "",
                                      "", "", sPlain2, sPlain2, sPlain2}),
            run.Texts());
  EXPECT_EQ((std::vector<std::vector<int>>{{1, 0, 0},
                                           {1, 0, 1},
                                           {1, 0, 2},
                                           {1, 1, 0},
                                           {1, 1, 1},
                                           {1, 1, 2},
                                           {2, 0, 0},
                                           {2, 0, 1},
                                           {2, 0, 2},
                                           {2, 1, 0},
                                           {2, 1, 1},
                                           {2, 1, 2}}),
            run.Combos());
  EXPECT_EQ(12u, run.reader->GetLineCounts().size());
  const std::vector<int64_t>& positions = run.reader->GetFilePositions();
  ASSERT_EQ(12u, positions.size());
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(positions[0], positions[i]);
    EXPECT_EQ(positions[6], positions[6 + i]);
  }
  EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{
                {"1 Delay", sDelay1}, {"2 Non-Delay Jump", sPlain2}}),
            run.CohortErrors());
}

TEST(ReadDataVerifyTest, ZeroCountNoteStillChecksTheRates) {
  // Fault: a cohort whose only text was the zero-count note skipped the
  // rate checks, so a missing population passed verification and the cohort
  // was fitted with an unusable rate.
  RunSetup s;
  s.sFile = km_test::DataPath("verify/crude_zero.csv");
  s.vars = {{"Year", kmVarIndependent, false},
            {"Count", kmVarCount, false},
            {"Pop", kmVarPopulation, false}};
  s.bCalculated = true;
  s.iType = 1;
  s.iModel = 0;
  VerifyRun run(s);
  EXPECT_FALSE(run.Verify());
  EXPECT_EQ((std::vector<bool>{false}), run.Flags());
  EXPECT_EQ(
      (std::vector<std::string>{
          "  There are records with a value of zero for count.  0.5 "
          "will be added to each zero count value." +
          At(0, 1) + "  There was one or more missing population values." +
          At(2, 2)}),
      run.Texts());
  EXPECT_EQ(kmCohortValidity::kRefused, run.reader->GetCohortValidity(0));
}

TEST(ReadDataVerifyTest, ValidityIsCarriedBesideTheText) {
  // The zero-count note alone leaves the cohort valid, and so does the note
  // of a comparability ratio adjusting none of its values; the type says so
  // without reading the text.
  const struct {
    const char* sName;
    int iModel;
    bool bLogLinear;
    kmCohortValidity expected;
    int iJumpMode = 0;
  } cases[] = {
      {"note only", 4, true, kmCohortValidity::kZeroCountNoteOnly},
      {"no finding", 0, false, kmCohortValidity::kNoFinding},
      {"ratio before the years", 0, false, kmCohortValidity::kZeroCountNoteOnly,
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sName);
    RunSetup s;
    s.sFile = km_test::DataPath("verify/crude_zero.csv");
    s.vars = {{"Year", kmVarIndependent, false},
              {"Count", kmVarDependent, false},
              {"Pop", -1, false}};
    s.iType = 0;
    s.iModel = c.iModel;
    s.bLogLinear = c.bLogLinear;
    s.iJumpMode = c.iJumpMode;
    s.dJump = 1900.0;
    VerifyRun run(s);
    run.Verify();
    EXPECT_EQ(c.expected, run.reader->GetCohortValidity(0));
    EXPECT_TRUE(IsValidCohort(run.reader->GetCohortValidity(0)));
  }
}

// The age-adjusted rates of verify/age_adjusted.csv (five years of two
// groups) the run computes, the groups given by pAgeFormat.
RunSetup AgeAdjustedSetup(const KmFormat* pAgeFormat) {
  RunSetup s;
  s.sFile = km_test::DataPath("verify/age_adjusted.csv");
  s.vars = {{"Year", kmVarIndependent, false},
            {"Age", kmVarAdjustment, false},
            {"Count", kmVarCount, false},
            {"Pop", kmVarPopulation, false},
            {"StdPop", kmVarStdPopulation, false}};
  s.bCalculated = true;
  s.iType = 4;
  s.iModel = 0;
  s.pAgeFormat = pAgeFormat;
  return s;
}

TEST(ReadDataVerifyTest, AdjustmentGroupsFromFormatOrData) {
  KmFormat ages;
  ages.AddLine("0", "0-49", -1);
  ages.AddLine("1", "50+", -1);
  for (const KmFormat* pFormat : {static_cast<const KmFormat*>(&ages),
                                  static_cast<const KmFormat*>(nullptr)}) {
    SCOPED_TRACE(pFormat ? "format" : "no format");
    VerifyRun run(AgeAdjustedSetup(pFormat));
    // Ten records of five years in two groups: the years repeat, and five
    // observations meet the need of 5.
    EXPECT_TRUE(run.Verify());
    EXPECT_EQ(2, run.reader->GetNumAdjustGroups());
    EXPECT_EQ((std::vector<bool>{true}), run.Flags());
    EXPECT_EQ((std::vector<std::string>{""}), run.Texts());
  }
}

TEST(ReadDataVerifyTest, AgeAdjustedCohortOtherThanThePreReadCountIsRefused) {
  // Fault: a cohort the pre-read counted otherwise was fitted with that
  // count and stopped the whole run, naming nothing.
  const RunSetup s = AgeAdjustedSetup(nullptr);
  VerifyRun run(s);
  bool bVarying = false;
  run.session->SetCohortObservationCounts(KmVector<int32_t>{12}, &bVarying);
  EXPECT_FALSE(run.Verify());
  EXPECT_EQ((std::vector<bool>{false}), run.Flags());
  EXPECT_EQ((std::vector<std::string>{
                "Data file \"" + s.sFile +
                "\", lines 2 to 11: the cohort holds 5 years, but the "
                "first reading of the data file counted 12 for it: the two "
                "readings cut the file's cohorts differently, so the cohort "
                "is not fitted."}),
            run.Texts());
}

TEST(ReadDataVerifyTest, UserExclusionInEveryCopy) {
  RunSetup s;
  s.sFile = km_test::DataPath("verify/rates_se.csv");
  s.vars = kRateVars;
  s.nLabels = 3;
  s.iSelected = 0;
  s.iJumpMode = 4;
  VerifyRun run(s);
  EXPECT_FALSE(run.Verify());
  EXPECT_EQ(std::vector<bool>(6, false), run.Flags());
  EXPECT_EQ(
      std::vector<std::string>(6, "User Selected to Exclude This Cohort."),
      run.Texts());
  EXPECT_EQ(3u, run.reader->GetCohortErrors().size());
  EXPECT_STREQ("1 Jump", run.reader->GetCohortErrors()[0].first.GetCString());
  // No usable cohort: the handler's minimum keeps its initial value.
  EXPECT_EQ(0, run.handler->GetMinObservations());
}

TEST(ReadDataVerifyTest, ExclusionForTooFewObservations) {
  // The session's enough-observations flags exclude a cohort only under
  // feasibility rule 2 with per-cohort maxima; cohort 3 lies beyond them.
  const std::string kExcluded =
      "Cohort Not Executed Due To Not Enough Observations.";
  const std::string kCohort2 = kMissingSE + At(1, 3);
  const struct {
    int iFeasibility;
    bool bPerCohortMax;
    std::vector<std::string> texts;
  } cases[] = {
      {2, true, {"", kExcluded, kTooFew5}},
      {1, true, {"", kCohort2, kTooFew5}},
      {2, false, {"", kCohort2, kTooFew5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.iFeasibility + 10 * c.bPerCohortMax);
    RunSetup s;
    s.sFile = km_test::DataPath("verify/rates_se.csv");
    s.vars = kRateVars;
    s.nLabels = 3;
    VerifyRun run(s);
    run.session->SetInt(kmOptMaxKinkmarksFeasibility, c.iFeasibility);
    run.session->SetBool(kmOptPerCohortMaxKinkmarks, c.bPerCohortMax);
    for (int n : {5, 5, 4}) run.session->AddObservationCount(n);
    run.session->SetEnoughObservationsFlags(KmVector<bool>({true, false}));
    EXPECT_FALSE(run.Verify());
    EXPECT_EQ(c.texts, run.Texts());
    EXPECT_EQ((std::vector<bool>{true, false, false}), run.Flags());
  }
}

TEST(ReadDataVerifyTest, BlockOfUnusedRecordsKeepsCopiesAligned) {
  // Fault: a block whose records were all kept out of the calculations
  // still appended a line count and a file position, so every later copy
  // read the lines of the copy before it.
  KmFormat years;
  years.AddLine("1999", "1999 (not used in calculations)", -1);
  RunSetup s;
  s.sFile = km_test::DataPath("verify/not_used_block.csv");
  s.vars = kRateVars;
  s.pYearFormat = &years;
  VerifyRun run(s);
  EXPECT_TRUE(run.Verify());
  EXPECT_EQ(2, run.reader->GetNumByGroups());
  EXPECT_EQ((std::vector<int>{5, 5}),
            std::vector<int>(run.reader->GetLineCounts().begin(),
                             run.reader->GetLineCounts().end()));
  ASSERT_EQ(2u, run.reader->GetFilePositions().size());
  EXPECT_EQ(OffsetOfLine(s.sFile, "3,2000"), run.reader->GetFilePositions()[1]);
  EXPECT_EQ((std::vector<std::vector<int>>{{1}, {3}}), run.Combos());
}

TEST(ReadDataVerifyTest, LargeRunQuestion) {
  for (int nCohorts : {100, 101}) {
    SCOPED_TRACE(nCohorts);
    km_test::ScratchDir dir;
    std::string sText = "Sex,Year,Rate,SE\n";
    for (int c = 1; c <= nCohorts; ++c) {
      for (int y = 2000; y < 2005; ++y) {
        sText += std::to_string(c) + "," + std::to_string(y) + ",1.5,0.5\n";
      }
    }
    RunSetup s;
    s.sFile = dir.File("many.csv");
    km_test::WriteAll(s.sFile, sText);
    s.vars = kRateVars;
    s.nLabels = nCohorts;
    s.iSelected = 1;
    VerifyRun run(s);
    EXPECT_TRUE(run.Verify());
    if (nCohorts == 100) {
      EXPECT_EQ(-1, run.reader->GetQuestionCode());
      EXPECT_STREQ("", run.reader->GetQuestionText().GetCString());
    } else {
      EXPECT_EQ(4, run.reader->GetQuestionCode());
      EXPECT_STREQ(
          "The number of cohorts found in your data file is 101.  Kinkmark "
          "will be able to analyze your data, but the analysis could take a "
          "while.  Do you wish to continue?",
          run.reader->GetQuestionText().GetCString());
    }
  }
}

TEST(ReadDataVerifyTest, ShiftAndPrecision) {
  struct Case {
    double dShift;
    int iPrecision;  // -1: refused
  };
  const Case cases[] = {{0.0, 0}, {1.0, 0}, {0.25, 2}, {1.5, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dShift);
    RunSetup s;
    s.sFile = km_test::DataPath("verify/rates_se.csv");
    s.vars = kRateVars;
    s.dShift = c.dShift;
    VerifyRun run(s);
    if (c.iPrecision >= 0) {
      run.Verify();
      EXPECT_EQ(c.iPrecision, run.session->GetInt(kmOptIndepPrecision));
      continue;
    }
    const char* kText =
        "Error with shift value: The shift value cannot be larger than the "
        "largest independent variable interval.";
    const KmException e = km_test::CatchKmException([&] { run.Verify(); });
    EXPECT_STREQ(kText, e.GetMessage());
    EXPECT_STREQ(kText, run.sMessage.GetCString());
    EXPECT_EQ(KmException::kInputErrorKind, e.GetKind());
  }
}

TEST(ReadDataVerifyTest, PairwiseComparisonGroups) {
  RunSetup three;
  three.sFile = km_test::DataPath("verify/rates_se.csv");
  three.vars = kRateVars;
  three.iComparison = 1;
  VerifyRun run(three);
  run.Verify();
  EXPECT_EQ(3, run.handler->GetComparisonGroupSize());
  EXPECT_EQ(3, run.handler->GetCombos()->GetNumComparisons());
}

TEST(ReadDataVerifyTest, RunStoppingErrors) {
  struct Case {
    const char* sName;
    RunSetup setup;
    const char* sMessage;
    int iKind;
  };
  RunSetup unsorted;
  unsorted.sFile = km_test::DataPath("verify/unsorted.csv");
  unsorted.vars = kRateVars;
  unsorted.nLabels = 2;
  unsorted.iSelected = 1;
  RunSetup badDelay;
  badDelay.sFile = km_test::DataPath("verify/rates_se.csv");
  badDelay.vars = kRateVars;
  badDelay.iDelayType = 3;
  RunSetup single;
  single.sFile = km_test::DataPath("verify/crude_zero.csv");
  single.vars = {{"Year", kmVarIndependent, false},
                 {"Count", kmVarDependent, false},
                 {"Pop", -1, false}};
  single.iModel = 0;
  single.iComparison = 1;
  RunSetup oneCategory;
  oneCategory.sFile = km_test::DataPath("verify/two_byvars.csv");
  oneCategory.vars = {{"Sex", -1, true},
                      {"Race", -1, true},
                      {"Year", kmVarIndependent, false},
                      {"Rate", kmVarDependent, false},
                      {"SE", kmVarStdError, false}};
  oneCategory.iComparison = 1;

  const char* kByVars =
      "There seems to be a problem with one of your By Variables, possibly "
      "due to a non-numeric value or due to the values being sorted "
      "incorrectly (Cohort = 3).  Kinkmark cannot run with the selected By "
      "Variables.";
  const Case cases[] = {
      {"unsorted by-variables", unsorted, kByVars, 3},
      {"invalid delay type", badDelay,
       "Invalid run type encountered.  Not a standard run, nor one of the "
       "delay-adjusted run types.",
       0},
      {"pairwise with one cohort", single,
       "Only one cohort in data file.  You can not compare a cohort to "
       "itself.",
       3},
      {"pairwise with one inner category", oneCategory,
       "You cannot test for pairwise differences when the inner-most by "
       "variable only has one category.",
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    VerifyRun run(c.setup);
    const KmException e = km_test::CatchKmException([&] { run.Verify(); });
    EXPECT_STREQ(c.sMessage, e.GetMessage());
    EXPECT_STREQ(c.sMessage, run.sMessage.GetCString());
    EXPECT_STREQ("VerifyDelayRateCalc()", e.GetSource());
    EXPECT_EQ(c.iKind, e.GetKind());
    EXPECT_STREQ("VerifyDelayRateCalcNEW(KmString&, bool) of kmReadData",
                 e.GetCallPath());
  }
}

TEST(ReadDataVerifyTest, ComparabilityRatioAnalysisNeedsAPositiveRatio) {
  // Fault: a ratio of 0 (the value when none is given) turned the values
  // before the jump into zeros and the reported ones into NaN.
  const struct {
    int iJumpMode;
    double dRatio;
    bool bRefused;
  } kCases[] = {
      {2, 0.0, true},  {3, 0.0, true},  {5, -1.0, true},
      {6, 0.0, true},  {2, 1.1, false}, {6, 0.5, false},
      {0, 0.0, false}, {1, 0.0, false}, {4, 0.0, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::Message()
                 << "mode " << c.iJumpMode << " ratio " << c.dRatio);
    RunSetup s;
    s.sFile = km_test::DataPath("verify/rates_se.csv");
    s.vars = kRateVars;
    s.iJumpMode = c.iJumpMode;
    s.dRatio = c.dRatio;
    VerifyRun run(s);
    if (!c.bRefused) {
      EXPECT_NO_THROW(run.Verify());
      continue;
    }
    const KmException e = km_test::CatchKmException([&] { run.Verify(); });
    const std::string sExpected =
        "The comparability ratio value must be greater than 0 for a "
        "comparability-ratio analysis; it is " +
        std::string(c.dRatio == 0.0 ? "0" : "-1") + ".";
    EXPECT_EQ(sExpected, e.GetMessage());
    EXPECT_EQ(sExpected, run.sMessage.GetCString());
    EXPECT_EQ(3, e.GetKind());
  }
}

TEST(ReadDataVerifyTest, EmptyFileGivesOneCohortsCopies) {
  km_test::ScratchDir dir;
  RunSetup s;
  s.sFile = dir.File("empty.csv");
  km_test::WriteAll(s.sFile, "Sex,Year,Rate,SE\n\n");
  s.vars = kRateVars;
  s.iJumpMode = 3;
  VerifyRun run(s);
  EXPECT_TRUE(run.Verify());
  EXPECT_EQ(2, run.reader->GetNumByGroups());
  EXPECT_TRUE(run.Flags().empty());
}

}  // namespace
