// The information criteria of the best-model fit and the data-dependent
// final-model selection.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "models/BestKMRegModel.h"
#include "tests/models/SelectionTestData.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_selection_test::Vec;
using km_test::kTightRelTol;
using km_test::RelNear;

constexpr double kInf = std::numeric_limits<double>::infinity();
// The log-gamma function of StatClass agrees with R's lgamma to about 1e-13.
constexpr double kLogGammaRelTol = 1e-12;

TEST(BestKMRegModelCriteria, AgreeWithR) {
  // R:
  //   bic <- function(p, n, rss) log(rss/n) + p*log(n)/n
  //   lwz <- function(k, n, rss) { q <- 2*k+1; log(rss/(n-q)) +
  //   0.299*q*log(n)^2.1/n } bic3 <- function(a, b, n, rss) log(rss/n) +
  //   (a+b)*log(n)/n wbic <- function(k, n, rss, c) log(rss/n) +
  //   ((c+2)*k+2)*log(n)/n awbic <- function(k, n, rss, c) log(rss/n) +
  //   (2*k+c+2)*log(n)/n
  // each at (p, k, n, rss, c) of the table; BIC3 with a = p, b = k.
  struct Case {
    int p, k, n;
    double rss, c;
    double bic, lwz, bic3, wbic, awbic;
  };
  const Case kCases[] = {
      {4, 0, 12, 3.5, 0.25, -0.40384146469663218, -0.97661631797035287,
       -0.40384146469663218, -0.81799257299463224, -0.7662236844573822},
      {6, 1, 25, 0.0123, 0.9, -6.8445016435035981, -7.0713379859297802,
       -6.7157466105088695, -6.9861321797977984, -6.9861321797977984},
      {8, 2, 40, 1234.5, 0, 4.1673177454940857, 4.1425814327643806,
       4.3517617181997821, 3.9828737727883885, 3.9828737727883885},
      {10, 3, 17, 7.25, 1.75, 0.81438420954931778, 0.77516422665098883,
       1.3143630349710032, 1.3560279370894768, 0.77271930743084438},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.n);
    EXPECT_TRUE(RelNear(BestKMRegModel::calc_BICCriterion(c.p, c.n, c.rss),
                        c.bic, kTightRelTol));
    EXPECT_TRUE(RelNear(BestKMRegModel::calc_LWZCriterion(c.k, c.n, c.rss),
                        c.lwz, kTightRelTol));
    EXPECT_TRUE(
        RelNear(BestKMRegModel::calc_BIC3Criterion(c.p, c.k, c.n, c.rss),
                c.bic3, kTightRelTol));
    EXPECT_TRUE(
        RelNear(BestKMRegModel::calc_WeightedBICCriterion(c.k, c.n, c.rss, c.c),
                c.wbic, kTightRelTol));
    EXPECT_TRUE(RelNear(
        BestKMRegModel::calc_AdditiveWeightedBICCriterion(c.k, c.n, c.rss, c.c),
        c.awbic, kTightRelTol));
  }
}

TEST(BestKMRegModelCriteria, LogGammaAgreesWithR) {
  // R:
  //   lg <- function(M, k, n, rss) log(rss/n) + 2*k*log(n)/n +
  //     as.numeric(determinant(M)$modulus)/n - 2*lgamma((n-k-3)/2)/n -
  //     (k+3)*log(rss)/n
  //   lg(matrix(c(4, 1, 2, 1, 3, -1, 2, -1, 5), 3), 1, 20, 2.5)
  //   lg(matrix(c(2, 3, 1, 1), 2), 0, 9, 0.5)   # det = -1: the sign is dropped
  NEWMAT::Matrix M3(3, 3);
  M3 << 4 << 1 << 2 << 1 << 3 << -1 << 2 << -1 << 5;
  EXPECT_TRUE(RelNear(BestKMRegModel::calc_LogGammaCriterion(M3, 1, 20, 2.5),
                      -2.6378751937313383, kLogGammaRelTol));
  NEWMAT::Matrix M2(2, 2);
  M2 << 2 << 1 << 3 << 1;
  EXPECT_TRUE(RelNear(BestKMRegModel::calc_LogGammaCriterion(M2, 0, 9, 0.5),
                      -2.8133554045006153, kLogGammaRelTol));
}

