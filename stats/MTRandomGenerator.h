// MT19937 uniform random numbers with the generator state on the heap.
#ifndef KM_STATS_MTRANDOMGENERATOR_H
#define KM_STATS_MTRANDOMGENERATOR_H

#include <cstdint>
#include <memory>

// MTRandomGenerator is the same generator as MersenneTwister (MT19937 with the
// 1998 sgenrand seeding), giving the same sequence from the same seed, with
// its 624 state words in an owned heap array. It can be copied and assigned
// (copies continue the same sequence independently), and it hands out and
// takes back its state in the layout of a MersenneTwister, so a sequence can
// move between the two classes without a break.
// One owner, one thread; no locking.
class MTRandomGenerator {
 public:
  // Words of state.
  static constexpr int32_t kStateSize = 624;

  // Allocates the state array and leaves the generator unseeded (mti = 625).
  // Throws: std::bad_alloc when the array cannot be allocated.
  MTRandomGenerator();
  // A generator with a copy of other's state. Throws as the constructor.
  MTRandomGenerator(const MTRandomGenerator& other);
  // Copies other's 624 words and index, allocating the array when this
  // object has none. Throws as the constructor. Returns this object.
  MTRandomGenerator& operator=(const MTRandomGenerator& other);
  // Releases the state array.
  ~MTRandomGenerator();

  // Copies the 624 words of pState in and sets the index to iIndex.
  // REQUIRES: pState points to 624 words. Throws as the constructor.
  void SetState(const uint32_t* pState, int32_t iIndex);
  // Copies the 624 words out to pState and the index to iIndex.
  // REQUIRES: pState points to room for 624 words.
  void GetState(uint32_t* pState, int32_t& iIndex) const;

  // Fills the state from seed and restarts the sequence (index 624).
  void sgenrand(uint32_t seed);
  // The next number in [0, 1); see MersenneTwister::genrand.
  double genrand();

 private:
  // Allocates mt when it is missing, reporting a failure as described above.
  void EnsureState();

  std::unique_ptr<uint32_t[]> mt;
  int32_t mti;
};

#endif  // KM_STATS_MTRANDOMGENERATOR_H
