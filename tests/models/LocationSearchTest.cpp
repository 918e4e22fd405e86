// Tests of the kinkmark-location search (BaseKMRegModel::findTheBestTau)
// and its profile intervals (test_TauStep), against a brute-force search
// over every placement written in R.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "models/BaseKMRegModel.h"
#include "models/WeightMatrices.h"
#include "tests/models/DesignTestHelpers.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::InverseDiagonal;
using km_test::MakeSeriesSet;
using km_test::RelNear;
using km_test::ToVector;
using km_test::Vec;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using Values = std::vector<double>;

// Coefficients may lose a few digits to the normal equations; the RSS and
// fitted values are better conditioned.
constexpr double kCoefTol = 1e-9;
constexpr double kRSSTol = 1e-10;
constexpr double kInf = std::numeric_limits<double>::infinity();

// The R side of every table below:
//
//   h <- function(x, t) pmax(x - t, 0)
//   fitW <- function(X, y, W) {
//     b <- solve(t(X) %*% W %*% X, t(X) %*% W %*% y); e <- y - X %*% b
//     list(b = as.vector(b), rss = as.numeric(t(e) %*% W %*% e)) }
//   # every placement i1 < i2 < ... of k candidates with i[j+1] - i[j] >= gap
//   # (the grid a = 2, b = 1, c = 0 gives gap 2), best by strict <
//   search <- function(base, x, y, W, grid, k, gap, extra = NULL) {
//     n <- length(grid); best <- list(rss = Inf)
//     places <- if (k == 0) list(integer(0)) else {
//       cmb <- combn(n, k, simplify = FALSE)
//       Filter(function(p) k < 2 || all(diff(p) >= gap), cmb) }
//     for (p in places) {
//       X <- base
//       for (i in p) X <- cbind(X, h(x, grid[i]))
//       if (!is.null(extra)) X <- cbind(X, extra(x, grid[p]))
//       f <- fitW(X, y, W)
//       if (f$rss < best$rss) best <- c(f, list(tau = grid[p])) }
//     best }
//   jumpCol <- function(J) function(x, tau) as.numeric(x - J >= 0)
//   splineCols <- function(x, tau) {
//     H <- cbind(x, sapply(tau, function(t) h(x, t))); cbind(H^2, H^3) }
//   ar1 <- function(v, r) { s <- sqrt(v); n <- length(v)
//     outer(1:n, 1:n, function(i, j) r^abs(i - j) * s[i] * s[j]) }
//
// Data set A: x <- 1:12, y as kAY, v as kAV, W <- diag(1 / v),
// grid <- 3:10, base <- cbind(1, x).
// Data set B: xb <- c(1:8, 1:8), yb as kBY1 then kBY2, W <- diag(16),
// grid <- 3:6, s1 <- rep(c(1, 0), each = 8), s2 <- 1 - s1.
const Values kAX = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
const Values kAY = {2.1, 2.9, 4.2, 5.1, 5.8, 7.2, 6.9, 6.1, 5.2, 4.8, 3.9, 3.1};
const Values kAV = {1, 1.5, 0.8, 1.2, 1, 0.9, 1.1, 1.3, 0.7, 1, 1.2, 0.95};
const Values kAY2 = {5, 4.6, 4.1, 3.0, 2.9, 2.2, 2.8, 3.9, 4.4, 5.2, 5.9, 6.8};
const Values kBX = {1, 2, 3, 4, 5, 6, 7, 8};
const Values kBY1 = {1.0, 2.2, 2.9, 4.1, 4.0, 3.6, 3.1, 2.4};
const Values kBY2 = {4.1, 5.0, 6.2, 6.9, 7.1, 6.4, 6.2, 5.3};

// The series of data set A or B.
struct DataSet {
  std::vector<Values> xs;
  std::vector<Values> ys;
  Values variances;
};
const DataSet kA = {{kAX}, {kAY}, kAV};
const DataSet kB = {{kBX, kBX}, {kBY1, kBY2}, Values(16, 1.0)};

// y3 <- y + 0.3 * sin(1:12)
Values AY3() {
  Values y = kAY;
  for (size_t i = 0; i < y.size(); ++i) y[i] += 0.3 * std::sin(i + 1.0);
  return y;
}

