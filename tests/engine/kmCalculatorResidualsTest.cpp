// Fitted values, weighted residuals and result rows of a fitted model
// (Resids, Resids_JumpModel_Final).
//
// Shared data set (n = 8, integer origin 1990), one kinkmark at 3.5:
//   x <- 0:7; y <- c(2.1, 3.9, 6.2, 7.8, 8.1, 8.0, 7.6, 7.9)
//   v <- c(1, 2, 1.5, 0.5, 1, 3, 2, 1); h <- pmax(x - 3.5, 0)
//   b <- coef(lm(y ~ x + h, weights = v))
//   segment form: a1 = b[1], a2 = b[1] - 3.5 b[3], c1 = b[2],
//   c2 = b[2] + b[3]; fitted(fit); (y - fitted(fit)) * sqrt(v)
#include <gtest/gtest.h>
#include <newmat.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/kmCalculator.h"
#include "foundation/KmException.h"
#include "results/kmTable.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"
#include "tests/engine/LoadedCalculator.h"
#include "tests/test_util/CatchKmException.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr int kN = 8;
constexpr int kOrigin = 1990;
constexpr double kX[kN] = {0, 1, 2, 3, 4, 5, 6, 7};
constexpr double kY[kN] = {2.1, 3.9, 6.2, 7.8, 8.1, 8.0, 7.6, 7.9};
constexpr double kV[kN] = {1, 2, 1.5, 0.5, 1, 3, 2, 1};
constexpr double kSE[kN] = {0.11, 0.12, 0.13, 0.14, 0.15, 0.16, 0.17, 0.18};
constexpr double kTau = 3.5;
// Values that went through a least-squares fit in R.
constexpr double kFitTol = 1e-12;

// R: the segment form of the linear fit.
const double kCoef[] = {2.2290760390594699, 9.3832058377692391,
                        1.7785525434483731, -0.26548454189727511,
                        -2.0440370853456482};
const double kFitted[kN] = {2.2290760390594673, 4.0076285825078468,
                            5.7861811259562161, 7.5647336694045899,
                            8.3212676701801378, 8.0557831282828634,
                            7.7902985863855898, 7.5248140444883136};
const double kWeightedResid[kN] = {-0.12907603905946718, -0.15220980108158877,
                                   0.50682254367016644,  0.16635841774889049,
                                   -0.22126767018013815, -0.096619212391051756,
                                   -0.26912284176692963, 0.37518595551168676};
// R: c2 * 3.5 + a2
constexpr double kFittedAtTau = 8.4540099411287759;
// R: A <- diag(sqrt(v)); A[i, i + 1] <- 0.3 (i = 1..7); A %*% (y - f)
const double kWeightedResidA[kN] = {-0.16136461381182127, -0.028064138868453561,
                                    0.57740244284878939,  0.099978116694849045,
                                    -0.23800260866499717, -0.15370878830672879,
                                    -0.15656705511342361, 0.37518595551168676};
// R: the same fit of log(y): segment form, exp(fitted), exp at 3.5.
const double kLogCoef[] = {0.92743333161300057, 2.4899018738399761,
                           0.37255255268551807, -0.073867030807903411,
                           -0.44641958349342148};
const double kLogFittedExp[kN] = {2.5280122742999653, 3.6692448732883949,
                                  5.3256695297815799, 7.7298618434874644,
                                  8.9749175760788038, 8.3358602463763365,
                                  7.7423068744745427, 7.1910173595572973};
constexpr double kLogFittedAtTauExp = 9.3125901669170599;

ColumnVector Vec(std::initializer_list<double> values) {
  ColumnVector v(static_cast<int>(values.size()));
  int i = 1;
  for (double d : values) v(i++) = d;
  return v;
}

