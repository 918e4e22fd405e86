// WLS on the small systems of the grid searches against the same solve
// written with the matrix library: the searches keep a model only when its
// SSE is strictly smaller, so both must agree to the last bit.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cstdint>
#include <string>

#include "engine/kmCalculator.h"
#include "engine/kmCandidateFit.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::SymmetricMatrix;

namespace {

double Next(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return (state >> 8) / 8388608.0 - 1.0;
}

// The library's solve: generalised inverse, M = XtXinv XtY, beta = column 1
// of M, SSE(c) = YtY(c) - sum_j M(j,c) XtY(j,c). The cases' sums are far
// from 0, so WLS's clearing of a rounding-negative SSE does not enter.
void LibrarySolve(int k, const Matrix& mXtY, const Matrix& mXtX,
                  const ColumnVector& vYtY, Matrix& mInv, ColumnVector& vBeta,
                  ColumnVector& vSSE, uint16_t& iRank) {
  const int p = mXtX.Nrows();
  SymmetricMatrix mSym;
  mSym << mXtX;
  SymmetricMatrix mSymInv;
  int16_t iAccepted = 0;
  const bool bOk =
      kmCalculator::Invert(static_cast<int16_t>(p), mSym, mSymInv, iAccepted);
  iRank = bOk ? static_cast<uint16_t>(iAccepted) : 0;
  mInv = mSymInv;
  const Matrix mM = mInv * mXtY;
  vBeta = mM.Column(1);
  vSSE.ReSize(k);
  for (int c = 1; c <= k; ++c) {
    double dSse = vYtY(c);
    for (int j = 1; j <= p; ++j) dSse -= mM(j, c) * mXtY(j, c);
    vSSE(c) = dSse;
  }
}

TEST(WLSSmallSystems, EqualTheLibrarySolve) {
  enum Kind { kFullRank, kAliased, kIndefinite };
  for (int p = 2; p <= 7; ++p) {
    for (int k : {1, 2}) {
      for (Kind kind : {kFullRank, kAliased, kIndefinite}) {
        SCOPED_TRACE("p " + std::to_string(p) + " k " + std::to_string(k) +
                     " kind " + std::to_string(kind));
        uint32_t seed = 100u * p + 10u * k + kind;
        const int n = 12;
        Matrix X(n, p);
        Matrix Y(n, k);
        for (int i = 1; i <= n; ++i) {
          for (int j = 1; j <= p; ++j) X(i, j) = Next(seed) + (j == 1);
          for (int c = 1; c <= k; ++c) Y(i, c) = 3.0 * Next(seed);
        }
        if (kind == kAliased) X.Column(p) = X.Column(1);
        Matrix mXtX = X.t() * X;
        if (kind == kIndefinite) mXtX(2, 1) = mXtX(1, 2) = 10.0 * mXtX(1, 1);
        const Matrix mXtY = X.t() * Y;
        ColumnVector vYtY(k);
        for (int c = 1; c <= k; ++c)
          vYtY(c) = (Y.Column(c).t() * Y.Column(c)).AsScalar();

        Matrix mInvLib, mInv;
        ColumnVector vBetaLib, vBeta, vSseLib, vSse;
        uint16_t iRankLib = 99, iRank = 99;
        LibrarySolve(k, mXtY, mXtX, vYtY, mInvLib, vBetaLib, vSseLib, iRankLib);
        kmCalculator::WLS(k, mXtY, mXtX, mInv, vYtY, vBeta, vSse, iRank);
        EXPECT_EQ(iRank, iRankLib);
        for (int i = 1; i <= p; ++i) {
          EXPECT_EQ(vBeta(i), vBetaLib(i)) << "beta " << i;
          for (int j = 1; j <= p; ++j) {
            EXPECT_EQ(mInv(i, j), mInvLib(i, j)) << i << "," << j;
          }
        }
        for (int c = 1; c <= k; ++c) EXPECT_EQ(vSse(c), vSseLib(c)) << c;
      }
    }
  }
}

TEST(WLSSmallSystems, CandidateFitsOfTheSearchesEqualWLS) {
  // The searches fit each placement on plain arrays; a sum that differs in
  // its last bit could change which placement wins.
  enum Kind { kFullRank, kAliased, kIndefinite };
  const int n = 14;
  const int iAll = 9;  // intercept, slope and seven hinge columns
  for (int p = 2; p <= 7; ++p) {
    for (Kind kind : {kFullRank, kAliased, kIndefinite}) {
      SCOPED_TRACE("p " + std::to_string(p) + " kind " + std::to_string(kind));
      uint32_t seed = 1000u + 10u * p + kind;
      Matrix X(n, iAll);
      Matrix Y(n, 2);
      for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= iAll; ++j) X(i, j) = Next(seed) + (j == 1);
        for (int c = 1; c <= 2; ++c) Y(i, c) = 3.0 * Next(seed);
      }
      // The model takes columns 1, 2, then every second hinge from 3.
      int iCols[7] = {1, 2, 3, 5, 7, 9, 4};
      if (kind == kAliased) X.Column(iCols[p - 1]) = X.Column(2);
      SymmetricMatrix mXWX;
      mXWX << X.t() * X;
      if (kind == kIndefinite) mXWX(iCols[1], iCols[0]) = 10.0 * mXWX(1, 1);
      const Matrix mXWY = X.t() * Y;
      ColumnVector vYWY(2);
      for (int c = 1; c <= 2; ++c)
        vYWY(c) = (Y.Column(c).t() * Y.Column(c)).AsScalar();

      km_grid::CandidateFit fit(mXWX, mXWY, p);
      Matrix mXtX(p, p);
      Matrix mXtY(p, 2);
      for (int r = 1; r <= p; ++r) {
        if (r >= 3) fit.SetColumn(r, iCols[r - 1]);
        for (int c = 1; c <= p; ++c)
          mXtX(r, c) = mXWX(iCols[r - 1], iCols[c - 1]);
        for (int d = 1; d <= 2; ++d) mXtY(r, d) = mXWY(iCols[r - 1], d);
      }
      fit.Fit();
      Matrix mInv;
      ColumnVector vBeta, vSse, vFitBeta;
      uint16_t iRank = 0;
      kmCalculator::WLS(2, mXtY, mXtX, mInv, vYWY, vBeta, vSse, iRank);
      fit.CopyCoefficients(vFitBeta);
      for (int i = 1; i <= p; ++i) EXPECT_EQ(vFitBeta(i), vBeta(i)) << i;
      EXPECT_EQ(fit.Sse(1, vYWY(1)), vSse(1));
      EXPECT_EQ(fit.Sse(2, vYWY(2)), vSse(2));
    }
  }
}

}  // namespace
