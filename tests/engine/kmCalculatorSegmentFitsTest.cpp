// Segment fits, their refresh per data set, the enumeration of
// segmentations and the segmentation constraints of kmCalculator, checked
// against R.
//
// Shared cohort (n = 12):
//   x <- c(0, 1, 2, 3, 5, 6, 7, 8, 9, 11, 12, 13)
//   y <- c(3.1, 3.9, 5.2, 5.8, 8.1, 9.3, 9.9, 9.4, 8.8, 7.1, 6.5, 5.2)
//   y2 <- rev(y)                       # column 2 of pDataY
//   w <- c(1, 2, 0.5, 1.5, 1, 3, 2, 1, 0.8, 1.2, 2.5, 1)
//   seg <- function(i, j, yy) { r <- i:j
//     f <- lm(yy[r] ~ x[r], weights = w[r]); X <- cbind(1, x[r])
//     list(b = coef(f), rss = sum(w[r] * resid(f)^2),
//          A = solve(t(X) %*% diag(w[r]) %*% X)) }
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "engine/kmQMatrix.h"
#include "engine/kmUpperTriangularMatrix.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr int kN = 12;
constexpr double kX[kN] = {0, 1, 2, 3, 5, 6, 7, 8, 9, 11, 12, 13};
constexpr double kY[kN] = {3.1, 3.9, 5.2, 5.8, 8.1, 9.3,
                           9.9, 9.4, 8.8, 7.1, 6.5, 5.2};
constexpr double kW[kN] = {1, 2, 0.5, 1.5, 1, 3, 2, 1, 0.8, 1.2, 2.5, 1};
// Coefficients and inverses of 2 x 2 systems; sums of squares are compared
// relatively, a little tighter.
constexpr double kCoefTol = 1e-10;
constexpr double kRssRelTol = 1e-10;

// A calculator holding a cohort of n observations with the given limits
// (kmOptMinObsEnd, kmOptMinObsBetween).
class SegmentFitsTest : public ::testing::Test {
 protected:
  void MakeCalculator(int n, int iMinObsEnd, int iMinObsBetween) {
    session_ = std::make_unique<kmSession>();
    session_->SetInt(kmOptMinObsEnd, iMinObsEnd);
    session_->SetInt(kmOptMinObsBetween, iMinObsBetween);
    session_->ClearObservationCounts();
    session_->AddObservationCount(n);
    calc_ = std::make_unique<kmCalculator>(session_.get());
    calc_->LoadCalcMembers(nullptr, 0);
    calc_->SetNumObservations(static_cast<int16_t>(n));
  }