TEST(BestKMRegModelCriteria, NonPositiveRSSScoresMinusInfinity) {
  NEWMAT::Matrix M(2, 2);
  M << 2 << 0 << 0 << 3;
  for (double rss : {0.0, -1.0, std::nan("")}) {
    SCOPED_TRACE(rss);
    EXPECT_EQ(BestKMRegModel::calc_BICCriterion(4, 10, rss), -kInf);
    EXPECT_EQ(BestKMRegModel::calc_LWZCriterion(1, 10, rss), -kInf);
    EXPECT_EQ(BestKMRegModel::calc_BIC3Criterion(4, 1, 10, rss), -kInf);
    EXPECT_EQ(BestKMRegModel::calc_WeightedBICCriterion(1, 10, rss, 0.5),
              -kInf);
    EXPECT_EQ(
        BestKMRegModel::calc_AdditiveWeightedBICCriterion(1, 10, rss, 0.5),
        -kInf);
    EXPECT_EQ(BestKMRegModel::calc_LogGammaCriterion(M, 1, 10, rss), -kInf);
  }
}

TEST(BestKMRegModelCriteria, LogGammaNeedsASquareFitMatrix) {
  // The log-determinant comes before the RSS test, so even a perfect fit
  // refuses a matrix that is not square.
  NEWMAT::Matrix M(2, 3);
  M = 1.0;
  EXPECT_THROW(BestKMRegModel::calc_LogGammaCriterion(M, 1, 10, 0.0),
               NEWMAT::BaseException);
}

TEST(BestKMRegModelCriteria, LogGammaOfAModelNeverFitted) {
  // Fault: a model the search could not fit keeps an empty fit matrix and
  // RSS = +infinity. The matrix library crashed on the empty matrix, and
  // the two infinite logarithms of the formula gave NaN, which the
  // selection could never replace. The value is now +infinity.
  EXPECT_EQ(
      BestKMRegModel::calc_LogGammaCriterion(NEWMAT::Matrix(), 2, 12, kInf),
      kInf);
  NEWMAT::Matrix M(2, 2);
  M << 2 << 0 << 0 << 3;
  EXPECT_EQ(BestKMRegModel::calc_LogGammaCriterion(M, 0, 12, kInf), kInf);
  // Too few observations for the gamma term (n <= k + 3): undefined, and
  // no longer the -infinity that won every selection.
  EXPECT_EQ(BestKMRegModel::calc_LogGammaCriterion(M, 1, 4, 0.5), kInf);
  EXPECT_EQ(BestKMRegModel::calc_LogGammaCriterion(M, 1, 3, 0.5), kInf);
}

// ---- select_FinalModel ----

// One series x = 0..9 with unit weights.
class SelectFinalModelTest : public ::testing::Test {
 protected:
  SelectFinalModelTest() : W_(10, 10) {
    values_.Resize(1);
    NEWMAT::ColumnVector x(10);
    for (int i = 1; i <= 10; ++i) x(i) = i - 1;
    values_[0] = x;
    W_ = 0.0;
    for (int i = 1; i <= 10; ++i) W_(i, i) = 1.0;
  }

  struct Outcome {
    int32_t selected = -99;
    bool bFirstKept = false;
    double s1 = -1.0;
    double s2 = -1.0;
    double dLower = 0.0;
    double dDifference = 0.0;
  };

  Outcome Select(const NEWMAT::ColumnVector& beta1,
                 const NEWMAT::ColumnVector& tau1,
                 const NEWMAT::ColumnVector& beta2,
                 const NEWMAT::ColumnVector& tau2, int32_t A, int32_t B,
                 double dMSE) {
    Outcome o;
    o.bFirstKept = !o.bFirstKept;  // must be cleared
    BestKMRegModel::select_FinalModel(o.selected, values_, W_, beta1, beta2,
                                      tau1, tau2, A, B, dMSE, o.bFirstKept,
                                      o.s1, o.s2, o.dLower, o.dDifference);
    return o;
  }

  OneDimensionArray<NEWMAT::ColumnVector> values_;
  NEWMAT::Matrix W_;
};

