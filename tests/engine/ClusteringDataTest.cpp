// Tests of the clustering data classes: their start values, deep copies and
// clear.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine/KMClusterFitSet.h"
#include "engine/KMClusterMatrixBlock.h"
#include "engine/KMClusterResampleState.h"
#include "engine/KMClusterScores.h"
#include "engine/KMClusteringSetup.h"
#include "foundation/OneDimensionArray.h"

namespace {

void ExpectDefaultEtaGrid(const NEWMAT::ColumnVector& grid) {
  ASSERT_EQ(grid.Nrows(), 4);
  EXPECT_DOUBLE_EQ(grid(1), 0.5);
  EXPECT_DOUBLE_EQ(grid(2), 1.0);
  EXPECT_DOUBLE_EQ(grid(3), 1.5);
  EXPECT_DOUBLE_EQ(grid(4), 2.0);
}

TEST(KMClusterScores, FreshRecordLosesToAnyFiniteValue) {
  // Also for the elements of a freshly sized array, which the clustering
  // fills by index.
  OneDimensionArray<KMClusterScores> scores;
  scores.Resize(3);
  const KMClusterScores fresh;
  const KMClusterScores* kRecords[] = {&fresh, &scores[0], &scores[2]};
  for (const KMClusterScores* s : kRecords) {
    EXPECT_TRUE(std::isinf(s->criterionValue));
    EXPECT_GT(s->criterionValue, std::numeric_limits<double>::max());
    EXPECT_EQ(s->groupLists.GetSize(), 0);
    EXPECT_EQ(s->fitSets.GetSize(), 0);
    EXPECT_EQ(s->scores.Nrows(), 0);
  }
}

TEST(ClusteringData, SetupAndMatrixBlockStartWithTheEtaGrid) {
  const KMClusteringSetup setup;
  const KMClusterMatrixBlock block;
  {
    SCOPED_TRACE("setup");
    ExpectDefaultEtaGrid(setup.etaGrid);
  }
  {
    SCOPED_TRACE("matrix block");
    ExpectDefaultEtaGrid(block.etaGrid);
  }
}

TEST(KMClusteringSetup, DefaultsAndTheirRestore) {
  KMClusteringSetup setup;
  setup.counter = 5;
  setup.value = 2.5;
  setup.criterionLabel = "KBIC-CBIC";
  setup.groupOrder = "unordered";
  setup.maxClusters = 4;
  setup.etaGrid.ReSize(1);
  setup.subsetLevel = 0.01;
  setup.secondLevel = 0.1;
  const KMClusteringSetup fresh;
  setup.setDefaults();
  const KMClusteringSetup* kSetups[] = {&fresh, &setup};
  for (const KMClusteringSetup* s : kSetups) {
    SCOPED_TRACE(s == &fresh ? "constructed" : "setDefaults");
    EXPECT_EQ(s->counter, 0);
    EXPECT_DOUBLE_EQ(s->value, 0.0);
    EXPECT_STREQ(s->criterionLabel.GetCString(), "KPerm-CBIC");
    EXPECT_STREQ(s->groupOrder.GetCString(), "ordered");
    EXPECT_EQ(s->maxClusters, 1);
    ExpectDefaultEtaGrid(s->etaGrid);
    EXPECT_DOUBLE_EQ(s->subsetLevel, 0.05);
    EXPECT_DOUBLE_EQ(s->secondLevel, 0.05);
  }
}

TEST(KMClusterFitSet, StartValuesAndDeepCopy) {
  KMClusterFitSet original;
  EXPECT_EQ(original.kMin, 0);
  EXPECT_EQ(original.kMax, 0);
  EXPECT_EQ(original.commonK, -1);
  EXPECT_EQ(original.fits.GetSize(), 0);
  EXPECT_EQ(original.criterionValues.Nrows(), 0);

  original.kMin = 0;
  original.kMax = 3;
  original.commonK = 2;
  original.fits.Resize(3);
  original.fits[1].selectedK = 2;
  original.criterionValues.ReSize(3);
  original.criterionValues = 1.25;
  original.generator.sgenrand(4357u);
  original.generator.genrand();

  KMClusterFitSet copy(original);
  KMClusterFitSet assigned;
  assigned = original;
  const double next = original.generator.genrand();
  // Changing the original afterwards leaves the copies alone.
  original.fits[1].selectedK = 0;
  original.criterionValues(2) = -1.0;
  KMClusterFitSet* kCopies[] = {&copy, &assigned};
  for (KMClusterFitSet* c : kCopies) {
    SCOPED_TRACE(c == &copy ? "copy" : "assignment");
    EXPECT_EQ(c->kMax, 3);
    EXPECT_EQ(c->commonK, 2);
    ASSERT_EQ(c->fits.GetSize(), 3);
    EXPECT_EQ(c->fits[1].selectedK, 2);
    ASSERT_EQ(c->criterionValues.Nrows(), 3);
    EXPECT_DOUBLE_EQ(c->criterionValues(2), 1.25);
    EXPECT_DOUBLE_EQ(c->generator.genrand(), next);
  }
}

TEST(KMClusterFitSet, ClearFreesContainersAndKeepsTheInts) {
  KMClusterFitSet set;
  set.kMax = 2;
  set.commonK = 1;
  set.fits.Resize(2);
  set.criterionValues.ReSize(2);
  set.clear();
  EXPECT_EQ(set.fits.GetSize(), 0);
  EXPECT_EQ(set.criterionValues.Nrows(), 0);
  EXPECT_EQ(set.kMax, 2);
  EXPECT_EQ(set.commonK, 1);
}

TEST(KMClusterScores, CopyIsDeepAndClearKeepsTheValue) {
  KMClusterScores scores;
  scores.groupLists.Resize(2);
  scores.groupLists[0].Resize(1);
  scores.groupLists[0][0] = 4;
  scores.fitSets.Resize(2);
  scores.fitSets[1].commonK = 3;
  scores.scores.ReSize(2);
  scores.scores = 0.5;
  scores.criterionValue = 12.0;

  OneDimensionArray<KMClusterScores> array;
  array.Resize(1);
  array[0] = scores;
  const OneDimensionArray<KMClusterScores> copy(array);
  scores.clear();
  EXPECT_EQ(scores.groupLists.GetSize(), 0);
  EXPECT_EQ(scores.fitSets.GetSize(), 0);
  EXPECT_EQ(scores.scores.Nrows(), 0);
  EXPECT_DOUBLE_EQ(scores.criterionValue, 12.0);
  const OneDimensionArray<KMClusterScores>* kArrays[] = {&array, &copy};
  for (const OneDimensionArray<KMClusterScores>* a : kArrays) {
    const KMClusterScores& s = (*a)[0];
    EXPECT_EQ(s.groupLists[0][0], 4);
    EXPECT_EQ(s.fitSets[1].commonK, 3);
    EXPECT_DOUBLE_EQ(s.scores(2), 0.5);
    EXPECT_DOUBLE_EQ(s.criterionValue, 12.0);
  }
  scores.init();
  EXPECT_TRUE(std::isinf(scores.criterionValue));
}

TEST(KMClusterResampleState, StartValuesAndClear) {
  KMClusterResampleState state;
  EXPECT_EQ(state.chosenK, 0);
  EXPECT_EQ(state.zeroCriterion, 0);
  ExpectDefaultEtaGrid(state.matrixBlock.etaGrid);

  state.scores.Resize(2);
  state.fitSets.Resize(3);
  state.scoreRecords.Resize(1);
  state.criterionValues.ReSize(2);
  state.matrixBlock.matrix4.ReSize(2, 2);
  state.matrixBlock.intArrays.Resize(1);
  state.chosenK = 2;
  const KMClusterResampleState copy(state);
  state.clear();
  EXPECT_EQ(state.scores.GetSize(), 0);
  EXPECT_EQ(state.fitSets.GetSize(), 0);
  EXPECT_EQ(state.scoreRecords.GetSize(), 0);
  EXPECT_EQ(state.criterionValues.Nrows(), 0);
  EXPECT_EQ(state.matrixBlock.matrix4.Nrows(), 0);
  EXPECT_EQ(state.matrixBlock.etaGrid.Nrows(), 0);
  EXPECT_EQ(state.matrixBlock.intArrays.GetSize(), 0);
  EXPECT_EQ(state.chosenK, 2);
  EXPECT_EQ(copy.scores.GetSize(), 2);
  EXPECT_EQ(copy.fitSets.GetSize(), 3);
  EXPECT_EQ(copy.matrixBlock.matrix4.Nrows(), 2);
  state.init();
  EXPECT_EQ(state.chosenK, 0);
}

}  // namespace
