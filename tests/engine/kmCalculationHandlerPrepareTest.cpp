// Tests of the calculation control's cohort data preparation: the cohort
// size rule, the records of one cohort turned into the calculator's
// observation matrices under each error model, the input errors, the
// comparison pass's read of every by-group and the clustering matrix.
//
// Each test builds a handler on a session over a fixture of
// tests/fixtures/engine_prepare/, verifies the data set and reads cohorts with
// the handler's own reader, as the cohort tasks do.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/kmReadData.h"
#include "engine/kmCalculationHandler.h"
#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "foundation/KmFormat.h"
#include "foundation/KmProgressInterface.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "session/kmVariable.h"
#include "tests/data/ReaderFixtures.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using reader_test::MakeAgeAdjustedSession;
using reader_test::MakeRateSession;

constexpr double kMissing = -1e30;
constexpr double kTol = km_test::kTightRelTol;

std::string Fixture(const char* sName) {
  return km_test::DataPath(std::string("engine_prepare/") + sName);
}

// A rate session over a fixture with the given observation count per
// cohort (the driver's pre-read records them).
std::unique_ptr<kmSession> RateSession(const char* sName,
                                       std::vector<int> counts) {
  auto pSession = MakeRateSession(Fixture(sName));
  for (int n : counts) pSession->AddObservationCount(n);
  return pSession;
}

// A handler on the session, its data set verified and its data file open
// for the cohort reads, with a calculator of its own.
struct Prepared {
  explicit Prepared(std::unique_ptr<kmSession> pNewSession)
      : pSession(std::move(pNewSession)),
        handler(pSession.get()),
        calc(&handler, handler.GetCalcHandler()) {
    handler.Verify(false);
    handler.GetReadData()->OpenInputFile(true);
  }
  ~Prepared() { handler.GetReadData()->CloseInputFile(); }

  // Reads the next cohort and prepares it; returns its index.
  int PrepareNext(bool& bZeroAdjusted) {
    int iCohort = -1;
    handler.GetReadData()->ReadData(&iCohort);
    handler.ProcessCohortRecords(iCohort, &calc, bZeroAdjusted);
    return iCohort;
  }

  std::unique_ptr<kmSession> pSession;
  kmCalculationHandler handler;
  kmCalculator calc;
};

// Progress interface that records what the comparison read reports.
class RecordingProgress : public KmNullProgress {
 public:
  bool IsCancelled() const override { return bCancelled; }
  void SetPosition(int32_t iPosition) override {
    positions.push_back(iPosition);
  }
  void SetProcessText(const char* sText) override { texts.push_back(sText); }

  bool bCancelled = false;
  std::vector<int32_t> positions;
  std::vector<std::string> texts;
};

struct Row {
  double x, y, w, s;
};

void ExpectRows(const kmCalculator& calc, const std::vector<Row>& rows) {
  ASSERT_NE(calc.GetDataX(), nullptr);
  ASSERT_GE(calc.GetDataX()->Nrows(), static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    const int r = static_cast<int>(i) + 1;
    SCOPED_TRACE(testing::Message() << "row " << r);
    EXPECT_EQ((*calc.GetDataX())(r, 1), 1.0);
    EXPECT_TRUE(km_test::RelNear((*calc.GetDataX())(r, 2), rows[i].x, kTol));
    EXPECT_TRUE(km_test::RelNear((*calc.GetDataY())(r, 1), rows[i].y, kTol));
    EXPECT_TRUE(
        km_test::RelNear((*calc.GetDataWeightInput())(r), rows[i].w, kTol));
    EXPECT_TRUE(km_test::RelNear((*calc.GetDataAux())(r, 1), rows[i].s, kTol));
  }
}

