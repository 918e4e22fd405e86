// Tests of ForAllKinkMKAction::findTheBestTau (best kinkmark locations over
// all series) and ForAllKinkMKAction::test_TauStep (their confidence
// limits).
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/KmProgressInterface.h"
#include "models/ForAllKinkMKAction.h"
#include "models/WeightMatrices.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::ToVector;
using km_test::Vec;

// Coefficients come out of a generalised inverse; SSEs and fitted values
// are better conditioned.
constexpr double kCoefRelTol = 1e-9;
constexpr double kFitRelTol = 1e-10;

using VectorArray = OneDimensionArray<NEWMAT::ColumnVector>;

// Two groups of nine years under the parallel model (p = 3: one intercept
// per group, then x), three response series (the observed one and two
// fixed permutations of it), first-order autocorrelated weights and a grid
// of 11 locations whose successor table keeps kinkmarks two grid steps
// apart.
constexpr int kP = 3;
constexpr int kN = 18;
const std::vector<double> kY0 = {1.0, 1.5, 2.1, 2.4, 2.2, 2.0, 1.9, 2.6, 3.2,
                                 1.8, 2.2, 2.9, 3.1, 3.0, 2.7, 2.8, 3.3, 4.1};
const int kPerm1[kN] = {18, 3,  7, 1,  12, 9,  15, 4,  11,
                        2,  16, 6, 13, 8,  17, 5,  10, 14};
const int kPerm2[kN] = {5, 11, 2, 17, 8, 14, 1,  10, 16,
                        4, 13, 7, 18, 3, 9,  15, 6,  12};
const std::vector<double> kGrid = {2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6, 6.5, 7, 7.5};
const std::vector<double> kSuccessors = {3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13};

struct SearchInputs {
  VectorArray groups;
  VectorArray series;
  KMRegFittingData grid;
  KMRegModelSettings settings;
  NEWMAT::Matrix allX;
  NEWMAT::Matrix W;
  NEWMAT::Matrix xtwx;
  NEWMAT::Matrix xtwy;
  OneDimensionArray<double> yWy;
};

// Builds the design with calculateX0AllXAllY, the weights with
// calc_WeightMatrices_ByErrorType (error type 1, r = 0.4) and the
// cross-products as the fitting engine forms them.
SearchInputs MakeInputs(const std::vector<double>& grid,
                        const std::vector<double>& successors,
                        bool bJump = false) {
  SearchInputs in;
  VectorArray groupY;
  in.groups.Resize(2);
  groupY.Resize(2);
  for (int g = 0; g < 2; ++g) {
    in.groups[g] = Vec({1, 2, 3, 4, 5, 6, 7, 8, 9});
    groupY[g] = Vec(
        std::vector<double>(kY0.begin() + 9 * g, kY0.begin() + 9 * (g + 1)));
  }
  in.settings.modelType = 2;
  in.settings.jump = bJump ? 1 : 0;
  in.settings.jumpLocation = 5.2;
  in.grid.candidates = Vec(grid);
  in.grid.candidateIndices = Vec(successors);
  NEWMAT::ColumnVector stackedX;
  NEWMAT::ColumnVector stackedY;
  ForAllKinkMKAction::calculateX0AllXAllY(kP, in.groups, groupY, in.settings,
                                          in.grid.candidates, in.allX, stackedX,
                                          stackedY);

  NEWMAT::ColumnVector variances(kN);
  for (int i = 1; i <= kN; ++i)
    variances(i) = (i % 3 == 1) ? 1.0 : (i % 3 == 2 ? 2.0 : 1.5);
  NEWMAT::Matrix V;
  NEWMAT::Matrix P1;
  NEWMAT::Matrix P2;
  calc_WeightMatrices_ByErrorType(in.W, V, P1, P2, variances, 0.4, 1);

  NEWMAT::Matrix Y(kN, 3);
  in.series.Resize(3);
  for (int i = 1; i <= kN; ++i) {
    Y(i, 1) = kY0[i - 1];
    Y(i, 2) = kY0[kPerm1[i - 1] - 1];
    Y(i, 3) = kY0[kPerm2[i - 1] - 1];
  }
  in.yWy.Resize(3);
  for (int s = 1; s <= 3; ++s) {
    in.series[s - 1] = Y.Column(s);
    const NEWMAT::Matrix q = Y.Column(s).t() * in.W * Y.Column(s);
    in.yWy[s - 1] = q(1, 1);
  }
  in.xtwx = in.allX.t() * in.W * in.allX;
  in.xtwy = in.allX.t() * in.W * Y;
  return in;
}

