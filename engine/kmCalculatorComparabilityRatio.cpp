// kmCalculatorDistributions: Calculate_Comparability_Ratio_CI; kmCalculator:
// Calculate_Resids_Comp_Ratio, Calculate_Comp_Ratio.
#include <newmat.h>

#include <cmath>
#include <vector>

#include "engine/kmCalculator.h"
#include "engine/kmRatioDisplay.h"
#include "engine/kmWeightedResiduals.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/DistributionWrappers.h"
#include "results/kmLineSegment.h"
#include "results/kmTable.h"
#include "session/kmErrorModel.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// Value of a statistic that could not be computed.
constexpr double kInvalid = -1e30;
// Marker of a cell without a value in the display rows.
constexpr double kNoValue = -9999.0;
// Boundary that no independent value reaches: the last segment never ends.
constexpr double kNoBoundary = 99999999.0;

// A straight line y = dSlope x + dIntercept on the shifted scale.
struct Line {
  double dIntercept = 0.0;
  double dSlope = 0.0;
  double At(double x) const { return dSlope * x + dIntercept; }
};

// Checks that the cohort's x, y (and, when bAux, standard errors) cover n
// observations.
void RequireObservations(const Matrix* pDataX, const Matrix* pDataY,
                         const Matrix* pDataAux, bool bAux, int n) {
  if (pDataX == nullptr || pDataY == nullptr || (bAux && pDataAux == nullptr)) {
    GenerateKmException("The cohort's observations have not been loaded.",
                        kClassName);
  }
  if (n < 1 || pDataX->Nrows() < n || pDataX->Ncols() < 2 ||
      pDataY->Nrows() < n || (bAux && pDataAux->Nrows() < n)) {
    GenerateKmExceptionF(
        "The cohort's observation matrices do not hold %d observations.",
        kClassName, n);
  }
}

}  // namespace

void kmCalculatorDistributions::Calculate_Comparability_Ratio_CI(
    double dCR, double dVariance, double dAlpha, ColumnVector* pResult) {
  WithCallPath("Calculate_Comparability_Ratio_CI()", kClassName, [&] {
    WithMatrixErrorsAsKm(
        "kmCalculator::Calculate_Comparability_Ratio_CI()", [&] {
          if (pResult == nullptr) {
            GenerateKmException("No result vector was given.", kClassName);
          }
          ColumnVector& v = *pResult;
          if (v.Nrows() < 7) v.ReSize(7);
          const double dSE = dVariance > 0.0 ? std::sqrt(dVariance) : 0.0;
          v(1) = dCR;
          v(2) = dSE;
          if (dSE != 0.0) {
            const double z = (dCR - 1.0) / dSE;
            v(3) = z;
            // From the upper tail directly: 1 - CDF rounds far-tail
            // p-values to 0.
            v(4) = TwoSidedPValue(calc_NormalUpperTail(std::fabs(z), 0.0, 1.0));
          } else {
            v(3) = kInvalid;
            v(4) = kInvalid;
          }
          if (dAlpha > 0.0 && dAlpha < 1.0 && dSE > 0.0) {
            const double zq = calc_NormalQuantile(1.0 - dAlpha / 2.0, 0.0, 1.0);
            v(5) = dCR - zq * dSE;
            v(6) = dCR + zq * dSE;
            const bool bBelow = v(5) < 1.0 && v(6) < 1.0;
            const bool bAbove = v(5) > 1.0 && v(6) > 1.0;
            v(7) = (bBelow || bAbove) ? 1.0 : 0.0;
          } else {
            v(5) = kInvalid;
            v(6) = kInvalid;
            v(7) = 0.0;
          }
        });
  });
}

void kmCalculator::Calculate_Resids_Comp_Ratio(uint16_t k, const Matrix& mW,
                                               const ColumnVector& vBeta,
                                               const ColumnVector& vTau,
                                               Matrix& mFitted,
                                               Matrix& mResid) {
  WithCallPath("Calculate_Resids_Comp_Ratio()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::Calculate_Resids_Comp_Ratio()", [&] {
      const int n = iNumObs;
      const int K1 = k + 1;
      RequireObservations(pDataX.get(), pDataY.get(), pDataAux.get(), false, n);
      if (vBeta.Nrows() < 2 * K1 || vTau.Nrows() < k || mFitted.Nrows() < K1 ||
          mFitted.Ncols() < n || mResid.Nrows() < K1 || mResid.Ncols() < n ||
          mW.Nrows() < n || mW.Ncols() < n) {
        GenerateKmExceptionF(
            "The coefficients, kinkmarks, weighting or output matrices "
            "are too small for %d kinkmarks and %d observations.",
            kClassName, static_cast<int>(k), n);
      }
      const kmAutocorrErrors mode = kmWeightingMode(*GetCalcSession());

      ColumnVector vRaw(n);
      int s = 0;
      double b = (*pDataX)(1, 2);
      Line line;
      for (int i = 1; i <= n; ++i) {
        const double x = (*pDataX)(i, 2);
        // Past every break the observation has reached.
        while (x >= b && s < K1) {
          ++s;
          line.dIntercept = vBeta(s);
          line.dSlope = vBeta(K1 + s);
          b = s <= k ? vTau(s) : kNoBoundary;
        }
        const double dFit = line.At(x);
        mFitted(K1, i) = dFit;
        vRaw(i) = (*pDataY)(i, 1) - dFit;
      }
      WeightResiduals(mW, vRaw, n, mode, K1, mResid);
    });
  });
}

