// Construction, setup, cohort loading and release of kmCalculator.
#include <gtest/gtest.h>
#include <newmat.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "engine/kmPairwiseComparison.h"
#include "foundation/KmException.h"
#include "results/kmCalcHandler.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/engine/kmPairwiseComparisonTestPeer.h"
#include "tests/test_util/CatchKmException.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

// A session whose cohorts have the given observation counts.
std::unique_ptr<kmSession> SessionWithCounts(const std::vector<int>& vCounts,
                                             int iGridPointsBetween) {
  auto pSession = std::make_unique<kmSession>();
  pSession->ClearObservationCounts();
  for (int iCount : vCounts) pSession->AddObservationCount(iCount);
  pSession->SetInt(kmOptGridPointsBetween, iGridPointsBetween);
  return pSession;
}

TEST(KmCalculatorLifetime, SessionConstructorOwnsAHandlerOfTheSession) {
  auto pSession = SessionWithCounts({5}, 0);
  pSession->SetInt(kmOptAutocorrErrors, 2);
  kmCalculator calc(pSession.get());
  ASSERT_NE(calc.GetCalcHandler(), nullptr);
  EXPECT_EQ(calc.GetCalcSession()->GetInt(kmOptAutocorrErrors), 2);
  // The distribution object answers.
  EXPECT_GT(calc.FPValue(2.0, 1, 10), 0.0);
  ASSERT_NE(CalcMembers(calc).pRandom, nullptr);
  EXPECT_EQ(CalcMembers(calc).pRandom->mti,
            625);  // unseeded until the driver seeds it
  EXPECT_EQ(CalcMembers(calc).iNumObs, 0);
  EXPECT_EQ(CalcMembers(calc).pVarCovMatrix, nullptr);
  EXPECT_EQ(CalcMembers(calc).pX0, nullptr);
}

TEST(KmCalculatorLifetime, SetupRefusesNullSession) {
  const KmException e = km_test::CatchKmException(
      [&] { kmCalculator calc(static_cast<kmSession*>(nullptr)); });
  EXPECT_STREQ(e.GetMessage(), "Session does not exist - invalid pointer.");
  EXPECT_STREQ(e.GetSource(), "kmCalculator");
  EXPECT_NE(std::string(e.GetCallPath()).find("Setup() of kmCalculator"),
            std::string::npos);

  // A failed Setup keeps the handler the calculator already had.
  auto pSession = SessionWithCounts({5}, 0);
  kmCalculator calc(pSession.get());
  kmCalcHandler* pBefore = calc.GetCalcHandler();
  EXPECT_THROW(calc.Setup(nullptr), KmException);
  EXPECT_EQ(calc.GetCalcHandler(), pBefore);
}

TEST(KmCalculatorLifetime, JobConstructorBorrowsTheHandler) {
  auto pSession = SessionWithCounts({5}, 0);
  kmCalcHandler handler(pSession.get());
  {
    kmCalculator calc(nullptr, &handler);
    EXPECT_EQ(calc.GetCalcHandler(), &handler);
  }
  // The handler outlives the calculator and is still usable.
  EXPECT_NE(handler.GetSession(), nullptr);
}

TEST(KmCalculatorLifetime, LoadCalcMembersSizesTheGridAndWeights) {
  struct Case {
    int iCounts;
    int g;
    int iGrid;
  };
  const Case kCases[] = {{10, 0, 10}, {10, 1, 19}, {10, 3, 37}, {1, 4, 1}};
  for (const Case& c : kCases) {
    SCOPED_TRACE("n=" + std::to_string(c.iCounts) +
                 " g=" + std::to_string(c.g));
    auto pSession = SessionWithCounts({3, c.iCounts}, c.g);
    kmCalculator calc(pSession.get());
    calc.LoadCalcMembers(nullptr, 1);
    ASSERT_NE(CalcMembers(calc).pGridValues, nullptr);
    EXPECT_EQ(CalcMembers(calc).pGridValues->Nrows(), c.iGrid);
    EXPECT_EQ(CalcMembers(calc).pGridAux->Nrows(), c.iGrid);
    EXPECT_EQ(CalcMembers(calc).pGridValues->SumAbsoluteValue(), 0.0);
    EXPECT_EQ(CalcMembers(calc).pWeightMatrix->Nrows(), c.iCounts);
    EXPECT_EQ(CalcMembers(calc).pWeightMatrix->Ncols(), c.iCounts);
    EXPECT_EQ(CalcMembers(calc).pWeightMatrix->SumAbsoluteValue(), 0.0);
    EXPECT_EQ(CalcMembers(calc).pX0->Nrows(), 0);
    EXPECT_EQ(CalcMembers(calc).pXWX->Nrows(), 0);
  }
}

TEST(KmCalculatorLifetime, LoadCalcMembersRefusesAGridTooLongForItsCount) {
  // The grid length is a 16-bit count: 2000 observations with 20 points
  // between them would wrap to a negative length instead of failing.
  auto pSession = SessionWithCounts({2000}, 20);
  kmCalculator calc(pSession.get());
  const KmException e = km_test::CatchKmException(
      [&] { calc.LoadCalcMembers(pSession.get(), 0); });
  EXPECT_NE(std::string(e.GetCallPath()).find("LoadCalcMembers()"),
            std::string::npos);
}

