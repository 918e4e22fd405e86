// AAPC weights, tables, range positions and the AAPC of one resampled fit.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "models/BaseKMRegModel.h"
#include "tests/models/UtilityTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::RelNear;
using km_test::ToVector;
using km_test::Vec;

// Bounds in percent carry the t quantile's search accuracy: compared
// absolutely, in percent units.
constexpr double kBoundAbsTol = 1e-6;
constexpr double kPValueAbsTol = 1e-12;

// The model of every table case: kinkmarks at 1995.5 and 2003 on data from
// 1990 to 2012.
const std::vector<double> kT = {1990, 1995.5, 2003, 2012};
const std::vector<double> kSlopes = {0.031, -0.012, 0.0045};
const std::vector<double> kErrors = {0.004, 0.006, 0.0051};

struct AAPCCase {
  const char* name;
  // start, end, A, s, AAPC, lower, upper, flag, statistic, p-value.
  double v[10];
};

// R (w: the range's overlap with each segment over the range's length, the
// excess beyond the data counted with the first or last segment; worked by
// hand per case):
//   pc <- function(b) 100 * (exp(b) - 1)
//   b <- c(0.031, -0.012, 0.0045); Sigma <- diag(c(0.004, 0.006, 0.0051)^2)
//   row <- function(s, e, w, within) {
//     A <- sum(w * b); sd <- sqrt(drop(t(w) %*% Sigma %*% w))
//     q <- if (within) qt(0.975, 17) else qnorm(0.975)
//     lo <- pc(A - q*sd); hi <- pc(A + q*sd); z <- A/sd
//     c(s, e, A, sd, pc(A), lo, hi, lo > 0 | hi < 0, z, 2*(1 - pnorm(abs(z))))
//     }
const AAPCCase kAAPCCases[] = {
    // row(1990, 2012, c(5.5, 7.5, 9)/22, FALSE)
    {"whole data range",
     {1990, 2012, 0.0055000000000000005, 0.0030881705782973127,
      0.55151527673362732, -0.055255039935031558, 1.1619693310248813, 0,
      1.7809897026583517, 0.074914132974045033}},
    // row(1996, 2002, c(0, 6, 0)/6, TRUE): t interval, normal p-value.
    {"inside the middle segment",
     {1996, 2002, -0.012, 0.006, -1.1928287138069482, -2.4357346642080335,
      0.065911058498357988, 0, -2, 0.045500263896358417}},
    // row(1995.5, 2003, c(0, 7.5, 0)/7.5, TRUE): ends on the kinkmarks.
    {"equal to the middle segment",
     {1995.5, 2003, -0.012, 0.006, -1.1928287138069482, -2.4357346642080335,
      0.065911058498357988, 0, -2, 0.045500263896358417}},
    // row(1993, 2008, c(2.5, 7.5, 5)/15, FALSE)
    {"across both kinkmarks",
     {1993, 2008, 0.00066666666666666632, 0.0035120427737207935,
      0.066688893827993034, -0.619752629761261, 0.75787182205020454, 0,
      0.18982304875529005, 0.84944779396922687}},
    // row(1985, 2015, c(10.5, 7.5, 12)/30, FALSE): beyond the data.
    {"beyond the data at both ends",
     {1985, 2015, 0.0096499999999999989, 0.0028933717355362413,
      0.96967113840442654, 0.39870227161351579, 1.5438871133697241, 1,
      3.3352091891543698, 0.00085235253614412976}},
    // row(2004, 2012, c(0, 0, 8)/8, TRUE)
    {"end of the last segment",
     {2004, 2012, 0.0045, 0.0051, 0.45101402046012762, -0.6240506097795806,
      1.5377088687383633, 0, 0.88235294117647045, 0.37758597547424855}},
};

TEST(CalcAAPCEstimates, AgreesWithR) {
  const int n = static_cast<int>(sizeof(kAAPCCases) / sizeof(kAAPCCases[0]));
  NEWMAT::Matrix ranges(n, 2);
  for (int r = 1; r <= n; ++r) {
    ranges(r, 1) = kAAPCCases[r - 1].v[0];
    ranges(r, 2) = kAAPCCases[r - 1].v[1];
  }
  NEWMAT::Matrix m;
  BaseKMRegModel::calc_AAPC_Estimates(m, ranges, 2, 17, Vec(kT), Vec(kSlopes),
                                      Vec(kErrors), 0.05);
  ASSERT_EQ(m.Nrows(), n);
  ASSERT_EQ(m.Ncols(), 10);
  for (int r = 1; r <= n; ++r) {
    const AAPCCase& c = kAAPCCases[r - 1];
    SCOPED_TRACE(c.name);
    for (int col : {1, 2, 3, 4, 5, 9}) {
      SCOPED_TRACE(col);
      EXPECT_TRUE(RelNear(m(r, col), c.v[col - 1], km_test::kTightRelTol));
    }
    EXPECT_NEAR(m(r, 6), c.v[5], kBoundAbsTol);
    EXPECT_NEAR(m(r, 7), c.v[6], kBoundAbsTol);
    EXPECT_EQ(m(r, 8), c.v[7]);
    EXPECT_NEAR(m(r, 10), c.v[9], kPValueAbsTol);
  }
}

