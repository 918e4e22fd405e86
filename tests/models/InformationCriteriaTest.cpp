// Tests of the engine's information criteria, the MADWD check and the
// exp-scale coefficient re-test (ForAllKinkMKAction).
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "models/ForAllKinkMKAction.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::kTightRelTol;
using km_test::RelNear;
using km_test::Vec;

// A record with what the criteria read: k, q, the SSE and X'WX.
KinkMKFitResult Record(int k, int q, double sse, const NEWMAT::Matrix& xtwx) {
  KinkMKFitResult r;
  r.k = k;
  r.q = q;
  r.sse = sse;
  r.xtwx = xtwx;
  return r;
}

NEWMAT::Matrix Square(int n, const std::vector<double>& rowMajor) {
  NEWMAT::Matrix m(n, n);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) m(i, j) = rowMajor[(i - 1) * n + (j - 1)];
  }
  return m;
}

// A weighted least-squares fit of 12 points, with and without a hinge at 6.
// R:
//   x <- 1:12
//   y <- c(2.1, 2.9, 4.2, 5.1, 5.8, 7.2, 6.9, 6.1, 5.2, 4.8, 3.9, 3.1)
//   w <- c(1, 2, 1, 0.5, 1, 2, 1, 1, 0.5, 2, 1, 1)
//   h <- pmax(x - 6, 0); n <- 12
//   fit <- lm(y ~ x + h, weights = w); sse <- sum(w * residuals(fit)^2)
//   M <- crossprod(model.matrix(fit) * sqrt(w))
//   fit0 <- lm(y ~ x, weights = w)   # likewise sse0 and M0
//   bic  <- log(sse/n) + (k + q) * log(n) / n
//   wbic <- log(sse/n) + ((c + 2) * k + 2) * log(n) / n
//   L <- determinant(M, logarithm = TRUE)$modulus
//   mbic <- log(sse/n) + 2*k*log(n)/n + L/n - 2*lgamma((n-k-3)/2)/n -
//           (k+3)*log(sse)/n
constexpr double kSSE1 = 0.45439796388054116;
constexpr double kSSE0 = 34.984476431509009;
const NEWMAT::Matrix kM1 =
    Square(3, {14.0, 89.5, 23.5, 89.5, 741.5, 243.5, 23.5, 243.5, 102.5});
const NEWMAT::Matrix kM0 = Square(2, {14.0, 89.5, 89.5, 741.5});

TEST(InformationCriteria, MatchTheFormulasOnAnRFit) {
  struct Case {
    const char* sName;
    double dActual;
    double dExpected;
  };
  const Case cases[] = {
      {"BIC k=1 q=2",
       ForAllKinkMKAction::calc_BICCriterion(Record(1, 2, kSSE1, kM1), 12),
       -2.6524618798229316},
      {"BIC k=1 q=3",
       ForAllKinkMKAction::calc_BICCriterion(Record(1, 3, kSSE1, kM1), 12),
       -2.4453863256739314},
      {"BIC k=0 q=2",
       ForAllKinkMKAction::calc_BICCriterion(Record(0, 2, kSSE0, kM0), 12),
       1.4841488910823413},
      {"WBIC c=0",
       ForAllKinkMKAction::calc_WeightedBICCriterion(Record(1, 0, kSSE1, kM1),
                                                     12, 0.0),
       -2.4453863256739314},
      {"WBIC c=0.25",
       ForAllKinkMKAction::calc_WeightedBICCriterion(Record(1, 0, kSSE1, kM1),
                                                     12, 0.25),
       -2.3936174371366814},
      {"WBIC c=0.9",
       ForAllKinkMKAction::calc_WeightedBICCriterion(Record(1, 0, kSSE1, kM1),
                                                     12, 0.9),
       -2.2590183269398314},
      // Without kinkmarks the weight c has no effect.
      {"WBIC k=0 c=0.7",
       ForAllKinkMKAction::calc_WeightedBICCriterion(Record(0, 0, kSSE0, kM0),
                                                     12, 0.7),
       1.4841488910823413},
      // lnGamma(4): n - k - 3 = 8 is even.
      {"MBIC k=1",
       ForAllKinkMKAction::calc_LogGammaCriterion(Record(1, 0, kSSE1, kM1), 12),
       -2.0428051591106353},
      // lnGamma(4.5): n - k - 3 = 9 is halved after the integer difference.
      {"MBIC k=0",
       ForAllKinkMKAction::calc_LogGammaCriterion(Record(0, 0, kSSE0, kM0), 12),
       0.41989571614783505},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    EXPECT_TRUE(RelNear(c.dActual, c.dExpected, kTightRelTol));
  }
}

