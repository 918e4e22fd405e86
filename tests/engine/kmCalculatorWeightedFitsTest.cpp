// Cross products, the generalised inverse and the weighted least-squares
// fits of kmCalculator, checked against R.
//
// Shared data set (n = 8), design X = [1, x, (x - 4)+]:
//   x <- 1:8; y <- c(2.1, 3.9, 6.2, 7.8, 9.1, 9.5, 10.2, 10.4)
//   v <- c(1, 2, 1.5, 0.5, 1, 3, 2, 1); h <- pmax(x - 4, 0)
//   X <- cbind(1, x, h)
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <memory>
#include <string>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/engine/kmCalculatorTestPeer.h"
#include "tests/test_util/CatchKmException.h"
#include "tests/test_util/TestUtil.h"

using NEWMAT::ColumnVector;
using NEWMAT::IdentityMatrix;
using NEWMAT::Matrix;
using NEWMAT::SymmetricMatrix;

namespace {

constexpr int kN = 8;
constexpr double kX[kN] = {1, 2, 3, 4, 5, 6, 7, 8};
constexpr double kY[kN] = {2.1, 3.9, 6.2, 7.8, 9.1, 9.5, 10.2, 10.4};
constexpr double kV[kN] = {1, 2, 1.5, 0.5, 1, 3, 2, 1};
// Element-wise agreement of products of well-scaled numbers.
constexpr double kAbsTol = 1e-12;

Matrix FromRows(int iRows, int iCols, std::initializer_list<double> values) {
  Matrix m(iRows, iCols);
  m << values.begin();
  return m;
}

SymmetricMatrix SymFromRows(int p, std::initializer_list<double> values) {
  SymmetricMatrix s;
  s << FromRows(p, p, values);
  return s;
}

void ExpectMatrixNear(const Matrix& mActual, const Matrix& mExpected,
                      double dTol) {
  ASSERT_EQ(mActual.Nrows(), mExpected.Nrows());
  ASSERT_EQ(mActual.Ncols(), mExpected.Ncols());
  for (int i = 1; i <= mActual.Nrows(); ++i) {
    for (int j = 1; j <= mActual.Ncols(); ++j) {
      EXPECT_NEAR(mActual(i, j), mExpected(i, j), dTol)
          << "at (" << i << "," << j << ")";
    }
  }
}

// A calculator holding the shared data set, its design in pX0 and the
// given error model.
class WeightedFitsTest : public ::testing::Test {
 protected:
  void MakeCalculator(int iAutocorrMode) {
    km_engine_test::LoadedCalculator lc(
        km_engine_test::Observations(std::vector<double>(kX, kX + kN),
                                     std::vector<double>(kY, kY + kN),
                                     std::vector<double>(kV, kV + kN)),
        [=](kmSession& s) { s.SetInt(kmOptAutocorrErrors, iAutocorrMode); });
    session_ = std::move(lc.session);
    calc_ = std::move(lc.calc);
    design_.ReSize(kN, 3);
    for (int i = 1; i <= kN; ++i) {
      design_(i, 1) = 1.0;
      design_(i, 2) = kX[i - 1];
      design_(i, 3) = std::max(kX[i - 1] - 4.0, 0.0);
    }
    *CalcMembers(*calc_).pX0 = design_;
    ones_.ReSize(kN);
    ones_ = 1.0;
  }

  // Weights the calculator as the drivers do: V, A and B from WLSWgt, A
  // kept as the weight root.
  void Weight(double dPhi) {
    Matrix mB;
    calc_->WLSWgt(dPhi, CalcMembers(*calc_).mWorkA, mB);
  }

