// Residual shuffles: the exact permutations and draw counts for a seed.
//
// Expected permutations come from R 4.2.2, whose Mersenne-Twister gives the
// same uniform numbers as sgenrand(4357) once its index is set to 625, with
// the shuffles written out independently in R:
//
//   RNGkind("Mersenne-Twister", "Inversion", "Rejection"); set.seed(1)
//   s <- .Random.seed; s[2] <- 625L; .Random.seed <- s; u <- runif(200)
//   k <- 0
//   draw <- function(lo, hi) { k <<- k + 1; trunc(u[k] * (hi - lo + 1) + lo) }
//   fy <- function(v) { n <- length(v); if (n > 1) for (i in 1:(n-1)) {
//     j <- draw(i, n); t <- v[i]; v[i] <- v[j]; v[j] <- t }; v }
//   across <- function(v, blocks) { m <- min(sapply(blocks, length)); r <- v
//     for (p in seq_len(m)) { rows <- sapply(blocks, function(b) b[p])
//       r[rows] <- fy(v[rows]) }; r }
//
// (k is reset to 0 before each case.)
#include <gtest/gtest.h>

#include <vector>

#include "models/Shuffles.h"
#include "tests/models/UtilityTestHelpers.h"

namespace {

using km_test::ToVector;
using km_test::Vec;

constexpr uint32_t kSeed = 4357u;

MTRandomGenerator Seeded() {
  MTRandomGenerator g;
  g.sgenrand(kSeed);
  return g;
}

// True when `used` has made exactly `draws` draws since it was a copy of
// `fresh` (fresh is advanced by the comparison).
bool MadeDraws(MTRandomGenerator& used, MTRandomGenerator& fresh, int draws) {
  for (int i = 0; i < draws; ++i) fresh.genrand();
  return used.genrand() == fresh.genrand();
}

TEST(DrawRandomIndex, TruncatesOneDrawIntoTheRange) {
  // R: sapply(1:6, function(i) draw(1, 10))
  MTRandomGenerator g = Seeded();
  const int kExpected[] = {7, 4, 8, 7, 6, 9};
  for (int expected : kExpected)
    EXPECT_EQ(draw_RandomIndex(g, 1, 10), expected);
  MTRandomGenerator fresh = Seeded();
  EXPECT_TRUE(MadeDraws(g, fresh, 6));
}

TEST(ShuffleColumnVector, GivesTheReferencePermutation) {
  // R: fy(c(10, 20, 30, 40, 50, 60, 70))
  MTRandomGenerator g = Seeded();
  NEWMAT::ColumnVector v = Vec({10, 20, 30, 40, 50, 60, 70});
  shuffle_ColumnVector(g, v);
  EXPECT_EQ(ToVector(v), (std::vector<double>{50, 40, 60, 30, 20, 70, 10}));
  MTRandomGenerator fresh = Seeded();
  EXPECT_TRUE(MadeDraws(g, fresh, 6));
}

TEST(ShuffleColumnVector, RepeatedShufflesAccumulate) {
  // R: a <- fy(c(10, 20, 30, 40, 50, 60, 70)); fy(a)
  MTRandomGenerator g = Seeded();
  NEWMAT::ColumnVector v = Vec({10, 20, 30, 40, 50, 60, 70});
  shuffle_ColumnVector(g, v);
  shuffle_ColumnVector(g, v);
  EXPECT_EQ(ToVector(v), (std::vector<double>{40, 10, 60, 50, 20, 30, 70}));
}

TEST(ShuffleColumnVector, ShortVectorsAreLeftAloneWithoutDraws) {
  for (int n : {0, 1}) {
    SCOPED_TRACE(n);
    MTRandomGenerator g = Seeded();
    NEWMAT::ColumnVector v =
        Vec(std::vector<double>(static_cast<size_t>(n), 4.5));
    shuffle_ColumnVector(g, v);
    EXPECT_EQ(ToVector(v), std::vector<double>(static_cast<size_t>(n), 4.5));
    MTRandomGenerator fresh = Seeded();
    EXPECT_TRUE(MadeDraws(g, fresh, 0));
  }
}

TEST(ShuffleAcrossBlocks, GivesTheReferencePermutations) {
  struct Case {
    const char* what;
    std::vector<double> values;
    std::vector<std::vector<int>> blocks;
    std::vector<double> expected;
    int draws;
  };
  const Case kCases[] = {
      // R: across(1:18, list(1:5, 6:12, 13:18)). Positions 1 to 5 are
      // shuffled among the three blocks; rows 11, 12 and 18 keep their
      // values.
      {"blocks of 5, 7 and 6",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18},
       {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18}},
       {13, 14, 8, 4, 5, 6, 2, 15, 16, 17, 11, 12, 1, 7, 3, 9, 10, 18},
       5 * 2},
      // R: across(c(11, 12, 13, 14, 15, 16), list(c(6, 1), c(2, 5, 3), 4))
      {"rows in any order",
       {11, 12, 13, 14, 15, 16},
       {{6, 1}, {2, 5, 3}, {4}},
       {11, 12, 13, 16, 15, 14},
       1 * 2},
      {"one block", {1, 2, 3}, {{1, 2, 3}}, {1, 2, 3}, 0},
      {"an empty block", {1, 2, 3}, {{1, 2}, {}, {3}}, {1, 2, 3}, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    MTRandomGenerator g = Seeded();
    NEWMAT::ColumnVector v = Vec(c.values);
    shuffle_AcrossBlocks(g, v, km_test::IntArrays(c.blocks));
    EXPECT_EQ(ToVector(v), c.expected);
    MTRandomGenerator fresh = Seeded();
    EXPECT_TRUE(MadeDraws(g, fresh, c.draws));
  }
}

TEST(ShuffleAcrossBlocks, BadRowLeavesTheVectorUnchanged) {
  MTRandomGenerator g = Seeded();
  NEWMAT::ColumnVector v = Vec({1, 2, 3, 4});
  // Position 1 is fine; position 2 names row 9 of a 4-row vector.
  EXPECT_THROW(shuffle_AcrossBlocks(g, v, km_test::IntArrays({{1, 2}, {3, 9}})),
               NEWMAT::Logic_error);
  EXPECT_EQ(ToVector(v), (std::vector<double>{1, 2, 3, 4}));
}

TEST(ShuffleAcrossBlocks, NoBlocksRaiseTheMatrixError) {
  MTRandomGenerator g = Seeded();
  NEWMAT::ColumnVector v = Vec({1, 2});
  EXPECT_THROW(shuffle_AcrossBlocks(g, v, km_test::IntArrays({})),
               NEWMAT::Logic_error);
  EXPECT_EQ(ToVector(v), (std::vector<double>{1, 2}));
}

}  // namespace
