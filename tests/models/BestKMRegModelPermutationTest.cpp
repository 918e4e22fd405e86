// Permutation tests between numbers of kinkmarks: the rebuilt responses,
// one test against the R reference driven by the same generator draws, and
// the sequence of tests.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "foundation/KmException.h"
#include "models/BaseKMRegModel.h"
#include "models/BestKMRegModel.h"
#include "tests/models/SelectionTestData.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_selection_test::MadeDraws;
using km_selection_test::SeededGenerator;
using km_selection_test::Vec;
using km_test::RelNear;

// RSS values of the location search against R's lm.wfit: both are direct
// least-squares solutions of small well-conditioned systems.
constexpr double kFitRelTol = 1e-9;

TEST(PermutationDrawTable, IsTheGeneratorsSequence) {
  // The R reference code reads its uniforms from this table; it must be the
  // sequence the tests draw.
  const std::vector<double> draws = km_selection_test::ReadDrawTable();
  ASSERT_EQ(draws.size(), 2000u);
  MTRandomGenerator g = SeededGenerator();
  for (size_t i = 0; i < draws.size(); ++i) {
    ASSERT_EQ(g.genrand(), draws[i]) << "draw " << i + 1;
  }
}

TEST(PermuteResiduals, RebuildsFromShuffledTransformedResiduals) {
  // f = (1, 2, 3, 4), e = (0.5, -1, 2, -3), T = 2 I, B = 0.5 I: the
  // transformed residuals r = T e = (1, -2, 4, -6) are shuffled in place,
  // each column starting from the order the previous one left, and column j
  // is f + B r. By hand, with the draws u of sgenrand(1234) and the swap
  // partner trunc(u (5 - i) + i) of position i = 1..3:
  //   u = .770 .009 .892 -> 4 2 4: r = (-6, -2, 1, 4), column (-2, 1, 3.5, 6)
  //   u = .580 .995 .112 -> 3 4 3: r = (1, 4, -6, -2), column (1.5, 4, 0, 3)
  //   u = .239 .862 .841 -> 1 4 4: r = (1, -2, 4, -6), column (1.5, 1, 5, 1)
  // R: r <- c(1, -2, 4, -6); for (j in 1:3) { r <- fy(r); print(1:4 + 0.5 * r)
  // }
  const NEWMAT::ColumnVector f = Vec({1, 2, 3, 4});
  const NEWMAT::ColumnVector e = Vec({0.5, -1, 2, -3});
  NEWMAT::Matrix T(4, 4);
  NEWMAT::Matrix B(4, 4);
  T = 0.0;
  B = 0.0;
  for (int i = 1; i <= 4; ++i) {
    T(i, i) = 2.0;
    B(i, i) = 0.5;
  }
  MTRandomGenerator g = SeededGenerator();
  NEWMAT::Matrix P;
  BestKMRegModel::permute_Residuals(
      g, P, f, e, T, B, 3, OneDimensionArray<OneDimensionArray<int>>());
  ASSERT_EQ(P.Nrows(), 4);
  ASSERT_EQ(P.Ncols(), 3);
  const double kExpected[3][4] = {
      {-2, 1, 3.5, 6}, {1.5, 4, 0, 3}, {1.5, 1, 5, 1}};
  for (int col = 1; col <= 3; ++col) {
    for (int row = 1; row <= 4; ++row) {
      EXPECT_EQ(P(row, col), kExpected[col - 1][row - 1])
          << "column " << col << " row " << row;
    }
  }
  EXPECT_TRUE(MadeDraws(g, 9));
}

TEST(PermuteResiduals, ShufflesAcrossBlocksWhenThereAreSeveral) {
  // Two blocks of two rows: values move only between rows 1 and 3, and
  // between rows 2 and 4 (one draw per position).
  const NEWMAT::ColumnVector f = Vec({0, 0, 0, 0});
  const NEWMAT::ColumnVector e = Vec({1, 2, 3, 4});
  NEWMAT::Matrix I(4, 4);
  I = 0.0;
  for (int i = 1; i <= 4; ++i) I(i, i) = 1.0;
  OneDimensionArray<OneDimensionArray<int>> blocks;
  blocks.Resize(2);
  blocks[0].Resize(2);
  blocks[1].Resize(2);
  blocks[0][0] = 1;
  blocks[0][1] = 2;
  blocks[1][0] = 3;
  blocks[1][1] = 4;
  MTRandomGenerator g = SeededGenerator();
  NEWMAT::Matrix P;
  BestKMRegModel::permute_Residuals(g, P, f, e, I, I, 5, blocks);
  for (int col = 1; col <= 5; ++col) {
    SCOPED_TRACE(col);
    EXPECT_TRUE((P(1, col) == 1 && P(3, col) == 3) ||
                (P(1, col) == 3 && P(3, col) == 1));
    EXPECT_TRUE((P(2, col) == 2 && P(4, col) == 4) ||
                (P(2, col) == 4 && P(4, col) == 2));
  }
  EXPECT_TRUE(MadeDraws(g, 10));
}