TEST(KmCalculatorLifetime, CohortIndexMapsAnalysisCopiesToCohorts) {
  struct Case {
    int iJumpMode;
    int iDelayType;
    int iIndex;
    int iExpected;
  };
  // Cohort c has 10 + c observations.
  const Case kCases[] = {
      {0, 0, 2, 12}, {3, 0, 5, 12},  {5, 0, 1, 10},
      {6, 0, 5, 11}, {6, 2, 11, 11}, {0, 2, 3, 11},
  };
  auto pSession = SessionWithCounts({10, 11, 12, 13}, 0);
  for (const Case& c : kCases) {
    SCOPED_TRACE("mode=" + std::to_string(c.iJumpMode) +
                 " delay=" + std::to_string(c.iDelayType) +
                 " index=" + std::to_string(c.iIndex));
    pSession->SetInt(kmOptJumpCRMode, c.iJumpMode);
    pSession->SetInt(kmOptDelayType, c.iDelayType);
    EXPECT_EQ(GetNumObsForCohortIndex(pSession.get(), c.iIndex), c.iExpected);
  }
  EXPECT_THROW(GetNumObsForCohortIndex(pSession.get(), 40), KmException);
  EXPECT_THROW(GetNumObsForCohortIndex(nullptr, 0), KmException);
}

TEST(KmPairwiseComparisonLifetime, SetTwoGroupMatricesCopiesAndReplaces) {
  auto pSession = SessionWithCounts({5}, 0);
  kmCalculator calc(pSession.get());
  kmPairwiseComparison comparison(calc);

  Matrix mX1(3, 2), mX2(4, 2), mY1(3, 1), mY2(4, 1), mZ1(3, 1), mZ2(4, 1);
  mX1 = 1.0;
  mX2 = 2.0;
  mY1 = 3.0;
  mY2 = 4.0;
  mZ1 = 5.0;
  mZ2 = 6.0;
  ColumnVector vW1(3), vW2(4);
  vW1 = 7.0;
  vW2 = 8.0;
  comparison.SetTwoGroupMatrices(2, 9, {&mX1, &mX2}, {&mY1, &mY2}, {&vW1, &vW2},
                                 {&mZ1, &mZ2});
  const kmPairwiseComparisonTestPeer members(comparison);
  EXPECT_EQ(members.iNumGroups_, 2);
  EXPECT_EQ(members.iGroupValue_, 9);
  ASSERT_NE(members.vGroupDesigns_[1].get(),
            &mX2);  // a copy, not the caller's object
  EXPECT_EQ((*members.vGroupDesigns_[1])(4, 2), 2.0);
  EXPECT_EQ((*members.vGroupWeights_[0])(3), 7.0);
  EXPECT_EQ((*members.vGroupStdErrors_[1])(1, 1), 6.0);
  mY1 = -1.0;
  EXPECT_EQ((*members.vGroupResponses_[0])(1, 1), 3.0);

  // A second call replaces the arrays (the sanitizer build checks that the
  // first call's objects are freed exactly once).
  comparison.SetTwoGroupMatrices(1, 4, {&mX2}, {&mY2}, {&vW2}, {&mZ2});
  EXPECT_EQ(members.iNumGroups_, 1);
  EXPECT_EQ(members.iGroupValue_, 4);
  EXPECT_EQ(members.vGroupResponses_[0]->Nrows(), 4);

  EXPECT_THROW(comparison.SetTwoGroupMatrices(-1, 0, {}, {}, {}, {}),
               KmException);
  EXPECT_THROW(
      comparison.SetTwoGroupMatrices(2, 0, {&mX1}, {&mY1}, {&vW1}, {&mZ1}),
      KmException);
}

TEST(KmCalculatorLifetime, SetClusterMatrixReplacesTheCopy) {
  auto pSession = SessionWithCounts({5}, 0);
  kmCalculator calc(pSession.get());
  Matrix mData(2, 3);
  mData = 1.5;
  calc.SetClusterMatrix(3, mData, std::vector<KmString>{"0", "1"});
  mData = 2.5;
  calc.SetClusterMatrix(6, mData, std::vector<KmString>{"2"});
  EXPECT_EQ(calc.GetNumObservations(), 6);
  EXPECT_EQ((*calc.GetClusterMatrix())(2, 3), 2.5);
  EXPECT_EQ(calc.GetClusterRows(), std::vector<KmString>{"2"});
}

TEST(KmCalculatorLifetime, LoadingTwiceAndDestroyingLeakNothing) {
  // A second LoadCalcMembers used to overwrite the owned grid, weight and
  // work objects without freeing them; the sanitizer build's leak checker
  // verifies that they, and observation matrices left by the task, are freed.
  auto pSession = SessionWithCounts({4}, 0);
  auto pCalc = std::make_unique<kmCalculator>(pSession.get());
  pCalc->CreateObservations(4);
  pCalc->LoadCalcMembers(nullptr, 0);
  pCalc->LoadCalcMembers(nullptr, 0);
  EXPECT_EQ(CalcMembers(*pCalc).pGridValues->Nrows(), 4);
  pCalc.reset();
}

}  // namespace
