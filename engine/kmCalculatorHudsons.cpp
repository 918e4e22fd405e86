// kmCalculator: AdjustBetas, ContinuityChoices, Hudsons.
//
// Hudson's method finds the best continuous piecewise-linear fit whose
// kinkmarks may lie between observations. Per segmentation it only combines
// the stored separate fits of the pieces with the stored continuity
// constraints, so the search costs table reads and k-sized algebra.
//
// For one segmentation with stacked separate fits beta = (a_1, b_1, ...,
// a_{k+1}, b_{k+1}) and B the block-diagonal matrix of the pieces'
// (X'WX)^-1, the continuous fit that pins a set of kinkmarks is the
// restricted least-squares estimate
//   beta' = beta - B Rq' (Rq B Rq')^-1 Rq beta,
// whose residual sum of squares exceeds the separate fits' by
//   t' (Rq B Rq')^-1 t,  t = Rq beta
// (Rq: one continuity row per pinned kinkmark). An unpinned kinkmark lies
// where its two neighbouring pieces meet, x* = (a_{m+1} - a_m) /
// (b_m - b_{m+1}), and is admissible only inside its gap
// [x_{p_m}, x_{p_m+1}].
//
// Hudsons in full:
// Hudson's search for data set j (1 observed, >= 2 permuted) with k
// kinkmarks: walks every admissible segmentation (IncrementGrid order),
// skips those whose separate fits already cost more than best(j), and
// for the others tries every choice of unpinned / pinned kinkmarks,
// keeping per segmentation the smallest increase (the last of equal
// ones) and over segmentations the smallest total (the last of equal
// ones, best(j) included). best(j) becomes that total when it is not
// larger. For j = 1 only, and only when best(1) ends strictly below its
// value on entry, locations becomes the k winning kinkmark locations
// (unpinned ones rounded to six decimals) and coefficients the 3k+2
// vector (a_1..a_{k+1}, b_1..b_{k+1}, b_{m+1} - b_m for m = 1..k), and
// mWork the X'WX of the design with those kinkmarks. Does nothing for
// k <= 0.
// Throws "There is no admissible segmentation with k kinkmarks for n
// observations." when the options leave none.
// REQUIRES: Partitions (or PartitionSSEs(table, j)) has filled table for
// data set j; best has at least j entries.
#include <newmat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/RestrictedStep.h"
#include "engine/kmCalculator.h"
#include "engine/kmSegmentations.h"
#include "engine/kmUpperTriangularMatrix.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"
#include "session/kmSession.h"
#include "session/kmSessionOptionIds.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;
using NEWMAT::SymmetricBandMatrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
// Increase of a choice combination that is not admissible.
constexpr double kExcluded = 1e30;
// The choice enumeration has one level per kinkmark, nine at most.
constexpr int kMaxChoiceLevels = 9;

// Meeting point of pieces m and m + 1 of the stacked fit beta (its
// elements from pBeta[0]).
double MeetingPoint(const double* pBeta, int m) {
  return (pBeta[2 * m] - pBeta[2 * m - 2]) /
         (pBeta[2 * m - 1] - pBeta[2 * m + 1]);
}

// The elements of a vector copied into another of the same length, in
// place of an assignment, which would allocate anew.
void CopyElements(const ColumnVector& vFrom, ColumnVector& vTo) {
  const double* pFrom = vFrom.Store();
  std::copy(pFrom, pFrom + vFrom.Nrows(), vTo.Store());
}

// x rounded to six decimals, as the kinkmark locations are reported.
double RoundToSixDecimals(double x) {
  return std::floor(x * 1000000.0 + 0.5) / 1000000.0;
}

