// km_plain::WeightRows, TransposeTimes.
#include "engine/kmPlainProducts.h"

#include <type_traits>
#include <vector>

namespace km_plain {

namespace {

// out (rows x D) = A B for A (rows x n, row-major) and B (n x D): each output
// row starts as A(i, 1) times row 1 of B and adds the later rows in order,
// the library's order for rectangular products.
void Times(const double* pA, int iRows, int n, const double* pB, int D,
           double* pOut) {
  for (int i = 0; i < iRows; ++i) {
    const double* pRowA = pA + static_cast<long>(i) * n;
    double* pRowOut = pOut + static_cast<long>(i) * D;
    for (int c = 0; c < D; ++c) pRowOut[c] = pRowA[0] * pB[c];
    for (int r = 1; r < n; ++r) {
      const double f = pRowA[r];
      const double* pRowB = pB + static_cast<long>(r) * D;
      for (int c = 0; c < D; ++c) pRowOut[c] += f * pRowB[c];
    }
  }
}

// TransposeTimes row by row of A and B, every output element adding its
// term of the row in hand: each sum keeps its order, and the sums of a row
// are independent of one another, so they do not wait on each other.
template <typename Count>
void RowByRow(const double* pA, int n, int iColsA, int iStrideA,
              const double* pB, Count D, double* __restrict pOut) {
  for (int i = 0; i < iColsA; ++i) {
    for (int c = 0; c < D; ++c) {
      pOut[static_cast<long>(i) * D + c] = pA[i] * pB[c];
    }
  }
  for (int r = 1; r < n; ++r) {
    const double* pRowA = pA + static_cast<long>(r) * iStrideA;
    const double* pRowB = pB + static_cast<long>(r) * D;
    for (int i = 0; i < iColsA; ++i) {
      const double f = pRowA[i];
      double* pRowOut = pOut + static_cast<long>(i) * D;
      for (int c = 0; c < D; ++c) pRowOut[c] += f * pRowB[c];
    }
  }
}

template <int kD>
using OneOrTwo = std::integral_constant<int, kD>;

// Row i of Y (n x D) times v(i) W(i,i) v(i), the weighting of mode 0.
template <typename Count>
void ScaleRows(const double* pY, int n, Count D, const double* pW,
               const double* pV, double* __restrict pOut) {
  for (int i = 0; i < n; ++i) {
    const double d = pV[i] * pW[static_cast<long>(i) * n + i] * pV[i];
    for (int c = 0; c < D; ++c) {
      pOut[static_cast<long>(i) * D + c] = pY[static_cast<long>(i) * D + c] * d;
    }
  }
}

}  // namespace

void WeightRows(const double* pY, int n, int D, kmAutocorrErrors mode,
                const double* pW, const double* pV, double* pOut) {
  if (mode == kmAutocorrErrors::kUncorrelated) {
    if (D == 1) return ScaleRows(pY, n, OneOrTwo<1>(), pW, pV, pOut);
    if (D == 2) return ScaleRows(pY, n, OneOrTwo<2>(), pW, pV, pOut);
    return ScaleRows(pY, n, D, pW, pV, pOut);
  }
  if (mode == kmAutocorrErrors::kVarCovMatrix) {
    Times(pW, n, n, pY, D, pOut);
    return;
  }
  std::vector<double> vScaled(pW, pW + static_cast<long>(n) * n);
  for (int i = 0; i < n; ++i) {
    vScaled[static_cast<long>(i) * n + i] *= pV[i] * pV[i];
  }
  Times(vScaled.data(), n, n, pY, D, pOut);
}

void TransposeTimes(const double* pA, int n, int iColsA, int iStrideA,
                    const double* pB, int D, double* pOut) {
  const long lOut = static_cast<long>(iColsA) * D;
  if (n == 0) {
    for (long e = 0; e < lOut; ++e) pOut[e] = 0.0;
    return;
  }
  // One or two data sets, the searches of one data set, with the count
  // known to the compiler; more with it as a variable.
  if (D == 1) return RowByRow(pA, n, iColsA, iStrideA, pB, OneOrTwo<1>(), pOut);
  if (D == 2) return RowByRow(pA, n, iColsA, iStrideA, pB, OneOrTwo<2>(), pOut);
  RowByRow(pA, n, iColsA, iStrideA, pB, D, pOut);
}

}  // namespace km_plain
