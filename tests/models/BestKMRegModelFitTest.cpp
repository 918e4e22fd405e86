// The best-model fit: criterion values and the chosen number of kinkmarks
// for every criterion code against R, the permutation-test route with the
// same generator draws as R, the "kDeltaStar" rule, perfect fits, the jump
// switch, and the end of the process for a fit without locations.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "models/BestKMRegModel.h"
#include "models/internal/KinkmarkWeight.h"
#include "tests/models/SelectionTestData.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_selection_test::MadeDraws;
using km_selection_test::SeededGenerator;
using km_test::RelNear;

constexpr double kInf = std::numeric_limits<double>::infinity();
// Criterion values (of order 1): logarithms of sums of squares from the
// location search against R's lm.wfit.
constexpr double kCriterionTol = 1e-9;
// The log-gamma criterion reads the fit matrix that the fit keeps on the
// scale of the data (years near 2000); its log-determinant carries about
// 1e-8 of rounding.
constexpr double kLogGammaTol = 1e-8;
// Relative agreement of F statistics (ratios of sums of squares).
constexpr double kRatioRelTol = 1e-9;

// The input of a fit of data set 1 (x = 2000..2011) or data set 2 (two
// series over 2000..2009), with the grid integers a = 2, b = 2, c = 0.
KMBestModelFit OneSeriesInput(int32_t code, int32_t kMin, int32_t kMax) {
  KMBestModelFit in;
  in.seriesSet =
      km_selection_test::MakeSeriesSet({km_selection_test::OneSeriesX(2000.0)},
                                       {km_selection_test::OneSeriesY()});
  const km_selection_test::Weights w = km_selection_test::DiagonalWeights(
      km_selection_test::OneSeriesVariances());
  in.weight = w.W;
  in.covariance = w.V;
  in.transform = w.T;
  in.backTransform = w.B;
  in.kMin = kMin;
  in.kMax = kMax;
  in.criterionCode = code;
  in.templateFit.modelType = 1;
  in.generator = SeededGenerator();
  return in;
}

KMBestModelFit TwoSeriesInput(int32_t code) {
  KMBestModelFit in;
  in.seriesSet = km_selection_test::MakeSeriesSet(
      km_selection_test::TwoSeriesX(), km_selection_test::TwoSeriesY());
  const km_selection_test::Weights w = km_selection_test::DiagonalWeights(
      km_selection_test::TwoSeriesVariances());
  in.weight = w.W;
  in.covariance = w.V;
  in.transform = w.T;
  in.backTransform = w.B;
  in.kMin = 0;
  in.kMax = 2;
  in.criterionCode = code;
  in.templateFit.modelType = 2;  // one intercept per series
  in.generator = SeededGenerator();
  return in;
}

KMClusterFit Fit(const KMBestModelFit& in) {
  KMClusterFit out;
  BestKMRegModel::fit_BestKMRegModel(out, in);
  return out;
}

