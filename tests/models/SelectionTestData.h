// Reference data sets of the best-model fit and permutation test suites,
// and the table of generator draws that drives their R reference code.
//
// The R reference code (R 4.x, package MASS) shared by the suites; each
// test names the function call that gave its numbers.
//
//   u <- scan("tests/fixtures/models/mt19937_sgenrand_1234.txt"); pos <- 0
//   draw <- function(lo, hi) { pos <<- pos + 1; trunc(u[pos] * (hi - lo + 1) +
//   lo) } fy <- function(v) { n <- length(v); if (n > 1) for (i in 1:(n - 1)) {
//     j <- draw(i, n); t <- v[i]; v[i] <- v[j]; v[j] <- t }; v }
//   # admissible placements: T(1) >= 1, T(i) >= max(L[T(i-1)], T(i-1)+1), T(k)
//   <= m placements <- function(k, m, L) {
//     if (k == 0) return(list(integer(0))); out <- list()
//     rec <- function(pre) { d <- length(pre)
//       if (d == k) { out[[length(out) + 1]] <<- pre; return(invisible()) }
//       s <- if (d == 0) 1 else max(L[pre[d]], pre[d] + 1)
//       if (s <= m) for (t in s:m) rec(c(pre, t)) }
//     rec(integer(0)); out }
//   design <- function(base, x, tau) { X <- base
//     for (t in tau) X <- cbind(X, pmax(x - t, 0)); X }
//   best <- function(base, x, y, w, k, grid, L) { b <- list(rss = Inf)
//     for (pl in placements(k, length(grid), L)) {
//       X <- design(base, x, grid[pl]); fit <- lm.wfit(X, y, w)
//       r <- sum(w * fit$residuals^2)
//       if (r < b$rss) b <- list(rss = r, tau = grid[pl], f =
//       fit$fitted.values,
//                                e = fit$residuals, M = t(X) %*% (w * X)) }
//     b }
//   perm_test <- function(base, x, f, e, v, k0, k1, rss_obs, N, grid, L) {
//     w <- 1 / v; r <- e / sqrt(v); rss0 <- rss_obs[1]; rss1 <- rss_obs[2]
//     Y <- list(); for (j in seq_len(N - 1)) { r <- fy(r); Y[[j]] <- f +
//     sqrt(v) * r } for (yj in Y) { rss0 <- c(rss0, best(base, x, yj, w, k0,
//     grid, L)$rss)
//                     rss1 <- c(rss1, best(base, x, yj, w, k1, grid, L)$rss) }
//     R <- ifelse(rss1 > 0, rss0 / rss1, 0)
//     df1 <- 2 * (k1 - k0); df2 <- length(x) - ncol(base) - 2 * k1
//     F <- (R[1] - 1) * df2 / df1
//     c(pPerm = mean(R >= R[1]), F = F, pF = pf(F, df1, df2, lower.tail =
//     FALSE)) }
//
// The weights are W = diag(1 / v), the residual transformation
// T = diag(1 / sqrt(v)) and the back-transformation B = diag(sqrt(v)). The
// grid integers a = 2, b = 2, c = 0 make the candidates the distinct x
// values 3 to D - 2 (in order), candidate i with the index number i + 3, so
// that neighbouring kinkmarks are at least three candidates apart.
#ifndef KM_TESTS_MODELS_SELECTIONTESTDATA_H
#define KM_TESTS_MODELS_SELECTIONTESTDATA_H

#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/OneDimensionArray.h"
#include "models/KMSeriesSet.h"
#include "stats/MTRandomGenerator.h"
#include "tests/test_util/TestUtil.h"

