// MTRandomGenerator: copies, assignment and the hand-over of the state to and
// from a MersenneTwister.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "stats/MTRandomGenerator.h"
#include "stats/MersenneTwister.h"

namespace {

std::vector<double> Draws(MTRandomGenerator& g, int n) {
  std::vector<double> out;
  for (int i = 0; i < n; ++i) out.push_back(g.genrand());
  return out;
}

TEST(MTRandomGenerator, HandOverFromMersenneTwisterContinuesOneSequence) {
  // Reference: one MersenneTwister drawing 1500 numbers.
  MersenneTwister reference;
  reference.sgenrand(12345u);
  std::vector<double> expected;
  for (int i = 0; i < 1500; ++i) expected.push_back(reference.genrand());

  // The same sequence split across the two classes: 100 draws, hand the
  // state over, 800 draws (across a block regeneration), hand it back, 600.
  MersenneTwister twister;
  twister.sgenrand(12345u);
  std::vector<double> actual;
  for (int i = 0; i < 100; ++i) actual.push_back(twister.genrand());
  MTRandomGenerator generator;
  generator.SetState(twister.mt, twister.mti);
  for (double u : Draws(generator, 800)) actual.push_back(u);
  generator.GetState(twister.mt, twister.mti);
  for (int i = 0; i < 600; ++i) actual.push_back(twister.genrand());
  EXPECT_EQ(actual, expected);
}

TEST(MTRandomGenerator, UnseededStateHandsOverAsUnseeded) {
  MersenneTwister twister;
  MTRandomGenerator generator;
  generator.SetState(twister.mt, twister.mti);
  std::vector<uint32_t> state(MTRandomGenerator::kStateSize);
  int32_t index = 0;
  generator.GetState(state.data(), index);
  EXPECT_EQ(index, 625);
  MTRandomGenerator fresh;
  fresh.sgenrand(4357u);
  EXPECT_EQ(generator.genrand(), fresh.genrand());
}

TEST(MTRandomGenerator, AssignedGeneratorsDrawTheSameNumbers) {
  MTRandomGenerator a;
  a.sgenrand(77u);
  Draws(a, 300);
  MTRandomGenerator b;
  b.sgenrand(1u);
  b = a;
  EXPECT_EQ(Draws(a, 1000), Draws(b, 1000));
  // Drawing from one does not move the other.
  Draws(a, 5);
  MTRandomGenerator c;
  c = b;
  EXPECT_EQ(Draws(b, 10), Draws(c, 10));
}

TEST(MTRandomGenerator, SelfAssignmentKeepsTheState) {
  MTRandomGenerator a;
  a.sgenrand(5u);
  MTRandomGenerator copy(a);
  MTRandomGenerator& alias = a;
  a = alias;
  EXPECT_EQ(Draws(a, 700), Draws(copy, 700));
}

TEST(MTRandomGenerator, CopiesOwnTheirState) {
  // A copy must not share the heap array: destroying one and drawing from the
  // other is safe and gives the original sequence.
  MTRandomGenerator original;
  original.sgenrand(31u);
  std::vector<double> expected;
  {
    MTRandomGenerator probe(original);
    expected = Draws(probe, 50);
  }
  {
    MTRandomGenerator copy(original);
    copy.genrand();
  }
  EXPECT_EQ(Draws(original, 50), expected);
}

TEST(MTRandomGenerator, NegativeIndexStartsAFreshBlock) {
  // A state handed in with a negative index made the next draw read before
  // the state array; it now counts as a used-up block.
  MersenneTwister twister;
  twister.sgenrand(8u);
  MTRandomGenerator generator;
  generator.SetState(twister.mt, -3);
  MersenneTwister reference;
  reference.sgenrand(8u);
  EXPECT_EQ(generator.genrand(), reference.genrand());
}

}  // namespace