void kmCalculator::Calculate_Comp_Ratio(uint16_t k, int32_t iOrigin,
                                        const Matrix& mFitted, kmTable* pTable,
                                        double dJump) {
  WithCallPath("Calculate_Comp_Ratio()", kClassName, [&] {
    WithMatrixErrorsAsKm("kmCalculator::Calculate_Comp_Ratio()", [&] {
      if (pTable == nullptr) {
        GenerateKmException("No table was given.", kClassName);
      }
      const int n = iNumObs;
      const int K1 = k + 1;
      RequireObservations(pDataX.get(), pDataY.get(), pDataAux.get(), true, n);
      if (mFitted.Nrows() < K1 || mFitted.Ncols() < n) {
        GenerateKmExceptionF(
            "The fitted values do not cover %d kinkmarks and %d "
            "observations.",
            kClassName, static_cast<int>(k), n);
      }
      const kmSession* pSession = GetCalcSession();
      const bool bLog = pSession->GetBool(kmOptLogLinear);
      const double dJumpU = pSession->GetDouble(kmOptJumpLocation);
      const kmRatioDisplay display(*pSession);
      const double o = iOrigin;
      auto Scale = [bLog](double d) { return bLog ? std::exp(d) : d; };

      std::vector<std::vector<double>> vRows;
      auto AddRow = [&vRows](double a, double b2, double c2, double d) {
        vRows.push_back({a, b2, c2, d});
      };

      double b = (*pDataX)(1, 2);
      int iCounter = 0;
      Line current;  // no line until the first segment is taken
      Line jumpLine;
      bool bJumpLineSet = false;
      bool bJumpRowsWritten = false;
      for (int i = 1; i <= n; ++i) {
        const double x = (*pDataX)(i, 2);
        const double s = (*pDataAux)(i, 1);
        while (iCounter <= k && x >= b) {
          const kmLineSegment& seg = pTable->GetLineSegment(iCounter);
          Line next;
          next.dSlope = seg.slope.dEstimate;
          next.dIntercept = seg.intercept.dEstimate + next.dSlope * o;
          if (x > b && b != dJump) {
            AddRow(b + o, kNoValue, display.Shown(b + o, Scale(next.At(b))), s);
          }
          // The line in force at the location: the one before a break at
          // or after it. Before the first value no line is in force yet:
          // the first segment, taken next, is.
          if (iCounter > 0 && x >= dJump && b >= dJump && !bJumpLineSet) {
            jumpLine = current;
            bJumpLineSet = true;
          }
          current = next;
          ++iCounter;
          b = iCounter <= k ? pTable->GetKinkmark(iCounter - 1).dEstimate - o
                            : kNoBoundary;
        }
        if (x < b && x >= dJump && !bJumpLineSet) {
          jumpLine = current;
          bJumpLineSet = true;
        }
        const double xu = x + o;
        const double y = Scale((*pDataY)(i, 1));
        const double yFit = Scale(mFitted(K1, i));
        if (xu > dJumpU && !bJumpRowsWritten) {
          const double dAtJump = Scale(jumpLine.At(dJump));
          AddRow(dJumpU, kNoValue, display.Shown(dJumpU, dAtJump), kNoValue);
          AddRow(dJumpU, kNoValue, dAtJump, kNoValue);
          bJumpRowsWritten = true;
        }
        AddRow(xu, display.Shown(xu, y), display.Shown(xu, yFit),
               display.ShownSE(xu, y, s, kNoValue));
        if (xu == dJumpU) {
          AddRow(xu, kNoValue, Scale(jumpLine.At(dJump)), kNoValue);
          bJumpRowsWritten = true;
        }
      }

      Matrix mRows(static_cast<int>(vRows.size()), 4);
      for (int r = 1; r <= mRows.Nrows(); ++r) {
        for (int col = 1; col <= 4; ++col) {
          mRows(r, col) = vRows[r - 1][col - 1];
        }
      }
      pTable->SetData(mRows);
    });
  });
}