// A calculator holding the shared observations (response log(y) when
// bLog), its session with the given error model.
struct ResidCalculator : km_engine_test::LoadedCalculator {
  ResidCalculator(int iAutocorrMode, bool bLog, double dJumpAt = 0.0)
      : LoadedCalculator(SharedObservations(bLog), [=](kmSession& s) {
          s.SetInt(kmOptAutocorrErrors, iAutocorrMode);
          s.SetBool(kmOptLogLinear, bLog);
          s.SetDouble(kmOptJumpLocation, dJumpAt);
        }) {
    mA.ReSize(kN, kN);
    mA = 0.0;
    for (int i = 1; i <= kN; ++i) mA(i, i) = std::sqrt(kV[i - 1]);
    mFitted.ReSize(3, kN);
    mFitted = 0.0;
    mResid.ReSize(3, kN);
    mResid = 0.0;
  }
  static std::vector<km_engine_test::Observation> SharedObservations(
      bool bLog) {
    std::vector<km_engine_test::Observation> obs;
    for (int i = 0; i < kN; ++i) {
      obs.push_back({kX[i], bLog ? std::log(kY[i]) : kY[i], kV[i], kSE[i]});
    }
    return obs;
  }
  Matrix mA, mFitted, mResid;
};

void ExpectRow(const Matrix& m, int r, double x, double y, double f,
               double se) {
  SCOPED_TRACE("row " + std::to_string(r));
  EXPECT_NEAR(m(r, 1), x, kFitTol);
  EXPECT_NEAR(m(r, 2), y, kFitTol);
  EXPECT_NEAR(m(r, 3), f, kFitTol);
  EXPECT_NEAR(m(r, 4), se, kFitTol);
}

TEST(Resids, OneKinkmarkFittedResidualsAndRows) {
  struct Case {
    const char* sName;
    bool bLog;
    const double* pCoef;
    const double* pFittedRows;  // fitted column of the observation rows
    double dKinkRowFitted;
  };
  const Case kCases[] = {
      {"linear", false, kCoef, kFitted, kFittedAtTau},
      {"log-linear", true, kLogCoef, kLogFittedExp, kLogFittedAtTauExp},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    ResidCalculator rc(0, c.bLog);
    kmTable table;
    const ColumnVector vCoef =
        Vec({c.pCoef[0], c.pCoef[1], c.pCoef[2], c.pCoef[3], c.pCoef[4]});
    rc.calc->Resids(1, kOrigin, rc.mA, vCoef, Vec({kTau}), rc.mFitted,
                    rc.mResid, table);
    const Matrix& mRows = table.GetData();
    ASSERT_EQ(mRows.Nrows(), kN + 1);
    ASSERT_EQ(mRows.Ncols(), 4);
    for (int i = 1; i <= kN; ++i) {
      // Observations 1-4 come before the kinkmark row, 5-8 after it.
      const int r = i <= 4 ? i : i + 1;
      const double dObs = kY[i - 1];
      ExpectRow(mRows, r, kX[i - 1] + kOrigin, dObs, c.pFittedRows[i - 1],
                kSE[i - 1]);
      // mFitted stays on the scale of the fits.
      const double dFit =
          c.bLog ? std::log(c.pFittedRows[i - 1]) : c.pFittedRows[i - 1];
      EXPECT_NEAR(rc.mFitted(2, i), dFit, kFitTol) << i;
      EXPECT_EQ(rc.mFitted(1, i), 0.0) << "row of another model touched";
    }
    // The kinkmark row carries the standard error of the next observation.
    ExpectRow(mRows, 5, kTau + kOrigin, -9999.0, c.dKinkRowFitted, kSE[4]);
    if (!c.bLog) {
      for (int i = 1; i <= kN; ++i) {
        EXPECT_NEAR(rc.mResid(2, i), kWeightedResid[i - 1], kFitTol) << i;
      }
      ASSERT_EQ(table.GetFittedValues().GetSize(), 1);
      ASSERT_EQ(table.GetResiduals().GetSize(), 1);
      const ColumnVector& vRaw = table.GetResiduals()[0];
      ASSERT_EQ(vRaw.Nrows(), kN);
      for (int i = 1; i <= kN; ++i) {
        EXPECT_NEAR(vRaw(i), kY[i - 1] - kFitted[i - 1], kFitTol) << i;
        EXPECT_NEAR(table.GetFittedValues()[0](i), kFitted[i - 1], kFitTol);
      }
    }
  }
}