struct FitSetup {
  int modelType = 1;
  int jump = 0;
  double J = -1.0;
  int splineCode = 0;
  Values userLocations;  // empty: the grid a = 2, b = 1, c = 0
  double rho = -1.0;     // >= 0: AR(1) weights with this r
  std::vector<Values> extra;
};

// Prepares the fitting data of a data set as the best-model fit does.
KMRegFitMatrices Prepare(const DataSet& d, const FitSetup& s) {
  KMRegFitMatrices data;
  if (s.rho >= 0.0) {
    Matrix V;
    Matrix P1;
    Matrix P2;
    calc_WeightMatrices_ByErrorType(data.weight, V, P1, P2, Vec(d.variances),
                                    s.rho, 1);
  } else {
    data.weight = InverseDiagonal(d.variances);
  }
  std::vector<Values> extra;
  if (!s.extra.empty()) extra.push_back(Values());
  for (const Values& y : s.extra) extra.push_back(y);
  BaseKMRegModel::prepare_BaseKMRegModel_FittingData(
      data, MakeSeriesSet(d.xs, d.ys), km_test::VecArray(extra),
      Vec(s.userLocations), !s.userLocations.empty(), s.modelType, s.jump, s.J,
      2, 1, 0, s.splineCode);
  return data;
}

KMRegFitRecord Search(const KMRegFitMatrices& data, const DataSet& d,
                      const FitSetup& s, int k,
                      const std::string& mode = "NO") {
  KMRegFitRecord record;
  BaseKMRegModel::findTheBestTau(
      record, km_test::VecArray(d.xs), data.responses, data.candidates,
      data.candidateIndices, k, data.p, 0.05, s.jump, data.weight, data.XtWX,
      data.X, data.XtWY, data.yWy, s.splineCode, mode);
  return record;
}

