// kmCalculator: KinkMkSEs; kmCalculatorDistributions: FInverse, TInverse,
// TCumulative, TTestPValue.
//
// KinkMkSEs in full:
// Covariance of the segment coefficients of the k-kinkmark model with
// locations vTau (shifted units, increasing), with the kinkmarks held
// fixed: the model is refitted with one intercept and one slope per
// segment (K1 = k + 1 segments; observation i with x = pX0(i, 2) is in
// segment 1 when x <= tau1, in segment j when tau(j-1) < x <= tauj, in
// segment K1 when x > tauk). Observations within the bandwidth
// h = 0.117 * 0.5 * n * (ln ln n)^0.6 / sqrt(n) of a kinkmark count only
// by the factor r = |x - tau| / h (the last such kinkmark wins). Fills
// *pCovariance ((2K1 + k) square: intercepts, slopes, then the slope
// difference at each kinkmark; rows whose coefficients have a zero
// variance are zeroed), sets pTable's reduced-rank flag (rank < 2K1) and
// returns df = (sum of the factors) - rank; a df <= 0 gives a zero
// covariance. A jump model (bJump) is refitted with its step as well, 1.0
// from dJumpLocation on, so that its segment coefficients (intercepts
// without the jump) are estimated beside the jump and the rank counts it;
// a step that splits no segment's weighing observations cannot be told
// apart from the segments' intercepts and is left out. Reads iNumObs, pX0,
// pDataY, dJumpLocation, the weights (WLSXPr, WLSNew).
#include <newmat.h>

#include <cmath>

#include "engine/kmCalculator.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "models/DistributionWrappers.h"
#include "results/kmTable.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// The answer of a distribution wrapper that cannot compute its value.
constexpr double kInvalid = -1e30;

// True when the step (1.0 from dJumpAt on) takes both values within one
// segment among the observations that weigh in the refit (vW > 0), the
// only way it adds a column the segment indicators do not already span: a
// step that begins at a kinkmark lying on an observation, which counts 0,
// is that of the next segment's intercept. Column s of mD is the indicator
// of segment s.
bool StepSplitsASegment(const Matrix& mD, int K1, const Matrix& mX0,
                        const ColumnVector& vW, double dJumpAt) {
  for (int s = 1; s <= K1; ++s) {
    bool bBefore = false;
    bool bFrom = false;
    for (int i = 1; i <= mD.Nrows(); ++i) {
      if (mD(i, s) == 0.0 || vW(i) <= 0.0) continue;
      (mX0(i, 2) >= dJumpAt ? bFrom : bBefore) = true;
    }
    if (bBefore && bFrom) return true;
  }
  return false;
}

}  // namespace

