// The reverse-communication search of StatClass, driven directly through
// dstinv/dinvr and dstzr/dzror with simple monotone functions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "stats/StatClass.h"

namespace {

// The result of one search and every point it asked for.
struct SearchRun {
  int status = -99;
  double x = 0.0;
  uint32_t qleft = 99;
  uint32_t qhi = 99;
  std::vector<double> trials;
};

// Searches [small, big] from start for F(x) = 0 with the set-up every caller
// uses (steps 0.5, 0.5, multiplier 5, tolerances 1e-50 and 1e-8).
SearchRun RunInverse(StatClass& stat, const std::function<double(double)>& f,
                     double start, double small, double big) {
  double absstp = 0.5;
  double relstp = 0.5;
  double stpmul = 5.0;
  double abstol = 1e-50;
  double reltol = 1e-8;
  stat.dstinv(&small, &big, &absstp, &relstp, &stpmul, &abstol, &reltol);
  SearchRun run;
  run.x = start;
  double fx = 0.0;
  run.status = 0;
  stat.dinvr(&run.status, &run.x, &fx, &run.qleft, &run.qhi);
  while (run.status == 1) {
    run.trials.push_back(run.x);
    fx = f(run.x);
    stat.dinvr(&run.status, &run.x, &fx, &run.qleft, &run.qhi);
  }
  return run;
}

TEST(StatClassSearch, StartAtTheRootEndsAfterThreeEvaluations) {
  StatClass stat;
  const SearchRun run = RunInverse(
      stat, [](double x) { return x - 5.0; }, 5.0, 0.0, 100.0);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.x, 5.0);
  EXPECT_EQ(run.trials, (std::vector<double>{0.0, 100.0, 5.0}));
}