// Criterion values of data set 1 for k = 0..3, codes 1, 2, 3, 4, 6, 7, 8, 9,
// and data set 2 for k = 0..2. R (with the functions of SelectionTestData.h):
//   modelstat <- function(allx, ally, Tm, tau) { k <- length(tau); res <-
//   numeric(k)
//     for (i in seq_len(k)) {
//       lo <- if (i == 1) min(allx) - 1 else tau[i - 1]
//       hi <- if (i == k) max(allx) else tau[i + 1]
//       sel <- which(allx > lo & allx <= hi); if (length(sel) == 0) next
//       Wi <- Tm[sel, sel, drop = FALSE]
//       X <- Wi %*% cbind(1, allx[sel]); H <- Wi %*% pmax(allx[sel] - tau[i],
//       0) R <- Wi %*% ally[sel] M <- diag(length(sel)) - X %*%
//       solve(crossprod(X)) %*% t(X) a <- c(t(H) %*% M %*% H); b <- c(t(R) %*%
//       M %*% R); cc <- c(t(R) %*% M %*% H) res[i] <- if (a * b > 1e-100) cc^2
//       / (a * b) else 0 }
//     res }
//   crit <- function(base, x, y, v, kr, grid, L) {
//     n <- length(x); w <- 1 / v; Tm <- diag(1 / sqrt(v)); p0 <- ncol(base);
//     out <- NULL for (k in kr) { b <- best(base, x, y, w, k, grid, L); p <- p0
//     + 2 * k
//       s <- if (k > 0) modelstat(x, y, Tm, b$tau) else numeric(0)
//       pm <- if (k > 0) sum(sapply(seq_along(s), function(j) min(s[1:j])))
//       else 0 q <- 2 * k + 1 out <- rbind(out, c(k, b$rss,
//         log(b$rss/n) + 2*k*log(n)/n + as.numeric(determinant(b$M)$modulus)/n
//         -
//           2*lgamma((n-k-3)/2)/n - (k+3)*log(b$rss)/n,                   # 1
//         log(b$rss/n) + p*log(n)/n,                                      # 2
//         log(b$rss/(n-q)) + 0.299*q*log(n)^2.1/n,                        # 3
//         log(b$rss/n) + (p+k)*log(n)/n,                                  # 4
//         log(b$rss/n) + ((if (k > 0) min(s) else 0) + 2)*k*log(n)/n +
//         2*log(n)/n,  # 6 log(b$rss/n) + ((if (k > 0) max(s) else 0) +
//         2)*k*log(n)/n + 2*log(n)/n,  # 7 log(b$rss/n) + (2*k + sum(s) +
//         2)*log(n)/n,                     # 8 log(b$rss/n) + (2*k + pm +
//         2)*log(n)/n)) }                      # 9
//     out }
// The values do not depend on the origin of x; R takes them on x measured
// from 2000, where its solve() and determinant() lose nothing to the size
// of the years:
//   xc <- 0:11; y <- 10 + 0.3*xc + 1.2*pmax(xc - 5, 0) + noise
//   crit(cbind(1, xc), xc, y, v, 0:3, 2:9, (1:8) + 3)
//   t <- 0:9; x2 <- c(t, t); y2 <- ... (SelectionTestData.h)
//   crit(cbind(rep(c(1, 0), each = 10), rep(c(0, 1), each = 10), x2), x2, y2,
//        v2, 0:2, 2:7, (1:6) + 3)
const int32_t kCodes[] = {1, 2, 3, 4, 6, 7, 8, 9};
const double kOneSeries[4][8] = {
    {-0.25798344539671308, 0.6292986090405851, 0.4706748640648647,
     0.6292986090405851, 0.6292986090405851, 0.6292986090405851,
     0.6292986090405851, 0.6292986090405851},
    {-0.89419033076313559, -0.62094262302249525, -0.65601480816876501,
     -0.41386706887349534, -0.45306764258544929, -0.45306764258544929,
     -0.45306764258544918, -0.45306764258544918},
    {-0.47500929390619762, -0.27835137938386811, -0.13922827188193232,
     0.13579972891413195, -0.27801040013426015, 0.033892340824549061,
     -0.1220590296548556, -0.1220590296548556},
    {-0.053274694221132124, 0.10636469209459576, 0.50484090058504383,
     0.72759135454159574, 0.10687616096900787, 0.63307937980859275,
     0.30511011080647821, 0.15254191475089218}};
const double kTwoSeries[3][8] = {
    {-1.5077557857953163, -0.25021698703095285, -0.49855744181006006,
     -0.25021698703095285, -0.40000360070865243, -0.40000360070865243,
     -0.40000360070865243, -0.40000360070865243},
    {-2.929144089391889, -2.2298665293311828, -2.3671023926225825,
     -2.0800799156534833, -2.3497370709500505, -2.3497370709500505,
     -2.3497370709500505, -2.3497370709500505},
    {-2.4849882567455341, -1.934525886503373, -1.9467196504632838,
     -1.6349526591479739, -2.0392812512156837, -2.0142853733667088,
     -2.026783312291196, -2.026783312291196}};

TEST(FitBestKMRegModel, CriterionValuesOfEveryCodeAgreeWithR) {
  for (int c = 0; c < 8; ++c) {
    SCOPED_TRACE(kCodes[c]);
    const KMClusterFit out = Fit(OneSeriesInput(kCodes[c], 0, 3));
    ASSERT_EQ(out.criterionValues.Nrows(), 4);
    for (int k = 0; k <= 3; ++k) {
      EXPECT_NEAR(out.criterionValues(k + 1), kOneSeries[k][c],
                  kCodes[c] == 1 ? kLogGammaTol : kCriterionTol)
          << "k = " << k;
    }
    // Every code prefers one kinkmark here.
    EXPECT_EQ(out.selectedK, 1);
    EXPECT_EQ(out.kDeltaStarK, -1);
    EXPECT_EQ(out.scores.GetSize(), 0);
  }
}

