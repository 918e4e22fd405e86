// The yardstick of the placement benchmark: a plain loop that fits every
// placement of k kinkmarks by Cholesky, on plain arrays. It has a source
// file of its own so that it can be built at the flags that make it fastest
// (bench/CMakeLists.txt), not at the project's.
#ifndef KM_BENCH_PLAINCHOLESKYLOOP_H
#define KM_BENCH_PLAINCHOLESKYLOOP_H

#include <vector>

// The same enumeration of placements as the searches, each fitted by a plain
// Cholesky solve of its (k + 2) x (k + 2) system gathered by index from
// precomputed cross products, with its residual sum Y'WY - b'X'WY. No
// aliased columns, no library objects.
class PlainCholeskyLoop {
 public:
  // xwx: the (K + 2) x (K + 2) cross products X'WX of the intercept, the
  // slope and the K candidates, row by row; xwy: X'WY; ywy: Y'WY; next: for
  // each candidate (1-based, in order) the first candidate that may follow
  // it. REQUIRES: 1 <= k <= 14, xwx.size() == (K + 2)^2, xwy.size() == K + 2,
  // next.size() == K.
  PlainCholeskyLoop(int k, int K, std::vector<double> xwx,
                    std::vector<double> xwy, double ywy, std::vector<int> next);

  // The smallest residual sum over every placement.
  double Run();

 private:
  void Place(int iLevel, int iFirst);
  void Fit();

  int k_;
  int K_;
  std::vector<double> xwx_;
  std::vector<double> xwy_;
  double ywy_;
  std::vector<int> next_;
  int cols_[16] = {};
  double best_ = 0.0;
};

#endif  // KM_BENCH_PLAINCHOLESKYLOOP_H
