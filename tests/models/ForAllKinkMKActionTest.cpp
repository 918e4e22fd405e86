// Tests of the ForAllKinkMKAction object (start values, clear, copies) and
// of ForAllKinkMKAction::shift_XValues.
#include <gtest/gtest.h>
#include <newmat.h>

#include <string>
#include <vector>

#include "foundation/OneDimensionArray.h"
#include "models/ForAllKinkMKAction.h"
#include "models/PositiveDefinite.h"
#include "tests/models/DataClassTestHelpers.h"

namespace {

using km_data_test::Dims;
using km_data_test::Mat;
using km_data_test::Values;
using km_data_test::Vec;

const std::vector<int> kEmptyMatrix = {0, 0};

// An action with something in every member.
ForAllKinkMKAction FilledAction() {
  ForAllKinkMKAction action;
  action.workMatrix = Mat(2, 2, 0);
  action.seriesSet.xValues.Resize(1);
  action.seriesSet.xValues[0] = Vec({1, 2, 3});
  action.seriesSet.covariance.ReSize(3);
  action.seriesSet.covariance = 1.0;
  action.settings.modelType = 1;
  action.settings.order = "changed";
  action.fitResults.Resize(2);
  action.fitResults[1].sse = 12.5;
  action.modelScores.Resize(1);
  action.modelScores[0].k1 = 3;
  action.vectorSets.Resize(2);
  action.vectorSets[1].Resize(1);
  action.vectorSets[1][0] = Vec({4, 5});
  action.fitResultSets.Resize(1);
  action.fitResultSets[0].Resize(3);
  action.values.Resize(2);
  action.values[1] = 7;
  action.modelScoreSets.Resize(1);
  action.modelScoreSets[0].Resize(2);
  action.fitStats.df = 9.5;
  action.fitStats.theta = Vec({1, 2});
  return action;
}

void ExpectStartValues(const ForAllKinkMKAction& action) {
  EXPECT_EQ(Dims(action.workMatrix), kEmptyMatrix);
  EXPECT_EQ(action.seriesSet.xValues.GetSize(), 0);
  EXPECT_EQ(Dims(action.seriesSet.covariance), kEmptyMatrix);
  EXPECT_EQ(action.settings.modelType, 2);
  EXPECT_STREQ(action.settings.order.GetCString(), "ordered");
  EXPECT_EQ(action.settings.resamplingMode, "Simulating");
  EXPECT_EQ(action.fitResults.GetSize(), 0);
  EXPECT_EQ(action.modelScores.GetSize(), 0);
  EXPECT_EQ(action.vectorSets.GetSize(), 0);
  EXPECT_EQ(action.fitResultSets.GetSize(), 0);
  EXPECT_EQ(action.values.GetSize(), 0);
  EXPECT_EQ(action.modelScoreSets.GetSize(), 0);
  EXPECT_EQ(action.fitStats.df, 0.0);
  EXPECT_EQ(action.fitStats.theta.Nrows(), 0);
}

TEST(ForAllKinkMKAction, ConstructionGivesTheStartValues) {
  const ForAllKinkMKAction action;
  ExpectStartValues(action);
}

TEST(ForAllKinkMKAction, ClearOnAFreshObjectIsHarmless) {
  ForAllKinkMKAction action;
  action.clear();
  action.clear();
  ExpectStartValues(action);
}

TEST(ForAllKinkMKAction, ClearReleasesEverythingAndRestoresTheSettings) {
  ForAllKinkMKAction action = FilledAction();
  action.clear();
  EXPECT_EQ(Dims(action.workMatrix), kEmptyMatrix);
  EXPECT_EQ(action.seriesSet.xValues.GetSize(), 0);
  EXPECT_EQ(Dims(action.seriesSet.covariance), kEmptyMatrix);
  EXPECT_EQ(action.settings.modelType, 2);
  EXPECT_STREQ(action.settings.order.GetCString(), "ordered");
  EXPECT_EQ(action.fitResults.GetSize(), 0);
  EXPECT_EQ(action.modelScores.GetSize(), 0);
  EXPECT_EQ(action.vectorSets.GetSize(), 0);
  EXPECT_EQ(action.fitResultSets.GetSize(), 0);
  EXPECT_EQ(action.values.GetSize(), 0);
  EXPECT_EQ(action.modelScoreSets.GetSize(), 0);
  EXPECT_EQ(action.fitStats.theta.Nrows(), 0);
}

TEST(ForAllKinkMKAction, CopiesAreDeepAndIndependent) {
  ForAllKinkMKAction source = FilledAction();
  ForAllKinkMKAction copied(source);
  ForAllKinkMKAction assigned;
  assigned = source;
  source.workMatrix(1, 1) = -1;
  source.seriesSet.xValues[0](1) = -1;
  source.vectorSets[1][0](1) = -1;
  source.fitResults[1].sse = -1;
  for (const ForAllKinkMKAction* copy : {&copied, &assigned}) {
    EXPECT_EQ(copy->workMatrix(1, 1), 11.0);
    EXPECT_EQ(Values(copy->seriesSet.xValues[0]), Values(Vec({1, 2, 3})));
    EXPECT_EQ(copy->settings.modelType, 1);
    ASSERT_EQ(copy->fitResults.GetSize(), 2);
    EXPECT_EQ(copy->fitResults[1].sse, 12.5);
    EXPECT_EQ(copy->modelScores[0].k1, 3);
    EXPECT_EQ(Values(copy->vectorSets[1][0]), Values(Vec({4, 5})));
    EXPECT_EQ(copy->fitResultSets[0].GetSize(), 3);
    EXPECT_EQ(copy->values[1], 7);
    EXPECT_EQ(copy->modelScoreSets[0].GetSize(), 2);
    EXPECT_EQ(copy->fitStats.df, 9.5);
  }
}

struct ShiftCase {
  std::string name;
  int p;
  bool jump;
  double c;
  std::vector<double> beta, expectedBeta;
  double expectedJumpLocation;
};

// The model b(i) + b(p) x + ... stays the same when x moves by c and each
// level parameter b(1..p-1) drops by b(p) c. Locations and their limits
// move by c; the jump location moves only in the jump model.
const ShiftCase kShiftCases[] = {
    {"zero shift", 3, true, 0.0, {5, 6, 2, 0.5}, {5, 6, 2, 0.5}, 2003},
    // (a, b, s) with s = 1 and c = 1 become (a - s, b - s, s).
    {"unit shift", 3, false, 1.0, {5, 6, 1, 0.5}, {4, 5, 1, 0.5}, 2003},
    {"negative shift", 2, true, -2.0, {10, 3, -1}, {16, 3, -1}, 2001},
    {"single level parameter", 1, false, 4.0, {7, 8}, {7, 8}, 2003},
};

TEST(ForAllKinkMKAction, ShiftXValuesMovesTheModelAlongX) {
  for (const ShiftCase& tc : kShiftCases) {
    SCOPED_TRACE(tc.name);
    OneDimensionArray<NEWMAT::ColumnVector> x;
    x.Resize(2);
    x[0] = Vec({0, 1, 2});
    x[1] = Vec({10});
    KinkMKFitResult result;
    result.p = tc.p;
    result.beta.ReSize(static_cast<int>(tc.beta.size()));
    for (size_t i = 0; i < tc.beta.size(); ++i) {
      result.beta(static_cast<int>(i) + 1) = tc.beta[i];
    }
    result.tau = Vec({1.5, 7});
    result.tauLimits = Mat(2, 2, 0);  // 11 12 / 21 22
    result.settings.jump = tc.jump ? 1 : 0;
    result.settings.jumpLocation = 2003;

    ForAllKinkMKAction::shift_XValues(x, result, tc.c);

    const double c = tc.c;
    EXPECT_EQ(Values(x[0]), Values(Vec({0 + c, 1 + c, 2 + c})));
    EXPECT_EQ(Values(x[1]), Values(Vec({10 + c})));
    EXPECT_EQ(Values(result.tau), Values(Vec({1.5 + c, 7 + c})));
    EXPECT_EQ(Values(result.tauLimits),
              (std::vector<double>{11 + c, 12 + c, 21 + c, 22 + c}));
    EXPECT_EQ(Values(result.beta), tc.expectedBeta);
    EXPECT_EQ(result.settings.jumpLocation, tc.expectedJumpLocation);
  }
}

TEST(ForAllKinkMKAction, ShiftXValuesNeedsTheSlopeCoefficient) {
  // p = 3 names coefficient 3 as the slope, but beta holds only two.
  OneDimensionArray<NEWMAT::ColumnVector> x;
  KinkMKFitResult result;
  result.p = 3;
  result.beta = Vec({1, 2});
  EXPECT_THROW(ForAllKinkMKAction::shift_XValues(x, result, 1.0),
               NEWMAT::IndexException);
}

TEST(ForAllKinkMKAction, PositiveDefiniteTestAgreesWithTheSharedRoutine) {
  // A positive definite matrix, a singular one (two equal columns) and an
  // indefinite one: same answer, inverse and rank from both.
  NEWMAT::Matrix definite(2, 2);
  definite << 4 << 2 << 2 << 3;
  NEWMAT::Matrix singular(2, 2);
  singular << 1 << 1 << 1 << 1;
  NEWMAT::Matrix indefinite(2, 2);
  indefinite << 1 << 0 << 0 << -1;
  for (const NEWMAT::Matrix* A : {&definite, &singular, &indefinite}) {
    NEWMAT::Matrix engineInverse, sharedInverse;
    int16_t engineRank = -1, sharedRank = -1;
    const bool engine = ForAllKinkMKAction::isPositiveDefinite(
        2, *A, engineInverse, engineRank);
    const bool shared =
        check_PositiveDefinite(2, *A, sharedInverse, sharedRank);
    EXPECT_EQ(engine, shared);
    EXPECT_EQ(engineRank, sharedRank);
    EXPECT_EQ(Values(engineInverse), Values(sharedInverse));
  }
  NEWMAT::Matrix inverse;
  int16_t rank = 0;
  EXPECT_TRUE(
      ForAllKinkMKAction::isPositiveDefinite(2, definite, inverse, rank));
  EXPECT_EQ(rank, 2);
  EXPECT_FALSE(
      ForAllKinkMKAction::isPositiveDefinite(2, indefinite, inverse, rank));
}

}  // namespace
