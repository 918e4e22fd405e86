// Random permutations of residual vectors for the permutation tests, with a
// fixed sequence of generator draws so that a seed reproduces a run.
//
// Each routine draws only from the generator it is given (one
// MTRandomGenerator::genrand call per index) and touches nothing else. The
// generator belongs to the caller's fit and must not be shared between
// threads.
#ifndef KM_MODELS_SHUFFLES_H
#define KM_MODELS_SHUFFLES_H

#include <newmat.h>

#include "foundation/OneDimensionArray.h"
#include "stats/MTRandomGenerator.h"

// Returns trunc(u * (hi - lo + 1) + lo) for u the next generator draw in
// [0, 1), computed in double precision: for 0 <= lo <= hi a uniform integer
// in [lo, hi]. Exactly one draw.
int draw_RandomIndex(MTRandomGenerator& generator, int lo, int hi);

// Shuffles v in place by the forward Fisher-Yates method: for i = 1 .. n-1,
// j = draw_RandomIndex(generator, i, n) and v(i) and v(j) are exchanged.
// Exactly n - 1 draws (none for n <= 1).
// A KmException passing it collects a "Standard exception: <text>" report,
// which the driver writes to standard output.
void shuffle_ColumnVector(MTRandomGenerator& generator,
                          NEWMAT::ColumnVector& v);

// Shuffles v in place across blocks: values move only between observations
// that hold the same position inside their blocks. blocks[b][p] is the
// 1-based row in v of the (p+1)-th observation of block b. With B blocks and
// m the size of the smallest one, for each position p = 1..m in turn the B
// values at that position (read from v as given) are shuffled by
// shuffle_ColumnVector and written back to the same rows. Positions beyond
// m keep their values. Exactly m (B - 1) draws.
// Throws the matrix library's error when there are no blocks, and its index
// error when a row lies outside v; v is then unchanged. A KmException passing
// it collects a "Standard exception: <text>" report, which the driver writes
// to standard output.
void shuffle_AcrossBlocks(
    MTRandomGenerator& generator, NEWMAT::ColumnVector& v,
    const OneDimensionArray<OneDimensionArray<int>>& blocks);

#endif  // KM_MODELS_SHUFFLES_H
