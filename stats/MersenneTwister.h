// MT19937 uniform random numbers with the generator state inside the object.
#ifndef KM_STATS_MERSENNETWISTER_H
#define KM_STATS_MERSENNETWISTER_H

#include <cstdint>

// MersenneTwister is the MT19937 generator of Matsumoto and Nishimura (1998)
// with the seeding of its first reference implementation (sgenrand: a fill by
// the congruential generator seed = 69069 seed + 1), not the later
// init_genrand. The same seed gives the same sequence as MTRandomGenerator.
//
// The state is public so that it can be handed to an MTRandomGenerator and
// taken back (MTRandomGenerator::SetState(twister.mt, twister.mti), draw,
// GetState(twister.mt, twister.mti)) without breaking the sequence.
// One owner, one thread; no locking.
class MersenneTwister {
 public:
  // Words of state.
  static constexpr int32_t kStateSize = 624;

  // Leaves the generator unseeded (mti = 625); its first genrand seeds it
  // with 4357.
  MersenneTwister();

  // Fills the state from seed and restarts the sequence (mti = 624).
  void sgenrand(uint32_t seed);
  // The next number, y * 2^-32 for the next tempered 32-bit word y: in
  // [0, 1), 0 possible, 1 never. Regenerates the block every 624 draws.
  double genrand();

  // The 624 state words, in index order.
  uint32_t mt[kStateSize];
  // Index of the next word: 0 to 623 words remain; 624 the block is used up;
  // 625 never seeded.
  int32_t mti;
};

#endif  // KM_STATS_MERSENNETWISTER_H