TEST(Resids, WeightingByErrorModel) {
  // Mode 0 uses the diagonal of A only; any other mode the whole product.
  struct Case {
    const char* sName;
    int iMode;
    const double* pExpected;
  };
  const Case kCases[] = {{"uncorrelated", 0, kWeightedResid},
                         {"autocorrelated", 1, kWeightedResidA}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    ResidCalculator rc(c.iMode, false);
    for (int i = 1; i < kN; ++i) rc.mA(i, i + 1) = 0.3;
    kmTable table;
    rc.calc->Resids(1, kOrigin, rc.mA,
                    Vec({kCoef[0], kCoef[1], kCoef[2], kCoef[3], kCoef[4]}),
                    Vec({kTau}), rc.mFitted, rc.mResid, table);
    for (int i = 1; i <= kN; ++i) {
      EXPECT_NEAR(rc.mResid(2, i), c.pExpected[i - 1], kFitTol) << i;
    }
  }
}

TEST(Resids, KinkmarkRowsOnlyBetweenObservations) {
  // Hand-worked: k = 2 with breaks at 2 (on observation 3) and 4.5; segment
  // form intercepts 1, 5, 9.5 and slopes 2, 0, -1 (continuous at both).
  ResidCalculator rc(0, false);
  kmTable table;
  rc.calc->Resids(2, kOrigin, rc.mA, Vec({1, 5, 9.5, 2, 0, -1, -2, -1}),
                  Vec({2, 4.5}), rc.mFitted, rc.mResid, table);
  const Matrix& m = table.GetData();
  ASSERT_EQ(m.Nrows(), kN + 1);
  const double kFit[kN] = {1, 3, 5, 5, 5, 4.5, 3.5, 2.5};
  for (int i = 1; i <= kN; ++i) {
    const int r = i <= 5 ? i : i + 1;
    ExpectRow(m, r, kX[i - 1] + kOrigin, kY[i - 1], kFit[i - 1], kSE[i - 1]);
    EXPECT_EQ(rc.mFitted(3, i), kFit[i - 1]);
  }
  ExpectRow(m, 6, 4.5 + kOrigin, -9999.0, 5.0, kSE[5]);
}

TEST(Resids, ObservationPastTwoKinkmarksTakesTheLastSegment) {
  // Hand-worked: breaks at 3.25 and 3.75, both between x = 3 and x = 4;
  // segments 1 + 2x, 20.5 - 4x and 1.75 + x meet at 7.5 and 5.5. The
  // observation at 4 lies on the third segment, not the second (4.5).
  const double kFit[kN] = {1, 3, 5, 7, 5.75, 6.75, 7.75, 8.75};
  for (bool bJumpModel : {false, true}) {
    SCOPED_TRACE(bJumpModel ? "jump model" : "continuous");
    // The jump lies beyond the data, so both methods write the same rows.
    ResidCalculator rc(0, false, 2100.0);
    kmTable table;
    const ColumnVector vCoef = Vec({1, 20.5, 1.75, 2, -4, 1, -6, 5});
    if (bJumpModel) {
      rc.calc->Resids_JumpModel_Final(2, kOrigin, rc.mA, vCoef,
                                      Vec({3.25, 3.75}), rc.mFitted, rc.mResid,
                                      table, 2100.0 - kOrigin, 0.0);
    } else {
      rc.calc->Resids(2, kOrigin, rc.mA, vCoef, Vec({3.25, 3.75}), rc.mFitted,
                      rc.mResid, table);
    }
    for (int i = 1; i <= kN; ++i) {
      EXPECT_DOUBLE_EQ(rc.mFitted(3, i), kFit[i - 1]) << i;
      EXPECT_NEAR(rc.mResid(3, i),
                  (kY[i - 1] - kFit[i - 1]) * std::sqrt(kV[i - 1]), kFitTol)
          << i;
    }
    const Matrix& m = table.GetData();
    ASSERT_EQ(m.Nrows(), kN + 2);
    for (int i = 1; i <= kN; ++i) {
      const int r = i <= 4 ? i : i + 2;
      ExpectRow(m, r, kX[i - 1] + kOrigin, kY[i - 1], kFit[i - 1], kSE[i - 1]);
    }
    // Both kinkmark rows stand before the observation that passed them.
    ExpectRow(m, 5, 3.25 + kOrigin, -9999.0, 7.5, kSE[4]);
    ExpectRow(m, 6, 3.75 + kOrigin, -9999.0, 5.5, kSE[4]);
  }
}