TEST(FitBestKMRegModel, SeveralSeriesScoreWithTheirOwnResponses) {
  // Fault: the weighted criteria paired each series' x values with the
  // stacked responses of the fitting data (one vector for all series), so
  // a set of two or more series failed with an index error. Each series'
  // x values now go with that series' responses.
  for (int c = 0; c < 8; ++c) {
    SCOPED_TRACE(kCodes[c]);
    const KMClusterFit out = Fit(TwoSeriesInput(kCodes[c]));
    ASSERT_EQ(out.criterionValues.Nrows(), 3);
    for (int k = 0; k <= 2; ++k) {
      EXPECT_NEAR(out.criterionValues(k + 1), kTwoSeries[k][c],
                  kCodes[c] == 1 ? kLogGammaTol : kCriterionTol)
          << "k = " << k;
    }
    EXPECT_EQ(out.selectedK, 1);
  }
}

TEST(FitBestKMRegModel, FillsTheResultRecord) {
  const KMBestModelFit in = OneSeriesInput(2, 0, 3);
  const KMClusterFit out = Fit(in);
  ASSERT_EQ(out.records.GetSize(), 4);
  // R: best(...)$tau for k = 1, 2, 3: 2005; 2005 2008; 2002 2005 2008
  const std::vector<std::vector<double>> kTau = {
      {}, {2005}, {2005, 2008}, {2002, 2005, 2008}};
  for (int k = 0; k <= 3; ++k) {
    SCOPED_TRACE(k);
    const KMRegFitRecord& r = out.records[k];
    EXPECT_EQ(r.k, k);
    EXPECT_EQ(r.n, 12);
    EXPECT_EQ(r.p, 2 + 2 * k);
    ASSERT_EQ(r.tau.Nrows(), k);
    for (int i = 1; i <= k; ++i)
      EXPECT_DOUBLE_EQ(r.tau(i), kTau[static_cast<size_t>(k)][i - 1]);
    // The fit's data and design are dropped.
    EXPECT_EQ(r.fit.design.X.Nrows(), 0);
    EXPECT_EQ(r.fit.seriesSet.xValues.GetSize(), 0);
  }
  EXPECT_EQ(out.fitted, 1);
  EXPECT_EQ(out.dMember7, 0.0);
  EXPECT_EQ(out.iMember7, -1);
  // No permutation test ran: the generator is the input's, unadvanced, and
  // the input's own copy is untouched.
  EXPECT_TRUE(MadeDraws(out.generator, 0));
  EXPECT_TRUE(MadeDraws(in.generator, 0));
  EXPECT_EQ(in.seriesSet.xValues[0](1), 2000.0);
}

TEST(FitBestKMRegModel, PermutationTestsChooseWithCodeZero) {
  // R, with the draws of the table (kMin = 0, kMax = 3, N = 50, alpha = 0.3):
  //   fits <- lapply(0:3, function(k) best(cbind(1, x), x, y, 1/v, k,
  //   2002:2009, (1:8) + 3)) pos <- 0; lo <- 0; hi <- 3 while (lo < hi) { a <-
  //   0.3 / (3 - lo)
  //     r <- perm_test(cbind(1, x), x, fits[[lo+1]]$f, fits[[lo+1]]$e, v, lo,
  //     hi,
  //                    c(fits[[lo+1]]$rss, fits[[hi+1]]$rss), 50, 2002:2009,
  //                    (1:8) + 3)
  //     print(c(lo, hi, a, r)); if (r["pPerm"] > a) hi <- hi - 1 else lo <- lo
  //     + 1 }
  //   -> (0, 3) level 0.1  pPerm 0.02 F 3.229223264906306   pF
  //   0.13817939891728004
  //      (1, 3) level 0.15 pPerm 0.76 F 0.10627100140310852 pF
  //      0.97408899231626367 (1, 2) level 0.15 pPerm 0.84 F 0.22254736302982892
  //      pF 0.80679990231584497 selected 1 after 3 x 49 shuffles of 11 draws
  //      (1617 draws).
  KMBestModelFit in = OneSeriesInput(0, 0, 3);
  in.N = 50;
  in.alpha = 0.3;
  const KMClusterFit out = Fit(in);
  EXPECT_EQ(out.selectedK, 1);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(out.criterionValues(i), kInf);
  struct Expected {
    int32_t k0, k1;
    double alpha, pPerm, F, pF;
    bool retained;
  };
  const Expected kTests[] = {
      {0, 3, 0.1, 0.02, 3.229223264906306, 0.13817939891728004, false},
      {1, 3, 0.15, 0.76, 0.10627100140310852, 0.97408899231626367, true},
      {1, 2, 0.15, 0.84, 0.22254736302982892, 0.80679990231584497, true},
  };
  ASSERT_EQ(out.scores.GetSize(), 3);
  for (int t = 0; t < 3; ++t) {
    SCOPED_TRACE(t);
    const KMModelScoreRec& s = out.scores[t];
    EXPECT_EQ(s.k0, kTests[t].k0);
    EXPECT_EQ(s.k1, kTests[t].k1);
    EXPECT_DOUBLE_EQ(s.alpha, kTests[t].alpha);
    EXPECT_EQ(s.N, 50);
    EXPECT_EQ(s.pPerm, kTests[t].pPerm);
    EXPECT_TRUE(RelNear(s.F, kTests[t].F, kRatioRelTol));
    EXPECT_TRUE(RelNear(s.pF, kTests[t].pF, km_test::kSearchRelTol));
    EXPECT_EQ(s.retained, kTests[t].retained);
  }
  EXPECT_TRUE(MadeDraws(out.generator, 1617));
  EXPECT_TRUE(MadeDraws(in.generator, 0));
}

