// Permutation data sets (GetRandomIndex, Shuffle, Permute).
//
// Expected data sets come from R with its own MT19937 put in the state that
// seeding with 7160 gives (the 1998 fill: each word the high halves of two
// successive values of s = 69069 s + 1 mod 2^32):
//   .Random.seed <- c(10403L, 624L, <the 624 words as signed ints>)
//   runif(5)  # the generator's first five numbers
// and the residual permutation written out in R:
//   x <- 0:7; y <- c(2.1, 3.9, 6.2, 7.8, 8.1, 8.0, 7.6, 7.9)
//   v <- c(1, 2, 1.5, 0.5, 1, 3, 2, 1); h <- pmax(x - 3.5, 0)
//   fit <- lm(y ~ x + h, weights = v); f <- fitted(fit)
//   e <- (y - f) * sqrt(v); L <- diag(1 / sqrt(v))
//   for (j in 1:3) { for (i in 1:7) { k <- floor((8 - i + 1) * runif(1) + i)
//     swap e[i], e[k] }; Z[, j] <- f + L %*% e }
#include <gtest/gtest.h>
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "stats/MersenneTwister.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/CatchKmException.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr int kN = 8;
constexpr uint32_t kSeed = 7160;
constexpr double kY[kN] = {2.1, 3.9, 6.2, 7.8, 8.1, 8.0, 7.6, 7.9};
constexpr double kV[kN] = {1, 2, 1.5, 0.5, 1, 3, 2, 1};
constexpr double kTol = 1e-12;

// R: fitted values and weighted residuals of the one-kinkmark fit.
const double kFitted[kN] = {2.2290760390594673, 4.0076285825078468,
                            5.7861811259562161, 7.5647336694045899,
                            8.3212676701801378, 8.0557831282828634,
                            7.7902985863855898, 7.5248140444883136};
const double kWeightedResid[kN] = {-0.12907603905946718, -0.15220980108158877,
                                   0.50682254367016644,  0.16635841774889049,
                                   -0.22126767018013815, -0.096619212391051756,
                                   -0.26912284176692963, 0.37518595551168676};
// R: the three permuted data sets of seed 7160.
const double kDataSets[3][kN] = {
    {2.0768662379778786, 4.1252617478055518, 5.6055168297842899,
     8.2814889843793686, 8.2246484577890868, 7.9004049831436491,
     7.6990280438779406, 7.9000000000000004},
    {2.604261994571154, 3.8173299961222567, 5.6807909813844679,
     8.2814889843793686, 8.1690578690985483, 8.1518302055521463,
     7.6338387163438659, 7.4281948320972617},
    {2.1324568266684154, 4.3660062399952366, 5.5664432458039643,
     7.3494765043888961, 8.4876260879290282, 7.9812610423859489,
     8.0555951197338587, 7.3035463743081754}};

// A calculator with the observations of the shared data set, the fitted
// values and weighted residuals of its one-kinkmark model in row 2, and the
// back-mapping matrix L = diag(1 / sqrt(v)).
struct PermCalculator : km_engine_test::LoadedCalculator {
  explicit PermCalculator(int iAutocorrMode = 0, int iN = kN)
      : LoadedCalculator(SharedObservations(iN), [=](kmSession& s) {
          s.SetInt(kmOptAutocorrErrors, iAutocorrMode);
        }) {
    mFitted.ReSize(2, n);
    mFitted = 0.0;
    mResid.ReSize(2, n);
    mResid = 0.0;
    mL.ReSize(n, n);
    mL = 0.0;
    for (int i = 1; i <= n && i <= kN; ++i) {
      mFitted(2, i) = kFitted[i - 1];
      mResid(2, i) = kWeightedResid[i - 1];
      mL(i, i) = 1.0 / std::sqrt(kV[i - 1]);
    }
    calc->SeedGenerator(kSeed);
  }
  // The first n observations of the shared data set (0.0 beyond it).
  static std::vector<km_engine_test::Observation> SharedObservations(int iN) {
    std::vector<km_engine_test::Observation> obs;
    for (int i = 0; i < iN; ++i) {
      obs.push_back({double(i), i < kN ? kY[i] : 0.0});
    }
    return obs;
  }
  Matrix mFitted, mResid, mL;
};

TEST(Permute, DataSetsOfASeedMatchReference) {
  // Mode 0 forms L e as one product, mode 3 element by element; both must
  // give the same data sets.
  for (int iMode : {0, 3}) {
    SCOPED_TRACE("mode " + std::to_string(iMode));
    PermCalculator pc(iMode);
    pc.calc->Permute(1, pc.mL, pc.mFitted, pc.mResid, 4);
    const Matrix& mY = *CalcMembers(*pc.calc).pDataY;
    ASSERT_EQ(mY.Nrows(), kN);
    ASSERT_EQ(mY.Ncols(), 4);
    for (int i = 1; i <= kN; ++i) {
      EXPECT_EQ(mY(i, 1), kY[i - 1]) << "observed column changed";
      for (int j = 1; j <= 3; ++j) {
        EXPECT_NEAR(mY(i, j + 1), kDataSets[j - 1][i - 1], kTol)
            << i << "," << j;
      }
    }
  }
}