TEST(Resids, NoKinkmarkIsOneLine) {
  ResidCalculator rc(0, false);
  kmTable table;
  rc.calc->Resids(0, 0, rc.mA, Vec({1.0, 0.5}), ColumnVector(), rc.mFitted,
                  rc.mResid, table);
  const Matrix& m = table.GetData();
  ASSERT_EQ(m.Nrows(), kN);
  for (int i = 1; i <= kN; ++i) {
    ExpectRow(m, i, kX[i - 1], kY[i - 1], 1.0 + 0.5 * kX[i - 1], kSE[i - 1]);
  }
}

TEST(Resids, ShortInputsThrowWithSource) {
  struct Case {
    const char* sName;
    int16_t k;
    ColumnVector vCoef, vTau;
    int iFittedRows;
  };
  const Case kCases[] = {
      {"coefficients too short", 1, Vec({1, 2, 3}), Vec({3.5}), 3},
      {"locations too short", 2, Vec({1, 2, 3, 4, 5, 6}), Vec({3.5}), 3},
      {"fitted matrix too small", 2, Vec({1, 2, 3, 4, 5, 6}), Vec({2, 4}), 2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.sName);
    ResidCalculator rc(0, false);
    rc.mFitted.ReSize(c.iFittedRows, kN);
    kmTable table;
    const KmException ex = km_test::CatchKmException([&] {
      rc.calc->Resids(c.k, 0, rc.mA, c.vCoef, c.vTau, rc.mFitted, rc.mResid,
                      table);
    });
    EXPECT_NE(std::string(ex.GetCallPath()).find("Resids()"),
              std::string::npos);
  }
}

// Jump model, hand-worked on the shared x (0..7, origin 2000): one kinkmark
// at 1.5 with segments 1 + 2x and 5.5 - x, jump of 5.
struct JumpCase {
  const char* sName;
  double dJumpAt;  // unshifted
  double dTau;
  std::vector<std::vector<double>> rows;  // first rows of the table
  int iRows;
};