namespace km_selection_test {

// The seed of the draw table.
constexpr uint32_t kSeed = 1234u;

inline NEWMAT::ColumnVector Vec(const std::vector<double>& values) {
  NEWMAT::ColumnVector v(static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i)
    v(static_cast<int>(i) + 1) = values[i];
  return v;
}

// The draws of sgenrand(kSeed), one per line, as R reads them.
inline std::vector<double> ReadDrawTable() {
  std::ifstream in(km_test::DataPath("models/mt19937_sgenrand_1234.txt"));
  std::vector<double> draws;
  double d = 0.0;
  while (in >> d) draws.push_back(d);
  return draws;
}

inline MTRandomGenerator SeededGenerator() {
  MTRandomGenerator g;
  g.sgenrand(kSeed);
  return g;
}

// True when `used` has made exactly `draws` draws since it was seeded with
// kSeed: its next draw is draw number draws + 1 of the sequence.
inline bool MadeDraws(MTRandomGenerator used, int draws) {
  MTRandomGenerator fresh = SeededGenerator();
  for (int i = 0; i < draws; ++i) fresh.genrand();
  return used.genrand() == fresh.genrand();
}

// Weighting matrices of independent errors with variances v: W, the
// covariance, T and B.
struct Weights {
  NEWMAT::Matrix W;
  NEWMAT::Matrix V;
  NEWMAT::Matrix T;
  NEWMAT::Matrix B;
};

inline Weights DiagonalWeights(const std::vector<double>& v) {
  const int n = static_cast<int>(v.size());
  Weights w;
  w.W.ReSize(n, n);
  w.V.ReSize(n, n);
  w.T.ReSize(n, n);
  w.B.ReSize(n, n);
  w.W = 0.0;
  w.V = 0.0;
  w.T = 0.0;
  w.B = 0.0;
  for (int i = 1; i <= n; ++i) {
    const double d = v[static_cast<size_t>(i - 1)];
    w.W(i, i) = 1.0 / d;
    w.V(i, i) = d;
    w.T(i, i) = 1.0 / std::sqrt(d);
    w.B(i, i) = std::sqrt(d);
  }
  return w;
}

// One series set from per-series x and y values.
inline KMSeriesSet MakeSeriesSet(const std::vector<std::vector<double>>& xs,
                                 const std::vector<std::vector<double>>& ys) {
  KMSeriesSet s;
  const int g = static_cast<int>(xs.size());
  s.labels.Resize(g);
  s.xValues.Resize(g);
  s.yValues.Resize(g);
  for (int j = 0; j < g; ++j) {
    s.xValues[j] = Vec(xs[static_cast<size_t>(j)]);
    s.yValues[j] = Vec(ys[static_cast<size_t>(j)]);
  }
  return s;
}

// Data set 1: one series of twelve years with a kink after the sixth,
//   x <- 0:11 (plus an origin); v as below;
//   y <- 10 + 0.3 x + 1.2 pmax(x - 5, 0) + noise.
inline std::vector<double> OneSeriesX(double dOrigin) {
  std::vector<double> x;
  for (int i = 0; i < 12; ++i) x.push_back(dOrigin + i);
  return x;
}
inline std::vector<double> OneSeriesY() {
  const double kNoise[12] = {0.41, -0.62, 0.18, 0.95,  -0.33, -0.71,
                             0.52, -0.24, 0.87, -0.56, 0.11,  -0.38};
  std::vector<double> y;
  for (int i = 0; i < 12; ++i) {
    const double x = i;
    y.push_back(10.0 + 0.3 * x + 1.2 * (x > 5.0 ? x - 5.0 : 0.0) + kNoise[i]);
  }
  return y;
}
inline std::vector<double> OneSeriesVariances() {
  return {1.0, 1.5, 0.8, 1.2, 2.0, 1.1, 0.9, 1.3, 1.7, 1.0, 0.6, 1.4};
}

// Data set 2: two series of ten years over the same years 2000..2009,
// one intercept each (p0 = 3):
//   t <- 0:9; x <- c(2000 + t, 2000 + t)
//   y <- c(5 + 0.2 t + 0.9 pmax(t - 4, 0) + noise1,
//          7 + 0.2 t + 0.9 pmax(t - 4, 0) + noise2)
//   v <- rep(c(1.0, 0.5, 2.0, 1.5), 5)
inline std::vector<std::vector<double>> TwoSeriesX() {
  std::vector<double> x;
  for (int i = 0; i < 10; ++i) x.push_back(2000.0 + i);
  return {x, x};
}
inline std::vector<std::vector<double>> TwoSeriesY() {
  const double kNoise1[10] = {0.3,   -0.2, 0.1,  -0.4, 0.25,
                              -0.15, 0.35, -0.3, 0.05, 0.2};
  const double kNoise2[10] = {-0.1, 0.4,   -0.35, 0.15, -0.25,
                              0.3,  -0.05, 0.2,   -0.3, 0.1};
  std::vector<double> y1;
  std::vector<double> y2;
  for (int i = 0; i < 10; ++i) {
    const double t = i;
    const double hinge = t > 4.0 ? t - 4.0 : 0.0;
    y1.push_back(5.0 + 0.2 * t + 0.9 * hinge + kNoise1[i]);
    y2.push_back(7.0 + 0.2 * t + 0.9 * hinge + kNoise2[i]);
  }
  return {y1, y2};
}
inline std::vector<double> TwoSeriesVariances() {
  std::vector<double> v;
  for (int i = 0; i < 5; ++i) {
    for (double d : {1.0, 0.5, 2.0, 1.5}) v.push_back(d);
  }
  return v;
}

}  // namespace km_selection_test

#endif  // KM_TESTS_MODELS_SELECTIONTESTDATA_H