void ExpectNear(const ColumnVector& actual, const Values& expected,
                double tol) {
  ASSERT_EQ(actual.Nrows(), static_cast<int>(expected.size()));
  for (int i = 1; i <= actual.Nrows(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(RelNear(actual(i), expected[static_cast<size_t>(i - 1)], tol));
  }
}

struct SearchCase {
  const char* name;
  const DataSet* data;
  FitSetup setup;
  int k;
  Values tau;
  Values beta;
  double rss;
};

FitSetup JumpAt(double J) {
  FitSetup s;
  s.jump = 1;
  s.J = J;
  return s;
}
FitSetup SplineAt(const Values& locations) {
  FitSetup s;
  s.splineCode = 2;
  s.userLocations = locations;
  return s;
}
FitSetup Autocorrelated(double rho) {
  FitSetup s;
  s.rho = rho;
  return s;
}
FitSetup Parallel() {
  FitSetup s;
  s.modelType = 2;
  return s;
}

TEST(FindTheBestTau, AgreesWithBruteForceWeightedLeastSquares) {
  const SearchCase cases[] = {
      // search(base, x, y, W, grid, 0, 2)
      {"A, k = 0",
       &kA,
       FitSetup(),
       0,
       {},
       {4.3177916552244504, 0.0748455496965365},
       26.0987322377565},
      // search(base, x, y, W, grid, 1, 2)
      {"A, k = 1",
       &kA,
       FitSetup(),
       1,
       {6},
       {0.952234799532553, 1.048802804208016, -1.712078869653632},
       0.39327133506293},
      // search(base, x, y, W, grid, 2, 2)
      {"A, k = 2",
       &kA,
       FitSetup(),
       2,
       {6, 8},
       {1.029161993741986, 1.016219606660663, -1.515490815283465,
        -0.249806537657485},
       0.285638551321673},
      // search(base, x, y, W, grid, 1, 2, jumpCol(8.5)). A jump between 6
      // and 7 would not do: on whole-number x, (x - 6)+ equals
      // (x - 7)+ plus the step, so kinkmarks at 6 and 7 would tie exactly.
      {"A, k = 1, jump at 8.5",
       &kA,
       JumpAt(8.5),
       1,
       {6},
       {0.953286232598323, 1.048357460378154, -1.681081505529419,
        -0.147233485651303},
       0.383137111820072},
      // search(base, x, y, W, c(4, 6, 8), 1, 2, splineCols)
      {"A, k = 1, cubic spline on user locations",
       &kA,
       SplineAt({4, 6, 8}),
       1,
       {6},
       {0.5602580464467660, 1.7083533604626462, -1.8438191708812182,
        -0.2530006368950652, -0.2907589371224515, 0.0255098983715166,
        -0.0187260610743293},
       0.215995203880341},
      // search(base, x, y, solve(ar1(v, 0.4)), grid, 1, 2)
      {"A, k = 1, AR(1) weights r = 0.4",
       &kA,
       Autocorrelated(0.4),
       1,
       {6},
       {1.03574726664364, 1.03264255604700, -1.70257780125319},
       0.512089225093895},
      // search(base, x, y, solve(ar1(v, 0.4)), grid, 2, 2)
      {"A, k = 2, AR(1) weights r = 0.4",
       &kA,
       Autocorrelated(0.4),
       2,
       {6, 10},
       {1.067015712200628, 1.015219431848490, -1.622223245407461,
        -0.215967360947275},
       0.439973291731818},
      // search(cbind(s1, s2, xb), xb, yb, diag(16), 3:6, 1, 2)
      {"B, parallel, k = 1",
       &kB,
       Parallel(),
       1,
       {4},
       {-0.03125, 2.95625, 1.0625, -1.47},
       0.536625},
      // search(cbind(1, xb), xb, yb, diag(16), 3:6, 1, 2)
      {"B, common intercept, k = 1",
       &kB,
       FitSetup(),
       1,
       {4},
       {1.4625, 1.0625, -1.47},
       36.23725},
  };
  for (const SearchCase& c : cases) {
    SCOPED_TRACE(c.name);
    const bool bSpline = c.setup.splineCode == 2;
    const double coefTol = bSpline ? 1e-6 : kCoefTol;
    const KMRegFitRecord r =
        Search(Prepare(*c.data, c.setup), *c.data, c.setup, c.k);
    EXPECT_EQ(r.searchDone, 1);
    EXPECT_EQ(r.k, c.k);
    EXPECT_EQ(ToVector(r.tau), c.tau);
    ExpectNear(r.beta, c.beta, coefTol);
    EXPECT_TRUE(RelNear(r.rss, c.rss, bSpline ? 1e-8 : kRSSTol));
    EXPECT_EQ(r.rssPerResponse.Nrows(), 1);
    EXPECT_EQ(r.rssPerResponse(1), r.rss);
    const int q = static_cast<int>(c.beta.size());
    EXPECT_EQ(r.normalMatrix.Nrows(), q);
    EXPECT_EQ(r.normalMatrix.Ncols(), q);
    if (c.setup.jump != 0) {
      ASSERT_EQ(r.jumpVector.Nrows(), 9);
      EXPECT_EQ(r.jumpVector(1), r.beta(r.p0 + c.k + 1));
    }
  }
}

TEST(FindTheBestTau, SplitsFittedValuesAndResidualsBySeries) {
  // Data set B, parallel model: the R coefficients of the table above,
  // a1 = -0.03125, a2 = 2.95625, b = 1.0625, d = -1.47 at tau = 4.
  const KMRegFitMatrices data = Prepare(kB, Parallel());
  const KMRegFitRecord r = Search(data, kB, Parallel(), 1);
  ASSERT_EQ(r.fittedValues.GetSize(), 2);
  ASSERT_EQ(r.residuals.GetSize(), 2);
  ASSERT_EQ(r.valuesAtTau.GetSize(), 2);
  const double a[] = {-0.03125, 2.95625};
  const std::vector<Values> ys = {kBY1, kBY2};
  for (int j = 0; j < 2; ++j) {
    SCOPED_TRACE(j);
    ASSERT_EQ(r.fittedValues[j].Nrows(), 8);
    for (int i = 1; i <= 8; ++i) {
      const double x = kBX[static_cast<size_t>(i - 1)];
      const double f = a[j] + 1.0625 * x - 1.47 * std::max(x - 4.0, 0.0);
      EXPECT_TRUE(RelNear(r.fittedValues[j](i), f, 1e-12));
      EXPECT_NEAR(r.residuals[j](i),
                  ys[static_cast<size_t>(j)][static_cast<size_t>(i - 1)] - f,
                  1e-12);
    }
    // The line of series j at its kinkmark.
    ExpectNear(r.valuesAtTau[j], {a[j] + 1.0625 * 4.0}, 1e-12);
  }
}

TEST(FindTheBestTau, ScoresExtraResponsesWithoutRefitting) {
  // The best placement of each response by itself, with R:
  //   y2 as kAY2, y3 <- y + 0.3 * sin(1:12)
  //   search(base, x, y2, W, grid, k, 2); search(base, x, y3, W, grid, k, 2)
  const struct {
    int k;
    std::vector<Values> taus;
    std::vector<Values> betas;
    Values rss;
  } cases[] = {
      {1,
       {{6}, {6}, {7}},
       {{0.952234799532553, 1.048802804208016, -1.712078869653632},
        {5.673030682454281, -0.582060614874118, 1.340692718114331},
        {1.635886840035593, 0.816981768295771, -1.732057447349530}},
       {0.39327133506293, 0.232803291312172, 0.617038297978976}},
      {2,
       {{6, 8}, {3, 6}, {7, 9}},
       {{1.029161993741986, 1.016219606660663, -1.515490815283465,
         -0.249806537657485},
        {5.5495323198836681, -0.5196258559068920, -0.0918237625793064,
         1.3757258338474201},
        {1.574591681660180, 0.839481729294517, -1.891272618510213,
         0.238565671671426}},
       {0.285638551321673, 0.221673048062846, 0.52781753912156}},
  };
  FitSetup s;
  s.extra = {kAY2, AY3()};
  const KMRegFitMatrices data = Prepare(kA, s);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.k);
    const KMRegFitRecord r = Search(data, kA, s, c.k, "CalcForResampling");
    // The quick RSS loses a few digits to cancellation against y'Wy.
    ExpectNear(r.rssPerResponse, c.rss, 1e-9);
    ASSERT_EQ(r.responseBetas.GetSize(), 3);
    ASSERT_EQ(r.responseTaus.GetSize(), 3);
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(ToVector(r.responseTaus[i]), c.taus[static_cast<size_t>(i)]);
      ExpectNear(r.responseBetas[i], c.betas[static_cast<size_t>(i)], kCoefTol);
    }
    // The record's own fit is that of the observed response.
    EXPECT_EQ(ToVector(r.tau), c.taus[0]);
    const KMRegFitRecord plain = Search(data, kA, s, c.k, "NO");
    EXPECT_EQ(plain.responseBetas.GetSize(), 0);
    ExpectNear(plain.rssPerResponse, c.rss, 1e-9);
  }
}