  std::unique_ptr<kmSession> session_;
  std::unique_ptr<kmCalculator> calc_;
  Matrix design_;
  ColumnVector ones_;
};

// Expected fits of the shared data set.
struct FitCase {
  const char* sName;
  int iMode;
  double dPhi;
  double dBeta[3];
  double dSse;
};
// R: f <- lm(y ~ x + h, weights = v); coef(f); sum(v * resid(f)^2)
// R (AR(1), phi = 0.5, through the weight root A of WLSWgt):
//   d <- sqrt(1 - phi^2); A[i,i] <- sqrt(v[i]) / d; A[i,i+1] <-
//   -phi * sqrt(v[i+1]) / d; A[n,n] <- sqrt(v[n])
//   g <- lm(A %*% y ~ A %*% X - 1); coef(g); sum(resid(g)^2)
// (the same coefficients as solve(t(X) Si X, t(X) Si y) with
//  Si = solve(diag(1/sqrt(v)) %*% phi^abs(outer(1:n,1:n,"-")) %*%
//  diag(1/sqrt(v))), to 1e-13)
const FitCase kFitCases[] = {
    {"weighted",
     0,
     0.0,
     {-0.17555785429289925, 2.10917688783803925, -1.50363528890202702},
     0.34514555933204877},
    {"ar1 given",
     2,
     0.5,
     {-0.10873046617644185, 2.10033376401952321, -1.51129252737652142},
     0.75874680241909376},
    {"ar1 estimated mode",
     1,
     0.5,
     {-0.10873046617644185, 2.10033376401952321, -1.51129252737652142},
     0.75874680241909376},
};

TEST_F(WeightedFitsTest, CrossProductSolveMatchesR) {
  for (const FitCase& c : kFitCases) {
    SCOPED_TRACE(c.sName);
    MakeCalculator(c.iMode);
    Weight(c.dPhi);
    calc_->PreCalcXWX();
    Matrix mXWY;
    ColumnVector vYWY(1);
    calc_->PreCalcXWY(1, ones_, mXWY, vYWY);

    Matrix mInv;
    ColumnVector vBeta, vSse(1);
    uint16_t iRank = 0;
    kmCalculator::WLS(1, mXWY, Matrix(*CalcMembers(*calc_).pXWX), mInv, vYWY,
                      vBeta, vSse, iRank);
    EXPECT_EQ(iRank, 3);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_TRUE(km_test::RelNear(vBeta(j), c.dBeta[j - 1], 1e-10)) << j;
    }
    EXPECT_TRUE(km_test::RelNear(vSse(1), c.dSse, 1e-9));
    // The inverse really inverts the cross products.
    ExpectMatrixNear(mInv * Matrix(*CalcMembers(*calc_).pXWX),
                     IdentityMatrix(3), 1e-10);
  }
}

TEST_F(WeightedFitsTest, ResidualSolveMatchesR) {
  for (const FitCase& c : kFitCases) {
    SCOPED_TRACE(c.sName);
    MakeCalculator(c.iMode);
    Weight(c.dPhi);
    Matrix mXtTX, mXtTy, mInv;
    ColumnVector vytTy(1), vBeta, vSse(1);
    calc_->WLSXPr(ones_, design_, mXtTX, mXtTy, vytTy);
    uint16_t iRank = 0;
    calc_->WLSNew(mXtTy, mXtTX, mInv, vBeta, vSse, iRank, ones_, design_);
    EXPECT_EQ(iRank, 3);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_TRUE(km_test::RelNear(vBeta(j), c.dBeta[j - 1], 1e-10)) << j;
    }
    EXPECT_TRUE(km_test::RelNear(vSse(1), c.dSse, 1e-10));
    // The cross products give the same SSE without residuals.
    ColumnVector vSse2(1);
    kmCalculator::WLS(1, mXtTy, mXtTX, mInv, vytTy, vBeta, vSse2, iRank);
    EXPECT_TRUE(km_test::RelNear(vSse2(1), c.dSse, 1e-9));
  }
}

TEST_F(WeightedFitsTest, DiagonalModeIgnoresOffDiagonalWeights) {
  MakeCalculator(0);
  Weight(0.0);
  (*CalcMembers(*calc_).pWeightMatrix)(1, 2) = 5.0;
  (*CalcMembers(*calc_).pWeightMatrix)(7, 3) = -2.0;
  calc_->PreCalcXWX();
  Matrix mXWY;
  ColumnVector vYWY(1);
  calc_->PreCalcXWY(1, ones_, mXWY, vYWY);
  // R: t(X) %*% diag(v) %*% X; t(X) %*% diag(v) %*% y; sum(v * y^2)
  ExpectMatrixNear(
      Matrix(*CalcMembers(*calc_).pXWX),
      FromRows(3, 3, {12.0, 56.5, 17.0, 56.5, 325.5, 115.0, 17.0, 115.0, 47.0}),
      kAbsTol);
  ExpectMatrixNear(mXWY, FromRows(3, 1, {91.5, 503.7, 168.9}), 1e-11);
  EXPECT_TRUE(km_test::RelNear(vYWY(1), 792.71, km_test::kTightRelTol));

  // The full-matrix modes do see them.
  MakeCalculator(2);
  Weight(0.0);
  (*CalcMembers(*calc_).pWeightMatrix)(1, 2) = 5.0;
  calc_->PreCalcXWX();
  EXPECT_NEAR((*CalcMembers(*calc_).pXWX)(1, 1), 17.0, kAbsTol);
}

