// Tests of the weighting matrices of independent and AR(1) errors.
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <vector>

#include "models/ForAllKinkMKAction.h"
#include "models/WeightMatrices.h"
#include "tests/models/DesignTestHelpers.h"
#include "tests/test_util/TestUtil.h"

namespace {

using km_test::IntArrays;
using km_test::Rows;
using km_test::Vec;
using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using Table = std::vector<std::vector<double>>;

// Entries that are 0 by construction are compared absolutely; R's own
// inverse leaves ~1e-17 there.
void ExpectMatrixNear(const Matrix& actual, const Table& expected, double tol) {
  ASSERT_EQ(actual.Nrows(), static_cast<int>(expected.size()));
  for (int i = 1; i <= actual.Nrows(); ++i) {
    const std::vector<double>& row = expected[static_cast<size_t>(i - 1)];
    ASSERT_EQ(actual.Ncols(), static_cast<int>(row.size()));
    for (int j = 1; j <= actual.Ncols(); ++j) {
      SCOPED_TRACE(testing::Message() << "(" << i << "," << j << ")");
      EXPECT_NEAR(
          actual(i, j), row[static_cast<size_t>(j - 1)],
          tol * std::max(1.0, std::fabs(row[static_cast<size_t>(j - 1)])));
    }
  }
}

Table Identity(int n) {
  Table t(static_cast<size_t>(n), std::vector<double>(static_cast<size_t>(n)));
  for (int i = 0; i < n; ++i)
    t[static_cast<size_t>(i)][static_cast<size_t>(i)] = 1.0;
  return t;
}

TEST(WeightMatrices, AutocorrelatedErrorsMatchTheInverseAndCholeskyFactor) {
  // R:
  //   v <- c(1, 2, 0.5, 1.5); r <- 0.3; s <- sqrt(v); n <- 4
  //   V <- outer(1:n, 1:n, function(i, j) r^abs(i - j) * s[i] * s[j])
  //   Omega <- solve(V); P1 <- chol(Omega); P2 <- solve(P1)
  // chol() gives the unique upper-triangular factor with a positive
  // diagonal, so it must be the upper-bidiagonal P1.
  const Table V = {
      {1.0, 0.42426406871192851, 0.063639610306789274, 0.033068111527572899},
      {0.42426406871192851, 2.0, 0.3, 0.15588457268119893},
      {0.063639610306789274, 0.3, 0.5, 0.259807621135331568},
      {0.033068111527572899, 0.15588457268119893, 0.259807621135331568, 1.5}};
  const Table omega = {
      {1.0989010989010990, -0.23311212566589473, 0, 0},
      {-0.23311212566589473, 0.59890109890109866, -0.32967032967032955, 0},
      {0, -0.32967032967032950, 2.39560439560439509, -0.38067050715799494},
      {0, 0, -0.38067050715799494, 0.73260073260073277}};
  const Table P1 = {{1.0482848367219184, -0.22237479499833027, 0, 0},
                    {0, 0.74124931666110105, -0.44474958999666064, 0},
                    {0, 0, 1.48249863332220233, -0.25677629550654774},
                    {0, 0, 0, 0.81649658092772615}};
  const Table P2 = {
      {0.95393920141694555, 0.28618176042508359, 0.085854528127525087,
       0.026999999999999993},
      {0, 1.34907375632320448, 0.404722126896961298, 0.127279220613578548},
      {0, 0, 0.674536878161602127, 0.212132034355964227},
      {0, 0, 0, 1.224744871391588941}};
  const ColumnVector v = Vec({1, 2, 0.5, 1.5});
  for (int errorType : {1, 2}) {
    SCOPED_TRACE(errorType);
    Matrix mOmega, mV, mP1, mP2;
    calc_WeightMatrices_ByErrorType(mOmega, mV, mP1, mP2, v, 0.3, errorType);
    ExpectMatrixNear(mV, V, 1e-14);
    ExpectMatrixNear(mOmega, omega, 1e-14);
    ExpectMatrixNear(mP1, P1, 1e-14);
    ExpectMatrixNear(mP2, P2, 1e-14);
    ExpectMatrixNear(mOmega * mV, Identity(4), 1e-14);
  }
}

TEST(WeightMatrices, IndependentErrorsAreDiagonal) {
  Matrix omega, V, P1, P2;
  calc_WeightMatrices_ByErrorType(omega, V, P1, P2, Vec({4, 0.25}), 0.7, 0);
  EXPECT_EQ(Rows(omega), (Table{{0.25, 0}, {0, 4}}));
  EXPECT_EQ(Rows(V), (Table{{4, 0}, {0, 0.25}}));
  EXPECT_EQ(Rows(P1), (Table{{0.5, 0}, {0, 2}}));
  EXPECT_EQ(Rows(P2), (Table{{2, 0}, {0, 0.5}}));
}

TEST(WeightMatrices, AutocorrelationZeroGivesTheIndependentMatrices) {
  const ColumnVector v = Vec({1.3, 0.7, 2.9});
  Matrix o0, v0, a0, b0;
  calc_WeightMatrices_ByErrorType(o0, v0, a0, b0, v, 0.0, 0);
  Matrix o1, v1, a1, b1;
  calc_WeightMatrices_ByErrorType(o1, v1, a1, b1, v, 0.0, 1);
  // Equal up to the rounding of sqrt(v)^2 against v.
  ExpectMatrixNear(o1, Rows(o0), 1e-15);
  ExpectMatrixNear(v1, Rows(v0), 1e-15);
  ExpectMatrixNear(a1, Rows(a0), 1e-15);
  ExpectMatrixNear(b1, Rows(b0), 1e-15);
}

TEST(WeightMatrices, TwoObservationsUseTheFirstAndLastRowRules) {
  // v = (1, 4), r = 0.5: a = 0.75, b = sqrt(0.75), s = (1, 2).
  Matrix omega, V, P1, P2;
  calc_WeightMatrices_ByErrorType(omega, V, P1, P2, Vec({1, 4}), 0.5, 1);
  const double b = std::sqrt(0.75);
  ExpectMatrixNear(
      omega,
      {{1 / 0.75, -0.5 / (2 * 0.75)}, {-0.5 / (2 * 0.75), 1 / (4 * 0.75)}},
      1e-15);
  ExpectMatrixNear(V, {{1, 1}, {1, 4}}, 1e-15);
  ExpectMatrixNear(P1, {{1 / b, -0.5 / (2 * b)}, {0, 0.5}}, 1e-15);
  ExpectMatrixNear(P2, {{b, 0.5}, {0, 2}}, 1e-15);
  ExpectMatrixNear(P1.t() * P1, Rows(omega), 1e-14);
}

TEST(WeightMatrices, UnknownErrorTypeLeavesTheMatricesAsTheyCame) {
  Matrix omega(1, 2), V(2, 1), P1(3, 3), P2;
  omega = 7.0;
  V = 8.0;
  P1 = 9.0;
  for (int errorType : {3, -1}) {
    calc_WeightMatrices_ByErrorType(omega, V, P1, P2, Vec({1, 2, 3}), 0.2,
                                    errorType);
    EXPECT_EQ(Rows(omega), (Table{{7, 7}}));
    EXPECT_EQ(Rows(V), (Table{{8}, {8}}));
    EXPECT_EQ(Rows(P1), (Table(3, {9, 9, 9})));
    EXPECT_EQ(P2.Nrows(), 0);
  }
}

TEST(WeightMatrices, OneObservationCannotCarryAnAutocorrelation) {
  Matrix omega, V, P1, P2;
  EXPECT_THROW(
      calc_WeightMatrices_ByErrorType(omega, V, P1, P2, Vec({2}), 0.3, 1),
      NEWMAT::BaseException);
}

TEST(WeightMatrices, EngineCopyGivesIdenticalMatricesInItsOrder) {
  const ColumnVector v = Vec({1, 2, 0.5, 1.5});
  for (int errorType : {0, 1}) {
    SCOPED_TRACE(errorType);
    Matrix omega, V, P1, P2;
    calc_WeightMatrices_ByErrorType(omega, V, P1, P2, v, 0.3, errorType);
    Matrix eP1, eP2, eOmega, eV;
    ForAllKinkMKAction::calc_WeightMatrices(eP1, eP2, eOmega, eV, v, 0.3,
                                            errorType);
    EXPECT_EQ(Rows(eOmega), Rows(omega));
    EXPECT_EQ(Rows(eV), Rows(V));
    EXPECT_EQ(Rows(eP1), Rows(P1));
    EXPECT_EQ(Rows(eP2), Rows(P2));
  }
}

TEST(WeightMatrices, TableEntryReadsTheVariancesFromTheDiagonal) {
  NEWMAT::SymmetricMatrix covariance(3);
  covariance = 0.4;  // off-diagonal entries are not read
  covariance(1, 1) = 1.0;
  covariance(2, 2) = 2.0;
  covariance(3, 3) = 3.0;
  Matrix omega, V, P1, P2;
  calc_WeightMatrices_ForTable(omega, V, P1, P2, covariance, 0.2, 2);
  Matrix eOmega, eV, eP1, eP2;
  calc_WeightMatrices_ByErrorType(eOmega, eV, eP1, eP2, Vec({1, 2, 3}), 0.2, 2);
  EXPECT_EQ(Rows(omega), Rows(eOmega));
  EXPECT_EQ(Rows(V), Rows(eV));
  EXPECT_EQ(Rows(P1), Rows(eP1));
  EXPECT_EQ(Rows(P2), Rows(eP2));
}

TEST(GroupWeightMatrices, BuildsTheWholeThenEachGroupWithItsOwnR) {
  const ColumnVector variances = Vec({1, 2, 3, 4, 5});
  // Group 1 = rows 4 and 2, group 2 = rows 1, 5 and 3.
  const auto groups = IntArrays({{4, 2}, {1, 5, 3}});
  OneDimensionArray<Matrix> omega, V, P1, P2;
  build_GroupWeightMatrices(omega, V, P1, P2, groups, variances,
                            Vec({0.1, 0.2, 0.3}), 1);
  ASSERT_EQ(omega.GetSize(), 3);
  const struct {
    int entry;
    std::vector<double> v;
    double r;
  } expected[] = {
      {0, {4, 2, 1, 5, 3}, 0.1}, {1, {4, 2}, 0.2}, {2, {1, 5, 3}, 0.3}};
  for (const auto& e : expected) {
    SCOPED_TRACE(e.entry);
    Matrix o, vv, a, b;
    calc_WeightMatrices_ByErrorType(o, vv, a, b, Vec(e.v), e.r, 1);
    EXPECT_EQ(Rows(omega[e.entry]), Rows(o));
    EXPECT_EQ(Rows(V[e.entry]), Rows(vv));
    EXPECT_EQ(Rows(P1[e.entry]), Rows(a));
    EXPECT_EQ(Rows(P2[e.entry]), Rows(b));
  }
}

TEST(GroupWeightMatrices, OneGroupGivesTwoEntriesWithTheirOwnR) {
  OneDimensionArray<Matrix> omega, V, P1, P2;
  build_GroupWeightMatrices(omega, V, P1, P2, IntArrays({{1, 2}}), Vec({1, 2}),
                            Vec({0.0, 0.5}), 2);
  ASSERT_EQ(V.GetSize(), 2);
  EXPECT_EQ(V[0](1, 2), 0.0);
  EXPECT_DOUBLE_EQ(V[1](1, 2), 0.5 * std::sqrt(2.0));
}

TEST(GroupWeightMatrices, RowOutsideTheVariancesIsAnIndexError) {
  OneDimensionArray<Matrix> omega, V, P1, P2;
  EXPECT_THROW(build_GroupWeightMatrices(omega, V, P1, P2, IntArrays({{1, 3}}),
                                         Vec({1, 2}), Vec({0, 0}), 0),
               NEWMAT::BaseException);
}

}  // namespace
