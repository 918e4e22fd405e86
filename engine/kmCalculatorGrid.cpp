// kmCalculator: FindGridPoints, GridCanPlace, GetGridValues.
//
// The candidate grid and the design with one hinge column per candidate are
// built once per cohort; every search then takes its model's columns and
// cross products by index.
//
// FindGridPoints in full:
// Builds the candidate kinkmark locations from column 2 of *pDataX (the
// shifted independent values x_1 <= ... <= x_n, n = iNumObs), keeping
// iMinObsEnd = e observations at each end and iMinObsBetween = b between
// consecutive kinkmarks, with iGridPointsBetween = g points per interval:
// interval x_i..x_{i+1} (i = e..n-e) gives x_i + j (x_{i+1} - x_i)/(g+1),
// j = 0..g, except j = 0 for i = e. Entries 1..K of *pGridValues get the
// locations and of *pGridAux the 1-based index of the first candidate a
// following kinkmark may take ((g+1)(b+m) + 1 in interval e+m); later
// entries keep their values. *pX0 becomes n x (K + 2): columns 1 and 2 of
// *pDataX, then per candidate p the hinge max(x_r - G_p, 0) (0.0 unless
// strictly positive). Returns K = g + (g+1)(n - 2e) for n >= 2e, else 0.
// REQUIRES: LoadCalcMembers has sized the grid vectors (length
// (g+1)(n-1)+1, enough for every e >= 1).
#include <newmat.h>

#include <cmath>
#include <cstdint>

#include "engine/kmCalculator.h"
#include "engine/kmGridEnumeration.h"
#include "foundation/KmCallPath.h"
#include "foundation/KmException.h"
#include "foundation/KmMatrixErrors.h"

using NEWMAT::ColumnVector;
using NEWMAT::Matrix;

namespace {

constexpr const char* kClassName = "kmCalculator";
constexpr const char* kSource = "kmCalculator::FindGridPoints()";

}  // namespace

int16_t kmCalculator::FindGridPoints(int16_t iMinObsEnd, int iMinObsBetween,
                                     int iGridPointsBetween) {
  return WithCallPath("FindGridPoints()", kClassName, [&]() -> int16_t {
    if (pDataX == nullptr || pGridValues == nullptr || pGridAux == nullptr) {
      GenerateKmException(
          "The observations and the grid vectors must be loaded before the "
          "candidate grid is built.",
          kSource);
    }
    if (iMinObsEnd < 1) {
      GenerateKmExceptionF(
          "At least one observation must lie at each end of the data; %d "
          "was asked.",
          kSource, static_cast<int>(iMinObsEnd));
    }
    if (iGridPointsBetween < 0) {
      GenerateKmExceptionF(
          "The number of grid points between observations must not be "
          "negative; %d was asked.",
          kSource, iGridPointsBetween);
    }
    return WithMatrixErrorsAsKm(kSource, [&]() -> int16_t {
      const int16_t n = iNumObs;
      const int16_t e = iMinObsEnd;
      const int g = iGridPointsBetween;
      const ColumnVector x = pDataX->Column(2);

      // Counts of the candidate set: the first interval gives g points,
      // each later one g + 1.
      const int iExpected = n >= 2 * e ? g + (g + 1) * (n - 2 * e) : 0;
      if (iExpected > pGridValues->Nrows() || iExpected > pGridAux->Nrows()) {
        GenerateKmExceptionF(
            "The grid vectors hold %d entries; the grid needs %d.", kSource,
            static_cast<int>(pGridValues->Nrows()), iExpected);
      }

      int16_t K = 0;
      uint16_t a = 0;
      for (int16_t i = e; i <= n - e; ++i) {
        const double dStep = (x(i + 1) - x(i)) / static_cast<double>(g + 1);
        int j0 = 0;
        if (i == e) {
          a = static_cast<uint16_t>((g + 1) * iMinObsBetween + 1);
          j0 = 1;
        } else {
          a = static_cast<uint16_t>(a + (g + 1));
        }
        for (int j = j0; j <= g; ++j) {
          ++K;
          (*pGridValues)(K) = x(i) + j * dStep;
          (*pGridAux)(K) = a;
        }
      }

      Matrix mDesign(n, K + 2);
      mDesign.Columns(1, 2) = pDataX->Columns(1, 2);
      for (int p = 1; p <= K; ++p) {
        const double dG = (*pGridValues)(p);
        for (int r = 1; r <= n; ++r)
          mDesign(r, p + 2) = km_grid::Hinge(x(r), dG);
      }
      if (pX0 == nullptr) pX0 = std::make_unique<Matrix>();
      *pX0 = mDesign;
      return K;
    });
  });
}

bool kmCalculator::GridCanPlace(int iNumGridPoints, int k) const {
  if (k <= 0) return true;
  int p = 1;
  for (int m = 2; m <= k && p <= iNumGridPoints; ++m) {
    p = static_cast<int>(std::trunc((*pGridAux)(p)));
    if (p < 1) return false;
  }
  return p <= iNumGridPoints;
}

const NEWMAT::ColumnVector& kmCalculator::GetGridValues() const {
  return *pGridValues;
}