// The fitting data of data set 1 on x = 0..11 (one intercept, p = 2).
KMRegFitMatrices PrepareOneSeries() {
  const KMSeriesSet series = km_selection_test::MakeSeriesSet(
      {km_selection_test::OneSeriesX(0.0)}, {km_selection_test::OneSeriesY()});
  const km_selection_test::Weights w = km_selection_test::DiagonalWeights(
      km_selection_test::OneSeriesVariances());
  KMRegFitMatrices fd;
  fd.weight = w.W;
  fd.covariance = w.V;
  fd.transform = w.T;
  fd.backTransform = w.B;
  BaseKMRegModel::prepare_BaseKMRegModel_FittingData(
      fd, series, OneDimensionArray<NEWMAT::ColumnVector>(),
      NEWMAT::ColumnVector(), false, 1, 0, -1.0, 2, 2, 0, 0);
  return fd;
}

OneDimensionArray<NEWMAT::ColumnVector> OneSeriesXValues() {
  OneDimensionArray<NEWMAT::ColumnVector> x;
  x.Resize(1);
  x[0] = Vec(km_selection_test::OneSeriesX(0.0));
  return x;
}

// The one-kinkmark fit of data set 1 (x = 0..11), from R:
//   b1 <- best(cbind(1, x), x, y, 1/v, 1, 2:9, (1:8) + 3)
//   b1$f; b1$e; b1$rss; best(..., 2, ...)$rss
const std::vector<double> kFitted1 = {
    10.236648936616383, 10.494446137254879, 10.752243337893368,
    11.010040538531857, 11.267837739170345, 11.525634939808832,
    13.006819591126265, 14.488004242443699, 15.969188893761132,
    17.450373545078563, 18.931558196395997, 20.412742847713435};
const std::vector<double> kResiduals1 = {
    0.17335106338361628,  -0.8144461372548788,  0.027756662106630445,
    0.83995946146814238,  -0.39783773917034609, -0.73563493980883199,
    0.51318040887373439,  -0.22800424244369877, 0.90081110623886906,
    -0.51037354507856303, 0.17844180360400119,  -0.29274284771343351};
constexpr double kRSS1 = 2.8169699181930521;
constexpr double kRSS2 = 2.622431512266024;

TEST(RunPermutationTest, AgreesWithRForTheSameDraws) {
  // R: perm_test(cbind(1, x), x, b1$f, b1$e, v, 1, 2, c(b1$rss, b2$rss), 40,
  //              2:9, (1:8) + 3)
  //    -> pPerm 0.85 (34 of 40), F 0.2225473630298116, pF 0.80679990231585796;
  //    39 shuffles of 11 draws each.
  const KMRegFitMatrices fd = PrepareOneSeries();
  MTRandomGenerator g = SeededGenerator();
  KMModelScoreRec score;
  BestKMRegModel::run_PermutationTest(
      g, score, 1, 2, fd, OneSeriesXValues(), Vec(kFitted1), Vec(kResiduals1),
      Vec({kRSS1, kRSS2}), 0.05, 40, 0, 0.05, 0);
  EXPECT_EQ(score.k0, 1);
  EXPECT_EQ(score.k1, 2);
  EXPECT_EQ(score.df1, 2);
  EXPECT_EQ(score.df2, 12 - 2 - 4);
  EXPECT_EQ(score.N, 40);
  EXPECT_EQ(score.alpha, 0.05);
  EXPECT_EQ(score.pPerm, 34.0 / 40.0);
  EXPECT_TRUE(RelNear(score.F, 0.2225473630298116, kFitRelTol));
  EXPECT_TRUE(RelNear(score.pF, 0.80679990231585796, km_test::kSearchRelTol));
  EXPECT_TRUE(score.retained);
  EXPECT_EQ(score.selected, 1);
  EXPECT_TRUE(MadeDraws(g, 39 * 11));
}

TEST(RunPermutationTest, OneDataSetRetainsTheSmallerModel) {
  // N = 1: no permutation, pPerm = 1 and no draw is made; F and its
  // probability still come from the observed sums of squares.
  const KMRegFitMatrices fd = PrepareOneSeries();
  MTRandomGenerator g = SeededGenerator();
  KMModelScoreRec score;
  BestKMRegModel::run_PermutationTest(g, score, 1, 2, fd, OneSeriesXValues(),
                                      Vec(kFitted1), Vec(kResiduals1),
                                      Vec({kRSS1, kRSS2}), 0.99, 1, 0, 0.05, 0);
  EXPECT_EQ(score.pPerm, 1.0);
  EXPECT_TRUE(score.retained);
  EXPECT_EQ(score.selected, 1);
  EXPECT_TRUE(RelNear(score.F, (kRSS1 / kRSS2 - 1.0) * 6.0 / 2.0, 1e-15));
  EXPECT_TRUE(MadeDraws(g, 0));
}