TEST_F(WeightedFitsTest, PreCalcXWYTakesThePermutedColumns) {
  MakeCalculator(0);
  Weight(0.0);
  CalcMembers(*calc_).pDataY->ReSize(kN, 2);
  for (int i = 1; i <= kN; ++i) {
    (*CalcMembers(*calc_).pDataY)(i, 1) = kY[i - 1];
    (*CalcMembers(*calc_).pDataY)(i, 2) = kY[kN - i];
  }
  Matrix mXWY;
  ColumnVector vYWY(2);
  calc_->PreCalcXWY(2, ones_, mXWY, vYWY);
  // R: y2 <- rev(y); t(X) %*% diag(v) %*% cbind(y, y2);
  //    c(sum(v*y^2), sum(v*y2^2))
  ExpectMatrixNear(
      mXWY, FromRows(3, 2, {91.5, 85.9, 503.7, 334.15, 168.9, 76.8}), 1e-11);
  EXPECT_TRUE(km_test::RelNear(vYWY(2), 704.01, km_test::kTightRelTol));

  // More data sets than response columns is a clear error.
  ColumnVector vYWY3(3);
  const KmException e = km_test::CatchKmException(
      [&] { calc_->PreCalcXWY(3, ones_, mXWY, vYWY3); });
  EXPECT_STREQ(e.GetSource(), "kmCalculator::PreCalcXWY()");
  EXPECT_NE(std::string(e.GetCallPath()).find("PreCalcXWY() of kmCalculator"),
            std::string::npos);
}

TEST_F(WeightedFitsTest, WeightRootsInvertAndSquareToV) {
  struct Case {
    int iMode;
    double dPhi;
  };
  const Case kCases[] = {{0, 0.0}, {1, 0.0}, {2, 0.4}, {2, -0.7}, {1, 0.95}};
  for (const Case& c : kCases) {
    SCOPED_TRACE("mode " + std::to_string(c.iMode) + " phi " +
                 std::to_string(c.dPhi));
    MakeCalculator(c.iMode);
    Matrix mA, mB;
    calc_->WLSWgt(c.dPhi, mA, mB);
    ExpectMatrixNear(mA * mB, IdentityMatrix(kN), 1e-12);
    ExpectMatrixNear(mB * mA, IdentityMatrix(kN), 1e-12);
    // V = diag(sqrt(v)) R^-1 diag(sqrt(v)) with R(i,j) = phi^|i-j|, the
    // inverse correlation of a first-order autoregressive process.
    Matrix mR(kN, kN);
    NEWMAT::DiagonalMatrix mRoot(kN);
    for (int i = 1; i <= kN; ++i) {
      mRoot(i) = std::sqrt(kV[i - 1]);
      for (int j = 1; j <= kN; ++j)
        mR(i, j) = std::pow(c.dPhi, std::abs(i - j));
    }
    const Matrix mExpected = mRoot * mR.i() * mRoot;
    ExpectMatrixNear(*CalcMembers(*calc_).pWeightMatrix, mExpected, 1e-9);
  }
}

TEST_F(WeightedFitsTest, UserMatrixModeCopiesTheBorrowedMatrix) {
  // Pointing the owned weight matrix at the record's borrowed matrix would
  // make the calculator free memory it does not own (and leak its own);
  // the calculator keeps a copy instead, and refuses the mode without one.
  MakeCalculator(3);
  Matrix mA, mB;
  const KmException e =
      km_test::CatchKmException([&] { calc_->WLSWgt(0.0, mA, mB); });
  EXPECT_NE(std::string(e.GetCallPath()).find("WLSWgt() of kmCalc"),
            std::string::npos);
  Matrix mUser(kN, kN);
  mUser = 0.5;
  for (int i = 1; i <= kN; ++i) mUser(i, i) = 4.0 * i;
  CalcMembers(*calc_).pVarCovMatrix = &mUser;
  calc_->WLSWgt(0.0, mA, mB);
  CalcMembers(*calc_).pVarCovMatrix =
      nullptr;  // borrowed: the calculator keeps a copy
  // The permutation tests whiten by the matrix's own upper triangular
  // root: A'A = V, A B = I.
  EXPECT_EQ(mA(2, 1), 0.0);
  ExpectMatrixNear(Matrix(mA.t() * mA), mUser, 1e-12);
  Matrix mIdentity(kN, kN);
  mIdentity = 0.0;
  for (int i = 1; i <= kN; ++i) mIdentity(i, i) = 1.0;
  ExpectMatrixNear(Matrix(mA * mB), mIdentity, 1e-12);
  ExpectMatrixNear(*CalcMembers(*calc_).pWeightMatrix, mUser, 0.0);
}

