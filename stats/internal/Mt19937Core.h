// The MT19937 steps shared by MersenneTwister and MTRandomGenerator: the
// 1998 seeding by the 69069 congruential generator, the block regeneration
// and the tempering.
#ifndef KM_STATS_INTERNAL_MT19937CORE_H
#define KM_STATS_INTERNAL_MT19937CORE_H

#include <cstdint>

namespace km_stats {

// Words of generator state.
constexpr int32_t kMtN = 624;
// Middle word offset of the recurrence.
constexpr int32_t kMtM = 397;
// Index value of a generator that has never been seeded.
constexpr int32_t kMtUnseeded = kMtN + 1;
// Seed an unseeded generator uses at its first draw.
constexpr uint32_t kMtDefaultSeed = 4357u;
// 2^-32: maps a 32-bit word onto [0, 1).
constexpr double kMtScale = 2.3283064365386963e-10;

// Fills mt[0..623] from seed: each word takes the high halves of two
// successive values of seed = 69069 seed + 1 (mod 2^32).
inline void MtSeed(uint32_t* mt, uint32_t seed) {
  for (int32_t i = 0; i < kMtN; ++i) {
    mt[i] = seed & 0xffff0000u;
    seed = 69069u * seed + 1u;
    mt[i] |= (seed & 0xffff0000u) >> 16;
    seed = 69069u * seed + 1u;
  }
}

// Regenerates the whole block of 624 words.
inline void MtRegenerate(uint32_t* mt) {
  static constexpr uint32_t mag01[2] = {0x0u, 0x9908b0dfu};
  constexpr uint32_t kUpper = 0x80000000u;
  constexpr uint32_t kLower = 0x7fffffffu;
  int32_t kk = 0;
  for (; kk < kMtN - kMtM; ++kk) {
    const uint32_t y = (mt[kk] & kUpper) | (mt[kk + 1] & kLower);
    mt[kk] = mt[kk + kMtM] ^ (y >> 1) ^ mag01[y & 0x1u];
  }
  for (; kk < kMtN - 1; ++kk) {
    const uint32_t y = (mt[kk] & kUpper) | (mt[kk + 1] & kLower);
    mt[kk] = mt[kk + (kMtM - kMtN)] ^ (y >> 1) ^ mag01[y & 0x1u];
  }
  const uint32_t y = (mt[kMtN - 1] & kUpper) | (mt[0] & kLower);
  mt[kMtN - 1] = mt[kMtM - 1] ^ (y >> 1) ^ mag01[y & 0x1u];
}

// The next number in [0, 1) from state (mt, mti); seeds with 4357 when the
// generator was never seeded and regenerates the block when it is used up.
// A negative index (only a state handed in from outside can hold one) counts
// as a used-up block rather than reading before the array.
inline double MtNext(uint32_t* mt, int32_t* mti) {
  if (*mti >= kMtN || *mti < 0) {
    if (*mti == kMtUnseeded) MtSeed(mt, kMtDefaultSeed);
    MtRegenerate(mt);
    *mti = 0;
  }
  uint32_t y = mt[(*mti)++];
  y ^= (y >> 11);
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= (y >> 18);
  return static_cast<double>(y) * kMtScale;
}

}  // namespace km_stats

#endif  // KM_STATS_INTERNAL_MT19937CORE_H