TEST(FindTheBestTau, ScoresExtraResponsesFarFromZeroAsNearIt) {
  // An extra response that is the observed one raised by a level: the level
  // goes into the intercept only, so its placement and quick RSS are the
  // observed response's, however large the level.
  // The responses are multiples of 1/64, so that raised by up to 1e9 they
  // are still exact.
  Values y = kAY;
  for (double& v : y) v = std::round(v * 64.0) / 64.0;
  const DataSet d = {{kAX}, {y}, kAV};
  for (double dLevel : {1e4, 1e7, 1e9}) {
    SCOPED_TRACE(dLevel);
    Values raised = y;
    for (double& v : raised) v += dLevel;
    FitSetup s;
    s.extra = {raised};
    const KMRegFitMatrices data = Prepare(d, s);
    for (int k : {1, 2}) {
      SCOPED_TRACE(k);
      const KMRegFitRecord r = Search(data, d, s, k, "CalcForResampling");
      ASSERT_EQ(r.rssPerResponse.Nrows(), 2);
      EXPECT_TRUE(RelNear(r.rssPerResponse(2), r.rssPerResponse(1), 1e-9));
      ASSERT_EQ(r.responseTaus.GetSize(), 2);
      EXPECT_EQ(ToVector(r.responseTaus[1]), ToVector(r.responseTaus[0]));
      const ColumnVector& b0 = r.responseBetas[0];
      const ColumnVector& b1 = r.responseBetas[1];
      ASSERT_EQ(b1.Nrows(), b0.Nrows());
      EXPECT_TRUE(RelNear(b1(1), b0(1) + dLevel, 1e-12));
      for (int i = 2; i <= b0.Nrows(); ++i) {
        EXPECT_NEAR(b1(i), b0(i), 1e-6) << i;
      }
    }
  }
}