TEST(CalcAAPCEstimates, EmptyOrReversedRangeGivesZeroes) {
  NEWMAT::Matrix ranges(2, 2);
  ranges(1, 1) = 2000;
  ranges(1, 2) = 2000;
  ranges(2, 1) = 2008;
  ranges(2, 2) = 1994;
  NEWMAT::Matrix m;
  BaseKMRegModel::calc_AAPC_Estimates(m, ranges, 2, 17, Vec(kT), Vec(kSlopes),
                                      Vec(kErrors), 0.05);
  for (int r = 1; r <= 2; ++r) {
    SCOPED_TRACE(r);
    for (int col = 3; col <= 8; ++col) EXPECT_EQ(m(r, col), 0.0) << col;
    EXPECT_EQ(m(r, 10), 0.0);
  }
}

TEST(CalcAAPCEstimates, WithoutKinkmarksEqualsTheAPCWithANormalPValue) {
  // k = 0: the AAPC of a range inside the data is the APC of the one slope,
  // with the same t interval but a normal-based p-value.
  NEWMAT::Matrix ranges(1, 2);
  ranges(1, 1) = 1992;
  ranges(1, 2) = 2001;
  NEWMAT::Matrix aapc, apc;
  const NEWMAT::ColumnVector T = Vec({1990, 2012});
  BaseKMRegModel::calc_AAPC_Estimates(aapc, ranges, 0, 17, T, Vec({-0.012}),
                                      Vec({0.006}), 0.05);
  BaseKMRegModel::calc_APC_Estimates(apc, 0, T, Vec({-0.012}), Vec({0.006}),
                                     0.05, 17);
  for (int col = 3; col <= 9; ++col) {
    EXPECT_TRUE(RelNear(aapc(1, col), apc(1, col), km_test::kTightRelTol))
        << col;
  }
  // R: 2*(1 - pnorm(2)) and 2*(1 - pt(2, 17))
  EXPECT_NEAR(aapc(1, 10), 0.045500263896358417, kPValueAbsTol);
  EXPECT_NEAR(apc(1, 10), 0.061738606530119089, kPValueAbsTol);
}

TEST(CalcAAPCEstimates, RangeListWithOneColumnRaisesTheMatrixIndexError) {
  NEWMAT::Matrix ranges(1, 1);
  ranges(1, 1) = 1995;
  NEWMAT::Matrix m;
  EXPECT_THROW(BaseKMRegModel::calc_AAPC_Estimates(
                   m, ranges, 2, 17, Vec(kT), Vec(kSlopes), Vec(kErrors), 0.05),
               NEWMAT::BaseException);
}

struct WeightCase {
  const char* name;
  double start, end;
  std::vector<double> raw;
  double sum;
};

// Worked by hand over the segments [0, 4], [4, 10], [10, 12].
const WeightCase kWeightCases[] = {
    {"whole range", 0, 12, {4, 6, 2}, 12},
    {"inside one segment", 5, 9, {0, 4, 0}, 4},
    {"across a kinkmark", 2, 7, {2, 3, 0}, 5},
    {"before the data", -3, 2, {5, 0, 0}, 5},
    {"after the data", 11, 15, {0, 0, 4}, 4},
    {"zero length", 6, 6, {0, 0, 0}, 0},
    {"reversed", 9, 3, {0, 0, 0}, 0},
};

TEST(CalcAAPCSegmentWeights, OverlapsWorkedByHand) {
  const NEWMAT::ColumnVector T = Vec({0, 4, 10, 12});
  for (const WeightCase& c : kWeightCases) {
    SCOPED_TRACE(c.name);
    NEWMAT::ColumnVector W;
    double dSum = -1;
    BaseKMRegModel::calc_AAPC_SegmentWeights(W, dSum, T, c.start, c.end);
    EXPECT_EQ(ToVector(W), c.raw);
    EXPECT_EQ(dSum, c.sum);

    // The normalised weights sum to 1, or are all 0.
    const NEWMAT::ColumnVector w =
        BaseKMRegModel::calc_AAPC_ForRange(T, c.end, c.start);
    ASSERT_EQ(w.Nrows(), 3);
    for (int i = 1; i <= 3; ++i) {
      EXPECT_DOUBLE_EQ(w(i), c.sum == 0 ? 0.0 : c.raw[i - 1] / c.sum);
    }
  }
}