TEST(FitBestKMRegModel, DeltaStarRuleNeedsTheExactText) {
  // "kDeltaStar" turns any code into 5 (BIC values) and chooses by the
  // smallest BIC3; a text differing in a blank or in letter case does not.
  // Values: columns 2 and 4 of the R table above.
  struct Case {
    const char* sText;
    int32_t code;
    bool bRule;
  };
  const Case kCases[] = {{"kDeltaStar", 1, true},
                         {"", 5, true},
                         {"kDeltaStar ", 1, false},
                         {"kdeltastar", 1, false}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string("\"") + c.sText + "\"");
    KMBestModelFit in = OneSeriesInput(c.code, 0, 3);
    in.selection = c.sText;
    const KMClusterFit out = Fit(in);
    for (int k = 0; k <= 3; ++k) {
      const double expected = c.bRule ? kOneSeries[k][1] : kOneSeries[k][0];
      EXPECT_NEAR(out.criterionValues(k + 1), expected, kLogGammaTol);
      if (c.bRule) {
        EXPECT_NEAR(out.kDeltaStarValues(k + 1), kOneSeries[k][3],
                    kCriterionTol);
      } else {
        EXPECT_EQ(out.kDeltaStarValues(k + 1), kInf);
      }
    }
    EXPECT_EQ(out.kDeltaStarK, c.bRule ? 1 : -1);
  }
}

TEST(FitBestKMRegModel, OneNumberOfKinkmarksIsSelectedByEveryCode) {
  for (int32_t code : {0, 1, 2, 5, 7, 9}) {
    SCOPED_TRACE(code);
    KMBestModelFit in = OneSeriesInput(code, 2, 2);
    in.N = 10;
    const KMClusterFit out = Fit(in);
    EXPECT_EQ(out.selectedK, 2);
    EXPECT_EQ(out.records.GetSize(), 1);
    EXPECT_EQ(out.scores.GetSize(), 0);
    EXPECT_TRUE(MadeDraws(out.generator, 0));
  }
}

TEST(FitBestKMRegModel, PerfectFitIsSelectedWhateverTheCode) {
  // A series of zeros: every cross product with the response is exactly 0,
  // so every fit's RSS is exactly 0 whatever the rounding, and every fit is
  // perfect. The last of them is selected under every code, and the
  // permutation tests do not run. (A constant non-zero series fits exactly
  // only by luck of rounding, and this test used to skip itself when it
  // did not.)
  for (int32_t code : {0, 2, 4, 7}) {
    SCOPED_TRACE(code);
    KMBestModelFit in = OneSeriesInput(code, 0, 3);
    in.seriesSet.yValues[0] = 0.0;
    const km_selection_test::Weights w =
        km_selection_test::DiagonalWeights(std::vector<double>(12, 1.0));
    in.weight = w.W;
    in.covariance = w.V;
    in.transform = w.T;
    in.backTransform = w.B;
    in.N = 20;
    const KMClusterFit out = Fit(in);
    int32_t lastPerfect = -1;
    for (int i = 0; i < out.records.GetSize(); ++i) {
      if (out.records[i].perfectFit) {
        EXPECT_EQ(out.records[i].rss, 0.0);
        lastPerfect = i;
      }
    }
    EXPECT_EQ(lastPerfect, 3);
    EXPECT_EQ(out.selectedK, lastPerfect);
    if (code != 0) {
      EXPECT_EQ(out.criterionValues(lastPerfect + 1), -kInf);
    }
    EXPECT_EQ(out.scores.GetSize(), 0);
    EXPECT_TRUE(MadeDraws(out.generator, 0));
  }
}

