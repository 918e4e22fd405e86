// kmCalculator: Resids, Resids_JumpModel_Final.
//
// Both evaluate the fitted continuous piecewise-linear model at every
// observation, keep the fitted values and weighted residuals for the
// permutation step and write the model's result rows (observations plus
// kinkmarks, and for the jump model the two ends of the jump).
//
// The fitted model is continuous piecewise linear: segment s (1..k+1) has
// intercept vCoef(s) and slope vCoef(k+1+s); the breaks are vTau(1..k) on
// the shifted scale. An observation takes the segment after every break it
// has reached.
//
// Resids in full:
// For the model with k kinkmarks: row k+1 of mFitted gets the n fitted
// values f_i and row k+1 of mResid the weighted residuals (r_i mA(i,i) in
// kmOptAutocorrErrors mode 0, else (mA r)_i, r = y - f with y column 1 of
// *pDataY). The table's fitted-value and residual arrays get f and r (one
// block each); its data matrix becomes the result rows (x + iOrigin,
// observed, fitted, standard error from *pDataAux), with a row
// (tau + iOrigin, -9999.0, fitted at tau, SE of the next observation) for
// every kinkmark lying strictly between two observations. For a
// log-linear model (kmOptLogLinear) the rows hold exp of the observed and
// fitted values; mFitted and mResid stay on the log scale.
// REQUIRES: vCoef has 2k + 2 elements, vTau k; mFitted and mResid at
// least k + 1 rows and n columns; mA n x n.
#include <newmat.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/kmCalculator.h"
#include "engine/kmPieceWalk.h"
#include "engine/kmWeightedResiduals.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/MatrixBuilders.h"
#include "results/kmTable.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// Value of a result-row cell that has no value.
constexpr double kMissing = -9999.0;
// Rows of a result matrix collected in order, four values each.
class ResultRows {
 public:
  void Add(double dX, double dObserved, double dFitted, double dSE) {
    values_.insert(values_.end(), {dX, dObserved, dFitted, dSE});
  }
  Matrix ToMatrix() const {
    const int iRows = static_cast<int>(values_.size() / 4);
    Matrix m(iRows, 4);
    if (iRows > 0) m << values_.data();
    return m;
  }

 private:
  std::vector<double> values_;
};

void RequireObservations(const kmCalculator& calc, const char* sSource) {
  if (calc.GetDataX() == nullptr || calc.GetDataY() == nullptr ||
      calc.GetDataAux() == nullptr) {
    GenerateKmException(
        "The observations must be loaded before the residuals are formed.",
        sSource);
  }
}

// A step of dJump from dFrom on (shifted scale), as the jump model's
// design has it: an observation at dFrom takes the step.
struct Step {
  double dFrom;
  double dJump;
  double At(double x) const { return x >= dFrom ? dJump : 0.0; }
};

// First pass shared by both methods: vFitted gets the pieces' values, row
// k + 1 of mFitted the fitted values of the model (the pieces plus the
// step, when there is one), vRaw the raw residuals of the model and row
// k + 1 of mResid the weighted ones. The permutation tests build their
// data sets from these two rows, so they are those of the model fitted,
// its step included.
void FitAndWeight(const kmCalculator& calc, int16_t k, const Matrix& mA,
                  const ColumnVector& vCoef, const ColumnVector& vTau,
                  kmAutocorrErrors mode, const Step& step, Matrix& mFitted,
                  Matrix& mResid, ColumnVector& vFitted, ColumnVector& vRaw) {
  const int n = calc.GetNumObservations();
  const Matrix& mX = *calc.GetDataX();
  const Matrix& mY = *calc.GetDataY();
  vFitted.ReSize(n);
  vRaw.ReSize(n);
  kmPieceWalk walk(k, vCoef, vTau, mX(1, 2));
  for (int i = 1; i <= n; ++i) {
    vFitted(i) = walk.ValueAfterBreaks(mX(i, 2));
    mFitted(k + 1, i) = vFitted(i) + step.At(mX(i, 2));
    vRaw(i) = mY(i, 1) - mFitted(k + 1, i);
  }
  WeightResiduals(mA, vRaw, n, mode, k + 1, mResid);
}

// No step: the continuous model.
constexpr Step kNoStep{0.0, 0.0};

}  // namespace