TEST(CalcAAPCForRange, SingleBoundaryHasNoSegment) {
  const NEWMAT::ColumnVector w =
      BaseKMRegModel::calc_AAPC_ForRange(Vec({5}), 10, 0);
  EXPECT_EQ(w.Nrows(), 0);
}

TEST(CalcAAPCInterval, WeightsTheSlopesAndTheirVariances) {
  // Raw weights (2, 3, 0) over 5: estimate 0.4*0.1 + 0.6*0.2 = 0.16;
  // variance (0.4*0.01)^2 + (0.6*0.02)^2 = 1.6e-5 + 1.44e-4 = 1.6e-4.
  double dA = -1, dV = -1;
  BaseKMRegModel::calc_AAPC_Interval(dA, dV, Vec({0.1, 0.2, 0.3}),
                                     Vec({0.01, 0.02, 0.03}), Vec({2, 3, 0}), 5,
                                     3);
  EXPECT_DOUBLE_EQ(dA, 0.16);
  EXPECT_DOUBLE_EQ(dV, 1.6e-4);
  BaseKMRegModel::calc_AAPC_Interval(dA, dV, Vec({0.1}), Vec({0.01}), Vec({0}),
                                     0, 1);
  EXPECT_EQ(dA, 0.0);
  EXPECT_EQ(dV, 0.0);
}

TEST(FindSegment, ComparesWithTheUnextendedBoundaries) {
  const NEWMAT::ColumnVector T = Vec({0, 4, 10, 12});
  EXPECT_TRUE(BaseKMRegModel::find_Segment(T, 4, 10));
  EXPECT_TRUE(BaseKMRegModel::find_Segment(T, 5, 6));
  EXPECT_TRUE(BaseKMRegModel::find_Segment(T, 0, 4));
  EXPECT_FALSE(BaseKMRegModel::find_Segment(T, 3, 5));
  EXPECT_FALSE(BaseKMRegModel::find_Segment(T, -1, 3));
  EXPECT_FALSE(BaseKMRegModel::find_Segment(T, 11, 13));
}

struct PositionCase {
  const char* name;
  double start, end;
  std::vector<double> expected;
};

// Segments [0, 4], [4, 10], [10, 12] (k = 2), worked by hand: js = last i
// with T(i) <= start, je = last i with T(i) < end.
const PositionCase kPositionCases[] = {
    {"inside the middle segment", 5, 9, {1, 1, 1, 2, 2, 2, 1, 0, 0}},
    {"whole range", 0, 12, {3, 0, 0, 1, 3, 1, 2, 0, 0}},
    // Start on a kinkmark: js is the segment to its right, entry 6 the one
    // to its left.
    {"start on a kinkmark", 4, 11, {2, 1, 0, 2, 3, 1, 2, 1, 0}},
    // End on a kinkmark: je is the segment to its left and entry 7 = je.
    {"end on a kinkmark", 1, 10, {2, 0, 1, 1, 2, 1, 2, 0, 1}},
    {"before the data", -5, -1, {1, 0, 2, 1, 1, 1, 0, 0, 0}},
};

TEST(CalcAAPCResultVector, PositionsWorkedByHand) {
  const NEWMAT::ColumnVector T = Vec({0, 4, 10, 12});
  for (const PositionCase& c : kPositionCases) {
    SCOPED_TRACE(c.name);
    const NEWMAT::ColumnVector v =
        BaseKMRegModel::calc_AAPC_ResultVector(Vec({c.start, c.end}), 2, T);
    EXPECT_EQ(ToVector(v), c.expected);
  }
}

TEST(CalcAAPCOneSample, WeightsTheResampledSlopes) {
  // x from 0 to 12, kinkmarks 4 and 10, range (2, 7): weights (2, 3, 0)/5.
  const double dA = BaseKMRegModel::calc_AAPC_OneSample(
      Vec({2, 7}), Vec({0, 3, 6, 9, 12}), Vec({4, 10}), Vec({0.1, 0.2, 0.3}));
  EXPECT_DOUBLE_EQ(dA, 0.16);
}

TEST(CalcFullDataRange, RunsFromTheFirstToTheLargestX) {
  NEWMAT::Matrix m;
  BaseKMRegModel::calc_FullDataRange(m, Vec({1990, 1995, 2012, 2000}));
  ASSERT_EQ(m.Nrows(), 1);
  ASSERT_EQ(m.Ncols(), 2);
  EXPECT_EQ(m(1, 1), 1990);
  EXPECT_EQ(m(1, 2), 2012);
  // A first x that is not the smallest starts the range there.
  BaseKMRegModel::calc_FullDataRange(m, Vec({1995, 1990, 2012}));
  EXPECT_EQ(m(1, 1), 1995);
  EXPECT_EQ(m(1, 2), 2012);
}

}  // namespace