TEST(kmCalculationHandlerPrepare, CohortSizeFollowsTheAnalysisCopies) {
  struct Case {
    int iMode, iDelay, iIndex, iBase;
  };
  const Case kCases[] = {
      {0, 0, 3, 3}, {6, 2, 13, 2},  // 13 / 3 = 4, 4 / 2 = 2
      {6, 0, 5, 1}, {3, 0, 5, 2},  {4, 0, 1, 0}, {5, 2, 7, 1},
      {0, 2, 5, 2}, {1, 0, 4, 4},  {2, 1, 4, 4},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.iMode << " delay "
                                    << c.iDelay << " index " << c.iIndex);
    auto pSession = RateSession("rates.csv", {10, 11, 12, 13, 14});
    pSession->SetInt(kmOptJumpCRMode, c.iMode);
    pSession->SetInt(kmOptDelayType, c.iDelay);
    kmCalculationHandler handler(pSession.get());
    EXPECT_EQ(handler.GetNumObsThisCohort(c.iIndex), 10 + c.iBase);
    EXPECT_EQ(kmCalculator::GetNumObsThisCohort(pSession.get(), c.iIndex),
              10 + c.iBase);
  }

  auto pSession = RateSession("rates.csv", {4, 3});
  kmCalculationHandler handler(pSession.get());
  const KmException e =
      km_test::CatchKmException([&] { handler.GetNumObsThisCohort(2); });
  EXPECT_NE(std::string(e.GetCallPath()).find("GetNumObsThisCohort(int)"),
            std::string::npos);
}

TEST(kmCalculationHandlerPrepare,
     ConstantVarianceKeepsResponsesAndUnitWeights) {
  auto pSession = RateSession("rates.csv", {4, 3});
  pSession->SetDouble(kmOptDataShift, 0.5);
  Prepared p(std::move(pSession));
  bool bZero = false;
  EXPECT_EQ(p.PrepareNext(bZero), 0);
  EXPECT_EQ(p.handler.GetCurrentNumObs(), 4);
  EXPECT_EQ(p.calc.GetDataX()->Nrows(), 4);
  ExpectRows(p.calc, {{2000.5, 1.0, 1, kMissing},
                      {2001.5, 1.2, 1, kMissing},
                      {2002.5, 1.25, 1, kMissing},
                      {2003.5, 1.6, 1, kMissing}});

  // A response written with a thousands comma reads as one number, and
  // equal consecutive independent values are allowed.
  EXPECT_EQ(p.PrepareNext(bZero), 1);
  ExpectRows(p.calc, {{2000.5, 1234, 1, kMissing},
                      {2000.5, 2.5, 1, kMissing},
                      {2002.5, 3.0, 1, kMissing}});
  EXPECT_FALSE(bZero);
}

TEST(kmCalculationHandlerPrepare, GivenStandardErrorsWeightLogResponses) {
  // Log-linear with the standard error column: y = ln r, var = s^2 / r^2.
  auto pSession = RateSession("rates.csv", {4, 3});
  pSession->SetInt(kmOptHetErrorModel, 2);
  pSession->SetBool(kmOptLogLinear, true);
  Prepared p(std::move(pSession));
  bool bZero = false;
  p.PrepareNext(bZero);
  const double r[] = {1.0, 1.2, 1.25, 1.6}, s[] = {0.1, 0.2, 0.25, 0.4};
  std::vector<Row> rows;
  for (int i = 0; i < 4; ++i) {
    rows.push_back(
        {2000.0 + i, std::log(r[i]), r[i] * r[i] / (s[i] * s[i]), s[i]});
  }
  ExpectRows(p.calc, rows);
}