TEST(RunPermutationTest, ModelWithMoreKinkmarksThanCandidatesNeverWins) {
  // Eight candidates hold at most three kinkmarks. A larger model is not
  // fitted: its RSS is +infinity for every data set, every ratio is 0, and
  // the smaller model is retained (no index error on the missing sums).
  const KMRegFitMatrices fd = PrepareOneSeries();
  MTRandomGenerator g = SeededGenerator();
  KMModelScoreRec score;
  const double inf = std::numeric_limits<double>::infinity();
  BestKMRegModel::run_PermutationTest(g, score, 1, 9, fd, OneSeriesXValues(),
                                      Vec(kFitted1), Vec(kResiduals1),
                                      Vec({kRSS1, inf}), 0.05, 10, 0, 0.05, 0);
  EXPECT_EQ(score.pPerm, 1.0);
  EXPECT_TRUE(score.retained);
  EXPECT_EQ(score.selected, 1);
}

TEST(RunPermutationTest, NoDataSetIsRefused) {
  // Fault: N = 0 gave pPerm = 0 / 0 (NaN), which never exceeds alpha, so
  // the larger model always won.
  const KMRegFitMatrices fd = PrepareOneSeries();
  MTRandomGenerator g = SeededGenerator();
  KMModelScoreRec score;
  testing::internal::CaptureStdout();
  EXPECT_THROW(BestKMRegModel::run_PermutationTest(
                   g, score, 1, 2, fd, OneSeriesXValues(), Vec(kFitted1),
                   Vec(kResiduals1), Vec({kRSS1, kRSS2}), 0.05, 0, 0, 0.05, 0),
               KmException);
  testing::internal::GetCapturedStdout();
}

TEST(RunPermutationTests, EqualBoundsRunNoTest) {
  const KMRegFitMatrices fd = PrepareOneSeries();
  MTRandomGenerator g = SeededGenerator();
  OneDimensionArray<KMModelScoreRec> scores;
  OneDimensionArray<NEWMAT::ColumnVector> fitted;
  fitted.Resize(1);
  fitted[0] = Vec(kFitted1);
  OneDimensionArray<NEWMAT::ColumnVector> residuals;
  residuals.Resize(1);
  residuals[0] = Vec(kResiduals1);
  EXPECT_EQ(BestKMRegModel::run_PermutationTests(
                g, scores, fd, OneSeriesXValues(), fitted, residuals,
                Vec({kRSS1}), 1, 1, 0.05, 40, 0, 0.05, 0),
            1);
  EXPECT_EQ(scores.GetSize(), 0);
  EXPECT_TRUE(MadeDraws(g, 0));
}

TEST(RunPermutationTests, SplitsTheLevelAmongTheNumbersLeft) {
  // With N = 1 every test retains the smaller model, so the sequence is
  // (0, 3), (0, 2), (0, 1) at the levels alpha/3 each (lo stays 0), and the
  // result is 0. The sums of squares only feed F.
  const KMRegFitMatrices fd = PrepareOneSeries();
  MTRandomGenerator g = SeededGenerator();
  OneDimensionArray<KMModelScoreRec> scores;
  OneDimensionArray<NEWMAT::ColumnVector> fitted;
  OneDimensionArray<NEWMAT::ColumnVector> residuals;
  fitted.Resize(4);
  residuals.Resize(4);
  for (int i = 0; i < 4; ++i) {
    fitted[i] = Vec(kFitted1);
    residuals[i] = Vec(kResiduals1);
  }
  EXPECT_EQ(BestKMRegModel::run_PermutationTests(
                g, scores, fd, OneSeriesXValues(), fitted, residuals,
                Vec({4.0, 3.0, 2.0, 1.0}), 3, 0, 0.3, 1, 0, 0.05, 0),
            0);
  ASSERT_EQ(scores.GetSize(), 3);
  const int kHi[] = {3, 2, 1};
  for (int t = 0; t < 3; ++t) {
    SCOPED_TRACE(t);
    EXPECT_EQ(scores[t].k0, 0);
    EXPECT_EQ(scores[t].k1, kHi[t]);
    EXPECT_DOUBLE_EQ(scores[t].alpha, 0.1);
    EXPECT_TRUE(scores[t].retained);
  }
}

}  // namespace