void kmCalculator::Resids(int16_t k, int iOrigin, const Matrix& mA,
                          const ColumnVector& vCoef, const ColumnVector& vTau,
                          Matrix& mFitted, Matrix& mResid, kmTable& table) {
  constexpr const char* kSource = "kmCalculator::Resids()";
  WithCallPath("Resids()", kClassName, [&] {
    const kmSession* pSession = GetCalcSession();
    const bool bLog = pSession->GetBool(kmOptLogLinear);
    const kmAutocorrErrors mode = kmWeightingMode(*pSession);
    RequireObservations(*this, kSource);
    WithMatrixErrorsAsKm(kSource, [&] {
      const int n = iNumObs;
      const Matrix& mX = *pDataX;
      ColumnVector vFitted;
      ColumnVector vRaw;
      FitAndWeight(*this, k, mA, vCoef, vTau, mode, kNoStep, mFitted, mResid,
                   vFitted, vRaw);
      table.SetSampleArrays(split_IntoBlocks(vFitted, 1),
                            split_IntoBlocks(vRaw, 1));

      auto scale = [bLog](double v) { return bLog ? std::exp(v) : v; };
      ResultRows rows;
      kmPieceWalk walk(k, vCoef, vTau, mX(1, 2));
      for (int i = 1; i <= n; ++i) {
        const double x = mX(i, 2);
        const double dAux = (*pDataAux)(i, 1);
        walk.ValueAfterBreaks(x, [&](double dBreak, double dValue) {
          rows.Add(dBreak + iOrigin, kMissing, scale(dValue), dAux);
        });
        rows.Add(x + iOrigin, scale((*pDataY)(i, 1)), scale(vFitted(i)), dAux);
      }
      table.SetData(rows.ToMatrix());
    });
  });
}

void kmCalculator::Resids_JumpModel_Final(
    int16_t k, int iOrigin, const Matrix& mA, const ColumnVector& vCoef,
    const ColumnVector& vTau, Matrix& mFitted, Matrix& mResid, kmTable& table,
    double dJumpLocationShifted, double dJump) {
  constexpr const char* kSource = "kmCalculator::Resids_JumpModel_Final()";
  WithCallPath("Resids_JumpModel_Final()", kClassName, [&] {
    const kmSession* pSession = GetCalcSession();
    const bool bLog = pSession->GetBool(kmOptLogLinear);
    const kmAutocorrErrors mode = kmWeightingMode(*pSession);
    const double dJumpAt = pSession->GetDouble(kmOptJumpLocation);
    RequireObservations(*this, kSource);
    WithMatrixErrorsAsKm(kSource, [&] {
      const int n = iNumObs;
      const Matrix& mX = *pDataX;
      ColumnVector vFitted;
      ColumnVector vRaw;
      FitAndWeight(*this, k, mA, vCoef, vTau, mode,
                   Step{dJumpLocationShifted, dJump}, mFitted, mResid, vFitted,
                   vRaw);

      // Values on the response scale of the fits, without and with the
      // jump, as they appear in the rows (exp of the log for log-linear).
      auto plain = [bLog](double v) { return bLog ? std::exp(v) : v; };
      auto jumped = [bLog, dJump](double v) {
        return bLog ? std::exp(v + dJump) : v + dJump;
      };

      // The level just before the jump: the segment in force just before
      // it, after every kinkmark that lies before it (none when the jump
      // is at or before the first observation).
      kmPieceWalk before(k, vCoef, vTau, mX(1, 2));
      while (before.Reaches(dJumpLocationShifted) &&
             before.Break() < dJumpLocationShifted) {
        before.Advance();
      }
      const double h = before.ValueAt(dJumpLocationShifted);

      ResultRows rows;
      kmPieceWalk walk(k, vCoef, vTau, mX(1, 2));
      bool bJumpRowsWritten = false;
      for (int i = 1; i <= n; ++i) {
        const double x = mX(i, 2);
        const double dAux = (*pDataAux)(i, 1);
        // A kinkmark between two observations shows the line there, with
        // the step only when the kinkmark lies after the jump.
        walk.ValueAfterBreaks(x, [&](double dBreak, double g) {
          if (dBreak == dJumpLocationShifted) return;
          rows.Add(dBreak + iOrigin, kMissing,
                   dBreak > dJumpLocationShifted ? jumped(g) : plain(g), dAux);
        });
        const double dXOut = x + iOrigin;
        const double dObserved = plain((*pDataY)(i, 1));
        if (dXOut < dJumpAt) {
          rows.Add(dXOut, dObserved, plain(vFitted(i)), dAux);
        } else if (dXOut == dJumpAt) {
          rows.Add(dXOut, dObserved, plain(vFitted(i)), dAux);
          rows.Add(dJumpAt, kMissing, jumped(vFitted(i)), kMissing);
          bJumpRowsWritten = true;
        } else {
          if (!bJumpRowsWritten) {
            rows.Add(dJumpAt, kMissing, plain(h), kMissing);
            rows.Add(dJumpAt, kMissing, jumped(h), kMissing);
            bJumpRowsWritten = true;
          }
          rows.Add(dXOut, dObserved, jumped(vFitted(i)), dAux);
        }
      }
      table.SetData(rows.ToMatrix());
    });
  });
}