  // The shared cohort, with y in column 1 and y2 in column 2 of pDataY.
  void LoadSharedCohort(int iMinObsEnd = 2, int iMinObsBetween = 2) {
    const std::vector<double> vY(kY, kY + kN);
    km_engine_test::LoadedCalculator lc(
        km_engine_test::Observations(std::vector<double>(kX, kX + kN), vY,
                                     std::vector<double>(kW, kW + kN)),
        [&](kmSession& s) {
          s.SetInt(kmOptMinObsEnd, iMinObsEnd);
          s.SetInt(kmOptMinObsBetween, iMinObsBetween);
        });
    lc.SetResponseColumns({vY, std::vector<double>(vY.rbegin(), vY.rend())});
    session_ = std::move(lc.session);
    calc_ = std::move(lc.calc);
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
};

struct RunFit {
  int i, j;
  double a, b, rss;
};

// R: s <- seg(i, j, y); s$b; s$rss
const RunFit kObservedFits[] = {
    {1, 12, 5.7904458944859973, 0.19911300126397813, 72.874610914089729},
    {3, 7, 2.9179487179487138, 1.0295625942684774, 0.31689291101055839},
    {8, 12, 15.902567056113213, -0.79771268718117472, 0.20291755800559524},
    {1, 3, 3.0000000000000004, 1.0, 0.049999999999999982},
    {4, 7, 2.7565022421524672, 1.0560538116591929, 0.27995515695067297},
};
// R: s <- seg(i, j, y2); s$b; s$rss
const RunFit kPermutedFits[] = {
    {1, 12, 8.9049842606532472, -0.27055413771727166, 74.653832591316373},
    {3, 7, 7.6179487179487166, 0.31779788838612399, 1.7921870286576165},
    {8, 12, 14.966183972354777, -0.9166694092479839, 1.0239427349020902},
    {1, 3, 5.3400000000000016, 1.0199999999999989, 0.098000000000000101},
    {4, 7, 8.4533632286995442, 0.18071748878923882, 0.80313901345291439},
};

void ExpectFits(kmUpperTriangularMatrix& table, const RunFit* pFits,
                size_t iCount) {
  for (size_t c = 0; c < iCount; ++c) {
    const RunFit& f = pFits[c];
    SCOPED_TRACE(std::to_string(f.i) + ".." + std::to_string(f.j));
    kmPartition& cell = table.GetPartition(f.i, f.j);
    ASSERT_EQ(cell.beta.Nrows(), 2);
    ASSERT_EQ(cell.beta.Ncols(), 1);
    // The cells hold the fits of the data less the table's line.
    EXPECT_NEAR(cell.beta(1, 1) + table.dLineIntercept, f.a, kCoefTol);
    EXPECT_NEAR(cell.beta(2, 1) + table.dLineSlope, f.b, kCoefTol);
    ASSERT_EQ(cell.rss.Nrows(), 1);
    EXPECT_TRUE(km_test::RelNear(cell.rss(1), f.rss, kRssRelTol));
  }
}

TEST_F(SegmentFitsTest, PartitionsFitsEveryRunAsWeightedLm) {
  LoadSharedCohort();
  kmUpperTriangularMatrix table(kN, kN);
  calc_->Partitions(table);
  ExpectFits(table, kObservedFits, std::size(kObservedFits));

  // R: s <- seg(i, j, y); s$A[1,1]; s$A[1,2]; s$A[2,2]
  const struct {
    int i, j;
    double a11, a12, a22;
  } kInverses[] = {
      {1, 12, 0.21163584545652164, -0.02332724154865512, 0.0035222323304699276},
      {3, 7, 1.4871794871794877, -0.2564102564102565, 0.048265460030165928},
      {8, 12, 6.6068783939444238, -0.58746091821622903, 0.053480335691953623},
  };
  for (const auto& c : kInverses) {
    SCOPED_TRACE(std::to_string(c.i) + ".." + std::to_string(c.j));
    const Matrix& mA = table.GetPartition(c.i, c.j).xwxInverse;
    ASSERT_EQ(mA.Nrows(), 2);
    ASSERT_EQ(mA.Ncols(), 2);
    EXPECT_NEAR(mA(1, 1), c.a11, kCoefTol);
    EXPECT_NEAR(mA(1, 2), c.a12, kCoefTol);
    EXPECT_NEAR(mA(2, 1), c.a12, kCoefTol);
    EXPECT_NEAR(mA(2, 2), c.a22, kCoefTol);
  }

  // Every run of two observations is an exact fit.
  for (int i = 1; i < kN; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(table.GetPartition(i, i + 1).rss(1), 0.0);
  }
  // The spare column of the table stays untouched.
  EXPECT_EQ(table.GetPartition(1, kN + 1).beta.Nrows(), 0);
}

TEST_F(SegmentFitsTest, PartitionSSEsReadsTheDataSetColumn) {
  LoadSharedCohort();
  kmUpperTriangularMatrix table(kN, kN);
  calc_->Partitions(table);
  const Matrix mInverseBefore = table.GetPartition(3, 7).xwxInverse;

  for (int iDataSet : {2, 7}) {
    SCOPED_TRACE(iDataSet);
    calc_->PartitionSSEs(table, iDataSet);
    ExpectFits(table, kPermutedFits, std::size(kPermutedFits));
  }
  // The inverses do not depend on the data set and are kept.
  const Matrix& mInverseAfter = table.GetPartition(3, 7).xwxInverse;
  EXPECT_EQ(mInverseAfter(1, 2), mInverseBefore(1, 2));

  calc_->PartitionSSEs(table, 1);
  ExpectFits(table, kObservedFits, std::size(kObservedFits));
}

TEST_F(SegmentFitsTest, ExactFitIsRelativeToTheData) {
  // R: d <- sqrt(7.5e-7); yt <- c(1, 2 + d, 3, 4)
  //    sum(resid(lm(yt[1:3] ~ c(1, 2, 3)))^2)   # 4.9999999999972162e-07
  // A small residual sum is a real misfit, not rounding, at any scale of
  // the data: an absolute cut at 1e-6 zeroed it, and zeroed every run of a
  // series in small units. Runs of two observations are exact at any scale.
  const double d = std::sqrt(7.5e-7);
  const double kYt[4] = {1.0, 2.0 + d, 3.0, 4.0};
  for (double dScale : {1.0, 1e-4, 1e4}) {
    SCOPED_TRACE(dScale);
    MakeCalculator(4, 1, 0);
    CalcMembers(*calc_).pDataX = std::make_unique<Matrix>(4, 2);
    CalcMembers(*calc_).pDataY = std::make_unique<Matrix>(4, 1);
    for (int i = 1; i <= 4; ++i) {
      (*CalcMembers(*calc_).pDataX)(i, 1) = 1.0;
      (*CalcMembers(*calc_).pDataX)(i, 2) = i;
      (*CalcMembers(*calc_).pDataY)(i, 1) = dScale * kYt[i - 1];
      (*CalcMembers(*calc_).pWeightMatrix)(i, i) = 1.0;
    }
    const double dRss = 4.9999999999972162e-07 * dScale * dScale;
    kmUpperTriangularMatrix table(4, 4);
    calc_->Partitions(table);
    EXPECT_TRUE(km_test::RelNear(table.GetPartition(1, 3).rss(1), dRss, 1e-6));
    for (int i = 1; i <= 3; ++i) {
      EXPECT_EQ(table.GetPartition(i, i + 1).rss(1), 0.0) << i;
    }
    calc_->PartitionSSEs(table, 1);
    EXPECT_TRUE(km_test::RelNear(table.GetPartition(1, 3).rss(1), dRss, 1e-6));
  }
}

TEST_F(SegmentFitsTest, MatrixErrorsBecomeKmExceptions) {
  LoadSharedCohort();
  kmUpperTriangularMatrix table(kN, kN);
  calc_->Partitions(table);
  for (int iDataSet : {0, -3}) {
    SCOPED_TRACE(iDataSet);
    KmException e = km_test::CatchKmException(
        [&] { calc_->PartitionSSEs(table, iDataSet); });
    EXPECT_STREQ(e.GetSource(), "kmCalculator::PartitionSSEs()");
    EXPECT_STREQ(e.GetCallPath(), "PartitionSSEs() of kmCalculator");
  }

  // Two observations without weight: X'WX of their run is singular.
  (*CalcMembers(*calc_).pWeightMatrix)(5, 5) = 0.0;
  (*CalcMembers(*calc_).pWeightMatrix)(6, 6) = 0.0;
  KmException e = km_test::CatchKmException([&] { calc_->Partitions(table); });
  EXPECT_STREQ(e.GetSource(), "kmCalculator::Partitions()");
  EXPECT_STREQ(e.GetCallPath(), "Partitions() of kmCalculator");

  // A table too small for the cohort.
  (*CalcMembers(*calc_).pWeightMatrix)(5, 5) = 1.0;
  (*CalcMembers(*calc_).pWeightMatrix)(6, 6) = 1.0;
  kmUpperTriangularMatrix small(6, 6);
  e = km_test::CatchKmException([&] { calc_->Partitions(small); });
  EXPECT_STREQ(e.GetMessage(), "Partition(1,8) is out of bounds.");
  EXPECT_STREQ(e.GetCallPath(),
               "GetPartition() of kmUpperTriangularMatrix\r\n"
               "Partitions() of kmCalculator");
}

TEST_F(SegmentFitsTest, MissingObservationsRaiseInsteadOfCrashing) {
  // The fits dereferenced the observation matrices without looking: a
  // cohort not yet loaded crashed the task.
  MakeCalculator(kN, 2, 2);
  kmUpperTriangularMatrix table(kN, kN);
  KmException e = km_test::CatchKmException([&] { calc_->Partitions(table); });
  EXPECT_STREQ(e.GetSource(), "kmCalculator");
  EXPECT_STREQ(e.GetCallPath(), "Partitions() of kmCalculator");
  e = km_test::CatchKmException([&] { calc_->PartitionSSEs(table, 1); });
  EXPECT_STREQ(e.GetCallPath(), "PartitionSSEs() of kmCalculator");
}

std::vector<std::vector<int>> Enumerate(kmCalculator& calc, int16_t k, int a,
                                        int g) {
  std::vector<std::vector<int>> out;
  ColumnVector p(k);
  for (int m = 1; m <= k; ++m) p(m) = (a + 1) + (m - 1) * g;
  do {
    std::vector<int> row;
    for (int m = 1; m <= k; ++m) row.push_back(static_cast<int>(p(m)));
    out.push_back(row);
  } while (calc.IncrementGrid(k, p));
  return out;
}

TEST_F(SegmentFitsTest, IncrementGridWalksAdmissibleSegmentations) {
  const struct {
    int n;
    int16_t k;
    std::vector<std::vector<int>> expected;
  } kCases[] = {
      {12, 2, {{3, 7}, {3, 8}, {3, 9}, {4, 8}, {4, 9}, {5, 9}}},
      {10, 2, {{3, 7}}},
      {10, 1, {{3}, {4}, {5}, {6}, {7}}},
      {14, 3, {{3, 7, 11}}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE("n=" + std::to_string(c.n) + " k=" + std::to_string(c.k));
    MakeCalculator(c.n, 2, 2);
    EXPECT_EQ(Enumerate(*calc_, c.k, 2, 4), c.expected);
  }
  ColumnVector p(1);
  p(1) = 3.0;
  EXPECT_FALSE(calc_->IncrementGrid(0, p));
  EXPECT_EQ(p(1), 3.0);
}

TEST_F(SegmentFitsTest, PrecomputeQStoresConstraintsOfEverySegmentation) {
  LoadSharedCohort();
  kmUpperTriangularMatrix table(kN, kN);
  calc_->Partitions(table);
  kmQMatrix qTable(2, 66);  // C(12, 2)
  calc_->PrecomputeQ(1, table, qTable);
  calc_->PrecomputeQ(2, table, qTable);

  const std::vector<std::vector<int>> kOrder = {{3, 7}, {3, 8}, {3, 9},
                                                {4, 8}, {4, 9}, {5, 9}};
  for (size_t c = 0; c < kOrder.size(); ++c) {
    SCOPED_TRACE(c + 1);
    const kmQ& q = qTable.GetQ(2, static_cast<int>(c + 1));
    ASSERT_EQ(q.kinkmarkIndices.Nrows(), 2);
    EXPECT_EQ(q.kinkmarkIndices(1, 1), kOrder[c][0]);
    EXPECT_EQ(q.kinkmarkIndices(2, 1), kOrder[c][1]);
    ASSERT_EQ(q.constraint.Nrows(), 2);
    ASSERT_EQ(q.constraint.Ncols(), 6);
    ASSERT_EQ(q.constraintCovariance.Nrows(), 2);
    ASSERT_EQ(q.constraintCovariance.Ncols(), 2);
  }
  EXPECT_EQ(qTable.GetQ(2, 7).constraint.Nrows(), 0);
  // k = 1: p = 3..9 (7 segmentations), the 8th cell stays empty.
  EXPECT_EQ(qTable.GetQ(1, 7).kinkmarkIndices(1, 1), 9.0);
  EXPECT_EQ(qTable.GetQ(1, 8).constraint.Nrows(), 0);

  // R for p = (5): R is (1, x_5, -1, -x_5).
  const Matrix& mR1 = qTable.GetQ(1, 3).constraint;
  ASSERT_EQ(mR1.Ncols(), 4);
  EXPECT_EQ(mR1(1, 1), 1.0);
  EXPECT_EQ(mR1(1, 2), 5.0);
  EXPECT_EQ(mR1(1, 3), -1.0);
  EXPECT_EQ(mR1(1, 4), -5.0);
  // R for p = (3, 7): rows (1, x3, -1, -x3, 0, 0) and (0, 0, 1, x7, -1, -x7).
  const double kR37[2][6] = {{1, 2, -1, -2, 0, 0}, {0, 0, 1, 7, -1, -7}};
  const Matrix& mR = qTable.GetQ(2, 1).constraint;
  for (int r = 1; r <= 2; ++r)
    for (int col = 1; col <= 6; ++col)
      EXPECT_EQ(mR(r, col), kR37[r - 1][col - 1]) << r << "," << col;

  // R: bd <- function(p) { f <- c(1, p + 1); l <- c(p, 12); k <- length(p)
  //   B <- matrix(0, 2*k+2, 2*k+2); R <- matrix(0, k, 2*k+2)
  //   for (s in 1:(k+1)) { B[(2*s-1):(2*s), (2*s-1):(2*s)] <-
  //       seg(f[s], l[s], y)$A
  //     if (s <= k) R[s, (2*s-1):(2*s+2)] <- c(1, x[l[s]], -1, -x[l[s]]) }
  //   R %*% B %*% t(R) }
  const struct {
    int16_t k;
    int c;
    std::vector<double> s;  // row-major
  } kCovariances[] = {
      {2,
       1,
       {2.17309417040358710, 0.21524663677130107, 0.21524663677130085,
        1.28098889365254087}},  // bd(c(3, 7))
      {2,
       6,
       {1.35567545133845568, 0.40983606557377295, 0.40983606557377383,
        4.94158841317846154}},        // bd(c(5, 9))
      {1, 3, {0.97139218852672748}},  // bd(5)
  };
  for (const auto& c : kCovariances) {
    SCOPED_TRACE("k=" + std::to_string(c.k) + " c=" + std::to_string(c.c));
    const Matrix& mS = qTable.GetQ(c.k, c.c).constraintCovariance;
    ASSERT_EQ(mS.Nrows(), c.k);
    for (int r = 1; r <= c.k; ++r)
      for (int col = 1; col <= c.k; ++col)
        EXPECT_TRUE(
            km_test::RelNear(mS(r, col), c.s[(r - 1) * c.k + col - 1], 1e-10));
  }
}

TEST_F(SegmentFitsTest, PrecomputeQIgnoresNoKinkmarksAndShortTables) {
  LoadSharedCohort();
  kmUpperTriangularMatrix table(kN, kN);
  calc_->Partitions(table);
  kmQMatrix qTable(2, 5);
  calc_->PrecomputeQ(0, table, qTable);
  EXPECT_EQ(qTable.GetQ(1, 1).constraint.Nrows(), 0);
  // Seven segmentations with one kinkmark do not fit a row of five.
  KmException e =
      km_test::CatchKmException([&] { calc_->PrecomputeQ(1, table, qTable); });
  EXPECT_STREQ(e.GetSource(), "KmVector");
  EXPECT_STREQ(e.GetCallPath(),
               "GetQ() of kmQMatrix\r\nPrecomputeQ() of kmCalculator");
}

TEST_F(SegmentFitsTest, PrecomputeQRefusesAnInadmissibleFirstSegmentation) {
  // The first segmentation was stored untested: for n = 9, a = 2 and g = 4
  // the only candidate with two kinkmarks is (3, 7), beyond the end limit
  // p_k <= n - a - 1 = 6, yet its last piece 8..9 is a valid table cell, so
  // a model breaking the end limit was kept for the search. It must be
  // refused.
  MakeCalculator(9, 2, 2);
  CalcMembers(*calc_).pDataX = std::make_unique<Matrix>(9, 2);
  CalcMembers(*calc_).pDataY = std::make_unique<Matrix>(9, 1);
  for (int i = 1; i <= 9; ++i) {
    (*CalcMembers(*calc_).pDataX)(i, 1) = 1.0;
    (*CalcMembers(*calc_).pDataX)(i, 2) = i;
    (*CalcMembers(*calc_).pDataY)(i, 1) = kY[i - 1];
    (*CalcMembers(*calc_).pWeightMatrix)(i, i) = 1.0;
  }
  kmUpperTriangularMatrix table(9, 9);
  calc_->Partitions(table);
  kmQMatrix qTable(2, 36);
  KmException e =
      km_test::CatchKmException([&] { calc_->PrecomputeQ(2, table, qTable); });
  EXPECT_STREQ(e.GetMessage(),
               "There is no admissible segmentation with 2 kinkmarks for 9 "
               "observations.");
  EXPECT_STREQ(e.GetCallPath(), "PrecomputeQ() of kmCalculator");
  EXPECT_EQ(qTable.GetQ(2, 1).constraint.Nrows(), 0);
  // One kinkmark still fits: p = 3..6.
  calc_->PrecomputeQ(1, table, qTable);
  EXPECT_EQ(qTable.GetQ(1, 4).kinkmarkIndices(1, 1), 6.0);
  EXPECT_EQ(qTable.GetQ(1, 5).constraint.Nrows(), 0);
}

}  // namespace