TEST_F(SelectFinalModelTest, ComputesBothStatisticsAndAppliesTheRule) {
  // s = min_i beta(i+2)^2 q_i / mse, q_i the residual sum of squares of the
  // hinge (x - tau_i)+ on (1, x) over window i. R:
  //   x <- 0:9; q <- sum(lm.fit(cbind(1, x), pmax(x - 4.5, 0))$residuals^2)
  //   1.5^2 * q / 0.8        # 14.0625 (one kinkmark at 4.5, window = all x)
  //   6^2 * q / 0.8          # 225
  //   two kinkmarks at 3 and 6: windows (-1, 6] and (3, 9]:
  //   q1 <- sum(lm.fit(cbind(1, 0:6), pmax(0:6 - 3, 0))$residuals^2)
  //   q2 <- sum(lm.fit(cbind(1, 4:9), pmax(4:9 - 6, 0))$residuals^2)
  //   min(c(2, -0.7)^2 * c(q1, q2) / 0.8)   # 0.66499999999999848
  const NEWMAT::ColumnVector none;
  const NEWMAT::ColumnVector line = Vec({1.0, 0.5});
  struct Case {
    const char* sName;
    NEWMAT::ColumnVector beta1, tau1, beta2, tau2;
    int32_t A, B;
    double s1, s2;
    int32_t selected;
    bool bFirstKept;
  };
  const Case kCases[] = {
      {"both small: the first", Vec({1.0, 0.5, 2.0, -0.7}), Vec({3.0, 6.0}),
       line, none, 2, 0, 0.66499999999999848, 0.0, 2, true},
      {"moderate difference: the second", line, none, Vec({1.0, 0.5, 1.5}),
       Vec({4.5}), 0, 1, 0.0, 14.0625, 1, false},
      {"far apart: the first", line, none, Vec({1.0, 0.5, 6.0}), Vec({4.5}), 0,
       1, 0.0, 225.0, 0, true},
      {"same candidate twice", Vec({1.0, 0.5, 1.5}), Vec({4.5}),
       Vec({1.0, 0.5, 1.5}), Vec({4.5}), 1, 1, 14.0625, 14.0625, 1, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    const Outcome o = Select(c.beta1, c.tau1, c.beta2, c.tau2, c.A, c.B, 0.8);
    EXPECT_EQ(o.selected, c.selected);
    EXPECT_EQ(o.bFirstKept, c.bFirstKept);
    EXPECT_TRUE(RelNear(o.s1, c.s1, 1e-12)) << o.s1;
    EXPECT_TRUE(RelNear(o.s2, c.s2, 1e-12)) << o.s2;
    EXPECT_EQ(o.dLower, 10.0);
    EXPECT_EQ(o.dDifference, 200.0);
  }
}

TEST_F(SelectFinalModelTest, ThresholdsAreInclusive) {
  // With one candidate without kinkmarks (statistic exactly 0), the other's
  // statistic is hi and also hi - lo. The mean squared error is chosen so
  // that it is exactly 10 or 200; each case checks that it is.
  const NEWMAT::ColumnVector line = Vec({1.0, 0.5});
  const NEWMAT::ColumnVector beta = Vec({1.0, 0.5, 1.0});
  const NEWMAT::ColumnVector tau = Vec({4.5});
  const double q =
      Select(line, NEWMAT::ColumnVector(), beta, tau, 0, 1, 1.0).s2;
  struct Case {
    double target;
    int32_t selected;
    bool bFirstKept;
  };
  // hi = 10 <= 10: the first; hi - lo = 200, not more than 200: the second.
  const Case kCases[] = {{10.0, 0, true}, {200.0, 1, false}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.target);
    const Outcome o =
        Select(line, NEWMAT::ColumnVector(), beta, tau, 0, 1, q / c.target);
    ASSERT_EQ(o.s2, c.target);
    EXPECT_EQ(o.selected, c.selected);
    EXPECT_EQ(o.bFirstKept, c.bFirstKept);
  }
}

TEST_F(SelectFinalModelTest, UnorderedStatisticsTakeTheFirst) {
  // A zero slope change over a zero mean squared error gives s2 = NaN; s1
  // (0, no kinkmarks) then serves as both, so hi = 0 and the first is kept.
  const Outcome o = Select(Vec({1.0, 0.5}), NEWMAT::ColumnVector(),
                           Vec({1.0, 0.5, 0.0}), Vec({4.5}), 0, 1, 0.0);
  EXPECT_EQ(o.s1, 0.0);
  EXPECT_TRUE(std::isnan(o.s2));
  EXPECT_EQ(o.selected, 0);
  EXPECT_TRUE(o.bFirstKept);
}

}  // namespace