TEST(InformationCriteria, LogGammaWithoutGammaTermIsPlusInfinity) {
  // Fault: n = k + 3 took ln Gamma(0) = inf: -infinity won the selection.
  for (int n : {4, 3}) {
    EXPECT_EQ(
        ForAllKinkMKAction::calc_LogGammaCriterion(Record(1, 0, kSSE1, kM1), n),
        INFINITY);
  }
}

TEST(InformationCriteria, NonPositiveOrNaNSSEGivesMinusInfinity) {
  const double sses[] = {0.0, -1.5, std::numeric_limits<double>::quiet_NaN()};
  for (double sse : sses) {
    SCOPED_TRACE(sse);
    const KinkMKFitResult r = Record(1, 2, sse, kM1);
    EXPECT_EQ(ForAllKinkMKAction::calc_BICCriterion(r, 12), -INFINITY);
    EXPECT_EQ(ForAllKinkMKAction::calc_WeightedBICCriterion(r, 12, 0.5),
              -INFINITY);
    EXPECT_EQ(ForAllKinkMKAction::calc_LogGammaCriterion(r, 12), -INFINITY);
  }
}

TEST(InformationCriteria, LogGammaNeedsASquareMatrixEvenWithoutSSE) {
  NEWMAT::Matrix notSquare(2, 3);
  notSquare = 1.0;
  EXPECT_ANY_THROW(ForAllKinkMKAction::calc_LogGammaCriterion(
      Record(1, 0, 0.0, notSquare), 12));
  EXPECT_ANY_THROW(ForAllKinkMKAction::calc_LogGammaCriterion(
      Record(1, 0, kSSE1, notSquare), 12));
}

TEST(InformationCriteria, LogGammaOfARecordWithoutCrossProduct) {
  // Fault: the matrix library's log-determinant of a 0 x 0 matrix crashes
  // the process, and a fresh record (or one from a search that found no
  // placement) has an empty X'WX. The empty matrix now counts with its
  // determinant 1 (L = 0). R: log(sse0/12) - 2*lgamma(4.5)/12 - 3*log(sse0)/12
  const NEWMAT::Matrix empty;
  EXPECT_TRUE(RelNear(ForAllKinkMKAction::calc_LogGammaCriterion(
                          Record(0, 0, kSSE0, empty), 12),
                      -0.22768442049915116, kTightRelTol));
  EXPECT_EQ(
      ForAllKinkMKAction::calc_LogGammaCriterion(Record(0, 0, 0.0, empty), 12),
      -INFINITY);
}

// MADWD differences of a slope table column (row 1 unread, row 2 b1, rows
// 3.. the slope changes). R:
//   madwd <- function(col, psi) { b1 <- col[2]; K <- length(col) - 2
//     for (j in K:1) { s1 <- sum(col[3:(j+2)])
//       s0 <- if (j == 1) 0 else sum(col[3:(j+1)])
//       d <- 100 * abs(exp(b1 + s1) - exp(b1 + s0))
//       cat(K, j+1, j, d, as.numeric(d >= psi), 0, "\n") } }
//   madwd(c(0, 0.02, 0.03, -0.001, -0.06), 0.5)
constexpr double kD3 = 6.116007196465933;
constexpr double kD2 = 0.10507456359960532;
constexpr double kD1 = 3.106975634926834;