TEST(FindTheBestTau, ProfilesTheRSSAndBoundsEachLocation) {
  // R, data set A, k = 2:
  //   prof <- matrix(1e50, 8, 2)
  //   for (p in Filter(function(p) diff(p) >= 2, combn(8, 2, simplify =
  //   FALSE))) {
  //     f <- fitW(cbind(base, h(x, grid[p[1]]), h(x, grid[p[2]])), y, W)
  //     for (j in 1:2) prof[p[j], j] <- min(prof[p[j], j], f$rss) }
  //   T <- 2 * min(prof) / 6 * qf(0.95, 2, 6) + min(prof)   # 0.775342315686197
  //   kinkmark 1: prof <= T at 3..6, widened to 1..7: grid 7 (upper), 3 (lower)
  //   kinkmark 2: prof <= T at 4..8 (row 3 is 3.44), widened to 3..8:
  //   grid 10, 5
  const double kN = 1e50;
  const std::vector<Values> profile = {
      {3.85991290502135e-01, kN},
      {3.53221858344384e-01, kN},
      {7.11445309249413e-01, 3.44267180127813e+00},
      {2.85638551321673e-01, 3.53221858344384e-01},
      {9.67001814559330e-01, 7.11445309249413e-01},
      {4.48463317677934e+00, 2.85638551321673e-01},
      {kN, 3.40032588892764e-01},
      {kN, 3.10173237675202e-01}};
  const KMRegFitRecord r = Search(Prepare(kA, FitSetup()), kA, FitSetup(), 2);
  ASSERT_EQ(r.profile.Nrows(), 8);
  ASSERT_EQ(r.profile.Ncols(), 2);
  for (int i = 1; i <= 8; ++i) {
    for (int j = 1; j <= 2; ++j) {
      SCOPED_TRACE(testing::Message() << i << "," << j);
      const double expected =
          profile[static_cast<size_t>(i - 1)][static_cast<size_t>(j - 1)];
      if (expected == kN) {
        EXPECT_EQ(r.profile(i, j), kN);
      } else {
        EXPECT_TRUE(RelNear(r.profile(i, j), expected, 1e-12));
      }
    }
  }
  ASSERT_EQ(r.tauInterval.Nrows(), 2);
  ASSERT_EQ(r.tauInterval.Ncols(), 2);
  EXPECT_EQ(r.tauInterval(1, 1), 7);
  EXPECT_EQ(r.tauInterval(2, 1), 3);
  EXPECT_EQ(r.tauInterval(1, 2), 10);
  EXPECT_EQ(r.tauInterval(2, 2), 5);
}

TEST(FindTheBestTau, KeepsTheFirstOfEqualPlacements) {
  // With W = 0 every placement has RSS exactly 0, so a tie holds between all
  // of them: the first in enumeration order (candidates 1, then 1 and 3)
  // must remain.
  KMRegFitMatrices data = Prepare(kA, FitSetup());
  data.weight = 0.0;
  data.XtWX = 0.0;
  data.XtWY = 0.0;
  data.yWy[0] = 0.0;
  EXPECT_EQ(ToVector(Search(data, kA, FitSetup(), 1).tau), (Values{3}));
  EXPECT_EQ(ToVector(Search(data, kA, FitSetup(), 2).tau), (Values{3, 5}));
}

TEST(FindTheBestTau, NegativeKSearchesWithoutKinkmarks) {
  const KMRegFitMatrices data = Prepare(kA, FitSetup());
  const KMRegFitRecord r = Search(data, kA, FitSetup(), -3);
  EXPECT_EQ(r.k, 0);
  EXPECT_EQ(r.tau.Nrows(), 0);
  EXPECT_EQ(r.profile.Ncols(), 0);
  EXPECT_EQ(r.tauInterval.Ncols(), 0);
  EXPECT_TRUE(RelNear(r.rss, 26.0987322377565, kRSSTol));
}

TEST(FindTheBestTau, LeavesTheRecordAloneWithTooManyKinkmarksOrNoResponse) {
  const KMRegFitMatrices data = Prepare(kA, FitSetup());
  KMRegFitRecord r;
  r.rss = 123.0;
  r.k = 7;
  // Nine kinkmarks on eight candidates.
  BaseKMRegModel::findTheBestTau(r, km_test::VecArray({kAX}), data.responses,
                                 data.candidates, data.candidateIndices, 9,
                                 data.p, 0.05, 0, data.weight, data.XtWX,
                                 data.X, data.XtWY, data.yWy, 0, "NO");
  EXPECT_EQ(r.rss, 123.0);
  EXPECT_EQ(r.k, 7);
  BaseKMRegModel::findTheBestTau(
      r, km_test::VecArray({kAX}), OneDimensionArray<ColumnVector>(),
      data.candidates, data.candidateIndices, 1, data.p, 0.05, 0, data.weight,
      data.XtWX, data.X, data.XtWY, data.yWy, 0, "NO");
  EXPECT_EQ(r.rss, 123.0);
  EXPECT_EQ(r.k, 7);
}

