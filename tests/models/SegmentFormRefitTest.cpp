// Tests of the segment-form refit (ForAllKinkMKAction::fit_KinkMKModel),
// reached as the calculator reaches it, through ForAllKinkMKAction::run_Fit.
//
// Expected values come from R. Every R snippet below starts from these
// helpers (the refit written out in R: segment-form design Z = [D | X (| H)],
// proximity weights w, G = Dw Omega Dw, C = e'Ge / (sum(w) - rank) *
// solve(Z'GZ), theta from beta):
//
//   refit <- function(xs, ys, v, b, tau, P, Omega, J = NULL, jloc = NULL) {
//     S <- length(xs); K <- length(tau)
//     x <- unlist(xs); y <- unlist(ys); N <- length(x)
//     ser <- rep(seq_len(S), sapply(xs, length))
//     seg <- if (K == 0) rep(1, N) else
//            findInterval(x, tau, left.open = TRUE) + 1
//     D <- if (S > 1) sapply(2:S, function(s) as.numeric(ser == s)) else
//          matrix(0, N, 0)
//     X <- do.call(cbind, lapply(1:(K+1), function(j)
//                  cbind(seg == j, (seg == j) * x)))
//     Z <- cbind(D, X)
//     h <- 0.117 * 0.5 * N * log(log(N))^0.6 / sqrt(N)
//     w <- rep(1, N)
//     for (j in seq_len(K)) { u <- abs(x - tau[j]) / h; w[u < 1] <- u[u < 1] }
//     jstar <- NA
//     if (!is.null(jloc)) {
//       jstar <- if (K == 0) 1 else
//                findInterval(jloc, tau, left.open = TRUE) + 1
//       H <- as.numeric(seg == jstar & x >= jloc)
//       if (any(H != 0) && any((H != X[, 2*jstar-1])[w != 0]))
//         Z <- cbind(Z, H)
//     }
//     G <- diag(w) %*% Omega %*% diag(w)
//     A <- t(Z) %*% G %*% Z; r <- qr(A)$rank; Ai <- solve(A)
//     e <- y - Z %*% (Ai %*% t(Z) %*% G %*% y); df <- sum(w) - r
//     C <- as.numeric(t(e) %*% G %*% e / df) * Ai
//     theta <- c(if (S > 1) b[2:S] - b[1] else numeric(0), b[1], b[P])
//     for (j in seq_len(K)) theta <- c(theta,
//         b[1] - sum(b[P + 1:j] * tau[1:j]) +
//           (if (!is.na(jstar) && j + 1 > jstar) J else 0),
//         b[P] + sum(b[P + 1:j]))
//     row <- function(est, var) { se <- sqrt(abs(var)); t <- est/se
//                                 c(est, se, t, 2*pt(-abs(t), df)) }
//     seg.tab <- lapply(1:S, function(s) do.call(rbind, lapply(1:(K+1),
//       function(j) { a <- P + 2*j - 3
//         ie <- theta[a] + (if (s > 1) theta[s-1] else 0)
//         iv <- if (s > 1) C[s-1,s-1] + C[s-1,a] + C[a,s-1] + C[a,a] else
//               C[a,a]
//         rbind(row(ie, iv), row(theta[a+1], C[a+1,a+1])) })))
//     kink.tab <- lapply(1:S, function(s) {
//       m <- seg.tab[[s]][1:2, , drop = FALSE]
//       for (p in seq_len(K)) { c1 <- P + 2*p; d1 <- c1 - 2
//         m <- rbind(m, row(theta[c1] - theta[d1],
//                           C[c1,c1] - C[c1,d1] - C[d1,c1] + C[d1,d1])) }
//       m })
//     list(theta = theta, df = df, C = C, seg = seg.tab, kink = kink.tab)
//   }
//   ar1Omega <- function(v, r) { s <- sqrt(v); n <- length(v)
//     solve(outer(1:n, 1:n, function(i, j) r^abs(i-j)) * outer(s, s)) }
//   tvec <- function(est, se, df, alpha, null) { t <- (est - null)/se
//     c <- qt(1 - alpha/2, df); lo <- est - c*se; hi <- est + c*se
//     c(est, se, t, 2*pt(-abs(t), df), lo, hi,
//       as.numeric(null < lo || null > hi), df, alpha) }
//
// With no kinkmarks and all weights 1 the refit is an ordinary weighted
// regression, so that case is checked against summary(lm(...)) directly.
#include <gtest/gtest.h>
#include <newmat.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "models/ForAllKinkMKAction.h"
#include "models/KMSeriesSet.h"
#include "models/KinkMKFitResult.h"