// Every combination of choice codes for the segmentation vP (kinkmark k
// fastest): the continuous fit of each, its increase over the separate fits
// beta, and the exclusion of a meeting point outside its gap. Returns the
// smallest increase (the later of equal ones) and leaves its locations and
// coefficients in vSegLoc and vSegBeta.
double BestChoiceCombination(kmCalculator& calc, int16_t k,
                             const ColumnVector& vP,
                             const ColumnVector& vNumChoices,
                             SymmetricBandMatrix& mB, Matrix& mR, Matrix& mS,
                             const ColumnVector& vBeta, ColumnVector& vSegLoc,
                             ColumnVector& vSegBeta) {
  const Matrix& mX = *calc.GetDataX();
  // Work vectors of one size for every combination: their elements are
  // copied in place, so no combination allocates.
  const int iCoefs = vBeta.Nrows();
  ColumnVector vBetaTry(iCoefs);
  ColumnVector vDelta(iCoefs);
  vDelta = 0.0;
  ColumnVector vLocTry(k);
  ColumnVector vCodes(k);
  if (vSegLoc.Nrows() != k) vSegLoc.ReSize(k);
  if (vSegBeta.Nrows() != iCoefs) vSegBeta.ReSize(iCoefs);
  double dBestIncrease = 0.0;
  bool bFirstCombination = true;
  vCodes = 1.0;
  // The elements from index 0, read and written in place (element m of
  // the library's 1-based vectors is [m - 1]); x(r) is observation r's
  // independent value.
  const double* pP = vP.Store();
  const double* pBeta = vBeta.Store();
  const double* pNumChoices = vNumChoices.Store();
  double* pCodes = vCodes.Store();
  double* pLocTry = vLocTry.Store();
  double* pBetaTry = vBetaTry.Store();
  const int iXStride = mX.Ncols();
  const double* pX = mX.Store();
  auto x = [&](int r) { return pX[(r - 1) * iXStride + 1]; };
  while (true) {
    for (int m = 1; m <= k; ++m) {
      const int p = static_cast<int>(pP[m - 1]);
      if (pCodes[m - 1] == 1.0) {
        pLocTry[m - 1] = MeetingPoint(pBeta, m);
      } else if (pCodes[m - 1] == 2.0) {
        pLocTry[m - 1] = x(p);
      } else {
        pLocTry[m - 1] = x(p + 1);
      }
    }
    CopyElements(vBeta, vBetaTry);
    double dIncrease =
        calc.AdjustBetas(mB, mR, mS, vBetaTry, vDelta, vLocTry, vCodes, k);
    if (dIncrease != 0.0) {
      if (vDelta.Nrows() != iCoefs) {
        vBetaTry = vBetaTry - vDelta;  // the library's error for the sizes
      }
      const double* pDelta = vDelta.Store();
      for (int i = 0; i < iCoefs; ++i) pBetaTry[i] -= pDelta[i];
    }

    bool bValid = true;
    for (int m = 1; m <= k; ++m) {
      if (pCodes[m - 1] != 1.0) continue;
      const int p = static_cast<int>(pP[m - 1]);
      const double dMeet = MeetingPoint(pBetaTry, m);
      pLocTry[m - 1] = RoundToSixDecimals(dMeet);
      // NaN fails both comparisons and is excluded with the rest.
      if (!(x(p) <= dMeet && dMeet <= x(p + 1))) bValid = false;
    }
    if (!bValid) {
      dIncrease = kExcluded;
      vLocTry = 0.0;
    }
    // Among equal increases the later combination wins.
    if (bFirstCombination || dIncrease <= dBestIncrease) {
      dBestIncrease = dIncrease;
      CopyElements(vLocTry, vSegLoc);
      CopyElements(vBetaTry, vSegBeta);
      bFirstCombination = false;
    }

    // Next combination: kinkmark k fastest, kinkmark 1 slowest.
    int m = k;
    while (m >= 1 && pCodes[m - 1] >= pNumChoices[m - 1]) {
      pCodes[m - 1] = 1.0;
      --m;
    }
    if (m < 1) break;
    pCodes[m - 1] += 1.0;
  }
  return dBestIncrease;
}

}  // namespace

double kmCalculator::AdjustBetas(SymmetricBandMatrix& B, Matrix& R, Matrix& S,
                                 ColumnVector& beta, ColumnVector& dBeta,
                                 ColumnVector& locations, ColumnVector& choices,
                                 int16_t k) {
  return WithCallPath("AdjustBetas()", kClassName, [&]() -> double {
    return WithMatrixErrorsAsKm("kmCalculator::AdjustBetas()", [&]() -> double {
      if (k < 1) return 0.0;
      // The same step on plain arrays, without the library's temporaries;
      // inputs it does not take are evaluated below, where the library
      // reports what is wrong with them.
      double dIncrease = 0.0;
      if (RestrictedStep(B, R, S, beta, dBeta, locations, choices, k,
                         dIncrease)) {
        return dIncrease;
      }
      std::vector<int> vPinned;
      bool bAfterGap = false;
      for (int m = 1; m <= k; ++m) {
        if (choices(m) >= 2.0) vPinned.push_back(m);
        if (choices(m) > 2.0) bAfterGap = true;
      }
      const int q = static_cast<int>(vPinned.size());
      if (q == 0) return 0.0;

      const int iCoefs = 2 * k + 2;
      Matrix mRq(q, iCoefs);
      mRq = 0.0;
      Matrix mSq(q, q);
      mSq = 0.0;
      if (bAfterGap) {
        // A kinkmark pinned at the first observation of the next piece
        // is not the point R was built for: rebuild the rows at the
        // chosen locations.
        for (int r = 1; r <= q; ++r) {
          const int m = vPinned[r - 1];
          mRq(r, 2 * m - 1) = 1.0;
          mRq(r, 2 * m) = locations(m);
          mRq(r, 2 * m + 1) = -1.0;
          mRq(r, 2 * m + 2) = -locations(m);
        }
        mSq = mRq * B * mRq.t();
      } else {
        for (int r = 1; r <= q; ++r) {
          mRq.Row(r) = R.Row(vPinned[r - 1]);
          for (int r2 = 1; r2 <= q; ++r2) {
            mSq(r, r2) = S(vPinned[r - 1], vPinned[r2 - 1]);
          }
        }
      }
      const ColumnVector t = mRq * beta;
      const ColumnVector u = mSq.i() * t;  // LU solve
      dBeta = B * mRq.t() * u;
      const Matrix mIncrease = t.t() * u;
      return mIncrease(1, 1);
    });
  });
}