TEST(kmCalculationHandlerPrepare, DelayCopiesReadTheDelayVariables) {
  struct Case {
    int iDelay, iMode;
    std::vector<double> y, s;  // first cohort, or first copy
  };
  const std::vector<double> kRate = {1.0, 1.2, 1.25, 1.6};
  const std::vector<double> kSE = {0.1, 0.2, 0.25, 0.4};
  const std::vector<double> kDRate = {1.1, 1.3, 1.4, 1.5};
  const std::vector<double> kDSE = {0.11, 0.12, 0.13, 0.14};
  // Delay type 1 reads the delay columns; with both delay types copy 0 is
  // the delay copy and copy 1 the non-delay copy of the same cohort.
  const Case kCases[] = {{1, 0, kDRate, kDSE}, {0, 0, kRate, kSE}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << "delay type " << c.iDelay);
    auto pSession = RateSession("rates.csv", {4, 3});
    pSession->SetInt(kmOptHetErrorModel, 2);
    pSession->SetInt(kmOptDelayType, c.iDelay);
    Prepared p(std::move(pSession));
    bool bZero = false;
    p.PrepareNext(bZero);
    std::vector<Row> rows;
    for (int i = 0; i < 4; ++i) {
      rows.push_back({2000.0 + i, c.y[i], 1 / (c.s[i] * c.s[i]), c.s[i]});
    }
    ExpectRows(p.calc, rows);
  }
}

TEST(kmCalculationHandlerPrepare, PoissonRatesComeFromCountsAndPopulations) {
  // Count 10, population 200000, 100000 per n: y = 5, s = sqrt(10) / 2,
  // var = 10 x 10^10 / 200000^2 = 2.5, w = 0.4. A zero count becomes 0.5.
  auto pSession = RateSession("poisson.csv", {3});
  pSession->SetKMVarPosition(kmVarDependent, 3);
  pSession->SetInt(kmOptDependentType, 0);
  pSession->SetInt(kmOptHetErrorModel, 4);
  pSession->SetInt(kmOptRatesPerN, 100000);
  Prepared p(std::move(pSession));
  // The zero count leaves only its note: the cohort is fitted and valid.
  ASSERT_TRUE(p.handler.GetReadData()->GetCohortGoodFlag(0));
  const KmString sNote = p.handler.GetReadData()->GetIsCohortGoodToUse(0);
  EXPECT_GE(sNote.Find("added to each zero count"), 0);
  EXPECT_EQ(p.handler.GetReadData()->GetCohortValidity(0),
            kmCohortValidity::kZeroCountNoteOnly);
  bool bZero = false;
  p.PrepareNext(bZero);
  EXPECT_TRUE(bZero);
  ExpectRows(p.calc, {{2000, 0.25, 8, std::sqrt(0.5) / 2},
                      {2001, 5, 0.4, std::sqrt(10.0) / 2},
                      {2002, 5, 1 / 3.125, std::sqrt(8.0) / 1.6}});
}

TEST(kmCalculationHandlerPrepare, OnlyTheZeroCountNoteLeavesACohortValid) {
  // The validity travels as a type beside the text: only a refusal makes
  // the cohort's record invalid.
  const struct {
    kmCohortValidity validity;
    bool bValid;
  } kCases[] = {
      {kmCohortValidity::kNoFinding, true},
      {kmCohortValidity::kZeroCountNoteOnly, true},
      {kmCohortValidity::kRefused, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsValidCohort(c.validity), c.bValid);
  }
}

TEST(kmCalculationHandlerPrepare, RateMultiplierOfZeroMeansPer100000) {
  // Fault: a kmOptRatesPerN of 0 (the session default) turned every rate
  // into 0; the data reader reads it as 100000 and so does the preparation.
  auto pSession = RateSession("poisson.csv", {3});
  pSession->SetKMVarPosition(kmVarDependent, 3);
  pSession->SetInt(kmOptDependentType, 0);
  pSession->SetInt(kmOptHetErrorModel, 4);
  pSession->SetInt(kmOptRatesPerN, 0);
  Prepared p(std::move(pSession));
  bool bZero = false;
  p.PrepareNext(bZero);
  EXPECT_TRUE(km_test::RelNear((*p.calc.GetDataY())(2, 1), 5.0, kTol));
}

