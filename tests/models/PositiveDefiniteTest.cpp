// The positive-definiteness test and its generalised inverse.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "foundation/KmException.h"
#include "models/PositiveDefinite.h"
#include "tests/test_util/TestUtil.h"

namespace {

// Entries of an inverse of a well-conditioned matrix.
constexpr double kInverseTol = 1e-13;

NEWMAT::Matrix Square(int n, const std::vector<double>& rowMajor) {
  NEWMAT::Matrix m(n, n);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) m(i, j) = rowMajor[(i - 1) * n + (j - 1)];
  }
  return m;
}

void ExpectMatrixNear(const NEWMAT::Matrix& actual,
                      const NEWMAT::Matrix& expected, double tol) {
  ASSERT_EQ(actual.Nrows(), expected.Nrows());
  ASSERT_EQ(actual.Ncols(), expected.Ncols());
  for (int i = 1; i <= actual.Nrows(); ++i) {
    for (int j = 1; j <= actual.Ncols(); ++j) {
      EXPECT_NEAR(actual(i, j), expected(i, j), tol) << i << "," << j;
    }
  }
}

TEST(PositiveDefinite, InverseAgreesWithR) {
  struct Case {
    int n;
    std::vector<double> a;
    std::vector<double> inverse;
  };
  // R: A <- matrix(a, n); sprintf("%.17g", t(solve(A)))
  const Case kCases[] = {
      {3,
       {4, 2, 0.6, 2, 5, 1.5, 0.6, 1.5, 3},
       {0.3125, -0.125, 0, -0.125, 0.28529411764705881, -0.11764705882352938, 0,
        -0.1176470588235294, 0.39215686274509798}},
      {4,
       {2, 1, 1, 1, 1, 3, 1, 1, 1, 1, 4, 1, 1, 1, 1, 5},
       {0.67567567567567566, -0.16216216216216212, -0.10810810810810809,
        -0.081081081081081072, -0.16216216216216217, 0.41891891891891886,
        -0.054054054054054043, -0.040540540540540536, -0.10810810810810811,
        -0.054054054054054057, 0.29729729729729726, -0.027027027027027029,
        -0.081081081081081072, -0.040540540540540536, -0.027027027027027025,
        0.22972972972972971}},
      {1, {8}, {0.125}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.n);
    NEWMAT::Matrix inverse;
    int16_t rank = -1;
    EXPECT_TRUE(isPositiveDefinite(Square(c.n, c.a), inverse, rank));
    EXPECT_EQ(rank, c.n);
    ExpectMatrixNear(inverse, Square(c.n, c.inverse), kInverseTol);
  }
}

TEST(PositiveDefinite, ReadsOnlyTheUpperTriangle) {
  // The 3 x 3 case above with rubbish below the diagonal.
  const NEWMAT::Matrix a = Square(3, {4, 2, 0.6, -99, 5, 1.5, 1e6, 7, 3});
  NEWMAT::Matrix inverse;
  int16_t rank = 0;
  EXPECT_TRUE(check_PositiveDefinite(3, a, inverse, rank));
  EXPECT_EQ(rank, 3);
  EXPECT_NEAR(inverse(1, 1), 0.3125, kInverseTol);
  EXPECT_NEAR(inverse(3, 2), -0.1176470588235294, kInverseTol);
  EXPECT_EQ(inverse(3, 2), inverse(2, 3));
}

TEST(PositiveDefinite, SingularCrossProductGetsAGeneralisedInverse) {
  // X = cbind(1, x, x), x = (1, 2, 4, 7, 8): X'X has two equal columns.
  // The third pivot is 134 - 4.4^2 * 5 - 1^2 * 37.2 = 0 (to rounding) and is
  // dropped; the kept block [[5, 22], [22, 134]] has determinant 186, so
  // the inverse is [[134, -22], [-22, 5]] / 186 bordered by zeros.
  const NEWMAT::Matrix a = Square(3, {5, 22, 22, 22, 134, 134, 22, 134, 134});
  NEWMAT::Matrix inverse;
  int16_t rank = 0;
  EXPECT_TRUE(isPositiveDefinite(a, inverse, rank));
  EXPECT_EQ(rank, 2);
  const NEWMAT::Matrix expected = Square(
      3, {134.0 / 186, -22.0 / 186, 0, -22.0 / 186, 5.0 / 186, 0, 0, 0, 0});
  ExpectMatrixNear(inverse, expected, kInverseTol);
  // A G A = A: it is a generalised inverse.
  const NEWMAT::Matrix aga = a * inverse * a;
  ExpectMatrixNear(aga, a, 1e-10);
}

TEST(PositiveDefinite, SymmetricMatrixArgumentIsAccepted) {
  NEWMAT::SymmetricMatrix s(2);
  s(1, 1) = 2;
  s(1, 2) = 1;
  s(2, 2) = 2;
  NEWMAT::Matrix inverse;
  int16_t rank = 0;
  EXPECT_TRUE(isPositiveDefinite(s, inverse, rank));
  EXPECT_EQ(rank, 2);
  ExpectMatrixNear(inverse, Square(2, {2.0 / 3, -1.0 / 3, -1.0 / 3, 2.0 / 3}),
                   kInverseTol);
}