NEWMAT::Matrix SlopeTable() {
  NEWMAT::Matrix slopes(5, 2);
  const double column1[] = {99.0, 0.02, 0.03, -0.001, -0.06};
  // A model with one kinkmark, padded with zero slope changes: the padding
  // rows compare equal segments (difference 0).
  const double column2[] = {99.0, -0.01, 0.015, 0.0, 0.0};
  for (int r = 1; r <= 5; ++r) {
    slopes(r, 1) = column1[r - 1];
    slopes(r, 2) = column2[r - 1];
  }
  return slopes;
}

TEST(ComputeMADWDValues, DetailRowsComeFromTheLastKinkmarkDown) {
  const NEWMAT::Matrix slopes = SlopeTable().Column(1);
  NEWMAT::ColumnVector flags(1);
  flags = -7.0;
  std::vector<std::vector<double>> details;
  EXPECT_FALSE(
      ForAllKinkMKAction::ComputeMADWDValues(slopes, flags, 0.5, &details));
  EXPECT_EQ(flags(1), 0.0);
  const double expected[3][6] = {
      {3, 4, 3, kD3, 1, 0}, {3, 3, 2, kD2, 0, 0}, {3, 2, 1, kD1, 1, 0}};
  ASSERT_EQ(details.size(), 3u);
  for (int row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    ASSERT_EQ(details[row].size(), 6u);
    for (int c = 0; c < 6; ++c) {
      EXPECT_TRUE(RelNear(details[row][c], expected[row][c], kTightRelTol));
    }
  }
}

TEST(ComputeMADWDValues, PassFlagsPerColumnAndOverallAnd) {
  struct Case {
    double psi;
    bool bAll;
    double flag1;
    double flag2;
  };
  // Column 1's smallest difference is kD2 = 0.105; column 2 has zero
  // differences in its padding rows, which pass only psi = 0.
  const Case cases[] = {
      {0.0, true, 1.0, 1.0},
      {0.1, false, 1.0, 0.0},
      {0.2, false, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.psi);
    NEWMAT::ColumnVector flags(3);
    flags = -7.0;
    EXPECT_EQ(
        ForAllKinkMKAction::ComputeMADWDValues(SlopeTable(), flags, c.psi),
        c.bAll);
    EXPECT_EQ(flags(1), c.flag1);
    EXPECT_EQ(flags(2), c.flag2);
    EXPECT_EQ(flags(3), -7.0);  // beyond the columns: untouched
  }
}

TEST(ComputeMADWDValues, NoKinkmarksPassWithoutTouchingAnything) {
  NEWMAT::Matrix slopes(2, 1);
  slopes = 0.3;
  NEWMAT::ColumnVector flags(1);
  flags = -7.0;
  std::vector<std::vector<double>> details;
  EXPECT_TRUE(
      ForAllKinkMKAction::ComputeMADWDValues(slopes, flags, 5.0, &details));
  EXPECT_EQ(flags(1), -7.0);
  EXPECT_TRUE(details.empty());
}

// A tiny slope change is judged by its own size: 100 (e^1e-12 - 1) is
// 1e-10 to within 1e-22, while the difference of the two exponentials
// would carry an error near 1e-4 of the value and pass this psi.
TEST(ComputeMADWDValues, TinySlopeChangeKeepsItsDigits) {
  NEWMAT::Matrix slopes(3, 1);
  slopes(1, 1) = 0.0;
  slopes(2, 1) = 0.0;
  slopes(3, 1) = 1e-12;
  NEWMAT::ColumnVector flags(1);
  std::vector<std::vector<double>> details;
  EXPECT_FALSE(ForAllKinkMKAction::ComputeMADWDValues(slopes, flags,
                                                      1.00005e-10, &details));
  ASSERT_EQ(details.size(), 1u);
  EXPECT_TRUE(RelNear(details[0][3], 1e-10, 1e-12)) << details[0][3];
}

