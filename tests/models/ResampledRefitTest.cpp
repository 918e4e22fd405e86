// Resampled refits of a fitted model, and the empirical intervals that read
// them, end to end through the location search.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <string>
#include <vector>

#include "foundation/KmException.h"
#include "foundation/OneDimensionArray.h"
#include "models/BaseKMRegModel.h"
#include "models/KMRegFitRecord.h"
#include "models/KMResamplingInputs.h"
#include "models/MatrixBuilders.h"
#include "stats/MTRandomGenerator.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::Vec;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

// Refits reproduce an exact line up to rounding in the normal equations.
constexpr double kRefitAbsTol = 1e-8;

// One series over x = 1990..2001 lying exactly on
//   y = 2 + 0.05 (x - 1990) + 0.03 (x - 1996)+,
// i.e. b0 = 2 - 0.05 * 1990 = -97.5, b1 = 0.05, one kinkmark at 1996 with
// slope change 0.03 (segment slopes 0.05 and 0.08). Its residuals are all
// 0, so every simulated response is the line itself (the pool, its
// quartiles, median and MAD are 0, and so is every extended-sample value).
KMResamplingInputs ExactLine(int N) {
  const int n = 12;
  ColumnVector x(n);
  ColumnVector y(n);
  for (int i = 1; i <= n; ++i) {
    x(i) = 1989 + i;
    y(i) =
        2.0 + 0.05 * (x(i) - 1990) + (x(i) > 1996 ? 0.03 * (x(i) - 1996) : 0.0);
  }
  KMResamplingInputs in;
  in.seriesSet.labels.Resize(1);
  in.seriesSet.xValues.Resize(1);
  in.seriesSet.yValues.Resize(1);
  in.seriesSet.xValues[0] = x;
  in.seriesSet.yValues[0] = y;
  in.residuals.Resize(1);
  ColumnVector zero(n);
  zero = 0.0;
  in.residuals[0] = zero;
  in.fittedValues.Resize(1);
  in.fittedValues[0] = y;
  in.coefficients = Vec({-97.5, 0.05, 0.03});
  in.rss = 0.0;
  in.rssDivisor = n - 4;
  const Matrix I = make_IdentityMatrix(n);
  in.weight = I;
  in.covariance = I;
  in.transform = I;
  in.backTransform = I;
  in.numResamples = N;
  in.seed = 11;
  in.reseed = "NO";
  in.minObsAtEnds = 2;
  in.minObsBetween = 2;
  in.gridPointsBetween = 0;
  return in;
}

// Fits residuals of an irregular series: the same line with noise, series
// of unequal lengths when two are asked for.
KMResamplingInputs Noisy(const std::vector<int>& lengths) {
  const double noise[] = {0.02,  -0.05, 0.04,  0.01,  -0.03, 0.06,
                          -0.02, 0.03,  -0.04, 0.05,  -0.01, 0.02,
                          -0.06, 0.01,  0.03,  -0.02, 0.04,  -0.03};
  const int g = static_cast<int>(lengths.size());
  KMResamplingInputs in;
  in.seriesSet.labels.Resize(g);
  in.seriesSet.xValues.Resize(g);
  in.seriesSet.yValues.Resize(g);
  in.residuals.Resize(g);
  in.fittedValues.Resize(g);
  int iNoise = 0;
  int N = 0;
  for (int j = 0; j < g; ++j) {
    const int n = lengths[j];
    ColumnVector x(n);
    ColumnVector y(n);
    ColumnVector e(n);
    ColumnVector f(n);
    for (int i = 1; i <= n; ++i) {
      x(i) = i;
      f(i) = 1.0 + 0.1 * i + (i > 4 ? -0.15 * (i - 4) : 0.0);
      e(i) = noise[iNoise++ % 18];
      y(i) = f(i) + e(i);
    }
    in.seriesSet.xValues[j] = x;
    in.seriesSet.yValues[j] = y;
    in.residuals[j] = e;
    in.fittedValues[j] = f;
    N += n;
  }
  in.coefficients = Vec({1.0, 0.1, -0.15});
  in.rss = 0.02;
  in.rssDivisor = N - 4;
  const Matrix I = make_IdentityMatrix(N);
  in.weight = I;
  in.covariance = I;
  in.transform = I;
  in.backTransform = I;
  in.numResamples = 8;
  in.seed = 2024;
  in.reseed = "NO";
  in.minObsAtEnds = 1;
  in.minObsBetween = 2;
  in.gridPointsBetween = 0;
  return in;
}

