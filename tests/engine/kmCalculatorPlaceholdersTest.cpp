// Placeholder records of cohorts and comparisons that cannot be fitted, and
// the data-dependent final choice of kmCalculator.
#include <gtest/gtest.h>
#include <newmat.h>

#include <memory>
#include <string>

#include "engine/kmCalculator.h"
#include "engine/kmPairwiseComparison.h"
#include "foundation/KmException.h"
#include "foundation/OneDimensionArray.h"
#include "results/kmCalcData.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/engine/kmPairwiseComparisonTestPeer.h"
#include "tests/test_util/CatchKmException.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr int kN = 4;
constexpr double kX[kN] = {0, 1, 2, 4};
constexpr double kY[kN] = {1.5, 2.5, 2.0, 3.0};
constexpr double kSE[kN] = {0.1, 0.2, 0.3, 0.4};

class PlaceholdersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<km_engine_test::Observation> obs;
    for (int i = 0; i < kN; ++i) obs.push_back({kX[i], kY[i], 1.0, kSE[i]});
    km_engine_test::LoadedCalculator lc(obs);
    session_ = std::move(lc.session);
    calc_ = std::move(lc.calc);
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
};

TEST_F(PlaceholdersTest, BadCohortGetsOneTableOfItsObservations) {
  kmCalcData record;
  calc_->AddBadCohort(&record);
  ASSERT_EQ(record.vModels.size(), 1u);
  const kmTable& table = record.vModels[0];
  EXPECT_EQ(table.GetNObs(), kN);
  const Matrix& mRows = table.GetData();
  ASSERT_EQ(mRows.Nrows(), kN);
  ASSERT_EQ(mRows.Ncols(), 4);
  for (int i = 1; i <= kN; ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(mRows(i, 1), kX[i - 1]);
    EXPECT_EQ(mRows(i, 2), kY[i - 1]);
    EXPECT_EQ(mRows(i, 3), -1e30);
    EXPECT_EQ(mRows(i, 4), kSE[i - 1]);
  }
}