TEST(FitBestKMRegModel, PerfectFitIsDecidedAtRoundingLevel) {
  // A constant series of 2.0: the RSS of every fit is rounding, exactly 0
  // for some numbers of kinkmarks and not for others; every fit is perfect
  // all the same, and the last is selected under every code.
  for (int32_t code : {0, 2, 4, 7}) {
    SCOPED_TRACE(code);
    KMBestModelFit in = OneSeriesInput(code, 0, 3);
    in.seriesSet.yValues[0] = 2.0;
    const km_selection_test::Weights w =
        km_selection_test::DiagonalWeights(std::vector<double>(12, 1.0));
    in.weight = w.W;
    in.covariance = w.V;
    in.transform = w.T;
    in.backTransform = w.B;
    in.N = 20;
    const KMClusterFit out = Fit(in);
    ASSERT_EQ(out.records.GetSize(), 4);
    for (int i = 0; i < out.records.GetSize(); ++i) {
      EXPECT_TRUE(out.records[i].perfectFit) << i;
      // Far below 1e-20 of the values' y'Wy = 48.
      EXPECT_LT(out.records[i].rss, 1e-20 * 48.0) << i;
    }
    EXPECT_EQ(out.selectedK, 3);
    if (code != 0) {
      EXPECT_EQ(out.criterionValues(4), -kInf);
    }
    EXPECT_EQ(out.scores.GetSize(), 0);
    EXPECT_TRUE(MadeDraws(out.generator, 0));
  }
}

TEST(FitBestKMRegModel, JumpStaysOnlyStrictlyInsideTheData) {
  // The jump adds one parameter; at the first or last year (or outside) it
  // is switched off before the fits.
  struct Case {
    double J;
    int32_t extra;
  };
  const Case kCases[] = {{2000.0, 0}, {2011.0, 0}, {1990.0, 0}, {2006.5, 1}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.J);
    KMBestModelFit in = OneSeriesInput(2, 0, 1);
    in.templateFit.jump = 1;
    in.templateFit.jumpLocation = c.J;
    const KMClusterFit out = Fit(in);
    EXPECT_EQ(out.records[0].p, 2 + c.extra);
    EXPECT_EQ(out.records[1].p, 4 + c.extra);
  }
}

TEST(FitBestKMRegModel, UnknownCodeIsRefused) {
  // Codes other than 0 to 9 have no criterion; they used to leave the
  // criterion values unset.
  for (int32_t code : {-1, 10}) {
    SCOPED_TRACE(code);
    KMClusterFit out;
    testing::internal::CaptureStdout();
    const KmException e = km_test::CatchKmException([&] {
      BestKMRegModel::fit_BestKMRegModel(out, OneSeriesInput(code, 0, 1));
    });
    // The report travels with the failure; nothing is printed here.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(std::string(e.GetMessage())
                  .rfind("Unknown model selection criterion code", 0),
              0u);
    EXPECT_GE(e.GetStandardReports(), 1);
  }
}

TEST(FitBestKMRegModel, WeightedCriterionWithoutLocationsFailsTheFit) {
  // Eight candidates at least three apart hold three kinkmarks but no
  // placement of four: the k = 4 model has kinkmarks and no locations. The
  // fit fails with the run's error text instead of ending the process, and
  // writes nothing of its own.
  for (int32_t code : {6, 7, 8, 9}) {
    SCOPED_TRACE(code);
    testing::internal::CaptureStdout();
    const KmException e =
        km_test::CatchKmException([&] { Fit(OneSeriesInput(code, 3, 4)); });
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_STREQ(e.GetMessage(),
                 "ERROR 1 in BestKMRegModel::fit_BestKMRegModel");
    EXPECT_EQ(e.GetFailure(), KmFailure::kFitWithoutLocations);
  }
}