TEST_F(WeightedFitsTest, RefusesAutocorrelationOutsideTheUnitInterval) {
  // |phi| >= 1 has no AR(1) root: the square root of 1 - phi^2 would fill
  // the weights with NaN or infinity and every fit would be garbage.
  for (double dPhi : {1.0, -1.0, 1.5}) {
    SCOPED_TRACE(dPhi);
    MakeCalculator(2);
    Matrix mA, mB;
    EXPECT_THROW(calc_->WLSWgt(dPhi, mA, mB), KmException);
  }
  MakeCalculator(0);  // phi is not used without autocorrelation
  Matrix mA, mB;
  EXPECT_NO_THROW(calc_->WLSWgt(1.0, mA, mB));
}

TEST(KmCalculatorInvert, MatchesRAndDropsAliasedColumns) {
  struct Case {
    const char* sName;
    int p;
    SymmetricMatrix mA;
    bool bOk;
    int16_t iRank;
    Matrix mExpected;
  };
  const Case kCases[] = {
      {"zero pivot dropped", 3, SymFromRows(3, {4, 0, 0, 0, 0, 0, 0, 0, 9}),
       true, 2, FromRows(3, 3, {0.25, 0, 0, 0, 0, 0, 0, 0, 1.0 / 9.0})},
      // R: S <- matrix(c(4,2,0.6,1, 2,5,1.5,0.4, 0.6,1.5,3,0.2,
      //                  1,0.4,0.2,2), 4, 4); solve(S)
      {"positive definite", 4,
       SymFromRows(
           4, {4, 2, 0.6, 1, 2, 5, 1.5, 0.4, 0.6, 1.5, 3, 0.2, 1, 0.4, 0.2, 2}),
       true, 4,
       FromRows(4, 4,
                {0.3519880442049789226, -0.1301765839461989094,
                 0.0047193927714634055, -0.1504306445903960399,
                 -0.1301765839461989094, 0.2859727286517705913,
                 -0.1182657355229817381, 0.0197203197950435102,
                 0.0047193927714634099, -0.1182657355229817520,
                 0.3927208984824904769, -0.0179786391293843967,
                 -0.1504306445903960121, 0.0197203197950435068,
                 -0.0179786391293843967, 0.5730691222491276493})},
      // Column 3 repeats column 2. R: D <- matrix(c(4,2,2,1, 2,3,3,0.5,
      //   2,3,3,0.5, 1,0.5,0.5,2), 4, 4); solve(D[c(1,2,4), c(1,2,4)])
      {"duplicate column", 4,
       SymFromRows(4, {4, 2, 2, 1, 2, 3, 3, 0.5, 2, 3, 3, 0.5, 1, 0.5, 0.5, 2}),
       true, 3,
       FromRows(
           4, 4,
           {0.41071428571428570, -0.25, 0, -0.14285714285714285, -0.25, 0.5, 0,
            0, 0, 0, 0, 0, -0.14285714285714285, 0, 0, 0.57142857142857140})},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    SymmetricMatrix mInv;
    int16_t iRank = -1;
    EXPECT_EQ(kmCalculator::Invert(c.p, c.mA, mInv, iRank), c.bOk);
    EXPECT_EQ(iRank, c.iRank);
    ExpectMatrixNear(Matrix(mInv), c.mExpected, 1e-14);
  }
}

