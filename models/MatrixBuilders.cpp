// Matrix and vector builders: make_IdentityMatrix, stack_ColumnVectorArray,
// split_IntoBlocks, pow_ColumnVector, build_MatrixFromIndexRows,
// count_TotalRows, reset_BoolArray.
#include "models/MatrixBuilders.h"

#include <cmath>

#include "foundation/KmException.h"
#include "models/internal/StandardCatch.h"

using km_models_internal::WithStandardCatch;

NEWMAT::Matrix make_IdentityMatrix(int n) {
  return WithStandardCatch([&]() {
    const int iOrder = n > 0 ? n : 0;
    NEWMAT::Matrix m(iOrder, iOrder);
    m = 0.0;
    for (int i = 1; i <= iOrder; ++i) m(i, i) = 1.0;
    return m;
  });
}

NEWMAT::ColumnVector stack_ColumnVectorArray(
    const OneDimensionArray<NEWMAT::ColumnVector>& vectors) {
  return WithStandardCatch([&]() {
    NEWMAT::ColumnVector stacked(count_TotalRows(vectors));
    int iRow = 0;
    for (int b = 0; b < vectors.GetSize(); ++b) {
      const NEWMAT::ColumnVector& block = vectors[b];
      for (int i = 1; i <= block.Nrows(); ++i) stacked(++iRow) = block(i);
    }
    return stacked;
  });
}

OneDimensionArray<NEWMAT::ColumnVector> split_IntoBlocks(
    const NEWMAT::ColumnVector& v, int k) {
  return WithStandardCatch([&]() {
    // A block count of 0 would divide by zero.
    if (k < 1) {
      GenerateKmExceptionF("Cannot split a vector into %d blocks.",
                           "split_IntoBlocks", k);
    }
    const int iLength = v.Nrows() / k;
    OneDimensionArray<NEWMAT::ColumnVector> blocks;
    blocks.Resize(k);
    for (int b = 0; b < k; ++b) {
      NEWMAT::ColumnVector block(iLength);
      for (int i = 1; i <= iLength; ++i) block(i) = v(b * iLength + i);
      blocks[b] = block;
    }
    return blocks;
  });
}

NEWMAT::ColumnVector pow_ColumnVector(const NEWMAT::ColumnVector& v,
                                      double dExponent) {
  return WithStandardCatch([&]() {
    NEWMAT::ColumnVector powers(v.Nrows());
    for (int i = 1; i <= v.Nrows(); ++i) powers(i) = std::pow(v(i), dExponent);
    return powers;
  });
}

NEWMAT::Matrix build_MatrixFromIndexRows(const OneDimensionArray<int>& rows,
                                         const OneDimensionArray<int>& columns,
                                         const NEWMAT::Matrix& M) {
  return WithStandardCatch([&]() {
    const int iRows = rows.GetSize();
    const int iColumns = columns.GetSize();
    NEWMAT::Matrix picked(iRows, iColumns);
    for (int a = 0; a < iRows; ++a) {
      for (int b = 0; b < iColumns; ++b) {
        picked(a + 1, b + 1) = M(rows[a], columns[b]);
      }
    }
    return picked;
  });
}

int count_TotalRows(const OneDimensionArray<NEWMAT::ColumnVector>& vectors) {
  return WithStandardCatch([&]() {
    int iTotal = 0;
    for (int b = 0; b < vectors.GetSize(); ++b) iTotal += vectors[b].Nrows();
    return iTotal;
  });
}

void reset_BoolArray(OneDimensionArray<bool>& flags, int n) {
  // Resize releases the old flags and sets the new ones to false.
  flags.Resize(n > 0 ? n : 0);
}