TEST(ResidsJumpModelFinal, JumpRowsAndShiftedFits) {
  const double M = -9999.0;
  const JumpCase kCases[] = {
      // Jump between observations 3 and 4: two rows at J from the piece in
      // force at observation 3 (5.5 - 2.5 = 3, then 3 + 5), observation 4
      // with the jump.
      {"between observations",
       2002.5,
       1.5,
       {{2000, 2.1, 1, 0.11},
        {2001, 3.9, 3, 0.12},
        {2001.5, M, 4, 0.13},
        {2002, 6.2, 3.5, 0.13},
        {2002.5, M, 3, M},
        {2002.5, M, 8, M},
        {2003, 7.8, 7.5, 0.14},
        {2004, 8.1, 6.5, 0.15}},
       kN + 3},
      // Jump on observation 4: its plain row, then one row with the jump.
      {"on an observation",
       2003,
       1.5,
       {{2000, 2.1, 1, 0.11},
        {2001, 3.9, 3, 0.12},
        {2001.5, M, 4, 0.13},
        {2002, 6.2, 3.5, 0.13},
        {2003, 7.8, 2.5, 0.14},
        {2003, M, 7.5, M},
        {2004, 8.1, 6.5, 0.15}},
       kN + 2},
      // A kinkmark at the jump location gets no row of its own; the jump
      // piece is the first segment (1 + 2 * 2.5 = 6).
      {"kinkmark at the jump",
       2002.5,
       2.5,
       {{2000, 2.1, 1, 0.11},
        {2001, 3.9, 3, 0.12},
        {2002, 6.2, 5, 0.13},
        {2002.5, M, 6, M},
        {2002.5, M, 11, M},
        {2003, 7.8, 10.5, 0.14}},
       kN + 2},
      // Fault: a kinkmark between the last observation before J and J
      // showed the step, and the rows at J took the segment in force at
      // observation 3, not the one after the kinkmark (7.6 - x).
      {"kinkmark just before a jump between observations",
       2002.5,
       2.2,
       {{2000, 2.1, 1, 0.11},
        {2001, 3.9, 3, 0.12},
        {2002, 6.2, 5, 0.13},
        {2002.2, M, 5.4, 0.14},
        {2002.5, M, 5.1, M},
        {2002.5, M, 10.1, M},
        {2003, 7.8, 9.6, 0.14}},
       kN + 3},
  };
  for (const JumpCase& c : kCases) {
    SCOPED_TRACE(c.sName);
    ResidCalculator rc(0, false, c.dJumpAt);
    kmTable table;
    // Continuous at tau: 1 + 2 tau = a2 - tau.
    const double a2 = 1 + 3 * c.dTau;
    rc.calc->Resids_JumpModel_Final(1, 2000, rc.mA, Vec({1, a2, 2, -1, -3, 5}),
                                    Vec({c.dTau}), rc.mFitted, rc.mResid, table,
                                    c.dJumpAt - 2000, 5.0);
    const Matrix& m = table.GetData();
    ASSERT_EQ(m.Nrows(), c.iRows);
    for (size_t r = 0; r < c.rows.size(); ++r) {
      const std::vector<double>& e = c.rows[r];
      ExpectRow(m, static_cast<int>(r + 1), e[0], e[1], e[2], e[3]);
    }
    // The fits and residuals that the permutation tests shuffle are those
    // of the model with its jump, which an observation at J takes.
    for (int i : {4, 8}) {
      const double f = a2 - (i - 1) + (i - 1 >= c.dJumpAt - 2000 ? 5.0 : 0.0);
      EXPECT_DOUBLE_EQ(rc.mFitted(2, i), f) << i;
      EXPECT_NEAR(rc.mResid(2, i), (kY[i - 1] - f) * std::sqrt(kV[i - 1]),
                  kFitTol);
    }
    EXPECT_EQ(table.GetFittedValues().GetSize(), 0);
  }
}

TEST(ResidsJumpModelFinal, LogLinearAddsJumpOnLogScale) {
  // k = 0, log fit 0.1 + 0.2 x, jump 0.5 at J = 2003.5: rows hold exp of
  // the fit, and exp(fit + 0.5) from the jump on.
  ResidCalculator rc(0, true, 2003.5);
  kmTable table;
  rc.calc->Resids_JumpModel_Final(0, 2000, rc.mA, Vec({0.1, 0.2, 0.5}),
                                  ColumnVector(), rc.mFitted, rc.mResid, table,
                                  3.5, 0.5);
  const Matrix& m = table.GetData();
  ASSERT_EQ(m.Nrows(), kN + 2);
  ExpectRow(m, 4, 2003, 7.8, std::exp(0.7), 0.14);
  ExpectRow(m, 5, 2003.5, -9999.0, std::exp(0.8), -9999.0);
  ExpectRow(m, 6, 2003.5, -9999.0, std::exp(1.3), -9999.0);
  ExpectRow(m, 7, 2004, 8.1, std::exp(0.9 + 0.5), 0.15);
  EXPECT_NEAR(rc.mFitted(1, 4), 0.7, kFitTol);
  EXPECT_NEAR(rc.mFitted(1, 5), 0.9 + 0.5, kFitTol);
}

}  // namespace