TEST(kmCalculationHandlerPrepare, UnverifiedCohortKeepsZerosAndDropsWeights) {
  // The cohort fails verification (negative count, missing values): its
  // zero count stays 0, a negative response is missing, and with a
  // standard error column every weight is 0.
  auto pSession = RateSession("failing.csv", {3});
  pSession->SetKMVarPosition(kmVarDependent, 3);
  pSession->SetInt(kmOptDependentType, 0);
  pSession->SetInt(kmOptHetErrorModel, 1);
  Prepared p(std::move(pSession));
  ASSERT_FALSE(p.handler.GetReadData()->GetCohortGoodFlag(0));
  bool bZero = false;
  p.PrepareNext(bZero);
  EXPECT_FALSE(bZero);
  ExpectRows(
      p.calc,
      {{2000, 0, 0, 0.1}, {2001, 0, 0, kMissing}, {2002, kMissing, 0, 0.25}});
}

TEST(kmCalculationHandlerPrepare, RowsBeyondTheCohortSizeAreCountedNotStored) {
  struct Case {
    int n;
    int iRows;
  };
  for (const Case& c : {Case{2, 2}, Case{6, 6}}) {
    SCOPED_TRACE(testing::Message() << "n " << c.n);
    Prepared p(RateSession("rates.csv", {c.n, 3}));
    bool bZero = false;
    p.PrepareNext(bZero);
    EXPECT_EQ(p.handler.GetCurrentNumObs(), 4);
    ASSERT_EQ(p.calc.GetDataY()->Nrows(), c.iRows);
    EXPECT_EQ((*p.calc.GetDataY())(2, 1), 1.2);
    // Rows the cohort does not fill stay 0.
    if (c.iRows > 4) {
      EXPECT_EQ((*p.calc.GetDataX())(5, 2), 0.0);
    }
  }
}

TEST(kmCalculationHandlerPrepare, FormattedIndependentValuesUseTheirLabels) {
  auto pSession = RateSession("coded_years.csv", {3});
  KmFormat years;
  years.SetDataType('S');
  years.AddLine("1", "2000", -1);
  years.AddLine("2", "2001", -1);
  years.AddLine("3", "2002", -1);
  pSession->SetVarFormat(1, years);
  Prepared p(std::move(pSession));
  bool bZero = false;
  p.PrepareNext(bZero);
  ExpectRows(p.calc, {{2000, 1.0, 1, kMissing},
                      {2001, 1.2, 1, kMissing},
                      {2002, 1.25, 1, kMissing}});
}

TEST(kmCalculationHandlerPrepare, InputErrorsNameTheCohort) {
  struct Case {
    const char* sFile;
    int iHet;
    bool bLog;
    const char* sMessage;
    int iKind;
    const char* sThen = "";  // the message's second line, after its path
  };
  const Case kCases[] = {
      {"unsorted.csv", 0, false,
       "Error in Data File:  Kinkmark encountered a problem with your "
       "Independent Variable.  Possible causes include your Independent "
       "Variable not being sorted or By-Variable(s) not properly defined.  "
       "Cohort Index = 0",
       3,
       "unsorted.csv\", line 3, the independent value \"2001\" follows "
       "\"2002\" on line 2.  A cohort's records must stand together"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sFile);
    auto pSession = RateSession(c.sFile, {3});
    pSession->SetKMVarPosition(kmVarDependent, 3);
    pSession->SetInt(kmOptDependentType, 0);
    pSession->SetInt(kmOptHetErrorModel, c.iHet);
    pSession->SetBool(kmOptLogLinear, c.bLog);
    Prepared p(std::move(pSession));
    bool bZero = false;
    const KmException e =
        km_test::CatchKmException([&] { p.PrepareNext(bZero); });
    const std::string sMessage(e.GetMessage());
    EXPECT_EQ(sMessage.substr(0, std::strlen(c.sMessage)), c.sMessage);
    EXPECT_NE(sMessage.find(c.sThen), std::string::npos) << sMessage;
    if (c.sThen[0] == '\0') {
      EXPECT_EQ(sMessage, c.sMessage);
    }
    EXPECT_STREQ(e.GetSource(), "kmCalculator");
    EXPECT_EQ(e.GetKind(), c.iKind);
    EXPECT_NE(std::string(e.GetCallPath())
                  .find("ProcessCohortRecords() of kmCalculationHandler"),
              std::string::npos);
  }
}

