// draw_RandomIndex, shuffle_ColumnVector, shuffle_AcrossBlocks.
#include "models/Shuffles.h"

#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

namespace {

// The Fisher-Yates pass of shuffle_ColumnVector, without its catch block so
// that shuffle_AcrossBlocks reports a failure once.
void ShuffleInPlace(MTRandomGenerator& generator, NEWMAT::ColumnVector& v) {
  const int n = v.Nrows();
  for (int i = 1; i <= n - 1; ++i) {
    const int j = draw_RandomIndex(generator, i, n);
    const double dSwap = v(i);
    v(i) = v(j);
    v(j) = dSwap;
  }
}

}  // namespace

int draw_RandomIndex(MTRandomGenerator& generator, int lo, int hi) {
  const double u = generator.genrand();
  // Differences taken in double so that no int arithmetic can overflow.
  const double dCount = static_cast<double>(hi) - static_cast<double>(lo) + 1.0;
  return static_cast<int>(u * dCount + static_cast<double>(lo));
}

void shuffle_ColumnVector(MTRandomGenerator& generator,
                          NEWMAT::ColumnVector& v) {
  WithStandardCatch([&]() { ShuffleInPlace(generator, v); });
}

void shuffle_AcrossBlocks(
    MTRandomGenerator& generator, NEWMAT::ColumnVector& v,
    const OneDimensionArray<OneDimensionArray<int>>& blocks) {
  WithStandardCatch([&]() {
    const int iBlocks = blocks.GetSize();
    NEWMAT::ColumnVector sizes(iBlocks);
    for (int b = 1; b <= iBlocks; ++b) sizes(b) = blocks[b - 1].GetSize();
    // Minimum() of no blocks raises the matrix library's error before
    // anything moves.
    const int iPositions = static_cast<int>(sizes.Minimum());

    NEWMAT::ColumnVector result = v;
    NEWMAT::ColumnVector atPosition(iBlocks);
    for (int p = 1; p <= iPositions; ++p) {
      for (int b = 1; b <= iBlocks; ++b) {
        atPosition(b) = v(blocks[b - 1][p - 1]);
      }
      ShuffleInPlace(generator, atPosition);
      for (int b = 1; b <= iBlocks; ++b) {
        result(blocks[b - 1][p - 1]) = atPosition(b);
      }
    }
    v = result;
  });
}