namespace {

using Row = std::array<double, 4>;
using Table = std::vector<Row>;

// Estimates are exact rewrites of the given coefficients; standard errors
// and p-values go through a matrix inverse and the t distribution.
constexpr double kEstimateTol = 1e-12;
constexpr double kInferenceTol = 1e-8;
// p-values are 1 - F(|t|) with F near 1, so they carry an absolute error of
// a few units of 1.0's last place.
constexpr double kPValueAbsTol = 1e-15;
// Segment 2 of the close-kinkmarks case rests on two down-weighted
// observations; its inverse is ill-conditioned.
constexpr double kIllConditionedTol = 1e-6;

// True when |actual - expected| <= tol * max(|expected|, 1e-300) + absTol;
// equal infinities and NaNs count as equal.
::testing::AssertionResult Near(double actual, double expected, double tol,
                                double absTol = 0.0) {
  if (std::isnan(expected) && std::isnan(actual)) {
    return ::testing::AssertionSuccess();
  }
  if (std::isinf(expected) && actual == expected) {
    return ::testing::AssertionSuccess();
  }
  const double dScale = std::fmax(std::fabs(expected), 1e-300);
  if (std::fabs(actual - expected) <= tol * dScale + absTol) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "actual " << actual << " expected " << expected << " (rel diff "
         << std::fabs(actual - expected) / dScale << ")";
}

NEWMAT::ColumnVector Vec(const std::vector<double>& values) {
  NEWMAT::ColumnVector v(static_cast<int>(values.size()));
  for (int i = 1; i <= v.Nrows(); ++i) v(i) = values[i - 1];
  return v;
}

// A series set of the given series; covariance = diag(variances).
KMSeriesSet MakeSeries(const std::vector<std::vector<double>>& xs,
                       const std::vector<std::vector<double>>& ys,
                       const std::vector<double>& variances) {
  KMSeriesSet set;
  const int S = static_cast<int>(xs.size());
  set.labels.Resize(S);
  set.xValues.Resize(S);
  set.yValues.Resize(S);
  for (int s = 0; s < S; ++s) {
    set.labels[s] = KmString(std::string(1, static_cast<char>('a' + s)));
    set.xValues[s] = Vec(xs[s]);
    set.yValues[s] = Vec(ys[s]);
  }
  const int N = static_cast<int>(variances.size());
  set.covariance.ReSize(N);
  set.covariance = 0.0;
  for (int i = 1; i <= N; ++i) set.covariance(i, i) = variances[i - 1];
  return set;
}

// A fitted model of K kinkmarks and P level parameters.
KinkMKFitResult MakeResult(const std::vector<double>& beta,
                           const std::vector<double>& tau, int P) {
  KinkMKFitResult result;
  result.k = static_cast<int>(tau.size());
  result.p = P;
  result.beta = Vec(beta);
  result.tau = Vec(tau);
  return result;
}

void ExpectTable(const NEWMAT::Matrix& actual, const Table& expected,
                 double estimateTol, double inferenceTol) {
  ASSERT_EQ(actual.Nrows(), static_cast<int>(expected.size()));
  ASSERT_EQ(actual.Ncols(), 4);
  for (int r = 1; r <= actual.Nrows(); ++r) {
    SCOPED_TRACE("row " + std::to_string(r));
    const Row& e = expected[r - 1];
    EXPECT_TRUE(Near(actual(r, 1), e[0], estimateTol));
    EXPECT_TRUE(Near(actual(r, 2), e[1], inferenceTol)) << "standard error";
    EXPECT_TRUE(Near(actual(r, 3), e[2], inferenceTol)) << "statistic";
    EXPECT_TRUE(Near(actual(r, 4), e[3], inferenceTol,
                     inferenceTol == 0.0 ? 0.0 : kPValueAbsTol))
        << "p-value";
  }
}

void ExpectVector(const NEWMAT::ColumnVector& actual,
                  const std::vector<double>& expected, double tol) {
  ASSERT_EQ(actual.Nrows(), static_cast<int>(expected.size()));
  for (int i = 1; i <= actual.Nrows(); ++i) {
    EXPECT_TRUE(Near(actual(i), expected[i - 1], tol)) << "entry " << i;
  }
}

// Data shared by several cases: 12 yearly values with variances 0.5 + 0.1 x
// and a kinkmark at 6.1, so x = 6 has proximity weight 0.1 / h = 0.522.
//   x <- 1:12; v <- 0.5 + 0.1*x; tau <- 6.1
//   y <- round(2 + 0.5*x + 0.9*pmax(x-tau,0) + 0.3*sin(1.7*x), 4)
//   b <- coef(lm(y ~ x + pmax(x - tau, 0), weights = 1/v))
const std::vector<double> kX12 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
const std::vector<double> kV12 = {0.6, 0.7, 0.8, 0.9, 1.0, 1.1,
                                  1.2, 1.3, 1.4, 1.5, 1.6, 1.7};
const std::vector<double> kY12 = {2.7975, 2.9233,  3.2223,  4.1482,
                                  4.7395, 4.79,    6.1246,  7.9677,
                                  9.229,  10.2216, 11.8653, 13.6099};
const std::vector<double> kBeta12 = {2.15847951151261075, 0.46072769520652734,
                                     0.97060713900684070};

struct RefitCase {
  const char* name;
  std::vector<std::vector<double>> xs;
  std::vector<std::vector<double>> ys;
  std::vector<double> variances;
  std::vector<double> beta;
  std::vector<double> tau;
  int P;
  int errorType;
  double phi;
  double df;
  std::vector<Table> segmentTables;   // per series
  std::vector<Table> kinkmarkTables;  // per series
  double inferenceTol;
};

const RefitCase kRefitCases[] = {
    // res <- refit(list(x), list(y), v, b, tau, 2, diag(1/v))
    {"one series, one kinkmark, independent errors",
     {kX12},
     {kY12},
     kV12,
     kBeta12,
     {6.1},
     2,
     0,
     0.0,
     7.5221092237659519,
     {{{2.1584795115126107e+00, 2.1365553254446218e-01, 1.0102614642396055e+01,
        1.2185835379263998e-05},
       {4.6072769520652734e-01, 6.5965343614055871e-02, 6.9843901352521058e+00,
        1.5338836922321024e-04},
       {-3.7622240364291173e+00, 6.9871876713744052e-01,
        -5.3844611213785738e+00, 8.0846981942212263e-04},
       {1.4313348342133680e+00, 7.3924848620550751e-02, 1.9362025907692747e+01,
        1.0856943467996170e-07}}},
     {{{2.1584795115126107e+00, 2.1365553254446218e-01, 1.0102614642396055e+01,
        1.2185835379263998e-05},
       {4.6072769520652734e-01, 6.5965343614055871e-02, 6.9843901352521058e+00,
        1.5338836922321024e-04},
       {9.7060713900684070e-01, 9.9077292058734653e-02, 9.7964641426760917e+00,
        1.5136291603695333e-05}}},
     kInferenceTol},
    // The same model under AR(1) errors with phi = 0.4:
    // res <- refit(list(x), list(y), v, b, tau, 2, ar1Omega(v, 0.4))
    {"one series, one kinkmark, AR(1) errors",
     {kX12},
     {kY12},
     kV12,
     kBeta12,
     {6.1},
     2,
     1,
     0.4,
     7.5221092237659519,
     {{{2.1584795115126107e+00, 2.8680517808879485e-01, 7.5259433107039149e+00,
        9.3164524283226172e-05},
       {4.6072769520652734e-01, 8.8909172027909267e-02, 5.1820041138376745e+00,
        1.0208495737584684e-03},
       {-3.7622240364291173e+00, 8.9960139473582079e-01,
        -4.1821011599631204e+00, 3.5189879606349044e-03},
       {1.4313348342133680e+00, 9.6117980025118566e-02, 1.4891436897022976e+01,
        7.4748382339992302e-07}}},
     {{{2.1584795115126107e+00, 2.8680517808879485e-01, 7.5259433107039149e+00,
        9.3164524283226172e-05},
       {4.6072769520652734e-01, 8.8909172027909267e-02, 5.1820041138376745e+00,
        1.0208495737584684e-03},
       {9.7060713900684070e-01, 1.3957668735517945e-01, 6.9539344814578250e+00,
        1.5788852047174620e-04}}},
     kInferenceTol},
    // Two parallel series:
    //   x1 <- 1:10; x2 <- 1:10; tau <- 5.5; v <- 0.4 + 0.05*(1:20)
    //   y1 <- round(1.0 + 0.3*x1 - 0.5*pmax(x1-tau,0) + 0.2*cos(2.3*x1), 4)
    //   y2 <- round(1.8 + 0.3*x2 - 0.5*pmax(x2-tau,0) + 0.2*sin(1.1*x2), 4)
    //   x <- c(x1,x2); y <- c(y1,y2); g <- factor(rep(1:2, each=10))
    //   b <- coef(lm(y ~ 0 + g + x + pmax(x - tau, 0), weights = 1/v))
    //   res <- refit(list(x1,x2), list(y1,y2), v, b, tau, 3, diag(1/v))
    {"two series, one kinkmark",
     {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
     {{1.1667, 1.5776, 2.0631, 2.005, 2.5967, 2.6162, 2.1652, 2.3301, 1.8948,
       1.6434},
      {2.2782, 2.5617, 2.6685, 2.8097, 3.1589, 3.4123, 3.3476, 3.067, 2.6585,
       2.35}},
     {0.45, 0.5, 0.55, 0.6, 0.65, 0.7, 0.75, 0.8, 0.85, 0.9,
      0.95, 1.0, 1.05, 1.1, 1.15, 1.2, 1.25, 1.3, 1.35, 1.4},
     {0.97090868261542440, 1.80635589412579045, 0.30635500892213297,
      -0.52401986995387073},
     {5.5},
     3,
     0,
     0.0,
     15.0,
     {{{9.7090868261542440e-01, 1.0223126626370134e-01, 9.4971794647540158e+00,
        9.8080716517782961e-08},
       {3.0635500892213297e-01, 3.1425417455024786e-02, 9.7486376866935824e+00,
        6.9776149047706987e-08},
       {3.8530179673617133e+00, 2.9679361971409285e-01, 1.2982145542998538e+01,
        1.4645382968105486e-09},
       {-2.1766486103173777e-01, 3.6899504574026014e-02,
        -5.8988559208178248e+00, 2.9223368467098593e-05}},
      {{1.8063558941257905e+00, 1.1098940204033945e-01, 1.6275030416591168e+01,
        6.1040986766553796e-11},
       {3.0635500892213297e-01, 3.1425417455024786e-02, 9.7486376866935824e+00,
        6.9776149047706987e-08},
       {4.6884651788720797e+00, 2.9955868628364413e-01, 1.5651240953943486e+01,
        1.0638578106702181e-10},
       {-2.1766486103173777e-01, 3.6899504574026014e-02,
        -5.8988559208178248e+00, 2.9223368467098593e-05}}},
     {{{9.7090868261542440e-01, 1.0223126626370134e-01, 9.4971794647540158e+00,
        9.8080716517782961e-08},
       {3.0635500892213297e-01, 3.1425417455024786e-02, 9.7486376866935824e+00,
        6.9776149047706987e-08},
       {-5.2401986995387073e-01, 4.8461953540137458e-02,
        -1.0813015812907000e+01, 1.7699845930454727e-08}},
      {{1.8063558941257905e+00, 1.1098940204033945e-01, 1.6275030416591168e+01,
        6.1040986766553796e-11},
       {3.0635500892213297e-01, 3.1425417455024786e-02, 9.7486376866935824e+00,
        6.9776149047706987e-08},
       {-5.2401986995387073e-01, 4.8461953540137458e-02,
        -1.0813015812907000e+01, 1.7699845930454727e-08}}},
     kInferenceTol},
    // No kinkmarks: every weight is 1 and the refit is the weighted
    // regression itself, so the tables are R's coefficient tables:
    //   x1 <- c(1, 2, 4, 5, 7); x2 <- c(1, 3, 4, 6, 8, 9)
    //   y1 <- c(0.9, 1.7, 2.2, 3.1, 3.4); y2 <- c(2.1, 2.2, 2.9, 3.3, 4.4, 4.3)
    //   v <- c(0.5, 0.6, 0.4, 0.8, 0.7, 0.3, 0.5, 0.9, 0.6, 0.4, 0.5)
    //   x <- c(x1,x2); y <- c(y1,y2); g <- factor(rep(1:2, c(5,6)))
    //   b <- coef(lm(y ~ 0 + g + x, weights = 1/v))
    //   summary(lm(y ~ g + x, weights = 1/v))$coefficients   # series 1
    //   summary(lm(y ~ relevel(g, "2") + x, weights = 1/v))$coefficients
    {"two series, no kinkmark",
     {{1, 2, 4, 5, 7}, {1, 3, 4, 6, 8, 9}},
     {{0.9, 1.7, 2.2, 3.1, 3.4}, {2.1, 2.2, 2.9, 3.3, 4.4, 4.3}},
     {0.5, 0.6, 0.4, 0.8, 0.7, 0.3, 0.5, 0.9, 0.6, 0.4, 0.5},
     {0.93098792269397934, 1.50092857647070499, 0.33659101901182559},
     {},
     3,
     0,
     0.0,
     8.0,
     {{{0.93098792269397934, 0.180266643240861224, 5.1645046801589931,
        8.5890158995470924e-04},
       {0.33659101901182559, 0.032725044524477671, 10.2854258535863039,
        6.8769496507226306e-06}},
      {{1.50092857647070477, 0.197268124249215721, 7.6085712386788309,
        6.2545397970470263e-05},
       {0.33659101901182559, 0.032725044524477671, 10.2854258535863057,
        6.8769496507226196e-06}}},
     {{{0.93098792269397934, 0.180266643240861224, 5.1645046801589931,
        8.5890158995470924e-04},
       {0.33659101901182559, 0.032725044524477671, 10.2854258535863039,
        6.8769496507226306e-06}},
      {{1.50092857647070477, 0.197268124249215721, 7.6085712386788309,
        6.2545397970470263e-05},
       {0.33659101901182559, 0.032725044524477671, 10.2854258535863057,
        6.8769496507226196e-06}}},
     kInferenceTol},
    // Two kinkmarks closer than the bandwidth h = 0.21498: x = 6.0 is within
    // h of both and takes the later kinkmark's weight 0.12 / h = 0.558 (not
    // 0.05 / h, nor a product); x = 6.1 takes 0.02 / h.
    //   x <- c(1:5, 5.9, 6.0, 6.1, 7:12); tau <- c(5.95, 6.12)
    //   v <- rep(0.25, 14)
    //   y <- round(1 + 0.4*x + 0.8*pmax(x - 6, 0) + 0.25*sin(2.1*x), 4)
    //   b <- coef(lm(y ~ x + pmax(x - tau[1], 0) + pmax(x - tau[2], 0),
    //                weights = 1/v))
    //   res <- refit(list(x), list(y), v, b, tau, 2, diag(1/v))
    {"close kinkmarks",
     {{1, 2, 3, 4, 5, 5.9, 6.0, 6.1, 7, 8, 9, 10, 11, 12}},
     {{1.6158, 1.5821, 2.2042, 2.8136, 2.7801, 3.3161, 3.4084, 3.5803, 4.8114,
       5.5781, 7.0126, 8.4092, 9.1762, 10.6168}},
     std::vector<double>(14, 0.25),
     {1.09994464755689592, 0.36949295748033001, 1.53107341199476088,
      -0.72321349097207044},
     {5.95, 6.12},
     2,
     0,
     0.0,
     5.8838069157280852,
     {{{1.0999446475568959e+00, 2.5258485619711113e-01, 4.3547529496326005e+00,
        5.0226659046910824e-03},
       {3.6949295748033001e-01, 7.5290068144032565e-02, 4.9075922839314865e+00,
        2.8414158164366730e-03},
       {-8.0099421538119309e+00, 1.5920669259801275e+02,
        -5.0311591950701152e-02, 9.6153844210597517e-01},
       {1.9005663694750909e+00, 2.6522404913081832e+01, 7.1658900303481196e-02,
        9.4524690508028564e-01},
       {-3.5838755890628597e+00, 5.6157573488683810e-01,
        -6.3818205923463536e+00, 7.5173626458853319e-04},
       {1.1773528785030205e+00, 5.8180581199997528e-02, 2.0236182833166172e+01,
        1.1536612831818850e-06}}},
     {{{1.0999446475568959158, 0.2525848561971111295, 4.3547529496326005116,
        0.0050226659046910824},
       {0.3694929574803300087, 0.0752900681440325653, 4.9075922839314864987,
        0.0028414158164366730},
       {1.5310734119947608800, 26.5225117771267768774, 0.0577273157557864000,
        0.9558762536671221444},
       {-0.7232134909720704385, 26.5224687266003975594, -0.0272679552732107457,
        0.9791472799596374621}}},
     kIllConditionedTol},
};

TEST(SegmentFormRefit, TablesMatchWeightedSegmentFitInR) {
  for (const RefitCase& c : kRefitCases) {
    SCOPED_TRACE(c.name);
    KMSeriesSet series = MakeSeries(c.xs, c.ys, c.variances);
    KinkMKFitResult result = MakeResult(c.beta, c.tau, c.P);
    result.phi = c.phi;
    result.settings.errorType = c.errorType;

    ForAllKinkMKAction::run_Fit(series, result);

    const KMRegFitStats& stats = result.fitStats;
    const int S = static_cast<int>(c.xs.size());
    const int K = static_cast<int>(c.tau.size());
    EXPECT_EQ(stats.k, K);
    EXPECT_EQ(stats.nSeries, S);
    EXPECT_EQ(stats.p, c.P);
    EXPECT_TRUE(Near(stats.df, c.df, 1e-12));
    EXPECT_EQ(stats.covariance.Nrows(), c.P + 2 * K);
    EXPECT_EQ(stats.covariance.Ncols(), c.P + 2 * K);
    ExpectVector(stats.beta, c.beta, 0.0);
    ASSERT_EQ(stats.segmentTables.GetSize(), S);
    ASSERT_EQ(stats.kinkmarkTables.GetSize(), S);
    for (int s = 0; s < S; ++s) {
      SCOPED_TRACE("series " + std::to_string(s + 1));
      ExpectTable(stats.segmentTables[s], c.segmentTables[s], kEstimateTol,
                  c.inferenceTol);
      ExpectTable(stats.kinkmarkTables[s], c.kinkmarkTables[s], kEstimateTol,
                  c.inferenceTol);
    }
  }
}

TEST(SegmentFormRefit, ThetaHoldsOffsetsThenSegmentsOfSeriesOne) {
  // theta = (a2 - a1, a1, b, a1 - d tau, b + d) for two series, one kinkmark.
  KMSeriesSet series =
      MakeSeries({{1, 2, 3, 4}, {1, 2, 3, 4}}, {{1, 2, 4, 7}, {2, 3, 5, 8.5}},
                 std::vector<double>(8, 1.0));
  KinkMKFitResult result = MakeResult({1.0, 1.5, 0.9, 2.1}, {2.5}, 3);
  ForAllKinkMKAction::run_Fit(series, result);
  ExpectVector(result.fitStats.theta, {0.5, 1.0, 0.9, 1.0 - 2.1 * 2.5, 3.0},
               kEstimateTol);
  // The intercept rows of series 2 add the level offset.
  EXPECT_DOUBLE_EQ(result.fitStats.segmentTables[1](3, 1), 1.5 - 2.1 * 2.5);
}

TEST(SegmentFormRefit, JumpWithoutFlagLeavesJumpVectorsAlone) {
  KMSeriesSet series = MakeSeries({kX12}, {kY12}, kV12);
  KinkMKFitResult result = MakeResult(kBeta12, {6.1}, 2);
  result.jumpVector = Vec({0.7, 0, 0, 0, 0, 0, 0, 0, 0.3});
  result.levelVector = Vec({9, 9});
  ForAllKinkMKAction::run_Fit(series, result);
  ExpectVector(result.jumpVector, {0.7, 0, 0, 0, 0, 0, 0, 0, 0.3}, 0.0);
  ExpectVector(result.levelVector, {9, 9}, 0.0);
  EXPECT_EQ(result.jumpRetest.Nrows(), 0);
}

// Jump at 2.5 inside segment 1 of a model with kinkmarks 4.1 and 8.1: the
// segment form estimates it (its column differs from segment 1's indicator
// at x = 1, 2).
//   x <- 1:12; v <- 0.5 + 0.1*x; tau <- c(4.1, 8.1); jl <- 2.5
//   y <- round(1 + 0.6*x - 0.4*pmax(x-tau[1],0) + 0.7*pmax(x-tau[2],0) +
//              0.8*(x >= jl) + 0.2*sin(1.3*x), 4)
//   b <- coef(lm(y ~ x + pmax(x-tau[1],0) + pmax(x-tau[2],0) + I(x >= jl),
//                weights = 1/v)); J <- b[5]
//   res <- refit(list(x), list(y), v, b, tau, 2, diag(1/v), J = J, jloc = jl)
//   C <- res$C
//   tvec(J, sqrt(C[7,7]), res$df, 0.05, 0)                         # jump
//   tvec(J + res$theta[1], sqrt(C[1,1] + 2*C[1,7] + C[7,7]), res$df,
//        0.05, 0)                                                  # level
//   tvec(exp(J), exp(J)*sqrt(C[7,7]), res$df, 0.05, 1)             # re-test
TEST(SegmentFormRefit, EstimableJumpGetsSegmentFormTests) {
  const std::vector<double> beta = {1.11618127453751992, 0.62406018057959267,
                                    -0.41223812297516932, 0.71577428616896421,
                                    0.52814794018454492};
  KMSeriesSet series =
      MakeSeries({kX12},
                 {{1.7927, 2.3031, 3.4624, 4.0233, 4.483, 4.8397, 4.9038,
                   4.8744, 5.7176, 6.854, 7.8674, 8.5916}},
                 kV12);
  KinkMKFitResult result = MakeResult(beta, {4.1, 8.1}, 2);
  result.settings.jump = 1;
  result.settings.jumpLocation = 2.5;
  result.jumpVector = Vec({beta[4], 0, 0, 0, 0, 0, 0, 0, 0.123});

  ForAllKinkMKAction::run_Fit(series, result);

  const double df = 4.0442184475319056;
  EXPECT_TRUE(Near(result.fitStats.df, df, 1e-12));
  // The jump column joins the design.
  EXPECT_EQ(result.fitStats.covariance.Nrows(), 7);
  ExpectTable(result.fitStats.segmentTables[0],
              {{1.11618127453751991851, 0.17888217696790675859,
                6.23975676871248019495, 0.00324049140469494885},
               {0.62406018057959267153, 0.11397273297161025774,
                5.47552177006268081527, 0.00524424797818977013},
               {3.33450551892025881529, 0.43396889882065220467,
                7.68374307002659495680, 0.00147551461771703034},
               {0.21182205760442335274, 0.07046175054332141918,
                3.00619919276899816296, 0.03914365796016733984},
               {-2.46326619904835109054, 0.66816003934087686567,
                -3.68664100516741699565, 0.02067745708449767253},
               {0.92759634377338762157, 0.06376311208024622312,
                14.54753874945756386694, 0.00012093854777525263}},
              kEstimateTol, kInferenceTol);
  ExpectTable(result.fitStats.kinkmarkTables[0],
              {{1.1161812745375199185, 0.1788821769679067586,
                6.2397567687124801949, 0.0032404914046949489},
               {0.6240601805795926715, 0.1139727329716102577,
                5.4755217700626808153, 0.0052442479781897701},
               {-0.4122381229751693188, 0.1339949333021485112,
                -3.0765202296537834670, 0.0365189491416471265},
               {0.7157742861689642133, 0.0950294309768678902,
                7.5321327173178413972, 0.0015923273835893807}},
              kEstimateTol, kInferenceTol);
  // Entries 1 to 8 from the t test; entry 9 keeps the value it came with.
  ExpectVector(result.jumpVector,
               {0.528147940184544917, 0.227509186507873579,
                2.321435667241801504, 0.080290687845468348,
                -0.100804348583758197, 1.157100228952848031, 0.0, df, 0.123},
               kInferenceTol);
  ExpectVector(result.levelVector,
               {1.644329214722064947, 0.375603501621628144,
                4.377832495231936072, 0.011607770250507634,
                0.605968146141054209, 2.682690283303075685, 1.0, df, 0.05},
               kInferenceTol);
  // Test kind 1 (the default) restates the jump as exp(J) against 1.
  ExpectVector(result.jumpRetest,
               {1.695788696338151880, 0.385807506793140409,
                1.803460752025271008, 0.144866774228757961,
                0.629218514508854243, 2.762358878167449738, 0.0, df, 0.05},
               kInferenceTol);
}

TEST(SegmentFormRefit, JumpShiftsEveryLaterSegmentOnce) {
  // Fault: adding the jump at every step past the jump location gave the
  // third segment two jumps. A single step in the level lifts every segment
  // after the jump segment by J exactly once. Jump in segment 1 of three;
  // with beta = (a, b, d1, d2) and jump J the intercepts are a, a - d1 t1 + J
  // and a - d1 t1 - d2 t2 + J.
  KMSeriesSet series = MakeSeries({kX12}, {kY12}, kV12);
  KinkMKFitResult result =
      MakeResult({1.0, 0.5, 0.3, -0.2, 0.8}, {4.1, 8.1}, 2);
  result.settings.jump = 1;
  result.settings.jumpLocation = 2.5;
  result.jumpVector = Vec({0.8, 0, 0, 0, 0, 0, 0, 0, 0});
  ForAllKinkMKAction::run_Fit(series, result);
  const NEWMAT::ColumnVector& theta = result.fitStats.theta;
  EXPECT_DOUBLE_EQ(theta(1), 1.0);
  EXPECT_DOUBLE_EQ(theta(3), 1.0 - 0.3 * 4.1 + 0.8);
  EXPECT_DOUBLE_EQ(theta(5), 1.0 - 0.3 * 4.1 - (-0.2) * 8.1 + 0.8);
  EXPECT_DOUBLE_EQ(theta(6), 0.5 + 0.3 - 0.2);
}

// A jump at the kinkmark itself belongs to segment 1, which holds no
// observation at or above it: the segment form cannot estimate the jump, and
// its variance comes from the continuous fit, sse / residualDF times the
// inverse of X'WX.
//   x <- 1:12; v <- 0.5 + 0.1*x; tau <- 6.1; jl <- 6.1
//   y <- round(2 + 0.5*x + 0.9*pmax(x-tau,0) + 0.6*(x >= jl) +
//              0.3*sin(1.7*x), 4)
//   Xc <- cbind(1, x, pmax(x-tau,0), as.numeric(x >= jl)); W <- diag(1/v)
//   XtWX <- t(Xc) %*% W %*% Xc; b <- solve(XtWX, t(Xc) %*% W %*% y)
//   sse <- as.numeric(t(y - Xc %*% b) %*% W %*% (y - Xc %*% b)); J <- b[4]
//   res <- refit(list(x), list(y), v, b, tau, 2, diag(1/v), J = J, jloc = jl)
//   Cf <- solve(XtWX) * sse / 8
//   tvec(J, sqrt(Cf[4,4]), 8, 0.05, 0)                                # jump
//   tvec(res$theta[1] + J, sqrt(res$C[1,1] + Cf[4,4]), res$df, 0.05, 0)
TEST(SegmentFormRefit, DegenerateJumpFallsBackOnContinuousFit) {
  const std::vector<double> beta = {2.15993723902461143, 0.46005602694534997,
                                    0.97001317078726812, 0.60783572431785282};
  KMSeriesSet series =
      MakeSeries({kX12},
                 {{2.7975, 2.9233, 3.2223, 4.1482, 4.7395, 4.79, 6.7246, 8.5677,
                   9.829, 10.8216, 12.4653, 14.2099}},
                 kV12);
  KinkMKFitResult result = MakeResult(beta, {6.1}, 2);
  result.settings.jump = 1;
  result.settings.jumpLocation = 6.1;
  result.settings.testKind = 0;
  result.jumpVector = Vec({beta[3], 0, 0, 0, 0, 0, 0, 0, 0});
  NEWMAT::Matrix xtwx(4, 4);
  xtwx << 11.5621918930742442 << 62.1890405346287594 << 13.4160552682611502
       << 4.1967517776341303 << 62.1890405346287594 << 469.0547973268560895
       << 136.9197236586942381 << 39.0162411118293377 << 13.4160552682611502
       << 136.9197236586942381 << 55.0817865223012362 << 13.4160552682611502
       << 4.1967517776341303 << 39.0162411118293377 << 13.4160552682611502
       << 4.1967517776341303;
  result.xtwx = xtwx;
  result.sse = 0.51834642519215723;
  result.residualDF = 8.0;

  ForAllKinkMKAction::run_Fit(series, result);

  const double df = 7.5221092237659519;
  // No jump column; segment 2 carries the jump in its intercept.
  EXPECT_EQ(result.fitStats.covariance.Nrows(), 4);
  ExpectVector(result.fitStats.theta,
               {2.15993723902461143, 0.46005602694534997, -3.14930737845987085,
                1.43006919773261809},
               kEstimateTol);
  // The jump's test takes the degrees of freedom of the fit its standard
  // error comes from, the continuous one's 8.
  ExpectVector(result.jumpVector,
               {0.607835724317852821, 0.324293080071044959,
                1.874340717306364867, 0.09775254645664123, -0.13998545934407203,
                1.3556569079797778, 0.0, 8.0, 0.0},
               kInferenceTol);
  ExpectVector(result.levelVector,
               {2.76777296334246436516, 0.38834866855549149411,
                7.12703090662708138581, 0.00013413047865300611,
                1.86223872282327551630, 3.67330720386165321401, 1.0, df, 0.05},
               kInferenceTol);
  // Test kind 0 leaves the re-test a copy of the jump test (entry 9 = alpha
  // at the time of the re-test).
  NEWMAT::ColumnVector expectedRetest = result.jumpVector;
  expectedRetest(9) = 0.05;
  ExpectVector(
      result.jumpRetest,
      std::vector<double>(expectedRetest.Store(), expectedRetest.Store() + 9),
      0.0);
}

TEST(SegmentFormRefit, ObservationAtKinkmarkDoesNotCount) {
  // x = 6 sits on the kinkmark and gets proximity weight 0, so the refit
  // equals the refit of the data without it: df = 11 - 4 in both.
  std::vector<double> x = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  std::vector<double> y = {1.1, 2.3,  2.8,  4.2,  5.1,  5.7,
                           8.4, 10.1, 11.7, 14.2, 15.8, 18.1};
  KinkMKFitResult withPoint = MakeResult({0.2, 1.0, 0.7}, {6.0}, 2);
  ForAllKinkMKAction::run_Fit(
      MakeSeries({x}, {y}, std::vector<double>(12, 1.0)), withPoint);
  x.erase(x.begin() + 5);
  y.erase(y.begin() + 5);
  KinkMKFitResult withoutPoint = MakeResult({0.2, 1.0, 0.7}, {6.0}, 2);
  ForAllKinkMKAction::run_Fit(
      MakeSeries({x}, {y}, std::vector<double>(11, 1.0)), withoutPoint);

  EXPECT_TRUE(Near(withPoint.fitStats.df, 7.0, 1e-12));
  EXPECT_TRUE(Near(withoutPoint.fitStats.df, 7.0, 1e-12));
  const NEWMAT::Matrix& a = withPoint.fitStats.segmentTables[0];
  const NEWMAT::Matrix& b = withoutPoint.fitStats.segmentTables[0];
  for (int r = 1; r <= 4; ++r) {
    for (int c = 1; c <= 4; ++c) {
      EXPECT_TRUE(Near(a(r, c), b(r, c), 1e-10)) << r << "," << c;
    }
  }
}

TEST(SegmentFormRefit, ZeroStandardErrorGivesInfiniteStatistic) {
  // All responses 0: the segment fit has no residual, so every standard
  // error is exactly 0. A non-zero estimate then has an infinite statistic,
  // a zero estimate (the slope change) a NaN one; every p-value is 0.
  KMSeriesSet series = MakeSeries({{1, 2, 3, 4, 5, 6}}, {{0, 0, 0, 0, 0, 0}},
                                  std::vector<double>(6, 1.0));
  KinkMKFitResult result = MakeResult({1.0, -0.5, 0.0}, {3.0}, 2);
  ForAllKinkMKAction::run_Fit(series, result);
  ExpectTable(result.fitStats.segmentTables[0],
              {{1.0, 0.0, HUGE_VAL, 0.0},
               {-0.5, 0.0, -HUGE_VAL, 0.0},
               {1.0, 0.0, HUGE_VAL, 0.0},
               {-0.5, 0.0, -HUGE_VAL, 0.0}},
              0.0, 0.0);
  ExpectTable(result.fitStats.kinkmarkTables[0],
              {{1.0, 0.0, HUGE_VAL, 0.0},
               {-0.5, 0.0, -HUGE_VAL, 0.0},
               {0.0, 0.0, NAN, 0.0}},
              0.0, 0.0);
}

TEST(SegmentFormRefit, RejectsInconsistentModels) {
  struct BadCase {
    const char* name;
    int P;
    int errorType;
  };
  const BadCase kCases[] = {
      {"level parameters do not match the series", 3, 0},
      {"unknown error type", 2, 3},
  };
  for (const BadCase& c : kCases) {
    SCOPED_TRACE(c.name);
    KMSeriesSet series = MakeSeries({kX12}, {kY12}, kV12);
    KinkMKFitResult result = MakeResult({1.0, 0.5, 0.3, 0.2}, {6.1}, c.P);
    result.settings.errorType = c.errorType;
    EXPECT_THROW(ForAllKinkMKAction::run_Fit(series, result), KmException);
  }
}

}  // namespace