TEST(Permute, SameSeedSameDataSetsAndWhitenedResidualsArePermuted) {
  PermCalculator a;
  PermCalculator b;
  a.calc->Permute(1, a.mL, a.mFitted, a.mResid, 30);
  b.calc->Permute(1, b.mL, b.mFitted, b.mResid, 30);
  ASSERT_EQ(CalcMembers(*a.calc).pDataY->Ncols(), 30);
  std::vector<double> vSorted(kWeightedResid, kWeightedResid + kN);
  std::sort(vSorted.begin(), vSorted.end());
  for (int j = 1; j <= 30; ++j) {
    SCOPED_TRACE(j);
    std::vector<double> vWhite;
    for (int i = 1; i <= kN; ++i) {
      EXPECT_EQ((*CalcMembers(*a.calc).pDataY)(i, j),
                (*CalcMembers(*b.calc).pDataY)(i, j));
      if (j > 1) {
        vWhite.push_back(
            ((*CalcMembers(*a.calc).pDataY)(i, j) - kFitted[i - 1]) *
            std::sqrt(kV[i - 1]));
      }
    }
    if (j == 1) continue;
    std::sort(vWhite.begin(), vWhite.end());
    for (int i = 0; i < kN; ++i) EXPECT_NEAR(vWhite[i], vSorted[i], kTol);
  }
}

TEST(Permute, OneDataSetLeavesOnlyTheObservedColumn) {
  PermCalculator pc;
  *CalcMembers(*pc.calc).pDataY = Matrix(kN, 5);  // columns of an earlier test
  for (int i = 1; i <= kN; ++i)
    (*CalcMembers(*pc.calc).pDataY)(i, 1) = kY[i - 1];
  pc.calc->Permute(1, pc.mL, pc.mFitted, pc.mResid, 1);
  ASSERT_EQ(CalcMembers(*pc.calc).pDataY->Ncols(), 1);
  EXPECT_EQ((*CalcMembers(*pc.calc).pDataY)(3, 1), kY[2]);
}

TEST(Permute, BadInputsThrowWithCallPath) {
  struct Case {
    const char* sName;
    int16_t k;
    int iLRows;
    int iDataSets;
    int iYRows;
  };
  const Case kCases[] = {{"model row missing", 2, kN, 3, kN},
                         {"back-mapping not n x n", 1, kN - 1, 3, kN},
                         {"no data set", 1, kN, 0, kN},
                         {"response shorter than n", 1, kN, 3, kN - 1},
                         {"response longer than n", 1, kN, 3, kN + 1}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    PermCalculator pc;
    Matrix mL = pc.mL.SubMatrix(1, c.iLRows, 1, c.iLRows);
    CalcMembers(*pc.calc).pDataY->ReSize(c.iYRows, 1);
    *CalcMembers(*pc.calc).pDataY = 1.5;
    const KmException ex = km_test::CatchKmException(
        [&] { pc.calc->Permute(c.k, mL, pc.mFitted, pc.mResid, c.iDataSets); });
    EXPECT_NE(std::string(ex.GetCallPath()).find("Permute()"),
              std::string::npos);
    EXPECT_EQ(CalcMembers(*pc.calc).pDataY->Ncols(), 1)
        << "response changed on failure";
    EXPECT_EQ(CalcMembers(*pc.calc).pDataY->Nrows(), c.iYRows);
    EXPECT_EQ((*CalcMembers(*pc.calc).pDataY)(1, 1), 1.5);
  }
}

TEST(Shuffle, DrawsAndExchanges) {
  // R: the first five numbers of seed 7160 (runif(5)).
  const double kFirst[] = {0.2425760633777827, 0.40641666809096932,
                           0.35896632284857333};
  struct Case {
    const char* sName;
    int n;
    std::vector<double> expected;  // v = 1..n after one shuffle
  };
  // n = 1: no draw. n = 2: j = floor(2 * 0.2426 + 1) = 1, no exchange.
  // n = 4: j = floor(4 u1 + 1) = 1, floor(3 u2 + 2) = 3, floor(2 u3 + 3) = 3.
  const Case kCases[] = {{"one element", 1, {1}},
                         {"two elements", 2, {1, 2}},
                         {"four elements", 4, {1, 3, 2, 4}}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    PermCalculator pc(0, c.n);
    ColumnVector v(c.n);
    for (int i = 1; i <= c.n; ++i) v(i) = i;
    pc.calc->Shuffle(v);
    for (int i = 1; i <= c.n; ++i) EXPECT_EQ(v(i), c.expected[i - 1]) << i;
    // The shuffle used exactly n - 1 draws.
    MersenneTwister ref;
    ref.sgenrand(kSeed);
    for (int d = 1; d < c.n; ++d) {
      EXPECT_DOUBLE_EQ(ref.genrand(), kFirst[d - 1]);
    }
    EXPECT_EQ(CalcMembers(*pc.calc).pRandom->genrand(), ref.genrand());
  }
}

TEST(GetRandomIndex, RangeOfOneAndBounds) {
  PermCalculator pc;
  for (int16_t i : {1, 5, 100}) EXPECT_EQ(pc.calc->GetRandomIndex(i, i), i);
  for (int d = 0; d < 2000; ++d) {
    const int j = pc.calc->GetRandomIndex(3, 9);
    ASSERT_GE(j, 3);
    ASSERT_LE(j, 9);
  }
}

}  // namespace