TEST(KmCalculatorInvert, NegativePivotFails) {
  SymmetricMatrix mInv;
  int16_t iRank = -1;
  // The second pivot is 1 - 2 * 2 = -3.
  EXPECT_FALSE(
      kmCalculator::Invert(2, SymFromRows(2, {1, 2, 2, 1}), mInv, iRank));
  EXPECT_EQ(iRank, 1);

  // WLS reports the failure as rank 0 and does not raise.
  Matrix mInvOut;
  ColumnVector vBeta, vSse(1), vYtY(1);
  vYtY = 1.0;
  uint16_t iSolveRank = 9;
  kmCalculator::WLS(1, FromRows(2, 1, {1, 1}), FromRows(2, 2, {1, 2, 2, 1}),
                    mInvOut, vYtY, vBeta, vSse, iSolveRank);
  EXPECT_EQ(iSolveRank, 0);

  EXPECT_THROW(
      kmCalculator::Invert(3, SymFromRows(2, {1, 0, 0, 1}), mInv, iRank),
      KmException);
}

TEST(KmCalculatorWLS, ClearsOnlyTinyNegativeFirstSse) {
  struct Case {
    double dYtY1;
    double dYtY2;
    double dSse1;
    double dSse2;
  };
  // One regressor with X'X = 1 and X'Y = 1, so SSE(c) = Y'Y(c) - 1.
  const Case kCases[] = {
      {1.0 - 5e-7, 1.0 - 5e-7, 0.0, -5e-7},
      {1.0 - 2e-6, 3.0, -2e-6, 2.0},
      {1.5, 1.0 - 5e-7, 0.5, -5e-7},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.dYtY1);
    ColumnVector vYtY(2);
    vYtY(1) = c.dYtY1;
    vYtY(2) = c.dYtY2;
    Matrix mInv;
    ColumnVector vBeta, vSse;
    uint16_t iRank = 0;
    kmCalculator::WLS(2, FromRows(1, 2, {1, 1}), FromRows(1, 1, {1}), mInv,
                      vYtY, vBeta, vSse, iRank);
    ASSERT_EQ(vSse.Nrows(), 2);
    EXPECT_NEAR(vSse(1), c.dSse1, 1e-15);
    EXPECT_NEAR(vSse(2), c.dSse2, 1e-15);
    EXPECT_EQ(iRank, 1);
  }
}

TEST_F(WeightedFitsTest, AutocorrelationParameterByMode) {
  MakeCalculator(0);
  EXPECT_EQ(calc_->calculateAutoParamPhi(2), 0.0);
  // The calculator reads the handler's copy of the session.
  MakeCalculator(2);
  kmSession* pCalcSession = calc_->GetCalcSession();
  pCalcSession->SetDouble(kmOptAutocorrParameter, 0.3);
  EXPECT_EQ(calc_->calculateAutoParamPhi(2), 0.3);
  pCalcSession->SetInt(kmOptAutocorrErrors, 7);
  EXPECT_EQ(calc_->calculateAutoParamPhi(2), 0.0);
  // Mode 1 estimates phi from a preliminary grid-search fit (checked
  // against R in kmCalculatorAutoPhiTest.cpp).
  pCalcSession->SetInt(kmOptAutocorrErrors, 1);
  EXPECT_TRUE(std::isfinite(calc_->calculateAutoParamPhi(2)));
}

}  // namespace

namespace {

TEST(KmCalculatorWLS, RoundingBelowZeroIsClearedAtAnyLevel) {
  // An exact line y = L + 1.5 t at t = 1..8 fitted by X = [1, t] from raw
  // cross products: at a high level L the difference Y'Y - M'X'Y rounds
  // to a negative sum far beyond 1e-6, yet still rounding of the data.
  for (double dLevel : {1.0, 1e6, 1e7, 1.5e8}) {
    SCOPED_TRACE(dLevel);
    Matrix mXtX(2, 2);
    Matrix mXtY(2, 1);
    ColumnVector vYtY(1);
    mXtX = 0.0;
    mXtY = 0.0;
    vYtY = 0.0;
    for (int t = 1; t <= 8; ++t) {
      const double y = dLevel + 1.5 * t;
      mXtX(1, 1) += 1.0;
      mXtX(1, 2) += t;
      mXtX(2, 2) += 1.0 * t * t;
      mXtY(1, 1) += y;
      mXtY(2, 1) += t * y;
      vYtY(1) += y * y;
    }
    mXtX(2, 1) = mXtX(1, 2);
    Matrix mInv;
    ColumnVector vBeta, vSse;
    uint16_t iRank = 0;
    kmCalculator::WLS(1, mXtY, mXtX, mInv, vYtY, vBeta, vSse, iRank);
    EXPECT_EQ(iRank, 2);
    EXPECT_GE(vSse(1), 0.0);
  }
}

}  // namespace
