// RestrictedStep against the same formulas written as matrix-library
// expressions: every result must agree to the last bit, since Hudson's
// search compares the increases it returns for equality.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/RestrictedStep.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::SymmetricBandMatrix;

namespace {

// A fixed pseudo-random sequence in [-1, 1).
double Next(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return (state >> 8) / 8388608.0 - 1.0;
}

// Pieces with positive definite 2 x 2 blocks of B, their continuity rows R
// at x = 3 m + 0.5 (m = 1..k), S = R B R', separate fits beta, and
// locations inside each gap.
struct Segmentation {
  Segmentation(int16_t k, uint32_t seed) : k(k) {
    const int N = 2 * k + 2;
    B.ReSize(N, 1);
    B = 0.0;
    beta.ReSize(N);
    for (int s = 1; s <= k + 1; ++s) {
      const double a = 1.0 + Next(seed) * 0.5;
      const double c = 0.2 + Next(seed) * 0.1;
      B(2 * s - 1, 2 * s - 1) = a;
      B(2 * s, 2 * s - 1) = -c * a * 0.5;
      B(2 * s, 2 * s) = c;
      beta(2 * s - 1) = 10.0 * Next(seed);
      beta(2 * s) = Next(seed);
    }
    R.ReSize(k, N);
    R = 0.0;
    locations.ReSize(k);
    for (int m = 1; m <= k; ++m) {
      const double x = 3.0 * m + 0.5;
      R(m, 2 * m - 1) = 1.0;
      R(m, 2 * m) = x;
      R(m, 2 * m + 1) = -1.0;
      R(m, 2 * m + 2) = -x;
      locations(m) = x + 0.5 + 0.4 * Next(seed);
    }
    S = R * B * R.t();
  }
  int16_t k;
  SymmetricBandMatrix B;
  Matrix R, S;
  ColumnVector beta, locations;
};

// The step as matrix-library expressions.
double LibraryStep(Segmentation& g, const ColumnVector& choices,
                   ColumnVector& dBeta) {
  std::vector<int> vPinned;
  bool bAfterGap = false;
  for (int m = 1; m <= g.k; ++m) {
    if (choices(m) >= 2.0) vPinned.push_back(m);
    if (choices(m) > 2.0) bAfterGap = true;
  }
  const int q = static_cast<int>(vPinned.size());
  if (q == 0) return 0.0;
  Matrix mRq(q, 2 * g.k + 2);
  mRq = 0.0;
  Matrix mSq(q, q);
  for (int r = 1; r <= q; ++r) {
    const int m = vPinned[r - 1];
    if (bAfterGap) {
      mRq(r, 2 * m - 1) = 1.0;
      mRq(r, 2 * m) = g.locations(m);
      mRq(r, 2 * m + 1) = -1.0;
      mRq(r, 2 * m + 2) = -g.locations(m);
    } else {
      mRq.Row(r) = g.R.Row(m);
      for (int r2 = 1; r2 <= q; ++r2) mSq(r, r2) = g.S(m, vPinned[r2 - 1]);
    }
  }
  if (bAfterGap) mSq = mRq * g.B * mRq.t();
  const ColumnVector t = mRq * g.beta;
  const ColumnVector u = mSq.i() * t;
  dBeta = g.B * mRq.t() * u;
  const Matrix mIncrease = t.t() * u;
  return mIncrease(1, 1);
}

TEST(RestrictedStep, EqualsTheLibraryToTheLastBit) {
  // Every combination of codes 1 (free), 2 (pinned at the gap's start) and
  // 3 (pinned after it) for one to four kinkmarks, on two data sets each.
  for (int16_t k = 1; k <= 4; ++k) {
    for (uint32_t seed : {7u, 2024u}) {
      Segmentation g(k, seed + static_cast<uint32_t>(k));
      ColumnVector choices(k);
      choices = 1.0;
      while (true) {
        std::string sCodes;
        for (int m = 1; m <= k; ++m) sCodes += std::to_string(int(choices(m)));
        SCOPED_TRACE("k " + std::to_string(k) + " codes " + sCodes);
        ColumnVector dExpected(1);
        dExpected = -7.0;
        ColumnVector dActual = dExpected;
        const double dLibrary = LibraryStep(g, choices, dExpected);
        double dIncrease = -1.0;
        ASSERT_TRUE(RestrictedStep(g.B, g.R, g.S, g.beta, dActual, g.locations,
                                   choices, k, dIncrease));
        EXPECT_EQ(dIncrease, dLibrary);
        ASSERT_EQ(dActual.Nrows(), dExpected.Nrows());
        for (int i = 1; i <= dExpected.Nrows(); ++i) {
          EXPECT_EQ(dActual(i), dExpected(i)) << "dBeta(" << i << ")";
        }
        int m = k;
        while (m >= 1 && choices(m) >= 3.0) choices(m--) = 1.0;
        if (m < 1) break;
        choices(m) += 1.0;
      }
    }
  }
}

TEST(RestrictedStep, DeclinesInputsItDoesNotTake) {
  struct Case {
    const char* sName;
    int iBandWidth;
    int iBetaRows;
    double dDiagonal;  // of B; 0 makes Sq = Rq B Rq' singular
  };
  const Case kCases[] = {{"band of width 2", 2, 6, 1.0},
                         {"beta of the wrong length", 1, 5, 1.0},
                         {"singular constraints", 1, 6, 0.0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    Segmentation g(2, 11u);
    SymmetricBandMatrix B(6, c.iBandWidth);
    B = 0.0;
    for (int i = 1; i <= 6; ++i) B(i, i) = c.dDiagonal;
    const ColumnVector beta = g.beta.Rows(1, c.iBetaRows);
    ColumnVector choices(2);
    choices = 3.0;
    ColumnVector dBeta(3);
    dBeta = 5.0;
    double dIncrease = 0.0;
    EXPECT_FALSE(RestrictedStep(B, g.R, g.S, beta, dBeta, g.locations, choices,
                                2, dIncrease));
    EXPECT_EQ(dBeta.Nrows(), 3);
    EXPECT_EQ(dBeta(1), 5.0) << "dBeta changed";
  }
}

TEST(RestrictedStep, NoPinnedKinkmarkLeavesTheCorrectionAlone) {
  Segmentation g(3, 5u);
  ColumnVector choices(3);
  choices = 1.0;
  ColumnVector dBeta(2);
  dBeta = 9.0;
  double dIncrease = -1.0;
  ASSERT_TRUE(RestrictedStep(g.B, g.R, g.S, g.beta, dBeta, g.locations, choices,
                             3, dIncrease));
  EXPECT_EQ(dIncrease, 0.0);
  EXPECT_EQ(dBeta.Nrows(), 2);
  EXPECT_EQ(dBeta(2), 9.0);
}

}  // namespace