int kmCalculator::ContinuityChoices(int m, int k, const ColumnVector& vP, int n,
                                    int a, int g) {
  // The piece after kinkmark m runs from observation p_m + 1 to p_{m+1}, or
  // to n for the last kinkmark.
  const int iNextFirst = static_cast<int>(vP(m)) + 1;
  const bool bTwo = m < k ? static_cast<int>(vP(m + 1)) - iNextFirst > g
                          : n - iNextFirst > a + 1;
  return bTwo ? 2 : 3;
}

void kmCalculator::Hudsons(int j, int16_t k, kmUpperTriangularMatrix& table,
                           ColumnVector& locations, ColumnVector& coefficients,
                           ColumnVector& best) {
  WithCallPath("Hudsons()", kClassName, [&] {
    if (k <= 0) return;
    kmSession* pSession = GetCalcSession();
    const int a = static_cast<int16_t>(pSession->GetInt(kmOptMinObsEnd));
    const int g =
        static_cast<int16_t>(pSession->GetInt(kmOptMinObsBetween) + 2);
    const int n = iNumObs;
    if (pDataX == nullptr || pDataX->Nrows() < n || pDataX->Ncols() < 2) {
      GenerateKmException(
          "The observations must be loaded before Hudson's search.",
          kClassName);
    }
    WithMatrixErrorsAsKm("kmCalculator::Hudsons()", [&] {
      const Matrix& mX = *pDataX;
      const int iCoefs = 2 * k + 2;
      const double dEntry = best(j);

      ColumnVector vP(k);
      km_segmentations::FirstSegmentation(k, a, g, n, vP, kClassName);

      SymmetricBandMatrix mB(iCoefs, 1);
      mB = 0.0;
      ColumnVector vBeta(iCoefs);
      // Number of choices per kinkmark; indexing it past nine levels raises
      // the matrix library's index error, the limit of the enumeration.
      ColumnVector vNumChoices(kMaxChoiceLevels);
      ColumnVector vBestLoc(k);
      vBestLoc = 0.0;
      ColumnVector vBestBeta(iCoefs);
      vBestBeta = 0.0;
      bool bHaveBest = false;
      // The best combination of the segmentation in hand; every
      // segmentation searched overwrites both.
      ColumnVector vSegLoc(k);
      ColumnVector vSegBeta(iCoefs);
      // The continuity rows R of the segmentation in hand and R B R',
      // formed only for the segmentations searched, so that no table of
      // them is kept for every segmentation.
      Matrix mR(k, iCoefs);
      Matrix mS(k, k);

      do {
        double dTotal = 0.0;
        for (int s = 1; s <= k + 1; ++s) {
          const int iFirst = s == 1 ? 1 : static_cast<int>(vP(s - 1)) + 1;
          const int iLast = s <= k ? static_cast<int>(vP(s)) : n;
          kmPartition& piece = table.GetPartition(iFirst, iLast);
          mB(2 * s - 1, 2 * s - 1) = piece.xwxInverse(1, 1);
          mB(2 * s, 2 * s - 1) = piece.xwxInverse(2, 1);
          mB(2 * s, 2 * s) = piece.xwxInverse(2, 2);
          vBeta(2 * s - 1) = piece.beta(1, 1);
          vBeta(2 * s) = piece.beta(2, 1);
          dTotal += piece.rss(1);
        }

        // A segmentation whose separate fits already cost more than the
        // best fit found cannot win: continuity only adds to the sum.
        if (best(j) >= dTotal) {
          km_segmentations::ContinuityRows(mX, k, vP, mR);
          ConstraintCovariance(mB, mR, mS);
          for (int m = 1; m <= k; ++m) {
            vNumChoices(m) = ContinuityChoices(m, k, vP, n, a, g);
          }

          const double dBestIncrease = BestChoiceCombination(
              *this, k, vP, vNumChoices, mB, mR, mS, vBeta, vSegLoc, vSegBeta);
          dTotal += dBestIncrease;
          // A later segmentation with an equal total replaces an earlier.
          if (best(j) >= dTotal) {
            best(j) = dTotal;
            vBestLoc = vSegLoc;
            vBestBeta = vSegBeta;
            bHaveBest = true;
          }
        }
      } while (IncrementGrid(k, vP));

      if (j == 1 && bHaveBest && best(1) < dEntry) {
        locations = vBestLoc;
        coefficients.ReSize(3 * k + 2);
        coefficients = 0.0;
        // The segment fits are of the data less the table's line.
        for (int s = 1; s <= k + 1; ++s) {
          coefficients(s) = vBestBeta(2 * s - 1) + table.dLineIntercept;
          coefficients(k + 1 + s) = vBestBeta(2 * s) + table.dLineSlope;
        }
        for (int m = 1; m <= k; ++m) {
          coefficients(2 * k + 2 + m) = vBestBeta(2 * m + 2) - vBestBeta(2 * m);
        }
        // The model is now this one, not the grid's: so is its X'WX.
        ModelCrossProducts(locations, mWork);
      }
    });
  });
}
