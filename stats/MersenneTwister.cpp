// MersenneTwister: constructor, sgenrand, genrand.
#include "stats/MersenneTwister.h"

#include "stats/internal/Mt19937Core.h"

static_assert(MersenneTwister::kStateSize == km_stats::kMtN,
              "MT19937 state size");

MersenneTwister::MersenneTwister() : mt{}, mti(km_stats::kMtUnseeded) {}

void MersenneTwister::sgenrand(uint32_t seed) {
  km_stats::MtSeed(mt, seed);
  mti = km_stats::kMtN;
}

double MersenneTwister::genrand() { return km_stats::MtNext(mt, &mti); }
