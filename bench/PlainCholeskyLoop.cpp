#include "bench/PlainCholeskyLoop.h"

#include <algorithm>
#include <cmath>
#include <utility>

PlainCholeskyLoop::PlainCholeskyLoop(int k, int K, std::vector<double> xwx,
                                     std::vector<double> xwy, double ywy,
                                     std::vector<int> next)
    : k_(k),
      K_(K),
      xwx_(std::move(xwx)),
      xwy_(std::move(xwy)),
      ywy_(ywy),
      next_(std::move(next)) {}

double PlainCholeskyLoop::Run() {
  best_ = 1e50;
  cols_[0] = 1;
  cols_[1] = 2;
  Place(0, 1);
  return best_;
}

void PlainCholeskyLoop::Place(int iLevel, int iFirst) {
  if (iLevel == k_) {
    Fit();
    return;
  }
  for (int c = iFirst; c <= K_; ++c) {
    cols_[iLevel + 2] = c + 2;
    Place(iLevel + 1, std::max(next_[c - 1], c + 1));
  }
}

void PlainCholeskyLoop::Fit() {
  const int p = k_ + 2;
  const int iCols = K_ + 2;
  double l[16 * 16];
  double b[16];
  for (int i = 0; i < p; ++i) {
    const double* pRow = &xwx_[(cols_[i] - 1) * iCols];
    for (int j = 0; j <= i; ++j) l[i * p + j] = pRow[cols_[j] - 1];
    b[i] = xwy_[cols_[i] - 1];
  }
  // A = L L', then L z = b; b'A^-1 b = z'z.
  double dFit = 0.0;
  for (int i = 0; i < p; ++i) {
    for (int j = 0; j <= i; ++j) {
      double dSum = l[i * p + j];
      for (int m = 0; m < j; ++m) dSum -= l[i * p + m] * l[j * p + m];
      l[i * p + j] = i == j ? std::sqrt(dSum) : dSum / l[j * p + j];
    }
    double dZ = b[i];
    for (int m = 0; m < i; ++m) dZ -= l[i * p + m] * b[m];
    b[i] = dZ / l[i * p + i];
    dFit += b[i] * b[i];
  }
  const double dSse = ywy_ - dFit;
  if (dSse < best_) best_ = dSse;
}