TEST_F(PlaceholdersTest, ObservationsTooSmallAreRefusedAndNothingAppended) {
  struct Case {
    const char* name;
    int xRows, xCols, auxRows;
  };
  const Case kCases[] = {
      {"one x column", kN, 1, kN},
      {"short x", kN - 1, 2, kN},
      {"short standard errors", kN, 2, kN - 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    CalcMembers(*calc_).pDataX = std::make_unique<Matrix>(c.xRows, c.xCols);
    *CalcMembers(*calc_).pDataX = 1.0;
    CalcMembers(*calc_).pDataAux = std::make_unique<Matrix>(c.auxRows, 1);
    *CalcMembers(*calc_).pDataAux = 1.0;
    kmCalcData record;
    const KmException e =
        km_test::CatchKmException([&] { calc_->AddBadCohort(&record); });
    EXPECT_STREQ(e.GetSource(), "kmCalculator::AddBadCohort()");
    EXPECT_STREQ(e.GetCallPath(), "AddBadCohort() of kmCalculator");
    EXPECT_TRUE(record.vModels.empty());
  }
}

TEST_F(PlaceholdersTest, MissingRecordOrObservationsIsAClearError) {
  // A null record or unloaded observations used to be dereferenced.
  const KmException eRecord =
      km_test::CatchKmException([&] { calc_->AddBadCohort(nullptr); });
  EXPECT_STREQ(eRecord.GetSource(), "kmCalculator");
  CalcMembers(*calc_).pDataAux.reset();
  kmCalcData record;
  const KmException eData =
      km_test::CatchKmException([&] { calc_->AddBadCohort(&record); });
  EXPECT_STREQ(eData.GetCallPath(), "AddBadCohort() of kmCalculator");
  kmPairwiseComparison comparison(*calc_);
  const KmException eComp =
      km_test::CatchKmException([&] { comparison.AddBadComparison(&record); });
  EXPECT_STREQ(eComp.GetCallPath(), "AddBadComparison() of kmCalculator");
}

TEST_F(PlaceholdersTest, BadComparisonKeepsBothGroupsRows) {
  const double kY2[kN] = {9, 8, 7, 6};
  const double kSE2[kN] = {0.9, 0.8, 0.7, 0.6};
  kmPairwiseComparison comparison(*calc_);
  kmPairwiseComparison::PairData& pair = ComparisonMembers(comparison).pair_;
  pair.iObsPerCohort = kN;
  pair.mDesign = *CalcMembers(*calc_).pDataX;
  pair.mFirstResponse = *CalcMembers(*calc_).pDataY;
  pair.mFirstStdErrors = *CalcMembers(*calc_).pDataAux;
  pair.vFirstWeights = *CalcMembers(*calc_).pDataWeightInput;
  pair.vSecondWeights = *CalcMembers(*calc_).pDataWeightInput;
  pair.mSecondResponse.ReSize(kN, 1);
  pair.mSecondStdErrors.ReSize(kN, 1);
  for (int i = 1; i <= kN; ++i) {
    pair.mSecondResponse(i, 1) = kY2[i - 1];
    pair.mSecondStdErrors(i, 1) = kSE2[i - 1];
  }
  kmCalcData record;
  comparison.AddBadComparison(&record);
  ASSERT_EQ(record.vModels.size(), 1u);
  EXPECT_EQ(record.vModels[0].GetNObs(), kN);
  const Matrix& mRows = record.vModels[0].GetData();
  ASSERT_EQ(mRows.Nrows(), 2 * kN);
  for (int i = 1; i <= kN; ++i) {
    SCOPED_TRACE("observation " + std::to_string(i));
    EXPECT_EQ(mRows(i, 1), kX[i - 1]);
    EXPECT_EQ(mRows(i, 2), kY[i - 1]);
    EXPECT_EQ(mRows(i, 4), kSE[i - 1]);
    EXPECT_EQ(mRows(kN + i, 1), kX[i - 1]);
    EXPECT_EQ(mRows(kN + i, 2), kY2[i - 1]);
    EXPECT_EQ(mRows(kN + i, 3), -1e30);
    EXPECT_EQ(mRows(kN + i, 4), kSE2[i - 1]);
  }
}

// Models with 0 and 1 kinkmarks of a cohort fitted with kmin = 0.
kmCalcData TwoModelRecord() {
  kmCalcData record;
  for (int k = 0; k <= 1; ++k) {
    kmTable table;
    KmVector<kmLineSegment> segments(k + 1);
    segments[0].intercept.dEstimate = 1.0;
    segments[0].slope.dEstimate = 0.5;
    table.AddLineSegments(segments);
    if (k == 1) {
      table.AddKinkmark(2.0, 1.0, 3.0, true);
      table.AddSlopeDiff(0.25, 0.1, 2.5, 0.05, true);
    }
    table.SetCMSE(0.3);
    record.vModels.push_back(table);
  }
  return record;
}

TEST_F(PlaceholdersTest, FinalChoiceWithEqualWinnersStoresBoth) {
  kmCalcData record = TwoModelRecord();
  OneDimensionArray<ColumnVector> values;
  values.SetSize(1);
  values[0].ReSize(kN);
  for (int i = 1; i <= kN; ++i) values[0](i) = kX[i - 1];
  Matrix mA(kN, kN);
  mA = 0.0;
  for (int i = 1; i <= kN; ++i) mA(i, i) = 1.0;
  calc_->SelectFinalModelDDS(&record, 0, 0, 0, 1, &values, &mA);
  EXPECT_EQ(record.uFinalSelectedModel, 0);
  EXPECT_EQ(record.lSelectionCriterion, 1);
  EXPECT_EQ(record.uBICSelectedModel, 0);
  EXPECT_EQ(record.uBIC3SelectedModel, 0);
  EXPECT_EQ(record.dSelectionValues[2], 10.0);
  EXPECT_EQ(record.dSelectionValues[3], 200.0);
}

TEST_F(PlaceholdersTest, FinalChoiceOutsideStoredModelsRaisesRangeError) {
  kmCalcData record = TwoModelRecord();
  OneDimensionArray<ColumnVector> values;
  values.SetSize(1);
  values[0].ReSize(kN);
  Matrix mA(kN, kN);
  mA = 0.0;
  const KmException e = km_test::CatchKmException(
      [&] { calc_->SelectFinalModelDDS(&record, 0, 1, 0, 2, &values, &mA); });
  EXPECT_NE(std::string(e.GetMessage()).find("Requested model number:  2"),
            std::string::npos)
      << e.GetMessage();
  EXPECT_EQ(record.uFinalSelectedModel, kmCalcData::kNoModel);
}

}  // namespace