TEST(FitBestKMRegModel, KinkmarksWithoutLocationsStopTheWeightedCriterion) {
  // Every record with kinkmarks but no locations stops with the run's error
  // text, the one-kinkmark record too; only a model without kinkmarks has
  // the weight 0.
  const KMSeriesSet series;
  const NEWMAT::Matrix T;
  for (int32_t k : {0, 1, 4}) {
    SCOPED_TRACE(k);
    KMRegFitRecord record;
    record.k = k;
    if (k == 0) {
      EXPECT_EQ(km_models_internal::WeightOfKinkmarks(
                    km_models_internal::kWeightedBICMin, record, series, T, 0),
                0.0);
      continue;
    }
    const KmException e = km_test::CatchKmException([&] {
      km_models_internal::WeightOfKinkmarks(km_models_internal::kAdditiveBICSum,
                                            record, series, T, 0);
    });
    EXPECT_EQ(e.GetFailure(), KmFailure::kFitWithoutLocations);
  }
}

TEST(FitBestKMRegModel, EndForMissingLocationsRaisesTheMessage) {
  const KmException e = km_test::CatchKmException(
      [] { BestKMRegModel::end_ProcessForMissingLocations(); });
  EXPECT_STREQ(e.GetMessage(), "ERROR 1 in BestKMRegModel::fit_BestKMRegModel");
  EXPECT_STREQ(e.GetSource(), "BestKMRegModel");
  EXPECT_EQ(e.GetFailure(), KmFailure::kFitWithoutLocations);
}

TEST(FitBestKMRegModel, UnplaceableModelLosesUnderOtherCodes) {
  // The same k = 4 model under a criterion without the model statistic has
  // RSS +infinity, scores +infinity and is never selected.
  for (int32_t code : {1, 2, 4}) {
    SCOPED_TRACE(code);
    const KMClusterFit out = Fit(OneSeriesInput(code, 3, 4));
    EXPECT_EQ(out.criterionValues(2), kInf);
    EXPECT_EQ(out.selectedK, 3);
  }
}

TEST(FitBestKMRegModel, PermutationTestsWithAnUnplaceableSmallestModel) {
  // Fault: with kMin = 4 no placement exists on the eight candidates, so the
  // smallest model has no fitted values; the first permutation test
  // multiplied the transformation by that empty residual vector and the
  // matrix library's "incompatible dimensions" left the fit, where every
  // criterion code returns kMin. The test now retains the smaller model
  // without a draw.
  KMBestModelFit in = OneSeriesInput(0, 4, 5);
  in.N = 10;
  testing::internal::CaptureStdout();
  const KMClusterFit out = Fit(in);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(out.selectedK, 4);
  ASSERT_EQ(out.scores.GetSize(), 1);
  EXPECT_EQ(out.scores[0].k0, 4);
  EXPECT_EQ(out.scores[0].k1, 5);
  EXPECT_EQ(out.scores[0].pPerm, 1.0);
  EXPECT_TRUE(out.scores[0].retained);
  EXPECT_TRUE(MadeDraws(out.generator, 0));
}

TEST(FitBestKMRegModel, EqualCriterionValuesKeepTheSmallerNumber) {
  // Neither four nor five kinkmarks can be placed on the eight candidates
  // (three apart), so both models score exactly +infinity: a tie, which the
  // smaller number must win, for the criterion and for the "kDeltaStar"
  // rule alike.
  for (int32_t code : {1, 2, 4, 5}) {
    SCOPED_TRACE(code);
    KMBestModelFit in = OneSeriesInput(code, 4, 5);
    if (code == 5) in.selection = "kDeltaStar";
    const KMClusterFit out = Fit(in);
    ASSERT_EQ(out.criterionValues.Nrows(), 2);
    EXPECT_EQ(out.criterionValues(1), out.criterionValues(2));
    EXPECT_EQ(out.selectedK, 4);
    if (code == 5) {
      EXPECT_EQ(out.kDeltaStarValues(1), out.kDeltaStarValues(2));
      EXPECT_EQ(out.kDeltaStarK, 4);
    }
  }
}

TEST(KMClusterFit, CopiesAreDeep) {
  KMClusterFit a = Fit(OneSeriesInput(5, 0, 1));
  KMClusterFit b;
  b = a;
  a.records.Clear();
  a.criterionValues(1) = 99.0;
  a.generator.genrand();
  ASSERT_EQ(b.records.GetSize(), 2);
  EXPECT_NE(b.criterionValues(1), 99.0);
  EXPECT_EQ(b.selectedK, a.selectedK);
  EXPECT_EQ(b.kDeltaStarK, a.kDeltaStarK);
  EXPECT_TRUE(MadeDraws(b.generator, 0));
  b.clear();
  EXPECT_EQ(b.records.GetSize(), 0);
  EXPECT_EQ(b.criterionValues.Nrows(), 0);
  EXPECT_EQ(b.kDeltaStarValues.Nrows(), 0);
}

}  // namespace
