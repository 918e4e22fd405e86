// MTRandomGenerator: construction, copying, state hand-over, sgenrand,
// genrand.
#include "stats/MTRandomGenerator.h"

#include <algorithm>

#include "stats/internal/Mt19937Core.h"

static_assert(MTRandomGenerator::kStateSize == km_stats::kMtN,
              "MT19937 state size");

MTRandomGenerator::MTRandomGenerator() : mti(km_stats::kMtUnseeded) {
  EnsureState();
}

MTRandomGenerator::MTRandomGenerator(const MTRandomGenerator& other)
    : mti(other.mti) {
  EnsureState();
  std::copy(other.mt.get(), other.mt.get() + kStateSize, mt.get());
}

MTRandomGenerator& MTRandomGenerator::operator=(
    const MTRandomGenerator& other) {
  if (this != &other) SetState(other.mt.get(), other.mti);
  return *this;
}

MTRandomGenerator::~MTRandomGenerator() = default;

void MTRandomGenerator::EnsureState() {
  if (mt) return;
  // An allocation failure passes on to the caller as std::bad_alloc.
  mt.reset(new uint32_t[kStateSize]());
}

void MTRandomGenerator::SetState(const uint32_t* pState, int32_t iIndex) {
  EnsureState();
  std::copy(pState, pState + kStateSize, mt.get());
  mti = iIndex;
}

void MTRandomGenerator::GetState(uint32_t* pState, int32_t& iIndex) const {
  std::copy(mt.get(), mt.get() + kStateSize, pState);
  iIndex = mti;
}

void MTRandomGenerator::sgenrand(uint32_t seed) {
  km_stats::MtSeed(mt.get(), seed);
  mti = km_stats::kMtN;
}

double MTRandomGenerator::genrand() { return km_stats::MtNext(mt.get(), &mti); }