TEST(kmCalculationHandlerPrepare, NoRecordsIsAnError) {
  Prepared p(RateSession("rates.csv", {4, 3}));
  bool bZero = false;
  const KmException e = km_test::CatchKmException(
      [&] { p.handler.ProcessCohortRecords(0, &p.calc, bZero); });
  EXPECT_STREQ(e.GetMessage(), "Cohort has no data records.");
  EXPECT_EQ(e.GetKind(), 0);
}

TEST(kmCalculationHandlerPrepare, ComparisonPassReadsEveryByGroup) {
  Prepared p(RateSession("rates.csv", {4, 3}));
  p.handler.GetCalcHandler()->SetMaxObservations(4);
  kmCalculator compCalc(&p.handler, p.handler.GetCalcHandler());

  RecordingProgress progress;
  EXPECT_THROW(p.handler.ReadDataForAllByGroup(&progress), KmException);

  p.handler.SetComparisonCalculator(&compCalc);
  p.handler.GetReadData()->ResetDataFile();
  p.handler.ReadDataForAllByGroup(&progress);
  ASSERT_EQ(p.handler.GetCompGroupCount(), 2);
  EXPECT_EQ(p.handler.GetCompNumObs(), 3);
  EXPECT_EQ(progress.texts.back(), "Reading Data By-group 2 of 2");
  EXPECT_EQ(progress.positions, (std::vector<int32_t>{0, 50, 100, 100}));
  // Entry 1 holds the second cohort as its own preparation gives it.
  EXPECT_EQ((*p.handler.GetCompResponse()[1])(1, 1), 1234.0);
  EXPECT_EQ((*p.handler.GetCompDesign()[0])(4, 2), 2003.0);
  EXPECT_EQ((*p.handler.GetCompWeights()[0])(1), 1.0);
  EXPECT_EQ((*p.handler.GetCompStdError()[1])(3, 1), kMissing);

  // A cancelled pass reads nothing more.
  RecordingProgress cancelled;
  cancelled.bCancelled = true;
  p.handler.GetReadData()->ResetDataFile();
  p.handler.ReadDataForAllByGroup(&cancelled);
  EXPECT_EQ(cancelled.texts, std::vector<std::string>{"Canceling..."});
  EXPECT_EQ(p.handler.GetReadData()->GetNextCohort(), 0);
}

// Age groups coded 0, 1, 2 (the groups are matched by format line).
std::unique_ptr<kmSession> AgeGroupSession() {
  auto pSession = MakeAgeAdjustedSession(Fixture("age_groups.csv"));
  pSession->SetVarFormat(2, km_test::LabelFormat({"0-19", "20-64", "65+"}, 0));
  pSession->AddObservationCount(3);  // years, as the pre-read counts them
  return pSession;
}