TEST(FindTheBestTau, MarksTheRecordNotFittedWhenNoPlacementIsAdmissible) {
  // Fault: with no admissible placement the locations were read from a
  // placement that does not exist and the jump coefficient from an empty
  // coefficient vector; the record is left visibly unfitted instead.
  // Five kinkmarks need candidates 1, 3, 5, 7 and 9 with a gap of two; there
  // are eight.
  FitSetup s;
  s.jump = 1;
  s.J = 6.5;
  const KMRegFitMatrices data = Prepare(kA, s);
  const KMRegFitRecord r = Search(data, kA, s, 5);
  EXPECT_EQ(r.searchDone, 0);
  EXPECT_EQ(r.k, 5);
  EXPECT_EQ(r.rss, kInf);
  EXPECT_EQ(r.rssPerResponse(1), kInf);
  EXPECT_EQ(r.tau.Nrows(), 0);
  EXPECT_EQ(r.beta.Nrows(), 0);
  ASSERT_EQ(r.fittedValues.GetSize(), 1);
  EXPECT_EQ(r.fittedValues[0].Nrows(), 0);
  EXPECT_EQ(r.residuals[0].Nrows(), 0);
  EXPECT_EQ(r.profile.Nrows(), 8);
  EXPECT_EQ(r.profile.Ncols(), 5);
  EXPECT_EQ(r.profile.Maximum(), 1e50);
  EXPECT_EQ(r.profile.Minimum(), 1e50);
  ASSERT_EQ(r.jumpVector.Nrows(), 9);
  EXPECT_EQ(r.jumpVector(1), 0.0);
}

TEST(FindTheBestTau, ReportsNonConformingInputsUnderItsName) {
  // Fault: a failing RSS product leaks the matrix library's temporaries; the
  // operands are checked before the search.
  const KMRegFitMatrices data = Prepare(kA, FitSetup());
  const Matrix tooSmall = InverseDiagonal({1, 1});
  struct Case {
    const char* name;
    const Matrix& W;
    const Matrix& XtWX;
    const char* messagePart;
  };
  const Case cases[] = {
      {"weighting matrix of the wrong order", tooSmall, data.XtWX,
       "weighting matrix"},
      // Reading the grid's columns of a 2 x 2 normal matrix.
      {"normal matrix too small for the grid", data.weight, tooSmall, "Newmat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KMRegFitRecord r;
    const KmException e = km_test::CatchKmException([&] {
      BaseKMRegModel::findTheBestTau(
          r, km_test::VecArray({kAX}), data.responses, data.candidates,
          data.candidateIndices, 1, data.p, 0.05, 0, c.W, c.XtWX, data.X,
          data.XtWY, data.yWy, 0, "NO");
    });
    EXPECT_EQ(std::string(e.GetSource()), "BaseKMRegModel::findTheBestTau()");
    EXPECT_NE(std::string(e.GetMessage()).find(c.messagePart),
              std::string::npos)
        << e.GetMessage();
  }
}

TEST(TestTauStep, WithoutDegreesOfFreedomKeepsTheMinimaAndScoredNeighbours) {
  // N = 3, p = 2, k = 3: df < 0, so s2 = 0 and the threshold is the best
  // RSS (2). Column 1: minima at 3..4, widened to 2..5. Column 2: minimum
  // at 2, its unscored left neighbour stays out, widened right to 3.
  // Column 3: nothing at or below the threshold, the whole grid.
  const double kN = 1e50;
  Matrix profile(5, 3);
  const double cells[] = {kN, kN, 9,  //
                          5,  2,  9,  //
                          2,  3,  9,  //
                          2,  kN, 9,  //
                          7,  kN, 9};
  profile << cells;
  Matrix interval;
  BaseKMRegModel::test_TauStep(interval, profile, 3, Vec({10, 20, 30, 40, 50}),
                               2.0, 2, 3, 0.05);
  EXPECT_EQ(km_test::Rows(interval),
            (std::vector<Values>{{50, 30, 50}, {20, 20, 10}}));
}

}  // namespace