std::vector<double> AllSamples(const OneDimensionArray<KMRegFitRecord>& r) {
  std::vector<double> out;
  for (int i = 1; i < r.GetSize(); ++i) {
    for (double v : km_test::ToVector(r[i].segmentSlopes)) out.push_back(v);
    for (double v : km_test::ToVector(r[i].tau)) out.push_back(v);
  }
  return out;
}

TEST(ResampleNew, ExactLineGivesTheObservedSlopesEveryDraw) {
  const KMResamplingInputs in = ExactLine(5);
  OneDimensionArray<KMRegFitRecord> records;
  MTRandomGenerator generator;
  EXPECT_EQ(BaseKMRegModel::resample_new(generator, records, in, Vec({1996.0}),
                                         1, 1, 1, 0, 0.05, 0.05, 0.05),
            0);
  ASSERT_EQ(records.GetSize(), 5);
  EXPECT_EQ(records[0].segmentSlopes.Nrows(), 0);  // the observed fit's slot
  for (int r = 1; r < 5; ++r) {
    SCOPED_TRACE(r);
    ASSERT_EQ(records[r].segmentSlopes.Nrows(), 2);
    EXPECT_NEAR(records[r].segmentSlopes(1), 0.05, kRefitAbsTol);
    EXPECT_NEAR(records[r].segmentSlopes(2), 0.08, kRefitAbsTol);
    ASSERT_EQ(records[r].tau.Nrows(), 1);
    EXPECT_NEAR(records[r].tau(1), 1996.0, 1e-9);
    ASSERT_EQ(records[r].stackedX.Nrows(), 12);
    EXPECT_NEAR(records[r].stackedX(1), 1990.0, 1e-9);
    EXPECT_NEAR(records[r].stackedX(12), 2001.0, 1e-9);
  }
}

TEST(ResampleNew, EmpiricalQuantileIntervalOfAnExactLineIsThePoint) {
  // Every draw refits to the same slopes, so the quantile bounds close on
  // the APC of each segment, 100 (e^b - 1), and the kinkmark's on 1996.
  const KMResamplingInputs in = ExactLine(6);
  Matrix table(4, 4);
  table = 0.0;
  table(2, 1) = 0.05;
  table(2, 2) = 0.004;
  table(4, 1) = 0.08;
  table(4, 2) = 0.005;
  OneDimensionArray<Matrix> tables;
  tables.Resize(1);
  tables[0] = table;
  OneDimensionArray<KMRegFitRecord> records;
  OneDimensionArray<ColumnVector> kinkmarkRows;
  MTRandomGenerator generator;
  const OneDimensionArray<ColumnVector> L = BaseKMRegModel::calc_APC_CIs(
      kinkmarkRows, 1, Vec({1990, 2001}), tables, Vec({1996.0}), Matrix(), 0.05,
      0.05, 0.05, 8.0, "EmpCDFQuantile", "NO", "Identical", "Log", "GridSearch",
      in, records, generator);
  EXPECT_EQ(records.GetSize(), 6);
  const double kAPC[] = {100 * (std::exp(0.05) - 1),
                         100 * (std::exp(0.08) - 1)};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(L[i](5), kAPC[i], 1e-12);
    EXPECT_NEAR(L[i](6), kAPC[i], 1e-6);
    EXPECT_NEAR(L[i](7), kAPC[i], 1e-6);
    EXPECT_EQ(L[i](8), 1.0);
  }
  EXPECT_NEAR(kinkmarkRows[0](3), 1996.0, 1e-9);
  EXPECT_NEAR(kinkmarkRows[0](4), 1996.0, 1e-9);

  // The AAPC of the same model reads the same refits: no new resampling.
  const MTRandomGenerator before = generator;
  const ColumnVector A = BaseKMRegModel::calc_AAPC_CIs(
      Vec({1990, 2001}), 1, tables, Matrix(), Vec({1996.0}),
      in.seriesSet.xValues[0], 0.05, 0.05, 0.05, 8.0, "EmpCDFQuantile", "NO",
      "Identical", "Log", "GridSearch", in, records, generator);
  // AAPC over 1990-2001: (6 * 0.05 + 5 * 0.08) / 11.
  const double dAAPC = 100 * (std::exp((6 * 0.05 + 5 * 0.08) / 11) - 1);
  EXPECT_NEAR(A(5), dAAPC, 1e-12);
  EXPECT_NEAR(A(6), dAAPC, 1e-6);
  EXPECT_NEAR(A(7), dAAPC, 1e-6);
  MTRandomGenerator copy = before;
  EXPECT_EQ(generator.genrand(), copy.genrand());
}