TEST(ComputeMADWDValues, NaNDifferenceFails) {
  NEWMAT::Matrix slopes(3, 1);
  slopes(1, 1) = 0.0;
  slopes(2, 1) = std::numeric_limits<double>::quiet_NaN();
  slopes(3, 1) = 0.1;
  NEWMAT::ColumnVector flags(1);
  EXPECT_FALSE(ForAllKinkMKAction::ComputeMADWDValues(slopes, flags, 0.0));
  EXPECT_EQ(flags(1), 0.0);
}

TEST(ComputeMADWDValues, ShortFlagVectorBecomesKmException) {
  NEWMAT::ColumnVector flags(1);
  const KmException e = km_test::CatchKmException([&] {
    ForAllKinkMKAction::ComputeMADWDValues(SlopeTable(), flags, 0.0);
  });
  EXPECT_STREQ(e.GetSource(), "ForAllKinkMKAction::ComputeMADWDValues()");
  EXPECT_NE(std::string(e.GetMessage()).find("detected by Newmat"),
            std::string::npos)
      << e.GetMessage();
}

// Re-test of b = 0.3, se = 0.1 on the exp scale against 1.0. R:
//   b <- 0.3; se <- 0.1; df <- 10; a <- 0.05
//   e <- exp(b); s <- e * se; st <- (e - 1) / s
//   c(e, s, st, 2 * pt(-abs(st), df), e - qt(1 - a/2, df) * s,
//     e + qt(1 - a/2, df) * s)
TEST(CalcCoefficientTests, ModeOneRestatesOnTheExpScale) {
  const NEWMAT::ColumnVector test =
      Vec({0.3, 0.1, 3.0, 0.0073, 0.08, 0.52, 1.0, 10.0, 0.05});
  NEWMAT::ColumnVector out;
  ForAllKinkMKAction::calc_CoefficientTests(test, out, 1);
  ASSERT_EQ(out.Nrows(), 9);
  const double expected[] = {1.349858807576003183, 0.134985880757600318,
                             2.591817793182821905, 0.026866038008604227,
                             1.049091522190407577, 1.650626092961598790};
  EXPECT_TRUE(RelNear(out(1), expected[0], kTightRelTol));
  EXPECT_TRUE(RelNear(out(2), expected[1], kTightRelTol));
  EXPECT_TRUE(RelNear(out(3), expected[2], kTightRelTol));
  EXPECT_TRUE(RelNear(out(4), expected[3], 1e-10));
  EXPECT_TRUE(RelNear(out(5), expected[4], km_test::kSearchRelTol));
  EXPECT_TRUE(RelNear(out(6), expected[5], km_test::kSearchRelTol));
  EXPECT_EQ(out(7), 1.0);  // 1.0 lies below the interval
  EXPECT_EQ(out(8), 10.0);
  EXPECT_EQ(out(9), 0.05);
}

TEST(CalcCoefficientTests, ZeroEstimateKeepsItsStandardError) {
  const NEWMAT::ColumnVector test =
      Vec({0.0, 0.2, 0.0, 1.0, -0.4, 0.4, 0.0, 5.0, 0.05});
  NEWMAT::ColumnVector out;
  ForAllKinkMKAction::calc_CoefficientTests(test, out, 1);
  EXPECT_EQ(out(1), 1.0);
  EXPECT_EQ(out(2), 0.2);
  EXPECT_EQ(out(3), 0.0);
  EXPECT_EQ(out(7), 0.0);
}

TEST(CalcCoefficientTests, OtherModesCopyTheVector) {
  const NEWMAT::ColumnVector test =
      Vec({0.3, 0.1, 3.0, 0.0073, 0.08, 0.52, 1.0, 10.0, 0.05});
  for (int mode : {0, 2, -1}) {
    SCOPED_TRACE(mode);
    NEWMAT::ColumnVector out = Vec({42.0});
    ForAllKinkMKAction::calc_CoefficientTests(test, out, mode);
    EXPECT_EQ(km_test::ToVector(out), km_test::ToVector(test));
  }
}

}  // namespace