TEST(kmCalculationHandlerPrepare, AgeAdjustedRatesAreTheResponse) {
  // Rows of adjustment groups give rate R = N sum w_k c_k / p_k with
  // E = N sqrt(sum w_k^2 c_k / p_k^2); the model of given standard errors
  // weights them by 1 / E^2.
  auto pSession = AgeGroupSession();
  pSession->SetKMVarPosition(kmVarDependent, 4);
  pSession->SetInt(kmOptHetErrorModel, 2);
  Prepared p(std::move(pSession));
  ASSERT_TRUE(p.handler.RatesFromAdjustGroups());
  EXPECT_EQ(p.handler.GetNumAdjustGroups(), 3);
  p.handler.GetCalcHandler()->SetMaxObservations(3);
  int iCohort = -1;
  p.handler.GetReadData()->ReadDataAndCalcRates(&iCohort);
  bool bZero = false;
  p.handler.ProcessCohortRecords(iCohort, &p.calc, bZero);
  EXPECT_EQ(p.handler.GetCurrentNumObs(), 3);

  const double c[2][3] = {{10, 20, 30}, {12, 24, 33}};
  const double pop[3] = {1000, 2000, 3000}, w[3] = {1. / 6, 2. / 6, 3. / 6};
  std::vector<Row> rows;
  for (int t = 0; t < 2; ++t) {
    double R = 0, V = 0;
    for (int k = 0; k < 3; ++k) {
      R += w[k] * c[t][k] / pop[k] * 1e5;
      V += w[k] * w[k] * c[t][k] / (pop[k] * pop[k]);
    }
    const double E = 1e5 * std::sqrt(V);
    rows.push_back({2000.0 + t, R, 1 / (E * E), E});
  }
  // The rates travel as "%20.10f" text: compare to that precision.
  for (int t = 0; t < 2; ++t) {
    EXPECT_NEAR((*p.calc.GetDataY())(t + 1, 1), rows[t].y, 1e-9);
    EXPECT_NEAR((*p.calc.GetDataAux())(t + 1, 1), rows[t].s, 1e-9);
    EXPECT_TRUE(km_test::RelNear((*p.calc.GetDataWeightInput())(t + 1),
                                 rows[t].w, 1e-8));
  }
}

TEST(kmCalculationHandlerPrepare, ClusteredCohortBecomesGroupRows) {
  auto pSession = AgeGroupSession();
  pSession->SetInt(kmOptComparisonType, 2);
  Prepared p(std::move(pSession));
  ASSERT_TRUE(p.handler.IsClustering());
  kmValueTable records;
  int iCohort = -1;
  p.handler.GetReadData()->ReadDataAndCalcRates_Cluster(&iCohort, records);
  p.handler.CompressData(records);
  p.handler.ProcessClusterCohortData(iCohort);

  EXPECT_EQ(p.handler.GetCurrentNumObs(), 3);
  const NEWMAT::Matrix* pM = p.handler.GetClusterMatrix();
  ASSERT_NE(pM, nullptr);
  ASSERT_EQ(pM->Nrows(), 9);
  ASSERT_EQ(pM->Ncols(), 3);
  EXPECT_EQ(
      p.handler.GetClusterRows(),
      (std::vector<KmString>{"0", "1", "2", "0", "1", "2", "0", "1", "2"}));
  // Share a = 100000 c / p x s / T and its standard error
  // 100000 sqrt(c / p^2 x (s / T)^2), T = 600.
  const double c[2][3] = {{10, 20, 30}, {12, 24, 33}};
  const double pop[3] = {1000, 2000, 3000}, w[3] = {1. / 6, 2. / 6, 3. / 6};
  for (int t = 0; t < 2; ++t) {
    for (int k = 0; k < 3; ++k) {
      const int r = t * 3 + k + 1;
      SCOPED_TRACE(testing::Message() << "row " << r);
      EXPECT_EQ((*pM)(r, 1), t);
      EXPECT_TRUE(
          km_test::RelNear((*pM)(r, 2), 1e5 * c[t][k] / pop[k] * w[k], kTol));
      EXPECT_TRUE(km_test::RelNear(
          (*pM)(r, 3), 1e5 * std::sqrt(c[t][k] / (pop[k] * pop[k])) * w[k],
          kTol));
    }
  }
}

TEST(kmCalculationHandlerPrepare, ClusterStepsNeedAClusteringRun) {
  Prepared p(RateSession("rates.csv", {4, 3}));
  EXPECT_THROW(p.handler.CompressData(kmValueTable()), KmException);
  EXPECT_THROW(p.handler.ProcessClusterCohortData(0), KmException);
}

}  // namespace