TEST(StatClassSearch, SameSignAtBothEndsFailsAfterTwoEvaluations) {
  struct Case {
    const char* label;
    std::function<double(double)> f;
    uint32_t qleft;
    uint32_t qhi;
  };
  const Case cases[] = {
      // Increasing and positive: the answer lies below small.
      {"increasing above", [](double x) { return x + 1.0; }, 1, 1},
      // Increasing and negative: the answer lies above big.
      {"increasing below", [](double x) { return x - 1000.0; }, 0, 0},
      // Decreasing and negative: below small.
      {"decreasing below", [](double x) { return -x - 1.0; }, 1, 0},
      // Decreasing and positive: above big.
      {"decreasing above", [](double x) { return 1000.0 - x; }, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    StatClass stat;
    const SearchRun run = RunInverse(stat, c.f, 5.0, 0.0, 100.0);
    EXPECT_EQ(run.status, -1);
    EXPECT_EQ(run.trials.size(), 2u);
    EXPECT_EQ(run.x, 100.0);
    EXPECT_EQ(run.qleft, c.qleft);
    EXPECT_EQ(run.qhi, c.qhi);
  }
}

TEST(StatClassSearch, StepsGrowFivefoldUntilTheRootIsBracketed) {
  StatClass stat;
  const SearchRun run = RunInverse(
      stat, [](double x) { return x - 1000.0; }, 5.0, 0.0, 1e6);
  ASSERT_GE(run.trials.size(), 8u);
  // small, big, the start, then steps of 2.5, 12.5, 62.5, 312.5, 1562.5.
  const std::vector<double> expected = {0.0,  1e6,  5.0,   7.5,
                                        20.0, 82.5, 395.0, 1957.5};
  EXPECT_EQ(std::vector<double>(run.trials.begin(), run.trials.begin() + 8),
            expected);
  EXPECT_EQ(run.status, 0);
  EXPECT_NEAR(run.x, 1000.0, 1e-8 * 1000.0);
}

TEST(StatClassSearch, StepsDownwardsMirrorTheUpwardSteps) {
  StatClass stat;
  const SearchRun run = RunInverse(
      stat, [](double x) { return x + 100.0; }, 5.0, -1e6, 1e6);
  ASSERT_GE(run.trials.size(), 7u);
  const std::vector<double> expected = {-1e6,  1e6,   5.0,   2.5,
                                        -10.0, -72.5, -385.0};
  EXPECT_EQ(std::vector<double>(run.trials.begin(), run.trials.begin() + 7),
            expected);
  EXPECT_EQ(run.status, 0);
  EXPECT_NEAR(run.x, -100.0, 1e-8 * 100.0);
}

TEST(StatClassSearch, StepClippedAtAnEndStillRunsTheZeroFinder) {
  // Upwards: 7.5, 20, 82.5, then 395 is clipped to big = 100, past the root.
  StatClass stat;
  SearchRun run = RunInverse(
      stat, [](double x) { return x - 90.0; }, 5.0, 0.0, 100.0);
  ASSERT_GE(run.trials.size(), 7u);
  EXPECT_EQ(run.trials[6], 100.0);
  EXPECT_EQ(run.status, 0);
  EXPECT_NEAR(run.x, 90.0, 1e-8 * 90.0);
  // Downwards: 2.5, -10, -72.5, then -385 is clipped to small = -80.
  run = RunInverse(
      stat, [](double x) { return x + 75.0; }, 5.0, -80.0, 100.0);
  ASSERT_GE(run.trials.size(), 7u);
  EXPECT_EQ(run.trials[6], -80.0);
  EXPECT_EQ(run.status, 0);
  EXPECT_NEAR(run.x, -75.0, 1e-8 * 75.0);
}

TEST(StatClassSearch, DecreasingFunctionsAreSearchedToo) {
  StatClass stat;
  const SearchRun run = RunInverse(
      stat, [](double x) { return std::exp(-x) - 0.25; }, 5.0, 0.0, 1e300);
  EXPECT_EQ(run.status, 0);
  EXPECT_NEAR(run.x, std::log(4.0), 1e-8 * std::log(4.0));
}

// Drives the zero finder alone on [lo, hi].
SearchRun RunZeroFinder(StatClass& stat, const std::function<double(double)>& f,
                        double lo, double hi, double* pXlo, double* pXhi) {
  double abstol = 1e-50;
  double reltol = 1e-8;
  stat.dstzr(&lo, &hi, &abstol, &reltol);
  SearchRun run;
  double fx = 0.0;
  run.status = 0;
  stat.dzror(&run.status, &run.x, &fx, pXlo, pXhi, &run.qleft, &run.qhi);
  while (run.status == 1) {
    run.trials.push_back(run.x);
    fx = f(run.x);
    stat.dzror(&run.status, &run.x, &fx, pXlo, pXhi, &run.qleft, &run.qhi);
  }
  return run;
}

TEST(StatClassSearch, ZeroFinderWithoutSignChangeFailsAfterTwoEvaluations) {
  StatClass stat;
  double xlo = 0.0;
  double xhi = 0.0;
  SearchRun run = RunZeroFinder(
      stat, [](double x) { return x + 1.0; }, 0.0, 10.0, &xlo, &xhi);
  EXPECT_EQ(run.status, -1);
  EXPECT_EQ(run.trials, (std::vector<double>{0.0, 10.0}));
  EXPECT_EQ(run.qleft, 1u);  // F > 0 and rising: the zero lies to the left
  EXPECT_EQ(run.qhi, 1u);
  run = RunZeroFinder(
      stat, [](double x) { return x - 20.0; }, 0.0, 10.0, &xlo, &xhi);
  EXPECT_EQ(run.status, -1);
  EXPECT_EQ(run.qleft, 0u);  // F < 0 and rising: the zero lies to the right
  EXPECT_EQ(run.qhi, 0u);
}

TEST(StatClassSearch, ZeroFinderStopsOnceHalfTheBracketIsWithinTolerance) {
  const double roots[] = {3.0, 1e-3, 250.0};
  for (double root : roots) {
    SCOPED_TRACE(root);
    StatClass stat;
    double xlo = 0.0;
    double xhi = 0.0;
    const SearchRun run = RunZeroFinder(
        stat, [root](double x) { return std::atan(x - root); }, 0.0, 1000.0,
        &xlo, &xhi);
    EXPECT_EQ(run.status, 0);
    // The final bracket [xlo, xhi] holds the root and is at most
    // max(1e-50, 1e-8 |xlo|) wide.
    EXPECT_LE(std::fmin(xlo, xhi), root);
    EXPECT_GE(std::fmax(xlo, xhi), root);
    EXPECT_LE(std::fabs(xhi - xlo), 1e-8 * std::fabs(xlo));
  }
}

TEST(StatClassSearch, InterleavedSearchesOnTwoObjectsDoNotInterfere) {
  // Each object keeps its own search state, so two searches advanced step by
  // step in turn end as they do alone.
  StatClass alone1;
  StatClass alone2;
  auto f1 = [](double x) { return x * x - 2.0; };
  auto f2 = [](double x) { return std::exp(x) - 40.0; };
  const SearchRun expected1 = RunInverse(alone1, f1, 5.0, 0.0, 1e3);
  const SearchRun expected2 = RunInverse(alone2, f2, 5.0, -50.0, 50.0);

  StatClass stat1;
  StatClass stat2;
  double small1 = 0.0, big1 = 1e3, small2 = -50.0, big2 = 50.0;
  double absstp = 0.5, relstp = 0.5, stpmul = 5.0, abstol = 1e-50,
         reltol = 1e-8;
  stat1.dstinv(&small1, &big1, &absstp, &relstp, &stpmul, &abstol, &reltol);
  stat2.dstinv(&small2, &big2, &absstp, &relstp, &stpmul, &abstol, &reltol);
  double x1 = 5.0, x2 = 5.0, fx1 = 0.0, fx2 = 0.0;
  int status1 = 0, status2 = 0;
  uint32_t ql1 = 0, qh1 = 0, ql2 = 0, qh2 = 0;
  stat1.dinvr(&status1, &x1, &fx1, &ql1, &qh1);
  stat2.dinvr(&status2, &x2, &fx2, &ql2, &qh2);
  while (status1 == 1 || status2 == 1) {
    if (status1 == 1) {
      fx1 = f1(x1);
      stat1.dinvr(&status1, &x1, &fx1, &ql1, &qh1);
    }
    if (status2 == 1) {
      fx2 = f2(x2);
      stat2.dinvr(&status2, &x2, &fx2, &ql2, &qh2);
    }
  }
  EXPECT_EQ(status1, expected1.status);
  EXPECT_EQ(x1, expected1.x);
  EXPECT_EQ(status2, expected2.status);
  EXPECT_EQ(x2, expected2.x);
  EXPECT_NEAR(x1, std::sqrt(2.0), 1e-8);
  EXPECT_NEAR(x2, std::log(40.0), 1e-7);
}

}  // namespace