TEST(PositiveDefinite, NegativePivotFailsAndStillWritesTheOutput) {
  NEWMAT::Matrix inverse = Square(1, {123});
  int16_t rank = -1;
  EXPECT_FALSE(isPositiveDefinite(Square(2, {1, 0, 0, -1}), inverse, rank));
  EXPECT_EQ(rank, 1);
  ASSERT_EQ(inverse.Nrows(), 2);
  ASSERT_EQ(inverse.Ncols(), 2);
  // The partial factor: 1/d of the first pivot, nothing for the second.
  EXPECT_EQ(inverse(1, 1), 1.0);
  EXPECT_EQ(inverse(2, 2), 0.0);
}

TEST(PositiveDefinite, ZeroDiagonalDropsThePivot) {
  struct Case {
    const char* what;
    int n;
    std::vector<double> a;
    int16_t rank;
  };
  const Case kCases[] = {
      // Both diagonal entries are 0: both pivots dropped, the off-diagonal
      // entries never looked at.
      {"swap matrix", 2, {0, 1, 1, 0}, 0},
      {"zero diagonal with a non-zero row", 3, {2, 1, 0, 1, 0, 1, 0, 1, 3}, 2},
      {"zero matrix", 2, {0, 0, 0, 0}, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    NEWMAT::Matrix inverse;
    int16_t rank = -1;
    EXPECT_TRUE(isPositiveDefinite(Square(c.n, c.a), inverse, rank));
    EXPECT_EQ(rank, c.rank);
  }
  NEWMAT::Matrix inverse;
  int16_t rank = -1;
  ASSERT_TRUE(isPositiveDefinite(Square(2, {0, 1, 1, 0}), inverse, rank));
  ExpectMatrixNear(inverse, Square(2, {0, 0, 0, 0}), 0.0);
}

TEST(PositiveDefinite, ToleranceIsRelativeToTheOwnDiagonal) {
  // A tiny but well-separated pivot is kept: 1e-12 against its own
  // diagonal 1e-12, however large the other diagonal entries are.
  NEWMAT::Matrix inverse;
  int16_t rank = 0;
  EXPECT_TRUE(
      isPositiveDefinite(Square(2, {1e12, 0, 0, 1e-12}), inverse, rank));
  EXPECT_EQ(rank, 2);
  EXPECT_TRUE(km_test::RelNear(inverse(2, 2), 1e12, 1e-15));
  // A pivot below 1e-8 of its own diagonal is dropped.
  EXPECT_TRUE(
      isPositiveDefinite(Square(2, {1, 1, 1, 1 + 1e-9}), inverse, rank));
  EXPECT_EQ(rank, 1);
}

TEST(PositiveDefinite, EmptyMatrixPassesWithRankZero) {
  NEWMAT::Matrix inverse = Square(1, {1});
  int16_t rank = 5;
  EXPECT_TRUE(isPositiveDefinite(NEWMAT::Matrix(), inverse, rank));
  EXPECT_EQ(rank, 0);
  EXPECT_EQ(inverse.Nrows(), 0);
}

TEST(PositiveDefinite, OrderBeyondSixteenBitsIsRefused) {
  // The order is a 16-bit count: 32768 rows would wrap to a negative order
  // and test nothing. The test refuses such a matrix instead.
  NEWMAT::Matrix tall(32768, 1);
  tall = 1.0;
  NEWMAT::Matrix inverse;
  int16_t rank = 0;
  EXPECT_THROW(isPositiveDefinite(tall, inverse, rank), KmException);
  EXPECT_THROW(check_PositiveDefinite(-1, tall, inverse, rank), KmException);
}

TEST(PositiveDefinite, OrderLargerThanTheMatrixRaisesTheIndexError) {
  NEWMAT::Matrix inverse;
  int16_t rank = 0;
  EXPECT_THROW(
      check_PositiveDefinite(3, Square(2, {1, 0, 0, 1}), inverse, rank),
      NEWMAT::Logic_error);
}

TEST(PositiveDefinite, OrderLargerThanTheMatrixFailsWhateverItsPivots) {
  // A negative or dropped first pivot must not hide the missing rows, and
  // the inverse is left as it was.
  for (const std::vector<double>& a :
       {std::vector<double>{-1, 0, 0, 1}, std::vector<double>{0, 0, 0, 1}}) {
    NEWMAT::Matrix inverse(3, 3);
    inverse = 7.0;
    int16_t rank = 0;
    EXPECT_THROW(check_PositiveDefinite(3, Square(2, a), inverse, rank),
                 NEWMAT::Logic_error);
    EXPECT_EQ(inverse(3, 3), 7.0);
  }
}

}  // namespace