TEST(ResampleNew, ReseedNoRepeatsTheDrawsForTheSeed) {
  // The caller's data set used to get the first simulated response in place
  // of its observed responses; the observed data must come back unchanged.
  const KMResamplingInputs in = Noisy({12});
  const std::vector<double> observed =
      km_test::ToVector(in.seriesSet.yValues[0]);

  OneDimensionArray<KMRegFitRecord> first;
  OneDimensionArray<KMRegFitRecord> second;
  MTRandomGenerator g1;
  MTRandomGenerator g2;
  g2.sgenrand(999);  // a different state: reseeding makes it irrelevant
  g2.genrand();
  BaseKMRegModel::resample_new(g1, first, in, Vec({4.0}), 1, 1, 1, 0, 0.05,
                               0.05, 0.05);
  BaseKMRegModel::resample_new(g2, second, in, Vec({4.0}), 1, 1, 1, 0, 0.05,
                               0.05, 0.05);
  EXPECT_EQ(AllSamples(first), AllSamples(second));
  EXPECT_EQ(km_test::ToVector(in.seriesSet.yValues[0]), observed);

  // Any other reseed word, "no" included, continues the generator.
  for (const char* word : {"no", "NO "}) {
    SCOPED_TRACE(word);
    KMResamplingInputs cont = in;
    cont.reseed = word;
    OneDimensionArray<KMRegFitRecord> third;
    BaseKMRegModel::resample_new(g1, third, cont, Vec({4.0}), 1, 1, 1, 0, 0.05,
                                 0.05, 0.05);
    EXPECT_NE(AllSamples(third), AllSamples(first));
  }
}

TEST(ResampleNew, SeriesOfUnequalLengthsKeepTheirOwnRows) {
  // The first simulated response was cut into equal blocks, one per series,
  // which misplaces rows (and drops some) when the series differ in length;
  // the data set then no longer matched its x values.
  const KMResamplingInputs in = Noisy({7, 11});
  OneDimensionArray<KMRegFitRecord> records;
  MTRandomGenerator generator;
  BaseKMRegModel::resample_new(generator, records, in, Vec({4.0}), 1, 2, 1, 0,
                               0.05, 0.05, 0.05);
  ASSERT_EQ(records.GetSize(), 8);
  for (int r = 1; r < 8; ++r) {
    EXPECT_EQ(records[r].segmentSlopes.Nrows(), 2);
    EXPECT_EQ(records[r].stackedX.Nrows(), 18);
  }
}

TEST(ResampleNew, RefusesTooFewResamplesAndMissingResiduals) {
  struct Case {
    const char* name;
    int N;
    bool dropResiduals;
  };
  for (const Case& c : {Case{"N = 1", 1, false}, Case{"N = 0", 0, false},
                        Case{"no residuals", 4, true}}) {
    SCOPED_TRACE(c.name);
    KMResamplingInputs in = ExactLine(c.N);
    if (c.dropResiduals) in.residuals.Resize(0);
    OneDimensionArray<KMRegFitRecord> records;
    MTRandomGenerator generator;
    const KmException e = km_test::CatchKmException([&] {
      BaseKMRegModel::resample_new(generator, records, in, Vec({1996.0}), 1, 1,
                                   1, 0, 0.05, 0.05, 0.05);
    });
    EXPECT_STREQ(e.GetSource(), "BaseKMRegModel::resample_new()");
  }
}

TEST(ResampleNew, MatrixErrorsBecomeKmExceptions) {
  // A transformation that does not conform to the stacked residuals.
  KMResamplingInputs in = ExactLine(3);
  in.transform = make_IdentityMatrix(5);
  OneDimensionArray<KMRegFitRecord> records;
  MTRandomGenerator generator;
  const KmException e = km_test::CatchKmException([&] {
    BaseKMRegModel::resample_new(generator, records, in, Vec({1996.0}), 1, 1, 1,
                                 0, 0.05, 0.05, 0.05);
  });
  EXPECT_STREQ(e.GetSource(), "BaseKMRegModel::resample_new()");
}

}  // namespace