void Search(const SearchInputs& in, int k,
            OneDimensionArray<KinkMKFitResult>& results,
            KmProgressInterface* progress = nullptr) {
  ForAllKinkMKAction::findTheBestTau(in.groups, in.series, in.grid, in.settings,
                                     k, kP, in.xtwx, in.allX, in.xtwy, in.yWy,
                                     results, in.W, progress);
}

void ExpectVectorNear(const NEWMAT::ColumnVector& actual,
                      const std::vector<double>& expected, double tol) {
  ASSERT_EQ(static_cast<size_t>(actual.Nrows()), expected.size());
  for (int i = 1; i <= actual.Nrows(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(RelNear(actual(i), expected[i - 1], tol));
  }
}

// Expected values by brute force over every admissible placement. R:
//   x <- c(1:9, 1:9); g2 <- c(rep(0, 9), rep(1, 9))
//   Y <- cbind(y0, y0[perm1], y0[perm2]); n <- 18
//   r <- 0.4; v <- rep(c(1, 2, 1.5), 6); s <- sqrt(v); a <- 1 - r^2
//   W <- matrix(0, n, n); for (i in 1:n) {
//     W[i, i] <- (if (i == 1 || i == n) 1 else 1 + r^2) / (v[i] * a)
//     if (i < n) { W[i, i+1] <- -r / (s[i] * s[i+1] * a)
//                  W[i+1, i] <- W[i, i+1] } }
//   grid <- c(2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6, 6.5, 7, 7.5); m <- 11
//   L <- c(3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13)
//   base <- cbind(1 - g2, g2, x); p <- 3
//   H <- sapply(grid, function(t) pmax(x - t, 0))
//   admissible <- function(T) all(diff(T) >= 1) && (length(T) < 2 ||
//     all(sapply(2:length(T), function(i) T[i] >= max(L[T[i-1]], T[i-1]+1))))
//   search <- function(k, jump = NULL, alpha = 0.05) {
//     placements <- if (k == 0) list(integer(0)) else
//       Filter(admissible, lapply(1:ncol(combn(m, k)), function(j) combn(m,
//       k)[, j]))
//     best <- Inf; prof <- matrix(1e50, m, max(k, 1)); others <- rep(Inf, 2)
//     for (T in placements) {
//       X <- cbind(base, H[, T, drop = FALSE], jump)
//       B <- solve(t(X) %*% W %*% X, t(X) %*% W %*% Y)
//       e <- y0 - X %*% B[, 1]; sse <- drop(t(e) %*% W %*% e)
//       if (sse < best) { best <- sse; bestT <- T; bestB <- B[, 1] }
//       for (j in seq_len(k)) prof[T[j], j] <- min(prof[T[j], j], sse)
//       for (sidx in 2:3) { e <- Y[, sidx] - X %*% B[, sidx]
//         others[sidx-1] <- min(others[sidx-1], drop(t(e) %*% W %*% e)) } }
//     fitted <- cbind(base, H[, bestT, drop = FALSE], jump) %*% bestB
//     df <- n - (p + 2*k); thr <- best + k * best/df * qf(1 - alpha, k, df)
//     # limits: first and last profile row <= thr (1 and m when none),
//     # each widened by one row unless that row is 1e50; (grid[hi], grid[lo])
//   }
//   search(0); search(2); search(1, jump = as.numeric(x >= 5.2))
struct SearchCase {
  const char* sName;
  int k;
  bool bJump;
  double sse;
  std::vector<double> tau;
  std::vector<double> beta;
  std::vector<double> otherSSE;
  std::vector<double> fitted;
  std::vector<double> limits;   // (upper, lower) per kinkmark
  std::vector<double> profile;  // column by column, m rows each
};

constexpr double kNV = 1e50;  // a grid location no placement visited

// clang-format off
std::vector<SearchCase> SearchCases() {
  return {
    {"k = 0", 0, false, 1.7650066417664441, {},
     {0.94025257063768919, 1.69349284125628508, 0.22961506377696586},
     {10.722035919009206, 12.192149733027055},
     {1.1698676344146550, 1.3994826981916209, 1.6290977619685867,
      1.8587128257455525, 2.0883278895225184, 2.3179429532994842,
      2.5475580170764500, 2.7771730808534159, 3.0067881446303821,
      1.9231079050332509, 2.1527229688102167, 2.3823380325871826,
      2.6119530963641484, 2.8415681601411142, 3.0711832239180801,
      3.3007982876950459, 3.5304133514720117, 3.7600284152489780},
     {}, {}},
    // 50 admissible placements.
    {"k = 2", 2, false, 0.08727010210558496, {3.5, 7},
     {0.44517515385329048, 1.25271590752025408, 0.55266412368410489,
      -0.68135049529708602, 0.78216076527348866},
     {9.2950974955587267, 7.3541064424197691},
     {0.99783927753739543, 1.55050340122150021, 2.10316752490560521,
      2.31515640094116693, 2.18647002932818602, 2.05778365771520466,
      1.92909728610222420, 2.58257167976273161, 3.23604607342323902,
      1.80538003120435908, 2.35804415488846386, 2.91070827857256909,
      3.12269715460813080, 2.99401078299514989, 2.86532441138216853,
      2.73663803976918718, 3.39011243342969459, 4.04358682709020201},
     {4.5, 3, 7.5, 6},
     {0.35500833306652346, 0.22786255336621219, 0.087270102105584960,
      0.14434121036691971, 0.16381208237637934, 0.45000785802337739,
      0.45717661995845643, 1.0007623173622371, 1.1367552779887171,
      1.2678470728196178, kNV,
      kNV, kNV, 1.3593827485382370, 1.3593827485382364, 0.95511491133558812,
      0.89603891047295559, 0.46840139410845216, 0.41729597611766739,
      0.11600047754783950, 0.087270102105584960, 0.14254807215017573}},
    {"k = 1, jump at 5.2", 1, true, 0.64166164457026265, {7.5},
     {0.88178782419776935, 1.67358404023738183, 0.30233991987067949,
      0.39800104139470732, -0.87707654234044030},
     {9.712624462220397, 10.304620228453935},
     {1.1841277440684488, 1.4864676639391283, 1.7888075838098079,
      2.0911475036804874, 2.3934874235511669, 1.8187508010814057,
      2.1210907209520853, 2.6224311615201183, 3.3227721227855054,
      1.9759239601080614, 2.2782638799787409, 2.5806037998494205,
      2.8829437197200996, 3.1852836395907795, 2.6105470171210183,
      2.9128869369916979, 3.4142273775597309, 4.1145683388251175},
     {7.5, 2.5},
     {0.81224922577358383, 0.79368207624336018, 0.82592063884774181,
      0.85299804286667913, 0.88367390273595692, 0.86194346530388466,
      0.86194346530388521, 0.86194346530388610, 0.78111779376969948,
      0.64410540884024892, 0.64166164457026265}},
  };
}
// clang-format on

TEST(FindTheBestTau, MatchesBruteForceOverTheGrid) {
  for (const SearchCase& c : SearchCases()) {
    SCOPED_TRACE(c.sName);
    const SearchInputs in = MakeInputs(kGrid, kSuccessors, c.bJump);
    OneDimensionArray<KinkMKFitResult> results;
    Search(in, c.k, results);
    ASSERT_EQ(results.GetSize(), 3);
    const KinkMKFitResult& r = results[0];
    EXPECT_EQ(r.k, c.k);
    EXPECT_EQ(r.p, kP);
    EXPECT_TRUE(RelNear(r.sse, c.sse, kFitRelTol));
    EXPECT_EQ(ToVector(r.tau), c.tau);
    ExpectVectorNear(r.beta, c.beta, kCoefRelTol);
    for (int s = 1; s <= 2; ++s) {
      SCOPED_TRACE(s);
      EXPECT_EQ(results[s].k, c.k);
      EXPECT_EQ(results[s].p, kP);
      EXPECT_TRUE(RelNear(results[s].sse, c.otherSSE[s - 1], kFitRelTol));
    }

    // Fitted values and residuals, one vector per group of nine.
    ASSERT_EQ(r.fittedValues.GetSize(), 2);
    ASSERT_EQ(r.residuals.GetSize(), 2);
    for (int g = 0; g < 2; ++g) {
      SCOPED_TRACE(g);
      const std::vector<double> fitted(c.fitted.begin() + 9 * g,
                                       c.fitted.begin() + 9 * (g + 1));
      ExpectVectorNear(r.fittedValues[g], fitted, kFitRelTol);
      ASSERT_EQ(r.residuals[g].Nrows(), 9);
      for (int i = 1; i <= 9; ++i) {
        EXPECT_NEAR(r.residuals[g](i), kY0[9 * g + i - 1] - fitted[i - 1],
                    1e-12);
      }
    }

    // X'WX of the best placement: q x q, symmetric, its first block the
    // base columns' cross-product.
    const int q = kP + c.k + (c.bJump ? 1 : 0);
    ASSERT_EQ(r.xtwx.Nrows(), q);
    ASSERT_EQ(r.xtwx.Ncols(), q);
    EXPECT_EQ(r.xtwx(1, 2), in.xtwx(1, 2));
    EXPECT_EQ(r.xtwx(kP, kP), in.xtwx(kP, kP));
    EXPECT_EQ(r.secondXtwx.Nrows(), 0);  // no second cross-product given

    EXPECT_EQ(r.alpha, in.settings.alpha);
    ASSERT_EQ(r.profile.Nrows(), 11);
    ASSERT_EQ(r.profile.Ncols(), c.k);
    for (int j = 1; j <= c.k; ++j) {
      for (int row = 1; row <= 11; ++row) {
        SCOPED_TRACE(testing::Message() << "profile " << row << "," << j);
        const double expected = c.profile[11 * (j - 1) + row - 1];
        if (expected == kNV) {
          EXPECT_EQ(r.profile(row, j), kNV);
        } else {
          EXPECT_TRUE(RelNear(r.profile(row, j), expected, kFitRelTol));
        }
      }
    }
    ASSERT_EQ(r.tauLimits.Nrows(), 2);
    ASSERT_EQ(r.tauLimits.Ncols(), c.k);
    for (int j = 1; j <= c.k; ++j) {
      EXPECT_EQ(r.tauLimits(1, j), c.limits[2 * (j - 1)]);
      EXPECT_EQ(r.tauLimits(2, j), c.limits[2 * (j - 1) + 1]);
    }

    if (c.bJump) {
      ASSERT_EQ(r.jumpVector.Nrows(), 9);
      EXPECT_EQ(r.jumpVector(1), r.beta(q));
      for (int i = 2; i <= 9; ++i) EXPECT_EQ(r.jumpVector(i), 0.0);
    } else {
      EXPECT_EQ(r.jumpVector.Nrows(), 0);
    }
  }
}

TEST(FindTheBestTau, SecondCrossProductBlockFollowsTheBestColumns) {
  SearchInputs in = MakeInputs(kGrid, kSuccessors);
  // Entry (i, j) = 100 i + j shows which rows and columns were picked.
  const int iColumns = kP + 11;
  in.settings.secondCrossProduct.ReSize(iColumns, iColumns);
  for (int i = 1; i <= iColumns; ++i) {
    for (int j = 1; j <= iColumns; ++j) {
      in.settings.secondCrossProduct(i, j) = 100.0 * i + j;
    }
  }
  OneDimensionArray<KinkMKFitResult> results;
  Search(in, 2, results);
  // The best placement is grid indices (3, 10): columns 1, 2, 3, 6, 13.
  const int columns[] = {1, 2, 3, 6, 13};
  ASSERT_EQ(results[0].secondXtwx.Nrows(), 5);
  for (int a = 1; a <= 5; ++a) {
    for (int b = 1; b <= 5; ++b) {
      EXPECT_EQ(results[0].secondXtwx(a, b),
                100.0 * columns[a - 1] + columns[b - 1]);
    }
  }
}

TEST(FindTheBestTau, EqualSSEKeepsTheFirstPlacement) {
  // Both locations lie beyond every x, so both hinge columns are zero: the
  // two placements have the same (singular) design and bit-equal SSEs,
  // equal to the fit without kinkmarks.
  const SearchInputs in = MakeInputs({9.5, 10}, {2, 3});
  OneDimensionArray<KinkMKFitResult> results;
  Search(in, 1, results);
  EXPECT_EQ(ToVector(results[0].tau), std::vector<double>{9.5});
  EXPECT_TRUE(RelNear(results[0].sse, 1.7650066417664441, kFitRelTol));
  EXPECT_EQ(results[0].profile(1, 1), results[0].profile(2, 1));
}

TEST(FindTheBestTau, NegativeKCountsAsNoKinkmarks) {
  const SearchInputs in = MakeInputs(kGrid, kSuccessors);
  OneDimensionArray<KinkMKFitResult> results;
  Search(in, -3, results);
  EXPECT_EQ(results[0].k, 0);
  EXPECT_TRUE(RelNear(results[0].sse, 1.7650066417664441, kFitRelTol));
  EXPECT_EQ(results[0].beta.Nrows(), kP);
  EXPECT_EQ(results[0].tauLimits.Ncols(), 0);
}

TEST(FindTheBestTau, NoSeriesLeavesTheResultsUntouched) {
  SearchInputs in = MakeInputs(kGrid, kSuccessors);
  in.series.Resize(0);
  OneDimensionArray<KinkMKFitResult> results;
  results.Resize(2);
  results[1].sse = 5.0;
  Search(in, 1, results);
  ASSERT_EQ(results.GetSize(), 2);
  EXPECT_EQ(results[1].sse, 5.0);
}

TEST(FindTheBestTau, MoreKinkmarksThanLocationsReportsNoFit) {
  // Fault: fresh records carry SSE 0.0, which every criterion reads as a
  // perfect fit (-infinity, the best score) although no placement exists.
  // The records now say so with an infinite SSE, like a search without any
  // admissible placement.
  const SearchInputs in = MakeInputs(kGrid, kSuccessors);
  OneDimensionArray<KinkMKFitResult> results;
  Search(in, 12, results);
  ASSERT_EQ(results.GetSize(), 3);
  for (int s = 0; s < 3; ++s) {
    SCOPED_TRACE(s);
    EXPECT_EQ(results[s].sse, INFINITY);
    EXPECT_EQ(results[s].k, 12);
    EXPECT_EQ(results[s].p, kP);
    EXPECT_EQ(results[s].tau.Nrows(), 0);
    EXPECT_EQ(results[s].beta.Nrows(), 0);
  }
}

TEST(FindTheBestTau, NoAdmissiblePlacementKeepsInfiniteSSE) {
  // Every successor lies beyond the grid: a second kinkmark never fits.
  const SearchInputs in =
      MakeInputs(kGrid, std::vector<double>(kGrid.size(), 99.0));
  OneDimensionArray<KinkMKFitResult> results;
  Search(in, 2, results);
  const KinkMKFitResult& r = results[0];
  for (int s = 0; s < 3; ++s) EXPECT_EQ(results[s].sse, INFINITY);
  EXPECT_EQ(ToVector(r.tau), (std::vector<double>{2.5, 3}));
  EXPECT_EQ(r.profile.Nrows(), 0);
  EXPECT_EQ(r.beta.Nrows(), 0);
  EXPECT_EQ(r.fittedValues.GetSize(), 0);
  EXPECT_EQ(r.tauLimits.Nrows(), 0);
}

// Answers IsCancelled with true from its iFrom-th query on, and counts the
// queries.
class CancelAfter : public KmNullProgress {
 public:
  explicit CancelAfter(int iFrom) : iFrom_(iFrom) {}
  bool IsCancelled() const override { return ++iQueries_ >= iFrom_; }
  int Queries() const { return iQueries_; }

 private:
  int iFrom_;
  mutable int iQueries_ = 0;
};

TEST(FindTheBestTau, CancellationKeepsTheBestPlacementSeen) {
  const SearchInputs in = MakeInputs(kGrid, kSuccessors);
  CancelAfter progress(1);
  OneDimensionArray<KinkMKFitResult> results;
  Search(in, 2, results, &progress);
  const KinkMKFitResult& r = results[0];
  // One placement, (1, 3), was fitted; the location query then stopped at
  // once, so the locations stay unset (0).
  EXPECT_EQ(progress.Queries(), 2);
  EXPECT_TRUE(std::isfinite(r.sse));
  EXPECT_EQ(r.profile(1, 1), r.sse);
  EXPECT_EQ(r.profile(3, 2), r.sse);
  EXPECT_EQ(r.profile(2, 1), kNV);
  EXPECT_EQ(r.profile(10, 2), kNV);
  EXPECT_EQ(ToVector(r.tau), (std::vector<double>{0, 0}));
  EXPECT_EQ(r.fittedValues.GetSize(), 2);
}

TEST(FindTheBestTau, NeverCancelledProgressAsksOncePerPlacementAndLocation) {
  const SearchInputs in = MakeInputs(kGrid, kSuccessors);
  CancelAfter progress(1000000);
  OneDimensionArray<KinkMKFitResult> results;
  Search(in, 2, results, &progress);
  EXPECT_EQ(progress.Queries(), 50 + 2);  // 50 admissible placements
  EXPECT_EQ(ToVector(results[0].tau), (std::vector<double>{3.5, 7}));
}

TEST(FindTheBestTau, MatrixErrorBecomesKmExceptionWithoutCallPath) {
  SearchInputs in = MakeInputs(kGrid, kSuccessors);
  const NEWMAT::Matrix firstColumn = in.xtwy.Column(1);
  in.xtwy = firstColumn;  // three series but one cross-product column
  OneDimensionArray<KinkMKFitResult> results;
  const KmException e =
      km_test::CatchKmException([&] { Search(in, 1, results); });
  EXPECT_STREQ(e.GetSource(), "ForAllKinkMKAction::findTheBestTau()");
  EXPECT_NE(std::string(e.GetMessage()).find("detected by Newmat"),
            std::string::npos)
      << e.GetMessage();
  EXPECT_STREQ(e.GetCallPath(), "");
}

// test_TauStep on hand-made profiles over the grid (10, 20, 30, 40, 50),
// one kinkmark, SSE 1.0, p = 3.
//  - n = 5: df = 0, so the threshold is the SSE itself.
//  - n = 10: df = 5, s2 = 0.2, threshold = 1 + 0.2 qf(0.95, 1, 5)
//    = 1 + 0.2 * 6.6078909737033626 = 2.3216 (R: qf(0.95, 1, 5)).
TEST(TestTauStep, LimitsFromTheProfile) {
  struct Case {
    const char* sName;
    int n;
    std::vector<double> profile;
    double upper;
    double lower;
  };
  const Case cases[] = {
      // rows 3 and 4 within; row 2 was never visited, so lo stays at 3;
      // hi widens to row 5.
      {"unvisited neighbour stops widening", 5, {5, kNV, 1.0, 0.9, 3}, 50, 30},
      {"none within: last and first grid value", 5, {5, 6, 7, 8, 9}, 50, 10},
      {"all within", 5, {1, 0.5, 1, 0.5, 1}, 50, 10},
      {"single row widened both ways", 5, {kNV, 2, 1, 2, kNV}, 40, 20},
      {"df 5, 2.3 within the threshold", 10, {5, 2.4, 2.3, 1, 3}, 50, 20},
      {"df 5, 2.33 beyond the threshold", 10, {5, 2.4, 2.33, 1, 3}, 50, 30},
  };
  const NEWMAT::ColumnVector grid = Vec({10, 20, 30, 40, 50});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sName);
    KinkMKFitResult r;
    r.k = 1;
    r.p = 3;
    r.sse = 1.0;
    r.profile = Vec(c.profile);
    ForAllKinkMKAction::test_TauStep(r, c.n, grid);
    ASSERT_EQ(r.tauLimits.Nrows(), 2);
    ASSERT_EQ(r.tauLimits.Ncols(), 1);
    EXPECT_EQ(r.tauLimits(1, 1), c.upper);
    EXPECT_EQ(r.tauLimits(2, 1), c.lower);
  }
}

TEST(TestTauStep, NoKinkmarksGiveNoColumns) {
  KinkMKFitResult r;
  r.k = 0;
  r.p = 2;
  r.sse = 1.0;
  ForAllKinkMKAction::test_TauStep(r, 10, Vec({1, 2}));
  EXPECT_EQ(r.tauLimits.Nrows(), 2);
  EXPECT_EQ(r.tauLimits.Ncols(), 0);
}

}  // namespace