double kmCalculator::KinkMkSEs(uint16_t k, const ColumnVector& vTau,
                               Matrix* pCovariance, kmTable* pTable,
                               bool bJump) {
  return WithCallPath("KinkMkSEs()", kClassName, [&]() -> double {
    return WithMatrixErrorsAsKm("kmCalculator::KinkMkSEs()", [&]() -> double {
      const int n = iNumObs;
      const int K1 = k + 1;
      const int iCoef = 2 * K1;
      const int iOut = iCoef + k;
      if (pCovariance == nullptr || pTable == nullptr) {
        GenerateKmException(
            "The covariance matrix and the table must be given.", kClassName);
      }
      if (pX0 == nullptr || pX0->Nrows() < n || pX0->Ncols() < 2) {
        GenerateKmException("The design matrix has not been built.",
                            kClassName);
      }
      if (vTau.Nrows() < k) {
        GenerateKmExceptionF(
            "%d kinkmark locations were given for a model with %d "
            "kinkmarks.",
            kClassName, vTau.Nrows(), static_cast<int>(k));
      }
      // ln(ln n) is not a real number for n < 3: no bandwidth exists.
      if (n < 3) {
        GenerateKmExceptionF(
            "Kinkmark standard errors need at least 3 observations; the "
            "cohort has %d.",
            kClassName, n);
      }

      // Per-segment design: segment indicators, then x in each segment,
      // then the jump model's step.
      Matrix mD(n, iCoef);
      mD = 0.0;
      for (int i = 1; i <= n; ++i) {
        const double x = (*pX0)(i, 2);
        int s = 1;
        while (s <= k && x > vTau(s)) ++s;
        mD(i, s) = 1.0;
        mD(i, K1 + s) = x;
      }

      // Observations near a kinkmark count only partly, because the
      // kinkmark's location is itself estimated.
      const double h =
          0.117 * 0.5 * n *
          std::pow(std::log(std::log(static_cast<double>(n))), 0.6) /
          std::sqrt(static_cast<double>(n));
      ColumnVector vW(n);
      vW = 1.0;
      for (int i = 1; i <= n; ++i) {
        const double x = (*pX0)(i, 2);
        for (int j = 1; j <= k; ++j) {
          const double r = std::fabs(x - vTau(j)) / h;
          if (r < 1.0) vW(i) = r;
        }
      }
      const double S = vW.Sum();

      if (bJump && StepSplitsASegment(mD, K1, *pX0, vW, dJumpLocation)) {
        ColumnVector vStep(n);
        for (int i = 1; i <= n; ++i) {
          vStep(i) = (*pX0)(i, 2) >= dJumpLocation ? 1.0 : 0.0;
        }
        const Matrix mWithStep = mD | vStep;
        mD = mWithStep;
      }
      const int iCols = mD.Ncols();

      Matrix mXtX, mXtY, mXtXinv;
      ColumnVector vYtY(1), vBeta, vSSE(1);
      WLSXPr(vW, mD, mXtX, mXtY, vYtY);
      uint16_t iRank = 0;
      WLSNew(mXtY, mXtX, mXtXinv, vBeta, vSSE, iRank, vW, mD);
      pTable->SetReducedRank(iRank < iCols ? 1 : 0);

      const double df = S - iRank;
      const double dMse = df > 0.0 ? vSSE(1) / df : 0.0;
      const Matrix mScaled = dMse * mXtXinv;

      // T maps the segment coefficients to (coefficients, slope
      // differences); the jump has no place in the output.
      Matrix mT(iOut, iCols);
      mT = 0.0;
      for (int i = 1; i <= iCoef; ++i) mT(i, i) = 1.0;
      for (int i = 1; i <= k; ++i) {
        mT(iCoef + i, K1 + i + 1) = 1.0;
        mT(iCoef + i, K1 + i) = -1.0;
      }
      Matrix mOut = mT * mScaled * mT.t();

      // A coefficient without variance (aliased, or df <= 0) makes every
      // quantity built on it untestable.
      for (int i = 1; i <= iOut; ++i) {
        bool bZero = false;
        for (int j = 1; j <= iCols && !bZero; ++j) {
          if (mT(i, j) != 0.0 && mScaled(j, j) == 0.0) bZero = true;
        }
        if (bZero) {
          mOut.Row(i) = 0.0;
          mOut.Column(i) = 0.0;
        }
      }
      *pCovariance = mOut;
      return df;
    });
  });
}

// The distribution wrappers of the model framework serve the calculator:
// they answer -1e30 outside their domain or when the routine fails.
double kmCalculatorDistributions::FInverse(int iDF1, int iDF2, double p) {
  return calc_FQuantile(p, iDF1, iDF2);
}

double kmCalculatorDistributions::TInverse(double p, double dDF) {
  return calc_TQuantile(p, dDF);
}

double kmCalculatorDistributions::TCumulative(double t, double dDF) {
  if (!(t > 0.0)) return kInvalid;
  return calc_TCDF(t, dDF);
}

bool kmCalculatorDistributions::TTestPValue(double dB, double dVar, double dDF,
                                            double& dSE, double& dStat,
                                            double& dPValue) {
  dSE = std::sqrt(std::fabs(dVar));
  if (dVar < 0.0) {
    dSE = -dSE;
    dStat = 0.0;
    dPValue = 1.0;
    return false;
  }
  if (!(dVar > 0.0)) {
    // No variance (or not a number): nothing can be tested.
    dSE = 0.0;
    dStat = kInvalid;
    dPValue = kInvalid;
    return false;
  }
  dStat = dB / dSE;
  if (dStat == 0.0) {
    dPValue = 1.0;
    return true;
  }
  // The upper tail directly, so that a small p-value keeps its digits
  // instead of vanishing in 1 - P.
  const double dUpper = calc_TUpperTail(std::fabs(dStat), dDF);
  if (dUpper == kInvalid) {
    // Without degrees of freedom there is no t distribution: report the
    // test as not made rather than a p-value of 2e30.
    dPValue = kInvalid;
    return false;
  }
  dPValue = TwoSidedPValue(dUpper);
  return true;
}
